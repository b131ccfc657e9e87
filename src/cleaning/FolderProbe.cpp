// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/FolderProbe.h"

#include <algorithm>

namespace tidyfox::cleaning {
namespace {

// The folder and the name of location's entry in it, as the system reads the
// path; an empty name when location has no folder part or names a folder.
std::pair<QStringView, QStringView> entryPath(QStringView location)
{
    const qsizetype slash = location.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash + 1 == location.size())
        return {};
    return {slash == 0 ? location.first(1) : location.first(slash), location.sliced(slash + 1)};
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

const ListedFolders::Listing &ListedFolders::listingOf(QStringView folder)
{
    if (m_last && m_last->path == folder)
        return m_last->listing;
    std::vector<Folder> &sameHash = m_folders[nameHash(folder).first];
    for (const Folder &known : sameHash) {
        if (known.path == folder) {
            m_last = &known;
            return known.listing;
        }
    }
    Folder added{folder.toString(), {}};
    const system::FolderListing listed = m_fs.listFolder(added.path);
    added.listing.missing = listed.missing;
    added.listing.listed = listed.listed;
    added.listing.names.reserve(static_cast<size_t>(listed.names.size()));
    for (const QString &name : listed.names)
        added.listing.names.insert(nameHash(name));
    added.listing.complete = listed.listed && listed.complete;
    added.listing.regularOnly = added.listing.complete && listed.otherNames.isEmpty();
    if (added.listing.complete) {
        added.listing.folded.reserve(static_cast<size_t>(listed.names.size() + listed.otherNames.size()));
        for (const QStringList *names : {&listed.names, &listed.otherNames}) {
            for (const QString &name : *names)
                added.listing.folded.insert(EntryNames::keyOf(name));
        }
    }
    // A vector's elements move as it grows: the last one looked up is
    // found again through the table.
    m_last = nullptr;
    sameHash.push_back(std::move(added));
    return sameHash.back().listing;
}

ListedFolders::Entry ListedFolders::entryOf(QStringView location)
{
    const auto [folder, name] = entryPath(location);
    if (name.isEmpty() || location.contains(QChar(0)))
        return Entry::Unknown;
    const Listing &listing = listingOf(folder);
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
    const auto [folder, name] = entryPath(location);
    if (name.isEmpty() || location.contains(QChar(0)))
        return false;
    return listingOf(folder).regularOnly;
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
