// Keys, menu items and the waveform band on the cutting window: each reaches the handler it names,
// with a file open, where every handler leaves a trace of its own.
#include <functional>

#include "cutting/waveformview.h"
#include "form1fixture.h"

namespace {

class Form1Keys : public Form1Test {
protected:
    Form1Keys() { Activate(); }
    void Show(double seconds) {
        player.position = seconds;
        form->Timer1_Timer();
    }
    void Trigger(const QString& menu, const QString& item) {
        if (QAction* action = MenuItem(menu, item)) action->trigger();
    }
};

TEST_F(Form1Keys, EveryKeyAndMenuItemReachesItsHandler) {
    const QString path = QString::fromStdString(source);
    const struct {
        const char* route;
        std::function<void()> act;
        std::function<bool()> done;
    } routes[] = {
        {"Ctrl+O opens",
         [&] {
             dialogs.opens.push_back({path, "song.mp3"});
             Key(Qt::CTRL | Qt::Key_O);
             player.durationSeconds = 10;
             form->Timer6_Timer();
         },
         [&] { return form->Session().Path() == source && form->RateKnown(); }},
        {"[ sets the start", [&] { Show(2.5), Key(Qt::Key_BracketLeft); }, [&] { return form->Label2->text() == "2.5 Secs"; }},
        {"End sets the end", [&] { Show(4.75), Key(Qt::Key_End); }, [&] { return form->Label3->text() == "4.75 Secs"; }},
        {"Home sets the start", [&] { Show(3), Key(Qt::Key_Home); }, [&] { return form->Label2->text() == "3 Secs"; }},
        {"] sets the end", [&] { Show(6), Key(Qt::Key_BracketRight); }, [&] { return form->Label3->text() == "6 Secs"; }},
        {"Edit > Set start", [&] { Show(2), Trigger("Edit", "Set start"); }, [&] { return form->Label2->text() == "2 Secs"; }},
        {"Edit > Set end", [&] { Show(5), Trigger("Edit", "Set end"); }, [&] { return form->Label4->text() == "3 Secs"; }},
        {"P plays the selection", [&] { Key(Qt::Key_P); },
         [&] { return form->Timer4->isActive() && player.calls.back() == "play" && player.endSample == 5 * 44100; }},
        {"Left seeks five seconds back", [&] { form->Slider1->SetValue(7), Key(Qt::Key_Left); },
         [&] { return player.calls.back() == "seek=2.000000"; }},
        {"Right seeks on, held at the end", [&] { form->Slider1->SetValue(7), Key(Qt::Key_Right); },
         [&] { return player.calls.back() == "seek=10.000000" && form->Slider1->Value() == 10; }},
        {"Space pauses", [&] { Key(Qt::Key_Space); }, [&] { return player.calls.back() == "pause"; }},
        {"Ctrl+I shows the tags", [&] { Key(Qt::CTRL | Qt::Key_I); },
         [&] { return tags.calls.back() == "show " + source + " | song.mp3"; }},
        {"Ctrl+S saves the selection", [&] { Key(Qt::CTRL | Qt::Key_S); }, [&] { return dialogs.saveDefaults.size() == 1; }},
        {"File > Save Selection...", [&] { Trigger("File", "Save Selection..."); },
         [&] { return dialogs.saveDefaults.size() == 2; }},
        {"File > Open...", [&] { Trigger("File", "Open..."); }, [&] { return dialogs.openFilters.size() == 2; }},
        {"F1 opens the help", [&] { Key(Qt::Key_F1); },
         [&] { return links.opened == std::vector<std::string>{"https://www.trimbel.app/help/"}; }},
        {"Help > Help", [&] { Trigger("Help", "Help"); }, [&] { return links.opened.size() == 2; }},
        {"Ctrl+Q quits", [&] { Key(Qt::CTRL | Qt::Key_Q); }, [&] { return quits == 1; }},
        {"File > Exit", [&] { Trigger("File", "Exit"); }, [&] { return quits == 2; }},
    };
    for (const auto& r : routes) {
        r.act();
        EXPECT_TRUE(r.done()) << r.route;
    }
    EXPECT_TRUE(messages.shown.empty()) << LastMessage().toStdString();
}

TEST_F(Form1Keys, TheWaveformShowsTheMarksAndPositionAndSeeksLikeTheSlider) {
    OpenTimed(source);

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
}

}  // namespace
