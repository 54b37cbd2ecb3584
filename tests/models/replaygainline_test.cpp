// The tag editor's ReplayGain line: the values players read from the tag's user text frames,
// shown as they are written, and nothing for a tag without them.
#include <gtest/gtest.h>

#include "level/txxxtag.h"
#include "models/techlines.h"
#include "support/testfiles.h"

namespace {

TEST(ReplayGainLine, ShowsTheValuesTheTagHolds) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> frames;
        const char* line;
    } cases[] = {
        {{}, ""},
        {{{"MP3GAIN_UNDO", "-002,-002,N"}}, ""},
        {{{"REPLAYGAIN_TRACK_GAIN", "-6.20 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0.988831"}},
         "ReplayGain: track -6.20 dB, peak 0.988831"},
        {{{"replaygain_track_gain", "+1.05 dB"}}, "ReplayGain: track +1.05 dB"},
        {{{"REPLAYGAIN_TRACK_GAIN", "-6.20 dB"},
          {"REPLAYGAIN_TRACK_PEAK", "0.988831"},
          {"REPLAYGAIN_ALBUM_GAIN", "-5.10 dB"},
          {"REPLAYGAIN_ALBUM_PEAK", "1.000000"}},
         "ReplayGain: track -6.20 dB, peak 0.988831; album -5.10 dB, peak 1.000000"},
        {{{"REPLAYGAIN_ALBUM_PEAK", "0.5"}}, "ReplayGain: album peak 0.5"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> tag;
        for (const auto& [name, value] : c.frames) ASSERT_TRUE(SetTxxx(tag, name, value, nullptr));
        EXPECT_EQ(ReplayGainLine(tag), c.line);
    }

    // Through the tag editor, from the file.
    testfiles::TempDir dir;
    const std::string path = dir.file("song.mp3");
    std::vector<uint8_t> tag;
    ASSERT_TRUE(SetTxxx(tag, "REPLAYGAIN_TRACK_GAIN", "-3.00 dB", nullptr));
    testfiles::WriteFile(path, testfiles::Concat({tag, testfiles::SilentFrames(20)}));
    EXPECT_EQ(ReplayGainLineOf(path), "ReplayGain: track -3.00 dB");
    testfiles::WriteFile(path, testfiles::SilentFrames(20));
    EXPECT_EQ(ReplayGainLineOf(path), "");
}

}  // namespace
