// trimbel edit FILE (--delete A-B ... | --keep A-B ...) --output OUT [--smooth-joins]
//              [--crossfade MS] [--overwrite] [--json]
//
// Cuts ranges out of a recording, or keeps only some, without re-encoding (or re-encoding only
// the few frames of each smooth join): the same edit list and renderer as the cutting window's
// "Save edited as...", with the file's tags carried as a clip's are.
#include <algorithm>
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
#include "cli/smoothjoinsoption.h"
#include "cli/subcommands.h"
#include "cli/timeargument.h"
#include "clips/clipfile.h"
#include "edit/editrender.h"
#include "edit/smoothjoin.h"
#include "edit/sourcetimeline.h"
#include "models/tageditor.h"

namespace {

int Refuse(const QString& text) { return RefuseAs("edit", text); }

struct Range {
    QString text;
    SampleRange samples;
};

// "A-B" ranges from every value of the option (several may also be given with commas), in
// samples at `rate`, ordered by start. "" when they are good, else the reason.
QString ParseRanges(const QStringList& values, uint32_t rate, int64_t total, std::vector<Range>& ranges) {
    for (const QString& value : values) {
        for (const QString& part : value.split(',', Qt::SkipEmptyParts)) {
            const QStringList ends = part.split('-');
            double a = 0, b = 0;
            if (ends.size() != 2 || !ParseTime(ends[0], &a) || !ParseTime(ends[1], &b))
                return "a range needs START-END in seconds or m:ss.mmm, such as 61.5-1:05 (got \"" + part + "\")";
            ranges.push_back({part.trimmed(), {std::llround(a * rate), std::llround(b * rate)}});
        }
    }
    if (ranges.empty()) return "give at least one range";
    std::sort(ranges.begin(), ranges.end(), [](const Range& x, const Range& y) { return x.samples.start < y.samples.start; });
    // Times are typed to the millisecond: an end within one of the end of the audio is its end.
    const int64_t slack = rate / 1000;
    for (size_t i = 0; i < ranges.size(); ++i) {
        SampleRange& r = ranges[i].samples;
        if (r.end > total && r.end <= total + slack) r.end = total;
        if (r.end <= r.start) return "the range " + ranges[i].text + " is empty";
        if (r.end > total)
            return "the range " + ranges[i].text + " lies outside the audio (0-" + QString::number(double(total) / rate, 'f', 3) + ")";
        if (i > 0 && r.start < ranges[i - 1].samples.end)
            return "the ranges " + ranges[i - 1].text + " and " + ranges[i].text + " overlap";
    }
    return {};
}

bool Scan(const QString& path, FrameTable& table, std::string* error) {
    ProgressLine progress("Scanning frames");
    auto report = progress.Callback();
    const bool ok = ScanFrames(path.toStdString(), table, error, [&report](double f) {
        report(f);
        return true;
    });
    progress.Finish();
    return ok;
}

QJsonObject Summary(const QString& output, const RenderPlan& plan) {
    QJsonArray segments, joins;
    for (const PlannedSegment& s : plan.segments)
        segments.append(QJsonObject{{"source_start", double(s.source.start)},
                                    {"source_end", double(s.source.end)},
                                    {"output_start", double(s.outputStart)}});
    for (const PlannedJoin& j : plan.joins) {
        QJsonObject join{{"output_sample", double(j.outputSample)},
                         {"mode", JoinModeName(j.mode)},
                         {"reencoded_frames", j.reencodedFrames}};
        // The rounding of smooth joins: the source samples asked out, and those removed.
        if (j.requestedRemoved != 0 || j.removed != 0) {
            join["requested_removed_samples"] = double(j.requestedRemoved);
            join["removed_samples"] = double(j.removed);
        }
        joins.append(join);
    }
    return QJsonObject{{"output", QFileInfo(output).absoluteFilePath()},
                       {"samples", double(plan.outputSamples)},
                       {"segments", segments},
                       {"joins", joins}};
}

}  // namespace

int RunEdit(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Cut ranges out of an MP3 file, or keep only some, without re-encoding.\n"
        "Joins fall on frame boundaries (1152 samples; 576 at 24 kHz and below), at the\n"
        "frame start nearest each edit point, so a range is rounded by at most half a\n"
        "frame; --json gives the ranges really kept. Every audio frame of the result is a\n"
        "frame of the file, byte for byte, behind a fresh Xing/Info header, except the\n"
        "frame before each join: it also carries the bit-reservoir bytes that the frame\n"
        "after the join needs (at a higher bitrate where they do not fit; where even that\n"
        "fails, the join keeps the few frames they lie in, \"lead-frames\" in --json).\n"
        "With --smooth-joins each join starts on the exact sample given and does not\n"
        "click: only the few frames around it (at most 4 at the default crossfade) are\n"
        "decoded, crossfaded (--crossfade, 5 ms by default) and encoded anew at the file's\n"
        "bitrate or VBR quality; every other frame is copied byte for byte. In the middle\n"
        "of a file only whole frames can be removed while the frames after a join stay\n"
        "copies, so each removed length is rounded to whole frames and the remainder (under\n"
        "half a frame) is taken at the resume side, inside the crossfade (a range under\n"
        "half a frame removes nothing): --json gives requested_removed_samples and\n"
        "removed_samples for each join. A join too close to\n"
        "the ends of the audio or to another join for its frames stays lossless.\n"
        "The file's tags are copied into the result.");
    parser.addOption(HelpOption());
    parser.addPositionalArgument("FILE", "The MP3 file to edit.");
    QCommandLineOption deleteOption("delete", "Cut out this range of the file (seconds or m:ss.mmm); may be repeated.",
                                    "A-B");
    QCommandLineOption keepOption("keep", "Keep only these ranges of the file; may be repeated.", "A-B");
    QCommandLineOption outputOption("output", "The edited file to write.", "OUT");
    QCommandLineOption overwriteOption("overwrite", "Replace OUT if it exists.");
    QCommandLineOption jsonOption("json", "Describe the result as JSON (samples, kept segments, joins).");
    const SmoothJoinsOptions smooth("Join on the exact samples, re-encoding a few frames at each join.");
    parser.addOptions({deleteOption, keepOption, outputOption, smooth.smooth, smooth.crossfade, overwriteOption, jsonOption});
    if (!parser.parse(args)) return Refuse(parser.errorText());
    if (parser.isSet("help")) {
        std::printf("%s", SubcommandHelp(parser, "edit").toLocal8Bit().constData());
        return 0;
    }
    if (parser.positionalArguments().size() != 1) return Refuse("give exactly one FILE (see --help)");
    if (parser.isSet(deleteOption) == parser.isSet(keepOption)) return Refuse("give --delete or --keep ranges (see --help)");
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty()) return Refuse("give --output OUT (see --help)");

    RenderOptions options;
    if (const QString refusal = smooth.Read(parser, &options.smoothJoins, &options.crossfadeMs); !refusal.isEmpty())
        return Refuse(refusal);

    const QString path = parser.positionalArguments().first();
    const QString output = parser.value(outputOption);
    if (!QFileInfo(path).isFile()) return Refuse("cannot open " + path);
    if (ClipWouldReplaceSource(path.toStdString(), output.toStdString()))
        return Refuse("the output is the file being edited; choose another name");
    if (QFileInfo::exists(output) && !parser.isSet(overwriteOption))
        return Refuse(output + " exists (use --overwrite to replace it)");

    FrameTable table;
    std::string error;
    if (!Scan(path, table, &error)) return Refuse(path + ": " + QString::fromStdString(error));
    if (table.layer != 3) return Refuse(path + ": editing without re-encoding needs MPEG Layer III audio");
    const SourceTimeline timeline(table);
    const bool keep = parser.isSet(keepOption);
    std::vector<Range> ranges;
    const QString bad =
        ParseRanges(parser.values(keep ? keepOption : deleteOption), table.sampleRate, timeline.DecodedSamples(), ranges);
    if (!bad.isEmpty()) return Refuse(bad);
    std::vector<SampleRange> samples;
    for (const Range& r : ranges) samples.push_back(r.samples);
    EditList edits(timeline.DecodedSamples());
    if ((keep ? edits.Keep(samples) : edits.DeleteSource(samples)) != EditRefusal::None)
        return Refuse("nothing of the audio would be left");

    // The tags go in as a clip's: in the same pass when the editor can give them as bytes.
    TagEditor tags;
    tags.LoadFile(path.toStdString(), QFileInfo(path).fileName().toStdString());
    ClipTags clipTags;
    const bool onePass = tags.TagsForClip(&clipTags);
    const ClipHook finish = [&tags](const std::string& file, std::string* why) { return tags.WriteInto(file, why); };

    // A plan that cannot be made is refused before anything is written.
    RenderPlan plan;
    if (!PlanRender(table, edits, SideInfoFromFile(path.toStdString(), table), options, plan, &error))
        return Refuse(QString::fromStdString(error));
    if (options.smoothJoins && !EncodeSmoothJoins(path.toStdString(), table, options, plan, &error)) {
        std::fprintf(stderr, "trimbel edit: %s\n", error.c_str());
        return kExitFailed;
    }
    ProgressLine progress("Writing");
    const bool saved = WriteRender(path.toStdString(), table, plan, output.toStdString(), onePass ? &clipTags : nullptr,
                                   finish,
                                   [&progress](double f) {
                                       progress.Update(f);
                                       return true;
                                   },
                                   &error);
    progress.Finish();
    if (!saved) {
        std::fprintf(stderr, "trimbel edit: %s\n", error.c_str());
        return kExitFailed;
    }
    if (parser.isSet(jsonOption))
        std::printf("%s", QJsonDocument(Summary(output, plan)).toJson(QJsonDocument::Indented).constData());
    else
        std::printf("%s\n", QFileInfo(output).absoluteFilePath().toLocal8Bit().constData());
    return 0;
}
