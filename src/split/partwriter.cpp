#include "split/partwriter.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "clips/cleancut.h"
#include "clips/clipfile.h"
#include "files/safefile.h"
#include "split/partnames.h"
#include "split/partrange.h"
#include "split/parttags.h"

namespace fs = std::filesystem;

namespace {

std::string TitleOf(const PlannedPart& part, const std::string& path) {
    return part.title.empty() ? fs::path(path).stem().string() : part.title;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

SplitOutcome Refused(const std::string& error) {
    SplitOutcome outcome;
    outcome.error = error;
    return outcome;
}

}  // namespace

bool PlanPartPaths(const SplitSource& source, const SplitPlan& plan, const SplitOptions& options,
                   std::vector<std::string>* paths, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        paths->clear();
        return false;
    };
    paths->clear();
    if (!CheckNamePattern(options.namePattern, error)) return false;
    const fs::path dir = options.outputDir.empty() ? fs::path(source.Path()).parent_path() : fs::path(options.outputDir);
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec)) return fail("The output folder " + dir.string() + " does not exist");
    const std::string title = SourceTitle(source.Path());
    std::set<std::string> seen;
    for (size_t i = 0; i < plan.PartCount(); ++i) {
        const std::string name =
            PartFileName(options.namePattern, title, i, plan.PartCount(), plan.Part(i).title);
        if (name.empty() || name.find('/') != std::string::npos)
            return fail("The name pattern gives no usable file name for part " + std::to_string(i + 1));
        const std::string path = (dir / name).string();
        if (!seen.insert(path).second)
            return fail("Two parts would be named " + name + "; put {n} into the name pattern");
        if (ClipWouldReplaceSource(source.Path(), path)) return fail(std::string(kClipOverSource));
        if (!options.overwrite && Exists(path))
            return fail(path + " exists already; nothing was written (allow overwriting to replace it)");
        paths->push_back(path);
    }
    return true;
}

SplitOutcome SaveParts(const SplitSource& source, const SplitPlan& plan, const SplitOptions& options,
                       const SplitProgress& progress) {
    std::vector<PartRange> ranges;
    std::vector<std::string> paths;
    std::string error;
    if (!PartRanges(source, plan, &ranges, &error)) return Refused(error);
    if (!PlanPartPaths(source, plan, options, &paths, &error)) return Refused(error);

    const SourceTags tags = ReadSourceTags(source.Path());
    // Each part is flushed before it takes its name; the names are flushed once, after the last
    // part or the failure (the parts written so far stay).
    struct FolderFlush {
        const std::string& anyPart;
        ~FolderFlush() { mdlID3::FlushFolderOf(anyPart); }
    } folderFlush{paths.front()};
    const double totalFrames = static_cast<double>(ranges.back().endFrame - ranges.front().firstFrame);
    double doneFrames = 0;
    SplitOutcome outcome;
    const size_t count = ranges.size();
    for (size_t i = 0; i < count; ++i) {
        if (progress && !progress(i, totalFrames > 0 ? doneFrames / totalFrames : 0)) {
            outcome.cancelled = true;
            outcome.error = "Cancelled before part " + std::to_string(i + 1);
            return outcome;
        }
        const PlannedPart part = plan.Part(i);
        const std::string title = TitleOf(part, paths[i]);
        // Checked again right before the write: a file may have appeared since the plan was made.
        if (!options.overwrite && Exists(paths[i])) {
            outcome.failedPart = static_cast<int>(i);
            outcome.error = paths[i] + " exists already";
            return outcome;
        }
        ClipTags partTags;
        if (!PartClipTags(tags, title, part.performer, i + 1, count, &partTags, &error) ||
            !SaveCleanClipFrames(source.Path(), source.Table(), ranges[i].firstFrame, ranges[i].endFrame, paths[i],
                                 &error, nullptr, {}, &partTags, true)) {
            outcome.failedPart = static_cast<int>(i);
            outcome.error = "Part " + std::to_string(i + 1) + " (" + paths[i] + ") was not written: " + error;
            return outcome;
        }
        outcome.written.push_back(SavedPart{paths[i], title, static_cast<double>(ranges[i].startSample) / source.SampleRate(),
                                            static_cast<double>(ranges[i].endSample) / source.SampleRate(),
                                            ranges[i].Samples()});
        doneFrames += static_cast<double>(ranges[i].endFrame - ranges[i].firstFrame);
    }
    if (progress) progress(count, 1.0);
    outcome.ok = true;
    return outcome;
}
