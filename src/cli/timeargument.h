#pragma once
#include <QString>

// A time given on the command line: seconds as "75.5", "1:15.5" or "1:01:15.250". False for
// anything else, a negative part included.
bool ParseTime(const QString& text, double* seconds);
