#pragma once
// The cutting window's messages for selections it refuses, in the window's own words.

inline constexpr const char* kOpenFirst = "Please select a MP3 file by clicking on OPEN button";
inline constexpr const char* kEndBeforeStart = "End time is shorter than Start time.This selection is invalid";
inline constexpr const char* kStartMissing = "Please select a Starting point by clicking on Set start button";
inline constexpr const char* kEndMissing = "Please select a End point by clicking on Set end button";
inline constexpr const char* kTooShort = "Please select a greater length.This small value is of no use.";
inline constexpr const char* kStartFirst =
    "You need to start the selection process.First start marking by clicking on Set Start button.Then click "
    "on set end button button";
inline constexpr const char* kWaitForLength =
    "Please wait until the track length is known (it shows beside \"Total  track time\"), then try again.";
// The command line's words for a file the window refuses with kNoMpegAudio.
inline constexpr const char* kNoMpegAudioFound = "This file has no MPEG audio to cut.";
inline constexpr const char* kNoMpegAudio =
    "This file has no MPEG audio to cut. Please open an MP3 file by clicking on OPEN button.";
inline constexpr const char* kTypeATime = "Please type the time of the mark as mm:ss.mmm, for example 01:02.500.";
inline constexpr const char* kFileFirst = "Please select a file first by clicking on OPEN button";
inline constexpr const char* kClipSaved = "MP3 clip saved.";
inline constexpr const char* kNothingLeft =
    "Cutting out the whole recording would leave nothing to play. Please select less.";
inline constexpr const char* kSelectionAcrossJoin =
    "The selection runs across an edit. Use Keep only selection, then Save edited as..., to save it.";
inline constexpr const char* kEditedOverSource =
    "The edited file cannot replace the file it is cut from. Please choose another name.";
inline constexpr const char* kNoEdits =
    "Nothing has been cut out yet. Select a stretch and press Delete (or Keep only selection), then save.";
inline constexpr const char* kEditedSaved = "Edited file saved.";
inline constexpr const char* kFadeAcrossJoin =
    "A fade runs within one kept stretch. Please select a stretch that does not cross an edit.";
