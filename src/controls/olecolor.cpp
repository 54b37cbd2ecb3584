#include "controls/olecolor.h"

#include <algorithm>

#include <QGuiApplication>
#include <QPalette>

namespace {

// Windows system colour indices mapped onto the nearest palette role.
QColor SystemColor(uint32_t index, const QPalette& p) {
    switch (index) {
    case 0: return p.color(QPalette::Mid);                                 // scroll bar
    case 1: return p.color(QPalette::Dark);                                // desktop
    case 2: return p.color(QPalette::Active, QPalette::Highlight);         // active caption
    case 3: return p.color(QPalette::Inactive, QPalette::Window);          // inactive caption
    case 4: return p.color(QPalette::Window);                              // menu
    case 5: return p.color(QPalette::Base);                                // window
    case 6: return p.color(QPalette::Shadow);                              // window frame
    case 7: return p.color(QPalette::WindowText);                          // menu text
    case 8: return p.color(QPalette::Text);                                // window text
    case 9: return p.color(QPalette::Active, QPalette::HighlightedText);   // caption text
    case 10: return p.color(QPalette::Window);                             // active border
    case 11: return p.color(QPalette::Window);                             // inactive border
    case 12: return p.color(QPalette::Dark);                               // app workspace
    case 13: return p.color(QPalette::Active, QPalette::Highlight);
    case 14: return p.color(QPalette::Active, QPalette::HighlightedText);
    case 15: return p.color(QPalette::Button);
    case 16: return p.color(QPalette::Mid);                                // button shadow
    case 17: return p.color(QPalette::Disabled, QPalette::Text);           // grey text
    case 18: return p.color(QPalette::ButtonText);
    case 19: return p.color(QPalette::Inactive, QPalette::WindowText);
    case 20: return p.color(QPalette::Light);                              // button highlight
    case 21: return p.color(QPalette::Shadow);                             // 3D dark shadow
    case 22: return p.color(QPalette::Midlight);                           // 3D light
    case 23: return p.color(QPalette::ToolTipText);
    case 24: return p.color(QPalette::ToolTipBase);
    case 26: return p.color(QPalette::Link);                               // hot light
    case 27: return p.color(QPalette::Active, QPalette::Highlight);
    case 28: return p.color(QPalette::Inactive, QPalette::Window);
    case 29: return p.color(QPalette::Active, QPalette::Highlight);        // menu highlight
    case 30: return p.color(QPalette::Window);                             // menu bar
    default: return QColor(Qt::black);
    }
}

int Channel(OleColor c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

}  // namespace

OleColor TranslateColor(OleColor color, const QPalette& palette) {
    if ((color & kSystemColorFlag) == 0) {
        return color & 0x00FFFFFFu;
    }
    return FromQColor(SystemColor(color & ~kSystemColorFlag, palette));
}

OleColor TranslateColor(OleColor color) { return TranslateColor(color, QGuiApplication::palette()); }

Rgb GetRGB(OleColor color, const QPalette& palette) {
    const OleColor c = TranslateColor(color, palette);
    return {Channel(c, 0), Channel(c, 8), Channel(c, 16)};
}

Rgb GetRGB(OleColor color) { return GetRGB(color, QGuiApplication::palette()); }

OleColor BlendColors(OleColor color1, OleColor color2, int percentage, const QPalette& palette) {
    const int pct = std::clamp(percentage, 0, 100);
    const Rgb a = GetRGB(color1, palette);
    const Rgb b = GetRGB(color2, palette);
    // Integer division in C++ truncates toward zero, as the blend rule asks.
    return RGBColor(a.r + (b.r - a.r) * pct / 100, a.g + (b.g - a.g) * pct / 100,
                    a.b + (b.b - a.b) * pct / 100);
}

OleColor BlendColors(OleColor color1, OleColor color2, int percentage) {
    return BlendColors(color1, color2, percentage, QGuiApplication::palette());
}

QColor ToQColor(OleColor color) {
    const OleColor c = TranslateColor(color);
    return QColor(Channel(c, 0), Channel(c, 8), Channel(c, 16));
}

OleColor FromQColor(const QColor& color) {
    return RGBColor(color.red(), color.green(), color.blue());
}
