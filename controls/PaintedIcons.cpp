#include "controls/PaintedIcons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kOutline(0x55, 0x55, 0x55);
const QColor kGreen(0x2E, 0x9E, 0x3E);
const QColor kRed(0xD0, 0x2C, 0x2C);
const QColor kBlue(0x2A, 0x6C, 0xC8);
const QColor kFolder(0xE8, 0xB8, 0x4A);

// A circle of colour with a white arrow inside, pointing along (dx, dy).
void arrowInCircle(QPainter& p, const QColor& colour, int dx, int dy) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF centre(8, 8);
    const QPointF tip = centre + QPointF(4 * dx, 4 * dy);
    const QPointF tail = centre - QPointF(4 * dx, 4 * dy);
    const QPointF side(3 * dy, 3 * dx);  // across the arrow
    p.drawLine(tail, tip);
    p.drawPolyline(
        QPolygonF{tip - QPointF(3 * dx, 3 * dy) + side, tip, tip - QPointF(3 * dx, 3 * dy) - side});
}

void paint(QPainter& p, Picture picture) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
        case Picture::NewFile: {
            QPainterPath page;
            page.moveTo(3.5, 1.5);
            page.lineTo(9.5, 1.5);
            page.lineTo(12.5, 4.5);
            page.lineTo(12.5, 14.5);
            page.lineTo(3.5, 14.5);
            page.closeSubpath();
            p.setPen(QPen(kOutline, 1));
            p.setBrush(Qt::white);
            p.drawPath(page);
            p.drawPolyline(QPolygonF{{9.5, 1.5}, {9.5, 4.5}, {12.5, 4.5}});
            return;
        }
        case Picture::OpenFolder:
            p.setPen(QPen(kFolder.darker(140), 1));
            p.setBrush(kFolder.darker(115));
            p.drawRect(QRectF(1.5, 3.5, 11, 10));
            p.setBrush(kFolder);
            p.drawPolygon(QPolygonF{{3.5, 7.5}, {15, 7.5}, {12.5, 13.5}, {1.5, 13.5}});
            return;
        case Picture::Parameters:
            p.setPen(QPen(kOutline, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(2.5, 1.5, 11, 13));
            p.setPen(QPen(kBlue, 1.5));
            for (const qreal y : {5.0, 8.0, 11.0}) p.drawLine(QPointF(5, y), QPointF(11, y));
            return;
        case Picture::Upload:
            arrowInCircle(p, kGreen, 0, -1);
            return;
        case Picture::Next:
            arrowInCircle(p, kGreen, 1, 0);
            return;
        case Picture::About: {
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawEllipse(QRectF(1, 1, 14, 14));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(7, 3.5, 2, 2));
            p.drawRect(QRectF(7, 7, 2, 5.5));
            return;
        }
        case Picture::Ok:
            p.setPen(QPen(kGreen, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF{{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}});
            return;
        case Picture::Cancel:
            p.setPen(QPen(kRed, 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
            p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
            return;
        case Picture::Refresh: {
            p.setPen(QPen(kBlue, 1.8, Qt::SolidLine, Qt::RoundCap));
            const QRectF ring(2.5, 2.5, 11, 11);
            p.drawArc(ring, 20 * 16, 140 * 16);
            p.drawArc(ring, 200 * 16, 140 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawPolygon(QPolygonF{{1, 5}, {5, 5}, {3, 8.5}});
            p.drawPolygon(QPolygonF{{15, 11}, {11, 11}, {13, 7.5}});
            return;
        }
        case Picture::Program: {
            // Two lines meeting in one box: the converter between RTU and ASCII.
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x33, 0x33, 0x33));
            p.drawRoundedRect(QRectF(4, 3, 8, 10), 1.5, 1.5);
            p.setBrush(kGreen);
            p.drawRect(QRectF(0, 6, 4, 1.5));
            p.setBrush(kBlue);
            p.drawRect(QRectF(12, 8.5, 4, 1.5));
            p.setBrush(QColor(0xFF, 0xC8, 0x40));
            p.drawEllipse(QRectF(6.5, 5, 3, 3));
            return;
        }
    }
}

QPixmap paintedPixmap(Picture picture, int size, qreal pixelRatio) {
    QPixmap pixmap(QSize(size, size) * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.scale(size / 16.0, size / 16.0);  // every picture is drawn on a 16-pixel grid
    paint(painter, picture);
    return pixmap;
}

}  // namespace

QIcon paintedIcon(Picture picture) {
    return QIcon(paintedPixmap(picture, 16, qApp->devicePixelRatio()));
}

QPixmap programPicture(int size) {
    return paintedPixmap(Picture::Program, size, 1.0);
}
