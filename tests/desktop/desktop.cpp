#include "desktop.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include "playback/soundcheck.h"

namespace desktop {

namespace {

pid_t serverPid = -1;

}  // namespace

bool StartXServer(std::string* error) {
    int fds[2];
    if (::pipe(fds) != 0) {
        *error = "no pipe";
        return false;
    }
    serverPid = ::fork();
    if (serverPid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (serverPid < 0) {
        ::close(fds[0]);
        *error = "cannot start Xvfb";
        return false;
    }
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (::poll(&wait, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) {
        StopXServer();
        *error = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

void StopXServer() {
    if (serverPid <= 0) return;
    ::kill(serverPid, SIGTERM);
    ::waitpid(serverPid, nullptr, 0);
    serverPid = -1;
}

bool Xdo(const QStringList& arguments) {
    // With --sync xdotool waits for the X server to show the change; one that never comes fails
    // the step instead of holding the whole run.
    QProcess xdo;
    xdo.start("xdotool", arguments);
    const bool finished = xdo.waitForFinished(15000);
    if (!finished) {
        xdo.kill();
        xdo.waitForFinished();
    }
    const bool ok = finished && xdo.exitStatus() == QProcess::NormalExit && xdo.exitCode() == 0;
    if (!ok) std::fprintf(stderr, "xdotool %s failed\n", qPrintable(arguments.join(' ')));
    return ok;
}

bool ClickOn(const QWidget* widget, QPoint local) {
    if (local == QPoint(-1, -1)) local = widget->rect().center();
    const QPoint at = widget->mapToGlobal(local);
    return Xdo({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

bool Keys(const QString& keys) { return Xdo({"key", "--clearmodifiers", keys}); }

bool Type(const QString& text) { return Xdo({"type", "--delay", "8", text}); }

bool KeyboardIn(QWidget* window) {
    const auto inside = [window] {
        const QWidget* focus = QApplication::focusWidget();
        return focus && (focus == window || window->isAncestorOf(focus));
    };
    if (QTest::qWaitFor(inside, 1000)) return true;
    Xdo({"windowfocus", "--sync", QString::number(window->winId())});
    return QTest::qWaitFor(inside, 5000);
}

ModalDriver::ModalDriver() {
    timer_.setInterval(30);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
    timer_.start();
}

ModalDriver::~ModalDriver() { timer_.stop(); }

void ModalDriver::Expect(std::function<void(QWidget*)> act) { pending_.push_back(std::move(act)); }

void ModalDriver::Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (modal == handled_) {
        // A window the test's action did not close in time: closed here, so the test goes on
        // to fail instead of waiting for ever.
        if (handledFor_.elapsed() < kStuckMs) return;
        unexpected_ << "still open: " + modal->windowTitle();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        else modal->close();
        return;
    }
    handled_ = modal;
    handledFor_.start();
    if (pending_.empty()) {
        QString text = modal->windowTitle();
        for (const QLabel* label : modal->findChildren<QLabel*>()) text += " | " + label->text();
        unexpected_ << text;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        else modal->close();
        return;
    }
    auto act = std::move(pending_.front());
    pending_.erase(pending_.begin());
    act(modal);
}

Stretch SoundingStretch(const std::vector<int16_t>& samples, int64_t from) {
    constexpr int64_t kBlock = soundcheck::kRate / 200;
    constexpr double kSounding = 1000;
    Stretch stretch;
    for (int64_t block = std::max<int64_t>(0, from); block + kBlock <= static_cast<int64_t>(samples.size());
         block += kBlock) {
        if (soundcheck::Level(samples, block, block + kBlock) < kSounding) continue;
        if (stretch.first < 0) {
            // The first sounding sample inside the block.
            stretch.first = block;
            while (stretch.first < block + kBlock && std::abs(samples[stretch.first]) < 300) ++stretch.first;
        }
        stretch.last = block + kBlock - 1;
        while (stretch.last > block && std::abs(samples[stretch.last]) < 300) --stretch.last;
    }
    return stretch;
}

}  // namespace desktop
