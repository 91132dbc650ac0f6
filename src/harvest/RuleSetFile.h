#pragma once

#include "harvest/RuleSet.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <variant>

// A rule set file: one RuleSet written as text, so a user can add a set of
// their own or change a built-in one without a new program.
//
// Format, version 1. UTF-8 text (a leading byte order mark is skipped);
// lines end at LF, a CR before it is dropped. A line whose first non-blank
// character is "#" is a comment; blank lines are skipped; "#" anywhere
// else is part of the value. The first line that is neither must be
//
//     tessaroon-rules 1
//
// and every later one is "key = value": blanks around the key and the
// value are dropped, the value is everything after the first "=". The keys
// are RuleSet's fields (request-path is requestPath), each at most once:
//
//     name               required; lower-case letters, digits and "-"
//     label              the selector's text; default: the label of the
//                        set this file replaces, else the name
//     based-on           the set that every key not given is taken from:
//                        a built-in set or one loaded before this file;
//                        default: the set of the same name when there is
//                        one, else classic
//     scheme             http | https
//     request-path       begins with "/", has a query and ends in a
//                        parameter's name and "=": the keyword is that
//                        parameter's value ("/s?ie=utf-8&wd=")
//     page-key           begins with "&" and ends in a parameter's name
//                        and "=": the offset is its value ("&pn=")
//     request-tail       empty, or begins with "&" ("&cl=3")
//     link-prefixes      one or more, separated by blanks
//     own-links          page-domain | named-hosts
//     own-hosts          hosts separated by blanks; may be empty
//     redirect-path      begins with "/"; empty: no redirect links
//     target-attributes  attribute names separated by blanks; may be empty
//     pager              bracketed-line | next-link
//     pager-text         not empty
//     verify-hosts       hosts separated by blanks; may be empty
//     verify-title       empty: no title test
//
// Hosts are lower-cased and lose a leading ".". The scheme, paths, keys,
// prefixes and hosts are pieces of addresses: printable ASCII without
// blanks; the request path and the page key hold no "#". No value holds a
// control character; a tab is a blank between list items. A file is taken
// whole or not at all: the first fault makes it an error naming the file
// and the line (counted from 1). A file without a version line is at fault
// on line 1; one without a name, on its version line.
//
// Example: today's rules against a local engine without TLS.
//
//     tessaroon-rules 1
//     name = today
//     scheme = http
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
