#pragma once
// Volume levels (0..41 in normal use, 1560.35 wave-out units per level) to and from the
// wave-out volume word.
#include <cstdint>

class WaveOut;

namespace SoundMod {

inline constexpr double kUnitsPerLevel = 1560.35;

// The left channel of the first device as a level; 0 without a device.
int32_t GetWaveVolumeLevel(const WaveOut& waveOut);
// Both channels set to the level; a level whose units fall outside 0..65535 sets silence.
// Nothing happens without a device.
void SetWaveVolumeLevel(WaveOut& waveOut, int16_t level);

}  // namespace SoundMod
