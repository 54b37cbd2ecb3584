#include "level/framegains.h"

#include <gtest/gtest.h>

#include "mpeg/sideinfo.h"
#include "support/testfiles.h"

using testfiles::Bytes;

namespace {

struct Layout {
    const char* name;
    uint8_t b1, b2, b3;  // header bytes 1 to 3 (byte 0 is FF)
    int granules, channels;
};

const Layout kLayouts[] = {
    {"MPEG-1 joint stereo", 0xFB, 0x90, 0x44, 2, 2}, {"MPEG-1 mono with CRC", 0xFA, 0x90, 0xC4, 2, 1},
    {"MPEG-1 stereo with CRC", 0xFA, 0x90, 0x04, 2, 2}, {"MPEG-2 joint stereo", 0xF3, 0x80, 0x44, 1, 2},
    {"MPEG-2.5 mono with CRC", 0xE2, 0x80, 0xC4, 1, 1},
};

// A frame of the layout with busy side information (every other bit set) and gains 100 + 10g + c,
// its CRC right when it has one.
Bytes Frame(const Layout& l) {
    MpegHeader h;
    Bytes frame{0xFF, l.b1, l.b2, l.b3};
    EXPECT_TRUE(DecodeMpegHeader(frame.data(), h));
    frame.resize(h.length, 0x55);
    Layer3SideInfo side;
    EXPECT_TRUE(ParseLayer3SideInfo(frame, side));
    for (int g = 0; g < l.granules; ++g)
        for (int c = 0; c < l.channels; ++c)
            for (int i = 0; i < 8; ++i) {
                const uint32_t bit = side.gr[g][c].globalGainBit + i;
                const uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
                if (((100 + 10 * g + c) >> (7 - i)) & 1) frame[bit / 8] |= mask;
                else frame[bit / 8] &= static_cast<uint8_t>(~mask);
            }
    uint16_t crc = 0;
    if (Layer3Crc(frame, crc)) {
        frame[4] = static_cast<uint8_t>(crc >> 8);
        frame[5] = static_cast<uint8_t>(crc);
    }
    return frame;
}

}  // namespace

TEST(FrameGains, OnlyTheGainFieldsAndTheCrcChange) {
    for (const Layout& l : kLayouts) {
        SCOPED_TRACE(l.name);
        const Bytes before = Frame(l);
        Bytes frame = before;
        GainPlan plan(20);
        plan.AddToChannel(0, 3);
        plan.AddToChannel(1, -2);
        plan.AddToRange({5, 6}, 1);  // granule 5 is frame 2's second (MPEG-1) or frame 5's
        GainCount count;
        ASSERT_TRUE(PatchFrameGains(frame, 2, plan, count));
        EXPECT_EQ(count.changed, static_cast<uint64_t>(l.granules * l.channels));
        EXPECT_EQ(count.clamped, 0u);
        Layer3SideInfo side;
        ASSERT_TRUE(ParseLayer3SideInfo(frame, side));
        std::vector<bool> gainBit(frame.size() * 8, false);
        for (int g = 0; g < l.granules; ++g) {
            for (int c = 0; c < l.channels; ++c) {
                const int extra = (l.granules == 2 && g == 1) ? 1 : 0;
                EXPECT_EQ(side.gr[g][c].globalGain, 100 + 10 * g + c + (c == 0 ? 3 : -2) + extra) << g << c;
                for (int i = 0; i < 8; ++i) gainBit[side.gr[g][c].globalGainBit + i] = true;
            }
        }
        const bool crc = (l.b1 & 1) == 0;
        for (size_t bit = 0; bit < gainBit.size(); ++bit) {
            if (gainBit[bit] || (crc && bit >= 32 && bit < 48)) continue;
            ASSERT_EQ((frame[bit / 8] >> (7 - bit % 8)) & 1, (before[bit / 8] >> (7 - bit % 8)) & 1) << bit;
        }
        uint16_t expected = 0;
        if (crc) {
            ASSERT_TRUE(Layer3Crc(frame, expected));
            EXPECT_EQ(frame[4] << 8 | frame[5], expected);
            EXPECT_NE(frame[4] << 8 | frame[5], before[4] << 8 | before[5]);
        }
    }
}

// A damaged CRC stays damaged, a field past 255 is clamped and counted, and a frame too short for
// its side information (4 + 2 + 32 bytes here) is refused untouched.
TEST(FrameGains, DamagedCrcsClampedFieldsAndShortFrames) {
    Bytes frame = Frame(kLayouts[2]);  // gains 100, 101, 110, 111
    frame[4] ^= 0xFF;
    const Bytes damaged = frame;
    GainPlan plan(4);
    plan.AddToAll(150);
    GainCount count;
    ASSERT_TRUE(PatchFrameGains(frame, 0, plan, count));
    EXPECT_EQ(Bytes(frame.begin() + 4, frame.begin() + 6), Bytes(damaged.begin() + 4, damaged.begin() + 6));
    EXPECT_NE(frame, damaged);
    EXPECT_EQ(count.clamped, 2u);
    EXPECT_EQ(count.minGain, 250);
    EXPECT_EQ(count.maxGain, 255);

    Bytes shortFrame(frame.begin(), frame.begin() + 37);
    const Bytes kept = shortFrame;
    EXPECT_FALSE(PatchFrameGains(shortFrame, 0, plan, count));
    EXPECT_EQ(shortFrame, kept);
}
