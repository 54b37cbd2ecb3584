// The bash completion offers what the program's help lists: subcommands, each one's options,
// the words an option takes, and MP3 files where a file goes.
#include <filesystem>

#include <gtest/gtest.h>

#include "support/testfiles.h"

namespace fs = std::filesystem;

namespace {

const fs::path kScript =
    fs::path(TRIMBEL_TEST_DATA).parent_path().parent_path() / "packaging" / "trimbel.bash";

class Completion : public ::testing::Test {
protected:
    Completion() {
        testfiles::WriteFile(dir.file("song.mp3"), testfiles::SilentFrames(1));
        testfiles::WriteFile(dir.file("LOUD.MP3"), testfiles::SilentFrames(1));
        testfiles::WriteFile(dir.file("notes.txt"), testfiles::FromString("x"));
        testfiles::WriteFile(dir.file("album.cue"), testfiles::FromString("x"));
        fs::create_directory(dir.path() / "songs");
    }
    // What the completion offers for the words typed so far (the last one being completed),
    // sorted, one per line.
    std::string Offered(const std::string& typed) {
        const std::string script = "cd " + testfiles::ShellQuote(dir.path().string()) + " && source " +
                                   testfiles::ShellQuote(kScript.string()) + " && COMP_WORDS=(" +
                                   testfiles::ShellQuote(TRIMBEL_BINARY) + " " + typed +
                                   ") && COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 )) && _trimbel " +
                                   testfiles::ShellQuote(TRIMBEL_BINARY) +
                                   " && printf '%s\\n' \"${COMPREPLY[@]}\" | sort";
        int status = -1;
        const std::string out = testfiles::CommandOutput("bash -c " + testfiles::ShellQuote(script), &status);
        EXPECT_EQ(status, 0) << typed;
        return out;
    }
    testfiles::TempDir dir;
};

TEST_F(Completion, SubcommandsOptionsTheirWordsAndFilesWhereAFileGoes) {
    const std::pair<std::string, std::string> cases[] = {
        {"''", "LOUD.MP3\nchapters\ncut\nedit\ngain\ninfo\njoin\nsong.mp3\nsongs\nsplit\ntag\n"},
        {"c", "chapters\ncut\n"},
        {"--", "--help\n--version\n"},
        {"info --", "--help\n--json\n"},
        {"tag --v", "--v1\n--v2-version\n"},
        {"cut song.mp3 --st", "--start\n"},
        {"split song.mp3 --cu", "--cue\n"},
        {"tag --v1 ''", "keep\nremove\nwrite\n"},
        {"tag --v2-version 2", "2.3\n2.4\n"},
        {"info ''", "LOUD.MP3\nsong.mp3\nsongs\n"},
        {"cut song.mp3 --output ''", "LOUD.MP3\nalbum.cue\nnotes.txt\nsong.mp3\nsongs\n"},
        {"split song.mp3 --cue ''", "album.cue\nsongs\n"},
        {"split song.mp3 --output-dir ''", "songs\n"},
        {"tag song.mp3 --artist ''", "\n"},  // free text: nothing to offer
        {"tag song.mp3 --artist A --title ''", "\n"},
        {"song.mp3 --", "\n"},  // no subcommand: nothing to offer
    };
    for (const auto& [typed, offered] : cases) EXPECT_EQ(Offered(typed), offered) << typed;
}

}  // namespace
