// libFuzzer target: a cue sheet of any bytes goes through the line check and libcue without a
// crash or a hang. A refused sheet says why; an accepted one has tracks that start in order, and
// the plan made from it is exported as a sheet that reads back as the same cut points and titles.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "split/cuesheet.h"
#include "split/splitplan.h"

namespace {

// Longer than any track a sheet of at most a few kilobytes can name in order.
constexpr double kAudioSeconds = 100000.0 * 60.0;
constexpr double kOneCueFrame = 1.0 / 75.0;

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckRoundTrip(const CueSheet& sheet) {
    SplitPlan plan(kAudioSeconds);
    std::string error;
    if (!ApplyCueSheet(sheet, plan, &error)) return;
    CueSheet again;
    Check(ParseCueSheet(CueSheetText(plan, "audio.mp3", sheet.title, sheet.performer), &again, &error));
    Check(again.tracks.size() == plan.PartCount());
    Check(again.title == sheet.title && again.performer == sheet.performer);
    for (size_t i = 0; i < plan.PartCount(); ++i) {
        const PlannedPart part = plan.Part(i);
        Check(std::fabs(again.tracks[i].start - part.start) < kOneCueFrame);
        Check(again.tracks[i].title == part.title && again.tracks[i].performer == part.performer);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CueSheet sheet;
    std::string error;
    if (!ParseCueSheet(bytes, &sheet, &error)) {
        Check(!error.empty());
        return 0;
    }
    Check(!sheet.tracks.empty());
    double previous = -1.0;
    for (const CueTrack& track : sheet.tracks) {
        Check(std::isfinite(track.start) && track.start > previous);
        previous = track.start;
    }
    CheckRoundTrip(sheet);
    return 0;
}
