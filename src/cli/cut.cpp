// trimbel cut FILE --start S --end S [--output OUT] [--duration D] [--frames]
//
// The window's Set start, Set end and Save Selection without the window: the same marks, the
// same checks with the same messages, the same clip saving and tag hand-over.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "cli/progressline.h"
#include "cli/subcommands.h"
#include "clips/cleancut.h"
#include "cutting/clipsave.h"
#include "cutting/module1.h"
#include "cutting/qtclock.h"
#include "cutting/selectionchecks.h"
#include "models/tageditor.h"
#include "mpeg/framescan.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;

int Refuse(const QString& text) {
    std::fprintf(stderr, "trimbel cut: %s\n", text.toLocal8Bit().constData());
    return kExitRefused;
}

bool ParseSeconds(const QString& text, double* seconds) {
    bool ok = false;
    double value = text.trimmed().toDouble(&ok);  // "." as the decimal point whatever the locale
    if (!ok || !std::isfinite(value) || value < 0) return false;
    *seconds = value;
    return true;
}

// The window keeps its numbers as decimal texts; going through the same texts gives the same bytes.
double AsKept(double value) { return LeadingNumber(NumberText(value)); }

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
    QCommandLineOption durationOption("duration", "The track length in seconds (default: from its frames).", "D");
    QCommandLineOption framesOption("frames",
                                    "Cut on frame boundaries: whole frames only, behind a fresh Xing/Info header.");
    parser.addOptions({startOption, endOption, outputOption, durationOption, framesOption});
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
    if (duration <= 0) duration = ScanDuration(path);
    if (duration <= 0) return Refuse(QString(kWaitForLength) + " (no MPEG audio frames found; give --duration)");

    // Open, then the duration-and-rate tick, Set start and Set end.
    const double totSize = AsKept(static_cast<double>(source.size()));
    const double rate = AsKept(totSize / duration);
    const double curStart = AsKept(StartMark(rate, start));
    const double curEnd = AsKept(EndMark(rate, end));
    const double curDuration = AsKept(curEnd - curStart);
    const QString startText = QString::fromStdString(NumberText(start)) + " Secs";
    const QString endText = QString::fromStdString(NumberText(end)) + " Secs";
    const QString lengthText =
        QString::fromStdString(NumberText(LeadingNumber(endText.toStdString()) - LeadingNumber(startText.toStdString()))) +
        " Secs";
    if (auto failure = CheckSaveSelection(path, startText, endText, lengthText)) return Refuse(failure->text);

    QString output = parser.value(outputOption);
    if (output.isEmpty()) {
        output = QDir::current().filePath(QString::fromStdString(
            DefaultClipName(source.fileName().toStdString(), QtClock().GeneralDateTime().toStdString())));
    }

    // The editor loads the source at Open, as in the window, and writes its fields into the clip.
    TagEditor tags;
    tags.LoadFile(source.absoluteFilePath().toStdString(), source.fileName().toStdString());
    const ClipFinisher finish = [&tags](const std::string& clip, std::string* error) {
        return tags.WriteInto(clip, error);
    };
    std::string error;
    const bool saved =
        parser.isSet(framesOption)
            ? SaveCleanClip(path.toStdString(), LeadingNumber(startText.toStdString()),
                            LeadingNumber(endText.toStdString()), output.toStdString(), &error, nullptr, finish)
            : SaveClip(path.toStdString(), output.toStdString(), curStart, curDuration, finish, &error);
    if (!saved) {
        std::fprintf(stderr, "trimbel cut: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("%s\n", QFileInfo(output).absoluteFilePath().toLocal8Bit().constData());
    return 0;
}
