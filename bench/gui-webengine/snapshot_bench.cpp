// Measures the snapshot round trip: from the page's loadFinished to the
// host's DocumentComplete, for result pages of various link counts served
// from 127.0.0.1. Prints the median and the spread of several loads.
//
// usage: bench_gui_webengine [repetitions]   (run with QT_QPA_PLATFORM=offscreen)

#include "support/LocalHttpServer.h"

#include "browser/webengine/ChromiumEnvironment.h"
#include "browser/webengine/WebEngineBrowserHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray linkPage(int links)
{
    QByteArray html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
                      "<div>上一页 <a href=\"/s?pn=0\">[1]</a> 2 <a href=\"/s?pn=20\">[3]</a> 下一页</div>";
    for (int i = 0; i < links; ++i) {
        html += "<div class=\"result\"><h3><a href=\"http://www.site" + QByteArray::number(i)
            + ".example.com/page/" + QByteArray::number(i * 7919) + ".html\">第" + QByteArray::number(i)
            + "条结果 标题文字</a></h3><p>摘要文字 summary text " + QByteArray::number(i) + "</p></div>";
    }
    return html + "</body></html>";
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tess::browser::prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 15;

    QTemporaryDir profile;
    tess::test::LocalHttpServer server;
    tess::browser::WebEngineBrowserHost host(profile.path());
    host.view()->resize(1024, 768);
    host.view()->show();

    QElapsedTimer sinceFinished;
    QObject::connect(host.page(), &QWebEnginePage::loadFinished, [&] { sinceFinished.start(); });
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setInterval(30000);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    double lastMs = 0;
    host.onDocumentComplete = [&](tess::browser::FrameId) {
        lastMs = sinceFinished.nsecsElapsed() / 1e6;
        loop.quit();
    };

    for (const int links : { 100, 1000, 5000 }) {
        const QByteArray path = "/links" + QByteArray::number(links);
        std::vector<double> times;
        for (int r = 0; r <= repetitions; ++r) {
            // A fresh address each time, so nothing comes from the cache.
            const QByteArray fresh = path + "?r=" + QByteArray::number(r);
            server.setPage(fresh, linkPage(links));
            host.navigate(server.url(fresh));
            timeout.start();
            loop.exec();
            timeout.stop();
            if (host.snapshot().links.size() != links + 2) {
                std::fprintf(stderr, "%d links: read %d\n", links, int(host.snapshot().links.size()));
                return 1;
            }
            if (r > 0) // the first load warms the renderer up
                times.push_back(lastMs);
        }
        std::sort(times.begin(), times.end());
        std::printf("%5d links: median %7.2f ms  min %7.2f  max %7.2f  (%zu loads)\n", links,
            times[times.size() / 2], times.front(), times.back(), times.size());
    }
    return 0;
}
