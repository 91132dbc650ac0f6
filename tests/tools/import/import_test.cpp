#include "support/Files.h"
#include "text/Errors.h"
#include "tools/import/KeywordImport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tess;
using tess::io::Lines;

namespace {

struct ImportCase {
    const char* name;
    QByteArray bytes;
    qsizetype count;
    Lines list;
};

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    return test::writeFile(dir.filePath(name), bytes);
}

} // namespace

TEST(KeywordImport, CountsAndSplitsByTheirOwnRules)
{
    const ImportCase cases[] = {
        { "crlf without final end", QByteArray("a\r\nb"), 2, { "a", "b" } },
        { "crlf with final end", QByteArray("a\r\nb\r\n"), 2, { "a", "b" } },
        { "empty line", QByteArray("a\r\n\r\n"), 2, { "a", "" } },
        { "lone cr", QByteArray("a\rb\r"), 1, { "a", "b" } },
        { "lf then cr", QByteArray("a\n\rb"), 2, { "a", "", "b" } },
        { "nul bytes", QByteArray("a\0b\r\nc\r\n", 8), 2, { "a" } },
        { "nul at a line start", QByteArray("a\r\n\0b", 5), 2, { "a" } },
        { "ctrl-z at third line",
            QByteArray("a\r\nb\r\n\x1a"
                       "c\r\nd\r\n"),
            2,
            { "a", "b",
                "\x1a"
                "c",
                "d" } },
        { "ctrl-z inside a line",
            QByteArray("a\x1a"
                       "b\r\nc"),
            2,
            { "a\x1a"
              "b",
                "c" } },
        { "empty file", QByteArray(), 0, {} },
        { "only a line end", QByteArray("\r\n"), 1, { "" } },
    };
    QTemporaryDir dir;
    for (const ImportCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tools::countLines(c.bytes), c.count);
        EXPECT_EQ(tools::splitList(c.bytes), c.list);
        const QString path = writeFile(dir, QStringLiteral("k.txt"), c.bytes);
        EXPECT_EQ(tools::countFileLines(path), c.count);
        EXPECT_EQ(tools::loadList(path), c.list);
    }
}

TEST(KeywordImport, CountingAFileLargerThanOneReadKeepsLineState)
{
    // A line end falling exactly on a chunk boundary, then byte 26 after it.
    QByteArray bytes(65535, 'x');
    bytes += "\n\x1a"
             "after";
    QTemporaryDir dir;
    EXPECT_EQ(tools::countFileLines(writeFile(dir, QStringLiteral("big.txt"), bytes)), 1);
    bytes = QByteArray(65536, 'x') + "\r\ny";
    EXPECT_EQ(tools::countFileLines(writeFile(dir, QStringLiteral("big2.txt"), bytes)), 2);
}

TEST(KeywordImport, OpenFailuresCarryTheReaderTexts)
{
    QTemporaryDir dir;
    auto countError = [](const QString& path) {
        try {
            tools::countFileLines(path);
        } catch (const text::InOutError& e) {
            return e.message();
        }
        return QStringLiteral("<no error>");
    };
    EXPECT_EQ(countError(dir.filePath(QStringLiteral("missing.txt"))), u"File not found");
    EXPECT_EQ(countError(dir.filePath(QStringLiteral("nofolder/missing.txt"))), u"Invalid filename");
    EXPECT_EQ(countError(dir.path()), u"File access denied");

    // Counted, then gone before loading.
    const QString path = writeFile(dir, QStringLiteral("k.txt"), "a\r\n");
    EXPECT_EQ(tools::countFileLines(path), 1);
    QFile::remove(path);
    try {
        tools::loadList(path);
        FAIL() << "loading a removed file succeeded";
    } catch (const text::FileOpenError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open file %1").arg(path));
    }
}

TEST(KeywordImport, TellsUtf16TextFromGbkText)
{
    struct Case {
        QByteArray bytes;
        std::optional<QString> encoding;
    };
    const Case cases[] = {
        { QByteArray("\xFF\xFE\x7D\x5E", 4), QStringLiteral("UTF-16LE") },
        { QByteArray("\xFE\xFF\x5E\x7D", 4), QStringLiteral("UTF-16BE") },
        { QByteArray("a\0b\0\r\0\n\0", 8), QStringLiteral("UTF-16LE") },
        { QByteArray("\0a\0b\0\r\0\n", 8), QStringLiteral("UTF-16BE") },
        { "alpha\r\nbeta\r\n", std::nullopt },
        { "\xB9\xE3\xD6\xDD\r\n", std::nullopt }, // GBK
        { QByteArray("alpha\r\nbe\0ta\r\ngamma\r\n", 20), std::nullopt }, // a stray NUL
        { "", std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(tools::detectUtf16(c.bytes), c.encoding) << c.bytes.toHex().toStdString();
}
