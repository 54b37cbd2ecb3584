// The progress shown while a tag write moves the audio: it follows the copy to the end, gives the
// previous hook back, and stays silent for writes that copy nothing.
#include "tageditor/writeprogress.h"

#include <gtest/gtest.h>

#include "editortesting.h"
#include "id3/id3v2write.h"
#include "id3/taginfo.h"
#include "support/testfiles.h"

TEST(WriteProgress, FollowsOnlyAWriteThatMovesTheAudioAndRestoresTheHook) {
    editortesting::EnsureApp();
    const struct {
        const char* name;
        int frames;
        bool taggedBefore;  // a tag with room to spare: the new one is written in place
        int value;
        bool dialog;
    } cases[] = {{"moved", 10000, false, 1000, true}, {"in place", 100, true, -1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testfiles::TempDir dir;
        const std::string path = dir.file("song.mp3");
        const testfiles::Bytes audio = testfiles::SilentFrames(c.frames);  // 10000 make about 4 MB
        testfiles::WriteFile(path, audio);
        mdlID3::ID3TagInfo info;
        info.Title = "First";
        ASSERT_TRUE(!c.taggedBefore || mdlID3::WriteID3v2Tag(path, info, 0, false, true));
        info.Title = "A title";

        int outerCalls = 0;
        mdlID3::SetCopyProgress([&](int64_t, int64_t) { ++outerCalls; });
        {
            WriteProgress progress(nullptr, QStringLiteral("Writing"), /*show=*/true);
            ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, 0, false, true));
            EXPECT_EQ(progress.Value(), c.value);
            EXPECT_EQ(progress.HasDialog(), c.dialog);
        }
        // The hook that was there before is back in place, and nothing reported to it meanwhile.
        EXPECT_EQ(outerCalls, 0);
        auto restored = mdlID3::SetCopyProgress({});
        ASSERT_TRUE(restored);
        restored(1, 2);
        EXPECT_EQ(outerCalls, 1);

        const auto written = testfiles::ReadFile(path);
        ASSERT_GT(written.size(), audio.size());
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), written.end() - static_cast<long>(audio.size())));
    }
}
