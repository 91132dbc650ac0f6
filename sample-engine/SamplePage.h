#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The result pages of the sample engine. Everything on a page follows from the
// keyword and the offset, so tests can predict what a harvest of it yields.
// Page p of a keyword (pn = 10(p-1)) holds results r = 10(p-1)+1 to 10p; index
// i = 0..9 on the page is result r = 10(p-1)+i+1.
//
// The classic layout (the default):
//  - ten results per page; result r links straight to resultAddress(word, r)
//    with a title that contains the keyword;
//  - per result a "快照" link back to the engine's own host;
//  - after the results, upper-cased copies of the addresses of results 2 and 7
//    of the page, two https links, a mailto: and a javascript: link;
//  - the pager line, then a footer with links to the own host.
//
// Today's layout (Layout::Today), as todayResult() describes each result:
//  - a top bar with the portal link "http://www.hao123.com/";
//  - each ordinary result in <div class="result c-container" id="r">; its
//    title link leads to the engine's redirector on the host the browser
//    asked (redirectAddress(host, token)); the target shows only as a
//    shortened display text in a <span class="c-showurl">. Results with an
//    odd r carry the target in the container's mu="..." as well;
//  - result r's target (todayTarget):
//      odd r:  "https://blog.k<hash>-<r>.example.org/articles/<r>/notes.html"
//      even r: "http://www.k<hash>-<r>.example.net/item/<r>.html"
//    with hash = shortHash(word), and "?from=sample&id=<r>" appended when r
//    is a multiple of 5;
//  - per result a snapshot link "http://cache.baiducontent.com/c?m=...";
//  - two cards (<div class="result-op c-container">), after the page's third
//    and seventh result, whose mu points at the engine's own properties and
//    which each hold one direct third-party link (todayCardLinks);
//  - related searches on "https://www.baidu.com/s?wd=...", a "javascript:;"
//    and a "mailto:" link;
//  - the pager <div id="page">: "<上一页" first on every page after the first,
//    the page numbers in <span class="pc">, and while a further page exists a
//    link "下一页>" (written "下一页&gt;" on odd pages, "下一页 &gt;" on even ones);
//    the item texts run together: "<上一页45678910111213下一页>";
//  - past the last page, and for every page of a keyword beginning "无结果"
//    (kNoResultsPrefix), the page says "很抱歉，没有找到与“KEYWORD”相关的网页。"
//    and has neither results nor pager.
// So once every redirect link is followed and the engine's own hosts
// (baidu.com, baiducontent.com, hao123.com and the engine host itself),
// script and mail links are left out, page p gives todayTarget(word, p, 0..2),
// the first card link, todayTarget(word, p, 3..6), the second card link,
// todayTarget(word, p, 7..9); the rows' texts are the titles
// "<keyword>_示例文章<r>" (todayResult().title; cards' titles differ).
//
// The redirector (GET /link?url=<token>) answers a result's token in one of
// three forms, chosen by r mod 3 (redirectFor): 0 a 302 with Location, 1 a
// small page with <meta http-equiv="refresh" content="0;URL='<target>'">, 2 a
// small page whose script calls window.location.replace("<target>"). A token
// is "k" + the keyword's GBK bytes in lower-case hex + "-r" + r, e.g. "k616263-r12"
// for result 12 of "abc". Unknown tokens get 404. Two tokens that no page
// links to are for tests: kNeverAnsweringToken and kOtherEngineToken.
//
// Today's layout answers two request forms with the same page: the old
// "/baidu?...&word=<GBK>&pn=<offset>" (searchTarget) and the engine's own
// "/s?ie=utf-8&wd=<UTF-8>&pn=<offset>" (layoutSearchTarget in LayoutPages.h).
//
// Both layouts: with EngineSettings::verifyAfter = N, the Nth search request
// since start() and every later one until the verification is passed are
// sent on to kVerifyPagePath (see renderVerificationPage).
//
// The layouts of three other engines (So360, Sogou, Bing), their request
// forms, block pages and the rows a harvest of any layout yields are in
// LayoutPages.h.
namespace tess::sample {

inline constexpr int kResultsPerPage = 10;

enum class Layout { Classic, Today, So360, Sogou, Bing };

struct EngineSettings {
    int pagesPerKeyword = 10;
    // Every page offers a further one, whatever pagesPerKeyword says.
    bool endlessPager = false;
    Layout layout = Layout::Classic;
    // 0: never. N: the Nth search request and every later one get the
    // layout's block page until its button has been pressed
    // (--block-after, and --verify-after by its older name).
    int verifyAfter = 0;
    // Advertisements at the top of every page with results, in the layout's
    // own markup (--ads); none in the classic layout (LayoutPages.h).
    int ads = 0;
};

struct SearchRequest {
    std::string wordGbk; // decoded keyword: GBK bytes, whatever the request form
    // The offset of the page's first result counted from 0 (page p at
    // 10(p-1)); absent, malformed or negative reads as 0. For the classic
    // form it is the "pn" key itself.
    long long pn = 0;
    // The page key's value as the layout's engine counts it: pn (0, 10, 20),
    // pn or page (1, 2, 3), first (1, 11, 21); after the defaults above.
    long long pageKeyValue = 0;
    // That key's value as sent, still percent-encoded; empty when absent.
    std::string pageKeyRaw;
};

// Reads the keys of a raw query string (the text after "?") of the classic
// form: "word" (GBK) and "pn".
SearchRequest parseSearchQuery(std::string_view rawQuery);

// "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=<word>&pn=<pn>&cl=3", the same
// form the harvester asks with.
std::string searchTarget(std::string_view wordGbk, long long pn);

// "http://www.k<hash>-<r>.example.com/item/<r>.html" with hash = shortHash(word).
std::string resultAddress(std::string_view wordGbk, long long resultNumber);

// The whole page in the layout the settings name: GBK for the classic and
// today's layouts, UTF-8 for the others (pagesInUtf8). host is the authority
// the browser asked for; the page links back to it.
std::string renderResultPage(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings);

// A small GBK page for paths the engine does not know.
std::string renderNotFound(std::string_view target);

// The page numbers a pager shows around `page`.
struct PagerWindow {
    long long first = 1;
    long long last = 1;
    bool more = false; // a further page exists
};
PagerWindow pagerWindow(long long page, const EngineSettings& settings);

// ---- Today's layout ----

// Keywords beginning with these GBK bytes ("无结果") have no results at all.
inline constexpr std::string_view kNoResultsPrefix = "\xCE\xDE\xBD\xE1\xB9\xFB";

// The redirector and its tokens.
inline constexpr std::string_view kRedirectPath = "/link";
// Never answered while the engine runs (a client gives up first).
inline constexpr std::string_view kNeverAnsweringToken = "sample-never";
// Answered with a 302 to another address of the engine: nothing to harvest.
inline constexpr std::string_view kOtherEngineToken = "sample-engine";
inline constexpr std::string_view kOtherEngineAddress = "https://www.baidu.com/s?wd=x";

enum class RedirectForm {
    Location, // 302 with a Location header
    MetaRefresh, // 200, a page with a meta refresh
    Script, // 200, a page whose script calls location.replace
};

struct TodayResult {
    long long number = 0; // r
    std::string token; // redirectToken(word, r)
    std::string target; // where the redirector leads
    std::string title; // the title link's text as a browser shows it, UTF-8
    bool carriesMu = false; // the container has mu="<target>"
    RedirectForm form = RedirectForm::Location;
};

// Result r of the keyword (r >= 1).
TodayResult todayResult(std::string_view wordGbk, long long resultNumber);
// Result `index` (0..9) on page `page` (1, 2, ...): todayResult(word, 10(page-1)+index+1).
std::string todayTarget(std::string_view wordGbk, long long page, int index);
std::string redirectToken(std::string_view wordGbk, long long resultNumber);

struct TokenParts {
    std::string wordGbk;
    long long resultNumber = 0;
};
// Reads a token of redirectToken's form whose first letter is `lead` in
// place of "k"; nothing for any other text.
std::optional<TokenParts> readRedirectToken(std::string_view token, char lead = 'k');
// "http://" + host + "/link?url=" + token: the address the page links to.
std::string redirectAddress(std::string_view host, std::string_view token);
// A result page in today's layout, GBK; renderResultPage picks it for
// Layout::Today.
std::string renderTodayPage(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings);

// The direct third-party links of the page's two cards, in page order.
std::vector<std::string> todayCardLinks(std::string_view wordGbk, long long page);

struct RedirectAnswer {
    RedirectForm form = RedirectForm::Location;
    std::string target;
};
// How the redirector answers a token; nothing for an unknown token and for
// kNeverAnsweringToken.
std::optional<RedirectAnswer> redirectFor(std::string_view token);
// The redirector's answer body for the two page forms, GBK.
std::string renderRedirectPage(const RedirectAnswer& answer);

// ---- Verification ----

inline constexpr std::string_view kVerifyPagePath = "/static/captcha/index.html";
inline constexpr std::string_view kVerifyPassPath = "/static/captcha/pass";

// The verification page, UTF-8: title "百度安全验证", no links, a
// <button id="verify"> that POSTs to kVerifyPassPath and then goes back to
// `backUrl` (the search request that was sent here).
std::string renderVerificationPage(std::string_view backUrl);

} // namespace tess::sample
