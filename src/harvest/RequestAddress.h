#pragma once

#include "harvest/RuleSet.h"

#include <QByteArray>

#include <optional>

namespace tess::harvest {

// The engine's public web host, used unless the user names another.
inline constexpr char DefaultEngineHost[] = "www.baidu.com";

// A keyword as the run takes it: blanks and control characters removed
// from both ends.
QByteArray TrimKeyword(const QByteArray& keyword);

// The request address of a keyword without its offset:
// "http://" + host + "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=" + the
// URL-encoded GBK keyword + "&pn=". "ie=gb2312" tells the engine the
// keyword bytes are GBK; "rn=10" asks for ten results a page.
QByteArray BuildRequestBase(const QByteArray& engineHost, const QByteArray& trimmedKeyword);

// RequestBase + the offset in decimal + "&cl=3".
QByteArray RequestAddress(const QByteArray& requestBase, int pageOffset);

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
std::optional<EngineAddress> ParseEngineAddress(const QByteArray& text);

// The request address of a keyword under a rule set, without its offset:
// scheme "://" host + requestPath + the URL-encoded GBK keyword + pageKey.
QByteArray BuildRequestBase(
    const RuleSet& rules, const EngineAddress& engine, const QByteArray& trimmedKeyword);

// RequestBase + the offset in decimal + the rule set's requestTail.
QByteArray RequestAddress(const RuleSet& rules, const QByteArray& requestBase, int pageOffset);

} // namespace tess::harvest
