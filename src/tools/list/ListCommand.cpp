#include "tools/list/ListCommand.h"

#include "io/FileReplace.h"
#include "io/PathName.h"
#include "sites/SiteAddress.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "tools/list/LinePattern.h"
#include "tools/list/LineSteps.h"
#include "tools/list/SortStep.h"
#include "tools/list/UniqueLines.h"
#include "tools/merge/AddressMerge.h"
#include "tools/merge/MemoryBudget.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <new>
#include <unistd.h>

namespace tess::tools {

namespace {

// Looks at the stop flag every few thousand lines, the first included, so
// a stop is seen within moments without a look at every line.
class StopCheck {
public:
    explicit StopCheck(const std::atomic<bool>* flag)
        : m_flag(flag)
    {
    }
    void operator()()
    {
        if (m_flag && (m_lines++ & 0xfff) == 0 && m_flag->load(std::memory_order_relaxed))
            throw MergeCancelled();
    }

private:
    const std::atomic<bool>* m_flag;
    qint64 m_lines = 0;
};

// Passes the lines on, stopping when asked: after the steps that hold
// every line (--sort, --unique) the lines come out here.
class StopStep final : public LineStream {
public:
    StopStep(LineStream& lines, const std::atomic<bool>* flag)
        : m_lines(lines)
        , m_check(flag)
    {
    }
    bool next(ListLine& line) override
    {
        m_check();
        return m_lines.next(line);
    }

private:
    LineStream& m_lines;
    StopCheck m_check;
};

// Counts the lines read and those without a host, and tells how far the
// sources are read.
class InputStep final : public LineStream {
public:
    InputStep(SourceLines& source, const QStringList& paths, const std::function<void(int)>& progress,
        const std::atomic<bool>* stop)
        : m_source(source)
        , m_progress(progress)
        , m_stop(stop)
    {
        for (const QString& path : paths) {
            const QFileInfo info(path);
            m_total += info.size();
            m_known = m_known && info.isFile();
        }
    }
    bool next(ListLine& line) override
    {
        m_stop();
        if (!m_source.next(line))
            return false;
        if (!line.site())
            ++m_withoutHost;
        if (m_progress && (m_source.linesRead() & 0xffff) == 0) {
            const int percent = m_known && m_total > 0
                ? int(std::min<qint64>(100, m_source.bytesRead() * 100 / m_total))
                : -1;
            if (percent != m_shown)
                m_progress(m_shown = percent);
        }
        return true;
    }
    qint64 withoutHost() const { return m_withoutHost; }

private:
    SourceLines& m_source;
    const std::function<void(int)>& m_progress;
    StopCheck m_stop;
    qint64 m_total = 0;
    bool m_known = true;
    qint64 m_withoutHost = 0;
    int m_shown = -2;
};

LineKey keyNamed(const QString& name)
{
    if (name == u"address")
        return LineKey::Address;
    if (name == u"host")
        return LineKey::Host;
    return name == u"domain" ? LineKey::Domain : LineKey::Suffix;
}

QByteArrayList wordsOf(const QString& list)
{
    QByteArrayList words;
    for (const QString& word : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        words.append(text::toGbk(word));
    return words;
}

// The steps in the order given, each reading from the one before.
class Pipeline {
public:
    Pipeline(const ListArguments& arguments, const ListOptions& options)
        : m_source(arguments.sources, options.sourceOptions)
        , m_input(m_source, arguments.sources, options.progress, options.cancel)
    {
        const qint64 budget = options.memoryBudget > 0 ? options.memoryBudget : defaultMemoryBudget();
        const auto holders
            = std::count_if(arguments.steps.begin(), arguments.steps.end(), [](const ListStep& s) {
                  return s.kind == ListStep::Kind::Unique || s.kind == ListStep::Kind::Sort;
              });
        const qint64 share = budget / std::max<qint64>(1, holders);
        for (const ListStep& step : arguments.steps)
            add(step, share, options.spillFolder, arguments.target);
        m_output = std::make_unique<StopStep>(last(), options.cancel);
    }
    // What the writers read.
    LineStream& output() { return *m_output; }
    qint64 linesIn() const { return m_source.linesRead(); }
    qint64 withoutHost() const { return m_input.withoutHost(); }

private:
    LineStream& last() { return m_steps.empty() ? static_cast<LineStream&>(m_input) : *m_steps.back(); }
    void add(const ListStep& step, qint64 share, const QString& folder, const QString& target);
    void addFilter(bool keep, std::function<bool(ListLine&)> test)
    {
        m_steps.push_back(std::make_unique<FilterStep>(
            last(), [keep, test = std::move(test)](ListLine& line) { return test(line) == keep; }));
    }

    SourceLines m_source;
    InputStep m_input;
    std::vector<std::unique_ptr<LineStream>> m_steps;
    std::unique_ptr<LineStream> m_output;
};

void Pipeline::add(const ListStep& step, qint64 share, const QString& folder, const QString& target)
{
    using Kind = ListStep::Kind;
    switch (step.kind) {
    case Kind::Trim: {
        const TrimTo to
            = step.value == u"root" ? TrimTo::Root : (step.value == u"host" ? TrimTo::Host : TrimTo::Path);
        m_steps.push_back(std::make_unique<TrimStep>(last(), to));
        break;
    }
    case Kind::Unique:
        m_steps.push_back(std::make_unique<UniqueStep>(last(), keyNamed(step.value), share, folder, target));
        break;
    case Kind::Sort:
        m_steps.push_back(std::make_unique<SortStep>(last(), share, folder));
        break;
    case Kind::KeepTld:
    case Kind::DropTld: {
        auto suffixes = std::make_shared<const QSet<QByteArray>>(suffixSet(step.value));
        addFilter(step.kind == Kind::KeepTld, [suffixes](ListLine& line) {
            return line.site() && suffixes->contains(sites::publicSuffix(*line.site()));
        });
        break;
    }
    case Kind::KeepContaining:
    case Kind::DropContaining: {
        auto words = std::make_shared<const WordFinder>(wordsOf(step.value));
        addFilter(step.kind == Kind::KeepContaining,
            [words](ListLine& line) { return words->foundIn(line.text()); });
        break;
    }
    case Kind::KeepMatching:
    case Kind::DropMatching: {
        auto pattern = std::make_shared<const LinePattern>(step.value);
        addFilter(step.kind == Kind::KeepMatching,
            [pattern](ListLine& line) { return pattern->matches(line.text()); });
        break;
    }
    case Kind::KeepListed:
    case Kind::DropListed: {
        auto list = std::make_shared<const sites::SiteList>(sites::SiteList::load(step.value));
        addFilter(
            step.kind == Kind::KeepListed, [list](ListLine& line) { return list->matches(line.text()); });
        break;
    }
    }
}

qint64 writeList(LineStream& lines, const QString& target)
{
    qint64 written = 0;
    io::replaceFile(
        target,
        [&](io::ContentSink& sink) {
            LineWriter writer(sink);
            for (ListLine line; lines.next(line); ++written)
                writer.write(line.text());
            writer.flush();
        },
        0);
    return written;
}

// Parts of at most `size` lines; one empty part when there are no lines.
qint64 writeSplit(LineStream& lines, const QString& target, qint64 size)
{
    qint64 written = 0;
    ListLine line;
    bool pending = lines.next(line);
    for (qint64 part = 1; part == 1 || pending; ++part) {
        io::replaceFile(
            splitPartName(target, part),
            [&](io::ContentSink& sink) {
                LineWriter writer(sink);
                for (qint64 n = 0; pending && n < size; ++n, ++written) {
                    writer.write(line.text());
                    pending = lines.next(line);
                }
                writer.flush();
            },
            0);
    }
    return written;
}

qint64 writeCounts(LineStream& lines, const QString& target, LineKey kind)
{
    QHash<QByteArray, qint64> counts;
    for (ListLine line; lines.next(line);) {
        const QByteArray key = lineKey(line, kind);
        if (!key.isEmpty())
            ++counts[key];
    }
    std::vector<std::pair<qint64, QByteArray>> rows;
    rows.reserve(size_t(counts.size()));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        rows.emplace_back(it.value(), it.key());
    counts.clear();
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    io::replaceFile(
        target,
        [&](io::ContentSink& sink) {
            LineWriter writer(sink);
            for (const auto& [count, key] : rows)
                writer.write(QByteArray::number(count) + '\t' + key);
            writer.flush();
        },
        0);
    return qint64(rows.size());
}

} // namespace

QString splitPartName(const QString& target, qint64 number)
{
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    qsizetype dot = target.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the name (".list") is no extension.
    if (dot <= slash + 1)
        dot = target.size();
    return target.left(dot) + QStringLiteral("-%1").arg(number, 3, 10, QLatin1Char('0')) + target.mid(dot);
}

ListCounts runList(const ListArguments& arguments, const ListOptions& options)
{
    Pipeline pipeline(arguments, options);
    ListCounts counts;
    if (!arguments.count.isEmpty())
        counts.linesOut = writeCounts(pipeline.output(), arguments.target,
            keyNamed(arguments.count == u"tld" ? QStringLiteral("suffix") : arguments.count));
    else if (arguments.split > 0)
        counts.linesOut = writeSplit(pipeline.output(), arguments.target, arguments.split);
    else
        counts.linesOut = writeList(pipeline.output(), arguments.target);
    counts.linesIn = pipeline.linesIn();
    counts.withoutHost = pipeline.withoutHost();
    return counts;
}

QString listDoneText(const ListCounts& counts)
{
    return QStringLiteral("list done: %1 lines in, %2 lines out, %3 without a host")
        .arg(counts.linesIn)
        .arg(counts.linesOut)
        .arg(counts.withoutHost);
}

int runListCommand(const ListArguments& arguments, FILE* out, FILE* err)
{
    const bool terminal = ::isatty(::fileno(err)) == 1;
    bool dirty = false;
    auto clear = [&] {
        if (dirty)
            std::fputs("\r\033[K", err);
        dirty = false;
    };
    ListOptions options;
    options.memoryBudget = raisedToMinimum(arguments.memoryBudget, err);
    options.sourceOptions.allowPipes = true;
    if (terminal) {
        options.progress = [&](int percent) {
            QString text = QStringLiteral("\r数据正处理中...");
            if (percent >= 0)
                text += QStringLiteral(" %1%").arg(percent, 3);
            std::fputs(io::encodePath(text).constData(), err);
            std::fflush(err);
            dirty = true;
        };
    }
    try {
        const ListCounts counts = runList(arguments, options);
        clear();
        std::fprintf(out, "%s\n", io::encodePath(listDoneText(counts)).constData());
        return 0;
    } catch (const text::AppError& e) {
        clear();
        std::fprintf(err, "%s\n", io::encodePath(e.message()).constData());
    } catch (const std::bad_alloc&) {
        clear();
        std::fputs("Out of memory\n", err);
    } catch (const std::exception& e) {
        clear();
        std::fprintf(err, "%s\n", e.what());
    }
    return 1;
}

} // namespace tess::tools
