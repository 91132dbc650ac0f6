// The layouts' request forms, their results and redirect tokens, and the rows
// a harvest yields. LayoutPages.h describes them.

#include "LayoutPages.h"
#include "SampleCodec.h"

#include <algorithm>

namespace tess::sample {
namespace {

// Far beyond any run; every page and offset on a pager still fits.
constexpr long long kMaxOffset = 9'999'999'990LL;
constexpr long long kMaxPage = kMaxOffset / kResultsPerPage + 1;

// What the page key counts, as the layout's engine has it.
enum class Counting { OffsetFromZero, PageFromOne, OffsetFromOne };

struct RequestForm {
    std::string_view wordKey;
    std::string_view pageKey;
    bool wordInGbk = false;
    Counting counting = Counting::OffsetFromZero;
};

constexpr RequestForm kClassicForm { "word", "pn", true, Counting::OffsetFromZero };
constexpr RequestForm kTodayForm { "wd", "pn", false, Counting::OffsetFromZero };
constexpr RequestForm k360Form { "q", "pn", false, Counting::PageFromOne };
constexpr RequestForm kSogouForm { "query", "page", false, Counting::PageFromOne };
constexpr RequestForm kBingForm { "q", "first", false, Counting::OffsetFromOne };

// Digits only, capped at `cap`; -1 for anything else, the empty text too.
long long readNumber(std::string_view text, long long cap)
{
    if (text.empty())
        return -1;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = std::min(cap, value * 10 + (c - '0'));
    }
    return value;
}

// The first occurrence of a key counts, as on the engines the pages imitate.
SearchRequest readRequest(const RequestForm& form, std::string_view rawQuery)
{
    SearchRequest request;
    bool haveWord = false;
    bool havePage = false;
    while (!rawQuery.empty()) {
        const size_t amp = rawQuery.find('&');
        const std::string_view pair = rawQuery.substr(0, amp);
        rawQuery = amp == std::string_view::npos ? std::string_view() : rawQuery.substr(amp + 1);
        const size_t eq = pair.find('=');
        const std::string_view key = pair.substr(0, eq);
        const std::string_view value
            = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
        if (key == form.wordKey && !haveWord) {
            request.wordGbk = form.wordInGbk ? formDecode(value) : utf8ToGbk(formDecode(value));
            haveWord = true;
        } else if (key == form.pageKey && !havePage) {
            request.pageKeyRaw = std::string(value);
            havePage = true;
        }
    }
    const long long cap = form.counting == Counting::PageFromOne ? kMaxPage : kMaxOffset;
    const long long value = readNumber(request.pageKeyRaw, cap);
    switch (form.counting) {
    case Counting::OffsetFromZero:
        request.pageKeyValue = std::max(0LL, value);
        request.pn = request.pageKeyValue;
        break;
    case Counting::PageFromOne:
        request.pageKeyValue = std::max(1LL, value);
        request.pn = (request.pageKeyValue - 1) * kResultsPerPage;
        break;
    case Counting::OffsetFromOne:
        request.pageKeyValue = std::max(1LL, value);
        request.pn = request.pageKeyValue - 1;
        break;
    }
    return request;
}

std::string utf8Key(std::string_view wordGbk) { return formEncode(gbkToUtf8(wordGbk)); }

std::string number(long long n) { return std::to_string(n); }

std::string targetOf(Layout layout, const std::string& hash, long long r)
{
    const std::string n = number(r);
    switch (layout) {
    case Layout::So360:
        return "https://s360.k" + hash + "-" + n + ".example.com/p/" + n + ".html";
    case Layout::Sogou:
        return "http://www.k" + hash + "-" + n + ".sg-sample.example.net/a/" + n;
    default:
        return "https://k" + hash + "-" + n + ".example.org/bing/" + n + "?x=1&y=2";
    }
}

std::string_view engineLabel(Layout layout)
{
    switch (layout) {
    case Layout::So360:
        return "_360搜索结果";
    case Layout::Sogou:
        return "_搜狗结果";
    default:
        return "_必应结果";
    }
}

char tokenLead(Layout layout) { return layout == Layout::So360 ? 'm' : 's'; }

// Bing's click-through; the hex key only has to look like one.
std::string bingClickThrough(std::string_view origin, const std::string& target)
{
    std::string p;
    for (int i = 0; i < 8; ++i)
        p += shortHash(target + number(i));
    return std::string(origin) + "/ck/a?!&&p=" + p + "&ptn=3&ver=2&hsh=4&u=" + bingParameter(target)
        + "&ntb=1";
}

void linkResult(LayoutResult& result, Layout layout, std::string_view wordGbk, std::string_view host)
{
    const long long r = result.number;
    const std::string origin = "http://" + std::string(host);
    if (layout == Layout::So360) {
        static constexpr LinkForm kForms[] = { LinkForm::AttributeRedirect, LinkForm::CookieRedirect,
            LinkForm::PlainParameter, LinkForm::Direct };
        result.form = kForms[r % 4];
        if (result.form == LinkForm::PlainParameter)
            result.href = origin + "/link?url=" + percentEncode(result.target);
        else if (result.form != LinkForm::Direct)
            result.href = origin + "/link?m=" + layoutToken(layout, wordGbk, r);
    } else if (layout == Layout::Sogou) {
        static constexpr LinkForm kForms[]
            = { LinkForm::ScriptRedirect, LinkForm::ContainerAttribute, LinkForm::Direct };
        result.form = kForms[r % 3];
        if (result.form != LinkForm::Direct)
            result.href = "/link?url=" + layoutToken(layout, wordGbk, r);
    } else if (r % 2 == 0) {
        result.form = LinkForm::Base64Parameter;
        const long long page = (r - 1) / kResultsPerPage + 1;
        result.href = bingClickThrough(page % 2 == 0 ? origin : "https://www.bing.com", result.target);
    }
    if (result.form == LinkForm::Direct)
        result.href = result.target;
}

std::vector<PredictedRow> todayRows(std::string_view wordGbk, long long page)
{
    static constexpr std::string_view kCardTexts[] = { "官方网站", "在来源网站播放" };
    const std::vector<std::string> cards = todayCardLinks(wordGbk, page);
    std::vector<PredictedRow> rows;
    for (int i = 0; i < kResultsPerPage; ++i) {
        const TodayResult result = todayResult(wordGbk, (page - 1) * kResultsPerPage + i + 1);
        rows.push_back({ result.target, result.title });
        if (i == 2 || i == 6)
            rows.push_back({ cards[i == 2 ? 0 : 1], std::string(kCardTexts[i == 2 ? 0 : 1]) });
    }
    return rows;
}

} // namespace

SearchRequest parseSearchQuery(std::string_view rawQuery) { return readRequest(kClassicForm, rawQuery); }

std::string layoutSearchTarget(Layout layout, std::string_view wordGbk, long long page)
{
    const long long offset = (page - 1) * kResultsPerPage;
    switch (layout) {
    case Layout::Classic:
        return searchTarget(wordGbk, offset);
    case Layout::Today:
        return "/s?ie=utf-8&wd=" + utf8Key(wordGbk) + "&pn=" + number(offset);
    case Layout::So360:
        return "/s?ie=utf-8&q=" + utf8Key(wordGbk) + "&pn=" + number(page) + "&src=srp_paging";
    case Layout::Sogou:
        return "/web?query=" + utf8Key(wordGbk) + "&page=" + number(page) + "&ie=utf8";
    case Layout::Bing:
        return "/search?q=" + utf8Key(wordGbk) + "&first=" + number(offset + 1) + "&FORM=PERE";
    }
    return {};
}

std::vector<std::string> searchPaths(Layout layout)
{
    switch (layout) {
    case Layout::Classic:
        return { "/baidu" };
    case Layout::Today:
        return { "/s", "/baidu" };
    case Layout::So360:
        return { "/s" };
    case Layout::Sogou:
        return { "/web", "/sogou" };
    case Layout::Bing:
        return { "/search" };
    }
    return {};
}

std::optional<SearchRequest> parseLayoutSearch(
    Layout layout, std::string_view path, std::string_view rawQuery)
{
    if (path == "/baidu" && (layout == Layout::Classic || layout == Layout::Today))
        return readRequest(kClassicForm, rawQuery);
    if (path == "/s" && layout == Layout::Today)
        return readRequest(kTodayForm, rawQuery);
    if (path == "/s" && layout == Layout::So360)
        return readRequest(k360Form, rawQuery);
    if ((path == "/web" || path == "/sogou") && layout == Layout::Sogou)
        return readRequest(kSogouForm, rawQuery);
    if (path == "/search" && layout == Layout::Bing)
        return readRequest(kBingForm, rawQuery);
    return std::nullopt;
}

long long pageOf(const SearchRequest& request) { return request.pn / kResultsPerPage + 1; }

bool pagesInUtf8(Layout layout) { return layout != Layout::Classic && layout != Layout::Today; }

LayoutResult layoutResult(
    Layout layout, std::string_view wordGbk, long long resultNumber, std::string_view host)
{
    LayoutResult result;
    result.number = resultNumber;
    if (layout == Layout::Classic || layout == Layout::Today) {
        const TodayResult today = todayResult(wordGbk, resultNumber);
        result.target = layout == Layout::Today ? today.target : resultAddress(wordGbk, resultNumber);
        result.title = layout == Layout::Today
            ? today.title
            : gbkToUtf8(wordGbk) + "_示例站点" + number(resultNumber) + "号";
        result.form = layout == Layout::Today ? LinkForm::RedirectToken : LinkForm::Direct;
        result.href = layout == Layout::Today ? redirectAddress(host, today.token) : result.target;
        return result;
    }
    result.target = targetOf(layout, shortHash(wordGbk), resultNumber);
    result.title = gbkToUtf8(wordGbk) + std::string(engineLabel(layout)) + number(resultNumber);
    linkResult(result, layout, wordGbk, host);
    return result;
}

std::string layoutToken(Layout layout, std::string_view wordGbk, long long resultNumber)
{
    std::string token = redirectToken(wordGbk, resultNumber);
    token.front() = tokenLead(layout);
    return token;
}

std::optional<std::string> layoutTokenTarget(Layout layout, std::string_view token)
{
    if (layout != Layout::So360 && layout != Layout::Sogou)
        return std::nullopt;
    const std::optional<TokenParts> parts = readRedirectToken(token, tokenLead(layout));
    if (!parts || parts->resultNumber < 1)
        return std::nullopt;
    return targetOf(layout, shortHash(parts->wordGbk), parts->resultNumber);
}

std::string bingParameter(std::string_view target) { return "a1" + base64UrlEncode(target); }

std::optional<std::string> bingParameterTarget(std::string_view value)
{
    if (!value.starts_with("a1"))
        return std::nullopt;
    return base64UrlDecode(value.substr(2));
}

std::vector<PredictedRow> predictedRows(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    const bool noResults = layout != Layout::Classic && wordGbk.starts_with(kNoResultsPrefix);
    if (page < 1 || wordGbk.empty() || noResults
        || (!settings.endlessPager && page > settings.pagesPerKeyword))
        return {};
    std::vector<PredictedRow> rows = layoutAds(layout, wordGbk, page, settings);
    if (layout == Layout::Today) {
        for (PredictedRow& row : todayRows(wordGbk, page))
            rows.push_back(std::move(row));
        return rows;
    }
    for (int i = 0; i < kResultsPerPage; ++i) {
        LayoutResult result = layoutResult(layout, wordGbk, (page - 1) * kResultsPerPage + i + 1, {});
        rows.push_back({ std::move(result.target), std::move(result.title) });
    }
    return rows;
}

} // namespace tess::sample
