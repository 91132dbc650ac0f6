#include "harvest/RuleSetFile.h"

#include <QHash>
#include <QStringDecoder>

#include <optional>

namespace tess::harvest {
namespace {

const QLatin1StringView kVersionWord("tessaroon-rules");
const QLatin1StringView kVersion("1");

// A file's values as read so far.
struct Reading {
    const QList<RuleSet>& known;
    RuleSet given; // each key's value, in the field it fills
    QString basedOn;
};

// Why a value cannot be taken (empty: it can).
using Fault = QString;

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

// One of two words, each standing for one value.
template <typename T>
Fault readChoice(QLatin1StringView key, const QString& value, T& out, QLatin1StringView first, T firstValue,
    QLatin1StringView second, T secondValue)
{
    if (value == first)
        out = firstValue;
    else if (value == second)
        out = secondValue;
    else
        return QStringLiteral("%1 只能是 %2 或 %3，不能是“%4”").arg(key, first, second, value);
    return {};
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

template <auto Member> void take(const RuleSet& from, RuleSet& to) { to.*Member = from.*Member; }

struct Field {
    QLatin1StringView key;
    bool mayBeEmpty;
    Fault (*read)(QLatin1StringView key, const QString& value, Reading& r);
    // Copies the value read into the set being built; null for the keys
    // that are not fields of their own (name, label, based-on).
    void (*apply)(const RuleSet& from, RuleSet& to);
};

using L = QLatin1StringView;
using V = const QString&;
using O = RuleSet::OwnLinks;
using P = RuleSet::Pager;

// clang-format off
const Field kFields[] = {
    { L("name"), false, [](L k, V v, Reading& r) { return readName(k, v, r.given.name); }, nullptr },
    { L("label"), false, [](L k, V v, Reading& r) { return readText(k, v, r.given.label); }, nullptr },
    { L("based-on"), false, [](L k, V v, Reading& r) {
        if (Fault f = readName(k, v, r.basedOn); !f.isEmpty())
            return f;
        return findSet(r.known, v) ? Fault() : QStringLiteral("没有名为 %1 的规则集").arg(v);
    }, nullptr },
    { L("scheme"), false, [](L k, V v, Reading& r) {
        return readChoice(k, v, r.given.scheme, L("http"), QByteArray("http"), L("https"),
            QByteArray("https"));
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
    { L("link-prefixes"), false, [](L k, V v, Reading& r) {
        return readAsciiList(k, v, r.given.linkPrefixes, false);
    }, take<&RuleSet::linkPrefixes> },
    { L("own-links"), false, [](L k, V v, Reading& r) {
        return readChoice(k, v, r.given.ownLinks, L("page-domain"), O::PageDomainAnywhere, L("named-hosts"),
            O::NamedHosts);
    }, take<&RuleSet::ownLinks> },
    { L("own-hosts"), true, [](L k, V v, Reading& r) { return readAsciiList(k, v, r.given.ownHosts, true); },
        take<&RuleSet::ownHosts> },
    { L("redirect-path"), true, [](L k, V v, Reading& r) { return readPath(k, v, r.given.redirectPath); },
        take<&RuleSet::redirectPath> },
    { L("target-attributes"), true, [](L, V v, Reading& r) {
        r.given.targetAttributes = blankSeparated(v);
        return Fault();
    }, take<&RuleSet::targetAttributes> },
    { L("pager"), false, [](L k, V v, Reading& r) {
        return readChoice(k, v, r.given.pager, L("bracketed-line"), P::BracketedLine, L("next-link"),
            P::NextLink);
    }, take<&RuleSet::pager> },
    { L("pager-text"), false, [](L k, V v, Reading& r) { return readText(k, v, r.given.pagerText); },
        take<&RuleSet::pagerText> },
    { L("verify-hosts"), true, [](L k, V v, Reading& r) {
        return readAsciiList(k, v, r.given.verifyHosts, true);
    }, take<&RuleSet::verifyHosts> },
    { L("verify-title"), true, [](L k, V v, Reading& r) {
        QString title;
        const Fault f = readText(k, v, title);
        r.given.verifyTitles = title.isEmpty() ? QList<QString>() : QList<QString> { title };
        return f;
    }, take<&RuleSet::verifyTitles> },
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

Fault readVersion(const QString& text)
{
    const QStringList words = blankSeparated(text);
    if (words.size() != 2 || words[0] != kVersionWord)
        return QStringLiteral("第一行内容应为“%1 %2”").arg(kVersionWord, kVersion);
    if (words[1] != kVersion)
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
        if (Fault f = readVersion(text); !f.isEmpty())
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
    const RuleSet* base
        = parse.given.contains(QStringLiteral("based-on")) ? findSet(known, parse.reading.basedOn) : replaced;
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
    return assemble(parse, known);
}

} // namespace tess::harvest
