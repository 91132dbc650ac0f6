#include "app/CommandLine.h"

#include <gtest/gtest.h>

using tess::app::CommandLine;

TEST(CommandLine, ReadsTheEngineHostMergeAndHelp)
{
    auto cl = CommandLine::parse({ QStringLiteral("--engine-host"), QStringLiteral("127.0.0.1:8642") });
    EXPECT_EQ(cl.action, CommandLine::Action::RunWindow);
    EXPECT_EQ(cl.engineHosts, QList<QByteArray> { "127.0.0.1:8642" });
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host=www.example.com") }).engineHosts,
        QList<QByteArray> { "www.example.com" });
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host=h:65535") }).engineHosts,
        QList<QByteArray> { "h:65535" });
    cl = CommandLine::parse({ QStringLiteral("--rules"), QStringLiteral("today"),
        QStringLiteral("--engine-host=http://127.0.0.1:8642/") });
    EXPECT_EQ(cl.action, CommandLine::Action::RunWindow);
    EXPECT_EQ(cl.rules, QStringLiteral("today"));
    EXPECT_EQ(cl.engineHosts, QList<QByteArray> { "http://127.0.0.1:8642/" });
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host=https://h") }).engineHosts,
        QList<QByteArray> { "https://h" });

    cl = CommandLine::parse(
        { QStringLiteral("merge"), QStringLiteral("-o"), QStringLiteral("t.txt"), QStringLiteral("a.txt") });
    EXPECT_EQ(cl.action, CommandLine::Action::Merge);
    EXPECT_EQ(cl.merge.target, QStringLiteral("t.txt"));
    EXPECT_EQ(cl.merge.sources, QStringList { QStringLiteral("a.txt") });
    EXPECT_EQ(
        CommandLine::parse({ QStringLiteral("merge"), QStringLiteral("-o"), QStringLiteral("t.txt") }).action,
        CommandLine::Action::MergeUsage);
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--help") }).action, CommandLine::Action::Help);
    EXPECT_TRUE(CommandLine::parse({}).engineHosts.isEmpty());
}

TEST(CommandLine, RefusesAHostThatWouldChangeTheRequest)
{
    for (const char* bad : { "evil.com/x?", "a b", "host:port", "", "x@y", "h:65536", "h:99999", "h:0",
             "ftp://h", "http://", "http://h/x", "HTTP://h", "http:/h" })
        EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host"), QString::fromLatin1(bad) }).action,
            CommandLine::Action::Error)
            << bad;
    for (const char* bad : { "Today", "a/b", "", "现行" })
        EXPECT_EQ(CommandLine::parse({ QStringLiteral("--rules"), QString::fromUtf8(bad) }).action,
            CommandLine::Action::Error)
            << bad;
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host") }).action, CommandLine::Action::Error);
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--rules") }).action, CommandLine::Action::Error);
}

namespace {

CommandLine harvest(const char* words)
{
    QStringList args { QStringLiteral("harvest") };
    for (const QString& w : QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts))
        args << w;
    return CommandLine::parse(args);
}

} // namespace

TEST(CommandLine, ReadsEveryHarvestOption)
{
    auto cl
        = harvest("-k k.txt -o out.csv --from 3 --to 9 --interval 2 --engine-host 127.0.0.1:8642 --dedupe "
                  "--format csv --state s.ini --rules today");
    ASSERT_EQ(cl.action, CommandLine::Action::Harvest) << cl.error.toStdString();
    EXPECT_EQ(cl.harvest.keywordFile, QStringLiteral("k.txt"));
    EXPECT_EQ(cl.harvest.output, QStringLiteral("out.csv"));
    EXPECT_EQ(cl.harvest.from, 3);
    EXPECT_EQ(cl.harvest.to, 9);
    EXPECT_EQ(cl.harvest.intervalSeconds, 2);
    EXPECT_EQ(cl.harvest.engineHosts, QList<QByteArray> { "127.0.0.1:8642" });
    EXPECT_TRUE(cl.harvest.dedupe);
    EXPECT_EQ(cl.harvest.format, tess::harvest::RowFormat::Csv);
    EXPECT_EQ(cl.harvest.stateFile, QStringLiteral("s.ini"));
    EXPECT_EQ(cl.harvest.rules, QStringLiteral("today"));

    cl = harvest("--keywords=k.txt --output=o --from=0 --interval=1000 --format=TSV");
    ASSERT_EQ(cl.action, CommandLine::Action::Harvest) << cl.error.toStdString();
    EXPECT_EQ(cl.harvest.keywordFile, QStringLiteral("k.txt"));
    EXPECT_EQ(cl.harvest.output, QStringLiteral("o"));
    EXPECT_EQ(cl.harvest.intervalSeconds, 1000);

    // The defaults: standard output, the whole list, the window's interval.
    cl = harvest("-k k.txt");
    EXPECT_EQ(cl.harvest.output, QString());
    EXPECT_EQ(cl.harvest.from, 0);
    EXPECT_EQ(cl.harvest.to, std::nullopt);
    EXPECT_EQ(cl.harvest.intervalSeconds, 5);
    EXPECT_FALSE(cl.harvest.dedupe);
    EXPECT_EQ(cl.harvest.format, tess::harvest::RowFormat::Tsv);
    EXPECT_EQ(cl.harvest.stateFile, QString());
    EXPECT_EQ(harvest("-k k.txt --help").action, CommandLine::Action::Help);
}

TEST(CommandLine, RefusesAWrongHarvestCommand)
{
    for (const char* bad : { "", "-o out", "-k", "-k k.txt --from", "-k k.txt --from -1", "-k k.txt --from x",
             "-k k.txt --from +1", "-k k.txt --to 0", "-k k.txt --from 5 --to 5", "-k k.txt --from 6 --to 5",
             "-k k.txt --interval 0", "-k k.txt --interval 1001", "-k k.txt --format xls",
             "-k k.txt --engine-host a/b", "-k k.txt --bogus", "-k k.txt extra", "-k k.txt --dedupe=yes",
             "-k k.txt --rules", "-k k.txt --rules ../x" }) {
        const CommandLine cl = harvest(bad);
        EXPECT_EQ(cl.action, CommandLine::Action::Error) << bad;
        EXPECT_FALSE(cl.error.isEmpty()) << bad;
    }
}

TEST(CommandLine, TheOutputFormatComesFromTheOptionOrTheOutputsExtension)
{
    using tess::harvest::RowColumn;
    using tess::harvest::RowFormat;
    struct Case {
        const char* args;
        RowFormat format;
        std::optional<tess::harvest::RowColumns> columns;
        bool takeAds;
    } cases[] = {
        { "-k k.txt", RowFormat::Tsv, std::nullopt, true },
        { "-k k.txt -o out.CSV", RowFormat::Csv, std::nullopt, true },
        { "-k k.txt -o out.jsonl --no-ads", RowFormat::Jsonl, std::nullopt, false },
        { "-k k.txt -o out.xlsx", RowFormat::Xlsx, std::nullopt, true },
        { "-k k.txt -o out.txt", RowFormat::Tsv, std::nullopt, true },
        { "-k k.txt -o out.csv --format tsv", RowFormat::Tsv, std::nullopt, true },
        { "-k k.txt --format=JSONL", RowFormat::Jsonl, std::nullopt, true },
        { "-k k.txt --format csv --columns keyword,address", RowFormat::Csv,
            tess::harvest::RowColumns { RowColumn::Keyword, RowColumn::Address }, true },
        { "-k k.txt --columns=rank,title", RowFormat::Tsv,
            tess::harvest::RowColumns { RowColumn::Rank, RowColumn::Title }, true },
        { "-k k.txt -o o.xlsx --force", RowFormat::Xlsx, std::nullopt, true },
    };
    for (const Case& c : cases) {
        const CommandLine cl = harvest(c.args);
        ASSERT_EQ(cl.action, CommandLine::Action::Harvest) << c.args << ": " << cl.error.toStdString();
        EXPECT_EQ(cl.harvest.format, c.format) << c.args;
        EXPECT_EQ(cl.harvest.columns, c.columns) << c.args;
        EXPECT_EQ(cl.harvest.takeAds, c.takeAds) << c.args;
    }
}

TEST(CommandLine, SaysWhatAFormatCannotDo)
{
    struct Case {
        const char* args;
        const char* said;
    } cases[] = {
        { "-k k.txt --format xlsx", "--format xlsx needs -o FILE" },
        { "-k k.txt -o o.xlsx --append", "--append cannot add rows to an xlsx workbook" },
        { "-k k.txt --format jsonl --columns address", "--columns applies to tsv and csv" },
        { "-k k.txt -o o.xlsx --columns address", "--columns applies to tsv and csv" },
        { "-k k.txt --columns address,url", "unknown column \"url\"" },
        { "-k k.txt --format ods", "--format is tsv, csv, jsonl or xlsx: ods" },
        { "-k k.txt --no-ads=yes", "unknown argument --no-ads=yes" },
    };
    for (const Case& c : cases) {
        const CommandLine cl = harvest(c.args);
        EXPECT_EQ(cl.action, CommandLine::Action::Error) << c.args;
        EXPECT_TRUE(cl.error.contains(QLatin1String(c.said))) << c.args << ": " << cl.error.toStdString();
    }
}

TEST(CommandLine, UsageNamesEveryCommandAndExitStatus)
{
    const QString usage = CommandLine::usage();
    for (const char* word : { "tessaroon merge", "tessaroon list", "--trim root|host|path",
             "--count host|domain|tld", "tessaroon harvest", "tessaroon --help", "--from N", "--to M",
             "--interval S", "--engine-host", "--dedupe", "--format tsv|csv|jsonl|xlsx", "--columns LIST",
             "--no-ads", "--state FILE", "--rules NAME", "130", "143" })
        EXPECT_TRUE(usage.contains(QLatin1String(word))) << word;
}

TEST(CommandLine, NamesWhatIsWrongInsteadOfTakingIt)
{
    const QString longHost = QString(254, u'a');
    struct Case {
        QStringList args;
        const char* named; // what the message has to name
    };
    const Case cases[] = {
        { { QStringLiteral("lists"), QStringLiteral("k.txt") },
            "unknown command lists (the commands are harvest, keywords, merge and list)" },
        { { QStringLiteral("merg"), QStringLiteral("-o"), QStringLiteral("t") }, "unknown command merg" },
        { { QStringLiteral("--bogus") }, "unknown option --bogus" },
        { { QStringLiteral("--rules"), QStringLiteral("today"), QStringLiteral("-platform") },
            "unknown option -platform" },
        { { QStringLiteral("--engine-host"), longHost }, "not a" },
        { { QStringLiteral("harvest"), QStringLiteral("-k"), QStringLiteral("k.txt"), QStringLiteral("-o"),
              QString() },
            "-o needs a file name" },
        { { QStringLiteral("harvest"), QStringLiteral("-k"), QStringLiteral("k.txt"),
              QStringLiteral("--state=") },
            "--state needs a file name" },
        { { QStringLiteral("harvest"), QStringLiteral("-k"), QStringLiteral("k.txt"),
              QStringLiteral("--engine-host"), QStringLiteral("http://") + longHost + QStringLiteral(":80") },
            "not a" },
        { { QStringLiteral("harvest"), QStringLiteral("-k"), QStringLiteral("k.txt"),
              QStringLiteral("--append"), QStringLiteral("--force") },
            "--append and --force" },
    };
    for (const Case& c : cases) {
        const CommandLine cl = CommandLine::parse(c.args);
        EXPECT_EQ(cl.action, CommandLine::Action::Error) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(cl.error.contains(QLatin1String(c.named))) << cl.error.toStdString();
    }
    // A host name of the longest length there is still goes.
    EXPECT_EQ(
        CommandLine::parse({ QStringLiteral("--engine-host"), QString(253, u'a') + QStringLiteral(":8642") })
            .action,
        CommandLine::Action::RunWindow);
}

TEST(CommandLine, AMergeThatDoesNotFitSaysWhy)
{
    struct Case {
        QStringList words;
        const char* named;
    };
    const Case cases[] = {
        { { QStringLiteral("-o"), QStringLiteral("A"), QStringLiteral("-o"), QStringLiteral("B"),
              QStringLiteral("s.txt") },
            "-o given twice" },
        { { QStringLiteral("-o"), QStringLiteral("A"), QStringLiteral("--memory"), QStringLiteral("junk"),
              QStringLiteral("s.txt") },
            "--memory needs a size" },
        { { QStringLiteral("--memory"), QStringLiteral("1G"), QStringLiteral("s.txt") },
            "-o TARGET is missing" },
        { { QStringLiteral("-o"), QStringLiteral("A") }, "no SOURCE" },
        { { QStringLiteral("-o"), QStringLiteral("A"), QStringLiteral("--memory") },
            "--memory needs a value" },
    };
    for (const Case& c : cases) {
        const CommandLine cl = CommandLine::parse(QStringList { QStringLiteral("merge") } + c.words);
        EXPECT_EQ(cl.action, CommandLine::Action::MergeUsage) << c.words.join(u' ').toStdString();
        EXPECT_TRUE(cl.error.contains(QLatin1String(c.named))) << cl.error.toStdString();
    }
}

TEST(CommandLine, ListIsACommandOfItsOwn)
{
    const CommandLine cl = CommandLine::parse({ QStringLiteral("list"), QStringLiteral("--unique"),
        QStringLiteral("domain"), QStringLiteral("-o"), QStringLiteral("t.txt"), QStringLiteral("a.txt") });
    EXPECT_EQ(cl.action, CommandLine::Action::List);
    EXPECT_EQ(cl.list.target, QStringLiteral("t.txt"));
    ASSERT_EQ(cl.list.steps.size(), 1u);
    EXPECT_EQ(cl.list.steps[0].value, QStringLiteral("domain"));
    const CommandLine wrong = CommandLine::parse({ QStringLiteral("list"), QStringLiteral("--trim"),
        QStringLiteral("all"), QStringLiteral("-o"), QStringLiteral("t.txt"), QStringLiteral("a.txt") });
    EXPECT_EQ(wrong.action, CommandLine::Action::ListUsage);
    EXPECT_EQ(wrong.error, QStringLiteral("--trim is root|host|path: all"));
}

TEST(CommandLine, ReadsWhatBecomesOfAnExistingOutput)
{
    using Existing = tess::app::HarvestArguments::ExistingOutput;
    EXPECT_EQ(harvest("-k k.txt -o o").harvest.existingOutput, Existing::Refuse);
    EXPECT_EQ(harvest("-k k.txt -o o --append").harvest.existingOutput, Existing::Append);
    EXPECT_EQ(harvest("-k k.txt --force -o o").harvest.existingOutput, Existing::Replace);
    const QString usage = CommandLine::usage();
    for (const char* word : { "--append", "--force", "129" })
        EXPECT_TRUE(usage.contains(QLatin1String(word))) << word;
}

namespace {

CommandLine keywords(const char* words)
{
    return CommandLine::parse(QStringList { QStringLiteral("keywords") }
        + QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts));
}

} // namespace

TEST(CommandLine, ReadsEveryKeywordsOption)
{
    auto cl
        = keywords("--seed s.txt -o out.txt --depth 3 --max 500 --require 教程,价格 --exclude 图片 "
                   "--require 视频 --rules today,360 --engine-host 127.0.0.1:8642 --interval 2 --memory 64M");
    ASSERT_EQ(cl.action, CommandLine::Action::Keywords) << cl.error.toStdString();
    const tess::app::KeywordsArguments& k = cl.keywords;
    EXPECT_EQ(k.seedFile, QStringLiteral("s.txt"));
    EXPECT_EQ(k.output, QStringLiteral("out.txt"));
    EXPECT_EQ(k.depth, 3);
    EXPECT_EQ(k.max, 500);
    EXPECT_EQ(
        k.require, (QStringList { QStringLiteral("教程"), QStringLiteral("价格"), QStringLiteral("视频") }));
    EXPECT_EQ(k.exclude, QStringList { QStringLiteral("图片") });
    EXPECT_EQ(k.rules, QStringLiteral("today,360"));
    EXPECT_EQ(k.engineHosts, QList<QByteArray> { "127.0.0.1:8642" });
    EXPECT_EQ(k.intervalSeconds, 2);
    EXPECT_EQ(k.memoryBudget, qint64(64) << 20);

    cl = keywords("--seed=s.txt --output=o --depth=0 --max=1 --memory=1G --require=a,,b,");
    ASSERT_EQ(cl.action, CommandLine::Action::Keywords) << cl.error.toStdString();
    EXPECT_EQ(cl.keywords.output, QStringLiteral("o"));
    EXPECT_EQ(cl.keywords.depth, 0);
    EXPECT_EQ(cl.keywords.max, 1);
    EXPECT_EQ(cl.keywords.memoryBudget, qint64(1) << 30);
    EXPECT_EQ(cl.keywords.require, (QStringList { QStringLiteral("a"), QStringLiteral("b") }));

    // The defaults: standard output, the seeds asked only, no bound.
    cl = keywords("--seed s.txt");
    EXPECT_EQ(cl.keywords.output, QString());
    EXPECT_EQ(cl.keywords.depth, 1);
    EXPECT_EQ(cl.keywords.max, 0);
    EXPECT_TRUE(cl.keywords.require.isEmpty());
    EXPECT_TRUE(cl.keywords.exclude.isEmpty());
    EXPECT_EQ(cl.keywords.intervalSeconds, 5);
    EXPECT_EQ(cl.keywords.memoryBudget, 0);
    EXPECT_EQ(keywords("--seed s.txt --help").action, CommandLine::Action::Help);
}

TEST(CommandLine, RefusesAWrongKeywordsCommandAndSaysWhy)
{
    const std::pair<const char*, const char*> cases[] = {
        { "", "--seed FILE is missing" },
        { "-o out.txt", "--seed FILE is missing" },
        { "--seed", "--seed needs a value" },
        { "--seed=", "--seed needs a file name" },
        { "--seed s.txt --depth -1", "--depth needs a whole number from 0 to 100: -1" },
        { "--seed s.txt --depth 101", "--depth needs a whole number" },
        { "--seed s.txt --max 0", "--max needs a whole number from 1: 0" },
        { "--seed s.txt --max +5", "--max needs a whole number" },
        { "--seed s.txt --max many", "--max needs a whole number" },
        { "--seed s.txt --require ,", "--require needs words separated by commas" },
        { "--seed s.txt --memory lots", "--memory needs a size such as 512M or 4G: lots" },
        { "--seed s.txt --interval 0", "--interval needs whole seconds from 1 to 1000" },
        { "--seed s.txt --engine-host a/b", "not a [NAME=]" },
        { "--seed s.txt --rules ../x", "--rules needs rule set names" },
        { "--seed s.txt --dedupe", "keywords: unknown argument --dedupe" },
        { "--seed s.txt extra", "keywords: unknown argument extra" },
    };
    for (const auto& [words, said] : cases) {
        const CommandLine cl = keywords(words);
        EXPECT_EQ(cl.action, CommandLine::Action::Error) << words;
        EXPECT_TRUE(cl.error.contains(QString::fromUtf8(said))) << words << ": " << cl.error.toStdString();
    }
    const QString usage = CommandLine::usage();
    for (const char* word : { "tessaroon keywords --seed FILE", "--depth N", "--max M", "--require WORDS",
             "--exclude WORDS", "--memory SIZE" })
        EXPECT_TRUE(usage.contains(QLatin1String(word))) << word;
}
