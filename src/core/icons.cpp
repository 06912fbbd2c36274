#include "core/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace icons {
namespace {

QPixmap canvas()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    return pm;
}

void handset(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(7, 9);
    path.cubicTo(6, 17, 13, 25, 22, 26);
    path.lineTo(25, 22);
    path.lineTo(21, 18);
    path.lineTo(18, 20);
    path.cubicTo(15, 18, 13, 16, 12, 13);
    path.lineTo(14, 10);
    path.lineTo(10, 6);
    path.closeSubpath();
    p.setPen(QPen(c.darker(140), 1.2));
    p.setBrush(c);
    p.drawPath(path);
}

} // namespace

QIcon appIcon()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 200));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.scale(2, 2);
    handset(p, QColor(255, 255, 255));
    return QIcon(pm);
}

QIcon toolIcon(Glyph g)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (g) {
    case Glyph::Visit:
        handset(p, QColor(40, 150, 60));
        break;
    case Glyph::Query:
        p.setPen(QPen(QColor(80, 80, 80), 1));
        p.setBrush(Qt::white);
        p.drawRect(5, 3, 18, 24);
        p.setPen(QPen(QColor(30, 90, 180), 3));
        p.setBrush(QColor(190, 220, 255));
        p.drawEllipse(QPointF(19, 17), 6, 6);
        p.drawLine(QPointF(23, 21), QPointF(29, 28));
        break;
    case Glyph::Stats:
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.drawLine(4, 28, 29, 28);
        p.setBrush(QColor(220, 80, 60));
        p.drawRect(6, 16, 5, 12);
        p.setBrush(QColor(240, 170, 40));
        p.drawRect(13, 8, 5, 20);
        p.setBrush(QColor(60, 140, 220));
        p.drawRect(20, 12, 5, 16);
        break;
    case Glyph::Password:
        p.setPen(QPen(QColor(150, 110, 20), 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(11, 12), 6, 6);
        p.drawLine(QPointF(15, 16), QPointF(27, 28));
        p.drawLine(QPointF(22, 23), QPointF(25, 20));
        p.drawLine(QPointF(25, 26), QPointF(28, 23));
        break;
    case Glyph::About:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 110, 200));
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawPoint(QPointF(16, 10));
        p.drawLine(QPointF(16, 15), QPointF(16, 23));
        break;
    case Glyph::Exit:
        p.setPen(QPen(QColor(200, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5, 6, 22, 22), 120 * 16, 300 * 16);
        p.drawLine(QPointF(16, 3), QPointF(16, 15));
        break;
    }
    return QIcon(pm);
}

} // namespace icons
