#include "playback/playclock.h"

#include <QAudioSink>

void PlayClock::StartSink(const QAudioSink* sink, int rate) {
    sink_ = sink;
    rate_ = rate;
    real_.invalidate();
}

void PlayClock::StartReal(int rate) {
    sink_ = nullptr;
    rate_ = rate;
    real_.start();
}

void PlayClock::Stop() {
    sink_ = nullptr;
    real_.invalidate();
}

int64_t PlayClock::Frames() const {
    if (sink_) return sink_->processedUSecs() * rate_ / 1000000;
    if (real_.isValid()) return real_.nsecsElapsed() * rate_ / 1000000000;
    return 0;
}
