// The cutting window's marks by eye: drags on the waveform, nudges by a frame, typed times,
// undo and redo, steps of the play position and the prelistens around the marks.
#include <algorithm>
#include <cmath>

#include <QLineEdit>
#include <QShortcut>

#include "cutting/form1.h"
#include "cutting/mediaplayer.h"
#include "cutting/timetext.h"
#include "cutting/waveformview.h"
#include "models/cuttingmessages.h"

namespace {

constexpr double kPrelistenSeconds = 2.0;
constexpr long kAssumedRate = 44100;

}  // namespace

double Form1::FrameSeconds() const {
    const int rate = parts_.player->sampleRate();
    const long samplesPerSecond = rate > 0 ? rate : kAssumedRate;
    // MPEG-1 Layer III frames hold 1,152 samples; MPEG-2 and 2.5 (below 32 kHz) hold 576.
    return (samplesPerSecond >= 32000 ? 1152.0 : 576.0) / samplesPerSecond;
}

void Form1::AfterMarkChange(const std::optional<Notice>& refusal) {
    ShowMarks();
    Refused(refusal);
}

void Form1::MoveStartTo(double seconds) { AfterMarkChange(session_.MoveStartTo(seconds)); }

void Form1::MoveEndTo(double seconds) { AfterMarkChange(session_.MoveEndTo(seconds)); }

void Form1::MarkSelection(double from, double to) { AfterMarkChange(session_.MarkSelection(from, to)); }

void Form1::NudgeStart(int frames) { AfterMarkChange(session_.MoveStartBy(frames * FrameSeconds())); }

void Form1::NudgeEnd(int frames) { AfterMarkChange(session_.MoveEndBy(frames * FrameSeconds())); }

void Form1::StartAtTypedTime() {
    const std::optional<double> seconds = ParseClockTime(MarkTime->text().toStdString());
    if (!seconds) return ShowMessage(kTypeATime, MsgIcon::Exclamation);
    MoveStartTo(*seconds);
}

void Form1::EndAtTypedTime() {
    const std::optional<double> seconds = ParseClockTime(MarkTime->text().toStdString());
    if (!seconds) return ShowMessage(kTypeATime, MsgIcon::Exclamation);
    MoveEndTo(*seconds);
}

void Form1::SeekExactly(double seconds) {
    const int rate = parts_.player->sampleRate();
    if (rate > 0) parts_.player->setPositionSamples(std::llround(seconds * rate));
    else parts_.player->setCurrentPosition(seconds);
}

void Form1::StepPosition(double seconds) {
    if (Refused(session_.CheckFileOpen())) return;
    const double position = parts_.player->currentPosition();
    if (position < 0) return;
    SeekExactly(std::max(0.0, position + seconds));
    Timer1_Timer();
}

void Form1::PlayBetween(double from, double to) {
    // A prelisten takes over from Play Selection's watch, which would rewind at the end mark.
    Timer4->stop();
    parts_.player->stop();
    SeekExactly(std::max(0.0, from));
    // A player that can ends the run on the mark's sample itself; the watch is the fallback.
    const int rate = parts_.player->sampleRate();
    if (rate > 0) parts_.player->setEndSample(std::llround(to * rate));
    parts_.player->play();
    prelistenTo_ = to;
    PrelistenTimer->start();
    Timer1_Timer();
}

void Form1::PrelistenEnd() {
    if (Refused(session_.CheckFileOpen())) return;
    if (!session_.End().set) return (void)Refused(Notice{kEndMissing, NoticeIcon::Exclamation});
    const double end = session_.End().seconds;
    PlayBetween(end - kPrelistenSeconds, end);
}

void Form1::PrelistenStart() {
    if (Refused(session_.CheckFileOpen())) return;
    if (!session_.Start().set) return (void)Refused(Notice{kStartMissing, NoticeIcon::Exclamation});
    const double start = session_.Start().seconds;
    double to = start + kPrelistenSeconds;
    if (parts_.player->duration() > 0) to = std::min(to, parts_.player->duration());
    PlayBetween(start, to);
}

// Compares the sample being heard with the mark's sample, so the prelisten ends on the mark
// itself and the position is left exactly there.
void Form1::PrelistenTimer_Timer() {
    if (parts_.player->playState() != MediaPlayer::kPlaying) {
        PrelistenTimer->stop();
        return;
    }
    const int rate = parts_.player->sampleRate();
    const bool reached = rate > 0 ? parts_.player->positionSamples() >= std::llround(prelistenTo_ * rate)
                                  : parts_.player->currentPosition() >= prelistenTo_;
    if (!reached) return;
    parts_.player->pause();
    SeekExactly(prelistenTo_);
    PrelistenTimer->stop();
    Timer1_Timer();
}

void Form1::BuildMarkShortcuts() {
    struct Key {
        QKeySequence sequence;
        std::function<void()> action;
    };
    const double second = 1.0;
    const Key keys[] = {
        {Qt::SHIFT | Qt::Key_Left, [this] { StepPosition(-FrameSeconds()); }},
        {Qt::SHIFT | Qt::Key_Right, [this] { StepPosition(FrameSeconds()); }},
        {Qt::CTRL | Qt::Key_Left, [this, second] { StepPosition(-second); }},
        {Qt::CTRL | Qt::Key_Right, [this, second] { StepPosition(second); }},
        {Qt::ALT | Qt::Key_Left, [this] { NudgeStart(-1); }},
        {Qt::ALT | Qt::Key_Right, [this] { NudgeStart(1); }},
        {Qt::ALT | Qt::SHIFT | Qt::Key_Left, [this] { NudgeEnd(-1); }},
        {Qt::ALT | Qt::SHIFT | Qt::Key_Right, [this] { NudgeEnd(1); }},
        {Qt::CTRL | Qt::Key_Z, [this] { UndoMarks(); }},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, [this] { RedoMarks(); }},
        {Qt::Key_E, [this] { PrelistenEnd(); }},
        {Qt::Key_S, [this] { PrelistenStart(); }},
        {Qt::Key_Plus, [this] { Waveform1->ZoomIn(); }},
        {Qt::Key_Equal, [this] { Waveform1->ZoomIn(); }},
        {Qt::Key_Minus, [this] { Waveform1->ZoomOut(); }},
        {Qt::Key_Z, [this] { Waveform1->ZoomToSelection(); }},
        {Qt::CTRL | Qt::Key_0, [this] { Waveform1->ShowWholeFile(); }},
    };
    for (const Key& key : keys) {
        auto* shortcut = new QShortcut(key.sequence, this);
        connect(shortcut, &QShortcut::activated, this, key.action);
    }
    connect(Waveform1, &WaveformView::startDragged, this, &Form1::MoveStartTo);
    connect(Waveform1, &WaveformView::endDragged, this, &Form1::MoveEndTo);
    connect(Waveform1, &WaveformView::selectionDragged, this, &Form1::MarkSelection);
}
