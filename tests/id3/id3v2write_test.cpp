#include "id3/id3v2write.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "files/safefile.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/keptframes.h"
#include "id3v2write_fixtures.h"
#include "support/testfiles.h"

using namespace testfiles;
using namespace writefixtures;
using namespace mdlID3;

namespace {

Bytes Data(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
    return out;
}

Bytes FieldFrame(const std::string& id, const std::string& value, int version) {
    Bytes out(256, 0xEE);
    int32_t n = WriteFieldFrame(out, id, value, version);
    EXPECT_EQ(n, FieldFrameSize(id, value, true, version));
    out.resize(static_cast<size_t>(n));
    return out;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
}

std::vector<std::string> Ids(const std::vector<WalkedFrame>& frames) {
    std::vector<std::string> ids;
    for (const auto& f : frames) ids.push_back(f.id);
    return ids;
}

KeptFrame Entry(const std::string& id, const Bytes& data) {
    KeptFrame f;
    f.Id = id;
    f.Data = data;
    f.Size = static_cast<int32_t>(data.size());
    return f;
}

class TagWrite : public ::testing::Test {
protected:
    void SetUp() override {
        audio = Concat({SilentFrames(6), Id3v1Tag("t", "a", "b", "2001", "c", 17, 3)});
    }
    void TearDown() override { InjectIoFailureAt(0); }
    TempDir tmp;
    Bytes audio;
};

}  // namespace

TEST(TagWriteFrames, Latin1TextIsWrittenByteForByte) {
    EXPECT_EQ(FieldFrame("TPE1", "Bj\xC3\xB6rk", kWriteV23),
              Concat({FromString("TPE1"), Data({0, 0, 0, 7, 0, 0, 0}), FromString("Bj\xF6rk"),
                      Data({0})}));
    EXPECT_EQ(FieldFrame("COMM", " hi ", kWriteV24),
              Concat({FromString("COMM"), Data({0, 0, 0, 10, 0, 0, 0}), FromString("eng"),
                      Data({0}), FromString(" hi "), Data({0})}));
    EXPECT_EQ(FieldFrame("WXXX", "http://a.b/", kWriteV23),
              Concat({FromString("WXXX"), Data({0, 0, 0, 14, 0, 0, 0, 0}),
                      FromString("http://a.b/"), Data({0})}));
    EXPECT_EQ(FieldFrameSize("TIT2", "abc", false), 5);
    EXPECT_EQ(FieldFrameSize("COMM", "abc", false), 9);
    EXPECT_EQ(FieldFrameSize("WXXX", "abc", true), 16);
}

TEST(TagWriteFrames, BlankValuesAndOtherIdsGiveNoFrame) {
    Bytes out(64, 0xEE);
    for (const char* blank : {"", " ", "   "}) {
        EXPECT_EQ(FieldFrameSize("TIT2", blank, true), 0);
        EXPECT_EQ(WriteFieldFrame(out, "COMM", blank, kWriteV23), 0);
    }
    EXPECT_EQ(FieldFrameSize("APIC", "x", true), 0);
    EXPECT_EQ(WriteFieldFrame(out, "USLT", "x", kWriteV23), 0);
    EXPECT_EQ(out, Bytes(64, 0xEE));
    // Too small a buffer writes nothing rather than past its end.
    Bytes small(9, 0xEE);
    EXPECT_EQ(WriteFieldFrame(small, "TIT2", "a", kWriteV23), 0);
    EXPECT_EQ(small, Bytes(9, 0xEE));
}

TEST(TagWriteFrames, NonLatinTextIsUtf16In23AndUtf8In24) {
    // "Я" is U+042F.
    EXPECT_EQ(FieldFrame("TIT2", "\xD0\xAF!", kWriteV23),
              Concat({FromString("TIT2"), Data({0, 0, 0, 9, 0, 0}),
                      Data({1, 0xFF, 0xFE, 0x2F, 0x04, '!', 0, 0, 0})}));
    EXPECT_EQ(FieldFrame("TIT2", "\xD0\xAF!", kWriteV24),
              Concat({FromString("TIT2"), Data({0, 0, 0, 5, 0, 0}),
                      Data({3, 0xD0, 0xAF, '!', 0})}));
    // The comment's empty description carries its own byte order mark in UTF-16.
    EXPECT_EQ(FieldFrame("COMM", "\xD0\xAF", kWriteV23),
              Concat({FromString("COMM"), Data({0, 0, 0, 14, 0, 0}),
                      Data({1, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 0x2F, 0x04, 0, 0})}));
    // A link holds 8-bit text only: other characters are percent-escaped UTF-8.
    EXPECT_EQ(FieldFrame("WXXX", "http://\xD0\xAF.ru", kWriteV23),
              Concat({FromString("WXXX"), Data({0, 0, 0, 19, 0, 0, 0, 0}),
                      FromString("http://%D0%AF.ru"), Data({0})}));
}

TEST(TagWriteFrames, SizeFieldIsSyncSafeOnlyIn24) {
    const std::string value(200, 'x');
    Bytes v23 = FieldFrame("TIT2", value, kWriteV23);
    Bytes v24 = FieldFrame("TIT2", value, kWriteV24);
    EXPECT_EQ(Bytes(v23.begin() + 4, v23.begin() + 8), Data({0, 0, 0, 202}));
    EXPECT_EQ(Bytes(v24.begin() + 4, v24.begin() + 8), Data({0, 0, 1, 0x4A}));
}

TEST(TagWriteFrames, PaddingRule) {
    EXPECT_EQ(NewTagSize(3000, 0), 4106);
    EXPECT_EQ(NewTagSize(3100, 0), 6154);
    EXPECT_EQ(NewTagSize(3071, 0), 4106);  // r = 1023
    EXPECT_EQ(NewTagSize(3072, 0), 6154);  // r = 1024
    EXPECT_EQ(NewTagSize(2048, 0), 4106);
    EXPECT_EQ(NewTagSize(10, 0), 2058);
    EXPECT_EQ(NewTagSize(500, 500), 500);
    EXPECT_EQ(NewTagSize(499, 500), 500);
    EXPECT_EQ(NewTagSize(501, 500), 2058);
}

TEST(TagWriteFrames, GenreAndKeptIds) {
    EXPECT_EQ(GenreToFrameText("rock"), "(17)Rock");
    EXPECT_EQ(GenreToFrameText(" blues "), "(0)Blues");
    EXPECT_EQ(GenreToFrameText("psychadelic"), "(67)Psychadelic");
    EXPECT_EQ(GenreToFrameText("Psychedelic"), "Psychedelic");
    EXPECT_EQ(GenreToFrameText(""), "");
    for (const char* id : {"TALB", "TPE1", "TIT2", "TDRC", "TYER", "TCON", "COMM", "TENC", "TRCK",
                           "WXXX", "TCOP", "TOPE", "TCOM"})
        EXPECT_FALSE(IsKeptFrame(id)) << id;
    for (const char* id : {"APIC", "TORY", "TDOR", "TXXX", "USLT", "COM ", "TPE2", "PIC"})
        EXPECT_TRUE(IsKeptFrame(id)) << id;
}

TEST(TagWriteFrames, UpgradeConvertsVersion22Entries) {
    KeptFrameList list;
    list.push_back(Entry("PIC", Data({0, 'J', 'P', 'G', 3, 'd', 0, 0xFF, 0xD8})));
    list.push_back(Entry("PIC", Data({0, 'p', 'n', 'g', 3, 0})));
    list.push_back(Entry("PIC", Data({0, '-', '-', '>', 3, 0, 'u'})));
    list.push_back(Entry("PIC", Data({0, 'B', 'm', 'P', 3, 0})));
    list.push_back(Entry("PIC", Data({0, 'J', 'P'})));  // too short: kept as it came
    list.push_back(Entry("LNK", Data({'T', 'T', '2', 'u', 0, 'x'})));
    list.push_back(Entry("LNK", Data({'T'})));
    list.push_back(Entry("TDOR", Concat({Data({0}), FromString("1999-03-01")})));
    list.push_back(Entry("TDOR", Data({1, 0xFF, 0xFE, '2', 0, '0', 0, '0', 0, '1', 0, '-', 0, 0, 0})));
    list.push_back(Entry("TT2", Data({0, 'a'})));
    list.push_back(Entry("XYZ", Data({1})));
    for (int32_t i = 0; i < static_cast<int32_t>(list.size()); ++i) UpgradeKeptFrame(list, i);
    UpgradeKeptFrame(list, -1);
    UpgradeKeptFrame(list, static_cast<int32_t>(list.size()));

    EXPECT_EQ(list[0].Id, "APIC");
    EXPECT_EQ(list[0].Data, Concat({Data({0}), FromString("image/jpeg"), Data({0, 3, 'd', 0, 0xFF, 0xD8})}));
    EXPECT_EQ(list[0].Size, 9 + 8);
    EXPECT_EQ(list[1].Data, Concat({Data({0}), FromString("image/png"), Data({0, 3, 0})}));
    EXPECT_EQ(list[2].Data, Concat({Data({0}), FromString("-->"), Data({0, 3, 0, 'u'})}));
    EXPECT_EQ(list[3].Data, Concat({Data({0}), FromString("image/bmp"), Data({0, 3, 0})}));
    EXPECT_EQ(list[4].Id, "PIC");
    EXPECT_EQ(list[4].Data, Data({0, 'J', 'P'}));
    EXPECT_EQ(list[5].Id, "LINK");
    EXPECT_EQ(list[5].Data, Data({'T', 'I', 'T', '2', 'u', 0, 'x'}));
    EXPECT_EQ(list[5].Size, 7);
    EXPECT_EQ(list[6].Id, "LNK");
    EXPECT_EQ(list[7].Id, "TORY");
    EXPECT_EQ(list[7].Data, Concat({Data({0}), FromString("1999")}));
    EXPECT_EQ(list[8].Data, Concat({Data({0}), FromString("2001")}));
    EXPECT_EQ(list[9].Id, "TIT2");
    EXPECT_EQ(list[10].Id, "XYZ");
}

TEST(TagWriteFrames, KeptFrameWritingRenamesFor24) {
    KeptFrameList list;
    list.push_back(Entry("TORY", Concat({Data({0}), FromString("1999")})));
    list.push_back(Entry("IPLS", Bytes(130, 'a')));
    Bytes out(300, 0xEE);
    EXPECT_EQ(WriteKeptFrame(out, list, 0, kWriteV23), 15);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 15),
              Concat({FromString("TORY"), Data({0, 0, 0, 5, 0, 0, 0}), FromString("1999")}));
    EXPECT_EQ(WriteKeptFrame(out, list, 1, kWriteV24), 140);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 10),
              Concat({FromString("TIPL"), Data({0, 0, 1, 2, 0, 0})}));
    EXPECT_EQ(list[1].Id, "TIPL");
    EXPECT_EQ(WriteKeptFrame(out, list, 2, kWriteV23), 0);
    EXPECT_EQ(WriteKeptFrame(out, list, -1, kWriteV23), 0);
    Bytes small(20, 0xEE);
    EXPECT_EQ(WriteKeptFrame(small, list, 1, kWriteV23), 0);
    EXPECT_EQ(small, Bytes(20, 0xEE));
}

TEST_F(TagWrite, FileWithoutTagGetsOneAndKeepsItsBytes) {
    const auto path = tmp.file("a.mp3");
    WriteFile(path, audio);
    ID3TagInfo info;
    info.Artist = "Artist";
    info.Genre = "rock";
    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, false, true)) << LastTagWriteError();
    Bytes file = ReadFile(path);
    ASSERT_EQ(TagSize(file), 2058u);
    EXPECT_EQ(file.size(), audio.size() + 2058);
    EXPECT_EQ(Tail(file, 2058), audio);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), Data({'I', 'D', '3', 3, 0, 0}));
    auto frames = WalkFrames(file);
    EXPECT_EQ(Ids(frames), (std::vector<std::string>{"TPE1", "TCON"}));
    EXPECT_EQ(frames[1].data, Text0("(17)Rock"));

    // All blank: header and padding only.
    const auto empty = tmp.file("b.mp3");
    WriteFile(empty, audio);
    ASSERT_TRUE(WriteID3v2Tag(empty, ID3TagInfo{}, kWriteV24, false, true));
    file = ReadFile(empty);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 10), Data({'I', 'D', '3', 4, 0, 0, 0, 0, 0x10, 0}));
    EXPECT_EQ(Bytes(file.begin() + 10, file.begin() + 2058), Bytes(2048, 0));
    EXPECT_EQ(Tail(file, 2058), audio);
}

TEST_F(TagWrite, TagThatFitsIsWrittenInPlace) {
    const auto path = tmp.file("a.mp3");
    Bytes old = Tag(3, {Frame(3, "TIT2", Text0("A long old title here")),
                        Frame(3, "TXXX", Data({0, 'k', 0, 'v'}))}, 300);
    WriteFile(path, Concat({old, audio}));
    const ino_t before = Inode(path);
    ID3TagInfo info;
    info.Title = "New";
    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, false, true)) << LastTagWriteError();
    Bytes file = ReadFile(path);
    EXPECT_EQ(Inode(path), before);
    ASSERT_EQ(file.size(), old.size() + audio.size());
    EXPECT_EQ(TagSize(file), old.size());
    EXPECT_EQ(Tail(file, old.size()), audio);
    auto frames = WalkFrames(file);
    ASSERT_EQ(Ids(frames), (std::vector<std::string>{"TIT2", "TXXX"}));
    EXPECT_EQ(frames[1].data, Data({0, 'k', 0, 'v'}));
    // Everything after the frames is zero.
    const size_t used = 10 + 15 + 14;
    EXPECT_EQ(Bytes(file.begin() + used, file.begin() + old.size()), Bytes(old.size() - used, 0));
}

TEST_F(TagWrite, ClearFlagDropsOldFramesButReusesTheSpace) {
    const auto path = tmp.file("a.mp3");
    Bytes picture = Concat({Data({0}), FromString("image/png"), Data({0, 3, 0}), Bytes(500, 0x89)});
    Bytes old = Tag(3, {Frame(3, "APIC", picture), Frame(3, "TPE1", Text0("x"))}, 100);
    WriteFile(path, Concat({old, audio}));
    ID3TagInfo info;
    info.Album = "Album";
    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, true, true));
    Bytes file = ReadFile(path);
    EXPECT_EQ(TagSize(file), old.size());
    EXPECT_EQ(Ids(WalkFrames(file)), (std::vector<std::string>{"TALB"}));
    EXPECT_EQ(Tail(file, old.size()), audio);

    // Without the flag the picture survives byte for byte, and the tag grows past it.
    const auto keep = tmp.file("b.mp3");
    WriteFile(keep, Concat({old, audio}));
    info.Comment = std::string(600, 'c');
    ASSERT_TRUE(WriteID3v2Tag(keep, info, kWriteV23, false, true));
    file = ReadFile(keep);
    auto frames = WalkFrames(file);
    EXPECT_EQ(Ids(frames), (std::vector<std::string>{"TALB", "COMM", "APIC"}));
    EXPECT_EQ(frames[2].data, picture);
    const size_t needed = 10 + 17 + (10 + 606) + (10 + picture.size());
    EXPECT_EQ(TagSize(file), static_cast<size_t>(NewTagSize(static_cast<int64_t>(needed), 0)));
    EXPECT_EQ(Tail(file, TagSize(file)), audio);
}

TEST_F(TagWrite, Version22PictureBecomesApic) {
    const auto path = tmp.file("a.mp3");
    Bytes pic = Data({0, 'J', 'P', 'G', 3, 'c', 0, 0xFF, 0xD8, 0xFF, 0xE0});
    WriteFile(path, Concat({Tag(2, {Frame22("TT2", Text0("t")), Frame22("PIC", pic),
                                    Frame22("CRM", Data({1, 2, 3}))}, 20),
                            audio}));
    ID3TagInfo info;
    info.Title = "t";
    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, false, true)) << LastTagWriteError();
    auto frames = WalkFrames(ReadFile(path));
    ASSERT_EQ(Ids(frames), (std::vector<std::string>{"TIT2", "APIC"}));
    EXPECT_EQ(frames[1].data.size(), pic.size() + 8);
    EXPECT_EQ(frames[1].data,
              Concat({Data({0}), FromString("image/jpeg"), Data({0, 3, 'c', 0, 0xFF, 0xD8, 0xFF, 0xE0})}));
}

TEST_F(TagWrite, OriginalReleaseTimeAndYearFollowTheVersion) {
    Bytes old = Tag(4, {Frame(4, "TDOR", Text0("1999-03-01")), Frame(4, "TDRC", Text0("2004")),
                        Frame(4, "TIPL", Data({0, 'a', 0, 'b', 0}))});
    ID3TagInfo info;
    info.Year = "2005";

    const auto as23 = tmp.file("a.mp3");
    WriteFile(as23, Concat({old, audio}));
    ASSERT_TRUE(WriteID3v2Tag(as23, info, kWriteV23, false, true));
    auto frames = WalkFrames(ReadFile(as23));
    EXPECT_EQ(Ids(frames), (std::vector<std::string>{"TYER", "TORY", "IPLS"}));
    EXPECT_EQ(frames[1].data, Concat({Data({0}), FromString("1999")}));

    const auto as24 = tmp.file("b.mp3");
    WriteFile(as24, Concat({old, audio}));
    ASSERT_TRUE(WriteID3v2Tag(as24, info, kWriteV24, false, true));
    frames = WalkFrames(ReadFile(as24));
    EXPECT_EQ(Ids(frames), (std::vector<std::string>{"TDRC", "TDOR", "TIPL"}));
    EXPECT_EQ(frames[0].data, Text0("2005"));
    EXPECT_EQ(frames[1].data, Concat({Data({0}), FromString("1999")}));

    // 2.4 over 2.3 drops the old TYER.
    const auto back = tmp.file("c.mp3");
    WriteFile(back, Concat({Tag(3, {Frame(3, "TYER", Text0("1990"))}), audio}));
    ASSERT_TRUE(WriteID3v2Tag(back, ID3TagInfo{}, kWriteV24, false, true));
    EXPECT_TRUE(WalkFrames(ReadFile(back)).empty());
}

TEST_F(TagWrite, EveryFieldReadsBackInBothVersions) {
    ID3TagInfo info;
    info.Artist = "Bj\xC3\xB6rk";
    info.Album = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本
    info.Title = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    info.Year = "2003";
    info.Genre = "Rock";
    info.Comment = "  spaced \xE2\x98\x83 ";
    info.Track = "3/12";
    info.Encoder = "enc";
    info.LinkTo = "http://example.org/a";
    info.Copyright = "(c) me";
    info.Composer = "Comp\xC3\xB8ser";
    info.OrigArtist = "\xF0\x9F\x8E\xB5 orig";  // outside the BMP: a surrogate pair in UTF-16
    for (int version : {kWriteV23, kWriteV24}) {
        SCOPED_TRACE(version);
        const auto path = tmp.file("rt" + std::to_string(version) + ".mp3");
        WriteFile(path, audio);
        ASSERT_TRUE(WriteID3v2Tag(path, info, version, false, true));
        ID3TagInfo back;
        ASSERT_TRUE(ReadID3v2Tag(path, back));
        EXPECT_EQ(back.Artist, info.Artist);
        EXPECT_EQ(back.Album, info.Album);
        EXPECT_EQ(back.Title, info.Title);
        EXPECT_EQ(back.Year, info.Year);
        EXPECT_EQ(back.Genre, "Rock");
        EXPECT_EQ(back.Comment, info.Comment);
        EXPECT_EQ(back.Track, info.Track);
        EXPECT_EQ(back.Encoder, info.Encoder);
        EXPECT_EQ(back.LinkTo, info.LinkTo);
        EXPECT_EQ(back.Copyright, info.Copyright);
        EXPECT_EQ(back.Composer, info.Composer);
        EXPECT_EQ(back.OrigArtist, info.OrigArtist);
        Bytes file = ReadFile(path);
        EXPECT_EQ(Tail(file, TagSize(file)), audio);
        // A second write of the same record fits and changes nothing.
        ASSERT_TRUE(WriteID3v2Tag(path, info, version, false, true));
        EXPECT_EQ(ReadFile(path), file);
    }
}

TEST_F(TagWrite, RemoveLeavesExactlyTheAudio) {
    const auto none = tmp.file("a.mp3");
    WriteFile(none, audio);
    EXPECT_TRUE(RemoveID3v2Tag(none, true));
    EXPECT_EQ(ReadFile(none), audio);

    const auto tagged = tmp.file("b.mp3");
    WriteFile(tagged, Concat({Tag(4, {Frame(4, "TIT2", Text0("x"))}, 50), audio}));
    EXPECT_TRUE(RemoveID3v2Tag(tagged, true));
    EXPECT_EQ(ReadFile(tagged), audio);

    EXPECT_FALSE(RemoveID3v2Tag(tmp.file("missing.mp3"), true));
    EXPECT_FALSE(std::filesystem::exists(tmp.file("missing.mp3")));
}

TEST_F(TagWrite, ReadOnlyFileIsMadeWritableOnlyWhenAsked) {
    const auto path = tmp.file("a.mp3");
    WriteFile(path, audio);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ID3TagInfo info;
    info.Title = "x";
    EXPECT_FALSE(WriteID3v2Tag(path, info, kWriteV23, false, false));
    EXPECT_FALSE(LastTagWriteError().empty());
    EXPECT_FALSE(RemoveID3v2Tag(path, false));
    EXPECT_EQ(ReadFile(path), audio);

    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, false, true)) << LastTagWriteError();
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);  // writable, and stays so
    EXPECT_EQ(Tail(ReadFile(path), 2058), audio);
}

TEST_F(TagWrite, FailedWritesLeaveTheFileAsItWas) {
    const auto path = tmp.file("a.mp3");
    const Bytes original = Concat({Tag(3, {Frame(3, "TIT2", Text0("old"))}, 10), audio});
    ID3TagInfo big;
    big.Comment = std::string(100, 'x');  // does not fit: the audio moves
    ID3TagInfo small;
    small.Title = "n";  // fits: in place
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        WriteFile(path, original);
        InjectIoFailureAt(n);
        EXPECT_FALSE(WriteID3v2Tag(path, big, kWriteV23, false, true));
        EXPECT_NE(LastTagWriteError().find("No space left"), std::string::npos) << LastTagWriteError();
        EXPECT_EQ(ReadFile(path), original);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
    }
    InjectIoFailureAt(1);
    EXPECT_FALSE(WriteID3v2Tag(path, small, kWriteV23, false, true));
    EXPECT_EQ(ReadFile(path), original);
    InjectIoFailureAt(1);
    EXPECT_FALSE(RemoveID3v2Tag(path, true));
    EXPECT_EQ(ReadFile(path), original);
    InjectIoFailureAt(0);
    EXPECT_FALSE(WriteID3v2Tag(tmp.file("missing.mp3"), small, kWriteV23, false, true));
    EXPECT_FALSE(WriteID3v2Tag(tmp.path().string(), small, kWriteV23, false, true));
}

TEST_F(TagWrite, WorkBufferOfAnySizeIsUsedForTheCopy) {
    const auto path = tmp.file("a.mp3");
    WriteFile(path, audio);
    uint8_t buffer[5];
    ID3TagInfo info;
    info.Title = "x";
    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, false, true, buffer, sizeof buffer));
    EXPECT_EQ(Tail(ReadFile(path), 2058), audio);
    ASSERT_TRUE(RemoveID3v2Tag(path, true, buffer, sizeof buffer));
    EXPECT_EQ(ReadFile(path), audio);
}

TEST_F(TagWrite, HostileOldTagsNeverBreakTheWriter) {
    Bytes seekSelf = Frame(4, "SEEK", Plain32(0));
    Bytes seekBack = Tag(4, {Frame(4, "TXXX", Data({0, 'a', 0})), Frame(4, "SEEK", Data({0xFF, 0xFF, 0xFF, 0xE0}))});
    Bytes oversized = Tag(3, {Concat({FromString("APIC"), Plain32(0x7FFFFFF0), Data({0, 0, 1, 2})})});
    Bytes unknownVersion = Data({'I', 'D', '3', 9, 0, 0, 0, 0, 0, 20});
    Bytes v22ShortPic = Tag(2, {Frame22("PIC", Data({0, 'J'})), Frame22("LNK", Data({'T'}))});
    int i = 0;
    for (const Bytes& head : {Tag(4, {Frame(4, "TXXX", Data({0, 'a', 0})), seekSelf}), seekBack,
                              oversized, unknownVersion, v22ShortPic}) {
        SCOPED_TRACE(i);
        const auto path = tmp.file("h" + std::to_string(i++) + ".mp3");
        WriteFile(path, Concat({head, audio}));
        ID3TagInfo info;
        info.Title = "safe";
        ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV24, false, true)) << LastTagWriteError();
        ID3TagInfo back;
        EXPECT_TRUE(ReadID3v2Tag(path, back));
        EXPECT_EQ(back.Title, "safe");
    }
}

TEST_F(TagWrite, TagClaimingMoreThanTheFileIsRefused) {
    // Taken at its word the tag would cover the audio, which a rewrite or removal would destroy.
    const auto path = tmp.file("a.mp3");
    const Bytes original =
        Concat({Data({'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}), Frame(3, "TIT2", Text0("x")), audio});
    WriteFile(path, original);
    ID3TagInfo info;
    info.Title = "y";
    EXPECT_FALSE(WriteID3v2Tag(path, info, kWriteV23, false, true));
    EXPECT_NE(LastTagWriteError().find("damaged"), std::string::npos);
    EXPECT_FALSE(RemoveID3v2Tag(path, true));
    EXPECT_EQ(ReadFile(path), original);
}

namespace {

// Installs a copy-progress hook that records every report, and removes it again.
class CopyReports {
public:
    CopyReports() {
        SetCopyProgress([this](int64_t done, int64_t total) { reports.emplace_back(done, total); });
    }
    ~CopyReports() { SetCopyProgress({}); }
    std::vector<std::pair<int64_t, int64_t>> reports;
};

}  // namespace

TEST_F(TagWrite, AMovingWriteReportsTheAudioCopyUpToItsEnd) {
    const auto path = tmp.file("big.mp3");
    // About 4 MB of audio: several steps of the copy.
    const Bytes big = SilentFrames(10000);
    WriteFile(path, big);
    ID3TagInfo info;
    info.Title = "grows";
    CopyReports copies;
    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, false, true)) << LastTagWriteError();
    ASSERT_GE(copies.reports.size(), 3u);
    int64_t last = 0;
    for (const auto& [done, total] : copies.reports) {
        EXPECT_EQ(total, static_cast<int64_t>(big.size()));
        EXPECT_GT(done, last);
        last = done;
    }
    EXPECT_EQ(copies.reports.back().first, static_cast<int64_t>(big.size()));
    EXPECT_EQ(Tail(ReadFile(path), 2058), big);

    // The same through a small work buffer (the read-and-write copy).
    copies.reports.clear();
    std::vector<uint8_t> buffer(256 * 1024);
    ASSERT_TRUE(RemoveID3v2Tag(path, true, buffer.data(), static_cast<int32_t>(buffer.size())));
    ASSERT_GE(copies.reports.size(), 3u);
    EXPECT_TRUE(std::is_sorted(copies.reports.begin(), copies.reports.end()));
    EXPECT_EQ(copies.reports.back(), std::make_pair(static_cast<int64_t>(big.size()), static_cast<int64_t>(big.size())));
    EXPECT_EQ(ReadFile(path), big);
}

TEST_F(TagWrite, AnInPlaceWriteReportsNoCopy) {
    const auto path = tmp.file("a.mp3");
    WriteFile(path, Concat({Tag(3, {Frame(3, "TIT2", Text0("old title"))}, 200), SilentFrames(3000)}));
    ID3TagInfo info;
    info.Title = "new";
    CopyReports copies;
    ASSERT_TRUE(WriteID3v2Tag(path, info, kWriteV23, false, true)) << LastTagWriteError();
    EXPECT_TRUE(copies.reports.empty());
}

TEST_F(TagWrite, AWatchedWriteThatFailsStillLeavesTheFile) {
    const auto path = tmp.file("a.mp3");
    const Bytes original = SilentFrames(10000);
    ID3TagInfo info;
    info.Comment = "moves the audio";
    CopyReports copies;
    // Every checked operation in turn fails: at the tag, part way through the copy, at the flush
    // and at the rename, until the write gets through.
    bool failedMidCopy = false;
    bool succeeded = false;
    for (int n = 1; n < 100 && !succeeded; ++n) {
        SCOPED_TRACE(n);
        WriteFile(path, original);
        copies.reports.clear();
        InjectIoFailureAt(n);
        succeeded = WriteID3v2Tag(path, info, kWriteV23, false, true);
        InjectIoFailureAt(0);
        if (succeeded) break;
        EXPECT_EQ(ReadFile(path), original);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
        for (const auto& report : copies.reports) EXPECT_LE(report.first, report.second);
        if (!copies.reports.empty() && copies.reports.back().first < copies.reports.back().second)
            failedMidCopy = true;
    }
    EXPECT_TRUE(succeeded);
    EXPECT_TRUE(failedMidCopy);
    // A hook replaced by another is handed back.
    CopyProgress previous = SetCopyProgress({});
    EXPECT_TRUE(static_cast<bool>(previous));
    SetCopyProgress(previous);
}

namespace {

// A frame header of either version with the given flag bytes, then `content` as stored.
Bytes RawFrame(int major, const std::string& id, uint8_t status, uint8_t format, const Bytes& content) {
    const auto n = static_cast<uint32_t>(content.size());
    return Concat({FromString(id), major == 4 ? SyncSafe(n) : Plain32(n), Data({status, format}), content});
}

bool Contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

}  // namespace

TEST_F(TagWrite, CompressedAndEncryptedFramesAreKeptByteForByte) {
    // The stored bytes are never decoded: any bytes stand for the zlib stream or the cipher text.
    const Bytes stored = Concat({Data({0x78, 0x9C, 0xFF, 0xE0, 0x00}), Bytes(40, 0xA5)});
    struct Case {
        const char* what;
        int major;  // of the old tag
        int write;
        Bytes old;  // the frame in the old tag
        Bytes kept;  // the frame expected in the new one
    };
    const auto same = [](const char* what, int major, const Bytes& frame) {
        return Case{what, major, major == 4 ? kWriteV24 : kWriteV23, frame, frame};
    };
    std::vector<Case> cases = {
        same("2.3 compressed TXXX", 3, RawFrame(3, "TXXX", 0, 0x80, Concat({Plain32(300), stored}))),
        same("2.3 encrypted PRIV", 3, RawFrame(3, "PRIV", 0x20, 0x40, Concat({Data({0x81}), stored}))),
        same("2.3 all three", 3, RawFrame(3, "TXXX", 0, 0xE0, Concat({Plain32(300), Data({0x81, 0x07}), stored}))),
        same("2.4 compressed TXXX", 4, RawFrame(4, "TXXX", 0, 0x09, Concat({SyncSafe(300), stored}))),
        same("2.4 encrypted PRIV", 4, RawFrame(4, "PRIV", 0x10, 0x04, Concat({Data({0x81}), stored}))),
        same("2.4 all four", 4, RawFrame(4, "TXXX", 0, 0x4D, Concat({Data({0x07, 0x81}), SyncSafe(300), stored}))),
        // Never read into the record, and the record writes no album in its place.
        same("2.3 compressed TALB", 3, RawFrame(3, "TALB", 0, 0x80, Concat({Plain32(300), stored}))),
    };
    // Into the other version the flags and their fields move to where that version has them.
    cases.push_back({"2.3 to 2.4", 3, kWriteV24, RawFrame(3, "TXXX", 0x20, 0xE0, Concat({Plain32(300), Data({0x81, 0x07}), stored})),
                     RawFrame(4, "TXXX", 0x10, 0x4D, Concat({Data({0x07, 0x81}), SyncSafe(300), stored}))});
    cases.push_back({"2.4 to 2.3", 4, kWriteV23, RawFrame(4, "PRIV", 0, 0x04, Concat({Data({0x81}), stored})),
                     RawFrame(3, "PRIV", 0, 0x40, Concat({Data({0x81}), stored}))});
    // A frame unsynchronised on its own is kept with the unsynchronisation undone.
    cases.push_back({"2.4 unsynchronised", 4, kWriteV24, RawFrame(4, "PRIV", 0, 0x06, Data({0x81, 0xFF, 0x00, 0xE0})),
                     RawFrame(4, "PRIV", 0, 0x04, Data({0x81, 0xFF, 0xE0}))});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = tmp.file("a.mp3");
        WriteFile(path, Concat({Tag(c.major, {Frame(c.major, "TIT2", Text0("old")), c.old}), audio}));
        ID3TagInfo info;
        info.Title = "new";
        ASSERT_TRUE(WriteID3v2Tag(path, info, c.write, false, true)) << LastTagWriteError();
        const Bytes file = ReadFile(path);
        EXPECT_TRUE(Contains(file, c.kept));
        EXPECT_EQ(Tail(file, TagSize(file)), audio);
        ID3TagInfo back;
        ASSERT_TRUE(ReadID3v2Tag(path, back));
        EXPECT_EQ(back.Title, "new");
    }
}
