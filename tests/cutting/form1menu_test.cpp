// The menu bar: every item, submenus too, shows a key that the window answers, and
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

using Form1Menu = Form1Test;

TEST_F(Form1Menu, EveryKeyAnItemShowsIsAKeyTheWindowAnswers) {
    std::vector<QKeySequence> windowKeys;
    for (QShortcut* shortcut : form->findChildren<QShortcut*>()) windowKeys.push_back(shortcut->key());
    int shown = 0;
    std::vector<QMenu*> menus;
    for (QAction* top : form->MenuBar1->actions()) {
        ASSERT_NE(top->menu(), nullptr);
        menus.push_back(top->menu());
    }
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
    EXPECT_EQ(QStringList({"&File", "&Edit", "&View", "&Help"}),
              [&] {
                  QStringList names;
                  for (QAction* top : form->MenuBar1->actions()) names << top->text();
                  return names;
              }());
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
