// What the other engines' pages bring, on any bytes: targets carried in a
// link's parameters (plain or URL-safe base64), the page key's value of
// every built-in set, and their block page tests. The input is a link,
// the page's address, the page's text and the page numbers, separated by
// 0xFF bytes; parts not given are empty. The link is also offered as the
// bytes a base64 parameter holds.
#include "FuzzCheck.h"

#include "harvest/LinkTarget.h"
#include "harvest/PageHarvest.h"
#include "harvest/PageReader.h"
#include "harvest/RequestAddress.h"
#include "text/Gbk.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

using namespace tess;
using harvest::RuleSet;

namespace {

bool printableAscii(const QByteArray& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// Any bytes survive URL-safe base64 both ways, padded or not, and what
// decodes at all decodes to what its own encoding gives back.
void checkBase64(const QByteArray& bytes)
{
    const auto url = QByteArray::Base64UrlEncoding;
    FUZZ_CHECK(harvest::decodeBase64Url(bytes.toBase64(url)) == bytes);
    FUZZ_CHECK(harvest::decodeBase64Url(bytes.toBase64(url | QByteArray::OmitTrailingEquals)) == bytes);
    if (const std::optional<QByteArray> decoded = harvest::decodeBase64Url(bytes)) {
        FUZZ_CHECK(decoded->size() == (bytes.size() - bytes.count('=')) * 3 / 4);
        FUZZ_CHECK(harvest::decodeBase64Url(decoded->toBase64(url)) == *decoded);
    }
}

// A decoded target is always an address the harvest can write as it is.
void checkDecodedTargets(const QByteArray& value)
{
    using Coding = RuleSet::TargetParameter::Coding;
    const RuleSet::TargetParameter plain { "/link", "url", Coding::Plain };
    const RuleSet::TargetParameter base64 { "/ck/a", "u", Coding::Base64Url, "a1" };
    for (const auto& p : { plain, base64 }) {
        if (const std::optional<QByteArray> target = harvest::decodeTargetValue(p, value)) {
            FUZZ_CHECK(printableAscii(*target));
            FUZZ_CHECK(harvest::isAcceptableTarget(*target));
        }
    }
    // What Bing's click-through carries comes back out of it, escaped as
    // an address would be.
    const QByteArray clickThrough = "https://www.bing.com/ck/a?!&&p=1&u=a1"
        + value.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals) + "&ntb=1";
    const harvest::ParameterTarget found = harvest::findParameterTarget({ base64 }, clickThrough);
    FUZZ_CHECK(found.matched);
    const QByteArray escaped = harvest::escapeForAddress(value);
    FUZZ_CHECK(found.target == (harvest::isAcceptableTarget(escaped) ? escaped : QByteArray()));
}

// Every row a page gives is a link as it was or a target the page named.
void checkRows(const QByteArray& link, const QByteArray& location)
{
    browser::PageSnapshot page;
    page.location = QString::fromLatin1(location);
    const QString offered = QString::fromLatin1(link);
    page.links = { { offered, offered, offered }, { offered, offered } };
    for (const RuleSet& rules : harvest::builtInRuleSets()) {
        const harvest::PageHarvest harvest = harvest::harvestPage(page, rules, rules.defaultHost);
        const QByteArray href = text::toGbk(offered);
        for (const harvest::PageRow& row : harvest.rows) {
            FUZZ_CHECK(!harvest::hasControlCharacter(row.address));
            FUZZ_CHECK(row.address == href || harvest::isAcceptableTarget(row.address));
            FUZZ_CHECK(row.redirect < harvest.redirects.size());
        }
    }
}

// Each page's key value follows the last one's by one page.
void checkPageKeys(const QByteArray& numbers)
{
    quint32 raw = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(numbers.size(), 4); ++i)
        raw = (raw << 8) | static_cast<unsigned char>(numbers[i]);
    const int pageIndex = static_cast<int>(raw % std::numeric_limits<int>::max());
    for (RuleSet rules : harvest::builtInRuleSets()) {
        rules.resultsPerPage = 1 + static_cast<int>(raw % 100);
        const qint64 first = harvest::pageKeyValue(rules, 0);
        const qint64 value = harvest::pageKeyValue(rules, pageIndex);
        const qint64 step
            = rules.pageNumbering == RuleSet::PageNumbering::PageFromOne ? 1 : rules.resultsPerPage;
        FUZZ_CHECK(first == (rules.pageNumbering == RuleSet::PageNumbering::OffsetFromZero ? 0 : 1));
        FUZZ_CHECK(value == first + qint64(pageIndex) * step);
        const QByteArray address = harvest::requestAddress(rules, "b=", pageIndex);
        FUZZ_CHECK(address == "b=" + QByteArray::number(value) + rules.requestTail);
    }
}

// A block page stays one whatever is added to its text, and a page on one
// of a set's block paths is one whatever its host and query.
void checkBlockPages(const QByteArray& location, const QByteArray& text)
{
    browser::PageSnapshot page;
    page.location = QString::fromLatin1(location);
    page.title = page.bodyText = QString::fromUtf8(text);
    for (const RuleSet& rules : harvest::builtInRuleSets()) {
        if (harvest::isVerificationPage(rules, page)) {
            browser::PageSnapshot more = page;
            more.title += u'x';
            more.bodyText.prepend(u"y\n");
            FUZZ_CHECK(harvest::isVerificationPage(rules, more));
        }
        for (const QByteArray& path : rules.verifyPaths) {
            browser::PageSnapshot onPath;
            onPath.location
                = QString::fromLatin1("http://127.0.0.1:8642" + path + "?" + location.toPercentEncoding());
            FUZZ_CHECK(harvest::isVerificationPage(rules, onPath));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QList<QByteArray> parts
        = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
              .split('\xFF');
    const QByteArray link = parts.value(0);
    const QByteArray location = parts.value(1);
    checkBase64(link);
    checkDecodedTargets(link);
    checkRows(link, location);
    checkPageKeys(parts.value(3));
    checkBlockPages(location, parts.value(2));
    return 0;
}
