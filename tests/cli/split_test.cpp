// `trimbel split` run as a program.
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

struct SplitRun {
    int exitCode = -1;
    QByteArray out;
    std::string err;
};

SplitRun Split(const QStringList& args) {
    QProcess process;
    process.start(TRIMBEL_BINARY, QStringList{"split"} + args);
    SplitRun run;
    if (!process.waitForFinished(60000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

class SplitCommand : public ::testing::Test {
protected:
    SplitCommand() {
        testfiles::WriteFile(dir.file("set.mp3"), testfiles::SilentFrames(383));  // 10.005 s
        fs::create_directory(dir.file("out"));
    }
    QString Q(const std::string& s) const { return QString::fromStdString(s); }
    testfiles::TempDir dir;
};

TEST_F(SplitCommand, EveryListsThePartsAsJson) {
    const SplitRun run = Split({Q(dir.file("set.mp3")), "--every", "4", "--output-dir", Q(dir.file("out")), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray parts = QJsonDocument::fromJson(run.out).object().value("parts").toArray();
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
}

TEST_F(SplitCommand, EveryLeavesNoTinyLastPart) {
    // 9.993 s in parts of 3.33 s: the 3 ms left over go into the third part.
    const SplitRun run = Split({Q(dir.file("set.mp3")), "--every", "3.33", "--output-dir", Q(dir.file("out")), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object().value("parts").toArray().size(), 3);
}

TEST_F(SplitCommand, AtWithPatternAndCueExport) {
    const SplitRun run = Split({Q(dir.file("set.mp3")), "--at", "2.5,0:07", "--output-dir", Q(dir.file("out")),
                                "--name-pattern", "{n} of {N}", "--export-cue", Q(dir.file("set.cue"))});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.count('\n'), 3);
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/03 of 3.mp3")));
    const std::string cue = testfiles::CommandOutput("cat " + testfiles::ShellQuote(dir.file("set.cue")));
    EXPECT_NE(cue.find("FILE \"set.mp3\" MP3"), std::string::npos) << cue;
    EXPECT_NE(cue.find("INDEX 01 00:07:00"), std::string::npos) << cue;

    // The exported sheet splits the same way.
    const SplitRun again = Split({Q(dir.file("set.mp3")), "--cue", Q(dir.file("set.cue")), "--output-dir",
                                  Q(dir.file("out")), "--overwrite"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/set - 03.mp3")));
}

TEST_F(SplitCommand, RefusalsExitWith2AndSayWhy) {
    const QString f = Q(dir.file("set.mp3"));
    const std::vector<std::pair<QStringList, std::string>> cases = {
        {{f}, "give one of --at, --every, --cue, --chapters or --pauses"},
        {{f, "--at", "3", "--every", "2"}, "give one of"},
        {{f, "--at", "3,x"}, "--at needs times"},
        {{f, "--at", "11"}, "not inside the audio"},
        {{f, "--every", "0"}, "--every needs"},
        {{f, "--pauses", "--threshold", "6"}, "--threshold needs"},
        {{f, "--at", "3", "--name-pattern", "{x}"}, "unknown placeholder {x}"},
        {{Q(dir.file("none.mp3")), "--at", "3"}, "cannot open"},
    };
    for (const auto& [args, expected] : cases) {
        const SplitRun run = Split(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    }
    testfiles::WriteFile(dir.file("bad.cue"), testfiles::FromString("FILE \"set.mp3\" MP3\n  TRACK 01 AUDIO\n  INDEX 01 0:00\n"));
    const SplitRun cue = Split({f, "--cue", Q(dir.file("bad.cue"))});
    EXPECT_EQ(cue.exitCode, 2);
    EXPECT_NE(cue.err.find("bad.cue: line 3: INDEX needs"), std::string::npos) << cue.err;
    EXPECT_EQ(fs::directory_iterator(dir.file("out")), fs::directory_iterator());
}

TEST_F(SplitCommand, AFailurePartWayExitsWith1AndListsWhatWasWritten) {
    fs::create_directory(dir.file("out/set - 02.mp3"));
    const SplitRun run = Split({Q(dir.file("set.mp3")), "--at", "3,6", "--output-dir", Q(dir.file("out")),
                                "--overwrite", "--json"});
    EXPECT_EQ(run.exitCode, 1);
    const QJsonObject root = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(root.value("parts").toArray().size(), 1);
    EXPECT_EQ(root.value("failedPart").toInt(), 2);
    EXPECT_NE(run.err.find("Part 2"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/set - 01.mp3")));
}

TEST_F(SplitCommand, NoOutputReplacesTheSourceOrAnExistingFile) {
    const QString f = Q(dir.file("set.mp3"));
    fs::create_hard_link(dir.file("set.mp3"), dir.file("hard.mp3"));
    fs::create_symlink(dir.file("set.mp3"), dir.file("link.mp3"));
    testfiles::WriteFile(dir.file("old.cue"), testfiles::FromString("keep me"));
    const testfiles::Bytes source = testfiles::ReadFile(dir.file("set.mp3"));
    const QStringList at = {f, "--at", "3", "--output-dir", Q(dir.file("out"))};
    const std::vector<std::pair<QStringList, std::string>> cases = {
        {{"--export-cue", f}, "the file being split"},
        {{"--export-cue", Q(dir.file("out/../set.mp3")), "--overwrite"}, "the file being split"},
        {{"--export-cue", Q(dir.file("hard.mp3")), "--overwrite"}, "the file being split"},
        {{"--export-cue", Q(dir.file("link.mp3")), "--overwrite"}, "the file being split"},
        {{"--export-cue", Q(dir.file("old.cue"))}, "old.cue exists already"},
        {{"--export-cue", Q(dir.file("out/set - 02.mp3"))}, "the name of a part"},
        {{"--output-dir", Q(dir.path().string()), "--name-pattern", "hard", "--overwrite"}, "cut from"},
    };
    for (const auto& [extra, expected] : cases) {
        const SplitRun run = Split(at + extra);
        EXPECT_EQ(run.exitCode, 2) << extra.join(' ').toStdString();
        EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
        EXPECT_EQ(testfiles::ReadFile(dir.file("set.mp3")), source);
        EXPECT_TRUE(fs::is_symlink(dir.file("link.mp3")));
        EXPECT_EQ(testfiles::ReadFile(dir.file("old.cue")), testfiles::FromString("keep me"));
        EXPECT_EQ(fs::directory_iterator(dir.file("out")), fs::directory_iterator());
    }
    // The sheet is written only once the parts are.
    fs::create_directory(dir.file("out/set - 02.mp3"));
    const SplitRun failed = Split(at + QStringList{"--overwrite", "--export-cue", Q(dir.file("new.cue"))});
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    EXPECT_FALSE(fs::exists(dir.file("new.cue")));
    fs::remove(dir.file("out/set - 02.mp3"));
    const SplitRun replaced = Split(at + QStringList{"--overwrite", "--export-cue", Q(dir.file("old.cue"))});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_NE(testfiles::ReadFile(dir.file("old.cue")), testfiles::FromString("keep me"));
}

TEST(SplitHelp, NamesEveryOption) {
    const SplitRun run = Split({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option : {"--at", "--every", "--cue", "--pauses", "--threshold", "--min-pause", "--output-dir",
                               "--name-pattern", "--overwrite", "--json", "trimbel split"})
        EXPECT_TRUE(run.out.contains(option)) << option;
}

}  // namespace
