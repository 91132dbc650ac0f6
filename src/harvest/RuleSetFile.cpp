#include "harvest/RuleSetFile.h"

#include "harvest/RequestAddress.h"

#include <QHash>
#include <QStringDecoder>

#include <optional>

namespace tess::harvest {
namespace {

const QLatin1StringView kVersionWord("tessaroon-rules");
// The version the messages ask for: files written before version 2 keep
// reading as they always did, so the oldest is as good as any.
const QLatin1StringView kVersion("1");
constexpr int kNewestVersion = 3;

// A file's values as read so far.
struct Reading {
    const QList<RuleSet>& known;
    RuleSet given; // each key's value, in the field it fills
    QString basedOn;
    int version = 1; // the file's format version
};

// Why a value cannot be taken (empty: it can).
using Fault = QString;

// The set of exactly that name: the one a file of that name replaces.
const RuleSet* findSet(const QList<RuleSet>& sets, const QString& name)
{
    for (const RuleSet& s : sets) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

bool isControl(QChar c) { return c.category() == QChar::Other_Control; }

QStringList blankSeparated(const QString& value)
{
    return value.simplified().split(u' ', Qt::SkipEmptyParts);
}

// A piece of an address: printable ASCII, no blanks.
Fault readAscii(QLatin1StringView key, const QString& value, QByteArray& out)
{
    for (QChar c : value) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
            return QStringLiteral("%1 只能含可打印的 ASCII 字符，不能有空格").arg(key);
    }
    out = value.toLatin1();
    return {};
}

// Empty, or a path and query beginning with "/".
Fault readPath(QLatin1StringView key, const QString& value, QByteArray& out)
{
    if (!value.isEmpty() && !value.startsWith(u'/'))
        return QStringLiteral("%1 必须以“/”开头").arg(key);
    return readAscii(key, value, out);
}

// Whether `query` ends in a parameter's name and "=", so that what the
// request glues on next is that parameter's value.
bool endsInNamedParameter(const QString& query)
{
    if (!query.endsWith(u'='))
        return false;
    const QStringView parameters = QStringView(query).chopped(1);
    const QStringView name = parameters.mid(parameters.lastIndexOf(u'&') + 1);
    return !name.isEmpty() && !name.contains(u'=');
}

// The request is the path, the encoded keyword, the page key, the offset
// and the tail, glued together: the keyword is the value of the path's
// last parameter, so the path needs a query ending in "name=". A "#" would
// keep the rest from the engine.
Fault readRequestPath(QLatin1StringView key, const QString& value, QByteArray& out)
{
    if (Fault f = readPath(key, value, out); !f.isEmpty())
        return f;
    if (value.contains(u'#'))
        return QStringLiteral("%1 不能含“#”").arg(key);
    const qsizetype query = value.indexOf(u'?');
    if (query < 0)
        return QStringLiteral("%1 必须含“?”，关键字接在它的最后一个参数之后（如 /s?wd=）").arg(key);
    if (!endsInNamedParameter(value.mid(query + 1)))
        return QStringLiteral("%1 必须以“参数名=”结尾，关键字是这个参数的值（如 /s?wd=）").arg(key);
    return {};
}

// The page key follows the keyword and the offset follows it: it starts a
// parameter of its own and ends in one whose value is the offset.
Fault readPageKey(QLatin1StringView key, const QString& value, QByteArray& out)
{
    if (Fault f = readAscii(key, value, out); !f.isEmpty())
        return f;
    if (!value.startsWith(u'&') || value.contains(u'#') || !endsInNamedParameter(value.mid(1)))
        return QStringLiteral("%1 必须以“&”开头、以“参数名=”结尾，不能含“#”（如 &pn=）").arg(key);
    return {};
}

// The tail follows the offset: anything but a new parameter would become
// part of the offset.
Fault readRequestTail(QLatin1StringView key, const QString& value, QByteArray& out)
{
    if (Fault f = readAscii(key, value, out); !f.isEmpty())
        return f;
    if (!value.isEmpty() && !value.startsWith(u'&'))
        return QStringLiteral("%1 只能为空或以“&”开头（如 &cl=3）").arg(key);
    return {};
}

Fault readAsciiList(QLatin1StringView key, const QString& value, QList<QByteArray>& out, bool hosts)
{
    out.clear();
    for (QString item : blankSeparated(value)) {
        if (hosts) {
            item = item.toLower();
            if (item.startsWith(u'.'))
                item.remove(0, 1);
            if (item.isEmpty())
                return QStringLiteral("%1 中有空的主机名").arg(key);
        }
        QByteArray bytes;
        if (Fault f = readAscii(key, item, bytes); !f.isEmpty())
            return f;
        out.append(bytes);
    }
    return {};
}

Fault readText(QLatin1StringView key, const QString& value, QString& out)
{
    for (QChar c : value) {
        if (isControl(c))
            return QStringLiteral("%1 不能含控制字符").arg(key);
    }
    out = value;
    return {};
}

using L = QLatin1StringView;

template <typename T> struct Choice {
    QLatin1StringView word;
    T value;
};

// One of a few words, each standing for one value.
template <typename T>
Fault readChoice(
    QLatin1StringView key, const QString& value, T& out, std::initializer_list<Choice<T>> choices)
{
    QStringList words;
    for (const Choice<T>& c : choices) {
        if (value == c.word) {
            out = c.value;
            return {};
        }
        words.append(c.word);
    }
    const QString last = words.takeLast();
    return QStringLiteral("%1 只能是 %2 或 %3，不能是“%4”").arg(key, words.join(u'、'), last, value);
}

Fault readName(QLatin1StringView key, const QString& value, QString& out)
{
    for (QChar c : value) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'-'))
            return QStringLiteral("%1 只能含小写字母、数字和“-”").arg(key);
    }
    out = value;
    return {};
}

// A host and maybe a port, as the engine is asked: "www.so.com",
// "127.0.0.1:8642".
Fault readHost(QLatin1StringView key, const QString& value, QByteArray& out)
{
    QByteArray host;
    if (Fault f = readAscii(key, value.toLower(), host); !f.isEmpty())
        return f;
    const std::optional<EngineAddress> engine = parseEngineAddress(host);
    if (!engine || !engine->scheme.isEmpty() || engine->host != host)
        return QStringLiteral("%1 只能是主机名，可带端口（如 www.so.com 或 127.0.0.1:8642）").arg(key);
    out = host;
    return {};
}

Fault readResultsPerPage(QLatin1StringView key, const QString& value, int& out)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < 1 || n > 100 || value.startsWith(u'+'))
        return QStringLiteral("%1 必须是 1 到 100 之间的整数").arg(key);
    out = n;
    return {};
}

// A word without blanks: an id or a class name.
Fault readWord(QLatin1StringView key, const QString& value, QString& out)
{
    if (Fault f = readText(key, value, out); !f.isEmpty())
        return f;
    if (blankSeparated(value).size() != 1)
        return QStringLiteral("%1 不能含空格").arg(key);
    return {};
}

Fault readTextList(QLatin1StringView key, const QString& value, QList<QString>& out)
{
    out.clear();
    for (const QString& word : blankSeparated(value)) {
        QString text;
        if (Fault f = readText(key, word, text); !f.isEmpty())
            return f;
        out.append(text);
    }
    return {};
}

Fault readPathList(QLatin1StringView key, const QString& value, QList<QByteArray>& out)
{
    out.clear();
    for (const QString& item : blankSeparated(value)) {
        QByteArray path;
        if (Fault f = readPath(key, item, path); !f.isEmpty())
            return f;
        out.append(path);
    }
    return {};
}

// One target parameter: "PATH?KEY=PREFIX:CODING", as in
// "/ck/a?u=a1:base64url" or "/link?url=:plain".
std::optional<RuleSet::TargetParameter> targetParameter(const QByteArray& item)
{
    using Coding = RuleSet::TargetParameter::Coding;
    const qsizetype colon = item.lastIndexOf(':');
    const qsizetype question = item.indexOf('?');
    const qsizetype equals = item.indexOf('=', question + 1);
    if (colon < 0 || question < 0 || equals < 0 || equals > colon)
        return std::nullopt;
    RuleSet::TargetParameter p;
    const QByteArray coding = item.mid(colon + 1);
    if (coding == "plain")
        p.coding = Coding::Plain;
    else if (coding == "base64url")
        p.coding = Coding::Base64Url;
    else
        return std::nullopt;
    p.path = item.left(question);
    p.key = item.mid(question + 1, equals - question - 1);
    p.prefix = item.mid(equals + 1, colon - equals - 1);
    const bool pathOk = p.path.startsWith('/') && !p.path.contains('#');
    const bool keyOk = !p.key.isEmpty() && !p.key.contains('&') && !p.key.contains('#');
    const bool prefixOk = !p.prefix.contains('&') && !p.prefix.contains('#');
    if (!pathOk || !keyOk || !prefixOk)
        return std::nullopt;
    return p;
}

Fault readTargetParameters(QLatin1StringView key, const QString& value, QList<RuleSet::TargetParameter>& out)
{
    out.clear();
    for (const QString& item : blankSeparated(value)) {
        QByteArray bytes;
        if (Fault f = readAscii(key, item, bytes); !f.isEmpty())
            return f;
        const std::optional<RuleSet::TargetParameter> p = targetParameter(bytes);
        if (!p)
            return QStringLiteral("%1 的每一项须形如“/路径?参数名=前缀:plain”或“…:base64url”"
                                  "（如 /ck/a?u=a1:base64url），不能是“%2”")
                .arg(key, item);
        out.append(*p);
    }
    return {};
}

Fault readPager(QLatin1StringView key, const QString& value, Reading& r)
{
    using P = RuleSet::Pager;
    if (r.version < 2)
        return readChoice<P>(key, value, r.given.pager,
            { { L("bracketed-line"), P::BracketedLine }, { L("next-link"), P::NextLink } });
    return readChoice<P>(key, value, r.given.pager,
        { { L("bracketed-line"), P::BracketedLine }, { L("next-link"), P::NextLink },
            { L("link-id"), P::LinkWithId }, { L("link-class"), P::LinkWithClass } });
}

template <auto Member> void take(const RuleSet& from, RuleSet& to) { to.*Member = from.*Member; }

struct Field {
    QLatin1StringView key;
    bool mayBeEmpty;
    Fault (*read)(QLatin1StringView key, const QString& value, Reading& r);
    // Copies the value read into the set being built; null for the keys
    // that are not fields of their own (name, label, based-on).
    void (*apply)(const RuleSet& from, RuleSet& to);
    // The format versions that know the key.
    int firstVersion = 1;
    int lastVersion = kNewestVersion;
    QLatin1StringView replacedBy = {}; // the key that took over from one no longer known
};

using V = const QString&;
using O = RuleSet::OwnLinks;
using E = RuleSet::KeywordEncoding;
using N = RuleSet::PageNumbering;
using M = RuleSet::RedirectMode;

// clang-format off
const Field kFields[] = {
    { L("name"), false, [](L k, V v, Reading& r) { return readName(k, v, r.given.name); }, nullptr },
    { L("label"), false, [](L k, V v, Reading& r) { return readText(k, v, r.given.label); }, nullptr },
    { L("based-on"), false, [](L k, V v, Reading& r) {
        if (Fault f = readName(k, v, r.basedOn); !f.isEmpty())
            return f;
        return findRuleSet(r.known, v) ? Fault() : QStringLiteral("没有名为 %1 的规则集").arg(v);
    }, nullptr },
    { L("engine-host"), false, [](L k, V v, Reading& r) { return readHost(k, v, r.given.defaultHost); },
        take<&RuleSet::defaultHost>, 2 },
    { L("scheme"), false, [](L k, V v, Reading& r) {
        return readChoice<QByteArray>(k, v, r.given.scheme, { { L("http"), "http" }, { L("https"), "https" } });
    }, take<&RuleSet::scheme> },
    { L("request-path"), false, [](L k, V v, Reading& r) {
        return readRequestPath(k, v, r.given.requestPath);
    },
        take<&RuleSet::requestPath> },
    { L("page-key"), false, [](L k, V v, Reading& r) { return readPageKey(k, v, r.given.pageKey); },
        take<&RuleSet::pageKey> },
    { L("request-tail"), true, [](L k, V v, Reading& r) {
        return readRequestTail(k, v, r.given.requestTail);
    },
        take<&RuleSet::requestTail> },
    { L("keyword-encoding"), false, [](L k, V v, Reading& r) {
        return readChoice<E>(k, v, r.given.keywordEncoding, { { L("gbk"), E::Gbk }, { L("utf-8"), E::Utf8 } });
    }, take<&RuleSet::keywordEncoding>, 2 },
    { L("page-numbering"), false, [](L k, V v, Reading& r) {
        return readChoice<N>(k, v, r.given.pageNumbering, { { L("offset-from-0"), N::OffsetFromZero },
            { L("page-from-1"), N::PageFromOne }, { L("offset-from-1"), N::OffsetFromOne } });
    }, take<&RuleSet::pageNumbering>, 2 },
    { L("results-per-page"), false, [](L k, V v, Reading& r) {
        return readResultsPerPage(k, v, r.given.resultsPerPage);
    }, take<&RuleSet::resultsPerPage>, 2 },
    { L("link-prefixes"), false, [](L k, V v, Reading& r) {
        return readAsciiList(k, v, r.given.linkPrefixes, false);
    }, take<&RuleSet::linkPrefixes> },
    { L("own-links"), false, [](L k, V v, Reading& r) {
        return readChoice<O>(k, v, r.given.ownLinks,
            { { L("page-domain"), O::PageDomainAnywhere }, { L("named-hosts"), O::NamedHosts } });
    }, take<&RuleSet::ownLinks> },
    { L("own-hosts"), true, [](L k, V v, Reading& r) { return readAsciiList(k, v, r.given.ownHosts, true); },
        take<&RuleSet::ownHosts> },
    { L("redirect-path"), true, [](L k, V v, Reading& r) { return readPath(k, v, r.given.redirectPath); },
        take<&RuleSet::redirectPath> },
    { L("redirect-mode"), false, [](L k, V v, Reading& r) {
        return readChoice<M>(k, v, r.given.redirectMode,
            { { L("network"), M::Network }, { L("browser"), M::Browser } });
    }, take<&RuleSet::redirectMode>, 2 },
    { L("target-attributes"), true, [](L, V v, Reading& r) {
        r.given.targetAttributes = blankSeparated(v);
        return Fault();
    }, take<&RuleSet::targetAttributes> },
    { L("target-parameters"), true, [](L k, V v, Reading& r) {
        return readTargetParameters(k, v, r.given.targetParameters);
    }, take<&RuleSet::targetParameters>, 2 },
    { L("result-container"), true, [](L k, V v, Reading& r) {
        return readText(k, v, r.given.resultContainer);
    }, take<&RuleSet::resultContainer>, 3 },
    { L("ad-markers"), true, [](L k, V v, Reading& r) { return readText(k, v, r.given.adMarkers); },
        take<&RuleSet::adMarkers>, 3 },
    { L("related-searches"), true, [](L k, V v, Reading& r) {
        return readText(k, v, r.given.relatedSearches);
    }, take<&RuleSet::relatedSearches>, 3 },
    { L("pager"), false, readPager, take<&RuleSet::pager> },
    { L("pager-text"), false, [](L k, V v, Reading& r) { return readText(k, v, r.given.pagerText); },
        take<&RuleSet::pagerText> },
    { L("pager-id"), false, [](L k, V v, Reading& r) { return readWord(k, v, r.given.pagerId); },
        take<&RuleSet::pagerId>, 2 },
    { L("pager-class"), false, [](L k, V v, Reading& r) { return readWord(k, v, r.given.pagerClass); },
        take<&RuleSet::pagerClass>, 2 },
    { L("verify-hosts"), true, [](L k, V v, Reading& r) {
        return readAsciiList(k, v, r.given.verifyHosts, true);
    }, take<&RuleSet::verifyHosts> },
    { L("verify-title"), true, [](L k, V v, Reading& r) {
        QString title;
        const Fault f = readText(k, v, title);
        r.given.verifyTitles = title.isEmpty() ? QList<QString>() : QList<QString> { title };
        return f;
    }, take<&RuleSet::verifyTitles>, 1, 1, L("verify-titles") },
    { L("verify-titles"), true, [](L k, V v, Reading& r) {
        return readTextList(k, v, r.given.verifyTitles);
    }, take<&RuleSet::verifyTitles>, 2 },
    { L("verify-paths"), true, [](L k, V v, Reading& r) { return readPathList(k, v, r.given.verifyPaths); },
        take<&RuleSet::verifyPaths>, 2 },
    { L("verify-body-words"), true, [](L k, V v, Reading& r) {
        return readTextList(k, v, r.given.verifyBodyWords);
    }, take<&RuleSet::verifyBodyWords>, 2 },
};
// clang-format on

const Field* findField(const QString& key)
{
    for (const Field& f : kFields) {
        if (key == f.key)
            return &f;
    }
    return nullptr;
}

// A file as read so far.
struct Parse {
    Reading reading;
    QHash<QString, int> given; // key → its line
    std::optional<int> versionLine;
};

// The line's text: UTF-8 without control characters but tabs; a fault
// otherwise.
Fault decodeLine(QByteArray bytes, bool first, QString& text)
{
    if (first && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString line = decoder.decode(bytes);
    if (decoder.hasError())
        return QStringLiteral("不是有效的 UTF-8 文本");
    for (QChar c : line) {
        if (isControl(c) && c != u'\t')
            return QStringLiteral("含有控制字符");
    }
    text = line.trimmed();
    return {};
}

Fault readVersion(const QString& text, int& version)
{
    const QStringList words = blankSeparated(text);
    if (words.size() != 2 || words[0] != kVersionWord)
        return QStringLiteral("第一行内容应为“%1 %2”").arg(kVersionWord, kVersion);
    if (words[1] == u"1")
        version = 1;
    else if (words[1] == u"2")
        version = 2;
    else if (words[1] == u"3")
        version = 3;
    else
        return QStringLiteral("不支持的格式版本 %1").arg(words[1]);
    return {};
}

// A "key = value" line.
Fault readSetting(const QString& text, int number, Parse& parse)
{
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return QStringLiteral("缺少“=”");
    const QString key = text.left(equals).trimmed();
    const QString value = text.mid(equals + 1).trimmed();
    if (key.isEmpty())
        return QStringLiteral("“=”前缺少设置项名称");
    const Field* field = findField(key);
    if (!field)
        return QStringLiteral("未知的设置项 %1").arg(key);
    const int version = parse.reading.version;
    if (version < field->firstVersion)
        return QStringLiteral("设置项 %1 需要格式版本 %2（第一行写“%3 %2”）")
            .arg(key)
            .arg(field->firstVersion)
            .arg(kVersionWord);
    if (version > field->lastVersion)
        return QStringLiteral("设置项 %1 只用于格式版本 %2，版本 %3 请改用 %4")
            .arg(key)
            .arg(field->lastVersion)
            .arg(version)
            .arg(field->replacedBy);
    if (const auto earlier = parse.given.constFind(key); earlier != parse.given.cend())
        return QStringLiteral("设置项 %1 重复（第 %2 行已有）").arg(key).arg(*earlier);
    if (value.isEmpty() && !field->mayBeEmpty)
        return QStringLiteral("取值无效：%1 不能为空").arg(key);
    if (const Fault f = field->read(field->key, value, parse.reading); !f.isEmpty())
        return QStringLiteral("取值无效：%1").arg(f);
    parse.given.insert(key, number);
    return {};
}

// One line of the file, counted from 1.
Fault readLine(const QByteArray& bytes, int number, Parse& parse)
{
    QString text;
    if (Fault f = decodeLine(bytes, number == 1, text); !f.isEmpty())
        return f;
    if (text.isEmpty() || text.startsWith(u'#'))
        return {};
    if (!parse.versionLine) {
        if (Fault f = readVersion(text, parse.reading.version); !f.isEmpty())
            return f;
        parse.versionLine = number;
        return {};
    }
    return readSetting(text, number, parse);
}

// The set the file makes: every key not given comes from the base, the
// set named, else the set this file replaces, else the default set. The
// label stays with the name.
RuleSet assemble(const Parse& parse, const QList<RuleSet>& known)
{
    const RuleSet& givenSet = parse.reading.given;
    const RuleSet* replaced = findSet(known, givenSet.name);
    const RuleSet* base = parse.given.contains(QStringLiteral("based-on"))
        ? findRuleSet(known, parse.reading.basedOn)
        : replaced;
    if (!base)
        base = findSet(known, classicRules().name);
    if (!base)
        base = &classicRules();

    RuleSet rules = *base;
    rules.name = givenSet.name;
    if (parse.given.contains(QStringLiteral("label")))
        rules.label = givenSet.label;
    else
        rules.label = replaced ? replaced->label : givenSet.name;
    for (const Field& f : kFields) {
        if (f.apply && parse.given.contains(f.key))
            f.apply(givenSet, rules);
    }
    return rules;
}

// A pager that looks for a link by id or class needs the id or class,
// whichever file or set gave the pager.
Fault pagerFault(const RuleSet& rules)
{
    if (rules.pager == RuleSet::Pager::LinkWithId && rules.pagerId.isEmpty())
        return QStringLiteral("pager 为 link-id 时必须给出 pager-id");
    if (rules.pager == RuleSet::Pager::LinkWithClass && rules.pagerClass.isEmpty())
        return QStringLiteral("pager 为 link-class 时必须给出 pager-class");
    return {};
}

// The set a file is about, also when it is at fault: the first valid
// "name = value" line anywhere in it; empty when there is none.
QString nameGiven(const QList<QByteArray>& lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString text;
        if (!decodeLine(lines[i], i == 0, text).isEmpty())
            continue;
        const qsizetype equals = text.indexOf(u'=');
        if (equals < 0 || text.left(equals).trimmed() != u"name")
            continue;
        const QString value = text.mid(equals + 1).trimmed();
        QString name;
        if (!value.isEmpty() && readName(L("name"), value, name).isEmpty())
            return name;
    }
    return {};
}

} // namespace

RuleSetFileResult parseRuleSetFile(
    const QByteArray& content, const QString& fileName, const QList<RuleSet>& known)
{
    const QList<QByteArray> lines = content.split('\n');
    auto error = [&](int line, const QString& why) -> RuleSetFileResult {
        return RuleSetFileError { fileName, line,
            QStringLiteral("规则文件 %1 第 %2 行：%3").arg(fileName).arg(line).arg(why), nameGiven(lines) };
    };

    Parse parse { { known, {}, {} }, {}, {} };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        if (const Fault f = readLine(lines[i], number, parse); !f.isEmpty())
            return error(number, f);
    }
    if (!parse.versionLine)
        return error(1, QStringLiteral("缺少格式版本行“%1 %2”").arg(kVersionWord, kVersion));
    if (!parse.given.contains(QStringLiteral("name")))
        return error(*parse.versionLine, QStringLiteral("缺少设置项 name"));
    RuleSet rules = assemble(parse, known);
    if (const Fault f = pagerFault(rules); !f.isEmpty())
        return error(parse.given.value(QStringLiteral("pager"), *parse.versionLine), f);
    return rules;
}

} // namespace tess::harvest
