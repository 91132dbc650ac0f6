// The Bing layout's result page. LayoutPages.h describes what it holds.

#include "LayoutPages.h"
#include "PageParts.h"
#include "SampleCodec.h"

namespace tess::sample {
namespace {

constexpr std::string_view kStyle
    = "body{font-family:sans-serif;font-size:14px;margin:0}\n"
      "#b_header{padding:10px 16px;border-bottom:1px solid #eee}\n"
      "#b_scopebar li{display:inline;margin-right:14px}\n"
      "#b_results{list-style:none;width:600px;margin:12px 160px;padding:0}\n"
      ".b_algo{margin:0 0 20px}\n.b_algo h2{font-size:18px;font-weight:normal;margin:0}\n"
      ".b_attribution cite{color:#006d21;font-style:normal}\n"
      ".sb_pagF li{display:inline;margin-right:8px}\n#b_footer{color:#999;margin:20px 160px}\n";
// The image answer comes after this result of the page (0-based).
constexpr int kImagesAfter = kBingImagesAfter;

std::string header(const std::string& wordHtml, const std::string& key)
{
    return "<header id=\"b_header\"><a id=\"b_logo\" href=\"https://cn.bing.com/?FORM=Z9FD1\">必应</a>\n"
           "<form id=\"sb_form\" action=\"/search\" method=\"get\"><input type=\"text\" name=\"q\" value=\""
        + wordHtml
        + "\"> <input type=\"submit\" value=\"搜索\"></form>\n<ul id=\"b_scopebar\"><li><a "
          "href=\"https://cn.bing.com/images/search?q="
        + key + "&amp;FORM=HDRSC2\">图片</a></li><li><a href=\"https://cn.bing.com/videos/search?q=" + key
        + "&amp;FORM=HDRSC3\">视频</a></li><li><a href=\"https://cn.bing.com/maps?q=" + key
        + "&amp;FORM=HDRSC4\">地图</a></li></ul>\n</header>\n";
}

// The breadcrumb the engine shows in place of the address: "https://host › bing".
std::string breadcrumb(std::string_view target)
{
    const size_t hostStart = target.find("://") + 3;
    const size_t slash = target.find('/', hostStart);
    const size_t next = target.find_first_of("/?", slash + 1);
    return std::string(target.substr(0, slash)) + " › "
        + std::string(target.substr(slash + 1, next - slash - 1));
}

std::string item(std::string_view wordGbk, const std::string& wordHtml, std::string_view host, long long r)
{
    const LayoutResult result = layoutResult(Layout::Bing, wordGbk, r, host);
    const std::string n = std::to_string(r);
    return "<li class=\"b_algo\" data-id=\"" + n + "\"><h2><a href=\"" + htmlEscape(result.href)
        + "\" target=\"_blank\" h=\"ID=SERP,5" + n + ".1\"><em>" + wordHtml + "</em>_必应结果" + n
        + "</a></h2>\n<div class=\"b_caption\"><div class=\"b_attribution\"><cite>"
        + htmlEscape(breadcrumb(result.target))
        + "</cite> <a href=\"https://cc.bing.net/cache.aspx?q=" + formEncode(gbkToUtf8(wordGbk))
        + "&amp;d=" + shortHash(result.target) + "\">网页快照</a></div>\n<p>这是与“" + wordHtml + "”有关的第"
        + n + "条示例结果的摘要。</p></div></li>\n";
}

std::string images(std::string_view wordGbk, const std::string& wordHtml, const std::string& key)
{
    return "<li class=\"b_ans\"><h2>" + wordHtml
        + " 的图片</h2><a href=\"https://www.bing.com/images/search?q=" + key
        + "&amp;FORM=IQFRBA\"><img src=\"https://tse1.mm.bing.net/th?id=OIP.k" + shortHash(wordGbk)
        + "\" alt=\"\"></a></li>\n";
}

std::string related(std::string_view wordGbk, const std::string& wordHtml)
{
    std::string block = "<li class=\"b_ans\"><div class=\"b_rs\"><h2>与 " + wordHtml + " 相关的搜索</h2><ul>";
    for (const std::string& text : relatedSearchTexts(wordGbk)) {
        block += "<li><a href=\"/search?q=" + formEncode(text) + "&amp;FORM=QSRE1\">" + htmlEscape(text)
            + "</a></li>";
    }
    return block + "</ul></div></li>\n";
}

// First in the list, in an item of their own.
std::string ads(std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    const std::vector<PredictedRow> shown = layoutAds(Layout::Bing, wordGbk, page, settings);
    if (shown.empty())
        return {};
    std::string item = "<li class=\"b_ad\"><ul>\n";
    for (const PredictedRow& ad : shown) {
        item += "<li><h2><a href=\"" + htmlEscape(ad.target) + "\" target=\"_blank\">" + htmlEscape(ad.title)
            + "</a></h2><span>广告</span></li>\n";
    }
    return item + "</ul></li>\n";
}

std::string pageLink(const std::string& key, long long page)
{
    return "href=\"/search?q=" + key + "&amp;first=" + std::to_string((page - 1) * kResultsPerPage + 1)
        + "&amp;FORM=PORE\"";
}

std::string pager(const std::string& key, long long page, const EngineSettings& settings)
{
    const PagerWindow window = pagerWindow(page, settings);
    std::string line = "<li class=\"b_pag\"><nav role=\"navigation\"><ul class=\"sb_pagF\">";
    if (page > 1)
        line += "<li><a class=\"sb_pagP\" title=\"上一页\" " + pageLink(key, page - 1) + ">上一页</a></li>";
    for (long long k = window.first; k <= window.last; ++k) {
        const std::string n = std::to_string(k);
        line += k == page ? "<li><a class=\"sb_pagS sb_pagS_bp b_widePag sb_bp\">" + n + "</a></li>"
                          : "<li><a class=\"b_widePag sb_bp\" " + pageLink(key, k) + ">" + n + "</a></li>";
    }
    if (window.more) {
        line += "<li><a class=\"sb_pagN sb_pagN_bp b_widePag sb_bp\" title=\"下一页\" "
            + pageLink(key, page + 1) + ">下一页</a></li>";
    }
    return line + "</ul></nav></li>\n";
}

std::string footer()
{
    return "<footer id=\"b_footer\"><a href=\"https://go.microsoft.com/fwlink/?LinkId=521839\">隐私声明和 "
           "Cookie</a> "
           "<a "
           "href=\"https://www.microsoft.com/zh-cn/servicesagreement/\">服务协议</a></footer>\n</body>\n</"
           "html>\n";
}

} // namespace

std::string renderBingPage(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings)
{
    const std::string word = htmlEscape(gbkToUtf8(request.wordGbk));
    const std::string key = formEncode(gbkToUtf8(request.wordGbk));
    const long long page = pageOf(request);
    std::string html
        = utf8Head(word + " - 搜索", kStyle) + header(word, key) + "<main>\n<ol id=\"b_results\">\n";
    const bool noResults = request.wordGbk.empty() || request.wordGbk.starts_with(kNoResultsPrefix);
    if (noResults || (!settings.endlessPager && page > settings.pagesPerKeyword)) {
        html += "<li class=\"b_no\"><h1>没有与此相关的结果: <strong>" + word
            + "</strong></h1><ul><li>检查拼写或尝试其他关键字</li></ul></li>\n";
        return html + "</ol>\n</main>\n" + footer();
    }
    html += ads(request.wordGbk, page, settings);
    const long long first = (page - 1) * kResultsPerPage + 1;
    for (int i = 0; i < kResultsPerPage; ++i) {
        html += item(request.wordGbk, word, host, first + i);
        if (i == kImagesAfter)
            html += images(request.wordGbk, word, key);
    }
    html += related(request.wordGbk, word) + pager(key, page, settings);
    return html + "</ol>\n</main>\n" + footer();
}

} // namespace tess::sample
