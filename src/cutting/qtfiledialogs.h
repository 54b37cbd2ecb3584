#pragma once
#include "cutting/filedialogs.h"

// QFileDialog, not the desktop's native one, so that it behaves the same everywhere. The save
// dialog opens in the folder of the last opened file.
class QtFileDialogs : public FileDialogs {
public:
    FileChoice ShowOpen(QWidget* owner, const QString& filter) override;
    FileChoice ShowSave(QWidget* owner, const QString& filter, const QString& fileName) override;
    QString ShowFolder(QWidget* owner, const QString& caption) override;
    void NoteOpened(const QString& path) override;

private:
    QString folder_;
};
