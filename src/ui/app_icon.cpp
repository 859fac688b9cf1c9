#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace veldan::ui {

namespace {

// A transparent square of `size` pixels that `draw` paints on with
// antialiasing, given the painter and the size as a real.
template <typename Draw>
QPixmap Paint(int size, Draw draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, static_cast<qreal>(size));
    return pixmap;
}

QPixmap Shield(int size) {
    return Paint(size, [](QPainter& p, qreal s) {
        QPainterPath shield;
        shield.moveTo(s * 0.5, s * 0.04);
        shield.lineTo(s * 0.92, s * 0.2);
        shield.cubicTo(s * 0.92, s * 0.62, s * 0.72, s * 0.84, s * 0.5, s * 0.97);
        shield.cubicTo(s * 0.28, s * 0.84, s * 0.08, s * 0.62, s * 0.08, s * 0.2);
        shield.closeSubpath();
        p.fillPath(shield, QColor(0x2b, 0x57, 0x97));
        QPen pen(Qt::white, s * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.drawPolyline(QPolygonF(
            {QPointF(s * 0.3, s * 0.3), QPointF(s * 0.5, s * 0.72), QPointF(s * 0.7, s * 0.3)}));
    });
}

}  // namespace

QPixmap HomePageIcon(int size) {
    return Paint(size, [](QPainter& p, qreal s) {
        // The web: a globe with its meridian and parallels, behind and to the left.
        const QRectF globe(s * 0.02, s * 0.06, s * 0.62, s * 0.62);
        p.setPen(QPen(QColor(0x1d, 0x5f, 0xa8), s * 0.05));
        p.setBrush(QColor(0x9c, 0xc8, 0xf0));
        p.drawEllipse(globe);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(globe.adjusted(s * 0.17, 0, -s * 0.17, 0));
        p.drawLine(QPointF(globe.left(), globe.center().y()),
                   QPointF(globe.right(), globe.center().y()));
        // The home: a house with a red roof and a door, in front on the right.
        const QColor outline(0x5a, 0x2a, 0x10);
        QPainterPath body;
        body.addRect(QRectF(s * 0.42, s * 0.58, s * 0.46, s * 0.36));
        p.setPen(QPen(outline, s * 0.05));
        p.setBrush(QColor(0xff, 0xf4, 0xdc));
        p.drawPath(body);
        QPolygonF roof({QPointF(s * 0.34, s * 0.62), QPointF(s * 0.65, s * 0.34),
                        QPointF(s * 0.96, s * 0.62)});
        p.setBrush(QColor(0xd0, 0x3a, 0x1f));
        p.drawPolygon(roof);
        p.setPen(Qt::NoPen);
        p.setBrush(outline);
        p.drawRect(QRectF(s * 0.59, s * 0.74, s * 0.12, s * 0.2));
    });
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(Shield(size));
    return icon;
}

}  // namespace veldan::ui
