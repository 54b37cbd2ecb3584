#pragma once
#include "cutting/filedialogs.h"

class QSettings;

// QFileDialog, not the desktop's native one, so that it behaves the same everywhere. The open
// dialog starts in the folder of the last opened file; the save dialog in the folder the last
// clip was saved to, or beside the last opened file before any clip was saved. With settings,
// both folders are remembered between runs.
class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QSettings* settings = nullptr);

    FileChoice ShowOpen(QWidget* owner, const QString& filter) override;
    QStringList ShowOpenFiles(QWidget* owner, const QString& filter) override;
    FileChoice ShowSave(QWidget* owner, const QString& filter, const QString& fileName) override;
    QString ShowFolder(QWidget* owner, const QString& caption) override;
    void NoteOpened(const QString& path) override;

    static constexpr const char* kOpenFolderKey = "folders/open";
    static constexpr const char* kSaveFolderKey = "folders/save";

private:
    void Remember(QString& folder, const char* key, const QString& path);

    QSettings* settings_;
    QString openFolder_;
    QString saveFolder_;
};
