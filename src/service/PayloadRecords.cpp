// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/PayloadRecords.h"

#include <algorithm>
#include <numeric>

namespace tidyfox::library {

void PayloadRecords::add(std::int32_t databaseId, std::uint64_t start)
{
    m_ascending = m_ascending && (m_ids.empty() || m_ids.back() < databaseId);
    m_ids.push_back(databaseId);
    m_starts.push_back(start);
}

void PayloadRecords::append(const PayloadRecords &other, std::uint64_t shift)
{
    m_ids.reserve(m_ids.size() + other.m_ids.size());
    m_starts.reserve(m_starts.size() + other.m_starts.size());
    for (std::size_t i = 0; i < other.m_ids.size(); ++i)
        add(other.m_ids[i], other.m_starts[i] + shift);
}

void PayloadRecords::finish(std::uint64_t end)
{
    m_starts.push_back(end);
    m_ids.shrink_to_fit();
    m_starts.shrink_to_fit();
    if (m_ascending)
        return;
    m_byId.resize(m_ids.size());
    std::iota(m_byId.begin(), m_byId.end(), 0u);
    std::sort(m_byId.begin(), m_byId.end(), [&](std::uint32_t a, std::uint32_t b) { return m_ids[a] < m_ids[b]; });
}

std::optional<PayloadRecords::Span> PayloadRecords::find(std::int32_t databaseId) const
{
    std::size_t at = 0;
    if (m_ascending) {
        const auto found = std::lower_bound(m_ids.begin(), m_ids.end(), databaseId);
        if (found == m_ids.end() || *found != databaseId)
            return std::nullopt;
        at = std::size_t(found - m_ids.begin());
    } else {
        const auto found = std::lower_bound(m_byId.begin(), m_byId.end(), databaseId,
                                            [&](std::uint32_t row, std::int32_t id) { return m_ids[row] < id; });
        if (found == m_byId.end() || m_ids[*found] != databaseId)
            return std::nullopt;
        at = *found;
    }
    if (at + 1 >= m_starts.size())
        return std::nullopt; // not finished
    return Span{m_starts[at], m_starts[at + 1] - m_starts[at]};
}

} // namespace tidyfox::library
