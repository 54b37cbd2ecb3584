#include "level/levelchange.h"

#include <algorithm>
#include <cstdio>

#include "level/txxxtag.h"
#include "level/undorecord.h"

namespace {

constexpr char kTrackGain[] = "REPLAYGAIN_TRACK_GAIN";
constexpr char kTrackPeak[] = "REPLAYGAIN_TRACK_PEAK";
constexpr char kAlbumGain[] = "REPLAYGAIN_ALBUM_GAIN";
constexpr char kAlbumPeak[] = "REPLAYGAIN_ALBUM_PEAK";

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

LevelReport Failed(LevelReport report, const std::string& text) {
    report.ok = false;
    report.error = text;
    return report;
}

LevelReport Refused(LevelReport report, const std::string& text) {
    report.refused = true;
    return Failed(std::move(report), text);
}

double StepFactor(int steps) { return std::pow(2.0, steps / 4.0); }

// Whole steps, at most `wanted`, that keep `peak` at or below `ceiling`.
int StepsBelow(double peak, double ceiling, int wanted) {
    if (!(peak > 0)) return wanted;
    return std::min(wanted, static_cast<int>(std::floor(4.0 * std::log2(ceiling / peak) + 1e-9)));
}

double TruePeakCeiling() { return std::pow(10.0, kTruePeakLimitDb / 20.0); }

bool Uniform(const LevelRequest& r) { return !r.range && !r.fadeIn && !r.fadeOut; }

std::string Signed(double value, const char* format) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string ReplayGainText(double gainDb) {
    return Signed(gainDb == 0 ? 0.0 : gainDb, "%.2f dB");
}

std::string ReplayGainPeakText(double peak) { return Signed(peak, "%.6f"); }

bool OpenLevelSource(const std::string& path, LevelSource& source, std::string* error,
                     const std::function<bool(double)>& progress) {
    source = LevelSource{};
    source.path = path;
    if (!ScanFrames(path, source.table, error, progress)) return false;
    if (source.table.layer != 3)
        return Fail(error, path + " is MPEG Layer " + std::to_string(source.table.layer) +
                               " audio: only Layer III frames carry the gains changed here");
    if (!source.table.complete) return Fail(error, "The frames of " + path + " could not all be read");
    return ReadLeadingTag(path, source.tag, error);
}

bool MeasureLevelSource(LevelSource& source, const LevelRequest& request, std::string* error,
                        const std::function<bool(double)>& progress) {
    MeterOptions options;
    options.mono = source.table.frames.front().channelMode() == kMonoMode;
    options.expectedSamples = source.table.totalSamples;
    const bool needsLoudness = request.mode == LevelMode::Normalize || request.mode == LevelMode::ReplayGain;
    const bool gainsUp = request.mode == LevelMode::Steps && request.steps > 0;
    if (!needsLoudness && !gainsUp && !request.measure) return true;
    options.loudness = needsLoudness || request.measure;
    if (!source.meter.MeasureFile(source.path, options, error, progress)) return false;
    source.measured = true;
    if (request.mode != LevelMode::Normalize || !std::isfinite(source.meter.Loudness())) return true;
    const int steps = StepsForDb(request.targetLufs - source.meter.Loudness());
    if (steps <= 0 || source.meter.SamplePeak() * StepFactor(steps) * 2.0 <= TruePeakCeiling()) return true;
    LoudnessMeter peak;
    options.loudness = false;
    options.truePeak = true;
    if (!peak.MeasureFile(source.path, options, error, progress)) return false;
    source.truePeak = peak.TruePeak();
    return true;
}

int NormaliseSteps(const LevelSource& source, double targetLufs, bool* peakLimited) {
    *peakLimited = false;
    const double loudness = source.meter.Loudness();
    if (!std::isfinite(loudness)) return 0;
    const double samplePeak = source.meter.SamplePeak();
    const double truePeak = std::isfinite(source.truePeak) ? std::max(source.truePeak, samplePeak) : samplePeak;
    const int steps = StepsForDb(targetLufs - loudness);
    const int limit = StepsBelow(truePeak, TruePeakCeiling(), steps);
    if (limit >= steps) return steps;
    *peakLimited = true;
    return limit;
}

LevelReport ApplyLevel(LevelSource& source, const LevelRequest& request, const LevelProgress& progress) {
    LevelReport report;
    const FrameTable& table = source.table;
    const bool measured = source.measured;
    if (measured) {
        report.peakBefore = source.meter.SamplePeak();
        report.loudnessBefore = source.meter.Loudness();
        report.truePeakBefore = source.truePeak;
    }
    const double samplePeak = source.meter.SamplePeak();

    // How many steps, and where.
    int steps = 0;
    switch (request.mode) {
    case LevelMode::Steps:
        steps = report.stepsRequested = request.steps;
        if (steps > 0 && measured && report.peakBefore * StepFactor(steps) > 1.0) {
            report.wouldClip = true;
            if (request.noClip) {
                steps = std::max(0, StepsBelow(report.peakBefore, 1.0, steps));
                report.clipLimited = true;
            }
        }
        break;
    case LevelMode::Normalize: {
        if (!std::isfinite(report.loudnessBefore)) return Refused(report, source.path + " is silent: there is nothing to normalise");
        report.stepsRequested = StepsForDb(request.targetLufs - report.loudnessBefore);
        steps = NormaliseSteps(source, request.targetLufs, &report.peakLimited);
        break;
    }
    default:
        break;
    }
    report.stepsApplied = steps;

    const size_t granules = table.frames.size() * GranulesPerFrame(table);
    GainPlan plan(granules);
    bool audioChanges = false;
    std::vector<uint8_t> tag = source.tag;
    std::string error;
    const std::optional<std::string> undoText = FindTxxx(tag, kUndoDescription);
    UndoRecord undoRecord;
    const bool hasUndo = undoText && ParseUndoRecord(*undoText, undoRecord);

    if (request.mode == LevelMode::Undo) {
        if (!hasUndo) return Refused(report, source.path + (undoText ? " has an undo record that cannot be read: \"" + *undoText + "\""
                                                                 : " has no undo record (" + std::string(kUndoDescription) + ")"));
        plan.AddToChannel(0, undoRecord.left);
        plan.AddToChannel(1, undoRecord.right);
        plan.SetWrap(undoRecord.wrap);
        audioChanges = undoRecord.left != 0 || undoRecord.right != 0;
        report.stepsApplied = undoRecord.left;
        if (!RemoveTxxx(tag, kUndoDescription, &error)) return Refused(report, source.path + ": " + error);
        report.undoRemoved = true;
    } else if (steps != 0) {
        if (request.range) plan.AddToRange(GranulesForTime(table, request.range->start, request.range->end), steps);
        else plan.AddToAll(steps);
        audioChanges = true;
    }
    if (request.fadeIn) {
        plan.AddFadeIn(GranulesForTime(table, request.fadeIn->start, request.fadeIn->end));
        audioChanges = true;
    }
    if (request.fadeOut) {
        plan.AddFadeOut(GranulesForTime(table, request.fadeOut->start, request.fadeOut->end));
        audioChanges = true;
    }

    // A whole-file change is recorded so that it can be undone, added to a record already there.
    if ((request.mode == LevelMode::Steps || request.mode == LevelMode::Normalize) && steps != 0 && Uniform(request)) {
        UndoRecord record = hasUndo ? undoRecord : UndoRecord{};
        record.left -= steps;
        record.right -= steps;
        const bool nothingLeft = record.left == 0 && record.right == 0 && !record.wrap;
        const bool done = nothingLeft ? RemoveTxxx(tag, kUndoDescription, &error)
                                      : SetTxxx(tag, kUndoDescription, FormatUndoRecord(record), &error);
        if (!done) return Refused(report, source.path + ": " + error);
        if (!nothingLeft) report.undoRecord = FormatUndoRecord(record);
        else report.undoRemoved = true;
    }

    if (request.mode == LevelMode::ReplayGain) {
        if (!std::isfinite(report.loudnessBefore)) return Refused(report, source.path + " is silent: it has no ReplayGain");
        report.trackGainDb = request.targetLufs - report.loudnessBefore;
        report.trackPeak = samplePeak;
        bool done = SetTxxx(tag, kTrackGain, ReplayGainText(report.trackGainDb), &error) &&
                    SetTxxx(tag, kTrackPeak, ReplayGainPeakText(report.trackPeak), &error);
        if (done && request.album)
            done = SetTxxx(tag, kAlbumGain, ReplayGainText(request.album->gainDb), &error) &&
                   SetTxxx(tag, kAlbumPeak, ReplayGainPeakText(request.album->peak), &error);
        if (!done) return Refused(report, source.path + ": " + error);
    }

    LevelWrite job;
    job.source = source.path;
    job.target = request.target.empty() ? source.path : request.target;
    job.plan = audioChanges ? &plan : nullptr;
    job.replaceHead = tag != source.tag;
    job.headBytes = static_cast<int64_t>(source.tag.size());
    job.head = tag;
    const LevelOutcome outcome = WriteLevel(table, job, progress);
    if (!outcome.ok) return Failed(report, outcome.error);
    report.count = outcome.count;
    report.musicCrc = outcome.musicCrc;

    if (report.count.clamped > 0)
        report.notes.push_back(std::to_string(report.count.clamped) +
                               " granule gains reached the end of their range and were held there; --undo cannot restore them exactly");
    if (report.wouldClip && !report.clipLimited)
        report.notes.push_back("the gain takes the peak to " + Signed(20 * std::log10(report.peakBefore * StepFactor(steps)), "%+.1f") +
                               " dBFS: it clips (--no-clip takes the largest gain that does not)");
    if (outcome.musicCrc == MusicCrc::Kept)
        report.notes.push_back("the LAME tag's music CRC did not match the audio before and was left as it was");

    // After: computed for a change of the whole file, measured again otherwise.
    if (measured) {
        if (!audioChanges) {
            report.peakAfter = report.peakBefore;
            report.loudnessAfter = report.loudnessBefore;
        } else if (Uniform(request) && request.mode != LevelMode::Undo) {
            report.peakAfter = report.peakBefore * StepFactor(steps);
            report.loudnessAfter = report.loudnessBefore + DbForSteps(steps);
        } else {
            LoudnessMeter after;
            MeterOptions options;
            options.mono = table.frames.front().channelMode() == kMonoMode;
            if (after.MeasureFile(job.target, options, &error)) {
                report.peakAfter = after.SamplePeak();
                report.loudnessAfter = after.Loudness();
            }
        }
    }
    report.ok = true;
    return report;
}
