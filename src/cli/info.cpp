// `trimbel info FILE [--json]`: the MP3 class's analysis of a file, and the tag library's view of
// it, as JSON or as readable lines.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "analysis/mp3.h"
#include "cli/infotags.h"
#include "cli/subcommands.h"
#include "models/cuttingmessages.h"
#include "mpeg/framescan.h"

namespace {

// Text form: these keys first, in this order, wherever they appear; any others after them.
const QStringList kKeyOrder = {
    "file", "analysis", "loaded", "size", "header_start", "header_bits", "mpeg_version", "layer",
    "bitrate", "frequency", "mode", "copyright", "original", "emphasis", "frame_size",
    "frame_count", "length", "vbr", "has_id3v1", "v1", "title", "artist", "album", "year",
    "comment", "genre", "genre_text", "start_ms", "end_ms"};

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// Why the file cannot be read, or empty text when it can.
std::string OpenProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return {};
}

QJsonObject AnalysisObject(const std::string& path) {
    MP3 mp3;
    const bool loaded = mp3.LoadFile(path);
    // The 64-bit values: identical to the 32-bit properties below 2 GiB, and still exact above.
    const QJsonObject v1{
        {"title", Text(mp3.Title())},
        {"artist", Text(mp3.Artist())},
        {"album", Text(mp3.Album())},
        {"year", Text(mp3.Year())},
        {"comment", Text(mp3.Comment())},
        {"genre", mp3.Genre()},
        {"genre_text", Text(MP3::GenreText(mp3.Genre()))},
    };
    return QJsonObject{
        {"loaded", loaded},
        {"size", static_cast<qint64>(mp3.Size64())},
        {"header_start", static_cast<qint64>(mp3.HeaderStart64())},
        {"header_bits", Text(mp3.HeaderBits())},
        {"mpeg_version", mp3.MPEGVersion()},
        {"layer", mp3.Layer()},
        {"bitrate", mp3.Bitrate()},
        {"frequency", mp3.Frequency()},
        {"mode", Text(mp3.Mode())},
        {"copyright", mp3.Copyright()},
        {"original", mp3.Home()},
        {"emphasis", Text(mp3.Emphasis())},
        {"frame_size", mp3.FrameSize()},
        {"frame_count", static_cast<qint64>(mp3.FrameCount64())},
        {"length", static_cast<qint64>(mp3.Length64())},
        {"vbr", mp3.VBR()},
        {"has_id3v1", mp3.HasID3Tag()},
        {"v1", v1},
    };
}

QString ScalarText(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? "true" : "false";
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return "null";
    default: {
        // Strings quoted and escaped, so fill spaces and NUL bytes of tag fields stay visible;
        // NUL is shortened to \0, as ID3v1 fields are often padded with it.
        QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(json.mid(1, json.size() - 2)).replace("\\u0000", "\\0");
    }
    }
}

QStringList OrderedKeys(const QJsonObject& object) {
    QStringList keys;
    for (const QString& key : kKeyOrder)
        if (object.contains(key)) keys << key;
    for (const QString& key : object.keys())
        if (!keys.contains(key)) keys << key;
    return keys;
}

void PrintLines(const QJsonObject& object, int indent, QByteArray& out) {
    const QByteArray pad(indent * 2, ' ');
    for (const QString& key : OrderedKeys(object)) {
        const QJsonValue value = object.value(key);
        if (value.isObject()) {
            out += pad + key.toUtf8() + ":\n";
            PrintLines(value.toObject(), indent + 1, out);
        } else if (value.isArray() && !value.toArray().isEmpty()) {
            // A list of objects (the chapters): numbered from 1, each with its fields below.
            out += pad + key.toUtf8() + ":\n";
            const QJsonArray items = value.toArray();
            for (qsizetype i = 0; i < items.size(); ++i) {
                out += pad + "  " + QByteArray::number(i + 1) + ":\n";
                PrintLines(items[i].toObject(), indent + 2, out);
            }
        } else {
            out += pad + key.toUtf8() + ": " + ScalarText(value).toUtf8() + "\n";
        }
    }
}

// Errors surface when the command's output is finished (FinishOutput), not here.
void Write(FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

}  // namespace

int RunInfo(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Show the MPEG analysis and the tags of an MP3 file.");
    const QCommandLineOption helpOption = HelpOption();
    parser.addOption(helpOption);
    const QCommandLineOption jsonOption("json", "Print JSON instead of readable lines.");
    parser.addOption(jsonOption);
    parser.addPositionalArgument("FILE", "The MP3 file to analyse.");

    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "trimbel info: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        Write(stdout, SubcommandHelp(parser, "info").toUtf8());
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        std::fprintf(stderr, "trimbel info: expected one file name (see 'trimbel info --help')\n");
        return 2;
    }
    // Use the name's bytes as given, not a round trip through QString, so any file name works.
    std::string path = files.first().toLocal8Bit().toStdString();
    for (int i = 1; i < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == files.first()) path = argv[i];

    const std::string problem = OpenProblem(path);
    if (!problem.empty()) {
        std::fprintf(stderr, "trimbel info: %s: %s\n", path.c_str(), problem.c_str());
        return 1;
    }

    // The analysis is shown as the MP3 class gives it, also for a file that only looks like
    // MPEG audio; whether its frames chain is said beside it, as the window and cut decide.
    const bool mpegAudio = HoldsMpegAudio(path);
    QJsonObject root{{"file", files.first()}, {"analysis", AnalysisObject(path)}, {"mpeg_audio", mpegAudio}};
    AddTagObjects(path, root);
    if (!mpegAudio) std::fprintf(stderr, "trimbel info: %s: %s\n", path.c_str(), kNoMpegAudioFound);

    if (parser.isSet(jsonOption)) {
        Write(stdout, QJsonDocument(root).toJson(QJsonDocument::Indented));
    } else {
        QByteArray out;
        PrintLines(root, 0, out);
        Write(stdout, out);
    }
    return 0;
}
