#pragma once
// Pixel rules of the candy button, kept free of widget state so they can be checked directly.
// All coordinates are client pixels; W and H are the client width and height.
#include <vector>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

#include "controls/olecolor.h"

// The rounded-rectangle pixel test (left, top, width, height, corner radius r).
bool InRoundRect(int x, int y, int left, int top, int width, int height, int r);

// Corner radius for a style; at least 1.
int CandyCornerRadius(int style, int W, int H);

// Row by row: columns 0..W/2 tested against (0, 0, W, H, R), every outside pixel also removed
// at its mirror column, so the shape is symmetric left to right.
std::vector<bool> CandyShapeRow(int y, int W, int H, int R);
QRegion CandyShape(int W, int H, int R);
// The inner region: the shape inset by one pixel.
bool InCandyInner(int x, int y, int W, int H, int R);

// A GDI-style rounded-rectangle region (right and bottom edges excluded), corner ellipse
// ellipseW x ellipseH.
bool InRoundRectRegion(int x, int y, int left, int top, int right, int bottom, int ellipseW,
                       int ellipseH);

struct GlossyParams {
    int s = 0;   // glare fade in percent per R rows
    int gl = 0;  // glare region left, top, corner, bottom, right
    int gt = 0;
    int gR = 0;
    int gb = 0;
    int gr = 0;
    int px = 0;  // glow half-size in percent of W and H
    int py = 0;
    int gx = 0;  // glow centre
    int gy = 0;
    int gs = 0;  // glow strength
};
// Parameters of the glossy styles 2, 3, 4, 5 and 7.
GlossyParams GlossyParamsFor(int style, int W, int H, int R);

struct GlowEllipse {
    QRect box;    // bounding box, right and bottom exclusive
    int percent;  // blend from the body colour toward the bright colour
};
// The glow's concentric ellipses, outermost first; ends when the box is empty.
std::vector<GlowEllipse> GlowEllipses(int W, int H, const GlossyParams& p);

// BorderBrightness > 0 moves the body colour toward white, < 0 toward black.
OleColor CandyOutlineColor(OleColor body, int borderBrightness);

struct CandyBody {
    int style = 7;
    int W = 0;
    int H = 0;
    int R = 1;
    OleColor body = 0;    // plain colour of the state
    OleColor bright = 0;  // plain ColorBright
    int borderBrightness = 0;
    bool enabled = true;
    bool pressed = false;  // only the line-drawn style 1 draws pressed differently
};
// The button body without caption; pixels outside the shape are transparent.
QImage PaintCandyBody(const CandyBody& in);
// The same body for a screen of `ratio` device pixels per pixel: the pixel rules run on the
// device pixels (W, H and R scaled), so the body is sharp rather than a stretched copy. The image
// carries the ratio, so it is drawn at the button's size.
QImage PaintCandyBodyAt(const CandyBody& in, qreal ratio);

struct CaptionPlacement {
    QPoint picture;
    QPoint caption;
};
// Picture and caption positions for PictureAlignment 0..3; pressed shifts both by (1, 1).
CaptionPlacement PlaceCaption(int alignment, int W, int H, int R, QSize picture, QSize text,
                              bool pressed);
