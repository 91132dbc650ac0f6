#include "tools/merge/MergeCommand.h"

#include "text/Errors.h"
#include "tools/merge/AddressMerge.h"

#include <new>

namespace tess::tools {

int mergeMain(const QStringList& args, FILE* out, FILE* err)
{
    if (args.size() < 4 || args[0] != u"merge" || args[1] != u"-o" || args[2].isEmpty()) {
        std::fputs("usage: tessaroon merge -o TARGET SOURCE...\n"
                   "Merges the address lists SOURCE... into TARGET: distinct lines, letter case\n"
                   "ignored, in ascending order, each line ended with CR LF.\n",
            err);
        return 2;
    }
    try {
        const qsizetype count = mergeFiles(args.mid(3), args[2]);
        std::fprintf(
            out, "%s\n", QStringLiteral("文件合并整理完毕！共计：%1").arg(count).toLocal8Bit().constData());
        return 0;
    } catch (const text::AppError& e) {
        std::fprintf(err, "%s\n", e.message().toLocal8Bit().constData());
    } catch (const std::bad_alloc&) {
        std::fputs("Out of memory\n", err);
    } catch (const std::exception& e) {
        std::fprintf(err, "%s\n", e.what());
    }
    return 1;
}

} // namespace tess::tools
