// Save Selection with "Cut on frame boundaries" on and off, on a file made by lame.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QCheckBox>

#include "models/clipsave.h"
#include "models/module1.h"
#include "form1fixture.h"
#include "mpeg/framescan.h"

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
}

TEST_F(CleanClipSave, WithTheBoxOffTheClipIsTheClassicByteRange) {
    const std::string clip = dir.file("classic.mp3");
    OpenMarkAndSave(clip);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "MP3 clip saved.");

    const Bytes source = testfiles::ReadFile(lameFile);
    ClipBytes range;
    std::string error;
    ASSERT_TRUE(ClipByteRange(*form->Session().CurStart(),
                              *form->Session().CurDuration(),
                              static_cast<int64_t>(source.size()), &range, &error));
    const Bytes expected(source.begin() + range.offset, source.begin() + range.offset + range.length);
    EXPECT_EQ(testfiles::ReadFile(clip), expected);
}

TEST_F(CleanClipSave, AFailedTagHandOverFailsTheCleanSaveAndLeavesNoClip) {
    form->CheckFrames->setChecked(true);
    tags.failWrite = true;
    const std::string clip = dir.file("clean.mp3");
    OpenMarkAndSave(clip);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Error);
    EXPECT_FALSE(std::filesystem::exists(clip));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // wav, mp3, song
}

}  // namespace
