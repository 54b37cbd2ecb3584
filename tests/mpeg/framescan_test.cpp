#include "mpeg/framescan.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>

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

TEST(MpegHeaderTest, DecodesEveryVersionAndLayer) {
    struct Case {
        std::array<uint8_t, 4> bytes;
        MpegVersion version;
        int layer, kbps, rate, length, samples;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x44}, MpegVersion::Mpeg1, 3, 128, 44100, 417, 1152},
        {{0xFF, 0xFB, 0x92, 0x44}, MpegVersion::Mpeg1, 3, 128, 44100, 418, 1152},
        {{0xFF, 0xFB, 0xE4, 0xC4}, MpegVersion::Mpeg1, 3, 320, 48000, 960, 1152},
        {{0xFF, 0xFD, 0xE8, 0x00}, MpegVersion::Mpeg1, 2, 384, 32000, 1728, 1152},
        {{0xFF, 0xFF, 0x10, 0x00}, MpegVersion::Mpeg1, 1, 32, 44100, 32, 384},
        {{0xFF, 0xFF, 0xE2, 0x00}, MpegVersion::Mpeg1, 1, 448, 44100, 488, 384},
        {{0xFF, 0xF3, 0x40, 0xC4}, MpegVersion::Mpeg2, 3, 32, 22050, 104, 576},
        {{0xFF, 0xF5, 0x80, 0x00}, MpegVersion::Mpeg2, 2, 64, 22050, 417, 1152},
        {{0xFF, 0xE3, 0x18, 0x00}, MpegVersion::Mpeg25, 3, 8, 8000, 72, 576},
        {{0xFF, 0xE3, 0xE8, 0x00}, MpegVersion::Mpeg25, 3, 160, 8000, 1440, 576},
    };
    for (const auto& c : cases) {
        MpegHeader h;
        ASSERT_TRUE(DecodeMpegHeader(c.bytes.data(), h)) << std::hex << int(c.bytes[1]) << int(c.bytes[2]);
        EXPECT_EQ(h.version, c.version);
        EXPECT_EQ(h.layer, c.layer);
        EXPECT_EQ(h.bitrateKbps, c.kbps);
        EXPECT_EQ(h.sampleRate, static_cast<uint32_t>(c.rate));
        EXPECT_EQ(h.length, static_cast<uint32_t>(c.length)) << int(c.bytes[1]) << " " << int(c.bytes[2]);
        EXPECT_EQ(h.samples, static_cast<uint32_t>(c.samples));
    }
    MpegHeader h;
    ASSERT_TRUE(DecodeMpegHeader(std::array<uint8_t, 4>{0xFF, 0xFA, 0x90, 0xC4}.data(), h));
    EXPECT_TRUE(h.crc);
    EXPECT_EQ(h.channelMode, 3);
}

TEST(MpegHeaderTest, LameCrcIsCrc16Arc) {
    const std::string check = "123456789";
    EXPECT_EQ(LameCrc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xBB3D);
    // Running over two pieces gives the CRC of the whole.
    const uint16_t first = LameCrc16(reinterpret_cast<const uint8_t*>(check.data()), 4);
    EXPECT_EQ(LameCrc16(reinterpret_cast<const uint8_t*>(check.data()) + 4, 5, first), 0xBB3D);
}

TEST(MpegHeaderTest, LameCrcOfLongAndOddRunsMatchesTheBitwiseDefinition) {
    std::vector<uint8_t> data(1000);
    uint32_t seed = 12345;
    for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    for (size_t size : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 1000u}) {
        uint16_t expected = 0x1D0F;  // any running value
        for (size_t i = 0; i < size; ++i) {
            expected ^= data[i];
            for (int k = 0; k < 8; ++k) expected = (expected & 1) ? (expected >> 1) ^ 0xA001 : expected >> 1;
        }
        EXPECT_EQ(LameCrc16(data.data(), size, 0x1D0F), expected) << size;
    }
}

TEST(MpegHeaderTest, RejectsReservedAndFreeFormatHeaders) {
    const std::array<uint8_t, 4> bad[] = {
        {0xFF, 0xEB, 0x90, 0x44},  // reserved version
        {0xFF, 0xF9, 0x90, 0x44},  // reserved layer
        {0xFF, 0xFB, 0xF0, 0x44},  // bitrate index 15
        {0xFF, 0xFB, 0x9C, 0x44},  // frequency index 3
        {0xFF, 0xFB, 0x00, 0x44},  // free format
        {0xFF, 0x1B, 0x90, 0x44},  // no sync
        {0xFE, 0xFB, 0x90, 0x44},
    };
    for (const auto& b : bad) {
        MpegHeader h;
        EXPECT_FALSE(DecodeMpegHeader(b.data(), h)) << int(b[0]) << " " << int(b[1]) << " " << int(b[2]);
    }
}

TEST(FrameScanTest, WalksPlainFramesAndSumsTheirSamples) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), SilentFrames(500));
    FrameTable t = Scan(dir.file("a.mp3"));
    ASSERT_EQ(t.frames.size(), 500u);
    EXPECT_EQ(t.audioStart, 0);
    EXPECT_EQ(t.audioEnd, 500 * 417);
    EXPECT_EQ(t.frames[499].offset, 499 * 417);
    EXPECT_EQ(t.totalSamples, 500u * 1152);
    EXPECT_DOUBLE_EQ(t.durationSeconds, 500.0 * 1152 / 44100);
    EXPECT_DOUBLE_EQ(ScanDurationSeconds(dir.file("a.mp3")), 500.0 * 1152 / 44100);
    EXPECT_FALSE(t.variableBitrate);
    EXPECT_EQ(t.vbr.kind, VbrHeader::Kind::None);
    EXPECT_EQ(t.junkBytes, 0);
}

TEST(FrameScanTest, SkipsTagsAtBothEndsEvenWhenTheyHoldSyncWords) {
    TempDir dir;
    // Tag body full of header look-alikes that must not be taken as audio.
    Bytes body = Repeat({0xFF, 0xFB, 0x90, 0x44, 0x00}, 200);
    Bytes v23 = Concat({Id3v2Header(3, 0, static_cast<uint32_t>(body.size())), body});
    Bytes v24Header = Id3v2Header(4, 0x10, static_cast<uint32_t>(body.size()));
    Bytes v24Trailer = v24Header;
    v24Trailer[0] = '3', v24Trailer[1] = 'D', v24Trailer[2] = 'I';
    Bytes v24Footer = Concat({v24Header, body, v24Trailer});
    Bytes v1 = Id3v1Tag("t", "a", "b", "2001", "c", 1);
    Bytes apeFooter = Concat({FromString("APETAGEX"), Bytes{0xD0, 0x07, 0, 0, 64, 0, 0, 0, 0, 0, 0, 0,
                                                            0, 0, 0, 0x00},
                              Bytes(8, 0)});
    Bytes ape = Concat({Bytes(32, 0xFF), apeFooter});  // item area of look-alike bytes + footer

    struct Case {
        Bytes file;
        int64_t start;
        bool v1, ape;
    };
    const Case cases[] = {
        {Concat({v23, SilentFrames(20), v1}), static_cast<int64_t>(v23.size()), true, false},
        {Concat({v24Footer, SilentFrames(20)}), static_cast<int64_t>(v24Footer.size()), false, false},
        {Concat({v23, v23, SilentFrames(20), ape, v1}), 2 * static_cast<int64_t>(v23.size()), true, true},
    };
    for (const auto& c : cases) {
        WriteFile(dir.file("t.mp3"), c.file);
        FrameTable t = Scan(dir.file("t.mp3"));
        EXPECT_EQ(t.frames.size(), 20u);
        EXPECT_EQ(t.audioStart, c.start);
        EXPECT_EQ(t.audioEnd, c.start + 20 * 417);
        EXPECT_EQ(t.hasId3v1, c.v1);
        EXPECT_EQ(t.hasApe, c.ape);
        EXPECT_EQ(t.junkBytes, 0);
    }
}

TEST(FrameScanTest, FindsTheRealStreamBehindJunkAndResyncsBetweenFrames) {
    TempDir dir;
    // A lone header look-alike, then frames, 37 bytes of junk with a look-alike, then more frames,
    // then a frame cut short by the end of the file.
    Bytes junk = Concat({Bytes{0xFF, 0xFB, 0x90, 0x44}, Bytes(33, 0x55)});
    Bytes tail(200, 0);
    tail[0] = 0xFF, tail[1] = 0xFB, tail[2] = 0x90, tail[3] = 0x44;
    Bytes file = Concat({Bytes(5, 0x11), junk, SilentFrames(30), junk, SilentFrames(40), tail});
    WriteFile(dir.file("j.mp3"), file);
    FrameTable t = Scan(dir.file("j.mp3"));
    ASSERT_EQ(t.frames.size(), 70u);
    EXPECT_EQ(t.audioStart, 5 + 37);
    EXPECT_EQ(t.junkBytes, 37);
    EXPECT_EQ(t.frames[30].offset, 5 + 37 + 30 * 417 + 37);
    EXPECT_EQ(t.audioEnd, static_cast<int64_t>(file.size() - tail.size()));
}

TEST(FrameScanTest, ResyncsAcrossReadBlockBoundaries) {
    TempDir dir;
    // Junk every 150 frames (about 62 KB) in a file several read blocks long, lengths varying so
    // that junk meets every position of a block. Each starts with a header look-alike but is
    // shorter than the frame it claims, so the real frame after it gives it away.
    Bytes file;
    int64_t junk = 0;
    for (int part = 0; part < 24; ++part) {
        Bytes frames = SilentFrames(150);
        file.insert(file.end(), frames.begin(), frames.end());
        Bytes j(static_cast<size_t>(5 + part * 97 % 400), 0x33);
        j[0] = 0xFF, j[1] = 0xFB, j[2] = 0x90, j[3] = 0x44;
        file.insert(file.end(), j.begin(), j.end());
        junk += static_cast<int64_t>(j.size());
    }
    Bytes last = SilentFrames(10);
    file.insert(file.end(), last.begin(), last.end());
    WriteFile(dir.file("big.mp3"), file);
    FrameTable t = Scan(dir.file("big.mp3"));
    EXPECT_EQ(t.frames.size(), 24u * 150 + 10);
    EXPECT_EQ(t.junkBytes, junk);
    EXPECT_EQ(t.audioEnd, static_cast<int64_t>(file.size()));
}

TEST(FrameScanTest, ShortFilesNeedTheirFramesToEndExactlyAtTheAudioEnd) {
    TempDir dir;
    WriteFile(dir.file("one.mp3"), SilentFrame());
    EXPECT_EQ(Scan(dir.file("one.mp3")).frames.size(), 1u);
    WriteFile(dir.file("two.mp3"), Concat({SilentFrames(2), Id3v1Tag("", "", "", "", "", 0)}));
    EXPECT_EQ(Scan(dir.file("two.mp3")).frames.size(), 2u);
    // One frame followed by unrelated bytes is not believed.
    WriteFile(dir.file("lone.mp3"), Concat({SilentFrame(), Bytes(50, 0x20)}));
    FrameTable t;
    EXPECT_FALSE(ScanFrames(dir.file("lone.mp3"), t));
}

TEST(FrameScanTest, RecognisesXingInfoAndVbriFramesAndDoesNotCountThem) {
    TempDir dir;
    // Stereo MPEG-1: marker after 32 bytes of side information; mono: after 17.
    Bytes xing = SilentFrame();
    const char* marker = "Xing";
    std::copy(marker, marker + 4, xing.begin() + 36);
    xing[43] = 0x03;  // frames + bytes
    xing[47] = 10;    // frames
    xing[50] = 0x10;  // bytes = 0x1000
    WriteFile(dir.file("x.mp3"), Concat({xing, SilentFrames(10)}));
    FrameTable t = Scan(dir.file("x.mp3"));
    EXPECT_EQ(t.vbr.kind, VbrHeader::Kind::Xing);
    EXPECT_EQ(t.vbr.frames, 10u);
    EXPECT_EQ(t.vbr.bytes, 0x1000u);
    EXPECT_FALSE(t.vbr.hasToc);
    EXPECT_EQ(t.frames.size(), 10u);
    EXPECT_EQ(t.frames[0].offset, 417);
    EXPECT_EQ(t.audioStart, 0);

    Bytes info = SilentFrame(0x90, 0xC4);
    std::copy(marker, marker + 4, info.begin() + 21);
    info[21] = 'I', info[22] = 'n', info[23] = 'f', info[24] = 'o';
    WriteFile(dir.file("i.mp3"), Concat({info, SilentFrames(10, 0x90, 0xC4)}));
    t = Scan(dir.file("i.mp3"));
    EXPECT_EQ(t.vbr.kind, VbrHeader::Kind::Info);
    EXPECT_EQ(t.frames.size(), 10u);

    // The stereo position in a mono frame is just audio.
    Bytes wrong = SilentFrame(0x90, 0xC4);
    std::copy(marker, marker + 4, wrong.begin() + 36);
    WriteFile(dir.file("w.mp3"), Concat({wrong, SilentFrames(10, 0x90, 0xC4)}));
    EXPECT_EQ(Scan(dir.file("w.mp3")).frames.size(), 11u);

    Bytes vbri = SilentFrame();
    const char* v = "VBRI";
    std::copy(v, v + 4, vbri.begin() + 36);
    vbri[36 + 17] = 10;
    WriteFile(dir.file("v.mp3"), Concat({vbri, SilentFrames(10)}));
    t = Scan(dir.file("v.mp3"));
    EXPECT_EQ(t.vbr.kind, VbrHeader::Kind::Vbri);
    EXPECT_EQ(t.vbr.frames, 10u);
    EXPECT_EQ(t.frames.size(), 10u);
}

TEST(FrameScanTest, ReportsFilesWithoutFramesAndRefusesFreeFormat) {
    TempDir dir;
    FrameTable t;
    std::string error;
    EXPECT_FALSE(ScanFrames(dir.file("missing.mp3"), t, &error));
    EXPECT_NE(error.find("Cannot open"), std::string::npos);
    EXPECT_EQ(ScanDurationSeconds(dir.file("missing.mp3")), 0.0);

    WriteFile(dir.file("empty.mp3"), {});
    EXPECT_FALSE(ScanFrames(dir.file("empty.mp3"), t, &error));
    EXPECT_EQ(ScanDurationSeconds(dir.file("empty.mp3")), 0.0);

    // Layer III free format at 128 kbit/s: the header cannot give the frame length.
    Bytes free = Repeat(FrameOf({0xFF, 0xFB, 0x00, 0x44}, 417), 20);
    WriteFile(dir.file("free.mp3"), free);
    EXPECT_FALSE(ScanFrames(dir.file("free.mp3"), t, &error));
    EXPECT_NE(error.find("Free-format"), std::string::npos) << error;

    // An ID3v2 size far beyond the end, over bytes that hold no frame.
    WriteFile(dir.file("huge.mp3"), Concat({Id3v2Header(3, 0, 0x0FFFFFFF), Bytes(3000, 0xFF)}));
    EXPECT_FALSE(ScanFrames(dir.file("huge.mp3"), t, &error));
    EXPECT_EQ(ScanDurationSeconds(dir.file("huge.mp3")), 0.0);
}

TEST(FrameScanTest, WalksOtherLayersAndVersions) {
    TempDir dir;
    struct Case {
        std::array<uint8_t, 4> header;
        size_t length;
        uint32_t samples, rate;
    };
    const Case cases[] = {
        {{0xFF, 0xFF, 0x10, 0x00}, 32, 384, 44100},     // MPEG-1 Layer I
        {{0xFF, 0xFD, 0x40, 0x00}, 208, 1152, 44100},   // MPEG-1 Layer II, 64 kbit/s
        {{0xFF, 0xF3, 0x40, 0xC4}, 104, 576, 22050},    // MPEG-2 Layer III
        {{0xFF, 0xE3, 0x18, 0x00}, 72, 576, 8000},      // MPEG-2.5 Layer III
    };
    for (const auto& c : cases) {
        WriteFile(dir.file("l.mp3"), Repeat(FrameOf(c.header, c.length), 50));
        FrameTable t = Scan(dir.file("l.mp3"));
        ASSERT_EQ(t.frames.size(), 50u) << int(c.header[1]);
        EXPECT_EQ(t.samplesPerFrame, c.samples);
        EXPECT_EQ(t.sampleRate, c.rate);
        EXPECT_DOUBLE_EQ(t.durationSeconds, 50.0 * c.samples / c.rate);
    }
}

TEST(FrameScanTest, MapsSecondsToTheFirstFrameStartingAtOrAfterThem) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), SilentFrames(100));
    FrameTable t = Scan(dir.file("a.mp3"));
    const double frame = 1152.0 / 44100;
    EXPECT_EQ(FrameIndexAtSeconds(t, 0.0), 0u);
    EXPECT_EQ(FrameIndexAtSeconds(t, 10 * frame), 10u);
    EXPECT_EQ(FrameIndexAtSeconds(t, 10 * frame + 1e-7), 11u);
    EXPECT_EQ(FrameIndexAtSeconds(t, 10 * frame - 1e-4), 10u);
    EXPECT_EQ(FrameIndexAtSeconds(t, 99 * frame), 99u);
    EXPECT_EQ(FrameIndexAtSeconds(t, 99.5 * frame), 100u);
    EXPECT_EQ(FrameIndexAtSeconds(t, 1e9), 100u);
}

TEST(FrameScanTest, StopsAFewFramesAfterTheAskedTimeWhenAskedTo) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), Concat({SilentFrames(100), Id3v1Tag("", "", "", "", "", 0)}));
    const double frame = 1152.0 / 44100;
    FrameTable t;
    ASSERT_TRUE(ScanFramesUntil(dir.file("a.mp3"), 10 * frame, t));
    EXPECT_FALSE(t.complete);
    EXPECT_EQ(t.frames.size(), 12u);
    EXPECT_EQ(FrameIndexAtSeconds(t, 10 * frame), 10u);
    ASSERT_TRUE(ScanFramesUntil(dir.file("a.mp3"), 98 * frame, t));
    EXPECT_TRUE(t.complete);
    EXPECT_EQ(t.frames.size(), 100u);
    ASSERT_TRUE(ScanFramesUntil(dir.file("a.mp3"), 1e300, t));
    EXPECT_TRUE(t.complete);
    EXPECT_EQ(t.frames.size(), 100u);
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
        {"tagged.mp3", "lame --quiet -V2 --add-id3v2 --id3v2-only --tt Title s.wav t0.mp3 && "
                       "lame --quiet -V2 --id3v1-only --tt Title s.wav t1.mp3 && "
                       "lame --quiet -V2 --add-id3v2 --tt Title --ta Artist s.wav tagged.mp3", true},
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
