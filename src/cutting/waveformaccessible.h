#pragma once
// What screen readers learn about the waveform band: a chart named "Waveform" whose description
// says the selection, the marks and the playing position in words.
#include <QAccessibleWidget>

class WaveformView;

class WaveformAccessible : public QAccessibleWidget {
public:
    explicit WaveformAccessible(WaveformView* view);
    QString text(QAccessible::Text t) const override;
};

// Registers the interface with Qt's accessibility; safe to call more than once.
void InstallWaveformAccessibility();
