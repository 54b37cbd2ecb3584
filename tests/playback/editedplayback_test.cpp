// An edited timeline played for real into PulseAudio's null sink: the removed stretches are
// skipped with no gap, and what follows each join is the sound after the removed range. Skipped
// without a daemon with "test_null"; waits poll with deadlines.
#include <cmath>

#include <gtest/gtest.h>
#include <QTest>

#include "playback/playbackengine.h"
#include "playbacktestapp.h"
#include "soundcheck.h"
#include "support/testfiles.h"

namespace {

using soundcheck::kRate;

// Three tones of 1.5 s each, one after the other.
bool MakeSteps(const testfiles::TempDir& dir, const std::string& mp3) {
    QStringList wavs;
    for (const int hz : {440, 880, 1320}) {
        const QString wav = QString::fromStdString(dir.file(std::to_string(hz) + ".wav"));
        if (!soundcheck::Run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "1.5", "sine",
                                     QString::number(hz), "vol", "0.5"}))
            return false;
        wavs << wav;
    }
    const QString all = QString::fromStdString(dir.file("steps.wav"));
    return soundcheck::Run("sox", wavs + QStringList{all}) &&
           soundcheck::Run("lame", {"--quiet", "-b", "192", all, QString::fromStdString(mp3)});
}

// The longest run of near-silence between the first and the last sound of `left`.
int64_t LongestGap(const std::vector<int16_t>& left, int64_t from, int64_t to) {
    int64_t longest = 0, run = 0;
    for (int64_t i = from; i < to; ++i) {
        run = std::abs(left[static_cast<size_t>(i)]) < 300 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST(EditedPlayback, SkipsTheRemovedStretchesWithoutAGap) {
    TestApp();
    if (!soundcheck::MonitorRecorder::SinkAvailable() || !soundcheck::HaveEncoders())
        GTEST_SKIP() << "needs PulseAudio with the null sink test_null, sox and lame";
    testfiles::TempDir dir;
    const std::string mp3 = dir.file("steps.mp3");
    ASSERT_TRUE(MakeSteps(dir, mp3));
    // 0-1 s of 440 Hz, then 2.0-2.5 s (880 Hz), then 3.5-4.5 s (1320 Hz): 2.5 s with two joins.
    const std::vector<PlaySegment> segments = {{0, kRate}, {2 * kRate, kRate * 5 / 2}, {kRate * 7 / 2, kRate * 9 / 2}};
    soundcheck::SinkLock lock;
    // A loaded machine can starve the sink for a moment; that is the sink's gap, not a join's:
    // one more run is allowed before the test fails.
    for (int attempt = 0; attempt < 2; ++attempt) {
        soundcheck::MonitorRecorder recorder;
        ASSERT_TRUE(recorder.Start());
        PlaybackEngine engine;
        engine.setURL(QString::fromStdString(mp3));
        engine.pause();
        ASSERT_TRUE(engine.setSegments(segments));
        EXPECT_NEAR(engine.duration(), 2.5, 1e-9);
        engine.setPositionSamples(0);
        engine.play();
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.playState() != MediaPlayer::kPlaying; }, 15000));
        QTest::qWait(300);
        ASSERT_GT(recorder.Now(), 0) << "the recording stalls";
        const std::vector<int16_t>& left = recorder.Left();
        int64_t first = -1, last = -1;
        for (size_t i = 0; i < left.size(); ++i) {
            if (std::abs(left[i]) < 3000) continue;
            if (first < 0) first = static_cast<int64_t>(i);
            last = static_cast<int64_t>(i);
        }
        ASSERT_GE(first, 0) << "nothing was heard";
        const int64_t gap = LongestGap(left, first, last);
        const double heard = static_cast<double>(last - first) / kRate;
        if (attempt == 0 && (gap > kRate / 50 || std::abs(heard - 2.5) > 0.05)) continue;
        EXPECT_LE(gap, kRate / 50) << "a silence of " << gap << " samples";
        EXPECT_NEAR(heard, 2.5, 0.05);
        struct Stretch {
            double from, to, hz;
        };
        for (const Stretch s : {Stretch{0.2, 0.8, 440}, Stretch{1.1, 1.4, 880}, Stretch{1.7, 2.3, 1320}}) {
            const soundcheck::Sound sound =
                soundcheck::Measure(left, first + std::llround(s.from * kRate), first + std::llround(s.to * kRate));
            EXPECT_NEAR(sound.hz, s.hz, s.hz * 0.04) << "at " << s.from << " s of the edited timeline";
        }
        return;
    }
}

}  // namespace
