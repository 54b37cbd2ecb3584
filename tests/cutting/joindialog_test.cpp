// File > Join files... in the cutting window: the open file comes first, Add, Alt+Up and Delete
// reach the list, and Join... writes the listed files in that order, with chapters when ticked,
// into the file the save dialog names; a refusal is shown by name with nothing written. The
// list's and the join's rules are their own tests.
#include <filesystem>
#include <vector>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

#include "cutting/joindialog.h"
#include "form1fixture.h"
#include "id3/chapters.h"

namespace {

namespace fs = std::filesystem;

class JoinDialogTest : public Form1Test {
protected:
    // File > Join files..., as the menu bar runs it; the dialog once it is up and active.
    JoinDialog* OpenJoinDialog() {
        if (QAction* item = MenuItem("File", "Join files...")) item->trigger();
        JoinDialog* dialog = nullptr;
        const auto up = [&] { return (dialog = form->findChild<JoinDialog*>()) && dialog->isVisible(); };
        EXPECT_TRUE(QTest::qWaitFor(up, 5000));
        if (dialog) dialog->activateWindow();
        EXPECT_TRUE(dialog && QTest::qWaitForWindowActive(dialog));
        return dialog;
    }
    void Key(JoinDialog* dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog->Files(), key, modifiers);
    }
    std::vector<std::string> Names(const JoinDialog* dialog) {
        std::vector<std::string> names;
        for (const std::string& path : dialog->List().Paths()) names.push_back(fs::path(path).filename().string());
        return names;
    }
};

TEST_F(JoinDialogTest, PickReorderAndJoinInTheListedOrderAndShowARefusalByName) {
    const std::string a = dir.file("a.mp3"), b = dir.file("b.mp3"), odd = dir.file("odd.mp3");
    testfiles::WriteFile(a, testfiles::SilentFrames(100));         // 128 kbit/s, 44.1 kHz
    testfiles::WriteFile(b, testfiles::SilentFrames(60, 0xA0));    // 160 kbit/s
    testfiles::WriteFile(odd, testfiles::SilentFrames(50, 0x94));  // 48 kHz
    OpenTimed(a, 2.6);

    QPointer<JoinDialog> dialog = OpenJoinDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Names(dialog), std::vector<std::string>{"a.mp3"}) << "the open file comes first";
    EXPECT_FALSE(dialog->JoinButton()->isEnabled());
    EXPECT_FALSE(dialog->Status()->text().isEmpty()) << "it says why";
    dialogs.openMany.push_back({QString::fromStdString(b)});
    Click(dialog->AddButton());
    EXPECT_TRUE(dialog->JoinButton()->isEnabled());
    Key(dialog, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Names(dialog), (std::vector<std::string>{"b.mp3", "a.mp3"}));
    EXPECT_TRUE(dialog->Files()->item(0)->text().startsWith("b.mp3")) << "the shown list follows";
    dialog->ChaptersBox()->setChecked(true);

    const std::string out = dir.file("b (joined).mp3");
    dialogs.saves.push_back({QString::fromStdString(out), "b (joined).mp3"});
    Click(dialog->JoinButton());
    EXPECT_EQ(dialogs.saveDefaults.back(), "b (joined).mp3");
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Information);
    EXPECT_TRUE(LastMessage().startsWith("Joined 2 files into ")) << LastMessage().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, 5000)) << "a join that went through closes the dialog";
    FrameTable table;
    ASSERT_TRUE(ScanFrames(out, table));
    ASSERT_EQ(table.frames.size(), 160u);
    EXPECT_EQ(table.frames[0].bitrateIndex(), 10) << "b first";
    std::vector<mdlID3::Chapter> chapters;
    ASSERT_TRUE(mdlID3::ReadChapters(out, chapters));
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(chapters[0].Title, "b") << "named after the file";

    dialog = OpenJoinDialog();
    ASSERT_TRUE(dialog);
    dialogs.openMany.push_back({QString::fromStdString(odd), QString::fromStdString(b)});
    Click(dialog->AddButton());
    const std::string refused = dir.file("refused.mp3");
    dialogs.saves.push_back({QString::fromStdString(refused), "refused.mp3"});
    Click(dialog->JoinButton());
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
    EXPECT_TRUE(LastMessage().contains("odd.mp3 has 48000 Hz")) << LastMessage().toStdString();
    EXPECT_FALSE(fs::exists(refused));
    ASSERT_FALSE(dialog.isNull()) << "the list stays to be put right";
    dialog->Files()->setCurrentRow(1);
    Key(dialog, Qt::Key_Delete);
    EXPECT_EQ(Names(dialog), (std::vector<std::string>{"a.mp3", "b.mp3"}));
}

}  // namespace
