#include "tools/builder/BuilderGlyphs.h"

#include <QPainter>
#include <QPixmap>

namespace tess::tools {
namespace {

QPixmap blank()
{
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    return pix;
}

} // namespace

QIcon createGlyph()
{
    QPixmap pix = blank();
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(80, 90, 110));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 10, 13));
    p.setPen(QColor(60, 120, 200));
    for (int y = 4; y <= 10; y += 3)
        p.drawLine(4, y, 11, y);
    // A spark in the corner: something new is made.
    p.setPen(QPen(QColor(230, 150, 0), 1.6));
    p.drawLine(QPointF(12, 9), QPointF(15, 12));
    p.drawLine(QPointF(15, 9), QPointF(12, 12));
    p.drawLine(QPointF(13.5, 8.5), QPointF(13.5, 12.5));
    return QIcon(pix);
}

QIcon saveGlyph()
{
    QPixmap pix = blank();
    QPainter p(&pix);
    p.setPen(QColor(30, 50, 90));
    p.setBrush(QColor(60, 100, 170));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(3, 9, 9, 5);
    p.fillRect(8, 2, 2, 3, QColor(60, 100, 170));
    return QIcon(pix);
}

} // namespace tess::tools
