// `trimbel split` run as a program.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonObject>

#include "programrun.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

ProgramRun Split(const QStringList& args) { return Trimbel(QStringList{"split"} + args); }

class SplitCommand : public ::testing::Test {
protected:
    SplitCommand() {
        testfiles::WriteFile(dir.file("set.mp3"), testfiles::SilentFrames(383));  // 10.005 s
        fs::create_directory(dir.file("out"));
    }
    testfiles::TempDir dir;
};

TEST_F(SplitCommand, EveryListsThePartsAsJson) {
    const ProgramRun run = Split({Q(dir.file("set.mp3")), "--every", "4", "--output-dir", Q(dir.file("out")), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray parts = Json(run.out).value("parts").toArray();
    ASSERT_EQ(parts.size(), 3);
    double samples = 0;
    for (int i = 0; i < parts.size(); ++i) {
        const QJsonObject p = parts[i].toObject();
        EXPECT_EQ(p.value("path").toString().toStdString(), dir.file("out/set - 0" + std::to_string(i + 1) + ".mp3"));
        EXPECT_TRUE(fs::is_regular_file(p.value("path").toString().toStdString()));
        EXPECT_EQ(p.value("title").toString(), QString("set - 0%1").arg(i + 1));
        samples += p.value("samples").toDouble();
    }
    EXPECT_EQ(samples, 383.0 * 1152 - 529);
    // Parts start on the sample of their cut point.
    EXPECT_EQ(parts[1].toObject().value("start").toDouble(), 4.0);
    EXPECT_EQ(parts[1].toObject().value("exact_start").toBool(false), true);
    EXPECT_DOUBLE_EQ(parts[2].toObject().value("end").toDouble(), (383.0 * 1152 - 529) / 44100);

    // 9.993 s in parts of 3.33 s: the 3 ms left over go into the third part.
    const ProgramRun tiny = Split({Q(dir.file("set.mp3")), "--every", "3.33", "--output-dir", Q(dir.file("out")),
                                   "--overwrite", "--json"});
    ASSERT_EQ(tiny.exitCode, 0) << tiny.err;
    EXPECT_EQ(Json(tiny.out).value("parts").toArray().size(), 3);
}

TEST_F(SplitCommand, AtWithPatternAndCueExport) {
    const ProgramRun run = Split({Q(dir.file("set.mp3")), "--at", "2.5,0:07", "--output-dir", Q(dir.file("out")),
                                "--name-pattern", "{n} of {N}", "--export-cue", Q(dir.file("set.cue"))});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3);
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/03 of 3.mp3")));
    const std::string cue = testfiles::CommandOutput("cat " + testfiles::ShellQuote(dir.file("set.cue")));
    EXPECT_NE(cue.find("FILE \"set.mp3\" MP3"), std::string::npos) << cue;
    EXPECT_NE(cue.find("INDEX 01 00:07:00"), std::string::npos) << cue;

    // The exported sheet splits the same way.
    const ProgramRun again = Split({Q(dir.file("set.mp3")), "--cue", Q(dir.file("set.cue")), "--output-dir",
                                  Q(dir.file("out")), "--overwrite"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/set - 03.mp3")));
}

// The sheet is written only once every part is; --overwrite then replaces one already there.
TEST_F(SplitCommand, AFailurePartWayExitsWith1AndListsWhatWasWritten) {
    fs::create_directory(dir.file("out/set - 02.mp3"));
    testfiles::WriteFile(dir.file("set.cue"), testfiles::FromString("keep me"));
    const QStringList args = {Q(dir.file("set.mp3")), "--at", "3,6", "--output-dir", Q(dir.file("out")), "--overwrite",
                              "--export-cue", Q(dir.file("set.cue")), "--json"};
    const ProgramRun run = Split(args);
    EXPECT_EQ(run.exitCode, 1);
    const QJsonObject root = Json(run.out);
    EXPECT_EQ(root.value("parts").toArray().size(), 1);
    EXPECT_EQ(root.value("failedPart").toInt(), 2);
    EXPECT_TRUE(run.Says("Part 2")) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/set - 01.mp3")));
    EXPECT_EQ(testfiles::ReadFile(dir.file("set.cue")), testfiles::FromString("keep me"));
    fs::remove(dir.file("out/set - 02.mp3"));
    EXPECT_EQ(Split(args).exitCode, 0);
    EXPECT_NE(testfiles::ReadFile(dir.file("set.cue")), testfiles::FromString("keep me"));
}

}  // namespace
