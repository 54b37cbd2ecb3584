// Keyboard, waveform band and drag and drop on the cutting window: each reaches the handler of
// its button, with the same checks, messages and values.
#include <QMimeData>
#include <QUrl>

#include "cutting/waveformview.h"
#include "form1fixture.h"

namespace {

class Form1Keys : public Form1Test {
protected:
    Form1Keys() {
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // Once the window is active again (after a message box, say), as a user's key would be.
    void Key(const QKeySequence& key) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        const QKeyCombination combination = key[0];
        QTest::keyClick(form.get(), combination.key(), combination.keyboardModifiers());
    }

    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const auto& m : messages.shown) texts.push_back(m.text);
        return texts;
    }

    // Drags `mime` over the window and drops it; true when the window took the drag.
    bool Drop(QMimeData* mime) {
        const QPoint at = form->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &drop);
        return enter.isAccepted();
    }
};

TEST_F(Form1Keys, EachShortcutGivesTheSameMessagesAsItsButtonWithoutAFile) {
    const std::pair<QKeySequence, QAbstractButton*> pairs[] = {
        {Qt::Key_Space, form->CandyButton5},         {Qt::Key_Home, form->CandyButton3},
        {Qt::Key_BracketLeft, form->CandyButton3},   {Qt::Key_End, form->CandyButton4},
        {Qt::Key_BracketRight, form->CandyButton4},  {Qt::Key_P, form->CandyButton2},
        {Qt::CTRL | Qt::Key_S, form->CandyButton6},  {Qt::CTRL | Qt::Key_I, form->CandyButton15},
    };
    for (const auto& [key, button] : pairs) {
        messages.shown.clear();
        Click(button);
        const std::vector<QString> byButton = Texts();
        messages.shown.clear();
        Key(key);
        EXPECT_FALSE(byButton.empty()) << key.toString().toStdString();
        EXPECT_EQ(Texts(), byButton) << key.toString().toStdString();
    }
    EXPECT_TRUE(player.calls.empty());
}

TEST_F(Form1Keys, KeysOpenMarkPlayAndSeekAsTheButtonsDo) {
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    Key(Qt::CTRL | Qt::Key_O);
    ASSERT_EQ(dialogs.openFilters.size(), 1u);
    EXPECT_EQ(form->Session().Path(), source);
    player.durationSeconds = 10;
    form->Timer6_Timer();

    player.position = 2.5;
    form->Timer1_Timer();
    Key(Qt::Key_BracketLeft);
    player.position = 4.75;
    form->Timer1_Timer();
    Key(Qt::Key_End);
    EXPECT_EQ(form->Label2->text(), "2.5 Secs");
    EXPECT_EQ(form->Label3->text(), "4.75 Secs");
    EXPECT_EQ(form->Label4->text(), "2.25 Secs");
    EXPECT_EQ(form->Session().CurStart(), 40000.0);  // 16000 bytes per second
    EXPECT_EQ(form->Session().CurEnd(), 76000.0);
    EXPECT_TRUE(form->Waveform1->HasSelection());

    player.calls.clear();
    Key(Qt::Key_P);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "seek sample 110250", "end sample 209475", "play"}));
    EXPECT_TRUE(form->Timer4->isActive());

    player.calls.clear();
    form->Slider1->SetValue(7);
    Key(Qt::Key_Left);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);  // past Max (10): held at the end, as the slider holds it
    EXPECT_EQ(player.calls, (std::vector<std::string>{"seek=2.000000", "seek=7.000000", "seek=10.000000"}));
    EXPECT_EQ(form->Slider1->Value(), 10);

    Key(Qt::Key_Space);
    EXPECT_EQ(player.calls.back(), "pause");
    EXPECT_EQ(form->Scroller()->Text(), "Paused  song.mp3" + kPadding);
}

TEST_F(Form1Keys, TheWaveformShowsTheMarksAndPositionAndSeeksLikeTheSlider) {
    OpenTimed(source);
    EXPECT_FALSE(form->Waveform1->HasSelection());
    EXPECT_EQ(form->Waveform1->Span(), 10);  // follows the slider's range
    EXPECT_EQ(form->Waveform1->geometry().left(), form->Slider1->geometry().left());
    EXPECT_EQ(form->Waveform1->width(), form->Slider1->width());
    EXPECT_EQ(form->Waveform1->geometry().bottom() + 1, form->Slider1->geometry().top());

    MarkSelection(2, 6);
    EXPECT_TRUE(form->Waveform1->HasSelection());
    Click(form->CandyButton8);
    EXPECT_FALSE(form->Waveform1->HasSelection());

    // A click seeks to the clicked sample; zoomed in to frames of several pixels, to the nearest
    // frame start. The slider shows the whole second.
    const double frame = 1152.0 / 44100;
    const struct {
        double viewSeconds;
        double clicked;
        int64_t sample;
        int slider;
    } clicks[] = {
        {10, 6.5, 286650, 6},
        {10, 3.7, 163170, 4},
        {10, 117.8 / 20, 259749, 6},
        {0.5, 160.4 * frame, 160 * 1152, 4},
        {0.5, 160.6 * frame, 161 * 1152, 4},
    };
    for (const auto& c : clicks) {
        form->Waveform1->SetView(std::max(0.0, c.clicked - c.viewSeconds / 2), c.viewSeconds);
        player.calls.clear();
        emit form->Waveform1->seekRequested(c.clicked);
        EXPECT_EQ(player.calls, std::vector<std::string>{"seek sample " + std::to_string(c.sample)}) << c.clicked;
        EXPECT_EQ(form->Slider1->Value(), c.slider) << c.clicked;
    }
    // The position shows the target at once (no timer tick between), and a start mark set right
    // after the seek is the target, not the position before it.
    form->Waveform1->ShowWholeFile();
    emit form->Waveform1->seekRequested(7);
    EXPECT_TRUE(form->Label1->text().startsWith("7")) << form->Label1->text().toStdString();
    Click(form->CandyButton3);
    EXPECT_DOUBLE_EQ(form->Session().Start().seconds, 7.0);

    form->Waveform1->ShowWholeFile();
    player.calls.clear();
    const QPoint x(static_cast<int>(form->Waveform1->XAtSeconds(8)), form->Waveform1->height() / 2);
    QTest::mouseClick(form->Waveform1, Qt::LeftButton, {}, x);
    ASSERT_FALSE(player.calls.empty());
    EXPECT_EQ(player.calls.back(), "seek sample " + std::to_string(std::llround(form->Waveform1->SecondsAtX(x.x()) * 44100)));
}

TEST_F(Form1Keys, ADroppedMp3OpensAsOpenDoesAndAnythingElseIsRefusedQuietly) {
    const std::string text = dir.file("notes.txt");
    testfiles::WriteFile(text, testfiles::FromString("hello"));
    auto* other = new QMimeData;
    other->setUrls({QUrl::fromLocalFile(QString::fromStdString(text))});
    EXPECT_FALSE(Drop(other));
    auto* two = new QMimeData;
    two->setUrls({QUrl::fromLocalFile(QString::fromStdString(source)), QUrl::fromLocalFile(QString::fromStdString(source))});
    EXPECT_FALSE(Drop(two));
    auto* web = new QMimeData;
    web->setUrls({QUrl("https://example.org/song.mp3")});
    EXPECT_FALSE(Drop(web));
    EXPECT_TRUE(form->Session().Path().empty());
    EXPECT_TRUE(player.calls.empty());
    EXPECT_TRUE(messages.shown.empty());

    auto* mp3 = new QMimeData;
    mp3->setUrls({QUrl::fromLocalFile(QString::fromStdString(source))});
    EXPECT_TRUE(Drop(mp3));
    EXPECT_EQ(form->Session().Path(), source);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"URL=" + source, "play"}));
    EXPECT_EQ(checked, std::vector<std::string>{source});
    EXPECT_EQ(tags.calls, std::vector<std::string>{"load " + source + " | song.mp3"});
    EXPECT_EQ(form->Scroller()->Text(), "Playing song.mp3" + kPadding);
    EXPECT_TRUE(form->Timer6->isActive());
    EXPECT_TRUE(dialogs.openFilters.empty());
    delete other;
    delete two;
    delete web;
    delete mp3;
}

}  // namespace
