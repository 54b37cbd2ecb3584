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
    std::string Run(const std::string& args, int* status) {
        return testfiles::CommandOutput("cd " + testfiles::ShellQuote(dir.path().string()) + " && " +
                                            testfiles::ShellQuote(program.string()) + " " + args + " 2>&1",
                                        status);
    }
    std::string Started() {
        if (!fs::exists(program.parent_path() / "started")) return "";
        const testfiles::Bytes bytes = testfiles::ReadFile((program.parent_path() / "started").string());
        return std::string(bytes.begin(), bytes.end());
    }
    testfiles::TempDir dir;
    fs::path program;
    std::string song;
};

TEST_F(WindowProgram, NoArgumentsOrAFileStartTheWindowProgramBesideIt) {
    const fs::path standIn = program.parent_path() / "trimbel-window";
    const struct {
        bool installed;
        std::string args;
        int status;
        std::string started;  // the stand-in's arguments; "" when it must not start
        std::string says;
    } cases[] = {
        {true, "", 0, "[]", ""},
        // As given: the window program starts in the same folder.
        {true, testfiles::ShellQuote("My Song.mp3"), 0, "[My Song.mp3]", ""},
        {true, testfiles::ShellQuote(song), 0, "[" + song + "]", ""},
        {true, "info " + testfiles::ShellQuote(song), 0, "", "header_start"},
        {true, "--version", 0, "", "trimbel "},
        {false, testfiles::ShellQuote(song), 127, "", "cannot start the windows"},
        {false, testfiles::ShellQuote(song), 127, "", standIn.string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        fs::remove(standIn);
        fs::remove(program.parent_path() / "started");
        if (c.installed) {
            std::ofstream(standIn) << "#!/bin/sh\nprintf '[%s]' \"$@\" > \"$(dirname \"$0\")/started\"\n";
            fs::permissions(standIn, fs::perms::owner_all);
        }
        int status = -1;
        const std::string out = Run(c.args, &status);
        EXPECT_EQ(status, c.status) << out;
        EXPECT_EQ(Started(), c.started);
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
    }
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
