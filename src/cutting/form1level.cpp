// Edit > Level on the cutting window: gain and fades of the selection and the whole timeline
// normalised, as edits of the edited timeline that the player plays and the waveform draws at
// once, and that Undo takes back.
#include <cmath>

#include "cutting/backgroundjob.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/form1.h"
#include "cutting/gaindialog.h"
#include "level/levelchange.h"
#include "models/cuttingmessages.h"

namespace {

QString Signed(double value, int decimals) { return (value > 0 ? "+" : "") + QString::number(value, 'f', decimals); }

}  // namespace

void Form1::ApplyLevelEdit(const std::function<std::optional<Notice>()>& edit) {
    const EditList before = session_.Edits();
    if (Refused(edit())) return;
    ShowMarks();
    if (!(session_.Edits() == before)) AfterEdit(before);
}

void Form1::GainOfSelection() {
    if (Refused(session_.CheckLevelSelection())) return;
    const std::optional<double> db = parts_.askGainDb ? parts_.askGainDb(this) : GainDialog::Ask(this);
    if (!db) return;
    const int steps = StepsForDb(*db);
    if (steps == 0) return;
    ApplyLevelEdit([this, steps] { return session_.ChangeSelectionGain(steps); });
}

void Form1::FadeInSelection() {
    ApplyLevelEdit([this] { return session_.FadeInSelection(); });
}

void Form1::FadeOutSelection() {
    ApplyLevelEdit([this] { return session_.FadeOutSelection(); });
}

void Form1::NormaliseFile() {
    if (Refused(session_.CheckFileOpen())) return;
    const std::shared_ptr<const SplitSource> source = cutPoints_->Source();
    if (!source || source->Table().frames.empty() || session_.SampleRate() <= 0)
        return (void)Refused(Notice{kWaitForLength, NoticeIcon::Exclamation});
    LevelSource level;
    level.path = session_.Path();
    level.table = source->Table();
    LevelRequest request;
    request.mode = LevelMode::Normalize;
    std::string error;
    bool measured = false;
    const bool cancelled = RunBackgroundJob(this, "Measuring the loudness...", showProgress_, [&](const JobProgress& progress) {
        measured = MeasureLevelSource(level, request, &error, progress);
    });
    if (cancelled && !measured) return ShowMessage("Normalising was cancelled; nothing changed.", MsgIcon::Information);
    if (!measured) {
        messages_->Show(this, QString::fromStdString(error), MsgIcon::Error, "Error");
        return;
    }
    const double loudness = level.meter.Loudness();
    if (!std::isfinite(loudness))
        return ShowMessage("The file is silent: there is nothing to normalise.", MsgIcon::Exclamation);
    bool limited = false;
    const int steps = NormaliseSteps(level, kDefaultTargetLufs, &limited);
    const EditList before = session_.Edits();
    if (Refused(session_.SetTimelineGain(steps))) return;
    ShowMarks();
    if (!(session_.Edits() == before)) AfterEdit(before);
    QString text = QString("The file measures %1 LUFS. The whole timeline now plays at %2 steps (%3 dB), about %4 LUFS.")
                       .arg(loudness, 0, 'f', 1)
                       .arg(Signed(steps, 0), Signed(DbForSteps(steps), 1))
                       .arg(loudness + DbForSteps(steps), 0, 'f', 1);
    if (limited)
        text += QString(" The true peak keeps it from reaching %1 LUFS without clipping.").arg(kDefaultTargetLufs, 0, 'f', 0);
    ShowMessage(text, MsgIcon::Information);
}
