#pragma once
// The readers under test take file names, so each fuzz input goes to a scratch file first.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

namespace fuzzfile {

// A file of this process named after `name`, on tmpfs where there is one: writers flush, and
// flushing a disk is slow.
inline std::string ScratchPath(const std::string& name) {
    static const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return dir + "/" + name + "_" + std::to_string(getpid()) + ".mp3";
}

// Replaces the contents of `path` with the input; false when it could not be written whole.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written;
}

}  // namespace fuzzfile
