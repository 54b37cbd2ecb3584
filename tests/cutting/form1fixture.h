#pragma once
// The cutting window built with fakes, shown offscreen, and the steps its tests share.
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "cutting/form1.h"
#include "cuttingfakes.h"
#include "mpeg/framescan.h"
#include "support/fakemessageboxes.h"
#include "support/testfiles.h"

using testfiles::Bytes;

inline const QString kPadding(129, QLatin1Char(' '));

inline Bytes PatternBytes(size_t size) {
    std::mt19937 rng(1234);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

class Form1Test : public ::testing::Test {
protected:
    Form1Test() {
        TestApp();
        source = dir.file("song.mp3");
        // MPEG frames first, so the window takes the file; byte ranges are compared as bytes.
        sourceBytes = testfiles::Concat({testfiles::SilentFrames(380), PatternBytes(160000 - 380 * 417)});
        testfiles::WriteFile(source, sourceBytes);
        parts.player = &player;
        parts.dialogs = &dialogs;
        parts.messages = &messages;
        parts.clock = &clock;
        parts.tags = &tags;
        parts.waveOut = &waveOut;
        parts.links = &links;
        parts.checkFile = [this](const std::string& path) {
            checked.push_back(path);
            return checkResult;
        };
        parts.holdsMpegAudio = [this](const std::string& path) { return anyFile || HoldsMpegAudio(path); };
        parts.quit = [this] { ++quits; };
        form = std::make_unique<Form1>(parts);
        form->show();
    }

    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Open a file and let the duration tick derive its rate (16000 bytes per second here).
    void OpenTimed(const std::string& path, double duration = 10) {
        dialogs.opens.push_back({QString::fromStdString(path),
                                 QFileInfo(QString::fromStdString(path)).fileName()});
        Click(form->CandyButton1);
        player.durationSeconds = duration;
        form->Timer6_Timer();
    }

    // Position follow at `seconds`, then a click on `button`.
    void At(double seconds, QAbstractButton* button) {
        player.position = seconds;
        form->Timer1_Timer();
        Click(button);
    }

    void MarkSelection(double start, double end) {
        At(start, form->CandyButton3);
        At(end, form->CandyButton4);
    }

    // Made the active window, as keys need it.
    void Activate() {
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // Once the window is active again (after a message box, say), as a user's key would be.
    void Key(QKeyCombination key) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), key.key(), key.keyboardModifiers());
    }

    // The item whose text, without its & marks, is `text` in the menu `menu` or its submenus.
    QAction* MenuItem(const QString& menu, const QString& text) {
        std::vector<QMenu*> open;
        for (QAction* top : form->MenuBar1->actions())
            if (top->text().remove('&') == menu && top->menu()) open.push_back(top->menu());
        while (!open.empty()) {
            QMenu* m = open.back();
            open.pop_back();
            for (QAction* action : m->actions()) {
                if (action->text().remove('&') == text) return action;
                if (action->menu()) open.push_back(action->menu());
            }
        }
        ADD_FAILURE() << "no item " << menu.toStdString() << " > " << text.toStdString();
        return nullptr;
    }

    QString LastMessage() const { return messages.shown.empty() ? QString() : messages.shown.back().text; }

    testfiles::TempDir dir;
    std::string source;
    Bytes sourceBytes;
    FakePlayer player;
    FakeDialogs dialogs;
    FakeMessageBoxes messages;
    FixedClock clock;
    FakeTagHandOver tags;
    FakeWaveOut waveOut;
    RecordingLinkOpener links;
    Form1Parts parts;
    std::vector<std::string> checked;
    bool checkResult = true;
    bool anyFile = false;  // the window takes files without MPEG audio too
    int quits = 0;
    std::unique_ptr<Form1> form;
};

