// The controls at a device pixel ratio of 2: bodies and knobs painted on the device pixels,
// not stretched copies of the ordinary ones.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmapCache>

#include "controls/candybutton.h"
#include "controls/candypainter.h"
#include "controls/slider.h"
#include "controls/volume.h"
#include "qtapp.h"

namespace {

CandyBody Style7Body(int W, int H) {
    CandyBody in;
    in.style = 7;
    in.W = W;
    in.H = H;
    in.R = CandyCornerRadius(7, W, H);
    in.body = 0xE99950;
    in.bright = 0xFFEDB0;
    return in;
}

// Pixels where two images of the same size differ.
int DifferingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

// The ordinary image with every pixel doubled: what a stretched body would look like.
QImage Doubled(const QImage& image) {
    QImage copy = image;
    copy.setDevicePixelRatio(1.0);
    return copy.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

TEST(HiDpi, CandyBodyIsPaintedOnTheDevicePixels) {
    const CandyBody in = Style7Body(97, 25);
    EXPECT_EQ(PaintCandyBodyAt(in, 1.0), PaintCandyBody(in));
    const QImage sharp = PaintCandyBodyAt(in, 2.0);
    ASSERT_EQ(sharp.size(), QSize(194, 50));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(97, 25));
    // The one-pixel outline stays one device pixel: a stretched body would have it two wide.
    const QImage stretched = Doubled(PaintCandyBody(in));
    EXPECT_GT(DifferingPixels(sharp.convertToFormat(QImage::Format_ARGB32_Premultiplied), stretched), 200);
    EXPECT_NE(sharp.pixel(97, 1), sharp.pixel(97, 2)) << "outline row, then the glare inside it";
    EXPECT_EQ(stretched.pixel(97, 0), stretched.pixel(97, 1));
}

TEST(HiDpi, ButtonCachesABodyPerRatioAndPaintsTheDevicesOwn) {
    TestApp();
    QPixmapCache::clear();
    CandyButton button("Save Selection", nullptr);
    button.SetStyle(7);
    button.resize(97, 25);
    // Rendered onto a device of ratio 2 (which also delivers the resize), the button draws the
    // body of that ratio.
    QImage target(194, 50, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2.0);
    target.fill(Qt::transparent);
    button.render(&target);
    const QPixmap normal = button.CachedBody(CandyButton::StateNormal, 1.0);
    const QPixmap sharp = button.CachedBody(CandyButton::StateNormal, 2.0);
    EXPECT_EQ(normal.size(), QSize(97, 25));
    EXPECT_EQ(sharp.size(), QSize(194, 50)) << "twice the pixels each way";
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(97, 25));

    // The top rows (no caption there) match that body pixel for pixel. Rendering clips to the
    // rounded window shape and moves what is left to the image's corner, so the shape goes first.
    button.clearMask();
    target.fill(Qt::transparent);
    button.render(&target);
    const QImage body = sharp.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int compared = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 30; x < 164; ++x) {
            if (qAlpha(body.pixel(x, y)) != 255) continue;
            ASSERT_EQ(target.pixel(x, y), body.pixel(x, y)) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 500);
}

TEST(HiDpi, KnobsArePaintedAtTheRatio) {
    TestApp();
    for (bool vertical : {false, true}) {
        const QImage plain = Slider::KnobImage(vertical);
        const QImage sharp = Slider::KnobImage(vertical, 2.0);
        EXPECT_EQ(sharp.size(), plain.size() * 2);
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
        EXPECT_GT(DifferingPixels(sharp, Doubled(plain)), 10) << "not a stretched copy";
        EXPECT_EQ(Slider::CachedKnob(vertical, 2.0).size(), plain.size() * 2);
    }
    for (bool pressed : {false, true}) {
        const QImage sharp = Volume::KnobImage(pressed, 2.0);
        EXPECT_EQ(sharp.size(), QSize(2 * Volume::kKnobWidth, 2 * Volume::kKnobHeight));
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
        EXPECT_GT(DifferingPixels(sharp, Doubled(Volume::KnobImage(pressed))), 10);
    }
}
