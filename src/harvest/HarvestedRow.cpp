#include "harvest/HarvestedRow.h"

namespace tess::harvest {

namespace {

constexpr QLatin1StringView kKindNames[] = {
    QLatin1StringView("result"),
    QLatin1StringView("ad"),
    QLatin1StringView("link"),
};

} // namespace

QLatin1StringView rowKindName(RowKind kind) { return kKindNames[static_cast<int>(kind)]; }

std::optional<RowKind> rowKindNamed(QStringView name)
{
    for (int i = 0; i < 3; ++i)
        if (name == kKindNames[i])
            return static_cast<RowKind>(i);
    return std::nullopt;
}

QString rowTimeText(const QDateTime& time)
{
    if (!time.isValid())
        return {};
    // A local time says no offset in ISO form; one fixed at its offset does.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace tess::harvest
