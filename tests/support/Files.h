#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Reading and writing test files directly, past the program's own file layer.
namespace tess::test {

// The file's bytes, or "<missing>" when it cannot be opened.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Replaces the file with `bytes` and returns its path.
inline QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

} // namespace tess::test
