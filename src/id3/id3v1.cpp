#include "id3/id3v1.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/bytereader.h"
#include "files/descriptor.h"
#include "files/filereader.h"
#include "id3/bytes.h"
#include "id3/genres.h"
#include "id3/id3v1layout.h"
#include "text/textcodec.h"

namespace mdlID3 {
namespace {

using namespace id3v1layout;

std::string TrimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string ReadField(std::span<const uint8_t> tag, size_t offset, size_t width) {
    return TrimBlanks(BytesToText(tag.subspan(offset, width), kLatin1, true));
}

// 1..255 from a text of at most three digits, else 0 (no track).
uint8_t TrackByte(const std::string& track) {
    std::string digits = TrimBlanks(track);
    if (digits.empty() || digits.size() > 3) return 0;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return 0;
    int value = std::stoi(digits);
    return value >= 1 && value <= 255 ? static_cast<uint8_t>(value) : 0;
}

std::string CommentOnOneLine(const std::string& comment) {
    std::string out;
    for (size_t i = 0; i < comment.size(); ++i) {
        if (comment[i] == '\r' && i + 1 < comment.size() && comment[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else {
            out += comment[i];
        }
    }
    return out;
}

// An existing regular file opened for reading and writing, and its size; not open otherwise.
FileDescriptor OpenWritable(const std::string& path, int64_t& size) {
    FileDescriptor file = OpenFile(path, O_RDWR | O_NONBLOCK);
    struct stat st {};
    if (file.IsOpen() && (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))) file.Close();
    size = file.IsOpen() ? static_cast<int64_t>(st.st_size) : 0;
    return file;
}

// Whether a tag starts at `offset`; nullopt when the bytes could not be read.
std::optional<bool> HasTagAt(int fd, int64_t offset) {
    std::array<uint8_t, 3> magic{};
    if (offset < 0 || ReadAt(fd, magic.data(), magic.size(), offset) != 3) return std::nullopt;
    return StartsWith(magic, "TAG");
}

}  // namespace

bool ParseID3v1Tag(std::span<const uint8_t> tag, ID3TagInfo& info) {
    if (tag.size() != kID3v1Size || !StartsWith(tag, "TAG")) return false;
    ClearTagInfo(info);
    info.Artist = ReadField(tag, kArtist, kTextWidth);
    info.Album = ReadField(tag, kAlbum, kTextWidth);
    info.Title = ReadField(tag, kTitle, kTextWidth);
    info.Year = ReadField(tag, kYear, kYearWidth);
    // ID3v1.1: a zero byte before a non-zero track byte shortens the comment to 28 bytes.
    if (tag[kZeroByte] != 0 || tag[kTrack] == 0) {
        info.Comment = ReadField(tag, kComment, kTextWidth);
    } else {
        info.Comment = ReadField(tag, kComment, kZeroByte - kComment);
        info.Track = std::to_string(tag[kTrack]);
    }
    info.Genre = GetGenreName(tag[kGenre]);
    return true;
}

std::array<uint8_t, kID3v1Size> BuildID3v1Tag(const ID3TagInfo& info) {
    std::array<uint8_t, kID3v1Size> tag{};
    std::span<uint8_t> out(tag);
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    TextToBytes(info.Title, kTextWidth, out.subspan(kTitle, kTextWidth), false);
    TextToBytes(info.Artist, kTextWidth, out.subspan(kArtist, kTextWidth), false);
    TextToBytes(info.Album, kTextWidth, out.subspan(kAlbum, kTextWidth), false);
    TextToBytes(info.Year, kYearWidth, out.subspan(kYear, kYearWidth), false);
    TextToBytes(CommentOnOneLine(info.Comment), kZeroByte - kComment, out.subspan(kComment, kZeroByte - kComment),
                false);
    tag[kZeroByte] = 0;
    tag[kTrack] = TrackByte(info.Track);
    tag[kGenre] = static_cast<uint8_t>(GetGenreIndex(info.Genre));
    return tag;
}

bool ReadID3v1Tag(const std::string& path, ID3TagInfo& info) {
    FileReader file;
    if (!file.Open(path) || file.Size() < kID3v1Size) return false;
    std::array<uint8_t, kID3v1Size> tag{};
    if (!file.ReadExact(file.Size() - kID3v1Size, tag)) return false;
    return ParseID3v1Tag(tag, info);
}

bool WriteID3v1Block(int fd, int64_t size, std::span<const uint8_t, kID3v1Size> tag, bool append) {
    std::array<uint8_t, kID3v1Size> old{};
    const int64_t tagAt = size - kID3v1Size;
    bool hasTag = false;
    if (size >= kID3v1Size) {
        if (ReadAt(fd, old.data(), old.size(), tagAt) != kID3v1Size) return false;
        hasTag = StartsWith(old, "TAG");
    }
    if (!hasTag && !append) return true;
    const int64_t position = hasTag ? tagAt : size;
    if (WriteAt(fd, tag.data(), tag.size(), position) && ::fsync(fd) == 0) return true;
    // An append that failed half way is cut back; an overwritten tag gets its old bytes back.
    if (hasTag)
        static_cast<void>(WriteAt(fd, old.data(), old.size(), tagAt));
    else
        static_cast<void>(::ftruncate(fd, size));
    return false;
}

bool WriteID3v1Tag(const std::string& path, const ID3TagInfo& info, bool clearReadOnly) {
    if (clearReadOnly) ClearReadOnly(path);
    int64_t size = 0;
    FileDescriptor file = OpenWritable(path, size);
    if (!file.IsOpen()) return false;
    const auto tag = BuildID3v1Tag(info);
    return WriteID3v1Block(file.get(), size, tag, true) && file.Close();
}

bool RemoveID3v1Tag(const std::string& path, bool clearReadOnly) {
    if (clearReadOnly) ClearReadOnly(path);
    int64_t size = 0;
    FileDescriptor file = OpenWritable(path, size);
    if (!file.IsOpen()) return false;
    // Too short to hold a tag: there is nothing to remove.
    if (size < kID3v1Size) return true;
    const int64_t start = size - kID3v1Size;
    auto hasTag = HasTagAt(file.get(), start);
    if (!hasTag || (*hasTag && (::ftruncate(file.get(), start) != 0 || ::fsync(file.get()) != 0))) return false;
    return file.Close();
}

}  // namespace mdlID3
