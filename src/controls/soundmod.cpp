#include "controls/soundmod.h"

#include "controls/waveout.h"
#include "mpeg/rounding.h"

namespace SoundMod {

int32_t GetWaveVolumeLevel(const WaveOut& waveOut) {
    if (waveOut.DeviceCount() <= 0) {
        return 0;
    }
    const uint32_t left = waveOut.GetVolume() & 0xFFFFu;
    return RoundHalfEvenToInt32(left / kUnitsPerLevel);
}

void SetWaveVolumeLevel(WaveOut& waveOut, int16_t level) {
    if (waveOut.DeviceCount() <= 0) {
        return;
    }
    int32_t units = RoundHalfEvenToInt32(level * kUnitsPerLevel);
    if (units < 0 || units > 0xFFFF) {
        units = 0;
    }
    const uint32_t channel = static_cast<uint32_t>(units);
    waveOut.SetVolume(channel | (channel << 16));
}

}  // namespace SoundMod
