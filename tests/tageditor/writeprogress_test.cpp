// The progress shown while a tag write moves the audio: it follows the copy to the end, gives the
// previous hook back, and stays silent for writes that copy nothing.
#include "tageditor/writeprogress.h"

#include <gtest/gtest.h>

#include "editortesting.h"
#include "id3/id3v2write.h"
#include "id3/taginfo.h"
#include "support/testfiles.h"

namespace {

mdlID3::ID3TagInfo Record(const std::string& title) {
    mdlID3::ID3TagInfo info;
    info.Title = title;
    return info;
}

}  // namespace

TEST(WriteProgress, FollowsAMovingWriteToTheEndAndRestoresTheHook) {
    editortesting::EnsureApp();
    testfiles::TempDir dir;
    const std::string path = dir.file("song.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(10000));  // about 4 MB of audio, no tag
    const auto audio = testfiles::ReadFile(path);

    int outerCalls = 0;
    mdlID3::SetCopyProgress([&](int64_t, int64_t) { ++outerCalls; });
    {
        WriteProgress progress(nullptr, QStringLiteral("Writing"), /*show=*/true);
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, Record("A title"), 0, false, true));
        EXPECT_EQ(progress.Value(), 1000);
        EXPECT_TRUE(progress.HasDialog());
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

TEST(WriteProgress, AWriteInPlaceReportsNothing) {
    editortesting::EnsureApp();
    testfiles::TempDir dir;
    const std::string path = dir.file("song.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(100));
    ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, Record("First"), 0, false, true));
    WriteProgress progress(nullptr, QStringLiteral("Writing"), /*show=*/false);
    ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, Record("Second"), 0, false, true));
    EXPECT_EQ(progress.Value(), -1);
    EXPECT_FALSE(progress.HasDialog());
}
