// The Sogou layout's result page. LayoutPages.h describes what it holds.

#include "LayoutPages.h"
#include "PageParts.h"
#include "SampleCodec.h"

namespace tess::sample {
namespace {

constexpr std::string_view kStyle
    = "body{font-family:sans-serif;font-size:13px;margin:0}\n"
      ".header{padding:10px 16px;border-bottom:1px solid #eee}\n"
      "#nav a{margin-right:14px}\n#main{width:600px;margin:12px 130px}\n"
      ".vrwrap{margin:0 0 18px}\nh3.vr-title{font-size:16px;font-weight:normal;margin:0}\n"
      "h3.vr-title em{color:#c00;font-style:normal}\n.citeurl{color:#008000}\n"
      ".p a,.p span{margin-right:8px}\n#footer{color:#999;margin:20px 130px}\n";
// The 搜狗百科 card comes after this result of the page (0-based).
constexpr int kBaikeAfter = kSogouBaikeAfter;

std::string header(const std::string& wordHtml, const std::string& key)
{
    return "<div class=\"header\"><a id=\"logo\" href=\"https://www.sogou.com/\">搜狗</a>\n"
           "<form action=\"/web\" method=\"get\"><input type=\"text\" name=\"query\" value=\""
        + wordHtml
        + "\"><input type=\"hidden\" name=\"ie\" value=\"utf8\"> <input type=\"submit\" "
          "value=\"搜狗搜索\"></form>\n"
          "<div id=\"nav\"><a href=\"https://weixin.sogou.com/weixin?query="
        + key + "\">微信</a> <a href=\"https://pic.sogou.com/pics?query=" + key
        + "\">图片</a> <a href=\"https://v.sogou.com/v?query=" + key + "\">视频</a></div>\n</div>\n";
}

std::string item(std::string_view wordGbk, const std::string& wordHtml, long long r, int index)
{
    const LayoutResult result = layoutResult(Layout::Sogou, wordGbk, r, {});
    const std::string i = std::to_string(index);
    const std::string n = std::to_string(r);
    std::string block = "<div class=\"vrwrap\"";
    // Glued to the next attribute without a blank, as the engine writes it.
    if (result.form == LinkForm::ContainerAttribute)
        block += " data-url=\"" + htmlEscape(result.target) + "\"data-hint=\"sugg\"";
    block += " id=\"rb_" + i + "\">\n<!--VR TYPE:30000000,,RANK:" + i + "-->\n";
    const bool card = result.form == LinkForm::Direct;
    if (card)
        block += "<div class=\"struct201102\">\n";
    block += "<h3 class=\"vr-title\"><a id=\"sogou_vr_" + std::string(card ? "30010000" : "30000000") + "_"
        + i + "\" href=\"" + htmlEscape(result.href) + "\" target=\"_blank\"><em>" + wordHtml
        + "</em>_搜狗结果" + n + "</a></h3>\n";
    block += "<p class=\"star-wiki\">这是与“" + wordHtml + "”有关的第" + n + "条示例结果的摘要。</p>\n";
    block += "<div class=\"citeurl\"><span>示例站点 - " + htmlEscape(displayText(result.target))
        + "</span> <a href=\"https://snapshot.sogoucdn.com/websnapshot?url=" + shortHash(result.target)
        + "&amp;query=" + formEncode(gbkToUtf8(wordGbk)) + "\" target=\"_blank\">快照</a></div>\n";
    return block + (card ? "</div>\n" : "") + "</div>\n";
}

std::string baikeCard(std::string_view wordGbk, const std::string& wordHtml)
{
    return "<div class=\"vrwrap\">\n<!--VR TYPE:30010097,,RANK:0-->\n<h3 class=\"vr-title\"><a "
           "id=\"sogou_vr_30010097_0\" href=\"https://baike.sogou.com/v1k"
        + shortHash(wordGbk) + ".htm\" target=\"_blank\"><em>" + wordHtml
        + "</em> - 搜狗百科</a></h3>\n</div>\n";
}

std::string hints(std::string_view wordGbk)
{
    std::string block = "<div class=\"vrwrap middle-better-hintBox\"><p>大家还在搜</p>";
    for (const std::string& text : relatedSearchTexts(wordGbk)) {
        block += " <a href=\"https://www.sogou.com/web?query=" + formEncode(text) + "&amp;ie=utf8\">"
            + htmlEscape(text) + "</a>";
    }
    return block + "</div>\n";
}

// Outside the list, before it.
std::string ads(std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    const std::vector<PredictedRow> shown = layoutAds(Layout::Sogou, wordGbk, page, settings);
    if (shown.empty())
        return {};
    std::string block = "<div class=\"sponsored\" id=\"leftbottomleadContainer\"><div id=\"biz_smart\">\n";
    for (const PredictedRow& ad : shown) {
        block += "<p><a href=\"" + htmlEscape(ad.target) + "\" target=\"_blank\">" + htmlEscape(ad.title)
            + "</a> <span>广告</span></p>\n";
    }
    return block + "</div></div>\n";
}

std::string pageLink(const std::string& key, long long page)
{
    return "href=\"?query=" + key + "&amp;page=" + std::to_string(page) + "&amp;ie=utf8\"";
}

std::string pager(const std::string& key, long long page, const EngineSettings& settings)
{
    const PagerWindow window = pagerWindow(page, settings);
    std::string line = "<div class=\"p\" id=\"pagebar_container\">";
    if (page > 1)
        line += "<a id=\"sogou_last\" " + pageLink(key, page - 1) + " class=\"np\">上一页</a>";
    for (long long k = window.first; k <= window.last; ++k) {
        const std::string n = std::to_string(k);
        line += k == page ? "<span>" + n + "</span>"
                          : "<a id=\"sogou_page_" + n + "\" " + pageLink(key, k) + ">" + n + "</a>";
    }
    if (window.more)
        line += "<a id=\"sogou_next\" " + pageLink(key, page + 1) + " class=\"np\">下一页</a>";
    return line + "</div>\n";
}

std::string footer()
{
    return "<div id=\"footer\"><a href=\"https://www.sogou.com/docs/terms.htm\">免责声明</a> <a "
           "href=\"https://fankui.sogou.com/\">意见反馈</a></div>\n</body>\n</html>\n";
}

} // namespace

std::string renderSogouPage(const SearchRequest& request, const EngineSettings& settings)
{
    const std::string word = htmlEscape(gbkToUtf8(request.wordGbk));
    const std::string key = formEncode(gbkToUtf8(request.wordGbk));
    const long long page = pageOf(request);
    std::string html = utf8Head(word + " - 搜狗网页搜索", kStyle) + header(word, key) + "<div id=\"main\">\n";
    const bool noResults = request.wordGbk.empty() || request.wordGbk.starts_with(kNoResultsPrefix);
    if (noResults || (!settings.endlessPager && page > settings.pagesPerKeyword)) {
        html += "<div class=\"linkhead\" id=\"noresult_part2_container\"><p>抱歉，没有找到与“" + word
            + "”相关的网页。</p></div>\n<!--STATUS total 0 totalItems 0-->\n"
              "<div class=\"results\"><style>.results{min-height:200px}</style></div>\n";
        return html + "</div>\n" + footer();
    }
    html += ads(request.wordGbk, page, settings) + "<div class=\"results\">\n";
    const long long first = (page - 1) * kResultsPerPage + 1;
    for (int i = 0; i < kResultsPerPage; ++i) {
        html += item(request.wordGbk, word, first + i, i);
        if (i == kBaikeAfter)
            html += baikeCard(request.wordGbk, word);
    }
    html += hints(request.wordGbk) + "</div>\n" + pager(key, page, settings) + "</div>\n";
    return html + footer();
}

} // namespace tess::sample
