#include "io/FileDescriptor.h"
#include "io/FileReader.h"
#include "io/FileReplace.h"
#include "io/TemporaryFileCleanup.h"
#include "io/TemporaryFiles.h"
#include "support/Errors.h"
#include "support/FailingCalls.h"
#include "support/Files.h"
#include "text/Errors.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

using namespace tess::io;
using namespace tess::text;
using tess::test::Call;
using tess::test::errorOf;
using tess::test::failing;
using tess::test::InterceptedCalls;
using tess::test::readFile;
using tess::test::reason;
using tess::test::writeFile;

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }
QString writeError(const QString& path, int error)
{
    return QStringLiteral("Stream write error: %1: %2").arg(path, reason(error));
}

// Everything in the folder, hidden files, pipes and sockets included.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t modeOf(const QString& path, bool followLinks = true)
{
    struct stat st { };
    return (followLinks ? ::stat : ::lstat)(native(path).constData(), &st) == 0 ? st.st_mode : 0;
}

QByteArray linkTarget(const QString& path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(native(path).constData(), buffer, sizeof buffer);
    return n < 0 ? QByteArray("<not a link>") : QByteArray(buffer, n);
}

void makeSocket(const QString& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, native(path).constData(), sizeof address.sun_path - 1);
    ::bind(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0), reinterpret_cast<sockaddr*>(&address),
        sizeof address);
}

} // namespace

TEST(ReplaceFile, FollowsLinksToTheFileTheyNameAndKeepsThem)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("real"));
    QDir(dir.path()).mkpath(QStringLiteral("links"));
    const QString list = dir.filePath(QStringLiteral("real/list.txt"));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const struct {
        const char* link;
        QByteArray points;
        const char* written; // empty when refused
    } cases[] = {
        { "links/relative", "../real/list.txt", "real/list.txt" },
        { "links/absolute", native(list), "real/list.txt" },
        { "links/chain", "relative", "real/list.txt" },
        // A link made ahead of its file: the file is created where named.
        { "links/ahead", "../real/new.txt", "real/new.txt" },
        { "links/nowhere", "../missing/x.txt", "" },
        { "links/loop", "loop", "" },
    };
    for (const auto& c : cases)
        ASSERT_EQ(
            ::symlink(c.points.constData(), native(dir.filePath(QLatin1StringView(c.link))).constData()), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        const QString link = dir.filePath(QLatin1StringView(c.link));
        writeFile(list, "old");
        ::chmod(native(list).constData(), 0640);
        const QString written = dir.filePath(QLatin1StringView(c.written));
        const bool existed = QFile::exists(written);
        EXPECT_EQ(errorOf([&] { replaceFile(link, c.link); }),
            *c.written ? QStringLiteral("<no error>") : QStringLiteral("Cannot create file ") + link);
        if (*c.written) {
            EXPECT_EQ(readFile(written), QByteArray(c.link));
            EXPECT_EQ(modeOf(written) & 0777, existed ? 0640u : 0666u & ~mask);
        }
        EXPECT_EQ(linkTarget(link), c.points);
    }
    EXPECT_EQ(entries(dir.filePath(QStringLiteral("real"))),
        (QStringList { QStringLiteral("list.txt"), QStringLiteral("new.txt") }));
}

TEST(ReplaceFile, TakesNamesOfAnyLegalLength)
{
    QTemporaryDir dir;
    // In bytes: 1, 248, 250, 255, and 255 in three-byte characters.
    for (const QString& name : { QStringLiteral("n"), QString(248, QLatin1Char('n')),
             QString(250, QLatin1Char('n')), QString(255, QLatin1Char('n')), QString(85, QChar(0x4E2D)) }) {
        const QString p = dir.filePath(name);
        replaceFile(p, "first");
        replaceFile(p, "second");
        EXPECT_EQ(readFile(p), QByteArray("second"));
        EXPECT_EQ(entries(dir.path()), QStringList { name });
        QFile::remove(p);
    }
    const QString tooLong = dir.filePath(QString(256, QLatin1Char('n')));
    EXPECT_EQ(errorOf([&] { replaceFile(tooLong, "x"); }), QStringLiteral("Cannot create file ") + tooLong);
}

TEST(ReplaceFile, WritesIntoPipesAndDevicesAndRefusesOtherNonFiles)
{
    QTemporaryDir dir;
    const QString read = dir.filePath(QStringLiteral("read-pipe"));
    const QString unread = dir.filePath(QStringLiteral("unread-pipe"));
    const QString socket = dir.filePath(QStringLiteral("socket"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    ::mkfifo(native(read).constData(), 0644);
    ::mkfifo(native(unread).constData(), 0644);
    makeSocket(socket);
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    const int reader = ::open(native(read).constData(), O_RDONLY | O_NONBLOCK);

    const struct {
        QString path;
        QString error;
    } cases[] = {
        { read, QStringLiteral("<no error>") },
        { QStringLiteral("/dev/null"), QStringLiteral("<no error>") },
        // Refused at once rather than waited on.
        { unread, QStringLiteral("Cannot create file %1: nothing reads from this named pipe").arg(unread) },
        { socket, QStringLiteral("Cannot create file %1: not a regular file (socket)").arg(socket) },
        { folder, QStringLiteral("Cannot create file %1").arg(folder) },
    };
    for (const auto& c : cases) {
        const mode_t kind = modeOf(c.path) & S_IFMT;
        EXPECT_EQ(errorOf([&] { replaceFile(c.path, "through\r\n"); }), c.error);
        EXPECT_EQ(modeOf(c.path) & S_IFMT, kind) << c.path.toStdString();
    }
    char buffer[16] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 9);
    EXPECT_STREQ(buffer, "through\r\n");

    // A reader that leaves before the writing: an error, not SIGPIPE.
    static int leaving = -1;
    leaving = reader;
    const InterceptedCalls closingFirst([](Call call) {
        if (call == Call::Write)
            ::close(std::exchange(leaving, -1));
        return 0;
    });
    EXPECT_EQ(errorOf([&] { replaceFile(read, "x"); }), writeError(read, EPIPE));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    EXPECT_EQ(entries(dir.path()).size(), 4);
}

TEST(ReplaceFile, WritesInPlaceWhenTheFolderTakesNoNewFile)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("kept.txt"));
    const QString other = dir.filePath(QStringLiteral("other-name.txt"));
    writeFile(p, "old content, longer than the new");
    ::chmod(native(p).constData(), 0640);
    ::link(native(p).constData(), native(other).constData());
    {
        // What a folder without write permission answers (root is never told).
        const InterceptedCalls noNewFiles = failing(Call::CreateTemporary, EACCES);
        replaceFile(p, "new");
        // The same file: its other name sees the content, its mode is kept.
        EXPECT_EQ(readFile(other), QByteArray("new"));
        EXPECT_EQ(modeOf(p) & 0777, 0640u);
        // A producer that gives up half way leaves the old content.
        EXPECT_THROW(replaceFile(
                         p,
                         [](ContentSink& sink) {
                             sink.write("half", 4);
                             throw std::runtime_error("stopped");
                         },
                         8),
            std::runtime_error);
        EXPECT_EQ(readFile(other), QByteArray("new"));
        replaceFile(p, "");
        EXPECT_EQ(readFile(p), QByteArray());
        const QString fresh = dir.filePath(QStringLiteral("fresh.txt"));
        EXPECT_EQ(errorOf([&] { replaceFile(fresh, "x"); }), QStringLiteral("Cannot create file ") + fresh);
    }
    if (::geteuid() != 0) {
        ::chmod(native(dir.path()).constData(), 0555);
        replaceFile(p, "again");
        ::chmod(native(dir.path()).constData(), 0755);
        EXPECT_EQ(readFile(p), QByteArray("again"));
    }
    EXPECT_EQ(
        entries(dir.path()), (QStringList { QStringLiteral("kept.txt"), QStringLiteral("other-name.txt") }));
}

TEST(ReplaceFile, ASignalWhileWritingRemovesTheTemporaryFile)
{
    static int signalNumber = 0;
    for (const auto& [signal, ignored] :
        { std::pair { SIGINT, false }, { SIGTERM, false }, { SIGHUP, false }, { SIGHUP, true } }) {
        QTemporaryDir dir;
        const QString p = writeFile(dir.filePath(QStringLiteral("state.ini")), "old");
        signalNumber = signal;
        auto signalledWhileWriting = [&] {
            if (ignored)
                std::signal(signal, SIG_IGN);
            installTemporaryFileCleanup();
            const InterceptedCalls signalled(
                [](Call call) { return call == Call::Write ? ::raise(signalNumber) : 0; });
            replaceFile(p, "new");
            std::_Exit(0);
        };
        if (ignored)
            EXPECT_EXIT(signalledWhileWriting(), ::testing::ExitedWithCode(0), "");
        else
            EXPECT_EXIT(signalledWhileWriting(), ::testing::KilledBySignal(signal), "");
        EXPECT_EQ(readFile(p), ignored ? QByteArray("new") : QByteArray("old"));
        EXPECT_EQ(entries(dir.path()), QStringList { QStringLiteral("state.ini") });
    }
}

TEST(ReplaceFile, RemovesTemporaryFilesACrashLeftInTheFolder)
{
    QTemporaryDir dir;
    const QByteArray self = QByteArray::number(::getpid());
    // 99999999 is above any system's highest process id; process 1 always
    // runs.
    const struct {
        QByteArray name;
        time_t age; // seconds since last written
        bool kept;
    } cases[] = {
        { ".tessaroon-99999999-aB3xYz.tmp", 120, false }, // writer gone
        { ".tessaroon-99999999-aB3xY1.tmp", 5, true }, // too fresh to judge
        { ".tessaroon-1-aB3xYz.tmp", 120, true }, // writer still running
        { ".tessaroon-1-aB3xY2.tmp", 7200, false }, // abandoned: the id was reused
        { ".tessaroon-" + self + "-aB3xYz.tmp", 120, false }, // this process, not writing it
        { ".tessaroon-" + self + "-listed.tmp", 120, true }, // this process, writing it
        // Not the program's naming.
        { ".tessaroon-99999999-aB3xYz.tmp.keep", 7200, true },
        { ".tessaroon-0-aB3xYz.tmp", 7200, true },
        { ".tessaroon--1-aB3xYz.tmp", 7200, true },
        { ".tessaroon-12x4-aB3xYz.tmp", 7200, true },
        { ".tessaroon-99999999-aB3x!z.tmp", 7200, true },
        { ".tessaroon-99999999999999999999-aB3xYz.tmp", 7200, true },
    };
    const time_t now = ::time(nullptr);
    for (const auto& c : cases) {
        const timespec times[2] = { { now - c.age, 0 }, { now - c.age, 0 } };
        ::utimensat(AT_FDCWD, native(writeFile(dir.filePath(QFile::decodeName(c.name)), "part")).constData(),
            times, 0);
    }
    const LiveTemporaryFile listed(native(dir.path()) + "/.tessaroon-" + self + "-listed.tmp");
    replaceFile(dir.filePath(QStringLiteral("t.txt")), "x");
    for (const auto& c : cases)
        EXPECT_EQ(QFile::exists(dir.filePath(QFile::decodeName(c.name))), c.kept) << c.name.constData();
}

namespace {

const QByteArray kOldList = "old line one\r\nold line two\r\n";

struct FaultyStep {
    Call call;
    bool inPlace; // the folder takes no new file
    bool createError; // "Cannot create file" rather than a write error
    QByteArray left; // the file afterwards
    int letThrough = 0; // calls of the kind that succeed before the failing one
    bool staging = false; // fails the copy of the new content in the temporary folder
};

// Replaces a file with `step` failing; `nameless` false makes the folder's
// file system one without nameless files.
void expectFailedReplacement(const FaultyStep& step, bool nameless)
{
    for (const int error : { ENOSPC, EIO, EACCES }) {
        SCOPED_TRACE(std::string(tess::test::callName(step.call)) + (step.inPlace ? " in place " : " ")
            + (nameless ? "nameless " : "named ") + ::strerror(error));
        QTemporaryDir dir;
        const QString p = writeFile(dir.filePath(QStringLiteral("list.txt")), kOldList);
        int seen = 0;
        const InterceptedCalls faulty([&](Call call) {
            if (call == Call::CreateNameless && !nameless)
                return EOPNOTSUPP;
            if (call == step.call)
                return seen++ < step.letThrough ? 0 : error;
            return call == Call::CreateTemporary && step.inPlace ? EACCES : 0;
        });
        const QString message = errorOf([&] { replaceFile(p, "new\r\n"); });
        if (step.call == Call::CreateTemporary && error == EACCES) {
            EXPECT_EQ(message, QStringLiteral("<no error>")); // written in place instead
            EXPECT_EQ(readFile(p), QByteArray("new\r\n"));
        } else {
            const QString failed = step.staging ? QDir::tempPath() : p;
            EXPECT_EQ(message,
                step.createError ? QStringLiteral("Cannot create file ") + p : writeError(failed, error));
            EXPECT_EQ(readFile(p), step.left);
        }
        EXPECT_EQ(entries(dir.path()), QStringList { QStringLiteral("list.txt") });
    }
}

} // namespace

TEST(FileFaults, AFailedReplacementReportsTheStepAndLeavesNoTrace)
{
    const QByteArray& old = kOldList;
    const FaultyStep steps[] = {
        { Call::CreateTemporary, false, true, old },
        { Call::Fchmod, false, false, old },
        { Call::Write, false, false, old },
        { Call::Fsync, false, false, old },
        { Call::Close, false, false, old },
        { Call::Rename, false, true, old },
        { Call::Link, false, true, old },
        { Call::Open, true, true, old },
        { Call::Fallocate, true, false, old },
        // The first write fills the copy in the temporary folder.
        { Call::Write, true, false, old, 1 },
        // The copy in the temporary folder fails before the file is touched.
        { Call::Write, true, false, old, 0, true },
        { Call::Lseek, true, false, old, 0, true },
        { Call::Read, true, false, old, 0, true },
        // Past the first byte written in place, the old content is lost.
        { Call::Ftruncate, true, false, "new\r\nine one\r\nold line two\r\n" },
        { Call::Fsync, true, false, "new\r\n" },
        { Call::Close, true, false, "new\r\n" },
    };
    // Both ways of making the new file: without a name, and named where the
    // file system has no nameless files.
    for (const bool nameless : { true, false }) {
        for (const FaultyStep& step : steps) {
            if (step.call != Call::Link || nameless)
                expectFailedReplacement(step, nameless);
        }
    }
}

// Where the folder has no nameless files (or the kernel does not know
// them), the new content goes through a named temporary file instead.
TEST(FileFaults, FallsBackToANamedTemporaryFileWithoutNamelessFiles)
{
    const struct {
        int refusal; // what the nameless open answers; 0: nothing
        int namedFiles; // named temporary files made
        const char* error;
    } cases[] = {
        { 0, 0, "<no error>" },
        { EOPNOTSUPP, 1, "<no error>" },
        { EISDIR, 1, "<no error>" },
        { EINVAL, 1, "<no error>" },
        // A real failure is not hidden behind the other way.
        { ENOSPC, 0, "Cannot create file " },
        { ENOENT, 0, "Cannot create file " },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        QTemporaryDir dir;
        const QString p = writeFile(dir.filePath(QStringLiteral("list.txt")), "old");
        int named = 0;
        bool afterNameless = false; // the nameless open asks about both kinds
        const InterceptedCalls calls([&](Call call) {
            named += call == Call::CreateTemporary && !afterNameless;
            afterNameless = call == Call::CreateNameless && c.refusal == 0;
            return call == Call::CreateNameless ? c.refusal : 0;
        });
        const QString message = errorOf([&] { replaceFile(p, "new"); });
        EXPECT_EQ(message, *c.error == '<' ? QString::fromLatin1(c.error) : QLatin1StringView(c.error) + p);
        EXPECT_EQ(named, c.namedFiles);
        EXPECT_EQ(readFile(p), QByteArray(*c.error == '<' ? "new" : "old"));
        EXPECT_EQ(entries(dir.path()), QStringList { QStringLiteral("list.txt") });
    }
}

// SIGKILL cannot be caught: the writer's new content must have no name
// until it is whole.
TEST(ReplaceFile, AWriterKilledMidWayLeavesNothingBesideTheTarget)
{
    QTemporaryDir dir;
    const QString p = writeFile(dir.filePath(QStringLiteral("merged.txt")), "old");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        replaceFile(
            p,
            [&](ContentSink& sink) {
                const QByteArray block(1 << 20, 'x');
                for (int i = 0; i < 8; ++i)
                    sink.write(block.constData(), block.size());
                ::write(ready[1], "w", 1);
                ::pause();
            },
            0);
        std::_Exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(readFile(p), QByteArray("old"));
    EXPECT_EQ(entries(dir.path()), QStringList { QStringLiteral("merged.txt") });
}

TEST(FileFaults, AppendingAndReadingReportTheSystemsError)
{
    QTemporaryDir dir;
    const QString p = writeFile(dir.filePath(QStringLiteral("log.tmp")), "kept\r\n");
    for (const int error : { ENOSPC, EIO, EACCES }) {
        {
            const InterceptedCalls faulty = failing(Call::Open, error);
            EXPECT_FALSE(openForAppend(p, true).isOpen());
            EXPECT_EQ(errno, error);
        }
        const FileDescriptor fd = openForAppend(p, false);
        const InterceptedCalls faulty = failing(Call::Write, error);
        EXPECT_FALSE(writeAll(fd.get(), "row\r\n", 5));
        EXPECT_EQ(errno, error);
        EXPECT_EQ(readFile(p), QByteArray("kept\r\n"));
    }
    const InterceptedCalls faulty = failing(Call::Read, ENXIO);
    EXPECT_EQ(errorOf([&] { readWholeFile(p); }),
        QStringLiteral("Stream read error: %1: %2").arg(p, reason(ENXIO)));
    EXPECT_EQ(errorOf([&] { readLinesLf(p); }), QStringLiteral("I/O error 6: %1: %2").arg(p, reason(ENXIO)));
    // The keyword file's line count keeps the bare text.
    EXPECT_EQ(errorOf([&] {
        FileReader(p, ReadFailure::InOut).readChunks([](const char*, qsizetype) { return true; });
    }),
        QStringLiteral("I/O error 6"));
}

TEST(FileReader, RefusesWhatIsNotARegularFileUnlessPipesAreAllowed)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    const QString socket = dir.filePath(QStringLiteral("socket"));
    ::mkfifo(native(fifo).constData(), 0644);
    makeSocket(socket);
    const QString pipeRefused = QStringLiteral("not a regular file (named pipe)");
    const struct {
        QString path;
        ReadFailure failure;
        ReadOptions options;
        QString expected;
    } cases[] = {
        { fifo, ReadFailure::Stream, {}, QStringLiteral("Cannot open file %1: %2").arg(fifo, pipeRefused) },
        { fifo, ReadFailure::InOut, {}, QStringLiteral("File access denied") },
        { fifo, ReadFailure::InOut, { .detailedErrors = true },
            QStringLiteral("File access denied: %1: %2").arg(fifo, pipeRefused) },
        { QStringLiteral("/dev/null"), ReadFailure::Stream, {},
            QStringLiteral("Cannot open file /dev/null: not a regular file (character device)") },
        { QStringLiteral("/dev/null"), ReadFailure::Stream, { .allowPipes = true },
            QStringLiteral("<no error>") },
        { socket, ReadFailure::Stream, { .allowPipes = true },
            QStringLiteral("Cannot open file %1: not a regular file (socket)").arg(socket) },
    };
    for (const auto& c : cases) {
        QByteArray out;
        EXPECT_EQ(errorOf([&] { FileReader(c.path, c.failure, c.options).readAllInto(out); }), c.expected);
    }
    EXPECT_EQ(errorOf([&] { readWholeFile(fifo); }),
        QStringLiteral("Cannot open file %1: %2").arg(fifo, pipeRefused));
    EXPECT_EQ(errorOf([&] { readLinesLf(fifo); }),
        QStringLiteral("File access denied: %1: %2").arg(fifo, pipeRefused));

    // Allowed, the pipe is read in full once its writer comes, however late.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const int fd = ::open(native(fifo).constData(), O_WRONLY | O_CLOEXEC);
        for (const char* part : { "first\r\n", "second\r\n" }) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ::write(fd, part, std::strlen(part));
        }
        ::close(fd);
    });
    QByteArray out;
    FileReader(fifo, ReadFailure::Stream, { .allowPipes = true }).readAllInto(out);
    writer.join();
    EXPECT_EQ(out, QByteArray("first\r\nsecond\r\n"));
}
