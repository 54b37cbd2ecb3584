#include "cutting/joindialog.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "cutting/backgroundjob.h"
#include "cutting/filedialogs.h"
#include "join/joinfiles.h"

namespace {

const char* const kFilter = "Audio Files (*.mp3)|*.mp3";

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// The keys of a button's action beside the button's own click.
void AddKeys(QWidget* owner, std::initializer_list<QKeySequence> keys, const std::function<void()>& run) {
    for (const QKeySequence& key : keys) {
        auto* shortcut = new QShortcut(key, owner);
        QObject::connect(shortcut, &QShortcut::activated, owner, run);
    }
}

}  // namespace

JoinDialog::JoinDialog(const JoinDialogParts& parts, QWidget* parent) : QDialog(parent), parts_(parts) {
    setWindowTitle("Join files");
    files_ = new QListWidget(this);
    files_->setObjectName("JoinFiles");
    files_->setSelectionMode(QAbstractItemView::SingleSelection);
    files_->setMinimumSize(420, 200);
    add_ = new QPushButton("&Add...", this);
    remove_ = new QPushButton("&Remove", this);
    up_ = new QPushButton("Move &up", this);
    down_ = new QPushButton("Move &down", this);
    chapters_ = new QCheckBox("Write &chapters (one per file)", this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    join_ = new QPushButton("&Join...", this);
    auto* close = new QPushButton("Close", this);
    // Enter in the list must not start a join the user did not ask for.
    for (QPushButton* button : {add_, remove_, up_, down_, join_, close}) button->setAutoDefault(false);
    remove_->setToolTip("Delete");
    up_->setToolTip("Alt+Up or Ctrl+Up");
    down_->setToolTip("Alt+Down or Ctrl+Down");

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {add_, remove_, up_, down_}) side->addWidget(button);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(files_, 1);
    middle->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chapters_);
    bottom->addStretch();
    bottom->addWidget(join_);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(middle);
    layout->addWidget(status_);
    layout->addLayout(bottom);

    connect(add_, &QPushButton::clicked, this, &JoinDialog::PickFiles);
    connect(remove_, &QPushButton::clicked, this, &JoinDialog::RemoveSelected);
    connect(up_, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { MoveSelected(1); });
    connect(join_, &QPushButton::clicked, this, &JoinDialog::Join);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(files_, &QListWidget::currentRowChanged, this, [this](int row) {
        list_.Select(row);
        Refresh();
    });
    AddKeys(this, {QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(Qt::CTRL | Qt::Key_Up)}, [this] { MoveSelected(-1); });
    AddKeys(this, {QKeySequence(Qt::ALT | Qt::Key_Down), QKeySequence(Qt::CTRL | Qt::Key_Down)},
            [this] { MoveSelected(1); });
    AddKeys(this, {QKeySequence::Delete}, [this] { RemoveSelected(); });
    Refresh();
}

void JoinDialog::AddFiles(const QStringList& paths) {
    std::vector<std::string> added;
    for (const QString& path : paths) added.push_back(path.toStdString());
    list_.Add(added);
    Refresh();
}

void JoinDialog::PickFiles() {
    const QStringList picked = parts_.dialogs->ShowOpenFiles(this, kFilter);
    if (!picked.isEmpty()) AddFiles(picked);
}

void JoinDialog::RemoveSelected() {
    if (list_.RemoveSelected()) Refresh();
}

void JoinDialog::MoveSelected(int step) {
    if (list_.MoveSelected(step)) Refresh();
}

void JoinDialog::Refresh() {
    {
        // Rebuilding the rows moves Qt's current row; the list's own selection is what counts.
        const QSignalBlocker block(files_);
        files_->clear();
        for (const std::string& path : list_.Paths()) {
            const QFileInfo file(QString::fromStdString(path));
            auto* item = new QListWidgetItem(file.fileName() + "  (" + Native(file.absolutePath()) + ")", files_);
            item->setToolTip(Native(file.absoluteFilePath()));
        }
        files_->setCurrentRow(list_.Selected());
    }
    const QString problem = QString::fromStdString(list_.Problem());
    status_->setText(problem);
    remove_->setEnabled(list_.CanRemove());
    up_->setEnabled(list_.CanMove(-1));
    down_->setEnabled(list_.CanMove(1));
    join_->setEnabled(problem.isEmpty());
}

void JoinDialog::Join() {
    const std::string problem = list_.Problem();
    if (!problem.empty()) {
        Tell(QString::fromStdString(problem), MsgIcon::Exclamation);
        return;
    }
    const FileChoice target =
        parts_.dialogs->ShowSave(this, kFilter, QString::fromStdString(list_.DefaultOutputName()));
    if (target.path.isEmpty()) return;
    const std::string output = target.path.toStdString();
    const std::string refusal = list_.OutputProblem(output);
    if (!refusal.empty()) {
        Tell(QString::fromStdString(refusal), MsgIcon::Exclamation);
        return;
    }
    JoinOptions options;
    options.chapters = chapters_->isChecked();
    // The save dialog has asked already before an existing file is chosen.
    options.overwrite = QFileInfo::exists(target.path);
    // The job gets its own copy: the list may not change under it.
    const std::vector<std::string> inputs = list_.Paths();
    JoinOutcome outcome;
    RunBackgroundJob(this, "Joining the files...", parts_.showProgress, [&](const JobProgress& progress) {
        outcome = JoinFiles(inputs, output, options, progress);
    });
    if (outcome.ok) {
        Tell(QString("Joined %1 files into %2.").arg(inputs.size()).arg(Native(target.path)), MsgIcon::Information);
        accept();
    } else if (outcome.cancelled) {
        Tell("Joining was cancelled; nothing was written.", MsgIcon::Information);
    } else {
        Tell("The files cannot be joined: " + QString::fromStdString(outcome.error), MsgIcon::Error);
    }
}

void JoinDialog::Tell(const QString& text, MsgIcon icon) { parts_.messages->Show(this, text, icon, kAppTitle); }
