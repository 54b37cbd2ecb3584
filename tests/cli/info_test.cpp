// Runs the built program: `trimbel info` on files made from bytes.
#include <algorithm>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

#include "support/testfiles.h"

namespace {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProcessResult Trimbel(const QStringList& arguments) {
    QProcess process;
    process.start(TRIMBEL_BINARY, arguments);
    ProcessResult run;
    if (!process.waitForFinished(60000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

TEST(InfoTest, JsonHoldsTheAnalysis) {
    testfiles::TempDir dir;
    const std::string path = dir.file("song.mp3");
    testfiles::WriteFile(path, testfiles::Concat({testfiles::Bytes(10, 0), testfiles::SilentFrames(20),
                                                   testfiles::Id3v1Tag("Title", "Artist", "", "1999", "", 17)}));
    const ProcessResult run = Trimbel({"info", QString::fromStdString(path), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject root = QJsonDocument::fromJson(run.out).object();
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

    const ProcessResult text = Trimbel({"info", QString::fromStdString(path)});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.contains("  header_start: 11\n")) << text.out.constData();
    EXPECT_TRUE(text.out.contains("    genre_text: \"Rock\"\n")) << text.out.constData();
}

TEST(InfoTest, UnreadableFilesFailWithOneLine) {
    testfiles::TempDir dir;
    for (const std::string& path : {dir.file("missing.mp3"), dir.path().string()}) {
        const ProcessResult run = Trimbel({"info", QString::fromStdString(path)});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.constData();
        EXPECT_TRUE(run.err.contains(QByteArray::fromStdString(path)));
    }
    // Too short to analyse, but readable: reported, not an error.
    testfiles::WriteFile(dir.file("short.mp3"), testfiles::Bytes(128, 0xFF));
    const ProcessResult shortRun = Trimbel({"info", QString::fromStdString(dir.file("short.mp3")), "--json"});
    EXPECT_EQ(shortRun.exitCode, 0);
    const QJsonObject a = QJsonDocument::fromJson(shortRun.out).object().value("analysis").toObject();
    EXPECT_FALSE(a.value("loaded").toBool(true));
    EXPECT_EQ(a.value("size").toInt(), 128);

    const ProcessResult help = Trimbel({"info", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--json"));
    EXPECT_EQ(Trimbel({"info"}).exitCode, 2);
}

TEST(InfoTest, InfoCutAndSplitSayAFileWithoutChainedFramesHoldsNoMpegAudio) {
    testfiles::TempDir dir;
    testfiles::Bytes noise(64000);
    uint32_t seed = 3;
    for (auto& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    // A lone frame header early on, as in a WAV whose samples happen to hold one.
    const testfiles::Bytes frame = testfiles::SilentFrame();
    std::copy_n(frame.begin(), 4, noise.begin() + 200);
    const std::string wav = dir.file("wave.mp3"), random = dir.file("random.mp3"), good = dir.file("good.mp3");
    testfiles::WriteFile(wav, testfiles::Concat({testfiles::FromString("RIFF"), testfiles::Bytes(4, 0x10),
                                                 testfiles::FromString("WAVEfmt "), noise}));
    testfiles::WriteFile(random, noise);
    testfiles::WriteFile(good, testfiles::SilentFrames(400));
    const QString kSaid = "This file has no MPEG audio to cut.";
    for (const std::string& file : {wav, random, good}) {
        const QString f = QString::fromStdString(file);
        const bool mpeg = file == good;
        const ProcessResult info = Trimbel({"info", f, "--json"});
        EXPECT_EQ(info.exitCode, 0) << file;
        EXPECT_EQ(QJsonDocument::fromJson(info.out).object().value("mpeg_audio").toBool(!mpeg), mpeg) << file;
        const ProcessResult cut = Trimbel({"cut", f, "--start", "1", "--end", "3", "--duration", "9",
                                           "--output", QString::fromStdString(dir.file("clip.mp3"))});
        const ProcessResult split = Trimbel({"split", f, "--at", "4", "--output-dir", QString::fromStdString(dir.path().string())});
        for (const ProcessResult* run : {&info, &cut, &split}) {
            EXPECT_EQ(QString::fromUtf8(run->err).contains(kSaid), !mpeg) << file << ": " << run->err.constData();
        }
        EXPECT_EQ(cut.exitCode, mpeg ? 0 : 2) << file << cut.err.constData();
        EXPECT_EQ(split.exitCode, mpeg ? 0 : 2) << file << split.err.constData();
    }
}

}  // namespace
