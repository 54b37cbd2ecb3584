#include "mpeg/sideinfo.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Builds side information field by field, most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t> header) : bytes_(std::move(header)) { bit_ = bytes_.size() * 8; }
    void Put(int bits, uint32_t value) {
        for (int i = bits - 1; i >= 0; --i, ++bit_) {
            if (bit_ / 8 >= bytes_.size()) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_[bit_ / 8] |= static_cast<uint8_t>(0x80 >> (bit_ % 8));
        }
    }
    std::vector<uint8_t> bytes_;
    size_t bit_ = 0;
};

// One granule of one channel: long blocks, the given part2_3_length and global_gain.
void PutGranule(BitWriter& w, bool mpeg1, uint32_t part23, uint32_t gain) {
    w.Put(12, part23);
    w.Put(9, 100);  // big_values
    w.Put(8, gain);
    w.Put(mpeg1 ? 4 : 9, 0);
    w.Put(1, 0);           // no window switching
    w.Put(15 + 7, 0);      // table selects, region counts
    w.Put(mpeg1 ? 3 : 2, 0);
}

TEST(SideInfo, ReadsTheFieldsOfEachLayout) {
    struct Case {
        const char* name;
        std::vector<uint8_t> header;
        bool mpeg1;
        int channels;
        uint32_t mainDataBegin;
        uint32_t headerBytes;
    };
    const Case cases[] = {
        {"MPEG 1 stereo", {0xFF, 0xFB, 0x90, 0x44}, true, 2, 511, 36},
        {"MPEG 1 mono with CRC", {0xFF, 0xFA, 0x90, 0xC4, 0x12, 0x34}, true, 1, 300, 23},
        {"MPEG 2 stereo", {0xFF, 0xF3, 0x60, 0x44}, false, 2, 255, 21},
        {"MPEG 2.5 mono", {0xFF, 0xE3, 0x60, 0xC4}, false, 1, 7, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w(c.header);
        w.Put(c.mpeg1 ? 9 : 8, c.mainDataBegin);
        w.Put(c.mpeg1 ? (c.channels == 1 ? 5 : 3) : c.channels, 0);
        if (c.mpeg1) w.Put(4 * c.channels, 0);
        const int granules = c.mpeg1 ? 2 : 1;
        uint32_t bits = 0;
        for (int g = 0; g < granules; ++g)
            for (int ch = 0; ch < c.channels; ++ch) {
                PutGranule(w, c.mpeg1, 1000 + 10 * g + ch, 150 + g + 2 * ch);
                bits += 1000 + 10 * g + ch;
            }
        ASSERT_EQ(w.bytes_.size(), c.headerBytes);
        Layer3SideInfo info;
        ASSERT_TRUE(ParseLayer3SideInfo(w.bytes_, info));
        EXPECT_EQ(info.mainDataBegin, c.mainDataBegin);
        EXPECT_EQ(info.headerBytes, c.headerBytes);
        EXPECT_EQ(info.MainDataBits(), bits);
        EXPECT_EQ(info.MainDataBytes(), (bits + 7) / 8);
        for (int g = 0; g < granules; ++g)
            for (int ch = 0; ch < c.channels; ++ch) {
                const GranuleChannel& gc = info.gr[g][ch];
                EXPECT_EQ(gc.globalGain, 150 + g + 2 * ch);
                // The recorded offset points at the byte-unaligned field itself.
                uint32_t v = 0;
                for (int i = 0; i < 8; ++i) {
                    const uint32_t bit = gc.globalGainBit + i;
                    v = (v << 1) | ((w.bytes_[bit / 8] >> (7 - bit % 8)) & 1);
                }
                EXPECT_EQ(v, gc.globalGain);
            }
        // One byte short, and a Layer II header, are refused.
        std::vector<uint8_t> shorter(w.bytes_.begin(), w.bytes_.end() - 1);
        EXPECT_FALSE(ParseLayer3SideInfo(shorter, info));
        std::vector<uint8_t> layer2 = w.bytes_;
        layer2[1] = static_cast<uint8_t>((layer2[1] & ~0x06) | 0x04);
        EXPECT_FALSE(ParseLayer3SideInfo(layer2, info));
    }
}

}  // namespace
