// `trimbel` with no arguments or a file starts the window program found beside it, and hands
// it the arguments; subcommands stay in `trimbel`.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "support/testfiles.h"

namespace fs = std::filesystem;

namespace {

// `trimbel` copied into a folder of its own, beside a stand-in window program that writes down
// the arguments it was started with.
class WindowProgram : public ::testing::Test {
protected:
    WindowProgram() {
        program = dir.path() / "bin" / "trimbel";
        fs::create_directories(program.parent_path());
        fs::copy_file(TRIMBEL_BINARY, program);
        song = dir.file("My Song.mp3");
        testfiles::WriteFile(song, testfiles::SilentFrames(3));
    }
    void InstallStandIn() {
        const fs::path standIn = program.parent_path() / "trimbel-window";
        std::ofstream(standIn) << "#!/bin/sh\nprintf '[%s]' \"$@\" > \"$(dirname \"$0\")/started\"\n";
        fs::permissions(standIn, fs::perms::owner_all);
    }
    std::string Run(const std::string& args, int* status) {
        return testfiles::CommandOutput("cd " + testfiles::ShellQuote(dir.path().string()) + " && " +
                                            testfiles::ShellQuote(program.string()) + " " + args + " 2>&1",
                                        status);
    }
    std::string Started() {
        const testfiles::Bytes bytes = testfiles::ReadFile((program.parent_path() / "started").string());
        return std::string(bytes.begin(), bytes.end());
    }
    testfiles::TempDir dir;
    fs::path program;
    std::string song;
};

TEST_F(WindowProgram, NoArgumentsOrAFileStartTheWindowProgramBesideIt) {
    InstallStandIn();
    int status = -1;
    Run("", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Started(), "[]");

    Run(testfiles::ShellQuote("My Song.mp3"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Started(), "[My Song.mp3]");  // as given: the window program starts in the same folder

    Run(testfiles::ShellQuote(song), &status);
    EXPECT_EQ(Started(), "[" + song + "]");
}

TEST_F(WindowProgram, SubcommandsAndMistypedPathsStayInTheCommandLine) {
    InstallStandIn();
    int status = -1;
    const std::string out = Run("info " + testfiles::ShellQuote(song), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("header_start"), std::string::npos) << out;
    Run("missing.mp3", &status);
    EXPECT_EQ(status, 2);
    Run("--version", &status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fs::exists(program.parent_path() / "started"));
}

TEST_F(WindowProgram, AMissingWindowProgramIsReported) {
    int status = -1;
    const std::string out = Run(testfiles::ShellQuote(song), &status);
    EXPECT_EQ(status, 127);
    EXPECT_NE(out.find("cannot start the windows"), std::string::npos) << out;
    EXPECT_NE(out.find((program.parent_path() / "trimbel-window").string()), std::string::npos) << out;
}

// The command line loads QtCore at most: what the windows need stays in the window program.
// The MP3 decoder is no sound output: `split --pauses` decodes with it.
TEST(CommandLineProgram, NeedsNoWindowOrSoundLibraries) {
    int status = -1;
    const std::string needed =
        testfiles::CommandOutput("readelf -d " + testfiles::ShellQuote(TRIMBEL_BINARY) + " | grep NEEDED", &status);
    ASSERT_EQ(status, 0) << "readelf failed";
    EXPECT_NE(needed.find("libQt6Core"), std::string::npos) << needed;
    for (const char* library : {"libQt6Gui", "libQt6Widgets", "libQt6Multimedia", "libgst", "libpulse", "libasound"})
        EXPECT_EQ(needed.find(library), std::string::npos) << library << " in\n" << needed;
}

}  // namespace
