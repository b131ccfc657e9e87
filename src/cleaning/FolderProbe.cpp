// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/FolderProbe.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tidyfox::cleaning {
namespace {

// The folder and the name of location's entry in it, as the system reads the
// path, when its folder's listing can answer for it: none when location has
// no folder part, names a folder or holds a NUL.
std::optional<std::pair<QStringView, QStringView>> listedPath(QStringView location)
{
    const qsizetype slash = location.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash + 1 == location.size() || location.contains(QChar(0)))
        return std::nullopt;
    return std::pair{slash == 0 ? location.first(1) : location.first(slash), location.sliced(slash + 1)};
}

} // namespace

namespace {

// Where a hash starts looking in a table of mask + 1 slots.
size_t firstSlot(std::uint64_t hash, size_t mask)
{
    return size_t(hash) & mask;
}
size_t firstSlot(const std::pair<std::uint64_t, std::uint64_t> &hashes, size_t mask)
{
    return size_t(hashes.first) & mask;
}

// The hash as a table keeps it: zero marks a free slot, so a name of hash
// zero is kept as one of another hash, as unlikely as any two names sharing
// a hash.
std::uint64_t kept(std::uint64_t hash)
{
    return hash == 0 ? 1 : hash;
}
std::pair<std::uint64_t, std::uint64_t> kept(const std::pair<std::uint64_t, std::uint64_t> &hashes)
{
    return hashes == std::pair<std::uint64_t, std::uint64_t>{} ? std::pair<std::uint64_t, std::uint64_t>{0, 1} : hashes;
}

} // namespace

template<typename Slot> void ListedFolders::HashSet<Slot>::reserve(size_t count)
{
    // At most three quarters taken.
    size_t room = 16;
    while (room * 3 < count * 4)
        room *= 2;
    m_slots.assign(room, Slot{});
    m_used = 0;
}

template<typename Slot> void ListedFolders::HashSet<Slot>::insert(Slot hash)
{
    hash = kept(hash);
    if ((m_used + 1) * 4 > m_slots.size() * 3) {
        const std::vector<Slot> old = std::move(m_slots);
        reserve((m_used + 1) * 2);
        for (const Slot &held : old) {
            if (held != Slot{})
                insert(held);
        }
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = firstSlot(hash, mask);; slot = (slot + 1) & mask) {
        if (m_slots[slot] == hash)
            return;
        if (m_slots[slot] == Slot{}) {
            m_slots[slot] = hash;
            ++m_used;
            return;
        }
    }
}

template<typename Slot> bool ListedFolders::HashSet<Slot>::contains(Slot hash) const
{
    if (m_slots.empty())
        return false;
    hash = kept(hash);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = firstSlot(hash, mask);; slot = (slot + 1) & mask) {
        if (m_slots[slot] == hash)
            return true;
        if (m_slots[slot] == Slot{})
            return false;
    }
}

// Two hashes of text that share nothing but the text: a name is looked up a
// million times in a run, where Qt's seeded string hash costs more than all
// the rest of the look-up.
ListedFolders::Hashes ListedFolders::nameHash(QStringView name)
{
    std::uint64_t a = 0xcbf29ce484222325u;
    std::uint64_t b = 0x84222325cbf29ce4u ^ std::uint64_t(name.size());
    for (const QChar c : name) {
        a = (a ^ c.unicode()) * 0x100000001b3u;
        b = (b + c.unicode()) * 0x9e3779b97f4a7c15u;
        b ^= b >> 29;
    }
    return {a, b};
}

// The listings of a run's folders, made in the order the run will ask for
// them by a thread of their own and by the run itself: the run lists a
// folder that nobody has come to, and while it waits for one the thread is
// listing it lists the next. Each folder is listed once.
class ListedFolders::Ahead
{
public:
    Ahead(std::unique_ptr<system::FileSystem> fs, std::vector<QString> folders)
        : m_fs(std::move(fs)), m_folders(std::move(folders)), m_made(m_folders.size()),
          m_state(m_folders.size(), State::Free)
    {
        m_placeOf.reserve(qsizetype(m_folders.size()));
        for (size_t k = 0; k < m_folders.size(); ++k)
            m_placeOf.insert(m_folders[k], k);
        m_thread = std::thread([this] {
            std::unique_lock lock(m_mutex);
            while (!m_stop && listNext(lock, *m_fs)) {
            }
        });
    }
    ~Ahead()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_thread.join();
    }
    Ahead(const Ahead &) = delete;
    Ahead &operator=(const Ahead &) = delete;

    // The listing of folder, made here unless the thread has made it or is
    // making it.
    Listing take(system::FileSystem &fs, const QString &folder)
    {
        const auto place = m_placeOf.constFind(folder);
        if (place == m_placeOf.constEnd())
            return listingFrom(fs, folder);
        const size_t k = *place;
        std::unique_lock lock(m_mutex);
        while (m_state[k] == State::Listing) {
            if (!listNext(lock, fs))
                m_changed.wait(lock, [&] { return m_state[k] != State::Listing; });
        }
        const State was = std::exchange(m_state[k], State::Taken);
        lock.unlock();
        return was == State::Made ? std::move(m_made[k]) : listingFrom(fs, folder);
    }

private:
    enum class State : char {
        Free,    // nobody has come to it
        Listing, // being listed
        Made,    // listed, not yet taken
        Taken,   // the run has it
    };

    // Lists the first folder nobody has come to, with lock released
    // meanwhile; false when there is none. A listing that fails (out of
    // memory) leaves its folder to the run, and the thread stops there: the
    // run then lists what is left as it comes to it.
    bool listNext(std::unique_lock<std::mutex> &lock, system::FileSystem &fs)
    {
        while (m_next < m_state.size() && m_state[m_next] != State::Free)
            ++m_next;
        if (m_next == m_state.size())
            return false;
        const size_t k = m_next++;
        m_state[k] = State::Listing;
        lock.unlock();
        std::optional<Listing> listing;
        try {
            listing = listingFrom(fs, m_folders[k]);
        } catch (...) {
        }
        lock.lock();
        if (listing)
            m_made[k] = std::move(*listing);
        m_state[k] = listing ? State::Made : State::Free;
        m_changed.notify_all();
        return listing.has_value();
    }

    const std::unique_ptr<system::FileSystem> m_fs;
    const std::vector<QString> m_folders;
    QHash<QString, size_t> m_placeOf;
    std::mutex m_mutex; // guards the five below
    std::condition_variable m_changed;
    std::vector<Listing> m_made;
    std::vector<State> m_state;
    size_t m_next = 0; // the thread's: no folder before it is free but one whose listing failed
    bool m_stop = false;
    std::thread m_thread; // last: it starts once the rest is made
};

ListedFolders::ListedFolders(system::FileSystem &fs) : m_fs(fs) {}

ListedFolders::~ListedFolders() = default;

void ListedFolders::FolderList::add(QStringView location)
{
    const auto path = listedPath(location);
    if (path && m_seen.insert(nameHash(path->first).first).second)
        m_folders.push_back(path->first.toString());
}

void ListedFolders::listAhead(FolderList folders)
{
    if (m_ahead || folders.m_folders.size() < 2)
        return;
    if (std::unique_ptr<system::FileSystem> second = m_fs.forAnotherThread())
        m_ahead = std::make_unique<Ahead>(std::move(second), std::move(folders.m_folders));
}

ListedFolders::Listing ListedFolders::listingFrom(system::FileSystem &fs, const QString &folder)
{
    const system::FolderListing listed = fs.listFolder(folder);
    Listing listing;
    listing.missing = listed.missing;
    listing.listed = listed.listed;
    listing.names.reserve(static_cast<size_t>(listed.names.size()));
    for (const QString &name : listed.names)
        listing.names.insert(nameHash(name));
    listing.complete = listed.listed && listed.complete;
    listing.regularOnly = listing.complete && listed.otherNames.isEmpty();
    if (listing.complete) {
        listing.folded.reserve(static_cast<size_t>(listed.names.size() + listed.otherNames.size()));
        for (const QStringList *names : {&listed.names, &listed.otherNames}) {
            for (const QString &name : *names)
                listing.folded.insert(EntryNames::keyOf(name));
        }
    }
    return listing;
}

const ListedFolders::Listing &ListedFolders::listingOf(QStringView folder)
{
    if (m_last && m_last->path == folder)
        return m_last->listing;
    if (const Folder *known = listedFolder(folder)) {
        m_last = known;
        return known->listing;
    }
    Folder added{folder.toString(), {}};
    added.listing = m_ahead ? m_ahead->take(m_fs, added.path) : listingFrom(m_fs, added.path);
    // A vector's elements move as it grows: the last one looked up is
    // found again through the table.
    m_last = nullptr;
    std::vector<Folder> &sameHash = m_folders[nameHash(folder).first];
    sameHash.push_back(std::move(added));
    return sameHash.back().listing;
}

const ListedFolders::Folder *ListedFolders::listedFolder(QStringView folder) const
{
    const auto sameHash = m_folders.constFind(nameHash(folder).first);
    if (sameHash == m_folders.constEnd())
        return nullptr;
    for (const Folder &known : *sameHash) {
        if (known.path == folder)
            return &known;
    }
    return nullptr;
}

ListedFolders::Entry ListedFolders::entryOf(QStringView location)
{
    const auto path = listedPath(location);
    return path ? entryIn(listingOf(path->first), path->second) : Entry::Unknown;
}

std::optional<ListedFolders::Entry> ListedFolders::listedEntryOf(QStringView location) const
{
    const auto path = listedPath(location);
    if (!path)
        return Entry::Unknown;
    const Folder *known = listedFolder(path->first);
    return known ? std::optional(entryIn(known->listing, path->second)) : std::nullopt;
}

std::optional<bool> ListedFolders::listedAmongRegularFilesOnly(QStringView location) const
{
    const auto path = listedPath(location);
    if (!path)
        return false;
    const Folder *known = listedFolder(path->first);
    return known ? std::optional(known->listing.regularOnly) : std::nullopt;
}

ListedFolders::Entry ListedFolders::entryIn(const Listing &listing, QStringView name)
{
    if (listing.missing)
        return Entry::Missing;
    if (listing.listed && listing.names.contains(nameHash(name)))
        return Entry::RegularFile;
    // Most missing files of a large library are told here: no entry of the
    // folder has any spelling of the name, so neither a folder that ignores
    // case nor a symlink can hold it.
    if (listing.complete && !listing.folded.contains(EntryNames::keyOf(name)))
        return Entry::Missing;
    // A name the listing lacks may still be there under another spelling
    // (a folder that ignores case) or behind a symlink.
    return Entry::Unknown;
}

bool ListedFolders::amongRegularFilesOnly(QStringView location)
{
    const auto path = listedPath(location);
    return path && listingOf(path->first).regularOnly;
}

bool ListedFolders::fileExists(const QString &path)
{
    switch (entryOf(path)) {
    case Entry::RegularFile:
        return true;
    case Entry::Missing:
        return false;
    case Entry::Unknown:
        break;
    }
    return m_fs.fileExists(path);
}

std::uint64_t EntryNames::keyOf(QStringView location)
{
    const QStringView name = location.sliced(location.lastIndexOf(QLatin1Char('/')) + 1);
    // Most names are ASCII, where folding is lower case and composition
    // changes nothing: folded as they are hashed, without a copy.
    std::uint64_t key = 0x9ae16a3b2f90404fu ^ std::uint64_t(name.size());
    for (const QChar c : name) {
        if (c.unicode() >= 0x80) {
            const QString folded = name.toString().normalized(QString::NormalizationForm_C).toCaseFolded();
            key = 0x9ae16a3b2f90404fu ^ std::uint64_t(folded.size());
            for (const QChar f : folded)
                key = (key ^ f.unicode()) * 0x100000001b3u;
            return key;
        }
        const char16_t lower =
            c.unicode() >= 'A' && c.unicode() <= 'Z' ? char16_t(c.unicode() + ('a' - 'A')) : c.unicode();
        key = (key ^ lower) * 0x100000001b3u;
    }
    return key;
}

void EntryNames::add(QStringView location)
{
    m_keys.insert(keyOf(location));
}

bool EntryNames::mayName(QStringView location) const
{
    return m_keys.contains(keyOf(location));
}

} // namespace tidyfox::cleaning
