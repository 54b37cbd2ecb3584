#include "cutting/qtfiledialogs.h"

#include <QFileDialog>
#include <QFileInfo>

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

FileChoice QtFileDialogs::ShowOpen(QWidget* owner, const QString& filter) {
    QFileDialog dialog(owner, "Open");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QtFilters(filter));
    if (!folder_.isEmpty()) dialog.setDirectory(folder_);
    if (dialog.exec() != QDialog::Accepted) return {};
    FileChoice choice = Chosen(dialog);
    if (!choice.path.isEmpty()) folder_ = QFileInfo(choice.path).absolutePath();
    return choice;
}

FileChoice QtFileDialogs::ShowSave(QWidget* owner, const QString& filter, const QString& fileName) {
    QFileDialog dialog(owner, "Save As");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(QtFilters(filter));
    dialog.setDefaultSuffix(DefaultSuffix(filter));
    if (!folder_.isEmpty()) dialog.setDirectory(folder_);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted) return {};
    return Chosen(dialog);
}

QString QtFileDialogs::ShowFolder(QWidget* owner, const QString& caption) {
    return QFileDialog::getExistingDirectory(owner, caption, folder_,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

void QtFileDialogs::NoteOpened(const QString& path) { folder_ = QFileInfo(path).absolutePath(); }
