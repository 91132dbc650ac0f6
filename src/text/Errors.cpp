#include "text/Errors.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace tess::text {

AppError::AppError(const QString& message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

ConvertError::ConvertError(const QString& offendingText)
    : AppError(QStringLiteral("'%1' is not a valid integer value").arg(offendingText))
{
}

FileCreateError::FileCreateError(const QString& path)
    : AppError(QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)))
{
}

FileOpenError::FileOpenError(const QString& path)
    : AppError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)))
{
}

StreamReadError::StreamReadError()
    : AppError(QStringLiteral("Stream read error"))
{
}

StreamWriteError::StreamWriteError()
    : AppError(QStringLiteral("Stream write error"))
{
}

namespace {

// The framework's numbering: 2 file not found, 3 path not found,
// 5 access denied; other values are the system's own error number.
QString inOutText(int code)
{
    switch (code) {
    case 2:
        return QStringLiteral("File not found");
    case 3:
        return QStringLiteral("Invalid filename");
    case 5:
        return QStringLiteral("File access denied");
    default:
        return QStringLiteral("I/O error %1").arg(code);
    }
}

} // namespace

InOutError::InOutError(int code)
    : AppError(inOutText(code))
    , m_code(code)
{
}

InOutError InOutError::fromErrno(int err, const QString& path)
{
    switch (err) {
    case ENOENT:
        // A missing folder is told apart from a missing file.
        return InOutError(QFileInfo(path).absoluteDir().exists() ? 2 : 3);
    case ENOTDIR:
    case ENAMETOOLONG:
        return InOutError(3);
    case EACCES:
    case EPERM:
    case EISDIR:
        return InOutError(5);
    default:
        return InOutError(err);
    }
}

QString standardErrorText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

} // namespace tess::text
