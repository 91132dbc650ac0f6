#pragma once

#include "SamplePage.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The request forms of every layout, the made-up pages of three other
// engines, their block pages, and the rows a correct harvest of any layout
// yields. As in SamplePage.h, everything follows from the keyword and the
// page: page p (1, 2, ...) holds results r = 10(p-1)+1 to 10p.
//
// Requests (layoutSearchTarget writes them; unknown keys are ignored):
//   Classic  GET /baidu?...&word=<GBK>&pn=<offset from 0>
//   Today    GET /s?ie=utf-8&wd=<UTF-8>&pn=<offset from 0>, and the classic
//            form, with the same page
//   So360    GET /s?ie=utf-8&q=<UTF-8>&pn=<page from 1>&src=srp_paging
//   Sogou    GET /web?query=<UTF-8>&page=<page from 1>&ie=utf8 (and /sogou?)
//   Bing     GET /search?q=<UTF-8>&first=<offset from 1>&FORM=PERE
// Keywords are form-encoded ("+" for a blank); a page key that is absent,
// malformed or below the first page asks for the first page.
//
// The three other engines' pages are UTF-8 with <meta charset="utf-8">. Each
// result links to layoutResult(...).href, as LinkForm names it; its title
// link's text is "<keyword>_<engine>结果<r>" with the keyword in <em>. Every
// other link on the page is the engine's own (its public hosts, the host
// asked, or relative), a script or nothing at all:
//
// So360: <div id="main"><ul class="result">, items <li class="res-list">, title
//   <h3 class="res-title"><a ...>. By r mod 4:
//     0 AttributeRedirect  href "http://HOST/link?m=<token>", data-mdurl="TARGET"
//     1 CookieRedirect     href "http://HOST/link?m=<token>", nothing else: the
//                          redirector answers a 302 to TARGET only when the
//                          request carries the cookie kSessionCookie that the
//                          result page set, else a 302 to "http://HOST/"
//     2 PlainParameter     href "http://HOST/link?url=<percent-encoded TARGET>"
//                          (answered with a 302 to it)
//     3 Direct             href TARGET
//   Target "https://s360.k<hash>-<r>.example.com/p/<r>.html". Per item a 快照
//   link to "http://c.360webcache.com/c?..."; after the page's second result a
//   360百科 item (<div class="g-mohe">) on baike.so.com with an image; tabs
//   on news/image/video.so.com; related searches on www.so.com in <div id="rs">;
//   a 快资讯 link on www.360kuai.com in <div id="side">. Pager
//   <div id="page">: "<上一页" (id "sprev") after the first page, page numbers,
//   <a id="snext" ...>下一页</a> while a further page exists.
//
// Sogou: <div class="results">, items <div class="vrwrap" id="rb_<i>">, title
//   <h3 class="vr-title"><a id="sogou_vr_30000000_<i>" ...>. By r mod 3:
//     0 ScriptRedirect     href "/link?url=<token>" (relative); the redirector
//                          answers 200 with a page whose script calls
//                          window.location.replace("TARGET"), nothing else
//     1 ContainerAttribute the same link; the item's element carries the target
//                          glued to the next attribute:
//                          <div class="vrwrap" data-url="TARGET"data-hint="sugg" ...>
//     2 Direct             href TARGET, in a <div class="struct201102"> card
//   Target "http://www.k<hash>-<r>.sg-sample.example.net/a/<r>". Per item a
//   快照 link on snapshot.sogoucdn.com; after the page's fifth result a 搜狗百科
//   card on baike.sogou.com; tabs on weixin/pic/v.sogou.com; "大家还在搜" on
//   www.sogou.com. Pager <div class="p" id="pagebar_container">, links as
//   relative query strings, <a id="sogou_next" ... class="np">下一页</a>.
//
// Bing: <ol id="b_results">, items <li class="b_algo">, title <h2><a ...>. By
//   r mod 2:
//     0 Base64Parameter    href "https://www.bing.com/ck/a?!&&p=<hex>&ptn=3&ver=2
//                          &hsh=4&u=a1<base64url of TARGET, no padding>&ntb=1";
//                          on even pages "http://HOST/ck/a?..." instead, which
//                          the engine answers with a 302 to TARGET
//     1 Direct             href TARGET
//   Target "https://k<hash>-<r>.example.org/bing/<r>?x=1&y=2". Per item a cache
//   link on cc.bing.net; after the page's fourth result an image answer
//   (<li class="b_ans">) on www.bing.com and tse1.mm.bing.net; scope links on
//   cn.bing.com; related searches relative; footer links on microsoft.com.
//   Pager <li class="b_pag">: the current page in a.sb_pagS, and while a
//   further page exists <a class="sb_pagN sb_pagN_bp b_widePag sb_bp"
//   title="下一页" ...>.
//
// Related searches (every layout but the classic one, results or not): the
//   texts relatedSearchTexts names, each a link to the engine's own search
//   path: Today <div id="rs"> on www.baidu.com, So360 <div id="rs"> on
//   www.so.com, Sogou <div class="vrwrap middle-better-hintBox"> (大家还在搜)
//   inside div.results on www.sogou.com, Bing <div class="b_rs"> inside an
//   li.b_ans, relative.
//
// Advertisements (EngineSettings::ads = N, --ads N): N of them before the
// first result of a page with results, in page order, layoutAds naming them:
//   Today  direct children of #content_left, each a bare <div> around
//          <div class="EC_result c-container" data-lp="TARGET">, title link
//          "https://www.baidu.com/baidu.php?url=<opaque>"
//   So360  <ul id="e_idea_pp" class="e_result"> before ul.result, items
//          linking to TARGET
//   Sogou  <div class="sponsored" id="leftbottomleadContainer"> before
//          div.results, links to TARGET
//   Bing   <li class="b_ad"> first in ol#b_results, links to TARGET
// The organic result containers are as the rule sets name them: Today's
// div.result (its cards are div.result-op), 360's li.res-list (its 百科 item
// too), Sogou's div.vrwrap (its 百科 card too, not the 大家还在搜 block),
// Bing's li.b_algo; predictedPlaces says where each predicted row stands.
//
// In every layout keywords beginning 无结果 (kNoResultsPrefix), and pages
// past pagesPerKeyword, hold no results and no pager.
//
// Block pages (EngineSettings::verifyAfter): the Nth search request and every
// later one, until the block is passed by a POST to blockPaths(layout).pass:
//   Classic, Today  302 to /static/captcha/index.html?backurl=<address>
//                   (renderVerificationPage)
//   So360           200 in place of the result page: <title>访问异常页面</title>,
//                   "请输入验证码以便正常访问:"; the pass path is /check
//   Sogou           302 to /antispider/?from=<percent-encoded request>, titled
//                   搜狗搜索, "用户您好，我们的系统检测到您网络中存在异常访问请求。"
//   Bing            302 to /turing/captcha/challenge?ru=<percent-encoded request>
// Each has a <button id="verify"> that POSTs to the pass path and then goes
// back to the blocked request, and no links.
namespace tess::sample {

// ---- Requests ----

// The address (path and query) page `page` (1, 2, ...) of a keyword is asked
// with, in the form the layout's rule set writes.
std::string layoutSearchTarget(Layout layout, std::string_view wordGbk, long long page);

// The paths the layout searches on.
std::vector<std::string> searchPaths(Layout layout);

// Reads a search request of the layout; nothing when `path` is not one of its
// search paths.
std::optional<SearchRequest> parseLayoutSearch(
    Layout layout, std::string_view path, std::string_view rawQuery);

// The page (1, 2, ...) a request asks for.
long long pageOf(const SearchRequest& request);

// True for the layouts whose pages are UTF-8 rather than GBK.
bool pagesInUtf8(Layout layout);

// ---- Results ----

enum class LinkForm {
    Direct, // href is the target
    RedirectToken, // today's /link?url=<token>, answered as redirectFor says
    AttributeRedirect, // 360: /link?m=<token> with data-mdurl on the link
    CookieRedirect, // 360: /link?m=<token>, answered only with the page's cookie
    PlainParameter, // 360: /link?url=<percent-encoded target>
    ScriptRedirect, // Sogou: relative /link?url=<token>, a script page
    ContainerAttribute, // Sogou: the same, data-url on the item's element
    Base64Parameter, // Bing: ck/a with u=a1<base64url>
};

struct LayoutResult {
    long long number = 0; // r
    std::string target;
    std::string title; // the title link's text as a browser shows it, UTF-8
    std::string href; // the title link's address as written, before escaping
    LinkForm form = LinkForm::Direct;
};

// Result r (>= 1) of the keyword in a layout; host is the authority the
// browser asked for.
LayoutResult layoutResult(
    Layout layout, std::string_view wordGbk, long long resultNumber, std::string_view host);

// The redirect token of result r in the 360 and Sogou layouts.
std::string layoutToken(Layout layout, std::string_view wordGbk, long long resultNumber);
// The target a 360 or Sogou token leads to; nothing for any other text.
std::optional<std::string> layoutTokenTarget(Layout layout, std::string_view token);

// The cookie the 360 result page sets and its redirector asks for.
inline constexpr std::string_view kSessionCookie = "so_sid";

// "a1" + base64url of the target, as Bing's u key carries it.
std::string bingParameter(std::string_view target);
// Undoes bingParameter; nothing when the value is not of its form.
std::optional<std::string> bingParameterTarget(std::string_view value);

// ---- What a harvest yields ----

struct PredictedRow {
    std::string target; // redirects followed
    std::string title; // the link's text, UTF-8
    bool operator==(const PredictedRow&) const = default;
};

// The rows a correct harvest of page `page` (1, 2, ...) of the keyword
// yields, in page order: every redirect followed or read off its attribute or
// parameter, the engine's own links, scripts and mail left out. Today's
// layout adds its cards' direct links (todayCardLinks) where they stand; the
// page's advertisements (layoutAds) come first.
// Empty past the last page and for keywords beginning 无结果.
std::vector<PredictedRow> predictedRows(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings);

// The texts of the keyword's related searches, UTF-8, in page order:
// "<K> 教程", "<K> 下载" and a third: K with its ASCII letters upper-cased
// when it has a lower-case one ("vue" → "VUE"), else with them full-width
// when it has an upper-case one ("VUE" → "ＶＵＥ"), else "<K> 是什么". The
// third repeats the keyword in another case or width, which a keyword miner
// must know for the same.
std::vector<std::string> relatedSearchTexts(std::string_view wordGbk);

// The advertisements of page `page` (1, 2, ...): settings.ads of them on a
// page with results in every layout but the classic one, else none; target
// "https://ad<n>-k<hash>-p<page>.ads-sample.example.com/landing", title
// "<K>_推广<n>", n from 1.
std::vector<PredictedRow> layoutAds(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings);

// Where a predicted row stands on its page.
struct PredictedPlace {
    bool ad = false;
    int resultIndex = -1; // its organic result container among the page's, from 0; -1: none
    bool operator==(const PredictedPlace&) const = default;
};

// The place of each of predictedRows, in the same order.
std::vector<PredictedPlace> predictedPlaces(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings);

// How many elements of a page match its layout's result container (0 for
// the classic layout and pages without results).
int predictedResultCount(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings);

// The result item of the page (0-based) that the engine's own item follows:
// 360's 百科 item, Sogou's 百科 card, Bing's image answer.
inline constexpr int kSo360MoheAfter = 1;
inline constexpr int kSogouBaikeAfter = 4;
inline constexpr int kBingImagesAfter = 3;

// ---- Block pages ----

struct BlockPaths {
    std::string_view page; // where the search request is sent; empty: answered in place
    std::string_view pass; // POST here passes the block
};
BlockPaths blockPaths(Layout layout);

// Where a blocked search request is sent (a 302 to it), for the layouts that
// send it anywhere; `requestTarget` is the request's path and query.
std::string blockAddress(Layout layout, std::string_view host, std::string_view requestTarget);

// The layout's block page, UTF-8. backUrl is the blocked request; client
// names the asker as the 360 page shows it ("127.0.0.1").
std::string renderBlockPage(Layout layout, std::string_view backUrl, std::string_view client = {});

// The Sogou redirector's answer: a page whose script calls
// window.location.replace(target), UTF-8.
std::string renderScriptRedirect(std::string_view target);

// Pages of the three other engines; renderResultPage picks them.
std::string render360Page(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings);
std::string renderSogouPage(const SearchRequest& request, const EngineSettings& settings);
std::string renderBingPage(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings);

} // namespace tess::sample
