// The layouts' block pages and the Sogou redirector's script page.
// LayoutPages.h describes them.

#include "LayoutPages.h"
#include "PageParts.h"
#include "SampleCodec.h"

namespace tess::sample {
namespace {

constexpr std::string_view kBlockStyle = "body{font-family:sans-serif;background:#f5f5f6}\n"
                                         ".box{width:420px;margin:80px auto;padding:24px;background:#fff}\n"
                                         "#verify{font-size:16px;padding:8px 24px}\n";

// The text of each layout's block page, above its button.
std::string blockText(Layout layout, std::string_view client)
{
    switch (layout) {
    case Layout::So360:
        return "<p>请输入验证码以便正常访问:</p>\n<p><input type=\"text\" name=\"rcode\" "
               "maxlength=\"4\"></p>\n"
               "<p>您的IP："
            + htmlEscape(client) + "</p>\n<p>为什么会出现验证码？您的网络中可能存在异常访问。</p>\n";
    case Layout::Sogou:
        return "<p>用户您好，我们的系统检测到您网络中存在异常访问请求。<br>"
               "此验证码用于确认这些请求是您的正常行为而不是自动程序发出的，需要您协助验证。</p>\n";
    default:
        return "<p>请完成验证，以便继续使用搜索。</p>\n";
    }
}

std::string_view blockTitle(Layout layout)
{
    switch (layout) {
    case Layout::So360:
        return "访问异常页面";
    case Layout::Sogou:
        return "搜狗搜索";
    default:
        return "必应 - 验证";
    }
}

} // namespace

BlockPaths blockPaths(Layout layout)
{
    switch (layout) {
    case Layout::So360:
        return { "", "/check" };
    case Layout::Sogou:
        return { "/antispider/", "/antispider/pass" };
    case Layout::Bing:
        return { "/turing/captcha/challenge", "/turing/captcha/pass" };
    default:
        return { kVerifyPagePath, kVerifyPassPath };
    }
}

std::string blockAddress(Layout layout, std::string_view host, std::string_view requestTarget)
{
    const std::string origin = "http://" + std::string(host);
    switch (layout) {
    case Layout::So360:
        return {};
    case Layout::Sogou:
        return origin + "/antispider/?from=" + percentEncode(requestTarget);
    case Layout::Bing:
        return origin + "/turing/captcha/challenge?ru=" + percentEncode(requestTarget);
    default:
        return origin + std::string(kVerifyPagePath)
            + "?backurl=" + percentEncode(origin + std::string(requestTarget));
    }
}

std::string renderBlockPage(Layout layout, std::string_view backUrl, std::string_view client)
{
    if (layout == Layout::Classic || layout == Layout::Today)
        return renderVerificationPage(backUrl);
    // Only a way back to a page: never a script address.
    std::string back(backUrl);
    if (!back.starts_with("http://") && !back.starts_with("https://") && !back.starts_with("/"))
        back = "/";
    return utf8Head(blockTitle(layout), kBlockStyle) + "<div class=\"box\">\n" + blockText(layout, client)
        + "<button id=\"verify\" type=\"button\" data-backurl=\"" + htmlEscape(back)
        + "\">提交验证</button>\n</div>\n<script>\n"
          "document.getElementById('verify').addEventListener('click', function () {\n"
          "    var back = this.getAttribute('data-backurl');\n"
          "    fetch('"
        + std::string(blockPaths(layout).pass)
        + "', { method: 'POST' }).then(function () { location.replace(back); });\n"
          "});\n</script>\n</body>\n</html>\n";
}

std::string renderScriptRedirect(std::string_view target)
{
    return "<html>\n<head>\n<meta charset=\"utf-8\">\n<script>window.location.replace(" + scriptString(target)
        + ")</script>\n</head>\n<body></body>\n</html>\n";
}

} // namespace tess::sample
