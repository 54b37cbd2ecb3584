#pragma once
// The tag editor window "Edit MP3 Information": the technical data of one MP3 file and the fields
// of its ID3 tags, written back on request. The file reaches it only through the two holders
// Label25 (full path, hidden) and Label23 (name shown to the user), which the cutting window sets.
//
// Only the version 2 fields, the file's name, the technical lines and the two buttons are in view.
// The version 1 fields, the tag check boxes, the version choice, the clear option, the path box and
// the two command buttons exist and take part in loading and writing, but lie outside the visible
// area of the window (to the right of it) or of their frame (below it), whatever the window's size.
#include <QString>
#include <QWidget>

#include "id3/taginfo.h"

class MessageBoxes;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class frmMain : public QWidget {
    Q_OBJECT

public:
    explicit frmMain(MessageBoxes* messages, QWidget* parent = nullptr);

    // Loads the file named by Label25 into the fields. Every step runs on its own; nothing is
    // reported.
    void cmdPick_Click();
    // Writes the fields into the file named by Label25: the version 1 tag (or its removal) and the
    // version 2 tag. True only when every tag routine succeeded; otherwise `error` says why. Shows
    // no message itself.
    bool cmdUpdate_Click(QString* error = nullptr);

    // The path as the editor takes it from Label25: blanks around it removed, cut at the first NUL.
    QString PathFromHolder() const;
    // The path of the last load or write.
    const QString& CurrentPath() const { return mp3Path_; }

    // The controls, under the names the rest of the program and the tests know them by.
    QLabel* Label23 = nullptr;
    QLabel* Label25 = nullptr;
    QLineEdit* txtMp3File = nullptr;

    QCheckBox* chkv1 = nullptr;
    QGroupBox* frav1 = nullptr;
    QLineEdit* v1Artist = nullptr;
    QLineEdit* v1Album = nullptr;
    QLineEdit* v1Title = nullptr;
    QLineEdit* v1TNR = nullptr;
    QLineEdit* v1Year = nullptr;
    QComboBox* v1Genre = nullptr;
    QLineEdit* v1Comment = nullptr;

    QCheckBox* chkv2 = nullptr;
    QGroupBox* frav2 = nullptr;
    QLineEdit* v2Artist = nullptr;
    QLineEdit* v2Album = nullptr;
    QLineEdit* v2Title = nullptr;
    QLineEdit* v2TNR = nullptr;
    QLineEdit* v2Year = nullptr;
    QComboBox* v2Genre = nullptr;
    QPlainTextEdit* v2Comment = nullptr;
    QLineEdit* v2Composer = nullptr;
    QLineEdit* v2OrigArtist = nullptr;
    QLineEdit* v2Copyright = nullptr;
    QLineEdit* v2LinkTo = nullptr;
    QLineEdit* v2Encoder = nullptr;

    QLabel* lblVersion = nullptr;
    QComboBox* cmbVersion = nullptr;
    QCheckBox* chkClear = nullptr;

    QGroupBox* fraInfo = nullptr;
    QLabel* lblMPEG = nullptr;
    QLabel* lblLen = nullptr;
    QLabel* lblkBit = nullptr;
    QLabel* lblFreq = nullptr;
    QLabel* lblCopy = nullptr;
    QLabel* lblOrig = nullptr;
    QLabel* lblCRC = nullptr;
    QLabel* lblEmphasis = nullptr;
    QLabel* lblv1Vers = nullptr;
    QLabel* lblv2Vers = nullptr;

    QAbstractButton* CandyButton1 = nullptr;
    QAbstractButton* CandyButton2 = nullptr;
    QPushButton* cmdPick = nullptr;
    QPushButton* cmdUpdate = nullptr;

    // The client area the window is designed for; the controls not in view lie outside it.
    static constexpr int kDesignWidth = 800;
    static constexpr int kDesignHeight = 460;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildVisiblePart();
    void BuildHiddenPart();
    void PlaceOutOfView();
    void FillFromMpegInfo(const QString& path);
    void SetV2Field(QLineEdit* field, const std::string& value, const QString& fallback);
    void CandyButton1_Click();
    void CandyButton2_Click();

    MessageBoxes* messages_;
    mdlID3::ID3TagInfo tagInfo_;
    QString mp3Path_;
    QWidget* client_ = nullptr;
    QWidget* offArea_ = nullptr;
    // No progress dialog where nobody can see one (the command line's offscreen hand-over).
    bool showWriteProgress_ = true;
};
