#pragma once

#include "components/hyperlink/TColor.h"

#include <QString>
#include <QWidget>

namespace tess::components {

// One line of text shown as a link: bold and underlined, blue, red under
// the pointer and magenta once clicked. A left press hands the address to
// the desktop's opener (a browser, or the mail program for "mailto:").
// The control sizes itself to its caption whenever it paints.
class TcwHyperLink final : public QWidget {
    Q_OBJECT
public:
    static inline const QString DefaultUrl = QStringLiteral("http://www.tessaroon.example/");

    explicit TcwHyperLink(QWidget* parent = nullptr);

    TColor linkColor() const { return m_linkColor; }
    const QString& url() const { return m_url; }
    const QString& caption() const { return m_caption; }
    TColor color() const { return m_color; }
    const QString& fontName() const { return m_fontName; }
    // The colour the text is drawn in now: the link colour or the hover red.
    TColor fontColor() const { return m_fontColor; }

    // Each write does nothing when the value is the stored one.
    void setUrl(const QString& url); // no repaint; the caption stays
    void setCaption(const QString& caption); // repaint; the address stays
    void setColor(TColor color); // background; repaint
    void setFontName(const QString& name); // face of the text; repaint

    // While a form is being designed a press must not open anything.
    bool designing() const { return m_designing; }
    void setDesigning(bool designing) { m_designing = designing; }

    // The font the caption is drawn in.
    QFont textFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TColor m_linkColor = clBlue;
    QString m_url;
    QString m_caption;
    TColor m_color = 0;
    QString m_fontName;
    TColor m_fontColor = clBlue;
    bool m_designing = false;
};

} // namespace tess::components
