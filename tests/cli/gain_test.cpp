// `trimbel gain` run as a program: a user's journey through gain, JSON report, info and undo on
// real encoder output.
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonObject>

#include "programrun.h"
#include "support/testfiles.h"

using testfiles::Bytes;

TEST(GainCommand, GainReportInfoAndUndoJourney) {
    testfiles::TempDir dir;
    const QString a = Q(dir.file("a.mp3")), b = Q(dir.file("b.mp3"));
    for (const QString& file : {a, b}) ASSERT_TRUE(EncodeSong(file.toStdString(), "4 pinknoise gain -25"));
    const Bytes before = testfiles::ReadFile(a.toStdString()), beforeB = testfiles::ReadFile(b.toStdString());
    ProgramRun run = Trimbel({"gain", "--db", "3", "--json", "-j", "2", a, b});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray reports = Json(run.out).value("files").toArray();
    ASSERT_EQ(reports.size(), 2) << run.out;
    for (const auto& value : reports) {
        const QJsonObject r = value.toObject();
        EXPECT_TRUE(r.value("ok").toBool());
        EXPECT_EQ(r.value("steps_applied").toInt(), 2);
        EXPECT_DOUBLE_EQ(r.value("db_applied").toDouble(), 3.01);
        EXPECT_EQ(r.value("clamped_granules").toInt(), 0);
        EXPECT_NEAR(r.value("loudness_after_lufs").toDouble() - r.value("loudness_before_lufs").toDouble(), 3.01, 0.01);
        EXPECT_NEAR(r.value("peak_after_dbfs").toDouble() - r.value("peak_before_dbfs").toDouble(), 3.01, 0.01);
        EXPECT_EQ(r.value("undo_record").toString(), "-002,-002,N");
        EXPECT_FALSE(r.value("would_clip").toBool());
    }
    run = Trimbel({"info", "--json", a});
    EXPECT_EQ(Json(run.out).value("level").toObject().value("mp3gain_undo").toString(), "-002,-002,N") << run.out;

    run = Trimbel({"gain", "--undo", a, b});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(testfiles::ReadFile(a.toStdString()), before);
    EXPECT_EQ(testfiles::ReadFile(b.toStdString()), beforeB);

    // In steps, the other way, into a new file: the source stays.
    const std::string out = dir.file("quiet.mp3");
    run = Trimbel({"gain", "--steps", "-3", "--output", Q(out), a});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("-3 steps (-4.52 dB)"), std::string::npos) << run.out;
    EXPECT_EQ(testfiles::ReadFile(a.toStdString()), before);
    EXPECT_TRUE(std::filesystem::exists(out));

    // Normalising takes its target after the option.
    run = Trimbel({"gain", "--normalize", "-16", "--json", b});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject r = Json(run.out).value("files").toArray().first().toObject();
    EXPECT_NEAR(r.value("loudness_after_lufs").toDouble(), -16.0, 0.76);
    EXPECT_FALSE(r.value("peak_limited").toBool());
}
