// The cutting window's remembered settings: saved from one window, restored into the next, and
// the defaults kept when nothing (or nonsense) was saved.
#include <QCheckBox>
#include <QSettings>

#include "controls/slider.h"
#include "cutting/windowsettings.h"
#include "form1fixture.h"

class WindowSettingsTest : public Form1Test {
protected:
    QString Ini() const { return QString::fromStdString(dir.file("trimbel.ini")); }
};

TEST_F(WindowSettingsTest, BoxVolumeAndGeometryComeBackInTheNextRun) {
    form->CheckFrames->setChecked(true);
    form->Slider3->SetValue(33);
    // Larger than the window's least size, whatever its panels need, so the size is kept as set.
    const QSize wanted = form->minimumSizeHint().expandedTo(form->minimumSize()).expandedTo(QSize(760, 640)) +
                         QSize(40, 30);
    form->setGeometry(120, 90, wanted.width(), wanted.height());
    {
        QSettings settings(Ini(), QSettings::IniFormat);
        SaveWindowSettings(*form, settings);
    }
    Form1 next(parts);
    ASSERT_FALSE(next.CheckFrames->isChecked());
    ASSERT_EQ(next.Slider3->Value(), 20);
    QSettings settings(Ini(), QSettings::IniFormat);
    RestoreWindowSettings(next, settings);
    EXPECT_TRUE(next.CheckFrames->isChecked());
    EXPECT_EQ(next.Slider3->Value(), 33);
    EXPECT_EQ(next.geometry().size(), wanted);
}

TEST_F(WindowSettingsTest, FirstRunAndOddValuesKeepTheDefaults) {
    QSettings empty(Ini(), QSettings::IniFormat);
    Form1 first(parts);
    const QSize size = first.size();
    RestoreWindowSettings(first, empty);
    EXPECT_FALSE(first.CheckFrames->isChecked());
    EXPECT_EQ(first.Slider3->Value(), 20);
    EXPECT_EQ(first.size(), size);

    empty.setValue(windowsettings::kVolume, 500);
    RestoreWindowSettings(first, empty);
    EXPECT_EQ(first.Slider3->Value(), 41);
    empty.setValue(windowsettings::kVolume, "loud");
    RestoreWindowSettings(first, empty);
    EXPECT_EQ(first.Slider3->Value(), 41) << "not a number: left as it was";
}
