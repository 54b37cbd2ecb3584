// Volume levels and the Volume control, through a fake wave-out device.
#include <gtest/gtest.h>

#include "controls/qtwaveout.h"
#include "controls/soundmod.h"
#include "controls/volume.h"
#include "support/fakewaveout.h"
#include "qtapp.h"
#include "sendevents.h"

// Levels of 1560.35 units into both channels; beyond the scale and below it, silence. Reading
// takes the left channel, rounded half to even.
TEST(SoundMod, LevelsScaleBy1560Point35UnitsIntoBothChannels) {
    const std::pair<int, uint32_t> set[] = {{20, 0x79E779E7u}, {41, 0xF9E6F9E6u}, {42, 0xFFFFFFFFu},  // 65534.7
                                            {0, 0u},           {43, 0u},          {-1, 0u}};
    for (const auto& [level, word] : set) {
        FakeWaveOut out;
        SoundMod::SetWaveVolumeLevel(out, level);
        EXPECT_EQ(out.word, word) << level;
    }
    // 780 / 1560.35 is just under one half.
    const std::pair<uint32_t, int> get[] = {{0xFFFF0000u | 780, 0}, {781, 1}, {0x0000FFFFu, 42}, {0xF9E6F9E6u, 41}};
    for (const auto& [word, level] : get) {
        FakeWaveOut out;
        out.word = word;
        EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), level) << word;
    }
    // Without a device nothing is written and the level is zero.
    FakeWaveOut none;
    none.devices = 0;
    SoundMod::SetWaveVolumeLevel(none, 20);
    EXPECT_EQ(none.writes, 0);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(none), 0);
}

TEST(QtWaveOutTest, DrivesTheOutputVolumeFromTheLeftChannel) {
    double volume = 1.0;
    QtWaveOut out([&] { return volume; }, [&](double v) { volume = v; }, [] { return 1; });
    SoundMod::SetWaveVolumeLevel(out, 20);
    EXPECT_NEAR(volume, 31207.0 / 65535.0, 1e-9);
    EXPECT_EQ(out.GetVolume(), 0x79E779E7u);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 20);
    out.SetVolume(0xFFFF0000u);  // right channel is not this output's business
    EXPECT_EQ(volume, 0.0);
    volume = 3.0;  // out of range from elsewhere: treated as full
    EXPECT_EQ(out.GetVolume(), 0xFFFFFFFFu);

    QtWaveOut detached(nullptr, nullptr, [] { return 1; });
    detached.SetVolume(0x79E779E7u);
    EXPECT_EQ(detached.GetVolume(), 0x79E779E7u);
}

class VolumeTest : public ::testing::Test {
protected:
    QApplication& app = TestApp();
    FakeWaveOut out;
};

TEST_F(VolumeTest, SetVolumeIsIgnoredWhileMuted) {
    Volume volume(out);
    volume.SetVolume(30);
    EXPECT_EQ(volume.GetVolume(), 30);
    volume.VolumeMuted(true);
    EXPECT_TRUE(volume.Muted());
    EXPECT_EQ(out.word, 0u);
    volume.SetVolume(20);
    EXPECT_EQ(out.word, 0u);
    volume.VolumeMuted(false);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 30);
    volume.SetControlBackground(true);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 30);
}

TEST_F(VolumeTest, KnobFollowsTheSystemLevelByPolling) {
    SoundMod::SetWaveVolumeLevel(out, 41);
    Volume volume(out);
    EXPECT_EQ(volume.KnobLeft(), 41);  // read once on creation
    SoundMod::SetWaveVolumeLevel(out, 12);
    volume.Poll();
    EXPECT_EQ(volume.KnobLeft(), 12);
    volume.VolumeMuted(true);
    SoundMod::SetWaveVolumeLevel(out, 30);
    volume.Poll();
    EXPECT_EQ(volume.KnobLeft(), 12);  // not while muted

    FakeWaveOut none;
    none.devices = 0;
    Volume silent(none);
    EXPECT_EQ(silent.GetVolume(), 0);
    EXPECT_EQ(silent.KnobLeft(), 0);
}

TEST_F(VolumeTest, TrackClickDragAndRightClickMute) {
    SoundMod::SetWaveVolumeLevel(out, 10);
    Volume volume(out);
    const double knobY = Volume::kKnobTop + 4;
    // Track click: x below 9 goes to 0, above 41 to 41, else x.
    for (const auto& [x, level] : {std::pair{30, 30}, {5, 0}, {45, 41}}) {
        Mouse(&volume, QEvent::MouseButtonPress, {double(x), knobY}, Qt::LeftButton, Qt::LeftButton);
        Mouse(&volume, QEvent::MouseButtonRelease, {double(x), knobY}, Qt::LeftButton, Qt::NoButton);
        EXPECT_EQ(volume.KnobLeft(), level) << x;
        EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), level) << x;
    }

    // Drag the knob by a grip 3 px into it.
    SoundMod::SetWaveVolumeLevel(out, 20);
    volume.Poll();
    Mouse(&volume, QEvent::MouseButtonPress, {23, knobY}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(volume.Dragging());
    Mouse(&volume, QEvent::MouseMove, {13, knobY}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(volume.KnobLeft(), 10);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 10);
    SoundMod::SetWaveVolumeLevel(out, 35);
    volume.Poll();  // no polling during a drag
    EXPECT_EQ(volume.KnobLeft(), 10);
    Mouse(&volume, QEvent::MouseMove, {-20, knobY}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(volume.KnobLeft(), 0);
    Mouse(&volume, QEvent::MouseMove, {90, knobY}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(volume.KnobLeft(), 41);
    Mouse(&volume, QEvent::MouseButtonRelease, {90, knobY}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(volume.Dragging());
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 41);

    Mouse(&volume, QEvent::MouseButtonPress, {20, knobY}, Qt::RightButton, Qt::RightButton);
    EXPECT_TRUE(volume.Muted());
    EXPECT_EQ(out.word, 0u);
    // A left click on the track unmutes, then sets the level from the click.
    Mouse(&volume, QEvent::MouseButtonPress, {25, knobY}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(volume.Muted());
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 25);
}
