// libmpg123 as the engine drives it: gapless length, exact seeks, files it must refuse.
#include "playback/decoder.h"

#include <vector>

#include <gtest/gtest.h>

#include "soundcheck.h"
#include "support/testfiles.h"

namespace {

std::vector<uint8_t> DecodeAll(Decoder& decoder, size_t limitBytes = SIZE_MAX) {
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> chunk(4096);
    size_t got = 0;
    while (pcm.size() < limitBytes && decoder.Read(chunk.data(), chunk.size(), got) == Decoder::ReadStatus::Data)
        pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + got);
    return pcm;
}

TEST(Decoder, LameFileDecodesGaplessAndSeeksToTheExactSample) {
    if (!soundcheck::HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    const std::string path = dir.file("tone.mp3");
    // 2.5 s of input: the encoder's delay and padding must not be heard.
    ASSERT_TRUE(soundcheck::MakeToneMp3(path, 440, 2.5));
    Decoder decoder;
    ASSERT_TRUE(decoder.Open(path)) << decoder.Error();
    EXPECT_EQ(decoder.SampleRate(), 44100);
    EXPECT_EQ(decoder.Scan(), 110250);
    const std::vector<uint8_t> all = DecodeAll(decoder);
    EXPECT_EQ(all.size(), 110250u * Decoder::kBytesPerFrame);

    // The index is built while decoding is under way; the decoding goes on where it was.
    Decoder late;
    ASSERT_TRUE(late.Open(path));
    std::vector<uint8_t> joined = DecodeAll(late, 100000);
    EXPECT_EQ(late.Scan(), 110250);
    const std::vector<uint8_t> rest = DecodeAll(late);
    joined.insert(joined.end(), rest.begin(), rest.end());
    EXPECT_TRUE(joined == all);

    // From a seek, the very samples a decode from the start gives at that point (frame
    // boundaries, the bit reservoir and the first frames included).
    for (int64_t sample : {0, 1, 1151, 1152, 1700, 40000, 110000}) {
        ASSERT_TRUE(decoder.SeekToSample(sample));
        const std::vector<uint8_t> part = DecodeAll(decoder, 8192);
        const size_t at = static_cast<size_t>(sample) * Decoder::kBytesPerFrame;
        const size_t n = std::min(part.size(), all.size() - at);
        ASSERT_GT(n, 0u) << sample;
        int differing = 0;
        for (size_t i = 0; i < n; ++i) differing += part[i] != all[at + i];
        EXPECT_EQ(differing, 0) << "seek to " << sample;
    }
}

TEST(Decoder, PlainFramesWithoutHeaderKeepEverySample) {
    testfiles::TempDir dir;
    const std::string path = dir.file("silence.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(50));
    Decoder decoder;
    ASSERT_TRUE(decoder.Open(path)) << decoder.Error();
    const int64_t length = decoder.Scan();
    const std::vector<uint8_t> all = DecodeAll(decoder);
    EXPECT_EQ(static_cast<int64_t>(all.size()), length * Decoder::kBytesPerFrame);
    // Without encoder information only the decoder's own delay may go.
    EXPECT_GE(length, 50 * 1152 - 529 - 1152);
    EXPECT_LE(length, 50 * 1152);
}

TEST(Decoder, RefusesWhatHoldsNoMpegAudio) {
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
}

}  // namespace
