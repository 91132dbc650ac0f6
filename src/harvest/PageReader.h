#pragma once

#include "browser/PageSnapshot.h"
#include "harvest/LinkTarget.h"
#include "harvest/RuleSet.h"

#include <QByteArray>
#include <QSet>

namespace tess::harvest {

// The pager test: true when the page offers a further result page. The
// engine's pager line lists the page numbers, all but the current one in
// square brackets, begins with "上一页" on every page but the first (where
// it begins with "1") and ends with "下一页" while another page exists.
// Works on the body text's GBK bytes, line by line.
bool readPagerState(const QByteArray& bodyText);

// The part of the page's host that marks the engine's own links: leading
// labels are dropped while at least two would remain, at most six times
// (a.b.c gives b.c, a.b.c.d gives c.d). A page address without a "/" after
// its host gives "".
QByteArray siteDomain(const QByteArray& location);

// Whether a link is an outbound web link worth taking: it begins with
// "http://" exactly and does not contain the engine's own domain.
bool isOutboundLink(const QByteArray& href, const QByteArray& siteDomain);

// Whether `s` holds a control character: a byte below 0x20, or 0x7F.
// Such a byte in an address or a link text could end a saved row or
// field early (TAB, CR, LF).
bool hasControlCharacter(QByteArrayView s);

// An address with what a browser escapes before sending percent-encoded:
// bytes beyond ASCII (a GBK path, say), spaces and the few characters no
// address may hold as they are.
QByteArray escapeForAddress(const QByteArray& address);

// Whether an address a page offers may be taken as a row's address: an
// absolute http or https address with a host that parses strictly once the
// characters a browser escapes on sending are escaped, and no control
// character anywhere.
bool isAcceptableTarget(const QByteArray& address);

// The host of an address with its port, lower case: "http://A.b:81/x"
// gives "a.b:81". "" when the address names no host.
QByteArray hostOf(const QByteArray& address);

// What the harvest makes of one link of a result page.
enum class LinkKind {
    Skip, // not a web link, or one of the engine's own
    Outbound, // taken as it is
    Redirect, // the engine's redirector: its target is taken
};

// A rule set applied to one result page, asked on the engine host in use
// (host and port, as in hostOf).
class PageRules final {
public:
    PageRules(const RuleSet& rules, const QByteArray& engineHost, const QByteArray& pageLocation);

    LinkKind classify(const QByteArray& href) const;
    // Whether an address is the engine's own (a redirect's target, say).
    bool isOwn(const QByteArray& href) const;
    // The target a web link on the engine's own hosts (the engine host in
    // use, ownHosts and their subdomains, whatever ownLinks says) carries
    // in one of the rule set's target parameters; not matched for any
    // other link.
    ParameterTarget parameterTarget(const QByteArray& href) const;

private:
    bool isWeb(const QByteArray& href) const;

    const RuleSet& m_rules;
    QByteArray m_engineHost;
    QByteArray m_engineHostName; // without the port
    QByteArray m_siteDomain;
};

// Whether a class attribute as written ("sb_pagN b_widePag") holds the
// class `name`; never for an empty name.
bool hasClass(const QString& classes, const QString& name);

// The pager test of a rule set.
bool hasFurtherPage(const RuleSet& rules, const browser::PageSnapshot& page);

// Whether a loaded page is the engine's verification page rather than the
// result page asked for.
bool isVerificationPage(const RuleSet& rules, const browser::PageSnapshot& page);

// Addresses already taken, compared without regard to letter case.
class PageLinkList final {
public:
    bool contains(const QByteArray& address) const;
    void add(const QByteArray& address);
    void clear() { m_keys.clear(); }
    qsizetype size() const { return m_keys.size(); }

private:
    QSet<QByteArray> m_keys;
};

} // namespace tess::harvest
