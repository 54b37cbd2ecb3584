// The ring between the decoder thread and the sink: stale generations, wrap-around, the end.
#include "playback/ringbuffer.h"

#include <numeric>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Counting(size_t size, uint8_t first = 0) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

TEST(RingBuffer, WritesOfAnOlderGenerationAreDropped) {
    RingBuffer ring(64);
    ring.Reset(1, 0);
    const auto data = Counting(16);
    EXPECT_EQ(ring.Write(1, data.data(), data.size()), 16u);
    ring.Reset(2, 1000);
    // The decoder still finishing a chunk for generation 1 after the seek.
    EXPECT_EQ(ring.Write(1, data.data(), data.size()), 0u);
    EXPECT_EQ(ring.FreeSpace(1), 0u);
    std::vector<uint8_t> out(64);
    RingBuffer::Taken taken = ring.Read(out.data(), out.size());
    EXPECT_EQ(taken.bytes, 0u);
    EXPECT_EQ(taken.firstSample, 1000);
    EXPECT_FALSE(taken.ended);
}

TEST(RingBuffer, KeepsOrderAcrossTheWrapAndCountsSamples) {
    RingBuffer ring(40);
    ring.Reset(7, 500);
    const auto a = Counting(32);
    ASSERT_EQ(ring.Write(7, a.data(), a.size()), 32u);
    // Only whole stereo frames fit: 8 bytes free, 12 offered.
    const auto b = Counting(12, 32);
    EXPECT_EQ(ring.Write(7, b.data(), b.size()), 8u);
    std::vector<uint8_t> out(24);
    RingBuffer::Taken first = ring.Read(out.data(), 24);
    EXPECT_EQ(first.bytes, 24u);
    EXPECT_EQ(first.firstSample, 500);
    EXPECT_EQ(out, Counting(24));
    // This write wraps around the end of the storage.
    const auto c = Counting(20, 40);
    EXPECT_EQ(ring.Write(7, c.data(), c.size()), 20u);
    std::vector<uint8_t> rest(64);
    RingBuffer::Taken second = ring.Read(rest.data(), 64);
    EXPECT_EQ(second.firstSample, 506);
    ASSERT_EQ(second.bytes, 36u);
    rest.resize(36);
    EXPECT_EQ(rest, Counting(36, 24));
}

TEST(RingBuffer, TheEndShowsOnlyOnceEverythingIsRead) {
    RingBuffer ring(64);
    ring.Reset(3, 0);
    const auto data = Counting(8);
    ring.Write(3, data.data(), data.size());
    ring.MarkEnd(2);  // an older generation's end means nothing
    std::vector<uint8_t> out(4);
    EXPECT_FALSE(ring.Read(out.data(), 4).ended);
    ring.MarkEnd(3);
    EXPECT_EQ(ring.Write(3, data.data(), data.size()), 0u);
    RingBuffer::Taken last = ring.Read(out.data(), 4);
    EXPECT_EQ(last.bytes, 4u);
    EXPECT_TRUE(last.ended);
}

}  // namespace
