#pragma once
// Read-only access to an existing regular file by positioned reads. The file is closed by the
// destructor, so no handle outlives the routine that opened it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/descriptor.h"

namespace mdlID3 {

class FileReader {
public:
    FileReader() = default;
    explicit FileReader(const std::string& path) { Open(path); }
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Opens an existing regular file (not a folder, pipe or device) for reading.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    // The size when the file was opened.
    int64_t Size() const { return size_; }

    // Reads what the file holds of [offset, offset + out.size()) and zero-fills the rest of `out`.
    // Returns the bytes actually read; a read error counts as the end of the file.
    size_t ReadAt(int64_t offset, std::span<uint8_t> out) const;
    // True only when all of `out` was read.
    bool ReadExact(int64_t offset, std::span<uint8_t> out) const;
    // Up to `count` bytes at `offset`, never more than the file holds from there.
    std::vector<uint8_t> ReadUpTo(int64_t offset, int64_t count) const;

private:
    FileDescriptor file_;
    int64_t size_ = 0;
};

// Makes the file writable by its owner when it is not (the read-only attribute of other systems).
// The permission is not restored afterwards. False when the file's mode cannot be read or changed.
bool ClearReadOnly(const std::string& path);

}  // namespace mdlID3
