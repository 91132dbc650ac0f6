#include "browser/webengine/SnapshotScript.h"

#include <QVariantList>
#include <QVariantMap>

#include <algorithm>

namespace tess::browser::snapshotscript {

namespace {

// The link collection is the document's own (anchors and areas carrying an
// href, in document order); `href` is the resolved absolute address and is
// left as written for other schemes. innerText of the body keeps inline
// runs (a pager of links and numbers) on one line and puts blocks on lines
// of their own. Documents without a body (XML, images) give empty text.
const auto kScript = QStringLiteral(R"JS((function () {
    var doc = document;
    var links = doc.links;
    var n = links ? links.length : 0;
    var hrefs = new Array(n);
    var texts = new Array(n);
    for (var i = 0; i < n; ++i) {
        var link = links[i];
        hrefs[i] = String(link.href);
        texts[i] = String(link.innerText || '');
    }
    var body = doc.body;
    return {
        location: String(doc.URL),
        body: body ? String(body.innerText || '') : '',
        hrefs: hrefs,
        texts: texts
    };
})())JS");

QStringList toStrings(const QVariant& value)
{
    QStringList out;
    const QVariantList list = value.toList();
    out.reserve(list.size());
    for (const QVariant& item : list)
        out.append(item.toString());
    return out;
}

} // namespace

const QString& source() { return kScript; }

PageSnapshot read(const QVariant& result)
{
    const QVariantMap map = result.toMap();
    PageSnapshot s;
    s.location = map.value(QStringLiteral("location")).toString();
    s.bodyText = map.value(QStringLiteral("body")).toString();
    const QStringList hrefs = toStrings(map.value(QStringLiteral("hrefs")));
    const QStringList texts = toStrings(map.value(QStringLiteral("texts")));
    const auto n = std::min(hrefs.size(), texts.size());
    s.links.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        s.links.append(PageLink { hrefs.at(i), texts.at(i) });
    return s;
}

} // namespace tess::browser::snapshotscript
