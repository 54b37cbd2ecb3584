// `trimbel chapters`, `info`, `split --chapters` and `join` run as programs: the journey of a
// podcaster who marks chapters, checks them, splits at them and joins the parts back.
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

struct CommandRun {
    int exitCode = -1;
    QByteArray out;
    std::string err;
};

CommandRun Trimbel(const QStringList& args) {
    QProcess process;
    process.start(TRIMBEL_BINARY, args);
    CommandRun run;
    if (!process.waitForFinished(60000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

TEST(ChaptersCommand, MarkListSplitAndJoinBack) {
    testfiles::TempDir dir;
    const std::string show = dir.file("show.mp3");
    testfiles::WriteFile(show, testfiles::SilentFrames(383));  // 10.005 s of decoded audio

    CommandRun run = Trimbel({"chapters", Q(show), "--at", "2.5,0:06.25", "--titles", "Hello|News|Bye", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QJsonArray list = QJsonDocument::fromJson(run.out).object().value("chapters").toArray();
    ASSERT_EQ(list.size(), 3);
    const int ends[] = {2500, 6250, 9993};
    const char* titles[] = {"Hello", "News", "Bye"};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject c = list[i].toObject();
        EXPECT_EQ(c.value("start_ms").toInt(), i == 0 ? 0 : ends[i - 1]);
        EXPECT_EQ(c.value("end_ms").toInt(), ends[i]);
        EXPECT_EQ(c.value("title").toString(), titles[i]);
    }
    run = Trimbel({"chapters", Q(show), "--list"});
    EXPECT_EQ(run.out.toStdString(), " 1  0:00.000 - 0:02.500  Hello\n 2  0:02.500 - 0:06.250  News\n"
                                     " 3  0:06.250 - 0:09.993  Bye\n");
    run = Trimbel({"info", Q(show)});
    EXPECT_TRUE(run.out.contains("chapters:\n  1:\n    title: \"Hello\"\n    start_ms: 0\n    end_ms: 2500\n"))
        << run.out.constData();

    // Split at the chapters, then join the parts back into the show's frames.
    fs::create_directory(dir.file("parts"));
    run = Trimbel({"split", Q(show), "--chapters", "--output-dir", Q(dir.file("parts")), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray parts = QJsonDocument::fromJson(run.out).object().value("parts").toArray();
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[1].toObject().value("title").toString(), "News");
    QStringList join = {"join"};
    for (const auto& p : parts) join << p.toObject().value("path").toString();
    const std::string joined = dir.file("joined.mp3");
    run = Trimbel(join + QStringList{"--output", Q(joined), "--chapters", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject root = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(root.value("frames").toInt(), 383);
    EXPECT_EQ(root.value("samples").toInt(), 383 * 1152 - 529);
    const QJsonArray inputs = root.value("inputs").toArray();
    ASSERT_EQ(inputs.size(), 3);
    EXPECT_EQ(inputs[2].toObject().value("title").toString(), "Bye");
    run = Trimbel({"chapters", Q(joined), "--json"});
    list = QJsonDocument::fromJson(run.out).object().value("chapters").toArray();
    ASSERT_EQ(list.size(), 3);
    // The parts start at frame starts: within a frame of the chapters they were cut at.
    for (int i = 1; i < 3; ++i) EXPECT_NEAR(list[i].toObject().value("start_ms").toInt(), ends[i - 1], 27) << i;

    run = Trimbel({"chapters", Q(show), "--clear"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.toStdString(), "No chapters\n");
}

TEST(ChaptersCommand, RefusalsSayWhyAndWriteNothing) {
    testfiles::TempDir dir;
    const std::string a = dir.file("a.mp3");
    testfiles::WriteFile(a, testfiles::SilentFrames(40));
    testfiles::WriteFile(dir.file("b.mp3"), testfiles::SilentFrames(40, 0x94));  // 48 kHz
    const testfiles::Bytes before = testfiles::ReadFile(a);
    const struct {
        QStringList args;
        std::string error;
    } cases[] = {
        {{"chapters", Q(a)}, "give one of --list"},
        {{"chapters", Q(a), "--at", "0.5", "--titles", "a|b|c"}, "--titles gives 3 titles for 2 chapters"},
        {{"chapters", Q(a), "--at", "5"}, "is not inside the audio"},
        {{"chapters", Q(a), "--list", "--clear"}, "give one of"},
        {{"join", Q(a), "--output", Q(dir.file("j.mp3"))}, "give at least two files"},
        {{"join", Q(a), Q(dir.file("b.mp3")), "--output", Q(dir.file("j.mp3"))}, "b.mp3 has 48000 Hz"},
        {{"join", Q(a), Q(a), "--output", Q(a)}, "is one of the files to join"},
    };
    for (const auto& c : cases) {
        const CommandRun run = Trimbel(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    EXPECT_EQ(testfiles::ReadFile(a), before);
    EXPECT_FALSE(fs::exists(dir.file("j.mp3")));
}

}  // namespace
