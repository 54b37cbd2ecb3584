#include "cli/checkedoutput.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

int FinishOutput(int code, const char* who) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout)) return code;
    // An earlier failed write may have emptied the buffer, leaving no reason for this flush.
    if (error != 0)
        std::fprintf(stderr, "%s: cannot write the output: %s\n", who, std::strerror(error));
    else
        std::fprintf(stderr, "%s: cannot write the output\n", who);
    return code != 0 ? code : 1;
}

void ReportBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }
