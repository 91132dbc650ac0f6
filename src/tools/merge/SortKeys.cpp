#include "tools/merge/SortKeys.h"

#include <algorithm>
#include <stdexcept>

namespace tess::tools::keys {

uint32_t CollatorKeys::add(const QByteArray& key)
{
    if (m_bytes.size() + static_cast<size_t>(key.size()) >= kInTail)
        throw std::length_error("too much text outside ASCII to sort");
    const auto offset = static_cast<uint32_t>(m_bytes.size());
    m_bytes.insert(m_bytes.end(), key.begin(), key.end());
    return offset;
}

TableKeys::TableKeys(QByteArrayView text, const LineCollation& order, bool useCodes)
    : m_text(reinterpret_cast<const uint8_t*>(text.data()))
    , m_order(order)
{
    for (unsigned b = 0; b < 256; ++b) {
        const LineCollation::Weight& wt = order.weight(static_cast<uint8_t>(b));
        for (unsigned k = 0; k < wt.size; ++k)
            m_packed[b].bytes = (m_packed[b].bytes << 8) | wt.bytes[k];
        m_packed[b].size = wt.size;
    }
    m_codes = useCodes && order.hasWeightCodes();
    if (m_codes)
        for (uint8_t b = 0x20; b < 0x7F; ++b)
            m_ignoredInLines = m_ignoredInLines || (order.tableCovers(b) && order.weightCode(b) == 0);
    for (unsigned b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        m_takes[b] = order.tableCovers(byte) && (!m_codes || m_ignoredInLines || order.weightCode(byte) != 0);
    }
    if (m_codes)
        findCodeProperties(text);
}

void TableKeys::findCodeProperties(QByteArrayView text)
{
    // Table lines hold only bytes with codes, unless they may hold ignored
    // ones; a byte with a code has weight.
    m_everyByteWeighs = !m_ignoredInLines;
    for (unsigned b = 0; b < 256; ++b)
        if (m_order.weightCode(static_cast<uint8_t>(b)) != 0
            && m_order.weight(static_cast<uint8_t>(b)).size == 0)
            m_everyByteWeighs = false;
    m_direct = m_everyByteWeighs && text.size() < static_cast<qsizetype>(kInTail)
        && m_order.weightCode('\r') == 0 && m_order.weightCode('\n') == 0;
    m_size = static_cast<uint32_t>(std::min<qsizetype>(text.size(), kInTail));
    // Does a code stand for one byte only, up to letter case?
    std::array<int, 256> byteOf;
    byteOf.fill(-1);
    m_codesNameBytes = !m_ignoredInLines;
    for (unsigned b = 0; b < 128; ++b) {
        const uint8_t code = m_order.weightCode(static_cast<uint8_t>(b));
        if (!m_order.tableCovers(static_cast<uint8_t>(b)) || code == 0)
            continue;
        const int folded = (b >= 'A' && b <= 'Z') ? static_cast<int>(b + 32) : static_cast<int>(b);
        if (byteOf[code] != -1 && byteOf[code] != folded)
            m_codesNameBytes = false;
        byteOf[code] = folded;
    }
}

} // namespace tess::tools::keys
