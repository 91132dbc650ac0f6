#include "harvest/PageReader.h"

#include "harvest/LinkTarget.h"

#include "text/CaseKey.h"
#include "text/Gbk.h"

#include <QUrl>

#include <algorithm>
#include <functional>

namespace tess::harvest {
namespace {

// "上一页", "下一页" in GBK.
const QByteArray kPreviousPage("\xC9\xCF\xD2\xBB\xD2\xB3");
const QByteArray kNextPage("\xCF\xC2\xD2\xBB\xD2\xB3");

} // namespace

bool readPagerState(const QByteArray& bodyText)
{
    bool more = false;
    qsizetype start = 0;
    while (start <= bodyText.size()) {
        qsizetype end = start;
        while (end < bodyText.size() && bodyText[end] != '\r' && bodyText[end] != '\n')
            ++end;
        const QByteArrayView line(bodyText.constData() + start, end - start);
        if (line.contains(kNextPage) && line.contains('[') && line.contains(']')
            && (line.startsWith(kPreviousPage) || line.startsWith('1')))
            more = true;
        if (end >= bodyText.size())
            break;
        // CR LF ends one line; so does a lone CR or LF.
        start = end + 1;
        if (bodyText[end] == '\r' && start < bodyText.size() && bodyText[start] == '\n')
            ++start;
    }
    return more;
}

QByteArray siteDomain(const QByteArray& location)
{
    const qsizetype slashes = location.indexOf("//");
    QByteArray s = slashes >= 0 ? location.mid(slashes + 2, 255) : location.mid(1, 255);
    const qsizetype slash = s.indexOf('/');
    s = slash >= 0 ? s.left(slash) : QByteArray();
    for (int i = 0; i < 6; ++i) {
        const qsizetype dot = s.indexOf('.');
        if (dot <= 0)
            continue;
        const QByteArray rest = s.mid(dot + 1);
        const qsizetype nextDot = rest.indexOf('.');
        if (nextDot > 0)
            s = rest;
    }
    return s;
}

bool isOutboundLink(const QByteArray& href, const QByteArray& siteDomain)
{
    return href.startsWith("http://") && (siteDomain.isEmpty() || !href.contains(siteDomain));
}

bool hasControlCharacter(QByteArrayView s)
{
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

QByteArray escapeForAddress(const QByteArray& address)
{
    static constexpr QByteArrayView kEscaped(" \"<>\\^`{|}");
    static const char kHexDigits[] = "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(address.size());
    for (const char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || kEscaped.contains(c)) {
            escaped += '%';
            escaped += kHexDigits[u >> 4];
            escaped += kHexDigits[u & 0xf];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool isAcceptableTarget(const QByteArray& address)
{
    if (hasControlCharacter(address))
        return false;
    // What is left once escaped as a browser would must parse strictly.
    const QUrl url = QUrl::fromEncoded(escapeForAddress(address), QUrl::StrictMode);
    const QString scheme = url.scheme();
    return url.isValid() && !url.isRelative() && (scheme == u"http" || scheme == u"https")
        && !url.host().isEmpty();
}

QByteArray hostOf(const QByteArray& address)
{
    const qsizetype slashes = address.indexOf("//");
    if (slashes < 0)
        return {};
    const qsizetype scheme = address.indexOf(':');
    if (scheme < 0 || scheme + 1 != slashes)
        return {};
    const qsizetype start = slashes + 2;
    qsizetype end = start;
    while (end < address.size() && address[end] != '/' && address[end] != '?' && address[end] != '#')
        ++end;
    QByteArray host = address.mid(start, end - start).toLower();
    // Credentials are not part of the host.
    const qsizetype at = host.lastIndexOf('@');
    return at >= 0 ? host.mid(at + 1) : host;
}

namespace {

QByteArray withoutPort(const QByteArray& host)
{
    const qsizetype colon = host.lastIndexOf(':');
    // An IPv6 literal keeps its colons inside brackets.
    return colon >= 0 && !host.mid(colon).contains(']') ? host.left(colon) : host;
}

bool isOrUnder(const QByteArray& hostName, const QByteArray& domain)
{
    return hostName == domain
        || (hostName.size() > domain.size() && hostName.endsWith(domain)
            && hostName[hostName.size() - domain.size() - 1] == '.');
}

bool onHosts(const QByteArray& hostName, const QList<QByteArray>& domains)
{
    return std::any_of(
        domains.begin(), domains.end(), [&](const QByteArray& d) { return isOrUnder(hostName, d); });
}

} // namespace

PageRules::PageRules(const RuleSet& rules, const QByteArray& engineHost, const QByteArray& pageLocation)
    : m_rules(rules)
    , m_engineHost(engineHost.toLower())
    , m_engineHostName(withoutPort(m_engineHost))
    , m_siteDomain(siteDomain(pageLocation))
{
}

bool PageRules::isOwn(const QByteArray& href) const
{
    if (m_rules.ownLinks == RuleSet::OwnLinks::PageDomainAnywhere)
        return !m_siteDomain.isEmpty() && href.contains(m_siteDomain);
    const QByteArray hostName = withoutPort(hostOf(href));
    return hostName == m_engineHostName || onHosts(hostName, m_rules.ownHosts);
}

bool PageRules::isWeb(const QByteArray& href) const
{
    return std::any_of(m_rules.linkPrefixes.begin(), m_rules.linkPrefixes.end(),
        [&](const QByteArray& prefix) { return href.startsWith(prefix); });
}

ParameterTarget PageRules::parameterTarget(const QByteArray& href) const
{
    if (m_rules.targetParameters.isEmpty() || !isWeb(href))
        return {};
    // Only the engine's own links speak for it: anyone may put "?url=" in
    // an address of their own.
    const QByteArray hostName = withoutPort(hostOf(href));
    if (hostName != m_engineHostName && !onHosts(hostName, m_rules.ownHosts))
        return {};
    return findParameterTarget(m_rules.targetParameters, href);
}

LinkKind PageRules::classify(const QByteArray& href) const
{
    if (!isWeb(href))
        return LinkKind::Skip;
    if (!m_rules.redirectPath.isEmpty() && hostOf(href) == m_engineHost) {
        const qsizetype path = href.indexOf('/', href.indexOf("//") + 2);
        if (path >= 0 && href.mid(path).startsWith(m_rules.redirectPath))
            return LinkKind::Redirect;
    }
    return isOwn(href) ? LinkKind::Skip : LinkKind::Outbound;
}

bool hasClass(const QString& classes, const QString& name)
{
    return !name.isEmpty() && classes.simplified().split(u' ').contains(name);
}

namespace {

// Whether one of `words` (empty ones never) is in `text`.
bool containsAny(const QString& text, const QList<QString>& words)
{
    return std::any_of(
        words.begin(), words.end(), [&](const QString& w) { return !w.isEmpty() && text.contains(w); });
}

bool beginsWithAny(const QByteArray& path, const QList<QByteArray>& prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(),
        [&](const QByteArray& p) { return !p.isEmpty() && path.startsWith(p); });
}

} // namespace

bool hasFurtherPage(const RuleSet& rules, const browser::PageSnapshot& page)
{
    std::function<bool(const browser::PageLink&)> isNext;
    switch (rules.pager) {
    case RuleSet::Pager::BracketedLine:
        return readPagerState(text::toGbk(page.bodyText));
    case RuleSet::Pager::NextLink:
        isNext = [&](const browser::PageLink& link) { return link.text.contains(rules.pagerText); };
        break;
    case RuleSet::Pager::LinkWithId:
        isNext
            = [&](const browser::PageLink& link) { return !link.id.isEmpty() && link.id == rules.pagerId; };
        break;
    case RuleSet::Pager::LinkWithClass:
        isNext = [&](const browser::PageLink& link) { return hasClass(link.classes, rules.pagerClass); };
        break;
    }
    return isNext && std::any_of(page.links.begin(), page.links.end(), isNext);
}

bool isVerificationPage(const RuleSet& rules, const browser::PageSnapshot& page)
{
    const QByteArray location = page.location.toUtf8();
    return containsAny(page.title, rules.verifyTitles) || containsAny(page.bodyText, rules.verifyBodyWords)
        || onHosts(withoutPort(hostOf(location)), rules.verifyHosts)
        || beginsWithAny(pathOf(location), rules.verifyPaths);
}

bool PageLinkList::contains(const QByteArray& address) const
{
    return m_keys.contains(text::caseKey(address));
}

void PageLinkList::add(const QByteArray& address) { m_keys.insert(text::caseKey(address)); }

} // namespace tess::harvest
