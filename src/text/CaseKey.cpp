#include "text/CaseKey.h"

#include "text/Gbk.h"

namespace tess::text {

QByteArray caseKey(QByteArrayView gbk)
{
    if (isAscii(gbk)) {
        // For pure ASCII the folded UTF-8 form is the lower-cased bytes.
        QByteArray key(gbk.data(), gbk.size());
        for (char& c : key)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + ('a' - 'A'));
        return key;
    }
    return fromGbk(gbk).toCaseFolded().toUtf8();
}

bool sameIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    if (isAscii(a) && isAscii(b))
        return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
    return caseKey(a) == caseKey(b);
}

} // namespace tess::text
