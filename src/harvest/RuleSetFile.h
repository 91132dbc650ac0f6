#pragma once

#include "harvest/RuleSet.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <variant>

// A rule set file: one RuleSet written as text, so a user can add a set of
// their own or change a built-in one without a new program.
//
// Format, version 3 (version 1 and 2 files are read as they always were).
// UTF-8 text (a leading byte order mark is skipped); lines end at LF, a CR
// before it is dropped. A line whose first non-blank character is "#" is
// a comment; blank lines are skipped; "#" anywhere else is part of the
// value. The first line that is neither must be
//
//     tessaroon-rules 3          (or "tessaroon-rules 2", "tessaroon-rules 1")
//
// and every later one is "key = value": blanks around the key and the
// value are dropped, the value is everything after the first "=". The keys
// are RuleSet's fields (request-path is requestPath), each at most once;
// those marked "2" only in version 2 and later files, those marked "3"
// only in version 3 files, and verify-title only in version 1 files:
//
//     name               required; lower-case letters, digits and "-"
//     label              the selector's text; default: the label of the
//                        set this file replaces, else the name
//     based-on           the set that every key not given is taken from:
//                        a built-in set (also by another name of it, as
//                        "baidu" for today) or one loaded before this
//                        file; default: the set of the same name when
//                        there is one, else classic
//   2 engine-host        the engine's public host, maybe with a port:
//                        "www.so.com"
//     scheme             http | https
//     request-path       begins with "/", has a query and ends in a
//                        parameter's name and "=": the keyword is that
//                        parameter's value ("/s?ie=utf-8&wd=")
//     page-key           begins with "&" and ends in a parameter's name
//                        and "=": the page's value is its value ("&pn=")
//     request-tail       empty, or begins with "&" ("&cl=3")
//   2 keyword-encoding   gbk | utf-8
//   2 page-numbering     offset-from-0 | page-from-1 | offset-from-1
//   2 results-per-page   a whole number from 1 to 100
//     link-prefixes      one or more, separated by blanks
//     own-links          page-domain | named-hosts
//     own-hosts          hosts separated by blanks; may be empty
//     redirect-path      begins with "/"; empty: no redirect links
//   2 redirect-mode      network | browser
//     target-attributes  attribute names separated by blanks; may be empty
//   2 target-parameters  items separated by blanks, each
//                        PATH?KEY=PREFIX:CODING with CODING plain or
//                        base64url and PREFIX maybe empty:
//                        "/ck/a?u=a1:base64url /link?url=:plain"; may be
//                        empty
//   3 result-container   CSS selector of each organic result's element:
//                        "ol#b_results > li.b_algo"; may be empty (none)
//   3 ad-markers         CSS selector of advertisements: a link that is,
//                        or is inside, an element it matches is an ad;
//                        may be empty
//   3 related-searches   CSS selector of the related searches' links; may
//                        be empty
//     pager              bracketed-line | next-link, and in version 2
//                        also link-id | link-class
//     pager-text         not empty
//   2 pager-id           one word; needed when the pager is link-id
//   2 pager-class        one word; needed when the pager is link-class
//     verify-hosts       hosts separated by blanks; may be empty
//   1 verify-title       empty: no title test; else one title word, which
//                        may hold blanks
//   2 verify-titles      words separated by blanks; may be empty
//   2 verify-paths       paths beginning with "/", separated by blanks;
//                        may be empty
//   2 verify-body-words  words separated by blanks; may be empty
//
// Hosts are lower-cased and lose a leading ".". The scheme, paths, keys,
// prefixes and hosts are pieces of addresses: printable ASCII without
// blanks; the request path and the page key hold no "#". No value holds a
// control character; a tab is a blank between list items. A file is taken
// whole or not at all: the first fault makes it an error naming the file
// and the line (counted from 1). A file without a version line is at fault
// on line 1; one without a name, on its version line; a pager without the
// id or class it needs, on the pager's line, else the version line.
//
// Example: today's rules against a local engine without TLS.
//
//     tessaroon-rules 1
//     name = today
//     scheme = http
//
// Example: a set of one's own for an engine like Bing.
//
//     tessaroon-rules 2
//     name = my-bing
//     based-on = bing
//     engine-host = www.bing.com
//     target-parameters = /ck/a?u=a1:base64url
//     verify-titles = 验证 Verify
namespace tess::harvest {

// Why a rule set file was not taken.
struct RuleSetFileError {
    QString fileName;
    int line = 0; // counted from 1
    // The message for the user, in full: "规则文件 <file> 第 <line> 行：<why>".
    QString message;
    // The name the file gives its set, when a valid one stands on a line of
    // its own, before or after the fault; empty otherwise.
    QString setName = {};
};

using RuleSetFileResult = std::variant<RuleSet, RuleSetFileError>;

// Reads the rule set in `content`. `fileName` is only used in messages;
// `known` holds the sets "based-on" may name: the built-in ones and those
// loaded before, one per name.
RuleSetFileResult parseRuleSetFile(
    const QByteArray& content, const QString& fileName, const QList<RuleSet>& known);

} // namespace tess::harvest
