// The program plays without GStreamer: after the engine has played, no GStreamer library is
// mapped into the process (with a sound server or without one).
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <QTest>

#include "playback/playbackengine.h"
#include "playbacktestapp.h"
#include "support/testfiles.h"

namespace {

TEST(NoGStreamer, PlayingLoadsNoGStreamerLibrary) {
    TestApp();
    testfiles::TempDir dir;
    const std::string path = dir.file("silence.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(200));
    PlaybackEngine engine;
    engine.setURL(QString::fromStdString(path));
    engine.SetOutputVolume(0.5f);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.currentPosition() > 0.2; }, 10000));
    engine.pause();
    engine.play();
    engine.stop();

    std::ifstream maps("/proc/self/maps");
    ASSERT_TRUE(maps.good());
    std::string line;
    int libraries = 0;
    while (std::getline(maps, line)) {
        if (line.find(".so") != std::string::npos) ++libraries;
        EXPECT_EQ(line.find("gst"), std::string::npos) << line;
    }
    // The check looked at a real map: libmpg123 and Qt Multimedia are in it.
    EXPECT_GT(libraries, 10);
}

}  // namespace
