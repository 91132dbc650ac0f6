#include "io/ExeDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tess::io {
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

bool keepsOwnFiles(const QString& programDir)
{
    // A folder named bin (/usr/bin, /usr/local/bin, ~/.local/bin) holds
    // every installed program; run by root it is writable, yet the state
    // file and the browser's data would be strewn among other programs
    // and outlive the package.
    const QFileInfo info(programDir);
    return !programDir.isEmpty() && info.isDir() && info.isWritable()
        && QDir(programDir).dirName() != QLatin1String("bin");
}

QString exeDir()
{
    if (!overridden().isEmpty())
        return overridden();
    static const QString dir = [] {
        const QString own = QCoreApplication::applicationDirPath();
        if (keepsOwnFiles(own))
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

} // namespace tess::io
