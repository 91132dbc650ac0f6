#include "harvest/RuleSet.h"

namespace tess::harvest {
namespace {

// Both Baidu sets know the engine's verification page.
void addVerification(RuleSet& r)
{
    r.verifyHosts = { "wappass.baidu.com" };
    r.verifyTitles = { QStringLiteral("安全验证") };
}

RuleSet makeClassic()
{
    RuleSet r;
    r.name = QStringLiteral("classic");
    r.label = QStringLiteral("经典");
    addVerification(r);
    return r;
}

// What the engines of today share: https, UTF-8 keywords, links of both
// schemes, and their own links told by host.
RuleSet modernEngine(const char* name, const char* label, const QByteArray& host)
{
    RuleSet r;
    r.name = QString::fromUtf8(name);
    r.label = QString::fromUtf8(label);
    r.defaultHost = host;
    r.scheme = "https";
    r.requestTail = "";
    r.keywordEncoding = RuleSet::KeywordEncoding::Utf8;
    r.linkPrefixes = { "http://", "https://" };
    r.ownLinks = RuleSet::OwnLinks::NamedHosts;
    return r;
}

RuleSet makeToday()
{
    RuleSet r = modernEngine("today", "现行", "www.baidu.com");
    r.requestPath = "/s?ie=utf-8&wd=";
    r.pageKey = "&pn=";
    r.pageNumbering = RuleSet::PageNumbering::OffsetFromZero;
    // The engine's domain, its snapshot cache, its portal and the hosts
    // its pages take pictures and scripts from.
    r.ownHosts = { "baidu.com", "baiducontent.com", "hao123.com", "bdstatic.com", "bdimg.com" };
    r.redirectPath = "/link?url=";
    // An advertisement's link goes through the engine; its container names
    // the landing page.
    r.targetAttributes = { QStringLiteral("mu"), QStringLiteral("data-lp") };
    // Aladdin cards (result-op) are the engine's own, not organic results.
    r.resultContainer = QStringLiteral("#content_left > div.result.c-container:not(.result-op)");
    r.adMarkers = QStringLiteral("div.EC_result, a[href*=\"/baidu.php?\"]");
    r.relatedSearches = QStringLiteral("#rs a, #rs_new a, [tpl=\"recommend_list\"] a");
    r.pager = RuleSet::Pager::NextLink;
    addVerification(r);
    // The search is sent on to the captcha page; the local engine serves
    // it on its own host, so the path tells it too.
    r.verifyPaths = { "/static/captcha" };
    r.verifyTitles = { QStringLiteral("百度安全验证"), QStringLiteral("安全验证") };
    return r;
}

RuleSet make360()
{
    RuleSet r = modernEngine("360", "360搜索", "www.so.com");
    r.requestPath = "/s?ie=utf-8&q=";
    r.pageKey = "&pn=";
    r.requestTail = "&src=srp_paging";
    r.pageNumbering = RuleSet::PageNumbering::PageFromOne;
    // The engine under its names old and new, its portal, its news
    // stream, its snapshot cache and the hosts of its pictures and scripts.
    r.ownHosts = { "so.com", "360.cn", "360kuai.com", "360webcache.com", "qhimg.com", "qhres.com",
        "qhmsg.com", "qhupdate.com", "so.cn", "haosou.com" };
    // The click-through answers only with the result page's cookie.
    r.redirectPath = "/link?m=";
    r.redirectMode = RuleSet::RedirectMode::Browser;
    r.targetAttributes = { QStringLiteral("data-mdurl"), QStringLiteral("data-url") };
    r.targetParameters = { { "/link", "url", RuleSet::TargetParameter::Coding::Plain } };
    r.resultContainer = QStringLiteral("ul.result > li.res-list");
    r.adMarkers = QStringLiteral("#e_idea_pp, #e_idea_pp_vip_bottom, .e_result");
    // 其他人还搜了 stands in the list as an item of another class.
    r.relatedSearches = QStringLiteral("#rs a, ul.result > li:not(.res-list) a");
    r.pager = RuleSet::Pager::LinkWithId;
    r.pagerId = QStringLiteral("snext");
    r.verifyHosts = { "qcaptcha.so.com" };
    r.verifyTitles = { QStringLiteral("访问异常页面") };
    r.verifyBodyWords = { QStringLiteral("请输入验证码以便正常访问") };
    return r;
}

RuleSet makeSogou()
{
    RuleSet r = modernEngine("sogou", "搜狗", "www.sogou.com");
    r.requestPath = "/web?query=";
    r.pageKey = "&page=";
    r.requestTail = "&ie=utf8";
    r.pageNumbering = RuleSet::PageNumbering::PageFromOne;
    r.ownHosts = { "sogou.com", "sogoucdn.com", "sogo.com" };
    // The click-through leaves by script, which only a browser runs.
    r.redirectPath = "/link?url=";
    r.redirectMode = RuleSet::RedirectMode::Browser;
    r.targetAttributes = { QStringLiteral("data-url") };
    // 大家还在搜 is a block of the list's own class.
    r.resultContainer
        = QStringLiteral("div.results > div.vrwrap:not(.middle-better-hintBox), div.results > div.rb");
    r.adMarkers = QStringLiteral("#leftbottomleadContainer, div.sponsored");
    r.relatedSearches = QStringLiteral("#hint_container a, div.middle-better-hintBox a");
    r.pager = RuleSet::Pager::LinkWithId;
    r.pagerId = QStringLiteral("sogou_next");
    r.verifyPaths = { "/antispider" };
    r.verifyBodyWords = { QStringLiteral("系统检测到您网络中存在异常访问") };
    return r;
}

RuleSet makeBing()
{
    RuleSet r = modernEngine("bing", "必应", "cn.bing.com");
    r.requestPath = "/search?q=";
    r.pageKey = "&first=";
    r.requestTail = "&FORM=PERE";
    r.pageNumbering = RuleSet::PageNumbering::OffsetFromOne;
    r.ownHosts = { "bing.com", "bing.net", "microsoft.com", "msn.com", "live.com", "bingapis.com" };
    // The click-through carries its target; asking it is the fallback.
    r.redirectPath = "/ck/a?";
    r.targetParameters = { { "/ck/a", "u", RuleSet::TargetParameter::Coding::Base64Url, "a1" } };
    r.resultContainer = QStringLiteral("ol#b_results > li.b_algo");
    r.adMarkers = QStringLiteral("li.b_ad, div.sb_adsWv2, div.sb_adsW2v2");
    r.relatedSearches = QStringLiteral(".b_rs a");
    r.pager = RuleSet::Pager::LinkWithClass;
    r.pagerClass = QStringLiteral("sb_pagN");
    r.verifyPaths = { "/turing/captcha" };
    return r;
}

} // namespace

const QList<RuleSet>& builtInRuleSets()
{
    static const QList<RuleSet> sets { makeClassic(), makeToday(), make360(), makeSogou(), makeBing() };
    return sets;
}

const RuleSet& classicRules() { return builtInRuleSets().at(0); }
const RuleSet& todayRules() { return builtInRuleSets().at(1); }
const RuleSet& threeSixtyRules() { return builtInRuleSets().at(2); }
const RuleSet& sogouRules() { return builtInRuleSets().at(3); }
const RuleSet& bingRules() { return builtInRuleSets().at(4); }

const RuleSet* findRuleSet(const QList<RuleSet>& sets, const QString& name)
{
    for (const RuleSet& s : sets) {
        if (s.name == name)
            return &s;
    }
    if (name == kTodayAlias)
        return findRuleSet(sets, todayRules().name);
    return nullptr;
}

} // namespace tess::harvest
