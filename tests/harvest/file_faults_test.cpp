#include "harvest/ResultsLog.h"
#include "harvest/StateFile.h"
#include "support/Errors.h"
#include "support/FailingCalls.h"
#include "support/Files.h"
#include "text/Errors.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

using namespace tess;
using namespace tess::harvest;
using test::Call;
using test::errorOf;
using test::failing;
using test::reason;

namespace {

struct CountingReceiver final : StateReceiver {
    void restoreKeywordFile(const QString&) override { ++restored; }
    void restoreKeywordIndex(int) override { ++restored; }
    void restoreDedupe(bool) override { ++restored; }
    void restoreInterval(int) override { ++restored; }
    int restored = 0;
};

} // namespace

TEST(StateFileFaults, FailuresNameTheStateFileAndKeepThePreviousOne)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QString::fromLatin1(kStateFileName));
    saveStateFile(p, { QStringLiteral("old.txt"), 3, true, 7 });
    const QByteArray before = test::readFile(p);
    for (const auto& [call, error] : { std::pair { Call::CreateTemporary, ENOSPC }, { Call::Write, ENOSPC },
             { Call::Fsync, EIO }, { Call::Rename, EIO } }) {
        const test::InterceptedCalls faulty = failing(call, error);
        EXPECT_EQ(errorOf([&] {
            saveStateFile(p, { QStringLiteral("new.txt"), 9, false, 1 });
        }),
            call == Call::CreateTemporary || call == Call::Rename
                ? QStringLiteral("Cannot create file ") + p
                : QStringLiteral("Stream write error: %1: %2").arg(p, reason(error)));
        EXPECT_EQ(test::readFile(p), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    CountingReceiver receiver;
    {
        const test::InterceptedCalls faulty = failing(Call::Read, ENXIO);
        EXPECT_EQ(errorOf([&] { loadStateFile(p, receiver); }),
            QStringLiteral("I/O error 6: %1: %2").arg(p, reason(ENXIO)));
    }
    // A named pipe in its place is refused, not waited on.
    QFile::remove(p);
    ASSERT_EQ(::mkfifo(QFile::encodeName(p).constData(), 0644), 0);
    EXPECT_EQ(errorOf([&] { loadStateFile(p, receiver); }),
        QStringLiteral("File access denied: %1: not a regular file (named pipe)").arg(p));
    EXPECT_EQ(receiver.restored, 0);
}

TEST(ResultsLogFaults, RowsTheScratchFileRefusesAreKeptAndTheFailureNamed)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("mirovadel.tmp"));
    for (const Call call : { Call::Open, Call::Write }) {
        for (const int error : { ENOSPC, EIO, EACCES }) {
            ResultsLog log(p);
            QStringList reports;
            log.onWriteFailure = [&](const QString& m) { reports << m; };
            {
                const test::InterceptedCalls faulty = failing(call, error);
                log.restart();
                log.append({ "http://a.example/", "A" });
                log.flush();
            }
            ASSERT_EQ(reports.size(), 1);
            EXPECT_TRUE(reports.first().contains(p)) << reports.first().toStdString();
            EXPECT_TRUE(reports.first().contains(reason(error))) << reports.first().toStdString();
            EXPECT_EQ(log.contents(), ResultsLog::formatRow({ "http://a.example/", "A" }));
        }
    }
    ResultsLog log(p);
    log.restart();
    log.append({ "http://a.example/", "A" });
    const test::InterceptedCalls faulty = failing(Call::Read, EIO);
    EXPECT_EQ(
        errorOf([&] { log.contents(); }), QStringLiteral("Stream read error: %1: %2").arg(p, reason(EIO)));
}
