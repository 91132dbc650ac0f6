#include "browser/webengine/ChromiumEnvironment.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>

#include <unistd.h>

namespace tess::browser {

namespace {

void appendSwitch(QByteArray& flags, const QByteArray& name)
{
    const QList<QByteArray> present = flags.split(' ');
    if (present.contains(name))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    flags += name;
}

} // namespace

void prepareWebEngineEnvironment()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").simplified();
    if (::geteuid() == 0)
        appendSwitch(flags, QByteArrayLiteral("--no-sandbox"));
    appendSwitch(flags, QByteArrayLiteral("--disable-background-networking"));
    appendSwitch(flags, QByteArrayLiteral("--disable-component-update"));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

} // namespace tess::browser
