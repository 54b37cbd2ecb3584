// What every subcommand refuses: the exit code, one line that says why, and no file written or
// changed. The rules behind the lines (ranges, marks, plans) are their own modules' tests.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "programrun.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using testfiles::Bytes;

struct Refusal {
    QStringList args;  // "@name" stands for a file of the fixture
    int exitCode;
    std::string says;
    long lines = 1;  // on standard error
};

class Refusals : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testfiles::TempDir;
        ASSERT_TRUE(
            EncodeSong(dir_->file("song.mp3"), "6 sine 200:2000 pinknoise vol 0.4", "-b 128 --tt 'Edited song'"));
        fs::create_hard_link(dir_->file("song.mp3"), dir_->file("hard.mp3"));
        fs::create_symlink(dir_->file("song.mp3"), dir_->file("link.mp3"));
        fs::create_directory(dir_->file("out"));
        testfiles::WriteFile(dir_->file("exists.mp3"), testfiles::FromString("keep me"));
        testfiles::WriteFile(dir_->file("noise.mp3"), Bytes(5000, 0x55));
        testfiles::WriteFile(dir_->file("wave.mp3"), NoMpegAudio(true));
        testfiles::WriteFile(dir_->file("bad.cue"),
                             testfiles::FromString("FILE \"song.mp3\" MP3\n  TRACK 01 AUDIO\n  INDEX 01 0:00\n"));
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::string Expand(std::string text) {
        const std::pair<const char*, std::string> names[] = {
            {"@src", "song.mp3"}, {"@never", "out/never.mp3"}, {"@outdir", "out"}, {"@part", "out/song - 02.mp3"},
            {"@dir", ""},         {"@", ""}};
        for (const auto& [name, file] : names)
            for (size_t at; (at = text.find(name)) != std::string::npos;)
                text.replace(at, std::string(name).size(), dir_->file(file));
        return text;
    }
    static testfiles::TempDir* dir_;
};
testfiles::TempDir* Refusals::dir_ = nullptr;

TEST_F(Refusals, EachSaysWhyInOneLineAndWritesNothing) {
    const Bytes song = testfiles::ReadFile(dir_->file("song.mp3"));
    const std::string kNoMpeg = "This file has no MPEG audio to cut.";
    const Refusal cases[] = {
        // A path given where a subcommand goes is reported as a path.
        {{"@missing.mp3"}, 2, "trimbel: cannot open '@missing.mp3': no such file"},
        {{"missing.MP3"}, 2, "trimbel: cannot open 'missing.MP3': no such file"},
        {{"@dir"}, 2, "not a file"},
        {{"info", "@missing.mp3"}, 1, "@missing.mp3"},
        {{"info", "@dir"}, 1, "@dir"},
        {{"info"}, 2, "trimbel info:"},
        {{"tag", "@src", "--v2-version", "2.5"}, 2, "--v2-version must be 2.3 or 2.4"},
        {{"tag", "@src", "--v1", "maybe"}, 2, "--v1 must be keep, write or remove"},
        {{"tag", "@src", "--no-such-option"}, 2, "no-such-option"},
        {{"tag", "@src", "--title"}, 2, "--title"},
        {{"tag", "@missing.mp3", "--title", "x"}, 1, "@missing.mp3"},
        {{"tag", "@dir", "--title", "x"}, 1, "not a regular file"},
        {{"cut", "@src", "--start", "5", "--end", "3", "--output", "@never"}, 2,
         "End time is shorter than Start time.This selection is invalid"},
        {{"cut", "@src", "--start", "2", "--end", "3", "--output", "@never"}, 2,
         "Please select a greater length.This small value is of no use."},
        {{"cut", "@src", "--start", "1", "--end", "5", "--output", "@src", "--overwrite"}, 2, "cut from"},
        {{"cut", "@src", "--start", "x", "--end", "5"}, 2, "--start needs seconds"},
        {{"cut", "@src", "--end", "5"}, 2, "give --start and --end"},
        {{"cut", "@missing.mp3", "--start", "1", "--end", "5"}, 2, "cannot open"},
        {{"cut", "@wave.mp3", "--start", "1", "--end", "3", "--duration", "9", "--output", "@never"}, 2, kNoMpeg},
        {{"split", "@wave.mp3", "--at", "4", "--output-dir", "@outdir"}, 2, kNoMpeg},
        {{"split", "@src"}, 2, "give one of --at, --every, --cue, --chapters or --pauses"},
        {{"split", "@src", "--at", "3", "--every", "2"}, 2, "give one of"},
        {{"split", "@src", "--at", "3,x"}, 2, "--at needs times"},
        {{"split", "@src", "--at", "7"}, 2, "not inside the audio"},
        {{"split", "@src", "--every", "0"}, 2, "--every needs"},
        {{"split", "@src", "--pauses", "--threshold", "6"}, 2, "--threshold needs"},
        {{"split", "@src", "--at", "3", "--name-pattern", "{x}"}, 2, "unknown placeholder {x}"},
        {{"split", "@missing.mp3", "--at", "3"}, 2, "cannot open"},
        {{"split", "@src", "--cue", "@bad.cue"}, 2, "bad.cue: line 3: INDEX needs"},
        // Nothing that split writes replaces the source or a file already there.
        {{"split", "@src", "--at", "3", "--output-dir", "@outdir", "--export-cue", "@src"}, 2, "the file being split"},
        {{"split", "@src", "--at", "3", "--output-dir", "@outdir", "--export-cue", "@outdir/../song.mp3",
          "--overwrite"},
         2, "the file being split"},
        {{"split", "@src", "--at", "3", "--output-dir", "@outdir", "--export-cue", "@hard.mp3", "--overwrite"}, 2,
         "the file being split"},
        {{"split", "@src", "--at", "3", "--output-dir", "@outdir", "--export-cue", "@link.mp3", "--overwrite"}, 2,
         "the file being split"},
        {{"split", "@src", "--at", "3", "--output-dir", "@outdir", "--export-cue", "@exists.mp3"}, 2,
         "exists.mp3 exists already"},
        {{"split", "@src", "--at", "3", "--output-dir", "@outdir", "--export-cue", "@part"}, 2, "the name of a part"},
        {{"split", "@src", "--at", "3", "--output-dir", "@dir", "--name-pattern", "hard", "--overwrite"},
         2, "cut from"},
        {{"chapters", "@src"}, 2, "give one of --list"},
        {{"chapters", "@src", "--list", "--clear"}, 2, "give one of"},
        {{"chapters", "@src", "--at", "0.5", "--titles", "a|b|c"}, 2, "--titles gives 3 titles for 2 chapters"},
        {{"chapters", "@src", "--at", "7"}, 2, "is not inside the audio"},
        {{"join", "@src", "--output", "@never"}, 2, "give at least two files"},
        {{"edit", "@src", "--delete", "1-2", "--delete", "1.5-3", "--output", "@never"}, 2,
         "the ranges 1-2 and 1.5-3 overlap"},
        {{"edit", "@src", "--delete", "2-2", "--output", "@never"}, 2, "the range 2-2 is empty"},
        {{"edit", "@src", "--delete", "3-1", "--output", "@never"}, 2, "the range 3-1 is empty"},
        {{"edit", "@src", "--delete", "5-7", "--output", "@never"},
         2, "the range 5-7 lies outside the audio (0-6.000)"},
        {{"edit", "@src", "--delete", "1:xx-2", "--output", "@never"}, 2, "a range needs START-END"},
        {{"edit", "@src", "--delete", "0-6", "--output", "@never"}, 2, "nothing of the audio would be left"},
        {{"edit", "@src", "--keep", "1-1.004", "--output", "@never"}, 2,
         "Nothing is left: every kept range is shorter than a frame"},
        {{"edit", "@src", "--delete", "1-2", "--keep", "3-4", "--output", "@never"},
         2, "give --delete or --keep ranges"},
        {{"edit", "@src", "--delete", "1-2", "--crossfade", "10", "--output", "@never"}, 2,
         "--crossfade needs --smooth-joins"},
        {{"edit", "@src", "--delete", "1-2", "--smooth-joins", "--crossfade", "500", "--output", "@never"}, 2,
         "--crossfade takes whole milliseconds from 0 to 100"},
        {{"edit", "@src", "--delete", "1-2", "--output", "@src"}, 2, "the output is the file being edited"},
        {{"edit", "@src", "--delete", "1-2", "--output", "@exists.mp3"}, 2, "exists (use --overwrite to replace it)"},
        {{"gain", "@src"}, 2, "give one of --db"},
        {{"gain", "--db", "3", "--steps", "2", "@src"}, 2, "give one of --db"},
        {{"gain", "--normalize", "--range", "1-2", "@src"}, 2, "--range goes with --db or --steps"},
        {{"gain", "--db", "3", "--range", "2-1", "@src"}, 2, "--range needs A-B"},
        {{"gain", "--db", "3", "--output", "@src", "@src"}, 2, "is the file itself"},
        {{"gain", "--db", "3", "--output", "@exists.mp3", "@src"}, 2, "exists (--overwrite replaces it)"},
        {{"gain", "--undo", "@src"}, 2, "has no undo record"},
        {{"gain", "--db", "3", "@noise.mp3"}, 2, "No MPEG audio frames", 2},  // after the plan's line
    };
    for (const Refusal& c : cases) {
        QStringList args;
        for (const QString& a : c.args) args << Q(Expand(a.toStdString()));
        SCOPED_TRACE(args.join(' ').toStdString());
        const ProgramRun run = Trimbel(args, Q(dir_->path().string()));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_TRUE(run.Says(Expand(c.says))) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), c.lines) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(testfiles::ReadFile(dir_->file("song.mp3")), song);
        EXPECT_TRUE(fs::is_symlink(dir_->file("link.mp3")));
        EXPECT_EQ(testfiles::ReadFile(dir_->file("exists.mp3")), testfiles::FromString("keep me"));
        EXPECT_EQ(fs::directory_iterator(dir_->file("out")), fs::directory_iterator());
        EXPECT_FALSE(fs::exists(dir_->file("missing.mp3")));
    }
    // A bare word is still taken for a subcommand.
    const ProgramRun word = Trimbel({"frob"});
    EXPECT_EQ(word.exitCode, 2);
    EXPECT_TRUE(word.Says("unknown subcommand 'frob'")) << word.err;
}

}  // namespace
