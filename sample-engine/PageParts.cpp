#include "PageParts.h"

namespace tess::sample {

std::string hexLower(std::string_view bytes)
{
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0x0F];
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Only the host and the first letters of the path, so the page never holds
// the whole target of a result that hides it.
std::string displayText(std::string_view address)
{
    const size_t schemeEnd = address.find("://");
    const std::string_view rest = address.substr(schemeEnd + 3);
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return std::string(rest);
    return std::string(rest.substr(0, slash + 3)) + "...";
}

std::string scriptString(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '<')
            out += "\\x3c";
        else
            out += c;
    }
    return out + "\"";
}

std::string utf8Head(std::string_view title, std::string_view style)
{
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + std::string(title)
        + "</title>\n<style>\n" + std::string(style) + "</style>\n</head>\n<body>\n";
}

} // namespace tess::sample
