// Times one results page in the real main window: from the browser's
// "load finished" to the snapshot being ready, and the engine's page step
// (pager test, link harvest, rows into the list) on that snapshot.
//
//   bench_gui_pagestep [rounds]     (offscreen: QT_QPA_PLATFORM=offscreen)
#include "app/MainWindow.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "io/ExeDir.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tess;

namespace {

QByteArray resultsPage(int links)
{
    QString html = QStringLiteral("<html><head><meta charset='utf-8'><title>x</title></head><body>");
    for (int i = 0; i < links; ++i)
        html += QStringLiteral("<p><a href='http://site%1.example.com/item/%1.html'>示例网站 %1</a> 摘要</p>")
                    .arg(i);
    return (html + QStringLiteral("<p>1 [2] [3] 下一页</p></body></html>")).toUtf8();
}

void spinUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    if (!done())
        loop.exec();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Serves every page of the keyword `word` with `links` links.
void servePages(test::LocalHttpServer& server, const QByteArray& word, int links)
{
    for (int p = 0; p < 80; ++p)
        server.setPage("/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=" + word
                + "&pn=" + QByteArray::number(p * 10) + "&cl=3",
            resultsPage(links));
}

// Runs `rounds` pages of `links` links through the window; prints the
// medians of the snapshot and of the page step.
void measure(app::MainWindow& form, test::LocalHttpServer& server, int links, int rounds)
{
    const QByteArray word = "w" + QByteArray::number(links);
    servePages(server, word, links);
    browser::WebEngineBrowserHost& host = form.browserHost();
    QElapsedTimer clock;
    qint64 finishedAt = 0, completedAt = 0;
    QObject::connect(
        host.page(), &QWebEnginePage::loadFinished, &form, [&] { finishedAt = clock.nsecsElapsed(); });
    auto complete = host.onDocumentComplete;
    host.onDocumentComplete = [&, complete](browser::FrameId f) {
        completedAt = clock.nsecsElapsed();
        complete(f);
    };

    form.run().keywordList() = { word };
    form.run().setKeywordIndex(0);
    clock.start();
    form.startSearch();
    std::vector<double> snapshot, step;
    for (int r = 0; r < rounds + 2; ++r) {
        spinUntil([&] { return form.tracker().pageLoaded(); });
        form.tracker().clearPageLoaded();
        QElapsedTimer t;
        t.start();
        form.run().readLoadedPage(); // requests the next page of the keyword
        form.repaintNow(); // the rows reach the list and the window is painted
        const double stepMs = t.nsecsElapsed() / 1e6;
        if (r >= 2) { // the first loads warm the browser up
            snapshot.push_back((completedAt - finishedAt) / 1e6);
            step.push_back(stepMs);
        }
    }
    form.stopSearch();
    host.onDocumentComplete = complete;
    std::printf("%-7d %14.1f %14.1f %14.1f\n", links, median(snapshot), median(step),
        median(snapshot) + median(step));
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
    browser::prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    io::setExeDir(dir.path());
    test::ScriptedDialogs dialogs;

    test::LocalHttpServer server;
    app::MainWindow form({ .engineHosts = { QByteArray("127.0.0.1:") + QByteArray::number(server.port()) },
        .profileFolder = dir.filePath(QStringLiteral("browser")),
        .localAddress = [] { return QStringLiteral("192.0.2.1"); } });
    form.show();
    // The poll timer stays out of the way: the bench takes each page itself.
    form.findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(1000);

    std::printf("%-7s %14s %14s %14s\n", "links", "snapshot ms", "page step ms", "total ms");
    for (int links : { 100, 5000 })
        measure(form, server, links, rounds);
    dialogs.confirmAnswers = { true };
    form.close();
    return 0;
}
