#pragma once

#include <QByteArray>

namespace tess::harvest {

// The engine's public web host, used unless the user names another.
inline constexpr char DefaultEngineHost[] = "www.baidu.com";

// A keyword as the run takes it: blanks and control characters removed
// from both ends.
QByteArray TrimKeyword(const QByteArray& keyword);

// The request address of a keyword without its offset:
// "http://" + host + "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=" + the
// URL-encoded GBK keyword + "&pn=". "ie=gb2312" tells the engine the
// keyword bytes are GBK; "rn=10" asks for ten results a page.
QByteArray BuildRequestBase(const QByteArray& engineHost, const QByteArray& trimmedKeyword);

// RequestBase + the offset in decimal + "&cl=3".
QByteArray RequestAddress(const QByteArray& requestBase, int pageOffset);

} // namespace tess::harvest
