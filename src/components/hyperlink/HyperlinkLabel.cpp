#include "components/hyperlink/HyperlinkLabel.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>

namespace tess::components {

HyperlinkLabel::HyperlinkLabel(QWidget* parent)
    : QWidget(parent)
    , m_url(kDefaultUrl)
    , m_caption(m_url)
{
    // Only until the first paint, which fits the control to its caption.
    resize(100, 10);
    setColor(kButtonFace);
    setCursor(Qt::PointingHandCursor);
    update();
}

void HyperlinkLabel::setUrl(const QString& url)
{
    if (url == m_url)
        return;
    m_url = url;
}

void HyperlinkLabel::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void HyperlinkLabel::setColor(FormColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void HyperlinkLabel::setFontName(const QString& name)
{
    if (name == m_fontName)
        return;
    m_fontName = name;
    update();
}

QFont HyperlinkLabel::textFont() const
{
    QFont f = font();
    if (!m_fontName.isEmpty())
        f.setFamilies({ m_fontName });
    f.setBold(true);
    f.setUnderline(true);
    return f;
}

void HyperlinkLabel::paintEvent(QPaintEvent* event)
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

void HyperlinkLabel::enterEvent(QEnterEvent* event)
{
    m_fontColor = kRed;
    update();
    QWidget::enterEvent(event);
}

void HyperlinkLabel::leaveEvent(QEvent* event)
{
    m_fontColor = m_linkColor;
    update();
    QWidget::leaveEvent(event);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // Whether the opener managed is not our concern: the link counts
        // as visited either way.
        QDesktopServices::openUrl(QUrl(m_url, QUrl::TolerantMode));
        m_linkColor = kFuchsia;
    }
    QWidget::mousePressEvent(event);
}

} // namespace tess::components
