// The parts of a split, decoded one after another, are the source decoded: the same number of
// samples and the same samples across every cut point, on real encoder output.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "split/encoded.h"
#include "split/partwriter.h"
#include "split/splitplan.h"
#include "split/splitsource.h"
#include "support/testfiles.h"

namespace {

using Decoder = std::vector<int16_t> (*)(const std::string&);

struct Encoding {
    const char* name;
    int rate;
    int channels;
    const char* sox;   // signal: sweeps, so a part shifted by a sample would differ widely
    const char* lame;
    std::vector<double> cuts;
};

// Largest difference between the two, or -1 when their lengths differ.
int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    if (a.size() != b.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
    return worst;
}

void PrintTo(const Encoding& e, std::ostream* os) { *os << e.name; }

class Gapless : public ::testing::TestWithParam<Encoding> {};

TEST_P(Gapless, PartsDecodeAsTheSourceInMpg123AndFfmpeg) {
    if (!splittest::HaveCodecTools()) GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg is not installed";
    const Encoding& e = GetParam();
    testfiles::TempDir dir;
    const std::string source = dir.file("source.mp3");
    ASSERT_TRUE(splittest::Encode(source, e.rate, e.channels, e.sox, e.lame));

    SplitSource split;
    std::string error;
    ASSERT_TRUE(split.Open(source, &error)) << error;
    SplitPlan plan(split.DurationSeconds());
    for (double t : e.cuts) ASSERT_GE(plan.AddCut(t), 0) << t;
    SplitOptions options;
    options.outputDir = dir.file("parts");
    std::filesystem::create_directory(options.outputDir);
    const SplitOutcome outcome = SaveParts(split, plan, options);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_EQ(outcome.written.size(), e.cuts.size() + 1);
    // Each part starts on its cut point's sample.
    for (size_t i = 0; i < e.cuts.size(); ++i) {
        const SavedPart& part = outcome.written[i + 1];
        EXPECT_EQ(std::llround(part.start * e.rate), std::llround(e.cuts[i] * e.rate)) << part.path;
        EXPECT_TRUE(part.exactStart) << part.path;
    }

    for (Decoder decode : {&splittest::DecodeMpg123, &splittest::DecodeFfmpeg}) {
        const std::vector<int16_t> whole = decode(source);
        ASSERT_GT(whole.size(), 48000u);
        std::vector<int16_t> joined;
        uint64_t promised = 0;
        for (const SavedPart& part : outcome.written) {
            const std::vector<int16_t> samples = decode(part.path);
            EXPECT_EQ(samples.size(), part.samples * e.channels) << part.path;
            joined.insert(joined.end(), samples.begin(), samples.end());
            promised += part.samples;
        }
        const size_t channels = static_cast<size_t>(e.channels);
        EXPECT_EQ(whole.size(), split.DecodedSamples() * channels);
        EXPECT_EQ(promised * channels, whole.size());
        EXPECT_EQ(joined.size(), whole.size());
        EXPECT_LE(MaxDifference(joined, whole), 2) << (decode == &splittest::DecodeMpg123 ? "mpg123" : "ffmpeg");
    }
}

// A file without a LAME tag: the parts decode to the lengths promised for them.
TEST(GaplessWithoutLameTag, PartsDecodeToTheirPromisedLengths) {
    if (!splittest::HaveCodecTools()) GTEST_SKIP() << "mpg123 or ffmpeg is not installed";
    testfiles::TempDir dir;
    const std::string source = dir.file("plain.mp3");
    testfiles::WriteFile(source, testfiles::SilentFrames(200));
    SplitSource split;
    std::string error;
    ASSERT_TRUE(split.Open(source, &error)) << error;
    SplitPlan plan(split.DurationSeconds());
    plan.AddCut(1.5);
    plan.AddCut(3.3);
    const SplitOutcome outcome = SaveParts(split, plan, SplitOptions{});
    ASSERT_TRUE(outcome.ok) << outcome.error;
    for (Decoder decode : {&splittest::DecodeMpg123, &splittest::DecodeFfmpeg})
        for (const SavedPart& part : outcome.written) EXPECT_EQ(decode(part.path).size(), part.samples * 2) << part.path;
}

// Cut points at odd times, one within the first frames and one near the end: the source's own
// delay and padding are at play at both ends.
INSTANTIATE_TEST_SUITE_P(
    LameOutput, Gapless,
    ::testing::Values(
        Encoding{"cbr", 44100, 2, "synth 6 sine 200-5000 sine 3000-300", "-b 128", {0.04, 1.0, 2.345, 5.9}},
        Encoding{"vbr", 44100, 2, "synth 6 sine 200-5000 sine 3000-300", "-V 2", {0.5, 3.3, 4.71}},
        Encoding{"mono48k", 48000, 1, "synth 6 sine 100-9000", "-b 96", {1.2, 2.5, 5.0}},
        Encoding{"mpeg2", 22050, 2, "synth 6 sine 200-5000 sine 3000-300", "-b 64", {0.7, 1.9, 3.05, 5.5}}),
    [](const ::testing::TestParamInfo<Encoding>& info) { return std::string(info.param.name); });

}  // namespace
