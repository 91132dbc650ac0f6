#pragma once

#include "harvest/RuleSet.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace tess::harvest {

// The path of an absolute address: from the first "/" after the host up
// to the query or the fragment; "" when the address has no path or is not
// absolute ("scheme://host").
QByteArray pathOf(const QByteArray& address);

// The value of the first parameter `key` of an address's query, as
// written (still percent-encoded); nothing when the query holds no such
// parameter. The fragment is not part of the query.
std::optional<QByteArray> queryValue(const QByteArray& address, const QByteArray& key);

// URL-safe base64 ("-" and "_" for "+" and "/"), with or without its "="
// padding; nothing for anything else: another letter, padding inside, a
// length no encoding has.
std::optional<QByteArray> decodeBase64Url(QByteArrayView encoded);

// What a target parameter's value holds: its percent-encoding undone, its
// prefix dropped and, for Base64Url, decoded; bytes an address cannot hold
// as they are (beyond ASCII, blanks) percent-encoded again, as a browser
// would send them. Nothing when the value is not in the parameter's
// coding or what it holds is not an acceptable target (isAcceptableTarget).
std::optional<QByteArray> decodeTargetValue(
    const RuleSet::TargetParameter& parameter, const QByteArray& value);

// How a link's address matches a rule set's target parameters.
struct ParameterTarget {
    bool matched = false; // the path of one of them, with its key in the query
    // The decoded target of the first one matched; empty when it could not
    // be decoded.
    QByteArray target = {};
};

// The first target parameter whose path is the address's path and whose
// key its query holds, and the target it carries. Does not look at the
// address's host: that is the caller's (PageRules::parameterTarget).
ParameterTarget findParameterTarget(
    const QList<RuleSet::TargetParameter>& parameters, const QByteArray& address);

} // namespace tess::harvest
