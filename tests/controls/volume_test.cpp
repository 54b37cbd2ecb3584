// Volume levels and the Volume control, through a fake wave-out device.
#include <gtest/gtest.h>

#include <QMouseEvent>

#include "controls/qtwaveout.h"
#include "controls/soundmod.h"
#include "controls/volume.h"
#include "controls/waveout.h"
#include "qtapp.h"

namespace {

class FakeWaveOut : public WaveOut {
public:
    int DeviceCount() const override { return devices; }
    uint32_t GetVolume() const override { return word; }
    void SetVolume(uint32_t w) override {
        word = w;
        ++writes;
    }
    int devices = 1;
    uint32_t word = 0xFFFFFFFF;
    int writes = 0;
};

void Mouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(SoundMod, LevelsScaleBy1560Point35UnitsIntoBothChannels) {
    FakeWaveOut out;
    SoundMod::SetWaveVolumeLevel(out, 20);
    EXPECT_EQ(out.word, 0x79E779E7u);
    SoundMod::SetWaveVolumeLevel(out, 41);
    EXPECT_EQ(out.word, 0xF9E6F9E6u);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 41);
    SoundMod::SetWaveVolumeLevel(out, 42);  // 65534.7 rounds to full volume
    EXPECT_EQ(out.word, 0xFFFFFFFFu);
    SoundMod::SetWaveVolumeLevel(out, 0);
    EXPECT_EQ(out.word, 0u);
    // Beyond the scale and below it: silence.
    out.word = 1;
    SoundMod::SetWaveVolumeLevel(out, 43);
    EXPECT_EQ(out.word, 0u);
    out.word = 1;
    SoundMod::SetWaveVolumeLevel(out, -1);
    EXPECT_EQ(out.word, 0u);
}

TEST(SoundMod, GetReadsTheLeftChannelRoundedHalfToEven) {
    FakeWaveOut out;
    out.word = 0xFFFF0000u | 780;  // 780 / 1560.35 is just under one half
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 0);
    out.word = 781;
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 1);
    out.word = 0x0000FFFFu;
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 42);
}

TEST(SoundMod, WithoutADeviceNothingIsWrittenAndTheLevelIsZero) {
    FakeWaveOut out;
    out.devices = 0;
    SoundMod::SetWaveVolumeLevel(out, 20);
    EXPECT_EQ(out.writes, 0);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 0);
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

TEST_F(VolumeTest, SetVolumeClampsAndIsIgnoredWhileMuted) {
    Volume volume(out);
    volume.SetVolume(20);
    EXPECT_EQ(out.word, 0x79E779E7u);
    EXPECT_EQ(volume.GetVolume(), 20);
    volume.SetVolume(100);  // level 50 lies beyond the scale: silence
    EXPECT_EQ(out.word, 0u);
    volume.SetVolume(-5);
    EXPECT_EQ(out.word, 0u);
    volume.SetVolume(30);
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
    Mouse(&volume, QEvent::MouseButtonPress, {30, knobY}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(volume.KnobLeft(), 30);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 30);
    Mouse(&volume, QEvent::MouseButtonRelease, {30, knobY}, Qt::LeftButton, Qt::NoButton);
    Mouse(&volume, QEvent::MouseButtonPress, {5, knobY}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 0);
    Mouse(&volume, QEvent::MouseButtonRelease, {5, knobY}, Qt::LeftButton, Qt::NoButton);
    Mouse(&volume, QEvent::MouseButtonPress, {45, knobY}, Qt::LeftButton, Qt::LeftButton);
    Mouse(&volume, QEvent::MouseButtonRelease, {45, knobY}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(volume.KnobLeft(), 41);
    EXPECT_EQ(SoundMod::GetWaveVolumeLevel(out), 41);

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
