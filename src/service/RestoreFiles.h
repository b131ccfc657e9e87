// SPDX-License-Identifier: GPL-3.0-or-later
// A restore's files on their way back from the trash, one at a time, so that
// a process killed at any moment leaves each file in exactly one place: its
// old place or the trash. A file's identity (device and inode) is written
// down before it moves; a later run knows the file at the old place with that
// identity as one it moved itself.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tidyfox::library {

struct FileIdentity
{
    std::int64_t device = 0;
    std::int64_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

// The identity of what is at path (the link itself, not what it points at).
std::optional<FileIdentity> fileIdentity(const QString &path);

// What became of one file.
enum class FileReturn {
    Back,  // moved back now, or found back from an earlier run
    Stays, // left in the trash (a file is at the old place, or the old place
           // is not one of this machine), or lost from it
};

// One file of a restore. trashedPath's .trashinfo (infoPath, may be empty)
// goes as soon as the file is out of the trash; its text is kept so that
// putBack can write it again.
class RestoreFile
{
public:
    RestoreFile(QString originalPath, QString trashedPath, QString infoPath, std::optional<FileIdentity> movedBefore)
        : m_originalPath(std::move(originalPath)), m_trashedPath(std::move(trashedPath)),
          m_infoPath(std::move(infoPath)), m_movedBefore(movedBefore)
    {}

    FileReturn bringBack();
    // Into the trash again, with its .trashinfo, after the library change
    // failed.
    void putBack();

private:
    void dropInfo();

    QString m_originalPath, m_trashedPath, m_infoPath;
    std::optional<FileIdentity> m_movedBefore;
    QByteArray m_info;
    bool m_moved = false;
};

} // namespace tidyfox::library
