// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/FolderProbe.h"

#include <QHash>

namespace tidyfox::cleaning {

EntryPath entryOf(QStringView location)
{
    const qsizetype slash = location.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash + 1 == location.size())
        return {};
    return {slash == 0 ? location.first(1) : location.first(slash), location.sliced(slash + 1)};
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

void forEachFolder(
    system::FileSystem &fs, const std::vector<QString> &locations,
    const std::function<void(const system::FolderListing *listing, const std::vector<size_t> &members)> &visit)
{
    // Views into locations: a copy of every folder's text would cost more
    // than the listings spare.
    QHash<QStringView, size_t> folderIndex;
    std::vector<QStringView> folders;
    std::vector<std::vector<size_t>> members;
    std::vector<size_t> unlisted;
    for (size_t i = 0; i < locations.size(); ++i) {
        const EntryPath entry = entryOf(locations[i]);
        if (entry.name.isEmpty() || !system::isUsablePath(locations[i])) {
            unlisted.push_back(i);
            continue;
        }
        const auto found = folderIndex.constFind(entry.folder);
        if (found != folderIndex.constEnd()) {
            members[*found].push_back(i);
            continue;
        }
        folderIndex.insert(entry.folder, folders.size());
        folders.push_back(entry.folder);
        members.push_back({i});
    }
    for (size_t f = 0; f < folders.size(); ++f) {
        const system::FolderListing listing = fs.listFolder(folders[f].toString());
        visit(&listing, members[f]);
        members[f] = {};
    }
    if (!unlisted.empty())
        visit(nullptr, unlisted);
}

std::vector<bool> filesThere(system::FileSystem &fs, const std::vector<QString> &locations)
{
    std::vector<bool> there(locations.size(), false);
    forEachFolder(fs, locations, [&](const system::FolderListing *listing, const std::vector<size_t> &members) {
        for (const size_t i : members) {
            if (listing && listing->missing)
                continue;
            // A name the listing lacks may still be there under another
            // spelling (a folder that ignores case) or behind a symlink.
            if (listing && listing->listed && listing->names.contains(entryOf(locations[i]).name.toString()))
                there[i] = true;
            else
                there[i] = fs.fileExists(locations[i]);
        }
    });
    return there;
}

} // namespace tidyfox::cleaning
