#include "tageditor/frmmain.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "controls/messageboxes.h"
#include "id3/genres.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "id3/mpeginfo.h"
#include "id3/taginfo.h"
#include "tageditor/buttonfactory.h"
#include "tageditor/defaults.h"
#include "tageditor/techlines.h"
#include "tageditor/writeprogress.h"

namespace {

// Widths of the fields of the 128-byte ID3v1 tag; the comment leaves room for the v1.1 track.
constexpr int kV1TextLimit = 30;
constexpr int kV1TrackLimit = 3;
constexpr int kV1YearLimit = 4;
constexpr int kV1CommentLimit = 28;
constexpr int kV2TrackLimit = 3;
constexpr int kV2YearLimit = 4;

// Gap between the visible area and the controls kept out of view.
constexpr int kOutOfViewGap = 40;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }
std::string ToUtf8(const QString& text) { return text.toStdString(); }

bool IsBlank(const QString& text) {
    for (QChar c : text)
        if (c != QLatin1Char(' ')) return false;
    return true;
}

QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' ')) ++first;
    while (last > first && text[last - 1] == QLatin1Char(' ')) --last;
    return text.mid(first, last - first);
}

QLineEdit* MakeLineEdit(const char* name, int maxLength, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    if (maxLength > 0) edit->setMaxLength(maxLength);
    return edit;
}

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

// A v2.3/2.4 track frame may hold "track/total"; three characters of "3/12" would say "3/1".
QString TrackForField(const QString& track, int limit) {
    if (track.size() <= limit) return track;
    qsizetype slash = track.indexOf(QLatin1Char('/'));
    if (slash > 0 && slash <= limit) return track.left(slash);
    return track;
}

}  // namespace

frmMain::frmMain(MessageBoxes* messages, QWidget* parent)
    : QWidget(parent), messages_(messages) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Edit MP3 Information"));
    showWriteProgress_ = QGuiApplication::platformName() != QLatin1String("offscreen");
    // The controls out of view stay out of view only while the window keeps its designed size.
    setFixedSize(kDesignWidth, kDesignHeight);
    // A secondary window: closing the cutting window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    BuildVisiblePart();
    BuildHiddenPart();

    connect(chkv1, &QCheckBox::toggled, frav1, &QWidget::setVisible);
    connect(chkv2, &QCheckBox::toggled, frav2, &QWidget::setVisible);
    connect(cmdPick, &QPushButton::clicked, this, [this] { cmdPick_Click(); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { cmdUpdate_Click(); });
    connect(CandyButton1, &QAbstractButton::clicked, this, [this] { CandyButton1_Click(); });
    connect(CandyButton2, &QAbstractButton::clicked, this, [this] { CandyButton2_Click(); });

    v1Genre->addItem(QString());
    for (int32_t i = 0; i < mdlID3::kGenreCount; ++i) {
        QString name = FromUtf8(mdlID3::GetGenreName(i));
        v1Genre->addItem(name);
        v2Genre->addItem(name);
    }
    // The names are suggestions only: the field starts empty, as a loaded file leaves it.
    v2Genre->setCurrentIndex(-1);
    v2Genre->setEditText(QString());
    cmbVersion->setCurrentIndex(0);

    chkv1->setVisible(false);
    chkv2->setVisible(false);
    frav1->setVisible(false);
    frav2->setVisible(false);
    chkv2->setChecked(true);

    PlaceOutOfView();
}

void frmMain::BuildVisiblePart() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setGeometry(0, 0, kDesignWidth, kDesignHeight);

    auto* heading = MakeLabel("lblHeading", QStringLiteral("Edit MP3 ID3 tag Info"), client_);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.5);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setAlignment(Qt::AlignCenter);

    frav2 = new QGroupBox(QStringLiteral("ID3 Tag v2"), client_);
    frav2->setObjectName(QStringLiteral("frav2"));
    // The right panel keeps its place and size while the frame is hidden.
    QSizePolicy keepPlace = frav2->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    keepPlace.setHorizontalStretch(1);
    frav2->setSizePolicy(keepPlace);

    v2Artist = MakeLineEdit("v2Artist", 0, frav2);
    v2Album = MakeLineEdit("v2Album", 0, frav2);
    v2Title = MakeLineEdit("v2Title", 0, frav2);
    v2TNR = MakeLineEdit("v2TNR", kV2TrackLimit, frav2);
    v2Year = MakeLineEdit("v2Year", kV2YearLimit, frav2);
    v2Genre = new QComboBox(frav2);
    v2Genre->setObjectName(QStringLiteral("v2Genre"));
    v2Genre->setEditable(true);
    v2Genre->setInsertPolicy(QComboBox::NoInsert);
    v2Genre->setMaxVisibleItems(16);
    v2Comment = new QPlainTextEdit(frav2);
    v2Comment->setObjectName(QStringLiteral("v2Comment"));
    v2Comment->setTabChangesFocus(true);
    v2Composer = MakeLineEdit("v2Composer", 0, frav2);
    v2OrigArtist = MakeLineEdit("v2OrigArtist", 0, frav2);
    v2Copyright = MakeLineEdit("v2Copyright", 0, frav2);
    v2LinkTo = MakeLineEdit("v2LinkTo", 0, frav2);
    v2Encoder = MakeLineEdit("v2Encoder", 0, frav2);

    // Track and year are short by nature; the genre takes the rest of their row.
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    v2TNR->setFixedWidth(digit * 3 + 16);
    v2Year->setFixedWidth(digit * 4 + 16);
    // The longest genre name must not widen the frame; the box takes what its row leaves.
    v2Genre->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    v2Genre->setMinimumContentsLength(6);
    v2Comment->setFixedHeight(fontMetrics().lineSpacing() * 4 + 12);

    auto* v2Grid = new QGridLayout(frav2);
    v2Grid->setHorizontalSpacing(8);
    v2Grid->setVerticalSpacing(6);
    v2Grid->setColumnStretch(1, 1);
    int row = 0;
    auto addRow = [&](const QString& caption, QWidget* field, Qt::Alignment captionAlign = {}) {
        auto* label = new QLabel(caption, frav2);
        label->setBuddy(field);
        v2Grid->addWidget(label, row, 0, captionAlign);
        v2Grid->addWidget(field, row, 1);
        ++row;
    };
    addRow(QStringLiteral("Artist:"), v2Artist);
    addRow(QStringLiteral("Album:"), v2Album);
    addRow(QStringLiteral("Title:"), v2Title);

    auto* shortRow = new QHBoxLayout;
    shortRow->setSpacing(5);
    shortRow->addWidget(v2TNR);
    auto* yearLabel = new QLabel(QStringLiteral("Year:"), frav2);
    yearLabel->setBuddy(v2Year);
    shortRow->addSpacing(2);
    shortRow->addWidget(yearLabel);
    shortRow->addWidget(v2Year);
    auto* genreLabel = new QLabel(QStringLiteral("Genre:"), frav2);
    genreLabel->setBuddy(v2Genre);
    shortRow->addSpacing(2);
    shortRow->addWidget(genreLabel);
    shortRow->addWidget(v2Genre, 1);
    auto* trackLabel = new QLabel(QStringLiteral("Track nr.:"), frav2);
    trackLabel->setBuddy(v2TNR);
    v2Grid->addWidget(trackLabel, row, 0);
    v2Grid->addLayout(shortRow, row, 1);
    ++row;

    addRow(QStringLiteral("Comment:"), v2Comment, Qt::AlignTop);
    addRow(QStringLiteral("Composer:"), v2Composer);
    addRow(QStringLiteral("Orig. artist:"), v2OrigArtist);
    addRow(QStringLiteral("Copyright:"), v2Copyright);
    addRow(QStringLiteral("Link:"), v2LinkTo);
    addRow(QStringLiteral("Encoder:"), v2Encoder);
    v2Grid->setRowStretch(row, 1);

    fraInfo = new QGroupBox(QStringLiteral("Additional Information"), client_);
    fraInfo->setObjectName(QStringLiteral("fraInfo"));
    QSizePolicy infoPolicy = fraInfo->sizePolicy();
    infoPolicy.setHorizontalStretch(1);
    fraInfo->setSizePolicy(infoPolicy);

    auto* infoLayout = new QVBoxLayout(fraInfo);
    infoLayout->setSpacing(7);
    auto* fileRow = new QHBoxLayout;
    auto* selected = MakeLabel("lblSelected", QStringLiteral("Selected File :"), fraInfo);
    Label23 = MakeLabel("Label23", QStringLiteral("NA"), fraInfo);
    QFont nameFont = Label23->font();
    nameFont.setBold(true);
    Label23->setFont(nameFont);
    Label23->setWordWrap(true);
    Label23->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label23->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fileRow->addWidget(selected, 0, Qt::AlignTop);
    fileRow->addWidget(Label23, 1);
    infoLayout->addLayout(fileRow);

    auto* rule = new QFrame(fraInfo);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    infoLayout->addSpacing(4);
    infoLayout->addWidget(rule);
    infoLayout->addSpacing(4);

    lblMPEG = MakeLabel("lblMPEG", QString(), fraInfo);
    lblLen = MakeLabel("lblLen", QString(), fraInfo);
    lblkBit = MakeLabel("lblkBit", QString(), fraInfo);
    lblCopy = MakeLabel("lblCopy", QString(), fraInfo);
    lblOrig = MakeLabel("lblOrig", QString(), fraInfo);
    lblCRC = MakeLabel("lblCRC", QString(), fraInfo);
    lblEmphasis = MakeLabel("lblEmphasis", QString(), fraInfo);
    lblv1Vers = MakeLabel("lblv1Vers", QString(), fraInfo);
    lblv2Vers = MakeLabel("lblv2Vers", QString(), fraInfo);
    lblFreq = MakeLabel("lblFreq", QString(), fraInfo);
    for (QLabel* line : {lblMPEG, lblLen, lblkBit, lblCopy, lblOrig, lblCRC, lblEmphasis, lblv1Vers,
                         lblv2Vers, lblFreq})
        infoLayout->addWidget(line);
    infoLayout->addStretch(1);

    CandyButton1 = MakeEditorButton(QStringLiteral("CandyButton1"), QStringLiteral("Update Info"), client_);
    CandyButton2 = MakeEditorButton(QStringLiteral("CandyButton2"), QStringLiteral("Cancel"), client_);
    for (QAbstractButton* button : {CandyButton1, CandyButton2})
        button->setMinimumSize(120, 32);

    // Two panels of one width, whatever their contents ask for.
    constexpr int kMargin = 14;
    constexpr int kPanelGap = 12;
    const int panelWidth = (kDesignWidth - 2 * kMargin - kPanelGap) / 2;
    frav2->setFixedWidth(panelWidth);
    fraInfo->setFixedWidth(panelWidth);
    auto* panels = new QHBoxLayout;
    panels->setSpacing(kPanelGap);
    panels->addWidget(frav2, 1);
    panels->addWidget(fraInfo, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CandyButton1);
    buttons->addSpacing(16);
    buttons->addWidget(CandyButton2);
    buttons->addStretch(1);

    auto* outer = new QVBoxLayout(client_);
    outer->setContentsMargins(kMargin, 10, kMargin, kMargin);
    outer->setSpacing(10);
    outer->addWidget(heading);
    outer->addLayout(panels, 1);
    outer->addLayout(buttons);
}

void frmMain::BuildHiddenPart() {
    // The path holder, below the bottom edge of the right panel.
    Label25 = MakeLabel("Label25", QString(), fraInfo);
    Label25->setVisible(false);

    // Version choice and clear option, below the bottom edge of the version 2 frame.
    lblVersion = MakeLabel("lblVersion", QStringLiteral("Write ID3 v2 tag in version"), frav2);
    cmbVersion = new QComboBox(frav2);
    cmbVersion->setObjectName(QStringLiteral("cmbVersion"));
    cmbVersion->addItem(QStringLiteral("2.3"));
    cmbVersion->addItem(QStringLiteral("2.4"));
    chkClear = new QCheckBox(QStringLiteral("Clear existing ID3 v2 tag before writing the new one."), frav2);
    chkClear->setObjectName(QStringLiteral("chkClear"));

    // The rest lies to the right of the window.
    offArea_ = new QWidget(this);
    offArea_->setObjectName(QStringLiteral("offArea"));
    txtMp3File = MakeLineEdit("txtMp3File", 0, offArea_);
    chkv1 = new QCheckBox(QStringLiteral("ID3 v1 tag"), offArea_);
    chkv1->setObjectName(QStringLiteral("chkv1"));
    chkv2 = new QCheckBox(QStringLiteral("ID3 v2 tag"), offArea_);
    chkv2->setObjectName(QStringLiteral("chkv2"));
    cmdPick = new QPushButton(QStringLiteral("select"), offArea_);
    cmdPick->setObjectName(QStringLiteral("cmdPick"));
    cmdUpdate = new QPushButton(QStringLiteral("Update tags"), offArea_);
    cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    cmdUpdate->setEnabled(false);

    frav1 = new QGroupBox(QStringLiteral("ID3 v1 tag"), offArea_);
    frav1->setObjectName(QStringLiteral("frav1"));
    v1Artist = MakeLineEdit("v1Artist", kV1TextLimit, frav1);
    v1Album = MakeLineEdit("v1Album", kV1TextLimit, frav1);
    v1Title = MakeLineEdit("v1Title", kV1TextLimit, frav1);
    v1TNR = MakeLineEdit("v1TNR", kV1TrackLimit, frav1);
    v1Year = MakeLineEdit("v1Year", kV1YearLimit, frav1);
    v1Genre = new QComboBox(frav1);
    v1Genre->setObjectName(QStringLiteral("v1Genre"));
    v1Comment = MakeLineEdit("v1Comment", kV1CommentLimit, frav1);
    auto* v1Grid = new QGridLayout(frav1);
    int row = 0;
    for (auto [caption, field] : {std::pair<const char*, QWidget*>{"Artist:", v1Artist},
                                  {"Album:", v1Album}, {"Title:", v1Title}, {"Track nr.:", v1TNR},
                                  {"Year:", v1Year}, {"Genre:", v1Genre}, {"Comment:", v1Comment}}) {
        v1Grid->addWidget(new QLabel(QLatin1String(caption), frav1), row, 0);
        v1Grid->addWidget(field, row, 1);
        ++row;
    }

    auto* offLayout = new QVBoxLayout(offArea_);
    offLayout->addWidget(txtMp3File);
    offLayout->addWidget(chkv1);
    offLayout->addWidget(frav1);
    offLayout->addWidget(chkv2);
    offLayout->addWidget(cmdPick);
    offLayout->addWidget(cmdUpdate);
    offLayout->addStretch(1);

    // The user neither sees nor changes these, so the keyboard must not reach them either.
    for (QWidget* w : offArea_->findChildren<QWidget*>()) w->setFocusPolicy(Qt::NoFocus);
    for (QWidget* w : {static_cast<QWidget*>(lblVersion), static_cast<QWidget*>(cmbVersion),
                       static_cast<QWidget*>(chkClear)})
        w->setFocusPolicy(Qt::NoFocus);

    frav2->installEventFilter(this);
    fraInfo->installEventFilter(this);
}

void frmMain::PlaceOutOfView() {
    const int right = std::max(width(), kDesignWidth) + kOutOfViewGap;
    offArea_->setGeometry(right, 0, 320, std::max(height(), kDesignHeight));

    int below = frav2->height() + kOutOfViewGap;
    lblVersion->setGeometry(10, below, 170, 24);
    cmbVersion->setGeometry(185, below, 60, 24);
    chkClear->setGeometry(10, below + 30, 340, 24);
    Label25->setGeometry(10, fraInfo->height() + kOutOfViewGap, 300, 20);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceOutOfView();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == frav2 || watched == fraInfo) && event->type() == QEvent::Resize) PlaceOutOfView();
    return QWidget::eventFilter(watched, event);
}

QString frmMain::PathFromHolder() const {
    QString path = TrimBlanks(Label25->text());
    qsizetype nul = path.indexOf(QChar(u'\0'));
    if (nul >= 0) path.truncate(nul);
    return path;
}

void frmMain::SetV2Field(QLineEdit* field, const std::string& value, const QString& fallback) {
    field->setText(FromUtf8(value));
    if (!fallback.isNull() && IsBlank(field->text())) field->setText(fallback);
}

void frmMain::cmdPick_Click() {
    mp3Path_ = PathFromHolder();
    txtMp3File->setText(mp3Path_);
    const std::string path = ToUtf8(mp3Path_);

    mdlID3::ClearTagInfo(tagInfo_);
    chkv1->setVisible(true);
    chkv1->setChecked(mdlID3::ReadID3v1Tag(path, tagInfo_));
    v1Artist->setText(FromUtf8(tagInfo_.Artist));
    v1Album->setText(FromUtf8(tagInfo_.Album));
    v1Title->setText(FromUtf8(tagInfo_.Title));
    v1TNR->setText(FromUtf8(tagInfo_.Track));
    v1Year->setText(FromUtf8(tagInfo_.Year));
    v1Genre->setCurrentIndex(0);
    const int genreEntry = v1Genre->findText(FromUtf8(tagInfo_.Genre), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (genreEntry >= 0) v1Genre->setCurrentIndex(genreEntry);
    v1Comment->setText(FromUtf8(tagInfo_.Comment));

    mdlID3::ClearTagInfo(tagInfo_);
    chkv2->setVisible(true);
    chkv2->setChecked(mdlID3::ReadID3v2Tag(path, tagInfo_));

    const QString home = QLatin1String(tageditor::kMakerHomePage);
    SetV2Field(v2Artist, tagInfo_.Artist, home);
    SetV2Field(v2Album, tagInfo_.Album, Label23->text() + QLatin1Char(' ') + home);
    SetV2Field(v2Title, tagInfo_.Title, home + QLatin1String(tageditor::kTitleSuffix));
    v2TNR->setText(TrackForField(FromUtf8(tagInfo_.Track), kV2TrackLimit));
    if (IsBlank(v2TNR->text())) v2TNR->setText(QLatin1String(tageditor::kDefaultTrack));
    SetV2Field(v2Year, tagInfo_.Year, QString());
    v2Genre->setEditText(FromUtf8(tagInfo_.Genre));
    v2Genre->lineEdit()->setCursorPosition(0);
    v2Comment->setPlainText(FromUtf8(tagInfo_.Comment));
    if (IsBlank(v2Comment->toPlainText()))
        v2Comment->setPlainText(home + QLatin1String(tageditor::kCommentSuffix));
    SetV2Field(v2Composer, tagInfo_.Composer, QString());
    SetV2Field(v2OrigArtist, tagInfo_.OrigArtist, QString());
    SetV2Field(v2Copyright, tagInfo_.Copyright, QString());
    SetV2Field(v2LinkTo, tagInfo_.LinkTo, home);
    SetV2Field(v2Encoder, tagInfo_.Encoder, QLatin1String(tageditor::kDefaultEncoder));

    FillFromMpegInfo(mp3Path_);
    cmdUpdate->setEnabled(true);
}

void frmMain::FillFromMpegInfo(const QString& path) {
    mdlID3::MpegInfo info;
    mdlID3::ReadMpegInfo(ToUtf8(path), info);
    const tageditor::TechnicalLines lines = tageditor::DescribeMpegInfo(info);
    lblMPEG->setText(lines.mpeg);
    lblLen->setText(lines.length);
    lblkBit->setText(lines.bitrate);
    lblFreq->setText(lines.frequency);
    lblCopy->setText(lines.copyrighted);
    lblOrig->setText(lines.original);
    lblCRC->setText(lines.checksums);
    lblEmphasis->setText(lines.emphasis);
    lblv1Vers->setText(lines.v1);
    lblv2Vers->setText(lines.v2);
}

bool frmMain::cmdUpdate_Click(QString* error) {
    mp3Path_ = PathFromHolder();
    txtMp3File->setText(mp3Path_);
    QStringList failures;
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (mp3Path_.isEmpty()) return fail(QStringLiteral("No MP3 file is selected."));
    const std::string path = ToUtf8(mp3Path_);

    if (!chkv1->isChecked()) {
        if (!mdlID3::RemoveID3v1Tag(path, true)) failures << QStringLiteral("the ID3 v1 tag could not be removed");
    } else {
        tagInfo_.Artist = ToUtf8(v1Artist->text());
        tagInfo_.Album = ToUtf8(v1Album->text());
        tagInfo_.Title = ToUtf8(v1Title->text());
        tagInfo_.Track = ToUtf8(v1TNR->text());
        tagInfo_.Year = ToUtf8(v1Year->text());
        tagInfo_.Genre = ToUtf8(v1Genre->currentText());
        tagInfo_.Comment = ToUtf8(v1Comment->text());
        if (!mdlID3::WriteID3v1Tag(path, tagInfo_, true)) failures << QStringLiteral("the ID3 v1 tag could not be written");
    }

    chkv2->setChecked(true);
    tagInfo_.Artist = ToUtf8(v2Artist->text());
    tagInfo_.Album = ToUtf8(v2Album->text());
    tagInfo_.Title = ToUtf8(v2Title->text());
    tagInfo_.Track = ToUtf8(v2TNR->text());
    tagInfo_.Year = ToUtf8(v2Year->text());
    tagInfo_.Genre = ToUtf8(v2Genre->currentText());
    tagInfo_.Comment = ToUtf8(v2Comment->toPlainText());
    tagInfo_.Composer = ToUtf8(v2Composer->text());
    tagInfo_.OrigArtist = ToUtf8(v2OrigArtist->text());
    tagInfo_.Copyright = ToUtf8(v2Copyright->text());
    tagInfo_.LinkTo = ToUtf8(v2LinkTo->text());
    tagInfo_.Encoder = ToUtf8(v2Encoder->text());
    const int32_t version = cmbVersion->currentIndex() == 0 ? 0 : 1;
    const bool clearOld = chkClear->isChecked();
    bool v2Written = false;
    {
        WriteProgress progress(isVisible() ? this : QApplication::activeWindow(),
                               QStringLiteral("Writing the tags of %1...").arg(QFileInfo(mp3Path_).fileName()),
                               showWriteProgress_);
        v2Written = mdlID3::WriteID3v2Tag(path, tagInfo_, version, clearOld, true);
    }
    if (!v2Written) {
        const QString reason = FromUtf8(mdlID3::LastTagWriteError());
        failures << (reason.isEmpty() ? QStringLiteral("the ID3 v2 tag could not be written")
                                      : QStringLiteral("the ID3 v2 tag could not be written: ") + reason);
    }

    if (failures.isEmpty()) return true;
    const QFileInfo file(mp3Path_);
    if (!file.exists()) return fail(QStringLiteral("The file does not exist."));
    if (!file.isFile()) return fail(QStringLiteral("It is not a file."));
    QString why = failures.join(QStringLiteral("; "));
    why[0] = why[0].toUpper();
    if (!file.isWritable()) why += QStringLiteral(" (the file cannot be written)");
    return fail(why + QLatin1Char('.'));
}

void frmMain::CandyButton1_Click() {
    QString why;
    if (cmdUpdate_Click(&why)) {
        messages_->Show(this, QStringLiteral("MP3 Properties have been modified."), MsgIcon::Information,
                        QLatin1String(kAppTitle));
        return;
    }
    messages_->Show(this,
                    QStringLiteral("The MP3 tags could not be written to %1.\n%2")
                        .arg(QFileInfo(mp3Path_).fileName().isEmpty() ? QStringLiteral("the file")
                                                                       : QFileInfo(mp3Path_).fileName(),
                             why),
                    MsgIcon::Error, QLatin1String(kAppTitle));
}

void frmMain::CandyButton2_Click() { hide(); }
