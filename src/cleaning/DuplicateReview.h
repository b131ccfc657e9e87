// SPDX-License-Identifier: GPL-3.0-or-later
// The duplicates a removal would find, shown before anything is removed: the
// library read once, its tracks grouped by the properties the filter checks,
// and in each group the copy that stays under a keep rule and those that go.
//
// Under KeepRule::LibraryOrder the tracks marked to go are those removeDuplicates
// removes from the same library: the review plays its walk on the same index.
// (The walk's count limit and the changes other programs make meanwhile are
// the removal's own business.)
#pragma once

#include "cleaning/DuplicateFilter.h"
#include "cleaning/KeepRule.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tidyfox::cleaning {

struct ReviewedTrack
{
    std::int32_t databaseId = 0;
    QString name;
    QString artist;
    QString album;
    QString time;
    QString kind; // the kind text: "MPEG audio file", ...
    std::int32_t bitRate = 0;
    std::int32_t sampleRate = 0;
    std::int64_t size = 0;
    QDateTime dateAdded;
    std::int32_t playCount = 0;
    std::int32_t skipCount = 0;
    std::int32_t rating = 0;
    QDateTime playDate;
    QString location;       // empty for a stream and for a track that lost its file
    bool hasFile = true;    // false for a stream
    bool fileThere = false; // the file is on the disk
    // The file as the review saw it: the removal sends to the trash only the
    // file still so.
    std::optional<system::FileStamp> stamp;
    bool goes = false;     // marked to be removed
    bool fileGoes = false; // its file would go to the trash with it
};

// Tracks equal on every checked property, at least two, in library order.
struct DuplicateGroup
{
    std::vector<ReviewedTrack> tracks;
    int keeper = 0; // index into tracks of the one that stays
    // Found by sound: the weakest match joining the group.
    std::optional<float> soundStrength;
};

struct DuplicateReview
{
    std::vector<DuplicateGroup> groups; // in the library order of their first track
    int copies = 0;                     // tracks marked to go
    // The sizes of the tracks whose file would go to the trash. Decided as the
    // removal decides, copy by copy in the order it removes them: nothing when
    // the filter keeps files, else a file that is there and that no track
    // still in the library then uses (by its path or, as the disk tells, by
    // another path to the same file).
    std::int64_t trashBytes = 0;
    // For a library linked to a player that scans its folders again: the
    // line that says a copy whose file stays comes back; empty otherwise.
    QString rescanNote;
};

// The rescan note for the library of this source name ("Strawberry
// library"), empty for a player that keeps a removed copy away by itself.
QString playerRescanNote(const QString &sourceName);

// Throws RunFailure for a filter the removal refuses (fewer than seven items,
// or no property checked, item 8 aside). Item 8's "sound" asks the library for
// the fingerprints it has (LibraryClient::soundMatches); a track without one
// is in no group. and whatever the library's reads throw.
// progress(done, total) is called for every group read.
// stamps: whose files the review stamps (ReviewedTrack::stamp; the others'
// stay unknown). A removal of exactly the copies shown needs only theirs;
// one that may keep another track of a group than the review's keeper needs
// every track's.
enum class StampsFor { EveryTrack, CopiesOnly };
DuplicateReview reviewDuplicates(libraryclient::LibraryClient &library, system::FileSystem &fs,
                                 const DuplicateFilter &filter, KeepRule rule,
                                 const std::function<void(int done, int total)> &progress = {},
                                 StampsFor stamps = StampsFor::EveryTrack);

} // namespace tidyfox::cleaning
