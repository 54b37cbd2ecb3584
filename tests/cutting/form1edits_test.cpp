// Editing in the cutting window: each Edit and Level item and its key reach the session, the
// player, slider, waveform and cut points follow the edited timeline, and "Save edited as..."
// writes a new file, never the source. The edit rules themselves are the session's tests.
#include <algorithm>
#include <filesystem>

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QSettings>
#include <QShortcut>

#include "cutting/cutpointscontroller.h"
#include "cutting/gaindialog.h"
#include "cutting/waveform.h"
#include "cutting/waveformview.h"
#include "cutting/windowsettings.h"
#include "form1fixture.h"
#include "models/cuttingmessages.h"

namespace {

constexpr int64_t kS = 44100;  // one second in samples

class Form1Edits : public Form1Test {
protected:
    Form1Edits() {
        parts.askGainDb = [this](QWidget*) { return answer; };
        form = std::make_unique<Form1>(parts);
        form->show();
        mp3 = dir.file("talk.mp3");
        testfiles::WriteFile(mp3, testfiles::SilentFrames(500));  // 13.06 s
        Activate();
        OpenTimed(mp3, 13);
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->CutPoints()->Model().Ready(); }, 10000));
        end = form->Session().Edits().Segments().back().source.end;
    }
    const SplitPlan& Cuts() const { return form->CutPoints()->Model().Plan(); }

    std::optional<double> answer = 3.2;  // 2 steps
    std::string mp3;
    int64_t end = 0;
};

TEST_F(Form1Edits, EachItemAndItsKeyReachTheSessionAndThePlayerGetsTheEditedTimeline) {
    MenuItem("Edit", "Gain of selection...")->trigger();
    EXPECT_EQ(LastMessage(), kStartMissing) << "the session's refusal is shown";
    MenuItem("Edit", "Normalise file...")->trigger();
    EXPECT_EQ(LastMessage(), "The file is silent: there is nothing to normalise.");
    answer.reset();
    form->MarkSelection(2.0, 5.0);
    MenuItem("Edit", "Gain of selection...")->trigger();
    EXPECT_TRUE(player.segments.empty()) << "a cancelled question changes nothing";
    answer = 3.2;
    struct Case {
        const char* item;
        QKeyCombination key;  // none: the item alone
        std::vector<PlaySegment> played;
    };
    const Case cases[] = {
        {"Cut out selection", Qt::Key_Delete, {{0, 2 * kS}, {5 * kS, end}}},
        {"Keep only selection", Qt::CTRL | Qt::Key_T, {{2 * kS, 5 * kS}}},
        {"Gain of selection...", Qt::CTRL | Qt::Key_G, {{0, 2 * kS}, {2 * kS, 5 * kS, {2, 0, 0}}, {5 * kS, end}}},
        {"Fade in", Qt::CTRL | Qt::Key_BracketLeft, {{0, 2 * kS}, {2 * kS, end, {0, 3 * kS, 0}}}},
        {"Fade out", Qt::CTRL | Qt::Key_BracketRight, {{0, 5 * kS, {0, 0, 3 * kS}}, {5 * kS, end}}},
    };
    for (const Case& c : cases) {
        for (const bool byKey : {false, true}) {
            SCOPED_TRACE(std::string(c.item) + (byKey ? ", by its key" : ", by the menu"));
            form->MarkSelection(2.0, 5.0);
            byKey ? Key(c.key) : MenuItem("Edit", c.item)->trigger();
            EXPECT_EQ(player.segments, c.played) << LastMessage().toStdString();
            EXPECT_TRUE(form->Waveform1->Edited());
            while (form->Session().CanUndoMarks()) Key(Qt::CTRL | Qt::Key_Z);
            EXPECT_TRUE(player.segments.empty());
            EXPECT_FALSE(form->Waveform1->Edited());
        }
    }
}

TEST_F(Form1Edits, SliderLengthWaveformAndCutPointsFollowTheCutUntilUndo) {
    form->CutPoints()->AddAt(3.0);
    form->CutPoints()->AddAt(8.0);
    form->CutPoints()->SelectCut(-1);
    form->MarkSelection(2.0, 5.0);
    Key(Qt::Key_Delete);
    EXPECT_EQ(form->Slider1->Max(), 10);
    EXPECT_EQ(form->Label15->text(), "00:00:10");
    EXPECT_NEAR(player.position, 2.0, 1e-9) << "playing goes on at the join";
    ASSERT_EQ(form->Waveform1->Joins().size(), 1u);
    EXPECT_NEAR(form->Waveform1->Joins()[0], 2.0, 1e-9);
    ASSERT_EQ(Cuts().CutCount(), 1u) << "the one cut out goes";
    EXPECT_EQ(Cuts().Cut(0).start, 5.0) << "the later one moves up";
    // With a cut point selected, Delete removes it and edits nothing.
    form->CutPoints()->SelectCut(0);
    form->MarkSelection(1.0, 1.5);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Cuts().CutCount(), 0u);
    EXPECT_EQ(player.segments.size(), 2u);

    Key(Qt::CTRL | Qt::Key_Z);  // the marking of 1..1.5
    Key(Qt::CTRL | Qt::Key_Z);  // the cut
    EXPECT_EQ(form->Slider1->Max(), 13);
    EXPECT_TRUE(form->Waveform1->Joins().empty());
    EXPECT_EQ(form->Label2->text(), "2 Secs") << "the selection comes back with the cut";
    Key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    EXPECT_EQ(player.segments.size(), 2u);
    // Parts are saved as the edited timeline plays; a cue sheet describes the file on disk.
    dialogs.folders.push_back(QString::fromStdString(dir.path().string()));
    form->CutPoints()->AddAt(6.0);
    form->CutPoints()->SaveAllParts();
    EXPECT_TRUE(LastMessage().startsWith("Saved 2 parts")) << LastMessage().toStdString();
    form->CutPoints()->ExportCueSheet();
    EXPECT_TRUE(LastMessage().contains("Save edited as...")) << LastMessage().toStdString();
}

TEST_F(Form1Edits, SaveEditedAsWritesANewFileAndNeverTheSource) {
    Key(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    EXPECT_EQ(LastMessage(), kNoEdits);
    form->MarkSelection(2.0, 5.0);
    form->CutOutSelection();
    const auto before = testfiles::ReadFile(mp3);
    dialogs.saves.push_back({QString::fromStdString(mp3), "talk.mp3"});
    Key(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    EXPECT_EQ(LastMessage(), kEditedOverSource);
    for (const bool smooth : {false, true}) {
        const std::string target = dir.file(smooth ? "smooth.mp3" : "plain.mp3");
        dialogs.saves.push_back({QString::fromStdString(target), "x.mp3"});
        dialogs.optionAnswer = smooth;
        Key(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        ASSERT_EQ(LastMessage().left(18), QString(kEditedSaved)) << LastMessage().toStdString();
        EXPECT_EQ(dialogs.saveDefaults.back(), "talk (edited).mp3");
        EXPECT_TRUE(dialogs.saveOptions.back().contains("mooth joins"));
    }
    EXPECT_NE(testfiles::ReadFile(dir.file("smooth.mp3")), testfiles::ReadFile(dir.file("plain.mp3")))
        << "the ticked box re-encodes the join";
    EXPECT_EQ(testfiles::ReadFile(mp3), before);
}

TEST_F(Form1Edits, EveryKeyAnItemShowsIsAKeyTheWindowAnswers) {
    std::vector<QKeySequence> windowKeys;
    for (QShortcut* shortcut : form->findChildren<QShortcut*>()) windowKeys.push_back(shortcut->key());
    QStringList tops;
    std::vector<QMenu*> menus;
    for (QAction* top : form->MenuBar1->actions()) {
        tops << top->text();
        menus.push_back(top->menu());
    }
    EXPECT_EQ(tops, QStringList({"&File", "&Edit", "&View", "&Help"}));
    EXPECT_EQ(form->LevelMenu->parent(), menus[1]);
    int shown = 0;
    while (!menus.empty()) {
        QMenu* menu = menus.back();
        menus.pop_back();
        for (QAction* action : menu->actions()) {
            if (action->menu()) menus.push_back(action->menu());
            if (action->shortcut().isEmpty()) continue;
            ++shown;
            EXPECT_EQ(action->shortcutContext(), Qt::WidgetShortcut) << "the window's key does the work";
            EXPECT_EQ(std::count(windowKeys.begin(), windowKeys.end(), action->shortcut()), 1)
                << action->text().toStdString() << " shows " << action->shortcut().toString().toStdString();
        }
    }
    EXPECT_GE(shown, 18);
    QApplication::processEvents();
    EXPECT_LE(form->MenuBar1->geometry().bottom(), form->Heading->geometry().top()) << "the bar sits on top";
}

TEST_F(Form1Edits, OpenRecentOpensTheListedFilesAndKeepsThemForTheNextRun) {
    form->OpenFile(QString::fromStdString(source));
    emit form->RecentMenu->aboutToShow();
    ASSERT_EQ(form->RecentMenu->actions().size(), 2);
    EXPECT_TRUE(form->RecentMenu->actions()[0]->text().startsWith("song.mp3"));
    form->RecentMenu->actions()[1]->trigger();
    EXPECT_EQ(form->Session().Path(), mp3);
    std::filesystem::remove(source);
    form->OpenRecent(QString::fromStdString(source));
    EXPECT_TRUE(LastMessage().contains("is no longer there")) << LastMessage().toStdString();
    EXPECT_EQ(form->Session().Path(), mp3) << "nothing else opened";

    const QString ini = QString::fromStdString(dir.file("trimbel.ini"));
    {
        QSettings settings(ini, QSettings::IniFormat);
        SaveWindowSettings(*form, settings);
    }
    Form1 next(parts);
    EXPECT_FALSE(next.RecentMenu->isEnabled()) << "nothing to offer yet";
    QSettings settings(ini, QSettings::IniFormat);
    RestoreWindowSettings(next, settings);
    EXPECT_EQ(next.Recent().Paths().front(), mp3);
    EXPECT_TRUE(next.RecentMenu->isEnabled());
}

TEST(GainDialog, ShowsTheStepItTakesAsTheValueIsTyped) {
    TestApp();
    GainDialog dialog;
    dialog.SetDb(3.2);
    EXPECT_EQ(dialog.Steps->text(), "+2 steps = +3.01 dB");
    dialog.Amount->setValue(-1.0);
    EXPECT_EQ(dialog.Steps->text(), "-1 step = -1.51 dB");
}

// The waveform of an edited timeline: block i of the source peaks at i / 1000.
TEST(WaveformEdits, ThePlotIsTheKeptStretchesAtTheirLevelAndTheStripKeepsTheSource) {
    TestApp();
    auto source = std::make_shared<WaveformEnvelope>();
    for (int i = 0; i < 1000; ++i) source->blocks.push_back({-i / 1000.0f, i / 1000.0f});
    const double block = source->secondsPerBlock;
    source->seconds = 1000 * block;
    BuildSummaries(*source);
    const WaveformEnvelope edited = EditedEnvelope(*source, {{0, 10 * block}, {500 * block, 2000 * block}},
                                                   {{0, 0, 5 * block}, {4, 10 * block, 0}});
    ASSERT_EQ(edited.blocks.size(), 510u) << "a stretch past the end stops at the end";
    EXPECT_FLOAT_EQ(edited.blocks[4].max, 0.004f);
    EXPECT_FLOAT_EQ(edited.blocks[9].max, 0.0f) << "a fade out ends silent";
    EXPECT_FLOAT_EQ(edited.blocks[10].max, 0.0f) << "a fade in starts silent";
    EXPECT_NEAR(edited.blocks[15].max, 0.505f * std::exp2((4 - 60 * (1 - 5.5f / 10)) / 4), 1e-5) << "fading in";
    EXPECT_FLOAT_EQ(edited.blocks[30].max, 1.0f) << "+4 steps double 0.52, clipped at full scale";
    EXPECT_FLOAT_EQ(edited.blocks[30].min, -edited.blocks[30].max);
    ASSERT_FALSE(edited.summaries.empty());
    EXPECT_FLOAT_EQ(edited.summaries[0][2].max, 1.0f);

    WaveformView view;
    view.resize(1000, 100);
    view.SetEnvelope(source);
    // Stretches that follow on in the source differ in level only: no join between them.
    view.SetEdits({{100 * block, 250 * block}, {250 * block, 400 * block}, {600 * block, 1000 * block}}, 1000 * block,
                  {{}, {2, 0, 0}, {}});
    EXPECT_NEAR(view.Span(), 700 * block, 1e-9) << "the plot spans what plays";
    ASSERT_EQ(view.Joins().size(), 1u);
    EXPECT_NEAR(view.Joins()[0], 300 * block, 1e-9);
    ASSERT_EQ(view.Removed().size(), 2u);
    EXPECT_NEAR(view.Removed()[1].first, 400 * block, 1e-9);
    // The strip is the source: x 700 of 1000 is source block 700, edited block 400.
    view.SetView(0.0, view.MinViewSeconds());
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(700, 5));
    EXPECT_NEAR(view.ViewStart() + view.ViewSeconds() / 2, 400 * block, 2 * block);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_NEAR(view.ViewStart() + view.ViewSeconds() / 2, 300 * block, 2 * block)
        << "a removed stretch leads to its join";
}

}  // namespace
