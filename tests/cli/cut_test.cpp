// `trimbel cut` run as a program: the window's marks, checks and clip saving without a window.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "programrun.h"
#include "support/testfiles.h"

namespace {

using testfiles::Bytes;

// `trimbel cut` with these arguments, in `folder` when given.
ProgramRun Cut(const QStringList& args, const QString& folder = QString()) {
    return Trimbel(QStringList{"cut"} + args, folder);
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
    testfiles::TempDir dir;
    std::string source;
    Bytes bytes;
};

// The bytes between the marks, as the window's Save Selection copies them: the rate is the
// file's size over its duration (given, or timed from the frames), a start at 0 copies from byte
// 100, an end past the file stops at its end, and a clip without --output is named in the
// current folder.
TEST_F(CutCommand, CopiesTheBytesBetweenTheMarks) {
    const Bytes frames = testfiles::SilentFrames(500);  // 13.06 s, 208500 bytes
    testfiles::WriteFile(dir.file("a.b.mp3"), frames);
    std::filesystem::create_directory(dir.file("out"));
    const struct {
        QStringList args;
        const Bytes& file;
        size_t from, size;
    } cases[] = {
        // 16000 bytes/s: byte position 40000, 36000 bytes.
        {{Q(source), "--start", "2.5", "--end", "4.75", "--duration", "10", "--output", Q(dir.file("clip.mp3"))},
         bytes, 39999, 36000},
        {{Q(source), "--start", "0", "--end", "30", "--duration", "10", "--output", Q(dir.file("all.mp3"))},
         bytes, 99, bytes.size() - 99},
        // 208500 bytes over 500 * 1152 / 44100 s: 15963.28125 bytes/s, so the marks are 31926.5625
        // and 95779.6875: 63853 bytes from byte position 31927.
        {{Q(dir.file("a.b.mp3")), "--start", "2", "--end", "6"}, frames, 31926, 63853},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProgramRun run = Cut(c.args, Q(dir.file("out")));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::filesystem::path clip(run.out.substr(0, run.out.find('\n')));
        const Bytes written = testfiles::ReadFile(clip.string());
        EXPECT_EQ(AudioOf(written, c.size), Bytes(c.file.begin() + c.from, c.file.begin() + c.from + c.size));
        if (written.size() > c.size) {
            EXPECT_EQ(std::string(written.begin(), written.begin() + 3), "ID3");
        }
        if (!c.args.contains("--output")) {
            EXPECT_EQ(clip.parent_path(), std::filesystem::path(dir.file("out")));
            EXPECT_EQ(clip.filename().string().rfind("Trimbel_ab", 0), 0u) << clip;
            EXPECT_EQ(clip.extension(), ".mp3");
        }
    }
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
            const ProgramRun refused = Cut(args);
            EXPECT_EQ(refused.exitCode, 2);
            EXPECT_TRUE(refused.Says("exists already; nothing was written (give --overwrite to replace it)"))
                << refused.err;
            EXPECT_EQ(testfiles::ReadFile(old), testfiles::FromString("keep me"));
            const ProgramRun replaced = Cut(args + QStringList{"--overwrite"});
            EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
            EXPECT_GT(std::filesystem::file_size(output), 1000u);
        }
    }
}

TEST_F(CutCommand, FramesCutsWholeFramesThatDecodeCleanlyAtTheMarkedLength) {
    using testfiles::ShellQuote;
    const std::string mp3 = dir.file("tune.mp3"), clip = dir.file("clip.mp3");
    ASSERT_TRUE(EncodeSong(mp3, "9 pluck 220 pluck 330 tremolo 3 40", "-V 4"));
    ProgramRun run = Cut({Q(mp3), "--start", "2", "--end", "6.5", "--frames", "--output", Q(clip)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("Scanning frames"), std::string::npos) << "no progress line when stderr is a pipe";
    int status = -1;
    const std::string decoded = "ffmpeg -v error -nostdin -i " + ShellQuote(clip) + " -f null - 2>&1";
    EXPECT_EQ(testfiles::CommandOutput(decoded, &status), "");
    EXPECT_EQ(status, 0);
    // The playing time is the timeline's end less its start, where the declared delay is skipped.
    const QStringList times = Q(testfiles::CommandOutput("ffprobe -v error -show_entries format=start_time,duration "
                                                         "-of csv=p=0 " + ShellQuote(clip)))
                                  .trimmed()
                                  .split(',');
    ASSERT_EQ(times.size(), 2);
    EXPECT_NEAR(times[1].toDouble() - times[0].toDouble(), 4.5, 1152.0 / 44100);

    // Without --frames the same marks give a byte range, which is not frame-aligned.
    const std::string classic = dir.file("classic.mp3");
    ASSERT_EQ(Cut({Q(mp3), "--start", "2", "--end", "6.5", "--output", Q(classic)}).exitCode, 0);
    EXPECT_NE(testfiles::ReadFile(classic).size(), testfiles::ReadFile(clip).size());
}

}  // namespace
