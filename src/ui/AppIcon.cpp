#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace AppIcon {

QImage image(int size) {
    QImage picture(size, size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    // Two table cylinders with an arrow from the left one to the right one.
    const auto cylinder = [&](qreal x, const QColor& colour) {
        painter.setPen(QPen(colour.darker(160), 2));
        painter.setBrush(colour);
        painter.drawRect(QRectF(x, 18, 22, 30));
        painter.drawEllipse(QRectF(x, 42, 22, 10));
        painter.setBrush(colour.lighter(130));
        painter.drawEllipse(QRectF(x, 13, 22, 10));
    };
    cylinder(4, QColor(0xD9, 0x8C, 0x1F));
    cylinder(38, QColor(0x2F, 0x6F, 0xB5));
    QPainterPath arrow;
    arrow.moveTo(24, 33);
    arrow.lineTo(36, 33);
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(arrow);
    painter.drawLine(QPointF(36, 33), QPointF(31, 28));
    painter.drawLine(QPointF(36, 33), QPointF(31, 38));
    return picture;
}

QIcon icon() {
    QIcon result;
    for (int size : {16, 32, 48, 64, 128})
        result.addPixmap(QPixmap::fromImage(image(size)));
    return result;
}

}  // namespace AppIcon
