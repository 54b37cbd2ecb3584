// The real file dialogs: which folder they open in.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>

#include "cuttingfakes.h"
#include "cutting/qtfiledialogs.h"
#include "support/testfiles.h"

namespace {

// Shows the dialog through `show`, notes the folder it opened in and cancels it.
template <typename Show>
QString FolderShownBy(Show show) {
    QString folder;
    QTimer::singleShot(0, [&folder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
    show();
    return folder;
}

// Shows the dialog through `show` and chooses `path` in it.
template <typename Show>
void ChooseIn(Show show, const QString& path) {
    QTimer::singleShot(0, [path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    show();
}

}  // namespace

TEST(QtFileDialogsTest, AFileOpenedWithoutTheDialogIsWhereTheNextDialogsStart) {
    TestApp();
    testfiles::TempDir dir;
    const QString folder = QDir(QString::fromStdString(dir.path().string())).absolutePath();
    const QString elsewhere = QDir::tempPath();
    ASSERT_NE(folder, elsewhere);
    const QString started = QDir::currentPath();
    QDir::setCurrent(elsewhere);

    QtFileDialogs dialogs;
    dialogs.NoteOpened(folder + "/song.mp3");

    FileChoice saved;
    EXPECT_EQ(FolderShownBy([&] { saved = dialogs.ShowSave(nullptr, "Audio Files (*.mp3)|*.mp3", "clip.mp3"); }),
              folder);
    EXPECT_TRUE(saved.path.isEmpty());
    FileChoice opened;
    EXPECT_EQ(FolderShownBy([&] { opened = dialogs.ShowOpen(nullptr, "Audio Files (*.mp3)|*.mp3"); }), folder);
    EXPECT_TRUE(opened.path.isEmpty());
    QDir::setCurrent(started);
}

TEST(QtFileDialogsTest, OpenAndSaveFoldersAreRememberedBetweenRuns) {
    TestApp();
    testfiles::TempDir dir;
    const QString root = QDir(QString::fromStdString(dir.path().string())).absolutePath();
    ASSERT_TRUE(QDir(root).mkpath("songs"));
    ASSERT_TRUE(QDir(root).mkpath("clips"));
    testfiles::WriteFile(dir.file("songs/a.mp3"), testfiles::SilentFrames(3));
    const QString ini = root + "/trimbel.ini";
    const QString filter = "Audio Files (*.mp3)|*.mp3";
    {
        QSettings settings(ini, QSettings::IniFormat);
        QtFileDialogs dialogs(&settings);
        ChooseIn([&] { EXPECT_EQ(dialogs.ShowOpen(nullptr, filter).fileTitle, "a.mp3"); }, root + "/songs/a.mp3");
        // Before any clip is saved, the save dialog starts beside the opened file.
        EXPECT_EQ(FolderShownBy([&] { dialogs.ShowSave(nullptr, filter, "clip.mp3"); }), root + "/songs");
        ChooseIn([&] { EXPECT_FALSE(dialogs.ShowSave(nullptr, filter, "clip.mp3").path.isEmpty()); },
                 root + "/clips/clip.mp3");
    }
    QSettings settings(ini, QSettings::IniFormat);
    EXPECT_EQ(settings.value(QtFileDialogs::kOpenFolderKey).toString(), root + "/songs");
    EXPECT_EQ(settings.value(QtFileDialogs::kSaveFolderKey).toString(), root + "/clips");
    QtFileDialogs nextRun(&settings);
    EXPECT_EQ(FolderShownBy([&] { nextRun.ShowOpen(nullptr, filter); }), root + "/songs");
    EXPECT_EQ(FolderShownBy([&] { nextRun.ShowSave(nullptr, filter, "clip2.mp3"); }), root + "/clips");
}

// The open dialog for several files gives every file picked and starts where the open dialog does.
TEST(QtFileDialogsTest, SeveralFilesPickedAtOnceComeBackTogether) {
    TestApp();
    testfiles::TempDir dir;
    const QString folder = QDir(QString::fromStdString(dir.path().string())).absolutePath();
    for (const char* name : {"a.mp3", "b.mp3"}) testfiles::WriteFile(dir.file(name), testfiles::SilentFrames(3));
    QtFileDialogs dialogs;
    dialogs.NoteOpened(folder + "/a.mp3");
    QString shownIn;
    QTimer::singleShot(0, [&shownIn] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* names = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
        if (!names) return;
        shownIn = dialog->directory().absolutePath();
        names->setText("\"b.mp3\" \"a.mp3\"");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const QStringList picked = dialogs.ShowOpenFiles(nullptr, "Audio Files (*.mp3)|*.mp3");
    EXPECT_EQ(shownIn, folder);
    EXPECT_EQ(picked, QStringList({folder + "/b.mp3", folder + "/a.mp3"}));
}
