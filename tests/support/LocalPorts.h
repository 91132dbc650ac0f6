#pragma once

#include <QHostAddress>
#include <QTcpServer>

namespace tess::test {

// A port on 127.0.0.1 that nothing listens on: one that was free a moment
// ago and has been let go again. Connections to it are refused.
inline quint16 closedLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace tess::test
