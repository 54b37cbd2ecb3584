#include "cutting/form1.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QShortcut>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "controls/isbutton.h"
#include "controls/linkopener.h"
#include "controls/links.h"
#include "controls/msgscroller.h"
#include "controls/qtwaveout.h"
#include "controls/slider.h"
#include "controls/volume.h"
#include "cutting/clock.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/cutpointspanel.h"
#include "cutting/filedialogs.h"
#include "cutting/formbuttons.h"
#include "cutting/lengthprogress.h"
#include "cutting/linklabel.h"
#include "cutting/mediaplayer.h"
#include "cutting/waveformview.h"
#include "cutting/windowmessages.h"
#include "models/cuttingmessages.h"
#include "models/module1.h"
#include "mpeg/rounding.h"

namespace {

const char* const kAudioFilter = "Audio Files (*.mp3)|*.mp3";
// Every ticker message is padded so that it runs off the band before it comes round again.
const QString kTickerPadding(129, QLatin1Char(' '));
// A length measurement shows up only after this many ticks: quick ones never flash by.
constexpr int kLengthTickMs = 100;
constexpr int kLengthQuietTicks = 5;

QLabel* ValueLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel("NA", parent);
    label->setObjectName(name);
    label->setMinimumWidth(110);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setStyleSheet("QLabel { background: #ffffff; color: #0b3d91; padding: 1px 6px; }");
    return label;
}

// The one local .mp3 file a drag carries; empty for anything else.
QString DroppedMp3(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return {};
    const QFileInfo file(url.toLocalFile());
    if (!file.isFile() || file.suffix().compare("mp3", Qt::CaseInsensitive) != 0) return {};
    return file.absoluteFilePath();
}

QLabel* CaptionLabel(QWidget* parent, const char* text) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

Form1::Form1(const Form1Parts& parts, QWidget* parent)
    : QWidget(parent),
      parts_(parts),
      session_(parts.tags, [this] { return parts_.clock->GeneralDateTime().toStdString(); }) {
    setWindowTitle("Trimbel");
    setObjectName("Form1");
    // The buttons' captions are drawn in the highlight colour; a deep blue keeps them readable on
    // the light glossy bodies whatever the desktop's own highlight is.
    QPalette colours = palette();
    colours.setColor(QPalette::Highlight, QColor(10, 36, 106));
    setPalette(colours);
    if (!parts_.waveOut) {
        ownWaveOut_ = std::make_unique<QtWaveOut>();
        parts_.waveOut = ownWaveOut_.get();
    }
    if (!parts_.links) {
        ownLinks_ = std::make_unique<DesktopLinkOpener>();
        parts_.links = ownLinks_.get();
    }

    CandyButton1 = CreateFormButton("Open", this);
    CandyButton5 = CreateFormButton("Play/Pause", this);
    CandyButton7 = CreateFormButton("Stop", this);
    CandyButton2 = CreateFormButton("Play Selection", this);
    CandyButton3 = CreateFormButton("Set start", this);
    CandyButton4 = CreateFormButton("Set end", this);
    CandyButton8 = CreateFormButton("New selection", this);
    CandyButton6 = CreateFormButton("Save Selection", this);
    CandyButton15 = CreateFormButton("View/Change  MP3 Info", this);
    CandyButton11 = CreateFormButton("Homepage", this);
    CandyButton13 = CreateFormButton("Help", this);
    CandyButton14 = CreateFormButton("DONATE", this);
    CandyButton9 = CreateFormButton("Exit", this);
    Slider1 = new PositionSlider(this);
    Waveform1 = new WaveformView(this);
    Waveform1->setObjectName("Waveform1");
    // The band takes the window's extra height and width; below this it stays readable.
    Waveform1->setMinimumHeight(72 + WaveformView::kOverviewHeight);
    Waveform1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    CutPoints1 = new CutPointsPanel(this);
    CutPoints1->setFixedHeight(104);
    Slider3 = new Slider(this);
    Slider3->setObjectName("Slider3");
    Slider3->SetStyle(1);
    Slider3->SetMin(0);
    Slider3->SetMax(41);
    Slider3->setToolTip("Increase/Decrease volume");
    Slider3->setAccessibleName("Volume");
    Slider3->setFixedSize(Slider::kThickness, 64);
    Volume1 = new Volume(*parts_.waveOut, this);
    Volume1->setObjectName("Volume1");
    Volume1->setAccessibleName("Volume level");
    // Used only for OpenLink; never shown.
    isButton1 = new isButton(*parts_.links, this);
    isButton1->setObjectName("isButton1");
    isButton1->hide();
    Scroller1 = std::make_unique<ScrollerTicker>(this);
    Label1 = ValueLabel(this, "Label1");
    Label2 = ValueLabel(this, "Label2");
    Label3 = ValueLabel(this, "Label3");
    Label4 = ValueLabel(this, "Label4");
    Label15 = ValueLabel(this, "Label15");
    Label16 = ValueLabel(this, "Label16");
    Label17 = ValueLabel(this, "Label17");
    Heading = new QLabel("Trimbel 1.9", this);
    CheckFrames = new QCheckBox("Cut on frame boundaries", this);
    CheckFrames->setObjectName("CheckFrames");
    CheckFrames->setChecked(false);
    MarkTime = new QLineEdit(this);
    MarkTime->setObjectName("MarkTime");
    MarkTime->setPlaceholderText("mm:ss.mmm");
    MarkTime->setAccessibleName("Mark time");
    MarkTime->setMaximumWidth(110);
    MarkTime->setToolTip("Type a time as mm:ss.mmm, then set the start or the end there");
    StartAtTime = new QPushButton("Start here", this);
    StartAtTime->setObjectName("StartAtTime");
    StartAtTime->setToolTip("Set the start mark at the typed time");
    EndAtTime = new QPushButton("End here", this);
    EndAtTime->setObjectName("EndAtTime");
    EndAtTime->setToolTip("Set the end mark at the typed time");
    CheckFrames->setToolTip("Save whole MP3 frames only, with a fresh length header: the clip starts and ends cleanly");
    Label19 = new LinkLabel("Download free software!Click here", this);
    Label20 = new LinkLabel("www.trimbel.app", this);
    Label24 = new LinkLabel("Our other websites :", this);
    Label22 = new LinkLabel("www.trimbelsoft.com", this);
    Label23 = new LinkLabel("www.audiotrimtools.com", this);
    Label25 = new LinkLabel("www.mp3snippets.net", this);
    Label26 = new LinkLabel("Want to join your clips into one song? Try our MP3 Joiner.", this);
    Label21 = new QLabel(QString("Support: ") + links::kSupportEmail, this);
    Label21->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer2 = new QTimer(this);
    Timer2->setInterval(100);
    Timer4 = new QTimer(this);
    Timer4->setInterval(10);
    Timer5 = new QTimer(this);
    Timer5->setInterval(10);
    Timer6 = new QTimer(this);
    Timer6->setInterval(1000);
    LengthTimer = new QTimer(this);
    LengthTimer->setInterval(kLengthTickMs);
    PrelistenTimer = new QTimer(this);
    PrelistenTimer->setInterval(10);

    BuildLayout();
    messages_ = std::make_unique<WindowMessages>(*parts_.messages, *this, *Waveform1);
    Waveform1->FollowSlider(Slider1);
    BuildShortcuts();
    BuildMarkShortcuts();
    setAcceptDrops(true);
    CutPointsParts cutParts;
    cutParts.window = this;
    cutParts.waveform = Waveform1;
    cutParts.panel = CutPoints1;
    cutParts.dialogs = parts_.dialogs;
    cutParts.messages = messages_.get();
    cutParts.playPosition = [this] { return parts_.player->currentPosition(); };
    cutParts.editedTimeline = [this] { return session_.Edited() ? &session_.Edits() : nullptr; };
    cutPoints_ = std::make_unique<CutPointsController>(cutParts);
    // Chapters saved into the open file may have moved its audio: it is opened again.
    connect(cutPoints_.get(), &CutPointsController::fileRewritten, this, [this](const QString& path) { OpenFile(path); }, Qt::QueuedConnection);
    connect(cutPoints_.get(), &CutPointsController::sourceReady, this, &Form1::StartTimeline);
    BuildMenuBar();

    connect(CandyButton1, &QAbstractButton::clicked, this, &Form1::CandyButton1_Click);
    connect(CandyButton5, &QAbstractButton::clicked, this, &Form1::CandyButton5_Click);
    connect(CandyButton7, &QAbstractButton::clicked, this, &Form1::CandyButton7_Click);
    connect(CandyButton2, &QAbstractButton::clicked, this, &Form1::CandyButton2_Click);
    connect(CandyButton3, &QAbstractButton::clicked, this, &Form1::CandyButton3_Click);
    connect(CandyButton4, &QAbstractButton::clicked, this, &Form1::CandyButton4_Click);
    connect(CandyButton8, &QAbstractButton::clicked, this, &Form1::CandyButton8_Click);
    connect(CandyButton6, &QAbstractButton::clicked, this, &Form1::CandyButton6_Click);
    connect(CandyButton15, &QAbstractButton::clicked, this, &Form1::CandyButton15_Click);
    connect(CandyButton9, &QAbstractButton::clicked, this, &Form1::CandyButton9_Click);
    connect(CandyButton11, &QAbstractButton::clicked, this, &Form1::CandyButton11_Click);
    connect(CandyButton13, &QAbstractButton::clicked, this, &Form1::CandyButton13_Click);
    connect(CandyButton14, &QAbstractButton::clicked, this, &Form1::CandyButton14_Click);
    connect(Scroller1->Control(), &MsgScroller::HotSpotClick, this, [this] { OpenLink(links::kDonate); });
    connect(Label19, &LinkLabel::clicked, this, [this] { OpenLink(links::kOtherSite1); });
    connect(Label20, &LinkLabel::clicked, this, [this] { OpenLink(links::kHomepage); });
    connect(Label24, &LinkLabel::clicked, this, [this] { OpenLink(links::kOtherSite1); });
    connect(Label22, &LinkLabel::clicked, this, [this] { OpenLink(links::kOtherSite1); });
    connect(Label23, &LinkLabel::clicked, this, [this] { OpenLink(links::kOtherSite2); });
    connect(Label25, &LinkLabel::clicked, this, [this] { OpenLink(links::kOtherSite3); });
    connect(Label26, &LinkLabel::clicked, this, [this] { OpenLink(links::kJoinerProduct); });
    connect(Slider1, &PositionSlider::Scroll, this, &Form1::Slider1_Scroll);
    connect(Waveform1, &WaveformView::seekRequested, this, &Form1::SeekToClicked);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer4, &QTimer::timeout, this, &Form1::Timer4_Timer);
    connect(Timer5, &QTimer::timeout, this, &Form1::Timer5_Timer);
    connect(Timer6, &QTimer::timeout, this, &Form1::Timer6_Timer);
    connect(LengthTimer, &QTimer::timeout, this, &Form1::LengthTimer_Timer);
    connect(PrelistenTimer, &QTimer::timeout, this, &Form1::PrelistenTimer_Timer);
    connect(StartAtTime, &QPushButton::clicked, this, &Form1::StartAtTypedTime);
    connect(EndAtTime, &QPushButton::clicked, this, &Form1::EndAtTypedTime);

    // Start-up.
    Slider1->SetTickFrequency(20);
    Timer5->start();
    PutUpMessage("Please donate to help us keep the software free.Click on the donate button above to donate. ");
    Timer1->start();
    Slider3->SetValue(20);
}

Form1::~Form1() = default;

void Form1::BuildLayout() {
    QFont headingFont = Heading->font();
    headingFont.setPointSize(headingFont.pointSize() + 8);
    headingFont.setBold(true);
    Heading->setFont(headingFont);
    Heading->setStyleSheet("color: #0b3d91;");

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(14, 10, 14, 12);
    root->setSpacing(8);

    auto* top = new QHBoxLayout;
    top->addWidget(Heading, 0, Qt::AlignVCenter);
    top->addStretch(1);
    auto* volumeCaption = new QLabel("Volume", this);
    volumeCaption->setStyleSheet("color: #404a56;");
    top->addWidget(volumeCaption, 0, Qt::AlignVCenter);
    top->addWidget(Volume1, 0, Qt::AlignVCenter);
    top->addWidget(Slider3, 0, Qt::AlignVCenter);
    root->addLayout(top);

    root->addWidget(Scroller1->Widget());
    auto* track = new QVBoxLayout;
    track->setSpacing(0);
    track->addWidget(Waveform1);
    track->addWidget(Slider1);
    root->addLayout(track, 1);
    root->addWidget(CutPoints1);

    auto* values = new QGridLayout;
    values->setHorizontalSpacing(10);
    values->setVerticalSpacing(6);
    values->addWidget(CaptionLabel(this, "Current duration"), 0, 0);
    values->addWidget(Label1, 0, 1);
    values->addWidget(CaptionLabel(this, "Start position"), 1, 0);
    values->addWidget(Label2, 1, 1);
    values->addWidget(CaptionLabel(this, "End position"), 2, 0);
    values->addWidget(Label3, 2, 1);
    values->addWidget(CaptionLabel(this, "Length"), 3, 0);
    values->addWidget(Label4, 3, 1);
    values->addWidget(CaptionLabel(this, "Total  track time"), 0, 3);
    values->addWidget(Label15, 0, 4);
    values->addWidget(CaptionLabel(this, "Time elapsed"), 1, 3);
    values->addWidget(Label17, 1, 4);
    values->addWidget(CaptionLabel(this, "Time remaining"), 2, 3);
    values->addWidget(Label16, 2, 4);
    values->setColumnMinimumWidth(2, 24);
    values->setColumnStretch(1, 1);
    values->setColumnStretch(4, 1);
    root->addLayout(values);

    auto row = [&](std::initializer_list<QAbstractButton*> buttons) {
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        for (auto* b : buttons) line->addWidget(b);
        root->addLayout(line);
    };
    row({CandyButton1, CandyButton5, CandyButton7, CandyButton2});
    row({CandyButton3, CandyButton4, CandyButton8, CandyButton6});
    auto* marking = new QHBoxLayout;
    marking->setSpacing(6);
    marking->addWidget(new QLabel("Mark at", this));
    marking->addWidget(MarkTime);
    marking->addWidget(StartAtTime);
    marking->addWidget(EndAtTime);
    marking->addStretch(1);
    marking->addWidget(CheckFrames);
    root->addLayout(marking);
    row({CandyButton15, CandyButton11, CandyButton13, CandyButton14, CandyButton9});

    auto* footer = new QFrame(this);
    footer->setObjectName("LinkPanel");
    footer->setStyleSheet("QFrame#LinkPanel { background: #eef2f7; border: 1px solid #c9d3df; border-radius: 4px; }");
    auto* linkGrid = new QGridLayout(footer);
    linkGrid->setContentsMargins(10, 6, 10, 6);
    linkGrid->setHorizontalSpacing(14);
    linkGrid->setVerticalSpacing(4);
    auto* sites = new QHBoxLayout;
    sites->setSpacing(14);
    for (QLabel* label : {static_cast<QLabel*>(Label24), static_cast<QLabel*>(Label22),
                          static_cast<QLabel*>(Label23), static_cast<QLabel*>(Label25)})
        sites->addWidget(label);
    sites->addStretch(1);
    linkGrid->addLayout(sites, 0, 0, 1, 2);
    linkGrid->addWidget(Label19, 1, 0);
    linkGrid->addWidget(Label26, 1, 1, Qt::AlignRight);
    linkGrid->addWidget(Label20, 2, 0);
    linkGrid->addWidget(Label21, 2, 1, Qt::AlignRight);
    Label24->setStyleSheet("QLabel { color: #0b4fb3; font-weight: bold; }");
    root->addWidget(footer);
}

void Form1::BuildShortcuts() {
    struct Key {
        QKeySequence sequence;
        void (Form1::*handler)();
    };
    const Key keys[] = {
        {Qt::Key_Space, &Form1::CandyButton5_Click},         {Qt::Key_Home, &Form1::CandyButton3_Click},
        {Qt::Key_BracketLeft, &Form1::CandyButton3_Click},   {Qt::Key_End, &Form1::CandyButton4_Click},
        {Qt::Key_BracketRight, &Form1::CandyButton4_Click},  {Qt::Key_P, &Form1::CandyButton2_Click},
        {QKeySequence::Open, &Form1::CandyButton1_Click},    {QKeySequence::Save, &Form1::CandyButton6_Click},
        {Qt::CTRL | Qt::Key_I, &Form1::CandyButton15_Click}, {Qt::CTRL | Qt::Key_Q, &Form1::CandyButton9_Click},
        {Qt::Key_F1, &Form1::CandyButton13_Click},           {QKeySequence::Delete, &Form1::DeleteKey},
        {Qt::CTRL | Qt::Key_T, &Form1::KeepOnlySelection},   {Qt::CTRL | Qt::SHIFT | Qt::Key_S, &Form1::SaveEditedAs},
        {Qt::CTRL | Qt::Key_G, &Form1::GainOfSelection},     {Qt::CTRL | Qt::Key_BracketLeft, &Form1::FadeInSelection},
        {Qt::CTRL | Qt::Key_BracketRight, &Form1::FadeOutSelection},
    };
    for (const Key& key : keys) {
        auto* shortcut = new QShortcut(key.sequence, this);
        connect(shortcut, &QShortcut::activated, this, key.handler);
    }
    constexpr int kSeekStep = 5;
    connect(new QShortcut(Qt::Key_Left, this), &QShortcut::activated, this,
            [this] { SeekTo(Slider1->Value() - kSeekStep); });
    connect(new QShortcut(Qt::Key_Right, this), &QShortcut::activated, this,
            [this] { SeekTo(Slider1->Value() + kSeekStep); });

    CandyButton1->setToolTip("Open an MP3 file (Ctrl+O, or drop a file on the window)");
    CandyButton5->setToolTip("Play or pause (Space); Left/Right seek 5 seconds");
    CandyButton2->setToolTip("Play the marked selection (P)");
    CandyButton3->setToolTip("Mark the start at the playing position (Home or [); S plays the 2 s after the start, "
                             "Alt+Left/Right move it by one frame");
    CandyButton4->setToolTip("Mark the end at the playing position (End or ]); E plays the 2 s before the end, "
                             "Alt+Shift+Left/Right move it by one frame");
    Waveform1->setToolTip("Click to play from there, drag a mark's edge to move it, drag across for a new "
                          "selection; Ctrl+wheel or +/- zoom, Z zooms to the selection. Shift+Left/Right step one frame, Ctrl+Left/Right "
                          "one second; Ctrl+Z undoes a mark, Ctrl+Shift+Z redoes it");
    CandyButton6->setToolTip("Save the marked selection as a new MP3 file (Ctrl+S)");
    CandyButton15->setToolTip("View and change the tags of the open file (Ctrl+I)");
}

void Form1::OpenLink(const char* address) { isButton1->OpenLink(QString::fromUtf8(address)); }

void Form1::PutUpMessage(const QString& text) {
    Scroller1->Clear();
    Scroller1->AddItem(text + kTickerPadding);
    Scroller1->SetScroll(true);
    Scroller1->SetAutoScroll(true);
}

void Form1::ShowMessage(const QString& text, MsgIcon icon) { messages_->Show(this, text, icon, kAppTitle); }

bool Form1::Refused(const std::optional<Notice>& refusal) {
    if (!refusal) return false;
    const MsgIcon icon = refusal->icon == NoticeIcon::Error         ? MsgIcon::Error
                         : refusal->icon == NoticeIcon::Exclamation ? MsgIcon::Exclamation
                                                                    : MsgIcon::Information;
    ShowMessage(QString::fromStdString(refusal->text), icon);
    return true;
}

void Form1::ShowMarks() {
    Label2->setText(QString::fromStdString(CuttingSession::MarkText(session_.Start())));
    Label3->setText(QString::fromStdString(CuttingSession::MarkText(session_.End())));
    Label4->setText(QString::fromStdString(CuttingSession::MarkText(session_.Length())));
    const SelectionBand& band = session_.Band();
    Slider1->ClearSel();
    if (band.shown) {
        Slider1->SetSelStart(band.start);
        Slider1->SetSelLength(band.length);
    }
    ShowSelectionOnWaveform();
}

void Form1::ResetForOpen() {
    Slider1->SetValue(0);
    Slider1->ClearSel();
    session_.ResetForOpen();
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label15, Label16, Label17}) label->clear();
    if (parts_.player->playState() == MediaPlayer::kPlaying) {
        parts_.player->stop();
        Slider1->ClearSel();
    }
    ShowSelectionOnWaveform();
}

void Form1::CandyButton1_Click() {
    ResetForOpen();
    FileChoice choice = parts_.dialogs->ShowOpen(this, kAudioFilter);
    if (choice.path.isEmpty()) return;
    OpenChosen(choice.path, choice.fileTitle);
}

void Form1::OpenFile(const QString& path) {
    ResetForOpen();
    parts_.dialogs->NoteOpened(path);
    OpenChosen(path, QFileInfo(path).fileName());
}

void Form1::OpenChosen(const QString& path, const QString& fileTitle) {
    if (parts_.holdsMpegAudio && !parts_.holdsMpegAudio(path.toStdString())) {
        // Nothing of the file before is left to play, mark or name in the ticker.
        parts_.player->setURL(QString());
        Waveform1->Open(QString());
        cutPoints_->FileOpened(QString());
        session_.Close();
        Timer2->stop();
        Timer4->stop();
        Scroller1->Clear();
        return ShowMessage(kNoMpegAudio, MsgIcon::Error);
    }
    NoteRecent(path);
    parts_.player->setURL(path);
    Waveform1->Open(path);
    cutPoints_->FileOpened(path);
    const bool analysed = !parts_.checkFile || parts_.checkFile(path.toStdString());
    if (!analysed) ShowMessage("Unable to load the file!", MsgIcon::Exclamation);
    // The tag editor loads the file here.
    session_.Open(path.toStdString(), fileTitle.toStdString());
    // Neither the analysis nor the player found audio: no length will ever come to wait for.
    session_.SetNoAudio(!analysed && parts_.player->sampleRate() <= 0);
    parts_.player->play();
    Label15->setText(QString::fromStdString(FormatClock(parts_.player->duration())));
    Scroller1->SetVisible(true);
    PutUpMessage("Playing " + QString::fromStdString(session_.SongName()));
    Timer2->start();
    Timer6->start();
    Slider1->SetMin(0);
    lengthTicks_ = 0;
    Waveform1->SetNote(QString());
    if (parts_.lengthProgress) LengthTimer->start();
}

// The marks at their exact seconds, while the slider shows the selection band.
void Form1::ShowSelectionOnWaveform() {
    if (!Slider1->HasSelection()) return Waveform1->ClearSelection();
    const MarkSeconds& start = session_.Start();
    const MarkSeconds& end = session_.End();
    Waveform1->SetMarks(start.set ? std::optional<double>(start.seconds) : std::nullopt,
                        end.set ? std::optional<double>(end.seconds) : std::nullopt);
}

void Form1::SeekTo(double seconds) {
    Slider1->SetValue(RoundHalfEvenToInt32(seconds));
    Slider1_Scroll();
    // Shown at once: a mark set before the next tick takes the shown position.
    Timer1_Timer();
}

void Form1::SeekToClicked(double seconds) {
    constexpr double kFramePixels = 4;
    const double frame = FrameSeconds();
    if (Waveform1->XAtSeconds(seconds + frame) - Waveform1->XAtSeconds(seconds) >= kFramePixels)
        seconds = std::round(seconds / frame) * frame;
    Slider1->SetValue(RoundHalfEvenToInt32(seconds));
    SeekExactly(seconds);
    Timer1_Timer();
}

// Only a single local .mp3 is taken; anything else is refused by not accepting the drag, which
// shows the "no drop" cursor.
void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedMp3(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedMp3(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QString path = DroppedMp3(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    OpenFile(path);
}

void Form1::CandyButton9_Click() {
    if (parts_.quit) parts_.quit();
}

void Form1::CandyButton11_Click() { OpenLink(links::kHomepage); }

void Form1::CandyButton13_Click() { OpenLink(links::kHelp); }

void Form1::CandyButton14_Click() { OpenLink(links::kDonate); }

void Form1::CandyButton5_Click() {
    if (Refused(session_.CheckFileOpen())) return;
    const QString songName = QString::fromStdString(session_.SongName());
    // Both ways resume or hold at the whole second the slider shows.
    if (parts_.player->playState() == MediaPlayer::kPlaying) {
        parts_.player->setCurrentPosition(Slider1->Value());
        parts_.player->pause();
        PutUpMessage("Paused  " + songName);
    } else {
        parts_.player->setCurrentPosition(Slider1->Value());
        // Play Selection's watch still runs: the player ends this run on the end mark too.
        if (Timer4->isActive() && Slider1->Value() < session_.SelectionEndSeconds()) StopAtSelectionEnd();
        parts_.player->play();
        PutUpMessage("Playing " + songName);
    }
}

void Form1::CandyButton7_Click() {
    if (Refused(session_.CheckFileOpen())) return;
    if (parts_.player->playState() != MediaPlayer::kPlaying) return;
    parts_.player->stop();
    parts_.player->setCurrentPosition(0);
    Slider1->SetValue(0);
    PutUpMessage("STOPPED" + QString::fromStdString(session_.SongName()));
}

void Form1::CandyButton2_Click() {
    if (Refused(session_.CheckPlaySelection())) return;
    parts_.player->stop();
    SeekExactly(session_.SelectionStartSeconds());
    StopAtSelectionEnd();
    parts_.player->play();
    watchedPosition_ = session_.SelectionStartSeconds();
    Timer4->start();
}

void Form1::StopAtSelectionEnd() {
    const int rate = parts_.player->sampleRate();
    if (rate > 0) parts_.player->setEndSample(std::llround(session_.SelectionEndSeconds() * rate));
}

void Form1::Slider1_Scroll() { parts_.player->setCurrentPosition(Slider1->Value()); }

void Form1::Timer1_Timer() {
    double position = parts_.player->currentPosition();
    session_.ShowPosition(position);
    if (position != -1) Label1->setText(QString::fromStdString(session_.PositionText()));
    // Leave the handle alone while the user holds it.
    if (!Slider1->isSliderDown()) Slider1->SetValue(RoundHalfEvenToInt32(position));
    Waveform1->SetPosition(position);
    // A save stops the elapsed and remaining displays; they follow again once playback goes on.
    if (!Timer2->isActive() && !session_.Path().empty() && parts_.player->playState() == MediaPlayer::kPlaying)
        Timer2->start();
}

void Form1::Timer2_Timer() {
    Label17->setText(QString::fromStdString(FormatClock(Slider1->Value())));
    Label16->setText(QString::fromStdString(FormatClock(parts_.player->duration() - Slider1->Value())));
}

// The player itself ends Play Selection on the end mark's sample where it can; the watch then
// stops it there, and is what stops a player that cannot, or a later run from before the mark.
void Form1::Timer4_Timer() {
    const double before = watchedPosition_;
    watchedPosition_ = parts_.player->currentPosition();
    if (session_.ReachedSelectionEnd(before, watchedPosition_)) {
        parts_.player->stop();
        Timer4->stop();
    }
}

void Form1::Timer5_Timer() { Volume1->SetVolume(static_cast<int16_t>(Slider3->Value())); }

void Form1::Timer6_Timer() {
    double duration = parts_.player->duration();
    if (!session_.SetDuration(duration)) return;
    Slider1->SetMax(RoundHalfEvenToInt32(duration));
    // Files the player times in the background know their length only now.
    Label15->setText(QString::fromStdString(FormatClock(duration)));
    Timer6->stop();
}

void Form1::LengthTimer_Timer() {
    const double fraction = parts_.lengthProgress ? parts_.lengthProgress->LengthScanProgress() : -1.0;
    if (fraction < 0) {
        Waveform1->SetNote(QString());
        LengthTimer->stop();
        return;
    }
    if (++lengthTicks_ < kLengthQuietTicks) return;
    const int percent = static_cast<int>(std::min(fraction, 1.0) * 100);
    Waveform1->SetNote(QString("Measuring track length\u2026 %1%").arg(percent));
}

void Form1::CandyButton3_Click() {
    const auto refusal = session_.SetStart(parts_.player->currentPosition(), Slider1->Value());
    Label3->setText(QString::fromStdString(CuttingSession::MarkText(session_.End())));
    if (Refused(refusal)) return;
    Slider1->SetValue(session_.MarkedSliderSecond());
    ShowMarks();
    PutUpMessage("Selection started.Click on End selection button to end marking selection.");
}

void Form1::CandyButton4_Click() {
    if (Refused(session_.SetEnd(parts_.player->currentPosition(), Slider1->Value()))) return;
    PutUpMessage("  Selection Ended. press ` Save selection ` button to save the clip .Press PLAY SELECTION "
                 "button to play the selected song.");
    ShowMarks();
}

void Form1::CandyButton8_Click() {
    session_.NewSelection();
    ShowMarks();
}

void Form1::CandyButton6_Click() {
    if (Refused(session_.CheckSaveSelection())) return;
    Scroller1->SetVisible(false);
    parts_.player->stop();
    Timer2->stop();
    const QString defaultName = QString::fromStdString(session_.DefaultClipName());
    FileChoice choice = parts_.dialogs->ShowSave(this, kAudioFilter, defaultName);
    if (choice.path.isEmpty()) return;
    std::string error, note;
    const std::shared_ptr<const SplitSource> frames = cutPoints_->Source();
    if (!session_.SaveSelection(choice.path.toStdString(), CheckFrames->isChecked(), &error, true, &note,
                                frames ? &frames->Table() : nullptr)) {
        messages_->Show(this, QString::fromStdString(error), MsgIcon::Error, "Error");
        return;
    }
    ShowMessage(note.empty() ? QString(kClipSaved) : QString(kClipSaved) + "\n" + QString::fromStdString(note),
                MsgIcon::Information);
}

void Form1::CandyButton15_Click() { Refused(session_.ShowTagEditor()); }
