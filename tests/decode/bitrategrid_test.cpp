// The constant-bitrate grid: fitted to the start of a lame file it puts every frame of the whole
// file where the walk finds it; it refuses a variable-bitrate start, and where junk moved the
// frames it does not claim them. (The decoder's seeks on it are checked with the decoder's.)
#include "decode/bitrategrid.h"

#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "files/descriptor.h"
#include "mpeg/framescan.h"
#include "split/encoded.h"
#include "support/testfiles.h"

namespace {

// Fitted to the first two seconds of frames, as libmpg123 notes them.
std::optional<BitrateGrid> FitStart(const std::string& path) {
    FrameTable prefix;
    if (!ScanFramesUntil(path, 2.0, prefix)) return std::nullopt;
    BitrateGrid::Known known;
    for (size_t n = 0; n < prefix.frames.size(); ++n) known.emplace_back(n, prefix.frames[n].offset);
    return BitrateGrid::Fit(known, prefix.frames.front().header, prefix.fileSize);
}

TEST(BitrateGrid, HoldsEveryFrameOfAConstantBitrateFileAndNoneThatJunkMoved) {
    if (!splittest::HaveCodecTools()) GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg missing";
    testfiles::TempDir dir;
    // 44.1 kHz pads most frames, 48 kHz at 128 kbit/s none, MPEG-2 at 22.05 kHz its own way; the
    // last has ten bytes of junk after frame 500.
    const struct {
        const char *name, *lame;
        bool junk;
    } cases[] = {{"cbr128", "-b 128", false}, {"cbr128_48k", "-b 128 --resample 48", false},
                 {"mpeg2", "-b 56 --resample 22.05", false}, {"plain", "-t -b 192", false}, {"junky", "-t -b 128", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".mp3");
        ASSERT_TRUE(splittest::Encode(path, 44100, 2, "synth 60 sine 300-900 vol 0.5", c.lame));
        FrameTable table;
        ASSERT_TRUE(ScanFrames(path, table));
        if (c.junk) {
            testfiles::Bytes bytes = testfiles::ReadFile(path);
            bytes.insert(bytes.begin() + table.frames[500].offset, 10, 0x00);
            testfiles::WriteFile(path, bytes);
        }
        const std::optional<BitrateGrid> grid = FitStart(path);
        ASSERT_TRUE(grid.has_value());
        const FileDescriptor fd = OpenFile(path, O_RDONLY);
        EXPECT_TRUE(grid->Holds(fd.get(), 100, 130));
        EXPECT_EQ(grid->Holds(fd.get(), 1000, 1030), !c.junk);
        EXPECT_FALSE(grid->Holds(fd.get(), grid->Frames() - 5, grid->Frames() + 5));
        if (c.junk) continue;
        EXPECT_EQ(grid->Frames(), static_cast<int64_t>(table.frames.size()));
        int misplaced = 0;
        for (size_t n = 0; n < table.frames.size(); ++n) misplaced += grid->Offset(static_cast<int64_t>(n)) != table.frames[n].offset;
        EXPECT_EQ(misplaced, 0);
    }
    const std::string vbr = dir.file("vbr.mp3");
    ASSERT_TRUE(splittest::Encode(vbr, 44100, 2, "synth 10 sine 300-900 vol 0.5", "-V 2"));
    EXPECT_FALSE(FitStart(vbr).has_value());
}

}  // namespace
