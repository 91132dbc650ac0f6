#pragma once

#include <QList>
#include <QString>

namespace tess::browser {

// One link of a loaded document.
struct PageLink {
    QString href; // the absolute address; other schemes as written
    QString text; // the visible text, possibly empty
    // The address carried by the link or its nearest enclosing element in
    // one of the attributes the harvest asks for (BrowserHost::
    // setTargetAttributes), the first of them found; empty when none.
    QString carriedTarget = {};
    QString id = {}; // the link's id attribute
    QString classes = {}; // its class attribute as written: names separated by blanks
    // The organic result (BrowserHost::setPageParts) the link is in: its
    // index among the page's results in document order; -1 when none.
    int resultIndex = -1;
    bool ad = false; // the link is, or is in, one of the page's advertisements
};

// Everything the harvest reads of one loaded document, taken in one go so
// that later reads need no round trip to the browser and always agree with
// each other. An empty snapshot stands for no document.
struct PageSnapshot {
    QString location; // the top-level document's address
    QString bodyText; // the body's plain text, blocks on lines of their own
    QList<PageLink> links; // anchors and image-map areas with an address, in document order

    // The request ended without a document of its own to read: the
    // browser's error page, an HTTP error status, a download, an empty
    // answer, a load given up. `failure` says which, for the user.
    bool loadFailed = false;
    QString failure;

    QString title = {}; // the document's title

    int resultCount = 0; // the page's organic results (BrowserHost::setPageParts)
    // The texts of the engine's related searches on the page, in document
    // order, each once.
    QList<QString> relatedSearches = {};
};

} // namespace tess::browser
