// trimbel split FILE (--at T1,T2,... | --every D | --cue FILE.cue | --chapters | --pauses [--threshold DB]
//               [--min-pause S] [--trim-pauses]) [--output-dir DIR] [--name-pattern P]
//               [--overwrite] [--export-cue FILE.cue] [--json]
//
// Cuts a file into parts at cut points from the command line, a cue sheet or the pauses in the
// audio, and writes every part as a clean clip: the parts play back one after another exactly as
// the file did. The same plan and writer as the cutting window's "Save all parts".
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "cli/progressline.h"
#include "cli/refusal.h"
#include "cli/subcommands.h"
#include "cli/timeargument.h"
#include "clips/clipfile.h"
#include "id3/chapters.h"
#include "models/cuttingmessages.h"
#include "mpeg/framescan.h"
#include "split/chapterplan.h"
#include "split/cuesheet.h"
#include "split/partwriter.h"
#include "split/pausefinder.h"
#include "split/splitplan.h"
#include "split/splitsource.h"

namespace {

int Refuse(const QString& text) { return RefuseAs("split", text); }

struct Request {
    QString mode;  // "at", "every", "cue", "chapters" or "pauses"
    QString value;
    PauseOptions pauses;
    bool trimPauses = false;
};

// Fills the plan from the request; "" when done, else the reason.
QString BuildPlan(const Request& r, const SplitSource& source, SplitPlan& plan) {
    if (r.mode == "at") {
        for (const QString& t : r.value.split(',', Qt::SkipEmptyParts)) {
            double s = 0;
            if (!ParseTime(t, &s)) return "--at needs times such as 61.5,2:03.25";
            if (plan.AddCut(s) < 0) return "the cut point " + t.trimmed() + " is not inside the audio, or given twice";
        }
        return {};
    }
    if (r.mode == "every") {
        double d = 0;
        if (!ParseTime(r.value, &d) || d <= 0) return "--every needs a length above 0, such as 60";
        if (plan.Duration() / d > 10000) return "--every would make more than 10000 parts";
        // A rest shorter than a second joins the last part rather than making one of its own.
        for (int i = 1; i * d < plan.Duration() - 1.0; ++i) plan.AddCut(i * d);
        return {};
    }
    if (r.mode == "cue") {
        CueSheet sheet;
        std::string error;
        if (!ReadCueSheet(r.value.toStdString(), &sheet, &error) || !ApplyCueSheet(sheet, plan, &error))
            return r.value + ": " + QString::fromStdString(error);
        return {};
    }
    if (r.mode == "chapters") {
        std::vector<mdlID3::Chapter> chapters;
        std::string error;
        mdlID3::ReadChapters(source.Path(), chapters);
        if (!ApplyChapters(chapters, plan, &error)) return QString::fromStdString(source.Path() + ": " + error);
        return {};
    }
    ProgressLine progress("Finding pauses");
    auto report = progress.Callback();
    std::vector<Pause> pauses;
    std::string error;
    const bool found = FindPauses(source.Path(), r.pauses, &pauses, &error, [&report](double f) {
        report(f);
        return true;
    });
    progress.Finish();
    if (!found) return QString::fromStdString(error);
    AddPauseCuts(plan, pauses, r.trimPauses);
    return {};
}

// The sheet never takes the place of the file being split or of a part, nor of an existing file
// without --overwrite: "" when it may be written, else why not, before anything is written.
QString CheckCueTarget(const SplitSource& source, const SplitPlan& plan, const SplitOptions& options,
                       const std::string& cue) {
    namespace fs = std::filesystem;
    const QString name = QString::fromStdString(cue);
    if (ClipWouldReplaceSource(source.Path(), cue)) return name + ": the cue sheet cannot replace the file being split";
    std::vector<std::string> parts;
    std::string error;
    if (!PlanPartPaths(source, plan, options, &parts, &error)) return QString::fromStdString(error);
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(cue, ec);
    for (const std::string& part : parts)
        if (!ec && fs::weakly_canonical(part, ec) == target) return name + ": the cue sheet cannot have the name of a part";
    if (!options.overwrite && fs::symlink_status(cue, ec).type() != fs::file_type::not_found)
        return name + " exists already; nothing was written (give --overwrite to replace it)";
    return {};
}

QJsonObject PartObject(const SavedPart& p) {
    return QJsonObject{{"path", QFileInfo(QString::fromStdString(p.path)).absoluteFilePath()},
                       {"start", p.start},
                       {"end", p.end},
                       {"samples", static_cast<double>(p.samples)},
                       {"title", QString::fromStdString(p.title)}};
}

// The frame walk, with a progress line: a long file takes a while.
bool OpenSource(const QString& path, SplitSource& source, std::string* error) {
    ProgressLine progress("Scanning frames");
    auto report = progress.Callback();
    const bool opened = source.Open(path.toStdString(), error, [&report](double f) {
        report(f);
        return true;
    });
    progress.Finish();
    return opened;
}

SplitOutcome WriteParts(const SplitSource& source, const SplitPlan& plan, const SplitOptions& options) {
    ProgressLine progress("Writing parts");
    const SplitOutcome outcome = SaveParts(source, plan, options, [&progress](size_t, double f) {
        progress.Update(f);
        return true;
    });
    progress.Finish();
    return outcome;
}

void PrintOutcome(const SplitOutcome& outcome, bool json) {
    if (json) {
        QJsonArray parts;
        for (const SavedPart& p : outcome.written) parts.append(PartObject(p));
        QJsonObject root{{"parts", parts}};
        if (!outcome.ok) {
            root.insert("error", QString::fromStdString(outcome.error));
            if (outcome.failedPart >= 0) root.insert("failedPart", outcome.failedPart + 1);
        }
        std::printf("%s", QJsonDocument(root).toJson(QJsonDocument::Indented).constData());
    } else {
        for (const SavedPart& p : outcome.written)
            std::printf("%s\n", QFileInfo(QString::fromStdString(p.path)).absoluteFilePath().toLocal8Bit().constData());
    }
    if (!outcome.ok) std::fprintf(stderr, "trimbel split: %s\n", outcome.error.c_str());
}

}  // namespace

int RunSplit(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Split an MP3 file into parts that play back one after another exactly as the file did.\n"
        "Each part is whole frames behind a fresh Xing/Info header, tagged from the file with its\n"
        "own title and track number, and named \"<file title> - 01.mp3\", \"<file title> - 02.mp3\"\n"
        "and so on.");
    parser.addOption(HelpOption());
    parser.addPositionalArgument("FILE", "The MP3 file to split.");
    QCommandLineOption atOption("at", "Cut at these times (seconds or m:ss), separated by commas.", "T1,T2,...");
    QCommandLineOption everyOption("every", "Cut into parts of this many seconds (a rest under a second joins the last part).", "D");
    QCommandLineOption cueOption("cue", "Cut at the tracks of a cue sheet and title the parts from it.", "FILE.cue");
    QCommandLineOption chaptersOption("chapters", "Cut at the file's own chapters and title the parts from them.");
    QCommandLineOption pausesOption("pauses", "Cut in the middle of each pause in the audio.");
    QCommandLineOption thresholdOption("threshold", "With --pauses: the level in dBFS below which audio is a pause (default -48).", "DB");
    QCommandLineOption minPauseOption("min-pause", "With --pauses: the shortest pause in seconds (default 0.8).", "S");
    QCommandLineOption trimOption("trim-pauses", "With --pauses: leave the pauses out of the parts.");
    QCommandLineOption dirOption("output-dir", "The folder for the parts (default: the file's folder).", "DIR");
    QCommandLineOption patternOption("name-pattern",
                                     "Name the parts from {title} (the file's name), {n} (01, 02, ...), {N} (the "
                                     "number of parts) and {part} (the part's title); default \"{title} - {n}\".",
                                     "P");
    QCommandLineOption overwriteOption("overwrite", "Replace parts and a cue sheet that exist already.");
    QCommandLineOption exportOption("export-cue", "Also write the cut points as a cue sheet, once the parts are written.",
                                    "FILE.cue");
    QCommandLineOption jsonOption("json", "List the parts written as JSON (path, start, end, samples, title).");
    parser.addOptions({atOption, everyOption, cueOption, chaptersOption, pausesOption, thresholdOption, minPauseOption, trimOption,
                       dirOption, patternOption, overwriteOption, exportOption, jsonOption});
    if (!parser.parse(args)) return Refuse(parser.errorText());
    if (parser.isSet("help")) {
        std::printf("%s", SubcommandHelp(parser, "split").toLocal8Bit().constData());
        return 0;
    }
    if (parser.positionalArguments().size() != 1) return Refuse("give exactly one FILE (see --help)");
    Request request;
    int modes = 0;
    for (const auto* o : {&atOption, &everyOption, &cueOption, &chaptersOption, &pausesOption}) {
        if (!parser.isSet(*o)) continue;
        ++modes;
        request.mode = o->names().first();
        request.value = parser.value(*o);
    }
    if (modes != 1) return Refuse("give one of --at, --every, --cue, --chapters or --pauses (see --help)");
    bool ok = true;
    if (parser.isSet(thresholdOption)) request.pauses.thresholdDb = parser.value(thresholdOption).toDouble(&ok);
    if (!ok || !std::isfinite(request.pauses.thresholdDb) || request.pauses.thresholdDb >= 0)
        return Refuse("--threshold needs a level below 0 dBFS, such as -48");
    if (parser.isSet(minPauseOption) && !ParseTime(parser.value(minPauseOption), &request.pauses.minPauseSeconds))
        return Refuse("--min-pause needs seconds, such as 0.8");
    request.trimPauses = parser.isSet(trimOption);

    const QString path = parser.positionalArguments().first();
    if (!QFileInfo(path).isFile()) return Refuse("cannot open " + path);
    if (!HoldsMpegAudio(path.toStdString())) return Refuse(path + ": " + kNoMpegAudioFound);
    SplitSource source;
    std::string error;
    if (!OpenSource(path, source, &error)) return Refuse(path + ": " + QString::fromStdString(error));
    SplitPlan plan(source.DurationSeconds());
    const QString planError = BuildPlan(request, source, plan);
    if (!planError.isEmpty()) return Refuse(planError);

    SplitOptions options;
    options.outputDir = parser.value(dirOption).toStdString();
    if (parser.isSet(patternOption)) options.namePattern = parser.value(patternOption).toStdString();
    options.overwrite = parser.isSet(overwriteOption);
    const std::string cue = parser.value(exportOption).toStdString();
    if (parser.isSet(exportOption)) {
        const QString refusal = CheckCueTarget(source, plan, options, cue);
        if (!refusal.isEmpty()) return Refuse(refusal);
    }

    SplitOutcome outcome = WriteParts(source, plan, options);
    // The sheet describes the parts: it is written once they all are.
    if (outcome.ok && parser.isSet(exportOption)) {
        const std::string text = CueSheetText(plan, QFileInfo(path).fileName().toStdString());
        if (!WriteCueSheet(cue, text, &error, options.overwrite)) {
            outcome.ok = false;
            outcome.error = cue + ": " + error;
        }
    }
    PrintOutcome(outcome, parser.isSet(jsonOption));
    if (outcome.ok) return 0;
    return outcome.failedPart < 0 && outcome.written.empty() ? kExitRefused : kExitFailed;
}
