#pragma once

#include "harvest/RuleSet.h"

#include <QByteArray>

#include <optional>

namespace tess::harvest {

// The engine's public web host, used unless the user names another.
inline constexpr char kDefaultEngineHost[] = "www.baidu.com";

// A keyword as the run takes it: blanks and control characters removed
// from both ends.
QByteArray trimKeyword(const QByteArray& keyword);

// Where the engine is asked: its host (and port), and the scheme when the
// user named one ("http://127.0.0.1:8642"), which then wins over the rule
// set's.
struct EngineAddress {
    QByteArray scheme; // "http", "https" or empty
    QByteArray host;
};

// Reads "HOST[:PORT]", "http://HOST[:PORT]" or "https://HOST[:PORT]" (a
// final "/" allowed). Nothing for anything else: another scheme, a path,
// an empty host, blanks or control characters.
std::optional<EngineAddress> parseEngineAddress(const QByteArray& text);

// The request address of a keyword under a rule set, without its page:
// scheme "://" host + requestPath + the URL-encoded keyword (GBK, or UTF-8
// as the rule set says) + pageKey.
QByteArray buildRequestBase(
    const RuleSet& rules, const EngineAddress& engine, const QByteArray& trimmedKeyword);

// The page key's value for the page at `pageIndex` (the first page is 0),
// as the rule set counts pages.
qint64 pageKeyValue(const RuleSet& rules, int pageIndex);

// The request base + the page key's value in decimal + the rule set's
// requestTail.
QByteArray requestAddress(const RuleSet& rules, const QByteArray& requestBase, int pageIndex);

} // namespace tess::harvest
