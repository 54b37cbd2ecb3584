// The menu bar: every item shows the key that the window answers, runs what its button runs, and
// File > Open Recent offers the files opened lately that still exist, across runs.
#include <algorithm>

#include <QMenu>
#include <QLayout>
#include <QMenuBar>
#include <QSettings>
#include <QShortcut>

#include "cutting/windowsettings.h"
#include "form1fixture.h"

namespace {

class Form1Menu : public Form1Test {
protected:
    // The item whose text, without its & marks, is `text` in the menu `menu`.
    QAction* Item(const QString& menu, const QString& text) {
        for (QAction* top : form->MenuBar1->actions()) {
            if (top->text().remove('&') != menu || !top->menu()) continue;
            for (QAction* action : top->menu()->actions())
                if (action->text().remove('&') == text) return action;
        }
        ADD_FAILURE() << "no item " << menu.toStdString() << " > " << text.toStdString();
        return nullptr;
    }

    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const auto& m : messages.shown) texts.push_back(m.text);
        return texts;
    }
};

TEST_F(Form1Menu, EveryKeyAnItemShowsIsAKeyTheWindowAnswers) {
    std::vector<QKeySequence> windowKeys;
    for (QShortcut* shortcut : form->findChildren<QShortcut*>()) windowKeys.push_back(shortcut->key());
    int shown = 0;
    for (QAction* top : form->MenuBar1->actions()) {
        ASSERT_NE(top->menu(), nullptr);
        for (QAction* action : top->menu()->actions()) {
            if (action->shortcut().isEmpty()) continue;
            ++shown;
            EXPECT_EQ(action->shortcutContext(), Qt::WidgetShortcut) << "the window's key does the work";
            EXPECT_EQ(std::count(windowKeys.begin(), windowKeys.end(), action->shortcut()), 1)
                << action->text().toStdString() << " shows " << action->shortcut().toString().toStdString();
        }
    }
    EXPECT_GE(shown, 15);
    EXPECT_EQ(QStringList({"&File", "&Edit", "&View", "&Help"}),
              [&] {
                  QStringList names;
                  for (QAction* top : form->MenuBar1->actions()) names << top->text();
                  return names;
              }());
}

TEST_F(Form1Menu, ItemsRunWhatTheirButtonsRun) {
    const std::pair<QAction*, QAbstractButton*> pairs[] = {
        {Item("File", "Save Selection..."), form->CandyButton6}, {Item("Edit", "Set start"), form->CandyButton3},
        {Item("Edit", "Set end"), form->CandyButton4},
    };
    for (const auto& [action, button] : pairs) {
        ASSERT_NE(action, nullptr);
        messages.shown.clear();
        Click(button);
        const std::vector<QString> byButton = Texts();
        messages.shown.clear();
        action->trigger();
        EXPECT_FALSE(byButton.empty()) << action->text().toStdString();
        EXPECT_EQ(Texts(), byButton) << action->text().toStdString();
    }
    Item("File", "Exit")->trigger();
    EXPECT_EQ(quits, 1);
    Item("Help", "Help")->trigger();
    EXPECT_EQ(links.opened, std::vector<std::string>{"https://www.trimbel.app/help/"});
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    Item("File", "Open...")->trigger();
    EXPECT_EQ(form->Session().Path(), source);
}

TEST_F(Form1Menu, TheBarSitsAboveTheControlsAndTheWindowGrowsByIt) {
    QApplication::processEvents();
    EXPECT_LE(form->MenuBar1->geometry().bottom(), form->Heading->geometry().top());
    EXPECT_EQ(form->MenuBar1->geometry().top(), 0);
    EXPECT_GE(form->sizeHint().height(), form->layout()->contentsMargins().top() + form->MenuBar1->sizeHint().height() +
                                             form->CandyButton1->height() * 4);
}

TEST_F(Form1Menu, OpenRecentListsOpenedFilesThatStillExistAndKeepsThemForTheNextRun) {
    const std::string second = dir.file("second.mp3");
    const std::string gone = dir.file("gone.mp3");
    testfiles::WriteFile(second, testfiles::SilentFrames(20));
    testfiles::WriteFile(gone, testfiles::SilentFrames(20));
    for (const std::string& path : {source, gone, second}) form->OpenFile(QString::fromStdString(path));
    std::filesystem::remove(gone);
    emit form->RecentMenu->aboutToShow();
    QStringList shown;
    for (QAction* action : form->RecentMenu->actions()) shown << action->text();
    ASSERT_EQ(shown.size(), 2) << shown.join(", ").toStdString();
    EXPECT_TRUE(shown[0].startsWith("second.mp3"));
    EXPECT_TRUE(shown[1].startsWith("song.mp3"));

    form->RecentMenu->actions()[1]->trigger();
    EXPECT_EQ(form->Session().Path(), source);
    EXPECT_EQ(form->Recent().Paths().front(), source);
    std::filesystem::remove(second);
    form->OpenRecent(QString::fromStdString(second));
    EXPECT_TRUE(LastMessage().contains("is no longer there")) << LastMessage().toStdString();
    EXPECT_EQ(form->Session().Path(), source) << "nothing else opened";

    const QString ini = QString::fromStdString(dir.file("trimbel.ini"));
    {
        QSettings settings(ini, QSettings::IniFormat);
        SaveWindowSettings(*form, settings);
    }
    Form1 next(parts);
    EXPECT_FALSE(next.RecentMenu->isEnabled());
    QSettings settings(ini, QSettings::IniFormat);
    RestoreWindowSettings(next, settings);
    EXPECT_EQ(next.Recent().Paths(), std::vector<std::string>{source});
    EXPECT_TRUE(next.RecentMenu->isEnabled());
}

}  // namespace
