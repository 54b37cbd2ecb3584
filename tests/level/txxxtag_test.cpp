#include "level/txxxtag.h"

#include <gtest/gtest.h>

#include "support/testfiles.h"

using testfiles::Bytes;

namespace {

Bytes SyncSafe(size_t n) {
    return {static_cast<uint8_t>((n >> 21) & 0x7F), static_cast<uint8_t>((n >> 14) & 0x7F),
            static_cast<uint8_t>((n >> 7) & 0x7F), static_cast<uint8_t>(n & 0x7F)};
}

// A frame of version 2.3 or 2.4 (sizes plain or sync-safe).
Bytes Frame(int version, const std::string& id, const Bytes& data) {
    Bytes size = SyncSafe(data.size());
    if (version == 3) size = {0, 0, static_cast<uint8_t>(data.size() >> 8), static_cast<uint8_t>(data.size())};
    return testfiles::Concat({testfiles::FromString(id), size, {0, 0}, data});
}

Bytes Tag(int version, uint8_t flags, const Bytes& frames, size_t padding) {
    Bytes body = frames;
    body.resize(frames.size() + padding, 0);
    return testfiles::Concat({{'I', 'D', '3', static_cast<uint8_t>(version), 0, flags}, SyncSafe(body.size()), body});
}

const Bytes kTitle = Frame(3, "TIT2", testfiles::Concat({{0}, testfiles::FromString("Song")}));

}  // namespace

TEST(TxxxTag, AddingAndRemovingRestoresTheTagByteForByte) {
    struct Case {
        const char* name;
        Bytes tag;
        bool grows;
    } cases[] = {
        {"no tag", {}, true},
        {"roomy padding", Tag(3, 0, kTitle, 1024), false},
        {"no padding", Tag(3, 0, kTitle, 0), true},
        {"a little padding", Tag(3, 0, kTitle, 20), true},
        {"version 2.4", Tag(4, 0, Frame(4, "TIT2", {0, 'x'}), 500), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes tag = c.tag;
        std::string error;
        ASSERT_TRUE(SetTxxx(tag, "MP3GAIN_UNDO", "-002,-002,N", &error)) << error;
        EXPECT_EQ(tag.size() != c.tag.size(), c.grows);
        EXPECT_EQ(FindTxxx(tag, "mp3gain_undo"), "-002,-002,N");
        ASSERT_TRUE(SetTxxx(tag, "MP3GAIN_UNDO", "-005,-005,N", &error)) << error;
        EXPECT_EQ(FindTxxx(tag, "MP3GAIN_UNDO"), "-005,-005,N");
        ASSERT_TRUE(RemoveTxxx(tag, "MP3GAIN_UNDO", &error)) << error;
        EXPECT_EQ(tag, c.tag);
        EXPECT_EQ(FindTxxx(tag, "MP3GAIN_UNDO"), std::nullopt);
    }
}

TEST(TxxxTag, ReadsOtherProgramsTags) {
    // mp3gain's own: version 2.4 with the unsynchronisation flag, Latin-1, no terminator.
    const Bytes mp3gain = Tag(4, 0x80, Frame(4, "TXXX", testfiles::Concat({{0}, testfiles::FromString(std::string("MP3GAIN_UNDO") + '\0' + "-002,-002,N")})), 2000);
    EXPECT_EQ(FindTxxx(mp3gain, "MP3GAIN_UNDO"), "-002,-002,N");
    // UTF-16 with byte order marks, in 2.3.
    const Bytes utf16 = Tag(3, 0, Frame(3, "TXXX", {1, 0xFF, 0xFE, 'A', 0, 0, 0, 0xFF, 0xFE, '1', 0, 0xE9, 0}), 10);
    EXPECT_EQ(FindTxxx(utf16, "A"), "1\xC3\xA9");
    // A damaged size field ends the walk; nothing past it is read.
    Bytes damaged = Tag(3, 0, Frame(3, "TXXX", {0, 'A', 0, '1'}), 10);
    damaged[10 + 7] = 200;
    EXPECT_EQ(FindTxxx(damaged, "A"), std::nullopt);
    // A size that disagrees with the bytes given is no tag.
    Bytes cut = utf16;
    cut.pop_back();
    std::string error;
    EXPECT_FALSE(SetTxxx(cut, "A", "2", &error));
    EXPECT_EQ(cut.size(), utf16.size() - 1);
}

TEST(TxxxTag, FooterTagsGrowAndShrinkWithTheFrame) {
    Bytes tag = Tag(4, 0x10, Frame(4, "TIT2", {0, 'x'}), 0);
    tag.insert(tag.end(), tag.begin(), tag.begin() + 10);
    tag[tag.size() - 10] = '3';
    tag[tag.size() - 9] = 'D';
    tag[tag.size() - 8] = 'I';
    const Bytes before = tag;
    std::string error;
    ASSERT_TRUE(SetTxxx(tag, "REPLAYGAIN_TRACK_GAIN", "-6.20 dB", &error)) << error;
    EXPECT_EQ(FindTxxx(tag, "REPLAYGAIN_TRACK_GAIN"), "-6.20 dB");
    EXPECT_EQ(Bytes(tag.end() - 10, tag.end() - 7), (Bytes{'3', 'D', 'I'}));
    EXPECT_EQ(Bytes(tag.end() - 4, tag.end()), Bytes(tag.begin() + 6, tag.begin() + 10));
    ASSERT_TRUE(RemoveTxxx(tag, "REPLAYGAIN_TRACK_GAIN", &error));
    EXPECT_EQ(tag, before);
}

TEST(TxxxTag, WholeTagUnsynchronisationIsRefusedForWriting) {
    Bytes tag = Tag(3, 0x80, kTitle, 100);
    const Bytes before = tag;
    std::string error;
    EXPECT_FALSE(SetTxxx(tag, "A", "1", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(tag, before);
}
