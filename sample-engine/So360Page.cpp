// The 360 layout's result page. LayoutPages.h describes what it holds.

#include "LayoutPages.h"
#include "PageParts.h"
#include "SampleCodec.h"

namespace tess::sample {
namespace {

constexpr std::string_view kStyle
    = "body{font-family:sans-serif;font-size:13px;margin:0}\n"
      "#header{padding:10px 16px;border-bottom:1px solid #eee}\n"
      "#tabs a{margin-right:14px}\n#main{width:600px;margin:12px 130px}\n"
      "ul.result{list-style:none;padding:0}\n.res-list{margin:0 0 18px}\n"
      "h3.res-title{font-size:16px;font-weight:normal;margin:0}\n"
      "h3.res-title em{color:#c00;font-style:normal}\n"
      ".res-linkinfo cite{color:#008000;font-style:normal}\n"
      "#page a,#page strong{margin-right:8px}\n#side{position:absolute;left:760px;top:70px}\n"
      "#footer{color:#999;margin:20px 130px}\n";
// The mohe card comes after this result of the page (0-based).
constexpr int kMoheAfter = kSo360MoheAfter;

std::string header(const std::string& wordHtml, const std::string& key)
{
    return "<div id=\"header\"><a id=\"logo\" href=\"https://www.so.com/\">360搜索</a>\n"
           "<form action=\"/s\" method=\"get\"><input type=\"hidden\" name=\"ie\" value=\"utf-8\">"
           "<input type=\"text\" name=\"q\" value=\""
        + wordHtml
        + "\"> <input type=\"submit\" value=\"搜索\"></form>\n<div id=\"tabs\"><a "
          "href=\"https://news.so.com/ns?q="
        + key + "\">资讯</a> <a href=\"https://image.so.com/i?q=" + key
        + "\">图片</a> <a href=\"https://video.so.com/v?q=" + key + "\">视频</a></div>\n</div>\n";
}

std::string item(
    std::string_view wordGbk, const std::string& wordHtml, std::string_view host, long long r, int pos)
{
    const LayoutResult result = layoutResult(Layout::So360, wordGbk, r, host);
    const std::string n = std::to_string(r);
    std::string block = "<li class=\"res-list\" data-lazyload=\"1\">\n<h3 class=\"res-title\"><a href=\""
        + htmlEscape(result.href) + "\"";
    if (result.form == LinkForm::AttributeRedirect)
        block += " data-mdurl=\"" + htmlEscape(result.target) + "\"";
    block += " data-res='{\"pos\":" + std::to_string(pos) + ",\"tp\":\"normal\"}' target=\"_blank\"><em>"
        + wordHtml + "</em>_360搜索结果" + n + "</a></h3>\n";
    block += "<p class=\"res-desc\">这是与“" + wordHtml + "”有关的第" + n + "条示例结果的摘要。</p>\n";
    block += "<p class=\"res-linkinfo\"><cite>" + htmlEscape(displayText(result.target))
        + "</cite> <a class=\"m\" href=\"http://c.360webcache.com/c?m=" + shortHash(result.target)
        + "&amp;q=" + formEncode(gbkToUtf8(wordGbk)) + "\" target=\"_blank\">快照</a></p>\n</li>\n";
    return block;
}

// One of the engine's own products among the results.
std::string moheItem(std::string_view wordGbk, const std::string& wordHtml)
{
    const std::string hash = shortHash(wordGbk);
    return "<li class=\"res-list\">\n<div class=\"g-mohe\" data-mohe-type=\"baike\">\n<h3 "
           "class=\"res-title\"><a href=\""
           "https://baike.so.com/doc/k"
        + hash + ".html\" data-res='{\"stp\":\"baike\"}'><em>" + wordHtml
        + "</em>_360百科</a></h3>\n<p><a href=\"https://baike.so.com/doc/k" + hash
        + ".html#pic\"><img src=\"https://p.ssl.qhimg.com/t01k" + hash + ".png\" alt=\"\"></a>“" + wordHtml
        + "”的示例词条。</p>\n</div>\n</li>\n";
}

std::string pageLink(const std::string& key, const std::string& psid, long long page)
{
    return "href=\"/s?q=" + key + "&amp;pn=" + std::to_string(page) + "&amp;psid=" + psid
        + "&amp;src=srp_paging\"";
}

std::string pager(const std::string& key, long long page, const EngineSettings& settings)
{
    const PagerWindow window = pagerWindow(page, settings);
    const std::string psid = shortHash(key);
    std::string line = "<div id=\"page\">";
    if (page > 1)
        line += "<a id=\"sprev\" " + pageLink(key, psid, page - 1) + ">&lt;上一页</a>";
    for (long long k = window.first; k <= window.last; ++k) {
        const std::string n = std::to_string(k);
        line += k == page ? "<strong>" + n + "</strong>" : "<a " + pageLink(key, psid, k) + ">" + n + "</a>";
    }
    if (window.more)
        line += "<a id=\"snext\" " + pageLink(key, psid, page + 1) + ">下一页</a>";
    return line + "</div>\n";
}

std::string related(std::string_view wordGbk)
{
    std::string block = "<div id=\"rs\"><span>相关搜索</span>";
    for (const std::string& text : relatedSearchTexts(wordGbk)) {
        block += " <a href=\"https://www.so.com/s?q=" + formEncode(text) + "&amp;src=related_2.6\">"
            + htmlEscape(text) + "</a>";
    }
    return block + "</div>\n";
}

// Above the list, apart from it.
std::string ads(std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    const std::vector<PredictedRow> shown = layoutAds(Layout::So360, wordGbk, page, settings);
    if (shown.empty())
        return {};
    std::string list = "<ul id=\"e_idea_pp\" class=\"e_result\">\n";
    for (const PredictedRow& ad : shown) {
        list += "<li><h3><a href=\"" + htmlEscape(ad.target) + "\" target=\"_blank\">" + htmlEscape(ad.title)
            + "</a></h3><span>广告</span></li>\n";
    }
    return list + "</ul>\n";
}

std::string sideAndFooter(std::string_view wordGbk, const std::string& wordHtml)
{
    return "<div id=\"side\"><a href=\"https://www.360kuai.com/pc/k" + shortHash(wordGbk)
        + "?sign=360_sample\">" + wordHtml
        + "的快资讯</a></div>\n<div id=\"footer\"><a "
          "href=\"https://www.so.com/help/help_1_1.html\">使用帮助</a> "
          "<a href=\"https://www.360.cn/\">360官网</a> <a "
          "href=\"javascript:;\">意见反馈</a></div>\n</body>\n</html>\n";
}

} // namespace

std::string render360Page(const SearchRequest& request, std::string_view host, const EngineSettings& settings)
{
    const std::string word = htmlEscape(gbkToUtf8(request.wordGbk));
    const std::string key = formEncode(gbkToUtf8(request.wordGbk));
    const long long page = pageOf(request);
    std::string html = utf8Head(word + " - 360搜索", kStyle) + header(word, key) + "<div id=\"main\">\n";
    const bool noResults = request.wordGbk.empty() || request.wordGbk.starts_with(kNoResultsPrefix);
    if (noResults || (!settings.endlessPager && page > settings.pagesPerKeyword)) {
        html += "<div class=\"no-result\"><p>抱歉，未找到和“" + word + "”相关的网页。</p></div>\n";
        return html + related(request.wordGbk) + "</div>\n" + sideAndFooter(request.wordGbk, word);
    }
    html += "<p class=\"nums\">找到相关结果约" + std::to_string(settings.pagesPerKeyword * kResultsPerPage)
        + "个</p>\n" + ads(request.wordGbk, page, settings) + "<ul class=\"result\">\n";
    const long long first = (page - 1) * kResultsPerPage + 1;
    for (int i = 0; i < kResultsPerPage; ++i) {
        html += item(request.wordGbk, word, host, first + i, i + 1);
        if (i == kMoheAfter)
            html += moheItem(request.wordGbk, word);
    }
    html += "</ul>\n" + pager(key, page, settings) + related(request.wordGbk) + "</div>\n";
    return html + sideAndFooter(request.wordGbk, word);
}

} // namespace tess::sample
