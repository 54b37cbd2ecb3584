// trimbel cut FILE --start S --end S [--output OUT] [--overwrite] [--duration D] [--frames]
//
// The window's Set start, Set end and Save Selection without the window: the same marks, the
// same checks with the same messages, the same clip saving and tag hand-over.
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include "cli/progressline.h"
#include "cli/refusal.h"
#include "cli/subcommands.h"
#include "clips/clipfile.h"
#include "models/cuttingmessages.h"
#include "models/cuttingsession.h"
#include "models/tageditor.h"
#include "mpeg/framescan.h"

namespace {

int Refuse(const QString& text) { return RefuseAs("cut", text); }

bool ParseSeconds(const QString& text, double* seconds) {
    bool ok = false;
    double value = text.trimmed().toDouble(&ok);  // "." as the decimal point whatever the locale
    if (!ok || !std::isfinite(value) || value < 0) return false;
    *seconds = value;
    return true;
}

// Playing time from walking every frame, with a progress line: a long file takes a while.
double ScanDuration(const QString& path) {
    ProgressLine progress("Scanning frames");
    auto report = progress.Callback();
    FrameTable table;
    const bool ok = ScanFrames(path.toStdString(), table, nullptr, [&report](double fraction) {
        report(fraction);
        return true;
    });
    progress.Finish();
    return ok ? table.durationSeconds : 0.0;
}

// The local date and time as the system writes it (short date, long time), as the window's clock
// gives it for the clip's default name.
std::string LocalDateTimeText() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return (locale.toString(now.date(), QLocale::ShortFormat) + " " + locale.toString(now.time(), QLocale::LongFormat))
        .toStdString();
}

}  // namespace

int RunCut(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription("Cut the time range START..END of an MP3 file into a new clip.");
    parser.addOption(HelpOption());
    parser.addPositionalArgument("FILE", "The MP3 file to cut from.");
    QCommandLineOption startOption("start", "Start of the clip in seconds.", "S");
    QCommandLineOption endOption("end", "End of the clip in seconds.", "S");
    QCommandLineOption outputOption("output", "The clip's file (default: the window's clip name here).", "OUT");
    QCommandLineOption overwriteOption("overwrite", "Replace OUT if it exists already.");
    QCommandLineOption durationOption("duration", "The track length in seconds (default: from its frames).", "D");
    QCommandLineOption framesOption("frames",
                                    "Cut on frame boundaries: whole frames only, behind a fresh Xing/Info header.");
    parser.addOptions({startOption, endOption, outputOption, overwriteOption, durationOption, framesOption});
    if (!parser.parse(args)) return Refuse(parser.errorText());
    if (parser.isSet("help")) {
        std::printf("%s", SubcommandHelp(parser, "cut").toLocal8Bit().constData());
        return 0;
    }
    if (parser.positionalArguments().size() != 1) return Refuse("give exactly one FILE (see --help)");
    if (!parser.isSet(startOption) || !parser.isSet(endOption)) return Refuse("give --start and --end (see --help)");

    const QString path = parser.positionalArguments().first();
    double start = 0, end = 0, duration = 0;
    if (!ParseSeconds(parser.value(startOption), &start)) return Refuse("--start needs seconds, such as 12.5");
    if (!ParseSeconds(parser.value(endOption), &end)) return Refuse("--end needs seconds, such as 72.5");
    if (parser.isSet(durationOption) &&
        (!ParseSeconds(parser.value(durationOption), &duration) || duration <= 0))
        return Refuse("--duration needs seconds above 0");

    const QFileInfo source(path);
    if (!source.isFile()) return Refuse("cannot open " + path);
    if (!HoldsMpegAudio(path.toStdString())) return Refuse(path + ": " + kNoMpegAudioFound);
    if (duration <= 0) duration = ScanDuration(path);
    if (duration <= 0) return Refuse(QString(kWaitForLength) + " (no MPEG audio frames found; give --duration)");

    // Open (the editor loads the source's tags), the duration-and-rate tick, Set start and Set
    // end at the given seconds, then Save Selection's checks.
    TagEditor tags;
    CuttingSession session(&tags, LocalDateTimeText);
    session.Open(path.toStdString(), source.fileName().toStdString());
    session.SetDuration(duration);
    std::optional<Notice> refusal = session.SetStartAt(start);
    if (!refusal) refusal = session.SetEndAt(end);
    if (!refusal) refusal = session.CheckSaveSelection();
    if (refusal) return Refuse(QString::fromStdString(refusal->text));

    QString output = parser.value(outputOption);
    if (output.isEmpty()) output = QDir::current().filePath(QString::fromStdString(session.DefaultClipName()));
    // The window's save dialog asks before a file is replaced; here --overwrite is the answer.
    const bool overwrite = parser.isSet(overwriteOption);
    if (ClipWouldReplaceSource(path.toStdString(), output.toStdString())) return Refuse(kClipOverSource);
    const QFileInfo existing(output);
    if (!overwrite && (existing.exists() || existing.isSymLink()))
        return Refuse(output + " exists already; nothing was written (give --overwrite to replace it)");
    std::string error;
    if (!session.SaveSelection(output.toStdString(), parser.isSet(framesOption), &error, overwrite)) {
        std::fprintf(stderr, "trimbel cut: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("%s\n", QFileInfo(output).absoluteFilePath().toLocal8Bit().constData());
    return 0;
}
