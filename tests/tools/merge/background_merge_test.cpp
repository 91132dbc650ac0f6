#include "support/EventLoop.h"
#include "support/Files.h"
#include "text/Errors.h"
#include "tools/merge/BackgroundMerge.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using tess::test::readFile;
using tess::test::waitUntil;
using tess::test::writeFile;
using tess::tools::BackgroundMerge;

namespace {

// What a merge told its owner.
struct News {
    std::vector<int> progress;
    int finishedCount = 0;
    QString doneText;
    std::exception_ptr error;

    explicit News(BackgroundMerge& merge)
    {
        QObject::connect(
            &merge, &BackgroundMerge::progress, [this](int percent) { progress.push_back(percent); });
        QObject::connect(
            &merge, &BackgroundMerge::finished, [this](const QString& text, std::exception_ptr e) {
                ++finishedCount;
                doneText = text;
                error = e;
            });
    }
};

QByteArray manyLines(int count)
{
    QByteArray text;
    for (int i = count; i > 0; --i)
        text += "http://www.example" + QByteArray::number(i % 7919) + ".com/page/" + QByteArray::number(i)
            + "\r\n";
    return text;
}

} // namespace

TEST(BackgroundMerge, ProgressOnlyMovesForwardAndTheDoneTextEndsIt)
{
    QTemporaryDir dir;
    const QString source = writeFile(dir.filePath(QStringLiteral("s.txt")), "b\r\na\r\nB\r\n");
    const QString target = dir.filePath(QStringLiteral("t.txt"));
    BackgroundMerge merge;
    News news(merge);
    merge.start({ source }, target);
    EXPECT_TRUE(merge.running());
    ASSERT_TRUE(waitUntil([&] { return news.finishedCount == 1; }, 30000));
    EXPECT_FALSE(merge.running());
    EXPECT_EQ(news.doneText, QStringLiteral("文件合并整理完毕！共计：2"));
    EXPECT_FALSE(news.error);
    EXPECT_EQ(readFile(target), QByteArray("a\r\nb\r\n"));
    ASSERT_FALSE(news.progress.empty());
    EXPECT_TRUE(std::is_sorted(news.progress.begin(), news.progress.end()));
    EXPECT_EQ(news.progress.back(), 100);
}

TEST(BackgroundMerge, StopLeavesTheTargetUntouchedAndTellsNothing)
{
    QTemporaryDir dir;
    const QString source = writeFile(dir.filePath(QStringLiteral("s.txt")), manyLines(200000));
    const QString target = writeFile(dir.filePath(QStringLiteral("t.txt")), "old\r\n");
    BackgroundMerge merge;
    News news(merge);
    merge.start({ source }, target);
    merge.stop();
    EXPECT_FALSE(merge.running());
    EXPECT_FALSE(merge.stopping());
    tess::test::runEventsFor(50);
    EXPECT_EQ(news.finishedCount, 0);
    EXPECT_TRUE(news.progress.empty());
    EXPECT_EQ(readFile(target), QByteArray("old\r\n"));
}

TEST(BackgroundMerge, AnErrorIsCarriedToTheOwnersThread)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    BackgroundMerge merge;
    News news(merge);
    merge.start({ missing }, dir.filePath(QStringLiteral("t.txt")));
    ASSERT_TRUE(waitUntil([&] { return news.finishedCount == 1; }, 30000));
    EXPECT_TRUE(news.doneText.isEmpty());
    ASSERT_TRUE(news.error);
    EXPECT_THROW(std::rethrow_exception(news.error), tess::text::FileOpenError);
}
