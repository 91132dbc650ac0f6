#include "MainWindowFixture.h"
#include "app/MiningPage.h"
#include "harvest/SearchRun.h"
#include "text/Errors.h"
#include "tools/builder/KeywordListBuilder.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeView>

using namespace tess;
using namespace tess::test;

namespace {

class MiningPageTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        sample::EngineSettings settings;
        settings.layout = sample::Layout::Today;
        engine = std::make_unique<sample::SampleEngine>(settings);
        const int port = engine->start(0);
        ASSERT_GT(port, 0);
        host = "http://127.0.0.1:" + QByteArray::number(port);
        openWindow(host, QStringLiteral("today"));
    }

    std::unique_ptr<app::MiningPage> makePage()
    {
        auto page = std::make_unique<app::MiningPage>(app::MiningPage::Options { .engineHosts = { host },
            .profileFolder = dir.filePath(QStringLiteral("browser-mining")),
            .scratchFolder = dir.path(),
            .localAddress = [] { return QStringLiteral("192.0.2.1"); },
            .useKeywords = [this](const QString& path) { form->importMinedKeywords(path); } });
        auto* engines = page->findChild<QComboBox*>(QStringLiteral("MineEngineBox"));
        engines->setCurrentIndex(engines->findData(QStringLiteral("today")));
        page->findChild<QSpinBox*>(QStringLiteral("MineIntervalSpin"))->setValue(1);
        return page;
    }

    static QStringList shown(const app::MiningPage& page)
    {
        QStringList out;
        const QAbstractItemModel* m = page.findChild<QTreeView*>(QStringLiteral("MinedList"))->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString() + u'/' + m->index(r, 1).data().toString();
        return out;
    }

    std::unique_ptr<sample::SampleEngine> engine;
    QByteArray host;
};

// The sample engine lists "K 教程", "K 下载" and K in capitals for each
// keyword K; the capitals are K again.
TEST_F(MiningPageTest, GrowsTheTreeInItsOwnBrowserAndHandsItToTheMainWindow)
{
    auto page = makePage();
    page->findChild<QPlainTextEdit*>(QStringLiteral("SeedsEdit"))->setPlainText(QStringLiteral("vue\nVUE\n"));
    page->findChild<QSpinBox*>(QStringLiteral("DepthSpin"))->setValue(2);
    page->show();
    page->startMining();
    ASSERT_TRUE(page->running());
    EXPECT_THROW(page->useKeywords(), text::AppError) << "not while it runs";
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 60000)) << page->statusText().toStdString();
    EXPECT_EQ(shown(*page),
        (QStringList { QStringLiteral("vue/0"), QStringLiteral("vue 教程/1"), QStringLiteral("vue 下载/1"),
            QStringLiteral("vue 教程 教程/2"), QStringLiteral("vue 教程 下载/2"),
            QStringLiteral("vue 下载 教程/2"), QStringLiteral("vue 下载 下载/2") }));
    EXPECT_EQ(page->statusText(), QStringLiteral("挖掘结束：共找到 7 个关键词"));

    // Saved as 导入 reads it, and taken as the main window's list.
    dialogs.saveAnswers.push_back(dir.filePath(QStringLiteral("词.txt")));
    page->saveKeywords();
    const QByteArray expected = text::toGbk(u"vue\r\nvue 教程\r\nvue 下载\r\nvue 教程 教程\r\nvue 教程 "
                                            u"下载\r\nvue 下载 教程\r\nvue 下载 下载\r\n");
    EXPECT_EQ(test::readFile(dir.filePath(QStringLiteral("词.txt"))), expected);
    page->useKeywords();
    EXPECT_EQ(test::readFile(page->handOverPath()), expected);
    EXPECT_EQ(form->run().keywordList().size(), 7);
    EXPECT_EQ(form->panelText(1), QStringLiteral("7"));
}

TEST_F(MiningPageTest, TheBuilderShowsItAsItsSecondPage)
{
    tools::KeywordListBuilder builder;
    const QSize designed = builder.size();
    builder.addPage(makePage().release(), QStringLiteral("挖掘"));
    auto* pages = builder.pages();
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("组合"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("挖掘"));
    // The word lists keep their places and their page its size.
    EXPECT_EQ(builder.regionWordsEdit()->geometry(), QRect(8, 24, 137, 65));
    EXPECT_EQ(pages->widget(0)->size(), designed);
    pages->setCurrentIndex(1);
    EXPECT_GE(builder.width(), 960);
    pages->setCurrentIndex(0);
    EXPECT_LT(builder.width(), 400);
}

} // namespace
