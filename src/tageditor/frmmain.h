#pragma once
// The tag editor window "Edit MP3 Information", a view over the TagEditor model: the technical
// data of one MP3 file and the version 2 fields of its ID3 tag, written back on request. The
// rest of the editor's state (the version 1 fields, which tags to write, the version choice, the
// clear option, the path holder) lives in the model only; the user neither sees nor changes it.
#include <memory>

#include <QString>
#include <QWidget>

#include "models/tageditor.h"

class MessageBoxes;
class QAbstractButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class frmMain : public QWidget {
    Q_OBJECT

public:
    // Shows `model`, or a model of its own when none is given.
    explicit frmMain(MessageBoxes* messages, TagEditor* model = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    TagEditor& Model() { return *model_; }

    // Loads the file named by the model's path holder into the fields. Nothing is reported.
    void cmdPick_Click();
    // Writes the fields into the file named by the path holder: all of it or, on failure, nothing,
    // with `error` saying why. Shows no message itself.
    bool cmdUpdate_Click(QString* error = nullptr);

    // The path as the editor takes it from its holder: blanks around it removed, cut at a NUL.
    QString PathFromHolder() const;
    // The path of the last load or write.
    QString CurrentPath() const;

    // Shows the model's state in full (after a load, a show or a write).
    void Refresh();

    // The controls, under the names the rest of the program and the tests know them by.
    QLabel* Label23 = nullptr;

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
    QLabel* lblReplayGain = nullptr;  // read-only; hidden when the tag holds no ReplayGain values
    // The file's chapters, read-only: their count here, the list in its tooltip; hidden without.
    QLabel* lblChapters = nullptr;

    QAbstractButton* CandyButton1 = nullptr;
    QAbstractButton* CandyButton2 = nullptr;

    // The client area the window is designed for.
    static constexpr int kDesignWidth = 800;
    static constexpr int kDesignHeight = 460;

private:
    void BuildVisiblePart();
    void ConnectFields();
    void CandyButton1_Click();
    void CandyButton2_Click();

    MessageBoxes* messages_;
    std::unique_ptr<TagEditor> ownModel_;
    TagEditor* model_;
    QWidget* client_ = nullptr;
    bool refreshing_ = false;
    // No progress dialog where nobody can see one (offscreen runs).
    bool showWriteProgress_ = true;
};
