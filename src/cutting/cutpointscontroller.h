#pragma once
// The cutting window's cut points: keeps the cut point model, the waveform's cut lines and the
// list under it in step, and runs the actions of the waveform's menu and keys: add a cut point
// at the play position (K) or at the pointer, drag one, delete the selected one (Delete), find
// pauses, import and export a cue sheet, save all parts, save the cut points as the file's
// chapters. A file that has chapters opens with them as its cut points and part names.
//
// The file's frames are walked on a thread of its own when it is opened; cut points can be
// placed once that is done. Long jobs (pauses, saving) run in the background behind a progress
// dialog with Cancel.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>

#include "cutting/pausedialog.h"
#include "edit/editlist.h"
#include "id3/chapters.h"
#include "jobs/backgroundworker.h"
#include "models/cutpointsmodel.h"
#include "split/partwriter.h"
#include "split/splitsource.h"

class CutPointsPanel;
class FileDialogs;
class MessageBoxes;
class QMenu;
class QWidget;
class WaveformView;

struct CutPointsParts {
    QWidget* window = nullptr;  // owner of the dialogs and message boxes; the keys live on it
    WaveformView* waveform = nullptr;
    CutPointsPanel* panel = nullptr;
    FileDialogs* dialogs = nullptr;
    MessageBoxes* messages = nullptr;
    // The player's position in seconds, -1 for none.
    std::function<double()> playPosition;
    // Asks for the pause settings; null shows the pause dialog.
    std::function<std::optional<PauseChoice>(QWidget* owner)> askPauses;
    // A progress dialog over long jobs (none in headless runs).
    bool showProgress = true;
    // The edited timeline the cut points lie on; null while it is the file as it is on disk.
    std::function<const EditList*()> editedTimeline;
};

class CutPointsController : public QObject {
    Q_OBJECT
public:
    explicit CutPointsController(const CutPointsParts& parts);
    ~CutPointsController() override;

    // A file was opened: the plan goes, and its frames are walked in the background.
    void FileOpened(const QString& path);
    const CutPointsModel& Model() const { return model_; }
    // The open file's frames once walked; null before (or when it holds no Layer III audio).
    std::shared_ptr<const SplitSource> Source() const { return source_; }
    // Replaces the pause dialog (tests answer it themselves).
    void SetAskPauses(std::function<std::optional<PauseChoice>(QWidget* owner)> ask) { parts_.askPauses = std::move(ask); }

    void AddAtPlayPosition();
    void AddAt(double seconds);
    void MoveCut(int index, double seconds);
    void DeleteCut(int index);
    void DeleteSelected();
    // The timeline was edited: the cut points follow (see CutPointsModel::Remap).
    void Remap(const std::function<std::optional<double>(double)>& map, double duration);
    void SelectCut(int index);
    void SetPartTitle(int part, const QString& title);
    void FindPauses();
    void ImportCueSheet();
    void ExportCueSheet();
    void SaveAllParts();
    // Writes the cut points and part names into the open file's tag as its chapters.
    void SaveChapters();
    // File > Join files...: the join dialog, with the open file (if any) as its first file.
    void ShowJoinDialog();
    // The waveform's context menu opened at `seconds`: the cut point actions join it.
    void AddMenuActions(QMenu* menu, double seconds);

signals:
    // The frame walk of the open file ended (successfully or not).
    void sourceReady();
    // The open file was rebuilt on disk (its tag grew): what was read of it must be read again.
    void fileRewritten(const QString& path);

private:
    void SourceWalked(std::shared_ptr<SplitSource> source, bool ok, const std::string& error,
                      const std::vector<mdlID3::Chapter>& chapters);
    void Refresh();
    // Refuses, with a message, until the open file's frames are walked.
    bool CheckReady();
    // Refuses, with a message, while the timeline is edited.
    bool CheckUnedited();
    const EditList* EditedTimeline() const;
    bool ChooseOverwrite(const QString& folder, bool* overwrite);
    void ReportSaved(const SplitOutcome& outcome, const QString& folder, size_t partCount);
    void Warn(const QString& text);
    void Inform(const QString& text);
    void Fail(const QString& text);
    // The cut point drawn within grabbing distance of `seconds` on the waveform, -1 for none.
    int CutNear(double seconds) const;

    CutPointsParts parts_;
    CutPointsModel model_;
    std::shared_ptr<const SplitSource> source_;
    QString path_;
    QString walkError_;
    bool walking_ = false;
    // Counts the files opened, so a job that outlives its file drops its result.
    int generation_ = 0;
    // Walks the open file's frames; its destruction stops the walk and waits for it.
    BackgroundWorker walker_;
};
