// Seeks on a 45-minute file with the real engine on the null sink, checked by what the sink's
// monitor carries: the sound after a seek is the target's (its block's tone, and the gap that
// follows the target comes exactly as far after the onset as it lies after the target), the
// position right after the seek is the target, and the sound starts within a generous bound.
// Seeks right after opening (before the frame walk has given the decoder its index) and later
// ones are both checked. Skipped without the null sink, sox and lame.
#include <cmath>
#include <cstdio>
#include <memory>

#include <gtest/gtest.h>
#include <QTest>

#include "playback/playbackengine.h"
#include "playbacktestapp.h"
#include "soundcheck.h"
#include "support/testfiles.h"

namespace {

using soundcheck::kRate;
using soundcheck::LongFile;

constexpr int kMinutes = 45;
constexpr int kLoud = 3000;
// How late the sound may start on a loaded machine before the test calls it broken; the bench
// measures the real figure.
constexpr double kLateBoundSeconds = 2.0;

struct Heard {
    double lateSeconds = -1;  // from the seek call to the first loud sample
    double gapAfter = -1;     // from that sample to the start of the next gap
    double hz = 0;
};

// What the recording carries from `from` on: the first loud sample, the first 20 ms of quiet after
// it, and the tone between them.
Heard Analyse(const std::vector<int16_t>& left, int64_t from) {
    Heard heard;
    const int64_t n = static_cast<int64_t>(left.size());
    int64_t onset = from;
    while (onset < n && std::abs(left[onset]) < kLoud) ++onset;
    if (onset >= n) return heard;
    heard.lateSeconds = double(onset - from) / kRate;
    int64_t quiet = 0;
    for (int64_t i = onset; i < n; ++i) {
        quiet = std::abs(left[i]) < 1000 ? quiet + 1 : 0;
        if (quiet == kRate / 50) {
            const int64_t gap = i - quiet + 1;
            heard.gapAfter = double(gap - onset) / kRate;
            heard.hz = soundcheck::Measure(left, onset, gap).hz;
            break;
        }
    }
    return heard;
}

class LongFileSeeks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TestApp();
        if (!soundcheck::MonitorRecorder::SinkAvailable() || !soundcheck::HaveEncoders()) return;
        dir_ = new testfiles::TempDir;
        ready_ = soundcheck::MakeLongMp3(dir_->file("long.mp3"), kMinutes, &file_);
    }
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override {
        if (!ready_) GTEST_SKIP() << "needs PulseAudio with the null sink test_null, sox and lame";
        lock = std::make_unique<soundcheck::SinkLock>();
        ASSERT_TRUE(recorder.Start());
    }

    // Seeks to 0.3 s before the gap at 4 s into the block; the engine must be playing silence.
    void SeekAndListen(PlaybackEngine& engine, int minute, int block, const std::string& context) {
        const int64_t gap = file_.SampleAt(minute, block, 4.0);
        const int64_t target = gap - kRate * 3 / 10;
        // One retry: a loaded machine may starve the sink for a moment inside the stretch.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const int64_t from = recorder.Now();
            ASSERT_GT(from, 0) << context << ": the recording stalls";
            engine.setPositionSamples(target);
            EXPECT_EQ(engine.positionSamples(), target) << context;
            EXPECT_EQ(engine.playState(), MediaPlayer::kPlaying) << context;
            ASSERT_TRUE(QTest::qWaitFor([&] { return engine.positionSamples() > gap + kRate / 2; }, 10000))
                << context << ": the position stays at " << engine.positionSamples() << ", target " << target;
            ASSERT_GT(recorder.Now(), 0);
            const Heard heard = Analyse(recorder.Left(), from);
            const double hz = LongFile::BlockHz(block);
            std::printf("%s: sound %.3f s after the seek, gap %.3f s after the onset, %.0f Hz\n", context.c_str(),
                        heard.lateSeconds, heard.gapAfter, heard.hz);
            const char* wrong = heard.lateSeconds < 0                  ? "no sound"
                                : heard.lateSeconds >= kLateBoundSeconds ? "the sound comes late"
                                : std::abs(heard.gapAfter - 0.3) >= 0.02 ? "not the target's sound (gap)"
                                : std::abs(heard.hz - hz) >= hz * 0.04   ? "not the target's sound (tone)"
                                                                         : nullptr;
            if (!wrong) return;
            if (attempt == 1) ADD_FAILURE() << context << ": " << wrong;
            // Back into silence for the second try.
            engine.setPositionSamples(file_.SampleAt(minute, block, 0.1));
            QTest::qWait(300);
        }
    }

    static inline testfiles::TempDir* dir_ = nullptr;
    static inline LongFile file_;
    static inline bool ready_ = false;
    std::unique_ptr<soundcheck::SinkLock> lock;
    soundcheck::MonitorRecorder recorder;
};

TEST_F(LongFileSeeks, SoundComesFromTheTargetBeforeAndAfterTheIndexIsBuilt) {
    PlaybackEngine engine;
    // The file starts with 2 s of silence: the first seek comes while that plays.
    engine.setURL(QString::fromStdString(file_.path));
    SeekAndListen(engine, 40, 3, "right after opening");
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.duration() > 0; }, 30000)) << "the frame walk never ended";
    EXPECT_NEAR(engine.duration(), kMinutes * double(file_.minuteSamples) / kRate, 0.01);
    const int targets[][2] = {{44, 5}, {2, 1}, {30, 0}, {17, 4}};
    for (const auto& t : targets) {
        engine.setPositionSamples(file_.SampleAt(t[0], t[1], 0.2));
        QTest::qWait(300);
        SeekAndListen(engine, t[0], t[1], "minute " + std::to_string(t[0]) + ", block " + std::to_string(t[1]));
    }
    // A mark taken just after a seek is the target, not where the sound was before it.
    const int64_t target = file_.SampleAt(20, 2, 5.0);
    engine.setPositionSamples(target);
    QTest::qWait(50);
    EXPECT_GE(engine.positionSamples(), target);
    EXPECT_LT(engine.positionSamples(), target + kRate / 2);
}

}  // namespace
