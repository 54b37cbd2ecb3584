#pragma once
// The cutting window: open an MP3, play it, mark a selection, save it as a clip.
//
// Every handler and timer tick is a public method so tests can drive the window without a
// display; the player, dialogs, message boxes, clock and tag editor come from outside.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "controls/messageboxes.h"
#include "cutting/positionslider.h"
#include "models/cuttingsession.h"
#include "models/recentfiles.h"
#include "cutting/scrollerticker.h"
#include "models/taghandover.h"

class QCheckBox;
class CutPointsController;
class CutPointsPanel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class WaveformView;
class Clock;
class FileDialogs;
class LinkLabel;
class LengthProgress;
class LinkOpener;
class MediaPlayer;
class MessageBoxes;
class Slider;
class Volume;
class WaveOut;
class isButton;

struct Form1Parts {
    MediaPlayer* player = nullptr;
    FileDialogs* dialogs = nullptr;
    MessageBoxes* messages = nullptr;
    Clock* clock = nullptr;
    TagHandOver* tags = nullptr;  // may be null: the hand-over steps are then skipped
    WaveOut* waveOut = nullptr;   // the volume the volume slider sets
    LinkOpener* links = nullptr;  // opens the maker's web pages
    // May be null: how far the player's background length measurement got, shown while it runs.
    LengthProgress* lengthProgress = nullptr;
    // Checks a file with the MP3 analysis; false gives the "Unable to load the file!" warning.
    std::function<bool(const std::string& path)> checkFile;
    // Whether a file holds MPEG audio (chained frame headers); a file without is refused and
    // never played. Null takes every file.
    std::function<bool(const std::string& path)> holdsMpegAudio;
    // Ends the program (Exit).
    std::function<void()> quit;
    // Asks for the gain of "Gain of selection..." in dB; nothing when cancelled. Null: the dialog.
    std::function<std::optional<double>(QWidget* parent)> askGainDb;
};

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(const Form1Parts& parts, QWidget* parent = nullptr);
    ~Form1() override;

    // Buttons.
    void CandyButton1_Click();   // Open
    void CandyButton5_Click();   // Play/Pause
    void CandyButton7_Click();   // Stop
    void CandyButton2_Click();   // Play Selection
    void CandyButton3_Click();   // Set start
    void CandyButton4_Click();   // Set end
    void CandyButton8_Click();   // New selection
    void CandyButton6_Click();   // Save Selection
    void CandyButton15_Click();  // View/Change  MP3 Info
    void CandyButton9_Click();   // Exit
    void CandyButton11_Click();  // Homepage
    void CandyButton13_Click();  // Help
    void CandyButton14_Click();  // DONATE
    void Slider1_Scroll();
    // Delete: removes the selected cut point, or cuts the selection out when none is selected.
    void DeleteKey();
    // Editing: the selection leaves the timeline, or only it stays. The player, the waveform, the
    // slider and the cut points follow the edited timeline; Undo puts the edit back.
    void CutOutSelection();
    void KeepOnlySelection();
    // "Save edited as...": the edited timeline rendered losslessly into a new file, with progress
    // and Cancel; the save dialog asks before replacing a file, and the open file is never replaced.
    void SaveEditedAs();
    // Edit > Level: the selection's gain (asked for in dB, taken to the nearest 1.5 dB step), a
    // fade in or out over the selection, and the whole timeline normalised to -18 LUFS after a
    // loudness measurement in the background. Heard at once, drawn on the waveform, undone by Undo.
    void GainOfSelection();
    void FadeInSelection();
    void FadeOutSelection();
    void NormaliseFile();

    // The files opened lately, newest first; the menu offers those that still exist.
    const RecentFiles& Recent() const { return recent_; }
    void SetRecentFiles(const std::vector<std::string>& paths);
    // File > Open Recent: opens as a dropped file does; a file gone meanwhile is said so and dropped.
    void OpenRecent(const QString& path);
    void ShowAbout();
    // Open without the dialog (a dropped file, a file named on the command line): the same
    // resets and the same steps as after the dialog.
    void OpenFile(const QString& path);
    // Moves the position as a user's move of Slider1 does.
    void SeekTo(double seconds);
    // A click on the waveform: the clicked sample, or the nearest frame start once a frame is
    // several pixels wide; the slider shows its whole second.
    void SeekToClicked(double seconds);

    // Timer ticks.
    void Timer1_Timer();  // position follow
    void Timer2_Timer();  // elapsed and remaining
    void Timer4_Timer();  // end-of-selection watch
    void Timer5_Timer();  // volume follow
    void Timer6_Timer();  // duration and rate
    // Shows the length measurement's progress in the waveform band once it has run about half
    // a second, and hides it when it ends.
    void LengthTimer_Timer();

    // Cutting by eye: every route to a mark goes through the session's marking, so it leaves
    // the displays, the byte marks and the slider's band as Set start/Set end there would.
    void MoveStartTo(double seconds);       // the start edge dragged on the waveform
    void MoveEndTo(double seconds);         // the end edge dragged
    void MarkSelection(double from, double to);  // a selection dragged across the waveform
    void NudgeStart(int frames);            // by whole MPEG frames
    void NudgeEnd(int frames);
    void StartAtTypedTime();                // the time in MarkTime, mm:ss.mmm
    void EndAtTypedTime();
    void UndoMarks();
    void RedoMarks();
    // The play position moved by `seconds` (one frame, one second), sample-exact where the
    // player can.
    void StepPosition(double seconds);
    // Prelisten: the 2 s before the end mark, the 2 s after the start mark; playback stops at
    // the mark's sample.
    void PrelistenEnd();
    void PrelistenStart();
    void PrelistenTimer_Timer();
    // One MPEG frame of the open file in seconds (1,152 samples; 576 below 32 kHz).
    double FrameSeconds() const;

    // True once the open file's bytes per second have been derived from its duration.
    bool RateKnown() const { return session_.RateKnown(); }
    // The values the handlers share: path, size, rate, marks, band.
    const CuttingSession& Session() const { return session_; }
    const ScrollerTicker* Scroller() const { return Scroller1.get(); }
    // Cut points, their list and "Save all parts...".
    CutPointsController* CutPoints() const { return cutPoints_.get(); }

    QAbstractButton* CandyButton1;
    QAbstractButton* CandyButton5;
    QAbstractButton* CandyButton7;
    QAbstractButton* CandyButton2;
    QAbstractButton* CandyButton3;
    QAbstractButton* CandyButton4;
    QAbstractButton* CandyButton8;
    QAbstractButton* CandyButton6;
    QAbstractButton* CandyButton15;
    QAbstractButton* CandyButton11;
    QAbstractButton* CandyButton13;
    QAbstractButton* CandyButton14;
    QAbstractButton* CandyButton9;
    // File, Edit, View and Help: each item runs the handler of its button, key or context menu
    // item and shows that key.
    QMenuBar* MenuBar1;
    QMenu* RecentMenu;
    QMenu* LevelMenu;  // Edit > Level
    PositionSlider* Slider1;
    WaveformView* Waveform1;  // the whole file's envelope, right above Slider1
    CutPointsPanel* CutPoints1;  // the parts between the cut points, under Slider1
    Slider* Slider3;
    Volume* Volume1;
    isButton* isButton1;
    std::unique_ptr<ScrollerTicker> Scroller1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label15;
    QLabel* Label16;
    QLabel* Label17;
    QLabel* Heading;
    // Save Selection writes whole frames behind a fresh Xing/Info header instead of the byte range.
    QCheckBox* CheckFrames;
    // A mark typed as mm:ss.mmm, set by the two buttons beside it.
    QLineEdit* MarkTime;
    QPushButton* StartAtTime;
    QPushButton* EndAtTime;
    // The maker's links; Label21 shows the support address and opens nothing.
    LinkLabel* Label19;
    LinkLabel* Label20;
    LinkLabel* Label22;
    LinkLabel* Label23;
    LinkLabel* Label24;
    LinkLabel* Label25;
    LinkLabel* Label26;
    QLabel* Label21;

    QTimer* Timer1;
    QTimer* Timer2;
    QTimer* Timer4;
    QTimer* Timer5;
    QTimer* Timer6;
    QTimer* LengthTimer;
    QTimer* PrelistenTimer;  // 10 ms: stops a prelisten at its mark

signals:
    // The recent list changed (a file opened, a missing one dropped): worth saving now.
    void recentFilesChanged();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildLayout();
    void BuildShortcuts();
    void ResetForOpen();
    void OpenChosen(const QString& path, const QString& fileTitle);
    void ShowSelectionOnWaveform();
    void OpenLink(const char* address);
    void PutUpMessage(const QString& text);
    void ShowMessage(const QString& text, MsgIcon icon);
    // Shows `refusal` when there is one; true then.
    bool Refused(const std::optional<Notice>& refusal);
    // Label2-Label4 and the slider's band as the session holds them.
    void ShowMarks();
    void AfterMarkChange(const std::optional<Notice>& refusal);
    void PlayBetween(double from, double to);
    void SeekExactly(double seconds);
    // The player ends the next run on the end mark's sample, when it can.
    void StopAtSelectionEnd();
    void BuildMarkShortcuts();
    void BuildMenuBar();
    void FillRecentMenu();
    void NoteRecent(const QString& path);
    // Runs an edit of the session; on success the window follows the new timeline and the play
    // position goes to `seconds` of it.
    void ApplyEdit(const std::function<std::optional<Notice>()>& edit, double seconds);
    // Runs a level edit of the session; the play position stays where it is.
    void ApplyLevelEdit(const std::function<std::optional<Notice>()>& edit);
    // The timeline changed from `before` (an edit, an undo, a redo): player, waveform, slider,
    // length display and cut points follow.
    void AfterEdit(const EditList& before);
    // The open file's frames are walked: its exact length starts the edited timeline.
    void StartTimeline();

    Form1Parts parts_;
    // Every message box of the window and its cut points goes through this.
    std::unique_ptr<MessageBoxes> messages_;
    // Stand-ins when the caller gives no volume or link opener.
    std::unique_ptr<WaveOut> ownWaveOut_;
    std::unique_ptr<LinkOpener> ownLinks_;
    CuttingSession session_;
    int lengthTicks_ = 0;  // LengthTimer ticks since the file was opened
    std::unique_ptr<CutPointsController> cutPoints_;
    double prelistenTo_ = 0;
    double watchedPosition_ = 0;  // the position Timer4 saw last
    RecentFiles recent_;
    bool showProgress_ = true;  // a progress dialog over long jobs
    bool smoothJoins_ = false;  // the save dialog's "Smooth joins" box, as the user last left it
};
