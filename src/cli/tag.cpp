#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>
#include <sys/stat.h>

#include "cli/subcommands.h"
#include "models/tagfilesnapshot.h"
#include "id3/mdlid3.h"

namespace {

struct FieldOption {
    const char* name;
    std::string mdlID3::ID3TagInfo::*field;
};

const FieldOption kFieldOptions[] = {
    {"artist", &mdlID3::ID3TagInfo::Artist},
    {"album", &mdlID3::ID3TagInfo::Album},
    {"title", &mdlID3::ID3TagInfo::Title},
    {"year", &mdlID3::ID3TagInfo::Year},
    {"genre", &mdlID3::ID3TagInfo::Genre},
    {"comment", &mdlID3::ID3TagInfo::Comment},
    {"track", &mdlID3::ID3TagInfo::Track},
    {"encoder", &mdlID3::ID3TagInfo::Encoder},
    {"link", &mdlID3::ID3TagInfo::LinkTo},
    {"copyright", &mdlID3::ID3TagInfo::Copyright},
    {"composer", &mdlID3::ID3TagInfo::Composer},
    {"orig-artist", &mdlID3::ID3TagInfo::OrigArtist},
};

int Failure(const std::string& message) {
    std::fprintf(stderr, "trimbel tag: %s\n", message.c_str());
    return 1;
}

int UsageError(const QString& message) {
    std::fprintf(stderr, "trimbel tag: %s (see trimbel tag --help)\n", qPrintable(message));
    return 2;
}

}  // namespace

int RunTag(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Write the ID3 version 2 tag of an MP3 file from its current fields and the ones given,\n"
        "and write, keep or remove its version 1 tag.");
    parser.addOption(HelpOption());
    parser.addPositionalArgument("FILE", "The MP3 file to change.");
    for (const auto& option : kFieldOptions)
        parser.addOption({option.name, QString("Set the %1 field.").arg(option.name), "T"});
    parser.addOption({"v2-version", "Version of the written tag: 2.3 (default) or 2.4.",
                      "2.3|2.4", "2.3"});
    parser.addOption({"clear-v2", "Drop the old tag's frames that the fields do not cover."});
    parser.addOption({"v1", "The version 1 tag: keep (default), write or remove.",
                      "keep|write|remove", "keep"});
    parser.addOption({"remove-v2", "Remove the version 2 tag instead of writing one."});

    if (!parser.parse(arguments)) return UsageError(parser.errorText());
    if (parser.isSet("help")) {
        std::printf("%s", qPrintable(SubcommandHelp(parser, "tag")));
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) return UsageError("give exactly one FILE");
    const QString version = parser.value("v2-version");
    if (version != "2.3" && version != "2.4") return UsageError("--v2-version must be 2.3 or 2.4");
    const QString v1 = parser.value("v1");
    if (v1 != "keep" && v1 != "write" && v1 != "remove")
        return UsageError("--v1 must be keep, write or remove");

    const std::string path = QFile::encodeName(files.front()).toStdString();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Failure(path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return Failure(path + ": not a regular file");

    mdlID3::ID3TagInfo info;
    mdlID3::ReadID3v2Tag(path, info);
    for (const auto& option : kFieldOptions)
        if (parser.isSet(option.name)) info.*option.field = parser.value(option.name).toStdString();

    // What the steps may change, so that a failing step puts the file back: the command changes
    // the file wholly or not at all.
    TagFileSnapshot snapshot;
    std::string unreadable;
    const bool snapshotTaken = snapshot.Take(path, &unreadable);
    if (v1 != "keep") {
        if (!snapshotTaken) return Failure("cannot read " + path);
        bool ok = v1 == "write" ? mdlID3::WriteID3v1Tag(path, info, true)
                                : mdlID3::RemoveID3v1Tag(path, true);
        if (!ok) {
            snapshot.Restore();
            return Failure("cannot " + v1.toStdString() + " the version 1 tag of " + path);
        }
    }

    bool ok = parser.isSet("remove-v2")
                  ? mdlID3::RemoveID3v2Tag(path, true)
                  : mdlID3::WriteID3v2Tag(path, info,
                                          version == "2.4" ? mdlID3::kWriteV24 : mdlID3::kWriteV23,
                                          parser.isSet("clear-v2"), true);
    if (!ok) {
        std::string why = mdlID3::LastTagWriteError();
        const bool restored = snapshotTaken && snapshot.Restore();
        if (v1 != "keep" && !restored) why += "; the version 1 tag could not be put back";
        return Failure(why.empty() ? "cannot write the version 2 tag of " + path : why);
    }
    return 0;
}
