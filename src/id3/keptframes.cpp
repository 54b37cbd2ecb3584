#include "id3/keptframes.h"

#include <optional>
#include <utility>

#include "files/bytereader.h"
#include "id3/bytes.h"

namespace mdlID3 {

namespace {

// What the format flags of a compressed or encrypted frame announce (ID3v2.3 3.3.1, ID3v2.4 4.1.2).
struct RawFields {
    bool compressed = false;
    bool encrypted = false;
    bool grouped = false;
    std::optional<uint32_t> size;  // decompressed size (2.3) or data length indicator (2.4)
    uint8_t method = 0;
    uint8_t group = 0;
    size_t length = 0;  // bytes of these fields in front of the stored bytes
};

// 2.3 puts them in the order size, method, group; 2.4 group, method, data length.
std::optional<RawFields> ReadRawFields(const KeptFrame& frame) {
    RawFields r;
    ByteReader in(frame.Data);
    const uint8_t f = frame.FormatFlags;
    const bool v23 = frame.SourceVersion == 3;
    r.compressed = f & (v23 ? 0x80 : 0x08);
    r.encrypted = f & (v23 ? 0x40 : 0x04);
    r.grouped = f & (v23 ? 0x20 : 0x40);
    std::optional<uint8_t> method = 0, group = 0;
    if (v23 && r.compressed && !(r.size = in.U32BE())) return std::nullopt;
    if (!v23 && r.grouped) group = in.U8();
    if (r.encrypted) method = in.U8();
    if (v23 && r.grouped) group = in.U8();
    if (!v23 && (f & 0x01)) {
        const auto bytes = in.Take(4);
        if (!bytes) return std::nullopt;
        r.size = ReadSize32(*bytes, true);
    }
    if (!method || !group) return std::nullopt;
    r.method = *method;
    r.group = *group;
    r.length = in.Position();
    return r;
}

void AppendSize(std::vector<uint8_t>& out, uint32_t size, bool syncSafe) {
    uint8_t bytes[4];
    EncodeSize32(size, syncSafe, bytes);
    out.insert(out.end(), bytes, bytes + 4);
}

}  // namespace

bool ConvertRawFrame(KeptFrame& frame, int major) {
    if (!frame.Raw || frame.SourceVersion == major || (major != 3 && major != 4)) return true;
    const std::optional<RawFields> r = ReadRawFields(frame);
    if (!r) return false;
    std::vector<uint8_t> data;
    uint8_t format = 0;
    if (major == 3) {
        if (r->compressed && !r->size) return false;
        if (r->compressed) {
            format |= 0x80;
            AppendSize(data, *r->size, false);
        }
        if (r->encrypted) {
            format |= 0x40;
            data.push_back(r->method);
        }
        if (r->grouped) {
            format |= 0x20;
            data.push_back(r->group);
        }
        frame.StatusFlags = static_cast<uint8_t>((frame.StatusFlags << 1) & 0xE0);
    } else {
        if (r->grouped) {
            format |= 0x40;
            data.push_back(r->group);
        }
        if (r->compressed) format |= 0x08;
        if (r->encrypted) {
            format |= 0x04;
            data.push_back(r->method);
        }
        if (r->size) {
            if (*r->size > 0x0FFFFFFF) return false;  // a sync-safe field holds 28 bits
            format |= 0x01;
            AppendSize(data, *r->size, true);
        }
        frame.StatusFlags = static_cast<uint8_t>((frame.StatusFlags >> 1) & 0x70);
    }
    data.insert(data.end(), frame.Data.begin() + static_cast<std::ptrdiff_t>(r->length), frame.Data.end());
    frame.Data = std::move(data);
    frame.Size = static_cast<int32_t>(frame.Data.size());
    frame.FormatFlags = format;
    frame.SourceVersion = major;
    return true;
}

int32_t CollectKeptFrame(KeptFrameList& list, KeptFrame frame) {
    frame.Size = static_cast<int32_t>(frame.Data.size());
    list.push_back(std::move(frame));
    const auto index = static_cast<int32_t>(list.size() - 1);
    UpgradeKeptFrame(list, index);
    return index;
}

}  // namespace mdlID3
