// Saves a picture of the cutting window with a file open, for the documentation.
#include <filesystem>

#include <gtest/gtest.h>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include "cutting/form1.h"
#include "cuttingfakes.h"
#include "support/fakemessageboxes.h"
#include "support/testfiles.h"

namespace {

TEST(Form1Screenshot, ShowsTheWindowWithAFileOpenAndASelection) {
    TestApp();
    testfiles::TempDir dir;
    std::string song = dir.file("Summer Breeze.mp3");
    testfiles::WriteFile(song, testfiles::SilentFrames(100));
    FakePlayer player;
    FakeDialogs dialogs;
    FakeMessageBoxes messages;
    FixedClock clock;
    Form1Parts parts;
    parts.player = &player;
    parts.dialogs = &dialogs;
    parts.messages = &messages;
    parts.clock = &clock;
    Form1 form(parts);
    form.Timer1->stop();

    player.durationSeconds = 227.4;
    dialogs.opens.push_back({QString::fromStdString(song), "Summer Breeze.mp3"});
    form.CandyButton1_Click();
    form.Timer6_Timer();
    for (auto [seconds, button] : {std::pair{61.3, form.CandyButton3}, std::pair{94.85, form.CandyButton4}}) {
        player.position = seconds;
        form.Timer1_Timer();
        button->click();
    }
    player.position = 78.41;
    form.Timer1_Timer();
    form.Timer2_Timer();
    form.resize(form.sizeHint().expandedTo(QSize(640, 0)));
    form.show();
    QTest::qWait(50);

    QImage shot = form.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_GE(shot.width(), 640);
    std::filesystem::create_directories(TRIMBEL_SCREENSHOTS);
    const QString file = QString(TRIMBEL_SCREENSHOTS) + "/form1.png";
    ASSERT_TRUE(shot.save(file));
    EXPECT_EQ(QImage(file).size(), shot.size());
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
