#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/subcommands.h"
#include "files/safefile.h"
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

// The end of the file as it was before the version 1 step, so that step can be undone when the
// version 2 step fails: the command changes the file wholly or not at all.
class Id3v1Snapshot {
public:
    bool Take(const std::string& path) {
        mdlID3::FileReader file(path);
        if (!file.IsOpen()) return false;
        size_ = file.Size();
        if (size_ >= mdlID3::kID3v1Size) {
            tail_.resize(mdlID3::kID3v1Size);
            if (!file.ReadExact(size_ - mdlID3::kID3v1Size, tail_)) return false;
            hadTag_ = std::memcmp(tail_.data(), "TAG", 3) == 0;
        }
        return true;
    }

    bool Restore(const std::string& path) const {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return false;
        const int64_t now = st.st_size;
        if (now == size_) {
            return !hadTag_ ||
                   mdlID3::WriteInPlace(path, size_ - mdlID3::kID3v1Size, tail_);
        }
        if (now > size_) return ::truncate(path.c_str(), size_) == 0;  // a tag was appended
        // A tag was cut off: put it back.
        if (!hadTag_ || now != size_ - mdlID3::kID3v1Size) return false;
        int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) return false;
        bool ok = ::write(fd, tail_.data(), tail_.size()) == static_cast<ssize_t>(tail_.size()) &&
                  ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok;
    }

private:
    int64_t size_ = 0;
    bool hadTag_ = false;
    std::vector<uint8_t> tail_;
};

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

    Id3v1Snapshot snapshot;
    if (v1 != "keep") {
        if (!snapshot.Take(path)) return Failure("cannot read " + path);
        bool ok = v1 == "write" ? mdlID3::WriteID3v1Tag(path, info, true)
                                : mdlID3::RemoveID3v1Tag(path, true);
        if (!ok) {
            snapshot.Restore(path);
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
        if (v1 != "keep" && !snapshot.Restore(path))
            why += "; the version 1 tag could not be put back";
        return Failure(why.empty() ? "cannot write the version 2 tag of " + path : why);
    }
    return 0;
}
