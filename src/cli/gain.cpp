// trimbel gain FILE... (--db X | --steps N | --normalize [LUFS] | --replaygain [--album] | --undo)
//              [--range A-B] [--fade-in A-B] [--fade-out A-B] [--no-clip] [--output OUT]
//              [--overwrite] [--json] [-j N]
//
// Level without re-encoding: every Layer III granule's global_gain scales its decoded output by
// 2^(n/4), so the level moves in steps of 1.505 dB with the frames, their sizes and the bit
// reservoir left as they are.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include "cli/progressline.h"
#include "cli/refusal.h"
#include "cli/subcommands.h"
#include "cli/timeargument.h"
#include "level/levelchange.h"

namespace {

int Refuse(const QString& text) { return RefuseAs("gain", text); }

// "A-B"; an empty A is the start, an empty B the end of the file.
std::optional<TimeRange> ParseRange(const QString& text) {
    const QStringList ends = text.split('-');
    if (ends.size() != 2) return std::nullopt;
    TimeRange r{0, HUGE_VAL};
    if (!ends[0].trimmed().isEmpty() && !ParseTime(ends[0], &r.start)) return std::nullopt;
    if (!ends[1].trimmed().isEmpty() && !ParseTime(ends[1], &r.end)) return std::nullopt;
    if (!(r.end > r.start)) return std::nullopt;
    return r;
}

QJsonValue Number(double value) { return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null); }
QJsonValue Db(double linear) { return Number(LevelDb(linear)); }
double Round2(double v) { return std::round(v * 100.0) / 100.0; }

const char* MusicCrcText(MusicCrc crc) {
    switch (crc) {
    case MusicCrc::Updated: return "updated";
    case MusicCrc::Kept: return "kept";
    default: return "none";
    }
}

struct FileJob {
    std::string path;
    LevelSource source;
    LevelReport report;
    std::string error;
    bool refused = false;
};

QJsonObject ReportObject(const FileJob& job) {
    const LevelReport& r = job.report;
    QJsonObject o{{"path", QFileInfo(QString::fromStdString(job.path)).absoluteFilePath()}};
    if (!job.error.empty()) {
        o.insert("ok", false);
        o.insert("error", QString::fromStdString(job.error));
        return o;
    }
    o.insert("ok", true);
    o.insert("steps_requested", r.stepsRequested);
    o.insert("steps_applied", r.stepsApplied);
    o.insert("db_applied", Round2(DbForSteps(r.stepsApplied)));
    o.insert("clamped_granules", static_cast<double>(r.count.clamped));
    o.insert("changed_granules", static_cast<double>(r.count.changed));
    o.insert("peak_before_dbfs", Db(r.peakBefore));
    o.insert("peak_after_dbfs", Db(r.peakAfter));
    o.insert("true_peak_before_dbtp", Db(r.truePeakBefore));
    o.insert("loudness_before_lufs", Number(r.loudnessBefore));
    o.insert("loudness_after_lufs", Number(r.loudnessAfter));
    o.insert("would_clip", r.wouldClip);
    o.insert("clip_limited", r.clipLimited);
    o.insert("peak_limited", r.peakLimited);
    o.insert("music_crc", MusicCrcText(r.musicCrc));
    o.insert("undo_record", r.undoRecord.empty() ? QJsonValue(QJsonValue::Null) : QString::fromStdString(r.undoRecord));
    if (std::isfinite(r.trackGainDb)) {
        o.insert("track_gain", QString::fromStdString(ReplayGainText(r.trackGainDb)));
        o.insert("track_peak", QString::fromStdString(ReplayGainPeakText(r.trackPeak)));
    }
    return o;
}

QString Dbfs(double linear) {
    const double db = LevelDb(linear);
    return std::isfinite(db) ? QString::number(db, 'f', 1) : QStringLiteral("-inf");
}

QString Lufs(double lufs) { return std::isfinite(lufs) ? QString::number(lufs, 'f', 1) : QStringLiteral("-inf"); }

// One line a file for people.
QString ReportLine(const FileJob& job, LevelMode mode) {
    const LevelReport& r = job.report;
    QString line = QString::fromStdString(job.path) + ": ";
    if (mode == LevelMode::ReplayGain)
        return line + "track gain " + QString::fromStdString(ReplayGainText(r.trackGainDb)) + ", peak " +
               QString::fromStdString(ReplayGainPeakText(r.trackPeak)) + " (loudness " + Lufs(r.loudnessBefore) + " LUFS)";
    if (mode == LevelMode::Undo) line += "undone (" + QString::number(r.stepsApplied) + " steps)";
    else if (mode != LevelMode::None)
        line += QString::asprintf("%+d steps (%+.2f dB)", r.stepsApplied, DbForSteps(r.stepsApplied));
    else line += "faded";
    if (r.peakLimited) line += ", held below the true-peak ceiling";
    if (r.clipLimited) line += ", lowered so it does not clip";
    if (r.count.clamped) line += ", " + QString::number(r.count.clamped) + " granules clamped";
    if (std::isfinite(r.loudnessBefore))
        line += ", loudness " + Lufs(r.loudnessBefore) + " -> " + Lufs(r.loudnessAfter) + " LUFS";
    if (std::isfinite(r.peakBefore)) line += ", peak " + Dbfs(r.peakBefore) + " -> " + Dbfs(r.peakAfter) + " dBFS";
    return line;
}

// Runs `work(i)` for every file on `jobs` threads, showing the share of files done.
template <typename Work>
void ForEachFile(std::vector<FileJob>& files, int jobs, const char* label, Work work) {
    ProgressLine progress(label);
    std::mutex lock;
    std::vector<double> done(files.size(), 0.0);
    const auto report = [&](size_t i, double fraction) {
        std::lock_guard<std::mutex> guard(lock);
        done[i] = fraction;
        double sum = 0;
        for (double d : done) sum += d;
        progress.Update(sum / static_cast<double>(files.size()));
    };
    std::atomic<size_t> next{0};
    const auto run = [&] {
        for (size_t i = next++; i < files.size(); i = next++) {
            work(files[i], [&report, i](double f) { report(i, f); });
            report(i, 1.0);
        }
    };
    std::vector<std::thread> threads;
    const int count = std::clamp<int>(jobs, 1, static_cast<int>(files.size()));
    for (int t = 1; t < count; ++t) threads.emplace_back(run);
    run();
    for (auto& t : threads) t.join();
    progress.Finish();
}

}  // namespace

int RunGain(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        QString arg = QString::fromLocal8Bit(argv[i]);
        // "--normalize -16": the target rides on the option (a parser flag cannot take an
        // optional value, and "-16" would read as options).
        static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]*)?$"));
        if (arg == "--normalize" && i + 1 < argc && number.match(QString::fromLocal8Bit(argv[i + 1])).hasMatch()) {
            arg = "--normalize-to=" + QString::fromLocal8Bit(argv[++i]);
        } else if (arg.startsWith("--normalize=")) {
            arg = "--normalize-to=" + arg.mid(12);
        }
        args << arg;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Change the level of MP3 files without re-encoding them. Every granule of a Layer III frame\n"
        "(576 samples, 13 ms at 44.1 kHz) carries a gain that scales its sound in steps of 1.505 dB:\n"
        "changing it touches a few bits of each frame and nothing else, so the file keeps its size\n"
        "and its quality, and a change of the whole file can be undone exactly, here or by mp3gain.\n"
        "Files are changed in place, safely: until the new file is complete the old one stays.");
    parser.addOption(HelpOption());
    parser.addPositionalArgument("FILE", "The MP3 files to change.", "FILE...");
    QCommandLineOption dbOption("db", "Raise (or with a minus, lower) the level by about X dB, rounded to the nearest 1.505 dB step; says which step it took.", "X");
    QCommandLineOption stepsOption("steps", "Raise or lower the level by N steps of 1.505 dB.", "N");
    QCommandLineOption normalizeOption(
        "normalize",
        "Bring the integrated loudness (EBU R128) as close as whole steps allow to a target in LUFS, given after it "
        "(--normalize -16; default -18), stopping below -1 dBTP true peak.");
    QCommandLineOption normalizeToOption("normalize-to", "", "LUFS");
    normalizeToOption.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption replayGainOption(
        "replaygain",
        "Leave the sound as it is and write ReplayGain 2.0 tags for players that apply them: REPLAYGAIN_TRACK_GAIN "
        "(to -18 LUFS) and REPLAYGAIN_TRACK_PEAK (the decoded sample peak).");
    QCommandLineOption albumOption("album", "With --replaygain: also REPLAYGAIN_ALBUM_GAIN and _PEAK, the files measured together as one album.");
    QCommandLineOption undoOption("undo", "Put back the gains that the last whole-file change (ours or mp3gain's) left an undo record for, and remove the record.");
    QCommandLineOption rangeOption("range", "With --db or --steps: change only this stretch, A-B in seconds or m:ss (\"1:05-1:20\"; \"90-\" to the end).", "A-B");
    QCommandLineOption fadeInOption(
        "fade-in", "Fade in from silence over A-B. The ramp moves in 1.5 dB steps of one granule (13 ms), not sample by sample.", "A-B");
    QCommandLineOption fadeOutOption(
        "fade-out", "Fade out to silence over A-B; the last granule is silent. The ramp moves in 1.5 dB steps of one granule (13 ms), not sample by sample.", "A-B");
    QCommandLineOption noClipOption("no-clip", "Take the largest gain up to the one asked for that does not clip the decoded peak (without it a gain that clips is made, with a warning).");
    QCommandLineOption outputOption("output", "Write the changed file to OUT and leave FILE as it is (one FILE only).", "OUT");
    QCommandLineOption overwriteOption("overwrite", "With --output: replace OUT if it exists.");
    QCommandLineOption jsonOption("json", "Report each file as JSON: steps applied, clamped granules, peak and loudness before and after.");
    QCommandLineOption jobsOption(QStringList{"j", "jobs"}, "Work on N files at once (default 1).", "N");
    parser.addOptions({dbOption, stepsOption, normalizeOption, normalizeToOption, replayGainOption, albumOption,
                       undoOption, rangeOption, fadeInOption, fadeOutOption, noClipOption, outputOption,
                       overwriteOption, jsonOption, jobsOption});
    if (!parser.parse(args)) return Refuse(parser.errorText());
    if (parser.isSet("help")) {
        std::printf("%s", SubcommandHelp(parser, "gain").toLocal8Bit().constData());
        return 0;
    }

    LevelRequest request;
    int modes = 0;
    bool ok = true;
    if (parser.isSet(dbOption)) {
        ++modes;
        const double db = parser.value(dbOption).toDouble(&ok);
        if (!ok || !std::isfinite(db) || std::fabs(db) > 200) return Refuse("--db needs a number of decibels, such as 3 or -4.5");
        request.mode = LevelMode::Steps;
        request.steps = StepsForDb(db);
    }
    if (parser.isSet(stepsOption)) {
        ++modes;
        request.steps = parser.value(stepsOption).toInt(&ok);
        if (!ok || std::abs(request.steps) > 255) return Refuse("--steps needs a whole number of steps, such as 2 or -3");
        request.mode = LevelMode::Steps;
    }
    if (parser.isSet(normalizeOption) || parser.isSet(normalizeToOption)) {
        ++modes;
        request.mode = LevelMode::Normalize;
        if (parser.isSet(normalizeToOption)) {
            request.targetLufs = parser.value(normalizeToOption).toDouble(&ok);
            if (!ok || !(request.targetLufs < 0) || request.targetLufs < -70)
                return Refuse("--normalize takes a target between -70 and 0 LUFS, such as -16");
        }
    }
    if (parser.isSet(replayGainOption)) {
        ++modes;
        request.mode = LevelMode::ReplayGain;
    }
    if (parser.isSet(undoOption)) {
        ++modes;
        request.mode = LevelMode::Undo;
    }
    const auto range = [&](const QCommandLineOption& o, std::optional<TimeRange>& into) {
        if (!parser.isSet(o)) return true;
        into = ParseRange(parser.value(o));
        return into.has_value();
    };
    if (!range(rangeOption, request.range)) return Refuse("--range needs A-B in seconds or m:ss, such as 1:05-1:20");
    if (!range(fadeInOption, request.fadeIn)) return Refuse("--fade-in needs A-B in seconds or m:ss, such as 0-3");
    if (!range(fadeOutOption, request.fadeOut)) return Refuse("--fade-out needs A-B in seconds or m:ss, such as 3:57-4:00");
    const bool fades = request.fadeIn || request.fadeOut;
    if (modes > 1 || (modes == 0 && !fades))
        return Refuse("give one of --db, --steps, --normalize, --replaygain or --undo, or a fade (see --help)");
    if (request.range && request.mode != LevelMode::Steps) return Refuse("--range goes with --db or --steps");
    if (parser.isSet(albumOption) && request.mode != LevelMode::ReplayGain) return Refuse("--album goes with --replaygain");
    if (fades && (request.mode == LevelMode::ReplayGain || request.mode == LevelMode::Undo))
        return Refuse("a fade changes the sound: it does not go with --replaygain or --undo");
    request.noClip = parser.isSet(noClipOption);
    const bool json = parser.isSet(jsonOption);
    request.measure = json;
    int jobs = 1;
    if (parser.isSet(jobsOption)) {
        jobs = parser.value(jobsOption).toInt(&ok);
        if (!ok || jobs < 1 || jobs > 64) return Refuse("-j needs a number of files to work on at once, 1 to 64");
    }

    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty()) return Refuse("give at least one FILE (see --help)");
    if (parser.isSet(overwriteOption) && !parser.isSet(outputOption)) return Refuse("--overwrite goes with --output");
    if (parser.isSet(outputOption)) {
        if (paths.size() != 1) return Refuse("--output takes one FILE");
        const QString out = parser.value(outputOption);
        std::error_code ec;
        if (std::filesystem::equivalent(out.toStdString(), paths.first().toStdString(), ec))
            return Refuse(out + " is the file itself: leave --output out to change it in place");
        if (QFileInfo::exists(out) && !parser.isSet(overwriteOption)) return Refuse(out + " exists (--overwrite replaces it)");
        request.target = out.toStdString();
    }
    if (parser.isSet(dbOption) && !json)
        std::fprintf(stderr, "trimbel gain: %s dB is %+d steps (%+.2f dB)\n", parser.value(dbOption).toLocal8Bit().constData(),
                     request.steps, DbForSteps(request.steps));

    std::vector<FileJob> files(static_cast<size_t>(paths.size()));
    for (size_t i = 0; i < files.size(); ++i) files[i].path = paths[static_cast<int>(i)].toStdString();

    // Walk and measure every file, then (for an album, once all are measured) write.
    ForEachFile(files, jobs, "Measuring", [&](FileJob& f, const std::function<void(double)>& progress) {
        if (!OpenLevelSource(f.path, f.source, &f.error)) {
            f.refused = true;
            return;
        }
        if (!MeasureLevelSource(f.source, request, &f.error, [&progress](double x) {
                progress(x);
                return true;
            }))
            f.refused = true;
    });
    if (parser.isSet(albumOption)) {
        std::vector<const LoudnessMeter*> meters;
        AlbumValues album;
        for (const FileJob& f : files) {
            if (!f.error.empty()) continue;
            meters.push_back(&f.source.meter);
            album.peak = std::max(album.peak, f.source.meter.SamplePeak());
        }
        album.gainDb = request.targetLufs - LoudnessMeter::AlbumLoudness(meters);
        if (std::isfinite(album.gainDb)) request.album = album;
    }
    ForEachFile(files, jobs, "Writing", [&](FileJob& f, const std::function<void(double)>& progress) {
        if (!f.error.empty()) return;
        f.report = ApplyLevel(f.source, request, progress);
        if (!f.report.ok) {
            f.error = f.report.error;
            f.refused = f.report.refused;
        }
        f.source = LevelSource{};  // the frame table of a long file is large
    });

    int code = 0;
    QJsonArray reports;
    for (const FileJob& f : files) {
        if (!f.error.empty()) {
            std::fprintf(stderr, "trimbel gain: %s\n", f.error.c_str());
            code = std::max(code, f.refused ? kExitRefused : kExitFailed);
        } else {
            for (const std::string& note : f.report.notes) std::fprintf(stderr, "trimbel gain: %s: %s\n", f.path.c_str(), note.c_str());
            if (!json) std::printf("%s\n", ReportLine(f, request.mode).toLocal8Bit().constData());
        }
        if (json) reports.append(ReportObject(f));
    }
    if (json) {
        QJsonObject root{{"files", reports}};
        if (request.album) {
            root.insert("album_gain", QString::fromStdString(ReplayGainText(request.album->gainDb)));
            root.insert("album_peak", QString::fromStdString(ReplayGainPeakText(request.album->peak)));
        }
        std::printf("%s", QJsonDocument(root).toJson(QJsonDocument::Indented).constData());
    }
    return code;
}
