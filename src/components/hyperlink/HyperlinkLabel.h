#pragma once

#include "components/hyperlink/FormColor.h"

#include <QString>
#include <QWidget>

namespace tess::components {

// One line of text shown as a link: bold and underlined, blue, red under
// the pointer and magenta once clicked. A left press hands the address to
// the desktop's opener (a browser, or the mail program for "mailto:").
// The control sizes itself to its caption whenever it paints.
class HyperlinkLabel final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kDefaultUrl = QStringLiteral("http://www.tessaroon.example/");

    explicit HyperlinkLabel(QWidget* parent = nullptr);

    FormColor linkColor() const { return m_linkColor; }
    const QString& url() const { return m_url; }
    const QString& caption() const { return m_caption; }
    FormColor color() const { return m_color; }
    const QString& fontName() const { return m_fontName; }
    // The colour the text is drawn in now: the link colour or the hover red.
    FormColor fontColor() const { return m_fontColor; }

    // Each write does nothing when the value is the stored one.
    void setUrl(const QString& url); // no repaint; the caption stays
    void setCaption(const QString& caption); // repaint; the address stays
    void setColor(FormColor color); // background; repaint
    void setFontName(const QString& name); // face of the text; repaint

    // The font the caption is drawn in.
    QFont textFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    FormColor m_linkColor = kBlue;
    QString m_url;
    QString m_caption;
    FormColor m_color = 0;
    QString m_fontName;
    FormColor m_fontColor = kBlue;
};

} // namespace tess::components
