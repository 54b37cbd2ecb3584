// Joins of real encoder output: a split's parts join back into the source's very frames and
// samples; unrelated files join into one stream whose header, length and chapters players trust;
// inputs unlike the first are refused with nothing written.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "id3/chapters.h"
#include "id3/id3v1.h"
#include "id3/id3v2write.h"
#include "join/joinfiles.h"
#include "mpeg/framescan.h"
#include "split/encoded.h"
#include "split/partwriter.h"
#include "split/splitsource.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using testfiles::Bytes;

// The bytes of every audio frame (the Info frame not included), one after another.
Bytes AudioFrames(const std::string& path, FrameTable* table = nullptr) {
    FrameTable t;
    EXPECT_TRUE(ScanFrames(path, t)) << path;
    const Bytes all = testfiles::ReadFile(path);
    Bytes out;
    for (const MpegFrame& f : t.frames) out.insert(out.end(), all.begin() + f.offset, all.begin() + f.offset + f.length);
    if (table) *table = t;
    return out;
}

size_t Files(const std::string& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class Join : public ::testing::Test {
protected:
    void SetUp() override {
        if (!splittest::HaveCodecTools()) GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg is not installed";
    }
    testfiles::TempDir dir;
};

TEST_F(Join, TheFourPartsOfASplitJoinIntoTheSourceFramesAndSamples) {
    for (const char* lame : {"-b 128", "-V 2"}) {
        const std::string source = dir.file("source.mp3");
        ASSERT_TRUE(splittest::Encode(source, 44100, 2, "synth 8 sine 200-5000 sine 3000-300", lame));
        // Tags on the source, so every part carries inner ID3v2 and ID3v1 tags to leave out.
        mdlID3::ID3TagInfo tags;
        tags.Title = "Source";
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(source, tags, mdlID3::kWriteV23, true, false));
        ASSERT_TRUE(mdlID3::WriteID3v1Tag(source, tags, false));
        SplitSource split;
        std::string error;
        ASSERT_TRUE(split.Open(source, &error)) << error;
        SplitPlan plan(split.DurationSeconds());
        for (double t : {1.0, 3.33, 6.01}) plan.AddCut(t);
        SplitOptions options;
        options.outputDir = dir.file(std::string("parts") + lame);
        fs::create_directory(options.outputDir);
        const SplitOutcome parts = SaveParts(split, plan, options);
        ASSERT_TRUE(parts.ok) << parts.error;
        std::vector<std::string> paths;
        for (const SavedPart& p : parts.written) paths.push_back(p.path);
        ASSERT_EQ(paths.size(), 4u);

        const std::string joined = dir.file("joined.mp3");
        const JoinOutcome outcome = JoinFiles(paths, joined, JoinOptions{false, true});
        ASSERT_TRUE(outcome.ok) << outcome.error;
        for (size_t i = 1; i < 4; ++i) EXPECT_GT(outcome.inputs[i].sharedFrames, 0u) << lame;
        FrameTable table;
        EXPECT_EQ(AudioFrames(joined, &table), AudioFrames(source)) << lame;
        EXPECT_EQ(table.vbr.frames, table.frames.size());
        EXPECT_FALSE(table.hasId3v1);
        EXPECT_EQ(outcome.decodedSamples, split.DecodedSamples());
        for (auto decode : {&splittest::DecodeMpg123, &splittest::DecodeFfmpeg}) {
            const std::vector<int16_t> whole = decode(source);
            ASSERT_GT(whole.size(), 44100u * 2 * 7);
            EXPECT_TRUE(decode(joined) == whole) << lame << (decode == &splittest::DecodeMpg123 ? " mpg123" : " ffmpeg");
        }
    }
}

struct Made {
    std::string path;
    std::string title;
    uint64_t decoded;  // samples mpg123 gives for it alone
    uint16_t delay;
    uint16_t padding;
};

class JoinUnrelated : public Join {
protected:
    void SetUp() override {
        Join::SetUp();
        if (IsSkipped()) return;
        struct Spec {
            const char* name;
            const char* sox;
            const char* lame;
            const char* title;
        };
        for (const Spec& s : {Spec{"a.mp3", "synth 2.1 sine 440", "-b 128", "Opening"},
                              Spec{"b.mp3", "synth 1.37 sine 300-3000", "-V 4", ""},
                              Spec{"c.mp3", "synth 0.9 sine 1000", "-b 192", "Closing \xC3\xA9"}}) {
            Made m{dir.file(s.name), *s.title ? s.title : fs::path(s.name).stem().string(), 0, 0, 0};
            ASSERT_TRUE(splittest::Encode(m.path, 44100, 2, s.sox, s.lame));
            if (*s.title) {
                mdlID3::ID3TagInfo tags;
                tags.Title = s.title;
                ASSERT_TRUE(mdlID3::WriteID3v2Tag(m.path, tags, mdlID3::kWriteV24, true, false));
            }
            m.decoded = splittest::DecodeMpg123(m.path).size() / 2;
            FrameTable t;
            ASSERT_TRUE(ScanFrames(m.path, t));
            m.delay = t.vbr.encoderDelay;
            m.padding = t.vbr.encoderPadding;
            inputs.push_back(m);
            paths.push_back(m.path);
        }
    }
    std::vector<Made> inputs;
    std::vector<std::string> paths;
};

TEST_F(JoinUnrelated, OneHeaderOverTheWholeAndTheLengthPlayersReport) {
    const std::string joined = dir.file("joined.mp3");
    const JoinOutcome outcome = JoinFiles(paths, joined, JoinOptions{true, false});
    ASSERT_TRUE(outcome.ok) << outcome.error;
    FrameTable table;
    const Bytes audio = AudioFrames(joined, &table);
    EXPECT_EQ(table.vbr.kind, VbrHeader::Kind::Xing);
    EXPECT_EQ(table.vbr.frames, table.frames.size());
    EXPECT_EQ(table.vbr.encoderDelay, inputs[0].delay);
    EXPECT_EQ(table.vbr.encoderPadding, inputs[2].padding);
    // No frame behind the header is an Info frame of an input.
    const Bytes all = testfiles::ReadFile(joined);
    for (const MpegFrame& f : table.frames) {
        const size_t at = static_cast<size_t>(f.offset) + XingOffset(table.version, f.channelMode(), f.crc());
        const std::string marker(all.begin() + at, all.begin() + at + 4);
        EXPECT_TRUE(marker != "Info" && marker != "Xing") << "frame at " << f.offset;
    }
    // The inputs' lengths, plus the delay and padding kept at the two inner joins.
    uint64_t expected = 0;
    for (const Made& m : inputs) expected += m.decoded;
    for (size_t i = 1; i < inputs.size(); ++i) expected += inputs[i - 1].padding + inputs[i].delay;
    const double frame = 1152.0;
    const uint64_t mpg123 = splittest::DecodeMpg123(joined).size() / 2;
    EXPECT_NEAR(static_cast<double>(mpg123), static_cast<double>(expected), 2 * frame);
    EXPECT_NEAR(static_cast<double>(outcome.decodedSamples), static_cast<double>(expected), 2 * frame);
    const std::string ffprobe = testfiles::CommandOutput(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + testfiles::ShellQuote(joined));
    EXPECT_NEAR(std::stod(ffprobe), static_cast<double>(expected) / 44100, 2 * frame / 44100) << ffprobe;
}

// Each chapter starts at its input's first audible sample: from there the joined file decodes
// as the input alone does.
TEST_F(JoinUnrelated, ChaptersStartWhereEachInputsAudioStarts) {
    const std::string joined = dir.file("joined.mp3");
    const JoinOutcome outcome = JoinFiles(paths, joined, JoinOptions{true, false});
    ASSERT_TRUE(outcome.ok) << outcome.error;
    std::vector<mdlID3::Chapter> chapters;
    ASSERT_TRUE(mdlID3::ReadChapters(joined, chapters));
    ASSERT_EQ(chapters.size(), 3u);
    const std::vector<int16_t> whole = splittest::DecodeMpg123(joined);
    std::ostringstream probe;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(chapters[i].Title, inputs[i].title);
        EXPECT_EQ(chapters[i].StartMs, mdlID3::SamplesToMs(outcome.inputs[i].startSample, 44100));
        EXPECT_EQ(chapters[i].EndMs, mdlID3::SamplesToMs(outcome.inputs[i].endSample, 44100));
        const std::vector<int16_t> alone = splittest::DecodeMpg123(inputs[i].path);
        const size_t at = outcome.inputs[i].startSample * 2;
        ASSERT_LE(at + 8192, whole.size());
        int worst = 0;
        for (size_t k = 0; k < 8192; ++k) worst = std::max(worst, std::abs(whole[at + k] - alone[k]));
        EXPECT_LE(worst, 2) << "input " << i;
        probe << chapters[i].StartMs / 1000.0 << "," << chapters[i].Title << "\n";
    }
    // ffprobe: start times within 30 ms, titles in order.
    const std::string out = testfiles::CommandOutput(
        "ffprobe -v error -show_entries chapter=start_time:chapter_tags=title -of csv=p=0 " +
        testfiles::ShellQuote(joined));
    std::istringstream lines(out);
    std::string line;
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(std::getline(lines, line)) << out;
        const size_t comma = line.find(',');
        ASSERT_NE(comma, std::string::npos) << line;
        EXPECT_NEAR(std::stod(line.substr(0, comma)), chapters[i].StartMs / 1000.0, 0.030) << line;
        EXPECT_EQ(line.substr(comma + 1), inputs[i].title) << line;
    }
}

TEST_F(JoinUnrelated, AnInputUnlikeTheFirstIsRefusedByNameAndNothingIsWritten) {
    struct Odd {
        const char* name;
        int rate;
        int channels;
        const char* why;
    };
    for (const Odd& odd : {Odd{"low.mp3", 22050, 2, "low.mp3 has 22050 Hz"}, Odd{"mono.mp3", 44100, 1, "mono.mp3 has 1 channel"}}) {
        const std::string oddPath = dir.file(odd.name);
        ASSERT_TRUE(splittest::Encode(oddPath, odd.rate, odd.channels, "synth 1 sine 500", "-b 64"));
        const size_t before = Files(dir.path().string());
        const std::string joined = dir.file("refused.mp3");
        const JoinOutcome outcome = JoinFiles({paths[0], oddPath, paths[1]}, joined, JoinOptions{true, false});
        EXPECT_FALSE(outcome.ok);
        EXPECT_NE(outcome.error.find(odd.why), std::string::npos) << outcome.error;
        EXPECT_FALSE(fs::exists(joined));
        EXPECT_EQ(Files(dir.path().string()), before);
    }
    // Nor over one of its inputs, nor over a file that exists, unless asked to.
    const Bytes first = testfiles::ReadFile(paths[0]);
    EXPECT_NE(JoinFiles(paths, paths[0], JoinOptions{false, true}).error.find("is one of the files to join"), std::string::npos);
    EXPECT_EQ(testfiles::ReadFile(paths[0]), first);
    testfiles::WriteFile(dir.file("taken.mp3"), testfiles::FromString("keep me"));
    EXPECT_NE(JoinFiles(paths, dir.file("taken.mp3"), JoinOptions{}).error.find("exists already"), std::string::npos);
    EXPECT_EQ(testfiles::ReadFile(dir.file("taken.mp3")), testfiles::FromString("keep me"));
    EXPECT_TRUE(JoinFiles(paths, dir.file("taken.mp3"), JoinOptions{false, true}).ok);
}

}  // namespace

namespace {

// Cancelled while the inputs are read or while the frames are copied, a join leaves the folder
// as it was: a file it was to replace keeps its bytes, and no temporary file stays behind.
TEST(JoinCancel, NothingIsWrittenWhereverTheJoinIsCancelled) {
    testfiles::TempDir dir;
    const std::string a = dir.file("a.mp3"), b = dir.file("b.mp3"), out = dir.file("out.mp3");
    testfiles::WriteFile(a, testfiles::SilentFrames(100));
    testfiles::WriteFile(b, testfiles::SilentFrames(60, 0xA0));
    const Bytes old = testfiles::FromString("the file the join was to replace");
    for (const double at : {0.0, 0.5}) {
        testfiles::WriteFile(out, old);
        bool asked = false;
        const JoinOutcome outcome = JoinFiles({a, b}, out, JoinOptions{false, true}, [&](double fraction) {
            asked = asked || fraction > at;
            return fraction <= at;
        });
        EXPECT_TRUE(asked) << at;
        EXPECT_FALSE(outcome.ok) << at;
        EXPECT_TRUE(outcome.cancelled) << at << ": " << outcome.error;
        EXPECT_EQ(testfiles::ReadFile(out), old) << at;
        EXPECT_EQ(Files(dir.path().string()), 3u) << at;
    }
}

}  // namespace
