#pragma once

#include <QCoreApplication>
#include <QtGlobal>

namespace tess::test {

// What a test program with windows and the embedded browser needs before
// its application object: no window system (unless one is asked for), a
// browser that starts as root, and contexts the browser can share.
inline void prepareGuiTestEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The embedded browser refuses to start its sandbox as root.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace tess::test
