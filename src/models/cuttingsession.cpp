#include "models/cuttingsession.h"

#include <cmath>
#include <cstdlib>

#include <sys/stat.h>

#include "clips/cleancut.h"
#include "mpeg/rounding.h"
#include "models/clipsave.h"
#include "models/cuttingmessages.h"
#include "models/module1.h"
#include "models/taghandover.h"

namespace {

// A number as the window kept it: through its decimal text of 15 significant digits.
double Kept(double value) { return LeadingNumber(NumberText(value)); }

Notice Refusal(const char* text, NoticeIcon icon) { return Notice{text, icon}; }

}  // namespace

CuttingSession::CuttingSession(TagHandOver* tags, std::function<std::string()> clockText)
    : tags_(tags), clockText_(std::move(clockText)) {}

void CuttingSession::ResetForOpen() {
    position_.reset();
    start_ = end_ = length_ = MarkSeconds();
    band_ = SelectionBand();
}

void CuttingSession::Open(const std::string& path, const std::string& fileTitle) {
    path_ = path;
    fileTitle_ = fileTitle;
    rateKnown_ = false;
    if (tags_) tags_->LoadFile(path_, fileTitle_);
    struct stat st {};
    fileSize_ = ::stat(path_.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    songName_ = FileNameFromPath(path_);
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
    return position_ ? MarkSeconds{true, false, *position_} : MarkSeconds{true, true, 0};
}

MarkSeconds CuttingSession::ShownAt(double seconds) { return MarkSeconds{true, false, Kept(seconds)}; }

std::optional<Notice> CuttingSession::MarkStart(const MarkSeconds& shown, double position, int sliderSecond) {
    // A new start always empties the end display, also when it is refused.
    end_ = MarkSeconds();
    if (auto refusal = CheckFileOpen()) return refusal;
    // Marks need the open file's own bytes per second; the previous file's would cut elsewhere.
    if (!rateKnown_) return Refusal(kWaitForLength, NoticeIcon::Exclamation);
    // The band starts one second in when the slider stands at its start.
    markedSlider_ = sliderSecond == 0 ? 1 : sliderSecond;
    start_ = shown;
    curStart_ = Kept(StartMark(*rate_, position));
    band_ = SelectionBand{true, markedSlider_, 0};
    return std::nullopt;
}

std::optional<Notice> CuttingSession::MarkEnd(const MarkSeconds& shown, double position, int sliderSecond) {
    if (auto refusal = CheckFileOpen()) return refusal;
    if (!start_.set) return Refusal(kStartFirst, NoticeIcon::Exclamation);
    if (!rateKnown_) return Refusal(kWaitForLength, NoticeIcon::Exclamation);
    curEnd_ = Kept(EndMark(*rate_, position));
    curDuration_ = Kept(*curEnd_ - curStart_.value_or(0));
    end_ = shown;
    // The band runs from the lower mark to the higher whichever came first.
    band_.length = std::abs(sliderSecond - band_.start);
    if (sliderSecond < band_.start) band_.start = sliderSecond;
    band_.shown = true;
    length_ = MarkSeconds{true, false, Kept(end_.seconds - start_.seconds)};
    return std::nullopt;
}

std::optional<Notice> CuttingSession::SetStart(double position, int sliderSecond) {
    return MarkStart(Shown(), position, sliderSecond);
}

std::optional<Notice> CuttingSession::SetEnd(double position, int sliderSecond) {
    return MarkEnd(Shown(), position, sliderSecond);
}

std::optional<Notice> CuttingSession::SetStartAt(double seconds) {
    return MarkStart(ShownAt(seconds), seconds, RoundHalfEvenToInt32(seconds));
}

std::optional<Notice> CuttingSession::SetEndAt(double seconds) {
    return MarkEnd(ShownAt(seconds), seconds, RoundHalfEvenToInt32(seconds));
}

std::optional<Notice> CuttingSession::CheckFileOpen() const {
    if (path_.empty()) return Refusal(kOpenFirst, NoticeIcon::Error);
    return std::nullopt;
}

std::optional<Notice> CuttingSession::CheckPlaySelection() const {
    if (auto refusal = CheckFileOpen()) return refusal;
    if (!start_.set) return Refusal(kStartMissing, NoticeIcon::Exclamation);
    if (!end_.set) return Refusal(kEndMissing, NoticeIcon::Exclamation);
    if (!(length_.seconds > 1)) return Refusal(kTooShort, NoticeIcon::Error);
    if (!rateKnown_) return Refusal(kWaitForLength, NoticeIcon::Exclamation);
    return std::nullopt;
}

std::optional<Notice> CuttingSession::CheckSaveSelection() const {
    if (auto refusal = CheckFileOpen()) return refusal;
    // An empty end display counts as 0 seconds here, so a fresh start above 0 fails this first.
    if (start_.seconds > (end_.set ? end_.seconds : 0)) return Refusal(kEndBeforeStart, NoticeIcon::Error);
    if (!start_.set) return Refusal(kStartMissing, NoticeIcon::Exclamation);
    if (!end_.set) return Refusal(kEndMissing, NoticeIcon::Exclamation);
    if (!(length_.seconds > 1)) return Refusal(kTooShort, NoticeIcon::Error);
    if (!rateKnown_) return Refusal(kWaitForLength, NoticeIcon::Exclamation);
    return std::nullopt;
}

std::optional<Notice> CuttingSession::CheckTagEditor() const {
    if (path_.empty()) return Refusal(kFileFirst, NoticeIcon::Error);
    return std::nullopt;
}

double CuttingSession::SelectionStartSeconds() const { return curStart_.value_or(0) / rate_.value_or(0); }

bool CuttingSession::ReachedSelectionEnd(double position) const {
    return std::floor(curEnd_.value_or(0) / rate_.value_or(0)) == std::floor(position);
}

std::string CuttingSession::DefaultClipName() const {
    return ::DefaultClipName(fileTitle_, clockText_ ? clockText_() : std::string());
}

bool CuttingSession::SaveSelection(const std::string& target, bool wholeFrames, std::string* error) const {
    ClipFinisher finish;
    if (tags_) finish = [this](const std::string& clip, std::string* why) { return tags_->WriteInto(clip, why); };
    // Whole frames go by the marks as the displays show them; the frame table maps them.
    if (wholeFrames) return SaveCleanClip(path_, start_.seconds, end_.seconds, target, error, nullptr, finish);
    return SaveClip(path_, target, curStart_.value_or(0), curDuration_.value_or(0), finish, error);
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
