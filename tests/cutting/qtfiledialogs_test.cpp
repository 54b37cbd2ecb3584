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

// A file opened without the dialog (command line, drop) is where every dialog starts, wherever the
// program was started; the open dialog for several files gives every file picked.
TEST(QtFileDialogsTest, AFileOpenedWithoutTheDialogIsWhereTheNextDialogsStart) {
    TestApp();
    testfiles::TempDir dir;
    const QString folder = QDir(QString::fromStdString(dir.path().string())).absolutePath();
    for (const char* name : {"a.mp3", "b.mp3"}) testfiles::WriteFile(dir.file(name), testfiles::SilentFrames(3));
    const QString started = QDir::currentPath();
    QDir::setCurrent(QDir::tempPath());
    ASSERT_NE(folder, QDir::currentPath());
    QtFileDialogs dialogs;
    dialogs.NoteOpened(folder + "/a.mp3");
    const QString filter = "Audio Files (*.mp3)|*.mp3";
    FileChoice saved, opened;
    EXPECT_EQ(FolderShownBy([&] { saved = dialogs.ShowSave(nullptr, filter, "clip.mp3"); }), folder);
    EXPECT_EQ(FolderShownBy([&] { opened = dialogs.ShowOpen(nullptr, filter); }), folder);
    EXPECT_TRUE(saved.path.isEmpty() && opened.path.isEmpty());

    QString shownIn;
    QTimer::singleShot(0, [&shownIn] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* names = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
        if (!names) return;
        shownIn = dialog->directory().absolutePath();
        names->setText("\"b.mp3\" \"a.mp3\"");
        QMetaObject::invokeMethod(dialog, "accept");
        QTimer::singleShot(1000, dialog, &QDialog::reject);  // names it cannot find leave it open
    });
    const QStringList picked = dialogs.ShowOpenFiles(nullptr, filter);
    QDir::setCurrent(started);
    EXPECT_EQ(shownIn, folder);
    EXPECT_EQ(picked, QStringList({folder + "/b.mp3", folder + "/a.mp3"}));
}
