// The engine's state changes as the window drives them, with a device or without one (the test
// command runs these "RealPlayer" tests both ways): the end of the file, calls in any order and
// in quick succession, positions in samples, seeks before a big file's walk is done; and no
// GStreamer library is ever loaded.
#include <fstream>
#include <random>

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTest>

#include "playback/playbackengine.h"
#include "playbacktestapp.h"
#include "support/testfiles.h"

namespace {

constexpr int kDeadlineMs = 10000;

class RealPlayerEngine : public ::testing::Test {
protected:
    RealPlayerEngine() { TestApp(); }
    QString Make(const std::string& name, int frames) {
        const std::string path = dir.file(name);
        testfiles::WriteFile(path, testfiles::SilentFrames(frames));
        return QString::fromStdString(path);
    }
    testfiles::TempDir dir;
};

TEST_F(RealPlayerEngine, PlaysToTheEndThenStandsStoppedAtTheStart) {
    PlaybackEngine engine;
    const QString path = Make("short.mp3", 60);  // 1.57 s
    QElapsedTimer timer;
    timer.start();
    engine.setURL(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.playState() == MediaPlayer::kStopped; }, kDeadlineMs));
    EXPECT_GT(timer.elapsed(), 1200);
    EXPECT_EQ(engine.currentPosition(), 0);
    EXPECT_TRUE(engine.LastError().isEmpty());
    // Played again from the top.
    engine.play();
    EXPECT_EQ(engine.playState(), MediaPlayer::kPlaying);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.currentPosition() > 0.3; }, kDeadlineMs));
    engine.SetOutputVolume(0.5f);
    engine.pause();
    engine.stop();

    std::ifstream maps("/proc/self/maps");
    std::string line;
    int libraries = 0;
    while (std::getline(maps, line)) {
        if (line.find(".so") != std::string::npos) ++libraries;
        EXPECT_EQ(line.find("gst"), std::string::npos) << line;
    }
    EXPECT_GT(libraries, 10) << "the check looked at a real map: libmpg123 and Qt Multimedia are in it";
}

TEST_F(RealPlayerEngine, ARunToldWhereToEndPausesOnThatSample) {
    PlaybackEngine engine;
    engine.setURL(Make("tone.mp3", 400));  // 10.4 s
    engine.pause();
    engine.setPositionSamples(44100);
    ASSERT_TRUE(engine.setEndSample(44100 + 13230));  // 0.3 s later
    QElapsedTimer timer;
    timer.start();
    engine.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.playState() != MediaPlayer::kPlaying; }, kDeadlineMs));
    EXPECT_GT(timer.elapsed(), 200);
    EXPECT_EQ(engine.playState(), MediaPlayer::kPaused);
    EXPECT_EQ(engine.positionSamples(), 44100 + 13230);
    // Played on, it goes past the old end: the end was for that run only.
    engine.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.positionSamples() > 44100 + 13230 + 4410; }, kDeadlineMs));
    // A seek forgets an end that was set.
    engine.setEndSample(engine.positionSamples() + 2000000);
    engine.setPositionSamples(88200);
    engine.pause();
    EXPECT_EQ(engine.positionSamples(), 88200);
}

TEST_F(RealPlayerEngine, CallsInAnyOrderNeverHangIt) {
    PlaybackEngine engine;
    // Nothing loaded: every call is harmless and there is no position.
    engine.play();
    engine.pause();
    engine.setCurrentPosition(3);
    engine.setPositionSamples(100);
    engine.stop();
    EXPECT_EQ(engine.currentPosition(), -1);
    EXPECT_EQ(engine.positionSamples(), -1);
    EXPECT_EQ(engine.playState(), MediaPlayer::kStopped);
    EXPECT_EQ(engine.sampleRate(), 0);

    const QString files[] = {Make("a.mp3", 400), Make("b.mp3", 250)};
    std::mt19937 random(7);
    engine.setURL(files[1]);
    for (int i = 0; i < 400; ++i) {
        switch (random() % 7) {
        case 0: engine.setURL(files[random() % 2]); break;
        case 1: engine.play(); break;
        case 2: engine.pause(); break;
        case 3: engine.stop(); break;
        case 4: engine.setCurrentPosition((random() % 120) / 10.0); break;
        case 5: engine.setPositionSamples(random() % 400000); break;
        case 6: QTest::qWait(random() % 20); break;
        }
        ASSERT_GE(engine.currentPosition(), 0) << "step " << i;
        ASSERT_LE(engine.currentPosition(), 400 * 1152 / 44100.0) << "step " << i;
    }
    engine.setURL(files[0]);
    engine.setCurrentPosition(2);
    engine.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.currentPosition() > 2.3; }, kDeadlineMs))
        << "stuck at " << engine.currentPosition();
    EXPECT_LT(engine.currentPosition(), 9);
}

TEST_F(RealPlayerEngine, PositionsInSamplesAreExact) {
    PlaybackEngine engine;
    engine.setURL(Make("c.mp3", 400));
    EXPECT_EQ(engine.sampleRate(), 44100);
    engine.pause();
    engine.setPositionSamples(123457);
    EXPECT_EQ(engine.positionSamples(), 123457);
    EXPECT_DOUBLE_EQ(engine.currentPosition(), 123457 / 44100.0);
    engine.setCurrentPosition(2.5);
    EXPECT_EQ(engine.positionSamples(), 110250);
    // A seek past the end lands on the end, and never below 0.
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.duration() > 0; }, kDeadlineMs));
    engine.setPositionSamples(-5);
    EXPECT_EQ(engine.positionSamples(), 0);
    engine.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.positionSamples() > 4410; }, kDeadlineMs));
    const int64_t before = engine.positionSamples();
    engine.pause();
    EXPECT_GE(engine.positionSamples(), before);
    EXPECT_LT(engine.positionSamples(), before + 44100);
}

// Over the size the engine waits for, the walk runs on while the file plays: a seek before it ends
// goes to its target unclamped and plays on from there; once it ends the length is exact, and a
// mark taken just after a seek is the target.
TEST_F(RealPlayerEngine, AFileTooBigToWaitForSeeksBeforeItsWalkEnds) {
    const int frames = 82000;  // 34 MB: over the 32 MB the engine waits for
    PlaybackEngine engine;
    engine.setURL(Make("big.mp3", frames));
    EXPECT_EQ(engine.duration(), 0) << "the walk is still running";
    const int64_t target = int64_t{frames - 1000} * 1152;
    engine.setPositionSamples(target);
    EXPECT_EQ(engine.positionSamples(), target);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.positionSamples() > target + 4410; }, kDeadlineMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.duration() > 0; }, 30000)) << "the walk never ended";
    EXPECT_NEAR(engine.duration(), frames * 1152 / 44100.0, 1e-6);
    const int64_t mark = int64_t{frames / 2} * 1152;
    engine.setPositionSamples(mark);
    QTest::qWait(50);
    EXPECT_GE(engine.positionSamples(), mark);
    EXPECT_LT(engine.positionSamples(), mark + 22050);
}

}  // namespace
