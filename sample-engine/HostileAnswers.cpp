#include "HostileAnswers.h"

#include "SampleCodec.h"

#include <httplib.h>

#include <chrono>
#include <thread>

namespace tess::sample {
namespace {

constexpr std::string_view Prefix = "hostile-";
constexpr const char* GbkHtml = "text/html; charset=gbk";

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

} // namespace

int answerHostile(const SearchRequest& request, const std::string& host, int port,
    const std::atomic<bool>& stopping, httplib::Response& res)
{
    const std::string_view word = request.wordGbk;
    if (word.substr(0, Prefix.size()) != Prefix)
        return 0;
    const std::string_view kind = word.substr(Prefix.size());

    if (kind == "alert" || kind == "confirm" || kind == "prompt") {
        const std::string call = std::string(kind) + "('示例搜索：请确认')";
        res.set_content(resultPageWith(request, host, "<script>" + call + ";</script>"), GbkHtml);
    } else if (kind == "beforeunload") {
        res.set_content(
            resultPageWith(request, host,
                "<script>addEventListener('beforeunload', function (e) {"
                " e.preventDefault(); e.returnValue = '确定离开？'; return '确定离开？'; });</script>"),
            GbkHtml);
    } else if (kind == "never") {
        const std::string start = resultPageWith(request, host, "");
        const std::string part = start.substr(0, start.size() / 2);
        res.set_chunked_content_provider(GbkHtml, [part, &stopping](size_t offset, httplib::DataSink& sink) {
            if (offset == 0)
                return sink.write(part.data(), part.size());
            const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
            while (!stopping && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return false;
        });
    } else if (kind == "script") {
        res.set_content(resultPageWith(request, host, "<script>for (;;) {}</script>"), GbkHtml);
    } else if (kind == "download") {
        res.set_header("Content-Disposition", "attachment; filename=\"sample.bin\"");
        res.set_content(std::string(4096, 'x'), "application/octet-stream");
    } else if (kind == "nocontent") {
        res.status = 204;
        return 204;
    } else if (kind == "auth") {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"sample\"");
        res.set_content(utf8ToGbk("<html><body><p>需要登录</p></body></html>"), GbkHtml);
        return 401;
    } else if (kind == "refresh") {
        const std::string target = "http://localhost:" + std::to_string(port) + ElsewherePath;
        res.set_content(resultPageWith(request, host,
                            "<meta http-equiv=\"refresh\" content=\"0;url=" + htmlEscape(target) + "\">"),
            GbkHtml);
    } else if (kind == "error500") {
        res.status = 500;
        res.set_content(resultPageWith(request, host, "<h1>500 服务器内部错误</h1>"), GbkHtml);
        return 500;
    } else if (kind == "reset") {
        res.set_content_provider(
            100000, "text/html", [](size_t, size_t, httplib::DataSink&) { return false; });
    } else if (kind == "utf8" || kind == "nocharset") {
        std::string page = resultPageWith(request, host, "");
        if (kind == "utf8")
            page = gbkToUtf8(page);
        const std::string meta = "<meta charset=\"gbk\">\n";
        if (const size_t at = page.find(meta); at != std::string::npos)
            page.erase(at, meta.size());
        res.set_content(page, "text/html");
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
