#include "style/StyleSection.h"

#include <algorithm>
#include <atomic>

namespace korvane {

namespace {
std::atomic<std::uint64_t> g_nextSerial{1};
} // namespace

CStyleSection::CStyleSection() : m_serial(g_nextSerial.fetch_add(1, std::memory_order_relaxed)) {}

int CStyleSection::CreateData() {
    if (m_pData)
        return -1;
    m_pData.emplace();
    return 0;
}

void CStyleSection::ReserveData(std::size_t capacity) {
    if (!m_pData)
        m_pData.emplace();
    m_pData->reserve(capacity);
}

std::size_t CStyleSection::AppendByte(std::uint8_t byte) {
    if (!m_pData)
        m_pData.emplace();
    m_pData->push_back(byte);
    return m_pData->size() - 1;
}

void CStyleSection::RemoveDestination(std::uint32_t slot) {
    auto found = std::find(m_pDestinations.begin(), m_pDestinations.end(), slot);
    if (found != m_pDestinations.end())
        m_pDestinations.erase(found);
}

int CStyleSection::HasDestination(std::uint32_t slot) const {
    return std::find(m_pDestinations.begin(), m_pDestinations.end(), slot) != m_pDestinations.end()
               ? 1
               : 0;
}

void CCsegRecord::AppendByte(std::uint8_t byte) {
    if (!m_pCtab)
        m_pCtab.emplace();
    m_pCtab->push_back(byte);
}

void CCsegRecord::AppendLength(std::uint32_t value) {
    if (!m_pCtab)
        return;
    for (int shift = 24; shift >= 0; shift -= 8)
        m_pCtab->push_back(static_cast<std::uint8_t>(value >> shift));
}

} // namespace korvane
