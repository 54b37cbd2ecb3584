// Paint cost of the controls the windows repaint most: a style-7 candy button (every hover,
// press and focus change) and one tick of the message ticker. Prints microseconds per paint.
// Run: build/bench/bench_paint
#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>

#include "controls/candybutton.h"
#include "controls/msgscroller.h"
#include "controls/olecolor.h"
#include "controls/windowfonts.h"

namespace {

template <typename F>
double MicrosecondsPer(int runs, F&& step) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) {
        step(i);
    }
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / runs;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    constexpr int kRuns = 1000;

    for (const QSize size : {QSize(97, 25), QSize(145, 33)}) {
        CandyButton button("Save Selection", nullptr);
        button.SetStyle(7);
        button.SetFont(WindowFont("Arial", 9, true));
        button.SetForeColor(kSysHighlight);
        button.resize(size);
        QImage target(size, QImage::Format_ARGB32_Premultiplied);
        button.render(&target);

        const double cached = MicrosecondsPer(kRuns, [&](int) { button.render(&target); });
        const double cold = MicrosecondsPer(kRuns, [&](int) {
            QPixmapCache::clear();
            button.render(&target);
        });
        // Alternate the colours of two states, as hovering in and out does.
        const double toggled = MicrosecondsPer(kRuns, [&](int i) {
            button.SetColorButtonUp(i % 2 ? 0xE99950 : 0xFFC090);
            button.render(&target);
        });
        std::printf("style-7 button %dx%d: %.1f us/paint (cached body), %.1f us/paint (body rebuilt), "
                    "%.1f us/paint (two alternating states)\n",
                    size.width(), size.height(), cached, cold, toggled);
    }

    MsgScroller scroller;
    scroller.resize(577, 17);
    scroller.SetBackColor(kSystemColorFlag | 18);
    scroller.SetForeColor(kSysHighlightText);
    scroller.SetFont(WindowFont("Arial", 8.25, true));
    scroller.SetScrollSpeed(5);
    scroller.AddItem(QStringLiteral("Click on \"Open\" button to select an MP3 file to play and cut.") +
                     QString(129, QLatin1Char(' ')));
    scroller.SetScroll(true);
    scroller.SetAutoScroll(true);
    QImage line(scroller.size(), QImage::Format_ARGB32_Premultiplied);
    const double tick = MicrosecondsPer(kRuns, [&](int) {
        scroller.Tick();
        scroller.render(&line);
    });
    std::printf("ticker %dx%d: %.1f us per tick (move, compose and paint)\n", scroller.width(),
                scroller.height(), tick);
    std::printf("budget: 1000 us per paint; the ticker ticks every 120 ms, the volume timer every 10 ms\n");
    return 0;
}
