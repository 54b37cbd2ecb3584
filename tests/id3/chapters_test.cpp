// Chapter frames (CHAP, CTOC): their contents built and parsed in both tag versions, damaged
// contents, play order, and tag writes that keep them.
#include <algorithm>

#include <gtest/gtest.h>

#include "files/filereader.h"
#include "id3/chapters.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "support/v2fixtures.h"
#include "support/testfiles.h"

namespace {

using testfiles::Bytes;
using testfiles::Concat;
using namespace v2fixtures;

mdlID3::Chapter MakeChapter(const std::string& id, uint32_t start, uint32_t end, const std::string& title,
                            const std::string& url = {}, size_t pictureBytes = 0) {
    mdlID3::Chapter c;
    c.ElementId = id;
    c.StartMs = start;
    c.EndMs = end;
    c.Title = title;
    c.Url = url;
    c.PictureData.assign(pictureBytes, 0x5A);
    return c;
}

auto Fields(const mdlID3::Chapter& c) {
    return std::tie(c.ElementId, c.StartMs, c.EndMs, c.StartOffset, c.EndOffset, c.Title, c.Url, c.PictureData);
}

// The content of the file's first frame with `id`; empty when it has none.
Bytes FrameData(const std::string& path, const std::string& id) {
    mdlID3::FileReader file(path);
    mdlID3::KeptFrameList frames;
    mdlID3::ReadID3v2Frames(file, frames);
    const auto it = std::find_if(frames.begin(), frames.end(), [&](const auto& f) { return f.Id == id; });
    return it == frames.end() ? Bytes{} : it->Data;
}

TEST(ChapterFrames, BuiltAndParsedInBothVersions) {
    for (int major : {3, 4}) {
        for (const mdlID3::Chapter& chapter :
             {MakeChapter("chp7", 61500, 125250, "Intro"),
              MakeChapter("chp7", 61500, 125250, "Kapitel \xC3\xBC \xE2\x82\xAC", "https://example.org/1", 300)}) {
            const Bytes data = mdlID3::ChapterFrameData(chapter, major);
            mdlID3::Chapter parsed;
            ASSERT_TRUE(mdlID3::ParseChapterFrame(data, major, parsed)) << major;
            EXPECT_EQ(Fields(parsed), Fields(chapter));
            // Element ID, four times, offsets 0xFFFFFFFF.
            EXPECT_EQ(Bytes(data.begin(), data.begin() + 21),
                      Concat({Str("chp7"), {0}, Plain32(61500), Plain32(125250), Plain32(0xFFFFFFFF), Plain32(0xFFFFFFFF)}));
            // The APIC sub-frame's size field as the version codes it.
            const auto picture = static_cast<std::ptrdiff_t>(chapter.PictureData.size());
            if (picture > 0) {
                EXPECT_EQ(Bytes(data.end() - picture - 10, data.end() - picture - 2),
                          Concat({Str("APIC"), major == 4 ? SyncSafe(300) : Plain32(300)}));
            }
        }
    }
    mdlID3::ChapterToc toc{"toc", true, true, {"chp0", "chp1", "chp2"}};
    for (int major : {3, 4}) {
        const Bytes data = mdlID3::TocFrameData(toc, major);
        EXPECT_EQ(data, Concat({Str("toc"), {0, 0x03, 3}, Str("chp0"), {0}, Str("chp1"), {0}, Str("chp2"), {0}}));
        mdlID3::ChapterToc parsed;
        ASSERT_TRUE(mdlID3::ParseTocFrame(data, major, parsed));
        EXPECT_TRUE(parsed.TopLevel && parsed.Ordered);
        EXPECT_EQ(parsed.Children, toc.Children);
    }
}

// Every shortened content: refused until the fixed fields are whole, a sub-frame read only when
// all of it is there, and nothing read past the end.
TEST(ChapterFrames, ShortenedContentsAreReadOnlyAsFarAsTheyGo) {
    const Bytes full = mdlID3::ChapterFrameData(MakeChapter("a", 1, 2, "Title", "http://x", 20), 4);
    const size_t fixed = 2 + 16;
    const size_t titleEnd = fixed + 10 + 7;  // TIT2 header, encoding, "Title", terminator
    for (size_t n = 0; n <= full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        mdlID3::Chapter c;
        const bool ok = mdlID3::ParseChapterFrame(cut, 4, c);
        EXPECT_EQ(ok, n >= fixed) << n;
        if (!ok) continue;
        EXPECT_EQ(c.Title, n >= titleEnd ? "Title" : "") << n;
        EXPECT_EQ(c.PictureData.size(), n == full.size() ? 20u : 0u) << n;
    }
    const Bytes toc = mdlID3::TocFrameData({"t", true, false, {"x", "y"}}, 3);
    for (size_t n = 0; n <= toc.size(); ++n) {
        mdlID3::ChapterToc t;
        const bool ok = mdlID3::ParseTocFrame(Bytes(toc.begin(), toc.begin() + static_cast<std::ptrdiff_t>(n)), 3, t);
        EXPECT_EQ(ok, n >= 4) << n;
        if (!ok) continue;
        EXPECT_EQ(t.Children.size(), n == toc.size() ? 2u : n >= 6 ? 1u : 0u) << n;
    }
    mdlID3::Chapter c;
    EXPECT_FALSE(mdlID3::ParseChapterFrame(Str("unterminated element id and more bytes"), 3, c));
}

TEST(ChapterFrames, PlayOrderFollowsTheTopLevelOrderedTocElseTheTimes) {
    const auto frameOf = [](const std::string& id, Bytes data) {
        mdlID3::KeptFrame f;
        f.Id = id;
        f.Data = std::move(data);
        f.SourceVersion = 4;
        return f;
    };
    mdlID3::KeptFrameList frames = {frameOf("CHAP", mdlID3::ChapterFrameData(MakeChapter("b", 5000, 9000, "B"), 4)),
                                    frameOf("CHAP", mdlID3::ChapterFrameData(MakeChapter("a", 0, 5000, "A"), 4)),
                                    frameOf("CHAP", mdlID3::ChapterFrameData(MakeChapter("c", 9000, 9500, "C"), 4))};
    const auto titles = [](const std::vector<mdlID3::Chapter>& list) {
        std::string out;
        for (const auto& c : list) out += c.Title;
        return out;
    };
    EXPECT_EQ(titles(mdlID3::ChaptersFromFrames(frames)), "ABC");
    frames.push_back(frameOf("CTOC", mdlID3::TocFrameData({"toc", true, true, {"c", "b"}}, 4)));
    EXPECT_EQ(titles(mdlID3::ChaptersFromFrames(frames)), "CBA");  // the unlisted one follows
    frames.back() = frameOf("CTOC", mdlID3::TocFrameData({"toc", false, true, {"c", "b"}}, 4));
    EXPECT_EQ(titles(mdlID3::ChaptersFromFrames(frames)), "ABC");  // not top-level: times decide
}

Bytes AnyFrame(int major, const std::string& id, const Bytes& data) {
    return major == 4 ? Frame24(id, data) : Frame23(id, data);
}

class ChapterWrites : public ::testing::Test {
protected:
    // A tag of `major` with a title, a private frame and, optionally, chapter frames, before audio.
    std::string MakeFile(int major, const Bytes& chapterFrames = {}) {
        const Bytes body = Concat({AnyFrame(major, "TIT2", Text("Show")),
                                   AnyFrame(major, "PRIV", Concat({Str("owner"), {0, 1, 2, 3}})), chapterFrames});
        testfiles::WriteFile(path, Concat({Tag(static_cast<uint8_t>(major), body, 0, 64), audio}));
        return path;
    }
    Bytes AudioAfterTag() {
        const Bytes all = testfiles::ReadFile(path);
        mdlID3::FileReader file(path);
        const int64_t tag = mdlID3::GetID3v2TagSize(file, 0);
        return Bytes(all.begin() + tag, all.end());
    }
    testfiles::TempDir dir;
    std::string path = dir.file("show.mp3");
    Bytes audio = testfiles::SilentFrames(30);
};

TEST_F(ChapterWrites, WriteChaptersReplacesOnlyTheChapters) {
    for (int major : {3, 4}) {
        MakeFile(major);
        std::vector<mdlID3::Chapter> chapters = {MakeChapter("", 0, 0, "One"), MakeChapter("", 1500, 0, "Two \xC3\xA9"),
                                                 MakeChapter("", 700, 0, "Between")};
        mdlID3::ArrangeChapters(chapters, 2000);
        ASSERT_TRUE(mdlID3::WriteChapters(path, chapters)) << mdlID3::LastTagWriteError();
        std::vector<mdlID3::Chapter> read;
        ASSERT_TRUE(mdlID3::ReadChapters(path, read));
        ASSERT_EQ(read.size(), 3u);
        const std::vector<std::tuple<std::string, uint32_t, uint32_t, std::string>> expected = {
            {"chp0", 0, 700, "One"}, {"chp1", 700, 1500, "Between"}, {"chp2", 1500, 2000, "Two \xC3\xA9"}};
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(std::make_tuple(read[i].ElementId, read[i].StartMs, read[i].EndMs, read[i].Title), expected[i]);
        EXPECT_EQ(FrameData(path, "PRIV"), Concat({Str("owner"), {0, 1, 2, 3}}));
        EXPECT_EQ(FrameData(path, "TIT2"), Text("Show"));
        EXPECT_EQ(testfiles::ReadFile(path)[3], major);
        EXPECT_EQ(AudioAfterTag(), audio);

        ASSERT_TRUE(mdlID3::WriteChapters(path, {}));
        ASSERT_TRUE(mdlID3::ReadChapters(path, read));
        EXPECT_TRUE(read.empty());
        EXPECT_EQ(FrameData(path, "CTOC"), Bytes{});
        EXPECT_EQ(AudioAfterTag(), audio);
    }
}

// The tag editor's write keeps chapter frames byte for byte in their own version, and re-codes
// only their sub-frame sizes for the other (a 300-byte picture's size differs between them).
TEST_F(ChapterWrites, TagEditsKeepChapterFrames) {
    for (int from : {3, 4}) {
        for (int to : {mdlID3::kWriteV23, mdlID3::kWriteV24}) {
            const mdlID3::Chapter chapter = MakeChapter("c1", 0, 1000, "Intro", "http://a", 300);
            const Bytes chap = mdlID3::ChapterFrameData(chapter, from);
            const Bytes toc = mdlID3::TocFrameData({"toc", true, true, {"c1"}}, from);
            MakeFile(from, Concat({AnyFrame(from, "CTOC", toc), AnyFrame(from, "CHAP", chap)}));
            mdlID3::ID3TagInfo info;
            info.Title = "Edited";
            ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, to, false, false)) << mdlID3::LastTagWriteError();
            const int toMajor = to == mdlID3::kWriteV24 ? 4 : 3;
            EXPECT_EQ(FrameData(path, "CTOC"), toc);
            EXPECT_EQ(FrameData(path, "CHAP"), mdlID3::ChapterFrameData(chapter, toMajor));
            std::vector<mdlID3::Chapter> read;
            ASSERT_TRUE(mdlID3::ReadChapters(path, read));
            ASSERT_EQ(read.size(), 1u);
            EXPECT_EQ(Fields(read[0]), Fields(chapter));
            EXPECT_EQ(AudioAfterTag(), audio);
        }
    }
}

}  // namespace
