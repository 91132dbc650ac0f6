#include "components/hyperlink/TcwHyperLink.h"
#include "support/UrlSink.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

using tess::test::UrlSink;

using namespace tess::components;

// Counts the paints a widget receives.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class HyperLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* scheme : { "http", "mailto" })
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &sink, "open");
        window = std::make_unique<QWidget>();
        window->resize(400, 100);
        link = new TcwHyperLink(window.get());
        link->move(10, 10);
    }
    void TearDown() override
    {
        for (const char* scheme : { "http", "mailto" })
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    void showAndSettle()
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    QSize fitted(const QString& caption) const
    {
        const QFontMetrics m(link->textFont());
        return { m.horizontalAdvance(caption) + 6, m.height() + 2 };
    }
    void enter()
    {
        QEnterEvent e(QPointF(2, 2), QPointF(12, 12), QPointF(12, 12));
        QCoreApplication::sendEvent(link, &e);
    }
    void leave()
    {
        QEvent e(QEvent::Leave);
        QCoreApplication::sendEvent(link, &e);
    }

    UrlSink sink;
    std::unique_ptr<QWidget> window;
    TcwHyperLink* link = nullptr;
};

TEST_F(HyperLinkTest, StartsAsDefaultLinkAndFitsItsCaptionOncePainted)
{
    EXPECT_EQ(link->url(), TcwHyperLink::DefaultUrl);
    EXPECT_EQ(link->caption(), link->url());
    EXPECT_EQ(link->linkColor(), clBlue);
    EXPECT_EQ(link->color(), clBtnFace);
    EXPECT_TRUE(link->fontName().isEmpty());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link->textFont().bold());
    EXPECT_TRUE(link->textFont().underline());
    EXPECT_EQ(link->size(), QSize(100, 10));

    showAndSettle();
    EXPECT_EQ(link->size(), fitted(link->caption()));

    // A size stored by a form does not survive the next paint either.
    link->resize(300, 40);
    settle();
    EXPECT_EQ(link->size(), fitted(link->caption()));
}

TEST_F(HyperLinkTest, UrlAndCaptionAreWrittenIndependently)
{
    showAndSettle();
    const QSize before = link->size();

    link->setUrl(QStringLiteral("http://other.tessaroon.example/"));
    settle();
    EXPECT_EQ(link->caption(), TcwHyperLink::DefaultUrl);
    EXPECT_EQ(link->size(), before);

    link->setCaption(QStringLiteral("联系我们"));
    settle();
    EXPECT_EQ(link->url(), QStringLiteral("http://other.tessaroon.example/"));
    EXPECT_EQ(link->size(), fitted(QStringLiteral("联系我们")));
    EXPECT_NE(link->size(), before);
}

TEST_F(HyperLinkTest, RepaintsOnlyWhenAWriteChangesSomethingShown)
{
    showAndSettle();
    PaintCounter counter;
    link->installEventFilter(&counter);

    struct Write {
        const char* what;
        std::function<void()> write;
        bool repaints;
    };
    const std::vector<Write> writes = {
        { "same caption", [&] { link->setCaption(link->caption()); }, false },
        { "same colour", [&] { link->setColor(clBtnFace); }, false },
        { "same (empty) face", [&] { link->setFontName(QString()); }, false },
        { "new address", [&] { link->setUrl(QStringLiteral("http://x.tessaroon.example/")); }, false },
        { "new caption", [&] { link->setCaption(QStringLiteral("主页")); }, true },
        { "new colour", [&] { link->setColor(0x00FFFF); }, true },
        { "new face", [&] { link->setFontName(QStringLiteral("DejaVu Sans")); }, true },
    };
    for (const Write& w : writes) {
        counter.paints = 0;
        w.write();
        settle();
        EXPECT_EQ(counter.paints > 0, w.repaints) << w.what;
    }
    EXPECT_EQ(link->fontName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(link->textFont().family(), QStringLiteral("DejaVu Sans"));
}

TEST_F(HyperLinkTest, HoverIsRedAndTheLinkTurnsMagentaAfterTheFirstLeftPress)
{
    showAndSettle();
    enter();
    EXPECT_EQ(link->fontColor(), clRed);
    leave();
    EXPECT_EQ(link->fontColor(), clBlue);

    enter();
    QTest::mouseClick(link, Qt::RightButton);
    EXPECT_TRUE(sink.opened.isEmpty());
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(sink.opened.size(), 1);
    EXPECT_EQ(sink.opened[0], QUrl(TcwHyperLink::DefaultUrl));
    // Still under the pointer: still red until it leaves.
    EXPECT_EQ(link->fontColor(), clRed);
    EXPECT_EQ(link->linkColor(), clFuchsia);
    leave();
    EXPECT_EQ(link->fontColor(), clFuchsia);
    enter();
    EXPECT_EQ(link->fontColor(), clRed);

    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(sink.opened.size(), 2);
    EXPECT_EQ(link->linkColor(), clFuchsia);
}

TEST_F(HyperLinkTest, MailAddressesGoToTheOpenerTheSameWay)
{
    link->setUrl(QStringLiteral("mailto:support@tessaroon.example"));
    showAndSettle();
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(sink.opened.size(), 1);
    EXPECT_EQ(sink.opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(sink.opened[0].path(), QStringLiteral("support@tessaroon.example"));
}

TEST_F(HyperLinkTest, PressWhileDesigningOpensNothing)
{
    link->setDesigning(true);
    showAndSettle();
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_TRUE(sink.opened.isEmpty());
    EXPECT_EQ(link->linkColor(), clBlue);
    leave();
    EXPECT_EQ(link->fontColor(), clBlue);
}

TEST(TColor, ConvertsStoredColoursAndDesktopColours)
{
    QPalette pal;
    pal.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
    EXPECT_EQ(toQColor(clBlue, pal), QColor(0, 0, 255));
    EXPECT_EQ(toQColor(clRed, pal), QColor(255, 0, 0));
    EXPECT_EQ(toQColor(0x336699, pal), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(toQColor(clBtnFace, pal), QColor(1, 2, 3));
}

} // namespace
