// A long run of the real main window against the sample engine, pages
// without end, at the shortest interval: prints the memory of the program
// and of its browser processes as the pages go by, so growth shows.
//
//   bench_soak [pages]        (default 1000; offscreen: QT_QPA_PLATFORM=offscreen)
#include "SampleEngine.h"
#include "app/MainWindow.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "io/ExeDir.h"
#include "support/EventLoop.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

using namespace tess;

namespace {

// Resident memory of a process in MiB; 0 when it is gone.
double residentMiB(const QString& pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

QString parentOf(const QString& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    // "pid (name) state ppid ...": the name may hold blanks, so read after ")".
    return QString::fromLatin1(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1));
}

// Every process below this one: the browser's helper and page processes.
double descendantsMiB(int* count)
{
    const QString self = QString::number(::getpid());
    double total = 0;
    *count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() <= 0 || pid == self)
            continue;
        for (QString p = parentOf(pid); !p.isEmpty() && p != QStringLiteral("1") && p != QStringLiteral("0");
             p = parentOf(p)) {
            if (p == self) {
                total += residentMiB(pid);
                ++*count;
                break;
            }
        }
    }
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    const int pages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    browser::prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    io::setExeDir(dir.path());
    test::ScriptedDialogs dialogs;

    sample::SampleEngine engine({ 10, true });
    const int port = engine.start(0);
    app::MainWindow form({ { QByteArray("127.0.0.1:") + QByteArray::number(port) },
        dir.filePath(QStringLiteral("browser")), [] { return QStringLiteral("192.0.2.1"); }, {} });
    form.show();
    form.findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(1);
    QByteArray keywords;
    for (int k = 1; k <= pages / 75 + 2; ++k)
        keywords += "soak" + QByteArray::number(k) + "\r\n";
    dialogs.openAnswers.push_back({ test::writeFile(dir.filePath(QStringLiteral("k.txt")), keywords) });
    form.importKeywords();
    form.startSearch();

    std::printf("%8s %12s %14s %10s\n", "pages", "program MiB", "browser MiB", "processes");
    for (int next = 0; next <= pages; next += std::max(1, pages / 10)) {
        test::waitUntil([&] { return engine.requestCount() >= static_cast<size_t>(next); }, 600000);
        int count = 0;
        const double browserMiB = descendantsMiB(&count);
        std::printf("%8zu %12.1f %14.1f %10d\n", engine.requestCount(),
            residentMiB(QString::number(::getpid())), browserMiB, count);
        std::fflush(stdout);
    }
    form.stopSearch();
    test::waitUntil([&] { return form.panelText(6).startsWith(QStringLiteral("搜索已经结束！")); }, 30000);
    std::printf("rows: %s, status: %s\n", qPrintable(form.panelText(5)), qPrintable(form.panelText(6)));
    return 0;
}
