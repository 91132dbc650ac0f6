// --unique domain, in memory and past a budget small enough to spill:
// what comes out is a subsequence of the lines that went in, no two of
// its lines have the same registrable domain, every line without a host
// is kept, and both ways give the same lines. The first byte picks
// --trim root before the step, or not.
#include "FuzzCheck.h"

#include "sites/SiteAddress.h"
#include "tools/list/LineSteps.h"
#include "tools/list/UniqueLines.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QSet>

#include <cstddef>
#include <cstdint>

using namespace tess;

namespace {

class Lines final : public tools::LineStream {
public:
    explicit Lines(const QByteArrayList& lines)
        : m_lines(lines)
    {
    }
    bool next(tools::ListLine& line) override
    {
        if (m_at >= m_lines.size())
            return false;
        line.setText(m_lines[m_at++]);
        return true;
    }

private:
    const QByteArrayList& m_lines;
    qsizetype m_at = 0;
};

QByteArrayList uniqueDomains(const QByteArrayList& in, bool trim, qint64 budget)
{
    Lines lines(in);
    tools::TrimStep trimmed(lines, tools::TrimTo::Root);
    tools::LineStream& upstream = trim ? static_cast<tools::LineStream&>(trimmed) : lines;
    const QString folder = QDir::tempPath();
    tools::UniqueStep step(upstream, tools::LineKey::Domain, budget, folder, folder + QStringLiteral("/t"));
    QByteArrayList out;
    for (tools::ListLine line; step.next(line);)
        out.append(line.text().toByteArray());
    return out;
}

// Whether `part` is `whole` with some lines left out.
bool isSubsequence(const QByteArrayList& part, const QByteArrayList& whole)
{
    qsizetype at = 0;
    for (const QByteArray& line : part) {
        while (at < whole.size() && whole[at] != line)
            ++at;
        if (at++ >= whole.size())
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool trim = data[0] & 1;
    QByteArray text(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    const QByteArrayList in = text.split('\n');

    QByteArrayList reference = in;
    if (trim) {
        Lines lines(in);
        tools::TrimStep step(lines, tools::TrimTo::Root);
        reference.clear();
        for (tools::ListLine line; step.next(line);)
            reference.append(line.text().toByteArray());
    }
    const QByteArrayList inMemory = uniqueDomains(in, trim, qint64(64) << 20);
    const QByteArrayList spilled = uniqueDomains(in, trim, 4096);
    FUZZ_CHECK(inMemory == spilled);
    FUZZ_CHECK(isSubsequence(inMemory, reference));
    QSet<QByteArray> domains;
    qsizetype withoutHost = 0;
    for (const QByteArray& line : inMemory) {
        const std::optional<sites::SiteAddress> site = sites::readSiteAddress(line);
        if (!site) {
            ++withoutHost;
            continue;
        }
        const QByteArray domain = sites::registrableDomain(*site);
        FUZZ_CHECK(!domains.contains(domain));
        domains.insert(domain);
    }
    qsizetype inWithoutHost = 0;
    for (const QByteArray& line : reference)
        inWithoutHost += sites::readSiteAddress(line) ? 0 : 1;
    FUZZ_CHECK(withoutHost == inWithoutHost);
    return 0;
}
