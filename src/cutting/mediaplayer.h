#pragma once
// The embedded player as the cutting window sees it. The window never gets notifications from
// it: it polls position and duration in its timer ticks.
#include <QString>

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
};
