#pragma once
// The checks that Play Selection and Save Selection run before they act, in their order, with
// their messages. The window and `trimbel cut` both go through these.
#include <optional>

#include <QString>

#include "controls/messageboxes.h"

struct CheckFailure {
    QString text;
    MsgIcon icon;
};

inline constexpr const char* kOpenFirst = "Please select a MP3 file by clicking on OPEN button";
inline constexpr const char* kEndBeforeStart = "End time is shorter than Start time.This selection is invalid";
inline constexpr const char* kStartMissing = "Please select a Starting point by clicking on Set start button";
inline constexpr const char* kEndMissing = "Please select a End point by clicking on Set end button";
inline constexpr const char* kTooShort = "Please select a greater length.This small value is of no use.";
inline constexpr const char* kWaitForLength =
    "Please wait until the track length is known (it shows beside \"Total  track time\"), then try again.";

// `start`, `end` and `length` are the texts of the start, end and length displays.
std::optional<CheckFailure> CheckPlaySelection(const QString& path, const QString& start,
                                               const QString& end, const QString& length);
std::optional<CheckFailure> CheckSaveSelection(const QString& path, const QString& start,
                                               const QString& end, const QString& length);
