#include "level/txxxtag.h"

#include <gtest/gtest.h>

#include "support/v2fixtures.h"

using namespace v2fixtures;

namespace {

const Bytes kTitle = Frame23("TIT2", Text("Song"));

}  // namespace

TEST(TxxxTag, AddingAndRemovingRestoresTheTagByteForByte) {
    struct Case {
        const char* name;
        Bytes tag;
        bool grows;
    } cases[] = {
        {"no tag", {}, true},
        {"roomy padding", Tag(3, kTitle, 0, 1024), false},
        {"no padding", Tag(3, kTitle), true},
        {"a little padding", Tag(3, kTitle, 0, 20), true},
        {"version 2.4", Tag(4, Frame24("TIT2", Text("x")), 0, 500), false},
        // The footer repeats the header's size, which grows and shrinks with the frame.
        {"version 2.4 with a footer", Tag(4, Frame24("TIT2", Text("x")), 0x10), true},
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
        if (!c.tag.empty() && c.tag[5] & 0x10) {
            EXPECT_EQ(Bytes(tag.end() - 10, tag.end() - 7), Str("3DI"));
            EXPECT_EQ(Bytes(tag.end() - 4, tag.end()), Bytes(tag.begin() + 6, tag.begin() + 10));
        }
        ASSERT_TRUE(RemoveTxxx(tag, "MP3GAIN_UNDO", &error)) << error;
        EXPECT_EQ(tag, c.tag);
        EXPECT_EQ(FindTxxx(tag, "MP3GAIN_UNDO"), std::nullopt);
    }
}

TEST(TxxxTag, ReadsOtherProgramsTagsAndRefusesWhatItCannotWrite) {
    // mp3gain's own: version 2.4 with the unsynchronisation flag, Latin-1, no terminator.
    const Bytes mp3gain = Tag(4, Frame24("TXXX", Text(std::string("MP3GAIN_UNDO") + '\0' + "-002,-002,N")), 0x80, 2000);
    EXPECT_EQ(FindTxxx(mp3gain, "MP3GAIN_UNDO"), "-002,-002,N");
    // UTF-16 with byte order marks, in 2.3.
    const Bytes utf16 = Tag(3, Frame23("TXXX", {1, 0xFF, 0xFE, 'A', 0, 0, 0, 0xFF, 0xFE, '1', 0, 0xE9, 0}), 0, 10);
    EXPECT_EQ(FindTxxx(utf16, "A"), "1\xC3\xA9");
    // A damaged size field ends the walk; nothing past it is read.
    Bytes damaged = Tag(3, Frame23("TXXX", {0, 'A', 0, '1'}), 0, 10);
    damaged[10 + 7] = 200;
    EXPECT_EQ(FindTxxx(damaged, "A"), std::nullopt);
    // Not written: a size that disagrees with the bytes given, and whole-tag unsynchronisation.
    Bytes cut = utf16, unsynchronised = Tag(3, kTitle, 0x80, 100);
    cut.pop_back();
    const Bytes before = unsynchronised;
    std::string error;
    EXPECT_FALSE(SetTxxx(cut, "A", "2", &error));
    EXPECT_EQ(cut.size(), utf16.size() - 1);
    error.clear();
    EXPECT_FALSE(SetTxxx(unsynchronised, "A", "1", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(unsynchronised, before);
}
