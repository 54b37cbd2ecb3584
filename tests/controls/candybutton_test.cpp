// The candy button's properties, states and events, driven by mouse and key events.
#include <sstream>

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "controls/candybutton.h"
#include "controls/candypainter.h"
#include "controls/propertybag.h"
#include "qtapp.h"
#include "sendevents.h"

namespace {

class CandyButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.setGeometry(0, 0, 100, 25);
        button.SetStyle(7);
        button.show();
    }
    QApplication& app = TestApp();
    CandyButton button{"&Open", nullptr};
};

// Plays `script` on `b`: words such as "move:50" (x, at mid-height), "drag:50" (moving with the
// left button held), "both:50" (left and right held), "press:50", "release:50", "dbl:50",
// "leave", "key"/"keyup" (Return), "focus"/"blur", "check"/"uncheck", "disable", "caption"
// (a new caption), "highlite" (caption highlighting on).
void Play(CandyButton& b, const std::string& script) {
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        const std::string op = word.substr(0, word.find(':'));
        const QPointF at(word.find(':') == std::string::npos ? 0 : std::stod(word.substr(word.find(':') + 1)), 12);
        if (op == "move") Move(&b, at);
        else if (op == "drag") Move(&b, at, Qt::LeftButton);
        else if (op == "both") Move(&b, at, Qt::LeftButton | Qt::RightButton);
        else if (op == "press") Press(&b, at);
        else if (op == "release") Release(&b, at);
        else if (op == "dbl") Mouse(&b, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
        else if (op == "leave") Plain(&b, QEvent::Leave);
        else if (op == "key") Key(&b, Qt::Key_Return);
        else if (op == "keyup") Key(&b, Qt::Key_Return, QEvent::KeyRelease);
        else if (op == "focus") Plain(&b, QEvent::FocusIn);
        else if (op == "blur") Plain(&b, QEvent::FocusOut);
        else if (op == "check" || op == "uncheck") b.SetChecked(op == "check");
        else if (op == "disable") b.SetEnabled(false);
        else if (op == "caption") b.SetCaption("Help");
        else if (op == "highlite") b.SetCaptionHighLite(true);
        else ADD_FAILURE() << "no such step: " << word;
    }
}

}  // namespace

TEST_F(CandyButtonTest, EventsDriveTheDrawStateAndTheSignals) {
    using S = CandyButton;
    const struct {
        std::string script;
        int state;
        int enter, leave, down, up, click, dbl;  // signals raised; -1: left to other rows
        int hovering = -1;                       // 0: must not be hovering (Hovered implies it is)
        float downX = 50;                        // where MouseDown says the press was
    } cases[] = {
        {"move:50", S::StateHovered, 1, 0, 0, 0, 0, 0},
        {"move:50 move:60", S::StateHovered, 1, 0, 0, 0, 0, 0},
        {"move:50 leave", S::StateNormal, 1, 1, 0, 0, 0, 0, 0},
        {"move:0", S::StateNormal, 0, 0, 0, 0, 0, 0, 0},  // the edge itself is not over the button
        {"drag:50", S::StateNormal, 0, 0, 0, 0, 0, 0, 0},  // only the left button held: no hover
        {"both:50", S::StateHovered, 1, 0, 0, 0, 0, 0},
        {"move:50 press:50", S::StatePressed, 1, 0, 1, 0, 0, 0},
        {"move:50 press:50 drag:60", S::StatePressed, 1, 0, 1, 0, 0, 0},
        {"move:50 press:50 drag:150", S::StateNormal, 1, -1, 1, 0, 0, 0, 0},
        // Released outside: no click, and the button keeps the focus.
        {"move:50 press:50 drag:150 release:150", S::StateFocused, 1, -1, 1, 1, 0, 0, 0},
        {"move:50 press:50 release:50", S::StateHovered, 1, 0, 1, 1, 1, 0},
        {"press:50 release:50 dbl:50", S::StatePressed, 0, 0, 1, 1, 1, 1},
        {"press:50 release:50 dbl:50 release:50", S::StateFocused, 0, 0, 1, 2, 1, 1},
        {"key", S::StatePressed, 0, 0, 1, 0, 0, 0, -1, 0},
        {"key keyup", S::StateFocused, 0, 0, 1, 1, 1, 0, -1, 0},
        {"check", S::StateChecked, 0, 0, 0, 0, 0, 0},
        {"check move:50 press:50", S::StateChecked, 1, 0, 1, 0, 0, 0},
        {"check move:50 press:50 release:50 leave", S::StateChecked, 1, 1, 1, 1, 1, 0},
        {"check move:50 uncheck", S::StateHovered, 1, 0, 0, 0, 0, 0},
        {"disable move:50 press:50 release:50 dbl:50 key keyup leave", S::StateNormal, 1, 1, 0, 0, 0, 0},
        {"focus", S::StateFocused, 0, 0, 0, 0, 0, 0},
        {"focus move:50 leave", S::StateFocused, 1, 1, 0, 0, 0, 0},
        {"focus move:50 leave blur", S::StateNormal, 1, 1, 0, 0, 0, 0},
        {"move:50 focus", S::StateHovered, 1, 0, 0, 0, 0, 0},
        // A setter repaints in the normal state; one that only stores does not.
        {"move:50 caption", S::StateNormal, 1, 0, 0, 0, 0, 0},
        {"move:50 caption move:60 leave move:60 highlite", S::StateHovered, 2, 1, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        CandyButton b("&Open", nullptr);
        b.setGeometry(0, 0, 100, 25);
        b.SetStyle(7);
        b.show();
        QSignalSpy enter(&b, &CandyButton::MouseEnter), leave(&b, &CandyButton::MouseLeave);
        QSignalSpy down(&b, &CandyButton::MouseDown), up(&b, &CandyButton::MouseUp);
        QSignalSpy click(&b, &CandyButton::Click), clicked(&b, &QAbstractButton::clicked);
        QSignalSpy dbl(&b, &CandyButton::DblClick);
        Play(b, c.script);
        EXPECT_EQ(b.DrawState(), c.state);
        if (c.state == S::StateHovered || c.hovering == 0) {
            EXPECT_EQ(b.Hovering(), c.state == S::StateHovered);
        }
        const std::vector<qsizetype> raised = {enter.count(), leave.count(), down.count(),
                                               up.count(),    click.count(), dbl.count()};
        std::vector<qsizetype> expected = {c.enter, c.leave, c.down, c.up, c.click, c.dbl};
        for (size_t i = 0; i < expected.size(); ++i) expected[i] = expected[i] < 0 ? raised[i] : expected[i];
        EXPECT_EQ(raised, expected) << "enter, leave, down, up, click, dbl";
        EXPECT_EQ(clicked.count(), click.count());
        if (!down.isEmpty()) {
            EXPECT_EQ(down[0][0].value<short>(), 1);
            EXPECT_FLOAT_EQ(down[0][2].toFloat(), c.downX);
        }
    }
}

TEST_F(CandyButtonTest, SchemeSetsFourColoursAndAnyColourSetAfterwardsResetsIt) {
    button.SetColorScheme(3);
    EXPECT_EQ(button.ColorButtonUp(), 0x800000u);
    EXPECT_EQ(button.ColorButtonHover(), 0xA00000u);
    EXPECT_EQ(button.ColorButtonDown(), 0xF00000u);
    EXPECT_EQ(button.ColorBright(), 0xFF0000u);
    button.SetColorButtonUp(0x123456);
    EXPECT_EQ(button.ColorScheme(), 0);
    EXPECT_EQ(button.ColorButtonUp(), 0x123456u);
    EXPECT_EQ(button.ColorButtonHover(), 0xA00000u);
    EXPECT_EQ(button.ColorButtonDown(), 0xF00000u);
    EXPECT_EQ(button.ColorBright(), 0xFF0000u);
    button.SetColorScheme(0);  // changes no colour
    EXPECT_EQ(button.ColorButtonUp(), 0x123456u);
    button.SetBorderBrightness(250);
    EXPECT_EQ(button.BorderBrightness(), 100);
    button.SetBorderBrightness(-250);
    EXPECT_EQ(button.BorderBrightness(), -100);
}

TEST_F(CandyButtonTest, StyleChangeRebuildsTheWindowShape) {
    EXPECT_EQ(button.CornerRadius(), 7);
    EXPECT_EQ(button.mask(), CandyShape(100, 25, 7));
    button.SetStyle(6);
    EXPECT_EQ(button.CornerRadius(), 8);
    EXPECT_EQ(button.mask(), CandyShape(100, 25, 8));
    button.SetStyle(0);
    EXPECT_TRUE(button.mask().isEmpty());
    button.SetStyle(7);
    button.resize(100, 1);
    EXPECT_GE(button.CornerRadius(), 1);
}

TEST_F(CandyButtonTest, SavesOnlyNonDefaultsPlusTheAlwaysWrittenKeysInOrder) {
    CandyButton fresh;
    PropertyBag bag;
    fresh.WriteProperties(bag);
    EXPECT_EQ(bag.Keys(), QStringList({"Checked", "ColorButtonHover", "ColorButtonUp", "ColorButtonDown",
                                       "BorderBrightness", "ColorBright", "DisplayHand",
                                       "ColorScheme"}));

    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    button.SetEnabled(false);
    QFont font = button.Font();
    font.setPointSize(font.pointSize() + 3);
    button.SetFont(font);
    button.SetIconHighLite(true);
    button.SetIconHighLiteColor(0);
    button.SetCaptionHighLite(true);
    button.SetCaptionHighLiteColor(0x123);
    button.SetForeColor(kSysHighlight);
    button.SetPicture(picture);
    button.SetPictureAlignment(2);
    button.SetChecked(true);
    button.SetBorderBrightness(-30);
    button.SetDisplayHand(true);
    button.SetColorScheme(5);
    PropertyBag full;
    button.WriteProperties(full);
    EXPECT_EQ(full.Keys(),
              QStringList({"Enabled", "Font", "Caption", "IconHighLite", "IconHighLiteColor",
                           "CaptionHighLite", "CaptionHighLiteColor", "ForeColor", "Picture",
                           "PictureAlignment", "Style", "Checked", "ColorButtonHover",
                           "ColorButtonUp", "ColorButtonDown", "BorderBrightness", "ColorBright",
                           "DisplayHand", "ColorScheme"}));

    CandyButton loaded;
    loaded.ReadProperties(full);
    EXPECT_FALSE(loaded.Enabled());
    EXPECT_EQ(loaded.Font(), font);
    EXPECT_EQ(loaded.Caption(), "&Open");
    EXPECT_TRUE(loaded.IconHighLite());
    EXPECT_EQ(loaded.IconHighLiteColor(), 0u);
    EXPECT_EQ(loaded.CaptionHighLiteColor(), 0x123u);
    EXPECT_EQ(loaded.ForeColor(), kSysHighlight);
    EXPECT_EQ(loaded.Picture().size(), QSize(16, 16));
    EXPECT_EQ(loaded.PictureAlignment(), 2);
    EXPECT_EQ(loaded.Style(), 7);
    EXPECT_TRUE(loaded.Checked());
    EXPECT_EQ(loaded.ColorScheme(), 5);
    EXPECT_EQ(loaded.ColorButtonUp(), 0x008000u);
    EXPECT_EQ(loaded.BorderBrightness(), -30);
    EXPECT_TRUE(loaded.DisplayHand());
    EXPECT_EQ(loaded.cursor().shape(), Qt::PointingHandCursor);

    CandyButton empty;
    empty.ReadProperties(PropertyBag());
    EXPECT_EQ(empty.Caption(), "CandyButton");
    EXPECT_EQ(empty.ColorButtonHover(), 0xFFC090u);
    EXPECT_EQ(empty.CaptionHighLiteColor(), 0x00FF00u);
    EXPECT_TRUE(empty.Enabled());
}
