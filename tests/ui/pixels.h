#pragma once
// Reading rendered widgets in tests: contrast of colours as the accessibility
// guidelines (WCAG 2) compute it, and the darkest pixel of an area.

#include <QColor>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cmath>

namespace veldan::test {

// The relative luminance of `c` (0 black .. 1 white).
inline double Luminance(const QColor& c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// The contrast ratio of two colours (1 .. 21).
inline double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The darkest pixel of `area` in `image`.
inline QColor Darkest(const QImage& image, const QRect& area) {
    QColor darkest(Qt::white);
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (Luminance(c) < Luminance(darkest)) darkest = c;
        }
    }
    return darkest;
}

}  // namespace veldan::test
