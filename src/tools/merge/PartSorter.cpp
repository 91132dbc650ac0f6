#include "tools/merge/PartSorter.h"

#include "tools/merge/DistinctSort.h"
#include "tools/merge/LineCollation.h"

namespace tess::tools {

PartSorter::PartSorter(size_t parts)
    : m_texts(parts)
    , m_sorted(parts)
    , m_failed(parts)
{
}

PartSorter::~PartSorter() { join(); }

void PartSorter::start(QByteArray text, const LineCollation& order)
{
    const size_t i = m_workers.size();
    m_texts[i] = std::move(text);
    m_workers.emplace_back([this, i, &order] {
        try {
            m_sorted[i] = sortDistinct(m_texts[i], order).content;
        } catch (...) {
            m_failed[i] = std::current_exception();
        }
        m_texts[i] = QByteArray();
    });
}

std::vector<QByteArray> PartSorter::finish()
{
    join();
    for (const std::exception_ptr& e : m_failed)
        if (e)
            std::rethrow_exception(e);
    m_sorted.resize(m_workers.size());
    m_workers.clear();
    return std::move(m_sorted);
}

void PartSorter::join()
{
    for (std::thread& t : m_workers)
        if (t.joinable())
            t.join();
}

} // namespace tess::tools
