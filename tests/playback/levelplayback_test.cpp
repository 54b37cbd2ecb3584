// The player's decoder thread plays an edited timeline at its level: each stretch scaled granule by
// granule by the gains a render writes into the frames, so what is heard is what "Save edited
// as..." saves. No sound device: the ring buffer is read as the sink would read it.
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "decode/decoder.h"
#include "edit/editrender.h"
#include "edit/sourcetimeline.h"
#include "playback/decoderthread.h"
#include "soundcheck.h"
#include "support/testfiles.h"

namespace {

// All the decoder thread delivers for `segments` of `mp3`, as interleaved 16-bit stereo.
std::vector<int16_t> Played(const std::string& mp3, const std::shared_ptr<const FrameTable>& table,
                            const std::vector<PlaySegment>& segments) {
    RingBuffer ring(1 << 20);
    DecoderThread thread(ring);
    auto decoder = std::make_unique<Decoder>();
    EXPECT_TRUE(decoder->Open(mp3));
    thread.Load(std::move(decoder));
    thread.SetIndex(table);
    thread.SetSegments(segments);
    ring.Reset(1, 0);
    thread.Start(1, 0);
    std::vector<int16_t> out;
    std::vector<uint8_t> buf(1 << 16);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        const RingBuffer::Taken taken = ring.Read(buf.data(), buf.size());
        const size_t at = out.size();
        out.resize(at + taken.bytes / 2);
        std::memcpy(out.data() + at, buf.data(), taken.bytes / 2 * 2);
        if (taken.ended) return out;
        if (taken.bytes == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ADD_FAILURE() << "the decoder thread did not reach the end";
    return out;
}

std::vector<int16_t> DecodedFile(const std::string& mp3) {
    Decoder decoder;
    EXPECT_TRUE(decoder.Open(mp3));
    std::vector<int16_t> out;
    std::vector<uint8_t> buf(1 << 16);
    size_t bytes = 0;
    while (decoder.Read(buf.data(), buf.size(), bytes) == Decoder::ReadStatus::Data || bytes > 0) {
        const size_t at = out.size();
        out.resize(at + bytes / 2);
        std::memcpy(out.data() + at, buf.data(), bytes / 2 * 2);
        if (bytes == 0) break;
    }
    return out;
}

double RmsDb(const std::vector<int16_t>& s, size_t from, size_t to) {
    to = std::min(to, s.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return to > from ? 10 * std::log10(sum / double(to - from) / (32768.0 * 32768.0) + 1e-30) : -300;
}

TEST(LevelPlayback, AStretchIsHeardAtTheLevelItIsSavedAt) {
    if (!soundcheck::HaveEncoders()) GTEST_SKIP() << "needs sox and lame";
    testfiles::TempDir dir;
    const std::string mp3 = dir.file("tone.mp3");
    ASSERT_TRUE(soundcheck::MakeToneMp3(mp3, 440, 6));
    auto table = std::make_shared<FrameTable>();
    ASSERT_TRUE(ScanFrames(mp3, *table));
    const int64_t n = SourceTimeline(*table).DecodedSamples();
    const std::vector<int16_t> plain = Played(mp3, table, {});
    ASSERT_EQ(static_cast<int64_t>(plain.size()), 2 * n);

    const int64_t a = 2 * 44100, b = 4 * 44100;
    const size_t g = 2 * 576;  // one granule of stereo samples
    struct Case {
        const char* what;
        SegmentLevel middle;  // of 2..4 s
        double db;            // expected change there; NAN for the fade
    } cases[] = {
        {"+2 steps", {2, 0, 0}, 2 * 1.50515},
        {"-3 steps", {-3, 0, 0}, -3 * 1.50515},
        {"-8 steps", {-8, 0, 0}, -8 * 1.50515},
        {"a fade out", {0, 0, b - a}, NAN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PlaySegment> segments = {{0, a, {}}, {a, b, c.middle}, {b, n, {}}};
        const std::vector<int16_t> heard = Played(mp3, table, segments);
        ASSERT_EQ(heard.size(), plain.size());
        int worst = 0;
        for (size_t i = 0; i < heard.size(); ++i)
            if (i + g < size_t(2 * a) || i >= size_t(2 * b) + g) worst = std::max(worst, std::abs(heard[i] - plain[i]));
        EXPECT_EQ(worst, 0) << "outside the stretch the sound is the source's, decoded straight on";

        // The same edit list saved, then decoded: the frames' gains against the player's scaling.
        EditList edits(n);
        std::vector<EditSegment> list;
        for (const PlaySegment& s : segments) list.push_back({{s.sourceStart, s.sourceEnd}, s.level});
        ASSERT_EQ(edits.SetSegments(list), EditRefusal::None);
        const std::string saved = dir.file(std::string("saved-") + std::to_string(&c - cases) + ".mp3");
        RenderPlan plan;
        std::string error;
        ASSERT_TRUE(SaveEdited(mp3, *table, edits, RenderOptions{}, saved, nullptr, {}, {}, plan, &error)) << error;
        const std::vector<int16_t> written = DecodedFile(saved);
        ASSERT_EQ(written.size(), heard.size());

        if (!std::isnan(c.db)) {
            EXPECT_NEAR(RmsDb(heard, 2 * a + g, 2 * b - g) - RmsDb(plain, 2 * a + g, 2 * b - g), c.db, 0.02);
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
