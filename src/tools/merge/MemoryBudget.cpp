#include "tools/merge/MemoryBudget.h"

#include <unistd.h>

namespace tess::tools {

std::optional<qint64> parseMemorySize(const QString& text)
{
    QString number = text.trimmed().toUpper();
    if (number.endsWith(u"IB"))
        number.chop(2);
    else if (number.endsWith(u'B'))
        number.chop(1);
    int shift = 0;
    if (!number.isEmpty()) {
        switch (number.back().unicode()) {
        case u'K':
            shift = 10;
            break;
        case u'M':
            shift = 20;
            break;
        case u'G':
            shift = 30;
            break;
        case u'T':
            shift = 40;
            break;
        default:
            break;
        }
    }
    if (shift)
        number.chop(1);
    if (number.isEmpty())
        return std::nullopt;
    for (const QChar c : number)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    bool ok = false;
    const qint64 value = number.toLongLong(&ok);
    if (!ok || value <= 0 || value > (qint64(1) << (62 - shift)))
        return std::nullopt;
    return value << shift;
}

qint64 defaultMemoryBudget()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return qint64(1) << 30;
    return static_cast<qint64>(pages) * pageSize / 2;
}

} // namespace tess::tools
