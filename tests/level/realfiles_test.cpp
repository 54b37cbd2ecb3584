// Level changes on real encoder output, checked with independent tools: mpg123 and ffmpeg
// decode, ffmpeg measures loudness and checks frame CRCs, mp3gain and loudgain are the peers,
// mutagen reads the tags.
#include <cmath>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "edit/editrender.h"
#include "edit/sourcetimeline.h"
#include "files/safefile.h"
#include "level/levelchange.h"
#include "level/txxxtag.h"
#include "mpeg/framescan.h"
#include "mpeg/mpegheader.h"
#include "split/encoded.h"
#include "support/testfiles.h"

using testfiles::Bytes;
using testfiles::ShellQuote;

namespace {

bool HaveTool(const std::string& tool) {
    int status = -1;
    testfiles::CommandOutput("command -v " + tool + " >/dev/null 2>&1", &status);
    return status == 0;
}

double RmsDb(const std::vector<int16_t>& s, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, s.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return to > from ? 10 * std::log10(sum / double(to - from) / (32768.0 * 32768.0) + 1e-30) : -300;
}

LevelReport Apply(const std::string& in, LevelRequest request, const std::string& out) {
    LevelSource source;
    std::string error;
    LevelReport failed;
    if (!OpenLevelSource(in, source, &error) || !MeasureLevelSource(source, request, &error)) {
        failed.error = error;
        return failed;
    }
    request.target = out;
    return ApplyLevel(source, request);
}

LevelRequest Steps(int steps) {
    LevelRequest r;
    r.mode = LevelMode::Steps;
    r.steps = steps;
    r.measure = true;
    return r;
}

// Where the LAME tag's music CRC and tag CRC sit (4 bytes); empty without a LAME tag.
std::vector<size_t> LameCrcBytes(const std::string& path) {
    FrameTable table;
    EXPECT_TRUE(ScanFrames(path, table));
    if (!table.vbr.hasLame) return {};
    const Bytes bytes = testfiles::ReadFile(path);
    const size_t at = static_cast<size_t>(std::search(bytes.begin() + table.vbr.offset, bytes.end(),
                                                      table.vbr.lameBytes.begin(), table.vbr.lameBytes.end()) -
                                          bytes.begin());
    return {at + 32, at + 33, at + 34, at + 35};
}

// The bytes a gain change may touch: each audio frame's side information and CRC, and the LAME
// tag's two CRCs.
std::vector<bool> ChangeableBytes(const std::string& path) {
    FrameTable table;
    EXPECT_TRUE(ScanFrames(path, table));
    std::vector<bool> may(static_cast<size_t>(table.fileSize), false);
    for (const MpegFrame& f : table.frames) {
        const size_t from = static_cast<size_t>(f.offset) + 4;
        const size_t n = (f.crc() ? 2 : 0) + Layer3SideInfoSize(table.version, f.channelMode());
        for (size_t i = from; i < from + n; ++i) may[i] = true;
    }
    for (size_t i : LameCrcBytes(path)) may[i] = true;
    return may;
}

// What follows the leading ID3v2 tag.
Bytes Audio(const std::string& path) {
    Bytes bytes = testfiles::ReadFile(path);
    std::vector<uint8_t> tag;
    ReadLeadingTag(path, tag, nullptr);
    return Bytes(bytes.begin() + static_cast<long>(tag.size()), bytes.end());
}

std::string Mpg123Complaints(const std::string& path) {
    const std::string out = testfiles::CommandOutput("mpg123 -t " + ShellQuote(path) + " 2>&1");
    std::smatch m;
    const std::regex bad("(warning|error|illegal|bad|invalid)[^\\n]*", std::regex::icase);
    return std::regex_search(out, m, bad) ? m.str() : "";
}

std::string FfmpegComplaints(const std::string& path) {
    return testfiles::CommandOutput("ffmpeg -v error -err_detect crccheck -i " + ShellQuote(path) + " -f null - 2>&1");
}

double FfmpegLoudness(const std::string& path) {
    const std::string out =
        testfiles::CommandOutput("ffmpeg -nostats -i " + ShellQuote(path) + " -filter_complex ebur128 -f null - 2>&1");
    const auto at = out.rfind("I:");
    return at == std::string::npos ? NAN : std::atof(out.c_str() + at + 2);
}

std::string MutagenText(const std::string& path, const std::string& description) {
    return testfiles::CommandOutput("/usr/bin/python3 -c \"import sys, mutagen.id3; "
                                    "print(mutagen.id3.ID3(sys.argv[1])['TXXX:" + description +
                                    "'].text[0])\" " + ShellQuote(path) + " 2>&1");
}

class RealFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new testfiles::TempDir;
        ok = splittest::HaveCodecTools();
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!ok) GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg missing";
    }
    // Encodes once per suite.
    static std::string Encoded(const std::string& name, int rate, int channels, const std::string& effects,
                               const std::string& lame) {
        const std::string path = dir->file(name + ".mp3");
        if (!std::filesystem::exists(path)) {
            EXPECT_TRUE(splittest::Encode(path, rate, channels, effects, lame)) << name;
        }
        return path;
    }
    static std::string Noise(const std::string& name, int rate, int channels, const std::string& lame) {
        return Encoded(name, rate, channels, "synth 6 pinknoise gain -22", lame);
    }
    static testfiles::TempDir* dir;
    static bool ok;
};
testfiles::TempDir* RealFiles::dir = nullptr;
bool RealFiles::ok = false;

}  // namespace

TEST_F(RealFiles, StepsChangeTheDecodedLevelExactlyTouchingOnlySideInformation) {
    struct Kind {
        const char* name;
        int rate, channels;
        const char* lame;
    } kinds[] = {
        {"cbr-joint", 44100, 2, "-b 128"}, {"vbr", 44100, 2, "-V 2"},       {"stereo", 44100, 2, "-m s -b 160"},
        {"mono", 44100, 1, "-m m -b 64"},  {"mpeg2", 22050, 2, "-b 64"},     {"crc", 44100, 2, "-p -b 128"},
    };
    for (const Kind& k : kinds) {
        const std::string src = Noise(k.name, k.rate, k.channels, k.lame);
        const auto before = splittest::DecodeMpg123(src);
        ASSERT_GT(before.size(), 100000u) << k.name;
        for (int steps : {2, -3}) {
            SCOPED_TRACE(std::string(k.name) + " " + std::to_string(steps));
            const std::string out = dir->file(std::string(k.name) + std::to_string(steps) + ".mp3");
            const LevelReport r = Apply(src, Steps(steps), out);
            ASSERT_TRUE(r.ok) << r.error;
            EXPECT_EQ(r.stepsApplied, steps);
            EXPECT_EQ(r.count.clamped, 0u);
            EXPECT_EQ(r.undoRecord, steps > 0 ? "-002,-002,N" : "+003,+003,N");
            const auto after = splittest::DecodeMpg123(out);
            ASSERT_EQ(after.size(), before.size());
            EXPECT_NEAR(RmsDb(after) - RmsDb(before), steps * 1.50515, 0.05);
            EXPECT_EQ(Mpg123Complaints(out), "");
            EXPECT_EQ(FfmpegComplaints(out), "");
            // Byte by byte, behind the tag that now holds the undo record.
            const Bytes a = testfiles::ReadFile(src), b = Audio(out);
            ASSERT_EQ(a.size(), b.size());
            const std::vector<bool> may = ChangeableBytes(src);
            size_t changed = 0, outside = 0;
            for (size_t i = 0; i < a.size(); ++i) {
                if (a[i] == b[i]) continue;
                ++changed;
                if (!may[i]) ++outside;
            }
            EXPECT_GT(changed, 0u);
            EXPECT_EQ(outside, 0u);
            if (std::string(k.name) == "vbr" || std::string(k.name) == "cbr-joint") {
                EXPECT_EQ(r.musicCrc, MusicCrc::Updated);
            }
        }
    }
}

TEST_F(RealFiles, UndoAfterAGainRestoresTheFileByteForByte) {
    for (const char* lame : {"-b 128", "-p -V 4"}) {
        const std::string src = Noise(std::string("undo") + (lame[1] == 'p' ? "crc" : "cbr"), 44100, 2, lame);
        const std::string gained = src + ".gained.mp3", undone = src + ".undone.mp3";
        ASSERT_TRUE(Apply(src, Steps(2), gained).ok);
        LevelRequest undo;
        undo.mode = LevelMode::Undo;
        const LevelReport r = Apply(gained, undo, undone);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.undoRemoved);
        EXPECT_EQ(testfiles::ReadFile(undone), testfiles::ReadFile(src)) << lame;
        // Without a record there is nothing to undo.
        EXPECT_FALSE(Apply(src, undo, undone + "2").ok);
    }
}

TEST_F(RealFiles, Mp3gainUndoesOurChangeAndWeUndoItsChange) {
    if (!HaveTool("mp3gain")) GTEST_SKIP() << "mp3gain missing";
    const std::string src = Noise("peer", 44100, 2, "-b 128");
    const std::string ours = dir->file("ours.mp3");
    ASSERT_TRUE(Apply(src, Steps(2), ours).ok);
    int status = -1;
    testfiles::CommandOutput("mp3gain -q -s i -u " + ShellQuote(ours) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    // mp3gain leaves the LAME tag alone, so the music CRC stays the one we wrote.
    Bytes undone = Audio(ours);
    const Bytes original = testfiles::ReadFile(src);
    ASSERT_EQ(undone.size(), original.size());
    for (size_t i : LameCrcBytes(src)) undone[i] = original[i];
    EXPECT_EQ(undone, original);

    const std::string theirs = dir->file("theirs.mp3");
    std::filesystem::copy_file(src, theirs);
    testfiles::CommandOutput("mp3gain -q -s i -g 3 " + ShellQuote(theirs) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    ASSERT_NE(testfiles::ReadFile(theirs), testfiles::ReadFile(src));
    LevelRequest undo;
    undo.mode = LevelMode::Undo;
    const LevelReport r = Apply(theirs, undo, dir->file("theirs-undone.mp3"));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.stepsApplied, -3);
    EXPECT_EQ(testfiles::ReadFile(dir->file("theirs-undone.mp3")), testfiles::ReadFile(src));
}

TEST_F(RealFiles, RangeGainChangesTheLevelInsideTheRangeOnly) {
    const std::string src = Noise("range", 44100, 2, "-b 192");
    const std::string out = dir->file("range-out.mp3");
    LevelRequest r = Steps(4);
    r.range = TimeRange{2.0, 4.0};
    const LevelReport report = Apply(src, r, out);
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_TRUE(report.undoRecord.empty());
    const auto a = splittest::DecodeMpg123(src), b = splittest::DecodeMpg123(out);
    ASSERT_EQ(a.size(), b.size());
    const size_t g = 576 * 2;  // one granule of stereo samples
    const size_t start = 2 * 44100 * 2, end = 4 * 44100 * 2;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (i + g < start || i >= end + g) worst = std::max(worst, std::abs(a[i] - b[i]));
    EXPECT_LE(worst, 2);
    EXPECT_NEAR(RmsDb(b, start + g, end - g) - RmsDb(a, start + g, end - g), 4 * 1.50515, 0.05);
}

TEST_F(RealFiles, NormaliseReachesTheTargetUnlessPeakLimited) {
    // Quiet noise with a 2 ms click at -1 dBFS in the middle: its peak holds the gain back.
    const std::string peaky = dir->file("peaky.mp3");
    const std::string q = ShellQuote(dir->file("q.wav")), b = ShellQuote(dir->file("b.wav")), w = ShellQuote(dir->file("p.wav"));
    int status = -1;
    testfiles::CommandOutput("sox -n -r 44100 -c 2 " + q + " synth 4 pinknoise gain -25 && sox -n -r 44100 -c 2 " + b +
                                 " synth 0.002 sine 1000 gain -1 && sox " + q + " " + b + " " + q + " " + w +
                                 " && lame --quiet -b 128 " + w + " " + ShellQuote(peaky),
                             &status);
    ASSERT_EQ(status, 0);
    struct Case {
        std::string path;
        double lufs;
        bool limited;
    } cases[] = {
        {Encoded("quiet", 44100, 2, "synth 8 pinknoise gain -19", "-b 192"), -30, false},
        {Encoded("loud", 44100, 2, "synth 8 pinknoise gain -0.5", "-b 192"), -10, false},
        {peaky, -33, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_NEAR(FfmpegLoudness(c.path), c.lufs, 3.0);
        LevelRequest r;
        r.mode = LevelMode::Normalize;
        r.measure = true;
        const std::string out = c.path + ".normalised.mp3";
        const LevelReport report = Apply(c.path, r, out);
        ASSERT_TRUE(report.ok) << report.error;
        EXPECT_NEAR(report.loudnessBefore, FfmpegLoudness(c.path), 0.3);
        EXPECT_EQ(report.peakLimited, c.limited);
        if (report.peakLimited) {
            EXPECT_LT(report.stepsApplied, report.stepsRequested);
            EXPECT_LT(FfmpegLoudness(out), -18.8);
            EXPECT_LE(LevelDb(report.truePeakBefore) + DbForSteps(report.stepsApplied), kTruePeakLimitDb);
        } else {
            EXPECT_NEAR(FfmpegLoudness(out), -18.0, 0.8);
        }
    }
}

TEST_F(RealFiles, ReplayGainMatchesLoudgainAndMutagenReadsIt) {
    if (!HaveTool("loudgain")) GTEST_SKIP() << "loudgain missing";
    for (int channels : {2, 1}) {
        const std::string src =
            Encoded("rg" + std::to_string(channels), 44100, channels, "synth 6 pinknoise gain -15", "-V 3");
        const std::string copy = src + ".peer.mp3";
        std::filesystem::copy_file(src, copy, std::filesystem::copy_options::overwrite_existing);
        // Tab-separated: file, loudness, range, true peak, dBTP, reference, will clip, clip
        // prevention, gain, ...
        const std::string line = testfiles::CommandOutput("loudgain -q -O " + ShellQuote(copy) + " 2>/dev/null | tail -1");
        std::vector<std::string> fields;
        for (size_t from = 0, tab = 0; tab != std::string::npos; from = tab + 1) {
            tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string::npos ? tab : tab - from));
        }
        ASSERT_GE(fields.size(), 9u) << line;
        const double peer = std::atof(fields[8].c_str());

        LevelRequest r;
        r.mode = LevelMode::ReplayGain;
        const std::string out = src + ".rg.mp3";
        const LevelReport report = Apply(src, r, out);
        ASSERT_TRUE(report.ok) << report.error;
        EXPECT_NEAR(report.trackGainDb, peer, 0.1) << channels;
        const std::string text = MutagenText(out, "REPLAYGAIN_TRACK_GAIN");
        EXPECT_EQ(text, ReplayGainText(report.trackGainDb) + "\n");
        EXPECT_TRUE(std::regex_match(text, std::regex("-?[0-9]+\\.[0-9]{2} dB\n"))) << text;
        EXPECT_NEAR(std::atof(MutagenText(out, "REPLAYGAIN_TRACK_PEAK").c_str()), report.trackPeak, 1e-6);
        EXPECT_EQ(Audio(out), testfiles::ReadFile(src));
    }
}

TEST_F(RealFiles, FadeOutFallsGranuleByGranuleToSilence) {
    const std::string src = Encoded("fade", 44100, 2, "synth 6 sine 440 gain -6", "-b 128");
    LevelRequest r;
    r.fadeOut = TimeRange{3.0, HUGE_VAL};
    const std::string out = dir->file("faded.mp3");
    const LevelReport report = Apply(src, r, out);
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(std::filesystem::file_size(out), std::filesystem::file_size(src));
    const auto s = splittest::DecodeMpg123(out), before = splittest::DecodeMpg123(src);
    ASSERT_GE(s.size(), size_t{6 * 44100 * 2});
    ASSERT_EQ(s.size(), before.size());
    const size_t g = 576 * 2;
    double last = 0;
    int falls = 0;
    for (size_t from = 3 * 44100 * 2 + g; from + g <= s.size(); from += g) {
        const double level = RmsDb(s, from, from + g);
        EXPECT_LE(level, last + 0.3) << "granule at sample " << from / 2;
        if (level < last - 0.5) ++falls;
        last = level;
    }
    EXPECT_GT(falls, 30);
    EXPECT_LT(RmsDb(s, s.size() - 4410 * 2), -80.0);
    // Before the fade (and a granule of overlap), the sound is the source's.
    int worst = 0;
    for (size_t i = 0; i + g < 3 * 44100 * 2; ++i) worst = std::max(worst, std::abs(s[i] - before[i]));
    EXPECT_LE(worst, 2);
}

TEST_F(RealFiles, AFailedWriteLeavesTheFileAsItWas) {
    const std::string src = Noise("failing", 44100, 2, "-b 128");
    const Bytes original = testfiles::ReadFile(src);
    int failures = 0;
    for (int n = 1; n <= 12; ++n) {
        mdlID3::InjectIoFailureAt(n);
        const LevelReport r = Apply(src, Steps(2), "");
        mdlID3::InjectIoFailureAt(0);
        if (r.ok) break;
        ++failures;
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(testfiles::ReadFile(src), original) << "failure at write " << n;
    }
    EXPECT_GT(failures, 2);
    for (const auto& entry : std::filesystem::directory_iterator(dir->path()))
        EXPECT_EQ(entry.path().string().find(".trimbel-"), std::string::npos) << entry.path();
}

// An edit list's level saved with "Save edited as...": the frames are the source's but for the
// global gains in their side information (and CRCs), and the decoded level moves by the steps.
TEST_F(RealFiles, SavedEditsCarryTheirLevelInTheSideInformationOnly) {
    const std::string src = Encoded("edited", 44100, 2, "synth 6 sine 440 gain -6", "-p -b 160");
    FrameTable table;
    ASSERT_TRUE(ScanFrames(src, table));
    const int64_t samples = SourceTimeline(table).DecodedSamples();
    const auto before = splittest::DecodeMpg123(src);
    const Bytes source = testfiles::ReadFile(src);
    struct Case {
        const char* name;
        int steps;  // 0: a fade out over the range instead
        double from, to;
    } cases[] = {{"whole +2", 2, 0, 6}, {"whole -3", -3, 0, 6}, {"range +4", 4, 2, 4}, {"fade out", 0, 3, 6}};
    const size_t g = 576 * 2;  // one granule of stereo samples
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditList edits(samples);
        const SampleRange range{std::llround(c.from * 44100), std::min<int64_t>(samples, std::llround(c.to * 44100))};
        ASSERT_EQ(c.steps != 0 ? edits.ChangeGain(range, c.steps) : edits.FadeOut(range), EditRefusal::None);
        const std::string out = dir->file(std::string("edited-") + std::to_string(&c - cases) + ".mp3");
        RenderPlan plan;
        std::string error;
        ASSERT_TRUE(SaveEdited(src, table, edits, RenderOptions{}, out, nullptr, {}, {}, plan, &error)) << error;

        FrameTable written;
        ASSERT_TRUE(ScanFrames(out, written));
        ASSERT_EQ(written.frames.size(), table.frames.size());
        const Bytes bytes = testfiles::ReadFile(out);
        size_t changed = 0, outside = 0;
        for (size_t i = 0; i < table.frames.size(); ++i) {
            const MpegFrame &a = table.frames[i], &b = written.frames[i];
            ASSERT_EQ(a.length, b.length);
            const size_t sideEnd = 4 + (a.crc() ? 2 : 0) + Layer3SideInfoSize(table.version, a.channelMode());
            for (size_t k = 0; k < a.length; ++k) {
                if (source[a.offset + k] == bytes[b.offset + k]) continue;
                ++changed;
                if (k < 4 || k >= sideEnd) ++outside;
            }
        }
        EXPECT_GT(changed, 0u);
        EXPECT_EQ(outside, 0u);
        EXPECT_EQ(Mpg123Complaints(out), "");
        EXPECT_EQ(FfmpegComplaints(out), "");

        const auto after = splittest::DecodeMpg123(out);
        ASSERT_EQ(after.size(), before.size());
        const size_t start = range.start * 2, end = range.end * 2;
        int worst = 0;
        for (size_t i = 0; i < after.size(); ++i)
            if (i + g < start || i >= end + g) worst = std::max(worst, std::abs(after[i] - before[i]));
        EXPECT_LE(worst, 2) << "outside the range the sound is the source's";
        if (c.steps != 0) {
            EXPECT_NEAR(RmsDb(after, start + g, end - g) - RmsDb(before, start + g, end - g), c.steps * 1.50515, 0.05);
            continue;
        }
        double last = 0;
        int falls = 0;
        for (size_t from = start + g; from + g <= after.size(); from += g) {
            const double level = RmsDb(after, from, from + g);
            EXPECT_LE(level, last + 0.3) << "granule at sample " << from / 2;
            if (level < last - 0.5) ++falls;
            last = level;
        }
        EXPECT_GT(falls, 30);
        EXPECT_LT(RmsDb(after, after.size() - 4410 * 2), -80.0) << "the last 100 ms are silent";
    }
}
