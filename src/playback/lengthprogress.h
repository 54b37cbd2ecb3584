#pragma once
// Optional seam beside MediaPlayer: a player that measures the exact length of the file in the
// background tells the window how far it got, so a long measurement can be shown.
class LengthProgress {
public:
    virtual ~LengthProgress() = default;
    // Share of the current file's measurement done, 0..1; negative when none is running.
    virtual double LengthScanProgress() const = 0;
};
