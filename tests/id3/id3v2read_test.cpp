// Reading ID3v2.2, 2.3 and 2.4 tags built from bytes.
#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>

#include "id3/bytes.h"
#include "id3/id3v2read.h"
#include "id3/keptframes.h"
#include "id3v2write_fixtures.h"
#include "support/testfiles.h"
#include "text/textcodec.h"

using namespace mdlID3;
using namespace v2fixtures;
using testfiles::Concat;
using testfiles::TempDir;

namespace {

// Writes the bytes followed by a little audio and reads them back.
bool ReadTagBytes(const Bytes& bytes, ID3TagInfo& info, const Bytes& after = testfiles::SilentFrames(2)) {
    TempDir dir;
    auto path = dir.file("t.mp3");
    testfiles::WriteFile(path, Concat({bytes, after}));
    return ReadID3v2Tag(path, info);
}

ID3TagInfo ReadTag(const Bytes& bytes) {
    ID3TagInfo info;
    EXPECT_TRUE(ReadTagBytes(bytes, info));
    return info;
}

Bytes Comment(uint8_t encoding, const Bytes& description, const Bytes& text) {
    return Concat({{encoding}, Str("eng"), description, text});
}

Bytes Utf16(const std::string& utf8) { return Utf8ToUtf16(utf8, false, true); }

}  // namespace

// Every field from its frame in each version and text encoding; frames that are not fields are
// skipped.
TEST(ID3v2Read, EveryFieldInEveryVersionAndEncoding) {
    struct Row {
        const char* v22;
        const char* v23;
        Bytes data;
        std::string shown;
    };
    const Row rows[] = {
        // Only the first string of a frame.
        {"TP1", "TPE1", Text(1, Concat({Utf16("\xD0\x96uk"), {0, 0}, Utf16("second")})), "\xD0\x96uk"},
        {"TAL", "TALB", Text(2, Bytes{0x04, 0x16, 0x00, 'b'}), "\xD0\x96" "b"},
        {"TT2", "TIT2", Text(3, Str("Caf\xC3\xA9 \xE2\x99\xAB")), "Caf\xC3\xA9 \xE2\x99\xAB"},
        {"TYE", "TYER", Text("1999"), "1999"},
        {"TCO", "TCON", Text("(17)Rock"), "Rock"},
        {"COM", "COMM", Comment(1, Concat({Utf16("d"), {0, 0}}), Concat({Utf16("line\none\r"), {0, 0}})),
         "line\r\none"},
        {"TRK", "TRCK", Text("3/12"), "3/12"},
        {"TEN", "TENC", Text("Encoder"), "Encoder"},
        {"WXX", "WXXX", Concat({{1}, Utf16("desc"), {0, 0}, Str("http://l.example"), {0}}), "http://l.example"},
        {"TCR", "TCOP", Text(0, Bytes{'C', 'a', 'f', 0xE9}), "Caf\xC3\xA9"},
        {"TCM", "TCOM", Text("Composer"), "Composer"},
        {"TOA", "TOPE", Text("Orig"), "Orig"},
    };
    for (int major : {2, 3, 4}) {
        SCOPED_TRACE(major);
        Bytes body = major == 2 ? Frame22("CRM", Bytes(20, 'x')) : Frame23("APIC", Bytes(40, 0x7F));
        std::vector<std::string> expected;
        for (const Row& r : rows) {
            const Bytes frame = major == 2   ? Frame22(r.v22, r.data)
                                : major == 3 ? Frame23(r.v23, r.data)
                                             : Frame24(r.v23, r.data);
            body = Concat({body, frame});
            expected.push_back(r.shown);
        }
        EXPECT_EQ(writefixtures::Fields(ReadTag(Tag(static_cast<uint8_t>(major), body, 0, 300))), expected);
    }
}

TEST(ID3v2Read, LaterFrameWinsAndRecordIsClearedFirst) {
    ID3TagInfo info;
    info.Composer = "stale";
    info.Year = "stale";
    ASSERT_TRUE(ReadTagBytes(Tag(4, Concat({Frame24("TDRC", Text("2004-05-06")), Frame24("TYER", Text("1987")),
                                             Frame24("TIT2", Text("one")), Frame24("TIT2", Text("two"))})),
                             info));
    EXPECT_EQ(info.Year, "1987");
    EXPECT_EQ(info.Title, "two");
    EXPECT_EQ(info.Composer, "");
    info = ReadTag(Tag(4, Frame24("TDRC", Text("2004-05-06"))));
    EXPECT_EQ(info.Year, "2004");
}

// (The content-type frame goes through this in the every-field table.)
TEST(ID3v2Read, GenreTexts) {
    for (auto [stored, shown] : {std::pair<std::string, std::string>{"(13)", "Pop"}, {"(17)Rock", "Rock"},
                                 {"(200)", ""}, {"(CR)", "Cover"}, {"(RX)", "Remix"}, {"17", "17"},
                                 {"Rock (live)", "Rock (live)"}, {")(13", ")(13"}, {"(99999999999)", ""}})
        EXPECT_EQ(ParseGenreText(stored), shown) << stored;
}

TEST(ID3v2Read, Version24PlainSizesAreRetried) {
    // 200 bytes stored as a plain number (00 00 00 C8) reads sync-safe as 72 (C8 has its top bit
    // set, so even that falls back); 300 (00 00 01 2C) reads sync-safe as 172.
    Bytes frames = Concat({Frame24("TIT2", Text(std::string(199, 't')), 0, true),
                           Frame24("TPE1", Text(std::string(299, 'a')), 0, true), Frame24("TALB", Text("al"), 0, true)});
    auto info = ReadTag(Tag(4, frames, 0, 20));
    EXPECT_EQ(info.Title, std::string(199, 't'));
    EXPECT_EQ(info.Artist, std::string(299, 'a'));
    EXPECT_EQ(info.Album, "al");
}

// Unsynchronisation of the whole tag or of one frame is undone; group bytes and data length
// indicators are skipped; compressed and encrypted frames are not read, and the next one is.
TEST(ID3v2Read, FrameAndTagFlags) {
    // FF E0 in a text would read as a frame sync: the writer put a zero after every FF.
    const auto unsync = [](const Bytes& body) {
        Bytes out;
        for (uint8_t b : body) {
            out.push_back(b);
            if (b == 0xFF) out.push_back(0);
        }
        return out;
    };
    const Bytes unsynced = Text(0, Bytes{'u', 0xFF, 0, 'v'});
    struct Row {
        const char* what;
        uint8_t major;
        uint8_t tagFlags;
        Bytes title;  // the TIT2 frame
        std::string shown;
    };
    const Row rows[] = {
        {"2.3 whole tag", 3, 0x80, unsync(Frame23("TIT2", Text(0, Bytes{'a', 0xFF, 0xE0, 'b', 0xFF}))),
         "a\xC3\xBF\xC3\xA0" "b\xC3\xBF"},
        {"2.3 grouped", 3, 0, Frame23("TIT2", Concat({{9}, Text("grouped")}), 0x20), "grouped"},
        {"2.3 compressed", 3, 0, Frame23("TIT2", Concat({Plain32(100), Text("zlib")}), 0x80), ""},
        {"2.3 encrypted", 3, 0, Frame23("TIT2", Text("enc"), 0x40), ""},
        {"2.4 whole tag", 4, 0x80, Frame24("TIT2", unsynced), "u\xC3\xBFv"},
        {"2.4 frame, length and group", 4, 0, Frame24("TIT2", Concat({{7}, Plain32(5), unsynced}), 0x43), "u\xC3\xBFv"},
        {"2.4 compressed", 4, 0, Frame24("TIT2", Text("compressed"), 0x09), ""},
        {"2.4 encrypted", 4, 0, Frame24("TIT2", Text("encrypted"), 0x04), ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const Bytes after = r.major == 4 ? Frame24("TCOM", Text("after")) : Frame23("TCOM", Text("after"));
        const auto info = ReadTag(Tag(r.major, Concat({r.title, after}), r.tagFlags, 10));
        EXPECT_EQ(info.Title, r.shown);
        EXPECT_EQ(info.Composer, "after");
    }
}

TEST(ID3v2Read, ExtendedHeaders) {
    // 2.3: 4-byte size not counting itself, then 2 flag bytes and 4 bytes of padding size.
    Bytes ext23 = Concat({Plain32(6), {0, 0}, Plain32(0)});
    EXPECT_EQ(ReadTag(Tag(3, Concat({ext23, Frame23("TIT2", Text("t23"))}), 0x40)).Title, "t23");
    // 2.4: sync-safe size counting itself, one flag byte count, flags; 0x40 marks an update.
    Bytes ext24 = Concat({SyncSafe(6), {1, 0}});
    EXPECT_EQ(ReadTag(Tag(4, Concat({ext24, Frame24("TIT2", Text("t24"))}), 0x40)).Title, "t24");

    Bytes update = Concat({SyncSafe(6), {1, 0x40}});
    ID3TagInfo info;
    info.Artist = "kept";
    info.Title = "old";
    ASSERT_TRUE(ReadTagBytes(Tag(4, Concat({update, Frame24("TIT2", Text("new"))}), 0x40), info));
    EXPECT_EQ(info.Title, "new");
    EXPECT_EQ(info.Artist, "kept");
    // The same flag in a 2.2 tag means compression there and is not an extended header.
    EXPECT_EQ(ReadTag(Tag(2, Frame22("TT2", Text("v22")), 0x40)).Title, "v22");
}

TEST(ID3v2Read, SeekChainsToAnUpdateTag) {
    Bytes second = Tag(4, Concat({SyncSafe(6), {1, 0x40}, Frame24("TALB", Text("from second"))}), 0x40);
    Bytes audioGap(50, 0x00);
    Bytes first = Tag(4, Concat({Frame24("TIT2", Text("first")), Frame24("SEEK", Plain32(50))}), 0, 10);
    auto info = ReadTag(Concat({first, audioGap, second}));
    EXPECT_EQ(info.Title, "first");
    EXPECT_EQ(info.Album, "from second");

    // A SEEK to where no tag is ends the chain; so does a "SEEK" far past the end.
    info = ReadTag(Tag(4, Concat({Frame24("TIT2", Text("only")), Frame24("SEEK", Plain32(0))})));
    EXPECT_EQ(info.Title, "only");
    info = ReadTag(Tag(4, Concat({Frame24("TIT2", Text("only")), Frame24("SEEK", Plain32(0xFFFFFFFF))})));
    EXPECT_EQ(info.Title, "only");

    // Every tag points at the next, right behind it: each is parsed once, and the chain ends.
    Bytes chain;
    for (int i = 0; i < 200; ++i)
        chain = Concat({chain, Tag(4, Concat({SyncSafe(6), {1, 0x40}, Frame24("TRCK", Text(std::to_string(i))),
                                               Frame24("SEEK", Plain32(0))}), 0x40)});
    EXPECT_EQ(ReadTag(chain).Track, "199");
}

// A tag at the start, or appended and found through its footer (before an ID3v1 tag too); a
// header of no known version is found but read as nothing; a footer pointing before the file's
// start or at no header is no tag.
TEST(ID3v2Read, WhereTagsAreFound) {
    const Bytes audio = testfiles::SilentFrames(3);
    const Bytes appended = Tag(4, Frame24("TIT2", Text("at the end")), 0x10, 5);
    const Bytes v1 = testfiles::Id3v1Tag("v1", "", "", "", "", 0);
    struct Row {
        const char* what;
        Bytes file;
        bool found;
        std::string title;
    };
    const Row rows[] = {
        {"empty", {}, false, "unchanged"},
        {"audio only", audio, false, "unchanged"},
        {"too short for a version", Str("ID3"), true, "unchanged"},
        {"version 5", Tag(5, Frame24("TIT2", Text("five"))), true, "unchanged"},
        {"appended", Concat({audio, appended}), true, "at the end"},
        {"appended before ID3v1", Concat({audio, appended, v1}), true, "at the end"},
        {"footer before the start", Concat({audio, Str("3DI"), {4, 0, 0x10}, SyncSafe(100000)}), false, "unchanged"},
        {"footer at no header", Concat({audio, Str("3DI"), {4, 0, 0x10}, SyncSafe(20)}), false, "unchanged"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ID3TagInfo info;
        info.Title = "unchanged";
        EXPECT_EQ(ReadTagBytes(r.file, info, {}), r.found);
        EXPECT_EQ(info.Title, r.title);
    }
    TempDir dir;
    ID3TagInfo info;
    EXPECT_FALSE(ReadID3v2Tag(dir.file("missing"), info));
    EXPECT_FALSE(ReadID3v2Tag(dir.path().string(), info));
}

TEST(ID3v2Read, CorruptFramesEndTheScanQuietly) {
    // A frame running past the body keeps what came before.
    Bytes frames = Concat({Frame23("TIT2", Text("ok")), Str("TPE1"), Plain32(1000), {0, 0}, Text("short")});
    auto info = ReadTag(Tag(3, frames));
    EXPECT_EQ(info.Title, "ok");
    EXPECT_EQ(info.Artist, "");
    // A tag whose size claims far more than the file holds.
    Bytes huge = Concat({Str("ID3"), {3, 0, 0}, SyncSafe(0x0FFFFFFF), Frame23("TIT2", Text("big"))});
    EXPECT_EQ(ReadTag(huge).Title, "big");
    // An extended header size past the body.
    EXPECT_EQ(ReadTag(Tag(3, Concat({Plain32(0xFFFFFFF0), Frame23("TIT2", Text("x"))}), 0x40)).Title, "");
    // Frames of size 0 and frames too short for their kind.
    frames = Concat({Frame23("TIT2", {}), Frame23("COMM", Bytes{0, 'e'}), Frame23("WXXX", Bytes{1, 'a'}),
                     Frame23("SEEK", Bytes{1}), Frame23("TPE1", Text("still"))});
    info = ReadTag(Tag(3, frames));
    EXPECT_EQ(info.Comment, "");
    EXPECT_EQ(info.LinkTo, "");
    EXPECT_EQ(info.Artist, "still");
}

TEST(ID3v2Read, TagSize) {
    TempDir dir;
    auto path = dir.file("x.mp3");
    Bytes audio = testfiles::SilentFrames(2);
    testfiles::WriteFile(path, Concat({Tag(4, Frame24("TIT2", Text("a")), 0x10, 100), audio}));
    FileReader file(path);
    EXPECT_EQ(GetID3v2TagSize(file, 0), 10 + 12 + 100 + 10);
    EXPECT_EQ(GetID3v2TagSize(file, 1), 0);
    // Version 3 ignores the footer flag.
    testfiles::WriteFile(path, Concat({Tag(3, Frame23("TIT2", Text("a")), 0x10, 100), audio}));
    FileReader file3(path);
    EXPECT_EQ(GetID3v2TagSize(file3, 0), 10 + 12 + 100);
    // Never more than the file holds.
    testfiles::WriteFile(path, Concat({Str("ID3"), {3, 0, 0}, SyncSafe(5000), Bytes(20, 0)}));
    FileReader shortFile(path);
    EXPECT_EQ(GetID3v2TagSize(shortFile, 0), 30);
}

TEST(ID3v2Read, HelperRoutines) {
    Bytes data{0xFF, 0x00, 0x00, 0xFF, 0xE0, 0xFF, 0x00};
    EXPECT_EQ(RemoveUnsync(data), 2u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 5), (Bytes{0xFF, 0x00, 0xFF, 0xE0, 0xFF}));
    Bytes trailing{0x41, 0xFF};
    EXPECT_EQ(RemoveUnsync(trailing), 0u);
    for (auto [id, valid] : {std::pair{Str("TIT2"), true}, {Bytes(4, 0), true}, {Str("tit2"), false},
                             {Str("COM "), false}, {Str("TIT"), false}})
        EXPECT_EQ(IsFrameIdValid(id), valid) << testing::PrintToString(id);
    EXPECT_EQ(DecodeFrameText(Bytes{0, 0, 1}, "SEEK"), "");
    EXPECT_EQ(DecodeFrameText(Comment(0, Concat({Str("desc"), {0}}), Str("text")), "COM "), "text");
}

// Group bytes and data length indicators stripped, unsynchronisation undone, compressed frames
// kept as stored with their flags, 2.4 frames held in their 2.3 form; SEEK and empty frames not.
TEST(ID3v2Read, KeepModeCollectsFramesInOrder) {
    TempDir dir;
    auto path = dir.file("k.mp3");
    Bytes frames = Concat({
        Frame24("TIT2", Text("t")), Frame24("APIC", Bytes{0, 'i', 0, 3, 0, 1, 2, 3}),
        Frame24("TXXX", Concat({{5}, SyncSafe(2), Text("x")}), 0x40 | 0x01),
        Frame24("PRIV", Bytes{0xFF, 0, 0xFF, 0, 0xFF}, 0x02),
        Frame24("GEOB", Text("zip"), 0x08), Frame24("TDOR", Text("1999-03-01")), Frame24("TIPL", Text("p")),
        Frame24("SEEK", Plain32(0)), Frame24("TLEN", {}),
    });
    testfiles::WriteFile(path, Concat({Tag(4, frames), testfiles::SilentFrames(1)}));
    KeptFrameList kept;
    FileReader file(path);
    ID3TagInfo scratch;
    scratch.Title = "x";
    // SEEK 0: the next tag would follow right after this one.
    EXPECT_EQ(ParseID3v2Tag(file, 0, scratch, &kept), GetID3v2TagSize(file, 0));
    EXPECT_EQ(scratch.Title, "");
    using Kept = std::tuple<std::string, Bytes, int32_t, bool, uint8_t, int>;
    std::vector<Kept> got;
    for (const auto& f : kept) got.emplace_back(f.Id, f.Data, f.Size, f.Raw, f.FormatFlags, f.SourceVersion);
    EXPECT_EQ(got, (std::vector<Kept>{{"TIT2", Text("t"), 2, false, 0, 4},
                                      {"APIC", Bytes{0, 'i', 0, 3, 0, 1, 2, 3}, 8, false, 0, 4},
                                      {"TXXX", Text("x"), 2, false, 0x41, 4},
                                      {"PRIV", Bytes(3, 0xFF), 3, false, 0x02, 4},
                                      {"GEOB", Text("zip"), 4, true, 0x08, 4},
                                      {"TORY", Text("1999"), 5, false, 0, 4},
                                      {"IPLS", Text("p"), 2, false, 0, 4}}));
}

TEST(ID3v2Read, KeepModeConvertsVersion22) {
    TempDir dir;
    auto path = dir.file("k.mp3");
    Bytes pic = Concat({{0}, Str("JPG"), {3}, Str("d"), {0}, Bytes{0xFF, 0xD8, 0xFF}});
    Bytes frames = Concat({Frame22("TT2", Text("t")), Frame22("PIC", pic), Frame22("CRM", Bytes(9, 1)),
                           Frame22("LNK", Concat({Str("PIC"), Str("http://p")})), Frame22("XYZ", Bytes{1})});
    testfiles::WriteFile(path, Concat({Tag(2, frames), testfiles::SilentFrames(1)}));
    KeptFrameList kept;
    ID3TagInfo scratch;
    ParseID3v2Tag(FileReader(path), 0, scratch, &kept);
    std::vector<std::string> ids;
    for (const auto& f : kept) ids.push_back(f.Id);
    // The conversions themselves are UpgradeKeptFrame's, tested with the writer.
    EXPECT_EQ(ids, (std::vector<std::string>{"TIT2", "APIC", "LINK", "XYZ"}));
    EXPECT_EQ(kept[1].Data, Concat({{0}, Str("image/jpeg"), {0}, {3}, Str("d"), {0}, Bytes{0xFF, 0xD8, 0xFF}}));
}
