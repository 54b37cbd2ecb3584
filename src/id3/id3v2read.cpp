#include "id3/id3v2read.h"

#include <algorithm>
#include <array>
#include <vector>

#include "files/bytereader.h"
#include "id3/bytes.h"
#include "id3/genres.h"
#include "id3/keptframes.h"
#include "text/textcodec.h"

namespace mdlID3 {
namespace {

constexpr int64_t kHeaderSize = kID3v2HeaderSize;
constexpr int64_t kFooterSize = kID3v2FooterSize;

// Which record field a frame fills; both the ID3v2.2 and the ID3v2.3/2.4 identifiers are
// accepted whatever the tag's version.
struct FieldFrame {
    const char* v22;
    const char* v23;
    std::string ID3TagInfo::*field;
};

constexpr std::array<FieldFrame, 12> kFieldFrames{{
    {"TP1", "TPE1", &ID3TagInfo::Artist},
    {"TAL", "TALB", &ID3TagInfo::Album},
    {"TT2", "TIT2", &ID3TagInfo::Title},
    {"TYE", "TYER", &ID3TagInfo::Year},
    {"TCO", "TCON", &ID3TagInfo::Genre},
    {"COM", "COMM", &ID3TagInfo::Comment},
    {"TRK", "TRCK", &ID3TagInfo::Track},
    {"TEN", "TENC", &ID3TagInfo::Encoder},
    {"WXX", "WXXX", &ID3TagInfo::LinkTo},
    {"TCR", "TCOP", &ID3TagInfo::Copyright},
    {"TCM", "TCOM", &ID3TagInfo::Composer},
    {"TOA", "TOPE", &ID3TagInfo::OrigArtist},
}};

void StoreFrameText(ID3TagInfo& info, const std::string& id, const std::string& text) {
    if (id == "TDRC") {
        info.Year = Utf8Prefix(text, 4);
        return;
    }
    if (id == "COM ") {
        info.Comment = text;
        return;
    }
    for (const auto& frame : kFieldFrames) {
        if (id == frame.v22 || id == frame.v23) {
            info.*frame.field = frame.field == &ID3TagInfo::Genre ? ParseGenreText(text) : text;
            return;
        }
    }
}

bool IsDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The offset just past the terminator of a string that starts at `bytes[0]`: one zero byte, or a
// zero 16-bit unit for encodings 1 and 2. npos when the string is not terminated.
size_t SkipTerminatedString(std::span<const uint8_t> bytes, int encoding) {
    bool wide = encoding == kUtf16WithBom || encoding == kUtf16BE;
    if (!wide) {
        auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
        return zero == bytes.end() ? std::string::npos : static_cast<size_t>(zero - bytes.begin()) + 1;
    }
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        if (bytes[i] == 0 && bytes[i + 1] == 0) return i + 2;
    return std::string::npos;
}

bool AllZero(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

std::string IdText(std::span<const uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

void Collect(KeptFrameList& list, const std::string& id, std::span<const uint8_t> data, int version,
             uint8_t status, uint8_t format, bool raw = false) {
    KeptFrame frame;
    frame.Raw = raw;
    frame.Id = id;
    frame.Data.assign(data.begin(), data.end());
    frame.SourceVersion = version;
    frame.StatusFlags = status;
    frame.FormatFlags = format;
    CollectKeptFrame(list, std::move(frame));
}

}  // namespace

std::string DecodeFrameText(std::span<const uint8_t> data, const std::string& frameId) {
    if (data.empty()) return {};
    if (frameId == "SEEK") {
        if (data.size() < 4) return {};
        return std::to_string(ReadSize32(data, false));
    }
    int encoding = data[0];
    if (!frameId.empty() && frameId[0] == 'T') return BytesToText(data.subspan(1), encoding, true);
    if (frameId == "COMM" || frameId == "COM" || frameId == "COM ") {
        // Encoding, three bytes of language, description, then the comment.
        if (data.size() < 4) return {};
        auto description = data.subspan(4);
        size_t textStart = SkipTerminatedString(description, encoding);
        if (textStart == std::string::npos) return {};
        return BytesToText(description.subspan(textStart), encoding, true);
    }
    if (frameId == "WXXX" || frameId == "WXX") {
        // The link itself is ISO-8859-1 whatever the description's encoding (ID3v2.3 4.3.2).
        auto description = data.subspan(1);
        size_t linkStart = SkipTerminatedString(description, encoding);
        if (linkStart == std::string::npos) return {};
        int linkEncoding = encoding == kUtf8 ? kUtf8 : kLatin1;
        return BytesToText(description.subspan(linkStart), linkEncoding, true);
    }
    return {};
}

bool IsFrameIdValid(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4) return false;
    for (size_t i = 0; i < 4; ++i) {
        uint8_t b = bytes[i];
        if (!((b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == 0)) return false;
    }
    return true;
}

size_t RemoveUnsync(std::span<uint8_t> bytes) {
    size_t write = 0;
    size_t removed = 0;
    for (size_t read = 0; read < bytes.size(); ++read) {
        uint8_t b = bytes[read];
        bytes[write++] = b;
        if (b == 0xFF && read + 1 < bytes.size() && bytes[read + 1] == 0x00) {
            ++read;
            ++removed;
        }
    }
    return removed;
}

std::string ParseGenreText(const std::string& text) {
    size_t open = text.find('(');
    size_t close = text.find(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return text;
    std::string inner = text.substr(open + 1, close - open - 1);
    if (IsDigits(inner)) {
        // More digits than any index has cannot name a genre.
        if (inner.size() > 4) return {};
        return GetGenreName(std::stoi(inner));
    }
    if (inner == "RX") return "Remix";
    if (inner == "CR") return "Cover";
    return text;
}

int64_t GetID3v2TagSize(const FileReader& file, int64_t offset) {
    std::array<uint8_t, kHeaderSize> header{};
    file.ReadAt(offset, header);
    const int64_t size = ID3v2TagBytes(header);
    // A size running past the end of the file claims only what the file holds.
    return std::min(size, std::max<int64_t>(file.Size() - offset, 0));
}

namespace {

// Version 2.2 frames: three-character identifiers, 24-bit sizes, no flags.
void ParseV22Frames(ByteReader in, ID3TagInfo& info, KeptFrameList* keep) {
    while (auto header = in.Take(6)) {
        if (AllZero(header->first(3))) break;
        const std::string id = IdText(header->first(3));
        const auto data = in.Take((size_t{(*header)[3]} << 16) | (size_t{(*header)[4]} << 8) | (*header)[5]);
        if (!data) break;
        std::string text;
        if (keep && id != "CRM" && !data->empty())
            Collect(*keep, id, *data, 2, 0, 0);
        else
            text = DecodeFrameText(*data, id);
        StoreFrameText(info, id, text);
    }
}

// What the format flags of a 2.3 or 2.4 frame ask of its content: skipped (compressed or
// encrypted: not decoded, only kept as stored), the bytes of group and data length fields before
// the data, unsynchronised.
struct FrameFormat {
    bool skipped = false;
    size_t prefix = 0;
    bool unsync = false;
};

FrameFormat ReadFrameFormat(int major, uint8_t format, bool tagUnsync) {
    FrameFormat f;
    if (major == 3) {
        f.skipped = (format & 0xC0) != 0;
        f.prefix = (format & 0x20) ? 1 : 0;
    } else {
        f.skipped = (format & 0x0C) != 0;
        f.prefix = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0);
        f.unsync = (format & 0x02) || tagUnsync;
    }
    return f;
}

// Version 2.3 and 2.4 frames in `body` from `start`. Returns the "SEEK" distance, or -1.
int64_t ParseV23Frames(std::span<uint8_t> body, size_t start, int major, bool tagUnsync, ID3TagInfo& info,
                       KeptFrameList* keep) {
    int64_t seek = -1;
    ByteReader in(body);
    if (!in.Skip(start)) return seek;
    while (auto header = in.Take(kHeaderSize)) {
        if (AllZero(header->first(4))) break;
        const std::string id = IdText(header->first(4));
        const auto sizeBytes = header->subspan(4, 4);
        size_t n = ReadSize32(sizeBytes, major == 4);
        // Some ID3v2.4 writers store plain sizes; the next identifier tells which reading is right.
        if (major == 4 && n <= in.Remaining() && in.Remaining() - n >= 4 &&
            !IsFrameIdValid(in.Rest().subspan(n, 4)))
            n = ReadSize32(sizeBytes, false);
        if (n > in.Remaining()) break;
        const std::span<uint8_t> frame = body.subspan(in.Position(), n);
        in.Skip(n);
        const uint8_t status = (*header)[8];
        const uint8_t format = (*header)[9];
        const FrameFormat f = ReadFrameFormat(major, format, tagUnsync);
        const size_t removed = f.unsync ? RemoveUnsync(frame) : 0;
        const size_t dataLength = n > f.prefix + removed ? n - f.prefix - removed : 0;
        const auto data = dataLength > 0 ? frame.subspan(f.prefix, dataLength) : std::span<uint8_t>{};
        std::string text;
        if (f.skipped) {
            if (keep && id != "SEEK" && n > removed) {
                // Its unsynchronisation is undone, so its 2.4 flag for that goes too.
                const auto kept = static_cast<uint8_t>(major == 4 ? format & ~0x02 : format);
                Collect(*keep, id, frame.first(n - removed), major, status, kept, true);
            }
        } else {
            if (keep && id != "SEEK") {
                if (dataLength > 0) Collect(*keep, id, data, major, status, format);
            } else {
                text = DecodeFrameText(data, id);
            }
        }
        if (id == "SEEK") {
            if (IsDigits(text)) seek = std::stoll(text);
        } else {
            StoreFrameText(info, id, text);
        }
    }
    return seek;
}

}  // namespace

int64_t ParseID3v2Tag(const FileReader& file, int64_t offset, ID3TagInfo& info, KeptFrameList* keep) {
    std::array<uint8_t, kHeaderSize> header{};
    file.ReadAt(offset, header);
    const int major = header[3];
    if (!StartsWith(header, "ID3") || major < 2 || major > 4) return -1;
    const uint8_t flags = header[5];
    const bool unsync = (flags & 0x80) != 0;
    const bool extended = (flags & 0x40) != 0 && major >= 3;
    const int64_t footer = (major == 4 && (flags & kID3v2FooterFlag)) ? kFooterSize : 0;
    // The body with the footer, if any.
    const int64_t bodyLength = ID3v2TagBytes(header) - kHeaderSize;

    // Never more than the file holds: a truncated tag ends where the file does.
    std::vector<uint8_t> body = file.ReadUpTo(offset + kHeaderSize, bodyLength);
    int64_t length = static_cast<int64_t>(body.size());
    if (major < 4 && unsync) length -= static_cast<int64_t>(RemoveUnsync(body));
    const std::span<uint8_t> usable(body.data(), static_cast<size_t>(length));

    int64_t pos = 0;
    bool update = false;
    if (extended) {
        const uint32_t extSize = ReadSize32(usable, major == 4);
        pos = major == 3 ? int64_t{extSize} + 4 : int64_t{extSize};
        if (major == 4 && usable.size() > 5) update = (usable[5] & 0x40) != 0;
    }
    if (!update) ClearTagInfo(info);

    if (major == 2) {
        ByteReader in(usable);
        if (in.Skip(static_cast<size_t>(pos))) ParseV22Frames(in, info, keep);
        return -1;
    }
    const int64_t end = std::min(length, bodyLength - footer);
    const int64_t seek = ParseV23Frames(usable.first(static_cast<size_t>(std::max<int64_t>(end, 0))),
                                        static_cast<size_t>(pos), major, unsync, info, keep);
    // The distance counts from the end of this tag, footer included.
    return seek < 0 ? -1 : offset + kHeaderSize + bodyLength + seek;
}

bool ReadID3v2Tag(const std::string& path, ID3TagInfo& info) {
    FileReader file;
    if (!file.Open(path)) return false;
    bool found = false;
    std::array<uint8_t, 3> magic{};
    int64_t p = 0;
    while (file.ReadAt(p, magic) == magic.size() && StartsWith(magic, "ID3")) {
        found = true;
        int64_t next = ParseID3v2Tag(file, p, info, nullptr);
        // Each tag of a chain lies after the one before; anything else would loop.
        if (next <= p) break;
        p = next;
    }
    if (found) return true;

    // An ID3v2.4 tag appended at the end, found through its footer (ID3v2.4 section 5),
    // also when an ID3v1 tag follows it.
    int64_t end = file.Size();
    if (end >= 128) {
        file.ReadAt(end - 128, magic);
        if (StartsWith(magic, "TAG")) end -= 128;
    }
    int64_t q = std::max<int64_t>(end - kFooterSize, 0);
    std::array<uint8_t, kFooterSize> footer{};
    file.ReadAt(q, footer);
    const int64_t appended = ID3v2AppendedTagBytes(footer);
    if (appended == 0) return false;
    const int64_t t = end - appended;
    if (t < 0) return false;
    file.ReadAt(t, magic);
    if (!StartsWith(magic, "ID3")) return false;
    ParseID3v2Tag(file, t, info, nullptr);
    return true;
}

}  // namespace mdlID3
