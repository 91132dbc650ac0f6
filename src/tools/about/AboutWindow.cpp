#include "tools/about/AboutWindow.h"

#include "components/hyperlink/TcwHyperLink.h"
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
    constexpr int tolerance = 24;
    for (int y = 0; y < argb.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = row[x];
            if (qAbs(qRed(p) - key.red()) <= tolerance && qAbs(qGreen(p) - key.green()) <= tolerance
                && qAbs(qBlue(p) - key.blue()) <= tolerance)
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

components::TcwHyperLink* link(
    QWidget* parent, const char* name, const QString& caption, const QString& url, int left, int top)
{
    auto* l = new components::TcwHyperLink(parent);
    l->setObjectName(QLatin1String(name));
    l->move(left, top);
    l->setCaption(caption);
    l->setUrl(url);
    return l;
}

} // namespace

TForm2::TForm2(QWidget* parent)
    : ui::SecondaryWindow(parent, Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("关于本软件"));
    setFixedSize(272, 190);

    Panel1 = new BevelPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 272, 190);

    ProgramIcon = picture(Panel1, "ProgramIcon", transparentPicture(loadJpeg(LogoPicture)), 20, 8);

    QFont nameFont = ui::songtiFont(12);
    nameFont.setBold(true);
    ProductName = textLabel(Panel1, "ProductName", QStringLiteral("『Tessaroon』"), nameFont, 96, 16);
    QFont versionFont;
    versionFont.setFamilies(
        { QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans") });
    versionFont.setPixelSize(13);
    Version = textLabel(Panel1, "Version", QStringLiteral("Ver 2.0"), versionFont, 216, 14);

    Image1 = picture(Panel1, "Image1", QPixmap::fromImage(loadJpeg(CreditPicture)), 20, 64);

    cwHyperLink1 = link(Panel1, "cwHyperLink1", QStringLiteral("主页: http://www.tessaroon.example/"),
        QStringLiteral("http://www.tessaroon.example/"), 16, 88);
    cwHyperLink3 = link(Panel1, "cwHyperLink3", QStringLiteral("下载: http://download.tessaroon.example/"),
        QStringLiteral("http://download.tessaroon.example/"), 16, 108);
    cwHyperLink2 = link(Panel1, "cwHyperLink2", QStringLiteral("联系: support@tessaroon.example"),
        QStringLiteral("mailto:support@tessaroon.example"), 16, 130);

    // On the window itself, above the panel.
    OKButton = new QPushButton(QStringLiteral("确 定"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setFont(ui::songtiFont(12));
    OKButton->setGeometry(207, 156, 50, 25);
    OKButton->setDefault(true);
    OKButton->raise();
    connect(OKButton, &QPushButton::clicked, this, &TForm2::OKButtonClick);
}

void TForm2::OKButtonClick() { accept(); }

} // namespace tess::tools
