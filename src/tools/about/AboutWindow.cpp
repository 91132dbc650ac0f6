#include "tools/about/AboutWindow.h"

#include "components/hyperlink/HyperlinkLabel.h"
#include "tools/about/BevelPanel.h"
#include "tools/about/JpegDecoder.h"
#include "ui/WindowFont.h"

#include <QBitmap>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace tess::tools {
namespace {

// The logo is drawn see-through: pixels close to the colour of its
// bottom-left corner let the panel show. JPEG blurs that colour a little,
// hence the tolerance.
QPixmap transparentPicture(const QImage& picture)
{
    QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    const QColor key = argb.pixelColor(0, argb.height() - 1);
    constexpr int kTolerance = 24;
    for (int y = 0; y < argb.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = row[x];
            if (qAbs(qRed(p) - key.red()) <= kTolerance && qAbs(qGreen(p) - key.green()) <= kTolerance
                && qAbs(qBlue(p) - key.blue()) <= kTolerance)
                row[x] = qRgba(0, 0, 0, 0);
        }
    }
    return QPixmap::fromImage(argb);
}

QLabel* picture(QWidget* parent, const char* name, const QPixmap& pixmap, int left, int top)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setPixmap(pixmap);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(left, top, pixmap.width(), pixmap.height());
    return l;
}

QLabel* textLabel(
    QWidget* parent, const char* name, const QString& text, const QFont& font, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(pal);
    l->move(left, top);
    l->adjustSize();
    return l;
}

components::HyperlinkLabel* link(
    QWidget* parent, const char* name, const QString& caption, const QString& url, int left, int top)
{
    auto* l = new components::HyperlinkLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->move(left, top);
    l->setCaption(caption);
    l->setUrl(url);
    return l;
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent)
    : ui::SecondaryWindow(parent, Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("关于本软件"));
    setFixedSize(272, 190);

    m_panel = new BevelPanel(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    m_panel->setGeometry(0, 0, 272, 190);

    m_logo = picture(m_panel, "ProgramIcon", transparentPicture(loadJpeg(kLogoPicture)), 20, 8);

    QFont nameFont = ui::songtiFont(12);
    nameFont.setBold(true);
    m_productName = textLabel(m_panel, "ProductName", QStringLiteral("『Tessaroon』"), nameFont, 96, 16);
    QFont versionFont;
    versionFont.setFamilies(
        { QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans") });
    versionFont.setPixelSize(13);
    m_version = textLabel(m_panel, "Version", QStringLiteral("Ver 2.0"), versionFont, 216, 14);

    m_creditPicture = picture(m_panel, "Image1", QPixmap::fromImage(loadJpeg(kCreditPicture)), 20, 64);

    m_homePageLink = link(m_panel, "cwHyperLink1", QStringLiteral("主页: http://www.tessaroon.example/"),
        QStringLiteral("http://www.tessaroon.example/"), 16, 88);
    m_downloadLink = link(m_panel, "cwHyperLink3", QStringLiteral("下载: http://download.tessaroon.example/"),
        QStringLiteral("http://download.tessaroon.example/"), 16, 108);
    m_contactLink = link(m_panel, "cwHyperLink2", QStringLiteral("联系: support@tessaroon.example"),
        QStringLiteral("mailto:support@tessaroon.example"), 16, 130);

    // On the window itself, above the panel.
    m_okButton = new QPushButton(QStringLiteral("确 定"), this);
    m_okButton->setObjectName(QStringLiteral("OKButton"));
    m_okButton->setFont(ui::songtiFont(12));
    m_okButton->setGeometry(207, 156, 50, 25);
    m_okButton->setDefault(true);
    m_okButton->raise();
    connect(m_okButton, &QPushButton::clicked, this, &AboutWindow::closeWindow);
}

void AboutWindow::closeWindow() { accept(); }

} // namespace tess::tools
