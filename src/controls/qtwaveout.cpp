#include "controls/qtwaveout.h"

#include <algorithm>
#include <cmath>

#include <QAudioDevice>
#include <QMediaDevices>

#include "mpeg/rounding.h"

QtWaveOut::QtWaveOut() : count_(&QtWaveOut::SystemOutputCount) {}

QtWaveOut::QtWaveOut(Getter get, Setter set, Counter deviceCount)
    : get_(std::move(get)), set_(std::move(set)), count_(std::move(deviceCount)) {
    if (!count_) {
        count_ = &QtWaveOut::SystemOutputCount;
    }
}

void QtWaveOut::Attach(Getter get, Setter set) {
    get_ = std::move(get);
    set_ = std::move(set);
}

int QtWaveOut::SystemOutputCount() {
    return static_cast<int>(QMediaDevices::audioOutputs().size());
}

int QtWaveOut::DeviceCount() const { return count_ ? count_() : 0; }

uint32_t QtWaveOut::GetVolume() const {
    const double volume = std::clamp(get_ ? get_() : stored_, 0.0, 1.0);
    const auto channel = static_cast<uint32_t>(RoundHalfEvenToInt32(volume * 65535.0));
    return channel | (channel << 16);
}

void QtWaveOut::SetVolume(uint32_t volumeWord) {
    stored_ = (volumeWord & 0xFFFFu) / 65535.0;
    if (set_) {
        set_(stored_);
    }
}
