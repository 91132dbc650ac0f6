#include "tools/list/ListArguments.h"

#include "text/Errors.h"
#include "tools/list/LinePattern.h"
#include "tools/merge/MemoryBudget.h"

#include <array>

namespace tess::tools {

namespace {

struct StepName {
    const char16_t* name;
    ListStep::Kind kind;
    const char* choices; // the values it takes, "a|b|c"; nullptr: any
};

constexpr std::array kStepNames {
    StepName { u"--trim", ListStep::Kind::Trim, "root|host|path" },
    StepName { u"--unique", ListStep::Kind::Unique, "address|host|domain" },
    StepName { u"--keep-tld", ListStep::Kind::KeepTld, nullptr },
    StepName { u"--drop-tld", ListStep::Kind::DropTld, nullptr },
    StepName { u"--keep-containing", ListStep::Kind::KeepContaining, nullptr },
    StepName { u"--drop-containing", ListStep::Kind::DropContaining, nullptr },
    StepName { u"--keep-matching", ListStep::Kind::KeepMatching, nullptr },
    StepName { u"--drop-matching", ListStep::Kind::DropMatching, nullptr },
    StepName { u"--keep-listed", ListStep::Kind::KeepListed, nullptr },
    StepName { u"--drop-listed", ListStep::Kind::DropListed, nullptr },
};

const StepName* stepNamed(const QString& word)
{
    for (const StepName& step : kStepNames) {
        if (word == QStringView(step.name))
            return &step;
    }
    return nullptr;
}

bool isChoice(const char* choices, const QString& value)
{
    return QString::fromLatin1(choices).split(QLatin1Char('|')).contains(value);
}

// Takes one step with its value; the complaint when it does not fit.
std::optional<QString> takeStep(const StepName& step, const QString& value, ListArguments& arguments)
{
    const QString name = QString::fromUtf16(step.name);
    if (step.choices && !isChoice(step.choices, value))
        return QStringLiteral("%1 is %2: %3").arg(name, QString::fromLatin1(step.choices), value);
    if (value.isEmpty())
        return QStringLiteral("%1 needs a value, not an empty word").arg(name);
    if (step.kind == ListStep::Kind::KeepMatching || step.kind == ListStep::Kind::DropMatching) {
        try {
            LinePattern check(value);
        } catch (const text::AppError& e) {
            return QStringLiteral("%1: %2").arg(name, e.message());
        }
    }
    arguments.steps.push_back({ step.kind, value });
    return std::nullopt;
}

// Takes -o, --memory, --split or --count; the complaint when it does not fit.
std::optional<QString> takeOption(const QString& name, const QString& value, ListArguments& arguments)
{
    if (name == u"-o") {
        if (!arguments.target.isEmpty())
            return QStringLiteral("-o given twice");
        arguments.target = value;
    } else if (name == u"--memory") {
        const std::optional<qint64> size = parseMemorySize(value);
        if (!size)
            return QStringLiteral("--memory needs a size in bytes, or with K, M or G (512M, 4G): %1")
                .arg(value);
        arguments.memoryBudget = *size;
    } else if (name == u"--split") {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok || n < 1 || value.startsWith(QLatin1Char('+')))
            return QStringLiteral("--split needs a whole number of lines from 1: %1").arg(value);
        arguments.split = n;
    } else {
        if (!isChoice("host|domain|tld", value))
            return QStringLiteral("--count is host|domain|tld: %1").arg(value);
        arguments.count = value;
    }
    return std::nullopt;
}

} // namespace

std::optional<ListArguments> parseListArguments(const QStringList& words, QString* whatIsWrong)
{
    auto wrong = [whatIsWrong](const QString& message) -> std::optional<ListArguments> {
        if (whatIsWrong)
            *whatIsWrong = message;
        return std::nullopt;
    };
    static const QStringList options { QStringLiteral("-o"), QStringLiteral("--memory"),
        QStringLiteral("--split"), QStringLiteral("--count") };
    ListArguments arguments;
    qsizetype i = 0;
    for (; i < words.size() && words[i].startsWith(QLatin1Char('-')); ++i) {
        const QString& word = words[i];
        if (word == u"--sort") {
            arguments.steps.push_back({ ListStep::Kind::Sort, {} });
            continue;
        }
        const StepName* step = stepNamed(word);
        if (!step && !options.contains(word))
            return wrong(QStringLiteral("unknown option %1").arg(word));
        if (i + 1 >= words.size())
            return wrong(QStringLiteral("%1 needs a value").arg(word));
        const QString& value = words[++i];
        if (const std::optional<QString> complaint
            = step ? takeStep(*step, value, arguments) : takeOption(word, value, arguments))
            return wrong(*complaint);
    }
    if (arguments.target.isEmpty())
        return wrong(QStringLiteral("-o TARGET is missing"));
    if (arguments.split > 0 && !arguments.count.isEmpty())
        return wrong(QStringLiteral("--split and --count exclude each other: choose one"));
    if (i >= words.size())
        return wrong(QStringLiteral("no SOURCE to list"));
    arguments.sources = words.mid(i);
    return arguments;
}

const char* listUsage()
{
    return "usage: tessaroon list [STEP...] -o TARGET [--memory SIZE] SOURCE...\n"
           "Streams the address lists SOURCE... through the steps, in the order given,\n"
           "into TARGET (CR LF after every line). Steps:\n"
           "  --trim root|host|path       --unique address|host|domain  --sort\n"
           "  --keep-tld LIST             --drop-tld LIST               (cn,com.cn,gov)\n"
           "  --keep-containing WORDS     --drop-containing WORDS       (letter case ignored)\n"
           "  --keep-matching RE          --drop-matching RE            (PCRE2, on the bytes)\n"
           "  --keep-listed FILE          --drop-listed FILE            (domains, addresses)\n"
           "The result: --split N writes parts of N lines (NAME-001.txt ...); --count\n"
           "host|domain|tld writes \"count TAB key\" lines, largest first. --memory SIZE\n"
           "(512M, 4G; default half the physical memory) bounds what --unique and --sort\n"
           "hold; past it they work in a temporary file in TMPDIR, else beside TARGET.\n";
}

} // namespace tess::tools
