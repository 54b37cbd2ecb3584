// Technical data of MP3 files built from frames and tags.
#include <tuple>

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
    EXPECT_EQ(std::make_tuple(info.VersionText, info.Bitrate, info.Frequency, info.ModeText, info.Length),
              std::make_tuple(std::string("version 1 layer 3"), 128, 44100, std::string("Joint stereo"), 250));
    // FB: protection bit set, no checksum; 44: the original bit.
    EXPECT_EQ(std::make_tuple(info.IsVbr, info.UsesChecksums, info.IsCopyrighted, info.IsOriginal, info.UsesEmphasis),
              std::make_tuple(false, false, false, true, false));
    EXPECT_EQ(std::make_tuple(info.ID3v2Major, info.ID3v1Minor, info.FileSize),
              std::make_tuple(3, -1, int64_t{4004096}));
}

// Version, layer, bitrate, frequency and mode from the header bits; the search skips bytes that
// are no sync. Free-format, invalid bitrate and reserved frequency give false.
TEST(MpegInfo, HeaderFields) {
    struct Row {
        Bytes file;
        bool ok;
        const char* version;
        int32_t bitrate;
        int32_t frequency;
        const char* mode;
    };
    const Row rows[] = {
        {Concat({{0x00, 0xFF, 0x1F, 0x12}, Frame(0xFC, 0x44, 0x8B, 2000)}), true, "version 1 layer 2", 64, 48000,
         "Dual channel"},
        {Frame(0xFF, 0x10, 0xC0), true, "version 1 layer 1", 32, 44100, "Mono"},
        {Frame(0xF3, 0x80, 0x00), true, "version 2 layer 3", 64, 22050, "Stereo"},
        {Frame(0xE3, 0xE0, 0x00), true, "version 2.5 layer 3", 160, 11025, "Stereo"},
        {Frame(0xF7, 0xE8, 0x00), true, "version 2 layer 1", 256, 16000, "Stereo"},
        {Frame(0xFB, 0x00, 0x00), false, "version 1 layer 3", 0, 44100, "Stereo"},  // free format
        {Frame(0xFB, 0xF0, 0x00), false, "version 1 layer 3", 0, 44100, "Stereo"},  // bitrate index 15
        {Frame(0xFB, 0x9C, 0x00), false, "version 1 layer 3", 0, 0, "Stereo"},      // reserved frequency
        {Frame(0xEB, 0x90, 0x00), false, "", 0, 0, ""},                            // reserved version
        {Frame(0xF9, 0x90, 0x00), false, "", 0, 0, ""},                            // reserved layer
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(Bytes(r.file.begin(), r.file.begin() + 4)));
        const auto info = Read(r.file, r.ok);
        EXPECT_EQ(std::make_tuple(info.VersionText, info.Bitrate, info.Frequency, info.ModeText),
                  std::make_tuple(std::string(r.version), r.bitrate, r.frequency, std::string(r.mode)));
    }
    // CRC, copyright and emphasis bits, and no original bit.
    const auto flags = Read(Frame(0xFC, 0x44, 0x8B));
    EXPECT_TRUE(flags.UsesChecksums && flags.IsCopyrighted && flags.UsesEmphasis);
    EXPECT_FALSE(flags.IsOriginal);
}

TEST(MpegInfo, XingInfoAndVbriHeaders) {
    struct Row {
        const char* what;
        uint8_t b2, b3;
        size_t at;  // after the side information
        const char* magic;
        uint8_t flags;
        uint32_t bytes;
        bool vbr, infoHeader;
        int32_t bitrate, length;
    };
    const Row rows[] = {
        {"Xing", 0xFB, 0x44, 4 + 32, "Xing", 3, 5000000, true, false, 153, 261},
        // An encoder's "Info" header of a constant-bitrate file gives the same counts, marked as such.
        {"Info", 0xFB, 0x44, 4 + 32, "Info", 3, 5000000, true, true, 153, 261},
        {"frames without bytes", 0xFB, 0x44, 4 + 32, "Info", 1, 5000000, false, false, 128, 0},
        {"mono", 0xFB, 0xC4, 4 + 17, "Xing", 3, 5000000, true, false, 153, 261},
        // 576 samples per frame: 10000 * 576 / 22050 s, 250 / 576 / 125 * 22050 = 76.56 kbit/s.
        {"MPEG 2", 0xF3, 0x44, 4 + 17, "Xing", 3, 2500000, true, false, 77, 261},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Bytes frame = Frame(r.b2, r.b2 == 0xF3 ? 0x80 : 0x90, r.b3);
        PutXing(frame, r.at, r.magic, r.flags, 10000, r.bytes);
        const auto info = Read(frame);
        EXPECT_EQ(std::make_tuple(info.IsVbr, info.HasInfoHeader, info.Bitrate),
                  std::make_tuple(r.vbr, r.infoHeader, r.bitrate));
        if (r.length > 0) {
            EXPECT_EQ(info.Length, r.length);
        }
    }
    // VBRI, 32 bytes after the header, replaces Xing values.
    Bytes frame = Frame(0xFB, 0x90, 0x44);
    Bytes vbri = Concat({v2fixtures::Str("VBRI"), Bytes(6, 0), v2fixtures::Plain32(5000000), v2fixtures::Plain32(10000)});
    std::copy(vbri.begin(), vbri.end(), frame.begin() + 36);
    const auto info = Read(frame);
    EXPECT_EQ(std::make_tuple(info.IsVbr, info.HasInfoHeader, info.Bitrate), std::make_tuple(true, false, 153));
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
    EXPECT_EQ(std::make_tuple(info.Bitrate, info.Length, info.UsesChecksums, info.IsCopyrighted, info.IsOriginal),
              std::make_tuple(0, 0, true, true, true));
    EXPECT_EQ(std::make_tuple(info.ID3v2Major, info.ID3v1Minor, info.FileSize),
              std::make_tuple(4, 1, static_cast<int64_t>(file.size())));

    // A v1.0 tag.
    EXPECT_EQ(Read(Concat({SilentFrames(1), Id3v1Tag("t", "", "", "", "c", 0, 0)})).ID3v1Minor, 0);
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
