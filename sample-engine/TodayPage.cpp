// Today's result page layout, the redirector's answers and the verification
// page. SamplePage.h describes what each page holds.

#include "LayoutPages.h"
#include "PageParts.h"
#include "SampleCodec.h"
#include "SamplePage.h"

namespace tess::sample {
namespace {

constexpr std::string_view kTokenResultKey = "-r";
// Far beyond any offset the engine serves.
constexpr long long kMaxResultNumber = 100'000'000'000LL;
// The cards come after these results of the page (0-based).
constexpr int kCardAfter[] = { 2, 6 };

RedirectForm formOf(long long resultNumber)
{
    switch (resultNumber % 3) {
    case 0:
        return RedirectForm::Location;
    case 1:
        return RedirectForm::MetaRefresh;
    default:
        return RedirectForm::Script;
    }
}

std::string head(const std::string& title)
{
    return "<!DOCTYPE html>\n<html>\n<head>\n"
           "<meta http-equiv=\"content-type\" content=\"text/html;charset=gbk\">\n<title>"
        + title
        + "</title>\n<style>\n"
          "body{font-family:sans-serif;font-size:13px;margin:8px 16px}\n"
          "#u a{margin-left:8px}\n.c-container{width:560px;margin:16px 0}\n"
          ".result-op{border:1px solid #eee;padding:6px}\n"
          "h3.t{font-size:16px;font-weight:normal;margin:0}\nh3.t em{color:#c00;font-style:normal}\n"
          ".c-showurl{color:#008000}\n.f13 a.m{color:#666;margin-left:6px}\n"
          "#page{font-size:14px;margin:20px 0}\n#page a,#page strong{margin-right:6px}\n"
          ".pc{display:inline-block;min-width:30px;text-align:center;border:1px solid #e1e2e3}\n"
          "#rs{margin:16px 0}\n#rs a{margin-right:12px}\n#foot{color:#999;margin-top:20px}\n"
          "</style>\n</head>\n<body>\n";
}

std::string topBar(const std::string& host, const std::string& wordHtml)
{
    return "<div id=\"u\"><a href=\"http://www.hao123.com/\" target=\"_blank\">hao123</a> <a href=\"http://"
        + host + "/more/\">更多产品</a></div>\n"
        + "<form id=\"form\" name=\"f\" action=\"/baidu\" method=\"get\">\n"
          "<input type=\"hidden\" name=\"ie\" value=\"gb2312\">"
          "<input type=\"text\" name=\"word\" size=\"42\" maxlength=\"100\" value=\""
        + wordHtml + "\"> <input type=\"submit\" value=\"示例一下\">\n</form>\n";
}

std::string footer(const std::string& host)
{
    return "<div id=\"foot\"><a href=\"javascript:;\">设为首页</a> <a "
           "href=\"mailto:feedback@example.com\">意见反馈</a> <a href=\"http://"
        + host + "/duty/\">使用示例搜索前必读</a></div>\n</body>\n</html>\n";
}

std::string resultBlock(
    const std::string& wordGbk, const std::string& wordHtml, const std::string& host, long long r)
{
    const TodayResult result = todayResult(wordGbk, r);
    const std::string number = std::to_string(r);
    std::string block
        = "<div class=\"result c-container\" id=\"" + number + "\" srcid=\"1599\" tpl=\"se_com_default\"";
    if (result.carriesMu)
        block += " mu=\"" + htmlEscape(result.target) + "\"";
    block += ">\n<h3 class=\"t\"><a href=\"" + htmlEscape(redirectAddress(host, result.token))
        + "\" target=\"_blank\"><em>" + wordHtml + "</em>_示例文章" + number + "</a></h3>\n";
    block += "<div class=\"c-abstract\">这是与“<em>" + wordHtml + "</em>”有关的第" + number
        + "条示例结果的摘要，标题链接经由示例搜索的跳转地址到达目标网页。</div>\n";
    block += "<div class=\"f13\"><span class=\"c-showurl\">" + htmlEscape(displayText(result.target))
        + "</span> <a href=\"http://cache.baiducontent.com/c?m=" + shortHash(result.token)
        + "&amp;p=" + number + "\" target=\"_blank\" class=\"m\">百度快照</a></div>\n</div>\n";
    return block;
}

std::string cardBlock(const std::string& wordGbk, const std::string& wordHtml, long long page, int which)
{
    const std::string direct = todayCardLinks(wordGbk, page)[static_cast<size_t>(which)];
    const std::string id = "card-" + std::to_string(page) + "-" + std::to_string(which + 1);
    if (which == 0) {
        const std::string own = "https://baike.baidu.com/item/" + percentEncode(wordGbk);
        return "<div class=\"result-op c-container\" id=\"" + id + "\" tpl=\"bk_polysemy\" mu=\""
            + htmlEscape(own) + "\">\n<h3 class=\"t\"><a href=\"" + htmlEscape(own)
            + "\" target=\"_blank\"><em>" + wordHtml + "</em>_示例百科</a></h3>\n<div class=\"c-abstract\">“"
            + wordHtml + "”的示例词条。<a href=\"" + htmlEscape(direct)
            + "\" target=\"_blank\">官方网站</a></div>\n</div>\n";
    }
    const std::string own
        = "https://haokan.baidu.com/v?vid=k" + shortHash(wordGbk) + "p" + std::to_string(page);
    return "<div class=\"result-op c-container\" id=\"" + id + "\" tpl=\"video\" mu=\"" + htmlEscape(own)
        + "\">\n<h3 class=\"t\"><a href=\"" + htmlEscape(own) + "\" target=\"_blank\"><em>" + wordHtml
        + "</em>的示例视频</a></h3>\n<div class=\"c-abstract\"><a href=\"" + htmlEscape(direct)
        + "\" target=\"_blank\">在来源网站播放</a> <a href=\"javascript:;\">换一换</a></div>\n</div>\n";
}

std::string relatedSearches(const std::string& wordGbk)
{
    std::string block = "<div id=\"rs\"><span>相关搜索</span>";
    for (const std::string& text : relatedSearchTexts(wordGbk)) {
        block += " <a href=\"https://www.baidu.com/s?wd=" + formEncode(utf8ToGbk(text)) + "\">"
            + htmlEscape(text) + "</a>";
    }
    return block + "</div>\n";
}

// The engine's advertisement: a bare element around the ad's own, which
// names the landing page; the link goes through the engine.
std::string adBlocks(const std::string& wordGbk, long long page, const EngineSettings& settings)
{
    std::string html;
    int n = 0;
    for (const PredictedRow& ad : layoutAds(Layout::Today, wordGbk, page, settings)) {
        ++n;
        html += "<div><div class=\"EC_result c-container\" data-placeid=\"" + std::to_string(n)
            + "\" data-lp=\"" + htmlEscape(ad.target) + "\">\n<h3 class=\"t\"><a "
            + "href=\"https://www.baidu.com/baidu.php?url=k" + shortHash(ad.target) + "\" target=\"_blank\">"
            + htmlEscape(ad.title) + "</a></h3>\n<span>广告</span></div></div>\n";
    }
    return html;
}

// The items run together, as the page's text shows them: "<上一页34567下一页>".
std::string pager(const std::string& wordGbk, long long page, const EngineSettings& settings)
{
    const PagerWindow window = pagerWindow(page, settings);
    auto link = [&](long long to) {
        return "<a href=\"" + htmlEscape(searchTarget(wordGbk, (to - 1) * kResultsPerPage)) + "\"";
    };
    std::string line = "<div id=\"page\">";
    if (page > 1)
        line += link(page - 1) + " class=\"n\">&lt;上一页</a>";
    for (long long k = window.first; k <= window.last; ++k) {
        const std::string number = "<span class=\"pc\">" + std::to_string(k) + "</span>";
        line += k == page ? "<strong>" + number + "</strong>" : link(k) + ">" + number + "</a>";
    }
    if (window.more)
        line += link(page + 1) + " class=\"n\">" + (page % 2 == 1 ? "下一页&gt;" : "下一页 &gt;") + "</a>";
    return line + "</div>\n";
}

} // namespace

std::string redirectToken(std::string_view wordGbk, long long resultNumber)
{
    return "k" + hexLower(wordGbk) + std::string(kTokenResultKey) + std::to_string(resultNumber);
}

// Only the form redirectToken writes is a token: lower-case hex, no leading
// zeros, no sign.
std::optional<TokenParts> readRedirectToken(std::string_view token, char lead)
{
    if (token.empty() || token.front() != lead)
        return std::nullopt;
    const size_t mark = token.rfind(kTokenResultKey);
    if (mark == std::string_view::npos)
        return std::nullopt;
    const std::string_view hex = token.substr(1, mark - 1);
    const std::string_view number = token.substr(mark + kTokenResultKey.size());
    if (hex.size() % 2 != 0 || number.empty() || number.size() > 12 || number.front() == '0')
        return std::nullopt;

    TokenParts parts;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        parts.wordGbk += static_cast<char>(high * 16 + low);
    }
    for (char c : number) {
        if (c < '0' || c > '9')
            return std::nullopt;
        parts.resultNumber = parts.resultNumber * 10 + (c - '0');
    }
    if (parts.resultNumber > kMaxResultNumber)
        return std::nullopt;
    return parts;
}

std::string redirectAddress(std::string_view host, std::string_view token)
{
    return "http://" + std::string(host) + std::string(kRedirectPath) + "?url=" + std::string(token);
}

TodayResult todayResult(std::string_view wordGbk, long long resultNumber)
{
    const long long r = resultNumber;
    const std::string number = std::to_string(r);
    const std::string hash = shortHash(wordGbk);

    TodayResult result;
    result.number = r;
    result.token = redirectToken(wordGbk, r);
    result.target = r % 2 == 1
        ? "https://blog.k" + hash + "-" + number + ".example.org/articles/" + number + "/notes.html"
        : "http://www.k" + hash + "-" + number + ".example.net/item/" + number + ".html";
    if (r % 5 == 0)
        result.target += "?from=sample&id=" + number;
    result.title = gbkToUtf8(wordGbk) + "_示例文章" + number;
    result.carriesMu = r % 2 == 1;
    result.form = formOf(r);
    return result;
}

std::string todayTarget(std::string_view wordGbk, long long page, int index)
{
    return todayResult(wordGbk, (page - 1) * kResultsPerPage + index + 1).target;
}

std::vector<std::string> todayCardLinks(std::string_view wordGbk, long long page)
{
    const std::string key = "k" + shortHash(wordGbk);
    const std::string p = std::to_string(page);
    return { "https://www.example-card.cn/" + key + "/" + p + ".html",
        "https://v.example-card.cn/play/" + key + "-" + p };
}

std::optional<RedirectAnswer> redirectFor(std::string_view token)
{
    if (token == kOtherEngineToken)
        return RedirectAnswer { RedirectForm::Location, std::string(kOtherEngineAddress) };
    const std::optional<TokenParts> parts = readRedirectToken(token);
    if (!parts || parts->resultNumber < 1)
        return std::nullopt;
    const TodayResult result = todayResult(parts->wordGbk, parts->resultNumber);
    return RedirectAnswer { result.form, result.target };
}

std::string renderRedirectPage(const RedirectAnswer& answer)
{
    std::string page = "<html>\n<head>\n<meta charset=\"gbk\">\n";
    if (answer.form == RedirectForm::MetaRefresh)
        page += "<meta http-equiv=\"refresh\" content=\"0;URL='" + htmlEscape(answer.target) + "'\">\n";
    else if (answer.form == RedirectForm::Script)
        page += "<script>window.location.replace(" + scriptString(answer.target) + ")</script>\n";
    return page + "</head>\n<body></body>\n</html>\n";
}

std::string renderTodayPage(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings)
{
    const std::string hostHtml = htmlEscape(host);
    const std::string word = htmlEscape(gbkToUtf8(request.wordGbk));
    const long long page = request.pn / kResultsPerPage + 1;

    if (request.wordGbk.empty())
        return utf8ToGbk(head("示例搜索") + topBar(hostHtml, word) + footer(hostHtml));

    std::string html = head(word + "_示例搜索") + topBar(hostHtml, word);
    const bool noResults = request.wordGbk.starts_with(kNoResultsPrefix);
    if (noResults || (!settings.endlessPager && page > settings.pagesPerKeyword)) {
        html += "<div class=\"nors\"><p>很抱歉，没有找到与“<em>" + word + "</em>”相关的网页。</p>\n"
            + "<p>请检查您的输入是否正确，或换用其他关键字。</p></div>\n";
        return utf8ToGbk(html + relatedSearches(request.wordGbk) + footer(hostHtml));
    }

    const std::string total = settings.endlessPager
        ? std::string("100,000,000")
        : std::to_string(static_cast<long long>(settings.pagesPerKeyword) * kResultsPerPage);
    html
        += "<div class=\"nums\">示例搜索为您找到相关结果约" + total + "个</div>\n<div id=\"content_left\">\n";
    html += adBlocks(request.wordGbk, page, settings);
    const long long firstResult = (page - 1) * kResultsPerPage + 1;
    for (int i = 0; i < kResultsPerPage; ++i) {
        html += resultBlock(request.wordGbk, word, hostHtml, firstResult + i);
        for (int which = 0; which < 2; ++which)
            if (kCardAfter[which] == i)
                html += cardBlock(request.wordGbk, word, page, which);
    }
    html += "</div>\n" + relatedSearches(request.wordGbk) + pager(request.wordGbk, page, settings);
    return utf8ToGbk(html + footer(hostHtml));
}

std::string renderVerificationPage(std::string_view backUrl)
{
    // Only a way back to a page: never a script address.
    std::string back(backUrl);
    if (!back.starts_with("http://") && !back.starts_with("https://") && !back.starts_with("/"))
        back = "/";
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>百度安全验证</title>\n"
           "<style>\nbody{font-family:sans-serif;background:#f5f5f6}\n"
           ".box{width:360px;margin:80px auto;padding:24px;background:#fff;text-align:center}\n"
           "#verify{font-size:16px;padding:8px 24px}\n</style>\n</head>\n<body>\n<div class=\"box\">\n"
           "<p>网络环境存在异常，请完成验证后继续访问。</p>\n<button id=\"verify\" type=\"button\" "
           "data-backurl=\""
        + htmlEscape(back)
        + "\">点击完成验证</button>\n</div>\n<script>\n"
          "document.getElementById('verify').addEventListener('click', function () {\n"
          "    var back = this.getAttribute('data-backurl');\n"
          "    fetch('"
        + std::string(kVerifyPassPath)
        + "', { method: 'POST' }).then(function () { location.replace(back); });\n"
          "});\n</script>\n</body>\n</html>\n";
}

} // namespace tess::sample
