#include "components/hyperlink/TcwHyperLink.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>

namespace tess::components {

TcwHyperLink::TcwHyperLink(QWidget* parent)
    : QWidget(parent)
    , m_url(DefaultUrl)
    , m_caption(m_url)
{
    // Only until the first paint, which fits the control to its caption.
    resize(100, 10);
    setColor(clBtnFace);
    setCursor(Qt::PointingHandCursor);
    update();
}

void TcwHyperLink::setUrl(const QString& url)
{
    if (url == m_url)
        return;
    m_url = url;
}

void TcwHyperLink::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void TcwHyperLink::setColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void TcwHyperLink::setFontName(const QString& name)
{
    if (name == m_fontName)
        return;
    m_fontName = name;
    update();
}

QFont TcwHyperLink::textFont() const
{
    QFont f = font();
    if (!m_fontName.isEmpty())
        f.setFamilies({ m_fontName });
    f.setBold(true);
    f.setUnderline(true);
    return f;
}

void TcwHyperLink::paintEvent(QPaintEvent* event)
{
    const QFont f = textFont();
    const QFontMetrics metrics(f);
    const QSize fitted(metrics.horizontalAdvance(m_caption) + 6, metrics.height() + 2);
    // Resizing schedules another paint; that one finds the size right.
    if (size() != fitted)
        resize(fitted);

    QPainter painter(this);
    painter.fillRect(event->rect(), toQColor(m_color, palette()));
    painter.setFont(f);
    painter.setPen(toQColor(m_fontColor, palette()));
    painter.drawText(QPoint(3, 1 + metrics.ascent()), m_caption);
}

void TcwHyperLink::enterEvent(QEnterEvent* event)
{
    m_fontColor = clRed;
    update();
    QWidget::enterEvent(event);
}

void TcwHyperLink::leaveEvent(QEvent* event)
{
    m_fontColor = m_linkColor;
    update();
    QWidget::leaveEvent(event);
}

void TcwHyperLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !m_designing) {
        // Whether the opener managed is not our concern: the link counts
        // as visited either way.
        QDesktopServices::openUrl(QUrl(m_url, QUrl::TolerantMode));
        m_linkColor = clFuchsia;
    }
    QWidget::mousePressEvent(event);
}

} // namespace tess::components
