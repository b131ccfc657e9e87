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

bool FileUsage::touches(const Use &use) const
{
    return m_paths.contains(use.path) || (use.stamp && m_ids.contains(use.stamp->id));
}

void FilesThatMayGo::add(const QString &location, const FileUsage::Use &use)
{
    m_paths.insert(use.path);
    if (use.stamp) {
        m_ids.insert(use.stamp->id);
        m_names.add(location);
        m_otherNames = m_otherNames || m_fs.mayHaveOtherNames(location);
    }
}

std::optional<FileUsage::Use> FilesThatMayGo::useReaching(const QString &location)
{
    if (!m_names.mayName(location)) {
        const ListedFolders::Entry seen = m_fs.entryOf(location);
        if (seen == ListedFolders::Entry::Missing || (seen == ListedFolders::Entry::RegularFile && !m_otherNames))
            return std::nullopt;
    }
    FileUsage::Use use = FileUsage::useOf(m_fs, location);
    if (m_paths.contains(use.path) || (use.stamp && m_ids.contains(use.stamp->id)))
        return use;
    return std::nullopt;
}

bool FileUsage::sharedBeyond(const Use &own) const
{
    if (m_paths.value(own.path) > 1)
        return true;
    return own.stamp && m_ids.value(own.stamp->id) > 1;
}

} // namespace tidyfox::cleaning
