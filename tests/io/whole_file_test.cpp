#include "io/FileReader.h"
#include "io/FileReplace.h"
#include "support/Files.h"
#include "text/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tess::io;
using namespace tess::text;

TEST(ReadLinesLf, SplitsAtLfDropsCrAndKeepsALastUnendedLine)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("f.txt"));
    tess::test::writeFile(p, "a\r\nb\rc\n\nlast");
    EXPECT_EQ(readLinesLf(p), (Lines { "a", "bc", "", "last" }));
    tess::test::writeFile(p, "x\r\n");
    EXPECT_EQ(readLinesLf(p), (Lines { "x" }));
    tess::test::writeFile(p, "");
    EXPECT_TRUE(readLinesLf(p).isEmpty());
}

TEST(ReadLinesLf, ReportsMissingFileAndMissingFolderApart)
{
    QTemporaryDir dir;
    // The state file's reader names the file the bare texts leave out.
    const QString none = dir.filePath(QStringLiteral("none.txt"));
    try {
        readLinesLf(none);
        FAIL();
    } catch (const InOutError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("File not found: %1: No such file or directory").arg(none));
    }
    const QString noDir = dir.filePath(QStringLiteral("nodir/none.txt"));
    try {
        readLinesLf(noDir);
        FAIL();
    } catch (const InOutError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Invalid filename: %1: No such file or directory").arg(noDir));
    }
}

TEST(ReplaceFile, WritesWholeAndLeavesTheOldFileOnFailure)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("out.txt"));
    replaceFile(p, joinCrLf({ "a", "", "b" }));
    EXPECT_EQ(tess::test::readFile(p), QByteArray("a\r\n\r\nb\r\n"));
    replaceFile(p, joinCrLf({}));
    EXPECT_EQ(tess::test::readFile(p), QByteArray());
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    tess::test::writeFile(p, "old");
    ::chmod(QFile::encodeName(p).constData(), 0444);
    if (::geteuid() != 0) { // root may write anything
        EXPECT_THROW(replaceFile(p, "new"), FileCreateError);
        EXPECT_EQ(tess::test::readFile(p), QByteArray("old"));
    }
    EXPECT_THROW(replaceFile(dir.filePath(QStringLiteral("nodir/x.txt")), "new"), FileCreateError);
}

TEST(ReadWholeFile, FailsWithTheOpenErrorText)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("none.txt"));
    try {
        readWholeFile(p);
        FAIL();
    } catch (const FileOpenError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open file ") + p);
    }
}
