#include "id3/id3v1.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/bytereader.h"
#include "files/filereader.h"
#include "id3/bytes.h"
#include "id3/genres.h"
#include "text/textcodec.h"

namespace mdlID3 {
namespace {

// Offsets within the 128 bytes.
constexpr size_t kTitle = 3;
constexpr size_t kArtist = 33;
constexpr size_t kAlbum = 63;
constexpr size_t kYear = 93;
constexpr size_t kComment = 97;
constexpr size_t kZeroByte = 125;
constexpr size_t kTrack = 126;
constexpr size_t kGenre = 127;

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

// A read-write descriptor of an existing regular file, closed on scope exit.
class WritableFile {
public:
    explicit WritableFile(const std::string& path) {
        if (path.empty()) return;
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) Close();
        if (fd_ >= 0) size_ = static_cast<int64_t>(st.st_size);
    }
    ~WritableFile() { Close(); }
    WritableFile(const WritableFile&) = delete;
    WritableFile& operator=(const WritableFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int64_t Size() const { return size_; }
    bool ReadAt(int64_t offset, std::span<uint8_t> out) const {
        size_t done = 0;
        while (done < out.size()) {
            ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, offset + static_cast<int64_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool WriteAt(int64_t offset, std::span<const uint8_t> bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, offset + static_cast<int64_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool Truncate(int64_t length) const { return ::ftruncate(fd_, length) == 0; }
    bool Sync() const { return ::fsync(fd_) == 0; }
    bool Close() {
        bool ok = true;
        if (fd_ >= 0) ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_ = -1;
    int64_t size_ = 0;
};

// Whether a tag starts at `offset`; nullopt when the bytes could not be read.
std::optional<bool> HasTagAt(const WritableFile& file, int64_t offset) {
    std::array<uint8_t, 3> magic{};
    if (offset < 0 || !file.ReadAt(offset, magic)) return std::nullopt;
    return StartsWith(magic, "TAG");
}

}  // namespace

bool ParseID3v1Tag(std::span<const uint8_t> tag, ID3TagInfo& info) {
    if (tag.size() != kID3v1Size || !StartsWith(tag, "TAG")) return false;
    ClearTagInfo(info);
    info.Artist = ReadField(tag, kArtist, 30);
    info.Album = ReadField(tag, kAlbum, 30);
    info.Title = ReadField(tag, kTitle, 30);
    info.Year = ReadField(tag, kYear, 4);
    // ID3v1.1: a zero byte before a non-zero track byte shortens the comment to 28 bytes.
    if (tag[kZeroByte] != 0 || tag[kTrack] == 0) {
        info.Comment = ReadField(tag, kComment, 30);
    } else {
        info.Comment = ReadField(tag, kComment, 28);
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
    TextToBytes(info.Title, 30, out.subspan(kTitle, 30), false);
    TextToBytes(info.Artist, 30, out.subspan(kArtist, 30), false);
    TextToBytes(info.Album, 30, out.subspan(kAlbum, 30), false);
    TextToBytes(info.Year, 4, out.subspan(kYear, 4), false);
    TextToBytes(CommentOnOneLine(info.Comment), 28, out.subspan(kComment, 28), false);
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

bool WriteID3v1Tag(const std::string& path, const ID3TagInfo& info, bool clearReadOnly) {
    if (clearReadOnly) ClearReadOnly(path);
    WritableFile file(path);
    if (!file.IsOpen()) return false;
    int64_t size = file.Size();
    int64_t position = size;
    if (size >= kID3v1Size) {
        auto hasTag = HasTagAt(file, size - kID3v1Size);
        if (!hasTag) return false;
        if (*hasTag) position = size - kID3v1Size;
    }
    auto tag = BuildID3v1Tag(info);
    if (!file.WriteAt(position, tag) || !file.Sync()) {
        // An append that failed half way is cut back so the file keeps its old length.
        if (position == size) file.Truncate(size);
        file.Close();
        return false;
    }
    return file.Close();
}

bool RemoveID3v1Tag(const std::string& path, bool clearReadOnly) {
    if (clearReadOnly) ClearReadOnly(path);
    WritableFile file(path);
    if (!file.IsOpen()) return false;
    // Too short to hold a tag: there is nothing to remove.
    if (file.Size() < kID3v1Size) return true;
    int64_t start = file.Size() - kID3v1Size;
    auto hasTag = HasTagAt(file, start);
    if (!hasTag || (*hasTag && (!file.Truncate(start) || !file.Sync()))) {
        file.Close();
        return false;
    }
    return file.Close();
}

}  // namespace mdlID3
