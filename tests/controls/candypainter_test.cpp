// The candy button's pixel rules, checked as pure functions.
#include <gtest/gtest.h>

#include <QPalette>

#include "controls/candypainter.h"
#include "controls/olecolor.h"
#include "qtapp.h"

namespace {

QRgb Rgb32(OleColor c) {
    return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

}  // namespace

TEST(CandyPixelRules, RoundRectCornerTestUsesRoundedSquareRoot) {
    // r = 7: q(-4) = round(sqrt(33)) = 6, q(-5) = round(sqrt(24)) = 5, q(-6) = round(sqrt(13)) = 4.
    EXPECT_TRUE(InRoundRect(3, 3, 0, 0, 100, 25, 7));   // |3-7| = 4 < 6
    EXPECT_TRUE(InRoundRect(2, 3, 0, 0, 100, 25, 7));   // 4 < 5
    EXPECT_FALSE(InRoundRect(1, 3, 0, 0, 100, 25, 7));  // 4 < 4 fails
    // Column 0 and row 0 are never inside; the last row and column are, outside the corners.
    for (int y = 0; y < 25; ++y) {
        EXPECT_FALSE(InRoundRect(0, y, 0, 0, 100, 25, 7)) << y;
    }
    EXPECT_FALSE(InRoundRect(50, 0, 0, 0, 100, 25, 7));
    EXPECT_TRUE(InRoundRect(50, 24, 0, 0, 100, 25, 7));
    EXPECT_TRUE(InRoundRect(99, 12, 0, 0, 100, 25, 7));
    EXPECT_FALSE(InRoundRect(100, 12, 0, 0, 100, 25, 7));
    // Offsets move the whole test.
    EXPECT_EQ(InRoundRect(3, 3, 0, 0, 100, 25, 7), InRoundRect(13, 23, 10, 20, 100, 25, 7));
    // A pixel left of the rectangle gives a negative r^2 - c^2: outside, no NaN.
    EXPECT_FALSE(InRoundRect(-1, 2, 0, 0, 100, 25, 7));
}

TEST(CandyPixelRules, CornerRadiusPerStyleIsClampedAndAtLeastOne) {
    EXPECT_EQ(CandyCornerRadius(7, 100, 25), 7);   // 25\4 + 1
    EXPECT_EQ(CandyCornerRadius(7, 8, 40), 2);     // 11 capped at W\4
    EXPECT_EQ(CandyCornerRadius(7, 100, 1), 1);
    EXPECT_EQ(CandyCornerRadius(6, 100, 30), 10);  // H\3
    EXPECT_EQ(CandyCornerRadius(6, 2, 30), 1);     // upper bound 0, raised to 1
    EXPECT_EQ(CandyCornerRadius(3, 5, 5), 12);
    EXPECT_EQ(CandyCornerRadius(2, 30, 25), 13);
    EXPECT_EQ(CandyCornerRadius(4, 10, 25), 5);
    EXPECT_EQ(CandyCornerRadius(5, 1, 1), 1);
    EXPECT_EQ(CandyCornerRadius(0, 100, 25), 0);
}

TEST(CandyPixelRules, ShapeIsMirroredLeftToRightAtEverySize) {
    for (const QSize size : {QSize(100, 25), QSize(101, 25), QSize(7, 30), QSize(3, 1), QSize(1, 1),
                             QSize(120, 8)}) {
        for (int style : {2, 3, 6, 7}) {
            const int R = CandyCornerRadius(style, size.width(), size.height());
            ASSERT_GE(R, 1);
            const QRegion shape = CandyShape(size.width(), size.height(), R);
            EXPECT_TRUE(QRegion(0, 0, size.width(), size.height()).contains(shape.boundingRect()) ||
                        shape.isEmpty());
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x) {
                    EXPECT_EQ(shape.contains(QPoint(x, y)),
                              shape.contains(QPoint(size.width() - 1 - x, y)))
                        << size.width() << "x" << size.height() << " style " << style << " at " << x
                        << "," << y;
                }
            }
        }
    }
    const QRegion shape = CandyShape(100, 25, 7);
    EXPECT_FALSE(shape.contains(QPoint(0, 12)));
    EXPECT_TRUE(shape.contains(QPoint(1, 12)));
    EXPECT_TRUE(shape.contains(QPoint(98, 12)));
    EXPECT_FALSE(shape.contains(QPoint(99, 12)));
    EXPECT_FALSE(shape.contains(QPoint(1, 1)));
    EXPECT_FALSE(shape.contains(QPoint(98, 1)));
}

TEST(CandyPixelRules, InnerRegionIsInsetByOnePixelOnBothSides) {
    EXPECT_FALSE(InCandyInner(1, 12, 100, 25, 7));
    EXPECT_TRUE(InCandyInner(2, 12, 100, 25, 7));
    EXPECT_TRUE(InCandyInner(97, 12, 100, 25, 7));
    EXPECT_FALSE(InCandyInner(98, 12, 100, 25, 7));
    EXPECT_FALSE(InCandyInner(50, 1, 100, 25, 7));
    EXPECT_TRUE(InCandyInner(50, 2, 100, 25, 7));
}

TEST(CandyPixelRules, GlowShrinksByTheRatioOfItsHalfSizes) {
    const GlossyParams p = GlossyParamsFor(7, 100, 25, 7);
    EXPECT_EQ(p.gx, 50);
    EXPECT_EQ(p.gy, 12);  // round(12.5) goes to the even neighbour
    const std::vector<GlowEllipse> wide = GlowEllipses(100, 25, p);
    // hx = 60, hy = 15: 4 px horizontally and 1 px vertically per step, 15 ellipses.
    ASSERT_EQ(wide.size(), 15u);
    EXPECT_EQ(wide[0].box, QRect(QPoint(-10, -3), QPoint(109, 26)));
    EXPECT_EQ(wide[0].percent, 0);
    EXPECT_EQ(wide[1].box, QRect(QPoint(-6, -2), QPoint(105, 25)));
    EXPECT_EQ(wide[1].percent, 13);  // round(100 * 2 / 15)
    EXPECT_EQ(wide.back().percent, 100);

    // Taller than wide: 1 px horizontally, round(hy / hx) vertically.
    const GlossyParams tall = GlossyParamsFor(7, 10, 40, CandyCornerRadius(7, 10, 40));
    const std::vector<GlowEllipse> narrow = GlowEllipses(10, 40, tall);
    ASSERT_GE(narrow.size(), 2u);
    EXPECT_EQ(narrow[1].box.left() - narrow[0].box.left(), 1);
    EXPECT_EQ(narrow[1].box.top() - narrow[0].box.top(), 4);  // hy 24, hx 6
    // No height at all: nothing to draw, no division by zero.
    EXPECT_TRUE(GlowEllipses(100, 0, p).empty());
}

TEST(CandyPixelRules, GlossyParametersRoundHalfToEvenAndCapTheGlow) {
    EXPECT_EQ(GlossyParamsFor(2, 100, 25, 5).gb, 6);    // round(5.5)
    EXPECT_EQ(GlossyParamsFor(2, 100, 25, 15).gb, 16);  // round(16.5)
    EXPECT_EQ(GlossyParamsFor(3, 100, 10, 12).py, 30);  // 100 - 700\10
    EXPECT_EQ(GlossyParamsFor(3, 100, 50, 12).py, 80);  // 86 capped
    EXPECT_EQ(GlossyParamsFor(7, 100, 25, 5).gl, 2);    // round(2.5)
    EXPECT_EQ(GlossyParamsFor(5, 100, 25, 7).gl, -4);
}

TEST(CandyColours, BlendTruncatesTowardZeroAndClampsThePercentage) {
    TestApp();
    // Red 255 toward 0 by 33 %: 255 - 84.15 truncates to 255 - 84.
    EXPECT_EQ(BlendColors(0x0000FF, 0x000000, 33), 0x0000ABu);
    EXPECT_EQ(BlendColors(0x000000, 0x0000FF, 33), 0x000054u);
    EXPECT_EQ(BlendColors(0x102030, 0xF0E0D0, 150), 0xF0E0D0u);
    EXPECT_EQ(BlendColors(0x102030, 0xF0E0D0, -5), 0x102030u);
    EXPECT_EQ(BlendColors(0xE99950, kWhite, 50), 0xF4CCA7u);
}

TEST(CandyColours, SystemColoursAreTranslatedThroughThePalette) {
    TestApp();
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(1, 2, 3));
    palette.setColor(QPalette::Button, QColor(200, 100, 50));
    const Rgb highlight = GetRGB(kSysHighlight, palette);
    EXPECT_EQ(highlight.r, 1);
    EXPECT_EQ(highlight.g, 2);
    EXPECT_EQ(highlight.b, 3);
    EXPECT_EQ(TranslateColor(kSysButtonFace, palette), RGBColor(200, 100, 50));
    // Blending a system colour with itself at any percentage yields the translated colour.
    EXPECT_EQ(BlendColors(kSysHighlight, RGBColor(1, 2, 3), 70, palette), RGBColor(1, 2, 3));
    const Rgb plain = GetRGB(0x00332211);
    EXPECT_EQ(plain.r, 0x11);
    EXPECT_EQ(plain.g, 0x22);
    EXPECT_EQ(plain.b, 0x33);
    EXPECT_EQ(CandyOutlineColor(0x808080, 100), kWhite);
    EXPECT_EQ(CandyOutlineColor(0x808080, -100), kBlack);
}

TEST(CandyBodies, GlossyOutlineSitsOnBothSidesOfTheShape) {
    TestApp();
    CandyBody in{7, 100, 25, 7, 0xE99950, 0xFFEDB0, 100, true, false};
    const QImage body = PaintCandyBody(in);
    ASSERT_EQ(body.size(), QSize(100, 25));
    EXPECT_EQ(qAlpha(body.pixel(0, 0)), 0);   // outside the shape
    EXPECT_EQ(qAlpha(body.pixel(0, 12)), 0);
    EXPECT_EQ(body.pixel(1, 12), Rgb32(kWhite));  // BorderBrightness 100: white outline
    EXPECT_EQ(body.pixel(98, 12), Rgb32(kWhite));
    EXPECT_NE(body.pixel(2, 12), Rgb32(kWhite));
    EXPECT_NE(body.pixel(97, 12), Rgb32(kWhite));
    // Glare rows: white fading toward the body colour by 50 % per R rows.
    EXPECT_EQ(body.pixel(50, 2), Rgb32(BlendColors(kWhite, 0xE99950, 2 * 50 / 7)));
    EXPECT_EQ(body.pixel(50, 7), Rgb32(BlendColors(kWhite, 0xE99950, 7 * 50 / 7)));
    EXPECT_EQ(body.pixel(10, 5), body.pixel(89, 5));
}

TEST(CandyBodies, DisabledGlossyBodyIsGreyWithAWhiteGlow) {
    TestApp();
    CandyBody in{7, 100, 25, 7, 0xE99950, 0xFFEDB0, 0, false, false};
    const QImage body = PaintCandyBody(in);
    EXPECT_EQ(body.pixel(1, 12), Rgb32(0xB0C0C0));  // outline = body colour at brightness 0
    EXPECT_EQ(body.pixel(50, 12), Rgb32(kWhite));   // the glow's centre reaches ColorBright
    EXPECT_EQ(body.pixel(2, 20), Rgb32(BlendColors(0xB0C0C0, kWhite, 0)));
}

TEST(CandyBodies, GlassHasADarkEdgeAndTheBodyColourAtMidHeight) {
    TestApp();
    const int W = 90, H = 24;
    const int R = CandyCornerRadius(6, W, H);
    CandyBody in{6, W, H, R, 0xE99950, 0xFFEDB0, 0, true, false};
    const QImage body = PaintCandyBody(in);
    const QRgb edge = Rgb32(BlendColors(kBlack, 0xE99950, 50));
    EXPECT_EQ(body.pixel(1, 12), edge);
    EXPECT_EQ(body.pixel(W - 2, 12), edge);
    EXPECT_EQ(body.pixel(45, 12), Rgb32(0xE99950));              // v = 0
    EXPECT_EQ(body.pixel(45, 20), Rgb32(BlendColors(0xE99950, 0xFFEDB0, 66)));
    // The glass ignores Enabled.
    in.enabled = false;
    EXPECT_EQ(PaintCandyBody(in), body);
}

TEST(CandyCaption, PlacementForEachAlignmentAndThePressedShift) {
    const QSize pic(16, 16);
    const QSize text(31, 15);
    CaptionPlacement above = PlaceCaption(0, 101, 41, 7, pic, text, false);
    EXPECT_EQ(above.picture, QPoint(43, 6));   // (101-16)\2+1, (41-16-15)\2+1
    EXPECT_EQ(above.caption, QPoint(35, 21));  // |50-15|, |20+8-7|
    CaptionPlacement below = PlaceCaption(1, 101, 41, 7, pic, text, false);
    EXPECT_EQ(below.picture, QPoint(42, 21));
    EXPECT_EQ(below.caption, QPoint(35, 5));   // |20-31\2|
    EXPECT_EQ(PlaceCaption(2, 101, 41, 7, pic, text, false).picture, QPoint(7, 13));
    EXPECT_EQ(PlaceCaption(2, 101, 41, 0, pic, text, false).picture, QPoint(8, 13));
    EXPECT_EQ(PlaceCaption(3, 101, 41, 7, pic, text, false).picture, QPoint(78, 13));
    EXPECT_EQ(PlaceCaption(3, 101, 41, 0, pic, text, false).picture, QPoint(77, 13));
    const CaptionPlacement pressed = PlaceCaption(0, 101, 41, 7, pic, text, true);
    EXPECT_EQ(pressed.picture, above.picture + QPoint(1, 1));
    EXPECT_EQ(pressed.caption, above.caption + QPoint(1, 1));
    // A caption wider than the button still gets a non-negative x.
    EXPECT_EQ(PlaceCaption(0, 20, 20, 1, QSize(), QSize(60, 10), false).caption.x(), 20);
}
