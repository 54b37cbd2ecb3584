// Joins of real encoder output: a split's parts join back into the source's very frames and
// samples; unrelated files join into one stream whose header, length and chapters players trust;
// a join refused or cancelled writes nothing.
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
    std::string path, title;
    uint64_t decoded;  // samples mpg123 gives for it alone
    uint16_t delay, padding;
};

class JoinUnrelated : public Join {
protected:
    void SetUp() override {
        Join::SetUp();
        if (IsSkipped()) return;
        const char* const recipes[][4] = {{"a", "synth 2.1 sine 440", "-b 128", "Opening"},
                                        {"b", "synth 1.37 sine 300-3000", "-V 4", ""},
                                        {"c", "synth 0.9 sine 1000", "-b 192", "Closing \xC3\xA9"}};
        for (const auto& [name, sox, lame, title] : recipes) {
            const std::string path = dir.file(std::string(name) + ".mp3");
            ASSERT_TRUE(splittest::Encode(path, 44100, 2, sox, lame));
            mdlID3::ID3TagInfo tags;
            tags.Title = title;
            ASSERT_TRUE(!*title || mdlID3::WriteID3v2Tag(path, tags, mdlID3::kWriteV24, true, false));
            FrameTable t;
            ASSERT_TRUE(ScanFrames(path, t));
            inputs.push_back({path, *title ? title : name, splittest::DecodeMpg123(path).size() / 2, t.vbr.encoderDelay,
                              t.vbr.encoderPadding});
            paths.push_back(path);
        }
    }
    std::vector<Made> inputs;
    std::vector<std::string> paths;
};

// One header over the whole, and the length players report: the inputs' lengths plus the delay
// and padding kept at the two inner joins. Each chapter starts at its input's first audible
// sample: from there the joined file decodes as the input alone does.
TEST_F(JoinUnrelated, OneHeaderTheLengthPlayersReportAndChaptersWhereEachInputStarts) {
    const std::string joined = dir.file("joined.mp3");
    const JoinOutcome outcome = JoinFiles(paths, joined, JoinOptions{true, false});
    ASSERT_TRUE(outcome.ok) << outcome.error;
    FrameTable table;
    AudioFrames(joined, &table);
    EXPECT_EQ(table.vbr.kind, VbrHeader::Kind::Xing);
    EXPECT_EQ(table.vbr.frames, table.frames.size());
    EXPECT_EQ(table.vbr.encoderDelay, inputs[0].delay);
    EXPECT_EQ(table.vbr.encoderPadding, inputs[2].padding);
    const Bytes all = testfiles::ReadFile(joined);
    for (const MpegFrame& f : table.frames) {
        const size_t at = static_cast<size_t>(f.offset) + XingOffset(table.version, f.channelMode(), f.crc());
        const std::string marker(all.begin() + at, all.begin() + at + 4);
        EXPECT_TRUE(marker != "Info" && marker != "Xing") << "an input's header in the frame at " << f.offset;
    }
    uint64_t expected = 0;
    for (size_t i = 0; i < inputs.size(); ++i) expected += inputs[i].decoded + (i ? inputs[i - 1].padding + inputs[i].delay : 0);
    const std::vector<int16_t> whole = splittest::DecodeMpg123(joined);
    EXPECT_NEAR(static_cast<double>(whole.size() / 2), static_cast<double>(expected), 2 * 1152);
    EXPECT_NEAR(static_cast<double>(outcome.decodedSamples), static_cast<double>(expected), 2 * 1152);
    const std::string duration = testfiles::CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                                          testfiles::ShellQuote(joined));
    EXPECT_NEAR(std::stod(duration), static_cast<double>(expected) / 44100, 2 * 1152.0 / 44100) << duration;

    std::vector<mdlID3::Chapter> chapters;
    ASSERT_TRUE(mdlID3::ReadChapters(joined, chapters));
    ASSERT_EQ(chapters.size(), 3u);
    // ffprobe: start times within 30 ms, titles in order.
    std::istringstream probe(testfiles::CommandOutput(
        "ffprobe -v error -show_entries chapter=start_time:chapter_tags=title -of csv=p=0 " + testfiles::ShellQuote(joined)));
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
        std::string start, title;
        ASSERT_TRUE(std::getline(probe, start, ',') && std::getline(probe, title)) << probe.str();
        EXPECT_NEAR(std::stod(start), chapters[i].StartMs / 1000.0, 0.030) << start;
        EXPECT_EQ(title, inputs[i].title);
    }
}

// With smooth joins each input's audio ends exactly where the next one's starts (its delay dropped
// to within half a frame), only a few frames are encoded anew, and no join clicks.
TEST_F(JoinUnrelated, SmoothJoinsDropPaddingAndDelayWithoutAClick) {
    const std::string joined = dir.file("smooth.mp3");
    JoinOptions options;
    options.smoothJoins = true;
    const JoinOutcome outcome = JoinFiles(paths, joined, options);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    const std::vector<int16_t> whole = splittest::DecodeMpg123(joined);
    ASSERT_EQ(whole.size(), outcome.decodedSamples * 2);
    const int64_t n = 1152, tenMs = 441;
    uint64_t start = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::vector<int16_t> alone = splittest::DecodeMpg123(inputs[i].path);
        const JoinedInput& in = outcome.inputs[i];
        if (i > 0) {
            EXPECT_EQ(in.startSample, start) << "input " << i << " starts where the one before ends";
            EXPECT_GE(in.reencodedFrames, 1u);
            EXPECT_LE(in.reencodedFrames, 4u);
        }
        // Past the re-encoded frames the input plays as alone, shifted by under half a frame.
        const int64_t from = static_cast<int64_t>(in.startSample) + 3 * n;
        int64_t lag = -n;
        for (; lag <= n / 2; ++lag) {
            bool same = true;
            for (int64_t k = 0; k < 2048 && same; ++k)
                same = std::abs(whole[(from + k) * 2] - alone[(from - in.startSample + lag + k) * 2]) <= 2;
            if (same) break;
        }
        EXPECT_LE(std::llabs(lag), n / 2) << "input " << i;
        start = in.startSample + alone.size() / 2 - (i > 0 ? lag : 0);
        if (i == 0) continue;
        // No step across the join larger than twice the largest in 10 ms of either input there.
        const std::vector<int16_t> previous = splittest::DecodeMpg123(inputs[i - 1].path);
        int sourceStep = 0, step = 0;
        for (size_t c = 0; c < 2; ++c) {
            for (int64_t k = 1; k < tenMs; ++k)
                sourceStep = std::max({sourceStep, std::abs(alone[k * 2 + c] - alone[(k - 1) * 2 + c]),
                                       std::abs(previous[previous.size() - k * 2 + c - 2] - previous[previous.size() - k * 2 + c])});
            for (int64_t k = static_cast<int64_t>(in.startSample) - tenMs; k < static_cast<int64_t>(in.startSample) + tenMs; ++k)
                step = std::max(step, std::abs(whole[(k + 1) * 2 + c] - whole[k * 2 + c]));
        }
        EXPECT_LE(step, 2 * sourceStep) << "join before input " << i;
        std::printf("[ figures  ] join before input %zu: %zu frames re-encoded, its audio resumes at its sample %lld, "
                    "largest step %d (inputs %d)\n", i, in.reencodedFrames, static_cast<long long>(lag), step, sourceStep);
    }
    EXPECT_EQ(start, outcome.decodedSamples);
}

// Refused (an input unlike the first, a target that is one of the inputs, one that exists unless
// asked to replace it) or cancelled while the inputs are read or while the frames are copied, a
// join leaves the folder as it was: a file it was to replace keeps its bytes, no temporary file
// stays behind.
TEST(JoinRefusedOrCancelled, WritesNothing) {
    testfiles::TempDir dir;
    const std::string a = dir.file("a.mp3"), b = dir.file("b.mp3"), odd = dir.file("odd.mp3"), out = dir.file("out.mp3");
    testfiles::WriteFile(a, testfiles::SilentFrames(100));
    testfiles::WriteFile(b, testfiles::SilentFrames(60, 0xA0));
    testfiles::WriteFile(odd, testfiles::SilentFrames(60, 0x94));  // 48000 Hz
    const Bytes old = testfiles::FromString("the file the join was to replace");
    testfiles::WriteFile(out, old);
    const auto cancelAt = [](double at) { return [at](double fraction) { return fraction <= at; }; };
    const struct {
        std::vector<std::string> inputs;
        std::string target;
        JoinOptions options;
        JoinProgress progress;
        std::string error;  // empty: cancelled
    } cases[] = {
        {{a, odd, b}, dir.file("new.mp3"), JoinOptions{true, true}, {}, "odd.mp3 has 48000 Hz"},
        {{a, b}, a, JoinOptions{false, true}, {}, "is one of the files to join"},
        {{a, b}, out, JoinOptions{}, {}, "exists already"},
        {{a, b}, out, JoinOptions{false, true}, cancelAt(0.0), ""},
        {{a, b}, out, JoinOptions{false, true}, cancelAt(0.5), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const JoinOutcome outcome = JoinFiles(c.inputs, c.target, c.options, c.progress);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.cancelled, c.error.empty()) << outcome.error;
        EXPECT_NE(outcome.error.find(c.error), std::string::npos) << outcome.error;
        EXPECT_EQ(testfiles::ReadFile(out), old);
        EXPECT_EQ(testfiles::ReadFile(a), testfiles::SilentFrames(100));
        EXPECT_EQ(Files(dir.path().string()), 4u);
    }
    EXPECT_TRUE(JoinFiles({a, b}, out, JoinOptions{false, true}).ok);
}

}  // namespace
