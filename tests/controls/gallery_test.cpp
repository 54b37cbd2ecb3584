// Renders every control in its states into one picture for a human to look at, and checks that
// the picture holds what was drawn.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "controls/candybutton.h"
#include "controls/msgscroller.h"
#include "controls/slider.h"
#include "controls/volume.h"
#include "controls/waveout.h"
#include "controls/windowfonts.h"
#include "qtapp.h"

namespace {

class StoredWaveOut : public WaveOut {
public:
    int DeviceCount() const override { return 1; }
    uint32_t GetVolume() const override { return word; }
    void SetVolume(uint32_t w) override { word = w; }
    uint32_t word = 0x79E779E7;
};

void Hover(QWidget* w) {
    QMouseEvent move(QEvent::MouseMove, QPointF(w->width() / 2.0, w->height() / 2.0),
                     w->mapToGlobal(QPointF(w->width() / 2.0, w->height() / 2.0)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

void Press(QWidget* w) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
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
            auto* b = new CandyButton(style == 6 ? "Update &Info" : "&Open", &sheet);
            b->SetStyle(style);
            if (style == 6) {
                b->SetFont(WindowFont("Tahoma", 9, false));
                b->SetCaptionHighLiteColor(0);
                b->SetIconHighLiteColor(0);
            } else {
                b->SetFont(WindowFont("Arial", 9, true));
                b->SetForeColor(kSysHighlight);
            }
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

    StoredWaveOut waveOut;
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
    for (const char* caption : {"Open", "Play/Pause", "Stop", "Play Selection", "Save Selection",
                                "Homepage", "Help", "DONATE"}) {
        auto* b = new CandyButton(caption, &sheet);
        b->SetStyle(7);
        const bool small = QString(caption) == "Homepage" || QString(caption) == "Help";
        b->SetFont(WindowFont("Arial", small ? 8.25 : 9, true));
        b->SetForeColor(kSysHighlight);
        const int w = std::max(72, b->sizeHint().width());
        b->setGeometry(x, 478, w, 25);
        x += w + 6;
    }
    x = 10;
    for (const char* caption : {"Update Info", "Cancel"}) {
        auto* b = new CandyButton(caption, &sheet);
        b->SetStyle(6);
        b->SetFont(WindowFont("Tahoma", 9, false));
        b->SetCaptionHighLiteColor(0);
        b->SetIconHighLiteColor(0);
        b->setGeometry(x, 508, 90, 25);
        x += 96;
    }

    sheet.show();
    for (size_t i = 0; i < buttons.size(); ++i) {
        switch (i % 5) {
        case 1: Hover(buttons[i]); break;
        case 2: Press(buttons[i]); break;
        case 3: buttons[i]->SetChecked(true); break;
        case 4: buttons[i]->SetEnabled(false); break;
        default: break;
        }
    }
    const QImage shot = sheet.grab().toImage();
    QDir().mkpath(TRIMBEL_SCREENSHOTS);
    const QString path = QStringLiteral(TRIMBEL_SCREENSHOTS "/controls.png");
    ASSERT_TRUE(shot.save(path));

    // The hovered style-7 button shows its hover body, the disabled one the grey body.
    const CandyButton* hovered = buttons[7 * 5 + 1];
    const CandyButton* disabled = buttons[7 * 5 + 4];
    EXPECT_EQ(hovered->DrawState(), CandyButton::StateHovered);
    const QPoint rimOfHovered = hovered->geometry().topLeft() + QPoint(3, hovered->height() - 4);
    const QPoint rimOfDisabled = disabled->geometry().topLeft() + QPoint(3, disabled->height() - 4);
    EXPECT_NE(shot.pixel(rimOfHovered), shot.pixel(rimOfDisabled));
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
