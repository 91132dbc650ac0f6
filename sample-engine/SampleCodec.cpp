#include "SampleCodec.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace tess::sample {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Server threads render pages side by side; a converter keeps state between
// calls, so each thread gets its own.
UConverter* gbk()
{
    thread_local Converter converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        Converter c(ucnv_open("GBK", &status));
        if (U_FAILURE(status))
            throw std::runtime_error("the GBK converter is not available");
        ucnv_setSubstChars(c.get(), "?", 1, &status);
        return c;
    }();
    return converter.get();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string gbkToUtf8(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    UConverter* cnv = gbk();
    ucnv_resetToUnicode(cnv);
    std::u16string wide(bytes.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(cnv, wide.data(), static_cast<int32_t>(wide.size()), bytes.data(),
        static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error("GBK conversion failed");
    std::string out(static_cast<size_t>(n) * 3 + 1, '\0');
    int32_t length = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &length, wide.data(), n, &status);
    if (U_FAILURE(status))
        throw std::runtime_error("UTF-8 conversion failed");
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string utf8ToGbk(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    std::u16string wide(utf8.size() + 1, u'\0');
    int32_t n = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &n, utf8.data(),
        static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        throw std::runtime_error("UTF-8 conversion failed");
    UConverter* cnv = gbk();
    ucnv_resetFromUnicode(cnv);
    std::string out(static_cast<size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(n, 2)), '\0');
    status = U_ZERO_ERROR;
    const int32_t length
        = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()), wide.data(), n, &status);
    if (U_FAILURE(status))
        throw std::runtime_error("GBK conversion failed");
    out.resize(static_cast<size_t>(length));
    return out;
}

namespace {

// Every byte but ASCII letters, digits and `kept` as %XX; blanks as "+"
// when `blankAsPlus`.
std::string escapeBytes(std::string_view bytes, std::string_view kept, bool blankAsPlus)
{
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == ' ' && blankAsPlus) {
            out += '+';
        } else if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')
            || (b != 0 && kept.find(ch) != std::string_view::npos)) {
            out += ch;
        } else {
            out += '%';
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0x0F];
        }
    }
    return out;
}

} // namespace

std::string formEncode(std::string_view bytes) { return escapeBytes(bytes, {}, true); }

std::string formDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0
            && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string percentEncode(std::string_view bytes) { return escapeBytes(bytes, "-._~", false); }

std::string queryValue(std::string_view rawQuery, std::string_view key)
{
    while (!rawQuery.empty()) {
        const size_t amp = rawQuery.find('&');
        const std::string_view pair = rawQuery.substr(0, amp);
        rawQuery = amp == std::string_view::npos ? std::string_view() : rawQuery.substr(amp + 1);
        const size_t eq = pair.find('=');
        if (pair.substr(0, eq) == key)
            return eq == std::string_view::npos ? std::string() : formDecode(pair.substr(eq + 1));
    }
    return {};
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

constexpr std::string_view kBase64UrlDigits
    = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

} // namespace

std::string base64UrlEncode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() * 4 + 2) / 3);
    std::uint32_t bits = 0;
    int count = 0;
    for (char ch : bytes) {
        bits = (bits << 8) | static_cast<unsigned char>(ch);
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += kBase64UrlDigits[(bits >> count) & 0x3F];
        }
    }
    if (count > 0)
        out += kBase64UrlDigits[(bits << (6 - count)) & 0x3F];
    return out;
}

std::optional<std::string> base64UrlDecode(std::string_view text)
{
    while (!text.empty() && text.back() == '=')
        text.remove_suffix(1);
    if (text.size() % 4 == 1)
        return std::nullopt;
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char ch : text) {
        const size_t digit = kBase64UrlDigits.find(ch);
        if (digit == std::string_view::npos)
            return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::string shortHash(std::string_view bytes)
{
    std::uint32_t h = 2166136261u;
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, h >>= 4)
        out[static_cast<size_t>(i)] = kHexDigits[h & 0x0F];
    return out;
}

} // namespace tess::sample
