#include "models/clipsave.h"

#include <filesystem>
#include <numeric>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/testfiles.h"

namespace {

using testfiles::Bytes;

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
        int64_t offset, size;
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

}  // namespace
