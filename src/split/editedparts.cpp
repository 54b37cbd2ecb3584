#include "split/editedparts.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "edit/editrender.h"
#include "split/parttags.h"

namespace {

int64_t ToSamples(double seconds, int rate) { return std::llround(seconds * rate); }

}  // namespace

SplitOutcome SaveEditedParts(const SplitSource& source, const EditList& edits, const SplitPlan& plan,
                             const SplitOptions& options, const SplitProgress& progress) {
    SplitOutcome outcome;
    std::vector<std::string> paths;
    const int rate = static_cast<int>(source.SampleRate());
    if (rate <= 0 || plan.PartCount() == 0) {
        outcome.error = "The file has no audio to split";
        return outcome;
    }
    if (!PlanPartPaths(source, plan, options, &paths, &outcome.error)) return outcome;
    const SourceTags tags = ReadSourceTags(source.Path());
    const size_t count = plan.PartCount();
    const double total = static_cast<double>(edits.OutputSamples());
    for (size_t i = 0; i < count; ++i) {
        const PlannedPart part = plan.Part(i);
        const int64_t from = std::clamp<int64_t>(ToSamples(part.start, rate), 0, edits.OutputSamples());
        const int64_t to = std::clamp<int64_t>(ToSamples(part.end, rate), 0, edits.OutputSamples());
        const auto partProgress = [&](double fraction) {
            return !progress || progress(i, (static_cast<double>(from) + fraction * (to - from)) / total);
        };
        if (!partProgress(0)) {
            outcome.cancelled = true;
            outcome.error = "Cancelled before part " + std::to_string(i + 1);
            return outcome;
        }
        const auto fail = [&](const std::string& why) {
            outcome.failedPart = static_cast<int>(i);
            outcome.error = "Part " + std::to_string(i + 1) + " (" + paths[i] + ") was not written: " + why;
            return outcome;
        };
        std::error_code ec;
        // Checked again right before the write: a file may have appeared since the paths were planned.
        if (!options.overwrite && std::filesystem::exists(paths[i], ec)) return fail("it exists already");
        EditList piece = edits;
        if (piece.KeepOnly(SampleRange{from, to}) != EditRefusal::None) return fail("the part holds no audio");
        const std::string title =
            part.title.empty() ? std::filesystem::path(paths[i]).stem().string() : part.title;
        ClipTags partTags;
        std::string error;
        if (!PartClipTags(tags, title, part.performer, i + 1, count, &partTags, &error)) return fail(error);
        RenderOptions render;
        render.replaceExisting = options.overwrite;
        RenderPlan rendered;
        if (!SaveEdited(source.Path(), source.Table(), piece, render, paths[i], &partTags, {}, partProgress,
                        rendered, &error))
            return fail(error);
        outcome.written.push_back({paths[i], title, part.start, part.end, static_cast<uint64_t>(to - from)});
    }
    if (progress) progress(count, 1.0);
    outcome.ok = true;
    return outcome;
}

std::vector<Pause> PausesOnTimeline(const EditList& edits, int sampleRate, const std::vector<Pause>& pauses) {
    std::vector<Pause> moved;
    if (sampleRate <= 0) return moved;
    const double rate = sampleRate;
    for (const Pause& pause : pauses) {
        const int64_t from = ToSamples(pause.start, sampleRate);
        const int64_t to = ToSamples(pause.end, sampleRate);
        for (size_t i = 0; i < edits.Segments().size(); ++i) {
            const SampleRange kept = edits.Segments()[i].source;
            const int64_t start = std::max(from, kept.start);
            const int64_t end = std::min(to, kept.end);
            if (end <= start) continue;
            const int64_t out = edits.OutputStart(i) + (start - kept.start);
            moved.push_back({out / rate, (out + end - start) / rate});
        }
    }
    return moved;
}
