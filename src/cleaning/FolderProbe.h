// SPDX-License-Identifier: GPL-3.0-or-later
// Asking the disk about many library files at once: each folder is listed
// once, and only a file its folder's listing does not vouch for is asked
// about on its own. A library of a million tracks lives in a few thousand
// folders, so a run asks the disk a few thousand times instead of a million.
#pragma once

#include "system/FileSystem.h"

#include <QSet>
#include <QString>
#include <QStringView>
#include <functional>
#include <vector>

namespace tidyfox::cleaning {

// The folder and the name of location's entry in it, as the system reads
// the path; both empty when location has no folder part or names a folder.
struct EntryPath
{
    QStringView folder;
    QStringView name;
};
EntryPath entryOf(QStringView location);

// The names of some locations' entries, compared as loosely as a file system
// may compare them (case and Unicode composition aside), so that another
// spelling of the same entry is never taken for another file.
class EntryNames
{
public:
    void add(QStringView location);
    bool mayName(QStringView location) const;

private:
    static QString keyOf(QStringView location);
    QSet<QString> m_keys;
};

// Visits the locations folder by folder (each folder's listing ready), in
// the order of the folders' first locations; locations without an entry
// (see entryOf) last, with no listing.
void forEachFolder(
    system::FileSystem &fs, const std::vector<QString> &locations,
    const std::function<void(const system::FolderListing *listing, const std::vector<size_t> &members)> &visit);

// Whether each location names a file that is there, as fs.fileExists tells.
std::vector<bool> filesThere(system::FileSystem &fs, const std::vector<QString> &locations);

} // namespace tidyfox::cleaning
