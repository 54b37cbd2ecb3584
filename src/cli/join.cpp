// trimbel join A.mp3 B.mp3 ... --output OUT [--chapters] [--smooth-joins] [--crossfade MS]
//              [--overwrite] [--json]
//
// Joins MP3 files into one: the first file's tag, every input's audio frames, one fresh
// Xing/Info header over the whole. Parts of a split join back into the file they came from.
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
#include "cli/smoothjoinsoption.h"
#include "cli/subcommands.h"
#include "join/joinfiles.h"

namespace {

int Refuse(const QString& text) { return RefuseAs("join", text); }

QString Absolute(const std::string& path) { return QFileInfo(QString::fromStdString(path)).absoluteFilePath(); }

void PrintOutcome(const JoinOutcome& outcome, const std::string& output, bool json) {
    const double rate = outcome.sampleRate ? outcome.sampleRate : 1;
    if (json) {
        QJsonArray inputs;
        for (const JoinedInput& in : outcome.inputs)
            inputs.append(QJsonObject{{"path", Absolute(in.path)},
                                      {"title", QString::fromStdString(in.title)},
                                      {"start", static_cast<double>(in.startSample) / rate},
                                      {"end", static_cast<double>(in.endSample) / rate},
                                      {"shared_frames", static_cast<double>(in.sharedFrames)},
                                      {"reencoded_frames", static_cast<double>(in.reencodedFrames)}});
        const QJsonObject root{{"output", Absolute(output)},
                               {"frames", static_cast<double>(outcome.frames)},
                               {"bytes", static_cast<double>(outcome.bytes)},
                               {"samples", static_cast<double>(outcome.decodedSamples)},
                               {"seconds", static_cast<double>(outcome.decodedSamples) / rate},
                               {"encoder_delay", static_cast<double>(outcome.encoderDelay)},
                               {"encoder_padding", static_cast<double>(outcome.encoderPadding)},
                               {"inputs", inputs}};
        std::printf("%s", QJsonDocument(root).toJson(QJsonDocument::Indented).constData());
        return;
    }
    std::printf("%s\n", Absolute(output).toLocal8Bit().constData());
}

}  // namespace

int RunJoin(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Join MP3 files into one: the first file's ID3v2 tag, the audio frames of every file in order\n"
        "and one fresh Xing/Info header over the whole; the inner tags and Info frames are left out.\n"
        "The files must share MPEG version, sampling rate and channel count. Parts cut from one\n"
        "file (as split writes them) join back into its very frames. Other files keep their own\n"
        "encoder delay and padding at the joins; with --smooth-joins each such join drops the\n"
        "padding before it exactly and the delay after it to within half a frame, crossfades\n"
        "over --crossfade MS (5 by default) and re-encodes only the few frames around it.");
    parser.addOption(HelpOption());
    parser.addPositionalArgument("FILES", "The MP3 files to join, in order (at least two).", "A.mp3 B.mp3 ...");
    QCommandLineOption outputOption({"o", "output"}, "The joined file.", "OUT");
    QCommandLineOption chaptersOption("chapters", "Give the joined file one chapter per input, titled from its tag or name.");
    QCommandLineOption overwriteOption("overwrite", "Replace the output file if it exists.");
    QCommandLineOption jsonOption("json", "Describe the joined file as JSON (inputs with start and end in seconds).");
    const SmoothJoinsOptions smooth("Join unrelated files on the sample, re-encoding a few frames at each join.");
    parser.addOptions({outputOption, chaptersOption, smooth.smooth, smooth.crossfade, overwriteOption, jsonOption});
    if (!parser.parse(args)) return Refuse(parser.errorText());
    if (parser.isSet("help")) {
        std::printf("%s", SubcommandHelp(parser, "join").toLocal8Bit().constData());
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() < 2) return Refuse("give at least two files to join (see --help)");
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty()) return Refuse("give the joined file with --output OUT");
    std::vector<std::string> inputs;
    for (const QString& f : files) {
        if (!QFileInfo(f).isFile()) return Refuse("cannot open " + f);
        inputs.push_back(f.toLocal8Bit().toStdString());
    }
    const std::string output = parser.value(outputOption).toLocal8Bit().toStdString();
    JoinOptions options;
    options.chapters = parser.isSet(chaptersOption);
    options.overwrite = parser.isSet(overwriteOption);
    if (const QString refusal = smooth.Read(parser, &options.smoothJoins, &options.crossfadeMs); !refusal.isEmpty())
        return Refuse(refusal);

    ProgressLine progress("Joining");
    const JoinOutcome outcome = JoinFiles(inputs, output, options, [&progress](double f) {
        progress.Update(f);
        return true;
    });
    progress.Finish();
    if (!outcome.ok) {
        std::fprintf(stderr, "trimbel join: %s\n", outcome.error.c_str());
        // Nothing was read or written when the inputs or the output were refused up front.
        return outcome.inputs.empty() ? kExitRefused : kExitFailed;
    }
    PrintOutcome(outcome, output, parser.isSet(jsonOption));
    return 0;
}
