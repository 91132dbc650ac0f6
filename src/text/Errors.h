#pragma once

#include <QString>

#include <stdexcept>

// The errors the program reports to the user. Each carries the exact text
// the standard error box shows; handlers let them reach the event loop.
namespace tess::text {

class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& message);
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A text that must be a whole number is not one.
class ConvertError : public AppError {
public:
    explicit ConvertError(const QString& offendingText);
};

// "Cannot create file %s".
class FileCreateError : public AppError {
public:
    explicit FileCreateError(const QString& path);
};

// "Cannot open file %s".
class FileOpenError : public AppError {
public:
    explicit FileOpenError(const QString& path);
};

// "Stream read error".
class StreamReadError : public AppError {
public:
    StreamReadError();
};

// "Stream write error".
class StreamWriteError : public AppError {
public:
    StreamWriteError();
};

// Line-by-line reading and writing: "File not found", "Invalid filename",
// "File access denied" or "I/O error %d".
class InOutError : public AppError {
public:
    explicit InOutError(int code);
    // Maps an errno value met while opening `path` to the error users see.
    static InOutError fromErrno(int err, const QString& path);
    int code() const noexcept { return m_code; }

private:
    int m_code;
};

// The text of the application's standard error box: a full stop is added
// when the message's last character sorts after ".".
QString standardErrorText(const QString& message);

} // namespace tess::text
