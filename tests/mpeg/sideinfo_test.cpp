#include "mpeg/sideinfo.h"

#include <gtest/gtest.h>

#include "support/testfiles.h"

using testfiles::Bytes;

namespace {

// Writes fields one after another, most significant bit first, as the side information lays
// them out.
class BitWriter {
public:
    explicit BitWriter(Bytes& bytes, size_t startByte) : bytes_(bytes), bit_(startByte * 8) {}
    void Put(unsigned count, uint32_t value) {
        for (unsigned i = 0; i < count; ++i, ++bit_)
            if ((value >> (count - 1 - i)) & 1u) bytes_[bit_ / 8] |= static_cast<uint8_t>(0x80u >> (bit_ % 8));
    }
    size_t Bit() const { return bit_; }

private:
    Bytes& bytes_;
    size_t bit_;
};

struct Layout {
    const char* name;
    uint8_t b1, b2, b3;  // header bytes 1 to 3 (byte 0 is FF)
    bool mpeg1;
    int channels;
};

// A frame whose side information holds distinct values in every field, written field by field
// after ISO/IEC 11172-3 2.4.1.7 and ISO/IEC 13818-3; the positions of global_gain noted.
Bytes FrameWithSideInfo(const Layout& l, std::vector<size_t>& gainBits) {
    MpegHeader h;
    Bytes frame(4, 0);
    frame = {0xFF, l.b1, l.b2, l.b3};
    EXPECT_TRUE(DecodeMpegHeader(frame.data(), h));
    frame.resize(h.length, 0);
    BitWriter w(frame, h.crc ? 6 : 4);
    w.Put(l.mpeg1 ? 9 : 8, 0x0AB);          // main_data_begin
    w.Put(l.mpeg1 ? (l.channels == 1 ? 5 : 3) : l.channels, 0);  // private_bits
    if (l.mpeg1) w.Put(4 * l.channels, 0xF);  // scfsi
    for (int g = 0; g < (l.mpeg1 ? 2 : 1); ++g) {
        for (int c = 0; c < l.channels; ++c) {
            w.Put(12, 1000 + 10 * g + c);  // part2_3_length
            w.Put(9, 300 + g + c);         // big_values
            gainBits.push_back(w.Bit());
            w.Put(8, 150 + 20 * g + c);    // global_gain
            w.Put(l.mpeg1 ? 4 : 9, 0x7);   // scalefac_compress
            w.Put(1, 1);                   // window_switching_flag
            w.Put(2, 2);                   // block_type
            w.Put(1, 0);                   // mixed_block_flag
            w.Put(10, 0x3FF);              // table_select[2]
            w.Put(9, 0x1FF);               // subblock_gain[3]
            if (l.mpeg1) w.Put(1, 1);      // preflag
            w.Put(2, 3);                   // scalefac_scale, count1table_select
        }
    }
    return frame;
}

const Layout kLayouts[] = {
    {"MPEG-1 stereo", 0xFB, 0x90, 0x04, true, 2},       {"MPEG-1 joint stereo", 0xFB, 0x90, 0x44, true, 2},
    {"MPEG-1 mono", 0xFB, 0x90, 0xC4, true, 1},         {"MPEG-1 with CRC", 0xFA, 0x90, 0x44, true, 2},
    {"MPEG-2 joint stereo", 0xF3, 0x80, 0x44, false, 2}, {"MPEG-2 mono with CRC", 0xF2, 0x80, 0xC4, false, 1},
    {"MPEG-2.5 stereo", 0xE3, 0x80, 0x04, false, 2},
};

}  // namespace

TEST(SideInfo, ReadsEveryGranuleOfEveryVersionAndMode) {
    for (const Layout& l : kLayouts) {
        SCOPED_TRACE(l.name);
        std::vector<size_t> gainBits;
        const Bytes frame = FrameWithSideInfo(l, gainBits);
        const auto side = ParseSideInfo(frame);
        ASSERT_TRUE(side.has_value());
        EXPECT_EQ(side->mainDataBegin, 0x0AB);
        EXPECT_EQ(side->granules, l.mpeg1 ? 2 : 1);
        EXPECT_EQ(side->channels, l.channels);
        size_t n = 0;
        uint32_t bits = 0;
        for (int g = 0; g < side->granules; ++g) {
            for (int c = 0; c < side->channels; ++c, ++n) {
                const GranuleChannel& gc = side->gr[g][c];
                EXPECT_EQ(gc.part2_3Length, 1000 + 10 * g + c);
                EXPECT_EQ(gc.bigValues, 300 + g + c);
                EXPECT_EQ(gc.globalGain, 150 + 20 * g + c);
                EXPECT_EQ(gc.globalGainBit, gainBits[n]);
                bits += gc.part2_3Length;
            }
        }
        EXPECT_EQ(side->MainDataBits(), bits);
    }
}

TEST(SideInfo, RefusesShortFramesAndOtherLayers) {
    std::vector<size_t> gainBits;
    const Bytes frame = FrameWithSideInfo(kLayouts[0], gainBits);
    // 4 header bytes and 32 of side information: one byte fewer is refused.
    EXPECT_TRUE(ParseSideInfo(std::span(frame).first(36)).has_value());
    EXPECT_FALSE(ParseSideInfo(std::span(frame).first(35)).has_value());
    EXPECT_FALSE(ParseSideInfo(std::span(frame).first(3)).has_value());
    Bytes layer2 = frame;
    layer2[1] = 0xFD;
    EXPECT_FALSE(ParseSideInfo(layer2).has_value());
}

TEST(SideInfo, BitsReadAndWrittenWithinBoundsOnly) {
    Bytes bytes{0x12, 0x34};
    EXPECT_EQ(ReadBits(bytes, 4, 8), 0x23u);
    EXPECT_EQ(ReadBits(bytes, 8, 8), 0x34u);
    EXPECT_FALSE(ReadBits(bytes, 9, 8).has_value());
    EXPECT_TRUE(WriteBits(bytes, 4, 8, 0xAB));
    EXPECT_EQ(bytes, (Bytes{0x1A, 0xB4}));
    EXPECT_FALSE(WriteBits(bytes, 12, 5, 0));
    EXPECT_EQ(bytes, (Bytes{0x1A, 0xB4}));
}

TEST(SideInfo, FrameCrcIsCrc16WithPolynomial8005From0xFFFF) {
    // The check value of this CRC ("CRC-16/CMS") over "123456789" is 0xAEE7: header bytes 2 and
    // 3 carry "12", the side information "3456789".
    Bytes frame{0xFF, 0xFA, '1', '2', 0, 0, '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(FrameCrc16(frame, 7), 0xAEE7);
}
