#pragma once
#include <QString>

// The local date and time as the system's general text: short date, a blank, long time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QString GeneralDateTime() const = 0;
};
