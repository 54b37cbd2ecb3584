// `trimbel gain` run as a program: a user's journey through gain, JSON report, info and undo on
// real encoder output, and the refusals the command line adds (exit 2, files as they were).
#include <cctype>
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/testfiles.h"

using testfiles::Bytes;
using testfiles::ShellQuote;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

Outcome Trimbel(const std::string& args) {
    Outcome r;
    r.out = testfiles::CommandOutput(ShellQuote(TRIMBEL_BINARY) + " " + args + " 2>&1", &r.status);
    return r;
}

QJsonObject Json(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

class GainCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testfiles::HaveTools("sox lame")) GTEST_SKIP() << "sox or lame missing";
        for (const std::string name : {"a", "b"}) {
            const std::string wav = Q(dir.file(name + ".wav")), mp3 = dir.file(name + ".mp3");
            int status = -1;
            testfiles::CommandOutput("sox -n -r 44100 -c 2 " + wav + " synth 4 pinknoise gain -25 && lame --quiet -b 128 " +
                                         wav + " " + Q(mp3),
                                     &status);
            ASSERT_EQ(status, 0);
            files.push_back(mp3);
        }
    }
    static std::string Q(const std::string& path) { return ShellQuote(path); }
    testfiles::TempDir dir;
    std::vector<std::string> files;
};

}  // namespace

TEST_F(GainCommand, GainReportInfoAndUndoJourney) {
    const Bytes a = testfiles::ReadFile(files[0]), b = testfiles::ReadFile(files[1]);
    Outcome run = Trimbel("gain --db 3 --json -j 2 " + Q(files[0]) + " " + Q(files[1]));
    ASSERT_EQ(run.status, 0) << run.out;
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
    run = Trimbel("info --json " + Q(files[0]));
    EXPECT_EQ(Json(run.out).value("level").toObject().value("mp3gain_undo").toString(), "-002,-002,N") << run.out;

    run = Trimbel("gain --undo " + Q(files[0]) + " " + Q(files[1]));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(testfiles::ReadFile(files[0]), a);
    EXPECT_EQ(testfiles::ReadFile(files[1]), b);

    // In steps, the other way, into a new file: the source stays.
    const std::string out = dir.file("quiet.mp3");
    run = Trimbel("gain --steps -3 --output " + Q(out) + " " + Q(files[0]));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("-3 steps (-4.52 dB)"), std::string::npos) << run.out;
    EXPECT_EQ(testfiles::ReadFile(files[0]), a);
    EXPECT_TRUE(std::filesystem::exists(out));

    // Normalising takes its target after the option.
    run = Trimbel("gain --normalize -16 --json " + Q(files[1]));
    ASSERT_EQ(run.status, 0) << run.out;
    const QJsonObject r = Json(run.out).value("files").toArray().first().toObject();
    EXPECT_NEAR(r.value("loudness_after_lufs").toDouble(), -16.0, 0.76);
    EXPECT_FALSE(r.value("peak_limited").toBool());
}

// The frame walk's own refusals (free format among them) are its tests'; here one shows the exit.
TEST_F(GainCommand, RefusesWhatItCannotDoAndLeavesFilesAsTheyWere) {
    const std::string noise = dir.file("noise.mp3"), existing = dir.file("existing.mp3");
    testfiles::WriteFile(noise, Bytes(5000, 0x55));
    testfiles::WriteFile(existing, {1, 2, 3});
    const std::string a = Q(files[0]);
    const std::pair<std::string, std::string> cases[] = {
        {"gain " + a, "give one of --db"},
        {"gain --db 3 --steps 2 " + a, "give one of --db"},
        {"gain --normalize --range 1-2 " + a, "--range goes with --db or --steps"},
        {"gain --db 3 --range 2-1 " + a, "--range needs A-B"},
        {"gain --db 3 --output " + a + " " + a, "is the file itself"},
        {"gain --db 3 --output " + Q(existing) + " " + a, "exists (--overwrite replaces it)"},
        {"gain --undo " + a, "has no undo record"},
        {"gain --db 3 " + Q(noise), "No MPEG audio frames"},
    };
    const Bytes before = testfiles::ReadFile(files[0]);
    for (const auto& [args, says] : cases) {
        const Outcome run = Trimbel(args);
        EXPECT_EQ(run.status, 2) << args << "\n" << run.out;
        EXPECT_NE(run.out.find(says), std::string::npos) << args << "\n" << run.out;
    }
    EXPECT_EQ(testfiles::ReadFile(files[0]), before);
    EXPECT_EQ(testfiles::ReadFile(existing), (Bytes{1, 2, 3}));
    // The help wraps its lines: read it as running text.
    std::string help = Trimbel("gain --help").out, text;
    for (char c : help)
        if (!(std::isspace(static_cast<unsigned char>(c)) && !text.empty() && text.back() == ' '))
            text += std::isspace(static_cast<unsigned char>(c)) ? ' ' : c;
    EXPECT_NE(text.find("1.5 dB steps of one granule (13 ms)"), std::string::npos) << help;
}
