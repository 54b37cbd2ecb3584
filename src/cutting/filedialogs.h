#pragma once
// The open and save dialogs of the cutting window. Filters are written "Description|pattern".
#include <QString>
#include <QStringList>

class QWidget;

struct FileChoice {
    QString path;       // full path; empty when the dialog was cancelled
    QString fileTitle;  // the file's name without folder
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual FileChoice ShowOpen(QWidget* owner, const QString& filter) = 0;
    // Several existing files picked at once, full paths in the order the dialog gives them;
    // empty when the dialog was cancelled.
    virtual QStringList ShowOpenFiles(QWidget* owner, const QString& filter) = 0;
    virtual FileChoice ShowSave(QWidget* owner, const QString& filter, const QString& fileName) = 0;
    // An existing folder; empty when the dialog was cancelled.
    virtual QString ShowFolder(QWidget* owner, const QString& caption) = 0;
    // A file opened without the open dialog (command line, drop), so that the next dialog starts
    // beside it as it would after choosing it.
    virtual void NoteOpened(const QString& path) { (void)path; }
};
