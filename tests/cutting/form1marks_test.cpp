// The cutting window's routes to a mark besides the buttons (waveform drags, frame nudges, typed
// times, undo and redo), the play position steps and prelistens, and the window's mended edges:
// files with no audio, the displays after a save, Enter after a message box, resizing.
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
    Form1Marks() { Activate(); }
    QStringList Labels() const { return {form->Label2->text(), form->Label3->text(), form->Label4->text()}; }
};

}  // namespace

// The routes to a mark besides the buttons; what each leaves is the session's, tested without a window.
TEST_F(Form1Marks, DragsNudgesTypedTimesAndUndoReachTheMarks) {
    OpenTimed(source);  // 16000 bytes per second
    MarkSelection(2, 6);
    const double frame = 1152.0 / 44100;  // 26.122 ms
    const struct {
        const char* route;
        std::function<void()> act;
        QStringList labels;  // start, end, length
    } routes[] = {
        {"the start's edge dragged", [&] { emit form->Waveform1->startDragged(3.5); }, {"3.5 Secs", "6 Secs", "2.5 Secs"}},
        {"the end's edge dragged", [&] { emit form->Waveform1->endDragged(8.0); }, {"3.5 Secs", "8 Secs", "4.5 Secs"}},
        {"a selection dragged across", [&] { emit form->Waveform1->selectionDragged(1.25, 4.5); },
         {"1.25 Secs", "4.5 Secs", "3.25 Secs"}},
        {"Alt+Right nudges the start a frame on", [&] { Key(Qt::ALT | Qt::Key_Right); },
         {"1.276 Secs", "4.5 Secs", "3.224 Secs"}},
        {"Alt+Shift+Left nudges the end a frame back", [&] { Key(Qt::ALT | Qt::SHIFT | Qt::Key_Left); },
         {"1.276 Secs", "4.474 Secs", "3.198 Secs"}},
        {"a typed end",
         [&] {
             form->MarkTime->setText("0:08.125");
             QTest::mouseClick(form->EndAtTime, Qt::LeftButton);
         },
         {"1.276 Secs", "8.125 Secs", "6.849 Secs"}},
        {"a time that is none is refused",
         [&] {
             form->MarkTime->setText("1:75");
             QTest::mouseClick(form->StartAtTime, Qt::LeftButton);
         },
         {"1.276 Secs", "8.125 Secs", "6.849 Secs"}},
        {"Ctrl+Z undoes the typed end", [&] { Key(Qt::CTRL | Qt::Key_Z); }, {"1.276 Secs", "4.474 Secs", "3.198 Secs"}},
        {"Ctrl+Shift+Z redoes it", [&] { Key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z); }, {"1.276 Secs", "8.125 Secs", "6.849 Secs"}},
    };
    for (const auto& r : routes) {
        r.act();
        EXPECT_EQ(Labels(), r.labels) << r.route;
        EXPECT_EQ(form->Waveform1->EndMark(), form->Session().End().seconds) << r.route;
    }
    EXPECT_EQ(LastMessage(), kTypeATime);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_NEAR(*form->Session().CurStart(), 16000 * (1.25 + frame), 1e-6);
    // Z zooms the waveform to the selection, - zooms out; the slider's band stays.
    Key(Qt::Key_Z);
    EXPECT_TRUE(form->Waveform1->ZoomedIn());
    EXPECT_LE(form->Waveform1->ViewStart(), 1.276);
    EXPECT_GE(form->Waveform1->ViewStart() + form->Waveform1->ViewSeconds(), 8.125);
    const double seconds = form->Waveform1->ViewSeconds();
    Key(Qt::Key_Minus);
    EXPECT_NEAR(form->Waveform1->ViewSeconds(), std::min(seconds * 2, 10.0), 1e-9);
    EXPECT_EQ(form->Slider1->SelStart(), 1);
    EXPECT_EQ(form->Slider1->SelLength(), 7);
}

TEST_F(Form1Marks, StepsMoveThePositionByAFrameOrASecond) {
    OpenTimed(source);
    player.position = 4.0;
    player.calls.clear();
    Key(Qt::SHIFT | Qt::Key_Right);
    Key(Qt::CTRL | Qt::Key_Left);
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
    Click(form->CandyButton2);
    EXPECT_EQ(LastMessage(), kOpenFirst);
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

TEST_F(Form1Marks, AFileWithoutAudioSaysSoInsteadOfWaitingForItsLength) {
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
    // The playing position's value is its second.
    form->Slider1->SetMax(240);
    form->Slider1->SetValue(75);
    QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(form->Slider1)->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 75);
    EXPECT_EQ(value->maximumValue().toInt(), 240);
}
