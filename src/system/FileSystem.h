// SPDX-License-Identifier: GPL-3.0-or-later
// The few file operations the cleaning jobs need, behind an interface so that
// the jobs can be tested without touching real files.
#pragma once

#include "system/Trash.h"

#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <compare>
#include <cstdint>
#include <memory>
#include <optional>

namespace tidyfox::system {

// Which file a path reaches: the device and inode after following symlinks.
// Two paths with equal ids name the same file (another spelling, a symlinked
// folder or a hard link).
struct FileId
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileId &) const = default;
};

// A file as a removal saw it: which file, and its size and modification time,
// so that a file replaced or rewritten since is told from the one shown.
struct FileStamp
{
    FileId id;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp &) const = default;
};

inline size_t qHash(const FileId &id, size_t seed = 0)
{
    return qHashMulti(seed, id.device, id.inode);
}

// The text after the last "/" of path; empty for an empty path.
QString fileNameOf(const QString &path);

// False for an empty path and for one holding a NUL: the system would read
// such a path only up to the NUL and reach another file.
bool isUsablePath(const QString &path);

// path with "." and ".." folded and doubled separators removed, without asking
// the disk; two equal results name the same entry unless symlinks intervene.
QString normalisedPath(const QString &path);

// What one listing of a folder tells about the files in it, so that a run
// over a large library asks each folder once rather than each file.
struct FolderListing
{
    bool missing = false; // the folder is not there, so nothing in it is
    bool listed = false;  // names holds the regular files in it
    // As the listing spells them, in no order; symlinks, folders and entries
    // of a kind the listing does not tell are left out.
    QStringList names;
    // The names of those other entries, and whether names and otherNames
    // together are every entry of the folder (a name that does not decode
    // could stand for any other): then a name in neither is nowhere in it.
    QStringList otherNames;
    bool complete = false;
};

// What one look at a file's entry tells: the file it reaches, as stamp()
// gives it, whether other names may reach it, as mayHaveOtherNames(), and,
// when asked for, why it must not go to the trash, as whyItStays().
struct FileLook
{
    std::optional<FileStamp> stamp;
    bool mayHaveOtherNames = true;
    QString whyItStays;
};

class FileSystem
{
public:
    virtual ~FileSystem() = default;
    // True when a file (not a folder) exists at path; false for an empty path.
    virtual bool fileExists(const QString &path) = 0;
    // Moves the file at path to the user's trash, calling beforeMove (when
    // set) as the trash's moveToTrash does. Throws TrashError, leaving the
    // file where it was, when the trash cannot take it.
    virtual TrashedFile moveToTrash(const QString &path, const BeforeTrashMove &beforeMove) = 0;
    // Puts a file moved to the trash back at path. Throws TrashError when it
    // cannot (something is at path now); the file stays in the trash.
    virtual void restoreFromTrash(const TrashedFile &trashed, const QString &path) = 0;
    // The file path reaches (after symlinks), or nothing when it cannot be
    // reached.
    virtual std::optional<FileStamp> stamp(const QString &path) = 0;
    // Why the file at path must not go to the trash, in a few words for a
    // person ("it does not look like audio"); empty when it may go. Only a
    // regular file named and starting like audio may go, and never one inside
    // a trash, the library's own folder or a hidden folder: a library entry
    // can point anywhere.
    virtual QString whyItStays(const QString &path) = 0;
    // The folder at path (followed as fileExists follows it) listed once.
    virtual FolderListing listFolder(const QString &path) = 0;
    // Whether the file at path may be reached by a name other than its own
    // entry's in its folder: a symlink, a file with more than one hard link,
    // or one the disk does not tell about.
    virtual bool mayHaveOtherNames(const QString &path) = 0;
    // stamp, mayHaveOtherNames and (withWhy) whyItStays at once: a review
    // asks them all of every copy, and for a plain file one question to the
    // disk answers the first two and half the third.
    virtual FileLook look(const QString &path, bool withWhy)
    {
        return {stamp(path), mayHaveOtherNames(path), withWhy ? whyItStays(path) : QString()};
    }
    // A file system of the same disk for another thread to ask at the same
    // time, or none when this one is asked from one thread only.
    virtual std::unique_ptr<FileSystem> forAnotherThread() { return nullptr; }
};

} // namespace tidyfox::system
