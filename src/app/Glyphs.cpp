#include "app/Glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace tess::app::glyphs {
namespace {

// Draws a 16×16 glyph at 1× and 2× so it stays crisp on dense screens.
QIcon draw(const std::function<void(QPainter&)>& paint)
{
    QIcon icon;
    for (int scale : { 1, 2 }) {
        QPixmap pm(16 * scale, 16 * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        paint(p);
        p.end();
        pm.setDevicePixelRatio(scale);
        icon.addPixmap(pm);
    }
    return icon;
}

QPen pen(const QColor& c, qreal w = 1.2) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void page(QPainter& p, const QRectF& r, const QColor& fill = QColor(0xFF, 0xFF, 0xFF))
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3, r.top());
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(pen(QColor(0x55, 0x66, 0x77), 1));
    p.setBrush(fill);
    p.drawPath(path);
    p.setPen(pen(QColor(0xA0, 0xAE, 0xBC), 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 1.5; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2.5, y));
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c)
{
    p.setPen(pen(c, 1.8));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    QPolygonF head { to + u * 1.5, to - u * 3 + n * 3, to - u * 3 - n * 3 };
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(head);
}

} // namespace

void paintProgramIcon(QPainter& p, qreal size)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient g(0, 0, 64, 64);
    g.setColorAt(0, QColor(0x2F, 0x8C, 0xF0));
    g.setColorAt(1, QColor(0x14, 0x3C, 0x9A));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 13, 13);
    // A globe of links behind the T.
    p.setPen(QPen(QColor(255, 255, 255, 90), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 34), 21, 21);
    p.drawEllipse(QRectF(22, 13, 20, 42));
    p.drawLine(QPointF(11, 34), QPointF(53, 34));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(14, 13, 36, 9), 3, 3);
    p.drawRoundedRect(QRectF(27.5, 13, 9, 38), 3, 3);
    p.setBrush(QColor(0x7C, 0xF0, 0x5A));
    p.drawEllipse(QPointF(48, 48), 7, 7);
    p.restore();
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : { 16, 24, 32, 48, 64, 128 }) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintProgramIcon(p, size);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon importList()
{
    return draw([](QPainter& p) {
        p.setPen(pen(QColor(0xB0, 0x80, 0x20), 1));
        p.setBrush(QColor(0xF6, 0xCB, 0x5A));
        p.drawRoundedRect(QRectF(1, 5, 14, 9.5), 1.5, 1.5);
        p.setBrush(QColor(0xFB, 0xDF, 0x8C));
        p.drawRect(QRectF(1, 3.5, 5.5, 2));
        arrow(p, QPointF(8, 0.8), QPointF(8, 10), QColor(0x1F, 0x7A, 0x1F));
    });
}

QIcon search()
{
    return draw([](QPainter& p) {
        p.setPen(pen(QColor(0x1E, 0x5A, 0xB4), 2));
        p.setBrush(QColor(0xD8, 0xEC, 0xFF));
        p.drawEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
        p.setPen(pen(QColor(0x5A, 0x3A, 0x1A), 2.6));
        p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
    });
}

QIcon stop()
{
    return draw([](QPainter& p) {
        QPolygonF oct;
        for (int i = 0; i < 8; ++i) {
            const qreal a = (22.5 + 45 * i) * M_PI / 180;
            oct << QPointF(8 + 7 * std::cos(a), 8 + 7 * std::sin(a));
        }
        p.setPen(pen(QColor(0x8A, 0x10, 0x10), 1));
        p.setBrush(QColor(0xD9, 0x2B, 0x2B));
        p.drawPolygon(oct);
        p.setPen(pen(Qt::white, 1.6));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
    });
}

QIcon saveResults()
{
    return draw([](QPainter& p) {
        p.setPen(pen(QColor(0x24, 0x3A, 0x66), 1));
        p.setBrush(QColor(0x3E, 0x6C, 0xC6));
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 1.5, 8, 5));
        p.setBrush(QColor(0xDD, 0xE6, 0xF5));
        p.drawRect(QRectF(3.5, 9, 9, 5.5));
    });
}

QIcon saveProgress()
{
    return draw([](QPainter& p) {
        p.setPen(pen(QColor(0x44, 0x44, 0x44), 1.4));
        p.drawLine(QPointF(3, 1.5), QPointF(3, 15));
        QPainterPath flag;
        flag.moveTo(3.5, 2);
        flag.cubicTo(7, 0.5, 9, 4.5, 14, 2.5);
        flag.lineTo(14, 9);
        flag.cubicTo(9, 11, 7, 7, 3.5, 8.5);
        flag.closeSubpath();
        p.setPen(pen(QColor(0x1F, 0x7A, 0x1F), 1));
        p.setBrush(QColor(0x4C, 0xC2, 0x4C));
        p.drawPath(flag);
    });
}

QIcon create()
{
    return draw([](QPainter& p) {
        page(p, QRectF(1.5, 1, 10, 13.5));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1F, 0x9A, 0x3A));
        p.drawEllipse(QPointF(11.5, 11.5), 4.2, 4.2);
        p.setPen(pen(Qt::white, 1.5));
        p.drawLine(QPointF(11.5, 9.2), QPointF(11.5, 13.8));
        p.drawLine(QPointF(9.2, 11.5), QPointF(13.8, 11.5));
    });
}

QIcon merge()
{
    return draw([](QPainter& p) {
        page(p, QRectF(1, 1, 7, 9));
        page(p, QRectF(8, 6, 7, 9), QColor(0xF0, 0xF6, 0xFF));
        arrow(p, QPointF(3, 12.5), QPointF(6.5, 12.5), QColor(0xC0, 0x60, 0x10));
    });
}

QIcon listTool()
{
    // A list, and the bars of its count.
    return draw([](QPainter& p) {
        page(p, QRectF(1, 1, 9, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2E, 0x7D, 0x32));
        p.drawRect(QRectF(11, 3, 4, 2.2));
        p.drawRect(QRectF(11, 7, 3, 2.2));
        p.drawRect(QRectF(11, 11, 1.8, 2.2));
    });
}

QIcon about()
{
    return draw([](QPainter& p) {
        p.setPen(pen(QColor(0x1E, 0x5A, 0xB4), 1));
        p.setBrush(QColor(0x3B, 0x82, 0xE0));
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 4.6), 1.3, 1.3);
        p.drawRoundedRect(QRectF(6.9, 6.8, 2.2, 6), 1, 1);
    });
}

QIcon exitProgram()
{
    return draw([](QPainter& p) {
        p.setPen(pen(QColor(0x6A, 0x45, 0x22), 1));
        p.setBrush(QColor(0xB9, 0x7D, 0x45));
        p.drawRect(QRectF(2, 1.5, 8, 13));
        p.setBrush(QColor(0xF2, 0xD0, 0x5A));
        p.drawEllipse(QPointF(8, 8.5), 0.9, 0.9);
        arrow(p, QPointF(9, 8), QPointF(14.5, 8), QColor(0xC0, 0x20, 0x20));
    });
}

} // namespace tess::app::glyphs
