#include "text/TextFile.h"

#include "text/Errors.h"
#include "text/SystemCalls.h"
#include "text/TemporaryFiles.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::text {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        reset();
        m_fd = other.release();
    }
    return *this;
}

int FileDescriptor::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileDescriptor::reset()
{
    if (m_fd < 0)
        return true;
    const int fd = release();
    return systemCalls().close(fd) == 0;
}

FileReader::FileReader(const QString& path, ReadFailure failure, ReadOptions options)
    : m_path(path)
    , m_failure(failure)
    , m_detailed(options.detailedErrors)
    , m_fd(systemCalls().open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC, 0))
{
    if (!m_fd.isOpen())
        failToOpen(errno);
    struct stat st { };
    if (::fstat(m_fd.get(), &st) != 0)
        failToOpen(errno);
    if (S_ISDIR(st.st_mode))
        failToOpen(EISDIR);
    m_size = st.st_size;
}

void FileReader::failToOpen(int error) const
{
    if (m_failure == ReadFailure::InOut)
        throw InOutError::fromErrno(error, m_path, m_detailed);
    throw FileOpenError(m_path);
}

qsizetype FileReader::readSome(char* buffer, qsizetype size)
{
    for (;;) {
        const ssize_t n = systemCalls().read(m_fd.get(), buffer, static_cast<size_t>(size));
        if (n >= 0)
            return n;
        const int error = errno;
        if (error == EINTR)
            continue;
        if (m_failure == ReadFailure::InOut)
            throw m_detailed ? InOutError(error, m_path, systemReason(error)) : InOutError(error);
        throw StreamReadError(m_path, error);
    }
}

void FileReader::readAllInto(QByteArray& out, qsizetype slack)
{
    for (;;) {
        if (out.capacity() - out.size() < slack / 2)
            out.reserve(
                out.size() + std::max<qsizetype>(out.size() / 2, std::max<qsizetype>(slack, 1 << 20)));
        // Read straight into the buffer's spare room.
        const qsizetype at = out.size();
        out.resize(out.capacity());
        qsizetype n = 0;
        try {
            n = readSome(out.data() + at, out.size() - at);
        } catch (...) {
            out.truncate(at);
            throw;
        }
        out.truncate(at + n);
        if (n == 0)
            return;
    }
}

void FileReader::readChunks(const std::function<bool(const char* data, qsizetype size)>& consume)
{
    char buffer[65536];
    for (;;) {
        const qsizetype n = readSome(buffer, sizeof buffer);
        if (n == 0 || !consume(buffer, n))
            return;
    }
}

FileDescriptor openForAppend(const QString& path, bool truncate)
{
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    return FileDescriptor(systemCalls().open(QFile::encodeName(path).constData(), flags, 0666));
}

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = systemCalls().write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QByteArray joinCrLf(const Lines& lines)
{
    qsizetype size = 0;
    for (const QByteArray& l : lines)
        size += l.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (const QByteArray& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

QByteArray readWholeFile(const QString& path)
{
    FileReader reader(path, ReadFailure::Stream);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(reader.size()) + FileReader::DefaultSlack);
    reader.readAllInto(out);
    return out;
}

Lines readLinesLf(const QString& path)
{
    FileReader reader(path, ReadFailure::InOut, { .detailedErrors = true });
    Lines lines;
    QByteArray line;
    reader.readChunks([&](const char* data, qsizetype size) {
        for (qsizetype i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\n') {
                lines.append(line);
                line.clear();
            } else if (c != '\r') {
                // A CR before LF belongs to the line end; a lone CR is dropped.
                line.append(c);
            }
        }
        return true;
    });
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

void replaceFile(const QString& path, const QByteArray& content)
{
    const QFileInfo target(path);
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
    struct stat st { };
    const bool exists = ::stat(targetName.constData(), &st) == 0;
    if (exists && (S_ISDIR(st.st_mode) || ::access(targetName.constData(), W_OK) != 0))
        throw FileCreateError(path);

    const QByteArray folder = QFile::encodeName(target.absolutePath());
    removeStaleTemporaryFiles(folder);
    QByteArray temporary = temporaryFilePattern(folder);
    SystemCalls& sys = systemCalls();
    FileDescriptor fd(sys.mkostemps(temporary.data(), 4, O_CLOEXEC));
    if (!fd.isOpen())
        throw FileCreateError(path);
    const LiveTemporaryFile listed(temporary);
    auto discard = [&] {
        fd.reset();
        ::unlink(temporary.constData());
    };

    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (sys.fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), content.constData(), content.size())
        || sys.fsync(fd.get()) != 0 || !fd.reset()) {
        const int error = errno;
        discard();
        throw StreamWriteError(path, error);
    }
    if (sys.rename(temporary.constData(), targetName.constData()) != 0) {
        discard();
        throw FileCreateError(path);
    }
}

} // namespace tess::text
