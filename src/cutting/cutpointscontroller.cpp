#include "cutting/cutpointscontroller.h"

#include <cmath>

#include <sys/stat.h>

#include <QFileInfo>
#include <QMenu>
#include <QShortcut>
#include <QWidget>

#include "controls/messageboxes.h"
#include "cutting/cutpointspanel.h"
#include "cutting/waveformview.h"
#include "id3/id3v2write.h"
#include "split/chapterplan.h"

CutPointsController::CutPointsController(const CutPointsParts& parts) : parts_(parts) {
    auto* add = new QShortcut(Qt::Key_K, parts_.window);
    connect(add, &QShortcut::activated, this, &CutPointsController::AddAtPlayPosition);
    // Delete is the window's: it removes the selected cut point, or cuts the selection out.
    parts_.waveform->setToolTip("Right-click for cut points and \"Save all parts...\"; K adds a cut point at the "
                                "playing position, Delete removes the selected one or, with none selected, cuts "
                                "the selection out");
    connect(parts_.waveform, &WaveformView::cutPointPressed, this, &CutPointsController::SelectCut);
    connect(parts_.waveform, &WaveformView::cutPointDragged, this, &CutPointsController::MoveCut);
    connect(parts_.waveform, &WaveformView::contextMenuOpening, this, &CutPointsController::AddMenuActions);
    connect(parts_.panel, &CutPointsPanel::titleEdited, this, &CutPointsController::SetPartTitle);
    connect(parts_.panel, &CutPointsPanel::cutSelected, this, &CutPointsController::SelectCut);
    Refresh();
}

CutPointsController::~CutPointsController() = default;

void CutPointsController::FileOpened(const QString& path) {
    model_.Reset();
    source_.reset();
    path_ = path;
    walkError_.clear();
    walking_ = true;
    ++generation_;
    Refresh();
    // Starting the walk stops the walk of the file opened before: its result is no longer wanted.
    walker_.Start([this, file = path.toStdString()](const BackgroundWorker::Progress& progress,
                                                    const std::atomic<bool>&) {
        auto source = std::make_shared<SplitSource>();
        std::string error;
        const bool ok = source->Open(file, &error, progress);
        std::vector<mdlID3::Chapter> chapters;
        if (ok) mdlID3::ReadChapters(file, chapters);
        return [this, source, ok, error, chapters] { SourceWalked(source, ok, error, chapters); };
    });
}

void CutPointsController::SourceWalked(std::shared_ptr<SplitSource> source, bool ok, const std::string& error,
                                       const std::vector<mdlID3::Chapter>& chapters) {
    walking_ = false;
    if (ok) {
        source_ = std::move(source);
        model_.SetDuration(source_->DurationSeconds());
        // The file's chapters are its cut points and part names; chapters that do not fit the
        // audio are left for the user to see in the tag, not half applied.
        SplitPlan plan(source_->DurationSeconds());
        if (!chapters.empty() && ApplyChapters(chapters, plan, nullptr)) model_.Replace(plan);
    } else {
        walkError_ = QString::fromStdString(error);
    }
    Refresh();
    emit sourceReady();
}

void CutPointsController::Refresh() {
    const SplitPlan& plan = model_.Plan();
    std::vector<double> cuts;
    for (size_t i = 0; i < plan.CutCount(); ++i) cuts.push_back(plan.Cut(i).start);
    parts_.waveform->SetCutPoints(std::move(cuts), model_.Selected());
    parts_.panel->ShowPlan(plan, model_.Selected());
    parts_.panel->setEnabled(model_.Ready());
}

bool CutPointsController::CheckReady() {
    if (model_.Ready()) return true;
    if (path_.isEmpty())
        Warn("Open an MP3 file first.");
    else if (walking_)
        Warn("The file is still being read; cut points can be placed in a moment.");
    else
        Warn("This file cannot be split: " + walkError_);
    return false;
}

const EditList* CutPointsController::EditedTimeline() const {
    return parts_.editedTimeline ? parts_.editedTimeline() : nullptr;
}

bool CutPointsController::CheckUnedited() {
    if (!EditedTimeline()) return true;
    Warn("Cue sheets and chapters describe the file as it is on disk, and this one has been edited. "
         "Save it with \"Save edited as...\" and open the saved file first.");
    return false;
}

void CutPointsController::AddAtPlayPosition() {
    if (!CheckReady()) return;
    const double position = parts_.playPosition ? parts_.playPosition() : -1.0;
    if (position < 0) {
        Warn("There is no playing position to put a cut point at.");
        return;
    }
    AddAt(position);
}

void CutPointsController::AddAt(double seconds) {
    if (!CheckReady()) return;
    if (model_.Add(seconds) < 0) {
        Warn("A cut point has to lie inside the file, apart from the other cut points.");
        return;
    }
    Refresh();
}

void CutPointsController::MoveCut(int index, double seconds) {
    // A drag that would reach a neighbour snaps back: the lines are redrawn from the plan.
    if (index >= 0) model_.Move(static_cast<size_t>(index), seconds);
    Refresh();
}

void CutPointsController::DeleteCut(int index) {
    if (index >= 0 && model_.Remove(static_cast<size_t>(index))) Refresh();
}

void CutPointsController::DeleteSelected() { DeleteCut(model_.Selected()); }

void CutPointsController::Remap(const std::function<std::optional<double>(double)>& map, double duration) {
    model_.Remap(map, duration);
    Refresh();
}

void CutPointsController::SelectCut(int index) {
    if (index == model_.Selected()) return;
    model_.Select(index);
    Refresh();
}

void CutPointsController::SetPartTitle(int part, const QString& title) {
    if (part >= 0) model_.Rename(static_cast<size_t>(part), title.trimmed().toStdString());
}

int CutPointsController::CutNear(double seconds) const {
    const WaveformView& view = *parts_.waveform;
    const SplitPlan& plan = model_.Plan();
    int found = -1;
    double best = WaveformView::kEdgeGrab + 0.5;
    for (size_t i = 0; i < plan.CutCount(); ++i) {
        const double distance = std::abs(view.XAtSeconds(plan.Cut(i).start) - view.XAtSeconds(seconds));
        if (distance < best) {
            best = distance;
            found = static_cast<int>(i);
        }
    }
    return found;
}

void CutPointsController::AddMenuActions(QMenu* menu, double seconds) {
    const bool ready = model_.Ready();
    const int near = CutNear(seconds);
    const int target = near >= 0 ? near : model_.Selected();
    menu->addSeparator();
    menu->addAction("Add cut point here", this, [this, seconds] { AddAt(seconds); })->setEnabled(ready);
    QAction* add = menu->addAction("Add cut point at the play position", this,
                                   &CutPointsController::AddAtPlayPosition);
    add->setShortcut(QKeySequence(Qt::Key_K));
    add->setEnabled(ready);
    QAction* remove = menu->addAction("Delete cut point", this, [this, target] { DeleteCut(target); });
    remove->setShortcut(QKeySequence::Delete);
    remove->setEnabled(target >= 0);
    menu->addSeparator();
    menu->addAction("Find pauses...", this, &CutPointsController::FindPauses)->setEnabled(ready);
    menu->addAction("Import cue sheet...", this, &CutPointsController::ImportCueSheet)->setEnabled(ready);
    menu->addAction("Export cue sheet...", this, &CutPointsController::ExportCueSheet)->setEnabled(ready);
    menu->addAction("Save all parts...", this, &CutPointsController::SaveAllParts)
        ->setEnabled(ready && model_.Plan().CutCount() > 0);
    menu->addAction("Save cut points as chapters", this, &CutPointsController::SaveChapters)
        ->setEnabled(ready && model_.Plan().CutCount() > 0);
    menu->addSeparator();
    menu->addAction("Join files...", this, &CutPointsController::ShowJoinDialog);
}

void CutPointsController::SaveChapters() {
    if (!CheckReady() || !CheckUnedited()) return;
    const std::string file = path_.toStdString();
    struct stat before {};
    const bool sized = ::stat(file.c_str(), &before) == 0;
    const std::vector<mdlID3::Chapter> chapters = PlanChapters(model_.Plan());
    if (!mdlID3::WriteChapters(file, chapters)) {
        Fail("The chapters could not be saved in " + QFileInfo(path_).fileName() + ": " +
             QString::fromStdString(mdlID3::LastTagWriteError()));
        return;
    }
    Inform(QString("%1 chapters were saved in %2.").arg(chapters.size()).arg(QFileInfo(path_).fileName()));
    // A tag that outgrew its space moved the audio: offsets read from the file before are stale.
    struct stat after {};
    if (!sized || ::stat(file.c_str(), &after) != 0 || after.st_size != before.st_size) emit fileRewritten(path_);
}

void CutPointsController::Warn(const QString& text) {
    parts_.messages->Show(parts_.window, text, MsgIcon::Exclamation, kAppTitle);
}

void CutPointsController::Inform(const QString& text) {
    parts_.messages->Show(parts_.window, text, MsgIcon::Information, kAppTitle);
}

void CutPointsController::Fail(const QString& text) {
    parts_.messages->Show(parts_.window, text, MsgIcon::Error, kAppTitle);
}
