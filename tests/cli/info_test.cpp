// Runs the built program: `trimbel info` on files made from bytes.
#include <QJsonObject>
#include <gtest/gtest.h>

#include "programrun.h"
#include "support/testfiles.h"

namespace {

TEST(InfoTest, JsonHoldsTheAnalysis) {
    testfiles::TempDir dir;
    const std::string path = dir.file("song.mp3");
    testfiles::WriteFile(path, testfiles::Concat({testfiles::Bytes(10, 0), testfiles::SilentFrames(20),
                                                   testfiles::Id3v1Tag("Title", "Artist", "", "1999", "", 17)}));
    const ProgramRun run = Trimbel({"info", Q(path), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject root = Json(run.out);
    EXPECT_EQ(root.value("file").toString().toStdString(), path);
    const QJsonObject a = root.value("analysis").toObject();
    const QStringList keys = {"loaded", "size", "header_start", "header_bits", "mpeg_version", "layer",
                              "bitrate", "frequency", "mode", "copyright", "original", "emphasis",
                              "frame_size", "frame_count", "length", "vbr", "has_id3v1", "v1"};
    QStringList sortedKeys = keys;
    sortedKeys.sort();
    EXPECT_EQ(a.keys(), sortedKeys);
    const int size = 10 + 20 * 417 + 128;
    EXPECT_TRUE(a.value("loaded").toBool());
    EXPECT_EQ(a.value("size").toInt(), size);
    EXPECT_EQ(a.value("header_start").toInt(), 11);
    EXPECT_EQ(a.value("header_bits").toString(), "11111111111110111001000001000100");
    EXPECT_EQ(a.value("bitrate").toInt(), 128);
    EXPECT_EQ(a.value("mode").toString(), "joint stereo");
    EXPECT_EQ(a.value("frame_size").toInt(), 418);
    EXPECT_EQ(a.value("frame_count").toInt(), size - 11 - 4 - 128);
    EXPECT_EQ(a.value("length").toInt(), 1);  // 8335 bytes at 16000 bytes a second
    EXPECT_TRUE(a.value("has_id3v1").toBool());
    EXPECT_TRUE(a.value("original").toBool());
    const QJsonObject v1 = a.value("v1").toObject();
    EXPECT_EQ(v1.value("title").toString(), QString("Title") + QString(25, QChar(0)));
    EXPECT_EQ(v1.value("year").toString(), "1999");
    EXPECT_EQ(v1.value("genre").toInt(), 17);
    EXPECT_EQ(v1.value("genre_text").toString(), "Rock");

    const ProgramRun text = Trimbel({"info", Q(path)});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("  header_start: 11\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("    genre_text: \"Rock\"\n"), std::string::npos) << text.out;
}

// A file too short to analyse is reported, not an error; one without chained frames is said to
// hold no MPEG audio (which cut and split then refuse).
TEST(InfoTest, ShortFilesAndFilesWithoutMpegAudioAreReported) {
    testfiles::TempDir dir;
    const std::string wav = dir.file("wave.mp3"), random = dir.file("random.mp3"), good = dir.file("good.mp3");
    testfiles::WriteFile(wav, NoMpegAudio(true));
    testfiles::WriteFile(random, NoMpegAudio(false));
    testfiles::WriteFile(good, testfiles::SilentFrames(400));
    for (const std::string& file : {wav, random, good}) {
        const bool mpeg = file == good;
        const ProgramRun info = Trimbel({"info", Q(file), "--json"});
        EXPECT_EQ(info.exitCode, 0) << file;
        EXPECT_EQ(Json(info.out).value("mpeg_audio").toBool(!mpeg), mpeg) << file;
        EXPECT_EQ(info.Says("This file has no MPEG audio to cut."), !mpeg) << file << ": " << info.err;
    }
    testfiles::WriteFile(dir.file("short.mp3"), testfiles::Bytes(128, 0xFF));
    const ProgramRun shortRun = Trimbel({"info", Q(dir.file("short.mp3")), "--json"});
    EXPECT_EQ(shortRun.exitCode, 0);
    const QJsonObject a = Json(shortRun.out).value("analysis").toObject();
    EXPECT_FALSE(a.value("loaded").toBool(true));
    EXPECT_EQ(a.value("size").toInt(), 128);
}

}  // namespace
