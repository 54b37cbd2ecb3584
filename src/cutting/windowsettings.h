#pragma once
// What the cutting window remembers between runs besides the dialogs' folders: the frame-boundary
// box, the volume slider, the window's place and size, and the files opened lately. Restored before the window is shown,
// saved when the program ends.
class Form1;
class QSettings;

namespace windowsettings {
inline constexpr const char* kFrameBoundaries = "cut/frameBoundaries";
inline constexpr const char* kVolume = "volume/level";
inline constexpr const char* kGeometry = "window/geometry";
inline constexpr const char* kRecentFiles = "recent/files";
}  // namespace windowsettings

// Values missing from the settings (the first run) leave the window's own defaults.
void RestoreWindowSettings(Form1& window, const QSettings& settings);
void SaveWindowSettings(const Form1& window, QSettings& settings);
// The recent list alone, saved as soon as it changes so a crash does not lose it.
void SaveRecentFiles(const Form1& window, QSettings& settings);
