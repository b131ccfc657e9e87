// SPDX-License-Identifier: GPL-3.0-or-later
// Files as a table of paths, so that the cleaning jobs can run over thousands
// of made-up libraries: several paths may name one file (a symlinked folder, a
// hard link), a path may refuse to go to the trash, and every probe and move
// is recorded.
#pragma once

#include "common/DataFolders.h"
#include "system/FileSystem.h"
#include "system/Trash.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <map>
#include <set>

namespace tidyfox::cleaning::test {

class FakeFileSystem : public system::FileSystem
{
public:
    // A file at path; paths given the same inode name the same file.
    void addFile(const QString &path, std::uint64_t inode) { m_files[system::normalisedPath(path)] = inode; }
    // moveToTrash of path fails as a full or read-only trash would.
    void refuseTrash(const QString &path) { m_refused.insert(system::normalisedPath(path)); }
    // identity of path fails although the file is there (no permission).
    void hideIdentity(const QString &path) { m_hidden.insert(system::normalisedPath(path)); }
    bool has(const QString &path) const { return m_files.count(system::normalisedPath(path)) != 0; }

    bool fileExists(const QString &path) override
    {
        ++probes;
        return !path.isEmpty() && has(path);
    }
    system::TrashedFile moveToTrash(const QString &path, const system::BeforeTrashMove &beforeMove) override
    {
        const QString key = system::normalisedPath(path);
        if (m_refused.count(key) || !m_files.count(key))
            throw system::TrashError(QStringLiteral("the trash cannot take ") + path);
        // The entry lies in the test's own trash as the real one lays it out,
        // since the library takes in only such places: a placeholder file
        // and an info file recording where it was.
        const QString name = QString::number(++m_trashedCount) + QLatin1Char('-') + system::fileNameOf(key);
        const QString trash = homeTrashFolder();
        const system::TrashedFile place{trash + QStringLiteral("/files/") + name,
                                        trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")};
        if (beforeMove)
            beforeMove(place);
        QDir().mkpath(trash + QStringLiteral("/files"));
        QDir().mkpath(trash + QStringLiteral("/info"));
        QFile placeholder(place.trashedPath);
        QFile info(place.infoPath);
        if (!placeholder.open(QIODevice::WriteOnly) || !info.open(QIODevice::WriteOnly))
            throw system::TrashError(QStringLiteral("the test's trash cannot be written"));
        info.write("[Trash Info]\nPath=" + key.toUtf8().toPercentEncoding("/") + "\n");
        m_inTrash[place.trashedPath] = m_files[key];
        m_files.erase(key);
        trashed << path;
        return place;
    }
    void restoreFromTrash(const system::TrashedFile &file, const QString &path) override
    {
        const QString key = system::normalisedPath(path);
        const auto found = m_inTrash.find(file.trashedPath);
        if (found == m_inTrash.end() || m_files.count(key))
            throw system::TrashError(QStringLiteral("cannot put back ") + path);
        m_files[key] = found->second;
        m_inTrash.erase(found);
        QFile::remove(file.trashedPath);
        QFile::remove(file.infoPath);
        restored << path;
    }
    std::optional<system::FileStamp> stamp(const QString &path) override
    {
        const QString key = system::normalisedPath(path);
        const auto found = m_files.find(key);
        if (found == m_files.end() || m_hidden.count(key))
            return std::nullopt;
        return system::FileStamp{{1, found->second}, 0, 0};
    }
    QString whyItStays(const QString &) override { return {}; }
    // Every file is a regular one; a folder is there while a file is in it.
    system::FolderListing listFolder(const QString &path) override
    {
        ++listings;
        const QString prefix = system::normalisedPath(path) + QLatin1Char('/');
        system::FolderListing listing;
        listing.missing = true;
        for (const auto &[file, inode] : m_files) {
            if (!file.startsWith(prefix))
                continue;
            listing.missing = false;
            const QString rest = file.sliced(prefix.size());
            const qsizetype slash = rest.indexOf(QLatin1Char('/'));
            if (slash < 0)
                listing.names.append(rest);
            else if (!listing.otherNames.contains(rest.first(slash)))
                listing.otherNames.append(rest.first(slash));
        }
        listing.listed = !listing.missing;
        listing.complete = listing.listed;
        return listing;
    }
    // Paths of one inode but of other names are hard links (or symlinks).
    bool mayHaveOtherNames(const QString &path) override
    {
        const QString key = system::normalisedPath(path);
        const auto found = m_files.find(key);
        if (found == m_files.end() || m_hidden.count(key))
            return true;
        for (const auto &[file, inode] : m_files) {
            if (inode == found->second && system::fileNameOf(file) != system::fileNameOf(key))
                return true;
        }
        return false;
    }

    QStringList trashed;  // paths handed to moveToTrash that went, in order
    QStringList restored; // paths put back from the trash, in order
    int probes = 0;       // fileExists calls
    int listings = 0;     // listFolder calls

private:
    std::map<QString, std::uint64_t> m_files;
    std::map<QString, std::uint64_t> m_inTrash;
    std::set<QString> m_refused;
    std::set<QString> m_hidden;
    int m_trashedCount = 0;
};

} // namespace tidyfox::cleaning::test
