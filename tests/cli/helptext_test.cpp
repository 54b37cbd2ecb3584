// The help of the program and of every subcommand reads as one text: the same words for -h and
// --help, no Qt-specific options, and a version line that tools such as help2man can read.
#include <regex>

#include <gtest/gtest.h>

#include "support/testfiles.h"

namespace {

std::string Trimbel(const std::string& args, int* status) {
    return testfiles::CommandOutput(testfiles::ShellQuote(TRIMBEL_BINARY) + " " + args, status);
}

TEST(HelpText, EveryHelpOffersTheSameHelpOptionAndNoQtOptions) {
    for (const std::string args : {"--help", "-h", "info --help", "tag --help", "cut -h"}) {
        int status = -1;
        const std::string help = Trimbel(args, &status);
        EXPECT_EQ(status, 0) << args;
        EXPECT_NE(help.find("-h, --help"), std::string::npos) << args << ":\n" << help;
        EXPECT_NE(help.find("  Show this help.\n"), std::string::npos) << args << ":\n" << help;
        EXPECT_EQ(help.find("--help-all"), std::string::npos) << args;
        EXPECT_EQ(help.find("-?"), std::string::npos) << args;
        EXPECT_EQ(help.find("Displays"), std::string::npos) << args;
    }
}

TEST(HelpText, VersionIsOneLineWithTheProjectVersion) {
    int status = -1;
    const std::string version = Trimbel("--version", &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::regex_match(version, std::regex("trimbel [0-9]+(\\.[0-9]+)+\n"))) << version;
    EXPECT_EQ(Trimbel("-v", &status), version);
}

}  // namespace
