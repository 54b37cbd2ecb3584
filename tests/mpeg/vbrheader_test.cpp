#include "mpeg/vbrheader.h"

#include <gtest/gtest.h>

#include "mpeg/mpegheader.h"
#include "mpeg/id3v2size.h"
#include "support/testfiles.h"

using namespace testfiles;

namespace {

void PutBE32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A stereo MPEG-1 frame (FF FB 90 44, 417 bytes) whose Xing fields sit at 36.
Bytes XingFrame(const char* marker, uint32_t flags) {
    Bytes frame = SilentFrame();
    std::copy(marker, marker + 4, frame.begin() + 36);
    PutBE32(frame, 40, flags);
    PutBE32(frame, 44, 1000);  // frames, or bytes when there are no frames
    PutBE32(frame, 48, 2000);
    return frame;
}

}  // namespace

TEST(ID3v2Size, OneRuleForHeadersAndFooters) {
    using mdlID3::ID3v2AppendedTagBytes;
    using mdlID3::ID3v2TagBytes;
    EXPECT_EQ(ID3v2TagBytes(Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0x7F}), 10 + 255);
    // A size byte with its top bit set is no sync-safe size: the bytes are read as a plain number.
    EXPECT_EQ(ID3v2TagBytes(Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0x80}), 10 + 384);
    // The footer counts in version 2.4 only.
    EXPECT_EQ(ID3v2TagBytes(Bytes{'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 5}), 10 + 5 + 10);
    EXPECT_EQ(ID3v2TagBytes(Bytes{'I', 'D', '3', 3, 0, 0x10, 0, 0, 0, 5}), 10 + 5);
    EXPECT_EQ(ID3v2TagBytes(Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0}), 0);  // 9 bytes
    EXPECT_EQ(ID3v2TagBytes(Bytes{'I', 'D', '4', 3, 0, 0, 0, 0, 0, 5}), 0);
    EXPECT_EQ(ID3v2AppendedTagBytes(Bytes{'3', 'D', 'I', 4, 0, 0x10, 0, 0, 1, 0}), 10 + 128 + 10);
    EXPECT_EQ(ID3v2AppendedTagBytes(Bytes{'I', 'D', '3', 4, 0, 0x10, 0, 0, 1, 0}), 0);
}

TEST(VbrHeaderParse, FieldsOnlyWhereTheFrameHoldsThem) {
    const Bytes frame = XingFrame("Xing", kXingAllFields);
    VbrHeader vbr;
    ASSERT_TRUE(ParseXing(frame, 36, vbr));
    EXPECT_EQ(vbr.kind, VbrHeader::Kind::Xing);
    EXPECT_TRUE(vbr.hasFrames && vbr.hasBytes && vbr.hasToc && vbr.hasQuality);
    EXPECT_EQ(vbr.frames, 1000u);
    EXPECT_EQ(vbr.bytes, 2000u);

    // Cut inside the TOC: the counts still, the TOC and the quality not.
    VbrHeader cut;
    ASSERT_TRUE(ParseXing(std::span(frame).first(36 + 16 + 99), 36, cut));
    EXPECT_TRUE(cut.hasFrames && cut.hasBytes);
    EXPECT_FALSE(cut.hasToc || cut.hasQuality || cut.hasLame);
    // Marker without its flags, or no marker: nothing, and the record untouched.
    VbrHeader none;
    none.frames = 7;
    EXPECT_FALSE(ParseXing(std::span(frame).first(36 + 7), 36, none));
    EXPECT_FALSE(ParseXing(frame, 35, none));
    EXPECT_FALSE(ParseXing(frame, frame.size(), none));
    EXPECT_EQ(none.kind, VbrHeader::Kind::None);
    EXPECT_EQ(none.frames, 7u);

    // Only the bytes flag: the byte count comes right after the flags.
    VbrHeader info;
    ASSERT_TRUE(ParseXing(XingFrame("Info", kXingHasBytes), 36, info));
    EXPECT_EQ(info.kind, VbrHeader::Kind::Info);
    EXPECT_FALSE(info.hasFrames);
    EXPECT_EQ(info.bytes, 1000u);
}

TEST(VbrHeaderParse, VbriNeedsItsFixedFields) {
    Bytes frame = SilentFrame();
    std::copy_n("VBRI", 4, frame.begin() + kVbriOffset);
    PutBE32(frame, kVbriOffset + kVbriBytes, 123456);
    PutBE32(frame, kVbriOffset + kVbriFrames, 300);
    VbrHeader vbr;
    ASSERT_TRUE(ParseVbri(frame, vbr));
    EXPECT_EQ(vbr.bytes, 123456u);
    EXPECT_EQ(vbr.frames, 300u);
    VbrHeader shortFrame;
    EXPECT_FALSE(ParseVbri(std::span(frame).first(kVbriOffset + kVbriFixedSize - 1), shortFrame));

    // In a whole frame: Layer III only, and the frame's own length bounds the fields.
    MpegHeader h;
    ASSERT_TRUE(DecodeMpegHeader(frame.data(), h));
    VbrHeader whole;
    ASSERT_TRUE(ParseVbrHeader(frame, h, 100, whole));
    EXPECT_EQ(whole.offset, 100);
    EXPECT_EQ(whole.length, 417u);
    h.layer = 2;
    VbrHeader layer2;
    EXPECT_FALSE(ParseVbrHeader(frame, h, 100, layer2));
}
