#pragma once

#include "browser/BrowserHost.h"
#include "browser/PageSnapshot.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// How the WebEngine host copies a loaded document out of the page: one
// script run whose result is read into a PageSnapshot.
namespace tess::browser::snapshotscript {

// The script that copies the document. It must run in a world of its own,
// where the page's script cannot have replaced the DOM accessors or the
// built-in prototypes it uses. Each link's carried target is looked for in
// the attributes named; the page's parts are read with the selectors given.
QString source(const QStringList& targetAttributes, const BrowserHost::PageParts& parts = {});

// Reads the script's result. Anything malformed yields what could be read:
// missing parts are empty, and when the script's lists of addresses and
// texts differ in length the longer one is cut to the shorter.
PageSnapshot read(const QVariant& result);

// Whether the page copied is about to send the browser on by itself (a
// refresh within a second): the document the request ends on comes next.
bool leavesAtOnce(const QVariant& result);

} // namespace tess::browser::snapshotscript
