#include "io/FileReader.h"
#include "io/PathName.h"
#include "support/Files.h"
#include "text/CaseKey.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "tools/merge/AddressMerge.h"
#include "tools/merge/DistinctSortInternal.h"
#include "tools/merge/LineCollation.h"
#include "tools/merge/MergeCommand.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>

#include <sys/stat.h>

using namespace tess;
using tess::tools::LineCollation;

namespace {

QString put(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    return test::writeFile(dir.filePath(QString::fromLatin1(name)), bytes);
}

QByteArray contents(const QString& path) { return test::readFile(path); }

// A literal's bytes, NUL bytes included.
template <size_t N> QByteArray bytes(const char (&literal)[N]) { return QByteArray(literal, N - 1); }

// Lines end at CR LF, a lone CR or a lone LF and nowhere else; the text's
// end ends the last one.
io::Lines splitLines(QByteArrayView text)
{
    io::Lines lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.append(text.sliced(start, i - start).toByteArray());
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start).toByteArray());
    return lines;
}

// The plain way: insert each line into a sorted list by binary search,
// dropping it when an equal line is already there.
io::Lines sortedInsertion(QByteArrayView joined, const LineCollation& order)
{
    io::Lines list;
    for (const QByteArray& line : splitLines(joined)) {
        auto at = std::lower_bound(list.begin(), list.end(), line,
            [&](const QByteArray& a, const QByteArray& b) { return order.compare(a, b) < 0; });
        if (at == list.end() || order.compare(*at, line) != 0)
            list.insert(at, line);
    }
    return list;
}

QString mergeError(const QStringList& sources, const QString& target)
{
    try {
        tools::mergeFiles(sources, target, LineCollation(QString()));
    } catch (const text::AppError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(AddressMerge, JoinsSortsAndDropsRepeats)
{
    struct Case {
        const char* name;
        QByteArray first, second, expected;
        qsizetype count;
    };
    const Case cases[] = {
        { "first occurrence kept", "b\r\nA\r\n", "a\r\nc", "A\r\nb\r\nc\r\n", 3 },
        { "last line runs into the next file", "x\r\ny", "z\r\n", "x\r\nyz\r\n", 2 },
        { "empty line once at the top", "b\r\n\r\na\r\n", "\r\n\x01\r\n", "\r\n\x01\r\na\r\nb\r\n", 4 },
        { "nothing", "", "", "", 0 },
        { "lone cr and lf end lines", "b\ra\n", "B\n", "a\r\nb\r\n", 2 },
        { "nul is text, the rest of the file and the next file stay", bytes("b\r\nx\0y\r\na"), "c\r\n",
            bytes("ac\r\nb\r\nx\0y\r\n"), 3 },
        { "nul lines equal only ignoring case", bytes("x\0Y\r\nxy\r\n"), bytes("X\0y\r\n\0"),
            bytes("\0\r\nx\0Y\r\nxy\r\n"), 3 },
        { "undecodable bytes make lines of their own", "x\x81\r\nx\x82\r\n", "x\xFF\r\nx\xFE\r\nX\x81\r\n",
            "x\xFF\r\nx\x81\r\nx\x82\r\nx\xFE\r\n", 4 },
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = dir.filePath(QStringLiteral("out.txt"));
        const QStringList sources { put(dir, "1.txt", c.first), put(dir, "2.txt", c.second) };
        EXPECT_EQ(tools::mergeFiles(sources, target, LineCollation(QString())), c.count);
        EXPECT_EQ(contents(target), c.expected);
    }
}

TEST(AddressMerge, TargetAmongTheSourcesKeepsItsLines)
{
    QTemporaryDir dir;
    const QString target = put(dir, "t.txt", "b\r\nB\r\n");
    const QString other = put(dir, "o.txt", "a\r\n");
    EXPECT_EQ(tools::mergeFiles({ target }, target, LineCollation(QString())), 1);
    EXPECT_EQ(contents(target), "b\r\n");
    EXPECT_EQ(tools::mergeFiles({ other, target }, target, LineCollation(QString())), 2);
    EXPECT_EQ(contents(target), "a\r\nb\r\n");
}

TEST(AddressMerge, FailuresLeaveTheTargetAsItWas)
{
    QTemporaryDir dir;
    const QString target = put(dir, "t.txt", "old\r\n");
    const QString good = put(dir, "g.txt", "new\r\n");
    const QString gone = dir.filePath(QStringLiteral("gone.txt"));
    EXPECT_EQ(mergeError({ good, gone }, target), QStringLiteral("Cannot open file %1").arg(gone));
    EXPECT_EQ(
        mergeError({ good, dir.path() }, target), QStringLiteral("Cannot open file %1").arg(dir.path()));
    EXPECT_EQ(contents(target), "old\r\n");

    const QString noFolder = dir.filePath(QStringLiteral("no/t.txt"));
    EXPECT_EQ(mergeError({ good }, noFolder), QStringLiteral("Cannot create file %1").arg(noFolder));
    EXPECT_FALSE(QFile::exists(noFolder));
    EXPECT_EQ(mergeError({ good }, dir.path()), QStringLiteral("Cannot create file %1").arg(dir.path()));
    EXPECT_EQ(dir.path(), QDir(dir.path()).absolutePath()); // still a folder
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
}

// A pipe the user names on purpose is a source on the command line; the
// window, which chooses files in a dialog, takes regular files only.
TEST(AddressMerge, OnlyTheCommandLineTakesAPipeAsASource)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString target = dir.filePath(QStringLiteral("t.txt"));
    std::thread writer([&] {
        FILE* f = std::fopen(QFile::encodeName(fifo).constData(), "w");
        std::fputs("b\r\na\r\n", f);
        std::fclose(f);
    });
    FILE* sink = std::tmpfile();
    EXPECT_EQ(tools::runMergeCommand({ target, { fifo } }, sink, sink), 0);
    std::fclose(sink);
    writer.join();
    EXPECT_EQ(contents(target), "a\r\nb\r\n");

    EXPECT_TRUE(mergeError({ fifo }, target).startsWith(QStringLiteral("Cannot open file %1").arg(fifo)));
    EXPECT_EQ(contents(target), "a\r\nb\r\n");
}

// Names from the command line are bytes: a GBK name on a UTF-8 desktop
// reaches the file system unchanged, for sources and target alike.
TEST(AddressMerge, CommandLineNamesInAnyEncodingReachTheFiles)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QByteArray source = folder + "\xD6\xD0.txt"; // 中 in GBK
    const QByteArray target = folder + "\xCE\xC4.txt"; // 文 in GBK
    FILE* f = std::fopen(source.constData(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("b\r\na\r\n", f);
    std::fclose(f);
    FILE* sink = std::tmpfile();
    EXPECT_EQ(tools::runMergeCommand({ io::decodePath(target), { io::decodePath(source) } }, sink, sink), 0);
    std::fclose(sink);
    f = std::fopen(target.constData(), "rb");
    ASSERT_NE(f, nullptr) << "the target was written under another name";
    char buf[16] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 6u);
    std::fclose(f);
    EXPECT_EQ(QByteArray(buf, 6), QByteArray("a\r\nb\r\n"));
}

TEST(AddressMerge, CommandLineRunsTheSameMerge)
{
    QTemporaryDir dir;
    const QString a = put(dir, "a.txt", "b\r\nA\r\n");
    const QString b = put(dir, "b.txt", "a\r\nc");
    const QString target = dir.filePath(QStringLiteral("t.txt"));
    auto run = [](const QStringList& args, QByteArray* errText) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        const std::optional<tools::MergeArguments> parsed = tools::parseMergeArguments(args.mid(1));
        const int rc
            = parsed ? tools::runMergeCommand(*parsed, out, err) : (std::fputs(tools::mergeUsage(), err), 2);
        std::rewind(err);
        char buf[512] = {};
        errText->clear();
        while (std::fgets(buf, sizeof buf, err))
            errText->append(buf);
        std::fclose(out);
        std::fclose(err);
        return rc;
    };
    QByteArray err;
    EXPECT_EQ(run({ QStringLiteral("merge"), QStringLiteral("-o"), target, a, b }, &err), 0);
    EXPECT_EQ(contents(target), "A\r\nb\r\nc\r\n");
    const QString gone = dir.filePath(QStringLiteral("gone.txt"));
    EXPECT_EQ(run({ QStringLiteral("merge"), QStringLiteral("-o"), target, gone }, &err), 1);
    EXPECT_EQ(err, QStringLiteral("Cannot open file %1\n").arg(gone).toLocal8Bit());
    for (const QStringList& wrong : { QStringList { QStringLiteral("merge") },
             QStringList { QStringLiteral("merge"), QStringLiteral("-o"), target },
             QStringList { QStringLiteral("merge"), target, a, b } }) {
        EXPECT_EQ(run(wrong, &err), 2);
        EXPECT_TRUE(err.startsWith("usage: tessaroon merge -o TARGET [--memory SIZE] SOURCE..."))
            << err.constData();
    }
    EXPECT_EQ(contents(target), "A\r\nb\r\nc\r\n");
}

// Random address lists full of the cases that tell two methods apart: case
// variants, lines the collator cannot tell apart, GBK text whose trail
// bytes look like letters, full-width letters, long shared prefixes, bytes
// that are no part of a GBK character, NUL bytes.
TEST(AddressMerge, SortingGivesWhatSortedInsertionGives)
{
    const QByteArray pieces[] = { "http://", "www.", "a", "B", "c", "/", ".", "-", "_", "?q=", "1", "9",
        "\x01", "\x7f", "\t", " ", "Z", text::toGbk(u"乤"), text::toGbk(u"丄"), text::toGbk(u"中文"),
        text::toGbk(u"Ａ"), text::toGbk(u"ａ"), text::toGbk(u"é"), "\x81", "\x82", "\xFE", "\xFF", "\x80",
        "\x81\x7F", bytes("\0"), "com", "COM" };
    std::mt19937 rng(20240607);
    for (const char* locale : { "", "zh_CN", "en_US_POSIX", "cs", "th" }) {
        SCOPED_TRACE(locale);
        const LineCollation order { QString::fromLatin1(locale) };
        for (int round = 0; round < 6; ++round) {
            std::vector<QByteArray> made;
            QByteArray joined;
            const int lines = round < 3 ? 300 : 3000;
            for (int i = 0; i < lines; ++i) {
                QByteArray line;
                if (!made.empty() && rng() % 3 == 0) {
                    line = made[rng() % made.size()];
                    for (char& ch : line)
                        if (rng() % 4 == 0 && ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')))
                            ch ^= 0x20; // may hit a GBK trail byte: that makes a new line
                } else {
                    const int parts = static_cast<int>(rng() % (round % 2 ? 40 : 8));
                    for (int k = 0; k < parts; ++k)
                        line += pieces[rng() % std::size(pieces)];
                }
                made.push_back(line);
                joined += line;
                joined += (rng() % 5 == 0) ? "\n" : "\r\n";
            }
            const tools::DistinctLines got = tools::sortDistinct(joined, order);
            const io::Lines want = sortedInsertion(joined, order);
            ASSERT_EQ(got.count, want.size());
            ASSERT_EQ(got.content, io::joinCrLf(want)) << "round " << round;
            const tools::DistinctLines plain = tools::sortDistinct(joined, order, tools::KeyForm::Plain);
            ASSERT_EQ(plain.content, got.content) << "round " << round;
        }
    }
}

// Keys that end right at a word's end, the last line without its line end
// (the text's end stops the key then), and a text of nothing at all.
TEST(AddressMerge, SortingEdgesOfKeysAndTextGiveWhatSortedInsertionGives)
{
    static const char withNul[] = "zz\r\nyy\r\nYY\0xx\r\nww";
    const QByteArray texts[] = {
        "",
        "abcdefgh",
        "abcdefgh\r\nABCDEFGH\r\nabcdefg\r\nabcdefghi",
        "abcdefghijklmnop\r\nabcdefghijklmnoP\r\nabcdefghijklmno\r\nabcdefghijklmnopq\r\nabcdefghijklmnop",
        "b\r\na\r\nB\r\nA",
        "http://www.x.cn/\r\nhttp://www.x.cn/\r\nHTTP://WWW.X.CN/\r\nhttp://www.x.cn/a\nhttp://www.x.cn/a",
        QByteArray(withNul, sizeof withNul - 1),
        // Alike but for punctuation, which some locales (Thai) ignore.
        "http://www.x.cn/a\r\nhttp://www.x.cn.a\r\nhttp:www.x.cn/a\r\nhttpwwwxcna\r\nHTTP://WWW.X.CN/"
        "A\r\nhttp://www.x.cn/a?",
    };
    for (const char* locale : { "", "cs", "th" }) {
        const LineCollation order { QString::fromLatin1(locale) };
        for (const QByteArray& text : texts) {
            SCOPED_TRACE(text.toPercentEncoding().constData());
            const io::Lines want = sortedInsertion(text, order);
            for (const tools::KeyForm form : { tools::KeyForm::Compact, tools::KeyForm::Plain }) {
                const tools::DistinctLines got = tools::sortDistinct(text, order, form);
                EXPECT_EQ(got.count, static_cast<qsizetype>(want.size()));
                EXPECT_EQ(got.content, io::joinCrLf(want));
            }
        }
    }
}
