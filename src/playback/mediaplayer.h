#pragma once
// The embedded player as the cutting window sees it. The window never gets notifications from
// it: it polls position and duration in its timer ticks.
#include <cstdint>
#include <vector>

#include <QString>

#include "playback/segmentcursor.h"

class MediaPlayer {
public:
    // playState values; any value other than kPlaying counts as not playing.
    static constexpr int kStopped = 1;
    static constexpr int kPaused = 2;
    static constexpr int kPlaying = 3;

    virtual ~MediaPlayer() = default;
    // Setting the URL loads the file and starts playing it.
    virtual void setURL(const QString& path) = 0;
    virtual QString URL() const = 0;
    virtual int playState() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    // Seconds from the start of the file; -1 when there is no position.
    virtual double currentPosition() const = 0;
    virtual void setCurrentPosition(double seconds) = 0;
    // Length of the loaded file in seconds; 0 or less until it is known.
    virtual double duration() const = 0;

    // The sample being heard, counted from the first decoded sample of the file (encoder delay
    // and padding removed); -1 when there is no position. Players that only know seconds
    // derive it from currentPosition.
    virtual int64_t positionSamples() const {
        const double seconds = currentPosition();
        const int rate = sampleRate();
        if (seconds < 0 || rate <= 0) return -1;
        return static_cast<int64_t>(seconds * rate + 0.5);
    }
    // Samples per second of the loaded file; 0 when unknown.
    virtual int sampleRate() const { return 0; }
    // Seeks to one sample exactly where the player can; others round through seconds.
    virtual void setPositionSamples(int64_t sample) {
        const int rate = sampleRate();
        if (rate > 0) setCurrentPosition(static_cast<double>(sample) / rate);
    }
    // The next play ends at `sample`, paused there, its last sound the sample before it; a seek,
    // pause, stop or new file forgets it. False when the player cannot: the caller then watches
    // the position and pauses it itself.
    virtual bool setEndSample(int64_t sample) {
        (void)sample;
        return false;
    }
    // Plays only these stretches of the loaded file, one straight after the other (empty: all of
    // it, as a new file starts); from then on positions, seeks and the duration count in their
    // output. The position is kept as a number; the caller seeks where it wants to be. False when
    // the player cannot.
    virtual bool setSegments(const std::vector<PlaySegment>& segments) {
        (void)segments;
        return false;
    }
};
