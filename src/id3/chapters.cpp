#include "id3/chapters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "files/bytereader.h"
#include "files/filereader.h"
#include "id3/bytes.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"

namespace mdlID3 {
namespace {

constexpr size_t kSubHeader = 10;

// One sub-frame inside a CHAP or CTOC frame.
struct SubFrame {
    std::string id;
    size_t headerAt = 0;  // within the parent content
    std::span<const uint8_t> data;
    uint8_t status = 0;
    uint8_t format = 0;
};

// The element ID at the front: ISO-8859-1, zero-terminated. Empty optional when unterminated.
std::optional<std::string> TakeElementId(ByteReader& in) {
    const auto rest = in.Rest();
    const auto zero = std::find(rest.begin(), rest.end(), uint8_t{0});
    if (zero == rest.end()) return std::nullopt;
    const size_t n = static_cast<size_t>(zero - rest.begin());
    std::string id(rest.begin(), zero);
    in.Skip(n + 1);
    return id;
}

// Walks the sub-frames from `in` on. In version 2.4 a size that is not sync-safe-plausible is
// read plain, as the tag parser does for the frames themselves.
std::vector<SubFrame> SubFrames(std::span<const uint8_t> content, size_t start, int major) {
    std::vector<SubFrame> out;
    ByteReader in(content);
    if (!in.Skip(start)) return out;
    while (auto header = in.Take(kSubHeader)) {
        if (!IsFrameIdValid(*header) || (*header)[0] == 0) break;
        const auto sizeBytes = header->subspan(4, 4);
        size_t n = ReadSize32(sizeBytes, major == 4);
        if (major == 4 && n <= in.Remaining() && in.Remaining() - n >= 4 &&
            !IsFrameIdValid(in.Rest().subspan(n, 4)))
            n = ReadSize32(sizeBytes, false);
        const size_t headerAt = in.Position() - kSubHeader;
        const auto data = in.Take(n);
        if (!data) break;
        out.push_back({std::string(header->begin(), header->begin() + 4), headerAt, *data, (*header)[8],
                       (*header)[9]});
    }
    return out;
}

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// The writer's version argument for a major version.
int WriteVersion(int major) { return major == 4 ? kWriteV24 : kWriteV23; }

void AppendFieldFrame(std::vector<uint8_t>& out, const std::string& id, const std::string& value, int major) {
    const int version = WriteVersion(major);
    const int32_t size = FieldFrameSize(id, value, true, version);
    if (size <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(size));
    WriteFieldFrame(std::span(out).subspan(at), id, value, version);
}

void AppendElementId(std::vector<uint8_t>& out, const std::string& id) {
    for (char c : id)
        if (c != 0) out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
}

bool IsChapterId(const std::string& id) { return id == "CHAP" || id == "CTOC"; }

}  // namespace

bool ParseChapterFrame(std::span<const uint8_t> data, int major, Chapter& chapter) {
    ByteReader in(data);
    const auto id = TakeElementId(in);
    if (!id) return false;
    const auto start = in.U32BE();
    const auto end = in.U32BE();
    const auto startOffset = in.U32BE();
    const auto endOffset = in.U32BE();
    if (!endOffset) return false;
    chapter = Chapter{};
    chapter.ElementId = *id;
    chapter.StartMs = *start;
    chapter.EndMs = *end;
    chapter.StartOffset = *startOffset;
    chapter.EndOffset = *endOffset;
    for (const SubFrame& sub : SubFrames(data, in.Position(), major)) {
        // Compressed or encrypted sub-frames are not read.
        if ((major == 3 && (sub.format & 0xC0)) || (major == 4 && (sub.format & 0x0C))) continue;
        if (sub.id == "TIT2" && chapter.Title.empty()) chapter.Title = DecodeFrameText(sub.data, sub.id);
        if (sub.id == "WXXX" && chapter.Url.empty()) chapter.Url = DecodeFrameText(sub.data, sub.id);
        if (sub.id == "APIC" && chapter.PictureData.empty()) chapter.PictureData.assign(sub.data.begin(), sub.data.end());
    }
    return true;
}

bool ParseTocFrame(std::span<const uint8_t> data, int major, ChapterToc& toc) {
    (void)major;
    ByteReader in(data);
    const auto id = TakeElementId(in);
    if (!id) return false;
    const auto flags = in.U8();
    const auto count = in.U8();
    if (!count) return false;
    toc = ChapterToc{};
    toc.ElementId = *id;
    toc.TopLevel = (*flags & 0x02) != 0;
    toc.Ordered = (*flags & 0x01) != 0;
    for (int i = 0; i < *count; ++i) {
        const auto child = TakeElementId(in);
        if (!child) break;
        toc.Children.push_back(*child);
    }
    return true;
}

std::vector<uint8_t> ChapterFrameData(const Chapter& chapter, int major) {
    std::vector<uint8_t> out;
    AppendElementId(out, chapter.ElementId);
    PutBigEndian32(out, chapter.StartMs);
    PutBigEndian32(out, chapter.EndMs);
    PutBigEndian32(out, chapter.StartOffset);
    PutBigEndian32(out, chapter.EndOffset);
    AppendFieldFrame(out, "TIT2", chapter.Title, major);
    AppendFieldFrame(out, "WXXX", chapter.Url, major);
    if (!chapter.PictureData.empty()) {
        const size_t at = out.size();
        out.resize(at + kSubHeader);
        std::copy_n("APIC", 4, out.begin() + static_cast<std::ptrdiff_t>(at));
        EncodeSize32(static_cast<uint32_t>(chapter.PictureData.size()), major == 4,
                     std::span(out).subspan(at + 4, 4));
        out.insert(out.end(), chapter.PictureData.begin(), chapter.PictureData.end());
    }
    return out;
}

std::vector<uint8_t> TocFrameData(const ChapterToc& toc, int major) {
    (void)major;
    std::vector<uint8_t> out;
    AppendElementId(out, toc.ElementId);
    out.push_back(static_cast<uint8_t>((toc.TopLevel ? 0x02 : 0) | (toc.Ordered ? 0x01 : 0)));
    const size_t count = std::min<size_t>(toc.Children.size(), 255);
    out.push_back(static_cast<uint8_t>(count));
    for (size_t i = 0; i < count; ++i) AppendElementId(out, toc.Children[i]);
    return out;
}

bool ConvertChapterSubframes(std::vector<uint8_t>& data, bool isToc, int fromMajor, int toMajor) {
    if (fromMajor == toMajor || (fromMajor != 3 && fromMajor != 4) || (toMajor != 3 && toMajor != 4)) return true;
    ByteReader in(data);
    if (!TakeElementId(in)) return false;
    if (isToc) {
        const auto count = in.Skip(1) ? in.U8() : std::nullopt;
        if (!count) return false;
        for (int i = 0; i < *count; ++i)
            if (!TakeElementId(in)) return false;
    } else if (!in.Skip(16)) {
        return false;
    }
    std::vector<uint8_t> converted = data;
    for (const SubFrame& sub : SubFrames(data, in.Position(), fromMajor)) {
        // Only plain sub-frames (no compression, encryption, grouping, unsynchronisation or data
        // length field) mean the same in both versions once their sizes are re-encoded.
        if (sub.format != 0) return false;
        auto header = std::span(converted).subspan(sub.headerAt, kSubHeader);
        EncodeSize32(static_cast<uint32_t>(sub.data.size()), toMajor == 4, header.subspan(4, 4));
        // The status flags moved one bit between the versions; none matters for a sub-frame.
        header[8] = 0;
    }
    data = std::move(converted);
    return true;
}

std::vector<Chapter> ChaptersFromFrames(const KeptFrameList& frames) {
    std::vector<Chapter> chapters;
    std::vector<std::string> order;
    for (const KeptFrame& frame : frames) {
        if (frame.Id == "CHAP") {
            Chapter chapter;
            if (ParseChapterFrame(frame.Data, frame.SourceVersion, chapter)) chapters.push_back(std::move(chapter));
        } else if (frame.Id == "CTOC" && order.empty()) {
            ChapterToc toc;
            if (ParseTocFrame(frame.Data, frame.SourceVersion, toc) && toc.TopLevel && toc.Ordered)
                order = toc.Children;
        }
    }
    std::map<std::string, size_t> rank;
    for (size_t i = 0; i < order.size(); ++i) rank.emplace(order[i], i);
    const auto key = [&](const Chapter& c) {
        const auto it = rank.find(c.ElementId);
        return std::make_pair(it == rank.end() ? order.size() : it->second, c.StartMs);
    };
    std::stable_sort(chapters.begin(), chapters.end(),
                     [&](const Chapter& a, const Chapter& b) { return key(a) < key(b); });
    return chapters;
}

bool ReadChapters(const std::string& path, std::vector<Chapter>& chapters) {
    chapters.clear();
    FileReader file;
    if (!file.Open(path)) return false;
    KeptFrameList frames;
    if (ReadID3v2Frames(file, frames) == 0) return false;
    chapters = ChaptersFromFrames(frames);
    return true;
}

void ArrangeChapters(std::vector<Chapter>& chapters, uint32_t endMs) {
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const Chapter& a, const Chapter& b) { return a.StartMs < b.StartMs; });
    for (size_t i = 0; i < chapters.size(); ++i) {
        chapters[i].ElementId = "chp" + std::to_string(i);
        if (i + 1 < chapters.size())
            chapters[i].EndMs = chapters[i + 1].StartMs;
        else if (endMs > 0)
            chapters[i].EndMs = std::max(endMs, chapters[i].StartMs);
    }
}

void PutChapterFrames(KeptFrameList& frames, const std::vector<Chapter>& chapters, int major) {
    std::erase_if(frames, [](const KeptFrame& f) { return IsChapterId(f.Id); });
    if (chapters.empty()) return;
    // The table of contents first: readers that stop at the first list find the whole of it.
    ChapterToc toc;
    toc.ElementId = "toc";
    toc.TopLevel = true;
    toc.Ordered = true;
    for (const Chapter& c : chapters) toc.Children.push_back(c.ElementId);
    KeptFrame tocFrame;
    tocFrame.Id = "CTOC";
    tocFrame.Data = TocFrameData(toc, major);
    tocFrame.SourceVersion = major;
    CollectKeptFrame(frames, std::move(tocFrame));
    for (const Chapter& c : chapters) {
        KeptFrame frame;
        frame.Id = "CHAP";
        frame.Data = ChapterFrameData(c, major);
        frame.SourceVersion = major;
        CollectKeptFrame(frames, std::move(frame));
    }
}

bool WriteChapters(const std::string& path, const std::vector<Chapter>& chapters) {
    return EditID3v2Frames(path, [&](KeptFrameList& frames, int major) {
        PutChapterFrames(frames, chapters, major);
    });
}

std::string ChapterTimeText(uint32_t ms) {
    const uint32_t s = ms / 1000;
    char text[40];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%u:%02u:%02u.%03u", s / 3600, s / 60 % 60, s % 60, ms % 1000);
    else
        std::snprintf(text, sizeof text, "%u:%02u.%03u", s / 60, s % 60, ms % 1000);
    return text;
}

uint32_t SamplesToMs(uint64_t samples, uint32_t rate) {
    if (rate == 0) return 0;
    const uint64_t ms = (samples * 1000 + rate / 2) / rate;
    return static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
}

}  // namespace mdlID3
