// `trimbel edit` run as a program: ranges in, the edited file and its JSON out, refusals.
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/testfiles.h"

namespace {

using testfiles::ShellQuote;

struct EditRun {
    int exitCode = -1;
    QByteArray out;
    std::string err;
};

EditRun Edit(const QStringList& args) {
    QProcess process;
    process.start(TRIMBEL_BINARY, QStringList{"edit"} + args);
    EditRun run;
    if (!process.waitForFinished(60000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

class EditCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testfiles::TempDir;
        const std::string wav = dir_->file("song.wav");
        // 6 s of 44.1 kHz stereo with a title tag.
        ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + ShellQuote(wav) +
                               " synth 6 sine 200:2000 pinknoise vol 0.4 && lame --quiet -b 128 --tt 'Edited song' " +
                               ShellQuote(wav) + " " + ShellQuote(dir_->file("song.mp3")))
                                  .c_str()),
                  0);
    }
    static void TearDownTestSuite() { delete dir_; }
    QString Q(const std::string& s) const { return QString::fromStdString(s); }
    QString Source() const { return Q(dir_->file("song.mp3")); }
    static testfiles::TempDir* dir_;
    testfiles::TempDir out;
};
testfiles::TempDir* EditCommand::dir_ = nullptr;

TEST_F(EditCommand, DeletesRangesAndDescribesTheResult) {
    const QString target = Q(out.file("edited.mp3"));
    const EditRun run = Edit({Source(), "--delete", "1-2", "--delete", "0:03.5-0:04.25", "--output", target, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject root = QJsonDocument::fromJson(run.out).object();
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
// says, and the decoded length that JSON's.
TEST_F(EditCommand, SmoothJoinsGiveTheirRoundingInTheJson) {
    const QString target = Q(out.file("smooth.mp3"));
    const EditRun run = Edit({Source(), "--delete", "1-2", "--delete", "3.5-4.25", "--smooth-joins", "--output", target, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject root = QJsonDocument::fromJson(run.out).object();
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

TEST_F(EditCommand, RefusesBadRangesAndOutputsWithExit2) {
    testfiles::WriteFile(out.file("exists.mp3"), testfiles::FromString("x"));
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"--delete", "1-2", "--delete", "1.5-3"}, "the ranges 1-2 and 1.5-3 overlap"},
        {{"--delete", "2-2"}, "the range 2-2 is empty"},
        {{"--delete", "3-1"}, "the range 3-1 is empty"},
        {{"--delete", "5-7"}, "the range 5-7 lies outside the audio (0-6.000)"},
        {{"--delete", "1:xx-2"}, "a range needs START-END"},
        {{"--delete", "0-6"}, "nothing of the audio would be left"},
        {{"--keep", "1-1.004"}, "Nothing is left: every kept range is shorter than a frame"},
        {{"--delete", "1-2", "--keep", "3-4"}, "give --delete or --keep ranges"},
        {{"--delete", "1-2", "--crossfade", "10"}, "--crossfade needs --smooth-joins"},
        {{"--delete", "1-2", "--smooth-joins", "--crossfade", "500"}, "--crossfade takes whole milliseconds from 0 to 100"},
        {{"--delete", "1-2", "--output", "@source"}, "the output is the file being edited"},
        {{"--delete", "1-2", "--output", "@exists"}, "exists (use --overwrite to replace it)"},
    };
    for (const auto& c : cases) {
        QStringList args{Source()};
        bool output = false;
        for (const QString& a : c.args) {
            output = output || a == "--output";
            args << (a == "@source" ? Source() : a == "@exists" ? Q(out.file("exists.mp3")) : a);
        }
        if (!output) args << "--output" << Q(out.file("never.mp3"));
        const EditRun run = Edit(args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out.file("never.mp3")));
    }
    EXPECT_EQ(testfiles::ReadFile(out.file("exists.mp3")), testfiles::FromString("x"));
    EXPECT_EQ(Edit({Source(), "--delete", "1-2", "--output", Q(out.file("exists.mp3")), "--overwrite"}).exitCode, 0);
}

}  // namespace
