// The real file dialogs: which folder they open in.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
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
