#include "cutting/windowsettings.h"

#include <algorithm>

#include <QCheckBox>
#include <QSettings>
#include <QStringList>

#include "controls/slider.h"
#include "cutting/form1.h"

void RestoreWindowSettings(Form1& window, const QSettings& settings) {
    using namespace windowsettings;
    if (settings.contains(kFrameBoundaries)) window.CheckFrames->setChecked(settings.value(kFrameBoundaries).toBool());
    bool isNumber = false;
    const int level = settings.value(kVolume).toInt(&isNumber);
    // A level from an edited file is kept within the slider's range.
    if (isNumber) window.Slider3->SetValue(std::clamp(level, window.Slider3->Min(), window.Slider3->Max()));
    if (settings.contains(kGeometry)) window.restoreGeometry(settings.value(kGeometry).toByteArray());
    std::vector<std::string> recent;
    for (const QString& path : settings.value(kRecentFiles).toStringList()) recent.push_back(path.toStdString());
    window.SetRecentFiles(recent);
}

void SaveRecentFiles(const Form1& window, QSettings& settings) {
    QStringList recent;
    for (const std::string& path : window.Recent().Paths()) recent << QString::fromStdString(path);
    settings.setValue(windowsettings::kRecentFiles, recent);
}

void SaveWindowSettings(const Form1& window, QSettings& settings) {
    using namespace windowsettings;
    settings.setValue(kFrameBoundaries, window.CheckFrames->isChecked());
    settings.setValue(kVolume, static_cast<int>(window.Slider3->Value()));
    settings.setValue(kGeometry, window.saveGeometry());
    SaveRecentFiles(window, settings);
    settings.sync();
}
