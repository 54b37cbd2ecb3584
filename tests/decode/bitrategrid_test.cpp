// The constant-bitrate grid: fitted to the start of a lame file it puts every frame of the whole
// file where the walk finds it; it refuses a variable-bitrate start, and where junk moved the
// frames it does not claim them. A decoder seeking before it has the walk's index lands on the
// exact sample through the grid, reading only near the target.
#include "decode/bitrategrid.h"

#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "decode/decoder.h"
#include "files/descriptor.h"
#include "mpeg/framescan.h"
#include "support/testfiles.h"

namespace {

using testfiles::ShellQuote;

bool Encode(const std::string& path, double seconds, const std::string& lameArgs) {
    int status = -1;
    testfiles::CommandOutput("sox -q -n -r 44100 -c 2 -b 16 -t wav - synth " + std::to_string(seconds) +
                                 " sine 300-900 vol 0.5 | lame --quiet " + lameArgs + " - " + ShellQuote(path),
                             &status);
    return status == 0;
}

bool HaveEncoders() { return std::system("command -v sox >/dev/null && command -v lame >/dev/null") == 0; }

// Fitted to the first two seconds of frames, as libmpg123 notes them.
std::optional<BitrateGrid> FitStart(const std::string& path) {
    FrameTable prefix;
    if (!ScanFramesUntil(path, 2.0, prefix)) return std::nullopt;
    BitrateGrid::Known known;
    for (size_t n = 0; n < prefix.frames.size(); ++n) known.emplace_back(n, prefix.frames[n].offset);
    return BitrateGrid::Fit(known, prefix.frames.front().header, prefix.fileSize);
}

// What the player does at once after opening: decode the first seconds into its buffer, which
// shows libmpg123 the frames that the grid is fitted to.
void PlayTwoSeconds(Decoder& decoder) {
    std::vector<uint8_t> pcm(2 * 44100 * 4);
    size_t got = 0;
    ASSERT_EQ(decoder.Read(pcm.data(), pcm.size(), got), Decoder::ReadStatus::Data);
}

TEST(BitrateGrid, PutsEveryFrameOfAConstantBitrateFileWhereTheWalkFindsIt) {
    if (!HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    // 44.1 kHz pads most frames, 48 kHz at 128 kbit/s none, MPEG-2 at 22.05 kHz its own way.
    const std::pair<const char*, const char*> cases[] = {
        {"cbr128", "-b 128"}, {"cbr128_48k", "-b 128 --resample 48"}, {"mpeg2", "-b 56 --resample 22.05"},
        {"plain", "-t -b 192"}};
    for (const auto& [name, args] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(std::string(name) + ".mp3");
        ASSERT_TRUE(Encode(path, 60, args));
        FrameTable table;
        ASSERT_TRUE(ScanFrames(path, table));
        const std::optional<BitrateGrid> grid = FitStart(path);
        ASSERT_TRUE(grid.has_value());
        EXPECT_EQ(grid->Frames(), static_cast<int64_t>(table.frames.size()));
        int misplaced = 0;
        for (size_t n = 0; n < table.frames.size(); ++n)
            misplaced += grid->Offset(static_cast<int64_t>(n)) != table.frames[n].offset;
        EXPECT_EQ(misplaced, 0);
        const FileDescriptor fd = OpenFile(path, O_RDONLY);
        EXPECT_TRUE(grid->Holds(fd.get(), 1000, 1030));
        EXPECT_FALSE(grid->Holds(fd.get(), grid->Frames() - 5, grid->Frames() + 5));
    }
}

TEST(BitrateGrid, RefusesVariableBitrateAndClaimsNoFramesThatJunkMoved) {
    if (!HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    const std::string vbr = dir.file("vbr.mp3");
    ASSERT_TRUE(Encode(vbr, 10, "-V 2"));
    EXPECT_FALSE(FitStart(vbr).has_value());

    // Ten bytes of junk after frame 500 of a constant-bitrate file.
    const std::string clean = dir.file("clean.mp3"), junky = dir.file("junky.mp3");
    ASSERT_TRUE(Encode(clean, 30, "-t -b 128"));
    FrameTable table;
    ASSERT_TRUE(ScanFrames(clean, table));
    testfiles::Bytes bytes = testfiles::ReadFile(clean);
    const auto at = bytes.begin() + table.frames[500].offset;
    bytes.insert(at, 10, 0x00);
    testfiles::WriteFile(junky, bytes);
    const std::optional<BitrateGrid> grid = FitStart(junky);
    ASSERT_TRUE(grid.has_value());
    const FileDescriptor fd = OpenFile(junky, O_RDONLY);
    EXPECT_TRUE(grid->Holds(fd.get(), 100, 130));
    EXPECT_FALSE(grid->Holds(fd.get(), 600, 630));

    // The decoder still seeks there exactly: libmpg123 reads forward where the grid fails.
    Decoder reference, seeking;
    ASSERT_TRUE(reference.Open(junky));
    ASSERT_TRUE(seeking.Open(junky));
    std::vector<uint8_t> all(static_cast<size_t>(1) << 24), part(8192);
    size_t got = 0, total = 0;
    PlayTwoSeconds(seeking);
    while (reference.Read(all.data() + total, all.size() - total, got) == Decoder::ReadStatus::Data && got > 0)
        total += got;
    const int64_t target = 620 * 1152 + 77;
    ASSERT_TRUE(seeking.SeekToSample(target));
    ASSERT_EQ(seeking.Read(part.data(), part.size(), got), Decoder::ReadStatus::Data);
    ASSERT_GT(total, static_cast<size_t>(target) * 4 + got);
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + got, all.begin() + target * 4));
}

// Before the walk's index, once the first frames were decoded: a seek far into a
// constant-bitrate file gives the exact samples and reads only near the target.
TEST(BitrateGrid, DecoderSeeksExactlyOnTheGridBeforeTheIndex) {
    if (!HaveEncoders()) GTEST_SKIP() << "sox and lame are needed";
    testfiles::TempDir dir;
    const std::string path = dir.file("tone.mp3");
    ASSERT_TRUE(Encode(path, 120, "-b 128"));
    FrameTable table;
    ASSERT_TRUE(ScanFrames(path, table));
    Decoder reference;
    ASSERT_TRUE(reference.Open(path));
    std::vector<uint8_t> all(static_cast<size_t>(Decoder::GaplessLength(table)) * 4 + 8192);
    size_t got = 0, total = 0;
    while (reference.Read(all.data() + total, all.size() - total, got) == Decoder::ReadStatus::Data && got > 0)
        total += got;
    ASSERT_EQ(total, static_cast<size_t>(Decoder::GaplessLength(table)) * 4);
    for (int64_t target : {int64_t{44100} * 100 + 3, int64_t{44100} * 30, int64_t{44100} * 119}) {
        Decoder seeking;
        ASSERT_TRUE(seeking.Open(path));
        PlayTwoSeconds(seeking);
        const int64_t before = testfiles::BytesReadByProcess();
        ASSERT_TRUE(seeking.SeekToSample(target));
        // The start and end of the file for the grid (a block each) and a few frames at the target.
        const int64_t frameOffset = table.frames[static_cast<size_t>(target / 1152)].offset;
        if (target > 44100 * 60) {
            EXPECT_LT(testfiles::BytesReadByProcess() - before, frameOffset / 2) << "target at byte " << frameOffset;
        }
        std::vector<uint8_t> part(8192);
        ASSERT_EQ(seeking.Read(part.data(), part.size(), got), Decoder::ReadStatus::Data);
        ASSERT_GT(got, 0u);
        EXPECT_TRUE(std::equal(part.begin(), part.begin() + got, all.begin() + target * 4)) << target;
    }
}

}  // namespace
