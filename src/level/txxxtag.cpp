#include "level/txxxtag.h"

#include <algorithm>
#include <cctype>

#include "files/filereader.h"
#include "id3/id3v2read.h"
#include "mpeg/id3v2size.h"
#include "text/textcodec.h"

namespace {

constexpr size_t kHeader = 10;
constexpr uint8_t kUnsyncFlag = 0x80;
constexpr uint8_t kExtendedFlag = 0x40;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// The frame layout of one tag version.
struct Layout {
    int version = 0;        // 2, 3 or 4
    size_t idSize = 4;
    size_t headerSize = 10;
    size_t framesStart = kHeader;  // behind the extended header
    size_t tagEnd = 0;             // end of the frames and padding (the footer follows)
    bool footer = false;
    bool wholeUnsync = false;      // 2.2 and 2.3: the whole tag is unsynchronised

    uint32_t FrameSize(const uint8_t* h) const {
        if (version == 2) return (uint32_t{h[3]} << 16) | (uint32_t{h[4]} << 8) | h[5];
        const std::span<const uint8_t> size(h + 4, 4);
        return mdlID3::ReadSize32(size, version == 4);
    }
    void PutFrameSize(uint8_t* h, uint32_t size) const {
        if (version == 2) {
            h[3] = static_cast<uint8_t>(size >> 16);
            h[4] = static_cast<uint8_t>(size >> 8);
            h[5] = static_cast<uint8_t>(size);
            return;
        }
        for (int i = 0; i < 4; ++i)
            h[4 + i] = version == 4 ? static_cast<uint8_t>((size >> (7 * (3 - i))) & 0x7F)
                                    : static_cast<uint8_t>(size >> (8 * (3 - i)));
    }
    const char* TxxxId() const { return version == 2 ? "TXX" : "TXXX"; }
};

// One frame found in the tag.
struct Found {
    size_t at = 0;
    size_t size = 0;  // header and data
};

std::optional<Layout> LayoutOf(std::span<const uint8_t> tag) {
    if (tag.size() < kHeader || tag[0] != 'I' || tag[1] != 'D' || tag[2] != '3') return std::nullopt;
    Layout l;
    l.version = tag[3];
    if (l.version < 2 || l.version > 4) return std::nullopt;
    if (l.version == 2) {
        l.idSize = 3;
        l.headerSize = 6;
    }
    const uint32_t size = mdlID3::ReadSize32(tag.subspan(6, 4), true);
    l.footer = l.version == 4 && (tag[5] & mdlID3::kID3v2FooterFlag);
    l.tagEnd = kHeader + size;
    if (l.tagEnd + (l.footer ? mdlID3::kID3v2FooterSize : 0) != tag.size()) return std::nullopt;
    l.wholeUnsync = l.version < 4 && (tag[5] & kUnsyncFlag);
    if (l.version >= 3 && (tag[5] & kExtendedFlag)) {
        if (tag.size() < kHeader + 4) return std::nullopt;
        const uint32_t ext = mdlID3::ReadSize32(tag.subspan(kHeader, 4), l.version == 4);
        // 2.3 counts the size field out, 2.4 in.
        l.framesStart = kHeader + ext + (l.version == 3 ? 4 : 0);
        if (l.framesStart > l.tagEnd) return std::nullopt;
    }
    return l;
}

bool IsIdByte(uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9'); }

// Every frame up to the padding. The end of the last frame goes to `framesEnd`.
std::vector<Found> Frames(std::span<const uint8_t> tag, const Layout& l, size_t* framesEnd) {
    std::vector<Found> frames;
    size_t p = l.framesStart;
    while (p + l.headerSize <= l.tagEnd && IsIdByte(tag[p])) {
        bool valid = true;
        for (size_t i = 0; i < l.idSize; ++i) valid = valid && IsIdByte(tag[p + i]);
        const uint32_t size = l.FrameSize(tag.data() + p);
        if (!valid || size > l.tagEnd - p - l.headerSize) break;
        frames.push_back({p, l.headerSize + size});
        p += l.headerSize + size;
    }
    *framesEnd = p;
    return frames;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Text of `bytes` in ID3 encoding `encoding`, up to its terminator; `rest` gets what follows it.
std::string DecodeText(uint8_t encoding, std::span<const uint8_t> bytes, std::span<const uint8_t>* rest) {
    const bool wide = encoding == 1 || encoding == 2;
    size_t end = 0;
    const size_t step = wide ? 2 : 1;
    while (end + step <= bytes.size() && !(bytes[end] == 0 && (!wide || bytes[end + 1] == 0))) end += step;
    const auto text = bytes.first(std::min(end, bytes.size()));
    if (rest) *rest = end + step <= bytes.size() ? bytes.subspan(end + step) : std::span<const uint8_t>{};
    switch (encoding) {
    case 0: return mdlID3::Latin1ToUtf8(text);
    case 3: return std::string(text.begin(), text.end());
    case 2: return mdlID3::Utf16ToUtf8(text, true);
    default: {
        if (text.size() >= 2 && text[0] == 0xFE && text[1] == 0xFF) return mdlID3::Utf16ToUtf8(text.subspan(2), true);
        if (text.size() >= 2 && text[0] == 0xFF && text[1] == 0xFE) return mdlID3::Utf16ToUtf8(text.subspan(2), false);
        return mdlID3::Utf16ToUtf8(text, false);
    }
    }
}

// Description and value of a TXXX frame's data; nothing for a frame it cannot read.
std::optional<std::pair<std::string, std::string>> TxxxTexts(std::span<const uint8_t> tag, const Layout& l,
                                                              const Found& f) {
    const uint8_t* h = tag.data() + f.at;
    if (!std::equal(h, h + l.idSize, l.TxxxId())) return std::nullopt;
    std::vector<uint8_t> data(tag.begin() + static_cast<long>(f.at + l.headerSize),
                              tag.begin() + static_cast<long>(f.at + f.size));
    if (l.version == 4) {
        const uint8_t flags = h[9];
        if (flags & 0x0C) return std::nullopt;  // compressed or encrypted
        if ((flags & 0x02) || (tag[5] & kUnsyncFlag)) data.resize(data.size() - mdlID3::RemoveUnsync(data));
        if (flags & 0x01) {  // data length indicator
            if (data.size() < 4) return std::nullopt;
            data.erase(data.begin(), data.begin() + 4);
        }
    } else if (l.version == 3 && (h[9] & 0xC0)) {
        return std::nullopt;
    }
    if (data.empty()) return std::nullopt;
    std::span<const uint8_t> rest;
    std::string description = DecodeText(data[0], std::span<const uint8_t>(data).subspan(1), &rest);
    std::string value = DecodeText(data[0], rest, nullptr);
    return std::make_pair(std::move(description), std::move(value));
}

// The tag's bytes with a whole-tag unsynchronisation undone, for reading only.
std::vector<uint8_t> Readable(std::span<const uint8_t> tag, const Layout& l) {
    std::vector<uint8_t> bytes(tag.begin(), tag.end());
    if (!l.wholeUnsync) return bytes;
    std::span<uint8_t> body(bytes.data() + kHeader, l.tagEnd - kHeader);
    const size_t removed = mdlID3::RemoveUnsync(body);
    std::fill(bytes.begin() + static_cast<long>(l.tagEnd - removed), bytes.begin() + static_cast<long>(l.tagEnd), 0);
    return bytes;
}

std::optional<size_t> FindFrame(std::span<const uint8_t> tag, const Layout& l, const std::vector<Found>& frames,
                                std::string_view description) {
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto texts = TxxxTexts(tag, l, frames[i]);
        if (texts && SameText(texts->first, description)) return i;
    }
    return std::nullopt;
}

std::vector<uint8_t> TxxxFrame(const Layout& l, std::string_view description, std::string_view value) {
    std::vector<uint8_t> data;
    const bool latin1 = mdlID3::FitsLatin1(description) && mdlID3::FitsLatin1(value);
    if (latin1) {
        data.push_back(0);
        const std::string d = mdlID3::Utf8ToLatin1(description), v = mdlID3::Utf8ToLatin1(value);
        data.insert(data.end(), d.begin(), d.end());
        data.push_back(0);
        data.insert(data.end(), v.begin(), v.end());
    } else if (l.version == 4) {
        data.push_back(3);
        data.insert(data.end(), description.begin(), description.end());
        data.push_back(0);
        data.insert(data.end(), value.begin(), value.end());
    } else {
        data.push_back(1);
        const auto d = mdlID3::Utf8ToUtf16(description, false, true), v = mdlID3::Utf8ToUtf16(value, false, true);
        data.insert(data.end(), d.begin(), d.end());
        data.insert(data.end(), {0, 0});
        data.insert(data.end(), v.begin(), v.end());
    }
    std::vector<uint8_t> frame(l.headerSize, 0);
    std::copy(l.TxxxId(), l.TxxxId() + l.idSize, frame.begin());
    l.PutFrameSize(frame.data(), static_cast<uint32_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

// Writes the size of a tag whose frames and padding now end at `tagEnd` into its header (and
// footer).
void PutTagSize(std::vector<uint8_t>& tag, size_t tagEnd, bool footer) {
    const size_t size = tagEnd - kHeader;
    for (int i = 0; i < 4; ++i) tag[6 + i] = static_cast<uint8_t>((size >> (7 * (3 - i))) & 0x7F);
    if (footer) {
        tag.resize(tagEnd);
        tag.insert(tag.end(), tag.begin(), tag.begin() + kHeader);
        tag[tagEnd] = '3';
        tag[tagEnd + 1] = 'D';
        tag[tagEnd + 2] = 'I';
    }
}

// Replaces `[at, at + oldSize)` by `frame`. The padding pays for growth while at least `keep`
// bytes of it remain; otherwise the tag grows (or, giving bytes back, shrinks) by the difference.
bool Splice(std::vector<uint8_t>& tag, const Layout& l, size_t framesEnd, size_t at, size_t oldSize,
            std::span<const uint8_t> frame, size_t keep, std::string* error) {
    const size_t padding = l.tagEnd - framesEnd;
    std::vector<uint8_t> body(tag.begin(), tag.begin() + static_cast<long>(at));
    body.insert(body.end(), frame.begin(), frame.end());
    body.insert(body.end(), tag.begin() + static_cast<long>(at + oldSize), tag.begin() + static_cast<long>(framesEnd));
    size_t newPadding = padding;
    const bool grows = frame.size() > oldSize;
    const size_t diff = grows ? frame.size() - oldSize : oldSize - frame.size();
    if (!l.footer) {
        if (grows && padding >= diff + keep) newPadding = padding - diff;
        // Bytes given back go to the padding unless the padding left is small: then the tag had
        // grown for them.
        if (!grows && padding >= keep) newPadding = padding + diff;
    }
    body.insert(body.end(), newPadding, 0);
    if (body.size() - kHeader > 0x0FFFFFFF) return Fail(error, "The ID3v2 tag would be too large");
    PutTagSize(body, body.size(), l.footer);
    tag = std::move(body);
    return true;
}

}  // namespace

bool ReadLeadingTag(const std::string& path, std::vector<uint8_t>& tag, std::string* error) {
    tag.clear();
    mdlID3::FileReader file(path);
    if (!file.IsOpen()) return Fail(error, "Cannot open " + path);
    const int64_t size = mdlID3::GetID3v2TagSize(file, 0);
    if (size == 0) return true;
    tag = file.ReadUpTo(0, size);
    if (static_cast<int64_t>(tag.size()) != size || !LayoutOf(tag)) {
        tag.clear();
        return Fail(error, "The ID3v2 tag of " + path + " is damaged");
    }
    return true;
}

std::optional<std::string> FindTxxx(std::span<const uint8_t> tag, std::string_view description) {
    const auto l = LayoutOf(tag);
    if (!l) return std::nullopt;
    const std::vector<uint8_t> bytes = Readable(tag, *l);
    size_t framesEnd = 0;
    const auto frames = Frames(bytes, *l, &framesEnd);
    const auto i = FindFrame(bytes, *l, frames, description);
    if (!i) return std::nullopt;
    return TxxxTexts(bytes, *l, frames[*i])->second;
}

bool SetTxxx(std::vector<uint8_t>& tag, std::string_view description, std::string_view value, std::string* error) {
    if (tag.empty()) {
        tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
        Layout l;
        l.version = 4;
        const auto frame = TxxxFrame(l, description, value);
        tag.insert(tag.end(), frame.begin(), frame.end());
        PutTagSize(tag, tag.size(), false);
        return true;
    }
    const auto l = LayoutOf(tag);
    if (!l) return Fail(error, "The ID3v2 tag is damaged");
    if (l->wholeUnsync) return Fail(error, "The ID3v2 tag is unsynchronised as a whole and cannot be edited in place");
    size_t framesEnd = 0;
    const auto frames = Frames(tag, *l, &framesEnd);
    const auto frame = TxxxFrame(*l, description, value);
    if (const auto i = FindFrame(tag, *l, frames, description))
        return Splice(tag, *l, framesEnd, frames[*i].at, frames[*i].size, frame, 0, error);
    return Splice(tag, *l, framesEnd, framesEnd, 0, frame, frame.size(), error);
}

bool RemoveTxxx(std::vector<uint8_t>& tag, std::string_view description, std::string* error) {
    if (tag.empty()) return true;
    const auto l = LayoutOf(tag);
    if (!l) return Fail(error, "The ID3v2 tag is damaged");
    if (l->wholeUnsync) return Fail(error, "The ID3v2 tag is unsynchronised as a whole and cannot be edited in place");
    size_t framesEnd = 0;
    const auto frames = Frames(tag, *l, &framesEnd);
    const auto i = FindFrame(tag, *l, frames, description);
    if (!i) return true;
    if (frames.size() == 1) {
        tag.clear();
        return true;
    }
    return Splice(tag, *l, framesEnd, frames[*i].at, frames[*i].size, {}, frames[*i].size, error);
}
