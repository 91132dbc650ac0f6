#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace tess::harvest {

// What a harvested link was on its page.
enum class RowKind {
    Result, // a link of an organic result the rule set can place
    Ad, // a link of an advertisement the rule set can tell
    Link, // any other outbound link of the page
};

// "result", "ad", "link": the names the saved files use.
QLatin1StringView rowKindName(RowKind kind);
std::optional<RowKind> rowKindNamed(QStringView name);

// One harvested row with where it came from.
struct HarvestedRow {
    QByteArray address = {}; // GBK, as harvested
    QByteArray title = {}; // the link text, GBK
    QByteArray keyword = {}; // GBK, trimmed
    QString engine = {}; // the rule set's name ("today"); empty when not known
    int page = 0; // the result page, from 1; 0 when not known
    // The organic rank across the keyword's pages on its engine (1: the
    // first organic result of page 1); 0 when the rule set cannot place it.
    int rank = 0;
    RowKind kind = RowKind::Link;
    QDateTime time = {}; // when harvested, with the local offset; invalid when not known
};

using HarvestedRows = QList<HarvestedRow>;

// ISO 8601 with the UTC offset ("2026-12-08T22:30:05+08:00"), whatever the
// time's zone; empty for an invalid time.
QString rowTimeText(const QDateTime& time);

} // namespace tess::harvest
