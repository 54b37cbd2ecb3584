#include "analysis/mp3.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/mp3genres.h"
#include "analysis/syncsearch.h"
#include "files/descriptor.h"
#include "id3/id3v1.h"
#include "id3/id3v1layout.h"
#include "mpeg/rounding.h"
#include "mpeg/vbrheader.h"
#include "text/textcodec.h"

namespace {

using namespace mdlID3::id3v1layout;
constexpr int64_t kTagBytes = kSize;
constexpr int kGenreCount = 148;

int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool IsUpperTag(std::string_view identifier) {
    if (identifier.size() != 3) return false;
    std::string upper(identifier);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == "TAG";
}

MP3::ID3v1Record RecordFromBytes(const std::array<unsigned char, kTagBytes>& bytes) {
    auto text = [&bytes](size_t offset, size_t width) {
        return std::string(reinterpret_cast<const char*>(bytes.data()) + offset, width);
    };
    MP3::ID3v1Record record;
    record.Identifier = text(kIdentifier, kIdentifierWidth);
    record.Title = text(kTitle, kTextWidth);
    record.Artist = text(kArtist, kTextWidth);
    record.Album = text(kAlbum, kTextWidth);
    record.Year = text(kYear, kYearWidth);
    // The class keeps offsets 97 to 126 as one comment, track byte included.
    record.Comment = text(kComment, kTextWidth);
    record.Genre = bytes[kGenre];
    return record;
}

// Fields shorter than their width (never set since the object was made) are filled with zero
// bytes, the usual ID3v1 padding.
std::array<unsigned char, kTagBytes> RecordToBytes(const MP3::ID3v1Record& record) {
    std::array<unsigned char, kTagBytes> bytes{};
    auto put = [&bytes](size_t offset, size_t width, const std::string& text) {
        std::memcpy(bytes.data() + offset, text.data(), std::min(width, text.size()));
    };
    put(kIdentifier, kIdentifierWidth, record.Identifier);
    put(kTitle, kTextWidth, record.Title);
    put(kArtist, kTextWidth, record.Artist);
    put(kAlbum, kTextWidth, record.Album);
    put(kYear, kYearWidth, record.Year);
    put(kComment, kTextWidth, record.Comment);
    bytes[kGenre] = record.Genre;
    return bytes;
}

}  // namespace

MP3::MP3() = default;

int32_t MP3::Size() const { return Clamp32(size_); }
int32_t MP3::HeaderStart() const { return Clamp32(headerStart_); }
int32_t MP3::FrameCount() const { return Clamp32(frameCount_); }
int32_t MP3::Length() const { return Clamp32(length_); }

bool MP3::LoadFile(const std::string& fileName) noexcept {
    try {
        return Load(fileName);
    } catch (...) {
        return false;
    }
}

bool MP3::Load(const std::string& fileName) {
    if (fileName.empty()) return false;

    // Only regular files count; a directory, FIFO or device is "not found".
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size_ = info.st_size;
    if (size_ <= kTagBytes) return false;

    // Non-blocking, so that a FIFO swapped in after the check cannot hang the open.
    FileDescriptor file = OpenFile(fileName, O_RDONLY | O_NONBLOCK);
    if (file.get() < 0) return false;
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size_ = info.st_size;
    if (size_ <= kTagBytes) return false;
    const int64_t size = size_;

    const SyncSearchResult sync = FindFirstFrameSync(file.get(), size);
    if (sync.ioError) return false;

    // Bytes past the end of the file read as zero.
    std::array<unsigned char, 4> header{};
    int64_t start = 0;
    bool xing = false;
    if (sync.offset) {
        start = *sync.offset + 1;
        if (ReadAt(file.get(), header.data(), header.size(), *sync.offset) < 0) return false;
        // Only where a Xing header sits in a stereo MPEG-1 frame without CRC is looked at.
        if (start + 40 < size) {
            std::array<unsigned char, 4> marker{};
            const auto at = static_cast<int64_t>(XingOffset(MpegVersion::Mpeg1, 0, false));
            if (ReadAt(file.get(), marker.data(), marker.size(), *sync.offset + at) < 0) return false;
            xing = std::memcmp(marker.data(), "Xing", 4) == 0;
        }
    }

    std::array<unsigned char, kTagBytes> tag{};
    if (ReadAt(file.get(), tag.data(), tag.size(), size - kTagBytes) < 0) return false;
    file.Close();

    if (sync.offset) headerStart_ = start;
    if (xing) vbr_ = true;
    record_ = RecordFromBytes(tag);
    ResetTagRecord();
    if (IsUpperTag(record_.Identifier)) hasID3Tag_ = true;

    headerBits_ = HeaderToBits(header);
    DecodeHeader(SplitHeaderBits(headerBits_));
    fileName_ = fileName;
    return true;
}

void MP3::ResetTagRecord() {
    if (IsUpperTag(record_.Identifier)) return;
    record_.Identifier = std::string(kIdentifierWidth, ' ');
    record_.Title = std::string(kTextWidth, ' ');
    record_.Artist = std::string(kTextWidth, ' ');
    record_.Album = std::string(kTextWidth, ' ');
    record_.Year = std::string(kYearWidth, ' ');
    record_.Comment = std::string(kTextWidth, ' ');
    record_.Genre = 0;
}

void MP3::DecodeHeader(const HeaderFields& fields) {
    int32_t number = 0;
    mpegVersion_ = ParseDecimal(LookupKey(VersionTable, fields.VersionBit), number) ? static_cast<int16_t>(number) : 0;
    number = 0;
    layer_ = ParseDecimal(LookupKey(LayerTable, fields.LayerBits), number) ? static_cast<int16_t>(number) : 0;

    bitrate_ = 0;
    const std::string pair = std::to_string(mpegVersion_) + std::to_string(layer_);
    static constexpr std::array<std::string_view, 6> kColumns = {"11", "12", "13", "21", "22", "23"};
    const auto column = std::find(kColumns.begin(), kColumns.end(), pair);
    if (column != kColumns.end()) {
        const std::string row = LookupKey(BitrateTable(), fields.BitrateBits);
        std::vector<std::string_view> pieces;
        std::string_view rest = row;
        for (;;) {
            const size_t space = rest.find(' ');
            pieces.push_back(rest.substr(0, space));
            if (space == std::string_view::npos) break;
            rest.remove_prefix(space + 1);
        }
        int32_t rate = 0;
        if (pieces.size() == kColumns.size() &&
            ParseDecimal(pieces[static_cast<size_t>(column - kColumns.begin())], rate))
            bitrate_ = rate;
    }

    frequency_ = 0;
    const std::string frequencyRow = LookupKey(FrequencyTable(), fields.FrequencyBits);
    const size_t space = frequencyRow.find(' ');
    if (space != std::string::npos) {
        const std::string_view piece = mpegVersion_ == 1 ? std::string_view(frequencyRow).substr(0, space + 1)
                                                         : std::string_view(frequencyRow).substr(space);
        int32_t hz = 0;
        if (ParseDecimal(piece, hz)) frequency_ = hz;
    }

    mode_ = LookupKey(ModeTable, fields.ModeBits);
    copyright_ = fields.CopyrightBit == "1";

    // Playing time at the first header's bitrate over the bytes after it.
    int64_t audio = size_ - headerStart_ - 4;
    if (audio == 0) audio = 1;
    double bps = static_cast<double>(bitrate_) * 1000.0;
    if (bps == 0.0) bps = 1.0;
    if (hasID3Tag_) audio -= kTagBytes;
    // A frame start inside the last bytes (or the tag) leaves no audio, not a negative amount.
    if (audio < 0) audio = 0;
    length_ = RoundHalfEvenToInt64(static_cast<double>(audio) / (bps / 8.0));
    frameCount_ = audio;

    double frequency = frequency_;
    if (frequency == 0.0) frequency = 1.0;
    frameSize_ = RoundHalfEvenToInt32(144.0 * bps / frequency) + (fields.PaddingBit == "1" ? 1 : 0);

    emphasis_ = LookupKey(EmphasisTable, fields.EmphasisBits);
    home_ = fields.OriginalBit == "1";
}

namespace {

// The record holds the tag's ISO-8859-1 bytes; callers get UTF-8.
std::string FieldText(const std::string& bytes) {
    return mdlID3::Latin1ToUtf8({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace

std::string MP3::Title() const { return FieldText(record_.Title); }
std::string MP3::Artist() const { return FieldText(record_.Artist); }
std::string MP3::Album() const { return FieldText(record_.Album); }
std::string MP3::Year() const { return FieldText(record_.Year); }
std::string MP3::Comment() const { return FieldText(record_.Comment); }

void MP3::SetTitle(const std::string& text) { SetTextField(record_.Title, kTextWidth, text); }
void MP3::SetArtist(const std::string& text) { SetTextField(record_.Artist, kTextWidth, text); }
void MP3::SetAlbum(const std::string& text) { SetTextField(record_.Album, kTextWidth, text); }
void MP3::SetYear(const std::string& text) { SetTextField(record_.Year, kYearWidth, text); }
void MP3::SetComment(const std::string& text) { SetTextField(record_.Comment, kTextWidth, text); }

void MP3::SetTextField(std::string& field, size_t width, const std::string& text) {
    std::string bytes = mdlID3::Utf8ToLatin1(text);
    bytes.resize(width, ' ');
    field = std::move(bytes);
    record_.Identifier = "TAG";
}

const std::string& MP3::GenreString() { return MP3GenreString(); }

std::string MP3::GenreText(uint8_t index) {
    const int wanted = index >= kGenreCount ? 0 : index;
    std::string_view rest = GenreString();
    for (int i = 0; i < wanted; ++i) {
        const size_t bar = rest.find('|');
        if (bar == std::string_view::npos) return {};
        rest.remove_prefix(bar + 1);
    }
    return std::string(rest.substr(0, rest.find('|')));
}

bool MP3::SaveFile(const std::string& fileName) noexcept {
    try {
        return Save(fileName);
    } catch (...) {
        return false;
    }
}

bool MP3::Save(const std::string& fileName) {
    if (fileName.empty()) return false;
    FileDescriptor file = OpenFile(fileName, O_RDWR | O_NONBLOCK);
    if (file.get() < 0) return false;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // A file without any write permission bit is read-only, also for a user (root) whom the
    // kernel would let write it anyway.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    const int64_t size = info.st_size;
    if (size < kTagBytes) return false;
    // A record that is no tag replaces one the file has, and is not added to a file without.
    const std::array<unsigned char, kTagBytes> bytes = RecordToBytes(record_);
    return mdlID3::WriteID3v1Block(file.get(), size, bytes, record_.Identifier == "TAG") && file.Close();
}
