// The classic clip: its name, its byte range, and its save, alone or with the tags in the same pass
// (byte for byte the clip that the tag editor's write on the finished clip makes, for every kind
// of source tag, range and editor setting); never a lost or replaced file.
#include "models/clipsave.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "clips/cleancut.h"
#include "id3/id3v1.h"
#include "id3/id3v2write.h"
#include "models/tageditor.h"
#include "support/testfiles.h"

namespace {

using namespace testfiles;

// Bytes that differ from one position to the next, so a misplaced copy shows.
Bytes Counting(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + i / 256);
    return bytes;
}

size_t FilesIn(const std::filesystem::path& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(ClipName, RemovesExtensionsDotsAndClockSeparators) {
    EXPECT_EQ(ClipNameStart("a.b.mp3"), "Trimbel_ab");
    EXPECT_EQ(ClipNameStart("Song.MP3"), "Trimbel_Song");
    EXPECT_EQ(ClipNameStart("x.Mp3"), "Trimbel_xMp3");  // matching is exact, case included
    EXPECT_EQ(ClipNameStart("a.mp3.MP3"), "Trimbel_a");
    EXPECT_EQ(DefaultClipName("a.b.mp3", "24/05/2024 14:03:07"), "Trimbel_ab24052024140307.mp3");
    EXPECT_EQ(DefaultClipName("live.mp3", "5/24/24 2:03:07 PM CEST"), "Trimbel_live5242420307PMCEST.mp3");
}

TEST(Marks, AStartOfZeroBytesIsByteHundred) {
    EXPECT_EQ(StartMark(16000, 0), 100);
    EXPECT_EQ(StartMark(0, 12), 100);
    EXPECT_EQ(StartMark(16000, 2.5), 40000);
    EXPECT_EQ(EndMark(16000, 0), 0);
    EXPECT_EQ(EndMark(16000, 4.75), 76000);
}

// Byte positions are 1-based and rounded half to even; a range stops at the end of the file.
TEST(ClipByteRange, RoundsHalfToEvenStopsAtTheEndAndRefusesEmptyOrMisplacedRanges) {
    const struct {
        double start, length;
        bool ok;
        int64_t offset = 0, size = 0;
    } cases[] = {
        {100.5, 10.5, true, 99, 10}, {101.5, 11.5, true, 101, 12}, {1, 1000, true, 0, 1000},
        {900, 500, true, 899, 101},  {1000, 5, true, 999, 1},       {1001, 5, false},
        {0.5, 5, false},             {-20, 5, false},               {10, 0.5, false},
        {10, -300, false},
    };
    for (const auto& c : cases) {
        ClipBytes range;
        std::string error;
        ASSERT_EQ(ClipByteRange(c.start, c.length, 1000, &range, &error), c.ok) << c.start << " " << c.length;
        EXPECT_EQ(error.empty(), c.ok) << c.start;
        if (!c.ok) continue;
        EXPECT_EQ(range.offset, c.offset) << c.start;
        EXPECT_EQ(range.length, c.size) << c.start;
    }
}

class SaveClipTest : public ::testing::Test {
protected:
    SaveClipTest() {
        source = dir.file("source.mp3");
        bytes = Counting(3 * (1 << 20) + 12345);  // spans several copy chunks
        testfiles::WriteFile(source, bytes);
    }
    testfiles::TempDir dir;
    std::string source;
    Bytes bytes;
};

TEST_F(SaveClipTest, CopiesTheRangeAcrossChunks) {
    std::string clip = dir.file("clip.mp3");
    std::string error;
    ASSERT_TRUE(SaveClip(source, clip, 500000, 2500000.4, {}, &error)) << error;
    EXPECT_EQ(testfiles::ReadFile(clip), Bytes(bytes.begin() + 499999, bytes.begin() + 499999 + 2500000));
    EXPECT_EQ(FilesIn(dir.path()), 2u);
    struct stat st;
    ASSERT_EQ(::stat(clip.c_str(), &st), 0);
    mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(SaveClipTest, TheFinisherSeesTheBytesBeforeTheClipTakesItsName) {
    std::string clip = dir.file("clip.mp3");
    std::string seen;
    size_t seenSize = 0;
    ClipFinisher finish = [&](const std::string& path, std::string*) {
        seen = path;
        seenSize = testfiles::ReadFile(path).size();
        EXPECT_FALSE(std::filesystem::exists(clip));
        testfiles::WriteFile(path, testfiles::Concat({testfiles::FromString("ID3"), testfiles::ReadFile(path)}));
        return true;
    };
    std::string error;
    ASSERT_TRUE(SaveClip(source, clip, 1, 100, finish, &error)) << error;
    EXPECT_EQ(seenSize, 100u);
    EXPECT_EQ(std::filesystem::path(seen).parent_path(), dir.path());
    EXPECT_EQ(testfiles::ReadFile(clip).size(), 103u);
    EXPECT_FALSE(std::filesystem::exists(seen));
}

TEST_F(SaveClipTest, AFailedFinishLeavesTheOldFileOfThatNameAndNoTemporaryFile) {
    std::string clip = dir.file("clip.mp3");
    testfiles::WriteFile(clip, testfiles::FromString("old clip"));
    std::string error;
    EXPECT_FALSE(SaveClip(source, clip, 1, 100, [](const std::string&, std::string* e) {
        *e = "disk full";
        return false;
    }, &error));
    EXPECT_EQ(error, "disk full");
    EXPECT_EQ(testfiles::ReadFile(clip), testfiles::FromString("old clip"));
    EXPECT_EQ(FilesIn(dir.path()), 2u);
}

TEST_F(SaveClipTest, NeverReplacesTheSourceEvenThroughALink) {
    std::string error;
    EXPECT_FALSE(SaveClip(source, source, 1, 100, {}, &error));
    EXPECT_NE(error.find("cut from"), std::string::npos);
    std::string link = dir.file("link.mp3");
    std::filesystem::create_symlink(source, link);
    EXPECT_FALSE(SaveClip(source, link, 1, 100, {}, &error));
    std::string hard = dir.file("hard.mp3");
    std::filesystem::create_hard_link(source, hard);
    EXPECT_FALSE(SaveClip(link, hard, 1, 100, {}, &error));
    EXPECT_EQ(testfiles::ReadFile(source), bytes);
}

TEST_F(SaveClipTest, ReportsMissingSourcesAndUnwritableFolders) {
    std::string error;
    EXPECT_FALSE(SaveClip(dir.file("missing.mp3"), dir.file("clip.mp3"), 1, 100, {}, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(SaveClip(source, dir.file("no/such/folder/clip.mp3"), 1, 100, {}, &error));
    EXPECT_NE(error.find("Cannot create"), std::string::npos) << error;
    if (::geteuid() != 0) {  // root writes anywhere
        std::filesystem::create_directory(dir.file("locked"));
        std::filesystem::permissions(dir.file("locked"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
        EXPECT_FALSE(SaveClip(source, dir.file("locked/clip.mp3"), 1, 100, {}, &error));
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    }
    EXPECT_FALSE(SaveClip(source, dir.file("late.mp3"), bytes.size() + 1.0, 10, {}, &error));
    EXPECT_FALSE(SaveClip(source, "", 1, 100, {}, &error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("late.mp3")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("clip.mp3")));
    EXPECT_EQ(FilesIn(dir.path()), 1u + (::geteuid() != 0 ? 1u : 0u));
}

enum class SourceTags { None, V23AndV1, V24, V1Only };

void TagSource(const std::string& path, SourceTags kind) {
    mdlID3::ID3TagInfo info;
    info.Artist = "Band";
    info.Title = "Söng";
    info.Album = "Record";
    info.Year = "1999";
    info.Genre = "Rock";
    info.Track = "4/9";
    if (kind == SourceTags::V23AndV1 || kind == SourceTags::V24) {
        const int version = kind == SourceTags::V24 ? mdlID3::kWriteV24 : mdlID3::kWriteV23;
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, version, true, false));
    }
    if (kind == SourceTags::V23AndV1 || kind == SourceTags::V1Only) {
        ASSERT_TRUE(mdlID3::WriteID3v1Tag(path, info, false));
    }
}

class ClipTagsPass : public ::testing::TestWithParam<SourceTags> {
protected:
    // The editor as the cutting window leaves it after opening `source`, with the given settings.
    void Load(const std::string& source, int version, bool v1) {
        editor.LoadFile(source, "song.mp3");
        editor.SetVersion(version);
        editor.SetV1Checked(v1);
        editor.SetField(TagField::v2Comment, "Ünïcode comment");
    }
    ClipFinisher WriteInto() {
        return [this](const std::string& clip, std::string* why) { return editor.WriteInto(clip, why); };
    }
    // Saves the classic clip both ways: the same bytes, or the same failure and no clip.
    // Returns the one-pass clip.
    Bytes BothWays(const std::string& source, double start, double length) {
        ClipTags tags;
        EXPECT_TRUE(editor.TagsForClip(&tags));
        std::filesystem::remove(dir.file("one.mp3"));
        std::filesystem::remove(dir.file("two.mp3"));
        std::string twoError, oneError;
        const bool two = SaveClip(source, dir.file("two.mp3"), start, length, WriteInto(), &twoError);
        const bool one = SaveClip(source, dir.file("one.mp3"), start, length, WriteInto(), &oneError, &tags);
        EXPECT_EQ(one, two) << start << " " << length;
        EXPECT_EQ(oneError, twoError);
        EXPECT_EQ(std::filesystem::exists(dir.file("one.mp3")), one);
        if (!one || !two) return {};
        const Bytes clip = ReadFile(dir.file("one.mp3"));
        EXPECT_EQ(clip, ReadFile(dir.file("two.mp3"))) << start << " " << length;
        return clip;
    }
    TempDir dir;
    TagEditor editor;
};

TEST_P(ClipTagsPass, ClassicRangesGiveTheTwoStepBytes) {
    const std::string source = dir.file("song.mp3");
    WriteFile(source, Counting(20000));
    TagSource(source, GetParam());
    const double size = static_cast<double>(ReadFile(source).size());
    for (int version : {0, 1}) {
        for (bool v1 : {false, true}) {
            SCOPED_TRACE(testing::Message() << "version " << version << " v1 " << v1);
            Load(source, version, v1);
            const Bytes middle = BothWays(source, 5000, 3000);
            ASSERT_GT(middle.size(), 3000u);
            EXPECT_EQ(Bytes(middle.begin(), middle.begin() + 3), FromString("ID3"));
            BothWays(source, size - 4000, 8000);  // to the end: the source's own v1 tag, if any
            BothWays(source, 1, 5000);            // from the first byte: the source's tag, if any
            BothWays(source, 1, 500);             // ... cut inside it: refused both ways
            BothWays(source, 100, 50);            // shorter than a v1 tag
            BothWays(source, size - 127, 200);    // the end, shorter than a v1 tag
        }
    }
}

TEST_P(ClipTagsPass, WholeFrameClipsGiveTheTwoStepBytes) {
    const std::string source = dir.file("song.mp3");
    WriteFile(source, SilentFrames(200));
    TagSource(source, GetParam());
    for (bool v1 : {false, true}) {
        Load(source, 0, v1);
        ClipTags tags;
        ASSERT_TRUE(editor.TagsForClip(&tags));
        for (auto [from, to] : {std::pair{0.0, 1.0}, {2.0, 5.5}, {4.0, 99.0}}) {
            std::string error;
            ASSERT_TRUE(SaveCleanClip(source, from, to, dir.file("two.mp3"), &error, nullptr, WriteInto())) << error;
            ASSERT_TRUE(SaveCleanClip(source, from, to, dir.file("one.mp3"), &error, nullptr, WriteInto(), &tags))
                << error;
            EXPECT_EQ(ReadFile(dir.file("one.mp3")), ReadFile(dir.file("two.mp3"))) << from << ".." << to;
        }
    }
}

TEST(ClipTagsPassLong, AClipLongerThanOneWriteGetsItsHeaderFrameInPlace) {
    // Over 1 MiB of frames: the header frame is written before its CRC is known and put in after.
    TempDir dir;
    const std::string source = dir.file("long.mp3");
    WriteFile(source, SilentFrames(4000));
    TagSource(source, SourceTags::V23AndV1);
    TagEditor editor;
    editor.LoadFile(source, "long.mp3");
    ClipTags tags;
    ASSERT_TRUE(editor.TagsForClip(&tags));
    const ClipFinisher writeInto = [&](const std::string& clip, std::string* why) { return editor.WriteInto(clip, why); };
    std::string error;
    CleanClipResult result;
    ASSERT_TRUE(SaveCleanClip(source, 1.0, 99.0, dir.file("two.mp3"), &error, &result, writeInto)) << error;
    ASSERT_GT(result.bytes, 1u << 20);
    ASSERT_TRUE(SaveCleanClip(source, 1.0, 99.0, dir.file("one.mp3"), &error, nullptr, writeInto, &tags)) << error;
    EXPECT_EQ(ReadFile(dir.file("one.mp3")), ReadFile(dir.file("two.mp3")));
    ASSERT_TRUE(SaveCleanClip(source, 1.0, 99.0, dir.file("bare.mp3"), &error)) << error;
    const Bytes bare = ReadFile(dir.file("bare.mp3"));
    ASSERT_EQ(bare.size(), result.bytes);
    EXPECT_EQ(Bytes(bare.begin(), bare.begin() + 2), (Bytes{0xFF, 0xFB}));  // the header frame, not a gap
}

INSTANTIATE_TEST_SUITE_P(Sources, ClipTagsPass,
                         ::testing::Values(SourceTags::None, SourceTags::V23AndV1, SourceTags::V24, SourceTags::V1Only));

TEST(ClipTagsPass, EditorsWithStepsOfTheirOwnWriteOnTheFinishedClip) {
    TagWriteSteps steps = TagWriteSteps::Library();
    steps.library = false;  // as a test's steps that fail on purpose
    TagEditor editor(steps);
    ClipTags tags;
    EXPECT_FALSE(editor.TagsForClip(&tags));
}

}  // namespace
