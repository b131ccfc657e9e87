// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/FileUsage.h"

namespace tidyfox::cleaning {

FileUsage::Use FileUsage::useOf(system::FileSystem &fs, const QString &location)
{
    return {system::normalisedPath(location), fs.stamp(location)};
}

void FileUsage::add(const Use &use)
{
    ++m_paths[use.path];
    if (use.stamp)
        ++m_ids[use.stamp->id];
}

void FileUsage::release(const Use &use)
{
    if (--m_paths[use.path] <= 0)
        m_paths.remove(use.path);
    if (use.stamp && --m_ids[use.stamp->id] <= 0)
        m_ids.remove(use.stamp->id);
}

bool FileUsage::sharedBeyond(const Use &own) const
{
    if (m_paths.value(own.path) > 1)
        return true;
    return own.stamp && m_ids.value(own.stamp->id) > 1;
}

} // namespace tidyfox::cleaning
