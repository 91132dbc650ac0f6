// The site of each line of an address list: reading the address and asking
// the public suffix list for its registrable domain, then a site list's
// answer for the same lines. Lines as harvests write them: mostly plain
// ASCII hosts under common suffixes, some IDNs, some IP addresses; each
// host once in a pass (hosts), or a thousand hosts over and over, as lists
// of harvested links name them (repeatedHosts).
#include "sites/SiteAddress.h"

#include <benchmark/benchmark.h>

#include <QList>

using namespace tess::sites;

namespace {

QList<QByteArray> makeLines(int count, int hosts)
{
    const char* const suffixes[] = { "com", "com.cn", "cn", "co.uk", "github.io", "org", "net", "de" };
    QList<QByteArray> lines;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i % hosts);
        const QByteArray page = QByteArray::number(i);
        switch (i % 20) {
        case 0:
            lines.append("http://192.168." + QByteArray::number(i % 256) + ".1/index.html");
            break;
        case 1:
            lines.append("http://www.例子" + n + ".中国/路径?id=" + n);
            break;
        default:
            lines.append((i % 3 ? "http://www.site" : "https://bbs.sub.site") + n + "."
                + suffixes[i % std::size(suffixes)] + "/path/page" + page + ".html?id=" + page);
        }
    }
    return lines;
}

void siteKeys(benchmark::State& state)
{
    const QList<QByteArray> lines = makeLines(20000, static_cast<int>(state.range(0)));
    qsizetype found = 0;
    for (auto _ : state) {
        for (const QByteArray& line : lines) {
            if (const std::optional<SiteAddress> address = readSiteAddress(line))
                found += registrableDomain(*address).size();
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * lines.size());
}
BENCHMARK(siteKeys)->ArgName("hosts")->Arg(20000)->Arg(1000)->Unit(benchmark::kMillisecond);

void siteListMatches(benchmark::State& state)
{
    const QList<QByteArray> lines = makeLines(20000, 20000);
    QByteArray listed;
    for (int i = 0; i < 20000; i += 7)
        listed += "site" + QByteArray::number(i) + ".com\n";
    const SiteList list = SiteList::fromLines(listed);
    qsizetype matched = 0;
    for (auto _ : state) {
        for (const QByteArray& line : lines)
            matched += list.matches(line) ? 1 : 0;
    }
    benchmark::DoNotOptimize(matched);
    state.SetItemsProcessed(state.iterations() * lines.size());
}
BENCHMARK(siteListMatches)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
