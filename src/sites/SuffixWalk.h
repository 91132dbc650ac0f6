#pragma once

#include <QByteArray>

// How the unit finds a host's public suffix; not part of its interface,
// apart for the tests that hold one way against the other.
namespace tess::sites::detail {

// Where the longest suffix the list names starts in a compared host; -1 for
// none. The quick way: only the labels some rule of the list reaches past
// are asked about, each name's answer known from the start where it is a
// rule's tail.
qsizetype suffixStart(const QByteArray& key);
// The same answer the slow way: every suffix of the host asked of libpsl,
// the longest first.
qsizetype suffixStartLabelByLabel(const QByteArray& key);
// Whether the quick way has the list's rules to go by (the distribution's
// list was read); without them it is the slow way.
bool suffixWalkIsBounded();

} // namespace tess::sites::detail
