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

// The button renders, on a device of ratio 2, a body painted for that ratio: twice the pixels
// each way, with a one-pixel outline that a stretched body would have two pixels wide.
TEST(HiDpi, ButtonPaintsABodyOfTheDevicesRatio) {
    TestApp();
    const CandyBody in = Style7Body(97, 25);
    EXPECT_EQ(PaintCandyBodyAt(in, 1.0), PaintCandyBody(in));
    const QImage painted = PaintCandyBodyAt(in, 2.0);
    const QImage stretched = Doubled(PaintCandyBody(in));
    EXPECT_GT(DifferingPixels(painted.convertToFormat(QImage::Format_ARGB32_Premultiplied), stretched), 200);
    EXPECT_NE(painted.pixel(97, 1), painted.pixel(97, 2)) << "outline row, then the glare inside it";
    EXPECT_EQ(stretched.pixel(97, 0), stretched.pixel(97, 1));

    QPixmapCache::clear();
    CandyButton button("Save Selection", nullptr);
    button.SetStyle(7);
    button.resize(97, 25);
    QImage target(194, 50, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2.0);
    // The first rendering delivers the resize. Rendering clips to the rounded window shape and
    // moves what is left to the image's corner, so the shape goes before the second.
    for (bool shaped : {true, false}) {
        if (!shaped) button.clearMask();
        target.fill(Qt::transparent);
        button.render(&target);
    }
    EXPECT_EQ(button.CachedBody(CandyButton::StateNormal, 1.0).size(), QSize(97, 25));
    const QPixmap sharp = button.CachedBody(CandyButton::StateNormal, 2.0);
    EXPECT_EQ(sharp.size(), QSize(194, 50));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(97, 25));
    // The top rows (no caption there) match that body pixel for pixel.
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
    const std::pair<QImage, QImage> knobs[] = {
        {Slider::KnobImage(false), Slider::KnobImage(false, 2.0)},
        {Slider::KnobImage(true), Slider::KnobImage(true, 2.0)},
        {Slider::KnobImage(true), Slider::CachedKnob(true, 2.0).toImage()},
        {Volume::KnobImage(false), Volume::KnobImage(false, 2.0)},
        {Volume::KnobImage(true), Volume::KnobImage(true, 2.0)}};
    for (const auto& [plain, sharp] : knobs) {
        EXPECT_EQ(sharp.size(), plain.size() * 2);
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
        EXPECT_GT(DifferingPixels(sharp.convertToFormat(QImage::Format_ARGB32_Premultiplied), Doubled(plain)), 10)
            << "not a stretched copy";
    }
    EXPECT_EQ(Volume::KnobImage(false).size(), QSize(Volume::kKnobWidth, Volume::kKnobHeight));
}
