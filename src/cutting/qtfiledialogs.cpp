#include "cutting/qtfiledialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace {

// "Audio Files (*.mp3)|*.mp3" -> "Audio Files (*.mp3)": Qt takes the patterns from the brackets.
QStringList QtFilters(const QString& filter) {
    QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (!description.contains('(')) description += " (" + parts[i + 1].replace(';', ' ') + ")";
        out << description;
    }
    out << "All Files (*)";
    return out;
}

// "Cue Sheets (*.cue)|*.cue" -> "cue": what the save dialog adds to a name typed without one.
QString DefaultSuffix(const QString& filter) {
    const QStringList parts = filter.split('|');
    if (parts.size() < 2 || !parts[1].startsWith("*.")) return {};
    return parts[1].mid(2).section(';', 0, 0);
}

FileChoice Chosen(const QFileDialog& dialog) {
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return {};
    return {files.first(), QFileInfo(files.first()).fileName()};
}

}  // namespace

QtFileDialogs::QtFileDialogs(QSettings* settings) : settings_(settings) {
    if (!settings_) return;
    openFolder_ = settings_->value(kOpenFolderKey).toString();
    saveFolder_ = settings_->value(kSaveFolderKey).toString();
}

void QtFileDialogs::Remember(QString& folder, const char* key, const QString& path) {
    folder = QFileInfo(path).absolutePath();
    if (settings_) settings_->setValue(key, folder);
}

FileChoice QtFileDialogs::ShowOpen(QWidget* owner, const QString& filter) {
    QFileDialog dialog(owner, "Open");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QtFilters(filter));
    if (!openFolder_.isEmpty()) dialog.setDirectory(openFolder_);
    if (dialog.exec() != QDialog::Accepted) return {};
    FileChoice choice = Chosen(dialog);
    if (!choice.path.isEmpty()) Remember(openFolder_, kOpenFolderKey, choice.path);
    return choice;
}

QStringList QtFileDialogs::ShowOpenFiles(QWidget* owner, const QString& filter) {
    QFileDialog dialog(owner, "Open");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(QtFilters(filter));
    if (!openFolder_.isEmpty()) dialog.setDirectory(openFolder_);
    if (dialog.exec() != QDialog::Accepted) return {};
    QStringList files = dialog.selectedFiles();
    files.removeAll(QString());
    if (!files.isEmpty()) Remember(openFolder_, kOpenFolderKey, files.first());
    return files;
}

FileChoice QtFileDialogs::ShowSave(QWidget* owner, const QString& filter, const QString& fileName) {
    QFileDialog dialog(owner, "Save As");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(QtFilters(filter));
    dialog.setDefaultSuffix(DefaultSuffix(filter));
    const QString& folder = saveFolder_.isEmpty() ? openFolder_ : saveFolder_;
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted) return {};
    FileChoice choice = Chosen(dialog);
    if (!choice.path.isEmpty()) Remember(saveFolder_, kSaveFolderKey, choice.path);
    return choice;
}

QString QtFileDialogs::ShowFolder(QWidget* owner, const QString& caption) {
    const QString& folder = saveFolder_.isEmpty() ? openFolder_ : saveFolder_;
    return QFileDialog::getExistingDirectory(owner, caption, folder,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

void QtFileDialogs::NoteOpened(const QString& path) { Remember(openFolder_, kOpenFolderKey, path); }
