// The one libmpg123 decoder: gapless length, exact seeks with our own frame walk as the index,
// on the constant-bitrate grid before it, or reading forward where neither holds; the three
// output forms agreeing with each other, and files it must refuse.
#include "decode/decoder.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "mpeg/framescan.h"
#include "split/encoded.h"
#include "support/testfiles.h"

namespace {

// A 440 Hz tone, louder on the left; `lame` e.g. "-t -b 128" leaves out the LAME tag.
std::string Tone(const testfiles::TempDir& dir, const std::string& name, double seconds, const std::string& lame) {
    const std::string path = dir.file(name + ".mp3");
    EXPECT_TRUE(splittest::Encode(path, 44100, 2, "synth " + std::to_string(seconds) + " sine 440 vol 0.5 remix 1v0.9 1v0.3",
                                  lame))
        << name;
    return path;
}

std::vector<uint8_t> DecodeAll(Decoder& decoder, size_t limitBytes = SIZE_MAX) {
    std::vector<uint8_t> pcm, chunk(4096);
    size_t got = 0;
    while (pcm.size() < limitBytes && decoder.Read(chunk.data(), chunk.size(), got) == Decoder::ReadStatus::Data)
        pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + got);
    return pcm;
}

// From a seek, the very samples a decode from the start gives there (frame boundaries, the bit
// reservoir and the first frames included).
void ExpectExactSeek(Decoder& decoder, const std::vector<uint8_t>& all, int64_t sample) {
    ASSERT_TRUE(decoder.SeekToSample(sample)) << sample;
    const std::vector<uint8_t> part = DecodeAll(decoder, 8192);
    const size_t at = static_cast<size_t>(sample) * decoder.BytesPerFrame();
    ASSERT_LT(at, all.size()) << sample;
    const size_t n = std::min(part.size(), all.size() - at);
    ASSERT_GT(n, 0u) << sample;
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + static_cast<long>(n), all.begin() + static_cast<long>(at)))
        << "seek to " << sample;
}

class Decoding : public ::testing::Test {
protected:
    void SetUp() override {
        if (!splittest::HaveCodecTools()) GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg missing";
    }
    testfiles::TempDir dir;
};

// Exact length and exact seeks (frame boundaries, the bit reservoir and the first frames
// included) in three ways: with our own frame walk as the index, handed over while decoding is
// under way; on the constant-bitrate grid fitted to the frames the first seconds of playing showed
// libmpg123; and, with neither (a variable bitrate, or junk that moved the frames off the grid),
// libmpg123 reading its way there. With the LAME tag the encoder's delay and padding go; without it
// every frame is heard.
TEST_F(Decoding, ExactLengthAndSeeksReadingOnlyNearTheTargetWhereAnIndexOrTheGridHolds) {
    const std::string tagged = Tone(dir, "tagged", 2.5, "-b 128"), plain = Tone(dir, "plain", 2.5, "-t -b 128"),
                      cbr = Tone(dir, "cbr", 120, "-b 128"), vbr = Tone(dir, "vbr", 120, "-V 2"),
                      junky = Tone(dir, "junky", 30, "-t -b 128");
    // Ten bytes of junk after frame 500 of a constant-bitrate file.
    FrameTable clean;
    ASSERT_TRUE(ScanFrames(junky, clean));
    testfiles::Bytes bytes = testfiles::ReadFile(junky);
    bytes.insert(bytes.begin() + clean.frames[500].offset, 10, 0x00);
    testfiles::WriteFile(junky, bytes);
    const struct {
        const std::string& path;
        int64_t exactLength;  // 0: every frame's samples
        bool index;
        std::vector<int64_t> targets;  // negative: from the end
        const char* reads;             // "few" frames, "near" the target, "through" half the file to it
    } cases[] = {
        {tagged, 110250, true, {0, 1, 1151, 1152, 1700, 40000, -100}, "few"},
        {plain, 0, true, {0, 1, 1151, 1152, 1700, 40000, -100}, "few"},
        {cbr, 5292000, true, {1152, 44100 * 100, -100}, "few"},
        {vbr, 5292000, true, {44100 * 100}, "few"},
        {vbr, 5292000, false, {44100 * 100}, "through"},
        {cbr, 5292000, false, {44100 * 100 + 3, 44100 * 119}, "near"},
        {cbr, 5292000, false, {44100 * 30}, ""},
        {junky, 0, false, {620 * 1152 + 77}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + (c.index ? " with the index" : ""));
        FrameTable table;
        ASSERT_TRUE(ScanFrames(c.path, table));
        const int64_t exactLength = c.exactLength ? c.exactLength : static_cast<int64_t>(table.frames.size()) * 1152;
        EXPECT_EQ(Decoder::GaplessLength(table), exactLength);
        Decoder reference, decoder;
        ASSERT_TRUE(reference.Open(c.path)) << reference.Error();
        EXPECT_EQ(reference.SampleRate(), 44100);
        EXPECT_EQ(reference.Channels(), 2);
        const std::vector<uint8_t> all = DecodeAll(reference);
        EXPECT_EQ(static_cast<int64_t>(all.size()), exactLength * 4);
        ASSERT_TRUE(decoder.Open(c.path));
        // What the player does at once after opening: decode the first seconds into its buffer.
        std::vector<uint8_t> joined = DecodeAll(decoder, c.index ? 100000 : 2 * 44100 * 4);
        if (c.index) {
            // The decoding goes on where it was.
            ASSERT_TRUE(decoder.SetIndex(table));
            EXPECT_EQ(decoder.LengthSamples(), exactLength);
            const std::vector<uint8_t> rest = DecodeAll(decoder);
            joined.insert(joined.end(), rest.begin(), rest.end());
            EXPECT_TRUE(joined == all);
        }
        for (int64_t target : c.targets) {
            if (target < 0) target += exactLength;
            const int64_t half = table.frames[static_cast<size_t>(target / 1152)].offset / 2;
            const int64_t before = testfiles::BytesReadByProcess();
            ExpectExactSeek(decoder, all, target);
            const int64_t read = testfiles::BytesReadByProcess() - before;
            const std::string reads = c.reads;
            EXPECT_TRUE(reads != "few" || read < 64 * 1024) << read << " bytes for " << target;
            EXPECT_TRUE(reads != "near" || read < half) << read << " of " << half * 2;
            EXPECT_TRUE(reads != "through" || read > half) << read << " of " << half * 2;
        }
    }
}

// The waveform's float and the pause search's mono mix are the player's samples in other forms.
TEST_F(Decoding, OutputFormsAgree) {
    const std::string path = Tone(dir, "tone", 1.0, "-b 128");
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

// Plain frames without a header keep every sample; what holds no MPEG audio, and a walk whose
// frames lie elsewhere (one byte later, or behind junk) are refused.
TEST(Decoder, PlainFramesKeepEverySampleAndOtherStreamsAreRefused) {
    testfiles::TempDir dir;
    Decoder missing, junk, decoder;
    EXPECT_FALSE(missing.Open(dir.file("none.mp3")));
    EXPECT_FALSE(missing.Error().empty());
    testfiles::WriteFile(dir.file("text.mp3"), testfiles::Bytes(20000, 'a'));
    EXPECT_FALSE(junk.Open(dir.file("text.mp3")));
    size_t got = 0;
    uint8_t buffer[64];
    EXPECT_EQ(junk.Read(buffer, sizeof buffer, got), Decoder::ReadStatus::Error);
    EXPECT_EQ(got, 0u);

    const std::string path = dir.file("silence.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(50));
    FrameTable table;
    ASSERT_TRUE(ScanFrames(path, table));
    ASSERT_TRUE(decoder.Open(path)) << decoder.Error();
    FrameTable shifted = table, junky = table;
    for (MpegFrame& frame : shifted.frames) ++frame.offset;
    junky.junkBytes = 10;
    EXPECT_FALSE(decoder.SetIndex(shifted));
    EXPECT_FALSE(decoder.SetIndex(junky));
    ASSERT_TRUE(decoder.SetIndex(table));
    EXPECT_EQ(decoder.LengthSamples(), 50 * 1152);
    EXPECT_EQ(static_cast<int64_t>(DecodeAll(decoder).size()), 50 * 1152 * 4);
}

}  // namespace
