#include "io/FileReplace.h"

#include "io/FileDescriptor.h"
#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "text/Errors.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::io {
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
        , m_fd(systemCalls().open(m_folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600))
    {
    }
    bool isOpen() const { return m_fd.isOpen(); }
    void write(const char* data, qsizetype size) override
    {
        while (size > 0) {
            const ssize_t n = systemCalls().write(m_fd.get(), data, static_cast<size_t>(size));
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
        if (systemCalls().lseek(m_fd.get(), 0, SEEK_SET) != 0)
            throw text::StreamWriteError(QFile::decodeName(m_folder), errno);
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            const ssize_t n
                = systemCalls().read(m_fd.get(), buffer.data(), static_cast<size_t>(buffer.size()));
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

// Whether a nameless file can be given a name: the link goes through the
// descriptor's entry in /proc, as linking the descriptor itself needs a
// privilege the program does not have.
bool namelessFilesLinkable()
{
    static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
    return linkable;
}

// The folder's file system has no nameless files (or a kernel too old to
// know them answers as for a folder opened for writing).
bool namelessRefused(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

FileDescriptor openNameless(const QByteArray& folder)
{
    if (!namelessFilesLinkable()) {
        errno = EOPNOTSUPP;
        return FileDescriptor();
    }
    return FileDescriptor(systemCalls().openNameless(folder.constData(), O_WRONLY | O_CLOEXEC, 0600));
}

// Gives the nameless file a temporary name of the program's form in
// `folder`, listed for the signal cleanup by `listed`. Throws
// FileCreateError.
QByteArray linkNameless(
    const QString& path, int fd, const QByteArray& folder, std::optional<LiveTemporaryFile>& listed)
{
    const QByteArray entry = "/proc/self/fd/" + QByteArray::number(fd);
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = temporaryFilePattern(folder);
        for (qsizetype i = name.size() - 10; i < name.size() - 4; ++i)
            name[i] = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        listed.emplace(name);
        if (systemCalls().linkat(AT_FDCWD, entry.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW)
            == 0)
            return name;
        listed.reset();
        if (errno != EEXIST)
            break;
    }
    throw text::FileCreateError(path);
}

// The new content made whole in a file without a name, which is named and
// renamed over the target only at the end: whatever ends the program
// before then (SIGKILL, a power cut) leaves nothing beside the target.
void replaceThroughNameless(const QString& path, const Target& target, const QByteArray& folder,
    FileDescriptor fd, const ContentProducer& produce, mode_t mode)
{
    SystemCalls& sys = systemCalls();
    if (sys.fchmod(fd.get(), mode) != 0)
        throw text::StreamWriteError(path, errno);
    DescriptorSink sink(fd.get(), path);
    produce(sink);
    if (sys.fsync(fd.get()) != 0)
        throw text::StreamWriteError(path, errno);
    std::optional<LiveTemporaryFile> listed;
    const QByteArray temporary = linkNameless(path, fd.get(), folder, listed);
    if (!fd.reset()) {
        const int error = errno;
        ::unlink(temporary.constData());
        throw text::StreamWriteError(path, error);
    }
    if (sys.rename(temporary.constData(), target.name.constData()) != 0) {
        ::unlink(temporary.constData());
        throw text::FileCreateError(path);
    }
}

// The new content in a named temporary file, where the folder has no
// nameless ones.
void replaceThroughNamed(const QString& path, const Target& target, const QByteArray& folder,
    const ContentProducer& produce, mode_t mode, qint64 size)
{
    SystemCalls& sys = systemCalls();
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

void replaceRegular(const QString& path, const Target& target, const ContentProducer& produce, qint64 size)
{
    const QByteArray folder = folderOf(target.name);
    removeStaleTemporaryFiles(folder);
    const mode_t mode = target.exists ? target.st.st_mode & 07777 : modeForNewFile();
    FileDescriptor nameless = openNameless(folder);
    if (nameless.isOpen()) {
        replaceThroughNameless(path, target, folder, std::move(nameless), produce, mode);
        return;
    }
    if (target.exists && (errno == EACCES || errno == EPERM)) {
        writeInPlace(path, target, produce, size);
        return;
    }
    if (!namelessRefused(errno))
        throw text::FileCreateError(path);
    replaceThroughNamed(path, target, folder, produce, mode, size);
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
