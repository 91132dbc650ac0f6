#include "io/ExeDir.h"
#include "io/FolderLock.h"
#include "io/PathName.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tess::io;

TEST(FolderLock, OneCopyAtATimeAndFreedWithItsHolder)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        FolderLock first;
        ASSERT_EQ(first.acquire(folder), FolderLock::Result::Acquired);
        FolderLock second; // flock: a second open file is a second holder
        EXPECT_EQ(second.acquire(folder), FolderLock::Result::HeldElsewhere);
    }
    FolderLock again;
    EXPECT_EQ(again.acquire(folder), FolderLock::Result::Acquired);
    FolderLock nowhere;
    EXPECT_EQ(nowhere.acquire(dir.filePath(QStringLiteral("no/such/")) + QLatin1Char('/')),
        FolderLock::Result::Unavailable);
}

TEST(ExeDir, ProgramFolderKeepsTheFilesOnlyWhenWritableAndNotASharedBinFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString own = tmp.path() + QStringLiteral("/app");
    const QString bin = tmp.path() + QStringLiteral("/usr/bin");
    ASSERT_TRUE(QDir().mkpath(own));
    ASSERT_TRUE(QDir().mkpath(bin));
    // The build tree or an unpacked copy: the files stay beside the program.
    EXPECT_TRUE(keepsOwnFiles(own));
    EXPECT_TRUE(keepsOwnFiles(own + QLatin1Char('/')));
    // An installed program, even run by someone who may write there.
    EXPECT_FALSE(keepsOwnFiles(bin));
    EXPECT_FALSE(keepsOwnFiles(bin + QLatin1Char('/')));
    // Nothing to write into.
    EXPECT_FALSE(keepsOwnFiles(tmp.path() + QStringLiteral("/missing")));
    EXPECT_FALSE(keepsOwnFiles(QString()));
}

TEST(PathName, EveryByteStringSurvivesTheRoundTrip)
{
    const QByteArray names[] = {
        "/tmp/plain.txt",
        "/tmp/\xE4\xB8\xAD\xE6\x96\x87.txt", // 中文 in UTF-8
        "/tmp/\xD6\xD0\xCE\xC4.txt", // 中文 in GBK
        "\xFF\xFE\x80\xC0\xAF", // bytes no UTF-8 has; an overlong "/"
        "\xED\xB2\x80", // an encoded surrogate is not UTF-8 either
        "\xF0\x9F\x98\x80 \xF4\x90\x80\x80", // an emoji; past U+10FFFF
        "cut \xE4\xB8", // a sequence cut short
    };
    for (const QByteArray& name : names) {
        EXPECT_EQ(encodePath(decodePath(name)), name) << name.toHex().constData();
        // Valid UTF-8 reads as Qt reads it, so such names show as usual.
        if (QString::fromUtf8(name).toUtf8() == name) {
            EXPECT_EQ(decodePath(name), QString::fromUtf8(name)) << name.toHex().constData();
        }
    }
    EXPECT_EQ(decodePath("\xD6\xD0").size(), 2);
    EXPECT_EQ(encodePath(QStringLiteral("中文")), QByteArray("\xE4\xB8\xAD\xE6\x96\x87"));
}
