// SPDX-License-Identifier: GPL-3.0-or-later
// Asking the disk about many library files in one run: each folder is listed
// once, and only a file its folder's listing does not vouch for is asked
// about on its own. A library of a million tracks lives in a few thousand
// folders, so a run asks the disk a few thousand times instead of a million.
#pragma once

#include "system/FileSystem.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tidyfox::cleaning {

// The file system as one run sees it: the listings it made are kept for the
// run (a listing is a picture of the folder when it was made, so the object
// lives no longer than the run that asks). Everything but fileExists goes to
// the file system unchanged.
class ListedFolders : public system::FileSystem
{
public:
    explicit ListedFolders(system::FileSystem &fs);
    ~ListedFolders() override;
    ListedFolders(const ListedFolders &) = delete;
    ListedFolders &operator=(const ListedFolders &) = delete;

    // The folders of some locations, each once, in the order first named.
    class FolderList
    {
    public:
        void add(QStringView location);

    private:
        friend class ListedFolders;
        std::vector<QString> m_folders;
        std::unordered_set<std::uint64_t> m_seen; // by the folders' hashes: a clash only leaves one out
    };
    // Lists folders on a second thread, in the order given (the order the
    // run will ask for them), ahead of the run: a review of a large library
    // asks about the files of thousands of folders in turn, and listing them
    // is most of its time at the disk. A folder the run asks about before
    // that thread reached it is listed by the run. Nothing happens when the
    // file system is asked from one thread only.
    void listAhead(FolderList folders);

    // What location's folder listing says about its entry.
    enum class Entry {
        RegularFile, // a regular file of exactly its name
        Missing,     // the folder is not there, or holds no entry of the name in any spelling
        Unknown,     // anything else: the disk must be asked
    };
    Entry entryOf(QStringView location);
    // Whether location's folder was listed whole and holds regular files
    // only (no symlink, folder or entry of a kind the listing does not
    // tell): then location reaches, if anything, a regular file of its
    // folder whose name is location's in some spelling, and no other.
    bool amongRegularFilesOnly(QStringView location);
    // The same two from the folders listed so far only: nothing when
    // location's folder has not been listed. They change nothing, so that
    // two threads may ask them at once while nothing else is asked.
    std::optional<Entry> listedEntryOf(QStringView location) const;
    std::optional<bool> listedAmongRegularFilesOnly(QStringView location) const;

    bool fileExists(const QString &path) override;
    system::TrashedFile moveToTrash(const QString &path, const system::BeforeTrashMove &beforeMove) override
    {
        return m_fs.moveToTrash(path, beforeMove);
    }
    void restoreFromTrash(const system::TrashedFile &trashed, const QString &path) override
    {
        m_fs.restoreFromTrash(trashed, path);
    }
    std::optional<system::FileStamp> stamp(const QString &path) override { return m_fs.stamp(path); }
    QString whyItStays(const QString &path) override { return m_fs.whyItStays(path); }
    system::FolderListing listFolder(const QString &path) override { return m_fs.listFolder(path); }
    bool mayHaveOtherNames(const QString &path) override { return m_fs.mayHaveOtherNames(path); }
    system::FileLook look(const QString &path, bool withWhy) override { return m_fs.look(path, withWhy); }

private:
    // Hashes of names in a flat table, looked up with a probe or two: a run
    // looks up nearly every track's name in its folder's listing. Slot is
    // a pair of hashes, or one.
    template<typename Slot> class HashSet
    {
    public:
        void reserve(size_t count);
        void insert(Slot hash);
        bool contains(Slot hash) const;

    private:
        std::vector<Slot> m_slots; // Slot{}: free
        size_t m_used = 0;
    };
    using Hashes = std::pair<std::uint64_t, std::uint64_t>;
    // A listing kept small: two independent 64-bit hashes of each regular
    // file's name. A name must match both to count, which two different
    // names do with a chance far below that of a disk error.
    struct Listing
    {
        bool missing = false;
        bool listed = false;
        HashSet<Hashes> names;
        // When the listing told every entry: the folded keys of all their
        // names (EntryNames' keys).
        bool complete = false;
        bool regularOnly = false; // complete, and every entry a regular file
        HashSet<std::uint64_t> folded;
    };
    static Hashes nameHash(QStringView name);
    static Listing listingFrom(system::FileSystem &fs, const QString &folder);
    const Listing &listingOf(QStringView folder);
    static Entry entryIn(const Listing &listing, QStringView name);
    class Ahead;
    std::unique_ptr<Ahead> m_ahead;

    system::FileSystem &m_fs;
    // By the hash of the folder's text, so that a look-up copies nothing.
    struct Folder
    {
        QString path;
        Listing listing;
    };
    QHash<std::uint64_t, std::vector<Folder>> m_folders;
    // The folder's entry in m_folders when it has been listed.
    const Folder *listedFolder(QStringView folder) const;
    // The folder looked up last: the tracks of an album follow each other.
    const Folder *m_last = nullptr;
};

// The names of some locations' entries, compared as loosely as a file system
// may compare them (case and Unicode composition aside), so that another
// spelling of the same entry is never taken for another file. Kept as
// hashes: two names of one hash only cost the disk a question more.
class EntryNames
{
public:
    void reserve(qsizetype count) { m_keys.reserve(count); }
    void add(QStringView location);
    bool mayName(QStringView location) const;

private:
    friend class ListedFolders;
    static std::uint64_t keyOf(QStringView location);
    QSet<std::uint64_t> m_keys;
};

} // namespace tidyfox::cleaning
