#pragma once

#include <QString>

namespace tess::harvest {

// The machine's IPv4 address in dotted form: the last of the host's IPv4
// addresses in the system's order, or "" when there is none. A machine
// whose only address is the loopback one answers "127.0.0.1".
QString getLocalAddress();

} // namespace tess::harvest
