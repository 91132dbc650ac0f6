#include "browser/cleaner/ui/CleanerGlyph.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace tess::browser {

QPixmap cleanerGlyph()
{
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);

    // The page, with a folded corner and a few lines of text.
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(19.5, 1.5);
    page.lineTo(25.5, 7.5);
    page.lineTo(25.5, 27.5);
    page.lineTo(3.5, 27.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(70, 90, 120), 1));
    p.setBrush(QColor(250, 252, 255));
    p.drawPath(page);
    p.setBrush(QColor(210, 222, 240));
    p.drawPolygon(QPolygonF({ QPointF(19.5, 1.5), QPointF(19.5, 7.5), QPointF(25.5, 7.5) }));
    p.setPen(QPen(QColor(70, 130, 200), 2));
    p.drawLine(QPointF(7, 7), QPointF(16, 7));
    p.drawLine(QPointF(7, 11), QPointF(21, 11));
    p.drawLine(QPointF(7, 15), QPointF(14, 15));

    // The warning sign over the lower right corner.
    const QPolygonF sign({ QPointF(22, 13), QPointF(31, 30), QPointF(13, 30) });
    p.setPen(QPen(QColor(150, 80, 0), 1.2));
    p.setBrush(QColor(255, 200, 0));
    p.drawPolygon(sign);
    p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(22, 18.5), QPointF(22, 24.5));
    p.drawPoint(QPointF(22, 27.5));
    return pix;
}

} // namespace tess::browser
