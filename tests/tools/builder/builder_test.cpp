#include "tools/builder/KeywordListBuilder.h"

#include "io/ExeDir.h"
#include "io/FileReplace.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "text/Gbk.h"
#include "tools/builder/DisplayLines.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using tess::tools::KeywordListBuilder;

QString lines(std::initializer_list<const char*> items)
{
    QString out;
    for (const char* item : items)
        out += QString::fromUtf8(item) + QLatin1Char('\n');
    return out;
}

void create(KeywordListBuilder& form)
{
    QTest::mouseClick(form.findChild<QToolButton*>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
}

void save(KeywordListBuilder& form)
{
    QTest::mouseClick(form.findChild<QToolButton*>(QStringLiteral("SpeedButton1")), Qt::LeftButton);
}

TEST(BuilderCreate, DefaultWordsGiveSixteenCombinationsInOrder)
{
    KeywordListBuilder form;
    create(form);
    EXPECT_EQ(form.keywordListEdit()->toPlainText(),
        lines({ "广州 服装", "广州 服饰", "广州 制衣", "广州 时装", "上海 服装", "上海 服饰", "上海 制衣",
            "上海 时装", "北京 服装", "北京 服饰", "北京 制衣", "北京 时装", "苏州 服装", "苏州 服饰",
            "苏州 制衣", "苏州 时装" }));
}

struct CreateCase {
    const char* name;
    const char* regions;
    const char* trades;
    const char* expected;
};

class BuilderCreateCases : public ::testing::TestWithParam<CreateCase> { };

TEST_P(BuilderCreateCases, CombinesEveryLineWithEveryLine)
{
    const CreateCase& c = GetParam();
    KeywordListBuilder form;
    form.regionWordsEdit()->setPlainText(QString::fromUtf8(c.regions));
    form.tradeWordsEdit()->setPlainText(QString::fromUtf8(c.trades));
    form.keywordListEdit()->setPlainText(QStringLiteral("旧内容"));
    create(form);
    EXPECT_EQ(form.keywordListEdit()->toPlainText(), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, BuilderCreateCases,
    ::testing::Values(CreateCase { "OneRegionTwoTrades", "上海", "服装\n时装", "上海 服装\n上海 时装\n" },
        CreateCase { "EmptyRegionLine", "广州\n\n上海", "服装", "广州 服装\n 服装\n上海 服装\n" },
        CreateCase { "EmptyTradeLine", "广州", "服装\n\n时装", "广州 服装\n广州 \n广州 时装\n" },
        CreateCase { "LeadingBlankLine", "\n广州", "服装", " 服装\n广州 服装\n" },
        CreateCase { "FinalLineBreakIsNoLine", "广州\n", "服装\n", "广州 服装\n" },
        CreateCase { "OnlyALineBreak", "\n", "服装", " 服装\n" },
        CreateCase { "BlanksKept", "  广州 ", " 服装", "  广州   服装\n" },
        CreateCase { "NoRegions", "", "服装", "" }, CreateCase { "NoTrades", "广州", "", "" }),
    [](const auto& c) { return std::string(c.param.name); });

// A word wider than its box is read as the pieces the box shows.
TEST(BuilderCreate, WrappedWordCountsAsOneLinePerDisplayLine)
{
    for (bool shown : { false, true }) {
        for (const QString& word : { QStringLiteral("中华人民共和国广东省广州市天河区珠江新城"),
                 QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789abcdefghijkl") }) {
            KeywordListBuilder form;
            if (shown) {
                form.show();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
            }
            form.regionWordsEdit()->setPlainText(word);
            form.tradeWordsEdit()->setPlainText(QStringLiteral("服装"));
            create(form);

            QStringList result = form.keywordListEdit()->toPlainText().split(QLatin1Char('\n'));
            ASSERT_EQ(result.takeLast(), QString());
            ASSERT_GT(result.size(), 1) << word.toStdString();
            QString joined;
            const QFontMetrics metrics(form.regionWordsEdit()->font());
            const int textWidth = form.regionWordsEdit()->width() - 2 * form.regionWordsEdit()->frameWidth();
            for (const QString& line : result) {
                ASSERT_TRUE(line.endsWith(QStringLiteral(" 服装")));
                const QString piece = line.chopped(3);
                EXPECT_LT(metrics.horizontalAdvance(piece), textWidth);
                joined += piece;
            }
            EXPECT_EQ(joined, word);
        }
    }
}

TEST(BuilderCreate, PressingTwiceGivesTheSameResult)
{
    KeywordListBuilder form;
    create(form);
    const QString once = form.keywordListEdit()->toPlainText();
    create(form);
    EXPECT_EQ(form.keywordListEdit()->toPlainText(), once);
}

class BuilderSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        tess::io::setExeDir(m_dir.path() + QLatin1Char('/'));
    }
    void TearDown() override { tess::io::setExeDir(QString()); }

    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    static QByteArray contents(const QString& p) { return tess::test::readFile(p); }

    QTemporaryDir m_dir;
    tess::test::ScriptedDialogs m_dialogs;
    KeywordListBuilder m_form;
};

TEST_F(BuilderSave, EmptyBoxWritesZeroBytesThroughTheProgramsDialog)
{
    m_dialogs.saveAnswers.push_back(path("out.txt"));
    save(m_form);
    EXPECT_TRUE(QFile::exists(path("out.txt")));
    EXPECT_EQ(contents(path("out.txt")), QByteArray());

    ASSERT_EQ(m_dialogs.fileDialogs.size(), 1u);
    const tess::ui::FileDialog& d = m_dialogs.fileDialogs[0];
    EXPECT_EQ(d.title, QStringLiteral("生成搜索关键词列表文件"));
    EXPECT_EQ(d.filter, QStringLiteral("Text files(*.txt)|*.txt|All files(*.*)|*.*"));
    EXPECT_EQ(d.defaultSuffix, QStringLiteral("txt"));
    EXPECT_TRUE(d.overwritePrompt);
    EXPECT_EQ(d.initialDir, tess::io::exeDir());
    EXPECT_EQ(d.fileName, QStringLiteral("搜索关键词列表文件.txt"));
    EXPECT_TRUE(m_dialogs.texts(QStringLiteral("error")).isEmpty());
}

TEST_F(BuilderSave, WritesTheBoxAsGbkWithCrLfAndNothingAddedOrRemoved)
{
    m_form.regionWordsEdit()->setPlainText(QStringLiteral("上海"));
    m_form.tradeWordsEdit()->setPlainText(QStringLiteral("服装\n时装"));
    create(m_form);
    m_dialogs.saveAnswers.push_back(path("created.txt"));
    save(m_form);
    EXPECT_EQ(contents(path("created.txt")), tess::text::toGbk(u"上海 服装\r\n上海 时装\r\n"));

    // Typed by hand, the last line without Enter, over an existing file.
    m_form.keywordListEdit()->setPlainText(QStringLiteral("上海 服装\n苏州 丝绸"));
    m_dialogs.saveAnswers.push_back(path("created.txt"));
    save(m_form);
    EXPECT_EQ(contents(path("created.txt")), tess::text::toGbk(u"上海 服装\r\n苏州 丝绸"));
}

TEST_F(BuilderSave, EverySaveProposesTheSameNameInTheProgramsFolder)
{
    QDir(m_dir.path()).mkdir(QStringLiteral("elsewhere"));
    m_dialogs.saveAnswers.push_back(path("elsewhere/mine.txt"));
    m_dialogs.saveAnswers.push_back(std::nullopt);
    save(m_form);
    save(m_form);
    ASSERT_EQ(m_dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(m_dialogs.fileDialogs[1].fileName, QStringLiteral("搜索关键词列表文件.txt"));
    EXPECT_EQ(m_dialogs.fileDialogs[1].initialDir, tess::io::exeDir());
    // Cancelling writes nothing.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList());
}

TEST_F(BuilderSave, UnwritableTargetShowsTheErrorAndKeepsTheWindowAsItWas)
{
    m_form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    create(m_form);
    m_form.regionWordsEdit()->setPlainText(QStringLiteral("杭州"));
    const QString before1 = m_form.regionWordsEdit()->toPlainText();
    const QString before2 = m_form.tradeWordsEdit()->toPlainText();
    const QString before3 = m_form.keywordListEdit()->toPlainText();

    // Root may write anywhere, so use targets that cannot be created at all.
    QDir(m_dir.path()).mkdir(QStringLiteral("folder.txt"));
    const QStringList targets = { path("missing/out.txt"), path("folder.txt") };
    for (const QString& target : targets)
        m_dialogs.saveAnswers.push_back(target);
    for (int i = 0; i < targets.size(); ++i)
        save(m_form);

    QStringList expected;
    for (const QString& target : targets)
        expected << QStringLiteral("Cannot create file ") + target;
    EXPECT_EQ(m_dialogs.texts(QStringLiteral("error")), expected);
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_EQ(m_form.regionWordsEdit()->toPlainText(), before1);
    EXPECT_EQ(m_form.tradeWordsEdit()->toPlainText(), before2);
    EXPECT_EQ(m_form.keywordListEdit()->toPlainText(), before3);
    EXPECT_FALSE(QFile::exists(path("missing/out.txt")));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST(BuilderWindow, LayoutAndNames)
{
    KeywordListBuilder form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("创建关键词列表文件"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.regionWordsEdit()->geometry(), QRect(8, 24, 137, 65));
    EXPECT_EQ(form.keywordListEdit()->geometry(), QRect(8, 120, 297, 73));
    for (const char* name :
        { "Label1", "Label2", "Label3", "Memo1", "Memo2", "Memo3", "SpeedButton1", "SpeedButton2" })
        EXPECT_NE(form.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(form.findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->text(), QStringLiteral("创建"));
    EXPECT_EQ(form.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->text(), QStringLiteral("保存"));
    EXPECT_EQ(form.keywordListEdit()->toPlainText(), QString());
}

} // namespace
