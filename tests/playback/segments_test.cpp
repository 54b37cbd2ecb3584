// Playing an edited timeline: the cursor's arithmetic, and the decoder thread delivering exactly
// the listed stretches of the source one after the other, from any start, with no sample lost or
// repeated at a join.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "decode/decoder.h"
#include "playback/pcm.h"
#include "playback/decoderthread.h"
#include "playback/ringbuffer.h"
#include "playback/segmentcursor.h"
#include "soundcheck.h"
#include "support/testfiles.h"

namespace {

TEST(SegmentCursor, MapsOutputSamplesToTheStretchesAndStepsAcrossThem) {
    SegmentCursor cursor;
    EXPECT_TRUE(cursor.Whole());
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
    cursor.Seek(90);
    cursor.Advance(10);
    EXPECT_EQ(cursor.Remaining(), 0);
    EXPECT_EQ(cursor.Next(), 1000);
    EXPECT_EQ(cursor.Remaining(), 50);
    cursor.Advance(50);
    EXPECT_EQ(cursor.Next(), 2000);
    cursor.Advance(300);
    EXPECT_EQ(cursor.Next(), -1);
    EXPECT_EQ(cursor.Remaining(), 0);
}

std::vector<uint8_t> DecodeWhole(const std::string& path) {
    Decoder decoder;
    EXPECT_TRUE(decoder.Open(path)) << decoder.Error();
    std::vector<uint8_t> pcm, chunk(4096);
    size_t got = 0;
    while (decoder.Read(chunk.data(), chunk.size(), got) == Decoder::ReadStatus::Data)
        pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + got);
    return pcm;
}

// Everything the thread writes for one run, until it marks the end (deadline 20 s).
std::vector<uint8_t> Drain(RingBuffer& ring) {
    std::vector<uint8_t> out, chunk(16384);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const RingBuffer::Taken taken = ring.Read(chunk.data(), chunk.size());
        out.insert(out.end(), chunk.begin(), chunk.begin() + taken.bytes);
        if (taken.ended) return out;
        if (taken.bytes == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ADD_FAILURE() << "the run never ended";
    return out;
}

TEST(DecoderThreadSegments, DeliversTheStretchesBackToBackAtTheSample) {
    if (!soundcheck::HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    const std::string wav = dir.file("sweep.wav"), mp3 = dir.file("sweep.mp3");
    // A sweep: no two stretches of it sound alike, so a sample out of place shows.
    ASSERT_TRUE(soundcheck::Run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", QString::fromStdString(wav),
                                        "synth", "3", "sine", "200-3000", "vol", "0.5"}));
    ASSERT_TRUE(soundcheck::Run("lame", {"--quiet", "-b", "128", QString::fromStdString(wav), QString::fromStdString(mp3)}));
    const std::vector<uint8_t> source = DecodeWhole(mp3);
    ASSERT_EQ(source.size(), 3u * 44100 * pcm::kBytesPerFrame);

    const std::vector<PlaySegment> segments = {{1000, 30000}, {50000, 50001}, {70123, 100000}, {120000, 132300}};
    std::vector<uint8_t> expected;
    for (const PlaySegment& s : segments)
        expected.insert(expected.end(), source.begin() + s.sourceStart * pcm::kBytesPerFrame,
                        source.begin() + s.sourceEnd * pcm::kBytesPerFrame);

    RingBuffer ring(4 * 1024 * 1024);
    DecoderThread thread(ring);
    auto decoder = std::make_unique<Decoder>();
    ASSERT_TRUE(decoder->Open(mp3));
    thread.Load(std::move(decoder));
    thread.SetSegments(segments);
    uint64_t generation = 0;
    // From the start, from inside the first stretch, from the one-sample stretch, from the last.
    for (const int64_t start : {int64_t{0}, int64_t{28999}, int64_t{29000}, int64_t{29001 + 29877 + 5}}) {
        ring.Reset(++generation, start);
        thread.Start(generation, start);
        const std::vector<uint8_t> heard = Drain(ring);
        const std::vector<uint8_t> wanted(expected.begin() + start * pcm::kBytesPerFrame, expected.end());
        ASSERT_EQ(heard.size(), wanted.size()) << "from " << start;
        EXPECT_TRUE(heard == wanted) << "from " << start;
    }

    // Back to the whole file.
    thread.SetSegments({});
    ring.Reset(++generation, 131000);
    thread.Start(generation, 131000);
    const std::vector<uint8_t> tail = Drain(ring);
    EXPECT_TRUE(tail == std::vector<uint8_t>(source.begin() + 131000 * pcm::kBytesPerFrame, source.end()));
}

}  // namespace
