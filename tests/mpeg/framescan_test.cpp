#include "mpeg/framescan.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "support/testfiles.h"

using namespace testfiles;

namespace {

// 10-byte ID3v2 header with a synchsafe size.
Bytes Id3v2Header(uint8_t major, uint8_t flags, uint32_t size) {
    return {'I', 'D', '3', major, 0, flags, static_cast<uint8_t>((size >> 21) & 0x7F),
            static_cast<uint8_t>((size >> 14) & 0x7F), static_cast<uint8_t>((size >> 7) & 0x7F),
            static_cast<uint8_t>(size & 0x7F)};
}

Bytes Repeat(const Bytes& part, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A zeroed frame of the given header (any version/layer) and length.
Bytes FrameOf(std::array<uint8_t, 4> header, size_t length) {
    Bytes f(length, 0);
    std::copy(header.begin(), header.end(), f.begin());
    return f;
}

FrameTable Scan(const std::string& path) {
    FrameTable table;
    std::string error;
    EXPECT_TRUE(ScanFrames(path, table, &error)) << error;
    return table;
}

void MustRun(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace

// Valid headers of every version and layer decode to these fields; reserved and free-format ones
// (version 0 here) are refused.
TEST(MpegHeaderTest, DecodesEveryVersionAndLayerAndRejectsReservedOnes) {
    struct Case {
        std::array<uint8_t, 4> bytes;
        int version = 0, layer = 0, kbps = 0, rate = 0, length = 0, samples = 0;  // version 0: refused
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x44}, 1, 3, 128, 44100, 417, 1152},
        {{0xFF, 0xFB, 0x92, 0x44}, 1, 3, 128, 44100, 418, 1152},
        {{0xFF, 0xFB, 0xE4, 0xC4}, 1, 3, 320, 48000, 960, 1152},
        {{0xFF, 0xFD, 0xE8, 0x00}, 1, 2, 384, 32000, 1728, 1152},
        {{0xFF, 0xFF, 0x10, 0x00}, 1, 1, 32, 44100, 32, 384},
        {{0xFF, 0xFF, 0xE2, 0x00}, 1, 1, 448, 44100, 488, 384},
        {{0xFF, 0xF3, 0x40, 0xC4}, 2, 3, 32, 22050, 104, 576},
        {{0xFF, 0xF5, 0x80, 0x00}, 2, 2, 64, 22050, 417, 1152},
        {{0xFF, 0xE3, 0x18, 0x00}, 25, 3, 8, 8000, 72, 576},
        {{0xFF, 0xE3, 0xE8, 0x00}, 25, 3, 160, 8000, 1440, 576},
        {{0xFF, 0xEB, 0x90, 0x44}},  // reserved version
        {{0xFF, 0xF9, 0x90, 0x44}},  // reserved layer
        {{0xFF, 0xFB, 0xF0, 0x44}},  // bitrate index 15
        {{0xFF, 0xFB, 0x9C, 0x44}},  // frequency index 3
        {{0xFF, 0xFB, 0x00, 0x44}},  // free format
        {{0xFF, 0x1B, 0x90, 0x44}},  // no sync
        {{0xFE, 0xFB, 0x90, 0x44}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.bytes[0]) << " " << int(c.bytes[1]) << " "
                                        << int(c.bytes[2]));
        MpegHeader h;
        ASSERT_EQ(DecodeMpegHeader(c.bytes.data(), h), c.version != 0);
        if (c.version == 0) continue;
        const MpegVersion version =
            c.version == 1 ? MpegVersion::Mpeg1 : c.version == 2 ? MpegVersion::Mpeg2 : MpegVersion::Mpeg25;
        EXPECT_EQ(h.version, version);
        EXPECT_EQ(h.layer, c.layer);
        EXPECT_EQ(h.bitrateKbps, c.kbps);
        EXPECT_EQ(h.sampleRate, static_cast<uint32_t>(c.rate));
        EXPECT_EQ(h.length, static_cast<uint32_t>(c.length));
        EXPECT_EQ(h.samples, static_cast<uint32_t>(c.samples));
        EXPECT_EQ(h.crc, c.bytes[1] % 2 == 0);
        EXPECT_EQ(h.channelMode, c.bytes[3] >> 6);
    }
}

// CRC-16/ARC: the check value of "123456789", and long and odd runs from any running value as the
// bitwise definition gives them.
TEST(MpegHeaderTest, LameCrcIsCrc16Arc) {
    const auto* check = reinterpret_cast<const uint8_t*>("123456789");
    EXPECT_EQ(LameCrc16(check, 9), 0xBB3D);
    EXPECT_EQ(LameCrc16(check + 4, 5, LameCrc16(check, 4)), 0xBB3D);
    std::vector<uint8_t> data(1000);
    uint32_t seed = 12345;
    for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    for (size_t size : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 1000u}) {
        uint16_t expected = 0x1D0F;
        for (size_t i = 0; i < size; ++i) {
            expected ^= data[i];
            for (int k = 0; k < 8; ++k) expected = (expected & 1) ? (expected >> 1) ^ 0xA001 : expected >> 1;
        }
        EXPECT_EQ(LameCrc16(data.data(), size, 0x1D0F), expected) << size;
    }
}

// Files the walk must read: plain frames of each layer and version, tags at both ends holding
// header look-alikes, junk before and between frames, short files whose frames end with the audio.
TEST(FrameScanTest, WalksTheseFiles) {
    TempDir dir;
    // Tag bodies full of header look-alikes that must not be taken as audio.
    const Bytes body = Repeat({0xFF, 0xFB, 0x90, 0x44, 0x00}, 200);
    const Bytes v23 = Concat({Id3v2Header(3, 0, static_cast<uint32_t>(body.size())), body});
    const Bytes v24Header = Id3v2Header(4, 0x10, static_cast<uint32_t>(body.size()));
    Bytes v24Trailer = v24Header;
    v24Trailer[0] = '3', v24Trailer[1] = 'D', v24Trailer[2] = 'I';
    const Bytes v24Footer = Concat({v24Header, body, v24Trailer});
    // A size byte with its top bit set (plain 00 00 01 80 = 384) over three 8 kbit/s MPEG-2.5
    // frames of 72 bytes: the walk starts after the tag, not inside it.
    Bytes plainSize = Concat({Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0x80}, Bytes(384, 0)});
    for (int i = 0; i < 3; ++i) {
        plainSize[20 + 72 * i] = 0xFF;
        plainSize[21 + 72 * i] = 0xE3;
        plainSize[22 + 72 * i] = 0x14;
    }
    const Bytes v1 = Id3v1Tag("t", "a", "b", "2001", "c", 1);
    const Bytes ape = Concat({Bytes(32, 0xFF), FromString("APETAGEX"), Bytes{0xD0, 0x07, 0, 0, 64}, Bytes(19, 0)});
    // A lone header look-alike in 37 bytes of junk, and a frame cut short by the end of the file.
    const Bytes junk = Concat({Bytes{0xFF, 0xFB, 0x90, 0x44}, Bytes(33, 0x55)});
    const Bytes cut = Concat({Bytes{0xFF, 0xFB, 0x90, 0x44}, Bytes(196, 0)});
    const auto size = [](const Bytes& b) { return static_cast<int64_t>(b.size()); };
    struct Case {
        const char* name;
        Bytes file;
        size_t frames;
        int64_t start, end, junk;  // end -1: start + frames * 417
        bool v1, ape;
        uint32_t samples = 1152, rate = 44100;
    };
    const Case cases[] = {
        {"plain", SilentFrames(500), 500, 0, -1, 0, false, false},
        {"Layer I", Repeat(FrameOf({0xFF, 0xFF, 0x10, 0x00}, 32), 50), 50, 0, 50 * 32, 0, false, false, 384},
        {"Layer II", Repeat(FrameOf({0xFF, 0xFD, 0x40, 0x00}, 208), 50), 50, 0, 50 * 208, 0, false, false},
        {"MPEG-2", Repeat(FrameOf({0xFF, 0xF3, 0x40, 0xC4}, 104), 50), 50, 0, 50 * 104, 0, false, false, 576, 22050},
        {"MPEG-2.5", Repeat(FrameOf({0xFF, 0xE3, 0x18, 0x00}, 72), 50), 50, 0, 50 * 72, 0, false, false, 576, 8000},
        {"2.3 tag and v1", Concat({v23, SilentFrames(20), v1}), 20, size(v23), -1, 0, true, false},
        {"2.4 tag with a footer", Concat({v24Footer, SilentFrames(20)}), 20, size(v24Footer), -1, 0, false, false},
        {"two tags, APE and v1", Concat({v23, v23, SilentFrames(20), ape, v1}), 20, 2 * size(v23), -1, 0, true, true},
        {"tag with a plain size", Concat({plainSize, SilentFrames(20)}), 20, 394, -1, 0, false, false},
        {"junk before and between", Concat({Bytes(5, 0x11), junk, SilentFrames(30), junk, SilentFrames(40), cut}), 70,
         42, 42 + 70 * 417 + 37, 37, false, false},
        {"one frame", SilentFrame(), 1, 0, -1, 0, false, false},
        {"two frames and v1", Concat({SilentFrames(2), Id3v1Tag("", "", "", "", "", 0)}), 2, 0, -1, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir.file("t.mp3"), c.file);
        FrameTable t = Scan(dir.file("t.mp3"));
        ASSERT_EQ(t.frames.size(), c.frames);
        EXPECT_EQ(t.audioStart, c.start);
        EXPECT_EQ(t.audioEnd, c.end >= 0 ? c.end : c.start + static_cast<int64_t>(c.frames) * 417);
        EXPECT_EQ(t.junkBytes, c.junk);
        EXPECT_EQ(t.hasId3v1, c.v1);
        EXPECT_EQ(t.hasApe, c.ape);
        EXPECT_EQ(t.frames.back().offset, t.audioEnd - t.frames.back().length);
        EXPECT_EQ(t.samplesPerFrame, c.samples);
        EXPECT_EQ(t.sampleRate, c.rate);
        EXPECT_EQ(t.totalSamples, c.frames * c.samples);
        EXPECT_DOUBLE_EQ(t.durationSeconds, double(c.frames) * c.samples / c.rate);
        EXPECT_DOUBLE_EQ(ScanDurationSeconds(dir.file("t.mp3")), t.durationSeconds);
        EXPECT_FALSE(t.variableBitrate);
        EXPECT_EQ(t.vbr.kind, VbrHeader::Kind::None);
    }
}

TEST(FrameScanTest, ResyncsAcrossReadBlockBoundaries) {
    TempDir dir;
    // Junk every 150 frames (about 62 KB) in a file several read blocks long, lengths varying so
    // that junk meets every position of a block. Each starts with a header look-alike but is
    // shorter than the frame it claims, so the real frame after it gives it away.
    Bytes file;
    int64_t junk = 0;
    for (int part = 0; part < 24; ++part) {
        Bytes j(static_cast<size_t>(5 + part * 97 % 400), 0x33);
        j[0] = 0xFF, j[1] = 0xFB, j[2] = 0x90, j[3] = 0x44;
        file = Concat({file, SilentFrames(150), j});
        junk += static_cast<int64_t>(j.size());
    }
    file = Concat({file, SilentFrames(10)});
    WriteFile(dir.file("big.mp3"), file);
    FrameTable t = Scan(dir.file("big.mp3"));
    EXPECT_EQ(t.frames.size(), 24u * 150 + 10);
    EXPECT_EQ(t.junkBytes, junk);
    EXPECT_EQ(t.audioEnd, static_cast<int64_t>(file.size()));
}

// A Xing, Info or VBRI frame in front of ten silent frames is read and not counted as audio; the
// stereo position in a mono frame is just audio. (Field parsing: VbrHeaderParse.)
TEST(FrameScanTest, RecognisesXingInfoAndVbriFramesAndDoesNotCountThem) {
    TempDir dir;
    const auto marked = [](const char* marker, size_t at, uint8_t b3) {
        Bytes frame = SilentFrame(0x90, b3);
        std::copy(marker, marker + 4, frame.begin() + static_cast<long>(at));
        if (marker[0] == 'V') {
            frame[at + 17] = 10;  // frames
        } else {
            frame[at + 7] = 0x03;  // frames and bytes follow
            frame[at + 11] = 10;
        }
        return Concat({frame, SilentFrames(10, 0x90, b3)});
    };
    const struct {
        const char* name;
        Bytes file;
        VbrHeader::Kind kind;
        uint32_t vbrFrames;
        size_t frames;
    } cases[] = {
        {"Xing in stereo", marked("Xing", 36, 0x44), VbrHeader::Kind::Xing, 10, 10},
        {"Info in mono", marked("Info", 21, 0xC4), VbrHeader::Kind::Info, 10, 10},
        {"Xing at the stereo place of a mono frame", marked("Xing", 36, 0xC4), VbrHeader::Kind::None, 0, 11},
        {"VBRI", marked("VBRI", 36, 0x44), VbrHeader::Kind::Vbri, 10, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir.file("x.mp3"), c.file);
        FrameTable t = Scan(dir.file("x.mp3"));
        EXPECT_EQ(t.vbr.kind, c.kind);
        EXPECT_EQ(t.vbr.frames, c.vbrFrames);
        ASSERT_EQ(t.frames.size(), c.frames);
        EXPECT_EQ(t.frames[0].offset, c.frames == 10 ? 417 : 0);
        EXPECT_EQ(t.audioStart, 0);
    }
}

TEST(FrameScanTest, RefusesFilesWithoutFramesAndFreeFormat) {
    TempDir dir;
    const struct {
        const char* name;
        std::optional<Bytes> file;  // none: no such file
        const char* error;
    } cases[] = {
        {"missing", std::nullopt, "Cannot open"},
        {"empty", Bytes{}, ""},
        // Layer III free format at 128 kbit/s: the header cannot give the frame length.
        {"free format", Repeat(FrameOf({0xFF, 0xFB, 0x00, 0x44}, 417), 20), "Free-format"},
        // An ID3v2 size far beyond the end, over bytes that hold no frame.
        {"huge tag size", Concat({Id3v2Header(3, 0, 0x0FFFFFFF), Bytes(3000, 0xFF)}), ""},
        {"one frame before unrelated bytes", Concat({SilentFrame(), Bytes(50, 0x20)}), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".mp3");
        if (c.file) WriteFile(path, *c.file);
        FrameTable t;
        std::string error;
        EXPECT_FALSE(ScanFrames(path, t, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(ScanDurationSeconds(path), 0.0);
    }
}

// Seconds map to the first frame starting at or after them; a walk asked to stop there walks a
// few frames more.
TEST(FrameScanTest, MapsSecondsToFramesAndStopsAFewFramesAfterThem) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), Concat({SilentFrames(100), Id3v1Tag("", "", "", "", "", 0)}));
    const FrameTable whole = Scan(dir.file("a.mp3"));
    const double frame = 1152.0 / 44100;
    const std::pair<double, size_t> at[] = {
        {0.0, 0}, {10 * frame, 10}, {10 * frame + 1e-7, 11}, {10 * frame - 1e-4, 10},
        {99 * frame, 99}, {99.5 * frame, 100}, {1e9, 100},
    };
    for (auto [seconds, index] : at) EXPECT_EQ(FrameIndexAtSeconds(whole, seconds), index) << seconds;
    const std::tuple<double, bool, size_t> until[] = {
        {10 * frame, false, 12}, {98 * frame, true, 100}, {1e300, true, 100}};
    for (auto [seconds, complete, frames] : until) {
        FrameTable t;
        ASSERT_TRUE(ScanFramesUntil(dir.file("a.mp3"), seconds, t));
        EXPECT_EQ(t.complete, complete) << seconds;
        EXPECT_EQ(t.frames.size(), frames) << seconds;
        EXPECT_EQ(FrameIndexAtSeconds(t, std::min(seconds, 10 * frame)), 10u) << seconds;
    }
}

TEST(FrameScanTest, ReportsProgressAndCanBeCancelled) {
    TempDir dir;
    WriteFile(dir.file("big.mp3"), SilentFrames(8000));  // 3.3 MB: several progress steps
    FrameTable t;
    std::vector<double> seen;
    ASSERT_TRUE(ScanFrames(dir.file("big.mp3"), t, nullptr, [&](double f) {
        seen.push_back(f);
        return true;
    }));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.front(), 0.0);
    EXPECT_EQ(seen.back(), 1.0);

    std::string error;
    int calls = 0;
    EXPECT_FALSE(ScanFrames(dir.file("big.mp3"), t, &error, [&](double) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(error, "Cancelled");
}

// Files made by real encoders, checked against ffprobe's packet count and mutagen's length.
TEST(FrameScanTest, AgreesWithFfprobeAndMutagenOnEncodedFiles) {
    TempDir dir;
    const std::string d = dir.path().string();
    MustRun("sox -n -r 44100 -c 2 -b 16 '" + d + "/s.wav' synth 2.5 sine 440 sine 660");
    struct Case {
        std::string name, command;
        bool lame;
    };
    const Case cases[] = {
        {"cbr.mp3", "lame --quiet -b 128 s.wav cbr.mp3", true},
        {"vbr.mp3", "lame --quiet -V2 s.wav vbr.mp3", true},
        {"mono.mp3", "lame --quiet -m m -b 64 s.wav mono.mp3", true},
        {"48k.mp3", "lame --quiet -V4 --resample 48 s.wav 48k.mp3", true},
        {"mpeg2.mp3", "lame --quiet -V5 --resample 22.05 s.wav mpeg2.mp3", true},
        {"mpeg25.mp3", "lame --quiet -b 32 --resample 11.025 s.wav mpeg25.mp3", true},
        {"v2only.mp3", "lame --quiet -V2 --add-id3v2 --id3v2-only --tt Title s.wav v2only.mp3", true},
        {"v1only.mp3", "lame --quiet -V2 --id3v1-only --tt Title s.wav v1only.mp3", true},
        {"tagged.mp3", "lame --quiet -V2 --add-id3v2 --tt Title --ta Artist s.wav tagged.mp3", true},
        {"layer2.mp2", "ffmpeg -v error -y -i s.wav -c:a mp2 -b:a 192k layer2.mp2", false},
    };
    for (const auto& c : cases) {
        MustRun("cd '" + d + "' && " + c.command);
        const std::string file = d + "/" + c.name;
        FrameTable t = Scan(file);
        const std::string packets = testfiles::CommandOutput("ffprobe -v error -select_streams a -count_packets -show_entries "
                                        "stream=nb_read_packets -of csv=p=0 '" + file + "'");
        EXPECT_EQ(static_cast<size_t>(std::atol(packets.c_str())), t.frames.size()) << c.name;
        if (!c.lame) continue;
        EXPECT_EQ(t.vbr.hasFrames ? t.vbr.frames : 0u, t.frames.size()) << c.name;
        EXPECT_TRUE(t.vbr.tagCrcValid) << c.name;
        EXPECT_EQ(t.vbr.bytes, static_cast<uint32_t>(t.audioEnd - t.audioStart)) << c.name;
        // mutagen's length is the frame time less the encoder delay and padding.
        const std::string length = testfiles::CommandOutput("/usr/bin/python3 -c \"import mutagen.mp3,sys; "
                                       "print(repr(mutagen.mp3.MP3(sys.argv[1]).info.length))\" '" + file + "'");
        const double gapless = static_cast<double>(t.totalSamples - t.vbr.encoderDelay - t.vbr.encoderPadding) /
                               t.sampleRate;
        EXPECT_NEAR(std::atof(length.c_str()), gapless, 1e-6) << c.name << " " << length;
    }
}

TEST(FrameScanTest, CallsAFileMpegAudioOnlyWhenItsHeadersChain) {
    TempDir dir;
    Bytes noise(20000);
    uint32_t seed = 7;
    for (auto& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    // Sync words planted in the noise: each a valid header, none followed by another.
    for (size_t at = 1000; at + 4 < noise.size(); at += 3001) std::copy_n(SilentFrame().begin(), 4, noise.begin() + at);
    Bytes wav = Concat({FromString("RIFF"), Bytes(4, 0), FromString("WAVEfmt "), Bytes(20, 1), FromString("data"),
                        Bytes(4, 0), noise});
    const Bytes junk(300, 0x20);
    const struct {
        const char* name;
        Bytes bytes;
        bool mpeg;
    } cases[] = {
        {"noise", noise, false},
        {"wave", wav, false},
        {"three frames before junk", Concat({SilentFrames(3), junk}), false},
        {"four frames before junk", Concat({SilentFrames(4), junk}), true},
        {"two frames to the end", SilentFrames(2), true},
        {"two frames and a v1 tag", Concat({SilentFrames(2), Id3v1Tag("", "", "", "", "", 0)}), true},
        {"frames behind noise", Concat({noise, SilentFrames(8)}), true},
    };
    for (const auto& c : cases) {
        WriteFile(dir.file("f.mp3"), c.bytes);
        std::string error;
        EXPECT_EQ(HoldsMpegAudio(dir.file("f.mp3"), &error), c.mpeg) << c.name;
        EXPECT_EQ(error.empty(), c.mpeg) << c.name << ": " << error;
    }
}
