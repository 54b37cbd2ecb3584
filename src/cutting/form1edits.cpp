// Editing on the cutting window: cut out, keep only, undo and redo of both, and the window
// following the edited timeline (player, waveform, slider, length, cut points).
#include <algorithm>
#include <cmath>

#include "cutting/backgroundjob.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/filedialogs.h"
#include "cutting/form1.h"
#include "cutting/mediaplayer.h"
#include "cutting/waveformview.h"
#include "models/cuttingmessages.h"
#include "models/module1.h"
#include "mpeg/rounding.h"
#include "split/partnames.h"

namespace {

const char* const kAudioFilter = "Audio Files (*.mp3)|*.mp3";

}  // namespace

void Form1::DeleteKey() {
    if (cutPoints_->Model().Selected() >= 0) {
        cutPoints_->DeleteSelected();
        return;
    }
    CutOutSelection();
}

void Form1::CutOutSelection() {
    // Playing goes on where the removed stretch was: at the join.
    const double join = session_.Start().seconds;
    ApplyEdit([this] { return session_.CutOutSelection(); }, join);
}

void Form1::KeepOnlySelection() {
    ApplyEdit([this] { return session_.KeepOnlySelection(); }, 0.0);
}

void Form1::ApplyEdit(const std::function<std::optional<Notice>()>& edit, double seconds) {
    const EditList before = session_.Edits();
    if (Refused(edit())) return;
    ShowMarks();
    if (session_.Edits() == before) return;
    AfterEdit(before);
    SeekExactly(seconds);
    Timer1_Timer();
}

void Form1::UndoMarks() {
    const EditList before = session_.Edits();
    if (!session_.UndoMarks()) return;
    ShowMarks();
    if (!(session_.Edits() == before)) AfterEdit(before);
}

void Form1::RedoMarks() {
    const EditList before = session_.Edits();
    if (!session_.RedoMarks()) return;
    ShowMarks();
    if (!(session_.Edits() == before)) AfterEdit(before);
}

void Form1::AfterEdit(const EditList& before) {
    const int rate = session_.SampleRate();
    const double position = parts_.player->currentPosition();
    std::vector<PlaySegment> segments;
    std::vector<std::pair<double, double>> stretches;
    std::vector<StretchLevel> levels;
    if (session_.Edited()) {
        for (const EditSegment& s : session_.Edits().Segments()) {
            segments.push_back(PlaySegment{s.source.start, s.source.end, s.level});
            stretches.emplace_back(static_cast<double>(s.source.start) / rate, static_cast<double>(s.source.end) / rate);
            levels.push_back({s.level.gainSteps, static_cast<double>(s.level.fadeInSamples) / rate,
                              static_cast<double>(s.level.fadeOutSamples) / rate});
        }
    }
    parts_.player->setSegments(segments);
    // The play position stays on the sound it was on, or goes to where that sound was cut out.
    if (position >= 0) {
        const std::optional<double> mapped = CuttingSession::MapSeconds(before, session_.Edits(), rate, position);
        SeekExactly(mapped.value_or(std::min(position, session_.EditedSeconds())));
    }
    const double length = session_.EditedSeconds();
    Slider1->SetMax(RoundHalfEvenToInt32(length));
    Label15->setText(QString::fromStdString(FormatClock(length)));
    Waveform1->SetEdits(std::move(stretches), static_cast<double>(session_.Edits().SourceSamples()) / rate,
                        std::move(levels));
    cutPoints_->Remap(
        [&](double seconds) { return CuttingSession::MapSeconds(before, session_.Edits(), rate, seconds); }, length);
    Timer1_Timer();
}

// The frames are walked: the exact length in samples, as the renderer counts them, starts the
// timeline that marks, edits and cut points share.
void Form1::StartTimeline() {
    const std::shared_ptr<const SplitSource> source = cutPoints_->Source();
    if (!source || source->SampleRate() == 0) return;
    session_.SetTimeline(static_cast<int>(source->SampleRate()), static_cast<int64_t>(source->DecodedSamples()));
}

void Form1::SaveEditedAs() {
    if (Refused(session_.CheckFileOpen())) return;
    if (!session_.Edited()) return (void)Refused(Notice{kNoEdits, NoticeIcon::Exclamation});
    const std::shared_ptr<const SplitSource> source = cutPoints_->Source();
    if (!source) return (void)Refused(Notice{kWaitForLength, NoticeIcon::Exclamation});
    const QString name = QString::fromStdString(SourceTitle(session_.Path())) + " (edited).mp3";
    const FileChoice choice =
        parts_.dialogs->ShowSaveWithOption(this, kAudioFilter, name, "S&mooth joins (a few frames encoded anew at each join)", &smoothJoins_);
    if (choice.path.isEmpty()) return;
    parts_.player->pause();
    std::vector<PlannedJoin> joins;
    std::string error;
    bool saved = false;
    const std::string target = choice.path.toStdString();
    const bool cancelled = RunBackgroundJob(this, "Saving the edited file...", showProgress_, [&](const JobProgress& progress) {
        saved = session_.SaveEdited(target, source->Table(), smoothJoins_, progress, &joins, &error);
    });
    if (cancelled && !saved) return ShowMessage("Saving was cancelled; nothing was written.", MsgIcon::Information);
    if (!saved) {
        messages_->Show(this, QString::fromStdString(error), MsgIcon::Error, "Error");
        return;
    }
    const auto moved = std::count_if(joins.begin(), joins.end(), [](const PlannedJoin& j) { return j.mode == JoinMode::LeadFrames; });
    QString text = kEditedSaved;
    if (moved > 0)
        text += QString(" %1 of %2 joins could not carry the bytes the frame after them borrows and keep a "
                        "few frames more before them.").arg(moved).arg(joins.size());
    ShowMessage(text, MsgIcon::Information);
}
