// Save Selection with "Cut on frame boundaries" on and off, on a file made by lame.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <QCheckBox>

#include "id3/id3v1.h"
#include "id3/id3v2write.h"
#include "models/module1.h"
#include "form1fixture.h"
#include "mpeg/framescan.h"
#include "tageditor/taghandover.h"

namespace {

// ffprobe's playing time: the stream's timeline ends at start_time + duration, and the start is
// where the encoder delay the clip declares has been skipped.
double FfprobeLength(const std::string& path) {
    const std::string out = testfiles::CommandOutput("ffprobe -v error -show_entries format=start_time,duration -of "
                                   "default=noprint_wrappers=1 " + testfiles::ShellQuote(path));
    auto field = [&out](const std::string& name) {
        const size_t at = out.find(name + "=");
        return at == std::string::npos ? -1.0 : std::atof(out.c_str() + at + name.size() + 1);
    };
    return field("duration") - field("start_time");
}

class CleanClipSave : public Form1Test {
protected:
    CleanClipSave() {
        const std::string wav = dir.file("tone.wav");
        lameFile = dir.file("tune.mp3");
        const bool made =
            std::system(("sox -n -r 44100 -c 2 -b 16 " + testfiles::ShellQuote(wav) +
                         " synth 9 pluck 220 pluck 330 tremolo 3 40 >/dev/null 2>&1").c_str()) == 0 &&
            std::system(("lame --quiet -V 4 " + testfiles::ShellQuote(wav) + " " + testfiles::ShellQuote(lameFile)).c_str()) == 0;
        EXPECT_TRUE(made) << "sox and lame make the source";
        duration = ScanDurationSeconds(lameFile);
    }

    // Open, mark 2 s .. 6.5 s, save to `clip`.
    void OpenMarkAndSave(const std::string& clip) {
        OpenTimed(lameFile, duration);
        MarkSelection(2, 6.5);
        dialogs.saves.push_back({QString::fromStdString(clip), "clip.mp3"});
        Click(form->CandyButton6);
    }

    std::string lameFile;
    double duration = 0;
};

TEST_F(CleanClipSave, TheBoxStartsOffAndItsClipDecodesCleanlyAtTheMarkedLength) {
    ASSERT_GT(duration, 8.5);
    EXPECT_FALSE(form->CheckFrames->isChecked());
    EXPECT_EQ(form->CheckFrames->text(), "Cut on frame boundaries");
    QTest::mouseClick(form->CheckFrames, Qt::LeftButton);
    ASSERT_TRUE(form->CheckFrames->isChecked());

    const std::string clip = dir.file("clean.mp3");
    OpenMarkAndSave(clip);
    ASSERT_EQ(messages.shown.size(), 1u) << messages.shown[0].text.toStdString();
    EXPECT_EQ(messages.shown[0].text, "MP3 clip saved.");
    // The tag hand-over ran on the checked temporary clip, before it took its name.
    EXPECT_EQ(tags.calls.back(), "write");
    EXPECT_NE(tags.writtenPath, clip);

    EXPECT_EQ(testfiles::CommandOutput("ffmpeg -v error -i " + testfiles::ShellQuote(clip) + " -f null - 2>&1"), "");
    EXPECT_NEAR(FfprobeLength(clip), 4.5, 1152.0 / 44100);
    // A gapless decoder gives exactly the marked samples: 2 s to 6.5 s of the source's.
    const std::string clipPcm = testfiles::CommandOutput("mpg123 -q -s " + testfiles::ShellQuote(clip));
    const std::string sourcePcm = testfiles::CommandOutput("mpg123 -q -s " + testfiles::ShellQuote(lameFile));
    ASSERT_EQ(clipPcm.size(), 4.5 * 44100 * 4);
    EXPECT_EQ(clipPcm, sourcePcm.substr(2 * 44100 * 4, clipPcm.size()));
}

TEST_F(CleanClipSave, WithTheRealEditorTheWindowSavesTheClipThatTrimbelCutSaves) {
    const std::filesystem::path trimbel = TRIMBEL_BINARY;
    if (trimbel.empty() || !std::filesystem::exists(trimbel)) GTEST_SKIP() << "the trimbel program is not built";
    mdlID3::ID3TagInfo info;
    info.Artist = "Band";
    info.Title = "S\xC3\xB6ng";
    info.Year = "1999";
    ASSERT_TRUE(mdlID3::WriteID3v2Tag(lameFile, info, mdlID3::kWriteV23, true, false));
    ASSERT_TRUE(mdlID3::WriteID3v1Tag(lameFile, info, false));
    // The window as the program builds it: the tag editor behind the hand-over.
    const std::unique_ptr<TagHandOver> editor = CreateTagHandOver(&messages);
    parts.tags = editor.get();
    form = std::make_unique<Form1>(parts);
    form->show();
    char seconds[40];
    std::snprintf(seconds, sizeof seconds, "%.17g", duration);
    for (const bool frames : {false, true}) {
        form->CheckFrames->setChecked(frames);
        const std::string windowClip = dir.file(frames ? "window-frames.mp3" : "window.mp3");
        const std::string cutClip = dir.file(frames ? "cut-frames.mp3" : "cut.mp3");
        OpenMarkAndSave(windowClip);
        EXPECT_EQ(LastMessage(), "MP3 clip saved.");
        int status = -1;
        const std::string output = testfiles::CommandOutput(
            testfiles::ShellQuote(trimbel.string()) + " cut " + testfiles::ShellQuote(lameFile) +
                " --start 2 --end 6.5 --duration " + seconds + (frames ? " --frames" : "") + " --output " +
                testfiles::ShellQuote(cutClip) + " 2>&1",
            &status);
        ASSERT_EQ(status, 0) << output;
        const Bytes clip = testfiles::ReadFile(windowClip);
        EXPECT_EQ(clip, testfiles::ReadFile(cutClip)) << (frames ? "whole frames" : "byte range");
        EXPECT_EQ(std::string(clip.begin(), clip.begin() + 3), "ID3");
        EXPECT_EQ(std::string(clip.end() - 128, clip.end() - 125), "TAG");
    }
}

}  // namespace
