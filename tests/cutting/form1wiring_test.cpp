// The controls on the cutting window: the link buttons and texts, the volume slider, the ticker.
#include <QSignalSpy>

#include "controls/isbutton.h"
#include "controls/links.h"
#include "controls/msgscroller.h"
#include "controls/slider.h"
#include "controls/volume.h"
#include "cutting/linklabel.h"
#include "form1fixture.h"

namespace {

TEST_F(Form1Test, EveryLinkOpensItsAddressAndLeavesPlaybackAlone) {
    OpenTimed(source);
    player.calls.clear();
    const double position = player.position;
    const std::pair<QWidget*, const char*> expected[] = {
        {form->CandyButton11, links::kHomepage},  {form->CandyButton13, links::kHelp},
        {form->CandyButton14, links::kDonate},    {form->Label19, links::kOtherSite1},
        {form->Label20, links::kHomepage},        {form->Label24, links::kOtherSite1},
        {form->Label22, links::kOtherSite1},      {form->Label23, links::kOtherSite2},
        {form->Label25, links::kOtherSite3},      {form->Label26, links::kJoinerProduct},
    };
    for (const auto& [widget, address] : expected) {
        links.opened.clear();
        ASSERT_TRUE(widget->isVisible()) << address;
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(widget->width() / 2, widget->height() / 2));
        EXPECT_EQ(links.opened, std::vector<std::string>{address}) << address;
    }
    EXPECT_TRUE(player.calls.empty());
    EXPECT_EQ(player.state, MediaPlayer::kPlaying);
    EXPECT_EQ(player.position, position);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Form1Test, TheSupportAddressIsShownAndOpensNothing) {
    EXPECT_TRUE(form->Label21->text().contains(links::kSupportEmail));
    QTest::mouseClick(form->Label21, Qt::LeftButton);
    EXPECT_TRUE(links.opened.empty());
    EXPECT_FALSE(form->isButton1->isVisible());
}

TEST_F(Form1Test, AClickOnTheTickerMessageOpensTheDonationPage) {
    MsgScroller* scroller = form->Scroller()->Control();
    ASSERT_TRUE(scroller->isVisible());
    scroller->Refresh();
    ASSERT_FALSE(scroller->Frame().hotSpots.empty());
    const ScrollHotSpot spot = scroller->Frame().hotSpots.front();
    const QRect client = scroller->ClientRect();
    const QPoint inside(client.left() + (std::max(spot.left, 0) + std::min(spot.right, client.width())) / 2,
                        client.top() + client.height() / 2);
    QTest::mouseClick(scroller, Qt::LeftButton, {}, inside);
    EXPECT_EQ(links.opened, std::vector<std::string>{links::kDonate});
}

TEST_F(Form1Test, TheTickerShowsExactlyTheMessageItIsGiven) {
    MsgScroller* scroller = form->Scroller()->Control();
    const QString donate =
        "Please donate to help us keep the software free.Click on the donate button above to donate. " + kPadding;
    ASSERT_EQ(scroller->ListCount(), 1);
    EXPECT_EQ(scroller->List(1).toString(), donate);
    EXPECT_TRUE(scroller->Scroll());
    EXPECT_TRUE(scroller->AutoScroll());

    OpenTimed(source);
    MarkSelection(2, 5);
    const QString ended = "  Selection Ended. press ` Save selection ` button to save the clip .Press PLAY SELECTION "
                          "button to play the selected song." + kPadding;
    ASSERT_EQ(scroller->ListCount(), 1);  // each message replaces the last
    EXPECT_EQ(scroller->List(1).toString(), ended);
    EXPECT_EQ(form->Scroller()->Text(), ended);
}

TEST_F(Form1Test, VolumeSliderStartsAtTwentyAndTimerFiveCarriesItToTheOutput) {
    EXPECT_EQ(form->Slider3->Min(), 0);
    EXPECT_EQ(form->Slider3->Max(), 41);
    EXPECT_EQ(form->Slider3->Value(), 20);
    EXPECT_TRUE(form->Slider3->Vertical());
    EXPECT_EQ(form->Slider3->width(), Slider::kThickness);
    EXPECT_EQ(form->Slider3->toolTip(), "Increase/Decrease volume");
    EXPECT_TRUE(form->Timer5->isActive());
    EXPECT_EQ(form->Timer5->interval(), 10);

    form->Timer5_Timer();
    EXPECT_EQ(waveOut.word, 0x79E779E7u);  // level 20 x 1560.35 in both channels
    form->Slider3->SetValue(41);
    form->Timer5_Timer();
    EXPECT_EQ(waveOut.word, 0xF9E6F9E6u);
    EXPECT_EQ(form->Volume1->GetVolume(), 41);
    form->Slider3->SetValue(0);
    form->Timer5_Timer();
    EXPECT_EQ(waveOut.word, 0u);
}

TEST_F(Form1Test, TheRunningTimerFollowsTheSliderAndAMutedControlHoldsSilence) {
    form->Slider3->SetValue(25);
    QTRY_COMPARE_WITH_TIMEOUT(waveOut.word, 39009u | (39009u << 16), 5000);
    form->Volume1->VolumeMuted(true);
    form->Slider3->SetValue(12);
    form->Timer5_Timer();
    EXPECT_EQ(waveOut.word, 0u);
    form->Volume1->VolumeMuted(false);
    EXPECT_EQ(waveOut.word, 39009u | (39009u << 16));  // the level current when muted
    form->Timer5_Timer();
    EXPECT_EQ(waveOut.word, 18724u | (18724u << 16));
}

}  // namespace
