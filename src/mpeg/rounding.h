#pragma once
// Rounding to the nearest integer with exact halves going to the even neighbour (2.5 -> 2,
// 3.5 -> 4), as every displayed and computed whole number of the program is rounded.
#include <cstdint>

double RoundHalfEven(double value);
// RoundHalfEven, then clamped into the 32-bit signed range (NaN gives 0).
int32_t RoundHalfEvenToInt32(double value);
// RoundHalfEven, then clamped into the 64-bit signed range (NaN gives 0).
int64_t RoundHalfEvenToInt64(double value);
