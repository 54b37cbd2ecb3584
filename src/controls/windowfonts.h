#pragma once
// The fonts the windows name (Arial, Tahoma, Verdana) with metric-compatible free stand-ins:
// fontconfig maps Arial to Liberation Sans; Wine's Tahoma (fonts-wine) is registered with the
// application when it is installed; anything missing falls back to DejaVu Sans.
#include <QFont>

QFont WindowFont(const QString& family, double pointSize, bool bold);
