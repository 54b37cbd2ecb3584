#pragma once
// Colour values of the controls: 0x00BBGGRR for plain colours, 0x80000000 plus a system colour
// index for system colours. System colours are translated through the application palette
// before any arithmetic on them.
#include <cstdint>

#include <QColor>

class QPalette;

using OleColor = uint32_t;

inline constexpr OleColor kSystemColorFlag = 0x80000000u;
inline constexpr OleColor kWhite = 0x00FFFFFFu;
inline constexpr OleColor kBlack = 0x00000000u;

// The system colour indices the windows name.
inline constexpr OleColor kSysWindow = kSystemColorFlag | 5;
inline constexpr OleColor kSysHighlight = kSystemColorFlag | 13;
inline constexpr OleColor kSysHighlightText = kSystemColorFlag | 14;
inline constexpr OleColor kSysButtonFace = kSystemColorFlag | 15;
inline constexpr OleColor kSysButtonText = kSystemColorFlag | 18;

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

constexpr OleColor RGBColor(int r, int g, int b) {
    return static_cast<OleColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// Plain colour of `color`; system colours are looked up in `palette` (unknown indices are black).
OleColor TranslateColor(OleColor color, const QPalette& palette);
OleColor TranslateColor(OleColor color);

Rgb GetRGB(OleColor color, const QPalette& palette);
Rgb GetRGB(OleColor color);

// Each channel moves from color1 toward color2 by percentage (clamped to 0..100), truncating.
OleColor BlendColors(OleColor color1, OleColor color2, int percentage, const QPalette& palette);
OleColor BlendColors(OleColor color1, OleColor color2, int percentage);

QColor ToQColor(OleColor color);
OleColor FromQColor(const QColor& color);
