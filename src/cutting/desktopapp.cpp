#include "cutting/desktopapp.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include "analysis/mp3.h"
#include "controls/linkopener.h"
#include "controls/messageboxes.h"
#include "controls/qtwaveout.h"
#include "cutting/form1.h"
#include "cutting/qtclock.h"
#include "cutting/qtfiledialogs.h"
#include "cutting/windowsettings.h"
#include "mpeg/framescan.h"
#include "playback/playbackengine.h"
#include "tageditor/taghandover.h"

struct DesktopWindows::Parts {
    explicit Parts(QSettings* settings)
        : dialogs(settings),
          tags(CreateTagHandOver(&messages)),
          // The volume slider sets this program's own output loudness.
          waveOut([this] { return static_cast<double>(player.OutputVolume()); },
                  [this](double volume) { player.SetOutputVolume(static_cast<float>(volume)); }) {
        Form1Parts parts;
        parts.player = &player;
        parts.dialogs = &dialogs;
        parts.messages = &messages;
        parts.clock = &clock;
        parts.tags = tags.get();
        parts.waveOut = &waveOut;
        parts.links = &links;
        parts.lengthProgress = &player;
        parts.checkFile = [](const std::string& path) {
            MP3 file;
            return file.LoadFile(path);
        };
        parts.holdsMpegAudio = [](const std::string& path) { return HoldsMpegAudio(path); };
        // Exit ends the program at once, the tag editor window included.
        parts.quit = [] { QApplication::exit(0); };
        window = std::make_unique<Form1>(parts);
        // A failing sound device is told once it happened; queued, so the box never opens inside
        // the player's own call. The next Play tries the device again.
        QObject::connect(
            &player, &PlaybackEngine::deviceFailed, window.get(),
            [this](const QString& reason) {
                messages.Show(window.get(), "The sound could not be played: " + reason + ". Play tries again.",
                              MsgIcon::Exclamation, kAppTitle);
            },
            Qt::QueuedConnection);
    }

    PlaybackEngine player;
    QtFileDialogs dialogs;
    QtMessageBoxes messages;
    QtClock clock;
    std::unique_ptr<TagHandOver> tags;
    QtWaveOut waveOut;
    DesktopLinkOpener links;
    std::unique_ptr<Form1> window;
};

DesktopWindows::DesktopWindows(QSettings* settings) : parts_(std::make_unique<Parts>(settings)) {}

DesktopWindows::~DesktopWindows() = default;

Form1& DesktopWindows::Window() { return *parts_->window; }

PlaybackEngine& DesktopWindows::Player() { return parts_->player; }

int RunDesktop(int argc, char** argv, const char* openPath) {
    // QApplication may take Qt's own options out of argv; keep the path first.
    const QString pathToOpen = openPath ? QString::fromLocal8Bit(openPath) : QString();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Trimbel");
    QApplication::setOrganizationName("Trimbel");

    // Folders, the frame-boundary box, the volume and the window's geometry between runs.
    QSettings settings;
    DesktopWindows windows(&settings);
    Form1& window = windows.Window();
    RestoreWindowSettings(window, settings);
    QObject::connect(&window, &Form1::recentFilesChanged, &window, [&window, &settings] {
        SaveRecentFiles(window, settings);
        settings.sync();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window, &settings] { SaveWindowSettings(window, settings); });
    window.show();
    if (!pathToOpen.isEmpty()) window.OpenFile(QFileInfo(pathToOpen).absoluteFilePath());
    return app.exec();
}
