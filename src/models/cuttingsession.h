#pragma once
// The cutting window without its widgets: the open file, its bytes per second, the position
// display, the two marks (as the seconds the displays show and as byte positions), the selection
// band of the position slider, the checks of the buttons with their messages, the clip's default
// name and the clip save followed by the tag hand-over. Form1 shows this model; `trimbel cut`
// drives it without a window.
//
// Numbers are kept as the window always kept them, rounded to 15 significant digits (they were
// decimal texts once), so that a mark, a byte position and a clip come out to the same byte.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "edit/editlist.h"
#include "edit/renderplan.h"
#include "models/markhistory.h"
#include "models/notice.h"

class TagHandOver;

// The highlighted range of the position slider, in whole seconds.
struct SelectionBand {
    bool shown = false;
    int start = 0;
    int length = 0;

    bool operator==(const SelectionBand&) const = default;
};

// One mark as its display shows it: unset (empty display), or the seconds of the position
// display at the time; a position display that was empty gives " Secs", read as 0 seconds.
struct MarkSeconds {
    bool set = false;
    bool blank = false;
    double seconds = 0;

    bool operator==(const MarkSeconds&) const = default;
};

// Everything a mark changes, as one value: what an undo of a mark change puts back.
struct SessionMarks {
    MarkSeconds start, end, length;
    std::optional<double> curStart, curEnd, curDuration;  // byte positions, 1-based
    SelectionBand band;
    int markedSlider = 0;

    bool operator==(const SessionMarks&) const = default;
};

// What one undo step puts back: the marks and the edited timeline together.
struct SessionState {
    SessionMarks marks;
    EditList edits;

    bool operator==(const SessionState&) const = default;
};

class CuttingSession {
public:
    // `tags` may be null (no hand-over); `clockText` gives the local date and time as text.
    CuttingSession(TagHandOver* tags, std::function<std::string()> clockText);

    // Open, before the dialog: the displays of the marks and of the position go blank and the
    // band goes. The byte positions of the marks stay.
    void ResetForOpen();
    // Open, once a file is chosen: its path, name, size; the tag editor loads it.
    void Open(const std::string& path, const std::string& fileTitle);
    // A file was refused: no file is open any more, as before the first Open.
    void Close();
    // The player reported its duration: the bytes per second follow. False while it is not known.
    bool SetDuration(double seconds);
    // The position follow: what the position display shows (-1 is no position, left as it was).
    void ShowPosition(double seconds);

    // Set start and Set end as the buttons do them: the seconds from the position display, the
    // byte position from the player's `position` at the click, the band from `sliderSecond`.
    // A refusal comes back as the message to show; nothing else changes then.
    std::optional<Notice> SetStart(double position, int sliderSecond);
    std::optional<Notice> SetEnd(double position, int sliderSecond);
    // A mark set at `seconds` by any other route: the same values as the button leaves with the
    // player and its displays at `seconds`.
    std::optional<Notice> SetStartAt(double seconds);
    std::optional<Notice> SetEndAt(double seconds);
    // New selection: the band goes, the marks stay.
    void NewSelection();

    // A mark moved by the user on the waveform, nudged by a step or typed: the marks end as
    // Set start at the new start followed, when there was an end, by Set end at the end would
    // leave them. Negative seconds count as 0.
    std::optional<Notice> MoveStartTo(double seconds);
    std::optional<Notice> MoveEndTo(double seconds);
    std::optional<Notice> MoveStartBy(double seconds);
    std::optional<Notice> MoveEndBy(double seconds);
    // A selection dragged across the waveform: Set start at `from`, then Set end at `to`.
    std::optional<Notice> MarkSelection(double from, double to);
    // The open file's exact length is known: the edited timeline starts as all of its samples.
    // Marks, cut points and parts count seconds of the edited timeline from here on.
    void SetTimeline(int sampleRate, int64_t sourceSamples);
    int SampleRate() const { return sampleRate_; }
    const EditList& Edits() const { return edits_; }
    bool Edited() const { return sampleRate_ > 0 && !edits_.IsWhole(); }
    // The edited timeline's kept source stretches in samples, in playing order.
    std::vector<std::pair<int64_t, int64_t>> SourceStretches() const;
    double EditedSeconds() const;
    // Where edited second `seconds` comes from in the source.
    double SourceSecondsAt(double seconds) const;
    // Cut out selection / Keep only selection, between the marks' seconds. The marks go (the
    // selection is no longer there as it was); one undo brings back both.
    std::optional<Notice> CutOutSelection();
    std::optional<Notice> KeepOnlySelection();
    // Level of the selection, between the marks' seconds: its gain moved by `steps` of 1.5 dB, or
    // a fade from silence up to it or from it down to silence (within one kept stretch). The
    // marks stay; one undo takes the change back.
    // Why the selection cannot take a level change, if it cannot.
    std::optional<Notice> CheckLevelSelection() const;
    std::optional<Notice> ChangeSelectionGain(int steps);
    std::optional<Notice> FadeInSelection();
    std::optional<Notice> FadeOutSelection();
    // The gain of the whole timeline made `steps` (a normalisation), fades left as they are.
    std::optional<Notice> SetTimelineGain(int steps);
    // A time of the timeline `from` in the timeline `to`, through the source sample it plays;
    // nothing when that sample is not in `to`.
    static std::optional<double> MapSeconds(const EditList& from, const EditList& to, int sampleRate, double seconds);

    // Undo and redo of mark changes and edits, in one history; false when there was no step.
    bool UndoMarks();
    bool RedoMarks();
    bool CanUndoMarks() const { return history_.CanUndo(); }
    bool CanRedoMarks() const { return history_.CanRedo(); }
    // The analysis found no MPEG audio and the player could not load the file: marks and cuts
    // are refused saying so, instead of waiting for a length that never comes.
    void SetNoAudio(bool noAudio) { noAudio_ = noAudio; }

    // The checks of the buttons, in their order; the first that fails gives its message.
    std::optional<Notice> CheckFileOpen() const;
    std::optional<Notice> CheckPlaySelection() const;
    std::optional<Notice> CheckSaveSelection() const;
    std::optional<Notice> CheckTagEditor() const;

    // Play Selection plays from the start mark to the end mark.
    double SelectionStartSeconds() const;
    double SelectionEndSeconds() const;
    // The watch of Play Selection, between two looks at the position: playback went on across
    // the end mark, or stands on it. A jump of more than half a second is a seek, past the end
    // or back before it, and stops nothing.
    bool ReachedSelectionEnd(double before, double position) const;

    // "Trimbel_" + the file's name + the date and time at this moment + ".mp3".
    std::string DefaultClipName() const;
    // Saves the selection as `target`: the byte range of the marks, or with `wholeFrames` the
    // frames between the marks' seconds behind a fresh Xing/Info header. The tag editor then
    // writes its fields into the clip before it takes its name. Without `replace` an existing
    // `target` is kept and the save fails. False with `error` when nothing was saved. `note`
    // (may be null) says where a clip of whole frames starts when that is not the start mark.
    // A selection of an edited timeline whose level was changed is rendered from `table` (the
    // open file's frame walk) with that level; without the table it is refused.
    bool SaveSelection(const std::string& target, bool wholeFrames, std::string* error, bool replace = true,
                       std::string* note = nullptr, const FrameTable* table = nullptr) const;
    // "Save edited as...": the edited timeline of the open file (walked into `table`) rendered
    // losslessly as `target`, with the tag editor's fields. Never over the open file itself. The
    // render's joins come back in `joins`. False with `error` when nothing was saved (a failure,
    // or `progress` returned false).
    // With `smoothJoins` each join keeps its exact sample, its few frames encoded anew.
    bool SaveEdited(const std::string& target, const FrameTable& table, bool smoothJoins,
                    const std::function<bool(double)>& progress, std::vector<PlannedJoin>* joins,
                    std::string* error) const;
    // "View/Change  MP3 Info" on the open file.
    std::optional<Notice> ShowTagEditor() const;

    const std::string& Path() const { return path_; }           // empty until a file is opened
    const std::string& FileTitle() const { return fileTitle_; }
    const std::string& SongName() const { return songName_; }
    int64_t FileSize() const { return fileSize_; }
    // The last derived bytes per second (of an earlier file until this one's is known).
    std::optional<double> Rate() const { return rate_; }
    bool RateKnown() const { return rateKnown_; }
    std::optional<double> CurStart() const { return marks_.curStart; }
    std::optional<double> CurEnd() const { return marks_.curEnd; }
    std::optional<double> CurDuration() const { return marks_.curDuration; }
    const MarkSeconds& Start() const { return marks_.start; }
    const MarkSeconds& End() const { return marks_.end; }
    // The length display: set by Set end, blank after Open.
    const MarkSeconds& Length() const { return marks_.length; }
    const SelectionBand& Band() const { return marks_.band; }
    // The slider second the last Set start left (0 turns 1 there).
    int MarkedSliderSecond() const { return marks_.markedSlider; }
    // All of the marks at once, and putting them back (an undo or redo of a mark change).
    const SessionMarks& Marks() const { return marks_; }
    void RestoreMarks(const SessionMarks& marks) { marks_ = marks; }

    // The displays' texts.
    std::string PositionText() const;
    static std::string MarkText(const MarkSeconds& mark);

private:
    std::optional<Notice> MarkStart(const MarkSeconds& shown, double position, int sliderSecond);
    // Runs `change` as one step of the mark history.
    template <typename Change>
    std::optional<Notice> Recorded(Change change);
    std::optional<Notice> RateRefusal() const;
    // The selection as an output range of samples, or why there is none to edit.
    std::optional<Notice> EditRange(SampleRange* range) const;
    std::optional<Notice> Edit(bool keep);
    // Runs `change` on the edit list over the selection as one step of the history.
    std::optional<Notice> LevelEdit(const std::function<EditRefusal(EditList&, SampleRange)>& change, bool whole);
    std::optional<Notice> MarkEnd(const MarkSeconds& shown, double position, int sliderSecond);
    MarkSeconds Shown() const;
    static MarkSeconds ShownAt(double seconds);

    TagHandOver* tags_;
    std::function<std::string()> clockText_;
    std::string path_;
    std::string fileTitle_;
    std::string songName_;
    int64_t fileSize_ = 0;
    std::optional<double> rate_;
    bool rateKnown_ = false;
    std::optional<double> position_;  // the position display
    SessionMarks marks_;
    EditList edits_;
    int sampleRate_ = 0;
    MarkHistory<SessionState> history_;
    bool noAudio_ = false;
};
