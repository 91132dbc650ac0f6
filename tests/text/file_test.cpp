#include "support/FailingCalls.h"
#include "support/Files.h"
#include "text/Errors.h"
#include "text/TextFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

using namespace tess::text;
using tess::test::Call;
using tess::test::failing;
using tess::test::InterceptedCalls;
using tess::test::readFile;
using tess::test::writeFile;

namespace {

template <typename F> QString errorOf(F&& f)
{
    try {
        f();
    } catch (const AppError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

QString reason(int error) { return QString::fromLocal8Bit(::strerror(error)); }

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

} // namespace

TEST(FileFaults, AFailedReplacementReportsTheStepAndLeavesNoTrace)
{
    const QByteArray old = "old line one\r\nold line two\r\n";
    const struct {
        Call call;
        bool inPlace; // the folder takes no new file
        bool createError; // "Cannot create file" rather than a write error
        QByteArray left; // the file afterwards
    } steps[] = {
        { Call::CreateTemporary, false, true, old },
        { Call::Fchmod, false, false, old },
        { Call::Write, false, false, old },
        { Call::Fsync, false, false, old },
        { Call::Close, false, false, old },
        { Call::Rename, false, true, old },
    };
    for (const auto& step : steps) {
        for (const int error : { ENOSPC, EIO, EACCES }) {
            SCOPED_TRACE(std::string(tess::test::callName(step.call)) + (step.inPlace ? " in place " : " ")
                + ::strerror(error));
            QTemporaryDir dir;
            const QString p = writeFile(dir.filePath(QStringLiteral("list.txt")), old);
            const InterceptedCalls faulty([&](Call call) {
                return call == step.call ? error : call == Call::CreateTemporary && step.inPlace ? EACCES : 0;
            });
            const QString message = errorOf([&] { replaceFile(p, "new\r\n"); });
            EXPECT_EQ(
                message, step.createError ? QStringLiteral("Cannot create file ") + p : writeError(p, error));
            EXPECT_EQ(readFile(p), step.left);
            EXPECT_EQ(entries(dir.path()), QStringList { QStringLiteral("list.txt") });
        }
    }
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
