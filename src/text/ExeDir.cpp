#include "text/ExeDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tess::text {
namespace {

QString& overridden()
{
    static QString dir;
    return dir;
}

QString withSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace

QString exeDir()
{
    if (!overridden().isEmpty())
        return overridden();
    static const QString dir = [] {
        const QString own = QCoreApplication::applicationDirPath();
        if (!own.isEmpty() && QFileInfo(own).isWritable())
            return withSlash(own);
        QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (data.isEmpty())
            data = QDir::homePath() + QStringLiteral("/.local/share/tessaroon");
        QDir().mkpath(data);
        return withSlash(data);
    }();
    return dir;
}

void setExeDir(const QString& dir) { overridden() = dir.isEmpty() ? QString() : withSlash(dir); }

} // namespace tess::text
