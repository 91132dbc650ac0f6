#pragma once

#include <optional>
#include <string>
#include <string_view>

// Byte-level helpers of the sample engine. The engine speaks GBK on the wire
// and composes its pages in UTF-8, so the conversions live here, without Qt.
namespace tess::sample {

// GBK bytes to UTF-8; byte sequences that are not GBK become U+FFFD.
std::string gbkToUtf8(std::string_view gbk);

// UTF-8 to GBK; characters GBK cannot hold become "?".
std::string utf8ToGbk(std::string_view utf8);

// The query form the harvester sends: blank as "+", ASCII letters and digits
// unchanged, every other byte as %XX with upper-case hex digits.
std::string formEncode(std::string_view bytes);

// Undoes formEncode and lower-case hex as well; a "%" not followed by two hex
// digits stays as it is.
std::string formDecode(std::string_view text);

// For a whole address inside a query value: ASCII letters, digits and
// "-._~" unchanged, every other byte as %XX with upper-case hex digits.
// formDecode undoes it.
std::string percentEncode(std::string_view bytes);

// The decoded value of the first `key` in a raw query string ("a=1&b=2");
// empty when the key is absent.
std::string queryValue(std::string_view rawQuery, std::string_view key);

// Escapes & < > " ' for text and attribute values.
std::string htmlEscape(std::string_view text);

// URL-safe base64 ("-" and "_" for "+" and "/") without padding.
std::string base64UrlEncode(std::string_view bytes);
// Undoes base64UrlEncode; padding is allowed. Nothing for any other
// character or a length no encoding has.
std::optional<std::string> base64UrlDecode(std::string_view text);

// 32-bit FNV-1a, written as eight lower-case hex digits.
std::string shortHash(std::string_view bytes);

} // namespace tess::sample
