#pragma once
// Wave-out volume as this program's own output loudness: the player's sink volume (0..1) is
// the left channel / 65535. Like wave-out volume on current desktops it sets this
// program's loudness, not the whole system's. The output is reached through two functions so
// this unit needs nothing of the player.
#include <functional>
#include <memory>

#include "controls/waveout.h"

class QtWaveOut : public WaveOut {
public:
    using Getter = std::function<double()>;
    using Setter = std::function<void(double)>;
    using Counter = std::function<int()>;

    // Without a getter/setter the last volume set is kept here (until an output is attached).
    QtWaveOut();
    QtWaveOut(Getter get, Setter set, Counter deviceCount = {});

    void Attach(Getter get, Setter set);

    int DeviceCount() const override;
    uint32_t GetVolume() const override;
    void SetVolume(uint32_t volumeWord) override;

    // QMediaDevices::audioOutputs().size().
    static int SystemOutputCount();

private:
    Getter get_;
    Setter set_;
    Counter count_;
    double stored_ = 1.0;
};
