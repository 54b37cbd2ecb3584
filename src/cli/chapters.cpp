// trimbel chapters FILE (--list | --json | --from-cue X.cue | --at T1,T2,... [--titles "a|b|c"] |
//                        --from-pauses [--threshold DB] [--min-pause S] | --clear)
//
// Lists the chapters of a file's ID3v2 tag, or writes new ones in place (every other frame of the
// tag kept as it is), from a cue sheet, from cut points or from the pauses in the audio. Written
// chapters are the parts the same cut points give `split`, so a split and a player agree.
#include <cmath>
#include <cstdio>
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
#include "id3/chapters.h"
#include "id3/id3v2write.h"
#include "split/chapterplan.h"
#include "split/cuesheet.h"
#include "split/pausefinder.h"
#include "split/splitplan.h"
#include "split/splitsource.h"

namespace {

int Refuse(const QString& text) { return RefuseAs("chapters", text); }

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

void PrintChapters(const std::vector<mdlID3::Chapter>& chapters, bool json, const QString& path) {
    if (json) {
        QJsonArray list;
        for (const mdlID3::Chapter& c : chapters) {
            QJsonObject o{{"id", Text(c.ElementId)},
                          {"start_ms", static_cast<qint64>(c.StartMs)},
                          {"end_ms", static_cast<qint64>(c.EndMs)},
                          {"title", Text(c.Title)}};
            if (!c.Url.empty()) o.insert("url", Text(c.Url));
            if (!c.PictureData.empty()) o.insert("has_picture", true);
            list.append(o);
        }
        const QJsonObject root{{"file", path}, {"chapters", list}};
        std::printf("%s", QJsonDocument(root).toJson(QJsonDocument::Indented).constData());
        return;
    }
    if (chapters.empty()) std::printf("No chapters\n");
    for (size_t i = 0; i < chapters.size(); ++i) {
        const mdlID3::Chapter& c = chapters[i];
        std::printf("%2zu  %s - %s  %s\n", i + 1, mdlID3::ChapterTimeText(c.StartMs).c_str(), mdlID3::ChapterTimeText(c.EndMs).c_str(),
                    c.Title.c_str());
    }
}

struct Request {
    QString mode;  // "from-cue", "at", "from-pauses" or "clear"
    QString value;
    QStringList titles;
    PauseOptions pauses;
};

// The frame walk for the length of the audio, with a progress line: a long file takes a while.
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

// The chapters the request asks for; "" when made, else the reason.
QString BuildChapters(const Request& r, const SplitSource& source, std::vector<mdlID3::Chapter>* chapters) {
    SplitPlan plan(source.DurationSeconds());
    std::string error;
    if (r.mode == "at") {
        for (const QString& t : r.value.split(',', Qt::SkipEmptyParts)) {
            double s = 0;
            if (!ParseTime(t, &s)) return "--at needs times such as 61.5,2:03.25";
            // A first chapter may be given at 0: that is where the first one starts anyway.
            if (s == 0 && plan.CutCount() == 0) continue;
            if (plan.AddCut(s) < 0) return "the time " + t.trimmed() + " is not inside the audio, or given twice";
        }
        if (r.titles.size() > static_cast<qsizetype>(plan.PartCount()))
            return QString("--titles gives %1 titles for %2 chapters").arg(r.titles.size()).arg(plan.PartCount());
        for (qsizetype i = 0; i < r.titles.size(); ++i) plan.SetPartTitle(static_cast<size_t>(i), r.titles[i].toStdString());
        *chapters = PlanChapters(plan);
        return {};
    }
    if (r.mode == "from-cue") {
        CueSheet sheet;
        if (!ReadCueSheet(r.value.toStdString(), &sheet, &error) || !ApplyCueSheet(sheet, plan, &error))
            return r.value + ": " + Text(error);
        *chapters = PlanChapters(plan, "Track");
        return {};
    }
    ProgressLine progress("Finding pauses");
    auto report = progress.Callback();
    std::vector<Pause> pauses;
    const bool found = FindPauses(source.Path(), r.pauses, &pauses, &error, [&report](double f) {
        report(f);
        return true;
    });
    progress.Finish();
    if (!found) return Text(error);
    AddPauseCuts(plan, pauses, false);
    *chapters = PlanChapters(plan);
    return {};
}

}  // namespace

int RunChapters(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "List or write the chapters of an MP3 file (ID3v2 CHAP and CTOC frames, as podcast players\n"
        "read them). Chapters are written into the file's tag in place; every other tag frame stays\n"
        "as it is. Times count from the first sample a listener hears.");
    parser.addOption(HelpOption());
    parser.addPositionalArgument("FILE", "The MP3 file.");
    QCommandLineOption listOption("list", "List the chapters: number, start, end, title.");
    QCommandLineOption jsonOption("json", "List the chapters as JSON (also after writing them).");
    QCommandLineOption cueOption("from-cue", "Write a chapter for each track of a cue sheet (INDEX 01).", "X.cue");
    QCommandLineOption atOption("at", "Write chapters that start at 0 and at these times (seconds or m:ss), separated by commas.",
                                "T1,T2,...");
    QCommandLineOption titlesOption("titles", "With --at: the chapters' titles, separated by |.", "a|b|c");
    QCommandLineOption pausesOption("from-pauses", "Write chapters that start in the middle of each pause in the audio.");
    QCommandLineOption thresholdOption("threshold", "With --from-pauses: the level in dBFS below which audio is a pause (default -48).", "DB");
    QCommandLineOption minPauseOption("min-pause", "With --from-pauses: the shortest pause in seconds (default 0.8).", "S");
    QCommandLineOption clearOption("clear", "Remove the chapters.");
    parser.addOptions({listOption, jsonOption, cueOption, atOption, titlesOption, pausesOption, thresholdOption,
                       minPauseOption, clearOption});
    if (!parser.parse(args)) return Refuse(parser.errorText());
    if (parser.isSet("help")) {
        std::printf("%s", SubcommandHelp(parser, "chapters").toLocal8Bit().constData());
        return 0;
    }
    if (parser.positionalArguments().size() != 1) return Refuse("give exactly one FILE (see --help)");
    Request request;
    int writes = 0;
    for (const auto* o : {&cueOption, &atOption, &pausesOption, &clearOption}) {
        if (!parser.isSet(*o)) continue;
        ++writes;
        request.mode = o->names().first();
        request.value = parser.value(*o);
    }
    const bool json = parser.isSet(jsonOption);
    const bool list = parser.isSet(listOption);
    if (writes > 1 || (writes == 0 && !json && !list) || (list && (json || writes > 0)))
        return Refuse("give one of --list, --json, --from-cue, --at, --from-pauses or --clear (see --help)");
    if (parser.isSet(titlesOption) && request.mode != "at") return Refuse("--titles goes with --at");
    request.titles = parser.value(titlesOption).split('|');
    if (!parser.isSet(titlesOption)) request.titles.clear();
    bool ok = true;
    if (parser.isSet(thresholdOption)) request.pauses.thresholdDb = parser.value(thresholdOption).toDouble(&ok);
    if (!ok || !std::isfinite(request.pauses.thresholdDb) || request.pauses.thresholdDb >= 0)
        return Refuse("--threshold needs a level below 0 dBFS, such as -48");
    if (parser.isSet(minPauseOption) && !ParseTime(parser.value(minPauseOption), &request.pauses.minPauseSeconds))
        return Refuse("--min-pause needs seconds, such as 0.8");

    const QString path = parser.positionalArguments().first();
    if (!QFileInfo(path).isFile()) return Refuse("cannot open " + path);
    const std::string file = path.toLocal8Bit().toStdString();
    std::vector<mdlID3::Chapter> chapters;
    if (writes == 0) {
        mdlID3::ReadChapters(file, chapters);
        PrintChapters(chapters, json, path);
        return 0;
    }
    if (request.mode != "clear") {
        SplitSource source;
        std::string error;
        if (!OpenSource(path, source, &error)) return Refuse(path + ": " + Text(error));
        const QString why = BuildChapters(request, source, &chapters);
        if (!why.isEmpty()) return Refuse(why);
    }
    if (!mdlID3::WriteChapters(file, chapters)) {
        std::fprintf(stderr, "trimbel chapters: %s: %s\n", file.c_str(), mdlID3::LastTagWriteError().c_str());
        return kExitFailed;
    }
    std::vector<mdlID3::Chapter> written;
    mdlID3::ReadChapters(file, written);
    PrintChapters(written, json, path);
    return 0;
}
