#include "text/TextFile.h"

#include "text/Errors.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::text {
namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
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

} // namespace

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
    Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw FileOpenError(path);
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw FileOpenError(path);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(st.st_size));
    char buf[61440];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw StreamReadError();
        }
        if (n == 0)
            break;
        out.append(buf, n);
    }
    return out;
}

Lines readLinesLf(const QString& path)
{
    Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw InOutError::fromErrno(errno, path);
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0)
        throw InOutError::fromErrno(errno, path);
    if (S_ISDIR(st.st_mode))
        throw InOutError::fromErrno(EISDIR, path);

    Lines lines;
    QByteArray line;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw InOutError(errno);
        }
        if (n == 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (c == '\n') {
                lines.append(line);
                line.clear();
            } else if (c != '\r') {
                // A CR before LF belongs to the line end; a lone CR is dropped.
                line.append(c);
            }
        }
    }
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

    QByteArray tmpl
        = QFile::encodeName(target.absolutePath()) + "/." + QFile::encodeName(target.fileName()) + ".XXXXXX";
    Fd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (fd.get() < 0)
        throw FileCreateError(path);
    auto discard = [&] { ::unlink(tmpl.constData()); };

    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), content.constData(), content.size())
        || ::fsync(fd.get()) != 0) {
        discard();
        throw StreamWriteError();
    }
    if (::close(fd.release()) != 0) {
        discard();
        throw StreamWriteError();
    }
    if (::rename(tmpl.constData(), targetName.constData()) != 0) {
        discard();
        throw FileCreateError(path);
    }
}

} // namespace tess::text
