#include "components/hyperlink/HyperlinkLabel.h"
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

class HyperlinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* scheme : { "http", "mailto" })
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &m_sink, "open");
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 100);
        m_link = new HyperlinkLabel(m_window.get());
        m_link->move(10, 10);
    }
    void TearDown() override
    {
        for (const char* scheme : { "http", "mailto" })
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    void showAndSettle()
    {
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    QSize fitted(const QString& caption) const
    {
        const QFontMetrics m(m_link->textFont());
        return { m.horizontalAdvance(caption) + 6, m.height() + 2 };
    }
    void enter()
    {
        QEnterEvent e(QPointF(2, 2), QPointF(12, 12), QPointF(12, 12));
        QCoreApplication::sendEvent(m_link, &e);
    }
    void leave()
    {
        QEvent e(QEvent::Leave);
        QCoreApplication::sendEvent(m_link, &e);
    }

    UrlSink m_sink;
    std::unique_ptr<QWidget> m_window;
    HyperlinkLabel* m_link = nullptr;
};

TEST_F(HyperlinkLabelTest, StartsAsDefaultLinkAndFitsItsCaptionOncePainted)
{
    EXPECT_EQ(m_link->url(), HyperlinkLabel::kDefaultUrl);
    EXPECT_EQ(m_link->caption(), m_link->url());
    EXPECT_EQ(m_link->linkColor(), kBlue);
    EXPECT_EQ(m_link->color(), kButtonFace);
    EXPECT_TRUE(m_link->fontName().isEmpty());
    EXPECT_EQ(m_link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(m_link->textFont().bold());
    EXPECT_TRUE(m_link->textFont().underline());
    EXPECT_EQ(m_link->size(), QSize(100, 10));

    showAndSettle();
    EXPECT_EQ(m_link->size(), fitted(m_link->caption()));

    // A size stored by a form does not survive the next paint either.
    m_link->resize(300, 40);
    settle();
    EXPECT_EQ(m_link->size(), fitted(m_link->caption()));
}

TEST_F(HyperlinkLabelTest, UrlAndCaptionAreWrittenIndependently)
{
    showAndSettle();
    const QSize before = m_link->size();

    m_link->setUrl(QStringLiteral("http://other.tessaroon.example/"));
    settle();
    EXPECT_EQ(m_link->caption(), HyperlinkLabel::kDefaultUrl);
    EXPECT_EQ(m_link->size(), before);

    m_link->setCaption(QStringLiteral("联系我们"));
    settle();
    EXPECT_EQ(m_link->url(), QStringLiteral("http://other.tessaroon.example/"));
    EXPECT_EQ(m_link->size(), fitted(QStringLiteral("联系我们")));
    EXPECT_NE(m_link->size(), before);
}

TEST_F(HyperlinkLabelTest, RepaintsOnlyWhenAWriteChangesSomethingShown)
{
    showAndSettle();
    PaintCounter counter;
    m_link->installEventFilter(&counter);

    struct Write {
        const char* what;
        std::function<void()> write;
        bool repaints;
    };
    const std::vector<Write> writes = {
        { "same caption", [&] { m_link->setCaption(m_link->caption()); }, false },
        { "same colour", [&] { m_link->setColor(kButtonFace); }, false },
        { "same (empty) face", [&] { m_link->setFontName(QString()); }, false },
        { "new address", [&] { m_link->setUrl(QStringLiteral("http://x.tessaroon.example/")); }, false },
        { "new caption", [&] { m_link->setCaption(QStringLiteral("主页")); }, true },
        { "new colour", [&] { m_link->setColor(0x00FFFF); }, true },
        { "new face", [&] { m_link->setFontName(QStringLiteral("DejaVu Sans")); }, true },
    };
    for (const Write& w : writes) {
        counter.paints = 0;
        w.write();
        settle();
        EXPECT_EQ(counter.paints > 0, w.repaints) << w.what;
    }
    EXPECT_EQ(m_link->fontName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(m_link->textFont().family(), QStringLiteral("DejaVu Sans"));
}

TEST_F(HyperlinkLabelTest, HoverIsRedAndTheLinkTurnsMagentaAfterTheFirstLeftPress)
{
    showAndSettle();
    enter();
    EXPECT_EQ(m_link->fontColor(), kRed);
    leave();
    EXPECT_EQ(m_link->fontColor(), kBlue);

    enter();
    QTest::mouseClick(m_link, Qt::RightButton);
    EXPECT_TRUE(m_sink.opened.isEmpty());
    QTest::mouseClick(m_link, Qt::LeftButton);
    ASSERT_EQ(m_sink.opened.size(), 1);
    EXPECT_EQ(m_sink.opened[0], QUrl(HyperlinkLabel::kDefaultUrl));
    // Still under the pointer: still red until it leaves.
    EXPECT_EQ(m_link->fontColor(), kRed);
    EXPECT_EQ(m_link->linkColor(), kFuchsia);
    leave();
    EXPECT_EQ(m_link->fontColor(), kFuchsia);
    enter();
    EXPECT_EQ(m_link->fontColor(), kRed);

    QTest::mouseClick(m_link, Qt::LeftButton);
    EXPECT_EQ(m_sink.opened.size(), 2);
    EXPECT_EQ(m_link->linkColor(), kFuchsia);
}

TEST_F(HyperlinkLabelTest, MailAddressesGoToTheOpenerTheSameWay)
{
    m_link->setUrl(QStringLiteral("mailto:support@tessaroon.example"));
    showAndSettle();
    QTest::mouseClick(m_link, Qt::LeftButton);
    ASSERT_EQ(m_sink.opened.size(), 1);
    EXPECT_EQ(m_sink.opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(m_sink.opened[0].path(), QStringLiteral("support@tessaroon.example"));
}

TEST(FormColor, ConvertsStoredColoursAndDesktopColours)
{
    QPalette pal;
    pal.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
    EXPECT_EQ(toQColor(kBlue, pal), QColor(0, 0, 255));
    EXPECT_EQ(toQColor(kRed, pal), QColor(255, 0, 0));
    EXPECT_EQ(toQColor(0x336699, pal), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(toQColor(kButtonFace, pal), QColor(1, 2, 3));
}

} // namespace
