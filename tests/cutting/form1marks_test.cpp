// The cutting window's routes to a mark besides the buttons (waveform drags, frame nudges, typed
// times, undo and redo), the play position steps and prelistens, and the window's mended edges:
// the length display of large files, files with no audio, the displays after a save, Enter after
// a message box, resizing.
#include <functional>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "controls/msgscroller.h"
#include "controls/slider.h"
#include "controls/volume.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/waveformview.h"
#include "form1fixture.h"
#include "models/cuttingmessages.h"

namespace {

class Form1Marks : public Form1Test {
protected:
    Form1Marks() {
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // The displays and byte marks a route left, to compare with the buttons'.
    std::vector<QString> Values() const {
        const auto& s = form->Session();
        return {form->Label2->text(), form->Label3->text(), form->Label4->text(),
                QString::number(s.CurStart().value_or(-1), 'g', 15), QString::number(s.CurEnd().value_or(-1), 'g', 15),
                QString::number(s.CurDuration().value_or(-1), 'g', 15), QString::number(form->Slider1->SelStart()),
                QString::number(form->Slider1->SelLength())};
    }
    // Once the window is active again (after a message box, say), as a user's key would be.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), static_cast<Qt::Key>(key), modifiers);
    }
};

}  // namespace

TEST_F(Form1Marks, DraggedEdgesAndSelectionsLeaveWhatTheButtonsLeaveThere) {
    OpenTimed(source);  // 16000 bytes per second
    MarkSelection(3.5, 6);
    const std::vector<QString> byButtons = Values();
    EXPECT_EQ(byButtons, (std::vector<QString>{"3.5 Secs", "6 Secs", "2.5 Secs", "56000", "96000", "40000", "4", "2"}));

    MarkSelection(2, 6);
    emit form->Waveform1->startDragged(3.5);
    EXPECT_EQ(Values(), byButtons);
    EXPECT_EQ(form->Waveform1->StartMark(), 3.5);
    EXPECT_EQ(form->Waveform1->EndMark(), 6.0);

    // A new selection dragged across, with the mouse, from 1.25 s to 4.5 s.
    form->Waveform1->SetView(0.0, 10.0);
    auto x = [&](double seconds) { return QPoint(static_cast<int>(std::lround(form->Waveform1->XAtSeconds(seconds))), 40); };
    const double from = form->Waveform1->SecondsAtX(x(1.25).x());
    const double to = form->Waveform1->SecondsAtX(x(4.5).x());
    QTest::mousePress(form->Waveform1, Qt::LeftButton, {}, x(1.25));
    QTest::mouseMove(form->Waveform1, x(3.0));
    QTest::mouseMove(form->Waveform1, x(4.5));
    QTest::mouseRelease(form->Waveform1, Qt::LeftButton, {}, x(4.5));
    EXPECT_EQ(form->Session().Start().seconds, std::round(from * 1000) / 1000);
    EXPECT_EQ(form->Session().End().seconds, std::round(to * 1000) / 1000);
    EXPECT_NEAR(*form->Session().CurStart(), 16000 * from, 1e-6);
    ASSERT_TRUE(form->Waveform1->HasSelection());
    EXPECT_EQ(*form->Waveform1->EndMark(), form->Session().End().seconds);

    // The end edge dragged with the mouse to 8 s.
    const QPoint end = x(*form->Waveform1->EndMark());
    QTest::mousePress(form->Waveform1, Qt::LeftButton, {}, end);
    QTest::mouseMove(form->Waveform1, x(6.0));
    QTest::mouseMove(form->Waveform1, x(8.0));
    QTest::mouseRelease(form->Waveform1, Qt::LeftButton, {}, x(8.0));
    EXPECT_NEAR(form->Session().End().seconds, 8.0, 0.02);
    EXPECT_EQ(form->Label3->text(), QString::fromStdString(CuttingSession::MarkText(form->Session().End())));
}

TEST_F(Form1Marks, NudgesTypedTimesUndoAndRedoByKeysAndFields) {
    OpenTimed(source);
    MarkSelection(2, 6);
    // One MPEG frame at 44.1 kHz is 1152 / 44100 s = 26.122 ms.
    Key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(form->Label2->text(), "2.026 Secs");
    EXPECT_EQ(form->Label3->text(), "6 Secs");
    EXPECT_EQ(form->Label4->text(), "3.974 Secs");
    EXPECT_EQ(form->Session().CurStart(), 32417.9591836735);
    Key(Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->Label3->text(), "5.974 Secs");
    EXPECT_EQ(form->Session().CurEnd(), 95582.0408163265);  // 16000 x (6 - 1152 / 44100)

    form->MarkTime->setText("0:08.125");
    QTest::mouseClick(form->EndAtTime, Qt::LeftButton);
    EXPECT_EQ(form->Label3->text(), "8.125 Secs");
    EXPECT_EQ(form->Label4->text(), "6.099 Secs");
    EXPECT_EQ(form->Session().CurEnd(), 130000);
    form->MarkTime->setText("1:75");
    QTest::mouseClick(form->StartAtTime, Qt::LeftButton);
    EXPECT_EQ(LastMessage(), kTypeATime);
    EXPECT_EQ(form->Label2->text(), "2.026 Secs");

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->Label3->text(), "5.974 Secs");
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->Label2->text(), "2 Secs");
    EXPECT_EQ(form->Label3->text(), "6 Secs");
    EXPECT_EQ(form->Session().CurStart(), 32000);
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->Label2->text(), "2.026 Secs");
    // Z zooms the waveform to the selection, - and + zoom out and in.
    Key(Qt::Key_Z);
    EXPECT_TRUE(form->Waveform1->ZoomedIn());
    EXPECT_LE(form->Waveform1->ViewStart(), 2.026);
    EXPECT_GE(form->Waveform1->ViewStart() + form->Waveform1->ViewSeconds(), 5.974);
    const double seconds = form->Waveform1->ViewSeconds();
    Key(Qt::Key_Minus);
    EXPECT_NEAR(form->Waveform1->ViewSeconds(), std::min(seconds * 2, 10.0), 1e-9);
    EXPECT_EQ(form->Slider1->SelStart(), 2);
    EXPECT_EQ(form->Slider1->SelLength(), 4);
}

TEST_F(Form1Marks, StepsMoveThePositionByAFrameOrASecond) {
    OpenTimed(source);
    player.position = 4.0;
    player.calls.clear();
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Left, Qt::ControlModifier);
    ASSERT_EQ(player.calls.size(), 2u);
    // To the sample: a frame of 1152 samples on, then a second back.
    EXPECT_EQ(player.calls[0], "seek sample " + std::to_string(4 * 44100 + 1152));
    EXPECT_EQ(player.calls[1], "seek sample " + std::to_string(3 * 44100 + 1152));
    EXPECT_EQ(form->Label1->text().left(6), "3.0261");
}

TEST_F(Form1Marks, PrelistensPlayUpToTheEndAndFromTheStartAndStopAtTheMark) {
    OpenTimed(source);
    Key(Qt::Key_E);
    EXPECT_EQ(LastMessage(), kEndMissing);
    MarkSelection(3, 7.5);
    player.calls.clear();
    Key(Qt::Key_E);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "seek sample 242550", "end sample 330750", "play"}));
    EXPECT_TRUE(form->PrelistenTimer->isActive());
    player.position = 7.49;
    form->PrelistenTimer_Timer();
    EXPECT_EQ(player.state, MediaPlayer::kPlaying);
    player.position = 7.5;
    form->PrelistenTimer_Timer();
    EXPECT_EQ(player.state, MediaPlayer::kPaused);
    EXPECT_EQ(player.calls.back(), "seek sample 330750") << "left on the mark";
    EXPECT_FALSE(form->PrelistenTimer->isActive());

    player.calls.clear();
    Key(Qt::Key_S);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "seek sample 132300", "end sample 220500", "play"}));
    player.position = 5.0;
    form->PrelistenTimer_Timer();
    EXPECT_EQ(player.state, MediaPlayer::kPaused);
    // Near the file's end the prelisten stops at the end.
    MarkSelection(9.2, 9.9);
    Key(Qt::Key_S);
    player.position = 10.0;
    form->PrelistenTimer_Timer();
    EXPECT_EQ(player.calls.back(), "seek sample 441000");
}

TEST_F(Form1Marks, EnterAfterAMessageBoxPressesNoButton) {
    const struct {
        const char* name;
        std::function<void()> showABox;
    } boxes[] = {
        {"the window's", [this] { Click(form->CandyButton2); }},  // Play Selection without a file
        {"the cut points'", [this] { form->CutPoints()->AddAtPlayPosition(); }},
    };
    for (const auto& box : boxes) {
        form->CandyButton1->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), form->CandyButton1);
        const size_t shown = messages.shown.size();
        box.showABox();
        ASSERT_EQ(messages.shown.size(), shown + 1) << box.name;
        // The box took the focus, and the window gets it back once it is active again.
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(QApplication::focusWidget()) << box.name;
        EXPECT_FALSE(qobject_cast<QAbstractButton*>(QApplication::focusWidget())) << box.name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        EXPECT_TRUE(dialogs.openFilters.empty()) << box.name << ": the Open dialog stayed shut";
    }
}

TEST_F(Form1Marks, AFileWithoutMpegAudioIsRefusedAndNothingOfTheFileBeforeStays) {
    OpenTimed(source);
    MarkSelection(2, 6);
    const std::string wave = dir.file("wave.mp3");
    testfiles::WriteFile(wave, testfiles::Concat({testfiles::FromString("RIFF"), testfiles::Bytes(4, 0x24),
                                                  testfiles::FromString("WAVEfmt "), PatternBytes(30000)}));
    player.calls.clear();
    dialogs.opens.push_back({QString::fromStdString(wave), "wave.mp3"});
    Click(form->CandyButton1);
    EXPECT_EQ(LastMessage(), kNoMpegAudio);
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "URL="})) << "the file before is unloaded, nothing played";
    EXPECT_EQ(form->Scroller()->Text(), "");
    EXPECT_TRUE(form->Session().Path().empty());
    for (QAbstractButton* button : {form->CandyButton5, form->CandyButton3, form->CandyButton2, form->CandyButton6}) {
        Click(button);
        EXPECT_EQ(LastMessage(), kOpenFirst) << button->text().toStdString();
    }
    EXPECT_EQ(player.calls.size(), 2u);
}

TEST_F(Form1Marks, TheWaveformTakesTheExtraSpaceAndTheRestKeepsItsLayout) {
    form->resize(820, 700);
    QApplication::processEvents();
    const int waveHeight = form->Waveform1->height();
    const int buttonHeight = form->CandyButton1->height();
    const int sliderHeight = form->Slider1->height();
    form->resize(1020, 900);
    QApplication::processEvents();
    EXPECT_EQ(form->Waveform1->height(), waveHeight + 200);
    EXPECT_GT(form->Waveform1->width(), 900);
    EXPECT_EQ(form->CandyButton1->height(), buttonHeight);
    EXPECT_EQ(form->Slider1->height(), sliderHeight);
    EXPECT_EQ(form->Waveform1->geometry().bottom() + 1, form->Slider1->geometry().top());
}

TEST_F(Form1Marks, LengthShowsOnceKnownAndAFileWithoutAudioSaysSo) {
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    Click(form->CandyButton1);
    EXPECT_EQ(form->Label15->text(), "00:00:00");
    player.durationSeconds = 2521.6;  // timed in the background, known later
    form->Timer6_Timer();
    EXPECT_EQ(form->Label15->text(), "00:42:02");

    // A file whose frames the player cannot time, though the analysis finds none either.
    checkResult = false;
    anyFile = true;
    player.rate = 0;
    const std::string text = dir.file("notes.mp3");
    testfiles::WriteFile(text, testfiles::FromString(std::string(5000, 'x')));
    dialogs.opens.push_back({QString::fromStdString(text), "notes.mp3"});
    Click(form->CandyButton1);
    ASSERT_EQ(LastMessage(), "Unable to load the file!");
    At(1, form->CandyButton3);
    EXPECT_EQ(LastMessage(), kNoMpegAudio);
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
}

TEST_F(Form1Marks, ElapsedAndRemainingFollowAgainWhenPlaybackGoesOnAfterASave) {
    OpenTimed(source);
    MarkSelection(2, 6);
    dialogs.saves.push_back({QString::fromStdString(dir.file("clip.mp3")), "clip.mp3"});
    Click(form->CandyButton6);
    ASSERT_EQ(LastMessage(), kClipSaved);
    EXPECT_FALSE(form->Timer2->isActive());
    player.position = 6.0;
    form->Timer1_Timer();
    EXPECT_FALSE(form->Timer2->isActive()) << "stopped: nothing to follow";
    Click(form->CandyButton5);
    player.position = 7.2;
    form->Timer1_Timer();
    EXPECT_TRUE(form->Timer2->isActive());
    form->Timer2_Timer();
    EXPECT_EQ(form->Label17->text(), "00:00:07");
}

TEST_F(Form1Marks, EveryControlHasANameAndARoleForScreenReaders) {
    struct Expected {
        QWidget* widget;
        QAccessible::Role role;
        QString name;
    };
    const Expected expected[] = {
        {form->Slider1, QAccessible::Slider, "Playing position"},
        {form->Slider3, QAccessible::Slider, "Volume"},
        {form->Volume1, QAccessible::Slider, "Volume level"},
        {form->Waveform1, QAccessible::Chart, "Waveform"},
        {form->CandyButton3, QAccessible::Button, "Set start"},
        {form->MarkTime, QAccessible::EditableText, "Mark time"},
    };
    for (const Expected& e : expected) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(e.widget);
        ASSERT_NE(accessible, nullptr) << e.name.toStdString();
        EXPECT_EQ(accessible->role(), e.role) << e.name.toStdString();
        EXPECT_EQ(accessible->text(QAccessible::Name), e.name);
    }
    QAccessibleInterface* ticker = QAccessible::queryAccessibleInterface(form->Scroller()->Control());
    ASSERT_NE(ticker, nullptr);
    EXPECT_EQ(ticker->role(), QAccessible::StaticText);
    EXPECT_EQ(ticker->text(QAccessible::Name),
              "Please donate to help us keep the software free.Click on the donate button above to donate.");
    OpenTimed(source);
    MarkSelection(2, 6.5);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->Waveform1)->text(QAccessible::Description).left(70),
              "Selection from 2.000 seconds to 6.500 seconds, 4.500 seconds long. Pla");
}
