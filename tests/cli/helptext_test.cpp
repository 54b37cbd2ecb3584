// The help of the program and of every subcommand reads as one text: the same words for -h and
// --help, no Qt-specific options, each subcommand's options named, and a version line that tools
// such as help2man can read.
#include <regex>

#include <gtest/gtest.h>

#include "programrun.h"

namespace {

TEST(HelpText, EveryHelpOffersTheSameHelpOptionAndNoQtOptions) {
    const std::pair<QStringList, std::vector<std::string>> cases[] = {
        {{"--help"}, {}},
        {{"-h"}, {}},
        {{"info", "--help"}, {"--json"}},
        {{"tag", "--help"}, {}},
        {{"cut", "-h"}, {}},
        {{"split", "--help"},
         {"--at", "--every", "--cue", "--pauses", "--threshold", "--min-pause", "--output-dir", "--name-pattern",
          "--overwrite", "--json", "trimbel split"}},
        {{"gain", "--help"}, {"1.5 dB steps of one granule (13 ms)"}},
    };
    for (const auto& [args, names] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const ProgramRun run = Trimbel(args);
        EXPECT_EQ(run.exitCode, 0);
        // The help wraps its lines: read it as running text.
        const std::string help = std::regex_replace(run.out, std::regex("\\s+"), " ");
        for (const std::string& name : names)
            EXPECT_NE(help.find(name), std::string::npos) << name << " in " << run.out;
        EXPECT_NE(help.find("-h, --help Show this help. "), std::string::npos) << run.out;
        EXPECT_EQ(help.find("--help-all"), std::string::npos);
        EXPECT_EQ(help.find("-?"), std::string::npos);
        EXPECT_EQ(help.find("Displays"), std::string::npos);
    }
}

TEST(HelpText, VersionIsOneLineWithTheProjectVersion) {
    const ProgramRun version = Trimbel({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("trimbel [0-9]+(\\.[0-9]+)+\n"))) << version.out;
    EXPECT_EQ(Trimbel({"-v"}).out, version.out);
}

}  // namespace
