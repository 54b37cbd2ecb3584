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

TEST_F(Form1Test, TheTickerHoldsOneMessageAtATimeAndAClickOnItOpensTheDonationPage) {
    MsgScroller* scroller = form->Scroller()->Control();
    EXPECT_TRUE(scroller->Scroll() && scroller->AutoScroll());
    ASSERT_TRUE(scroller->isVisible());
    scroller->Refresh();
    ASSERT_FALSE(scroller->Frame().hotSpots.empty());
    const ScrollHotSpot spot = scroller->Frame().hotSpots.front();
    const QRect client = scroller->ClientRect();
    const QPoint inside(client.left() + (std::max(spot.left, 0) + std::min(spot.right, client.width())) / 2,
                        client.top() + client.height() / 2);
    QTest::mouseClick(scroller, Qt::LeftButton, {}, inside);
    EXPECT_EQ(links.opened, std::vector<std::string>{links::kDonate});

    OpenTimed(source);
    MarkSelection(2, 5);
    ASSERT_EQ(scroller->ListCount(), 1);  // each message replaces the last
    EXPECT_EQ(scroller->List(1).toString(), form->Scroller()->Text());
}

// Timer five carries the volume slider (0..41, 20 at the start) to the output, in both channels;
// a muted control holds silence and gives back the level current when it was muted.
TEST_F(Form1Test, TheVolumeSliderReachesTheOutputThroughTimerFive) {
    EXPECT_EQ(form->Slider3->Max(), 41);
    EXPECT_EQ(form->Slider3->Value(), 20);
    EXPECT_TRUE(form->Slider3->Vertical());
    EXPECT_EQ(form->Slider3->toolTip(), "Increase/Decrease volume");
    // 20 x 1560.35, by the running timer
    EXPECT_TRUE(QTest::qWaitFor([&] { return waveOut.word == 0x79E779E7u; }, 5000)) << waveOut.word;
    const struct {
        int value;
        bool muted;
        uint32_t word;
    } steps[] = {{41, false, 0xF9E6F9E6u}, {0, false, 0u}, {25, false, 39009u | (39009u << 16)}, {12, true, 0u}};
    for (const auto& step : steps) {
        form->Volume1->VolumeMuted(step.muted);
        form->Slider3->SetValue(step.value);
        form->Timer5_Timer();
        EXPECT_EQ(waveOut.word, step.word) << step.value;
    }
    form->Volume1->VolumeMuted(false);
    EXPECT_EQ(waveOut.word, 39009u | (39009u << 16));
    form->Timer5_Timer();
    EXPECT_EQ(waveOut.word, 18724u | (18724u << 16));
}

}  // namespace
