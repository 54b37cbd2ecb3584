#pragma once
// What the player's decoder writes and the sink plays: interleaved 16-bit stereo.
namespace pcm {
constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;
}  // namespace pcm
