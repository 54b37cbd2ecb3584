// The decoder thread playing an edited timeline: the cursor's arithmetic; exactly the listed
// stretches of the source one after the other, from any start, with no sample lost or repeated at a
// join; and each stretch at the level a render writes into its frames, so what is heard is what
// "Save edited as..." saves. No sound device: the ring buffer is read as the sink would read it.
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "decode/decoder.h"
#include "edit/editrender.h"
#include "edit/sourcetimeline.h"
#include "playback/decoderthread.h"
#include "playback/segmentcursor.h"
#include "soundcheck.h"
#include "support/testfiles.h"

namespace {

using Samples = std::vector<int16_t>;

// How the thread steps from stretch to stretch is checked by what it delivers, below.
TEST(SegmentCursor, MapsOutputSamplesToTheStretches) {
    SegmentCursor cursor;
    EXPECT_EQ(cursor.Seek(1234), 1234) << "no stretches: the source itself";
    EXPECT_EQ(cursor.Length(), -1);
    cursor.SetSegments({{100, 200}, {500, 500}, {1000, 1050}, {2000, 2300}});
    EXPECT_EQ(cursor.Length(), 100 + 50 + 300) << "an empty stretch counts for nothing";
    struct Case {
        int64_t output, source, remaining;
    };
    for (const Case c : {Case{0, 100, 100}, Case{99, 199, 1}, Case{100, 1000, 50}, Case{149, 1049, 1},
                         Case{150, 2000, 300}, Case{449, 2299, 1}, Case{450, -1, 0}, Case{-5, 100, 100}}) {
        EXPECT_EQ(cursor.Seek(c.output), c.source) << c.output;
        EXPECT_EQ(cursor.Remaining(), c.remaining) << c.output;
    }
}

Samples Decoded(const std::string& mp3) {
    Decoder decoder;
    EXPECT_TRUE(decoder.Open(mp3)) << decoder.Error();
    Samples out;
    std::vector<uint8_t> chunk(1 << 16);
    Decoder::ReadStatus status;
    do {
        size_t got = 0;
        status = decoder.Read(chunk.data(), chunk.size(), got);
        out.resize(out.size() + got / 2);
        std::memcpy(out.data() + out.size() - got / 2, chunk.data(), got / 2 * 2);
    } while (status == Decoder::ReadStatus::Data);
    return out;
}

// A sweep of 6 s: no two stretches of it sound alike, so a sample out of place shows.
class DecoderThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!soundcheck::HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
        const QString wav = QString::fromStdString(dir.file("sweep.wav"));
        ASSERT_TRUE(soundcheck::Run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "6", "sine",
                                            "200-3000", "vol", "0.5"}));
        ASSERT_TRUE(soundcheck::Run("lame", {"--quiet", "-b", "128", wav, QString::fromStdString(mp3)}));
        ASSERT_TRUE(ScanFrames(mp3, *table));
        source = Decoded(mp3);
        ASSERT_EQ(source.size(), 2u * 6 * 44100);
    }
    // Everything the thread delivers for one run from output sample `start` (deadline 30 s).
    Samples Played(const std::vector<PlaySegment>& segments, int64_t start = 0) {
        thread.SetSegments(segments);
        ring.Reset(++generation, start);
        thread.Start(generation, start);
        Samples out;
        std::vector<uint8_t> chunk(1 << 16);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            const RingBuffer::Taken taken = ring.Read(chunk.data(), chunk.size());
            out.resize(out.size() + taken.bytes / 2);
            std::memcpy(out.data() + out.size() - taken.bytes / 2, chunk.data(), taken.bytes / 2 * 2);
            if (taken.ended) return out;
            if (taken.bytes == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the run never ended";
        return out;
    }
    void Load() {
        auto decoder = std::make_unique<Decoder>();
        ASSERT_TRUE(decoder->Open(mp3));
        thread.Load(std::move(decoder));
        thread.SetIndex(table);
    }

    testfiles::TempDir dir;
    const std::string mp3 = dir.file("sweep.mp3");
    std::shared_ptr<FrameTable> table = std::make_shared<FrameTable>();
    Samples source;
    RingBuffer ring{4 * 1024 * 1024};
    DecoderThread thread{ring};
    uint64_t generation = 0;
};

TEST_F(DecoderThreadTest, DeliversTheStretchesBackToBackAtTheSample) {
    Load();
    const std::vector<PlaySegment> segments = {{1000, 30000}, {50000, 50001}, {70123, 100000}, {120000, 132300}};
    Samples expected;
    for (const PlaySegment& s : segments)
        expected.insert(expected.end(), source.begin() + 2 * s.sourceStart, source.begin() + 2 * s.sourceEnd);
    // From the start, from inside the first stretch, from the one-sample stretch, from the last.
    for (const int64_t start : {int64_t{0}, int64_t{28999}, int64_t{29000}, int64_t{29001 + 29877 + 5}}) {
        const Samples heard = Played(segments, start);
        ASSERT_EQ(heard.size(), expected.size() - 2 * start) << "from " << start;
        EXPECT_TRUE(std::equal(heard.begin(), heard.end(), expected.begin() + 2 * start)) << "from " << start;
    }
    // Back to the whole file.
    const Samples tail = Played({}, 131000);
    EXPECT_TRUE(tail == Samples(source.begin() + 2 * 131000, source.end()));
}

double RmsDb(const Samples& s, size_t from, size_t to) {
    to = std::min(to, s.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return to > from ? 10 * std::log10(sum / double(to - from) / (32768.0 * 32768.0) + 1e-30) : -300;
}

TEST_F(DecoderThreadTest, AStretchIsHeardAtTheLevelItIsSavedAt) {
    Load();
    const int64_t n = SourceTimeline(*table).DecodedSamples();
    const int64_t a = 2 * 44100, b = 4 * 44100;
    const size_t g = 2 * 576;  // one granule of stereo samples
    struct Case {
        const char* what;
        SegmentLevel middle;  // of 2..4 s
        double db;            // expected change there; NAN for the fade
    } cases[] = {
        {"+2 steps", {2, 0, 0}, 2 * 1.50515},
        {"-8 steps", {-8, 0, 0}, -8 * 1.50515},
        {"a fade out", {0, 0, b - a}, NAN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PlaySegment> segments = {{0, a, {}}, {a, b, c.middle}, {b, n, {}}};
        const Samples heard = Played(segments);
        ASSERT_EQ(heard.size(), source.size());
        int worst = 0;
        for (size_t i = 0; i < heard.size(); ++i)
            if (i + g < size_t(2 * a) || i >= size_t(2 * b) + g) worst = std::max(worst, std::abs(heard[i] - source[i]));
        EXPECT_EQ(worst, 0) << "outside the stretch the sound is the source's, decoded straight on";

        // The same edit list saved, then decoded: the frames' gains against the player's scaling.
        EditList edits(n);
        std::vector<EditSegment> list;
        for (const PlaySegment& s : segments) list.push_back({{s.sourceStart, s.sourceEnd}, s.level});
        ASSERT_EQ(edits.SetSegments(list), EditRefusal::None);
        const std::string saved = dir.file("saved.mp3");
        RenderPlan plan;
        std::string error;
        ASSERT_TRUE(SaveEdited(mp3, *table, edits, RenderOptions{}, saved, nullptr, {}, {}, plan, &error)) << error;
        const Samples written = Decoded(saved);
        ASSERT_EQ(written.size(), heard.size());

        if (!std::isnan(c.db)) {
            EXPECT_NEAR(RmsDb(heard, 2 * a + g, 2 * b - g) - RmsDb(source, 2 * a + g, 2 * b - g), c.db, 0.02);
            EXPECT_NEAR(RmsDb(heard, 2 * a + g, 2 * b - g), RmsDb(written, 2 * a + g, 2 * b - g), 0.05);
            continue;
        }
        // The fade falls as the saved one does, a block of ten granules at a time, to silence.
        double last = 0;
        for (size_t from = 2 * a; from + 10 * g <= size_t(2 * b); from += 10 * g) {
            const double level = RmsDb(heard, from, from + 10 * g);
            EXPECT_LT(level, last) << "at sample " << from / 2;
            EXPECT_NEAR(level, RmsDb(written, from, from + 10 * g), 1.5) << "at sample " << from / 2;
            last = level;
        }
        EXPECT_LT(RmsDb(heard, 2 * b - 6 * g, 2 * b - 2 * g), -70.0);
    }
}

}  // namespace
