#pragma once
// What a tag write may change in a file, taken before it starts so that a failure half way can
// put the file back: the permission bits, the size and last 128 bytes (a version 1 tag written,
// appended or cut off), and the version 2 tag's bytes at the start (rewritten in place).
//
// A version 2 write that moves the audio replaces the file only once the new one is complete, so
// a failed one leaves the old file in place; only its in-place writes need the head bytes back.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

class TagFileSnapshot {
public:
    // False when the file cannot be read; `error` then says why in the user's words.
    bool Take(const std::string& path, std::string* error);

    // Puts back the tail, the head and the permission bits. True when the file reads as it did.
    bool Restore() const;
    // Only the tail (the version 1 step): the size and the last 128 bytes.
    bool RestoreTail() const;

    // Tags up to this size are kept to be put back; a larger one (a big picture, or a size field
    // that claims most of the file) is only fingerprinted, so that a change to it is reported
    // rather than hidden.
    static constexpr int64_t kHeadKeepLimit = 8 << 20;

    int64_t Size() const { return size_; }
    bool HadV1Tag() const { return hadV1Tag_; }
    const std::string& Path() const { return path_; }

private:
    bool RestoreHead() const;
    bool RestoreMode() const;

    std::string path_;
    int64_t size_ = 0;
    mode_t mode_ = 0;
    ino_t inode_ = 0;
    bool hadV1Tag_ = false;
    std::vector<uint8_t> tail_;  // the last 128 bytes, when the file has that many
    std::vector<uint8_t> head_;  // the version 2 tag's bytes, when it starts with one
    int64_t headSize_ = 0;
    uint64_t headHash_ = 0;      // of the first headSize_ bytes, when they are too many to keep
};
