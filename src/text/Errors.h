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

// "Cannot create file %s"; when the program turns the file down itself,
// followed by ": " and why.
class FileCreateError : public AppError {
public:
    explicit FileCreateError(const QString& path, const QString& reason = {});
};

// "Cannot open file %s"; when the program turns the file down itself,
// followed by ": " and why.
class FileOpenError : public AppError {
public:
    explicit FileOpenError(const QString& path, const QString& reason = {});
};

// "Stream read error", and given the file, ": %s: " and the system's
// reason.
class StreamReadError : public AppError {
public:
    StreamReadError();
    StreamReadError(const QString& path, int error);
};

// "Stream write error", and given the file, ": %s: " and the system's
// reason.
class StreamWriteError : public AppError {
public:
    StreamWriteError();
    StreamWriteError(const QString& path, int error);
};

// Line-by-line reading and writing: "File not found", "Invalid filename",
// "File access denied" or "I/O error %d". The texts stand alone where users
// know them so (the keyword file's line count); a caller that wants the
// file named adds a detail: ": %s: " and the reason.
class InOutError : public AppError {
public:
    explicit InOutError(int code);
    InOutError(int code, const QString& path, const QString& reason);
    // Maps an errno value met while opening `path` to the error users see,
    // with the file and the system's reason when `detailed`.
    static InOutError fromErrno(int err, const QString& path, bool detailed = false);
    int code() const noexcept { return m_code; }

private:
    int m_code;
};

// The system's wording for an errno value.
QString systemReason(int error);

// The text of the application's standard error box: a full stop is added
// when the message's last character sorts after ".".
QString standardErrorText(const QString& message);

} // namespace tess::text
