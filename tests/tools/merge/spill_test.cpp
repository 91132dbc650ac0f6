#include "support/FailingCalls.h"
#include "support/Files.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "tools/merge/AddressMerge.h"
#include "tools/merge/DistinctSort.h"
#include "tools/merge/LineCollation.h"
#include "tools/merge/MemoryBudget.h"
#include "tools/merge/MergeCommand.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tess;
using tess::tools::LineCollation;

namespace {

// Files in the folder, hidden ones included.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// Random address lists in which the parts of a small budget meet what a
// merge of runs can get wrong: a line and its case variants in several
// parts (the first one written in a later part than a variant that sorts
// before it), the empty line in many parts, lines the collator cannot tell
// apart, GBK text whose trail bytes look like letters, bytes that are no
// part of a GBK character, and CR, LF and CR LF line ends wherever a part
// may end.
QByteArray adversarialText(std::mt19937& rng, int lines)
{
    const QByteArray pieces[] = { "http://", "www.", "a", "B", "c", "/", ".", "-", "?q=", "1", "\x01", "\t",
        " ", "Z", text::toGbk(u"乤"), text::toGbk(u"丄"), text::toGbk(u"中文"), text::toGbk(u"Ａ"), "\x81",
        "\xFF", "com", "COM" };
    std::vector<QByteArray> made;
    QByteArray text;
    for (int i = 0; i < lines; ++i) {
        QByteArray line;
        const unsigned pick = rng() % 10;
        if (pick == 0) {
            // the empty line
        } else if (!made.empty() && pick < 5) {
            line = made[rng() % made.size()];
            for (char& ch : line)
                if (rng() % 3 == 0 && ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')))
                    ch ^= 0x20;
        } else {
            const int parts = 1 + static_cast<int>(rng() % 12);
            for (int k = 0; k < parts; ++k)
                line += pieces[rng() % std::size(pieces)];
        }
        made.push_back(line);
        static const char* const ends[] = { "\r\n", "\r\n", "\n", "\r" };
        text += line;
        text += ends[rng() % 4];
    }
    return text;
}

} // namespace

// Whatever the budget and the threads, the merge writes what sorting the
// joined sources in memory on one thread gives: the parts' runs merged,
// whether kept in memory or in the temporary file.
TEST(BoundedMerge, PartsAndSpilledRunsGiveTheInMemoryResult)
{
    std::mt19937 rng(20261208);
    for (const char* locale : { "", "zh_CN", "cs", "th" }) {
        SCOPED_TRACE(locale);
        const LineCollation order { QString::fromLatin1(locale) };
        for (int round = 0; round < 2; ++round) {
            QTemporaryDir dir;
            const QString spill = dir.filePath(QStringLiteral("spill"));
            QDir().mkpath(spill);
            QStringList sources;
            QByteArray joined;
            for (int s = 0; s < 3; ++s) {
                const QByteArray part = adversarialText(rng, 700);
                joined += part;
                sources << test::writeFile(dir.filePath(QStringLiteral("src%1.txt").arg(s)), part);
            }
            const tools::DistinctLines want = tools::sortDistinct(joined, order);
            // 0: all in memory; the others make parts of a few hundred bytes.
            for (const qint64 budget : { 0, 1200, 30000 }) {
                for (const unsigned threads : { 1u, 2u, 3u }) {
                    SCOPED_TRACE(testing::Message()
                        << "round " << round << " budget " << budget << " threads " << threads);
                    tools::MergeOptions options;
                    options.memoryBudget = budget;
                    options.threads = threads;
                    options.spillFolder = spill;
                    const QString target = dir.filePath(QStringLiteral("target.txt"));
                    ASSERT_EQ(tools::mergeFiles(sources, target, order, options), want.count);
                    ASSERT_EQ(test::readFile(target), want.content);
                    EXPECT_TRUE(filesIn(spill).isEmpty());
                }
            }
        }
    }
}

// The merge says how it is getting on: sorting, then merging, each
// percentage no smaller than the one before, merging ending at 100.
TEST(BoundedMerge, ProgressGoesForwardThroughBothPhases)
{
    std::mt19937 rng(7);
    QTemporaryDir dir;
    const QString source = test::writeFile(dir.filePath(QStringLiteral("s.txt")), adversarialText(rng, 3000));
    for (const qint64 budget : { 0, 4000 }) {
        std::vector<std::pair<tools::MergePhase, int>> seen;
        tools::MergeOptions options;
        options.memoryBudget = budget;
        options.threads = 2;
        options.spillFolder = dir.path();
        options.progress = [&](tools::MergePhase phase, int percent) { seen.emplace_back(phase, percent); };
        tools::mergeFiles(
            { source }, dir.filePath(QStringLiteral("t.txt")), LineCollation(QString()), options);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front().first, tools::MergePhase::Sorting);
        EXPECT_EQ(seen.back(), std::make_pair(tools::MergePhase::Merging, 100));
        for (size_t i = 1; i < seen.size(); ++i) {
            EXPECT_LE(seen[i - 1].first, seen[i].first);
            if (seen[i - 1].first == seen[i].first) {
                EXPECT_LE(seen[i - 1].second, seen[i].second);
            }
            EXPECT_GE(seen[i].second, 0);
        }
    }
}

namespace {

enum class Way { Succeeds, SourceMissing, Cancelled, DiskFull, TargetUnwritable };
struct WayCase {
    const char* name;
    Way way;
    qint64 budget;
};
struct Outcome {
    QString error;
    bool cancelled = false;
};

// Merges the sources into the target with 2 threads, failing or stopping
// the way the case says.
Outcome mergeTheWay(const WayCase& c, const QStringList& sources, const QString& target, const QString& spill)
{
    std::atomic<bool> stop = false;
    tools::MergeOptions options;
    options.memoryBudget = c.budget;
    options.threads = 2;
    options.spillFolder = spill;
    options.cancel = &stop;
    if (c.way == Way::Cancelled)
        options.progress = [&](tools::MergePhase, int percent) {
            if (percent >= 20)
                stop = true;
        };
    // The temporary file is written while sorting, the target once
    // merging has begun.
    std::atomic<bool> merging = false;
    if (c.way == Way::TargetUnwritable)
        options.progress
            = [&](tools::MergePhase phase, int) { merging = phase == tools::MergePhase::Merging; };
    test::InterceptedCalls calls([&](test::Call call) {
        if (call != test::Call::Write)
            return 0;
        if (c.way == Way::DiskFull)
            return ENOSPC;
        if (c.way == Way::TargetUnwritable && merging)
            return EIO;
        return 0;
    });
    Outcome outcome;
    try {
        tools::mergeFiles(sources, target, LineCollation(QString()), options);
    } catch (const text::AppError& e) {
        outcome.error = e.message();
    } catch (const tools::MergeCancelled&) {
        outcome.cancelled = true;
    }
    return outcome;
}

void expectOutcome(const WayCase& c, const Outcome& outcome, const QString& missing, const QString& spill)
{
    const QString& error = outcome.error;
    switch (c.way) {
    case Way::Succeeds:
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        break;
    case Way::SourceMissing:
        EXPECT_EQ(error, text::FileOpenError(missing).message());
        break;
    case Way::Cancelled:
        EXPECT_TRUE(outcome.cancelled);
        break;
    case Way::DiskFull:
        EXPECT_EQ(error, tools::SpillError(spill, ENOSPC).message());
        EXPECT_TRUE(error.contains(QStringLiteral("空间不足"))) << error.toStdString();
        break;
    case Way::TargetUnwritable:
        EXPECT_TRUE(error.startsWith(QStringLiteral("Stream write error"))) << error.toStdString();
        break;
    }
}

} // namespace

// A merge that fails or is stopped leaves the target as it was and no
// temporary file behind, in the temporary folder or beside the target;
// a full disk while the runs are written says so.
TEST(BoundedMerge, FailedOrStoppedMergeLeavesTargetAndNoTemporaryFile)
{
    std::mt19937 rng(99);
    QTemporaryDir dir;
    const QString spill = dir.filePath(QStringLiteral("spill"));
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(spill);
    QDir().mkpath(out);
    const QString source = test::writeFile(dir.filePath(QStringLiteral("s.txt")), adversarialText(rng, 4000));
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const QString target = test::writeFile(out + QStringLiteral("/t.txt"), "old\r\n");

    const WayCase cases[] = {
        { "spilled", Way::Succeeds, 3000 },
        { "missing source after a spill", Way::SourceMissing, 3000 },
        { "cancelled while sorting", Way::Cancelled, 3000 },
        { "cancelled in memory", Way::Cancelled, 0 },
        { "full disk while spilling", Way::DiskFull, 3000 },
        { "target fails after a spill", Way::TargetUnwritable, 3000 },
    };
    for (const WayCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(target, "old\r\n");
        QStringList sources { source };
        if (c.way == Way::SourceMissing)
            sources << missing;
        expectOutcome(c, mergeTheWay(c, sources, target, spill), missing, spill);
        if (c.way == Way::Succeeds)
            EXPECT_NE(test::readFile(target), "old\r\n");
        else
            EXPECT_EQ(test::readFile(target), "old\r\n");
        EXPECT_TRUE(filesIn(spill).isEmpty());
        EXPECT_EQ(filesIn(out), QStringList { QStringLiteral("t.txt") });
    }
}

TEST(BoundedMerge, MemorySizesAndTheCommandLineForm)
{
    const std::pair<const char*, qint64> sizes[] = { { "512M", qint64(512) << 20 }, { "4G", qint64(4) << 30 },
        { "64k", qint64(64) << 10 }, { "1000", 1000 }, { "100B", 100 }, { "2MiB", qint64(2) << 20 },
        { "3MB", qint64(3) << 20 }, { "1T", qint64(1) << 40 }, { "", -1 }, { "0", -1 }, { "M", -1 },
        { "-5M", -1 }, { "1.5G", -1 }, { "12Q", -1 }, { "99999999999G", -1 } };
    for (const auto& [text, want] : sizes) {
        const std::optional<qint64> got = tools::parseMemorySize(QString::fromLatin1(text));
        EXPECT_EQ(got.value_or(-1), want) << text;
    }

    const auto parse = [](std::initializer_list<const char*> words) {
        QStringList list;
        for (const char* w : words)
            list << QString::fromLatin1(w);
        return tools::parseMergeArguments(list);
    };
    const auto a = parse({ "-o", "t", "--memory", "512M", "s1", "s2" });
    ASSERT_TRUE(a);
    EXPECT_EQ(a->target, QStringLiteral("t"));
    EXPECT_EQ(a->sources, (QStringList { QStringLiteral("s1"), QStringLiteral("s2") }));
    EXPECT_EQ(a->memoryBudget, qint64(512) << 20);
    const auto b = parse({ "--memory", "1G", "-o", "t", "s" });
    ASSERT_TRUE(b);
    EXPECT_EQ(b->memoryBudget, qint64(1) << 30);
    EXPECT_EQ(b->sources, QStringList { QStringLiteral("s") });
    const auto c = parse({ "-o", "t", "s" });
    ASSERT_TRUE(c);
    EXPECT_EQ(c->memoryBudget, 0);
    EXPECT_FALSE(parse({ "-o", "t", "--memory", "lots", "s" }));
    EXPECT_FALSE(parse({ "-o", "t", "--memory", "512M" }));
    EXPECT_FALSE(parse({ "--memory", "512M", "s" }));
}

// Sizes alone guess lines of ordinary length; a list of short lines of
// Chinese text costs several times that to sort. Such a list is still cut
// into parts to keep to the budget, not sorted whole because its size
// seemed to fit.
TEST(BoundedMerge, ShortNonAsciiLinesAreHeldToTheBudgetTheirSizeSeemsToFit)
{
    QTemporaryDir dir;
    std::mt19937 rng(8);
    QByteArray text;
    for (int i = 0; i < 200000; ++i) {
        const char16_t chars[] = { char16_t(0x4E00 + rng() % 3000), char16_t(0x4E00 + rng() % 3000) };
        text += text::toGbk(QStringView(chars, 2)) + "\n";
    }
    const QString source = test::writeFile(dir.filePath(QStringLiteral("cn.txt")), text);
    const QString target = dir.filePath(QStringLiteral("target.txt"));
    const LineCollation order { QString() };
    const tools::DistinctLines want = tools::sortDistinct(text, order);
    // A spill folder that is a file: a merge that spills fails.
    const QString noFolder = test::writeFile(dir.filePath(QStringLiteral("not-a-folder")), "x");
    tools::MergeOptions options;
    options.threads = 1;
    options.spillFolder = noFolder;
    options.memoryBudget = qint64(64) << 20; // fits
    EXPECT_EQ(tools::mergeFiles({ source }, target, order, options), want.count);
    options.memoryBudget = qint64(8) << 20; // seems to fit, does not
    EXPECT_THROW(tools::mergeFiles({ source }, target, order, options), text::AppError);
    options.spillFolder = dir.path();
    EXPECT_EQ(tools::mergeFiles({ source }, target, order, options), want.count);
    EXPECT_EQ(test::readFile(target), want.content);
}

// A merge killed outright leaves its temporary file beside the target
// where the file system has no nameless files; the next merge into that
// folder takes it away, even one that fails before writing.
TEST(BoundedMerge, AMergeSweepsTheTemporaryFilesAKilledOneLeft)
{
    QTemporaryDir dir;
    const QString target = test::writeFile(dir.filePath(QStringLiteral("t.txt")), "old\r\n");
    // 99999999 is above any system's highest process id.
    const QString left
        = test::writeFile(dir.filePath(QStringLiteral(".tessaroon-99999999-aB3xYz.tmp")), "part");
    const time_t longAgo = ::time(nullptr) - 120;
    const timespec times[2] = { { longAgo, 0 }, { longAgo, 0 } };
    ::utimensat(AT_FDCWD, QFile::encodeName(left).constData(), times, 0);
    EXPECT_THROW(tools::mergeFiles({ dir.filePath(QStringLiteral("missing.txt")) }, target,
                     LineCollation(QString()), tools::MergeOptions {}),
        text::AppError);
    EXPECT_EQ(filesIn(dir.path()), QStringList { QStringLiteral("t.txt") });
}

namespace {

// The resident set of this process now, in bytes.
qint64 residentNow()
{
    long pages = 0, resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * ::sysconf(_SC_PAGESIZE);
}

struct CommandRun {
    int status = -1;
    QByteArray errText;
    qint64 peakGrowth = 0; // the child's largest resident set past what it began with
};

// Runs `tessaroon merge` in a child process, as the program would, and
// measures its peak.
CommandRun runMergeInChild(const QStringList& words, const QString& errFile)
{
    CommandRun run;
    const qint64 before = residentNow();
    const pid_t child = ::fork();
    if (child == 0) {
        FILE* err = std::fopen(QFile::encodeName(errFile).constData(), "w");
        FILE* out = std::fopen("/dev/null", "w");
        const std::optional<tools::MergeArguments> parsed = tools::parseMergeArguments(words);
        const int status = parsed ? tools::runMergeCommand(*parsed, out, err) : 2;
        std::fflush(err);
        std::_Exit(status);
    }
    int status = 0;
    struct rusage usage { };
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errText = test::readFile(errFile);
    run.peakGrowth = qint64(usage.ru_maxrss) * 1024 - before;
    return run;
}

} // namespace

// Tiny budgets made parts of a line or two each, and a read buffer for
// each of their many runs: hundreds of MB for a 6 MB list. The command
// raises such a budget to the minimum, and the merge holds to it.
TEST(BoundedMerge, TheCommandHoldsTinyBudgetsToTheMinimum)
{
    QTemporaryDir dir;
    std::mt19937 rng(6);
    QByteArray text;
    while (text.size() < 6000000) {
        text += "http://www." + QByteArray::number(rng() % 100000) + ".example.com/item/"
            + QByteArray::number(rng()) + "/page.html\r\n";
    }
    const QString source = test::writeFile(dir.filePath(QStringLiteral("big.txt")), text);
    const QString errFile = dir.filePath(QStringLiteral("err.txt"));
    // The program's own: libraries, collation data, the output's buffers.
    constexpr qint64 kProgramCost = qint64(50) << 20;
    QByteArray merged;
    for (const auto& [budget, note] : { std::pair { "1", true }, { "1K", true }, { "16M", false } }) {
        SCOPED_TRACE(budget);
        const QString target = dir.filePath(QStringLiteral("merged-%1.txt").arg(QLatin1StringView(budget)));
        const CommandRun run = runMergeInChild(
            { QStringLiteral("-o"), target, QStringLiteral("--memory"), QString::fromLatin1(budget), source },
            errFile);
        EXPECT_EQ(run.status, 0) << run.errText.constData();
        EXPECT_EQ(
            run.errText, note ? QByteArray("memory budget raised to the minimum of 16M\n") : QByteArray());
        EXPECT_LE(run.peakGrowth, tools::kMinimumBudget + kProgramCost)
            << run.peakGrowth / (1 << 20) << " MB";
        if (merged.isEmpty())
            merged = test::readFile(target);
        EXPECT_EQ(test::readFile(target), merged);
    }
}
