#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace tess::test {

// Stands in for the desktop's browser and mail program: install with
// QDesktopServices::setUrlHandler(scheme, &sink, "open").
class UrlSink final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

} // namespace tess::test
