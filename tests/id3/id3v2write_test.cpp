#include "id3/id3v2write.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "files/safefile.h"
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

// Encoding-0 text with its terminator, as the writer stores it.
Bytes Text0(const std::string& latin1) { return Concat({Text(latin1), {0}}); }

ino_t Inode(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
}

KeptFrame Entry(const std::string& id, const Bytes& data) {
    KeptFrame f;
    f.Id = id;
    f.Data = data;
    f.Size = static_cast<int32_t>(data.size());
    return f;
}

ID3TagInfo Record(std::string ID3TagInfo::*field, const std::string& value,
                  std::string ID3TagInfo::*field2 = nullptr, const std::string& value2 = {}) {
    ID3TagInfo info;
    info.*field = value;
    if (field2) info.*field2 = value2;
    return info;
}

class TagWrite : public ::testing::Test {
protected:
    void SetUp() override {
        audio = Concat({SilentFrames(6), Id3v1Tag("t", "a", "b", "2001", "c", 17, 3)});
    }
    void TearDown() override { InjectIoFailureAt(0); }
    size_t FilesInFolder() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(tmp.path()), {}));
    }
    TempDir tmp;
    Bytes audio;
};

}  // namespace

// Each field's frame byte for byte: Latin-1 where it fits, else UTF-16 in 2.3 and UTF-8 in 2.4;
// a link is 8-bit, other characters percent-escaped; the size field is sync-safe only in 2.4.
TEST(TagWriteFrames, FieldFramesByteForByte) {
    struct Row {
        const char* id;
        std::string value;
        int version;
        Bytes expected;
    };
    const std::string x200(200, 'x');
    const Row rows[] = {
        {"TPE1", "Bj\xC3\xB6rk", kWriteV23, Concat({Str("TPE1"), Data({0, 0, 0, 7, 0, 0}), Text0("Bj\xF6rk")})},
        {"COMM", " hi ", kWriteV24,
         Concat({Str("COMM"), Data({0, 0, 0, 10, 0, 0, 0}), Str("eng"), {0}, Str(" hi "), {0}})},
        {"WXXX", "http://a.b/", kWriteV23,
         Concat({Str("WXXX"), Data({0, 0, 0, 14, 0, 0, 0, 0}), Str("http://a.b/"), {0}})},
        // "Я" is U+042F.
        {"TIT2", "\xD0\xAF!", kWriteV23,
         Concat({Str("TIT2"), Data({0, 0, 0, 9, 0, 0, 1, 0xFF, 0xFE, 0x2F, 0x04, '!', 0, 0, 0})})},
        {"TIT2", "\xD0\xAF!", kWriteV24, Concat({Str("TIT2"), Data({0, 0, 0, 5, 0, 0, 3, 0xD0, 0xAF, '!', 0})})},
        // The comment's empty description carries its own byte order mark in UTF-16.
        {"COMM", "\xD0\xAF", kWriteV23,
         Concat({Str("COMM"),
                 Data({0, 0, 0, 14, 0, 0, 1, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 0x2F, 0x04, 0, 0})})},
        {"WXXX", "http://\xD0\xAF.ru", kWriteV23,
         Concat({Str("WXXX"), Data({0, 0, 0, 19, 0, 0, 0, 0}), Str("http://%D0%AF.ru"), {0}})},
        {"TIT2", x200, kWriteV23, Concat({Str("TIT2"), Data({0, 0, 0, 202, 0, 0}), Text0(x200)})},
        {"TIT2", x200, kWriteV24, Concat({Str("TIT2"), Data({0, 0, 1, 0x4A, 0, 0}), Text0(x200)})},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.id) + " " + r.value.substr(0, 12) + " " + std::to_string(r.version));
        Bytes out(256, 0xEE);
        const int32_t n = WriteFieldFrame(out, r.id, r.value, r.version);
        out.resize(static_cast<size_t>(std::max(n, 0)));
        EXPECT_EQ(out, r.expected);
        EXPECT_EQ(FieldFrameSize(r.id, r.value, true, r.version), n);
        EXPECT_EQ(FieldFrameSize(r.id, r.value, false, r.version), n - 10);
    }
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

TEST(TagWriteFrames, PaddingRule) {
    // {needed, old, size}: r = 1023 still fits the smaller size, r = 1024 does not.
    const int64_t rows[][3] = {{3000, 0, 4106}, {3100, 0, 6154}, {3071, 0, 4106}, {3072, 0, 6154}, {2048, 0, 4106},
                               {10, 0, 2058},   {500, 500, 500}, {499, 500, 500}, {501, 500, 2058}};
    for (const auto& r : rows) EXPECT_EQ(NewTagSize(r[0], r[1]), r[2]) << r[0] << " in " << r[1];
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
    struct Row {
        const char* id;
        Bytes data;
        const char* upgradedId;
        Bytes upgraded;
    };
    const Row rows[] = {
        {"PIC", Data({0, 'J', 'P', 'G', 3, 'd', 0, 0xFF, 0xD8}), "APIC",
         Concat({{0}, Str("image/jpeg"), Data({0, 3, 'd', 0, 0xFF, 0xD8})})},
        {"PIC", Data({0, 'p', 'n', 'g', 3, 0}), "APIC", Concat({{0}, Str("image/png"), Data({0, 3, 0})})},
        {"PIC", Data({0, '-', '-', '>', 3, 0, 'u'}), "APIC", Concat({{0}, Str("-->"), Data({0, 3, 0, 'u'})})},
        {"PIC", Data({0, 'B', 'm', 'P', 3, 0}), "APIC", Concat({{0}, Str("image/bmp"), Data({0, 3, 0})})},
        {"PIC", Data({0, 'J', 'P'}), "PIC", Data({0, 'J', 'P'})},  // too short: kept as it came
        {"LNK", Data({'T', 'T', '2', 'u', 0, 'x'}), "LINK", Data({'T', 'I', 'T', '2', 'u', 0, 'x'})},
        {"LNK", Data({'T'}), "LNK", Data({'T'})},
        {"TDOR", Concat({{0}, Str("1999-03-01")}), "TORY", Concat({{0}, Str("1999")})},
        {"TDOR", Data({1, 0xFF, 0xFE, '2', 0, '0', 0, '0', 0, '1', 0, '-', 0, 0, 0}), "TORY",
         Concat({{0}, Str("2001")})},
        {"TT2", Data({0, 'a'}), "TIT2", Data({0, 'a'})},
        {"XYZ", Data({1}), "XYZ", Data({1})},
    };
    KeptFrameList list;
    for (const Row& r : rows) list.push_back(Entry(r.id, r.data));
    for (int32_t i = -1; i <= static_cast<int32_t>(list.size()); ++i) UpgradeKeptFrame(list, i);
    for (size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].Id, rows[i].upgradedId);
        EXPECT_EQ(list[i].Data, rows[i].upgraded);
        EXPECT_EQ(list[i].Size, static_cast<int32_t>(rows[i].upgraded.size()));
    }
}

// (Renaming for 2.4 is in the new-tag table below.)
TEST(TagWriteFrames, KeptFrameWritingStaysInItsBounds) {
    KeptFrameList list{Entry("IPLS", Bytes(130, 'a'))};
    Bytes small(20, 0xEE);
    EXPECT_EQ(WriteKeptFrame(small, list, 1, kWriteV23), 0);
    EXPECT_EQ(WriteKeptFrame(small, list, -1, kWriteV23), 0);
    EXPECT_EQ(WriteKeptFrame(small, list, 0, kWriteV23), 0);
    EXPECT_EQ(small, Bytes(20, 0xEE));
}

// Which frames the new tag holds, how large it is, whether it was written in place, that the audio
// after it is untouched, and that writing it again changes nothing. (The field texts are checked
// against mutagen.)
TEST_F(TagWrite, TheNewTagFromTheOldOneAndTheRecord) {
    const Bytes picture = Concat({Data({0}), FromString("image/png"), Data({0, 3, 0}), Bytes(500, 0x89)});
    const Bytes withPicture = TagOf(3, {Frame(3, "APIC", picture), Frame(3, "TPE1", Text0("x"))}, 100);
    const Bytes fits =
        TagOf(3, {Frame(3, "TIT2", Text0("A long old title here")), Frame(3, "TXXX", Data({0, 'k', 0, 'v'}))}, 300);
    const Bytes v24 = TagOf(4, {Frame(4, "TDOR", Text0("1999-03-01")), Frame(4, "TDRC", Text0("2004")),
                                Frame(4, "TIPL", Data({0, 'a', 0, 'b', 0}))});
    const Bytes pic22 = Data({0, 'J', 'P', 'G', 3, 'c', 0, 0xFF, 0xD8});
    const Bytes v22 =
        TagOf(2, {Frame22("TT2", Text0("t")), Frame22("PIC", pic22), Frame22("CRM", Data({1, 2, 3}))}, 20);
    const Bytes year = Concat({{0}, Str("1999")});
    struct Row {
        const char* what;
        Bytes old;
        ID3TagInfo info;
        int version;
        bool clear;
        std::vector<std::string> ids;
        std::vector<std::pair<size_t, Bytes>> data;  // frame index, its content
        int64_t tagSize;                              // 0: not checked
    };
    const Row rows[] = {
        {"no tag", {}, Record(&ID3TagInfo::Artist, "Artist", &ID3TagInfo::Genre, "rock"), kWriteV23, false,
         {"TPE1", "TCON"}, {{1, Text0("(17)Rock")}}, 2058},
        {"blank record", {}, {}, kWriteV24, false, {}, {}, 2058},
        {"fits in place", fits, Record(&ID3TagInfo::Title, "New"), kWriteV23, false, {"TIT2", "TXXX"},
         {{0, Text0("New")}, {1, Data({0, 'k', 0, 'v'})}}, static_cast<int64_t>(fits.size())},
        {"cleared, in place", withPicture, Record(&ID3TagInfo::Album, "Album"), kWriteV23, true, {"TALB"}, {},
         static_cast<int64_t>(withPicture.size())},
        {"kept picture grows the tag", withPicture,
         Record(&ID3TagInfo::Album, "Album", &ID3TagInfo::Comment, std::string(600, 'c')), kWriteV23, false,
         {"TALB", "COMM", "APIC"}, {{2, picture}}, NewTagSize(10 + 17 + (10 + 606) + (10 + picture.size()), 0)},
        {"2.2 picture", v22, Record(&ID3TagInfo::Title, "t"), kWriteV23, false, {"TIT2", "APIC"},
         {{1, Concat({{0}, Str("image/jpeg"), Data({0, 3, 'c', 0, 0xFF, 0xD8})})}}, 0},
        {"2.4 as 2.3", v24, Record(&ID3TagInfo::Year, "2005"), kWriteV23, false, {"TYER", "TORY", "IPLS"},
         {{1, year}}, 0},
        {"2.4 as 2.4", v24, Record(&ID3TagInfo::Year, "2005"), kWriteV24, false, {"TDRC", "TDOR", "TIPL"},
         {{0, Text0("2005")}, {1, year}}, 0},
        {"2.3 year dropped in 2.4", TagOf(3, {Frame(3, "TYER", Text0("1990"))}), {}, kWriteV24, false, {}, {}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const auto path = tmp.file("a.mp3");
        WriteFile(path, Concat({r.old, audio}));
        const ino_t before = Inode(path);
        ASSERT_TRUE(WriteID3v2Tag(path, r.info, r.version, r.clear, true)) << LastTagWriteError();
        const Bytes file = ReadFile(path);
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), Data({'I', 'D', '3', r.version == kWriteV24 ? 4 : 3}));
        const auto frames = WalkFrames(file);
        EXPECT_EQ(Ids(frames), r.ids);
        for (const auto& [index, content] : r.data) EXPECT_EQ(frames.at(index).data, content) << index;
        const size_t size = TagSize(file);
        if (r.tagSize > 0) {
            EXPECT_EQ(size, static_cast<size_t>(r.tagSize));
        }
        // In place exactly when the old tag had room.
        EXPECT_EQ(Inode(path) == before, size == r.old.size() && !r.old.empty());
        EXPECT_EQ(Tail(file, size), audio);
        // Everything after the frames is zero.
        size_t used = 10;
        for (const auto& f : frames) used += 10 + f.data.size();
        EXPECT_EQ(Bytes(file.begin() + used, file.begin() + size), Bytes(size - used, 0));
        // A second write of the same record fits and changes nothing.
        ASSERT_TRUE(WriteID3v2Tag(path, r.info, r.version, r.clear, true));
        EXPECT_EQ(ReadFile(path), file);
    }
}

TEST_F(TagWrite, RemoveLeavesExactlyTheAudio) {
    const auto path = tmp.file("a.mp3");
    for (const Bytes& old : {Bytes{}, TagOf(4, {Frame(4, "TIT2", Text0("x"))}, 50)}) {
        WriteFile(path, Concat({old, audio}));
        EXPECT_TRUE(RemoveID3v2Tag(path, true));
        EXPECT_EQ(ReadFile(path), audio);
    }
    // Through a work buffer of any size.
    uint8_t buffer[5];
    ASSERT_TRUE(WriteID3v2Tag(path, Record(&ID3TagInfo::Title, "x"), kWriteV23, false, true, buffer, sizeof buffer));
    EXPECT_EQ(Tail(ReadFile(path), 2058), audio);
    ASSERT_TRUE(RemoveID3v2Tag(path, true, buffer, sizeof buffer));
    EXPECT_EQ(ReadFile(path), audio);

    EXPECT_FALSE(RemoveID3v2Tag(tmp.file("missing.mp3"), true));
    EXPECT_FALSE(std::filesystem::exists(tmp.file("missing.mp3")));
}

TEST_F(TagWrite, ReadOnlyFileIsMadeWritableOnlyWhenAsked) {
    const auto path = tmp.file("a.mp3");
    WriteFile(path, audio);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    const ID3TagInfo info = Record(&ID3TagInfo::Title, "x");
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

TEST_F(TagWrite, HostileOldTagsNeverBreakTheWriter) {
    Bytes seekSelf = Frame(4, "SEEK", Plain32(0));
    Bytes seekBack = TagOf(4, {Frame(4, "TXXX", Data({0, 'a', 0})), Frame(4, "SEEK", Data({0xFF, 0xFF, 0xFF, 0xE0}))});
    Bytes oversized = TagOf(3, {Concat({FromString("APIC"), Plain32(0x7FFFFFF0), Data({0, 0, 1, 2})})});
    Bytes unknownVersion = Data({'I', 'D', '3', 9, 0, 0, 0, 0, 0, 20});
    Bytes v22ShortPic = TagOf(2, {Frame22("PIC", Data({0, 'J'})), Frame22("LNK", Data({'T'}))});
    int i = 0;
    for (const Bytes& head : {TagOf(4, {Frame(4, "TXXX", Data({0, 'a', 0})), seekSelf}), seekBack,
                              oversized, unknownVersion, v22ShortPic}) {
        SCOPED_TRACE(i);
        const auto path = tmp.file("h" + std::to_string(i++) + ".mp3");
        WriteFile(path, Concat({head, audio}));
        ASSERT_TRUE(WriteID3v2Tag(path, Record(&ID3TagInfo::Title, "safe"), kWriteV24, false, true))
            << LastTagWriteError();
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
    EXPECT_FALSE(WriteID3v2Tag(path, Record(&ID3TagInfo::Title, "y"), kWriteV23, false, true));
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

TEST_F(TagWrite, AMovingWriteReportsTheAudioCopyUpToItsEndAnInPlaceOneNone) {
    const auto path = tmp.file("big.mp3");
    // About 4 MB of audio: several steps of the copy.
    const Bytes big = SilentFrames(10000);
    WriteFile(path, big);
    CopyReports copies;
    ASSERT_TRUE(WriteID3v2Tag(path, Record(&ID3TagInfo::Title, "grows"), kWriteV23, false, true))
        << LastTagWriteError();
    ASSERT_GE(copies.reports.size(), 3u);
    int64_t last = 0;
    for (const auto& [done, total] : copies.reports) {
        EXPECT_EQ(total, static_cast<int64_t>(big.size()));
        EXPECT_GT(done, last);
        last = done;
    }
    EXPECT_EQ(copies.reports.back().first, static_cast<int64_t>(big.size()));
    EXPECT_EQ(Tail(ReadFile(path), 2058), big);

    copies.reports.clear();
    ASSERT_TRUE(WriteID3v2Tag(path, Record(&ID3TagInfo::Title, "in place"), kWriteV23, false, true));
    EXPECT_TRUE(copies.reports.empty());

    // The same through a small work buffer (the read-and-write copy).
    std::vector<uint8_t> buffer(256 * 1024);
    ASSERT_TRUE(RemoveID3v2Tag(path, true, buffer.data(), static_cast<int32_t>(buffer.size())));
    ASSERT_GE(copies.reports.size(), 3u);
    EXPECT_TRUE(std::is_sorted(copies.reports.begin(), copies.reports.end()));
    EXPECT_EQ(copies.reports.back(), std::make_pair(static_cast<int64_t>(big.size()), static_cast<int64_t>(big.size())));
    EXPECT_EQ(ReadFile(path), big);
}

TEST_F(TagWrite, FailedWritesLeaveTheFileAsItWas) {
    const auto path = tmp.file("a.mp3");
    const Bytes original = SilentFrames(10000);
    const ID3TagInfo moving = Record(&ID3TagInfo::Comment, "moves the audio");
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
        succeeded = WriteID3v2Tag(path, moving, kWriteV23, false, true);
        InjectIoFailureAt(0);
        if (succeeded) break;
        EXPECT_NE(LastTagWriteError().find("No space left"), std::string::npos) << LastTagWriteError();
        EXPECT_EQ(ReadFile(path), original);
        EXPECT_EQ(FilesInFolder(), 1u);
        for (const auto& report : copies.reports) EXPECT_LE(report.first, report.second);
        if (!copies.reports.empty() && copies.reports.back().first < copies.reports.back().second)
            failedMidCopy = true;
    }
    EXPECT_TRUE(succeeded);
    EXPECT_TRUE(failedMidCopy);

    // In place and removal too; a missing file or a folder is a failure.
    const Bytes tagged = Concat({TagOf(3, {Frame(3, "TIT2", Text0("old"))}, 10), audio});
    WriteFile(path, tagged);
    InjectIoFailureAt(1);
    EXPECT_FALSE(WriteID3v2Tag(path, Record(&ID3TagInfo::Title, "n"), kWriteV23, false, true));
    EXPECT_EQ(ReadFile(path), tagged);
    InjectIoFailureAt(1);
    EXPECT_FALSE(RemoveID3v2Tag(path, true));
    EXPECT_EQ(ReadFile(path), tagged);
    InjectIoFailureAt(0);
    EXPECT_FALSE(WriteID3v2Tag(tmp.file("missing.mp3"), moving, kWriteV23, false, true));
    EXPECT_FALSE(WriteID3v2Tag(tmp.path().string(), moving, kWriteV23, false, true));
    EXPECT_EQ(FilesInFolder(), 1u);
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
        WriteFile(path, Concat({TagOf(c.major, {Frame(c.major, "TIT2", Text0("old")), c.old}), audio}));
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
