#pragma once
// A bounds-checked cursor over bytes read from a file. Every read checks what remains; a read that
// does not fit fails and leaves the cursor where it was.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace mdlID3 {

class ByteReader {
public:
    constexpr explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    constexpr size_t Position() const { return pos_; }
    constexpr size_t Remaining() const { return bytes_.size() - pos_; }
    constexpr bool AtEnd() const { return pos_ >= bytes_.size(); }

    constexpr bool Skip(size_t count) {
        if (count > Remaining()) return false;
        pos_ += count;
        return true;
    }
    constexpr std::optional<std::span<const uint8_t>> Take(size_t count) {
        if (count > Remaining()) return std::nullopt;
        auto part = bytes_.subspan(pos_, count);
        pos_ += count;
        return part;
    }
    constexpr std::optional<uint8_t> U8() {
        if (Remaining() < 1) return std::nullopt;
        return bytes_[pos_++];
    }
    constexpr std::optional<uint32_t> U24BE() { return BigEndian(3); }
    constexpr std::optional<uint32_t> U32BE() { return BigEndian(4); }
    // Everything that remains.
    constexpr std::span<const uint8_t> Rest() const { return bytes_.subspan(pos_); }

private:
    constexpr std::optional<uint32_t> BigEndian(size_t count) {
        if (count > Remaining()) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 0; i < count; ++i) value = (value << 8) | bytes_[pos_ + i];
        pos_ += count;
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

// True when `bytes` holds at least `text.size()` bytes and starts with them.
template <size_t N>
constexpr bool StartsWith(std::span<const uint8_t> bytes, const char (&text)[N]) {
    if (bytes.size() < N - 1) return false;
    for (size_t i = 0; i + 1 < N; ++i)
        if (bytes[i] != static_cast<uint8_t>(text[i])) return false;
    return true;
}

}  // namespace mdlID3
