#include "tageditor/frmmain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "controls/messageboxes.h"
#include "id3/genres.h"
#include "tageditor/buttonfactory.h"
#include "tageditor/writeprogress.h"

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }
std::string ToUtf8(const QString& text) { return text.toStdString(); }

QLineEdit* MakeLineEdit(const char* name, TagField field, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    if (TagEditor::FieldLimit(field) > 0) edit->setMaxLength(TagEditor::FieldLimit(field));
    return edit;
}

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

MsgIcon IconFor(NoticeIcon icon) {
    switch (icon) {
        case NoticeIcon::Error: return MsgIcon::Error;
        case NoticeIcon::Exclamation: return MsgIcon::Exclamation;
        case NoticeIcon::Information: return MsgIcon::Information;
    }
    return MsgIcon::None;
}

}  // namespace

frmMain::frmMain(MessageBoxes* messages, TagEditor* model, QWidget* parent)
    : QWidget(parent), messages_(messages) {
    if (!model) {
        ownModel_ = std::make_unique<TagEditor>();
        model = ownModel_.get();
    }
    model_ = model;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Edit MP3 Information"));
    showWriteProgress_ = QGuiApplication::platformName() != QLatin1String("offscreen");
    setFixedSize(kDesignWidth, kDesignHeight);
    // A secondary window: closing the cutting window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    BuildVisiblePart();
    connect(CandyButton1, &QAbstractButton::clicked, this, [this] { CandyButton1_Click(); });
    connect(CandyButton2, &QAbstractButton::clicked, this, [this] { CandyButton2_Click(); });

    for (int32_t i = 0; i < mdlID3::kGenreCount; ++i) v2Genre->addItem(FromUtf8(mdlID3::GetGenreName(i)));
    // The names are suggestions only: the field starts empty, as a loaded file leaves it.
    v2Genre->setCurrentIndex(-1);
    v2Genre->setEditText(QString());

    ConnectFields();
    model_->SetChangeListener([this] { Refresh(); });
    Refresh();
}

frmMain::~frmMain() { model_->SetChangeListener({}); }

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

    v2Artist = MakeLineEdit("v2Artist", TagField::v2Artist, frav2);
    v2Album = MakeLineEdit("v2Album", TagField::v2Album, frav2);
    v2Title = MakeLineEdit("v2Title", TagField::v2Title, frav2);
    v2TNR = MakeLineEdit("v2TNR", TagField::v2TNR, frav2);
    v2Year = MakeLineEdit("v2Year", TagField::v2Year, frav2);
    v2Genre = new QComboBox(frav2);
    v2Genre->setObjectName(QStringLiteral("v2Genre"));
    v2Genre->setEditable(true);
    v2Genre->setInsertPolicy(QComboBox::NoInsert);
    v2Genre->setMaxVisibleItems(16);
    v2Comment = new QPlainTextEdit(frav2);
    v2Comment->setObjectName(QStringLiteral("v2Comment"));
    v2Comment->setTabChangesFocus(true);
    v2Composer = MakeLineEdit("v2Composer", TagField::v2Composer, frav2);
    v2OrigArtist = MakeLineEdit("v2OrigArtist", TagField::v2OrigArtist, frav2);
    v2Copyright = MakeLineEdit("v2Copyright", TagField::v2Copyright, frav2);
    v2LinkTo = MakeLineEdit("v2LinkTo", TagField::v2LinkTo, frav2);
    v2Encoder = MakeLineEdit("v2Encoder", TagField::v2Encoder, frav2);

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
    lblReplayGain = MakeLabel("lblReplayGain", QString(), fraInfo);
    lblReplayGain->setWordWrap(true);
    lblReplayGain->setVisible(false);
    infoLayout->addWidget(lblReplayGain);
    lblChapters = MakeLabel("lblChapters", QString(), fraInfo);
    lblChapters->setVisible(false);
    infoLayout->addWidget(lblChapters);
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

void frmMain::ConnectFields() {
    const std::pair<QLineEdit*, TagField> lines[] = {
        {v2Artist, TagField::v2Artist},       {v2Album, TagField::v2Album},
        {v2Title, TagField::v2Title},         {v2TNR, TagField::v2TNR},
        {v2Year, TagField::v2Year},           {v2Composer, TagField::v2Composer},
        {v2OrigArtist, TagField::v2OrigArtist}, {v2Copyright, TagField::v2Copyright},
        {v2LinkTo, TagField::v2LinkTo},       {v2Encoder, TagField::v2Encoder},
    };
    for (const auto& [edit, field] : lines) {
        connect(edit, &QLineEdit::textChanged, this, [this, field = field](const QString& text) {
            if (!refreshing_) model_->SetField(field, ToUtf8(text));
        });
    }
    // Typed text and a name picked from the list both end in the edit text.
    connect(v2Genre, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!refreshing_) model_->SetField(TagField::v2Genre, ToUtf8(text));
    });
    connect(v2Comment, &QPlainTextEdit::textChanged, this, [this] {
        if (!refreshing_) model_->SetField(TagField::v2Comment, ToUtf8(v2Comment->toPlainText()));
    });
}

void frmMain::Refresh() {
    refreshing_ = true;
    const TagEditor& m = *model_;
    Label23->setText(FromUtf8(m.FileTitle()));
    v2Artist->setText(FromUtf8(m.Field(TagField::v2Artist)));
    v2Album->setText(FromUtf8(m.Field(TagField::v2Album)));
    v2Title->setText(FromUtf8(m.Field(TagField::v2Title)));
    v2TNR->setText(FromUtf8(m.Field(TagField::v2TNR)));
    v2Year->setText(FromUtf8(m.Field(TagField::v2Year)));
    if (v2Genre->currentText() != FromUtf8(m.Field(TagField::v2Genre))) {
        v2Genre->setEditText(FromUtf8(m.Field(TagField::v2Genre)));
        v2Genre->lineEdit()->setCursorPosition(0);
    }
    if (v2Comment->toPlainText() != FromUtf8(m.Field(TagField::v2Comment)))
        v2Comment->setPlainText(FromUtf8(m.Field(TagField::v2Comment)));
    v2Composer->setText(FromUtf8(m.Field(TagField::v2Composer)));
    v2OrigArtist->setText(FromUtf8(m.Field(TagField::v2OrigArtist)));
    v2Copyright->setText(FromUtf8(m.Field(TagField::v2Copyright)));
    v2LinkTo->setText(FromUtf8(m.Field(TagField::v2LinkTo)));
    v2Encoder->setText(FromUtf8(m.Field(TagField::v2Encoder)));
    frav2->setVisible(m.V2Checked());

    const TechnicalLines& lines = m.Technical();
    lblMPEG->setText(FromUtf8(lines.mpeg));
    lblLen->setText(FromUtf8(lines.length));
    lblkBit->setText(FromUtf8(lines.bitrate));
    lblFreq->setText(FromUtf8(lines.frequency));
    lblCopy->setText(FromUtf8(lines.copyrighted));
    lblOrig->setText(FromUtf8(lines.original));
    lblCRC->setText(FromUtf8(lines.checksums));
    lblEmphasis->setText(FromUtf8(lines.emphasis));
    lblv1Vers->setText(FromUtf8(lines.v1));
    lblv2Vers->setText(FromUtf8(lines.v2));
    lblReplayGain->setText(FromUtf8(lines.replayGain));
    lblReplayGain->setVisible(!lines.replayGain.empty());
    const std::vector<std::string> chapters = m.ChapterLines();
    QStringList list;
    for (const std::string& line : chapters) list << FromUtf8(line);
    lblChapters->setText(list.isEmpty() ? QString() : QStringLiteral("Chapters: %1 (point here for the list)").arg(list.size()));
    lblChapters->setToolTip(list.join(QLatin1Char('\n')));
    lblChapters->setVisible(!list.isEmpty());
    refreshing_ = false;
}

QString frmMain::PathFromHolder() const { return FromUtf8(model_->PathFromHolder()); }

QString frmMain::CurrentPath() const { return FromUtf8(model_->CurrentPath()); }

void frmMain::cmdPick_Click() { model_->Load(); }

bool frmMain::cmdUpdate_Click(QString* error) {
    WriteProgress progress(isVisible() ? this : QApplication::activeWindow(),
                           QStringLiteral("Writing the tags of %1...").arg(QFileInfo(PathFromHolder()).fileName()),
                           showWriteProgress_);
    std::string why;
    const bool written = model_->Write(&why);
    if (!written && error) *error = FromUtf8(why);
    return written;
}

void frmMain::CandyButton1_Click() {
    Notice notice;
    {
        WriteProgress progress(this,
                               QStringLiteral("Writing the tags of %1...").arg(QFileInfo(PathFromHolder()).fileName()),
                               showWriteProgress_);
        notice = model_->UpdateInfo();
    }
    messages_->Show(this, FromUtf8(notice.text), IconFor(notice.icon), QLatin1String(kAppTitle));
}

void frmMain::CandyButton2_Click() { hide(); }
