#include "tools/merge/MergeCommand.h"

#include "text/Errors.h"
#include "text/PathName.h"
#include "tools/merge/AddressMerge.h"

#include <new>

namespace tess::tools {

std::optional<MergeArguments> parseMergeArguments(const QStringList& words)
{
    if (words.size() < 3 || words[0] != u"-o" || words[1].isEmpty())
        return std::nullopt;
    return MergeArguments { words[1], words.mid(2) };
}

const char* mergeUsage()
{
    return "usage: tessaroon merge -o TARGET SOURCE...\n"
           "Merges the address lists SOURCE... into TARGET: distinct lines, letter case\n"
           "ignored, in ascending order, each line ended with CR LF.\n";
}

int runMergeCommand(const MergeArguments& arguments, FILE* out, FILE* err)
{
    MergeReport report;
    report.finished
        = [out](const QString& text) { std::fprintf(out, "%s\n", text::encodePath(text).constData()); };
    try {
        // A pipe given on purpose (/dev/stdin, a process substitution) is a
        // source like any other here; the window takes files only.
        text::ReadOptions sources;
        sources.allowPipes = true;
        mergeFiles(arguments.sources, arguments.target, report, sources);
        return 0;
    } catch (const text::AppError& e) {
        // File names in the message go out as the bytes they were given as.
        std::fprintf(err, "%s\n", text::encodePath(e.message()).constData());
    } catch (const std::bad_alloc&) {
        std::fputs("Out of memory\n", err);
    } catch (const std::exception& e) {
        std::fprintf(err, "%s\n", e.what());
    }
    return 1;
}

} // namespace tess::tools
