#include "split/partwriter.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>
#include <utility>

#include "clips/cleancut.h"
#include "clips/clipfile.h"
#include "files/descriptor.h"
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

// Parts written and on their way to disk, not yet named, oldest first. A part takes its name only
// once its bytes are on disk; while one is flushed the next ones are written, so the flushes
// overlap and mostly find their work done. The folder is flushed once, for all the names, when
// the queue ends.
class NamingQueue {
public:
    NamingQueue(const std::string& source, SplitOutcome& outcome) : source_(source), outcome_(outcome) {}
    // After a failure, which is reported already, the names given still get their flush.
    ~NamingQueue() {
        if (!named_.empty()) mdlID3::FlushFolderOf(named_);
    }

    // Queues a written part; names the oldest when too many wait. False when naming one failed.
    bool Add(std::unique_ptr<mdlID3::AtomicFileWriter> out, const SavedPart& saved, size_t index) {
        waiting_.push_back({std::move(out), saved, index});
        return waiting_.size() <= kPartsInFlight || NameOldest();
    }

    // Names every waiting part in order. A failure is the outcome's (the parts after it are
    // dropped, unnamed): false then.
    bool NameAll() {
        while (!waiting_.empty())
            if (!NameOldest()) return false;
        return true;
    }

    // Flushes the folder once for every name given. False, with the outcome's error, when that fails.
    bool FlushFolder() {
        const std::string named = std::exchange(named_, {});
        if (named.empty() || mdlID3::FlushFolderOf(named)) return true;
        const int err = errno;
        outcome_.error = ErrorText("The parts were saved, but their folder could not be flushed to disk", err);
        return false;
    }

private:
    // About 1 MiB each for a minute of audio: enough to keep the disk busy, few descriptors.
    static constexpr size_t kPartsInFlight = 16;

    struct Waiting {
        std::unique_ptr<mdlID3::AtomicFileWriter> out;
        SavedPart saved;
        size_t index;
    };

    bool NameOldest() {
        Waiting part = std::move(waiting_.front());
        waiting_.pop_front();
        part.out->FlushFolderLater(true);
        if (part.out->Commit()) {
            outcome_.written.push_back(part.saved);
            named_ = part.saved.path;
            return true;
        }
        outcome_.failedPart = static_cast<int>(part.index);
        outcome_.error = "Part " + std::to_string(part.index + 1) + " (" + part.saved.path +
                         ") was not written: " + ClipWriteError(*part.out, source_, part.saved.path);
        waiting_.clear();
        return false;
    }

    const std::string& source_;
    SplitOutcome& outcome_;
    std::deque<Waiting> waiting_;
    std::string named_;  // the last part named
};

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
    std::vector<ClipLayout> ranges;
    std::vector<std::string> paths;
    std::string error;
    if (!PartRanges(source, plan, &ranges, &error)) return Refused(error);
    if (!PlanPartPaths(source, plan, options, &paths, &error)) return Refused(error);

    const SourceTags tags = ReadSourceTags(source.Path());
    double totalFrames = 0;  // the frames the parts share are read once for each
    for (const ClipLayout& r : ranges) totalFrames += static_cast<double>(r.to - r.from);
    double doneFrames = 0;
    SplitOutcome outcome;
    NamingQueue queue(source.Path(), outcome);
    // A failure keeps the parts before it: those still flushing are named first.
    const auto failAt = [&](size_t i, const std::string& why) {
        if (queue.NameAll()) {
            outcome.failedPart = static_cast<int>(i);
            outcome.error = why;
        }
        return outcome;
    };
    const size_t count = ranges.size();
    for (size_t i = 0; i < count; ++i) {
        if (progress && !progress(i, totalFrames > 0 ? doneFrames / totalFrames : 0)) {
            if (!queue.NameAll()) return outcome;
            outcome.cancelled = true;
            outcome.error = "Cancelled before part " + std::to_string(i + 1);
            return outcome;
        }
        const PlannedPart part = plan.Part(i);
        const std::string title = TitleOf(part, paths[i]);
        // Checked again right before the write: a file may have appeared since the plan was made.
        if (!options.overwrite && Exists(paths[i])) return failAt(i, paths[i] + " exists already");
        ClipTags partTags;
        auto out = std::make_unique<mdlID3::AtomicFileWriter>();
        out->ReplaceExisting(options.overwrite);
        bool written = PartClipTags(tags, title, part.performer, i + 1, count, &partTags, &error) &&
                       WriteCleanClip(source.Path(), source.Table(), ranges[i], paths[i], &partTags, *out, &error);
        if (written && !out->BeginFlush()) {
            error = ClipWriteError(*out, source.Path(), paths[i]);
            written = false;
        }
        if (!written) return failAt(i, "Part " + std::to_string(i + 1) + " (" + paths[i] + ") was not written: " + error);
        const SavedPart saved{paths[i], title, static_cast<double>(ranges[i].start) / source.SampleRate(),
                              static_cast<double>(ranges[i].end) / source.SampleRate(), ranges[i].Samples(),
                              ranges[i].exactStart};
        if (!queue.Add(std::move(out), saved, i)) return outcome;
        doneFrames += static_cast<double>(ranges[i].to - ranges[i].from);
    }
    if (!queue.NameAll() || !queue.FlushFolder()) return outcome;
    if (progress) progress(count, 1.0);
    outcome.ok = true;
    return outcome;
}
