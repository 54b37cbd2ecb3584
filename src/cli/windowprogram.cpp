#include "cli/windowprogram.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace {

constexpr int kExitCannotStart = 127;  // what a shell answers for a program it cannot start

}  // namespace

std::string WindowProgramPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return TRIMBEL_WINDOW_PROGRAM;
    return (self.parent_path() / TRIMBEL_WINDOW_PROGRAM).string();
}

int ExecWindowProgram(char** argv) {
    const std::string path = WindowProgramPath();
    std::fflush(stdout);
    if (path.find('/') != std::string::npos)
        ::execv(path.c_str(), argv);
    else
        ::execvp(path.c_str(), argv);
    std::fprintf(stderr, "trimbel: cannot start the windows (%s): %s\n", path.c_str(), std::strerror(errno));
    return kExitCannotStart;
}
