// The cut point actions that read or write files: pauses, cue sheets, saving every part.
#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFileInfo>

#include "clips/clipfile.h"
#include "controls/messageboxes.h"
#include "cutting/backgroundjob.h"
#include "cutting/cutpointscontroller.h"
#include "cutting/filedialogs.h"
#include "cutting/joindialog.h"
#include "split/cuesheet.h"
#include "split/editedparts.h"
#include "split/partnames.h"

namespace {

const char* const kCueFilter = "Cue Sheets (*.cue)|*.cue";

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

void CutPointsController::FindPauses() {
    if (!CheckReady()) return;
    const std::optional<PauseChoice> choice =
        parts_.askPauses ? parts_.askPauses(parts_.window) : PauseDialog::Ask(parts_.window);
    if (!choice) return;
    std::vector<Pause> pauses;
    std::string error;
    bool found = false;
    const std::string file = path_.toStdString();
    const int generation = generation_;
    const bool cancelled = RunBackgroundJob(parts_.window, "Finding pauses...", parts_.showProgress,
                                            [&](const JobProgress& progress) {
                                                found = ::FindPauses(file, choice->options, &pauses, &error, progress);
                                            });
    // Cancelled, or another file came in meanwhile: these pauses are not wanted.
    if (cancelled || generation != generation_) return;
    if (!found) {
        Fail("Pauses could not be found: " + QString::fromStdString(error));
        return;
    }
    // The pauses were found in the file on disk; the cut points lie on the edited timeline.
    if (const EditList* edits = EditedTimeline()) pauses = PausesOnTimeline(*edits, source_->SampleRate(), pauses);
    SplitPlan plan = model_.Plan();
    const size_t added = AddPauseCuts(plan, pauses, choice->trim);
    if (added == 0) {
        Inform(QString("No pause was found between stretches of sound (quieter than %1 dB for %2 s or more).")
                   .arg(choice->options.thresholdDb)
                   .arg(choice->options.minPauseSeconds));
        return;
    }
    model_.Replace(plan);
    Refresh();
}

void CutPointsController::ImportCueSheet() {
    if (!CheckReady() || !CheckUnedited()) return;
    const FileChoice choice = parts_.dialogs->ShowOpen(parts_.window, kCueFilter);
    if (choice.path.isEmpty()) return;
    CueSheet sheet;
    std::string error;
    SplitPlan plan = model_.Plan();
    if (!ReadCueSheet(choice.path.toStdString(), &sheet, &error) || !ApplyCueSheet(sheet, plan, &error)) {
        Fail("The cue sheet " + Native(choice.path) + " cannot be used: " + QString::fromStdString(error));
        return;
    }
    model_.Replace(plan);
    Refresh();
}

void CutPointsController::ExportCueSheet() {
    if (!CheckReady() || !CheckUnedited()) return;
    const std::string source = path_.toStdString();
    const FileChoice choice =
        parts_.dialogs->ShowSave(parts_.window, kCueFilter, QString::fromStdString(SourceTitle(source)) + ".cue");
    if (choice.path.isEmpty()) return;
    if (ClipWouldReplaceSource(source, choice.path.toStdString())) {
        Fail("The cue sheet cannot be saved over the file it describes. Please choose another name.");
        return;
    }
    // The sheet names the audio file as it lies beside it, or by its full path elsewhere.
    const QFileInfo audio(path_);
    const QString audioName = QFileInfo(choice.path).absolutePath() == audio.absolutePath()
                                  ? audio.fileName()
                                  : audio.absoluteFilePath();
    std::string error;
    const std::string text = CueSheetText(model_.Plan(), audioName.toStdString());
    if (!WriteCueSheet(choice.path.toStdString(), text, &error)) {
        Fail("The cue sheet could not be saved: " + QString::fromStdString(error));
        return;
    }
    Inform("The cue sheet is saved as " + Native(choice.path) + ".");
}

// Asks before any existing part is replaced; false when the save should not go ahead (refused
// plan or the user said no).
bool CutPointsController::ChooseOverwrite(const QString& folder, bool* overwrite) {
    SplitOptions options;
    options.outputDir = folder.toStdString();
    options.overwrite = true;
    std::vector<std::string> paths;
    std::string error;
    if (!PlanPartPaths(*source_, model_.Plan(), options, &paths, &error)) {
        Fail("The parts cannot be saved: " + QString::fromStdString(error));
        return false;
    }
    int existing = 0;
    QString first;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) continue;
        if (existing++ == 0) first = QFileInfo(QString::fromStdString(path)).fileName();
    }
    *overwrite = existing > 0;
    if (existing == 0) return true;
    const QString text = existing == 1 ? QString("\"%1\" exists already in %2. Replace it?").arg(first, Native(folder))
                                       : QString("%1 of the parts exist already in %2 (\"%3\" and others). "
                                                 "Replace them?")
                                             .arg(existing)
                                             .arg(Native(folder), first);
    return parts_.messages->Ask(parts_.window, text, kAppTitle);
}

void CutPointsController::SaveAllParts() {
    if (!CheckReady()) return;
    if (model_.Plan().CutCount() == 0) {
        Warn("Add a cut point first: the parts are the stretches between the cut points.");
        return;
    }
    const QString folder = parts_.dialogs->ShowFolder(parts_.window, "Save all parts");
    if (folder.isEmpty()) return;
    SplitOptions options;
    options.outputDir = folder.toStdString();
    if (!ChooseOverwrite(folder, &options.overwrite)) return;
    // The job works on copies: the window stays live while it runs.
    const std::shared_ptr<const SplitSource> source = source_;
    const SplitPlan plan = model_.Plan();
    // An edited timeline is saved part by part as it plays, each part an edited file of its own.
    const EditList* edited = EditedTimeline();
    const std::optional<EditList> edits = edited ? std::optional<EditList>(*edited) : std::nullopt;
    SplitOutcome outcome;
    RunBackgroundJob(parts_.window, "Saving the parts...", parts_.showProgress, [&](const JobProgress& progress) {
        const auto step = [&](size_t, double fraction) { return progress(fraction); };
        outcome = edits ? SaveEditedParts(*source, *edits, plan, options, step) : SaveParts(*source, plan, options, step);
    });
    ReportSaved(outcome, folder, plan.PartCount());
}

void CutPointsController::ReportSaved(const SplitOutcome& outcome, const QString& folder, size_t partCount) {
    const QString where = Native(folder);
    const qsizetype written = static_cast<qsizetype>(outcome.written.size());
    if (outcome.ok) {
        Inform(QString("Saved %1 parts in %2.").arg(written).arg(where));
    } else if (outcome.cancelled) {
        Inform(QString("Saving was cancelled: %1 of %2 parts are saved in %3.").arg(written).arg(partCount).arg(where));
    } else if (outcome.failedPart < 0) {
        // Parts written and still a failure: their folder was not flushed, as the error says.
        Fail((written > 0 ? QString() : QString("The parts cannot be saved: ")) + QString::fromStdString(outcome.error));
    } else {
        Fail(QString("Part %1 of %2 could not be saved: %3\n%4 parts before it are saved in %5.")
                 .arg(outcome.failedPart + 1)
                 .arg(partCount)
                 .arg(QString::fromStdString(outcome.error))
                 .arg(written)
                 .arg(where));
    }
}

void CutPointsController::ShowJoinDialog() {
    auto* dialog = new JoinDialog({parts_.dialogs, parts_.messages, parts_.showProgress}, parts_.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!path_.isEmpty()) dialog->AddFiles({path_});
    // Window-modal and not waited for: the window goes on painting behind it.
    dialog->open();
}
