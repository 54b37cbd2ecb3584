#pragma once
// File > Join files...: the files to join in a list the user fills (Add...), trims (Remove,
// Delete) and orders (Move up/down, Alt or Ctrl with Up/Down), a check box for one chapter per
// file, and Join..., which asks for the joined file's name and joins in the background with
// progress and Cancel. A join that fails or is cancelled writes nothing; the outcome is told in a
// message box. The list itself is a JoinList: this widget only shows it.
#include <QDialog>
#include <QStringList>

#include "controls/messageboxes.h"
#include "models/joinlist.h"

class FileDialogs;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

struct JoinDialogParts {
    FileDialogs* dialogs = nullptr;
    MessageBoxes* messages = nullptr;
    bool showProgress = true;  // a progress dialog over the join (none in headless runs)
};

class JoinDialog : public QDialog {
    Q_OBJECT
public:
    explicit JoinDialog(const JoinDialogParts& parts, QWidget* parent = nullptr);

    void AddFiles(const QStringList& paths);
    // The buttons' and keys' handlers.
    void PickFiles();
    void RemoveSelected();
    void MoveSelected(int step);
    void Join();

    const JoinList& List() const { return list_; }
    QListWidget* Files() const { return files_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* UpButton() const { return up_; }
    QPushButton* DownButton() const { return down_; }
    QPushButton* JoinButton() const { return join_; }
    QCheckBox* ChaptersBox() const { return chapters_; }
    QLabel* Status() const { return status_; }

private:
    // Shows the list, its selection and what stands in the way, and enables the buttons to match.
    void Refresh();
    void Tell(const QString& text, MsgIcon icon);

    JoinDialogParts parts_;
    JoinList list_;
    QListWidget* files_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* join_;
    QCheckBox* chapters_;
    QLabel* status_;
};
