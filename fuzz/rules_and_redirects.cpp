// What comes from outside on today's pages, on any bytes: a user's rule set
// file, a redirector's answer and the links of a page. The input is the
// rule file, the answer's Location header, the answer's body and a link,
// separated by 0xFF bytes; the first byte of the body part picks the
// answer's status. Parts not given are empty. The link is also offered as
// a result page's link, as the target a redirect link carries and as its
// text.
#include "FuzzCheck.h"

#include "harvest/PageHarvest.h"
#include "harvest/PageReader.h"
#include "harvest/RedirectResolver.h"
#include "harvest/RequestAddress.h"
#include "harvest/RuleSetFile.h"
#include "text/Gbk.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <variant>

using namespace tess;

namespace {

bool printableAscii(const QByteArray& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

void checkRuleFile(const QByteArray& content)
{
    const QString fileName = QStringLiteral("fuzz.rules");
    const harvest::RuleSetFileResult result
        = harvest::parseRuleSetFile(content, fileName, harvest::builtInRuleSets());
    if (const auto* error = std::get_if<harvest::RuleSetFileError>(&result)) {
        FUZZ_CHECK(error->line >= 1 && error->line <= content.count('\n') + 1);
        FUZZ_CHECK(error->message.contains(fileName));
        return;
    }
    const harvest::RuleSet& rules = std::get<harvest::RuleSet>(result);
    FUZZ_CHECK(!rules.name.isEmpty());
    FUZZ_CHECK(rules.requestPath.startsWith('/'));
    FUZZ_CHECK(printableAscii(rules.requestPath) && printableAscii(rules.pageKey));
    FUZZ_CHECK(rules.scheme == "http" || rules.scheme == "https");
    FUZZ_CHECK(rules.resultsPerPage >= 1 && rules.resultsPerPage <= 100);
    FUZZ_CHECK(rules.pager != harvest::RuleSet::Pager::LinkWithId || !rules.pagerId.isEmpty());
    FUZZ_CHECK(rules.pager != harvest::RuleSet::Pager::LinkWithClass || !rules.pagerClass.isEmpty());
    FUZZ_CHECK(harvest::parseEngineAddress(rules.defaultHost).has_value());
    for (const harvest::RuleSet::TargetParameter& p : rules.targetParameters)
        FUZZ_CHECK(p.path.startsWith('/') && !p.key.isEmpty());
    // A set read from a file asks and reads like any other.
    const harvest::PageRules page(rules, "127.0.0.1:8642", "http://127.0.0.1:8642/baidu?word=x");
    (void)page.classify("http://127.0.0.1:8642/link?url=x");
    (void)page.classify("https://a.example.org/");
}

// Whatever a page offers, the rows it gives hold no control character in
// their addresses, so no row can be cut in two or forge a field.
void checkPageRows(const QByteArray& link, const QByteArray& target)
{
    const QString offered = QString::fromLatin1(link);
    browser::PageSnapshot page;
    page.location = QStringLiteral("https://www.baidu.com/s?wd=x");
    page.links = {
        { offered, offered },
        { QStringLiteral("http://www.baidu.com/link?url=a"), offered, offered },
        { QStringLiteral("http://www.baidu.com/link?url=b"), offered },
    };
    const harvest::RuleSet rules = harvest::todayRules();
    const harvest::PageHarvest harvest = harvest::harvestPage(page, rules, "www.baidu.com");
    FUZZ_CHECK(harvest.redirects.size() <= 2);
    const harvest::TakenRows taken = harvest::takeRows(
        harvest, harvest::RedirectTargets(harvest.redirects.size(), target), rules, "www.baidu.com");
    const QByteArray href = text::toGbk(offered);
    for (const harvest::TakenRow& row : taken.rows) {
        FUZZ_CHECK(!harvest::hasControlCharacter(row.address));
        // Anything but the link's own address is a target the page named.
        FUZZ_CHECK(row.address == href || harvest::isAcceptableTarget(row.address));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QList<QByteArray> parts
        = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
              .split('\xFF');
    const QByteArray ruleFile = parts.value(0);
    checkRuleFile(ruleFile);

    browser::RedirectAnswer answer;
    answer.location = parts.value(1);
    answer.body = parts.value(2);
    static constexpr int kStatuses[] = { 200, 301, 302, 303, 307, 308, 404, 500 };
    answer.status = kStatuses[answer.body.isEmpty() ? 0 : static_cast<unsigned char>(answer.body[0]) % 8];
    const QByteArray requested = "http://127.0.0.1:8642/link?url=token";
    const QByteArray target = harvest::redirectTarget(answer, requested);
    // A target is a web address the harvest can write as it is.
    FUZZ_CHECK(target.isEmpty() || target.startsWith("http://") || target.startsWith("https://"));
    FUZZ_CHECK(printableAscii(target));
    FUZZ_CHECK(target.isEmpty() || harvest::isAcceptableTarget(target));

    const QByteArray link = parts.value(3);
    const QByteArray host = harvest::hostOf(link);
    FUZZ_CHECK(host == host.toLower());
    const harvest::PageRules today(harvest::todayRules(), "www.baidu.com", "https://www.baidu.com/s?wd=x");
    const harvest::LinkKind kind = today.classify(link);
    FUZZ_CHECK(kind == harvest::LinkKind::Skip || link.startsWith("http://") || link.startsWith("https://"));
    checkPageRows(link, target);
    return 0;
}
