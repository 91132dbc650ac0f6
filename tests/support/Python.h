#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <optional>

namespace tess::test {

// The system's Python, whose Debian packages (csv, openpyxl) read the files
// the program writes as a reader of its own: not the program's code.
inline const QString kPython = QStringLiteral("/usr/bin/python3");

// Runs `script` with `args` (sys.argv[1:]); its standard output, or nothing
// when it fails (the error then goes to `error`).
inline std::optional<QByteArray> runPython(const QString& script, const QStringList& args, QByteArray* error)
{
    QProcess python;
    python.start(kPython, QStringList { QStringLiteral("-c"), script } + args);
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit
        || python.exitCode() != 0) {
        *error = python.readAllStandardError() + python.errorString().toUtf8();
        return std::nullopt;
    }
    return python.readAllStandardOutput();
}

} // namespace tess::test
