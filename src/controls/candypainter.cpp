#include "controls/candypainter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QPainter>

#include "mpeg/rounding.h"

namespace {

int Round(double v) { return RoundHalfEvenToInt32(v); }

// q(c) of the corner test: the rounded square root of r^2 - c^2, or -1 when negative.
int CornerQ(int r, int c) {
    const long long d = static_cast<long long>(r) * r - static_cast<long long>(c) * c;
    if (d < 0) {
        return -1;
    }
    return Round(std::sqrt(static_cast<double>(d)));
}

int ClampRadius(int value, int low, int high) {
    if (value < low) {
        return low;
    }
    if (value > high) {
        return high;
    }
    return value;
}

// The colours here are plain already; skip the palette lookup of the general blend.
OleColor Blend(OleColor c1, OleColor c2, int percentage) {
    const int pct = std::clamp(percentage, 0, 100);
    auto channel = [pct](OleColor a, OleColor b, int shift) {
        const int x = static_cast<int>((a >> shift) & 0xFF);
        const int y = static_cast<int>((b >> shift) & 0xFF);
        return x + (y - x) * pct / 100;
    };
    return RGBColor(channel(c1, c2, 0), channel(c1, c2, 8), channel(c1, c2, 16));
}

QRgb ToRgb(OleColor c) {
    return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

// Writes into a W x H image, ignoring coordinates outside it (the rules run one past the edges).
class PixelSurface {
public:
    explicit PixelSurface(QImage& image) : image_(image) {}
    void Set(int x, int y, QRgb c) {
        if (x >= 0 && y >= 0 && x < image_.width() && y < image_.height()) {
            reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = c;
        }
    }
    void Row(int x0, int x1, int y, QRgb c) {
        for (int x = std::max(0, x0); x <= std::min(x1, image_.width() - 1); ++x) {
            Set(x, y, c);
        }
    }

private:
    QImage& image_;
};

void PaintGlossy(QImage& image, const CandyBody& in) {
    const int W = in.W;
    const int H = in.H;
    const int R = std::max(1, in.R);
    OleColor C = in.body;
    OleColor B = in.bright;
    if (!in.enabled) {
        C = 0xB0C0C0;
        B = kWhite;
    }
    const OleColor O = CandyOutlineColor(C, in.borderBrightness);
    image.fill(ToRgb(C));

    const GlossyParams p = GlossyParamsFor(in.style, W, H, R);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        for (const GlowEllipse& e : GlowEllipses(W, H, p)) {
            painter.setBrush(QColor(ToRgb(Blend(C, B, e.percent))));
            painter.drawEllipse(QRectF(e.box));
        }
    }

    PixelSurface surface(image);
    const QRgb outline = ToRgb(O);
    for (int y = 0; y <= H; ++y) {
        for (int x = 0; x <= W / 2; ++x) {
            // The mirror column is W - 1 - x, the same mirror the window shape uses.
            if (!InCandyInner(x, y, W, H, R)) {
                surface.Set(x, y, outline);
                surface.Set(W - 1 - x, y, outline);
                continue;
            }
            if (InRoundRectRegion(x, y, p.gl, p.gt, p.gr, p.gb, 2 * p.gR, 2 * p.gR)) {
                surface.Row(x, W - 1 - x, y, ToRgb(Blend(kWhite, C, y * p.s / R)));
                break;
            }
        }
    }
}

void PaintGlass(QImage& image, const CandyBody& in) {
    const int W = in.W;
    const int H = in.H;
    const int R = std::max(1, in.R);
    const OleColor C = in.body;
    const OleColor B = in.bright;
    const QRgb edge = ToRgb(Blend(kBlack, C, 50));
    PixelSurface surface(image);
    QRgb top = ToRgb(kWhite);
    for (int y = 0; y <= H; ++y) {
        if (y < R) {
            top = ToRgb(Blend(kWhite, C, y * 30 / R));
        }
        const int v = H > 0 ? std::abs((2 * y - H) * 100 / H) : 0;
        const QRgb body = ToRgb(Blend(C, B, v));
        for (int x = 0; x <= W / 2; ++x) {
            QRgb colour;
            if (InRoundRect(x, y, 1, 1, W - 2, H - 2, R)) {
                const bool band = InRoundRect(x, y, 4, 2, W - R, 2 * R - 1, 2 * R / 3) &&
                                  !InRoundRect(x, y, 4, R / 2, W - R, 2 * R - 1, 2 * R / 3);
                colour = band ? top : body;
            } else if (InRoundRect(x, y, 0, 0, W, H, R)) {
                colour = edge;
            } else {
                continue;
            }
            surface.Set(x, y, colour);
            surface.Set(W - 1 - x, y, colour);
        }
    }
}

// Styles 0 and 1: a flat face with a thin frame, and a classic raised bevel that sinks when
// pressed.
void PaintLineDrawn(QImage& image, const CandyBody& in, bool pressed) {
    const OleColor C = in.enabled ? in.body : 0xB0C0C0;
    image.fill(ToRgb(C));
    const int W = in.W;
    const int H = in.H;
    if (W < 2 || H < 2) {
        return;
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor light(ToRgb(Blend(C, kWhite, 60)));
    const QColor dark(ToRgb(Blend(C, kBlack, 45)));
    const QColor frame(ToRgb(CandyOutlineColor(Blend(C, kBlack, 55), in.borderBrightness)));
    if (in.style == 0) {
        painter.setPen(frame);
        painter.drawRect(0, 0, W - 1, H - 1);
        painter.setPen(light);
        painter.drawLine(1, 1, W - 2, 1);
        return;
    }
    painter.setPen(frame);
    painter.drawRect(0, 0, W - 1, H - 1);
    painter.setPen(pressed ? dark : light);
    painter.drawLine(1, 1, W - 2, 1);
    painter.drawLine(1, 1, 1, H - 2);
    painter.setPen(pressed ? light : dark);
    painter.drawLine(1, H - 2, W - 2, H - 2);
    painter.drawLine(W - 2, 1, W - 2, H - 2);
}

}  // namespace

bool InRoundRect(int x, int y, int left, int top, int width, int height, int r) {
    const int dx = x - left;
    const int dy = y - top;
    if (r < dx && r < dy && dx + r < width && dy + r < height) {
        return true;
    }
    if (dx < r && dy <= r) {
        const int q = CornerQ(r, dx - r);
        return q >= 0 && std::abs(dy - r) < q;
    }
    if (dx + r > width && dy <= r) {
        const int q = CornerQ(r, dx + r - width);
        return q >= 0 && std::abs(dy - r) < q;
    }
    if (dx < r && dy + r >= height) {
        const int q = CornerQ(r, dx - r);
        return q >= 0 && std::abs(dy + r - height) < q;
    }
    if (dx + r > width && dy + r >= height) {
        const int q = CornerQ(r, dx + r - width);
        return q >= 0 && std::abs(dy + r - height) < q;
    }
    return 0 < dx && dx < width && 0 < dy && dy < height;
}

int CandyCornerRadius(int style, int W, int H) {
    int r = 0;
    switch (style) {
    case 3: r = 12; break;
    case 6: r = ClampRadius(H / 3, 1, W / 3); break;
    case 7: r = ClampRadius(H / 4 + 1, 1, W / 4); break;
    case 2:
    case 4:
    case 5: r = ClampRadius(H / 2 + 1, 1, W / 2); break;
    default: return 0;  // the line-drawn styles keep the plain rectangle
    }
    return std::max(r, 1);
}

std::vector<bool> CandyShapeRow(int y, int W, int H, int R) {
    std::vector<bool> inside(static_cast<size_t>(std::max(W, 0)), true);
    for (int x = 0; x <= W / 2 && x < W; ++x) {
        if (!InRoundRect(x, y, 0, 0, W, H, R)) {
            inside[static_cast<size_t>(x)] = false;
            inside[static_cast<size_t>(W - 1 - x)] = false;
        }
    }
    return inside;
}

QRegion CandyShape(int W, int H, int R) {
    QRegion region;
    for (int y = 0; y < H; ++y) {
        const std::vector<bool> row = CandyShapeRow(y, W, H, R);
        int x = 0;
        while (x < W) {
            if (!row[static_cast<size_t>(x)]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < W && row[static_cast<size_t>(x)]) {
                ++x;
            }
            region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

bool InCandyInner(int x, int y, int W, int H, int R) {
    const int column = x <= W / 2 ? x : W - 1 - x;
    return InRoundRect(column, y, 1, 1, W - 2, H - 2, R);
}

bool InRoundRectRegion(int x, int y, int left, int top, int right, int bottom, int ellipseW,
                       int ellipseH) {
    if (x < left || x >= right || y < top || y >= bottom) {
        return false;
    }
    const double rx = std::min(ellipseW / 2.0, (right - left) / 2.0);
    const double ry = std::min(ellipseH / 2.0, (bottom - top) / 2.0);
    if (rx <= 0 || ry <= 0) {
        return true;
    }
    const double px = x + 0.5;
    const double py = y + 0.5;
    double cx = px;
    double cy = py;
    if (px < left + rx) {
        cx = left + rx;
    } else if (px > right - rx) {
        cx = right - rx;
    }
    if (py < top + ry) {
        cy = top + ry;
    } else if (py > bottom - ry) {
        cy = bottom - ry;
    }
    const double nx = (px - cx) / rx;
    const double ny = (py - cy) / ry;
    return nx * nx + ny * ny <= 1.0;
}

GlossyParams GlossyParamsFor(int style, int W, int H, int R) {
    GlossyParams p;
    p.gx = Round(W / 2.0);
    p.gy = H;
    p.gr = W + 2 * R;
    switch (style) {
    case 2:
        p = {50, R / 2, 1, R / 2, Round(1.1 * R), W + 2 * R, 300, 60, p.gx, H, 120};
        break;
    case 3:
        p = {70, R / 3, 0, 10, 12, W + 2 * R, 200, std::min(100 - (H > 0 ? 700 / H : 700), 80),
             p.gx, H, 130};
        break;
    case 4:
        p = {70, R / 3 - 1, 0, R / 2, R, W + 2 * R, 200, 70, p.gx, H, 130};
        break;
    case 5:
        p = {40, -(R / 2) - 1, -R, R, R + 1, W + 2 * R, 60, 60, p.gx, H, 130};
        break;
    default:
        p = {50, Round(R / 2.0), 2, Round(R / 2.0), R + 1, W - R, 60, 60, p.gx, Round(H / 2.0), 100};
        break;
    }
    return p;
}

std::vector<GlowEllipse> GlowEllipses(int W, int H, const GlossyParams& p) {
    std::vector<GlowEllipse> out;
    const int hx = Round(W * p.px / 100.0);
    const int hy = Round(H * p.py / 100.0);
    if (hx <= 0 || hy <= 0) {
        return out;
    }
    int stepX = 1;
    int stepY = 1;
    if (hy < hx) {
        stepX = Round(static_cast<double>(hx) / hy);
    } else {
        stepY = Round(static_cast<double>(hy) / hx);
    }
    int left = p.gx - hx;
    int right = p.gx + hx;
    int top = p.gy - hy;
    int bottom = p.gy + hy;
    for (int k = 1; left < right && top < bottom; ++k) {
        const int percent = k == 1 ? 0 : Round(static_cast<double>(p.gs) * k / hy);
        out.push_back({QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), percent});
        left += stepX;
        right -= stepX;
        top += stepY;
        bottom -= stepY;
    }
    return out;
}

OleColor CandyOutlineColor(OleColor body, int borderBrightness) {
    body = TranslateColor(body);
    if (borderBrightness >= 0) {
        return Blend(body, kWhite, borderBrightness);
    }
    return Blend(body, kBlack, -borderBrightness);
}

QImage PaintCandyBody(const CandyBody& given) {
    if (given.W <= 0 || given.H <= 0) {
        return {};
    }
    CandyBody in = given;
    in.body = TranslateColor(in.body);
    in.bright = TranslateColor(in.bright);
    QImage image(in.W, in.H, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    switch (in.style) {
    case 6: PaintGlass(image, in); break;
    case 2:
    case 3:
    case 4:
    case 5:
    case 7: PaintGlossy(image, in); break;
    default: PaintLineDrawn(image, in, in.pressed); return image;
    }
    // Outside the window shape nothing shows; keep those pixels transparent so an unmasked
    // rendering (screenshots, printing) looks the same as the screen.
    for (int y = 0; y < in.H; ++y) {
        const std::vector<bool> row = CandyShapeRow(y, in.W, in.H, std::max(1, in.R));
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < in.W; ++x) {
            if (!row[static_cast<size_t>(x)]) {
                line[x] = 0;
            }
        }
    }
    return image;
}

CaptionPlacement PlaceCaption(int alignment, int W, int H, int R, QSize picture, QSize text,
                              bool pressed) {
    const int pw = picture.width();
    const int ph = picture.height();
    const int tw = text.width();
    const int th = text.height();
    CaptionPlacement out;
    out.caption.setX(std::abs(W / 2 - tw / 2));
    switch (alignment) {
    case 1:
        out.picture = {(W - pw) / 2, (H - ph + th) / 2 + 1};
        out.caption.setY(std::abs(H / 2 - (th + ph) / 2));
        break;
    case 2:
        out.picture = {R == 0 ? 8 : R, (H - ph) / 2 + 1};
        out.caption.setY(std::abs(H / 2 - th / 2));
        break;
    case 3:
        out.picture = {R == 0 ? W - 8 - pw : W - R - pw, (H - ph) / 2 + 1};
        out.caption.setY(std::abs(H / 2 - th / 2));
        break;
    default:
        out.picture = {(W - pw) / 2 + 1, (H - ph - th) / 2 + 1};
        out.caption.setY(std::abs(H / 2 + ph / 2 - th / 2));
        break;
    }
    if (pressed) {
        out.picture += QPoint(1, 1);
        out.caption += QPoint(1, 1);
    }
    return out;
}

QImage PaintCandyBodyAt(const CandyBody& in, qreal ratio) {
    if (!(ratio > 1.0)) {
        return PaintCandyBody(in);
    }
    CandyBody scaled = in;
    scaled.W = static_cast<int>(std::lround(in.W * ratio));
    scaled.H = static_cast<int>(std::lround(in.H * ratio));
    scaled.R = std::max(1, static_cast<int>(std::lround(in.R * ratio)));
    QImage image = PaintCandyBody(scaled);
    image.setDevicePixelRatio(ratio);
    return image;
}
