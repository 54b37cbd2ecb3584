// The cutting window's menu bar. Every item runs the handler its button, key or context menu item
// runs; the keys themselves stay the window's own shortcuts, so a menu item only shows its key and
// never competes with it.
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "controls/links.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/form1.h"
#include "cutting/waveformview.h"
#include "trimbel_version.h"

namespace {

// The key is shown beside the text; the window's QShortcut of the same key does the work, so the
// action answers it only while its own menu has the focus.
QAction* AddItem(QMenu* menu, const QString& text, const QKeySequence& key, QObject* receiver,
                 std::function<void()> handler) {
    QAction* action = menu->addAction(text);
    if (!key.isEmpty()) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    QObject::connect(action, &QAction::triggered, receiver, [handler = std::move(handler)] { handler(); });
    return action;
}

}  // namespace

void Form1::BuildMenuBar() {
    MenuBar1 = new QMenuBar(this);
    MenuBar1->setObjectName("MenuBar1");
    // Above the margins, so the window grows by the bar and the controls keep their places.
    layout()->setMenuBar(MenuBar1);
    CutPointsController* cuts = cutPoints_.get();

    QMenu* file = MenuBar1->addMenu("&File");
    AddItem(file, "&Open...", QKeySequence::Open, this, [this] { CandyButton1_Click(); });
    RecentMenu = file->addMenu("Open &Recent");
    RecentMenu->setEnabled(false);
    connect(RecentMenu, &QMenu::aboutToShow, this, &Form1::FillRecentMenu);
    file->addSeparator();
    AddItem(file, "&Save Selection...", QKeySequence::Save, this, [this] { CandyButton6_Click(); });
    AddItem(file, "Save &Edited As...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this, [this] { SaveEditedAs(); });
    AddItem(file, "Save All &Parts...", {}, cuts, [cuts] { cuts->SaveAllParts(); });
    AddItem(file, "&Join files...", {}, cuts, [cuts] { cuts->ShowJoinDialog(); });
    file->addSeparator();
    AddItem(file, "&Import Cue Sheet...", {}, cuts, [cuts] { cuts->ImportCueSheet(); });
    AddItem(file, "&Export Cue Sheet...", {}, cuts, [cuts] { cuts->ExportCueSheet(); });
    file->addSeparator();
    AddItem(file, "E&xit", QKeySequence(Qt::CTRL | Qt::Key_Q), this, [this] { CandyButton9_Click(); });

    QMenu* edit = MenuBar1->addMenu("&Edit");
    QAction* undo = AddItem(edit, "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), this, [this] { UndoMarks(); });
    QAction* redo =
        AddItem(edit, "&Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this, [this] { RedoMarks(); });
    connect(edit, &QMenu::aboutToShow, this, [this, undo, redo] {
        undo->setEnabled(session_.CanUndoMarks());
        redo->setEnabled(session_.CanRedoMarks());
    });
    edit->addSeparator();
    AddItem(edit, "Set &start", QKeySequence(Qt::Key_Home), this, [this] { CandyButton3_Click(); });
    AddItem(edit, "Set &end", QKeySequence(Qt::Key_End), this, [this] { CandyButton4_Click(); });
    AddItem(edit, "Cu&t out selection", QKeySequence::Delete, this, [this] { CutOutSelection(); });
    AddItem(edit, "&Keep only selection", QKeySequence(Qt::CTRL | Qt::Key_T), this, [this] { KeepOnlySelection(); });
    LevelMenu = edit->addMenu("&Level");
    AddItem(LevelMenu, "&Gain of selection...", QKeySequence(Qt::CTRL | Qt::Key_G), this, [this] { GainOfSelection(); });
    AddItem(LevelMenu, "Fade &in", QKeySequence(Qt::CTRL | Qt::Key_BracketLeft), this, [this] { FadeInSelection(); });
    AddItem(LevelMenu, "Fade &out", QKeySequence(Qt::CTRL | Qt::Key_BracketRight), this, [this] { FadeOutSelection(); });
    AddItem(LevelMenu, "&Normalise file...", {}, this, [this] { NormaliseFile(); });
    edit->addSeparator();
    AddItem(edit, "Add &cut point", QKeySequence(Qt::Key_K), cuts, [cuts] { cuts->AddAtPlayPosition(); });
    AddItem(edit, "Find &pauses...", {}, cuts, [cuts] { cuts->FindPauses(); });

    QMenu* view = MenuBar1->addMenu("&View");
    AddItem(view, "Zoom &in", QKeySequence(Qt::Key_Plus), Waveform1, [this] { Waveform1->ZoomIn(); });
    AddItem(view, "Zoom &out", QKeySequence(Qt::Key_Minus), Waveform1, [this] { Waveform1->ZoomOut(); });
    AddItem(view, "Zoom to &selection", QKeySequence(Qt::Key_Z), Waveform1, [this] { Waveform1->ZoomToSelection(); });
    AddItem(view, "&Whole file", QKeySequence(Qt::CTRL | Qt::Key_0), Waveform1, [this] { Waveform1->ShowWholeFile(); });

    QMenu* help = MenuBar1->addMenu("&Help");
    AddItem(help, "&Help", QKeySequence(Qt::Key_F1), this, [this] { CandyButton13_Click(); });
    AddItem(help, "Home&page", {}, this, [this] { CandyButton11_Click(); });
    AddItem(help, "&Download free software", {}, this, [this] { OpenLink(links::kOtherSite1); });
    AddItem(help, "MP3 &Joiner", {}, this, [this] { OpenLink(links::kJoinerProduct); });
    AddItem(help, "D&ONATE", {}, this, [this] { CandyButton14_Click(); });
    help->addSeparator();
    AddItem(help, "&About Trimbel", {}, this, [this] { ShowAbout(); });
}

void Form1::FillRecentMenu() {
    if (recent_.DropMissing()) emit recentFilesChanged();
    RecentMenu->clear();
    for (const std::string& path : recent_.Paths()) {
        const QString file = QString::fromStdString(path);
        QAction* action = RecentMenu->addAction(QFileInfo(file).fileName() + "  (" + QDir::toNativeSeparators(file) + ")");
        connect(action, &QAction::triggered, this, [this, file] { OpenRecent(file); });
    }
    RecentMenu->setEnabled(!recent_.Paths().empty());
}

void Form1::SetRecentFiles(const std::vector<std::string>& paths) {
    recent_.Set(paths);
    recent_.DropMissing();
    RecentMenu->setEnabled(!recent_.Paths().empty());
}

void Form1::NoteRecent(const QString& path) {
    recent_.Add(path.toStdString());
    RecentMenu->setEnabled(true);
    emit recentFilesChanged();
}

void Form1::OpenRecent(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        recent_.Remove(path.toStdString());
        RecentMenu->setEnabled(!recent_.Paths().empty());
        emit recentFilesChanged();
        ShowMessage("The file " + QDir::toNativeSeparators(path) + " is no longer there.", MsgIcon::Exclamation);
        return;
    }
    OpenFile(path);
}

void Form1::ShowAbout() {
    ShowMessage(QString("Trimbel %1\n\nCuts MP3 files without re-encoding them and edits their tags.\n%2")
                    .arg(TRIMBEL_VERSION, links::kHomepage),
                MsgIcon::Information);
}
