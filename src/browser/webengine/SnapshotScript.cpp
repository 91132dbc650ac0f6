#include "browser/webengine/SnapshotScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
//
// A page that declares no charset is read by the browser as windows-1252
// (the profile's fallback), which maps every byte to a character of its
// own. The script then takes the bytes back and reads them as what they
// hold: UTF-8 when they are valid UTF-8, GBK (the engine's own pages)
// otherwise. It mends the page's text in place, so the user sees it right
// and the body text is laid out from the mended text; link addresses are
// resolved again from the re-read attribute.
//
// The page parts are CSS selectors the page's markup may not match, or that
// may not even parse: either way the part is absent and the rest of the
// snapshot stands. Containers are numbered once and each link walks up its
// own ancestors, so a page of thousands of links costs one pass.
const auto kScript = QStringLiteral(R"JS((function (targetAttributes, parts) {
    var doc = document;
    var reread = null;
    if (doc.characterSet === 'windows-1252' && doc.documentElement
        && !doc.querySelector('meta[charset], meta[http-equiv="content-type" i]')) {
        var all = new Uint8Array(256);
        for (var b = 0; b < 256; ++b)
            all[b] = b;
        var chars = new TextDecoder('windows-1252').decode(all);
        var byteOf = new Map();
        for (var c = 0; c < 256; ++c)
            byteOf.set(chars[c], c);
        // The bytes a text was read from; null for a text holding a
        // character no byte gave (an entity beyond Latin-1, say), which
        // stays as it is, and for plain ASCII.
        var bytesOf = function (s) {
            var out = new Uint8Array(s.length);
            var high = false;
            for (var k = 0; k < s.length; ++k) {
                var v = byteOf.get(s[k]);
                if (v === undefined)
                    return null;
                out[k] = v;
                high = high || v >= 0x80;
            }
            return high ? out : null;
        };
        // UTF-8. A byte that starts no valid sequence stays the character
        // it was read as: Latin-1 characters written as entities ("&copy;",
        // "&nbsp;") look like such bytes. Counts both kinds, so the page can
        // be judged as a whole.
        var tally = { sequences: 0, strays: 0 };
        var fromUtf8 = function (b) {
            var out = '';
            for (var k = 0; k < b.length;) {
                var x = b[k];
                var need = x < 0x80 ? 0 : x >= 0xC2 && x <= 0xDF ? 1 : x >= 0xE0 && x <= 0xEF ? 2
                    : x >= 0xF0 && x <= 0xF4 ? 3 : -1;
                var cp = need === 0 ? x : need === 1 ? x & 0x1F : need === 2 ? x & 0x0F : x & 0x07;
                var ok = need >= 0 && k + need < b.length;
                for (var m = 1; ok && m <= need; ++m) {
                    ok = (b[k + m] & 0xC0) === 0x80;
                    cp = (cp << 6) | (b[k + m] & 0x3F);
                }
                if (ok && need > 0)
                    ok = cp >= [0, 0x80, 0x800, 0x10000][need] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
                if (!ok) {
                    ++tally.strays;
                    out += chars[x];
                    ++k;
                    continue;
                }
                if (need > 0)
                    ++tally.sequences;
                out += String.fromCodePoint(cp);
                k += need + 1;
            }
            return out;
        };
        // GBK, split at no-break spaces so none swallows the byte after it.
        var gbk = new TextDecoder('gbk');
        var fromGbk = function (b) {
            var out = '';
            var start = 0;
            for (var k = 0; k <= b.length; ++k) {
                if (k === b.length || b[k] === 0xA0) {
                    out += gbk.decode(b.subarray(start, k));
                    if (k < b.length)
                        out += '\u00A0';
                    start = k + 1;
                }
            }
            return out;
        };
        // Tags are ASCII, so no character is split between two text nodes.
        var nodes = [];
        var walker = doc.createTreeWalker(doc.documentElement, NodeFilter.SHOW_TEXT);
        while (walker.nextNode())
            nodes.push(walker.currentNode);
        var bytes = nodes.map(function (n) { return bytesOf(n.data); });
        var utf8 = bytes.map(function (b) { return b && fromUtf8(b); });
        // UTF-8 text holds a stray byte only where an entity was written;
        // GBK text read as UTF-8 is mostly strays.
        var isUtf8 = tally.sequences > 0 && tally.strays * 10 <= tally.sequences;
        var decode = function (b) { return isUtf8 ? fromUtf8(b) : fromGbk(b); };
        nodes.forEach(function (n, k) {
            if (bytes[k])
                n.data = isUtf8 ? utf8[k] : fromGbk(bytes[k]);
        });
        reread = function (s) {
            var b = bytesOf(s);
            return b ? decode(b) : s;
        };
    }
    var links = doc.links;
    var n = links ? links.length : 0;
    var hrefs = new Array(n);
    var texts = new Array(n);
    var targets = new Array(n);
    var ids = new Array(n);
    var classes = new Array(n);
    // An attribute as the page meant it, '' when absent.
    var attribute = function (el, name) {
        var v = el.getAttribute(name);
        return v ? String(reread ? reread(v) : v) : '';
    };
    // The first of the named attributes found on the link or the nearest
    // element around it that carries one.
    var carried = function (el) {
        for (; el && el.getAttribute; el = el.parentElement) {
            for (var a = 0; a < targetAttributes.length; ++a) {
                var v = el.getAttribute(targetAttributes[a]);
                if (v)
                    return reread ? reread(v) : v;
            }
        }
        return '';
    };
    // The elements a selector matches; none for an empty or invalid one.
    var matching = function (selector) {
        if (!selector)
            return [];
        try {
            return doc.querySelectorAll(selector);
        } catch (e) {
            return [];
        }
    };
    var containers = matching(parts.results);
    var resultOf = new Map();
    for (var r = 0; r < containers.length; ++r)
        resultOf.set(containers[r], r);
    var adElements = new Set(matching(parts.ads));
    var findResult = resultOf.size > 0;
    var findAd = adElements.size > 0;
    var resultIndexes = new Array(n);
    var ads = new Array(n);
    // The nearest result container around the link (the link itself
    // included), and whether an advertisement holds it; the walk up ends
    // once both are known.
    var place = function (i, el) {
        var index = -1;
        var ad = false;
        for (; el && ((findResult && index < 0) || (findAd && !ad)); el = el.parentElement) {
            if (index < 0) {
                var found = resultOf.get(el);
                if (found !== undefined)
                    index = found;
            }
            if (!ad && findAd)
                ad = adElements.has(el);
        }
        resultIndexes[i] = index;
        ads[i] = ad;
    };
    for (var i = 0; i < n; ++i) {
        var link = links[i];
        place(i, link);
        var href = String(link.href);
        if (reread) {
            var written = link.getAttribute('href');
            if (written !== null) {
                try {
                    href = String(new URL(reread(written), doc.baseURI));
                } catch (e) {
                }
            }
        }
        hrefs[i] = href;
        texts[i] = String(link.innerText || '');
        targets[i] = targetAttributes.length ? String(carried(link)) : '';
        ids[i] = attribute(link, 'id');
        classes[i] = attribute(link, 'class');
    }
    var related = [];
    var seen = new Set();
    var relatedLinks = matching(parts.related);
    for (var j = 0; j < relatedLinks.length; ++j) {
        var el = relatedLinks[j];
        if (!el.matches('a[href], area[href]'))
            continue;
        var text = String(el.innerText || '').replace(/\s+/g, ' ').trim();
        if (text && !seen.has(text)) {
            seen.add(text);
            related.push(text);
        }
    }
    var body = doc.body;
    // A page that sends the browser on at once is a redirect, not the
    // document of the request.
    var refresh = doc.querySelector('meta[http-equiv="refresh" i]');
    var leaving = !!refresh && parseFloat(refresh.getAttribute('content') || '') <= 1;
    return {
        location: String(doc.URL),
        body: body ? String(body.innerText || '') : '',
        hrefs: hrefs,
        texts: texts,
        targets: targets,
        ids: ids,
        classes: classes,
        resultIndexes: resultIndexes,
        ads: ads,
        resultCount: containers.length,
        related: related,
        title: String(doc.title || ''),
        leaving: leaving
    };
})(%1, %2))JS");

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

QString source(const QStringList& targetAttributes, const BrowserHost::PageParts& parts)
{
    const QJsonArray names = QJsonArray::fromStringList(targetAttributes);
    const QJsonObject selectors { { QStringLiteral("results"), parts.results },
        { QStringLiteral("ads"), parts.ads }, { QStringLiteral("related"), parts.related } };
    return kScript.arg(QString::fromUtf8(QJsonDocument(names).toJson(QJsonDocument::Compact)),
        QString::fromUtf8(QJsonDocument(selectors).toJson(QJsonDocument::Compact)));
}

bool leavesAtOnce(const QVariant& result) { return result.toMap().value(QStringLiteral("leaving")).toBool(); }

PageSnapshot read(const QVariant& result)
{
    const QVariantMap map = result.toMap();
    PageSnapshot s;
    s.location = map.value(QStringLiteral("location")).toString();
    s.bodyText = map.value(QStringLiteral("body")).toString();
    const QStringList hrefs = toStrings(map.value(QStringLiteral("hrefs")));
    const QStringList texts = toStrings(map.value(QStringLiteral("texts")));
    const QStringList targets = toStrings(map.value(QStringLiteral("targets")));
    const QStringList ids = toStrings(map.value(QStringLiteral("ids")));
    const QStringList classes = toStrings(map.value(QStringLiteral("classes")));
    const QVariantList resultIndexes = map.value(QStringLiteral("resultIndexes")).toList();
    const QVariantList ads = map.value(QStringLiteral("ads")).toList();
    s.title = map.value(QStringLiteral("title")).toString();
    const auto n = std::min(hrefs.size(), texts.size());
    s.links.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        s.links.append(PageLink { hrefs.at(i), texts.at(i), targets.value(i), ids.value(i), classes.value(i),
            resultIndexes.value(i, -1).toInt(), ads.value(i).toBool() });
    }
    s.resultCount = map.value(QStringLiteral("resultCount")).toInt();
    s.relatedSearches = toStrings(map.value(QStringLiteral("related")));
    return s;
}

} // namespace tess::browser::snapshotscript
