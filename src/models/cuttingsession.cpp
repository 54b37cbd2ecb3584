#include "models/cuttingsession.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include "clips/cleancut.h"
#include "edit/editrender.h"
#include "mpeg/rounding.h"
#include "models/clipsave.h"
#include "models/cuttingmessages.h"
#include "models/module1.h"
#include "models/taghandover.h"

namespace {

// A number as the window kept it: through its decimal text of 15 significant digits.
double Kept(double value) { return LeadingNumber(NumberText(value)); }

Notice Refusal(const char* text, NoticeIcon icon) { return Notice{text, icon}; }

// Marks and lengths are shown and checked to the millisecond: the player's position carries
// binary noise below that ("4.99900000000001") that no display should show.
double Millisecond(double seconds) { return Kept(RoundHalfEven(seconds * 1000.0) / 1000.0); }

// A clip of whole frames that could not start on the start mark's sample.
std::string MovedStartNote(double shift) {
    const long ms = std::lround(std::abs(shift) * 1000.0);
    return "The clip starts on the nearest frame, " + std::to_string(ms) + " ms " + (shift < 0 ? "before" : "after") +
           " the start mark: the bit reservoir there reaches back further than its header can hide.";
}

}  // namespace

CuttingSession::CuttingSession(TagHandOver* tags, std::function<std::string()> clockText)
    : tags_(tags), clockText_(std::move(clockText)) {}

void CuttingSession::ResetForOpen() {
    position_.reset();
    marks_.start = marks_.end = marks_.length = MarkSeconds();
    marks_.band = SelectionBand();
}

void CuttingSession::Open(const std::string& path, const std::string& fileTitle) {
    path_ = path;
    fileTitle_ = fileTitle;
    rateKnown_ = false;
    if (tags_) tags_->LoadFile(path_, fileTitle_);
    struct stat st {};
    fileSize_ = ::stat(path_.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    songName_ = FileNameFromPath(path_);
    noAudio_ = false;
    edits_ = EditList();
    sampleRate_ = 0;
    history_.Clear();
}

void CuttingSession::Close() {
    ResetForOpen();
    path_.clear();
    fileTitle_.clear();
    songName_.clear();
    fileSize_ = 0;
    rateKnown_ = false;
    noAudio_ = false;
    marks_ = SessionMarks();
    history_.Clear();
}

bool CuttingSession::SetDuration(double seconds) {
    if (!(seconds > 0)) return false;
    rate_ = Kept(Kept(static_cast<double>(fileSize_)) / seconds);
    rateKnown_ = true;
    return true;
}

void CuttingSession::ShowPosition(double seconds) {
    if (seconds != -1) position_ = Kept(seconds);
}

MarkSeconds CuttingSession::Shown() const {
    return position_ ? MarkSeconds{true, false, Millisecond(*position_)} : MarkSeconds{true, true, 0};
}

MarkSeconds CuttingSession::ShownAt(double seconds) { return MarkSeconds{true, false, Millisecond(seconds)}; }

std::optional<Notice> CuttingSession::RateRefusal() const {
    if (rateKnown_) return std::nullopt;
    if (noAudio_) return Refusal(kNoMpegAudio, NoticeIcon::Error);
    return Refusal(kWaitForLength, NoticeIcon::Exclamation);
}

template <typename Change>
std::optional<Notice> CuttingSession::Recorded(Change change) {
    const SessionState before{marks_, edits_};
    std::optional<Notice> refusal = change();
    history_.Record(before, SessionState{marks_, edits_});
    return refusal;
}

std::optional<Notice> CuttingSession::MarkStart(const MarkSeconds& shown, double position, int sliderSecond) {
    // A new start always empties the end display, also when it is refused.
    marks_.end = MarkSeconds();
    if (auto refusal = CheckFileOpen()) return refusal;
    // Marks need the open file's own bytes per second; the previous file's would cut elsewhere.
    if (auto refusal = RateRefusal()) return refusal;
    // The band starts one second in when the slider stands at its start.
    marks_.markedSlider = sliderSecond == 0 ? 1 : sliderSecond;
    marks_.start = shown;
    marks_.curStart = Kept(StartMark(*rate_, position));
    marks_.band = SelectionBand{true, marks_.markedSlider, 0};
    return std::nullopt;
}

std::optional<Notice> CuttingSession::MarkEnd(const MarkSeconds& shown, double position, int sliderSecond) {
    if (auto refusal = CheckFileOpen()) return refusal;
    if (!marks_.start.set) return Refusal(kStartFirst, NoticeIcon::Exclamation);
    if (auto refusal = RateRefusal()) return refusal;
    marks_.curEnd = Kept(EndMark(*rate_, position));
    marks_.curDuration = Kept(*marks_.curEnd - marks_.curStart.value_or(0));
    marks_.end = shown;
    // The band runs from the lower mark to the higher whichever came first.
    marks_.band.length = std::abs(sliderSecond - marks_.band.start);
    if (sliderSecond < marks_.band.start) marks_.band.start = sliderSecond;
    marks_.band.shown = true;
    marks_.length = MarkSeconds{true, false, Millisecond(marks_.end.seconds - marks_.start.seconds)};
    return std::nullopt;
}

std::optional<Notice> CuttingSession::SetStart(double position, int sliderSecond) {
    return Recorded([&] { return MarkStart(Shown(), position, sliderSecond); });
}

std::optional<Notice> CuttingSession::SetEnd(double position, int sliderSecond) {
    return Recorded([&] { return MarkEnd(Shown(), position, sliderSecond); });
}

std::optional<Notice> CuttingSession::SetStartAt(double seconds) {
    return Recorded([&] { return MarkStart(ShownAt(seconds), seconds, RoundHalfEvenToInt32(seconds)); });
}

std::optional<Notice> CuttingSession::SetEndAt(double seconds) {
    return Recorded([&] { return MarkEnd(ShownAt(seconds), seconds, RoundHalfEvenToInt32(seconds)); });
}

void CuttingSession::NewSelection() {
    Recorded([&] {
        marks_.band = SelectionBand();
        return std::optional<Notice>();
    });
}

std::optional<Notice> CuttingSession::MoveStartTo(double seconds) {
    seconds = std::max(seconds, 0.0);
    return Recorded([&]() -> std::optional<Notice> {
        const MarkSeconds end = marks_.end;
        if (auto refusal = MarkStart(ShownAt(seconds), seconds, RoundHalfEvenToInt32(seconds))) return refusal;
        if (!end.set) return std::nullopt;
        return MarkEnd(end, end.seconds, RoundHalfEvenToInt32(end.seconds));
    });
}

std::optional<Notice> CuttingSession::MoveEndTo(double seconds) {
    seconds = std::max(seconds, 0.0);
    return Recorded([&] { return MarkEnd(ShownAt(seconds), seconds, RoundHalfEvenToInt32(seconds)); });
}

std::optional<Notice> CuttingSession::MoveStartBy(double seconds) {
    if (auto refusal = CheckFileOpen()) return refusal;
    if (!marks_.start.set) return Refusal(kStartMissing, NoticeIcon::Exclamation);
    return MoveStartTo(marks_.start.seconds + seconds);
}

std::optional<Notice> CuttingSession::MoveEndBy(double seconds) {
    if (auto refusal = CheckFileOpen()) return refusal;
    if (!marks_.end.set) return Refusal(kEndMissing, NoticeIcon::Exclamation);
    return MoveEndTo(marks_.end.seconds + seconds);
}

std::optional<Notice> CuttingSession::MarkSelection(double from, double to) {
    from = std::max(from, 0.0);
    to = std::max(to, 0.0);
    return Recorded([&]() -> std::optional<Notice> {
        if (auto refusal = MarkStart(ShownAt(from), from, RoundHalfEvenToInt32(from))) return refusal;
        return MarkEnd(ShownAt(to), to, RoundHalfEvenToInt32(to));
    });
}

bool CuttingSession::UndoMarks() {
    const std::optional<SessionState> restored = history_.Undo(SessionState{marks_, edits_});
    if (restored) {
        marks_ = restored->marks;
        edits_ = restored->edits;
    }
    return restored.has_value();
}

bool CuttingSession::RedoMarks() {
    const std::optional<SessionState> restored = history_.Redo(SessionState{marks_, edits_});
    if (restored) {
        marks_ = restored->marks;
        edits_ = restored->edits;
    }
    return restored.has_value();
}

void CuttingSession::SetTimeline(int sampleRate, int64_t sourceSamples) {
    if (sampleRate <= 0 || sourceSamples <= 0) return;
    sampleRate_ = sampleRate;
    edits_ = EditList(sourceSamples);
    // Marks set while the length was still being measured were recorded with no timeline; undoing
    // them must not take the timeline away again.
    history_.ForEachStep([this](SessionState& state) {
        if (state.edits.SourceSamples() == 0) state.edits = edits_;
    });
}

std::vector<std::pair<int64_t, int64_t>> CuttingSession::SourceStretches() const {
    std::vector<std::pair<int64_t, int64_t>> stretches;
    for (const EditSegment& segment : edits_.Segments()) stretches.emplace_back(segment.source.start, segment.source.end);
    return stretches;
}

double CuttingSession::EditedSeconds() const {
    return sampleRate_ > 0 ? static_cast<double>(edits_.OutputSamples()) / sampleRate_ : 0.0;
}

double CuttingSession::SourceSecondsAt(double seconds) const {
    if (sampleRate_ <= 0) return seconds;
    return static_cast<double>(edits_.ToSource(std::llround(seconds * sampleRate_))) / sampleRate_;
}

std::optional<double> CuttingSession::MapSeconds(const EditList& from, const EditList& to, int sampleRate,
                                                 double seconds) {
    if (sampleRate <= 0) return seconds;
    const int64_t sample = std::llround(std::max(seconds, 0.0) * sampleRate);
    // The end of a timeline is no sample of it, but still a place: it maps to the end.
    if (sample >= from.OutputSamples()) return static_cast<double>(to.OutputSamples()) / sampleRate;
    std::optional<int64_t> mapped = to.ToOutput(from.ToSource(sample));
    // The first sample of a removed stretch: a place there (a cut point at the selection's
    // start) stays where the stretch before it now ends.
    if (!mapped && sample > 0) {
        const std::optional<int64_t> before = to.ToOutput(from.ToSource(sample - 1));
        if (before) mapped = *before + 1;
    }
    if (!mapped) return std::nullopt;
    return static_cast<double>(*mapped) / sampleRate;
}

std::optional<Notice> CuttingSession::EditRange(SampleRange* range) const {
    if (auto refusal = CheckFileOpen()) return refusal;
    if (!marks_.start.set) return Refusal(kStartMissing, NoticeIcon::Exclamation);
    if (!marks_.end.set) return Refusal(kEndMissing, NoticeIcon::Exclamation);
    if (marks_.start.seconds > marks_.end.seconds) return Refusal(kEndBeforeStart, NoticeIcon::Error);
    if (auto refusal = RateRefusal()) return refusal;
    if (sampleRate_ <= 0) return Refusal(kWaitForLength, NoticeIcon::Exclamation);
    const int64_t length = edits_.OutputSamples();
    range->start = std::clamp<int64_t>(std::llround(marks_.start.seconds * sampleRate_), 0, length);
    range->end = std::clamp<int64_t>(std::llround(marks_.end.seconds * sampleRate_), 0, length);
    if (range->end <= range->start) return Refusal(kTooShort, NoticeIcon::Error);
    return std::nullopt;
}

std::optional<Notice> CuttingSession::Edit(bool keep) {
    SampleRange range;
    if (auto refusal = EditRange(&range)) return refusal;
    return Recorded([&]() -> std::optional<Notice> {
        const EditRefusal refused = keep ? edits_.KeepOnly(range) : edits_.Delete(range);
        if (refused == EditRefusal::NothingLeft) return Refusal(kNothingLeft, NoticeIcon::Exclamation);
        if (refused != EditRefusal::None) return Refusal(kTooShort, NoticeIcon::Error);
        // The selected stretch is gone (or is all there is): no selection is left to show.
        marks_.start = marks_.end = marks_.length = MarkSeconds();
        marks_.band = SelectionBand();
        return std::nullopt;
    });
}

std::optional<Notice> CuttingSession::CutOutSelection() { return Edit(false); }

std::optional<Notice> CuttingSession::KeepOnlySelection() {
    SampleRange range;
    if (auto refusal = EditRange(&range)) return refusal;
    // Keeping all there is changes nothing, and is no step to undo.
    if (range.start == 0 && range.end == edits_.OutputSamples()) return std::nullopt;
    return Edit(true);
}

std::optional<Notice> CuttingSession::LevelEdit(const std::function<EditRefusal(EditList&, SampleRange)>& change,
                                                bool whole) {
    SampleRange range{0, edits_.OutputSamples()};
    if (whole) {
        if (auto refusal = CheckFileOpen()) return refusal;
        if (sampleRate_ <= 0 || range.end <= 0) return Refusal(kWaitForLength, NoticeIcon::Exclamation);
    } else if (auto refusal = EditRange(&range)) {
        return refusal;
    }
    return Recorded([&]() -> std::optional<Notice> {
        const EditRefusal refused = change(edits_, range);
        if (refused == EditRefusal::AcrossJoin) return Refusal(kFadeAcrossJoin, NoticeIcon::Exclamation);
        if (refused != EditRefusal::None) return Refusal(kTooShort, NoticeIcon::Error);
        return std::nullopt;
    });
}

std::optional<Notice> CuttingSession::CheckLevelSelection() const {
    SampleRange range;
    return EditRange(&range);
}

std::optional<Notice> CuttingSession::ChangeSelectionGain(int steps) {
    return LevelEdit([steps](EditList& e, SampleRange r) { return e.ChangeGain(r, steps); }, false);
}

std::optional<Notice> CuttingSession::FadeInSelection() {
    return LevelEdit([](EditList& e, SampleRange r) { return e.FadeIn(r); }, false);
}

std::optional<Notice> CuttingSession::FadeOutSelection() {
    return LevelEdit([](EditList& e, SampleRange r) { return e.FadeOut(r); }, false);
}

std::optional<Notice> CuttingSession::SetTimelineGain(int steps) {
    return LevelEdit([steps](EditList& e, SampleRange r) { return e.SetGain(r, steps); }, true);
}

std::optional<Notice> CuttingSession::CheckFileOpen() const {
    if (path_.empty()) return Refusal(kOpenFirst, NoticeIcon::Error);
    return std::nullopt;
}

std::optional<Notice> CuttingSession::CheckPlaySelection() const {
    if (auto refusal = CheckFileOpen()) return refusal;
    if (!marks_.start.set) return Refusal(kStartMissing, NoticeIcon::Exclamation);
    if (!marks_.end.set) return Refusal(kEndMissing, NoticeIcon::Exclamation);
    if (!(marks_.length.seconds > 1)) return Refusal(kTooShort, NoticeIcon::Error);
    if (auto refusal = RateRefusal()) return refusal;
    return std::nullopt;
}

std::optional<Notice> CuttingSession::CheckSaveSelection() const {
    if (auto refusal = CheckFileOpen()) return refusal;
    // An empty end display counts as 0 seconds here, so a fresh start above 0 fails this first.
    if (marks_.start.seconds > (marks_.end.set ? marks_.end.seconds : 0)) return Refusal(kEndBeforeStart, NoticeIcon::Error);
    if (!marks_.start.set) return Refusal(kStartMissing, NoticeIcon::Exclamation);
    if (!marks_.end.set) return Refusal(kEndMissing, NoticeIcon::Exclamation);
    if (!(marks_.length.seconds > 1)) return Refusal(kTooShort, NoticeIcon::Error);
    if (auto refusal = RateRefusal()) return refusal;
    return std::nullopt;
}

std::optional<Notice> CuttingSession::CheckTagEditor() const {
    if (path_.empty()) return Refusal(kFileFirst, NoticeIcon::Error);
    return std::nullopt;
}

double CuttingSession::SelectionStartSeconds() const { return marks_.curStart.value_or(0) / rate_.value_or(0); }

double CuttingSession::SelectionEndSeconds() const { return marks_.curEnd.value_or(0) / rate_.value_or(0); }

bool CuttingSession::ReachedSelectionEnd(double before, double position) const {
    constexpr double kLongestStep = 0.5;
    // A player stopped on the mark's sample stands a fraction of a sample from its seconds.
    constexpr double kOnTheMark = 1e-4;
    const double end = SelectionEndSeconds();
    return before < end && position >= end - kOnTheMark && position - before <= kLongestStep;
}

std::string CuttingSession::DefaultClipName() const {
    return ::DefaultClipName(fileTitle_, clockText_ ? clockText_() : std::string());
}

bool CuttingSession::SaveSelection(const std::string& target, bool wholeFrames, std::string* error, bool replace,
                                   std::string* note, const FrameTable* table) const {
    ClipFinisher finish;
    if (tags_) finish = [this](const std::string& clip, std::string* why) { return tags_->WriteInto(clip, why); };
    ClipTags tags;
    const ClipTags* oneTagPass = tags_ && tags_->TagsForClip(&tags) ? &tags : nullptr;
    double start = marks_.start.seconds;
    double end = marks_.end.seconds;
    double curStart = marks_.curStart.value_or(0);
    double curDuration = marks_.curDuration.value_or(0);
    if (Edited()) {
        // The marks count the edited timeline; inside one kept stretch they are one range of the
        // source, and that range is cut.
        const int64_t first = std::llround(start * sampleRate_);
        const int64_t last = std::max<int64_t>(first, std::llround(end * sampleRate_) - 1);
        bool leveled = false;
        for (size_t i = edits_.SegmentAt(first); i <= edits_.SegmentAt(last); ++i)
            leveled = leveled || !edits_.Segments()[i].level.IsUnchanged();
        if (leveled) {
            // The clip plays at the selection's level: rendered with it, joins and all, on whole frames.
            if (!table) {
                *error = kWaitForLength;
                return false;
            }
            EditList clip = edits_;
            clip.KeepOnly({first, last + 1});
            RenderOptions options;
            options.replaceExisting = replace;
            RenderPlan plan;
            return ::SaveEdited(path_, *table, clip, options, target, oneTagPass, finish, {}, plan, error);
        }
        if (edits_.SegmentAt(first) != edits_.SegmentAt(last)) {
            *error = kSelectionAcrossJoin;
            return false;
        }
        start = static_cast<double>(edits_.ToSource(first)) / sampleRate_;
        end = static_cast<double>(edits_.ToSource(last) + 1) / sampleRate_;
        curStart = Kept(StartMark(*rate_, start));
        curDuration = Kept(EndMark(*rate_, end) - curStart);
    }
    // Whole frames go by the marks as the displays show them; the frame table maps them.
    if (wholeFrames) {
        CleanClipResult clip;
        if (!SaveCleanClip(path_, start, end, target, error, &clip, finish, oneTagPass, replace)) return false;
        if (note && !clip.exactStart) *note = MovedStartNote(clip.startSeconds - start);
        return true;
    }
    return SaveClip(path_, target, curStart, curDuration, finish, error, oneTagPass, replace);
}

bool CuttingSession::SaveEdited(const std::string& target, const FrameTable& table, bool smoothJoins,
                                const std::function<bool(double)>& progress, std::vector<PlannedJoin>* joins,
                                std::string* error) const {
    std::error_code ec;
    if (target == path_ || std::filesystem::equivalent(target, path_, ec)) {
        *error = kEditedOverSource;
        return false;
    }
    ClipFinisher finish;
    if (tags_) finish = [this](const std::string& file, std::string* why) { return tags_->WriteInto(file, why); };
    ClipTags tags;
    const ClipTags* oneTagPass = tags_ && tags_->TagsForClip(&tags) ? &tags : nullptr;
    RenderOptions options;
    options.smoothJoins = smoothJoins;
    RenderPlan plan;
    if (!::SaveEdited(path_, table, edits_, options, target, oneTagPass, finish, progress, plan, error))
        return false;
    if (joins) *joins = plan.joins;
    return true;
}

std::optional<Notice> CuttingSession::ShowTagEditor() const {
    if (auto refusal = CheckTagEditor()) return refusal;
    if (tags_) tags_->ShowFor(path_, fileTitle_);
    return std::nullopt;
}

std::string CuttingSession::PositionText() const { return position_ ? NumberText(*position_) : std::string(); }

std::string CuttingSession::MarkText(const MarkSeconds& mark) {
    if (!mark.set) return {};
    return (mark.blank ? std::string() : NumberText(mark.seconds)) + " Secs";
}
