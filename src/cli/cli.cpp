#include "cli/cli.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <QCommandLineParser>
#include <QStringList>

#include "cli/checkedoutput.h"
#include "cli/subcommands.h"
#include "trimbel_version.h"

namespace {

struct Subcommand {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);
};

const Subcommand kSubcommands[] = {
    {"info", "Show the MPEG analysis and the tags of an MP3 file.", RunInfo},
    {"tag", "Write or remove the ID3 tags of an MP3 file.", RunTag},
    {"cut", "Cut a time range of an MP3 file into a new clip.", RunCut},
    {"split", "Split an MP3 file into parts at cut points, at the tracks of a cue sheet or at pauses.", RunSplit},
    {"edit", "Cut ranges out of an MP3 file, or keep only some, without re-encoding.", RunEdit},
    {"gain", "Change the level of MP3 files without re-encoding: gain, normalise, fades, ReplayGain.", RunGain},
};

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "Usage: trimbel [FILE.mp3]\n"
                 "  or:  trimbel SUBCOMMAND [options] FILE\n"
                 "Open the cutting window, on FILE.mp3 when one is given, or run a subcommand\n"
                 "without windows.\n\n"
                 "Subcommands:\n");
    for (const auto& s : kSubcommands) std::fprintf(out, "  %-6s %s\n", s.name, s.summary);
    std::fprintf(out,
                 "\nOptions:\n"
                 "  -h, --help     %s\n"
                 "  -v, --version  Show the version.\n"
                 "\nRun 'trimbel SUBCOMMAND --help' for its options.\n",
                 kHelpOptionText);
}

bool LooksLikePath(const std::string& arg) {
    if (arg.find('/') != std::string::npos) return true;
    if (arg.size() < 4) return false;
    std::string suffix = arg.substr(arg.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".mp3";
}

}  // namespace

bool IsFileToOpen(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') return false;
    for (const auto& s : kSubcommands)
        if (std::strcmp(argv[1], s.name) == 0) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(argv[1], ec);
}

namespace {

// Runs what the arguments ask for; `who` names it in a message about its output.
int Dispatch(int argc, char** argv, std::string* who) {
    const std::string sub = argc > 1 ? argv[1] : "";
    if (sub == "--help" || sub == "-h" || sub == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (sub == "--version" || sub == "-v") {
        std::printf("trimbel %s\n", TRIMBEL_VERSION_SHORT);
        return 0;
    }
    for (const auto& s : kSubcommands) {
        if (sub == s.name) {
            *who += " " + sub;
            return s.run(argc - 1, argv + 1);
        }
    }
    // `trimbel FILE.mp3` with a file that is not there is a mistyped path, not a subcommand.
    if (argc == 2 && LooksLikePath(sub)) {
        std::error_code ec;
        if (!std::filesystem::exists(sub, ec))
            std::fprintf(stderr, "trimbel: cannot open '%s': no such file\n", sub.c_str());
        else
            std::fprintf(stderr, "trimbel: cannot open '%s': not a file\n", sub.c_str());
        return 2;
    }
    std::fprintf(stderr, "trimbel: unknown subcommand '%s'\n\n", sub.c_str());
    PrintUsage(stderr);
    return 2;
}

}  // namespace

int RunCli(int argc, char** argv) {
    ReportBrokenPipes();
    std::string who = "trimbel";
    const int code = Dispatch(argc, argv, &who);
    return FinishOutput(code, who.c_str());
}

QCommandLineOption HelpOption() { return QCommandLineOption({"h", "help"}, kHelpOptionText); }

QString SubcommandHelp(const QCommandLineParser& parser, const char* name) {
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("trimbel ") + QLatin1String(name));
    return text;
}
