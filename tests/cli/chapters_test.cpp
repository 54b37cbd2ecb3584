// `trimbel chapters`, `info`, `split --chapters` and `join` run as programs: the journey of a
// podcaster who marks chapters, checks them, splits at them and joins the parts back.
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonObject>

#include "programrun.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

TEST(ChaptersCommand, MarkListSplitAndJoinBack) {
    testfiles::TempDir dir;
    const std::string show = dir.file("show.mp3");
    testfiles::WriteFile(show, testfiles::SilentFrames(383));  // 10.005 s of decoded audio

    ProgramRun run = Trimbel({"chapters", Q(show), "--at", "2.5,0:06.25", "--titles", "Hello|News|Bye", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QJsonArray list = Json(run.out).value("chapters").toArray();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[1].toObject().value("start_ms").toInt(), 2500);
    EXPECT_EQ(list[2].toObject().value("end_ms").toInt(), 9993);
    EXPECT_EQ(list[2].toObject().value("title").toString(), "Bye");
    // The times and titles, as text.
    run = Trimbel({"chapters", Q(show), "--list"});
    EXPECT_EQ(run.out, " 1  0:00.000 - 0:02.500  Hello\n 2  0:02.500 - 0:06.250  News\n 3  0:06.250 - 0:09.993  Bye\n");
    run = Trimbel({"info", Q(show)});
    const std::string first = "chapters:\n  1:\n    title: \"Hello\"\n    start_ms: 0\n    end_ms: 2500\n";
    EXPECT_NE(run.out.find(first), std::string::npos) << run.out;

    // Split at the chapters, then join the parts back into the show's frames.
    fs::create_directory(dir.file("parts"));
    run = Trimbel({"split", Q(show), "--chapters", "--output-dir", Q(dir.file("parts")), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray parts = Json(run.out).value("parts").toArray();
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[1].toObject().value("title").toString(), "News");
    QStringList join = {"join"};
    for (const auto& p : parts) join << p.toObject().value("path").toString();
    const std::string joined = dir.file("joined.mp3");
    run = Trimbel(join + QStringList{"--output", Q(joined), "--chapters", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject root = Json(run.out);
    EXPECT_EQ(root.value("frames").toInt(), 383);
    EXPECT_EQ(root.value("samples").toInt(), 383 * 1152 - 529);
    const QJsonArray inputs = root.value("inputs").toArray();
    ASSERT_EQ(inputs.size(), 3);
    EXPECT_EQ(inputs[2].toObject().value("title").toString(), "Bye");
    run = Trimbel({"chapters", Q(joined), "--json"});
    list = Json(run.out).value("chapters").toArray();
    ASSERT_EQ(list.size(), 3);
    // The parts start at frame starts: within a frame of the chapters they were cut at.
    EXPECT_NEAR(list[1].toObject().value("start_ms").toInt(), 2500, 27);
    EXPECT_NEAR(list[2].toObject().value("start_ms").toInt(), 6250, 27);

    run = Trimbel({"chapters", Q(show), "--clear"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "No chapters\n");
}

}  // namespace
