#include "harvest/RequestAddress.h"
#include "harvest/RuleCatalog.h"
#include "harvest/RuleSetFile.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tess;
using namespace tess::harvest;
using namespace Qt::Literals::StringLiterals;

namespace {

QString text(const QByteArray& bytes) { return QString::fromLatin1(bytes); }
QString text(const QString& s) { return s; }

// Every field of the set, one per line, so that a failure shows which.
std::string describe(const RuleSet& r)
{
    auto list = [](const auto& items) {
        QStringList out;
        for (const auto& i : items)
            out.append(text(i));
        return out.join(u'|');
    };
    QStringList parameters;
    for (const RuleSet::TargetParameter& p : r.targetParameters)
        parameters.append(QString::fromLatin1(p.path + '?' + p.key + '=' + p.prefix + ':')
            + QString::number(static_cast<int>(p.coding)));
    auto number = [](auto value) { return QString::number(static_cast<int>(value)); };
    return QStringList { r.name, r.label, text(r.defaultHost), text(r.scheme), text(r.requestPath),
        text(r.pageKey), text(r.requestTail), number(r.keywordEncoding), number(r.pageNumbering),
        number(r.resultsPerPage), list(r.linkPrefixes), number(r.ownLinks), list(r.ownHosts),
        text(r.redirectPath), number(r.redirectMode), list(r.targetAttributes), parameters.join(u'|'),
        number(r.pager), r.pagerText, r.pagerId, r.pagerClass, list(r.verifyHosts), list(r.verifyPaths),
        list(r.verifyTitles), list(r.verifyBodyWords), r.resultContainer, r.adMarkers, r.relatedSearches }
        .join(u'\n')
        .toStdString();
}

// The set read; an empty one, and a failure, when the file was not taken.
RuleSet setOf(const RuleSetFileResult& r)
{
    if (const auto* e = std::get_if<RuleSetFileError>(&r)) {
        ADD_FAILURE() << e->message.toStdString();
        return {};
    }
    return std::get<RuleSet>(r);
}

} // namespace

TEST(RuleSetFile, ReadsEveryField)
{
    const QByteArray file = "\xEF\xBB\xBF# a comment\r\n"
                            "  \t\r\n"
                            "tessaroon-rules   1\r\n"
                            "name = mine\n"
                            "label = 我的 #1\n"
                            "scheme = https\n"
                            "request-path = /s?wd=\n"
                            "page-key = &p=\n"
                            "request-tail =\n"
                            "link-prefixes = https://  ftp://\n"
                            "own-links = named-hosts\n"
                            "own-hosts = .Example.COM\tcache.example.net\n"
                            "redirect-path = /url?q=\n"
                            "target-attributes = mu data-url\n"
                            "    # an indented comment\n"
                            "pager = next-link\n"
                            "pager-text = 下一页 >\n"
                            "verify-hosts = Check.Example.com\n"
                            "verify-title = =验证=\n";
    RuleSet expected;
    expected.name = QStringLiteral("mine");
    expected.label = QStringLiteral("我的 #1");
    expected.scheme = "https";
    expected.requestPath = "/s?wd=";
    expected.pageKey = "&p=";
    expected.requestTail = "";
    expected.linkPrefixes = { "https://", "ftp://" };
    expected.ownLinks = RuleSet::OwnLinks::NamedHosts;
    expected.ownHosts = { "example.com", "cache.example.net" };
    expected.redirectPath = "/url?q=";
    expected.targetAttributes = { QStringLiteral("mu"), QStringLiteral("data-url") };
    expected.pager = RuleSet::Pager::NextLink;
    expected.pagerText = QStringLiteral("下一页 >");
    expected.verifyHosts = { "check.example.com" };
    expected.verifyTitles = { QStringLiteral("=验证=") };

    EXPECT_EQ(describe(setOf(parseRuleSetFile(file, QStringLiteral("my.rules"), { classicRules() }))),
        describe(expected));
}

TEST(RuleSetFile, KeysNotGivenComeFromTheBaseSet)
{
    RuleSet mine = classicRules();
    mine.name = mine.label = QStringLiteral("mine");
    RuleSet todayOverHttp = todayRules();
    todayOverHttp.scheme = "http";
    RuleSet todayFromClassic = classicRules();
    todayFromClassic.name = todayRules().name;
    todayFromClassic.label = todayRules().label;
    RuleSet fromToday = todayRules();
    fromToday.name = fromToday.label = QStringLiteral("mine2");
    RuleSet fromMine = mine;
    fromMine.name = QStringLiteral("more");
    fromMine.label = QStringLiteral("更多");
    fromMine.pager = RuleSet::Pager::NextLink;

    const struct {
        QByteArray body;
        RuleSet expected;
    } cases[] = {
        { "name = mine\n", mine }, // a new set: classic's fields, its name as label
        { "name = today\nscheme = http\n", todayOverHttp }, // a changed set: its own fields and label
        { "name = mine2\nbased-on = today\n", fromToday },
        { "name = today\nbased-on = classic\n", todayFromClassic }, // keeps its label
        { "based-on = mine\nname = more\nlabel = 更多\npager = next-link\n",
            fromMine }, // an earlier user set
    };
    for (const auto& c : cases) {
        const auto r = parseRuleSetFile("tessaroon-rules 1\n" + c.body, QStringLiteral("my.rules"),
            { classicRules(), todayRules(), mine });
        EXPECT_EQ(describe(setOf(r)), describe(c.expected)) << c.body.toStdString();
    }
}

TEST(RuleSetFile, AFaultNamesTheFileAndLine)
{
    const struct {
        QByteArray file;
        int line;
        const char* why;
    } cases[] = {
        { "", 1, "缺少格式版本行“tessaroon-rules 1”" },
        { "\n# rules\nname = x\n", 3, "第一行内容应为“tessaroon-rules 1”" },
        { "tessaroon-rules 4\nname = x\n", 1, "不支持的格式版本 4" },
        { "# mine\ntessaroon-rules 1\nlabel = x\n", 2, "缺少设置项 name" },
        { "tessaroon-rules 1\nname mine\n", 2, "缺少“=”" },
        { "tessaroon-rules 1\n= mine\n", 2, "“=”前缺少设置项名称" },
        { "tessaroon-rules 1\nname = a\nxyz = 1\n", 3, "未知的设置项 xyz" },
        { "tessaroon-rules 1\nName = a\n", 2, "未知的设置项 Name" },
        { "tessaroon-rules 1\nname = a\n\nname = b\n", 4, "设置项 name 重复（第 2 行已有）" },
        { "tessaroon-rules 1\nname = My_Rules\n", 2, "取值无效：name 只能含小写字母、数字和“-”" },
        { "tessaroon-rules 1\nname = a\nbased-on = nothing\n", 3, "取值无效：没有名为 nothing 的规则集" },
        { "tessaroon-rules 1\nname = a\nscheme = ftp\n", 3,
            "取值无效：scheme 只能是 http 或 https，不能是“ftp”" },
        { "tessaroon-rules 1\nname = a\npager = numbers\n", 3,
            "取值无效：pager 只能是 bracketed-line 或 next-link，不能是“numbers”" },
        { "tessaroon-rules 1\nname = a\nrequest-path = s?wd=\n", 3, "取值无效：request-path 必须以“/”开头" },
        { "tessaroon-rules 1\nname = a\nrequest-path = /搜索\n", 3,
            "取值无效：request-path 只能含可打印的 ASCII 字符，不能有空格" },
        { "tessaroon-rules 1\nname = a\nown-hosts = a.com .\n", 3, "取值无效：own-hosts 中有空的主机名" },
        { "tessaroon-rules 1\nname = a\nlink-prefixes =\n", 3, "取值无效：link-prefixes 不能为空" },
        { "tessaroon-rules 1\nname = a\nlabel = a\tb\n", 3, "取值无效：label 不能含控制字符" },
        { "tessaroon-rules 1\nname = a\nlabel = a\x01\n", 3, "含有控制字符" },
        { "tessaroon-rules 1\nname = a\nlabel = \xC4\xE3\n", 3, "不是有效的 UTF-8 文本" },
    };
    for (const auto& c : cases) {
        const RuleSetFileResult r
            = parseRuleSetFile(c.file, QStringLiteral("/home/u/rules/my.rules"), { classicRules() });
        ASSERT_TRUE(std::holds_alternative<RuleSetFileError>(r)) << c.file.toStdString();
        const auto& e = std::get<RuleSetFileError>(r);
        EXPECT_EQ(e.line, c.line) << c.file.toStdString();
        EXPECT_EQ(e.message,
            QStringLiteral("规则文件 /home/u/rules/my.rules 第 %1 行：%2")
                .arg(c.line)
                .arg(QString::fromUtf8(c.why)))
            << c.file.toStdString();
    }
}

TEST(RuleSetFile, TheRequestPiecesMustMakeAnAddressWithTheKeywordAsAValue)
{
    const char* const pathWithoutQuery
        = "request-path 必须含“?”，关键字接在它的最后一个参数之后（如 /s?wd=）";
    const char* const pathNotEndingInName
        = "request-path 必须以“参数名=”结尾，关键字是这个参数的值（如 /s?wd=）";
    const char* const pageKeyForm = "page-key 必须以“&”开头、以“参数名=”结尾，不能含“#”（如 &pn=）";
    const struct {
        QByteArray line;
        const char* why; // null: taken
        QByteArray address = {}; // of "ab" at offset 10 on host h, when taken
    } cases[] = {
        { "request-path = /snormal", pathWithoutQuery },
        { "request-path = /", pathWithoutQuery },
        { "request-path = /s?", pathNotEndingInName },
        { "request-path = /s?wd", pathNotEndingInName },
        { "request-path = /s?wd=1", pathNotEndingInName },
        { "request-path = /s?=", pathNotEndingInName },
        { "request-path = /s?a=1&=", pathNotEndingInName },
        { "request-path = /s?wd=&", pathNotEndingInName },
        { "request-path = /s?wd==", pathNotEndingInName },
        { "request-path = /s?wd=#top", "request-path 不能含“#”" },
        { "request-path = /s#?wd=", "request-path 不能含“#”" },
        { "page-key = pn=", pageKeyForm },
        { "page-key = &pn", pageKeyForm },
        { "page-key = &=", pageKeyForm },
        { "page-key = &pn=#", pageKeyForm },
        { "request-tail = cl=3", "request-tail 只能为空或以“&”开头（如 &cl=3）" },
        { "request-path = /s?wd=", nullptr, "http://h/s?wd=ab&pn=10&cl=3" },
        { "request-path = /?q=", nullptr, "http://h/?q=ab&pn=10&cl=3" },
        { "request-path = /s?ie=utf-8&wd=", nullptr, "http://h/s?ie=utf-8&wd=ab&pn=10&cl=3" },
        { "page-key = &rn=10&pn=", nullptr,
            "http://h/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=ab&rn=10&pn=10&cl=3" },
        { "request-tail =", nullptr, "http://h/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=ab&pn=10" },
        { "request-tail = &cl=3#x", nullptr,
            "http://h/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=ab&pn=10&cl=3#x" },
    };
    for (const auto& c : cases) {
        const RuleSetFileResult r = parseRuleSetFile(
            "tessaroon-rules 1\nname = a\n" + c.line + '\n', QStringLiteral("a.rules"), { classicRules() });
        if (!c.why) {
            const RuleSet rules = setOf(r);
            EXPECT_EQ(requestAddress(rules, buildRequestBase(rules, { "http", "h" }, "ab"), 1), c.address)
                << c.line.toStdString();
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<RuleSetFileError>(r)) << c.line.toStdString();
        EXPECT_EQ(std::get<RuleSetFileError>(r).message,
            QStringLiteral("规则文件 a.rules 第 3 行：取值无效：%1").arg(QString::fromUtf8(c.why)))
            << c.line.toStdString();
    }
}

TEST(RuleSetFile, AFaultKeepsTheNameTheFileGives)
{
    const struct {
        QByteArray file;
        const char* name;
    } cases[] = {
        { "tessaroon-rules 1\nname = mine\npager = numbers\n", "mine" },
        { "tessaroon-rules 1\npager = numbers\n  name = mine \n", "mine" }, // after the fault
        { "tessaroon-rules 4\nname = classic\n", "classic" },
        { "name = mine\n", "mine" }, // no version line
        { "tessaroon-rules 1\n# name = old\nname = My_Rules\n", "" },
        { "tessaroon-rules 1\nscheme = ftp\n", "" },
    };
    for (const auto& c : cases) {
        const RuleSetFileResult r = parseRuleSetFile(c.file, QStringLiteral("a.rules"), { classicRules() });
        ASSERT_TRUE(std::holds_alternative<RuleSetFileError>(r)) << c.file.toStdString();
        EXPECT_EQ(std::get<RuleSetFileError>(r).setName, QString::fromLatin1(c.name)) << c.file.toStdString();
    }
}

namespace {

// A set written as a version 2 file that gives every key.
// The set as a file of that format version, with every key the version
// knows.
QByteArray asFile(const RuleSet& r, int version = 2)
{
    auto words = [](const auto& items) {
        QStringList out;
        for (const auto& i : items)
            out.append(text(i));
        return out.join(u' ');
    };
    auto choice = [](auto value, std::initializer_list<const char*> names) {
        return QString::fromLatin1(names.begin()[static_cast<int>(value)]);
    };
    QStringList parameters;
    for (const RuleSet::TargetParameter& p : r.targetParameters)
        parameters.append(
            text(p.path + '?' + p.key + '=' + p.prefix + ':') + choice(p.coding, { "plain", "base64url" }));
    QStringList lines { u"tessaroon-rules "_s + QString::number(version), u"name = "_s + r.name,
        u"label = "_s + r.label, u"engine-host = "_s + text(r.defaultHost), u"scheme = "_s + text(r.scheme),
        u"request-path = "_s + text(r.requestPath), u"page-key = "_s + text(r.pageKey),
        u"request-tail = "_s + text(r.requestTail),
        u"keyword-encoding = "_s + choice(r.keywordEncoding, { "gbk", "utf-8" }),
        u"page-numbering = "_s + choice(r.pageNumbering, { "offset-from-0", "page-from-1", "offset-from-1" }),
        u"results-per-page = "_s + QString::number(r.resultsPerPage),
        u"link-prefixes = "_s + words(r.linkPrefixes),
        u"own-links = "_s + choice(r.ownLinks, { "page-domain", "named-hosts" }),
        u"own-hosts = "_s + words(r.ownHosts), u"redirect-path = "_s + text(r.redirectPath),
        u"redirect-mode = "_s + choice(r.redirectMode, { "network", "browser" }),
        u"target-attributes = "_s + words(r.targetAttributes),
        u"target-parameters = "_s + parameters.join(u' '),
        u"pager = "_s + choice(r.pager, { "bracketed-line", "next-link", "link-id", "link-class" }),
        u"pager-text = "_s + r.pagerText, u"verify-hosts = "_s + words(r.verifyHosts),
        u"verify-paths = "_s + words(r.verifyPaths), u"verify-titles = "_s + words(r.verifyTitles),
        u"verify-body-words = "_s + words(r.verifyBodyWords) };
    if (!r.pagerId.isEmpty())
        lines.append(u"pager-id = "_s + r.pagerId);
    if (!r.pagerClass.isEmpty())
        lines.append(u"pager-class = "_s + r.pagerClass);
    if (version >= 3) {
        lines.append(u"result-container = "_s + r.resultContainer);
        lines.append(u"ad-markers = "_s + r.adMarkers);
        lines.append(u"related-searches = "_s + r.relatedSearches);
    }
    return lines.join(u'\n').toUtf8();
}

} // namespace

TEST(RuleSetFile, EveryBuiltInSetWrittenAsAVersion2FileReadsBackTheSame)
{
    for (const RuleSet& builtIn : builtInRuleSets()) {
        RuleSet differs = builtIn;
        differs.name = u"my-"_s + builtIn.name;
        differs.resultsPerPage = 20;
        for (const RuleSet& r : { builtIn, differs }) {
            // Based on classic, so that every value must come from the file.
            const RuleSetFileResult read
                = parseRuleSetFile(asFile(r), QStringLiteral("a.rules"), { classicRules() });
            // A version 2 file cannot name the page's parts: classic has none.
            RuleSet withoutParts = r;
            withoutParts.resultContainer = withoutParts.adMarkers = withoutParts.relatedSearches = QString();
            EXPECT_EQ(describe(setOf(read)), describe(withoutParts)) << asFile(r).toStdString();
        }
    }
}

TEST(RuleSetFile, EveryBuiltInSetWrittenAsAVersion3FileReadsBackTheSame)
{
    for (const RuleSet& builtIn : builtInRuleSets()) {
        RuleSet differs = builtIn;
        differs.name = u"my-"_s + builtIn.name;
        differs.resultContainer = u"div.r > a, li:not(.x)"_s;
        differs.adMarkers = u"a[href*=\"/ad?\"]"_s;
        differs.relatedSearches = QString();
        for (const RuleSet& r : { builtIn, differs }) {
            const RuleSetFileResult read
                = parseRuleSetFile(asFile(r, 3), QStringLiteral("a.rules"), { classicRules() });
            EXPECT_EQ(describe(setOf(read)), describe(r)) << asFile(r, 3).toStdString();
        }
    }
}

TEST(RuleSetFile, PagePartsNeedVersion3AndOlderVersionsReadAsBefore)
{
    const struct {
        const char* lines;
        int line; // 0: taken
        const char* why;
    } cases[] = {
        { "tessaroon-rules 2\nname = a\nresult-container = li.b_algo\n", 3,
            "设置项 result-container 需要格式版本 3（第一行写“tessaroon-rules 3”）" },
        { "tessaroon-rules 1\nname = a\nad-markers = li.b_ad\n", 3,
            "设置项 ad-markers 需要格式版本 3（第一行写“tessaroon-rules 3”）" },
        { "tessaroon-rules 2\nname = a\n\nrelated-searches = .b_rs a\n", 4,
            "设置项 related-searches 需要格式版本 3（第一行写“tessaroon-rules 3”）" },
        { "tessaroon-rules 3\nname = a\nverify-title = 验证\n", 3,
            "设置项 verify-title 只用于格式版本 1，版本 3 请改用 verify-titles" },
        { "tessaroon-rules 3\nname = a\nad-markers = a\x01"
          "b\n",
            3, "含有控制字符" },
        { "tessaroon-rules 3\nname = a\nad-markers = x\nad-markers = y\n", 4,
            "设置项 ad-markers 重复（第 3 行已有）" },
        { "tessaroon-rules 4\nname = a\n", 1, "不支持的格式版本 4" },
        { "tessaroon-rules 3\nname = a\nengine-host = www.so.com\npager = link-id\npager-id = snext\n"
          "result-container =\n",
            0, "" },
        { "tessaroon-rules 1\nname = a\nverify-title = 验证\n", 0, "" },
    };
    for (const auto& c : cases) {
        const RuleSetFileResult r = parseRuleSetFile(c.lines, QStringLiteral("a.rules"), builtInRuleSets());
        if (c.line == 0) {
            EXPECT_TRUE(std::holds_alternative<RuleSet>(r)) << c.lines;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<RuleSetFileError>(r)) << c.lines;
        EXPECT_EQ(std::get<RuleSetFileError>(r).message,
            QStringLiteral("规则文件 a.rules 第 %1 行：%2").arg(c.line).arg(QString::fromUtf8(c.why)))
            << c.lines;
    }
    // What a version 3 file leaves out comes from its base, parts included;
    // an empty value says the page has no such part.
    const RuleSet r = setOf(parseRuleSetFile("tessaroon-rules 3\nname = mine\nbased-on = bing\n"
                                             "ad-markers =\nrelated-searches =  div.rs  a \n",
        QStringLiteral("a.rules"), builtInRuleSets()));
    EXPECT_EQ(r.resultContainer, bingRules().resultContainer);
    EXPECT_EQ(r.adMarkers, QString());
    EXPECT_EQ(r.relatedSearches, u"div.rs  a"_s);
}

TEST(RuleSetFile, Version2KeysAndTheirFaults)
{
    const struct {
        const char* lines;
        int line;
        const char* why;
    } cases[] = {
        { "tessaroon-rules 1\nname = a\nengine-host = www.so.com\n", 3,
            "设置项 engine-host 需要格式版本 2（第一行写“tessaroon-rules 2”）" },
        { "tessaroon-rules 1\nname = a\npager = link-id\n", 3,
            "取值无效：pager 只能是 bracketed-line 或 next-link，不能是“link-id”" },
        { "tessaroon-rules 2\nname = a\nverify-title = 验证\n", 3,
            "设置项 verify-title 只用于格式版本 1，版本 2 请改用 verify-titles" },
        { "tessaroon-rules 2\nname = a\nengine-host = https://www.so.com\n", 3,
            "取值无效：engine-host 只能是主机名，可带端口（如 www.so.com 或 127.0.0.1:8642）" },
        { "tessaroon-rules 2\nname = a\nengine-host = h/s\n", 3,
            "取值无效：engine-host 只能是主机名，可带端口（如 www.so.com 或 127.0.0.1:8642）" },
        { "tessaroon-rules 2\nname = a\nkeyword-encoding = big5\n", 3,
            "取值无效：keyword-encoding 只能是 gbk 或 utf-8，不能是“big5”" },
        { "tessaroon-rules 2\nname = a\npage-numbering = page\n", 3,
            "取值无效：page-numbering 只能是 offset-from-0、page-from-1 或 offset-from-1，不能是“page”" },
        { "tessaroon-rules 2\nname = a\nresults-per-page = 0\n", 3,
            "取值无效：results-per-page 必须是 1 到 100 之间的整数" },
        { "tessaroon-rules 2\nname = a\nresults-per-page = 101\n", 3,
            "取值无效：results-per-page 必须是 1 到 100 之间的整数" },
        { "tessaroon-rules 2\nname = a\nresults-per-page = +5\n", 3,
            "取值无效：results-per-page 必须是 1 到 100 之间的整数" },
        { "tessaroon-rules 2\nname = a\nredirect-mode = proxy\n", 3,
            "取值无效：redirect-mode 只能是 network 或 browser，不能是“proxy”" },
        { "tessaroon-rules 2\nname = a\ntarget-parameters = /link?url=:plain /ck/a?u=a1:base32\n", 3,
            "取值无效：target-parameters 的每一项须形如“/路径?参数名=前缀:plain”或“…:base64url”"
            "（如 /ck/a?u=a1:base64url），不能是“/ck/a?u=a1:base32”" },
        { "tessaroon-rules 2\nname = a\ntarget-parameters = ck/a?u=:plain\n", 3,
            "取值无效：target-parameters 的每一项须形如“/路径?参数名=前缀:plain”或“…:base64url”"
            "（如 /ck/a?u=a1:base64url），不能是“ck/a?u=:plain”" },
        { "tessaroon-rules 2\nname = a\ntarget-parameters = /ck/a?=x:plain\n", 3,
            "取值无效：target-parameters 的每一项须形如“/路径?参数名=前缀:plain”或“…:base64url”"
            "（如 /ck/a?u=a1:base64url），不能是“/ck/a?=x:plain”" },
        { "tessaroon-rules 2\nname = a\npager = numbers\n", 3,
            "取值无效：pager 只能是 bracketed-line、next-link、link-id 或 link-class，不能是“numbers”" },
        { "tessaroon-rules 2\nname = a\npager-class = a b\n", 3, "取值无效：pager-class 不能含空格" },
        { "tessaroon-rules 2\nname = a\nverify-paths = /a antispider\n", 3,
            "取值无效：verify-paths 必须以“/”开头" },
        { "tessaroon-rules 2\nname = a\n\npager = link-id\n", 4, "pager 为 link-id 时必须给出 pager-id" },
        { "tessaroon-rules 2\nname = a\nbased-on = bing\npager-class =\n", 4,
            "取值无效：pager-class 不能为空" },
        { "\ntessaroon-rules 2\nname = a\nbased-on = 360\npager = link-class\n", 5,
            "pager 为 link-class 时必须给出 pager-class" },
    };
    for (const auto& c : cases) {
        const RuleSetFileResult r = parseRuleSetFile(c.lines, QStringLiteral("a.rules"), builtInRuleSets());
        ASSERT_TRUE(std::holds_alternative<RuleSetFileError>(r)) << c.lines;
        EXPECT_EQ(std::get<RuleSetFileError>(r).message,
            QStringLiteral("规则文件 a.rules 第 %1 行：%2").arg(c.line).arg(QString::fromUtf8(c.why)))
            << c.lines;
    }
}

TEST(RuleSetFile, Version2ReadsItsListsAndTakesTheAliasAsABase)
{
    const RuleSet r = setOf(parseRuleSetFile("tessaroon-rules 2\n"
                                             "name = mine\n"
                                             "based-on = baidu\n"
                                             "engine-host = WWW.Example.COM:8080\n"
                                             "verify-titles = 验证  访问异常\n"
                                             "verify-body-words =\n"
                                             "target-parameters = /u?q=:plain\t/ck/a?u=a1:base64url\n",
        QStringLiteral("a.rules"), builtInRuleSets()));
    RuleSet expected = todayRules();
    expected.name = expected.label = QStringLiteral("mine");
    expected.defaultHost = "www.example.com:8080";
    expected.verifyTitles = { QStringLiteral("验证"), QStringLiteral("访问异常") };
    expected.verifyBodyWords = {};
    expected.targetParameters
        = { { "/u", "q" }, { "/ck/a", "u", RuleSet::TargetParameter::Coding::Base64Url, "a1" } };
    EXPECT_EQ(describe(r), describe(expected));
}

class RuleCatalogTest : public ::testing::Test {
protected:
    void write(const char* name, const QByteArray& body)
    {
        test::writeFile(dir.filePath(QString::fromLatin1(name)), "tessaroon-rules 1\n" + body);
    }
    QString shown(const char* name) const
    {
        return QDir::toNativeSeparators(dir.filePath(QString::fromLatin1(name)));
    }

    QTemporaryDir dir;
    RuleCatalog catalog;
};

TEST_F(RuleCatalogTest, ReadsTheFolderInNameOrderAfterTheBuiltInSets)
{
    write("2-b.rules", "name = b\nbased-on = a\nlabel = 乙\n"); // needs a, read before it
    write("1-a.rules", "name = a\nscheme = https\n");
    write("3-c.rules.txt", "name = c\n"); // not a rule set file
    catalog.loadFolder(dir.filePath(QStringLiteral("missing"))); // nothing to do
    catalog.loadFolder(dir.path());

    EXPECT_EQ(catalog.names().join(u' '), QStringLiteral("classic today 360 sogou bing a b"));
    EXPECT_TRUE(catalog.errors().isEmpty());
    ASSERT_NE(catalog.find(QStringLiteral("b")), nullptr);
    EXPECT_EQ(catalog.find(QStringLiteral("b"))->scheme, "https");
    EXPECT_EQ(catalog.find(QStringLiteral("b"))->label, QStringLiteral("乙"));
    EXPECT_EQ(catalog.find(QStringLiteral("c")), nullptr);
}

TEST_F(RuleCatalogTest, AUserFileReplacesTheBuiltInSetOfItsName)
{
    write("today.rules", "name = today\nscheme = http\n");
    catalog.loadFolder(dir.path());

    RuleSet expected = todayRules();
    expected.scheme = "http";
    EXPECT_EQ(catalog.names().join(u' '), QStringLiteral("classic today 360 sogou bing"));
    EXPECT_EQ(describe(catalog.sets()[1]), describe(expected));
    EXPECT_EQ(catalog.find(QStringLiteral("today")), &catalog.sets()[1]);
}

TEST_F(RuleCatalogTest, BaiduIsTodayUntilAFileMakesASetOfThatName)
{
    EXPECT_EQ(catalog.find(QStringLiteral("baidu")), &catalog.sets()[1]);
    write("baidu.rules", "name = baidu\nscheme = https\n");
    catalog.loadFolder(dir.path());
    ASSERT_NE(catalog.find(QStringLiteral("baidu")), nullptr);
    EXPECT_EQ(catalog.find(QStringLiteral("baidu")), &catalog.sets().last());
    EXPECT_EQ(catalog.find(QStringLiteral("baidu"))->requestPath, classicRules().requestPath);
}

TEST_F(RuleCatalogTest, AFileNotTakenIsReportedAndTheBuiltInSetStays)
{
    write("a.rules", "name = classic\nscheme = https\npager = numbers\n");
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("b.rules"))));
    write("c.rules", QByteArray(kMaxRuleSetFileSize, '#'));
    catalog.loadFolder(dir.path());

    EXPECT_EQ(catalog.names().join(u' '), QStringLiteral("classic today 360 sogou bing"));
    EXPECT_EQ(describe(*catalog.find(QStringLiteral("classic"))), describe(classicRules()));
    ASSERT_EQ(catalog.errors().size(), 3);
    EXPECT_EQ(catalog.errors()[0].message,
        QStringLiteral(
            "规则文件 %1 第 4 行：取值无效：pager 只能是 bracketed-line 或 next-link，不能是“numbers”")
            .arg(shown("a.rules")));
    EXPECT_TRUE(catalog.errors()[1].message.startsWith(
        QStringLiteral("规则文件 %1 无法读取：").arg(shown("b.rules"))))
        << catalog.errors()[1].message.toStdString();
    EXPECT_EQ(catalog.errors()[2].message,
        QStringLiteral("规则文件 %1 过大（超过 1024 KiB），未读取").arg(shown("c.rules")));
}

TEST_F(RuleCatalogTest, AFolderBearingTheNameIsReported)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("x.rules/inner.rules")));
    ASSERT_TRUE(
        QFile::link(dir.filePath(QStringLiteral("x.rules")), dir.filePath(QStringLiteral("y.rules"))));
    write("z.rules", "name = z\n");
    catalog.loadFolder(dir.path());

    EXPECT_EQ(catalog.names().join(u' '), QStringLiteral("classic today 360 sogou bing z"));
    ASSERT_EQ(catalog.errors().size(), 2);
    EXPECT_EQ(catalog.errors()[0].message,
        QStringLiteral("规则文件 %1 不是文件，而是文件夹").arg(shown("x.rules")));
    EXPECT_EQ(catalog.errors()[1].message,
        QStringLiteral("规则文件 %1 不是文件，而是文件夹").arg(shown("y.rules")));
}

TEST_F(RuleCatalogTest, AFileNotTakenSaysWhatBecameOfItsSet)
{
    using Standing = RuleFileNotTaken::Standing;
    write("1.rules", "name = today\npager = numbers\n"); // a built-in set
    write("2.rules", "pager = numbers\nname = mine\n"); // a new set
    write("3.rules", "name = ours\n");
    write("4.rules", "name = ours\nscheme = ftp\n"); // the set of an earlier file
    write("5.rules", "name = later\nscheme = ftp\n"); // made by a later file
    write("6.rules", "name = later\n");
    write("7.rules", "scheme = ftp\n"); // no name
    catalog.loadFolder(dir.path());

    const QList<RuleFileNotTaken> errors = catalog.errors();
    ASSERT_EQ(errors.size(), 5);
    const std::pair<const char*, Standing> expected[] = { { "today", Standing::BuiltIn },
        { "mine", Standing::Missing }, { "ours", Standing::FromOtherFile },
        { "later", Standing::FromOtherFile }, { "", Standing::Unnamed } };
    for (qsizetype i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i].setName, QString::fromLatin1(expected[i].first)) << i;
        EXPECT_EQ(errors[i].standing, expected[i].second) << i;
    }
}

TEST(RememberedRules, IsClassicUntilAChoiceIsKept)
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    EXPECT_EQ(rememberedRules(), QStringLiteral("classic"));
    rememberRules(QStringLiteral("today"));
    EXPECT_EQ(rememberedRules(), QStringLiteral("today"));
    EXPECT_TRUE(
        test::readFile(dir.filePath(QStringLiteral("tessaroon/tessaroon.ini"))).contains("rules=today"));
    // Several engines, and the exclusion list, are kept beside it.
    rememberRules(QStringLiteral("today,360"));
    EXPECT_EQ(rememberedRules(), QStringLiteral("today,360"));
    EXPECT_EQ(rememberedExclusionList(), QString());
    rememberExclusionList(QStringLiteral("/data/不要.txt"));
    EXPECT_EQ(rememberedExclusionList(), QStringLiteral("/data/不要.txt"));
}
