// The one libmpg123 decoder: gapless length, exact seeks with our own frame walk as the index
// (files with and without a LAME tag, and one long enough that reading forward would show), the
// three output forms agreeing with each other, and files it must refuse.
#include "decode/decoder.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "mpeg/framescan.h"
#include "support/testfiles.h"

namespace {

using testfiles::ShellQuote;

bool HaveEncoders() { return std::system("command -v sox >/dev/null && command -v lame >/dev/null") == 0; }

// A 440 Hz tone, louder on the left, encoded by lame at 128 kbit/s; `lameArgs` e.g. "-t" leaves
// out the LAME tag.
bool MakeTone(const std::string& path, double seconds, const std::string& lameArgs = "") {
    int status = -1;
    testfiles::CommandOutput("sox -q -n -r 44100 -c 2 -b 16 -t wav - synth " + std::to_string(seconds) +
                                 " sine 440 vol 0.5 remix 1v0.9 1v0.3 | lame --quiet -b 128 " + lameArgs + " - " +
                                 ShellQuote(path),
                             &status);
    return status == 0;
}

std::vector<uint8_t> DecodeAll(Decoder& decoder, size_t limitBytes = SIZE_MAX) {
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> chunk(4096);
    size_t got = 0;
    while (pcm.size() < limitBytes && decoder.Read(chunk.data(), chunk.size(), got) == Decoder::ReadStatus::Data)
        pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + got);
    return pcm;
}

// From each seek, the very samples a decode from the start gives there (frame boundaries, the
// bit reservoir and the first frames included).
void ExpectExactSeeks(Decoder& decoder, const std::vector<uint8_t>& all, std::initializer_list<int64_t> samples) {
    const size_t frameBytes = decoder.BytesPerFrame();
    for (int64_t sample : samples) {
        ASSERT_TRUE(decoder.SeekToSample(sample)) << sample;
        const std::vector<uint8_t> part = DecodeAll(decoder, 8192);
        const size_t at = static_cast<size_t>(sample) * frameBytes;
        ASSERT_LT(at, all.size()) << sample;
        const size_t n = std::min(part.size(), all.size() - at);
        ASSERT_GT(n, 0u) << sample;
        int differing = 0;
        for (size_t i = 0; i < n; ++i) differing += part[i] != all[at + i];
        EXPECT_EQ(differing, 0) << "seek to " << sample;
    }
}

struct Case {
    const char* name;
    double seconds;
    const char* lameArgs;
    int64_t exactLength;  // gapless length the walk must give; 0: every frame's samples
};

TEST(Decoder, WalkIndexGivesExactLengthAndExactSeeks) {
    if (!HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    // With the LAME tag the encoder's delay and padding go; without it every frame is heard.
    const Case cases[] = {{"tagged", 2.5, "", 110250}, {"plain", 2.5, "-t", 0}, {"long", 120, "", 5292000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".mp3");
        ASSERT_TRUE(MakeTone(path, c.seconds, c.lameArgs));
        FrameTable table;
        ASSERT_TRUE(ScanFrames(path, table));
        const int64_t exactLength = c.exactLength ? c.exactLength : static_cast<int64_t>(table.frames.size()) * 1152;
        EXPECT_GE(exactLength, 110250);
        EXPECT_EQ(Decoder::GaplessLength(table), exactLength);

        Decoder reference;
        ASSERT_TRUE(reference.Open(path)) << reference.Error();
        EXPECT_EQ(reference.SampleRate(), 44100);
        EXPECT_EQ(reference.Channels(), 2);
        const std::vector<uint8_t> all = DecodeAll(reference);
        EXPECT_EQ(static_cast<int64_t>(all.size()), exactLength * 4);

        // The index is handed over while decoding is under way; the decoding goes on where it was.
        Decoder indexed;
        ASSERT_TRUE(indexed.Open(path));
        std::vector<uint8_t> joined = DecodeAll(indexed, 100000);
        ASSERT_TRUE(indexed.SetIndex(table));
        EXPECT_EQ(indexed.LengthSamples(), exactLength);
        const std::vector<uint8_t> rest = DecodeAll(indexed);
        joined.insert(joined.end(), rest.begin(), rest.end());
        EXPECT_TRUE(joined == all);
        const int64_t last = exactLength - 100;
        ExpectExactSeeks(indexed, all, {0, 1, 1151, 1152, 1700, 40000, last / 2, last});
    }
}

// A seek far into a long file with the walk's index reads a few frames, not the file; without it
// libmpg123 reads its way there (a variable bitrate has no grid to go by).
TEST(Decoder, IndexedSeekReadsOnlyNearTheTarget) {
    if (!HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    const std::string path = dir.file("long.mp3");
    ASSERT_TRUE(MakeTone(path, 120, "-V 2"));
    FrameTable table;
    ASSERT_TRUE(ScanFrames(path, table));
    ASSERT_TRUE(table.variableBitrate);
    const int64_t target = 44100 * 100;
    const int64_t targetByte = table.frames[static_cast<size_t>(target / 1152)].offset;
    for (bool indexed : {true, false}) {
        Decoder decoder;
        ASSERT_TRUE(decoder.Open(path));
        if (indexed) {
            ASSERT_TRUE(decoder.SetIndex(table));
        }
        const int64_t before = testfiles::BytesReadByProcess();
        ASSERT_TRUE(decoder.SeekToSample(target));
        const int64_t read = testfiles::BytesReadByProcess() - before;
        if (indexed) {
            EXPECT_LT(read, 64 * 1024);
        } else {
            EXPECT_GT(read, targetByte / 2);
        }
    }
}

// The waveform's float and the pause search's mono mix are the player's samples in other forms.
TEST(Decoder, OutputFormsAgree) {
    if (!HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    const std::string path = dir.file("tone.mp3");
    ASSERT_TRUE(MakeTone(path, 1.0));
    Decoder stereo, mono, floats;
    ASSERT_TRUE(stereo.Open(path, Decoder::Output::Stereo16));
    ASSERT_TRUE(mono.Open(path, Decoder::Output::Mono16));
    ASSERT_TRUE(floats.Open(path, Decoder::Output::Float));
    EXPECT_EQ(mono.Channels(), 1);
    EXPECT_EQ(floats.Channels(), 2);
    EXPECT_EQ(floats.BytesPerFrame(), 8u);
    const std::vector<uint8_t> s = DecodeAll(stereo), m = DecodeAll(mono), f = DecodeAll(floats);
    ASSERT_EQ(s.size(), 44100u * 4);
    ASSERT_EQ(m.size(), 44100u * 2);
    ASSERT_EQ(f.size(), 44100u * 8);
    const auto* s16 = reinterpret_cast<const int16_t*>(s.data());
    const auto* m16 = reinterpret_cast<const int16_t*>(m.data());
    const auto* f32 = reinterpret_cast<const float*>(f.data());
    int off = 0;
    double leftPeak = 0, rightPeak = 0;
    for (size_t i = 0; i < 44100; ++i) {
        off += std::abs(f32[2 * i] * 32768 - s16[2 * i]) > 1.5;
        off += std::abs((s16[2 * i] + s16[2 * i + 1]) / 2.0 - m16[i]) > 2;
        leftPeak = std::max(leftPeak, std::abs(double(f32[2 * i])));
        rightPeak = std::max(rightPeak, std::abs(double(f32[2 * i + 1])));
    }
    EXPECT_EQ(off, 0);
    EXPECT_NEAR(leftPeak, 0.45, 0.05);
    EXPECT_NEAR(rightPeak, 0.15, 0.03);
}

TEST(Decoder, PlainFramesWithoutHeaderKeepEverySample) {
    testfiles::TempDir dir;
    const std::string path = dir.file("silence.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(50));
    FrameTable table;
    ASSERT_TRUE(ScanFrames(path, table));
    Decoder decoder;
    ASSERT_TRUE(decoder.Open(path)) << decoder.Error();
    ASSERT_TRUE(decoder.SetIndex(table));
    EXPECT_EQ(decoder.LengthSamples(), 50 * 1152);
    EXPECT_EQ(static_cast<int64_t>(DecodeAll(decoder).size()), 50 * 1152 * 4);
}

TEST(Decoder, RefusesWhatHoldsNoMpegAudioAndAnIndexOfAnotherStream) {
    testfiles::TempDir dir;
    Decoder missing;
    EXPECT_FALSE(missing.Open(dir.file("none.mp3")));
    EXPECT_FALSE(missing.Error().empty());
    const std::string text = dir.file("text.mp3");
    testfiles::WriteFile(text, testfiles::Bytes(20000, 'a'));
    Decoder junk;
    EXPECT_FALSE(junk.Open(text));
    size_t got = 0;
    uint8_t buffer[64];
    EXPECT_EQ(junk.Read(buffer, sizeof buffer, got), Decoder::ReadStatus::Error);
    EXPECT_EQ(got, 0u);

    // A walk whose frames lie elsewhere (here: one byte later) is not taken as the index.
    const std::string path = dir.file("silence.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(50));
    FrameTable table;
    ASSERT_TRUE(ScanFrames(path, table));
    Decoder decoder;
    ASSERT_TRUE(decoder.Open(path));
    FrameTable shifted = table;
    for (MpegFrame& frame : shifted.frames) ++frame.offset;
    EXPECT_FALSE(decoder.SetIndex(shifted));
    FrameTable junky = table;
    junky.junkBytes = 10;
    EXPECT_FALSE(decoder.SetIndex(junky));
    EXPECT_TRUE(decoder.SetIndex(table));
}

}  // namespace
