// The playback engine as the cutting window uses it, on generated files of silent frames. Runs
// with and without an audio device; every wait polls with a deadline, and positions are checked
// in wide ranges since a fresh sound server plays the first stream slowly for about a second.
#include "playback/playbackengine.h"

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include "cutting/form1.h"
#include "cuttingfakes.h"
#include "support/fakemessageboxes.h"
#include "support/testfiles.h"

namespace {

constexpr int kDeadlineMs = 10000;
// 400 frames of 1152 samples at 44100 Hz.
constexpr double kSeconds = 400 * 1152 / 44100.0;

template <typename Condition>
bool WaitFor(Condition condition) {
    return QTest::qWaitFor(condition, kDeadlineMs);
}

class RealPlayer : public ::testing::Test {
protected:
    RealPlayer() {
        TestApp();
        path = dir.file("silence.mp3");
        testfiles::WriteFile(path, testfiles::SilentFrames(400));
    }
    QString Path() const { return QString::fromStdString(path); }

    testfiles::TempDir dir;
    std::string path;
};

TEST_F(RealPlayer, PauseHoldsThePositionAndStopAllowsASeekBeforePlay) {
    PlaybackEngine player;
    player.setURL(Path());
    ASSERT_TRUE(WaitFor([&] { return player.currentPosition() > 0.5; }));
    player.pause();
    EXPECT_EQ(player.playState(), MediaPlayer::kPaused);
    QTest::qWait(200);
    double held = player.currentPosition();
    QTest::qWait(400);
    EXPECT_NEAR(player.currentPosition(), held, 0.15);

    player.setCurrentPosition(3);
    ASSERT_TRUE(WaitFor([&] { return std::abs(player.currentPosition() - 3) < 0.2; }));
    player.play();
    ASSERT_TRUE(WaitFor([&] { return player.currentPosition() > 3.3; }));
    EXPECT_LT(player.currentPosition(), 7);

    player.stop();
    EXPECT_EQ(player.playState(), MediaPlayer::kStopped);
    player.setCurrentPosition(7);
    player.play();
    EXPECT_EQ(player.playState(), MediaPlayer::kPlaying);
    ASSERT_TRUE(WaitFor([&] { return player.currentPosition() > 7.2; }));
    EXPECT_LT(player.currentPosition(), kSeconds + 0.1);
}

// A seek asked before the file is loaded is kept; the next file starts from its beginning.
TEST_F(RealPlayer, ASeekBeforeLoadingIsKeptAndANewFileStartsFromItsBeginning) {
    PlaybackEngine player;
    EXPECT_EQ(player.currentPosition(), -1);
    player.setURL(Path());
    EXPECT_EQ(player.URL(), Path());
    player.setCurrentPosition(8);
    EXPECT_NEAR(player.currentPosition(), 8, 0.01);
    // Played from the top instead, the position would pass through the seconds before 8.
    bool early = false;
    ASSERT_TRUE(WaitFor([&] {
        double p = player.currentPosition();
        early = early || (p > 0.6 && p < 7.5);
        return p > 8.2;
    }));
    EXPECT_FALSE(early);
    std::string second = dir.file("second.mp3");
    testfiles::WriteFile(second, testfiles::SilentFrames(200));
    player.setURL(QString::fromStdString(second));
    ASSERT_TRUE(WaitFor([&] { return player.duration() > 0 && player.duration() < 6; }));
    EXPECT_NEAR(player.duration(), 200 * 1152 / 44100.0, 0.5);
    ASSERT_TRUE(WaitFor([&] { return player.playState() == MediaPlayer::kPlaying; }));
    EXPECT_LT(player.currentPosition(), 4);
}

TEST_F(RealPlayer, PlaySelectionStopsInTheEndSecond) {
    PlaybackEngine player;
    FakeDialogs dialogs;
    FakeMessageBoxes messages;
    FixedClock clock;
    Form1Parts parts;
    parts.player = &player;
    parts.dialogs = &dialogs;
    parts.messages = &messages;
    parts.clock = &clock;
    Form1 form(parts);
    dialogs.opens.push_back({Path(), "silence.mp3"});
    form.CandyButton1_Click();
    // The window's own timers run: the duration tick derives the rate.
    ASSERT_TRUE(WaitFor([&] { return form.RateKnown(); }));
    EXPECT_EQ(form.Slider1->Max(), 10);

    // Listen a moment, then mark 2 s .. 4.5 s while paused at those points.
    ASSERT_TRUE(WaitFor([&] { return player.currentPosition() > 1; }));
    player.pause();
    auto markAt = [&](double seconds, QAbstractButton* button) {
        player.setCurrentPosition(seconds);
        ASSERT_TRUE(WaitFor([&] { return std::abs(player.currentPosition() - seconds) < 0.05; }));
        form.Timer1_Timer();
        button->click();
    };
    markAt(2, form.CandyButton3);
    markAt(4.5, form.CandyButton4);
    ASSERT_EQ(form.Label4->text(), "2.5 Secs");
    ASSERT_TRUE(messages.shown.empty());

    form.CandyButton2->click();
    EXPECT_TRUE(form.Timer4->isActive());
    double lastPlayed = 0;
    ASSERT_TRUE(WaitFor([&] {
        if (player.playState() == MediaPlayer::kPlaying) lastPlayed = player.currentPosition();
        return !form.Timer4->isActive();
    }));
    EXPECT_NE(player.playState(), MediaPlayer::kPlaying);
    // Played from the start mark into the end second (4), and no further.
    EXPECT_GE(lastPlayed, 3.5);
    EXPECT_LT(lastPlayed, 5.0);
}

TEST_F(RealPlayer, ABigFileIsTimedOnlyOnceItsFramesAreWalked) {
    // About 60 MB of frames: the walk runs beside the window and reports its progress.
    constexpr int kBigFrames = 144000;
    const std::string big = dir.file("big.mp3");
    testfiles::WriteFile(big, testfiles::SilentFrames(kBigFrames));
    PlaybackEngine player;
    QSignalSpy progress(&player, &PlaybackEngine::lengthScanProgressChanged);
    EXPECT_LT(player.LengthScanProgress(), 0);
    player.setURL(QString::fromStdString(big));
    // Neither the player's estimate nor anything else before the walk is done.
    EXPECT_LE(player.duration(), 0);
    EXPECT_GE(player.LengthScanProgress(), 0);
    ASSERT_TRUE(WaitFor([&] { return player.duration() > 0; }));
    EXPECT_NEAR(player.duration(), kBigFrames * 1152 / 44100.0, 1e-6);
    EXPECT_LT(player.LengthScanProgress(), 0);
    ASSERT_GE(progress.count(), 10);
    double last = -1;
    for (const auto& call : progress) {
        EXPECT_GT(call.at(0).toDouble(), last);
        last = call.at(0).toDouble();
    }
    EXPECT_DOUBLE_EQ(last, 1.0);

    // A small second file while the first is still being walked: its length is known as soon
    // as setURL returns, and the big file's walk never overwrites it.
    player.setURL(QString::fromStdString(big));
    player.setURL(Path());
    EXPECT_NEAR(player.duration(), kSeconds, 1e-6);
    EXPECT_LT(player.LengthScanProgress(), 0);
    ASSERT_TRUE(WaitFor([&] { return player.playState() == MediaPlayer::kPlaying; }));
    EXPECT_NEAR(player.duration(), kSeconds, 1e-6);
}

TEST_F(RealPlayer, AFileWithoutFramesIsNeverTimedNorPlayed) {
    // A WAV file of 2 s under an .mp3 name: no MPEG frames for the walk or the decoder. Nothing
    // of the file before is left over: no length, no position, not playing, and a reason given.
    PlaybackEngine player;
    player.setURL(Path());
    ASSERT_TRUE(WaitFor([&] { return player.duration() > 0; }));
    const uint32_t rate = 8000, dataBytes = 2 * rate * 2;
    auto le = [](uint32_t v, int n) {
        testfiles::Bytes out;
        for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return out;
    };
    const testfiles::Bytes wav = testfiles::Concat(
        {testfiles::FromString("RIFF"), le(36 + dataBytes, 4), testfiles::FromString("WAVEfmt "), le(16, 4),
         le(1, 2), le(1, 2), le(rate, 4), le(rate * 2, 4), le(2, 2), le(16, 2), testfiles::FromString("data"),
         le(dataBytes, 4), testfiles::Bytes(dataBytes, 0)});
    const std::string other = dir.file("wave.mp3");
    testfiles::WriteFile(other, wav);
    player.setURL(QString::fromStdString(other));
    EXPECT_EQ(player.URL(), QString::fromStdString(other));
    EXPECT_FALSE(player.LastError().isEmpty());
    player.play();
    QTest::qWait(300);
    EXPECT_LE(player.duration(), 0);
    EXPECT_EQ(player.currentPosition(), -1);
    EXPECT_NE(player.playState(), MediaPlayer::kPlaying);

    // The next good file plays as usual.
    player.setURL(Path());
    EXPECT_TRUE(player.LastError().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return player.currentPosition() > 0.3; }));
}

}  // namespace
