// Saves a picture of the cutting window with a file open, for the documentation.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include "controls/msgscroller.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/form1.h"
#include "cutting/waveformview.h"
#include "form1fixture.h"

namespace {

TEST_F(Form1Test, ScreenshotsWithAFileOpenAndASelection) {
    std::string song = dir.file("Summer Breeze.mp3");
    const std::string wav = dir.file("tune.wav");
    // Notes that swell and fade, so the waveform has a shape to show.
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 '" + wav +
                           "' synth 40 sine 220 sine 330 tremolo 0.3 80 fade 1 40 4 >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("lame --quiet -V 4 '" + wav + "' '" + song + "'").c_str()), 0);
    Form1& form = *this->form;
    form.hide();
    form.Timer1->stop();

    player.durationSeconds = ScanDurationSeconds(song);
    dialogs.opens.push_back({QString::fromStdString(song), "Summer Breeze.mp3"});
    form.CandyButton1_Click();
    form.Timer6_Timer();
    for (auto [seconds, button] : {std::pair{11.3, form.CandyButton3}, std::pair{24.85, form.CandyButton4}}) {
        player.position = seconds;
        form.Timer1_Timer();
        button->click();
    }
    player.position = 18.41;
    form.Timer1_Timer();
    form.Timer2_Timer();
    form.Timer5_Timer();
    form.resize(form.sizeHint().expandedTo(QSize(720, 0)));
    form.show();
    // The envelope is built on a worker thread; wait for it with a deadline.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Waveform1->IsBuilding() && form.Waveform1->Envelope(); }, 20000));
    // The message comes in from the right; move it until it starts near the left edge.
    MsgScroller* ticker = form.Scroller()->Control();
    for (int i = 0; i < 1000 && !(ticker->Frame().pieces.size() && ticker->Frame().pieces.front().position > 0 &&
                                  ticker->Frame().pieces.front().x <= 8);
         ++i)
        ticker->Tick();
    QTest::qWait(50);

    QImage shot = form.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_GE(shot.width(), 720);
    std::filesystem::create_directories(TRIMBEL_SCREENSHOTS);
    const QString file = QString(TRIMBEL_SCREENSHOTS) + "/form1.png";
    ASSERT_TRUE(shot.save(file));
    EXPECT_EQ(QImage(file).size(), shot.size());

    // Taller, zoomed in on the selection: the band takes the extra height, the strip above it
    // frames the part in view.
    form.resize(form.width() + 140, form.height() + 120);
    QApplication::processEvents();
    form.Waveform1->ZoomToSelection();
    ASSERT_TRUE(form.Waveform1->ZoomedIn());
    QTest::qWait(20);
    const QImage zoomed = form.grab().toImage();
    ASSERT_TRUE(zoomed.save(QString(TRIMBEL_SCREENSHOTS) + "/form1-zoomed.png"));
    EXPECT_GT(zoomed.height(), shot.height());

    // The selection cut out: the join marked in the plot, the removed stretch shaded in the strip.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CutPoints()->Model().Ready(); }, 20000));
    form.Waveform1->ShowWholeFile();
    form.CutOutSelection();
    ASSERT_TRUE(form.Session().Edited());
    ASSERT_EQ(form.Waveform1->Joins().size(), 1u);
    form.Timer2_Timer();
    QTest::qWait(20);
    ASSERT_TRUE(form.grab().toImage().save(QString(TRIMBEL_SCREENSHOTS) + "/form1-edited.png"));
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
