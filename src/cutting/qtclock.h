#pragma once
#include "cutting/clock.h"

class QtClock : public Clock {
public:
    QString GeneralDateTime() const override;
};
