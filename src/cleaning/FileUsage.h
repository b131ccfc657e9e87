// SPDX-License-Identifier: GPL-3.0-or-later
// Which files the tracks still in the library use, so that removing one entry
// of a file that was added twice never takes the music from the entry that
// stays. Two locations use the same file when they are the same path once
// normalised, or reach the same device and inode (another path, a symlinked
// folder, a hard link).
#pragma once

#include "cleaning/FolderProbe.h"
#include "system/FileSystem.h"

#include <QHash>
#include <QString>
#include <optional>

namespace tidyfox::cleaning {

class FileUsage
{
public:
    struct Use
    {
        QString path; // normalised
        // The file as the disk showed it when the use was read; its id tells
        // other spellings of the same file.
        std::optional<system::FileStamp> stamp;
    };

    // The file a location names; the location must not be empty.
    static Use useOf(system::FileSystem &fs, const QString &location);

    // Room for count uses.
    void reserve(qsizetype count)
    {
        m_paths.reserve(count);
        m_ids.reserve(count);
    }
    void add(const Use &use);
    void release(const Use &use);
    // Whether a use other than own (which must have been added) names the
    // same file.
    bool sharedBeyond(const Use &own) const;
    // Whether any use added names the same file as use.
    bool touches(const Use &use) const;

private:
    QHash<QString, int> m_paths;
    QHash<system::FileId, int> m_ids;
};

// The files a run may send to the trash, and which other tracks could use
// one of them: only those are worth a question to the disk. Another track
// could reach such a file by its name (the same entry through another
// spelling of its folder, compared as loosely as a file system compares
// names), as a symlink or anything else its folder's listing does not vouch
// for, or by any path when one of the files has more than one name.
class FilesThatMayGo
{
public:
    // fs: one picture of the folders, made before any file of the run moves.
    explicit FilesThatMayGo(ListedFolders &fs) : m_fs(fs) {}

    // A file that may go, at location, as use saw it.
    void add(const QString &location, const FileUsage::Use &use);
    // The use of another track's location when it names one of the files
    // that may go; nothing when it cannot.
    std::optional<FileUsage::Use> useReaching(const QString &location);

private:
    ListedFolders &m_fs;
    QSet<QString> m_paths;
    QSet<system::FileId> m_ids;
    EntryNames m_names;
    bool m_otherNames = false;
};

} // namespace tidyfox::cleaning
