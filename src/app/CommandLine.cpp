#include "app/CommandLine.h"

#include "tools/merge/MemoryBudget.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <variant>

namespace tess::app {

namespace {

// A host name or address, with an optional port and an optional http or
// https scheme before it: nothing that could change the request's path or
// query.
bool isEngineHost(const QString& host)
{
    static const QRegularExpression valid(QStringLiteral("^(https?://)?[A-Za-z0-9.-]+(:([0-9]{1,5}))?/?$"));
    const QRegularExpressionMatch match = valid.match(host);
    const int port = match.captured(3).isEmpty() ? 80 : match.captured(3).toInt();
    // No resolver takes a longer name: every page would fail, one by one.
    constexpr qsizetype kMaxHostName = 253;
    const qsizetype nameLength = match.capturedLength(0) - match.capturedLength(1) - match.capturedLength(2)
        - (host.endsWith(QLatin1Char('/')) ? 1 : 0);
    return match.hasMatch() && port >= 1 && port <= 65535 && nameLength <= kMaxHostName;
}

// A rule set's name as --rules takes it; whether such a set exists is
// known only once the user's rule files are read.
bool isRulesName(const QString& name)
{
    static const QRegularExpression valid(QStringLiteral("^[a-z0-9-]+$"));
    return valid.match(name).hasMatch();
}

// --engine-host's value: an engine host, for every engine or, after a rule
// set's name and "=", for that one.
bool isEngineHostItem(const QString& item)
{
    const qsizetype equals = item.indexOf(QLatin1Char('='));
    if (equals < 0)
        return isEngineHost(item);
    return isRulesName(item.left(equals)) && isEngineHost(item.mid(equals + 1));
}

// --rules' value: one name or several separated by commas.
bool isRulesList(const QString& list)
{
    const QStringList names = list.split(QLatin1Char(','));
    return std::all_of(names.begin(), names.end(), isRulesName);
}

const QString kEngineHostForm = QStringLiteral("[NAME=][http://|https://]HOST[:PORT]");

std::optional<int> wholeNumber(const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < low || value > high || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return value;
}

// A command line that is refused, and why.
CommandLine refused(const QString& message)
{
    CommandLine cl;
    cl.action = CommandLine::Action::Error;
    cl.error = message;
    return cl;
}

// Where the options of the commands that search go: --interval,
// --engine-host and --rules.
struct EngineOptions {
    int& intervalSeconds;
    QList<QByteArray>& engineHosts;
    QString& rules;
};

// Takes one of the options every command that searches has; false when
// `name` is none of them. `error` says why the value does not fit.
bool takeEngineOption(const QString& command, const QString& name, const QString& value,
    EngineOptions options, std::optional<QString>& error)
{
    if (name == QLatin1String("--interval")) {
        const std::optional<int> n = wholeNumber(value, 1, 1000);
        if (n)
            options.intervalSeconds = *n;
        else
            error
                = QStringLiteral("%1: --interval needs whole seconds from 1 to 1000: %2").arg(command, value);
    } else if (name == QLatin1String("--engine-host")) {
        if (isEngineHostItem(value))
            options.engineHosts.append(value.toLatin1());
        else
            error = QStringLiteral("not a %1: %2").arg(kEngineHostForm, value);
    } else if (name == QLatin1String("--rules")) {
        if (isRulesList(value))
            options.rules = value;
        else
            error = QStringLiteral("%1: --rules needs rule set names separated by commas: %2")
                        .arg(command, value);
    } else {
        return false;
    }
    return true;
}

// Takes one option of `harvest` and its value; the error message when the
// value does not fit.
std::optional<QString> takeHarvestOption(HarvestArguments& harvest, const QString& name, const QString& value)
{
    const bool isFile = name == QLatin1String("-k") || name == QLatin1String("--keywords")
        || name == QLatin1String("-o") || name == QLatin1String("--output")
        || name == QLatin1String("--state") || name == QLatin1String("--drop-listed");
    if (isFile && value.isEmpty())
        return QStringLiteral("harvest: %1 needs a file name, not an empty word").arg(name);
    std::optional<QString> error;
    if (takeEngineOption(QStringLiteral("harvest"), name, value,
            { harvest.intervalSeconds, harvest.engineHosts, harvest.rules }, error))
        return error;
    if (name == QLatin1String("-k") || name == QLatin1String("--keywords")) {
        harvest.keywordFile = value;
    } else if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
        harvest.output = value;
    } else if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
        const std::optional<int> n = wholeNumber(value, 0, std::numeric_limits<int>::max());
        if (!n)
            return QStringLiteral("harvest: %1 needs a whole number from 0: %2").arg(name, value);
        if (name == QLatin1String("--from"))
            harvest.from = *n;
        else
            harvest.to = *n;
    } else if (name == QLatin1String("--unique")) {
        // The harvest keeps addresses once with --dedupe; per site is what
        // this adds.
        if (value != QLatin1String("domain"))
            return QStringLiteral("harvest: --unique takes domain (one row per site): %1").arg(value);
        harvest.onePerSite = true;
    } else if (name == QLatin1String("--drop-listed")) {
        harvest.dropListed = value;
    } else if (name == QLatin1String("--format")) {
        const std::optional<harvest::RowFormat> format = harvest::rowFormatNamed(value);
        if (!format)
            return QStringLiteral("harvest: --format is tsv, csv, jsonl or xlsx: %1").arg(value);
        harvest.format = *format;
    } else if (name == QLatin1String("--columns")) {
        auto columns = harvest::parseRowColumns(value);
        if (const QString* wrong = std::get_if<QString>(&columns))
            return QStringLiteral("harvest: --columns: %1").arg(*wrong);
        harvest.columns = std::get<harvest::RowColumns>(std::move(columns));
    } else {
        harvest.stateFile = value;
    }
    return std::nullopt;
}

// What the format cannot do that the command line asks of it.
std::optional<QString> formatMismatch(const HarvestArguments& harvest)
{
    const harvest::RowFormat format = harvest.format;
    if (harvest.columns && format != harvest::RowFormat::Tsv && format != harvest::RowFormat::Csv)
        return QStringLiteral("harvest: --columns applies to tsv and csv; jsonl and xlsx have every column");
    if (format != harvest::RowFormat::Xlsx)
        return std::nullopt;
    if (harvest.output.isEmpty())
        return QStringLiteral("harvest: --format xlsx needs -o FILE: a workbook cannot be written to "
                              "standard output");
    if (harvest.existingOutput == HarvestArguments::ExistingOutput::Append)
        return QStringLiteral("harvest: --append cannot add rows to an xlsx workbook; give --force to "
                              "replace it, or another -o");
    return std::nullopt;
}

// What the options of a whole harvest command line say against each other.
std::optional<QString> harvestMismatch(const HarvestArguments& harvest, const QStringList& appendOrForce)
{
    if (harvest.keywordFile.isEmpty())
        return QStringLiteral("harvest: -k KEYWORDS is missing");
    if (harvest.to && *harvest.to <= harvest.from)
        return QStringLiteral("harvest: --to must be past --from");
    if (appendOrForce.contains(QLatin1String("--append")) && appendOrForce.contains(QLatin1String("--force")))
        return QStringLiteral("harvest: --append and --force exclude each other: choose one");
    return formatMismatch(harvest);
}

CommandLine parseHarvest(const QStringList& args)
{
    CommandLine cl;
    cl.action = CommandLine::Action::Harvest;
    static const QStringList withValue { QStringLiteral("-k"), QStringLiteral("--keywords"),
        QStringLiteral("-o"), QStringLiteral("--output"), QStringLiteral("--from"), QStringLiteral("--to"),
        QStringLiteral("--interval"), QStringLiteral("--engine-host"), QStringLiteral("--format"),
        QStringLiteral("--state"), QStringLiteral("--rules"), QStringLiteral("--unique"),
        QStringLiteral("--drop-listed"), QStringLiteral("--columns") };
    QStringList appendOrForce;
    bool formatGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name = name.left(name.indexOf(QLatin1Char('=')));
        }
        if (name == QLatin1String("--dedupe") && !value) {
            cl.harvest.dedupe = true;
            continue;
        }
        if (name == QLatin1String("--no-ads") && !value) {
            cl.harvest.takeAds = false;
            continue;
        }
        formatGiven = formatGiven || name == QLatin1String("--format");
        if (name == QLatin1String("--append") && !value) {
            cl.harvest.existingOutput = HarvestArguments::ExistingOutput::Append;
            appendOrForce << name;
            continue;
        }
        if (name == QLatin1String("--force") && !value) {
            cl.harvest.existingOutput = HarvestArguments::ExistingOutput::Replace;
            appendOrForce << name;
            continue;
        }
        if (!withValue.contains(name))
            return refused(QStringLiteral("harvest: unknown argument %1").arg(args[i]));
        if (!value) {
            if (i + 1 >= args.size())
                return refused(QStringLiteral("harvest: %1 needs a value").arg(name));
            value = args[++i];
        }
        if (const std::optional<QString> wrong = takeHarvestOption(cl.harvest, name, *value))
            return refused(*wrong);
    }
    if (!formatGiven && !cl.harvest.output.isEmpty())
        cl.harvest.format = harvest::rowFormatForFileName(cl.harvest.output);
    if (const std::optional<QString> wrong = harvestMismatch(cl.harvest, appendOrForce))
        return refused(*wrong);
    return cl;
}

// Words separated by commas, blank ones left out.
QStringList wordList(const QString& value)
{
    QStringList words;
    for (const QString& word : value.split(QLatin1Char(',')))
        if (!word.trimmed().isEmpty())
            words.append(word.trimmed());
    return words;
}

// Takes one option of `keywords` and its value; the error message when the
// value does not fit.
std::optional<QString> takeKeywordsOption(
    KeywordsArguments& keywords, const QString& name, const QString& value)
{
    if ((name == QLatin1String("--seed") || name == QLatin1String("-o")) && value.isEmpty())
        return QStringLiteral("keywords: %1 needs a file name, not an empty word").arg(name);
    std::optional<QString> error;
    if (name == QLatin1String("--seed")) {
        keywords.seedFile = value;
    } else if (name == QLatin1String("-o")) {
        keywords.output = value;
    } else if (name == QLatin1String("--depth")) {
        const std::optional<int> n = wholeNumber(value, 0, 100);
        if (!n)
            return QStringLiteral("keywords: --depth needs a whole number from 0 to 100: %1").arg(value);
        keywords.depth = *n;
    } else if (name == QLatin1String("--max")) {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok, 10);
        if (!ok || n < 1 || value.startsWith(QLatin1Char('+')))
            return QStringLiteral("keywords: --max needs a whole number from 1: %1").arg(value);
        keywords.max = n;
    } else if (name == QLatin1String("--require") || name == QLatin1String("--exclude")) {
        const QStringList words = wordList(value);
        if (words.isEmpty())
            return QStringLiteral("keywords: %1 needs words separated by commas").arg(name);
        (name == QLatin1String("--require") ? keywords.require : keywords.exclude) += words;
    } else if (takeEngineOption(QStringLiteral("keywords"), name, value,
                   { keywords.intervalSeconds, keywords.engineHosts, keywords.rules }, error)) {
        return error;
    } else {
        const std::optional<qint64> size = tools::parseMemorySize(value);
        if (!size)
            return QStringLiteral("keywords: --memory needs a size such as 512M or 4G: %1").arg(value);
        keywords.memoryBudget = *size;
    }
    return std::nullopt;
}

CommandLine parseKeywords(const QStringList& args)
{
    CommandLine cl;
    cl.action = CommandLine::Action::Keywords;
    static const QStringList withValue { QStringLiteral("--seed"), QStringLiteral("-o"),
        QStringLiteral("--depth"), QStringLiteral("--max"), QStringLiteral("--require"),
        QStringLiteral("--exclude"), QStringLiteral("--interval"), QStringLiteral("--engine-host"),
        QStringLiteral("--rules"), QStringLiteral("--memory") };
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name = name.left(name.indexOf(QLatin1Char('=')));
        }
        if (name == QLatin1String("--output"))
            name = QStringLiteral("-o");
        if (!withValue.contains(name))
            return refused(QStringLiteral("keywords: unknown argument %1").arg(args[i]));
        if (!value) {
            if (i + 1 >= args.size())
                return refused(QStringLiteral("keywords: %1 needs a value").arg(name));
            value = args[++i];
        }
        if (const std::optional<QString> wrong = takeKeywordsOption(cl.keywords, name, *value))
            return refused(*wrong);
    }
    if (cl.keywords.seedFile.isEmpty())
        return refused(QStringLiteral("keywords: --seed FILE is missing"));
    return cl;
}

} // namespace

namespace {

// Takes --engine-host or --rules for the window; the error message when
// the value does not fit.
std::optional<QString> takeWindowOption(CommandLine& cl, const QString& option, const QString& value)
{
    if (option == QLatin1String("--rules")) {
        if (!isRulesList(value))
            return QStringLiteral("--rules needs rule set names separated by commas: %1").arg(value);
        cl.rules = value;
        return std::nullopt;
    }
    if (!isEngineHostItem(value))
        return QStringLiteral("not a %1: %2").arg(kEngineHostForm, value);
    cl.engineHosts.append(value.toLatin1());
    return std::nullopt;
}

// The window's command line: its two options and --help. Anything else is
// a mistake said as such, never a window started without what was asked.
CommandLine parseWindow(const QStringList& args)
{
    CommandLine cl;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.action = CommandLine::Action::Help;
            return cl;
        }
        QString option;
        QString value;
        for (const QString& name : { QStringLiteral("--engine-host"), QStringLiteral("--rules") }) {
            if (a == name && i + 1 < args.size()) {
                option = name;
                value = args[++i];
            } else if (a.startsWith(name + u'=')) {
                option = name;
                value = a.mid(name.size() + 1);
            } else if (a == name) {
                return refused(QStringLiteral("%1 needs a value").arg(name));
            }
        }
        if (option.isEmpty() && a.startsWith(QLatin1Char('-')))
            return refused(QStringLiteral("unknown option %1").arg(a));
        if (option.isEmpty())
            return refused(
                QStringLiteral("unknown command %1 (the commands are harvest, keywords, merge and list)")
                    .arg(a));
        if (const std::optional<QString> wrong = takeWindowOption(cl, option, value))
            return refused(*wrong);
    }
    return cl;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& args)
{
    CommandLine cl;
    if (!args.isEmpty() && args.first() == QLatin1String("harvest")) {
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            cl.action = Action::Help;
            return cl;
        }
        return parseHarvest(args.mid(1));
    }
    if (!args.isEmpty() && args.first() == QLatin1String("keywords")) {
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            cl.action = Action::Help;
            return cl;
        }
        return parseKeywords(args.mid(1));
    }
    if (!args.isEmpty() && args.first() == QLatin1String("merge")) {
        const std::optional<tools::MergeArguments> merge = tools::parseMergeArguments(args.mid(1), &cl.error);
        cl.action = merge ? Action::Merge : Action::MergeUsage;
        cl.merge = merge.value_or(tools::MergeArguments {});
        return cl;
    }
    if (!args.isEmpty() && args.first() == QLatin1String("list")) {
        const std::optional<tools::ListArguments> list = tools::parseListArguments(args.mid(1), &cl.error);
        cl.action = list ? Action::List : Action::ListUsage;
        cl.list = list.value_or(tools::ListArguments {});
        return cl;
    }
    return parseWindow(args);
}

namespace {

// The usage of the window.
QString windowUsage()
{
    return QStringLiteral("Usage:\n"
                          "  tessaroon [--engine-host [NAME=][http://|https://]HOST[:PORT]]...\n"
                          "            [--rules NAME[,NAME...]]\n"
                          "      Start the program. --engine-host sends the searches to another\n"
                          "      engine host (default: each engine's own), e.g. the sample engine\n"
                          "      at 127.0.0.1:8642; a scheme given there wins over the rule set's.\n"
                          "      With NAME= it applies to that engine only; give it once per engine.\n"
                          "      --rules picks the engines and how their result pages are asked\n"
                          "      for and read, for this start, separated by commas: classic (经典,\n"
                          "      the default), today or baidu (现行), 360 (360搜索), sogou (搜狗),\n"
                          "      bing (必应), or sets of the user's rule files; each keyword is\n"
                          "      asked of each engine in turn. The window remembers the last choice.\n");
}

// The usage of merge.
QString mergeUsageText()
{
    return QStringLiteral("  tessaroon merge -o TARGET [--memory SIZE] SOURCE...\n"
                          "      Merge address lists into TARGET: the sources joined in order,\n"
                          "      lines sorted, repeated lines (ignoring letter case) dropped.\n"
                          "      --memory SIZE (512M, 4G; default half the physical memory) bounds\n"
                          "      the memory held: larger lists are sorted in parts that wait in a\n"
                          "      temporary file in TMPDIR, else beside TARGET. Progress goes to\n"
                          "      standard error when it is a terminal.\n"
                          "      Exit status 0 on success; otherwise the error on standard error.\n");
}

// The usage of list.
QString listUsageText()
{
    return QStringLiteral("  tessaroon list [STEP...] -o TARGET [--memory SIZE] SOURCE...\n"
                          "      Stream address lists through steps, in the order given, into\n"
                          "      TARGET (CR LF line ends; the bytes of each line kept):\n"
                          "        --trim root|host|path   http://A.b.example.cn:81/p?q -> root:\n"
                          "            http://example.cn/, host: http://A.b.example.cn:81/,\n"
                          "            path: http://A.b.example.cn:81/p\n"
                          "        --unique address|host|domain   the first line of each:\n"
                          "            http://a.x.cn/1, http://b.x.cn/2 -> domain: http://a.x.cn/1\n"
                          "        --keep-tld LIST, --drop-tld LIST   by public suffix (cn,com.cn):\n"
                          "            --keep-tld cn: http://a.cn/ kept, http://a.com/ not\n"
                          "        --keep-containing WORDS, --drop-containing WORDS   words of the\n"
                          "            line, letter case ignored: --keep-containing shop keeps\n"
                          "            http://SHOP.cn/\n"
                          "        --keep-matching RE, --drop-matching RE   PCRE2 on the bytes:\n"
                          "            --drop-matching '\\.gov\\.' drops http://a.gov.cn/\n"
                          "        --keep-listed FILE, --drop-listed FILE   hosts under the domains\n"
                          "            and addresses of FILE: example.cn keeps http://a.example.cn/\n"
                          "        --sort   the merge's order and uniqueness: B.cn, a.cn, b.cn ->\n"
                          "            a.cn, B.cn\n"
                          "        --split N   TARGET in parts of N lines: out.txt -> out-001.txt,\n"
                          "            out-002.txt ...\n"
                          "        --count host|domain|tld   \"count TAB key\" lines, largest first:\n"
                          "            a.cn/1, a.cn/2, b.cn/ -> 2 TAB a.cn, 1 TAB b.cn\n"
                          "      A line without a host passes --trim and --unique as it is. --memory\n"
                          "      as for merge bounds --unique and --sort: past it they work in a\n"
                          "      temporary file, with the same result. The end line on standard\n"
                          "      output counts lines in, lines out and lines without a host.\n"
                          "      Exit status as for merge: 0 done; 1 an error; 2 a wrong command line.\n");
}

// The usage of harvest.
QString harvestUsageText()
{
    return QStringLiteral("  tessaroon harvest -k KEYWORDS [-o OUT [--append|--force]] [--from N] [--to M]\n"
                          "                    [--interval S]\n"
                          "                    [--engine-host [NAME=][http://|https://]HOST[:PORT]]...\n"
                          "                    [--rules NAME[,NAME...]] [--dedupe] [--unique domain]\n"
                          "                    [--drop-listed FILE] [--format tsv|csv|jsonl|xlsx]\n"
                          "                    [--columns LIST] [--no-ads] [--state FILE]\n"
                          "      The window's search run without a window: searches the keywords of\n"
                          "      the file KEYWORDS (one a line) and writes the harvested rows to OUT\n"
                          "      (default standard output) page by page. An OUT that holds something\n"
                          "      already is refused unless --append (the rows go after it) or\n"
                          "      --force (it is replaced) is given; OUT may not be KEYWORDS or FILE.\n"
                          "      Blank keywords are skipped. --from N starts at keyword\n"
                          "      position N (counted from 0, as the window's start prompt counts);\n"
                          "      --to M stops before position M, so --from 0 --to 5 and then\n"
                          "      --from 5 search every keyword once. --interval: seconds between\n"
                          "      pages (default 5). --dedupe: an address once in a run only.\n"
                          "      --unique domain: one row per site (registrable domain) in a run.\n"
                          "      --drop-listed FILE: never take a row whose host FILE lists (one\n"
                          "      domain or address a line; a domain takes its subdomains too).\n"
                          "      --format (default: by OUT's extension .csv, .jsonl, .xlsx, else\n"
                          "      tsv): tsv: address TAB title, GBK, CR LF, as Save results writes;\n"
                          "      csv: UTF-8 with BOM, a header line, CR LF, quoted where needed, a\n"
                          "      text starting with = + - @ TAB or CR prefixed with ' ; jsonl: one\n"
                          "      JSON object a line; xlsx: an Excel workbook, needs -o, written at\n"
                          "      the end (and when stopped) from OUT.rows.txt, kept beside it while\n"
                          "      the run goes. csv, jsonl and xlsx have every column: keyword,\n"
                          "      engine, page, rank, kind, address, title, time. --columns LIST\n"
                          "      (tsv and csv): the columns, comma separated: --columns\n"
                          "      keyword,address. --no-ads: no rows of the engines' adverts.\n"
                          "      Progress goes to standard error. Ctrl+C,\n"
                          "      SIGTERM or SIGHUP stops like 终止: the page in flight is\n"
                          "      harvested, and the --from value that resumes the run is printed\n"
                          "      (the keyword in flight, or the first whose rows OUT refused, is\n"
                          "      searched again) and, with --state, written to FILE in the\n"
                          "      window's state file layout. The run uses a browser profile of\n"
                          "      its own and never the window's files.\n"
                          "      Exit status: 0 every keyword searched; 1 an error (message on\n"
                          "      standard error: OUT refused rows, the keyword file is unreadable,\n"
                          "      empty or UTF-16); 2 a wrong command line (an OUT that holds\n"
                          "      something, or is an input, included); 3 every keyword searched\n"
                          "      but some pages could not be loaded, or nothing was searched since\n"
                          "      every keyword was too long or blank, or an engine asked for a\n"
                          "      verification no one is there to pass; 129 stopped by SIGHUP;\n"
                          "      130 stopped by SIGINT; 143 stopped by SIGTERM.\n"
                          "      --rules: as for the window (default: the classic rules; the\n"
                          "      window's choice is not read). An engine that asks for a\n"
                          "      verification is dropped for the rest of the run and the others\n"
                          "      go on; at the end the --rules NAME --from N that resumes each\n"
                          "      dropped engine is printed. With several engines TSV rows get the\n"
                          "      engine as a third column.\n");
}

// The usage of keywords.
QString keywordsUsageText()
{
    return QStringLiteral("  tessaroon keywords --seed FILE [-o OUT] [--depth N] [--max M]\n"
                          "                     [--require WORDS] [--exclude WORDS] [--memory SIZE]\n"
                          "                     [--interval S] [--rules NAME[,NAME...]]\n"
                          "                     [--engine-host [NAME=][http://|https://]HOST[:PORT]]...\n"
                          "      Keyword mining (关键词挖掘): asks the engines for the first result\n"
                          "      page of each seed keyword of FILE (one a line, GBK) and keeps the\n"
                          "      related searches (相关搜索) listed there, breadth first. Seeds are\n"
                          "      depth 0, what a depth-d keyword leads to depth d+1; keywords of a\n"
                          "      depth below N are asked (default 1: the seeds only). Repeats are\n"
                          "      dropped ignoring letter case, full- and half-width forms and\n"
                          "      blanks. --max M: M keywords at most, seeds included; then nothing\n"
                          "      more is asked. --require WORDS: a found keyword is kept only when\n"
                          "      it holds one of the words (separated by commas); --exclude WORDS:\n"
                          "      dropped when it holds any; seeds are always kept. --memory SIZE\n"
                          "      as for merge bounds the keys held (8 bytes each and their\n"
                          "      table); past it the list stops growing, said so. The keywords go\n"
                          "      to OUT (default standard output), GBK, CR LF, as 导入 reads\n"
                          "      them, in the order found. --interval, --rules, --engine-host and\n"
                          "      the verification and exit statuses as for harvest; progress\n"
                          "      (depth, asked/to ask, found) goes to standard error. Ctrl+C,\n"
                          "      SIGTERM or SIGHUP: the page in flight is read, and every keyword\n"
                          "      found so far is written.\n");
}

// The usage of --help.
QString helpUsageText()
{
    return QStringLiteral("  tessaroon --help\n"
                          "      This text. Exit status 0; a wrong command line (an unknown command\n"
                          "      or option included) exits with 2. The window needs a display;\n"
                          "      without one the program says so and exits with 1.\n");
}

} // namespace

QString CommandLine::usage()
{
    return windowUsage() + mergeUsageText() + listUsageText() + harvestUsageText() + keywordsUsageText()
        + helpUsageText();
}

} // namespace tess::app
