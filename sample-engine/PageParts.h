#pragma once

#include <string>
#include <string_view>

// Pieces the layouts' pages share; not part of the engine's interface.
namespace tess::sample {

std::string hexLower(std::string_view bytes);
// A lower-case hex digit's value; -1 for any other character.
int hexDigit(char c);

// What a page shows in place of an address: the host and the first
// letters of the path, "blog.k1a2b3c4d-3.example.org/ar...".
std::string displayText(std::string_view address);

// A string literal for a script; the targets are plain addresses, but a quote
// or a "</script>" must still not end it.
std::string scriptString(std::string_view text);

// The page's start up to and with <body>, UTF-8: <meta charset="utf-8">,
// the title (already escaped) and a style sheet.
std::string utf8Head(std::string_view title, std::string_view style);

} // namespace tess::sample
