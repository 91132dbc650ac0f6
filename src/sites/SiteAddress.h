#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <optional>

namespace tess::sites {

// Where the parts of a web address stand in a line of an address list. The
// line is taken as it is: with or without a scheme ("http://", "https://",
// any "name://"), with user info ("user:pass@"), a port, an IPv4 address or
// a bracketed IPv6 one, a host in any letter case with a trailing dot, a
// host in Unicode (UTF-8) or in punycode, and any bytes (GBK, say) in the
// path. Offsets index the line.
//
// The host ends at "/", "?", "#", a blank or a control byte (a note after
// the address, a stray CR), and is made of letters, digits, "-", "_", dots
// between non-empty labels and bytes above 0x7f; a port is digits or
// nothing. Without a scheme a single name ("localhost") is a word, not a
// host; an IP address or a name with a dot is one.
struct SiteAddress {
    qsizetype schemeEnd = 0; // the scheme and "://" are line[0, schemeEnd); 0: none
    qsizetype hostStart = 0; // after the scheme and user info
    qsizetype hostEnd = 0; // the host as written: line[hostStart, hostEnd), brackets kept
    qsizetype portEnd = 0; // ":port" is line[hostEnd, portEnd); hostEnd == portEnd: none
    qsizetype queryStart = 0; // the first "?" or "#" after the host; the line's size: none
    bool isIp = false; // an IPv4 or IPv6 address
    // The host as hosts are compared: lower case, no trailing dot, an IDN
    // in its ASCII (punycode) form (a host that is not valid UTF-8, GBK say,
    // or that IDNA turns down: its bytes, ASCII letters lowered), an IPv4
    // address without leading zeros, an IPv6 address without brackets as
    // the system writes it ("2001:db8::1").
    QByteArray hostKey;
};

// The address a line names; nothing for a line without a host (blank, a
// word, "mailto:", a bare path).
std::optional<SiteAddress> readSiteAddress(QByteArrayView line);

// What the public suffix list says of a host, in the compared form:
// - registrableDomain: the public suffix and one label before it
//   ("a.b.example.com.cn" → "example.com.cn"); an IP address, and a host
//   that is itself a public suffix or has no known one, is its own;
// - publicSuffix: "com.cn", "co.uk"; for an IP address, empty.
// Private suffixes (github.io, blogspot.com) count as suffixes: each user's
// site under them is a site of its own.
QByteArray registrableDomain(const SiteAddress& address);
QByteArray publicSuffix(const SiteAddress& address);
// Where registrableDomain() starts in the host's compared form, for a
// caller that keeps its own copy and would not pay for another.
qsizetype registrableDomainStart(const SiteAddress& address);

// The registrable domain as the line writes it (its last labels, in the
// letter case and script they came in; no trailing dot). An IP address as
// written, without brackets; an IDN written with dots other than "." (the
// ideographic "。"), which cannot be cut at its labels: registrableDomain.
QByteArray writtenRegistrableDomain(QByteArrayView line, const SiteAddress& address);

// The key of the site a line's address belongs to (registrableDomain); empty
// for a line without a host.
QByteArray siteKey(QByteArrayView line);

// Domains and addresses a list names, one a line (GBK or UTF-8, CR LF or
// LF, blank lines and lines starting with "#" skipped, blanks around a line
// ignored, lines naming no host ignored). A domain matches its own host and
// every subdomain; an address matches that host and its subdomains too; a
// single name ("intranet") is a domain here. An IP address matches itself
// only. Lookups cost a few hash probes per line.
class SiteList final {
public:
    // Throws text::AppError naming the file when it cannot be read.
    static SiteList load(const QString& path);
    static SiteList fromLines(QByteArrayView text);

    bool isEmpty() const;
    qsizetype size() const;
    // Whether the line's host (as readSiteAddress reads it, blanks around
    // the line ignored) is listed, or under a listed domain.
    bool matches(QByteArrayView line) const;

private:
    QSet<QByteArray> m_hosts; // compared form
    // IP addresses apart: an address matches itself only, and a name that
    // ends in digits ("1.10.0.0.1") is not under one.
    QSet<QByteArray> m_addresses;
};

} // namespace tess::sites
