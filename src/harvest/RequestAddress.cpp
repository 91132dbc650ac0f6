#include "harvest/RequestAddress.h"

#include "components/urlencoder/TNMURL.h"

namespace tess::harvest {

QByteArray TrimKeyword(const QByteArray& keyword)
{
    qsizetype begin = 0;
    qsizetype end = keyword.size();
    while (begin < end && static_cast<unsigned char>(keyword[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(keyword[end - 1]) <= ' ')
        --end;
    return keyword.mid(begin, end - begin);
}

QByteArray BuildRequestBase(const QByteArray& engineHost, const QByteArray& trimmedKeyword)
{
    components::TNMURL encoder;
    encoder.InputString = trimmedKeyword;
    return "http://" + engineHost + "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=" + encoder.Encode() + "&pn=";
}

QByteArray RequestAddress(const QByteArray& requestBase, int pageOffset)
{
    return requestBase + QByteArray::number(pageOffset) + "&cl=3";
}

} // namespace tess::harvest
