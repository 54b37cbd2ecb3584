// Technical data of MP3 files built from frames and tags.
#include <gtest/gtest.h>

#include "id3/mpeginfo.h"
#include "support/v2fixtures.h"
#include "support/testfiles.h"

using namespace mdlID3;
using namespace testfiles;

namespace {

MpegInfo Read(const Bytes& bytes, bool expected = true) {
    TempDir dir;
    auto path = dir.file("m.mp3");
    WriteFile(path, bytes);
    MpegInfo info;
    EXPECT_EQ(ReadMpegInfo(path, info), expected);
    return info;
}

// A frame header followed by zero bytes up to `length`.
Bytes Frame(uint8_t b1, uint8_t b2, uint8_t b3, size_t length = 417) {
    Bytes frame(length, 0);
    frame[0] = 0xFF;
    frame[1] = b1;
    frame[2] = b2;
    frame[3] = b3;
    return frame;
}

// A Xing/Info header placed after the side information of the frame at the start of `frame`.
void PutXing(Bytes& frame, size_t at, const char* magic, uint8_t flags, uint32_t frames, uint32_t bytes) {
    Bytes header = Concat({v2fixtures::Str(magic), {0, 0, 0, flags}, v2fixtures::Plain32(frames), v2fixtures::Plain32(bytes)});
    std::copy(header.begin(), header.end(), frame.begin() + static_cast<long>(at));
}

}  // namespace

TEST(MpegInfo, ConstantBitrateAfterATag) {
    Bytes tag = v2fixtures::Tag(3, v2fixtures::Frame23("TIT2", v2fixtures::Text("t")), 0, 4096 - 10 - 12);
    ASSERT_EQ(tag.size(), 4096u);
    Bytes audio = SilentFrames(1);
    audio.resize(4000000, 0);
    auto info = Read(Concat({tag, audio}));
    EXPECT_EQ(info.VersionText, "version 1 layer 3");
    EXPECT_EQ(info.Bitrate, 128);
    EXPECT_EQ(info.Frequency, 44100);
    EXPECT_EQ(info.ModeText, "Joint stereo");
    EXPECT_EQ(info.Length, 250);
    EXPECT_FALSE(info.IsVbr);
    EXPECT_FALSE(info.UsesChecksums);  // FB: protection bit set, no checksum
    EXPECT_FALSE(info.IsCopyrighted);
    EXPECT_TRUE(info.IsOriginal);  // 0x44: original bit
    EXPECT_FALSE(info.UsesEmphasis);
    EXPECT_EQ(info.ID3v2Major, 3);
    EXPECT_EQ(info.ID3v1Minor, -1);
    EXPECT_EQ(info.FileSize, 4004096);
}

TEST(MpegInfo, HeaderFieldsAndSyncSearch) {
    // Garbage before the first sync; MPEG 1 layer 2, CRC, 48000 Hz, dual channel, copyright,
    // emphasis.
    Bytes junk{0x00, 0xFF, 0x1F, 0x12};
    auto info = Read(Concat({junk, Frame(0xFC, 0x44, 0x8B, 2000)}));
    EXPECT_EQ(info.VersionText, "version 1 layer 2");
    EXPECT_TRUE(info.UsesChecksums);
    EXPECT_EQ(info.Frequency, 48000);
    EXPECT_EQ(info.Bitrate, 64);
    EXPECT_EQ(info.ModeText, "Dual channel");
    EXPECT_TRUE(info.IsCopyrighted);
    EXPECT_FALSE(info.IsOriginal);
    EXPECT_TRUE(info.UsesEmphasis);

    info = Read(Frame(0xFF, 0x10, 0xC0));  // MPEG 1 layer 1 32 kbit/s, mono
    EXPECT_EQ(info.VersionText, "version 1 layer 1");
    EXPECT_EQ(info.ModeText, "Mono");
    EXPECT_EQ(info.Bitrate, 32);
    info = Read(Frame(0xFB, 0x00, 0x00) /* bitrate index 0 */, false);
    EXPECT_EQ(info.ModeText, "Stereo");
}

TEST(MpegInfo, Mpeg2And25Tables) {
    auto info = Read(Frame(0xF3, 0x80, 0x00));  // MPEG 2 layer 3, index 8, 22050 Hz
    EXPECT_EQ(info.VersionText, "version 2 layer 3");
    EXPECT_EQ(info.Frequency, 22050);
    EXPECT_EQ(info.Bitrate, 64);
    info = Read(Frame(0xE3, 0xE0, 0x00));  // MPEG 2.5 layer 3, index 14, 11025 Hz
    EXPECT_EQ(info.VersionText, "version 2.5 layer 3");
    EXPECT_EQ(info.Frequency, 11025);
    EXPECT_EQ(info.Bitrate, 160);
    info = Read(Frame(0xF7, 0xE8, 0x00));  // MPEG 2 layer 1, index 14, 16000 Hz
    EXPECT_EQ(info.VersionText, "version 2 layer 1");
    EXPECT_EQ(info.Bitrate, 256);
    EXPECT_EQ(info.Frequency, 16000);
}

TEST(MpegInfo, XingInfoAndVbriHeaders) {
    Bytes frame = Frame(0xFB, 0x90, 0x44);
    PutXing(frame, 4 + 32, "Xing", 3, 10000, 5000000);
    auto info = Read(frame);
    EXPECT_TRUE(info.IsVbr);
    EXPECT_FALSE(info.HasInfoHeader);
    EXPECT_EQ(info.Bitrate, 153);
    EXPECT_EQ(info.Length, 261);

    // An encoder's "Info" header of a constant-bitrate file gives the same counts, marked as such.
    frame = Frame(0xFB, 0x90, 0x44);
    PutXing(frame, 4 + 32, "Info", 3, 10000, 5000000);
    info = Read(frame);
    EXPECT_TRUE(info.IsVbr);
    EXPECT_TRUE(info.HasInfoHeader);
    EXPECT_EQ(info.Bitrate, 153);

    // Frames without bytes: not VBR, bitrate from the header.
    frame = Frame(0xFB, 0x90, 0x44);
    PutXing(frame, 4 + 32, "Info", 1, 10000, 5000000);
    info = Read(frame);
    EXPECT_FALSE(info.IsVbr);
    EXPECT_EQ(info.Bitrate, 128);

    // Mono MPEG 1: 17 bytes of side information. MPEG 2 layer 3: 576 samples per frame.
    frame = Frame(0xFB, 0x90, 0xC4);
    PutXing(frame, 4 + 17, "Xing", 3, 10000, 5000000);
    EXPECT_EQ(Read(frame).Length, 261);
    frame = Frame(0xF3, 0x80, 0x44);
    PutXing(frame, 4 + 17, "Xing", 3, 10000, 2500000);
    info = Read(frame);
    EXPECT_EQ(info.Length, 261);  // 10000 * 576 / 22050
    EXPECT_EQ(info.Bitrate, 77);  // 250 / 576 / 125 * 22050 = 76.56

    // VBRI, 32 bytes after the header, replaces Xing values.
    frame = Frame(0xFB, 0x90, 0x44);
    Bytes vbri = Concat({v2fixtures::Str("VBRI"), Bytes(6, 0), v2fixtures::Plain32(5000000), v2fixtures::Plain32(10000)});
    std::copy(vbri.begin(), vbri.end(), frame.begin() + 36);
    info = Read(frame);
    EXPECT_TRUE(info.IsVbr);
    EXPECT_FALSE(info.HasInfoHeader);
    EXPECT_EQ(info.Bitrate, 153);
}

TEST(MpegInfo, UnusableHeadersFillWhatTheyCan) {
    // Free format (bitrate index 0) with an ID3v1.1 tag: no bitrate or length, but every flag,
    // the tag versions and the size are filled.
    MpegInfo info;
    info.Bitrate = 999;
    info.Length = 999;
    Bytes file = Concat({v2fixtures::Tag(4, {}, 0, 10), Frame(0xFA, 0x04, 0x0C),
                         Id3v1Tag("t", "", "", "", "", 0, 3)});
    TempDir dir;
    auto path = dir.file("f.mp3");
    WriteFile(path, file);
    EXPECT_FALSE(ReadMpegInfo(path, info));
    EXPECT_EQ(info.Bitrate, 0);
    EXPECT_EQ(info.Length, 0);
    EXPECT_TRUE(info.UsesChecksums);
    EXPECT_TRUE(info.IsCopyrighted);
    EXPECT_TRUE(info.IsOriginal);
    EXPECT_EQ(info.ID3v2Major, 4);
    EXPECT_EQ(info.ID3v1Minor, 1);
    EXPECT_EQ(info.FileSize, static_cast<int64_t>(file.size()));

    info = Read(Frame(0xFB, 0xF0, 0x00), false);  // bitrate index 15
    EXPECT_EQ(info.Bitrate, 0);
    info = Read(Frame(0xFB, 0x9C, 0x00), false);  // reserved frequency
    EXPECT_EQ(info.Frequency, 0);
    EXPECT_EQ(info.Length, 0);
    // Reserved version and layer end the MPEG part; v1.0 tag seen.
    info = Read(Concat({Frame(0xEB, 0x90, 0x00), Id3v1Tag("t", "", "", "", "c", 0, 0)}), false);
    EXPECT_EQ(info.VersionText, "");
    EXPECT_EQ(info.ID3v1Minor, 0);
    EXPECT_EQ(Read(Frame(0xF9, 0x90, 0x00), false).VersionText, "");
}

TEST(MpegInfo, TinyOrMissingFilesLeaveRecord) {
    TempDir dir;
    MpegInfo info;
    info.FileSize = 77;
    auto path = dir.file("s.mp3");
    WriteFile(path, Bytes{0xFF, 0xFB, 0x90});
    EXPECT_FALSE(ReadMpegInfo(path, info));
    EXPECT_FALSE(ReadMpegInfo(dir.file("missing"), info));
    EXPECT_EQ(info.FileSize, 77);
    // Four bytes, no sync: tag fields and size only.
    WriteFile(path, v2fixtures::Str("ID3\x04"));
    EXPECT_FALSE(ReadMpegInfo(path, info));
    EXPECT_EQ(info.ID3v2Major, 4);
    EXPECT_EQ(info.FileSize, 4);
    // A sync in the very last 4 bytes is still found.
    WriteFile(path, Concat({Bytes(70000, 0), Bytes{0xFF, 0xFB, 0x90, 0x44}}));
    EXPECT_TRUE(ReadMpegInfo(path, info));
    EXPECT_EQ(info.Bitrate, 128);
}
