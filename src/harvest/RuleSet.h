#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tess::harvest {

// How a result page is asked for and read: the request address, which
// links are the engine's own, how a redirect link leads to its target,
// when a further page exists, and what a verification page looks like.
// The engine reads these as data; the built-in sets are the classic
// result pages, today's, and those of three other engines, and a user's
// file may add or override one.
struct RuleSet {
    // How the engine's own links are told from outbound ones.
    enum class OwnLinks {
        // The page's site domain (siteDomain) anywhere in the address.
        PageDomainAnywhere,
        // The link's host is the engine host in use, or one of ownHosts,
        // or a subdomain of one of them.
        NamedHosts,
    };
    // When a further result page exists.
    enum class Pager {
        // The classic pager line of the body text, page numbers in
        // brackets (readPagerState, which has its own words).
        BracketedLine,
        // A link whose text contains `pagerText`.
        NextLink,
        // A link whose id is `pagerId` ("snext").
        LinkWithId,
        // A link one of whose classes is `pagerClass` ("sb_pagN").
        LinkWithClass,
    };
    // How the keyword is written into the request before it is
    // percent-encoded. Keywords are read as GBK.
    enum class KeywordEncoding { Gbk, Utf8 };
    // What the page key's value counts, for the page asked for (the first
    // page is page 0 here): the offset of its first result counted from 0
    // (0, 10, 20), the page's number counted from 1 (1, 2, 3), or the
    // offset counted from 1 (1, 11, 21).
    enum class PageNumbering { OffsetFromZero, PageFromOne, OffsetFromOne };
    // How a redirect link's target is found when the page does not carry
    // it: asked over the network without following it, or loaded in a
    // hidden page of the browser, which runs the redirector's script and
    // sends its cookies, until it leaves for another host.
    enum class RedirectMode { Network, Browser };

    // A query parameter of a link on the engine's own hosts that holds the
    // link's target: `u=a1<base64url>` on "/ck/a?", `url=<address>` on
    // "/link?".
    struct TargetParameter {
        enum class Coding {
            Plain, // percent-encoded address
            Base64Url, // URL-safe base64, padding optional, after `prefix`
        };
        QByteArray path; // the link's path, without the query: "/ck/a"
        QByteArray key; // "u"
        Coding coding = Coding::Plain;
        QByteArray prefix = {}; // dropped before decoding: "a1"
    };

    QString name; // the name --rules and the settings use: "classic", "today", "bing"
    QString label; // the selector's text: "经典", "现行"

    // The engine's public host, asked unless the user names another.
    QByteArray defaultHost = "www.baidu.com";

    // The request: scheme "://" engine host + requestPath + the
    // URL-encoded keyword + pageKey + the page's value + requestTail.
    QByteArray scheme = "http";
    QByteArray requestPath = "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=";
    QByteArray pageKey = "&pn=";
    QByteArray requestTail = "&cl=3";
    KeywordEncoding keywordEncoding = KeywordEncoding::Gbk;
    PageNumbering pageNumbering = PageNumbering::OffsetFromZero;
    int resultsPerPage = 10;

    // The harvest: addresses beginning with one of these are taken.
    QList<QByteArray> linkPrefixes { "http://" };
    OwnLinks ownLinks = OwnLinks::PageDomainAnywhere;
    QList<QByteArray> ownHosts; // lower case, without a leading dot

    // Redirect links: a link on the engine host in use whose path and
    // query begin with redirectPath ("/link?url="). Empty: no redirects.
    QByteArray redirectPath;
    RedirectMode redirectMode = RedirectMode::Network;
    // Attributes of the link or its nearest result container that carry
    // the target address, looked at in this order ("mu").
    QList<QString> targetAttributes;
    // Looked at after the attributes, before the redirect is asked.
    QList<TargetParameter> targetParameters;

    // Where the page keeps its parts, as CSS selectors (browser::
    // BrowserHost::PageParts); empty: the page has no such part the set can
    // tell, and every row is a plain link.
    QString resultContainer; // each organic result's element
    QString adMarkers; // an advertisement's element, or its link
    QString relatedSearches; // the links of the engine's related searches

    Pager pager = Pager::BracketedLine;
    QString pagerText = QStringLiteral("下一页");
    QString pagerId;
    QString pagerClass;

    // Verification (block) pages: a page on one of verifyHosts (or a
    // subdomain), or whose path begins with one of verifyPaths, or whose
    // title contains one of verifyTitles, or whose body text contains one
    // of verifyBodyWords.
    QList<QByteArray> verifyHosts;
    QList<QByteArray> verifyPaths;
    QList<QString> verifyTitles;
    QList<QString> verifyBodyWords;
};

// The built-in sets, in the order the user is offered them: "classic"
// (the default), "today", "360", "sogou" and "bing".
const QList<RuleSet>& builtInRuleSets();
const RuleSet& classicRules();
const RuleSet& todayRules();
const RuleSet& threeSixtyRules();
const RuleSet& sogouRules();
const RuleSet& bingRules();

// Another name of today's set, after its engine: found as today unless a
// set of that very name stands among those looked through.
inline constexpr QLatin1StringView kTodayAlias("baidu");

// The set of that name among `sets`, the alias included; null when none.
const RuleSet* findRuleSet(const QList<RuleSet>& sets, const QString& name);

} // namespace tess::harvest
