#pragma once
// Builds the Qt application, the windows and their platform adapters, and runs the event loop.
#include <memory>

#include <QString>

class Form1;
class PlaybackEngine;
class QSettings;

// The program's cutting window with the platform pieces it runs with: the playback engine, the
// file dialogs, message boxes, clock, tag editor, volume and links. Needs a QApplication;
// `settings` may be null (nothing remembered).
class DesktopWindows {
public:
    explicit DesktopWindows(QSettings* settings);
    ~DesktopWindows();
    DesktopWindows(const DesktopWindows&) = delete;
    DesktopWindows& operator=(const DesktopWindows&) = delete;

    Form1& Window();
    PlaybackEngine& Player();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// `openPath`, when given, is opened in the cutting window as Open does after its dialog.
int RunDesktop(int argc, char** argv, const char* openPath = nullptr);
