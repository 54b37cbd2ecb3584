// The sink's device: what it hands over and which file sample each handed frame came from.
#include "playback/sinkdevice.h"

#include <vector>

#include <gtest/gtest.h>

#include "playback/pcm.h"

namespace {

constexpr int kFrame = pcm::kBytesPerFrame;

class Device : public ::testing::Test {
protected:
    void Fill(size_t frames) {
        std::vector<uint8_t> pcm(frames * kFrame, 0x11);
        ASSERT_EQ(ring.Write(1, pcm.data(), pcm.size()), pcm.size());
    }
    qint64 Pull(qint64 frames) {
        std::vector<char> out(frames * kFrame);
        return device.read(out.data(), out.size()) / kFrame;
    }
    RingBuffer ring{1 << 16};
    SinkDevice device{ring};
};

TEST_F(Device, SilenceWhileTheDecoderLagsHoldsThePosition) {
    ring.Reset(1, 1000);
    device.Begin(1000);
    // Nothing decoded yet: a little silence, heard as the start sample.
    const qint64 silent = Pull(4000);
    EXPECT_GT(silent, 0);
    EXPECT_LT(silent, 4000);
    Fill(300);
    EXPECT_EQ(Pull(4000), 300);
    EXPECT_EQ(Pull(4000), silent);  // dry again
    Fill(100);
    EXPECT_EQ(Pull(50), 50);
    EXPECT_EQ(device.HandedFrames(), 2 * silent + 350);

    EXPECT_EQ(device.SampleAt(0), 1000);
    EXPECT_EQ(device.SampleAt(silent - 1), 1000);
    EXPECT_EQ(device.SampleAt(silent), 1000);
    EXPECT_EQ(device.SampleAt(silent + 299), 1299);
    EXPECT_EQ(device.SampleAt(silent + 300), 1300);
    EXPECT_EQ(device.SampleAt(2 * silent + 300), 1300);
    EXPECT_EQ(device.SampleAt(2 * silent + 310), 1310);
    // Never beyond what was handed over.
    EXPECT_EQ(device.SampleAt(1 << 30), 1350);
}

TEST_F(Device, TheEndIsReachedWhenEverythingHandedIsHeard) {
    ring.Reset(1, 0);
    device.Begin(0);
    Fill(200);
    ring.MarkEnd(1);
    EXPECT_EQ(Pull(150), 150);
    EXPECT_EQ(Pull(150), 50);
    EXPECT_EQ(Pull(150), 0);  // no silence after the end
    EXPECT_FALSE(device.EndedBy(199));
    EXPECT_TRUE(device.EndedBy(200));
    // A new run forgets the end.
    ring.Reset(2, 40);
    device.Begin(40);
    EXPECT_FALSE(device.EndedBy(1 << 20));
    EXPECT_EQ(device.SampleAt(0), 40);
}

TEST_F(Device, AStopSampleEndsTheRunRightBeforeIt) {
    ring.Reset(1, 5000);
    device.Begin(5000);
    device.SetStopSample(5250);
    Fill(400);
    EXPECT_EQ(Pull(100), 100);
    EXPECT_EQ(Pull(400), 150) << "only up to the stop sample";
    EXPECT_EQ(Pull(400), 0) << "and no silence after it";
    EXPECT_TRUE(device.StoppedAtSample());
    EXPECT_FALSE(device.EndedBy(249));
    EXPECT_TRUE(device.EndedBy(250));
    EXPECT_EQ(device.SampleAt(250), 5250);
    // A stop at the start sample hands over nothing; a new run forgets the stop.
    ring.Reset(2, 800);
    device.Begin(800);
    EXPECT_FALSE(device.StoppedAtSample());
    device.SetStopSample(800);
    Fill(0);
    std::vector<uint8_t> pcm(10 * kFrame, 0x22);
    ASSERT_EQ(ring.Write(2, pcm.data(), pcm.size()), pcm.size());
    EXPECT_EQ(Pull(10), 0);
    EXPECT_TRUE(device.EndedBy(0));
}

}  // namespace
