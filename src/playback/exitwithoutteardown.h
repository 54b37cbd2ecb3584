#pragma once
// Ends the process once everything of ours is closed and saved, without the libraries' exit-time
// teardown. Qt Multimedia tears its PulseAudio connection down from an exit handler while
// PulseAudio's own thread may still be handling a message from the server (a device or stream
// appearing anywhere on the system is enough), and the process then aborts or crashes on its way
// out. Nothing is left for that teardown to save: the server drops a client that goes away.
#include <cstdio>
#include <iostream>

#include <unistd.h>

[[noreturn]] inline void ExitWithoutTeardown(int code) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(code);
}
