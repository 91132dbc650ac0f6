#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tess::harvest {

// How a result page is asked for and read: the request address, which
// links are the engine's own, how a redirect link leads to its target,
// when a further page exists, and what a verification page looks like.
// The engine reads these as data; the two built-in sets are the classic
// result pages and today's, and a user's file may add or override one.
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
    };

    QString name; // the name --rules and the settings use: "classic", "today"
    QString label; // the selector's text: "经典", "现行"

    // The request: scheme "://" engine host + requestPath + the URL-encoded
    // GBK keyword + pageKey + offset + requestTail.
    QByteArray scheme = "http";
    QByteArray requestPath = "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=";
    QByteArray pageKey = "&pn=";
    QByteArray requestTail = "&cl=3";

    // The harvest: addresses beginning with one of these are taken.
    QList<QByteArray> linkPrefixes { "http://" };
    OwnLinks ownLinks = OwnLinks::PageDomainAnywhere;
    QList<QByteArray> ownHosts; // lower case, without a leading dot

    // Redirect links: a link on the engine host in use whose path and
    // query begin with redirectPath ("/link?url="). Empty: no redirects.
    QByteArray redirectPath;
    // Attributes of the link or its nearest result container that carry
    // the target address, looked at in this order ("mu").
    QList<QString> targetAttributes;

    Pager pager = Pager::BracketedLine;
    QString pagerText = QStringLiteral("下一页");

    // Verification pages: a page on one of these hosts (or a subdomain),
    // or whose title contains verifyTitle. An empty verifyTitle makes no
    // title test (a user's rule set file may leave it empty).
    QList<QByteArray> verifyHosts;
    QString verifyTitle;
};

// The built-in sets: "classic" (the default) and "today".
const RuleSet& classicRules();
const RuleSet& todayRules();

} // namespace tess::harvest
