#pragma once
// The wave-out volume of the first output device: a 32-bit word with the left channel in the
// low 16 bits and the right channel in the high 16 bits, each 0..65535.
#include <cstdint>

class WaveOut {
public:
    virtual ~WaveOut() = default;
    virtual int DeviceCount() const = 0;
    virtual uint32_t GetVolume() const = 0;
    virtual void SetVolume(uint32_t volumeWord) = 0;
};
