#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The compared forms of hosts, shared by the address reader and the site
// list; not part of the unit's interface.
namespace tess::sites::detail {

// A dotted quad ("10.0.0.1", each number 0 to 255 in one to three digits)
// in the compared form: the numbers without leading zeros.
std::optional<QByteArray> ipv4Key(QByteArrayView host);
// The inside of "[...]" as the system writes the address back (lower case,
// the longest run of zeros as "::"); nothing when it is not an IPv6 address.
std::optional<QByteArray> ipv6Key(QByteArrayView inside);
// A host name (no trailing dot) in the compared form: an IDN in valid UTF-8
// in its ASCII form; anything else in ASCII lower case, byte for byte.
QByteArray nameKey(QByteArrayView host);

} // namespace tess::sites::detail
