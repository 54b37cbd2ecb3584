// The engine on PulseAudio's null sink, checked by what the sink's monitor carries: random
// sequences of every operation (with a tag written into the playing file among them), an edited
// timeline's joins, and how exactly the reported position matches the sample heard. Skipped when
// no daemon with "test_null" answers, or fail then where the test command asks for the sink.
// Waits poll with deadlines; a fresh daemon is slow on its first stream.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <tuple>

#include <gtest/gtest.h>
#include <QTest>

#include "id3/mdlid3.h"
#include "playback/playbackengine.h"
#include "playbacktestapp.h"
#include "soundcheck.h"
#include "support/testfiles.h"

namespace {

using soundcheck::kRate;

constexpr int kDeadlineMs = 6000;
// One 100 ms stretch of the recording.
constexpr int64_t kWindow = kRate / 10;
constexpr double kToneLevel = 0.5 * 32767 / 1.41421356;

struct ToneFile {
    std::string path;
    double hz;
    double seconds;
};

class RealOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TestApp();
        if (!soundcheck::MonitorRecorder::SinkAvailable() || !soundcheck::HaveEncoders()) return;
        dir_ = new testfiles::TempDir;
        const double hz[] = {330, 550, 880};
        for (int i = 0; i < 3; ++i) {
            ToneFile tone{dir_->file("tone" + std::to_string(i) + ".mp3"), hz[i], 8};
            if (!soundcheck::MakeToneMp3(tone.path, tone.hz, tone.seconds)) return;
            tones_.push_back(tone);
        }
        ready_ = true;
    }
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override {
        if (!ready_ && qEnvironmentVariableIsSet("TRIMBEL_REQUIRE_SINK"))
            FAIL() << "needs PulseAudio with the null sink test_null, sox and lame";
        if (!ready_) GTEST_SKIP() << "needs PulseAudio with the null sink test_null, sox and lame";
        lock = std::make_unique<soundcheck::SinkLock>();
        ASSERT_TRUE(recorder.Start());
    }

    // The position moves on, and the stretch just recorded is the file's tone at about the
    // expected loudness. A machine under heavy load can starve the sink for a moment: one such
    // dropout is forgiven (and counted), a second look must find the sound.
    void ExpectHeard(const PlaybackEngine& engine, double hz, double volume, const std::string& context) {
        ASSERT_EQ(engine.playState(), MediaPlayer::kPlaying) << context;
        for (int look = 0; look < 2; ++look) {
            const double from = engine.currentPosition();
            ASSERT_TRUE(QTest::qWaitFor([&] { return engine.currentPosition() > from + 0.15; }, kDeadlineMs))
                << context << ": the position stays at " << engine.currentPosition() << " from " << from;
            QTest::qWait(30);
            const int64_t end = recorder.Now();
            ASSERT_GT(end, 0) << context << ": the recording stalls";
            const soundcheck::Sound sound = soundcheck::Measure(recorder.Left(), end - kWindow, end);
            const bool right = sound.share > 0.5 && sound.level > 0.7 * kToneLevel * volume &&
                               sound.level < 1.3 * kToneLevel * volume && std::abs(sound.hz - hz) < hz * 0.04;
            if (right) return;
            dropouts += look == 0;
            if (look == 1)
                ADD_FAILURE() << context << ": heard " << sound.hz << " Hz at level " << sound.level << " in "
                              << sound.share << " of the stretch; expected " << hz << " Hz at "
                              << kToneLevel * volume;
        }
    }

    void ExpectQuiet(const std::string& context) {
        QTest::qWait(150);
        const int64_t end = recorder.Now();
        ASSERT_GT(end, 0) << context << ": the recording stalls";
        EXPECT_LT(soundcheck::Level(recorder.Left(), end - kWindow, end), 200) << context;
    }

    static inline testfiles::TempDir* dir_ = nullptr;
    static inline std::vector<ToneFile> tones_;
    static inline bool ready_ = false;
    std::unique_ptr<soundcheck::SinkLock> lock;
    soundcheck::MonitorRecorder recorder;
    int dropouts = 0;
};

int EnvironmentCount(const char* name, int fallback) {
    const char* text = std::getenv(name);
    const int value = text ? std::atoi(text) : 0;
    return value > 0 ? value : fallback;
}

// Random operations in random order: every play must be heard as the open file's tone, every
// pause and stop must fall silent. TRIMBEL_PLAYBACK_STRESS_OPS sets the count (a long run by
// hand), TRIMBEL_PLAYBACK_STRESS_SEED the sequence.
TEST_F(RealOutput, RandomOperationsAreAlwaysHeardRight) {
    const int operations = EnvironmentCount("TRIMBEL_PLAYBACK_STRESS_OPS", 100);
    const unsigned seed = static_cast<unsigned>(EnvironmentCount("TRIMBEL_PLAYBACK_STRESS_SEED", 20261207));
    std::mt19937 random(seed);
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    PlaybackEngine engine;
    const ToneFile* file = &tones_[0];
    double volume = 1.0;
    engine.setURL(QString::fromStdString(file->path));
    ExpectHeard(engine, file->hz, volume, "first open");
    // A tag written into the playing file once left playback silent for the rest of the session.
    enum Op { Open, Play, Pause, Resume, Stop, Seek, PlaySelection, Volume, WriteTag };
    constexpr int kOps = WriteTag + 1;
    const char* names[] = {"open", "play", "pause", "resume", "stop", "seek", "play selection", "volume", "tag"};
    for (int i = 0; i < operations && !HasFatalFailure(); ++i) {
        const Op op = static_cast<Op>(random() % kOps);
        const double target = uniform(0, file->seconds - 2.5);
        const std::string context = "seed " + std::to_string(seed) + ", step " + std::to_string(i) + " (" + names[op] + ")";
        switch (op) {
        case Open:
            file = &tones_[random() % tones_.size()];
            engine.setURL(QString::fromStdString(file->path));
            break;
        case Play:
            engine.play();
            break;
        case Pause:
            engine.pause();
            break;
        case Resume:
            if (engine.playState() == MediaPlayer::kPaused) engine.play();
            break;
        case Stop:
            engine.stop();
            EXPECT_EQ(engine.currentPosition(), 0) << context;
            break;
        case Seek:
            engine.setCurrentPosition(target);
            EXPECT_NEAR(engine.currentPosition(), target, 0.001) << context;
            break;
        case PlaySelection:
            engine.stop();
            engine.setCurrentPosition(target);
            engine.play();
            break;
        case Volume:
            volume = uniform(0.3, 1.0);
            engine.SetOutputVolume(static_cast<float>(volume));
            break;
        case WriteTag: {
            mdlID3::ID3TagInfo tags;
            tags.Title = "Step " + std::to_string(i);
            ASSERT_TRUE(mdlID3::WriteID3v2Tag(file->path, tags, mdlID3::kWriteV23, false, true)) << context;
            break;
        }
        }
        // Near its end a file would stop during the check: start it over first.
        if (engine.playState() == MediaPlayer::kPlaying && engine.currentPosition() > file->seconds - 2)
            engine.setCurrentPosition(uniform(0, 4));
        if (engine.playState() == MediaPlayer::kPlaying) {
            ExpectHeard(engine, file->hz, volume, context);
        } else if (op == Pause || op == Stop) {
            const double held = engine.currentPosition();
            ExpectQuiet(context);
            EXPECT_EQ(engine.currentPosition(), held) << context;
        }
    }
    EXPECT_TRUE(engine.LastError().isEmpty()) << engine.LastError().toStdString();
    std::printf("%d operations, %d plays heard right only at the second look\n", operations, dropouts);
}

// Last loud sample of the recording, and the first loud sample after the last quiet stretch
// of at least `quietRun` samples before it; -1 when not found.
std::pair<int64_t, int64_t> LastSoundAndOnset(const std::vector<int16_t>& heard, int64_t quietRun) {
    constexpr int kLoud = 3000;
    int64_t end = static_cast<int64_t>(heard.size()) - 1;
    while (end >= 0 && std::abs(heard[end]) < kLoud) --end;
    int64_t quiet = 0;
    for (int64_t i = end; i >= 0; --i) {
        if (std::abs(heard[i]) >= kLoud) {
            if (quiet >= quietRun) return {end, i + quiet + 1 > end ? -1 : i + quiet + 1};
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return {end, -1};
}

// A tone with 50 ms gaps at 2, 4 and 6 s. After a seek and 2 s of play, the position the
// player reports when paused is the sample the monitor heard last: counted from the end of the
// gap it played through.
TEST_F(RealOutput, ThePositionIsTheSampleHeard) {
    const std::string path = dir_->file("gaps.mp3");
    const std::vector<double> gaps = {2.0, 4.0, 6.0};
    ASSERT_TRUE(soundcheck::MakeToneMp3(path, 440, 8, gaps, 0.05));
    PlaybackEngine engine;
    engine.setURL(QString::fromStdString(path));
    ExpectHeard(engine, 440, 1, "open");
    for (double t : {1.3, 3.55}) {
        engine.setCurrentPosition(t);
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.currentPosition() >= t + 2.0; }, kDeadlineMs));
        engine.pause();
        const int64_t reported = engine.positionSamples();
        QTest::qWait(200);
        ASSERT_GT(recorder.Now(), 0);
        const auto [last, onset] = LastSoundAndOnset(recorder.Left(), kRate / 40);
        ASSERT_GT(onset, 0) << "no gap found before the pause, seek to " << t;
        double gapEnd = 0;
        for (double at : gaps)
            if (at + 0.05 <= reported / double(kRate)) gapEnd = at + 0.05;
        const int64_t heard = std::llround(gapEnd * kRate) + (last - onset);
        std::printf("seek to %.2f s, 2 s played: reported %.4f s, heard %.4f s\n", t, reported / double(kRate),
                    heard / double(kRate));
        EXPECT_NEAR(reported, heard, 0.030 * kRate) << "seek to " << t << ": reported "
            << reported / double(kRate) << " s, heard " << heard / double(kRate) << " s";
        engine.play();
    }
}

// Three tones of 1.5 s (440, 880, 1320 Hz) played as 0-1 s, 2-2.5 s and 3.5-4.5 s: 2.5 s with two
// joins, heard with no gap and with the sound after each removed range.
TEST_F(RealOutput, AnEditedTimelineSkipsTheRemovedStretchesWithoutAGap) {
    QStringList wavs;
    for (const int hz : {440, 880, 1320}) {
        wavs << QString::fromStdString(dir_->file(std::to_string(hz) + ".wav"));
        ASSERT_TRUE(soundcheck::Run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wavs.back(), "synth", "1.5",
                                            "sine", QString::number(hz), "vol", "0.5"}));
    }
    const QString all = QString::fromStdString(dir_->file("steps.wav"));
    const std::string mp3 = dir_->file("steps.mp3");
    ASSERT_TRUE(soundcheck::Run("sox", wavs + QStringList{all}));
    ASSERT_TRUE(soundcheck::Run("lame", {"--quiet", "-b", "192", all, QString::fromStdString(mp3)}));
    const std::vector<PlaySegment> segments = {{0, kRate}, {2 * kRate, kRate * 5 / 2}, {kRate * 7 / 2, kRate * 9 / 2}};
    // A loaded machine can starve the sink for a moment; that is the sink's gap, not a join's:
    // one more run is allowed before the test fails.
    for (int attempt = 0; attempt < 2; ++attempt) {
        PlaybackEngine engine;
        engine.setURL(QString::fromStdString(mp3));
        engine.pause();
        ASSERT_TRUE(engine.setSegments(segments));
        EXPECT_NEAR(engine.duration(), 2.5, 1e-9);
        engine.setPositionSamples(0);
        const int64_t start = recorder.Now();
        engine.play();
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.playState() != MediaPlayer::kPlaying; }, 15000));
        QTest::qWait(300);
        ASSERT_GT(recorder.Now(), 0) << "the recording stalls";
        const std::vector<int16_t>& left = recorder.Left();
        int64_t first = -1, last = -1, gap = 0;
        for (int64_t i = std::max<int64_t>(start, 0); i < static_cast<int64_t>(left.size()); ++i) {
            if (std::abs(left[i]) < 3000) continue;
            if (first < 0) first = i;
            last = i;
        }
        ASSERT_GE(first, 0) << "nothing was heard";
        for (int64_t i = first, run = 0; i < last; ++i) {
            run = std::abs(left[i]) < 300 ? run + 1 : 0;
            gap = std::max(gap, run);
        }
        const double heard = static_cast<double>(last - first) / kRate;
        if (attempt == 0 && (gap > kRate / 50 || std::abs(heard - 2.5) > 0.05)) continue;
        EXPECT_LE(gap, kRate / 50) << "a silence of " << gap << " samples";
        EXPECT_NEAR(heard, 2.5, 0.05);
        for (const auto& [from, to, hz] : {std::tuple{0.2, 0.8, 440.0}, {1.1, 1.4, 880.0}, {1.7, 2.3, 1320.0}}) {
            const soundcheck::Sound sound =
                soundcheck::Measure(left, first + std::llround(from * kRate), first + std::llround(to * kRate));
            EXPECT_NEAR(sound.hz, hz, hz * 0.04) << "at " << from << " s of the edited timeline";
        }
        return;
    }
}

}  // namespace
