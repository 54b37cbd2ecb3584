// Pauses found in the decoded audio of a file made with sox: tones, silences of known length
// and position, and a quiet passage that is no pause.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "split/encoded.h"
#include "split/pausefinder.h"
#include "split/splitplan.h"
#include "support/testfiles.h"

namespace {

using testfiles::ShellQuote;

constexpr double kFrame = 1152.0 / 44100;

// Concatenates sox-made pieces ("tone" or "quiet" at a level, or silence) and encodes them.
std::string MakeFile(const testfiles::TempDir& dir) {
    struct Piece {
        double seconds;
        const char* effects;
    };
    const std::vector<Piece> pieces = {
        {2.0, "sine 440 vol 0.5"},   // 0.0 .. 2.0
        {1.5, "sine 440 vol 0"},     // 2.0 .. 3.5   pause
        {2.0, "sine 660 vol 0.5"},   // 3.5 .. 5.5
        {0.5, "sine 440 vol 0"},     // 5.5 .. 6.0   too short
        {1.0, "sine 500 vol 0.5"},   // 6.0 .. 7.0
        {2.0, "sine 300 vol -30dB"}, // 7.0 .. 9.0   quiet, not silent
        {1.0, "sine 500 vol 0.5"},   // 9.0 .. 10.0
        {1.0, "sine 440 vol 0"},     // 10.0 .. 11.0 pause
        {1.0, "sine 880 vol 0.5"},   // 11.0 .. 12.0
    };
    std::string inputs;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::string wav = dir.file("piece" + std::to_string(i) + ".wav");
        testfiles::CommandOutput("sox -n -r 44100 -c 2 " + ShellQuote(wav) + " synth " +
                                 std::to_string(pieces[i].seconds) + " " + pieces[i].effects + " 2>/dev/null");
        inputs += ShellQuote(wav) + " ";
    }
    const std::string wav = dir.file("all.wav"), mp3 = dir.file("pauses.mp3");
    int status = -1;
    testfiles::CommandOutput("sox " + inputs + ShellQuote(wav) + " && lame --quiet -b 128 " + ShellQuote(wav) + " " +
                                 ShellQuote(mp3),
                             &status);
    return status == 0 ? mp3 : std::string();
}

// The silences within a frame and not the quiet passage; a lower minimum finds the short pause
// too, a higher threshold the quiet passage; progress rises to the end, and a cancel is an error.
TEST(PauseFinder, FindsThePausesOfTheOptionsOnRealEncoderOutput) {
    if (!splittest::HaveCodecTools()) GTEST_SKIP() << "sox or lame is not installed";
    testfiles::TempDir dir;
    const std::string path = MakeFile(dir);
    ASSERT_FALSE(path.empty());
    struct Row {
        PauseOptions options;
        std::vector<std::pair<double, double>> expected;
    };
    const Row rows[] = {
        {PauseOptions{}, {{2.0, 3.5}, {10.0, 11.0}}},
        {PauseOptions{-48, 0.4}, {{2.0, 3.5}, {5.5, 6.0}, {10.0, 11.0}}},
        {PauseOptions{-20, 0.8}, {{2.0, 3.5}, {7.0, 9.0}, {10.0, 11.0}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.options.thresholdDb);
        std::vector<Pause> pauses;
        std::string error;
        std::vector<double> seen;
        ASSERT_TRUE(FindPauses(path, r.options, &pauses, &error, [&](double f) {
            seen.push_back(f);
            return true;
        })) << error;
        ASSERT_EQ(pauses.size(), r.expected.size());
        for (size_t i = 0; i < pauses.size(); ++i) {
            EXPECT_NEAR(pauses[i].start, r.expected[i].first, kFrame) << i;
            EXPECT_NEAR(pauses[i].end, r.expected[i].second, kFrame) << i;
        }
        ASSERT_GE(seen.size(), 2u);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(seen.back(), 1.0);
    }
    std::vector<Pause> pauses;
    std::string error;
    EXPECT_FALSE(FindPauses(path, PauseOptions{}, &pauses, &error, [](double) { return false; }));
    EXPECT_FALSE(error.empty());
    // A file that is no MP3 is an error too.
    testfiles::WriteFile(dir.file("x.mp3"), testfiles::FromString(std::string(5000, 'x')));
    error.clear();
    EXPECT_FALSE(FindPauses(dir.file("x.mp3"), PauseOptions{}, &pauses, &error));
    EXPECT_FALSE(error.empty());
}

TEST(PauseCuts, MiddleOfEachInnerPauseOrThePausesLeftOut) {
    const std::vector<Pause> pauses = {{0, 0.9}, {2, 3.5}, {10, 11}, {11.5, 12}};
    SplitPlan middle(12);
    EXPECT_EQ(AddPauseCuts(middle, pauses, false), 2u);
    ASSERT_EQ(middle.CutCount(), 2u);
    EXPECT_DOUBLE_EQ(middle.Cut(0).start, 2.75);
    EXPECT_DOUBLE_EQ(middle.Cut(1).end, 10.5);
    EXPECT_DOUBLE_EQ(middle.RangeBegin(), 0);

    SplitPlan trimmed(12);
    EXPECT_EQ(AddPauseCuts(trimmed, pauses, true), 2u);
    EXPECT_DOUBLE_EQ(trimmed.Part(0).start, 0.9);
    EXPECT_DOUBLE_EQ(trimmed.Part(0).end, 2);
    EXPECT_DOUBLE_EQ(trimmed.Part(1).start, 3.5);
    EXPECT_DOUBLE_EQ(trimmed.Part(2).end, 11.5);
}

}  // namespace
