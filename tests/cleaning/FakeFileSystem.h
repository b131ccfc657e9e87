// Files as a table of paths, so that the cleaning jobs can run over thousands
// of made-up libraries: several paths may name one file (a symlinked folder, a
// hard link), a path may refuse to go to the trash, and every probe and move
// is recorded.
#pragma once

#include "system/FileSystem.h"
#include "system/Trash.h"

#include <QStringList>
#include <map>
#include <set>

namespace tidyfox::cleaning::test {

class FakeFileSystem : public system::FileSystem
{
public:
    // A file at path; paths given the same inode name the same file.
    void AddFile(const QString &path, std::uint64_t inode) { m_files[system::normalisedPath(path)] = inode; }
    // moveToTrash of path fails as a full or read-only trash would.
    void RefuseTrash(const QString &path) { m_refused.insert(system::normalisedPath(path)); }
    // identity of path fails although the file is there (no permission).
    void HideIdentity(const QString &path) { m_hidden.insert(system::normalisedPath(path)); }
    bool Has(const QString &path) const { return m_files.count(system::normalisedPath(path)) != 0; }

    bool fileExists(const QString &path) override
    {
        ++probes;
        return !path.isEmpty() && Has(path);
    }
    system::TrashedFile moveToTrash(const QString &path, const system::BeforeTrashMove &beforeMove) override
    {
        const QString key = system::normalisedPath(path);
        if (m_refused.count(key) || !m_files.count(key))
            throw system::TrashError(QStringLiteral("the trash cannot take ") + path);
        if (beforeMove)
            beforeMove({key, {}});
        m_inTrash[key] = m_files[key];
        m_files.erase(key);
        trashed << path;
        return {key, {}};
    }
    void restoreFromTrash(const system::TrashedFile &file, const QString &path) override
    {
        const QString key = system::normalisedPath(path);
        const auto found = m_inTrash.find(file.trashedPath);
        if (found == m_inTrash.end() || m_files.count(key))
            throw system::TrashError(QStringLiteral("cannot put back ") + path);
        m_files[key] = found->second;
        m_inTrash.erase(found);
        restored << path;
    }
    std::optional<system::FileId> identity(const QString &path) override
    {
        const QString key = system::normalisedPath(path);
        const auto found = m_files.find(key);
        if (found == m_files.end() || m_hidden.count(key))
            return std::nullopt;
        return system::FileId{1, found->second};
    }

    QStringList trashed;  // paths handed to moveToTrash that went, in order
    QStringList restored; // paths put back from the trash, in order
    int probes = 0;       // fileExists calls

private:
    std::map<QString, std::uint64_t> m_files;
    std::map<QString, std::uint64_t> m_inTrash;
    std::set<QString> m_refused;
    std::set<QString> m_hidden;
};

} // namespace tidyfox::cleaning::test
