#include "SamplePage.h"

#include "LayoutPages.h"
#include "SampleCodec.h"

#include <algorithm>
#include <cctype>

namespace tess::sample {
namespace {

// Results on each page whose address comes again in other letter case.
constexpr int kCaseTwins[] = { 1, 6 };

std::string upperCased(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Same address as far as the harvester's case-blind comparison goes; the
// scheme stays lower case so the link still counts as plain http.
std::string caseTwin(std::string_view address)
{
    constexpr std::string_view kScheme = "http://";
    return std::string(kScheme) + upperCased(address.substr(kScheme.size()));
}

std::string resultTitle(const std::string& word, long long r)
{
    return word + "_示例站点" + std::to_string(r) + "号";
}

std::string pageLink(const std::string& wordGbk, long long page, std::string_view text)
{
    return "<a href=\"" + htmlEscape(searchTarget(wordGbk, (page - 1) * kResultsPerPage)) + "\">"
        + std::string(text) + "</a>";
}

// One block element whose links are inline, so the body text carries it as a
// single line: "上一页 [1] [2] 3 [4] [5] 下一页".
std::string pagerLine(const std::string& wordGbk, long long page, const EngineSettings& settings)
{
    const auto [first, last, more] = pagerWindow(page, settings);
    std::string line = "<p id=\"page\">";
    if (page > 1)
        line += pageLink(wordGbk, page - 1, "上一页") + " ";
    for (long long k = first; k <= last; ++k) {
        if (k > first)
            line += " ";
        if (k == page)
            line += "<strong>" + std::to_string(k) + "</strong>";
        else
            line += "[" + pageLink(wordGbk, k, std::to_string(k)) + "]";
    }
    if (more)
        line += " " + pageLink(wordGbk, page + 1, "下一页");
    return line + "</p>\n";
}

std::string head(const std::string& title)
{
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\">\n<title>" + title
        + "</title>\n<style>\n"
          "body{font-family:sans-serif;font-size:13px;margin:8px 16px}\n"
          "#u a{margin-left:8px}\n.result{width:560px;margin:14px 0}\n"
          "h3.t{font-size:16px;font-weight:normal;margin:0}\n.c-abstract{margin:2px 0}\n"
          ".f13 .g{color:#888}\n.f13 a{color:#666}\n#page{font-size:14px;margin:20px 0}\n"
          "#page a{margin:0 2px}\n#foot{color:#999;margin-top:20px}\n"
          "</style>\n</head>\n<body>\n";
}

std::string topBar(const std::string& host, const std::string& wordHtml)
{
    return "<div id=\"u\"><a href=\"http://" + host + "/\">示例搜索首页</a> <a href=\"/more/\">更多产品</a> "
        + "<a href=\"http://" + host + "/login\">登录</a></div>\n"
        + "<form id=\"form\" name=\"f\" action=\"/baidu\" method=\"get\">\n"
          "<input type=\"hidden\" name=\"lm\" value=\"0\"><input type=\"hidden\" name=\"si\" value=\"\">"
          "<input type=\"hidden\" name=\"rn\" value=\"10\"><input type=\"hidden\" name=\"ie\" "
          "value=\"gb2312\">"
          "<input type=\"hidden\" name=\"ct\" value=\"0\">\n"
          "<input type=\"text\" name=\"word\" size=\"42\" maxlength=\"100\" value=\""
        + wordHtml
        + "\"> <input type=\"submit\" value=\"搜索一下\">"
          "<input type=\"hidden\" name=\"cl\" value=\"3\">\n</form>\n";
}

std::string footer(const std::string& host)
{
    return "<div id=\"foot\">&copy;示例搜索 <a href=\"http://" + host
        + "/duty/\">使用前必读</a> <a href=\"/about/\">关于示例搜索</a></div>\n</body>\n</html>\n";
}

std::string resultBlock(const std::string& wordGbk, const std::string& word, const std::string& hash,
    const std::string& host, long long r)
{
    const std::string address = resultAddress(wordGbk, r);
    const std::string shown = address.substr(std::string_view("http://").size());
    return "<div class=\"result\" id=\"" + std::to_string(r) + "\">\n<h3 class=\"t\"><a href=\""
        + htmlEscape(address) + "\" target=\"_blank\">" + resultTitle(word, r) + "</a></h3>\n"
        + "<div class=\"c-abstract\">这是与“" + word + "”有关的第" + std::to_string(r)
        + "条示例结果的摘要，内容由本地示例搜索引擎按关键字和页码生成。</div>\n"
        + "<div class=\"f13\"><span class=\"g\">" + htmlEscape(shown) + " 2024-1-1</span> - <a href=\"http://"
        + host + "/link?url=" + hash + "-" + std::to_string(r) + "\">快照</a></div>\n</div>\n";
}

std::string extras(
    const std::string& wordGbk, const std::string& word, const std::string& hash, long long firstResult)
{
    std::string block = "<div id=\"rs\">相关链接：";
    for (int index : kCaseTwins) {
        const long long r = firstResult + index;
        block += "<a href=\"" + htmlEscape(caseTwin(resultAddress(wordGbk, r))) + "\">" + resultTitle(word, r)
            + "（镜像）</a> ";
    }
    block += "<a href=\"https://secure.k" + hash + ".example.com/\">" + word + "安全访问</a> ";
    block
        += "<a href=\"https://www.example.org/k" + hash + "/" + std::to_string(firstResult) + "\">推广</a> ";
    block += "<a href=\"mailto:service@k" + hash + ".example.com\">联系我们</a> ";
    block += "<a href=\"javascript:void(0)\">收藏本页</a></div>\n";
    return block;
}

} // namespace

std::string searchTarget(std::string_view wordGbk, long long pn)
{
    return "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=" + formEncode(wordGbk) + "&pn=" + std::to_string(pn)
        + "&cl=3";
}

std::string resultAddress(std::string_view wordGbk, long long resultNumber)
{
    const std::string r = std::to_string(resultNumber);
    return "http://www.k" + shortHash(wordGbk) + "-" + r + ".example.com/item/" + r + ".html";
}

std::string renderResultPage(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings)
{
    switch (settings.layout) {
    case Layout::Today:
        return renderTodayPage(request, host, settings);
    case Layout::So360:
        return render360Page(request, host, settings);
    case Layout::Sogou:
        return renderSogouPage(request, settings);
    case Layout::Bing:
        return renderBingPage(request, host, settings);
    case Layout::Classic:
        break;
    }
    const std::string hostHtml = htmlEscape(host);
    const std::string word = htmlEscape(gbkToUtf8(request.wordGbk));
    const std::string hash = shortHash(request.wordGbk);
    const long long page = request.pn / kResultsPerPage + 1;

    if (request.wordGbk.empty())
        return utf8ToGbk(head("示例搜索") + topBar(hostHtml, word) + footer(hostHtml));

    std::string html = head(word + "_示例搜索") + topBar(hostHtml, word);
    if (!settings.endlessPager && page > settings.pagesPerKeyword) {
        html += "<div id=\"none\">抱歉，没有找到与“" + word + "”相关的网页。</div>\n";
        return utf8ToGbk(html + footer(hostHtml));
    }

    const std::string total = settings.endlessPager
        ? std::string("100,000,000")
        : std::to_string(static_cast<long long>(settings.pagesPerKeyword) * kResultsPerPage);
    html += "<div id=\"count\">示例搜索为您找到相关结果约" + total + "个</div>\n";
    const long long firstResult = (page - 1) * kResultsPerPage + 1;
    for (int i = 0; i < kResultsPerPage; ++i)
        html += resultBlock(request.wordGbk, word, hash, hostHtml, firstResult + i);
    html += extras(request.wordGbk, word, hash, firstResult);
    html += pagerLine(request.wordGbk, page, settings);
    return utf8ToGbk(html + footer(hostHtml));
}

PagerWindow pagerWindow(long long page, const EngineSettings& settings)
{
    PagerWindow window;
    window.first = std::max(1LL, page - 5);
    window.last = window.first + 9;
    if (!settings.endlessPager) {
        window.last = std::min<long long>(window.last, settings.pagesPerKeyword);
        window.first = std::max(1LL, window.last - 9);
    }
    window.more = settings.endlessPager || page < settings.pagesPerKeyword;
    return window;
}

std::string renderNotFound(std::string_view target)
{
    return utf8ToGbk(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\">\n<title>404 找不到网页</title>\n"
        "</head>\n<body>\n<h1>404 找不到网页</h1>\n<p>示例搜索没有这个地址："
        + htmlEscape(target) + "</p>\n</body>\n</html>\n");
}

} // namespace tess::sample
