// Runs the built program: `trimbel tag` on files made from bytes.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "programrun.h"
#include "support/testfiles.h"

using namespace testfiles;

namespace {

ProgramRun Tag(const std::string& path, const QStringList& arguments) {
    return Trimbel(QStringList{"tag", Q(path)} + arguments);
}

// A version 2.3 tag holding a title and a private frame the record does not cover.
Bytes OldTag() {
    const Bytes frames = Concat({FromString("TIT2"), Bytes{0, 0, 0, 5, 0, 0, 0}, FromString("Old"),
                                 Bytes{0}, FromString("PRIV"), Bytes{0, 0, 0, 4, 0, 0},
                                 FromString("o"), Bytes{0, 0xAB, 0xCD}});
    Bytes tag = Concat({FromString("ID3"), Bytes{3, 0, 0, 0, 0, 0, static_cast<uint8_t>(frames.size())},
                        frames});
    return tag;
}

bool HasFrame(const Bytes& file, const std::string& id) {
    return std::search(file.begin(), file.begin() + std::min<size_t>(file.size(), 4096), id.begin(),
                       id.end()) != file.begin() + std::min<size_t>(file.size(), 4096);
}

class TagCommand : public ::testing::Test {
protected:
    TempDir tmp;
    const Bytes audio = SilentFrames(10);
    const Bytes v1 = Id3v1Tag("V1 title", "V1 artist", "", "1980", "", 8);
};

}  // namespace

TEST_F(TagCommand, ReplacesGivenFieldsAndKeepsTheRest) {
    const auto path = tmp.file("song.mp3");
    WriteFile(path, Concat({OldTag(), audio, v1}));
    const ProgramRun run = Tag(path, {"--artist", "Bj\u00f6rk", "--genre", "rock", "--album",
                               QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty());

    mdlID3::ID3TagInfo info;
    ASSERT_TRUE(mdlID3::ReadID3v2Tag(path, info));
    EXPECT_EQ(info.Title, "Old");
    EXPECT_EQ(info.Artist, "Bj\xC3\xB6rk");
    EXPECT_EQ(info.Album, "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(info.Genre, "Rock");
    const Bytes file = ReadFile(path);
    EXPECT_EQ(file[3], 3);
    EXPECT_TRUE(HasFrame(file, "PRIV"));
    // Version 1 bytes kept, audio unchanged.
    EXPECT_EQ(Bytes(file.end() - static_cast<long>(audio.size() + 128), file.end()), Concat({audio, v1}));
}

TEST_F(TagCommand, VersionClearAndRemoveOptions) {
    const auto path = tmp.file("song.mp3");
    WriteFile(path, Concat({OldTag(), audio}));
    ASSERT_EQ(Tag(path, {"--v2-version", "2.4", "--clear-v2", "--title", "T"}).exitCode, 0);
    Bytes file = ReadFile(path);
    EXPECT_EQ(file[3], 4);
    EXPECT_FALSE(HasFrame(file, "PRIV"));
    mdlID3::ID3TagInfo info;
    ASSERT_TRUE(mdlID3::ReadID3v2Tag(path, info));
    EXPECT_EQ(info.Title, "T");

    ASSERT_EQ(Tag(path, {"--remove-v2"}).exitCode, 0);
    EXPECT_EQ(ReadFile(path), audio);
}

TEST_F(TagCommand, Version1KeepWriteRemove) {
    const auto path = tmp.file("song.mp3");
    WriteFile(path, audio);
    ASSERT_EQ(Tag(path, {"--title", "Title", "--artist", "Artist", "--v1", "write"}).exitCode, 0);
    mdlID3::ID3TagInfo one;
    ASSERT_TRUE(mdlID3::ReadID3v1Tag(path, one));
    EXPECT_EQ(one.Title, "Title");
    EXPECT_EQ(one.Artist, "Artist");
    const size_t withV1 = ReadFile(path).size();

    ASSERT_EQ(Tag(path, {"--title", "Other"}).exitCode, 0);  // keep is the default
    ASSERT_TRUE(mdlID3::ReadID3v1Tag(path, one));
    EXPECT_EQ(one.Title, "Title");
    EXPECT_EQ(ReadFile(path).size(), withV1);

    ASSERT_EQ(Tag(path, {"--v1", "remove"}).exitCode, 0);
    EXPECT_FALSE(mdlID3::ReadID3v1Tag(path, one));
    EXPECT_EQ(ReadFile(path).size(), withV1 - 128);
}

TEST_F(TagCommand, FullDiskLeavesTheFileExactlyAsItWas) {
    const std::string disk = tmp.file("disk");
    std::filesystem::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const auto path = disk + "/song.mp3";
    const Bytes original = Concat({SilentFrames(400), v1});  // about 167 KB of 256 KB
    WriteFile(path, original);
    // The new tag moves the audio: no room for the copy. The version 1 step, done first, is undone.
    const ProgramRun run = Tag(path, {"--title", "x", "--v1", "write"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.Says("No space left")) << run.err;
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 1);
    ::umount2(disk.c_str(), MNT_DETACH);
}
