// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateFilter.h"

namespace tidyfox::cleaning {

DuplicateFilter::DuplicateFilter(const QString &text) : m_items(text.split(QLatin1Char(','))) {}

bool DuplicateFilter::isValid() const
{
    for (int i = 0; i < kFilterProperties && i < m_items.size(); ++i) {
        if (m_items.at(i) == QLatin1String("true"))
            return true;
    }
    return false;
}

bool DuplicateFilter::checked(int position) const
{
    return position >= 0 && position < m_items.size() && m_items.at(position).toLower() == QLatin1String("true");
}

std::optional<bool> DuplicateFilter::keepFiles() const
{
    if (m_items.size() <= kFilterKeepFiles)
        return std::nullopt;
    return checked(kFilterKeepFiles);
}

bool DuplicateFilter::soundAlike() const
{
    return m_items.size() > kFilterMatching &&
           m_items.at(kFilterMatching).split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(QLatin1String("sound"));
}

bool DuplicateFilter::loose() const
{
    return m_items.size() > kFilterMatching &&
           m_items.at(kFilterMatching).split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(QLatin1String("loose"));
}

} // namespace tidyfox::cleaning
