#include "harvest/SearchEngine.h"

#include <QStringList>

namespace tess::harvest {

SearchEngine engineOnDefaultHost(const RuleSet& rules) { return { rules, { {}, rules.defaultHost } }; }

std::optional<QString> applyEngineHosts(QList<SearchEngine>& engines, const QList<QByteArray>& items)
{
    for (const QByteArray& item : items) {
        const qsizetype equals = item.indexOf('=');
        const QString name = equals < 0 ? QString() : QString::fromUtf8(item.left(equals));
        const QByteArray address = equals < 0 ? item : item.mid(equals + 1);
        const std::optional<EngineAddress> parsed = parseEngineAddress(address);
        if (!parsed)
            return QStringLiteral("not an engine address: %1").arg(QString::fromUtf8(address));
        bool found = false;
        for (SearchEngine& engine : engines) {
            // "baidu" is today's set under the engine's own name.
            if (name.isEmpty() || engine.rules.name == name
                || (name == kTodayAlias && engine.rules.name == todayRules().name)) {
                engine.address = *parsed;
                found = true;
            }
        }
        if (!found && !name.isEmpty()) {
            QStringList chosen;
            for (const SearchEngine& engine : std::as_const(engines))
                chosen << engine.rules.name;
            return QStringLiteral("--engine-host names %1, which is not among the chosen rule sets (%2)")
                .arg(name, chosen.join(QStringLiteral(", ")));
        }
    }
    return std::nullopt;
}

} // namespace tess::harvest
