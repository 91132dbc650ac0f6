#include "harvest/RequestAddress.h"

#include "components/urlencoder/UrlEncoder.h"
#include "text/Gbk.h"

#include <algorithm>

namespace tess::harvest {

QByteArray trimKeyword(const QByteArray& keyword)
{
    qsizetype begin = 0;
    qsizetype end = keyword.size();
    while (begin < end && static_cast<unsigned char>(keyword[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(keyword[end - 1]) <= ' ')
        --end;
    return keyword.mid(begin, end - begin);
}

std::optional<EngineAddress> parseEngineAddress(const QByteArray& text)
{
    EngineAddress out;
    QByteArray rest = text;
    for (const char* scheme : { "http", "https" }) {
        const QByteArray prefix = QByteArray(scheme) + "://";
        if (rest.startsWith(prefix)) {
            out.scheme = scheme;
            rest = rest.mid(prefix.size());
            break;
        }
    }
    if (rest.endsWith('/'))
        rest.chop(1);
    const bool plain = std::all_of(rest.begin(), rest.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > ' ' && u < 0x7F && c != '/' && c != '?' && c != '#' && c != '@' && c != '\\';
    });
    if (rest.isEmpty() || rest.startsWith(':') || !plain)
        return std::nullopt;
    out.host = rest;
    return out;
}

QByteArray buildRequestBase(
    const RuleSet& rules, const EngineAddress& engine, const QByteArray& trimmedKeyword)
{
    components::UrlEncoder encoder;
    encoder.inputString = rules.keywordEncoding == RuleSet::KeywordEncoding::Utf8
        ? text::fromGbk(trimmedKeyword).toUtf8()
        : trimmedKeyword;
    const QByteArray& scheme = engine.scheme.isEmpty() ? rules.scheme : engine.scheme;
    return scheme + "://" + engine.host + rules.requestPath + encoder.encode() + rules.pageKey;
}

qint64 pageKeyValue(const RuleSet& rules, int pageIndex)
{
    const qint64 offset = qint64(pageIndex) * rules.resultsPerPage;
    switch (rules.pageNumbering) {
    case RuleSet::PageNumbering::PageFromOne:
        return qint64(pageIndex) + 1;
    case RuleSet::PageNumbering::OffsetFromOne:
        return offset + 1;
    case RuleSet::PageNumbering::OffsetFromZero:
        break;
    }
    return offset;
}

QByteArray requestAddress(const RuleSet& rules, const QByteArray& requestBase, int pageIndex)
{
    return requestBase + QByteArray::number(pageKeyValue(rules, pageIndex)) + rules.requestTail;
}

} // namespace tess::harvest
