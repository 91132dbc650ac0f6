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

namespace {

// The known text, then what it leaves out, each after ": ".
QString withDetail(QString text, const QString& path, const QString& reason)
{
    if (!path.isEmpty())
        text += QStringLiteral(": ") + QDir::toNativeSeparators(path);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    return text;
}

} // namespace

FileCreateError::FileCreateError(const QString& path, const QString& reason)
    : AppError(
        withDetail(QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)), {}, reason))
{
}

FileOpenError::FileOpenError(const QString& path, const QString& reason)
    : AppError(
        withDetail(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)), {}, reason))
{
}

StreamReadError::StreamReadError()
    : AppError(QStringLiteral("Stream read error"))
{
}

StreamReadError::StreamReadError(const QString& path, int error)
    : AppError(withDetail(QStringLiteral("Stream read error"), path, systemReason(error)))
{
}

StreamWriteError::StreamWriteError()
    : AppError(QStringLiteral("Stream write error"))
{
}

StreamWriteError::StreamWriteError(const QString& path, int error)
    : AppError(withDetail(QStringLiteral("Stream write error"), path, systemReason(error)))
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

InOutError::InOutError(int code, const QString& path, const QString& reason)
    : AppError(withDetail(inOutText(code), path, reason))
    , m_code(code)
{
}

InOutError InOutError::fromErrno(int err, const QString& path, bool detailed)
{
    int code = err;
    switch (err) {
    case ENOENT:
        // A missing folder is told apart from a missing file.
        code = QFileInfo(path).absoluteDir().exists() ? 2 : 3;
        break;
    case ENOTDIR:
    case ENAMETOOLONG:
        code = 3;
        break;
    case EACCES:
    case EPERM:
    case EISDIR:
        code = 5;
        break;
    default:
        break;
    }
    return detailed ? InOutError(code, path, systemReason(err)) : InOutError(code);
}

QString systemReason(int error) { return qt_error_string(error); }

QString standardErrorText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

} // namespace tess::text
