#include "files/threadpriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Nice 10 weighs about a tenth of nice 0: the background work still gets a busy machine's
// spare time, but a waking player thread takes the core first.
constexpr int kBackgroundNice = 10;
// ioprio_set(2): best-effort class, lowest level.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioLowest = 7;
}  // namespace

void LowerThisThreadsPriority() {
    const pid_t thread = static_cast<pid_t>(::syscall(SYS_gettid));
    // Failures leave the thread as it was: slower seeks under load, nothing worse.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), kBackgroundNice);
    (void)::syscall(SYS_ioprio_set, kIoprioWhoProcess, thread,
                    (kIoprioClassBestEffort << kIoprioClassShift) | kIoprioLowest);
}
