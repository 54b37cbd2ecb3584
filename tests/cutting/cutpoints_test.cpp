// Cut points in the cutting window: every route that adds, moves, deletes or names one leaves the
// plan it should, and the file actions (pauses, cue sheets, Save all parts) report what happened.
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include <QMenu>
#include <QSignalSpy>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QTableWidget>

#include "cutting/backgroundjob.h"
#include "id3/chapters.h"
#include "mpeg/framescan.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/cutpointspanel.h"
#include "cutting/waveformview.h"
#include "form1fixture.h"
#include "models/cutpointsmodel.h"

namespace {

namespace fs = std::filesystem;

// 500 silent frames: 13.03 s that the split core walks like any MP3.
constexpr int kFrames = 500;

class CutPointsTest : public Form1Test {
protected:
    CutPointsTest() {
        mp3 = dir.file("show.mp3");
        testfiles::WriteFile(mp3, testfiles::SilentFrames(kFrames));
        Activate();
    }
    CutPointsController& Cuts() { return *form->CutPoints(); }
    const SplitPlan& Plan() { return Cuts().Model().Plan(); }

    // Opens `path` and waits for its frame walk.
    void OpenReady(const std::string& path) {
        OpenTimed(path, 13);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Cuts().Model().Ready(); }, 10000));
    }

    std::vector<double> CutStarts() {
        std::vector<double> starts;
        for (size_t i = 0; i < Plan().CutCount(); ++i) starts.push_back(Plan().Cut(i).start);
        return starts;
    }

    // Triggers the context menu action named `text` as the waveform's menu at `seconds` offers it.
    bool Trigger(const QString& text, double seconds) {
        QMenu menu;
        Cuts().AddMenuActions(&menu, seconds);
        for (QAction* action : menu.actions()) {
            if (action->text() != text) continue;
            if (!action->isEnabled()) return false;
            action->trigger();
            return true;
        }
        ADD_FAILURE() << "no action " << text.toStdString();
        return false;
    }

    std::string mp3;
};

TEST(CutPointsModel, RefusesBeforeTheLengthIsKnownAndKeepsTheSelectionOnItsCut) {
    CutPointsModel model;
    EXPECT_EQ(model.Add(1.0), -1);
    model.SetDuration(10.0);
    EXPECT_EQ(model.Add(6.0), 0);
    EXPECT_EQ(model.Add(2.0), 0);  // sorted in front
    EXPECT_EQ(model.Selected(), 0);
    model.Select(1);
    EXPECT_TRUE(model.Remove(0));
    EXPECT_EQ(model.Selected(), 0) << "the selection follows its cut point";
    EXPECT_DOUBLE_EQ(model.Plan().Cut(0).start, 6.0);
    EXPECT_TRUE(model.Remove(0));
    EXPECT_EQ(model.Selected(), -1);
    EXPECT_FALSE(model.Move(0, 3.0));
    EXPECT_FALSE(model.Rename(5, "x"));
}

TEST(BackgroundJob, CancelStopsTheJobAndAFinishedJobIsNotCancelled) {
    TestApp();
    QWidget owner;
    owner.show();
    bool sawStop = false;
    // Cancel as soon as the loop runs; the job goes on until it is told to stop (or 10 s pass).
    QTimer::singleShot(0, &owner, [&] {
        auto* dialog = owner.findChild<QProgressDialog*>();
        ASSERT_NE(dialog, nullptr);
        auto* button = dialog->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), "Cancel");
        button->click();
    });
    const bool cancelled = RunBackgroundJob(&owner, "Working", true, [&](const JobProgress& progress) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!progress(0.5)) {
                sawStop = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(sawStop);

    int runs = 0;
    EXPECT_FALSE(RunBackgroundJob(&owner, "Working", true, [&](const JobProgress& progress) {
        ++runs;
        progress(1.0);
    })) << "closing the dialog after the job is not a Cancel";
    EXPECT_EQ(runs, 1);
}

TEST_F(CutPointsTest, AFileWithoutAudioRefusesCutPointsAndSaysWhy) {
    const std::string text = dir.file("notes.mp3");
    testfiles::WriteFile(text, testfiles::FromString(std::string(4000, 'x')));
    anyFile = true;  // as if the window had taken it
    QSignalSpy walked(form->CutPoints(), &CutPointsController::sourceReady);
    OpenTimed(text, 13);
    ASSERT_TRUE(QTest::qWaitFor([&] { return walked.count() == 1; }, 10000));
    const size_t before = messages.shown.size();
    player.position = 2.0;
    Key(Qt::Key_K);
    ASSERT_EQ(messages.shown.size(), before + 1);
    EXPECT_TRUE(messages.shown.back().text.startsWith("This file cannot be split: ")) << messages.shown.back().text.toStdString();
    EXPECT_EQ(Plan().CutCount(), 0u);
    EXPECT_FALSE(form->CutPoints1->isEnabled());
}

// K adds at the play position, the waveform's menu adds and deletes under the pointer, a line
// dragged moves its cut point (never past a neighbour, never seeking), Delete removes the selected.
TEST_F(CutPointsTest, EveryRouteAddsMovesOrDeletesTheCutPointItShould) {
    Key(Qt::Key_K);
    EXPECT_EQ(LastMessage(), "Open an MP3 file first.");
    OpenReady(mp3);
    EXPECT_NEAR(Plan().Duration(), kFrames * 1152 / 44100.0 - 529 / 44100.0, 0.001);
    EXPECT_FALSE(Trigger("Save all parts...", 3.0)) << "nothing to save without a cut point";
    WaveformView* view = form->Waveform1;
    const int y = qRound(view->MainRect().center().y());
    auto drag = [&](double from, double to) {
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(qRound(view->XAtSeconds(from)), y));
        QTest::mouseMove(view, QPoint(qRound(view->XAtSeconds(to)), y));
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(qRound(view->XAtSeconds(to)), y));
    };
    const struct {
        const char* route;
        std::function<void()> act;
        std::vector<double> starts;
    } routes[] = {
        {"K", [&] { player.position = 4.25, Key(Qt::Key_K); }, {4.25}},
        {"K again", [&] { player.position = 9.5, Key(Qt::Key_K); }, {4.25, 9.5}},
        {"K at a cut point is refused", [&] { Key(Qt::Key_K); }, {4.25, 9.5}},
        {"the menu adds", [&] { EXPECT_TRUE(Trigger("Add cut point here", 3.0)); }, {3.0, 4.25, 9.5}},
        {"the menu deletes", [&] { EXPECT_TRUE(Trigger("Delete cut point", 3.01)); }, {4.25, 9.5}},
        {"a drag", [&] { Cuts().SelectCut(-1), drag(4.25, 6.0); }, {view->SecondsAtX(qRound(view->XAtSeconds(6.0))), 9.5}},
        {"a drag past the neighbour", [&] { drag(Plan().Cut(0).start, 11.0); }, {view->SecondsAtX(qRound(view->XAtSeconds(6.0))), 9.5}},
        {"Delete", [&] { Key(Qt::Key_Delete); }, {9.5}},
    };
    const size_t seeks = player.calls.size();
    for (const auto& r : routes) {
        r.act();
        ASSERT_EQ(CutStarts().size(), r.starts.size()) << r.route;
        for (size_t i = 0; i < r.starts.size(); ++i) EXPECT_NEAR(CutStarts()[i], r.starts[i], 0.05) << r.route;
        EXPECT_EQ(view->CutPoints(), CutStarts()) << r.route;
    }
    EXPECT_EQ(player.calls.size(), seeks) << "grabbing a cut point is not a seek";
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Exclamation);
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(form->CutPoints1->Table()->rowCount(), 2);
    EXPECT_EQ(form->CutPoints1->Table()->item(1, 0)->text(), "00:09.500");
}

TEST_F(CutPointsTest, TheListNamesThePartsAndSelectsCutPoints) {
    OpenReady(mp3);
    Cuts().AddAt(5.0);
    QTableWidget* table = form->CutPoints1->Table();
    ASSERT_EQ(table->rowCount(), 2);
    table->item(0, 1)->setText("Intro");
    table->item(1, 1)->setText("  Main theme ");
    EXPECT_EQ(Plan().Part(0).title, "Intro");
    EXPECT_EQ(Plan().Part(1).title, "Main theme");
    EXPECT_FALSE(table->item(1, 0)->flags() & Qt::ItemIsEditable) << "the time is not typed in";
    table->selectRow(0);
    EXPECT_EQ(Cuts().Model().Selected(), -1);
    table->selectRow(1);
    EXPECT_EQ(Cuts().Model().Selected(), 0);
    // Adding a cut point keeps the names of the parts around it.
    Cuts().AddAt(10.0);
    EXPECT_EQ(table->item(1, 1)->text(), "Main theme");
    EXPECT_EQ(table->item(2, 1)->text(), "");
}

TEST_F(CutPointsTest, SaveAllPartsWritesNumberedPartsAndAsksBeforeReplacing) {
    OpenReady(mp3);
    Cuts().AddAt(4.0);
    Cuts().AddAt(8.0);
    const testfiles::TempDir out;
    const QString folder = QString::fromStdString(out.path().string());
    dialogs.folders.push_back(folder);
    // The save runs behind the window's progress dialog, on every platform.
    QString progressLabel;
    QTimer::singleShot(0, form.get(), [&] {
        if (auto* dialog = form->findChild<QProgressDialog*>()) progressLabel = dialog->labelText();
    });
    Cuts().SaveAllParts();
    EXPECT_EQ(progressLabel, "Saving the parts...");
    const std::string first = out.file("show - 01.mp3");
    for (const char* name : {"show - 01.mp3", "show - 02.mp3", "show - 03.mp3"})
        EXPECT_TRUE(fs::exists(out.file(name))) << name;
    EXPECT_TRUE(messages.asked.empty());
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().text, "Saved 3 parts in " + folder + ".");
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Information);

    // Again into the same folder: the user is asked, and "No" leaves the parts alone.
    testfiles::WriteFile(first, testfiles::FromString("keep me"));
    dialogs.folders.push_back(folder);
    messages.answer = false;
    const size_t shown = messages.shown.size();
    Cuts().SaveAllParts();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.asked[0].text.startsWith("3 of the parts exist already in " + folder));
    EXPECT_EQ(testfiles::ReadFile(first), testfiles::FromString("keep me"));
    EXPECT_EQ(messages.shown.size(), shown);

    dialogs.folders.push_back(folder);
    messages.answer = true;
    Cuts().SaveAllParts();
    EXPECT_NE(testfiles::ReadFile(first), testfiles::FromString("keep me"));
    EXPECT_EQ(messages.shown.back().text, "Saved 3 parts in " + folder + ".");

    // A cancelled folder dialog saves nothing and says nothing.
    const size_t before = messages.shown.size();
    Cuts().SaveAllParts();
    EXPECT_EQ(messages.shown.size(), before);

    // A folder in the way of the second part: the first is saved, the failed one named, the third
    // not begun, and the folder left as it was.
    const testfiles::TempDir other;
    fs::create_directory(other.path() / "show - 02.mp3");
    testfiles::WriteFile(other.file("show - 02.mp3/inside"), testfiles::FromString("x"));
    dialogs.folders.push_back(QString::fromStdString(other.path().string()));
    Cuts().SaveAllParts();
    const ShownMessage& last = messages.shown.back();
    EXPECT_EQ(last.icon, MsgIcon::Error);
    EXPECT_TRUE(last.text.startsWith("Part 2 of 3 could not be saved: ")) << last.text.toStdString();
    EXPECT_TRUE(last.text.contains("1 parts before it are saved")) << last.text.toStdString();
    EXPECT_TRUE(fs::exists(other.file("show - 01.mp3")));
    EXPECT_FALSE(fs::exists(other.file("show - 03.mp3")));
    EXPECT_TRUE(fs::exists(other.file("show - 02.mp3/inside")));
}

TEST_F(CutPointsTest, CueSheetsComeInWithTheirTitlesAndErrorsGiveTheLine) {
    OpenReady(mp3);
    const std::string good = dir.file("good.cue");
    testfiles::WriteFile(good, testfiles::FromString("REM GENRE Talk\r\n"
                                                     "FILE \"show.mp3\" MP3\r\n"
                                                     "  TRACK 01 AUDIO\r\n    TITLE \"Opening\"\r\n"
                                                     "    INDEX 01 00:00:00\r\n"
                                                     "  TRACK 02 AUDIO\r\n    TITLE \"News\"\r\n"
                                                     "    INDEX 00 00:05:00\r\n    INDEX 01 00:06:00\r\n"));
    dialogs.opens.push_back({QString::fromStdString(good), "good.cue"});
    Cuts().ImportCueSheet();
    EXPECT_EQ(dialogs.openFilters.back(), "Cue Sheets (*.cue)|*.cue");
    ASSERT_EQ(Plan().CutCount(), 1u);
    EXPECT_DOUBLE_EQ(Plan().Cut(0).start, 6.0);
    EXPECT_EQ(Plan().Part(0).title, "Opening");
    EXPECT_EQ(Plan().Part(1).title, "News");
    EXPECT_EQ(form->CutPoints1->Table()->item(1, 1)->text(), "News");

    const std::string bad = dir.file("bad.cue");
    testfiles::WriteFile(bad, testfiles::FromString("FILE \"show.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:xx:00\n"));
    dialogs.opens.push_back({QString::fromStdString(bad), "bad.cue"});
    Cuts().ImportCueSheet();
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
    EXPECT_TRUE(messages.shown.back().text.contains("line 3")) << messages.shown.back().text.toStdString();
    EXPECT_EQ(Plan().CutCount(), 1u) << "a faulty sheet changes nothing";

    const std::string exported = dir.file("out.cue");
    dialogs.saves.push_back({QString::fromStdString(exported), "out.cue"});
    Cuts().ExportCueSheet();
    EXPECT_EQ(dialogs.saveDefaults.back(), "show.cue");
    const Bytes text = testfiles::ReadFile(exported);
    const std::string sheet(text.begin(), text.end());
    EXPECT_NE(sheet.find("FILE \"show.mp3\""), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("TITLE \"News\""), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("INDEX 01 00:06:00"), std::string::npos) << sheet;

    // Never over the file it describes.
    const Bytes audio = testfiles::ReadFile(mp3);
    dialogs.saves.push_back({QString::fromStdString(mp3), "show.mp3"});
    Cuts().ExportCueSheet();
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
    EXPECT_TRUE(messages.shown.back().text.contains("over the file it describes")) << messages.shown.back().text.toStdString();
    EXPECT_EQ(testfiles::ReadFile(mp3), audio);
}

TEST_F(CutPointsTest, FindPausesCutsBetweenTonesAsTheDialogSays) {
    const std::string wav = dir.file("tones.wav");
    const std::string tones = dir.file("tones.mp3");
    int status = -1;
    const std::string a = dir.file("a.wav"), gap = dir.file("gap.wav"), b = dir.file("b.wav");
    const std::string make = "sox -n -r 44100 -c 1 " + testfiles::ShellQuote(a) + " synth 2 sine 440 && " +
                             "sox -n -r 44100 -c 1 " + testfiles::ShellQuote(gap) + " trim 0 1.5 && " +
                             "sox -n -r 44100 -c 1 " + testfiles::ShellQuote(b) + " synth 2 sine 660 && " + "sox " +
                             testfiles::ShellQuote(a) + " " + testfiles::ShellQuote(gap) + " " +
                             testfiles::ShellQuote(b) + " " + testfiles::ShellQuote(wav) + " && lame --quiet " +
                             testfiles::ShellQuote(wav) + " " + testfiles::ShellQuote(tones) + " 2>&1";
    testfiles::CommandOutput(make, &status);
    if (status != 0) GTEST_SKIP() << "sox and lame are needed";
    OpenReady(tones);
    int asked = 0;
    Cuts().SetAskPauses([&](QWidget*) -> std::optional<PauseChoice> {
        ++asked;
        PauseChoice choice;
        choice.options.minPauseSeconds = 1.0;
        return choice;
    });
    Cuts().FindPauses();
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(Plan().CutCount(), 1u) << (messages.shown.empty() ? "" : messages.shown.back().text.toStdString());
    EXPECT_NEAR(Plan().Cut(0).start, 2.75, 0.05);
    Cuts().SetAskPauses([](QWidget*) { return std::optional<PauseChoice>(); });
    Cuts().FindPauses();
    EXPECT_EQ(Plan().CutCount(), 1u) << "a cancelled dialog changes nothing";
}

// A file's chapters come in as its cut points and part names; "Save cut points as chapters"
// writes the cut points and names back into the file's tag.
TEST_F(CutPointsTest, ChaptersOpenAsCutPointsAndCutPointsSaveAsChapters) {
    std::vector<mdlID3::Chapter> chapters(3);
    chapters[0].Title = "Opening";
    chapters[1].StartMs = 4000;
    chapters[1].Title = "Talk";
    chapters[2].StartMs = 9250;
    chapters[2].Title = "Music";
    mdlID3::ArrangeChapters(chapters, 13000);
    ASSERT_TRUE(mdlID3::WriteChapters(mp3, chapters));
    OpenReady(mp3);
    EXPECT_EQ(CutStarts(), (std::vector<double>{4.0, 9.25}));
    EXPECT_EQ(Plan().Part(0).title, "Opening");
    EXPECT_EQ(Plan().Part(2).title, "Music");
    EXPECT_EQ(form->CutPoints1->Table()->item(1, 1)->text(), "Talk");

    Cuts().AddAt(11.0);
    Cuts().SetPartTitle(3, "Outro");
    ASSERT_TRUE(Trigger("Save cut points as chapters", 2.0));
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Information);
    EXPECT_EQ(messages.shown.back().text, "4 chapters were saved in show.mp3.");
    std::vector<mdlID3::Chapter> saved;
    ASSERT_TRUE(mdlID3::ReadChapters(mp3, saved));
    ASSERT_EQ(saved.size(), 4u);
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {0, "Opening"}, {4000, "Talk"}, {9250, "Music"}, {11000, "Outro"}};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(std::make_pair(saved[i].StartMs, saved[i].Title), expected[i]) << i;
    // The chapters ended 49 ms before the audio: the kept range ends with them, and so do the
    // chapters saved from it.
    EXPECT_DOUBLE_EQ(Plan().RangeEnd(), 13.0);
    EXPECT_EQ(saved[3].EndMs, 13000u);
}

}  // namespace
