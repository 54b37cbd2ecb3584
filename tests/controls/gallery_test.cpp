// Renders every control in its states into one picture for a human to look at, and checks that
// the picture holds what was drawn.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "controls/candybutton.h"
#include "controls/msgscroller.h"
#include "controls/slider.h"
#include "controls/volume.h"
#include "controls/windowfonts.h"
#include "support/fakewaveout.h"
#include "qtapp.h"
#include "sendevents.h"

namespace {

// A button of `style` dressed as the windows dress it: style 6 as the tag editor's, the others
// as the cutting window's.
CandyButton* Button(const char* caption, int style, double points, QWidget* sheet) {
    auto* b = new CandyButton(caption, sheet);
    b->SetStyle(style);
    if (style == 6) {
        b->SetFont(WindowFont("Tahoma", 9, false));
        b->SetCaptionHighLiteColor(0);
        b->SetIconHighLiteColor(0);
    } else {
        b->SetFont(WindowFont("Arial", points, true));
        b->SetForeColor(kSysHighlight);
    }
    return b;
}

}  // namespace

TEST(ControlsGallery, RendersEveryStyleAndStateToAPicture) {
    TestApp();
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    QPalette pal = sheet.palette();
    pal.setColor(QPalette::Window, QColor(0xEC, 0xE9, 0xD8));
    sheet.setPalette(pal);
    sheet.resize(760, 540);

    const char* states[] = {"Normal", "Hover", "Pressed", "Checked", "Disabled"};
    const int cellW = 130;
    const int cellH = 38;
    for (int s = 0; s < 5; ++s) {
        auto* heading = new QLabel(states[s], &sheet);
        heading->setGeometry(90 + s * cellW, 6, cellW, 18);
    }
    std::vector<CandyButton*> buttons;
    for (int style = 0; style <= 7; ++style) {
        auto* label = new QLabel(QStringLiteral("Style %1").arg(style), &sheet);
        label->setGeometry(10, 30 + style * cellH + 4, 70, 18);
        for (int s = 0; s < 5; ++s) {
            auto* b = Button(style == 6 ? "Update &Info" : "&Open", style, 9, &sheet);
            b->setGeometry(90 + s * cellW, 30 + style * cellH, 110, 27);
            buttons.push_back(b);
        }
    }
    auto* scroller = new MsgScroller(&sheet);
    scroller->setGeometry(10, 345, 740, 22);
    scroller->SetBackColor(kSystemColorFlag | 18);
    scroller->SetForeColor(kSysHighlightText);
    scroller->SetFont(WindowFont("Arial", 8.25, true));
    scroller->SetScrollSpeed(5);
    scroller->AddItem(QStringLiteral("Click on \"Open\" button to select an MP3 file to play and cut.") +
                      QString(129, QLatin1Char(' ')));
    scroller->SetScroll(true);
    scroller->SetAutoScroll(true);
    for (int i = 0; i < 10; ++i) {
        scroller->Tick();
    }
    auto* standing = new MsgScroller(&sheet);
    standing->setGeometry(10, 372, 740, 22);
    standing->AddItem(QStringLiteral("A standing message"));
    standing->SetAutoScroll(true);

    FakeWaveOut waveOut;
    waveOut.word = 0x79E779E7;
    auto* slider = new Slider(&sheet);
    slider->SetStyle(1);
    slider->setGeometry(20, 400, Slider::kThickness, 66);
    slider->SetMin(0);
    slider->SetMax(41);
    slider->SetValue(20);
    auto* hslider = new Slider(&sheet);
    hslider->setGeometry(60, 420, 200, Slider::kThickness);
    auto* volume = new Volume(waveOut, &sheet);
    volume->move(290, 420);

    // The two windows' own buttons at their values.
    int x = 10;
    for (const char* caption : {"Open", "Play/Pause", "Stop", "Play Selection", "Save Selection", "Homepage", "Help",
                                "DONATE"}) {
        const bool small = QString(caption) == "Homepage" || QString(caption) == "Help";
        auto* b = Button(caption, 7, small ? 8.25 : 9, &sheet);
        const int w = std::max(72, b->sizeHint().width());
        b->setGeometry(x, 478, w, 25);
        x += w + 6;
    }
    Button("Update Info", 6, 9, &sheet)->setGeometry(10, 508, 90, 25);
    Button("Cancel", 6, 9, &sheet)->setGeometry(106, 508, 90, 25);

    sheet.show();
    for (size_t i = 0; i < buttons.size(); ++i) {
        switch (i % 5) {
        case 1: Move(buttons[i], buttons[i]->rect().center()); break;
        case 2: Press(buttons[i], {5, 5}); break;
        case 3: buttons[i]->SetChecked(true); break;
        case 4: buttons[i]->SetEnabled(false); break;
        default: break;
        }
    }
    const QImage shot = sheet.grab().toImage();
    QDir().mkpath(TRIMBEL_SCREENSHOTS);
    const QString path = QStringLiteral(TRIMBEL_SCREENSHOTS "/controls.png");
    ASSERT_TRUE(shot.save(path));

    // Each style-7 button shows the body of its state: the hovered and the disabled bodies differ
    // from the normal one near the rim (pressed and checked share its colour by default).
    auto rim = [&](int state) {
        const CandyButton* b = buttons[7 * 5 + state];
        return shot.pixel(b->geometry().topLeft() + QPoint(3, b->height() - 4));
    };
    for (int state : {1, 4}) EXPECT_NE(rim(state), rim(0)) << states[state];
    EXPECT_EQ(QImage(path).size(), shot.size());
}

TEST(WindowFonts, NamedFontsResolveToMetricCompatibleStandIns) {
    TestApp();
    const QFont arial = WindowFont("Arial", 9, true);
    EXPECT_TRUE(arial.bold());
    EXPECT_DOUBLE_EQ(arial.pointSizeF(), 9.0);
    QFont liberation("Liberation Sans");
    liberation.setPointSizeF(9);
    liberation.setBold(true);
    // Arial through fontconfig's alias, or Liberation Sans as the named fallback: same metrics.
    EXPECT_EQ(QFontMetrics(arial).horizontalAdvance("Save Selection"),
              QFontMetrics(liberation).horizontalAdvance("Save Selection"));
    if (QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        EXPECT_EQ(QFontInfo(WindowFont("Tahoma", 9, false)).family(), "Tahoma");
    }
    EXPECT_FALSE(QFontInfo(WindowFont("No Such Font Family", 9, false)).family().isEmpty());
}
