// ID3v1 and v1.1 tags: reading, writing in place or appended, removing, and failures.
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "id3/id3v1.h"
#include "id3v2write_fixtures.h"
#include "support/testfiles.h"

using namespace mdlID3;
using namespace testfiles;

namespace {

Bytes Audio() { return SilentFrames(3); }

}  // namespace

// Fields trimmed, Latin-1 made UTF-8, a zero ends a field; byte 125 = 0 with byte 126 not 0 is
// a v1.1 track, else the comment runs over all 30 bytes.
TEST(ID3v1Read, FieldsTrackAndGenre) {
    auto noTrack = Id3v1Tag("T", "A", "B", "2000", std::string(28, 'c'), 255, 0);
    noTrack[125] = 0;
    noTrack[126] = 0;
    auto afterZero = Id3v1Tag("Caf\xE9", "A", "B", "2000", "", 12);
    afterZero[3 + 5] = 'X';  // after the zero that ends "Caf\xE9": not part of the title
    const std::pair<Bytes, std::vector<std::string>> rows[] = {
        {Id3v1Tag("  Title  ", "Artist", "Album", "1999", "Comment", 17, 7),
         {"Artist", "Album", "Title", "1999", "Rock", "Comment", "7", "", "", "", "", ""}},
        {noTrack, {"A", "B", "T", "2000", "", std::string(28, 'c'), "", "", "", "", "", ""}},
        {Id3v1Tag("T", "A", "B", "2000", std::string(30, 'd'), 0, 0),
         {"A", "B", "T", "2000", "Blues", std::string(30, 'd'), "", "", "", "", "", ""}},
        {afterZero, {"A", "B", "Caf\xC3\xA9", "2000", "Other", "", "", "", "", "", "", ""}},
    };
    TempDir dir;
    auto path = dir.file("a.mp3");
    for (const auto& [tag, fields] : rows) {
        WriteFile(path, Concat({Audio(), tag}));
        ID3TagInfo info;
        info.Encoder = "stale";
        ASSERT_TRUE(ReadID3v1Tag(path, info));
        EXPECT_EQ(writefixtures::Fields(info), fields);
    }
}

TEST(ID3v1Read, NoTagShortOrMissingFileLeavesRecord) {
    TempDir dir;
    ID3TagInfo info;
    info.Title = "keep";
    auto path = dir.file("a.mp3");
    WriteFile(path, Audio());
    EXPECT_FALSE(ReadID3v1Tag(path, info));
    WriteFile(path, FromString("TAG"));
    EXPECT_FALSE(ReadID3v1Tag(path, info));
    auto lower = Id3v1Tag("x", "y", "z", "1", "", 0, 0, "tag");
    WriteFile(path, lower);
    EXPECT_FALSE(ReadID3v1Tag(path, info));
    EXPECT_FALSE(ReadID3v1Tag(dir.file("missing.mp3"), info));
    EXPECT_FALSE(ReadID3v1Tag(dir.path().string(), info));
    EXPECT_EQ(info.Title, "keep");
    // Exactly 128 bytes that are a tag.
    WriteFile(path, Id3v1Tag("only", "", "", "", "", 0));
    EXPECT_TRUE(ReadID3v1Tag(path, info));
    EXPECT_EQ(info.Title, "only");
}

TEST(ID3v1Build, LimitsTrackGenreAndLineBreaks) {
    ID3TagInfo info;
    info.Title = std::string(31, 't');
    info.Artist = "\xD0\x96" "ack";  // Cyrillic Zhe has no Latin-1 code
    info.Year = "19999";
    info.Comment = "line one\r\nline two that is long enough to be cut";
    info.Genre = "rock";
    info.Track = "12";
    auto tag = BuildID3v1Tag(info);
    EXPECT_EQ(std::string(tag.begin(), tag.begin() + 3), "TAG");
    EXPECT_EQ(std::string(tag.begin() + 3, tag.begin() + 33), std::string(30, 't'));
    EXPECT_EQ(std::string(tag.begin() + 33, tag.begin() + 37), "?ack");
    EXPECT_EQ(tag[37], 0);  // zero fill, not blanks
    EXPECT_EQ(std::string(tag.begin() + 93, tag.begin() + 97), "1999");
    EXPECT_EQ(std::string(tag.begin() + 97, tag.begin() + 125), "line one line two that is lo");
    EXPECT_EQ(tag[125], 0);
    EXPECT_EQ(tag[126], 12);
    EXPECT_EQ(tag[127], 17);

    for (auto [genre, value] : {std::pair{"Rock & Roll", 78}, {"", 255}, {"Not a genre", 255}}) {
        info.Genre = genre;
        EXPECT_EQ(BuildID3v1Tag(info)[127], value) << genre;
    }

    for (auto [track, value] : {std::pair{"1", 1}, {" 255 ", 255}, {"007", 7}, {"0", 0}, {"256", 0}, {"1000", 0},
                                {"abc", 0}, {"3/12", 0}, {"", 0}, {"-1", 0}}) {
        info.Track = track;
        EXPECT_EQ(BuildID3v1Tag(info)[126], value) << track;
    }
}

TEST(ID3v1Write, AppendsThenOverwritesInPlace) {
    TempDir dir;
    auto path = dir.file("a.mp3");
    Bytes audio(100, 0x55);
    WriteFile(path, audio);
    ID3TagInfo info;
    info.Title = "First";
    ASSERT_TRUE(WriteID3v1Tag(path, info, false));
    EXPECT_EQ(std::filesystem::file_size(path), 228u);
    info.Title = "Second";
    info.Track = "4";
    ASSERT_TRUE(WriteID3v1Tag(path, info, false));
    auto data = ReadFile(path);
    ASSERT_EQ(data.size(), 228u);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), data.begin()));
    ID3TagInfo back;
    ASSERT_TRUE(ReadID3v1Tag(path, back));
    EXPECT_EQ(back.Title, "Second");
    EXPECT_EQ(back.Track, "4");

    // A file shorter than 128 bytes gets the tag at its end.
    auto tiny = dir.file("tiny.mp3");
    WriteFile(tiny, Bytes(5, 1));
    ASSERT_TRUE(WriteID3v1Tag(tiny, info, false));
    EXPECT_EQ(std::filesystem::file_size(tiny), 133u);
}

TEST(ID3v1Write, ReadOnlyFileNeedsClearReadOnlyAndAMissingOneFails) {
    TempDir dir;
    auto path = dir.file("ro.mp3");
    WriteFile(path, Audio());
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    ID3TagInfo info;
    info.Title = "x";
    if (geteuid() != 0) {  // root writes through permission bits
        EXPECT_FALSE(WriteID3v1Tag(path, info, false));
        EXPECT_EQ(ReadFile(path), Audio());
    }
    EXPECT_TRUE(WriteID3v1Tag(path, info, true));
    auto perms = std::filesystem::status(path).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
    EXPECT_EQ(std::filesystem::file_size(path), Audio().size() + 128);
    // A missing file is not made; a folder is no file.
    EXPECT_FALSE(WriteID3v1Tag(dir.file("missing.mp3"), info, true));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.mp3")));
    EXPECT_FALSE(WriteID3v1Tag(dir.path().string(), info, true));
    EXPECT_FALSE(RemoveID3v1Tag(dir.file("missing.mp3"), true));
}

// Only a tag is cut; a file without one (shorter than a tag, empty included) stays as it is, and
// either way the removal succeeds.
TEST(ID3v1Remove, CutsOnlyATag) {
    TempDir dir;
    auto path = dir.file("a.mp3");
    const Bytes tag = Id3v1Tag("T", "A", "B", "1", "", 0);
    const std::pair<Bytes, Bytes> rows[] = {{Concat({Audio(), tag}), Audio()},
                                            {Audio(), Audio()},
                                            {Bytes(127, 'T'), Bytes(127, 'T')},
                                            {Bytes(3, 'T'), Bytes(3, 'T')},
                                            {{}, {}},
                                            {tag, {}}};
    for (const auto& [before, after] : rows) {
        WriteFile(path, before);
        EXPECT_TRUE(RemoveID3v1Tag(path, false)) << before.size();
        EXPECT_EQ(ReadFile(path), after) << before.size();
    }
}

TEST(ID3v1Write, FullDiskLeavesFileAsItWas) {
    // A 64 KiB file-size limit stands in for a full disk: the append fails half-way.
    TempDir dir;
    auto path = dir.file("big.mp3");
    Bytes audio(1 << 16, 0x11);
    audio.resize(audio.size() - 64);
    WriteFile(path, audio);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {1 << 16, 1 << 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        ID3TagInfo info;
        info.Title = "x";
        _exit(WriteID3v1Tag(path, info, false) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
    EXPECT_EQ(ReadFile(path), audio);
}
