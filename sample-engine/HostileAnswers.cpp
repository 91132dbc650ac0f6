#include "HostileAnswers.h"

#include "SampleCodec.h"

#include <httplib.h>

#include <chrono>
#include <thread>

namespace tess::sample {
namespace {

constexpr std::string_view kPrefix = "hostile-";
constexpr const char* kGbkHtml = "text/html; charset=gbk";

// A one-page result page for the keyword, with `inject` at the top of its
// body.
std::string resultPageWith(const SearchRequest& request, const std::string& host, std::string_view inject)
{
    EngineSettings onePage;
    onePage.pagesPerKeyword = 1;
    std::string page = renderResultPage(request, host, onePage);
    const size_t body = page.find("<body>");
    if (body != std::string::npos)
        page.insert(body + 6, "\n" + utf8ToGbk(inject));
    return page;
}

// Half of a result page, then nothing until the engine stops (or ten
// minutes have passed).
void answerNever(const SearchRequest& request, const std::string& host, const std::atomic<bool>& stopping,
    httplib::Response& res)
{
    const std::string start = resultPageWith(request, host, "");
    const std::string part = start.substr(0, start.size() / 2);
    res.set_chunked_content_provider(kGbkHtml, [part, &stopping](size_t offset, httplib::DataSink& sink) {
        if (offset == 0)
            return sink.write(part.data(), part.size());
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!stopping && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return false;
    });
}

// A one-page result page that declares no charset, in UTF-8 or in GBK.
void answerWithoutCharset(
    const SearchRequest& request, const std::string& host, bool utf8, httplib::Response& res)
{
    std::string page = resultPageWith(request, host, "");
    if (utf8)
        page = gbkToUtf8(page);
    const std::string meta = "<meta charset=\"gbk\">\n";
    if (const size_t at = page.find(meta); at != std::string::npos)
        page.erase(at, meta.size());
    res.set_content(page, "text/html");
}

} // namespace

int answerHostile(const SearchRequest& request, const std::string& host, int port,
    const std::atomic<bool>& stopping, httplib::Response& res)
{
    const std::string_view word = request.wordGbk;
    if (word.substr(0, kPrefix.size()) != kPrefix)
        return 0;
    const std::string_view kind = word.substr(kPrefix.size());

    if (kind == "alert" || kind == "confirm" || kind == "prompt") {
        const std::string call = std::string(kind) + "('示例搜索：请确认')";
        res.set_content(resultPageWith(request, host, "<script>" + call + ";</script>"), kGbkHtml);
    } else if (kind == "beforeunload") {
        res.set_content(
            resultPageWith(request, host,
                "<script>addEventListener('beforeunload', function (e) {"
                " e.preventDefault(); e.returnValue = '确定离开？'; return '确定离开？'; });</script>"),
            kGbkHtml);
    } else if (kind == "popups") {
        res.set_content(resultPageWith(request, host,
                            "<script>for (var i = 0; i < 500; ++i) window.open('/popup?n=' + i, '_blank');"
                            "</script>"),
            kGbkHtml);
    } else if (kind == "stalledredirects") {
        std::string links;
        for (int i = 1; i <= 4; ++i)
            links += "<p><a href=\"" + std::string(kRedirectPath)
                + "?url=" + std::string(kNeverAnsweringToken) + "&n=" + std::to_string(i)
                + "\">迟迟不答的跳转 " + std::to_string(i) + "</a></p>\n";
        res.set_content(resultPageWith(request, host, links), kGbkHtml);
    } else if (kind == "never") {
        answerNever(request, host, stopping, res);
    } else if (kind == "script") {
        res.set_content(resultPageWith(request, host, "<script>for (;;) {}</script>"), kGbkHtml);
    } else if (kind == "download") {
        res.set_header("Content-Disposition", "attachment; filename=\"sample.bin\"");
        res.set_content(std::string(4096, 'x'), "application/octet-stream");
    } else if (kind == "nocontent") {
        res.status = 204;
        return 204;
    } else if (kind == "auth") {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"sample\"");
        res.set_content(utf8ToGbk("<html><body><p>需要登录</p></body></html>"), kGbkHtml);
        return 401;
    } else if (kind == "refresh") {
        const std::string target = "http://localhost:" + std::to_string(port) + kElsewherePath;
        res.set_content(resultPageWith(request, host,
                            "<meta http-equiv=\"refresh\" content=\"0;url=" + htmlEscape(target) + "\">"),
            kGbkHtml);
    } else if (kind == "error500") {
        res.status = 500;
        res.set_content(resultPageWith(request, host, "<h1>500 服务器内部错误</h1>"), kGbkHtml);
        return 500;
    } else if (kind == "reset") {
        res.set_content_provider(
            100000, "text/html", [](size_t, size_t, httplib::DataSink&) { return false; });
    } else if (kind == "utf8" || kind == "nocharset") {
        answerWithoutCharset(request, host, kind == "utf8", res);
    } else {
        return 0;
    }
    return 200;
}

std::string renderElsewhere()
{
    return utf8ToGbk("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\">\n<title>别处</title>\n</head>\n"
                     "<body>\n<p><a href=\"http://elsewhere-1.example.org/\">别处的链接</a></p>\n"
                     "<p id=\"page\">1 [<a href=\"/elsewhere?pn=10\">2</a>] 下一页</p>\n</body>\n</html>\n");
}

} // namespace tess::sample
