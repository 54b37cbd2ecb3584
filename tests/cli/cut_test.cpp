// `trimbel cut` run as a program: the window's marks, checks and clip saving without a window.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>

#include "support/testfiles.h"

namespace {

using testfiles::Bytes;

struct CutRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

CutRun Cut(const QStringList& args, const QString& folder = QString()) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(TRIMBEL_BINARY, QStringList{"cut"} + args);
    CutRun run;
    if (!process.waitForFinished(60000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().trimmed().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

Bytes PatternBytes(size_t size) {
    std::mt19937 rng(99);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

// The clip's audio: the clip itself, or what follows the ID3v2 tag that the tag hand-over put
// in front of it.
Bytes AudioOf(const Bytes& clip, size_t audioSize) {
    if (clip.size() < audioSize) return clip;
    return Bytes(clip.end() - static_cast<long>(audioSize), clip.end());
}

class CutCommand : public ::testing::Test {
protected:
    CutCommand() {
        source = dir.file("song.mp3");
        // Frames first, so the file holds MPEG audio; the byte ranges are compared as bytes.
        bytes = testfiles::Concat({testfiles::SilentFrames(380), PatternBytes(160000 - 380 * 417)});
        testfiles::WriteFile(source, bytes);
    }
    QString Q(const std::string& s) const { return QString::fromStdString(s); }
    testfiles::TempDir dir;
    std::string source;
    Bytes bytes;
};

TEST_F(CutCommand, CutsTheRangeTheWindowWouldCut) {
    std::string clip = dir.file("clip.mp3");
    CutRun run = Cut({Q(source), "--start", "2.5", "--end", "4.75", "--duration", "10", "--output", Q(clip)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, clip);
    // Rate 16000 bytes/s: byte position 40000, 36000 bytes.
    Bytes written = testfiles::ReadFile(clip);
    ASSERT_GE(written.size(), 36000u);
    EXPECT_EQ(AudioOf(written, 36000), Bytes(bytes.begin() + 39999, bytes.begin() + 39999 + 36000));
    if (written.size() > 36000) {
        EXPECT_EQ(std::string(written.begin(), written.begin() + 3), "ID3");
    }
    EXPECT_EQ(testfiles::ReadFile(source), bytes);
}

TEST_F(CutCommand, AStartAtZeroCopiesFromByteHundredAndAnEndPastTheFileStopsAtItsEnd) {
    std::string clip = dir.file("all.mp3");
    CutRun run = Cut({Q(source), "--start", "0", "--end", "30", "--duration", "10", "--output", Q(clip)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Bytes written = testfiles::ReadFile(clip);
    EXPECT_EQ(AudioOf(written, bytes.size() - 99), Bytes(bytes.begin() + 99, bytes.end()));
}

TEST_F(CutCommand, RefusesLikeSaveSelectionWithItsMessages) {
    std::string clip = dir.file("never.mp3");
    CutRun run = Cut({Q(source), "--start", "5", "--end", "3", "--duration", "10", "--output", Q(clip)});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("End time is shorter than Start time.This selection is invalid"), std::string::npos);
    run = Cut({Q(source), "--start", "2", "--end", "3", "--duration", "10", "--output", Q(clip)});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("Please select a greater length.This small value is of no use."), std::string::npos);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(std::filesystem::exists(clip));

    run = Cut({Q(source), "--start", "2", "--end", "3.01", "--duration", "10", "--output", Q(clip)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(clip));
}

TEST_F(CutCommand, NeverWritesOverItsSource) {
    CutRun run = Cut({Q(source), "--start", "1", "--end", "5", "--duration", "10", "--output", Q(source), "--overwrite"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("cut from"), std::string::npos) << run.err;
    EXPECT_EQ(testfiles::ReadFile(source), bytes);
}

TEST_F(CutCommand, AnExistingFileIsReplacedOnlyWithOverwrite) {
    const std::string mp3 = dir.file("frames.mp3");
    testfiles::WriteFile(mp3, testfiles::SilentFrames(500));
    const std::string old = dir.file("old.mp3");
    std::filesystem::create_symlink(old, dir.file("link.mp3"));
    for (const QStringList& how : {QStringList{Q(source), "--duration", "10"}, QStringList{Q(mp3), "--frames"}}) {
        for (const std::string& output : {old, dir.file("link.mp3")}) {
            SCOPED_TRACE(how.join(' ').toStdString() + " > " + output);
            testfiles::WriteFile(old, testfiles::FromString("keep me"));
            const QStringList args = how + QStringList{"--start", "1", "--end", "5", "--output", Q(output)};
            const CutRun refused = Cut(args);
            EXPECT_EQ(refused.exitCode, 2);
            EXPECT_NE(refused.err.find("exists already"), std::string::npos) << refused.err;
            EXPECT_NE(refused.err.find("--overwrite"), std::string::npos) << refused.err;
            EXPECT_EQ(testfiles::ReadFile(old), testfiles::FromString("keep me"));
            const CutRun replaced = Cut(args + QStringList{"--overwrite"});
            EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
            EXPECT_GT(std::filesystem::file_size(output), 1000u);
        }
    }
}

TEST_F(CutCommand, RefusesBadArgumentsAndMissingFiles) {
    EXPECT_EQ(Cut({Q(source), "--start", "x", "--end", "5"}).exitCode, 2);
    EXPECT_EQ(Cut({Q(source), "--end", "5"}).exitCode, 2);
    EXPECT_EQ(Cut({Q(dir.file("missing.mp3")), "--start", "1", "--end", "5"}).exitCode, 2);
}

TEST_F(CutCommand, TimesFramesItselfAndNamesTheClipInTheCurrentFolder) {
    std::string mp3 = dir.file("a.b.mp3");
    Bytes frames = testfiles::SilentFrames(500);  // 13.06 s, 208500 bytes
    testfiles::WriteFile(mp3, frames);
    std::filesystem::create_directory(dir.file("out"));
    CutRun run = Cut({Q(mp3), "--start", "2", "--end", "6"}, Q(dir.file("out")));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::filesystem::path clip(run.out);
    EXPECT_EQ(clip.parent_path(), std::filesystem::path(dir.file("out")));
    EXPECT_EQ(clip.filename().string().rfind("Trimbel_ab", 0), 0u) << clip;
    EXPECT_EQ(clip.extension(), ".mp3");
    // 208500 bytes over 500 * 1152 / 44100 s: 15963.28125 bytes/s, so the marks are 31926.5625
    // and 95779.6875: 63853 bytes from byte position 31927.
    Bytes written = testfiles::ReadFile(clip.string());
    EXPECT_EQ(AudioOf(written, 63853), Bytes(frames.begin() + 31926, frames.begin() + 31926 + 63853));
}

TEST_F(CutCommand, FramesCutsWholeFramesThatDecodeCleanlyAtTheMarkedLength) {
    const std::string wav = dir.file("tone.wav");
    const std::string mp3 = dir.file("tune.mp3");
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 '" + wav +
                           "' synth 9 pluck 220 pluck 330 tremolo 3 40 >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("lame --quiet -V 4 '" + wav + "' '" + mp3 + "'").c_str()), 0);
    const std::string clip = dir.file("clip.mp3");
    CutRun run = Cut({Q(mp3), "--start", "2", "--end", "6.5", "--frames", "--output", Q(clip)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("Scanning frames"), std::string::npos) << "no progress line when stderr is a pipe";

    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", Q(clip), "-f", "null", "-"});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000));
    EXPECT_EQ(ffmpeg.exitCode(), 0);
    EXPECT_EQ(ffmpeg.readAll().toStdString(), "");
    QProcess ffprobe;
    // The playing time is the timeline's end less its start, where the declared delay is skipped.
    ffprobe.start("ffprobe", {"-v", "error", "-show_entries", "format=start_time,duration", "-of", "csv=p=0", Q(clip)});
    ASSERT_TRUE(ffprobe.waitForFinished(60000));
    const QStringList times = QString(ffprobe.readAllStandardOutput()).trimmed().split(',');
    ASSERT_EQ(times.size(), 2);
    EXPECT_NEAR(times[1].toDouble() - times[0].toDouble(), 4.5, 1152.0 / 44100);

    // Without --frames the same marks give a byte range, which is not frame-aligned.
    const std::string classic = dir.file("classic.mp3");
    ASSERT_EQ(Cut({Q(mp3), "--start", "2", "--end", "6.5", "--output", Q(classic)}).exitCode, 0);
    EXPECT_NE(testfiles::ReadFile(classic).size(), testfiles::ReadFile(clip).size());
}

}  // namespace
