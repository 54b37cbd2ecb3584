// `trimbel edit` run as a program: ranges in, the edited file and its JSON out.
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonObject>

#include "programrun.h"
#include "support/testfiles.h"

namespace {

using testfiles::ShellQuote;

ProgramRun Edit(const QStringList& args) { return Trimbel(QStringList{"edit"} + args); }

class EditCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testfiles::TempDir;
        // 6 s of 44.1 kHz stereo with a title tag.
        ASSERT_TRUE(
            EncodeSong(dir_->file("song.mp3"), "6 sine 200:2000 pinknoise vol 0.4", "-b 128 --tt 'Edited song'"));
    }
    static void TearDownTestSuite() { delete dir_; }
    QString Source() const { return Q(dir_->file("song.mp3")); }
    static testfiles::TempDir* dir_;
    testfiles::TempDir out;
};
testfiles::TempDir* EditCommand::dir_ = nullptr;

TEST_F(EditCommand, DeletesRangesAndDescribesTheResult) {
    const QString target = Q(out.file("edited.mp3"));
    const ProgramRun run = Edit({Source(), "--delete", "1-2", "--delete", "0:03.5-0:04.25", "--output", target, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject root = Json(run.out);
    EXPECT_EQ(root.value("output").toString(), target);
    const QJsonArray segments = root.value("segments").toArray();
    const QJsonArray joins = root.value("joins").toArray();
    ASSERT_EQ(segments.size(), 3);
    ASSERT_EQ(joins.size(), 2);
    // The kept ranges lie within half a frame of the ones asked for, and follow one another.
    const double asked[3][2] = {{0, 44100}, {88200, 154350}, {187425, 264600}};
    double output = 0;
    for (int i = 0; i < 3; ++i) {
        const QJsonObject s = segments[i].toObject();
        EXPECT_NEAR(s.value("source_start").toDouble(), asked[i][0], 576) << i;
        EXPECT_NEAR(s.value("source_end").toDouble(), asked[i][1], 576) << i;
        EXPECT_EQ(s.value("output_start").toDouble(), output);
        if (i > 0) {
            const QJsonObject j = joins[i - 1].toObject();
            EXPECT_EQ(j.value("output_sample").toDouble(), output);
            EXPECT_EQ(j.value("mode").toString(), "lossless");
            EXPECT_EQ(j.value("reencoded_frames").toInt(), 0);
        }
        output += s.value("source_end").toDouble() - s.value("source_start").toDouble();
    }
    EXPECT_EQ(root.value("samples").toDouble(), output);
    // ffmpeg decodes exactly that many samples, and reads the source's title.
    const std::string decoded = testfiles::CommandOutput("ffmpeg -v error -nostdin -i " + ShellQuote(target.toStdString()) +
                                                         " -f s16le - | wc -c");
    EXPECT_EQ(std::atof(decoded.c_str()), output * 4);
    const std::string title = testfiles::CommandOutput("ffprobe -v error -show_entries format_tags=title -of csv=p=0 " +
                                                       ShellQuote(target.toStdString()));
    EXPECT_EQ(title, "Edited song\n");
}

// Smooth joins: each on the sample asked, the removed length rounded to whole frames as the JSON
// says, and the decoded length that JSON's; --overwrite replaces the file there.
TEST_F(EditCommand, SmoothJoinsGiveTheirRoundingInTheJson) {
    const QString target = Q(out.file("smooth.mp3"));
    testfiles::WriteFile(target.toStdString(), testfiles::FromString("replaced"));
    const ProgramRun run = Edit({Source(), "--delete", "1-2", "--delete", "3.5-4.25", "--smooth-joins", "--output", target,
                                 "--overwrite", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject root = Json(run.out);
    const QJsonArray joins = root.value("joins").toArray();
    ASSERT_EQ(joins.size(), 2);
    double removed = 0;
    const double asked[2][2] = {{44100, 44100}, {154350, 33075}};  // where, and how many samples
    for (int i = 0; i < 2; ++i) {
        const QJsonObject j = joins[i].toObject();
        EXPECT_EQ(j.value("mode").toString(), "smooth");
        EXPECT_EQ(j.value("output_sample").toDouble(), asked[i][0] - removed);
        EXPECT_EQ(j.value("requested_removed_samples").toDouble(), asked[i][1]);
        EXPECT_EQ(std::fmod(j.value("removed_samples").toDouble(), 1152), 0);
        EXPECT_NEAR(j.value("removed_samples").toDouble(), asked[i][1], 576);
        removed += j.value("removed_samples").toDouble();
    }
    const std::string decoded = testfiles::CommandOutput("mpg123 -q -s " + ShellQuote(target.toStdString()) + " | wc -c");
    EXPECT_EQ(std::atof(decoded.c_str()), root.value("samples").toDouble() * 4);
    EXPECT_EQ(root.value("samples").toDouble(), 264600 - removed);
}

}  // namespace
