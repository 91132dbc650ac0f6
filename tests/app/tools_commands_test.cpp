#include "MainWindowFixture.h"

#include "tools/builder/KeywordListBuilder.h"
#include "tools/merge/MergeCommand.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

using namespace tess;
using namespace tess::test;

namespace {

class ToolCommands : public MainWindowFixture {
protected:
    void SetUp() override { openWindow(); }
};

TEST_F(ToolCommands, ImportFailuresLeaveTheStateTheyFound)
{
    importKeywords(writeFile(QStringLiteral("good.txt"), "a\r\nb\r\nc"));
    EXPECT_EQ(form->panelText(1), QStringLiteral("3"));
    EXPECT_EQ(form->run().keywordList().size(), 3);
    EXPECT_EQ(form->panelText(6), QStringLiteral("欢迎使用 Tessaroon")); // count and list agree

    // Where the file's lines and its keywords part (here a lone CR), the
    // status bar says so.
    importKeywords(writeFile(QStringLiteral("mixed.txt"), "a\rb\r\nc\r\n"));
    EXPECT_EQ(form->panelText(1), QStringLiteral("2"));
    EXPECT_EQ(form->run().keywordList().size(), 3); // a lone CR ends a keyword too
    EXPECT_EQ(form->panelText(6), QStringLiteral("文件共 2 行，读入关键字 3 个"));
    importKeywords(writeFile(QStringLiteral("good.txt"), "a\r\nb\r\nc"));

    // A file that does not exist: the path shows, nothing else changes.
    const QString missing = dir.filePath(QStringLiteral("none.txt"));
    dialogs.openAnswers.push_back({ missing });
    button("SpeedButton4")->click();
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")).last(), QStringLiteral("File not found"));
    EXPECT_EQ(form->KeywordFileText(), missing);
    EXPECT_EQ(form->panelText(1), QStringLiteral("3"));
    EXPECT_EQ(form->run().keywordList().size(), 3);

    dialogs.openAnswers.push_back({ dir.filePath(QStringLiteral("nodir/none.txt")) });
    button("SpeedButton4")->click();
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")).last(), QStringLiteral("Invalid filename"));

    // Cancelling changes nothing; importing keeps the keyword position.
    form->run().KeywordIndex = 7;
    form->SpeedButton4Click();
    importKeywords(writeFile(QStringLiteral("empty.txt"), ""));
    EXPECT_EQ(form->panelText(1), QStringLiteral("0"));
    EXPECT_TRUE(form->run().keywordList().isEmpty());
    EXPECT_EQ(form->run().KeywordIndex, 7);
    EXPECT_EQ(dialogs.fileDialogs.back().title, QStringLiteral("导入关键字列表文件"));
    EXPECT_EQ(dialogs.fileDialogs.back().initialDir, text::exeDir());
}

TEST_F(ToolCommands, MergeThroughTheDialogsMatchesTheCommandLine)
{
    const QString a = writeFile(QStringLiteral("a.txt"), "b\r\nA\r\n");
    const QString b = writeFile(QStringLiteral("b.txt"), "a\r\nc");
    const QString target = dir.filePath(QStringLiteral("merged.txt"));
    dialogs.openAnswers.push_back({ a, b });
    dialogs.saveAnswers.push_back(target);
    button("SpeedButton1")->click();
    EXPECT_EQ(readFile(target), QByteArray("A\r\nb\r\nc\r\n"));
    EXPECT_EQ(form->panelText(6), QStringLiteral("文件合并整理完毕！共计：3"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    const QString viaCli = dir.filePath(QStringLiteral("cli.txt"));
    FILE* sink = std::tmpfile();
    EXPECT_EQ(tools::runMergeCommand({ viaCli, { a, b } }, sink, sink), 0);
    std::fclose(sink);
    EXPECT_EQ(readFile(viaCli), readFile(target));

    // A source gone since it was chosen: the target stays as it was and the
    // busy pointer is restored.
    dialogs.openAnswers.push_back({ a, dir.filePath(QStringLiteral("gone.txt")) });
    dialogs.saveAnswers.push_back(target);
    button("SpeedButton1")->click();
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")).last(),
        QStringLiteral("Cannot open file ") + dir.filePath(QStringLiteral("gone.txt")));
    EXPECT_EQ(readFile(target), QByteArray("A\r\nb\r\nc\r\n"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(ToolCommands, TheBuildersListImportsAsKeywords)
{
    tools::TForm3 builder;
    form->setSecondaryWindows(nullptr, &builder, nullptr);
    QTimer::singleShot(0, &builder, [&] {
        builder.SpeedButton2Click();
        dialogs.saveAnswers.push_back(dir.filePath(QStringLiteral("kw.txt")));
        builder.SpeedButton1Click();
        builder.close();
    });
    button("SpeedButton6")->click(); // shows the builder modally until it closes
    importKeywords(dir.filePath(QStringLiteral("kw.txt")));
    EXPECT_EQ(form->panelText(1), QStringLiteral("16"));
    ASSERT_EQ(form->run().keywordList().size(), 16);
    EXPECT_EQ(text::fromGbk(form->run().keywordList().first()), QStringLiteral("广州 服装"));
}

} // namespace
