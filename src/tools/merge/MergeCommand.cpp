#include "tools/merge/MergeCommand.h"

#include "io/PathName.h"
#include "text/Errors.h"
#include "tools/merge/AddressMerge.h"
#include "tools/merge/MemoryBudget.h"

#include <new>
#include <unistd.h>

namespace tess::tools {

std::optional<MergeArguments> parseMergeArguments(const QStringList& words, QString* whatIsWrong)
{
    auto wrong = [whatIsWrong](const QString& message) -> std::optional<MergeArguments> {
        if (whatIsWrong)
            *whatIsWrong = message;
        return std::nullopt;
    };
    // The options, in either order, come before the sources.
    MergeArguments arguments;
    qsizetype i = 0;
    bool haveTarget = false;
    bool haveBudget = false;
    for (; i < words.size() && (words[i] == u"-o" || words[i] == u"--memory"); i += 2) {
        const bool target = words[i] == u"-o";
        if (target ? haveTarget : haveBudget)
            return wrong(QStringLiteral("%1 given twice").arg(words[i]));
        if (i + 1 >= words.size())
            return wrong(QStringLiteral("%1 needs a value").arg(words[i]));
        if (target) {
            arguments.target = words[i + 1];
            haveTarget = true;
            continue;
        }
        const std::optional<qint64> size = parseMemorySize(words[i + 1]);
        if (!size)
            return wrong(QStringLiteral("--memory needs a size in bytes, or with K, M or G (512M, 4G): %1")
                             .arg(words[i + 1]));
        arguments.memoryBudget = *size;
        haveBudget = true;
    }
    if (!haveTarget || arguments.target.isEmpty())
        return wrong(QStringLiteral("-o TARGET is missing"));
    if (i >= words.size())
        return wrong(QStringLiteral("no SOURCE to merge"));
    arguments.sources = words.mid(i);
    return arguments;
}

const char* mergeUsage()
{
    return "usage: tessaroon merge -o TARGET [--memory SIZE] SOURCE...\n"
           "Merges the address lists SOURCE... into TARGET: distinct lines, letter case\n"
           "ignored, in ascending order, each line ended with CR LF. --memory SIZE (such\n"
           "as 512M or 4G; default half the physical memory; at least 16M) bounds the\n"
           "memory the merge holds; larger lists are sorted in parts kept in a temporary\n"
           "file in TMPDIR, else beside TARGET.\n";
}

namespace {

// One line on the terminal, written over as the merge goes on.
class ProgressLine {
public:
    explicit ProgressLine(FILE* err)
        : m_err(err)
        , m_shown(::isatty(::fileno(err)) == 1)
    {
    }
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool shown() const { return m_shown; }
    void show(MergePhase phase, int percent)
    {
        QString text = QStringLiteral("\r数据正处理中... ")
            + (phase == MergePhase::Sorting ? QStringLiteral("排序") : QStringLiteral("合并"));
        if (percent >= 0)
            text += QStringLiteral(" %1%").arg(percent, 3);
        // In the terminal's encoding, as the completion text goes out.
        std::fputs(io::encodePath(text).constData(), m_err);
        std::fflush(m_err);
        m_dirty = true;
    }
    void clear()
    {
        if (!m_dirty)
            return;
        std::fputs("\r\033[K", m_err);
        std::fflush(m_err);
        m_dirty = false;
    }

private:
    FILE* m_err;
    bool m_shown;
    bool m_dirty = false;
};

} // namespace

int runMergeCommand(const MergeArguments& arguments, FILE* out, FILE* err)
{
    ProgressLine progress(err);
    MergeReport report;
    report.finished = [out, &progress](const QString& text) {
        progress.clear();
        std::fprintf(out, "%s\n", io::encodePath(text).constData());
    };
    try {
        MergeOptions options;
        options.memoryBudget = raisedToMinimum(arguments.memoryBudget, err);
        // A pipe given on purpose (/dev/stdin, a process substitution) is a
        // source like any other here; the window takes files only.
        options.sourceOptions.allowPipes = true;
        if (progress.shown())
            options.progress = [&progress](MergePhase phase, int percent) { progress.show(phase, percent); };
        mergeFiles(arguments.sources, arguments.target, report, options);
        return 0;
    } catch (const text::AppError& e) {
        progress.clear();
        // File names in the message go out as the bytes they were given as.
        std::fprintf(err, "%s\n", io::encodePath(e.message()).constData());
    } catch (const std::bad_alloc&) {
        progress.clear();
        std::fputs("Out of memory\n", err);
    } catch (const std::exception& e) {
        progress.clear();
        std::fprintf(err, "%s\n", e.what());
    }
    return 1;
}

} // namespace tess::tools
