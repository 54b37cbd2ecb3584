#pragma once
// The program's cutting window on a real X display (an Xvfb of the test's own), driven as a user
// drives it: keys and clicks through xdotool, into the real dialogs and message boxes, with the
// real playback engine playing into PulseAudio's null sink, whose monitor is recorded.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QWidget;

namespace desktop {

// Starts Xvfb on a display it picks itself and points DISPLAY there; false with `error` when
// there is no X server to be had.
bool StartXServer(std::string* error);
void StopXServer();

// xdotool on the test's display; false when it failed.
bool Xdo(const QStringList& arguments);
// A click of the left button at `local` of `widget` (its centre by default).
bool ClickOn(const QWidget* widget, QPoint local = QPoint(-1, -1));
// Key names as xdotool takes them ("ctrl+o", "Return", "space").
bool Keys(const QString& keys);
bool Type(const QString& text);
// Waits until the keyboard's focus is inside `window`; a display without a window manager may
// need the focus handed over as a window manager would, and gets it so.
bool KeyboardIn(QWidget* window);

// Acts on the modal windows (file dialogs, message boxes) as they come up, in order, while the
// test waits in an event loop; a modal window nobody expected is noted and closed, so a fault
// shows as a failure instead of a test that hangs.
class ModalDriver {
public:
    ModalDriver();
    ~ModalDriver();
    void Expect(std::function<void(QWidget* modal)> act);
    bool AllDone() const { return pending_.empty(); }
    // Window titles and texts of the modal windows that came up unasked.
    const QStringList& Unexpected() const { return unexpected_; }

private:
    void Look();

    static constexpr int kStuckMs = 8000;

    QTimer timer_;
    QPointer<QWidget> handled_;
    QElapsedTimer handledFor_;
    std::vector<std::function<void(QWidget*)>> pending_;
    QStringList unexpected_;
};

// A stretch of recorded sound: first and last sample of it, -1 when none.
struct Stretch {
    int64_t first = -1;
    int64_t last = -1;
};
// The sounding stretch of `samples` from `from` on, in 5 ms blocks.
Stretch SoundingStretch(const std::vector<int16_t>& samples, int64_t from);

}  // namespace desktop
