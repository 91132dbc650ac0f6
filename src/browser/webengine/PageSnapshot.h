#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace tess::browser {

// Everything the harvest reads of one loaded document, copied out of the
// page in a single script run so that later reads need no round trip to
// the renderer and always agree with each other.
struct PageSnapshot {
    QString location;
    QString bodyText;
    QStringList hrefs;
    QStringList texts; // same length as hrefs

    // The script that produces a snapshot. It must run in a world of its
    // own, where the page's script cannot have replaced the DOM accessors
    // or the built-in prototypes it uses.
    static const QString& script();

    // Reads the script's result. Anything malformed yields what could be
    // read: missing parts are empty, and the two link lists are cut to the
    // same length.
    static PageSnapshot fromScriptResult(const QVariant& result);
};

} // namespace tess::browser
