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

std::pair<std::uint64_t, std::uint64_t> ListedFolders::nameHash(QStringView name)
{
    return {qHash(name, 0x9e3779b97f4a7c15u), qHash(name, 0x2545f4914f6cdd1du)};
}

const ListedFolders::Listing &ListedFolders::listingOf(QStringView folder)
{
    const QString key = folder.toString();
    if (const auto found = m_listings.constFind(key); found != m_listings.constEnd())
        return *found;
    const system::FolderListing listed = m_fs.listFolder(key);
    Listing listing;
    listing.missing = listed.missing;
    listing.listed = listed.listed;
    listing.names.reserve(static_cast<size_t>(listed.names.size()));
    for (const QString &name : listed.names)
        listing.names.push_back(nameHash(name));
    std::sort(listing.names.begin(), listing.names.end());
    return *m_listings.insert(key, std::move(listing));
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

QString EntryNames::keyOf(QStringView location)
{
    const QStringView name = location.sliced(location.lastIndexOf(QLatin1Char('/')) + 1);
    return name.toString().normalized(QString::NormalizationForm_C).toCaseFolded();
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
