#include "support/Files.h"
#include "support/UrlSink.h"
#include "tools/about/AboutWindow.h"
#include "tools/about/JpegDecoder.h"

#include "components/hyperlink/HyperlinkLabel.h"

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using tess::test::UrlSink;

using tess::components::HyperlinkLabel;
using tess::tools::AboutWindow;

QByteArray resource(const QString& path) { return tess::test::readFile(path); }

// Shows the window modally and runs `whileShown` once it is up.
int showModal(AboutWindow& form, std::function<void()> whileShown)
{
    QTimer::singleShot(0, &form, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        whileShown();
    });
    return form.exec();
}

TEST(AboutWindow, EnterAndTheCloseBoxBothCloseTheSameWindowWhichKeepsItsLinkColours)
{
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &sink, "open");
    AboutWindow form;
    auto* link = form.findChild<HyperlinkLabel*>(QStringLiteral("cwHyperLink1"));
    ASSERT_NE(link, nullptr);

    const int result = showModal(form, [&] {
        QTest::mouseClick(link, Qt::LeftButton);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        QTest::keyClick(&form, Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(sink.opened.size(), 1);
    EXPECT_EQ(sink.opened[0], QUrl(QStringLiteral("http://www.tessaroon.example/")));

    bool stillVisited = false;
    showModal(form, [&] {
        stillVisited = link->linkColor() == tess::components::kFuchsia
            && link->fontColor() == tess::components::kFuchsia;
        form.close();
    });
    EXPECT_TRUE(stillVisited);
    EXPECT_FALSE(form.isVisible());
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

TEST(AboutWindow, ContentAndPlacement)
{
    AboutWindow form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("关于本软件"));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(
        form.findChild<QLabel*>(QStringLiteral("ProductName"))->text(), QStringLiteral("『Tessaroon』"));
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("Version"))->text(), QStringLiteral("Ver 2.0"));
    auto* ok = form.findChild<QPushButton*>(QStringLiteral("OKButton"));
    EXPECT_EQ(ok->text(), QStringLiteral("确 定"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->parentWidget(), &form);
    EXPECT_EQ(form.findChild<HyperlinkLabel*>(QStringLiteral("cwHyperLink2"))->url(),
        QStringLiteral("mailto:support@tessaroon.example"));
    EXPECT_TRUE(
        form.findChild<HyperlinkLabel*>(QStringLiteral("cwHyperLink3"))->url().startsWith(u"http://"));

    const QPixmap logo = form.findChild<QLabel*>(QStringLiteral("ProgramIcon"))->pixmap();
    EXPECT_EQ(logo.size(), QSize(66, 46));
    // The logo's white ground lets the panel through.
    EXPECT_EQ(logo.toImage().pixelColor(0, 45).alpha(), 0);
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().size(), QSize(188, 18));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_LE((form.frameGeometry().center() - screen.center()).manhattanLength(), 2);
    form.close();
}

TEST(JpegDecoder, ShippedPicturesDecode)
{
    const QImage logo = tess::tools::loadJpeg(AboutWindow::kLogoPicture);
    EXPECT_EQ(logo.size(), QSize(66, 46));
    // Much of it is the blue globe, not grey filler.
    int blue = 0;
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x)
            blue += logo.pixelColor(x, y).blue() > logo.pixelColor(x, y).red() + 60;
    EXPECT_GT(blue, 300);
    EXPECT_EQ(tess::tools::loadJpeg(AboutWindow::kCreditPicture).size(), QSize(188, 18));
}

TEST(JpegDecoder, DamagedDataIsAClearErrorNotACrash)
{
    const QByteArray good = resource(AboutWindow::kLogoPicture);
    QByteArray badFrame = good;
    // Zero the image dimensions in the first SOF0 segment.
    const qsizetype sof = badFrame.indexOf(QByteArray::fromHex("ffc0"));
    ASSERT_GT(sof, 0);
    badFrame[sof + 5] = badFrame[sof + 6] = badFrame[sof + 7] = badFrame[sof + 8] = 0;
    QByteArray scrambled = good;
    for (qsizetype i = good.size() / 2; i < good.size() - 2; i += 7)
        scrambled[i] = char(0xFF);

    const std::vector<std::pair<const char*, QByteArray>> cases = {
        { "empty", QByteArray() },
        { "not a JPEG", QByteArray("GIF89a, or anything else at all") },
        { "header only", good.left(40) },
        { "truncated", good.left(good.size() / 2) },
        { "zero size", badFrame },
        { "scrambled data", scrambled },
    };
    for (const auto& [name, bytes] : cases) {
        try {
            tess::tools::decodeJpeg(bytes, QStringLiteral("test.jpg"));
            ADD_FAILURE() << name << ": decoded without complaint";
        } catch (const tess::tools::JpegError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot decode JPEG picture test.jpg: ")))
                << name << ": " << e.what();
            EXPECT_GT(e.message().size(), 38) << name;
        }
    }
    EXPECT_THROW(tess::tools::loadJpeg(QStringLiteral(":/about/none.jpg")), tess::tools::JpegError);
}

} // namespace
