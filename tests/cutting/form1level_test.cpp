// Edit > Level on the cutting window, through its menu and keys: the selection's gain (asked in dB,
// taken to the nearest 1.5 dB step), fades, Undo, the player and the waveform following, and
// normalising a file that has nothing to measure.
#include <QDoubleSpinBox>
#include <QLabel>

#include "cutting/cutpointscontroller.h"
#include "cutting/gaindialog.h"
#include "cutting/waveformview.h"
#include "form1fixture.h"
#include "models/cuttingmessages.h"

namespace {

class Form1Level : public Form1Test {
protected:
    Form1Level() {
        parts.askGainDb = [this](QWidget*) { return answer; };
        form = std::make_unique<Form1>(parts);
        form->show();
        mp3 = dir.file("talk.mp3");
        testfiles::WriteFile(mp3, testfiles::SilentFrames(500));
        Activate();
        OpenTimed(mp3, 13);
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->CutPoints()->Model().Ready(); }, 10000));
    }
    QAction* Item(const QString& text) { return MenuItem("Edit", text); }
    std::vector<SegmentLevel> Levels() const {
        std::vector<SegmentLevel> levels;
        for (const PlaySegment& s : player.segments) levels.push_back(s.level);
        return levels;
    }

    std::optional<double> answer;
    std::string mp3;
};

TEST_F(Form1Level, TheLevelItemsEditTheSelectionAndUndoTakesThemBack) {
    // The submenu sits under Edit; the keys its items show are checked with the menu bar's.
    EXPECT_EQ(form->LevelMenu->parent(), form->MenuBar1->actions()[1]->menu());
    EXPECT_EQ(Item("Gain of selection...")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));

    // Without a selection: the window's refusal, and no question asked.
    answer = 3.2;
    Item("Gain of selection...")->trigger();
    EXPECT_EQ(LastMessage(), kStartMissing);
    EXPECT_TRUE(player.segments.empty());

    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<SegmentLevel> levels;  // of the player's stretches afterwards
    };
    const int64_t s = 44100;
    const Step steps[] = {
        {"gain by the menu, 3.2 dB is 2 steps", [&] { Item("Gain of selection...")->trigger(); },
         {{}, {2, 0, 0}, {}}},
        {"a cancelled question changes nothing", [&] { answer.reset(); Item("Gain of selection...")->trigger(); },
         {{}, {2, 0, 0}, {}}},
        {"fade in by its key", [&] { Key(Qt::CTRL | Qt::Key_BracketLeft); },
         {{}, {2, 3 * s, 0}, {}}},
        {"fade out by the menu", [&] { Item("Fade out")->trigger(); }, {{}, {2, 3 * s, 3 * s}, {}}},
        {"undo takes the fade out back", [&] { Key(Qt::CTRL | Qt::Key_Z); },
         {{}, {2, 3 * s, 0}, {}}},
    };
    form->MarkSelection(2.0, 5.0);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(Levels(), step.levels) << LastMessage().toStdString();
        EXPECT_TRUE(form->Waveform1->Edited());
        EXPECT_NEAR(form->Session().EditedSeconds(), 13.05, 0.02) << "a level edit removes nothing";
    }
    // Undone to the start: the file plays as it is again.
    while (form->Session().CanUndoMarks()) Key(Qt::CTRL | Qt::Key_Z);
    EXPECT_TRUE(player.segments.empty());
    EXPECT_FALSE(form->Waveform1->Edited());

    // Silence has no loudness to normalise.
    Item("Normalise file...")->trigger();
    EXPECT_EQ(LastMessage(), "The file is silent: there is nothing to normalise.");
    EXPECT_TRUE(player.segments.empty());
}

TEST(GainDialog, ShowsTheStepItTakes) {
    TestApp();
    const std::pair<double, const char*> cases[] = {
        {3.2, "+2 steps = +3.01 dB"}, {-4.5, "-3 steps = -4.52 dB"}, {1.0, "+1 step = +1.51 dB"}, {0.5, "0 steps = 0.00 dB"}};
    GainDialog dialog;
    for (const auto& [db, text] : cases) {
        dialog.SetDb(db);
        EXPECT_EQ(dialog.Steps->text(), text) << db;
        EXPECT_EQ(GainDialog::StepText(db), text) << db;
    }
    dialog.Amount->setValue(-6.0);
    EXPECT_EQ(dialog.Steps->text(), "-4 steps = -6.02 dB") << "follows the typed value";
}

}  // namespace
