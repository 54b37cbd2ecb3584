#pragma once
// A wave-out device that keeps the volume word it is given, as the real one does.
#include "controls/waveout.h"

class FakeWaveOut : public WaveOut {
public:
    int DeviceCount() const override { return devices; }
    uint32_t GetVolume() const override { return word; }
    void SetVolume(uint32_t w) override {
        word = w;
        ++writes;
    }
    int devices = 1;
    uint32_t word = 0xFFFFFFFF;
    int writes = 0;
};
