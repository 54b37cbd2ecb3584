// Level changes on real encoder output, checked with independent tools: mpg123 and ffmpeg
// decode, ffmpeg measures loudness and checks frame CRCs, mp3gain and loudgain are the peers,
// mutagen reads the tags.
#include <cmath>
#include <filesystem>
#include <regex>
#include <sstream>

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

double RmsDb(const std::vector<int16_t>& s, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, s.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return to > from ? 10 * std::log10(sum / double(to - from) / (32768.0 * 32768.0) + 1e-30) : -300;
}

LevelReport Apply(const std::string& in, LevelRequest request, const std::string& out) {
    LevelSource source;
    LevelReport failed;
    if (!OpenLevelSource(in, source, &failed.error) || !MeasureLevelSource(source, request, &failed.error)) return failed;
    request.target = out;
    return ApplyLevel(source, request);
}

LevelRequest Request(LevelMode mode, int steps = 0) {
    LevelRequest r;
    r.mode = mode;
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
    const auto at = static_cast<size_t>(
        std::search(bytes.begin() + table.vbr.offset, bytes.end(), table.vbr.lameBytes.begin(), table.vbr.lameBytes.end()) -
        bytes.begin());
    return {at + 32, at + 33, at + 34, at + 35};
}

// Bytes of the audio frames of `out` that differ from those of `src`, frame for frame: all of them,
// and those outside the header's side information and CRC (which a gain change may touch).
std::pair<size_t, size_t> FrameChanges(const std::string& src, const std::string& out) {
    FrameTable a, b;
    EXPECT_TRUE(ScanFrames(src, a) && ScanFrames(out, b));
    EXPECT_EQ(a.frames.size(), b.frames.size());
    const Bytes source = testfiles::ReadFile(src), bytes = testfiles::ReadFile(out);
    size_t changed = 0, outside = 0;
    for (size_t i = 0; i < std::min(a.frames.size(), b.frames.size()); ++i) {
        const MpegFrame &f = a.frames[i], &g = b.frames[i];
        EXPECT_EQ(f.length, g.length) << "frame " << i;
        const size_t sideEnd = 4 + (f.crc() ? 2 : 0) + Layer3SideInfoSize(a.version, f.channelMode());
        for (size_t k = 0; k < std::min(f.length, g.length); ++k) {
            if (source[f.offset + k] == bytes[g.offset + k]) continue;
            ++changed;
            outside += k < 4 || k >= sideEnd;
        }
    }
    return {changed, outside};
}

// What follows the leading ID3v2 tag.
Bytes Audio(const std::string& path) {
    const Bytes bytes = testfiles::ReadFile(path);
    std::vector<uint8_t> tag;
    ReadLeadingTag(path, tag, nullptr);
    return Bytes(bytes.begin() + static_cast<long>(tag.size()), bytes.end());
}

// What mpg123 and ffmpeg (checking frame CRCs) complain about while decoding.
std::string DecoderComplaints(const std::string& path) {
    const std::string out = testfiles::CommandOutput("mpg123 -t " + ShellQuote(path) + " 2>&1");
    std::smatch m;
    const bool bad = std::regex_search(out, m, std::regex("(warning|error|illegal|bad|invalid)[^\\n]*", std::regex::icase));
    return (bad ? m.str() : "") +
           testfiles::CommandOutput("ffmpeg -v error -err_detect crccheck -i " + ShellQuote(path) + " -f null - 2>&1");
}

double FfmpegLoudness(const std::string& path) {
    const std::string out =
        testfiles::CommandOutput("ffmpeg -nostats -i " + ShellQuote(path) + " -filter_complex ebur128 -f null - 2>&1");
    const auto at = out.rfind("I:");
    return at == std::string::npos ? NAN : std::atof(out.c_str() + at + 2);
}

std::string MutagenText(const std::string& path, const std::string& description) {
    return testfiles::PythonOutput("import sys, mutagen.id3; print(mutagen.id3.ID3(sys.argv[1])['TXXX:" + description +
                                    "'].text[0])",
                                path);
}

// The largest difference between two decodes over the samples that `skip` does not take out.
template <typename Skip>
int Worst(const std::vector<int16_t>& a, const std::vector<int16_t>& b, Skip skip) {
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (!skip(i)) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

constexpr size_t kGranule = 576 * 2;  // one granule of stereo samples
constexpr size_t kSecond = 44100 * 2;

class RealFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir = new testfiles::TempDir; }
    static void TearDownTestSuite() { delete dir; }
    void SetUp() override {
        if (!splittest::HaveCodecTools()) GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg missing";
    }
    // Encodes once per suite.
    static std::string Encoded(const std::string& name, int channels, const std::string& effects, const std::string& lame,
                               int rate = 44100) {
        const std::string path = dir->file(name + ".mp3");
        EXPECT_TRUE(std::filesystem::exists(path) || splittest::Encode(path, rate, channels, effects, lame)) << name;
        return path;
    }
    static std::string Noise(const std::string& name, const std::string& lame, int channels = 2, int rate = 44100) {
        return Encoded(name, channels, "synth 6 pinknoise gain -22", lame, rate);
    }
    static inline testfiles::TempDir* dir = nullptr;
};

}  // namespace

// Each change is undone from its record, byte for byte; without a record there is nothing to undo.
TEST_F(RealFiles, StepsChangeTheDecodedLevelExactlyTouchingOnlySideInformationAndUndo) {
    struct Kind {
        const char *name, *lame;
        int channels, rate;
    } kinds[] = {
        {"cbr-joint", "-b 128", 2, 44100}, {"vbr", "-V 2", 2, 44100},      {"stereo", "-m s -b 160", 2, 44100},
        {"mono", "-m m -b 64", 1, 44100},  {"mpeg2", "-b 64", 2, 22050},   {"crc", "-p -V 4", 2, 44100},
    };
    for (const Kind& k : kinds) {
        const std::string src = Noise(k.name, k.lame, k.channels, k.rate);
        const auto before = splittest::DecodeMpg123(src);
        ASSERT_GT(before.size(), 100000u) << k.name;
        for (int steps : {2, -3}) {
            SCOPED_TRACE(std::string(k.name) + " " + std::to_string(steps));
            const std::string out = dir->file(std::string(k.name) + std::to_string(steps) + ".mp3");
            const LevelReport r = Apply(src, Request(LevelMode::Steps, steps), out);
            ASSERT_TRUE(r.ok) << r.error;
            EXPECT_EQ(r.stepsApplied, steps);
            EXPECT_EQ(r.count.clamped, 0u);
            EXPECT_EQ(r.undoRecord, steps > 0 ? "-002,-002,N" : "+003,+003,N");
            EXPECT_EQ(r.musicCrc == MusicCrc::Updated, !LameCrcBytes(src).empty());
            const auto after = splittest::DecodeMpg123(out);
            ASSERT_EQ(after.size(), before.size());
            EXPECT_NEAR(RmsDb(after) - RmsDb(before), steps * 1.50515, 0.05);
            EXPECT_EQ(DecoderComplaints(out), "");
            // Byte by byte; the undo below also finds any change outside the frames.
            const auto [changed, outside] = FrameChanges(src, out);
            EXPECT_GT(changed, 0u);
            EXPECT_EQ(outside, 0u);
            const LevelReport undone = Apply(out, Request(LevelMode::Undo), out + ".undone.mp3");
            ASSERT_TRUE(undone.ok) << undone.error;
            EXPECT_TRUE(undone.undoRemoved);
            EXPECT_EQ(testfiles::ReadFile(out + ".undone.mp3"), testfiles::ReadFile(src));
        }
        EXPECT_FALSE(Apply(src, Request(LevelMode::Undo), src + ".nothing.mp3").ok);
    }
}

TEST_F(RealFiles, Mp3gainUndoesOurChangeAndWeUndoItsChange) {
    if (!testfiles::HaveTools("mp3gain")) GTEST_SKIP() << "mp3gain missing";
    const std::string src = Noise("peer", "-b 128"), ours = dir->file("ours.mp3"), theirs = dir->file("theirs.mp3");
    const Bytes original = testfiles::ReadFile(src);
    ASSERT_TRUE(Apply(src, Request(LevelMode::Steps, 2), ours).ok);
    int status = -1;
    testfiles::CommandOutput("mp3gain -q -s i -u " + ShellQuote(ours) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    // mp3gain leaves the LAME tag alone, so the music CRC stays the one we wrote.
    Bytes undone = Audio(ours);
    ASSERT_EQ(undone.size(), original.size());
    for (size_t i : LameCrcBytes(src)) undone[i] = original[i];
    EXPECT_EQ(undone, original);

    std::filesystem::copy_file(src, theirs);
    testfiles::CommandOutput("mp3gain -q -s i -g 3 " + ShellQuote(theirs) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    ASSERT_NE(testfiles::ReadFile(theirs), original);
    const LevelReport r = Apply(theirs, Request(LevelMode::Undo), theirs + ".undone.mp3");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.stepsApplied, -3);
    EXPECT_EQ(testfiles::ReadFile(theirs + ".undone.mp3"), original);
}

// A level change over a stretch, made by the level command or saved with an edit list ("Save
// edited as..."): every frame is the source's but for the global gains in its side information
// (and its CRC); outside the stretch the sound is the source's, inside it moves by the steps, or a
// fade-out falls granule by granule to silence.
TEST_F(RealFiles, StretchesChangeOnlyTheirSideInformationAndTheirSound) {
    const std::string noise = Noise("range", "-b 192"), tone = Encoded("fade", 2, "synth 6 sine 440 gain -6", "-b 128"),
                      protectedTone = Encoded("edited", 2, "synth 6 sine 440 gain -6", "-p -b 160");
    struct Case {
        const char* name;
        const std::string& src;
        bool edits;  // saved with an edit list, else by the level command
        int steps;   // 0: a fade out over the stretch instead
        double from, to;
    } cases[] = {
        {"range +4", noise, false, 4, 2, 4},
        {"fade out", tone, false, 0, 3, 6},
        {"edited whole +2", protectedTone, true, 2, 0, 6},
        {"edited whole -3", protectedTone, true, -3, 0, 6},
        {"edited range +4", protectedTone, true, 4, 2, 4},
        {"edited fade out", protectedTone, true, 0, 3, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameTable table;
        ASSERT_TRUE(ScanFrames(c.src, table));
        const int64_t samples = SourceTimeline(table).DecodedSamples();
        const SampleRange range{std::llround(c.from * 44100), std::min<int64_t>(samples, std::llround(c.to * 44100))};
        const std::string out = dir->file(std::string("stretch-") + std::to_string(&c - cases) + ".mp3");
        if (c.edits) {
            EditList edits(samples);
            ASSERT_EQ(c.steps != 0 ? edits.ChangeGain(range, c.steps) : edits.FadeOut(range), EditRefusal::None);
            RenderPlan plan;
            std::string error;
            ASSERT_TRUE(SaveEdited(c.src, table, edits, RenderOptions{}, out, nullptr, {}, {}, plan, &error)) << error;
        } else {
            LevelRequest request = Request(LevelMode::Steps, c.steps);
            (c.steps != 0 ? request.range : request.fadeOut) = TimeRange{c.from, c.steps != 0 ? c.to : HUGE_VAL};
            const LevelReport r = Apply(c.src, request, out);
            ASSERT_TRUE(r.ok) << r.error;
            EXPECT_TRUE(r.undoRecord.empty());
        }

        const auto [changed, outside] = FrameChanges(c.src, out);
        EXPECT_GT(changed, 0u);
        EXPECT_EQ(outside, 0u);
        EXPECT_EQ(DecoderComplaints(out), "");

        const auto before = splittest::DecodeMpg123(c.src), after = splittest::DecodeMpg123(out);
        ASSERT_EQ(after.size(), before.size());
        const size_t start = range.start * 2, end = range.end * 2;
        EXPECT_LE(Worst(after, before, [&](size_t i) { return i + kGranule >= start && i < end + kGranule; }), 2)
            << "outside the stretch the sound is the source's";
        if (c.steps != 0) {
            EXPECT_NEAR(RmsDb(after, start + kGranule, end - kGranule) - RmsDb(before, start + kGranule, end - kGranule),
                        c.steps * 1.50515, 0.05);
            continue;
        }
        double last = 0;
        int falls = 0;
        for (size_t from = start + kGranule; from + kGranule <= after.size(); from += kGranule) {
            const double level = RmsDb(after, from, from + kGranule);
            EXPECT_LE(level, last + 0.3) << "granule at sample " << from / 2;
            falls += level < last - 0.5;
            last = level;
        }
        EXPECT_GT(falls, 30);
        EXPECT_LT(RmsDb(after, after.size() - kSecond / 10), -80.0) << "the last 100 ms are silent";
    }
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
        {Encoded("quiet", 2, "synth 8 pinknoise gain -19", "-b 192"), -30, false},
        {Encoded("loud", 2, "synth 8 pinknoise gain -0.5", "-b 192"), -10, false},
        {peaky, -33, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_NEAR(FfmpegLoudness(c.path), c.lufs, 3.0);
        const std::string out = c.path + ".normalised.mp3";
        const LevelReport report = Apply(c.path, Request(LevelMode::Normalize), out);
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
    if (!testfiles::HaveTools("loudgain")) GTEST_SKIP() << "loudgain missing";
    for (int channels : {2, 1}) {
        const std::string src = Encoded("rg" + std::to_string(channels), channels, "synth 6 pinknoise gain -15", "-V 3");
        const std::string copy = src + ".peer.mp3";
        std::filesystem::copy_file(src, copy, std::filesystem::copy_options::overwrite_existing);
        // Tab-separated: file, loudness, range, true peak, dBTP, reference, will clip, clip
        // prevention, gain, ...
        std::istringstream line(testfiles::CommandOutput("loudgain -q -O " + ShellQuote(copy) + " 2>/dev/null | tail -1"));
        std::vector<std::string> fields;
        for (std::string field; std::getline(line, field, '\t');) fields.push_back(field);
        ASSERT_GE(fields.size(), 9u) << line.str();

        const std::string out = src + ".rg.mp3";
        const LevelReport report = Apply(src, Request(LevelMode::ReplayGain), out);
        ASSERT_TRUE(report.ok) << report.error;
        EXPECT_NEAR(report.trackGainDb, std::atof(fields[8].c_str()), 0.1) << channels;
        const std::string text = MutagenText(out, "REPLAYGAIN_TRACK_GAIN");
        EXPECT_EQ(text, ReplayGainText(report.trackGainDb) + "\n");
        EXPECT_TRUE(std::regex_match(text, std::regex("-?[0-9]+\\.[0-9]{2} dB\n"))) << text;
        EXPECT_NEAR(std::atof(MutagenText(out, "REPLAYGAIN_TRACK_PEAK").c_str()), report.trackPeak, 1e-6);
        EXPECT_EQ(Audio(out), testfiles::ReadFile(src));
    }
}

TEST_F(RealFiles, AFailedWriteLeavesTheFileAsItWas) {
    const std::string src = Noise("failing", "-b 128");
    const Bytes original = testfiles::ReadFile(src);
    int failures = 0;
    for (int n = 1; n <= 12; ++n) {
        mdlID3::InjectIoFailureAt(n);
        const LevelReport r = Apply(src, Request(LevelMode::Steps, 2), "");
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
