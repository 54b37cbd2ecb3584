// Editing in the cutting window, once through its keys: Delete cuts the selection out (or removes
// a selected cut point), the player, slider, length, waveform and cut points follow the edited
// timeline, Ctrl+Z brings it all back, and "Save edited as..." writes a new file, never the source.
#include <filesystem>

#include <QSignalSpy>

#include "cutting/cutpointscontroller.h"
#include "cutting/waveformview.h"
#include "form1fixture.h"
#include "models/cuttingmessages.h"

namespace {

constexpr int kFrames = 500;  // 13.03 s of silent frames

class Form1Edits : public Form1Test {
protected:
    Form1Edits() {
        mp3 = dir.file("talk.mp3");
        testfiles::WriteFile(mp3, testfiles::SilentFrames(kFrames));
        Activate();
        OpenTimed(mp3, 13);
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->CutPoints()->Model().Ready(); }, 10000));
    }
    std::vector<double> Cuts() const {
        std::vector<double> starts;
        const SplitPlan& plan = form->CutPoints()->Model().Plan();
        for (size_t i = 0; i < plan.CutCount(); ++i) starts.push_back(plan.Cut(i).start);
        return starts;
    }

    std::string mp3;
};

TEST_F(Form1Edits, DeleteCutsTheSelectionOutAndEverythingFollowsUntilUndo) {
    const double length = form->Session().EditedSeconds();
    ASSERT_NEAR(length, 13.05, 0.02);
    form->CutPoints()->AddAt(3.0);
    form->CutPoints()->AddAt(8.0);
    form->CutPoints()->SelectCut(-1);
    form->MarkSelection(2.0, 5.0);
    Key(Qt::Key_Delete);
    ASSERT_EQ(player.segments.size(), 2u) << LastMessage().toStdString();
    EXPECT_EQ(player.segments[0].sourceStart, 0);
    EXPECT_EQ(player.segments[0].sourceEnd, 2 * 44100);
    EXPECT_EQ(player.segments[1].sourceStart, 5 * 44100);
    EXPECT_NEAR(form->Session().EditedSeconds(), length - 3.0, 1e-9);
    EXPECT_EQ(form->Slider1->Max(), 10);
    EXPECT_EQ(form->Label15->text(), "00:00:10");
    EXPECT_NEAR(player.position, 2.0, 1e-9) << "playing goes on at the join";
    ASSERT_EQ(form->Waveform1->Joins().size(), 1u);
    EXPECT_NEAR(form->Waveform1->Joins()[0], 2.0, 1e-9);
    EXPECT_EQ(Cuts(), std::vector<double>{5.0}) << "the one cut out goes, the later one moves up";
    EXPECT_FALSE(form->Waveform1->HasSelection());

    // With a cut point selected, Delete removes it and edits nothing.
    form->CutPoints()->SelectCut(0);
    form->MarkSelection(1.0, 1.5);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(Cuts().empty());
    EXPECT_NEAR(form->Session().EditedSeconds(), length - 3.0, 1e-9);

    Key(Qt::CTRL | Qt::Key_Z);  // the marking of 1..1.5
    Key(Qt::CTRL | Qt::Key_Z);  // the cut
    EXPECT_TRUE(player.segments.empty());
    EXPECT_FALSE(form->Session().Edited());
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

    // Keep only, through its key, across the join: 1..2 and 5..7 of the source stay.
    form->MarkSelection(1.0, 4.0);
    Key(Qt::CTRL | Qt::Key_T);
    ASSERT_EQ(player.segments.size(), 2u);
    EXPECT_EQ(player.segments[0], (PlaySegment{44100, 2 * 44100}));
    EXPECT_EQ(player.segments[1], (PlaySegment{5 * 44100, 7 * 44100}));
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
    EXPECT_EQ(testfiles::ReadFile(mp3), before);

    const std::string target = dir.file("talk (edited).mp3");
    dialogs.saves.push_back({QString::fromStdString(target), "talk (edited).mp3"});
    Key(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    ASSERT_EQ(LastMessage().left(18), QString(kEditedSaved)) << LastMessage().toStdString();
    EXPECT_EQ(dialogs.saveDefaults.back(), "talk (edited).mp3");
    ASSERT_TRUE(std::filesystem::exists(target));
    // 10 s of the 13 s are kept: about that share of the frames, behind a fresh header frame.
    const double share = static_cast<double>(std::filesystem::file_size(target)) / before.size();
    EXPECT_NEAR(share, 10.05 / 13.05, 0.02);
    EXPECT_EQ(testfiles::ReadFile(mp3), before);

    // The dialog's "Smooth joins" box, ticked, has the join's frames encoded anew.
    const std::string smooth = dir.file("talk (smooth).mp3");
    dialogs.saves.push_back({QString::fromStdString(smooth), "talk (smooth).mp3"});
    dialogs.optionAnswer = true;
    Key(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    ASSERT_EQ(LastMessage().left(18), QString(kEditedSaved)) << LastMessage().toStdString();
    EXPECT_TRUE(dialogs.saveOptions.back().contains("mooth joins"));
    EXPECT_NE(testfiles::ReadFile(smooth), testfiles::ReadFile(target));
}

}  // namespace
