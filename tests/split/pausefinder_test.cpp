// Pauses found in the decoded audio of a file made with sox: tones, silences of known length
// and position, and a quiet passage that is no pause.
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

class PauseFinder : public ::testing::Test {
protected:
    void SetUp() override {
        if (!splittest::HaveCodecTools()) GTEST_SKIP() << "sox or lame is not installed";
        path = MakeFile(dir);
        ASSERT_FALSE(path.empty());
    }
    testfiles::TempDir dir;
    std::string path;
};

TEST_F(PauseFinder, FindsTheSilencesWithinAFrameAndNotTheQuietPassage) {
    std::vector<Pause> pauses;
    std::string error;
    ASSERT_TRUE(FindPauses(path, PauseOptions{}, &pauses, &error)) << error;
    ASSERT_EQ(pauses.size(), 2u);
    EXPECT_NEAR(pauses[0].start, 2.0, kFrame);
    EXPECT_NEAR(pauses[0].end, 3.5, kFrame);
    EXPECT_NEAR(pauses[1].start, 10.0, kFrame);
    EXPECT_NEAR(pauses[1].end, 11.0, kFrame);
}

TEST_F(PauseFinder, ThresholdAndMinimumLengthAreHonoured) {
    std::vector<Pause> pauses;
    std::string error;
    // Short pauses count too with a lower minimum; the -30 dB passage is a pause at -20 dB.
    ASSERT_TRUE(FindPauses(path, PauseOptions{-48, 0.4}, &pauses, &error)) << error;
    ASSERT_EQ(pauses.size(), 3u);
    EXPECT_NEAR(pauses[1].start, 5.5, kFrame);
    ASSERT_TRUE(FindPauses(path, PauseOptions{-20, 0.8}, &pauses, &error)) << error;
    ASSERT_EQ(pauses.size(), 3u);
    EXPECT_NEAR(pauses[1].start, 7.0, kFrame);
    EXPECT_NEAR(pauses[1].end, 9.0, kFrame);
}

TEST_F(PauseFinder, ProgressRisesAndCanCancel) {
    std::vector<Pause> pauses;
    std::string error;
    std::vector<double> seen;
    ASSERT_TRUE(FindPauses(path, PauseOptions{}, &pauses, &error, [&](double f) {
        seen.push_back(f);
        return true;
    }));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1.0);
    EXPECT_FALSE(FindPauses(path, PauseOptions{}, &pauses, &error, [](double) { return false; }));
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

TEST(PauseFinderFailure, AFileThatIsNoMp3IsAnError) {
    testfiles::TempDir dir;
    testfiles::WriteFile(dir.file("x.mp3"), testfiles::FromString(std::string(5000, 'x')));
    std::vector<Pause> pauses;
    std::string error;
    EXPECT_FALSE(FindPauses(dir.file("x.mp3"), PauseOptions{}, &pauses, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
