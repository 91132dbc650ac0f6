#include "io/FileReader.h"

#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "text/Errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

namespace tess::io {
namespace {

// Waits until a pipe has data or its writer is gone. A named pipe opened
// without waiting reads as ended until a writer comes, so reading it at
// once would find it empty.
void waitForWriter(int fd)
{
    pollfd p { fd, POLLIN, 0 };
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) { }
}

} // namespace

FileReader::FileReader(const QString& path, ReadFailure failure, ReadOptions options)
    : m_path(path)
    , m_failure(failure)
    , m_detailed(options.detailedErrors)
{
    const QByteArray name = encodePath(path);
    // Looked at before it is opened, as opening a device can itself act (a
    // tape rewinds, a serial line comes up).
    struct stat st { };
    if (::stat(name.constData(), &st) == 0)
        checkKind(st.st_mode, options.allowPipes);
    // Opening a named pipe would otherwise wait for a writer.
    m_fd = FileDescriptor(
        systemCalls().open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0));
    if (!m_fd.isOpen())
        failToOpen(errno);
    if (::fstat(m_fd.get(), &st) != 0)
        failToOpen(errno);
    if (S_ISDIR(st.st_mode))
        failToOpen(EISDIR);
    checkKind(st.st_mode, options.allowPipes); // it may have changed since
    if (S_ISFIFO(st.st_mode))
        waitForWriter(m_fd.get());
    if (!clearNonBlocking(m_fd.get()))
        failToOpen(errno);
    m_size = S_ISREG(st.st_mode) ? st.st_size : 0;
}

void FileReader::checkKind(unsigned mode, bool allowPipes) const
{
    if (S_ISREG(mode) || S_ISDIR(mode))
        return;
    if (allowPipes && (S_ISFIFO(mode) || S_ISCHR(mode)))
        return;
    refuse(notRegular(mode));
}

void FileReader::failToOpen(int error) const
{
    if (m_failure == ReadFailure::InOut)
        throw text::InOutError::fromErrno(error, m_path, m_detailed);
    throw text::FileOpenError(m_path);
}

void FileReader::refuse(const QString& why) const
{
    if (m_failure == ReadFailure::InOut)
        throw m_detailed ? text::InOutError(5, m_path, why) : text::InOutError(5);
    throw text::FileOpenError(m_path, why);
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
            throw m_detailed ? text::InOutError(error, m_path, text::systemReason(error))
                             : text::InOutError(error);
        throw text::StreamReadError(m_path, error);
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
    out.reserve(static_cast<qsizetype>(reader.size()) + FileReader::kDefaultSlack);
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

} // namespace tess::io
