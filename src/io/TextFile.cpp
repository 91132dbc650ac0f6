#include "io/TextFile.h"

#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "text/Errors.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::io {
namespace {

// Why a file that is not a regular file is turned down.
QString notRegular(mode_t mode)
{
    const char* kind = S_ISFIFO(mode) ? "named pipe"
        : S_ISCHR(mode)               ? "character device"
        : S_ISBLK(mode)               ? "block device"
        : S_ISSOCK(mode)              ? "socket"
                                      : "unknown kind";
    return QStringLiteral("not a regular file (%1)").arg(QLatin1StringView(kind));
}

bool clearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Waits until a pipe has data or its writer is gone. A named pipe opened
// without waiting reads as ended until a writer comes, so reading it at
// once would find it empty.
void waitForWriter(int fd)
{
    pollfd p { fd, POLLIN, 0 };
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) { }
}

} // namespace

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

FileDescriptor openForAppend(const QString& path, bool truncate)
{
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    return FileDescriptor(systemCalls().open(encodePath(path).constData(), flags, 0666));
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

namespace {

// The target of a write, links followed.
struct Target {
    QByteArray name; // absolute
    bool exists = false;
    struct stat st { };
};

QByteArray folderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : name.left(slash);
}

// The path as the system reads it, made absolute without touching its
// "..", which may lead out of a linked folder.
QByteArray absoluteName(const QString& path)
{
    const QByteArray name = encodePath(path);
    if (name.startsWith('/'))
        return name;
    return encodePath(QDir::currentPath()) + '/' + name;
}

// Follows a chain of links whose last link names no file yet to that name.
// Empty for a loop or a link that cannot be read.
QByteArray endOfLinks(QByteArray name)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st { };
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return name;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(name.constData(), buffer, sizeof buffer);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof buffer))
            return {};
        const QByteArray next(buffer, n);
        name = next.startsWith('/') ? next : folderOf(name) + '/' + next;
    }
    return {};
}

Target resolveTarget(const QString& path)
{
    Target target;
    const QByteArray name = absoluteName(path);
    if (::stat(name.constData(), &target.st) == 0) {
        target.exists = true;
        target.name = name;
        // A regular file is replaced in the folder it really is in, so a
        // link to it stays a link. Anything else is opened by its name.
        if (S_ISREG(target.st.st_mode)) {
            if (char* real = ::realpath(name.constData(), nullptr)) {
                target.name = real;
                ::free(real);
            }
        }
        return target;
    }
    if (errno != ENOENT)
        throw text::FileCreateError(path);
    target.name = endOfLinks(name);
    if (target.name.isEmpty())
        throw text::FileCreateError(path);
    return target;
}

bool unsupported(int error) { return error == EOPNOTSUPP || error == ENOSYS || error == EINVAL; }

// Keeps SIGPIPE from ending the program while writing into a pipe whose
// reader may leave: the write then fails with EPIPE instead, and the
// signal it raised is taken back.
class SigpipeHeld final {
public:
    SigpipeHeld()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &m_pipe, &m_before);
        sigset_t pending;
        ::sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeHeld()
    {
        if (m_raised && !m_wasPending) {
            const timespec now { 0, 0 };
            while (::sigtimedwait(&m_pipe, nullptr, &now) < 0 && errno == EINTR) { }
        }
        ::pthread_sigmask(SIG_SETMASK, &m_before, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

    void raised() { m_raised = true; }

private:
    sigset_t m_pipe;
    sigset_t m_before;
    bool m_wasPending = false;
    bool m_raised = false;
};

// Puts the producer's bytes into a descriptor, counting them.
class DescriptorSink final : public ContentSink {
public:
    DescriptorSink(int fd, const QString& path, SigpipeHeld* held = nullptr)
        : m_fd(fd)
        , m_path(path)
        , m_held(held)
    {
    }
    void write(const char* data, qsizetype size) override
    {
        if (writeAll(m_fd, data, size)) {
            m_written += size;
            return;
        }
        const int error = errno;
        if (error == EPIPE && m_held)
            m_held->raised();
        throw text::StreamWriteError(m_path, error);
    }
    qsizetype written() const { return m_written; }

private:
    int m_fd;
    const QString& m_path;
    SigpipeHeld* m_held;
    qsizetype m_written = 0;
};

// A named pipe or character device: written into, never replaced.
void writeIntoStream(const QString& path, const Target& target, const ContentProducer& produce)
{
    // Opening a named pipe nobody reads would wait for a reader for ever;
    // without waiting it fails with ENXIO.
    FileDescriptor fd(
        systemCalls().open(target.name.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0));
    if (!fd.isOpen()) {
        if (errno == ENXIO && S_ISFIFO(target.st.st_mode))
            throw text::FileCreateError(path, QStringLiteral("nothing reads from this named pipe"));
        throw text::FileCreateError(path);
    }
    if (!clearNonBlocking(fd.get()))
        throw text::StreamWriteError(path, errno);
    {
        SigpipeHeld held;
        DescriptorSink sink(fd.get(), path, &held);
        produce(sink);
    }
    if (!fd.reset())
        throw text::StreamWriteError(path, errno);
}

// Holds new content in a nameless file of the temporary folder until it is
// complete, so that nothing the producer does (a failed read, a stop) can
// reach the file it is for.
class StagedContent final : public ContentSink {
public:
    StagedContent()
        : m_folder(QFile::encodeName(QDir::tempPath()))
        , m_fd(::open(m_folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600))
    {
    }
    bool isOpen() const { return m_fd.isOpen(); }
    void write(const char* data, qsizetype size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd.get(), data, static_cast<size_t>(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw text::StreamWriteError(QFile::decodeName(m_folder), n < 0 ? errno : ENOSPC);
            data += n;
            size -= n;
        }
    }
    // Copies the content into `sink` from its start.
    void copyTo(ContentSink& sink)
    {
        if (::lseek(m_fd.get(), 0, SEEK_SET) != 0)
            throw text::StreamWriteError(QFile::decodeName(m_folder), errno);
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            const ssize_t n = ::read(m_fd.get(), buffer.data(), static_cast<size_t>(buffer.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw text::StreamWriteError(QFile::decodeName(m_folder), errno);
            if (n == 0)
                return;
            sink.write(buffer.constData(), n);
        }
    }

private:
    QByteArray m_folder;
    FileDescriptor m_fd;
};

// A regular file whose folder takes no new file: written where it stands,
// from a complete copy of the new content where the temporary folder can
// hold one.
void writeInPlace(const QString& path, const Target& target, const ContentProducer& produce, qint64 size)
{
    StagedContent staged;
    if (staged.isOpen())
        produce(staged);
    SystemCalls& sys = systemCalls();
    FileDescriptor fd(sys.open(target.name.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0));
    if (!fd.isOpen())
        throw text::FileCreateError(path);
    // Room first, so that a full disk fails before the old content is
    // touched; then the new content over the old, cut to its length.
    if (size > 0 && sys.fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 && !unsupported(errno))
        throw text::StreamWriteError(path, errno);
    DescriptorSink sink(fd.get(), path);
    if (staged.isOpen())
        staged.copyTo(sink);
    else
        produce(sink);
    if (sys.ftruncate(fd.get(), sink.written()) != 0 || sys.fsync(fd.get()) != 0)
        throw text::StreamWriteError(path, errno);
    if (!fd.reset())
        throw text::StreamWriteError(path, errno);
}

mode_t modeForNewFile()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void replaceRegular(const QString& path, const Target& target, const ContentProducer& produce, qint64 size)
{
    SystemCalls& sys = systemCalls();
    const QByteArray folder = folderOf(target.name);
    removeStaleTemporaryFiles(folder);

    QByteArray temporary = temporaryFilePattern(folder);
    FileDescriptor fd(sys.mkostemps(temporary.data(), 4, O_CLOEXEC));
    if (!fd.isOpen()) {
        // A folder the user may not add to, holding a file they may write.
        if (target.exists && (errno == EACCES || errno == EPERM)) {
            writeInPlace(path, target, produce, size);
            return;
        }
        throw text::FileCreateError(path);
    }
    const LiveTemporaryFile listed(temporary);
    auto discard = [&] {
        fd.reset();
        ::unlink(temporary.constData());
    };

    const mode_t mode = target.exists ? target.st.st_mode & 07777 : modeForNewFile();
    try {
        if (sys.fchmod(fd.get(), mode) != 0)
            throw text::StreamWriteError(path, errno);
        DescriptorSink sink(fd.get(), path);
        produce(sink);
        if (sys.fsync(fd.get()) != 0 || !fd.reset())
            throw text::StreamWriteError(path, errno);
    } catch (...) {
        discard();
        throw;
    }
    if (sys.rename(temporary.constData(), target.name.constData()) != 0) {
        discard();
        throw text::FileCreateError(path);
    }
}

} // namespace

void replaceFile(const QString& path, const QByteArray& content)
{
    replaceFile(
        path, [&content](ContentSink& sink) { sink.write(content.constData(), content.size()); },
        content.size());
}

void replaceFile(const QString& path, const ContentProducer& produce, qint64 sizeHint)
{
    const Target target = resolveTarget(path);
    if (target.exists) {
        const mode_t mode = target.st.st_mode;
        if (S_ISDIR(mode))
            throw text::FileCreateError(path);
        if (S_ISFIFO(mode) || S_ISCHR(mode)) {
            writeIntoStream(path, target, produce);
            return;
        }
        if (!S_ISREG(mode))
            throw text::FileCreateError(path, notRegular(mode));
        if (::access(target.name.constData(), W_OK) != 0)
            throw text::FileCreateError(path);
    }
    replaceRegular(path, target, produce, sizeHint);
}

} // namespace tess::io
