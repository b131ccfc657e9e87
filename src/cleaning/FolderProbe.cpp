// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/FolderProbe.h"

#include <QVarLengthArray>
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

// Two hashes of text that share nothing but the text: a name is looked up a
// million times in a run, where Qt's seeded string hash costs more than all
// the rest of the look-up.
std::pair<std::uint64_t, std::uint64_t> ListedFolders::nameHash(QStringView name)
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
    std::vector<Folder> &sameHash = m_folders[nameHash(folder).first];
    for (const Folder &known : sameHash) {
        if (known.path == folder)
            return known.listing;
    }
    Folder added{folder.toString(), {}};
    const system::FolderListing listed = m_fs.listFolder(added.path);
    added.listing.missing = listed.missing;
    added.listing.listed = listed.listed;
    added.listing.names.reserve(static_cast<size_t>(listed.names.size()));
    for (const QString &name : listed.names)
        added.listing.names.push_back(nameHash(name));
    std::sort(added.listing.names.begin(), added.listing.names.end());
    added.listing.complete = listed.listed && listed.complete;
    if (added.listing.complete) {
        added.listing.folded.reserve(static_cast<size_t>(listed.names.size() + listed.otherNames.size()));
        for (const QStringList *names : {&listed.names, &listed.otherNames}) {
            for (const QString &name : *names)
                added.listing.folded.push_back(EntryNames::keyOf(name));
        }
        std::sort(added.listing.folded.begin(), added.listing.folded.end());
    }
    sameHash.push_back(std::move(added));
    return sameHash.back().listing;
}

ListedFolders::Entry ListedFolders::entryOf(const QString &location)
{
    const auto [folder, name] = entryPath(location);
    if (name.isEmpty() || !system::isUsablePath(location))
        return Entry::Unknown;
    const Listing &listing = listingOf(folder);
    if (listing.missing)
        return Entry::Missing;
    if (listing.listed && std::binary_search(listing.names.begin(), listing.names.end(), nameHash(name)))
        return Entry::RegularFile;
    // Most missing files of a large library are told here: no entry of the
    // folder has any spelling of the name, so neither a folder that ignores
    // case nor a symlink can hold it.
    if (listing.complete && !std::binary_search(listing.folded.begin(), listing.folded.end(), EntryNames::keyOf(name)))
        return Entry::Missing;
    // A name the listing lacks may still be there under another spelling
    // (a folder that ignores case) or behind a symlink.
    return Entry::Unknown;
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

size_t EntryNames::keyOf(QStringView location)
{
    const QStringView name = location.sliced(location.lastIndexOf(QLatin1Char('/')) + 1);
    // Most names are ASCII, where folding is lower case and composition
    // changes nothing: folded here without a copy on the heap.
    QVarLengthArray<char16_t, 256> folded;
    for (const QChar c : name) {
        if (c.unicode() >= 0x80)
            return qHash(name.toString().normalized(QString::NormalizationForm_C).toCaseFolded());
        folded.append(c.unicode() >= 'A' && c.unicode() <= 'Z' ? char16_t(c.unicode() + ('a' - 'A')) : c.unicode());
    }
    return qHash(QStringView(folded.constData(), folded.size()));
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
