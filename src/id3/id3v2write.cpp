#include "id3/id3v2write.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/bytereader.h"
#include "files/descriptor.h"
#include "files/filereader.h"
#include "files/safefile.h"
#include "id3/bytes.h"
#include "id3/chapters.h"
#include "id3/genres.h"
#include "id3/id3v2read.h"
#include "text/textcodec.h"

namespace mdlID3 {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kHeaderSize = 10;
// A sync-safe size field holds 28 bits.
constexpr int64_t kMaxTagBody = 0x0FFFFFFF;

constexpr std::array<const char*, 13> kRecordIds = {"TALB", "TPE1", "TIT2", "TDRC", "TYER",
                                                    "TCON", "COMM", "TENC", "TRCK", "WXXX",
                                                    "TCOP", "TOPE", "TCOM"};

// Why the last write or removal on this thread failed.
thread_local std::string tLastError;

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// The encoding a text is written in, and its bytes without terminator.
struct EncodedText {
    uint8_t encoding;
    Bytes bytes;
};

EncodedText EncodeText(const std::string& text, int version) {
    if (FitsLatin1(text)) {
        std::string latin1 = Utf8ToLatin1(text);
        return {kLatin1, Bytes(latin1.begin(), latin1.end())};
    }
    if (version == kWriteV24) return {kUtf8, Bytes(text.begin(), text.end())};
    return {kUtf16WithBom, Utf8ToUtf16(text, false, true)};
}

void AppendTerminator(Bytes& out, uint8_t encoding) {
    out.push_back(0);
    if (encoding == kUtf16WithBom || encoding == kUtf16BE) out.push_back(0);
}

// The empty description of a comment frame, with its terminator.
void AppendEmptyString(Bytes& out, uint8_t encoding) {
    if (encoding == kUtf16WithBom) {
        out.insert(out.end(), {0xFF, 0xFE});  // a UTF-16 string starts with its byte order mark
    }
    AppendTerminator(out, encoding);
}

// A link is ISO-8859-1 in every version; characters it cannot hold are written as percent-escaped
// UTF-8, the way a URI carries them (RFC 3987, 3.1).
std::string LinkToLatin1(const std::string& link) {
    if (FitsLatin1(link)) return Utf8ToLatin1(link);
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char32_t cp : Utf8ToCodePoints(link)) {
        if (cp <= 0xFF) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        std::string utf8;
        AppendUtf8(utf8, cp);
        for (unsigned char c : utf8) {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

// The data bytes of a record field's frame; nothing for a blank value or an unknown identifier.
std::optional<Bytes> FieldData(const std::string& id, const std::string& value, int version) {
    if (IsBlank(value)) return std::nullopt;
    Bytes data;
    if (id == "COMM") {
        EncodedText text = EncodeText(value, version);
        data.push_back(text.encoding);
        data.insert(data.end(), {'e', 'n', 'g'});
        AppendEmptyString(data, text.encoding);
        data.insert(data.end(), text.bytes.begin(), text.bytes.end());
        AppendTerminator(data, text.encoding);
    } else if (id == "WXXX") {
        // The description is empty, so encoding 0 serves; the link itself is 8-bit anyway.
        std::string link = LinkToLatin1(value);
        data.push_back(kLatin1);
        data.push_back(0);
        data.insert(data.end(), link.begin(), link.end());
        data.push_back(0);
    } else if (!id.empty() && id[0] == 'T') {
        EncodedText text = EncodeText(value, version);
        data.push_back(text.encoding);
        data.insert(data.end(), text.bytes.begin(), text.bytes.end());
        AppendTerminator(data, text.encoding);
    } else {
        return std::nullopt;
    }
    return data;
}

void PutHeader(std::span<uint8_t> out, const std::string& id, uint32_t size, int version) {
    for (size_t i = 0; i < 4; ++i) out[i] = i < id.size() ? static_cast<uint8_t>(id[i]) : 0;
    EncodeSize32(size, version == kWriteV24, out.subspan(4, 4));
    out[8] = 0;
    out[9] = 0;
}

}  // namespace

int32_t FieldFrameSize(const std::string& id, const std::string& value, bool withHeader,
                       int version) {
    auto data = FieldData(id, value, version);
    if (!data) return 0;
    return static_cast<int32_t>(data->size()) + (withHeader ? kHeaderSize : 0);
}

int32_t WriteFieldFrame(std::span<uint8_t> out, const std::string& id, const std::string& value,
                        int version) {
    auto data = FieldData(id, value, version);
    if (!data || out.size() < data->size() + kHeaderSize) return 0;
    PutHeader(out, id, static_cast<uint32_t>(data->size()), version);
    std::copy(data->begin(), data->end(), out.begin() + kHeaderSize);
    return static_cast<int32_t>(data->size()) + kHeaderSize;
}

int32_t WriteKeptFrame(std::span<uint8_t> out, KeptFrameList& frames, int32_t index, int version) {
    if (index < 0 || index >= static_cast<int32_t>(frames.size())) return 0;
    KeptFrame& frame = frames[static_cast<size_t>(index)];
    if (out.size() < frame.Data.size() + kHeaderSize) return 0;
    if (version == kWriteV24) {
        if (frame.Id == "TORY") frame.Id = "TDOR";
        if (frame.Id == "IPLS") frame.Id = "TIPL";
    }
    // The sub-frames of a chapter carry sizes in the tag's own coding.
    const int major = version == kWriteV24 ? 4 : 3;
    if ((frame.Id == "CHAP" || frame.Id == "CTOC") && frame.SourceVersion != major &&
        ConvertChapterSubframes(frame.Data, frame.Id == "CTOC", frame.SourceVersion, major))
        frame.SourceVersion = major;
    PutHeader(out, frame.Id, static_cast<uint32_t>(frame.Data.size()), version);
    if (frame.Raw) {
        out[8] = frame.StatusFlags;
        out[9] = frame.FormatFlags;
    }
    std::copy(frame.Data.begin(), frame.Data.end(), out.begin() + kHeaderSize);
    return static_cast<int32_t>(frame.Data.size()) + kHeaderSize;
}

bool IsKeptFrame(const std::string& id) {
    return std::none_of(kRecordIds.begin(), kRecordIds.end(),
                        [&](const char* recordId) { return id == recordId; });
}

std::string GenreToFrameText(const std::string& genre) {
    int32_t index = GetGenreIndex(genre);
    if (index == kNoGenre) return genre;
    return "(" + std::to_string(index) + ")" + GetGenreName(index);
}

void UpgradeKeptFrame(KeptFrameList& frames, int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(frames.size())) return;
    KeptFrame& frame = frames[static_cast<size_t>(index)];
    // Compressed or encrypted content cannot be converted; it is kept as stored.
    if (frame.Raw) return;
    Bytes& data = frame.Data;

    if (frame.Id == "PIC") {
        // Too short for encoding and image format: nothing to convert; kept as it came.
        if (data.size() < 4) return;
        std::string format;
        for (size_t i = 1; i < 4 && data[i] != 0; ++i)
            format.push_back(static_cast<char>(std::toupper(data[i])));
        std::string type;
        if (format == "PNG") {
            type = "image/png";
        } else if (format == "JPG") {
            type = "image/jpeg";
        } else if (format == "-->") {
            type = "-->";
        } else {
            type = "image/";
            for (char c : format) type.push_back(static_cast<char>(std::tolower(c)));
        }
        // encoding, format(3) -> encoding, MIME type, 0x00
        Bytes converted;
        converted.reserve(data.size() + type.size());
        converted.push_back(data[0]);
        converted.insert(converted.end(), type.begin(), type.end());
        converted.push_back(0);
        converted.insert(converted.end(), data.begin() + 4, data.end());
        data = std::move(converted);
    } else if (frame.Id == "LNK") {
        if (data.size() < 3) return;
        std::string linked = MapV22FrameId(std::string(data.begin(), data.begin() + 3));
        linked.resize(4, '\0');
        data.insert(data.begin() + 3, 0);
        std::copy(linked.begin(), linked.end(), data.begin());
    } else if (frame.Id == "TDOR" && data.size() > 5) {
        uint8_t encoding = data[0];
        if (encoding == kLatin1 || encoding == kUtf8) {
            data.resize(5);  // encoding byte and the four characters of the year
        } else {
            // In UTF-16 the year's four characters are not four bytes: decode and keep them.
            std::string text = BytesToText(std::span<const uint8_t>(data).subspan(1), encoding, true);
            std::string year = Utf8Prefix(text, 4);
            if (FitsLatin1(year)) {
                std::string latin1 = Utf8ToLatin1(year);
                data.assign(1, kLatin1);
                data.insert(data.end(), latin1.begin(), latin1.end());
            }
        }
    }
    frame.Id = MapV22FrameId(frame.Id);
    frame.Size = static_cast<int32_t>(data.size());
}

int64_t NewTagSize(int64_t needed, int64_t old) {
    if (needed <= old) return old;
    int64_t rest = needed % 2048;
    int64_t base = needed - rest;
    return base + (rest < 1024 ? 2048 : 4096) + kHeaderSize;
}

namespace {

// Sizes `tag` for `needed` bytes of header and frames (padding to a size the next write can grow
// into) and writes its header. False when the tag would outgrow the format.
bool StartTag(std::vector<uint8_t>& tag, int64_t needed, int64_t oldSize, int version) {
    const int64_t total = NewTagSize(needed, oldSize);
    if (total - kHeaderSize > kMaxTagBody) return false;
    tag.assign(static_cast<size_t>(total), 0);
    std::memcpy(tag.data(), "ID3", 3);
    tag[3] = version == kWriteV24 ? 4 : 3;
    EncodeSize32(static_cast<uint32_t>(total - kHeaderSize), true, std::span(tag).subspan(6, 4));
    return true;
}

}  // namespace

bool BuildID3v2Tag(const ID3TagInfo& info, int version, KeptFrameList& kept, int64_t oldSize,
                   std::vector<uint8_t>& tag, std::string* error) {
    const auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (version != kWriteV23) version = kWriteV24;
    ID3TagInfo fields = info;
    fields.Genre = GenreToFrameText(info.Genre);
    const std::string yearId = version == kWriteV24 ? "TDRC" : "TYER";
    const std::array<std::pair<std::string, const std::string*>, 12> order = {{
        {"TPE1", &fields.Artist},
        {"TALB", &fields.Album},
        {"TIT2", &fields.Title},
        {yearId, &fields.Year},
        {"TCON", &fields.Genre},
        {"COMM", &fields.Comment},
        {"TRCK", &fields.Track},
        {"TENC", &fields.Encoder},
        {"WXXX", &fields.LinkTo},
        {"TCOP", &fields.Copyright},
        {"TCOM", &fields.Composer},
        {"TOPE", &fields.OrigArtist},
    }};

    int64_t needed = kHeaderSize;
    std::set<std::string> written;
    for (const auto& [id, value] : order) {
        const int32_t size = FieldFrameSize(id, *value, true, version);
        if (size > 0) written.insert(id);
        needed += size;
    }
    // A compressed or encrypted frame was never read into the record: it stays unless the record
    // writes a frame in its place.
    const auto keeps = [&](const KeptFrame& frame) {
        return IsKeptFrame(frame.Id) || (frame.Raw && written.count(frame.Id) == 0);
    };
    for (auto& frame : kept) {
        if (!keeps(frame)) continue;
        if (!ConvertRawFrame(frame, version == kWriteV24 ? 4 : 3))
            return fail("a compressed or encrypted frame of the old tag cannot be kept in this version");
        if (version == kWriteV24 && frame.Data.size() > static_cast<size_t>(kMaxTagBody))
            return fail("a frame of the old tag is too large to keep");
        needed += static_cast<int64_t>(frame.Data.size()) + kHeaderSize;
    }
    if (!StartTag(tag, needed, oldSize, version)) return fail("the new tag would be too large");
    size_t pos = kHeaderSize;
    for (const auto& [id, value] : order)
        pos += static_cast<size_t>(WriteFieldFrame(std::span(tag).subspan(pos), id, *value, version));
    for (int32_t i = 0; i < static_cast<int32_t>(kept.size()); ++i)
        if (keeps(kept[static_cast<size_t>(i)]))
            pos += static_cast<size_t>(WriteKeptFrame(std::span(tag).subspan(pos), kept, i, version));
    if (static_cast<int64_t>(pos) != needed) return fail("internal error: the tag was mis-sized");
    return true;
}

bool BuildID3v2FramesTag(KeptFrameList& frames, int version, int64_t oldSize, std::vector<uint8_t>& tag,
                         std::string* error) {
    const auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (version != kWriteV23) version = kWriteV24;
    int64_t needed = kHeaderSize;
    for (const auto& frame : frames) {
        if (frame.Data.size() > static_cast<size_t>(kMaxTagBody)) return fail("a frame is too large for a tag");
        needed += static_cast<int64_t>(frame.Data.size()) + kHeaderSize;
    }
    if (!StartTag(tag, needed, oldSize, version)) return fail("the new tag would be too large");
    size_t pos = kHeaderSize;
    for (int32_t i = 0; i < static_cast<int32_t>(frames.size()); ++i)
        pos += static_cast<size_t>(WriteKeptFrame(std::span(tag).subspan(pos), frames, i, version));
    if (static_cast<int64_t>(pos) != needed) return fail("internal error: the tag was mis-sized");
    return true;
}

namespace {

// One write or removal of the tag at the start of a file. Each step that fails says why in
// Error() and leaves the file as it was.
class TagRewrite {
public:
    TagRewrite(const std::string& path, uint8_t* workBuffer, int32_t workBufferLength)
        : path_(path), workBuffer_(workBuffer), workBufferLength_(workBufferLength) {}

    // Checks that the file may be written and that its old tag is sound; notes its sizes.
    bool Open(bool clearReadOnly);
    // The frames of the old tag (and of the tags its "SEEK" frames lead on to) to carry over.
    KeptFrameList KeepOldFrames() const;
    // The new tag in the old one's place: in place when it has the old size, else by a rewrite.
    bool Replace(std::span<const uint8_t> tag);
    int64_t OldTagSize() const { return old_; }
    // Major version of the old tag; 0 without one.
    int OldMajor() const { return oldMajor_; }
    const std::string& Error() const { return error_; }
    bool Fail(std::string why) {
        error_ = std::move(why);
        return false;
    }

private:
    // Rebuilds the file as `head` followed by everything after the old tag.
    bool Rewrite(std::span<const uint8_t> head);

    std::string path_;
    uint8_t* workBuffer_;
    int32_t workBufferLength_;
    FileReader file_;
    int64_t size_ = 0;
    int64_t old_ = 0;
    int oldMajor_ = 0;
    std::string error_;
};

bool TagRewrite::Open(bool clearReadOnly) {
    // Refuses what is not an existing regular file, and a read-only file unless asked to make it
    // writable (root may write any file, so the mode bits are checked, not access()).
    if (clearReadOnly) ClearReadOnly(path_);
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return Fail(ErrorText("cannot open " + path_, errno));
    if (!S_ISREG(st.st_mode)) return Fail(path_ + " is not a regular file");
    if (!(st.st_mode & S_IWUSR) || ::access(path_.c_str(), W_OK) != 0) return Fail(path_ + " is read-only");
    if (!file_.Open(path_)) return Fail(ErrorText("cannot open " + path_, errno));
    size_ = file_.Size();
    // A tag that claims more bytes than the file holds is damaged: rewriting it in place or
    // cutting it off would destroy the audio.
    std::array<uint8_t, kHeaderSize> header{};
    if (file_.ReadExact(0, header) && ID3v2TagBytes(header) > size_)
        return Fail("the old ID3v2 tag is damaged: it claims more bytes than the file holds");
    old_ = GetID3v2TagSize(file_, 0);
    if (old_ > 0) oldMajor_ = header[3];
    return true;
}

KeptFrameList TagRewrite::KeepOldFrames() const {
    KeptFrameList kept;
    // Follow "SEEK" only forwards: a chain that points back or at itself would never end.
    ID3TagInfo scratch;
    int64_t pos = 0;
    std::array<uint8_t, 3> magic{};
    while (pos >= 0 && pos < size_ && file_.ReadExact(pos, magic) && StartsWith(magic, "ID3")) {
        const int64_t next = ParseID3v2Tag(file_, pos, scratch, &kept);
        if (next <= pos) break;
        pos = next;
    }
    return kept;
}

bool TagRewrite::Replace(std::span<const uint8_t> tag) {
    file_.Close();
    if (static_cast<int64_t>(tag.size()) != old_) return Rewrite(tag);
    std::string error;
    return WriteInPlace(path_, 0, tag, &error) || Fail(error);
}

bool TagRewrite::Rewrite(std::span<const uint8_t> head) {
    const FileDescriptor src = OpenFile(path_, O_RDONLY);
    if (!src.IsOpen()) return Fail(ErrorText("cannot open " + path_, errno));
    std::span<uint8_t> buffer;
    if (workBuffer_ && workBufferLength_ > 0)
        buffer = std::span<uint8_t>(workBuffer_, static_cast<size_t>(workBufferLength_));
    AtomicFileWriter out;
    const bool ok = out.Open(path_) && out.Write(head) &&
                    out.CopyRange(src.get(), old_, size_ - old_, buffer) && out.Commit();
    return ok || Fail(out.Error());
}

bool BuildTag(const ID3TagInfo& info, int version, KeptFrameList& kept, TagRewrite& rewrite, Bytes& tag) {
    std::string error;
    return BuildID3v2Tag(info, version, kept, rewrite.OldTagSize(), tag, &error) || rewrite.Fail(error);
}

// Keeps the outcome for LastTagWriteError().
bool Finish(bool ok, const TagRewrite& rewrite) {
    tLastError = ok ? std::string() : rewrite.Error();
    return ok;
}

}  // namespace

const std::string& LastTagWriteError() { return tLastError; }

bool WriteID3v2Tag(const std::string& path, const ID3TagInfo& info, int version, bool clearOldTag,
                   bool clearReadOnly, uint8_t* workBuffer, int32_t workBufferLength) {
    if (version != kWriteV23) version = kWriteV24;
    TagRewrite rewrite(path, workBuffer, workBufferLength);
    if (!rewrite.Open(clearReadOnly)) return Finish(false, rewrite);
    KeptFrameList kept;
    if (rewrite.OldTagSize() > 0 && !clearOldTag) kept = rewrite.KeepOldFrames();
    Bytes tag;
    return Finish(BuildTag(info, version, kept, rewrite, tag) && rewrite.Replace(tag), rewrite);
}

bool EditID3v2Frames(const std::string& path, const FrameEdit& edit, bool clearReadOnly) {
    TagRewrite rewrite(path, nullptr, 0);
    if (!rewrite.Open(clearReadOnly)) return Finish(false, rewrite);
    KeptFrameList frames;
    if (rewrite.OldTagSize() > 0) frames = rewrite.KeepOldFrames();
    const int version = rewrite.OldMajor() == 4 ? kWriteV24 : kWriteV23;
    edit(frames, version == kWriteV24 ? 4 : 3);
    if (frames.empty() && rewrite.OldTagSize() == 0) return Finish(true, rewrite);
    Bytes tag;
    std::string error;
    if (!BuildID3v2FramesTag(frames, version, rewrite.OldTagSize(), tag, &error))
        return Finish(rewrite.Fail(error), rewrite);
    return Finish(rewrite.Replace(tag), rewrite);
}

bool RemoveID3v2Tag(const std::string& path, bool clearReadOnly, uint8_t* workBuffer,
                    int32_t workBufferLength) {
    TagRewrite rewrite(path, workBuffer, workBufferLength);
    if (!rewrite.Open(clearReadOnly)) return Finish(false, rewrite);
    if (rewrite.OldTagSize() == 0) return Finish(true, rewrite);
    return Finish(rewrite.Replace({}), rewrite);
}

}  // namespace mdlID3
