#pragma once

#include "harvest/RequestAddress.h"
#include "harvest/RuleSet.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tess::harvest {

// One engine a run asks: the rule set its pages are asked for and read by,
// and where it is asked.
struct SearchEngine {
    RuleSet rules;
    EngineAddress address;
};

// An engine asked on its rule set's own public host.
SearchEngine engineOnDefaultHost(const RuleSet& rules);

// Points the engines at the hosts the user named: each item is
// "[NAME=]ADDRESS" (parseEngineAddress). Without a name the address applies
// to every engine, with one to that engine only; a later item wins over an
// earlier one. The message when an item does not fit: an address that does
// not parse, a name that is not among the engines.
std::optional<QString> applyEngineHosts(QList<SearchEngine>& engines, const QList<QByteArray>& items);

} // namespace tess::harvest
