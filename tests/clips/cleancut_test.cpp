#include "clips/cleancut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/resource.h>

#include "mpeg/framescan.h"
#include "support/testfiles.h"

using namespace testfiles;

namespace {

std::vector<int16_t> Pcm(const std::string& command) {
    std::string bytes = CommandOutput(command);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Largest difference between `clip` and `source` from sample frame `offset` on (both
// interleaved with `channels`); -1 when the source is too short.
int MaxDifference(const std::vector<int16_t>& source, const std::vector<int16_t>& clip, size_t offset,
                  size_t channels) {
    const size_t start = offset * channels;
    if (start + clip.size() > source.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < clip.size(); ++i) worst = std::max(worst, std::abs(clip[i] - source[start + i]));
    return worst;
}

double Number(const std::string& text) { return std::atof(text.c_str()); }

double MutagenLength(const std::string& path) {
    return Number(CommandOutput("/usr/bin/python3 -c \"import mutagen.mp3,sys; "
                         "print(repr(mutagen.mp3.MP3(sys.argv[1]).info.length))\" " + ShellQuote(path)));
}

// ffprobe's playing time: the end of the stream's timeline less its start, which is where the
// decoder starts output after the delay of the LAME tag.
double FfprobeLength(const std::string& path) {
    const std::string out = CommandOutput("ffprobe -v error -show_entries format=start_time,duration -of "
                                   "default=nw=1 " + ShellQuote(path));
    const auto field = [&](const std::string& name) {
        auto at = out.find(name + "=");
        return at == std::string::npos ? NAN : Number(out.substr(at + name.size() + 1));
    };
    return field("duration") - field("start_time");
}

struct Source {
    std::string name;
    std::string lameArgs;
    bool vbr;
};

void PrintTo(const Source& s, std::ostream* os) { *os << s.name; }

class CleanCutTest : public ::testing::TestWithParam<Source> {
public:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        const std::string wav = dir_->file("music.wav");
        // Plucked notes with a beat: busy enough that the encoder leans on the bit reservoir.
        ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + ShellQuote(wav) +
                               " synth 26 pluck 220 pluck 330 tremolo 3 40 >/dev/null 2>&1").c_str()),
                  0);
    }
    static void TearDownTestSuite() { dir_.reset(); }

protected:
    std::string Encode(const Source& s) {
        const std::string out = dir_->file(s.name + ".mp3");
        const std::string cmd = "lame --quiet " + s.lameArgs + " " + ShellQuote(dir_->file("music.wav")) + " " +
                                ShellQuote(out);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return out;
    }
    static std::unique_ptr<TempDir> dir_;
};

std::unique_ptr<TempDir> CleanCutTest::dir_;

// Clips inside the source and at its ends: nothing but one header frame and whole frames, the
// length players report, and exactly the marked samples of the source's own gapless decode, by
// mpg123 and by ffmpeg.
TEST_P(CleanCutTest, ClipsDecodeToExactlyTheMarkedSamplesOfTheSource) {
    const Source& s = GetParam();
    const std::string source = Encode(s);
    FrameTable src;
    ASSERT_TRUE(ScanFrames(source, src));
    if (s.name == "tagged") {
        EXPECT_GT(src.id3v2Bytes, 0);
        EXPECT_TRUE(src.hasId3v1);
    }
    const size_t channels = src.frames[0].channelMode() == 3 ? 1 : 2, rate = src.sampleRate;
    const auto mpg123 = [](const std::string& path) { return "mpg123 -q -s " + ShellQuote(path); };
    const auto ffmpeg = [](const std::string& path) {
        return "ffmpeg -v error -i " + ShellQuote(path) + " -f s16le -";
    };
    // Where decoded sample 0 lies in each decoder's output: a source without a LAME tag is decoded
    // untrimmed, from the decoder's 529 samples of delay on.
    const size_t zero = src.vbr.hasLame ? 0 : 529;
    const std::vector<int16_t> sourcePcm[] = {Pcm(mpg123(source)), Pcm(ffmpeg(source))};
    const size_t total = sourcePcm[0].size() / channels - zero;

    const struct {
        double start, end;
    } ranges[] = {{21.0, 25.0}, {0.0, 1.0}, {2.0, 1e6}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(range.start);
        const std::string clip = dir_->file(s.name + "-" + std::to_string(range.start) + ".mp3");
        std::string error;
        CleanClipResult r;
        ASSERT_TRUE(SaveCleanClip(source, range.start, range.end, clip, &error, &r)) << error;
        const size_t start = static_cast<size_t>(range.start) * rate;
        const size_t samples = std::min(static_cast<size_t>(std::min(range.end, 1e5) * rate), total) - start;
        EXPECT_EQ(r.startSample, start);
        EXPECT_EQ(r.endSample, start + samples);
        EXPECT_TRUE(r.exactStart);
        // From the source's first frame on, and to its last.
        EXPECT_TRUE(range.start > 0 || r.firstFrame == r.leadFrames) << r.firstFrame;
        EXPECT_TRUE(range.end < 1e5 || r.endFrame == src.frames.size()) << r.endFrame;

        FrameTable c;
        ASSERT_TRUE(ScanFrames(clip, c, &error)) << error;
        EXPECT_EQ(c.id3v2Bytes, 0);
        EXPECT_FALSE(c.hasId3v1);
        EXPECT_EQ(c.audioStart, 0);
        EXPECT_EQ(c.audioEnd, c.fileSize);
        EXPECT_EQ(c.junkBytes, 0);
        EXPECT_EQ(c.vbr.kind, s.vbr ? VbrHeader::Kind::Xing : VbrHeader::Kind::Info);
        EXPECT_EQ(c.frames.size(), r.frames);
        EXPECT_EQ(c.vbr.frames, r.frames);
        EXPECT_EQ(c.vbr.bytes, static_cast<uint32_t>(c.fileSize));
        EXPECT_TRUE(c.vbr.tagCrcValid);
        EXPECT_EQ(c.vbr.encoderDelay, r.encoderDelay);
        EXPECT_EQ(c.vbr.encoderPadding, r.encoderPadding);
        // The delay hides the lead frames and the start of the first frame, not a whole frame more.
        EXPECT_GE(c.vbr.encoderDelay + 529u, r.leadFrames * src.samplesPerFrame);
        EXPECT_LT(c.vbr.encoderDelay + 529u, (r.leadFrames + 1) * src.samplesPerFrame);

        EXPECT_EQ(CommandOutput("ffmpeg -v error -i " + ShellQuote(clip) + " -f null - 2>&1"), "");
        // Players' lengths: mutagen reads the tag's delay and padding; ffprobe estimates to a frame.
        const double seconds = static_cast<double>(samples) / rate;
        EXPECT_NEAR(MutagenLength(clip), seconds, 0.001);
        EXPECT_NEAR(FfprobeLength(clip), seconds, static_cast<double>(src.samplesPerFrame) / rate);
        for (int d = 0; d < 2; ++d) {
            const auto clipPcm = Pcm(d == 0 ? mpg123(clip) : ffmpeg(clip));
            EXPECT_EQ(clipPcm.size(), samples * channels) << d;
            EXPECT_LE(MaxDifference(sourcePcm[d], clipPcm, zero + start, channels), 2) << d;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    LameFiles, CleanCutTest,
    ::testing::Values(Source{"cbr", "-b 128", false}, Source{"vbr", "-V2", true},
                      Source{"mono48k", "-m m -b 64 --resample 48", false}, Source{"rate48k", "-V4 --resample 48", true},
                      Source{"mpeg2", "-V5 --resample 22.05", true},
                      Source{"tagged", "-V2 --add-id3v2 --pad-id3v2 --tt Title --ta Artist --ty 2001", true},
                      Source{"nolametag", "-t -b 96", false}),
    [](const ::testing::TestParamInfo<Source>& info) { return info.param.name; });

// Frames with a marker byte each, so the copied bytes can be traced back.
Bytes MarkedFrames(int count, int firstMark) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        Bytes f = SilentFrame();
        f[200] = static_cast<uint8_t>(firstMark + i);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

TEST(CleanCutBytesTest, CopiesWholeFramesOnlyBehindAFreshInfoFrame) {
    TempDir dir;
    Bytes id3v2 = {'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0};
    id3v2.resize(10 + 128, 0xFF);  // tag body of sync look-alikes
    const Bytes junk = {0xFF, 0xFB, 0x90, 0x44, 1, 2, 3, 4, 5, 6, 7};
    const Bytes source = Concat({id3v2, MarkedFrames(20, 0), junk, MarkedFrames(30, 20),
                                 Id3v1Tag("Title", "Artist", "", "", "", 0)});
    WriteFile(dir.file("s.mp3"), source);

    // Without a LAME tag decoded sample 0 lies 529 into frame 0: these marks fall on frame starts.
    const double frame = 1152.0 / 44100, lag = 529.0 / 44100;
    CleanClipResult r;
    std::string error;
    ASSERT_TRUE(SaveCleanClip(dir.file("s.mp3"), 15 * frame - lag, 35 * frame - lag, dir.file("c.mp3"), &error, &r))
        << error;
    EXPECT_EQ(r.firstFrame, 15u);
    EXPECT_EQ(r.endFrame, 35u);
    EXPECT_EQ(r.leadFrames, 1u);  // no reservoir: just the frame before for the overlap

    const Bytes clip = ReadFile(dir.file("c.mp3"));
    ASSERT_EQ(clip.size(), 21u * 417 + 417);  // CBR: the Info frame has the stream's size
    EXPECT_EQ(Bytes(clip.begin(), clip.begin() + 4), (Bytes{0xFF, 0xFB, 0x90, 0x44}));
    EXPECT_EQ(std::string(clip.begin() + 36, clip.begin() + 40), "Info");
    for (int i = 0; i < 21; ++i) {
        const Bytes expected = MarkedFrames(1, 14 + i);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), clip.begin() + 417 * (i + 1))) << i;
    }
    FrameTable c;
    ASSERT_TRUE(ScanFrames(dir.file("c.mp3"), c));
    EXPECT_EQ(c.vbr.frames, 21u);
    EXPECT_EQ(c.vbr.bytes, clip.size());
    EXPECT_EQ(c.vbr.toc[0], 417 * 256 / clip.size());
    EXPECT_TRUE(std::is_sorted(c.vbr.toc.begin(), c.vbr.toc.end()));
    EXPECT_EQ(c.vbr.encoder, "LAME3.100");
    EXPECT_EQ(c.vbr.encoderDelay, 1152 - 529);
    EXPECT_EQ(c.vbr.musicLength, clip.size());
    EXPECT_EQ(c.vbr.musicCrc, LameCrc16(clip.data() + 417, clip.size() - 417));
    EXPECT_TRUE(c.vbr.tagCrcValid);
}

TEST(CleanCutBytesTest, TheBitReservoirComesInACarrierFrameAndTheDelayHidesTheLead) {
    TempDir dir;
    // main_data_begin of 500 bytes at frame 10 and 300 at frame 9 (381 bytes of main data each).
    Bytes frames = SilentFrames(30);
    auto setBegin = [&](int frame, int begin) {
        frames[frame * 417 + 4] = static_cast<uint8_t>(begin >> 1);
        frames[frame * 417 + 5] = static_cast<uint8_t>((begin & 1) << 7);
    };
    setBegin(9, 300);
    setBegin(10, 500);
    for (int i = 0; i < 30; ++i) frames[i * 417 + 416] = static_cast<uint8_t>(i);  // each area's last byte
    WriteFile(dir.file("s.mp3"), frames);
    // 32 kbit/s frames of 104 bytes (68 of main data), all borrowing 511: 8 frames back.
    for (int i = 1; i < 30; ++i) setBegin(i, 511);
    for (int i = 0; i < 30; ++i) frames[i * 417 + 2] = 0x10;
    Bytes thin;
    for (int i = 0; i < 30; ++i) {
        thin.insert(thin.end(), frames.begin() + i * 417, frames.begin() + i * 417 + 104);
        thin.back() = static_cast<uint8_t>(i);
    }
    WriteFile(dir.file("thin.mp3"), thin);

    // Decoded sample s lies at s + 529 of the frame timeline (no LAME tag).
    const struct {
        const char* file;
        uint64_t start;    // the mark, in samples
        size_t lead;       // lead frames, the carrier included
        uint32_t carrier;  // its length, 0 for none
        uint64_t delay;
    } cases[] = {
        {"s.mp3", 10 * 1152 - 529, 2, 417, 2 * 1152 - 529},              // on a frame start
        {"s.mp3", 10 * 1152 - 529 + 700, 2, 417, 2 * 1152 - 529 + 700},  // 700 into it
        {"s.mp3", 13 * 1152, 1, 0, 1152},                                 // 529 into frame 13
        // 511 bytes need a frame of 192 kbit/s; the tag hides it without the 8 frames that hold them.
        {"thin.mp3", 20 * 1152 - 529 + 700, 2, 626, 2 * 1152 - 529 + 700},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.start));
        const double at = static_cast<double>(c.start) / 44100;
        CleanClipResult r;
        std::string error;
        ASSERT_TRUE(SaveCleanClip(dir.file(c.file), at, at + 0.1, dir.file("c.mp3"), &error, &r)) << error;
        EXPECT_EQ(r.leadFrames, c.lead);
        EXPECT_EQ(r.encoderDelay, c.delay);
        EXPECT_EQ(r.startSample, c.start);
        EXPECT_TRUE(r.exactStart);
        EXPECT_EQ(r.endSample, c.start + 4410);
        FrameTable t;
        ASSERT_TRUE(ScanFrames(dir.file("c.mp3"), t));
        EXPECT_EQ(t.vbr.encoderDelay, c.delay);
        // The samples given end on the end mark: the padding hides the rest of the last frame.
        EXPECT_EQ(r.frames * 1152 - t.vbr.encoderDelay - t.vbr.encoderPadding, 4410u);
        if (c.carrier) {
            // The carrier ends with the bytes the next frame borrows: the last of them is the last
            // byte of the source frame before it.
            const Bytes clip = ReadFile(dir.file("c.mp3"));
            ASSERT_EQ(t.frames[0].length, c.carrier);
            EXPECT_EQ(t.frames[0].mainDataBegin, 0);
            EXPECT_EQ(clip[t.frames[0].offset + c.carrier - 1], r.firstFrame - 2);
            EXPECT_EQ(t.frames[1].mainDataBegin, c.file == std::string("s.mp3") ? 300 : 511);
        }
    }
}

// Where no frame can carry the reservoir, the frames that hold it are written, and when the tag
// cannot hide them with the offset, the clip starts on the nearest frame start.
TEST(CleanCutBytesTest, ALeadTooLongForTheDelayFieldMovesTheStartToTheNearestFrame) {
    FrameTable t;
    t.layer = 3;
    t.version = MpegVersion::Mpeg1;
    t.sampleRate = 44100;
    t.samplesPerFrame = 1152;
    for (int i = 0; i < 30; ++i) t.frames.push_back({104 * i, 0, 104, static_cast<uint16_t>(i ? 511 : 0)});
    const struct {
        uint64_t start;
        uint64_t startSample;
        size_t from;
    } cases[] = {
        {20 * 1152 - 529 + 100, 20 * 1152 - 529, 16},  // down to frame 20, 4 lead frames
        {20 * 1152 - 529 + 700, 21 * 1152 - 529, 17},  // up to frame 21
        {3 * 1152 - 529 + 100, 3 * 1152 - 529 + 100, 0},  // near the start the whole lead fits
    };
    for (const auto& c : cases) {
        const ClipLayout layout = PlanClipLayout(t, c.start, c.start + 5000);
        EXPECT_EQ(layout.start, c.startSample) << c.start;
        EXPECT_EQ(layout.exactStart, c.start == c.startSample) << c.start;
        EXPECT_EQ(layout.from, c.from) << c.start;
        EXPECT_EQ(layout.carrier.length, 0u);
        EXPECT_LE(layout.delay, 4095u);
        EXPECT_EQ(layout.end, c.start + 5000);
    }
}

TEST(CleanCutBytesTest, RefusesWhatItCannotCutAndLeavesFilesAlone) {
    TempDir dir;
    const Bytes source = SilentFrames(100);
    WriteFile(dir.file("s.mp3"), source);
    const std::string s = dir.file("s.mp3");
    const Bytes old = FromString("the previous contents of the target");
    WriteFile(dir.file("old.mp3"), old);
    const double frame = 1152.0 / 44100;
    std::string error;

    struct Case {
        double start, end;
        std::string target;
    };
    const Case cases[] = {
        {1.0, 1.0, dir.file("old.mp3")},
        {2.0, 1.0, dir.file("old.mp3")},
        {-1.0, 1.0, dir.file("old.mp3")},
        {NAN, 1.0, dir.file("old.mp3")},
        {1.0, 1.0 + 1e-6, dir.file("old.mp3")},                         // not a whole sample
        {200 * frame, 300 * frame, dir.file("old.mp3")},                 // past the end
        {0.5, 1.0, s},
        {0.5, 1.0, dir.path().string() + "/./s.mp3"},
        {0.5, 1.0, dir.file("missing-folder/c.mp3")},
    };
    for (const auto& c : cases) {
        error.clear();
        EXPECT_FALSE(SaveCleanClip(s, c.start, c.end, c.target, &error)) << c.start << " " << c.target;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(ReadFile(s), source);
    EXPECT_EQ(ReadFile(dir.file("old.mp3")), old);

    // Layer II has no bit reservoir or Xing convention to rely on.
    Bytes layer2;
    for (int i = 0; i < 50; ++i) {
        Bytes f(208, 0);
        f[0] = 0xFF, f[1] = 0xFD, f[2] = 0x40;
        layer2.insert(layer2.end(), f.begin(), f.end());
    }
    WriteFile(dir.file("l2.mp2"), layer2);
    EXPECT_FALSE(SaveCleanClip(dir.file("l2.mp2"), 0.1, 0.5, dir.file("old.mp3"), &error));
    EXPECT_NE(error.find("Layer III"), std::string::npos) << error;

    // A finisher that fails, and a write that fails half way (the file size limit stands in for
    // a full disk), leave the old target and no temporary file.
    const auto refuse = [](const std::string&, std::string* why) {
        *why = "tags refused";
        return false;
    };
    EXPECT_FALSE(SaveCleanClip(s, 0.5, 1.5, dir.file("old.mp3"), &error, nullptr, refuse));
    EXPECT_EQ(error, "tags refused");
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 5000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = SaveCleanClip(s, 0.5, 1.5, dir.file("old.mp3"), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("Cannot write"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(dir.file("old.mp3")), old);
    size_t files = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 3u);  // s.mp3, old.mp3, l2.mp2
}

}  // namespace
