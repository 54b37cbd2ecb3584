// A user's journeys through the program's cutting window on a real X display, with its real
// dialogs, message boxes, tag editor and playback engine, the sound taken from the null sink's
// monitor. Needs Xvfb, xdotool, PulseAudio with the null sink test_null, sox and lame; when the
// test command asks for the sink (TRIMBEL_REQUIRE_SINK), a missing one fails the tests.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "cutting/desktopapp.h"
#include "cutting/form1.h"
#include "cutting/scrollerticker.h"
#include "cutting/waveformview.h"
#include "desktop.h"
#include "models/cuttingmessages.h"
#include "mpeg/framescan.h"
#include "playback/playbackengine.h"
#include "playback/soundcheck.h"
#include "support/testfiles.h"
#include "tageditor/frmmain.h"

namespace {

using desktop::ClickOn;
using desktop::Keys;
using desktop::Type;
using soundcheck::kRate;

constexpr int kDeadlineMs = 10000;
constexpr double kToneSeconds = 30;

template <typename Condition>
bool WaitFor(Condition condition, int ms = kDeadlineMs) {
    return QTest::qWaitFor(condition, ms);
}

class Journey : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!desktop::StartXServer(&problem_)) return;
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char name[] = "test_desktop";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        dir_ = new testfiles::TempDir;
        // A fresh sound server plays its first stream slowly for about a second: that stream
        // is this short silence, not a test's sound.
        QProcess::execute("sh", {"-c", "head -c 35280 /dev/zero | pacat --format=s16le --rate=44100 --channels=2"});
        tone_ = dir_->file("tone.mp3");
        if (!soundcheck::HaveEncoders() || !soundcheck::MakeToneMp3(tone_, 440, kToneSeconds))
            problem_ = "sox and lame are needed to make the test's MP3";
    }
    static void TearDownTestSuite() {
        delete dir_;
        delete app_;
        desktop::StopXServer();
    }

    void SetUp() override {
        ASSERT_TRUE(problem_.empty()) << problem_;
        if (!soundcheck::MonitorRecorder::SinkAvailable()) {
            if (qEnvironmentVariableIsSet("TRIMBEL_REQUIRE_SINK")) FAIL() << "no PulseAudio with the null sink test_null";
            GTEST_SKIP() << "needs PulseAudio with the null sink test_null";
        }
        lock_ = std::make_unique<soundcheck::SinkLock>();
        windows_ = std::make_unique<DesktopWindows>(nullptr);
        window().show();
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
        ASSERT_TRUE(desktop::KeyboardIn(&window()));
        ASSERT_TRUE(recorder_.Start());
    }

    void TearDown() override {
        if (driver_) {
            EXPECT_TRUE(driver_->Unexpected().isEmpty()) << driver_->Unexpected().join("\n").toStdString();
        }
        if (windows_) player().stop();
        windows_.reset();
        QApplication::processEvents();
    }

    Form1& window() { return windows_->Window(); }
    PlaybackEngine& player() { return windows_->Player(); }
    desktop::ModalDriver& driver() {
        if (!driver_) driver_ = std::make_unique<desktop::ModalDriver>();
        return *driver_;
    }

    // The file dialog's name field, filled in as a user types.
    void AnswerFileDialogWith(const std::string& path) {
        driver().Expect([path](QWidget* modal) {
            ASSERT_TRUE(qobject_cast<QFileDialog*>(modal)) << modal->windowTitle().toStdString();
            ASSERT_TRUE(desktop::KeyboardIn(modal));
            Type(QString::fromStdString(path));
            Keys("Return");
        });
    }
    // A message box, read and then closed with a click on its OK button.
    void CloseMessageBoxWithTheMouse(QString* text) {
        driver().Expect([text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_TRUE(box) << modal->windowTitle().toStdString();
            *text = box->text();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
            ClickOn(box->button(QMessageBox::Ok));
        });
    }

    // The expected modal windows came and went; the keyboard is back in the cutting window, as
    // a window manager hands it back to the window a dialog belonged to.
    void AfterModals() {
        ASSERT_TRUE(WaitFor([&] { return driver().AllDone() && !QApplication::activeModalWidget(); }));
        ASSERT_TRUE(desktop::KeyboardIn(&window()));
    }
    // Opened with the Open button's key, through the real file dialog, and heard.
    void OpenAndHearIt(const std::string& path) {
        AnswerFileDialogWith(path);
        Keys("ctrl+o");
        AfterModals();
        ASSERT_TRUE(WaitFor([&] { return player().URL() == QString::fromStdString(path) && window().RateKnown(); }));
        ASSERT_TRUE(WaitFor([&] { return player().currentPosition() > 0.3; }));
        ExpectTone("after opening");
    }
    // The sink plays the file's tone within `seconds` (the last 100 ms it played are the tone).
    void ExpectTone(const char* when, double seconds = 3) {
        soundcheck::Sound sound;
        const bool heard = WaitFor(
            [&] {
                const int64_t now = recorder_.Now();
                sound = soundcheck::Measure(recorder_.Left(), now - kRate / 10, now);
                return now > 0 && sound.share > 0.5 && std::abs(sound.hz - 440) < 20;
            },
            static_cast<int>(seconds * 1000));
        EXPECT_TRUE(heard) << when << ": " << sound.share << " of 100 ms sounding, at " << sound.hz << " Hz";
    }
    void Pause() {
        Keys("space");
        ASSERT_TRUE(WaitFor([&] { return player().playState() != MediaPlayer::kPlaying; }));
    }
    // A mark typed into the window, set with the button beside it.
    void MarkAt(const QString& time, QAbstractButton* button) {
        ClickOn(window().MarkTime);
        Keys("ctrl+a");
        Type(time);
        ClickOn(button);
    }

    static inline std::string problem_;
    static inline QApplication* app_ = nullptr;
    static inline testfiles::TempDir* dir_ = nullptr;
    static inline std::string tone_;

    std::unique_ptr<soundcheck::SinkLock> lock_;
    soundcheck::MonitorRecorder recorder_;
    std::unique_ptr<DesktopWindows> windows_;
    std::unique_ptr<desktop::ModalDriver> driver_;
};

TEST_F(Journey, OpensPlaysSeeksToTheClickedSampleAndMarks) {
    OpenAndHearIt(tone_);
    Pause();
    // A click on the waveform lands on the clicked sample, not on a whole second.
    WaveformView* wave = window().Waveform1;
    const QPoint at(static_cast<int>(wave->XAtSeconds(12.37)), wave->height() / 2);
    const double clicked = wave->SecondsAtX(at.x());
    ClickOn(wave, at);
    ASSERT_TRUE(WaitFor([&] { return std::abs(player().currentPosition() - clicked) < 0.002; }))
        << "at " << player().currentPosition() << ", clicked " << clicked;
    EXPECT_EQ(window().Slider1->Value(), 12);

    // Played on from there, it is heard at once; Home and End mark while it plays.
    Keys("space");
    ExpectTone("after the seek", 1);
    EXPECT_LT(player().currentPosition(), clicked + 2);
    Keys("Home");
    ASSERT_TRUE(WaitFor([&] { return window().Session().Start().set; }));
    const double start = player().currentPosition();
    ASSERT_TRUE(WaitFor([&] { return player().currentPosition() > start + 1.5; }));
    Keys("End");
    ASSERT_TRUE(WaitFor([&] { return window().Session().End().set; }));
    EXPECT_NEAR(window().Session().Start().seconds, start, 0.3);
    EXPECT_GT(window().Session().Length().seconds, 1.4);
    EXPECT_LT(window().Session().Length().seconds, 3);
}

TEST_F(Journey, PlaySelectionPlaysFromTheStartMarkToTheEndMark) {
    OpenAndHearIt(tone_);
    Pause();
    MarkAt("00:21.000", window().StartAtTime);
    MarkAt("00:25.600", window().EndAtTime);
    ASSERT_TRUE(WaitFor([&] { return window().Label3->text() == "25.6 Secs"; })) << window().Label3->text().toStdString();
    ASSERT_EQ(window().Label2->text(), "21 Secs");
    ASSERT_TRUE(WaitFor([&] { return recorder_.Now() > 0; }));
    const int64_t pressed = recorder_.Now();
    Keys("p");
    ASSERT_TRUE(WaitFor([&] { return player().playState() == MediaPlayer::kPlaying; }));
    ASSERT_TRUE(WaitFor([&] { return !window().Timer4->isActive(); }));
    EXPECT_NE(player().playState(), MediaPlayer::kPlaying);
    // What the sink played after the key, measured on the recording.
    ASSERT_TRUE(WaitFor([&] { return recorder_.Now() > 0; }));
    const desktop::Stretch heard = desktop::SoundingStretch(recorder_.Left(), pressed);
    ASSERT_GE(heard.first, 0) << "nothing was heard";
    EXPECT_NEAR(static_cast<double>(heard.last + 1 - heard.first) / kRate, 4.6, 0.03);
}

TEST_F(Journey, SavesTheSelectionAndEnterAfterTheBoxPressesNoButton) {
    // Open keeps the focus after its dialog, as the window's first button.
    OpenAndHearIt(tone_);
    ASSERT_EQ(window().focusWidget(), window().CandyButton1);
    MarkAt("00:02.000", window().StartAtTime);
    MarkAt("00:06.000", window().EndAtTime);
    ASSERT_TRUE(WaitFor([&] { return window().Session().End().set; }));
    window().CandyButton1->setFocus(Qt::TabFocusReason);

    const std::string clip = dir_->file("clip.mp3");
    QString said;
    AnswerFileDialogWith(clip);
    CloseMessageBoxWithTheMouse(&said);
    Keys("ctrl+s");
    AfterModals();
    EXPECT_EQ(said, kClipSaved);
    FrameTable frames;
    ASSERT_TRUE(ScanFrames(clip, frames));
    EXPECT_NEAR(frames.durationSeconds, 4.0, 0.1);

    // Enter now presses nothing (Open would show its dialog: the driver notes and closes it).
    // Space after it shows when the keys have been handled.
    const int before = player().playState();
    Keys("Return");
    Keys("space");
    ASSERT_TRUE(WaitFor([&] { return player().playState() != before; }));
    EXPECT_TRUE(driver().Unexpected().isEmpty()) << driver().Unexpected().join("\n").toStdString();
    EXPECT_FALSE(qobject_cast<QAbstractButton*>(window().focusWidget()));
}

TEST_F(Journey, AFileWithoutMpegAudioIsRefusedAndNothingOfTheLastOneStays) {
    OpenAndHearIt(tone_);
    testfiles::Bytes wav = testfiles::Concat({testfiles::FromString("RIFF"), testfiles::Bytes(4, 0x24),
                                              testfiles::FromString("WAVEfmt "), testfiles::Bytes(200000, 0)});
    // Samples that hold a frame header now and then, as real audio does.
    for (size_t at = 5000; at + 4 < wav.size(); at += 40000) std::copy_n(testfiles::SilentFrame().begin(), 4, wav.begin() + at);
    const std::string renamed = dir_->file("wave.mp3");
    testfiles::WriteFile(renamed, wav);

    QString said;
    AnswerFileDialogWith(renamed);
    CloseMessageBoxWithTheMouse(&said);
    Keys("ctrl+o");
    AfterModals();
    EXPECT_EQ(said, kNoMpegAudio);
    EXPECT_NE(player().playState(), MediaPlayer::kPlaying);
    for (const char* name : {"tone.mp3", "wave.mp3"})
        EXPECT_FALSE(window().Scroller()->Text().contains(name)) << window().Scroller()->Text().toStdString();
    // The sink falls silent, and Play has no file to play.
    ASSERT_TRUE(WaitFor([&] { return recorder_.Now() > 0; }));
    const int64_t refused = recorder_.Now();
    QString again;
    CloseMessageBoxWithTheMouse(&again);
    Keys("space");
    AfterModals();
    EXPECT_EQ(again, kOpenFirst);
    ASSERT_TRUE(WaitFor([&] { return recorder_.Now() > refused + kRate / 2; }));
    EXPECT_LT(desktop::SoundingStretch(recorder_.Left(), refused + kRate / 4).first, 0) << "still playing";
}

TEST_F(Journey, TheTagEditorOpensWhollyOnTheScreen) {
    OpenAndHearIt(tone_);
    // The cutting window in the screen's top left corner: the editor, larger, centred over it
    // would start off the screen.
    window().move(0, 0);
    ASSERT_TRUE(WaitFor([&] { return window().pos() == QPoint(0, 0); }));
    Keys("ctrl+i");
    frmMain* editor = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* e = qobject_cast<frmMain*>(w); e && e->isVisible()) editor = e;
        return editor != nullptr;
    }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    const QRect room = editor->screen()->availableGeometry();
    EXPECT_TRUE(room.contains(editor->frameGeometry())) << editor->frameGeometry().x() << "," << editor->frameGeometry().y();
    editor->close();
}

}  // namespace
