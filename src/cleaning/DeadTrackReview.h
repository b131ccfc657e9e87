// SPDX-License-Identifier: GPL-3.0-or-later
// The dead tracks shown before any goes: the file tracks of the library
// playlist whose file is missing, grouped by folder, with those that may only
// be on a drive that is not plugged in marked so that they are spared unless
// the user ticks them.
#pragma once

#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"
#include "system/Volumes.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace tidyfox::cleaning {

struct DeadTrack
{
    std::int32_t databaseId = 0;
    QString name;
    QString artist;
    QString album;
    QString location;
};

struct DeadTrackFolder
{
    QString folder;                // the files' folder; empty for tracks whose location is lost
    bool disconnected = false;     // on a drive that is not mounted now
    std::vector<DeadTrack> tracks; // in library order
};

struct DeadTrackFindings
{
    std::vector<DeadTrackFolder> folders; // in the order of their first track
    int trackCount = 0;
    int disconnectedCount = 0;
};

// Why a folder is marked disconnected, in one sentence for the user.
extern const QString kDisconnectedReason;

// Reads the library playlist(s) of source once and probes each file once.
// progress(done, total) is called for every track. Throws ClientError.
DeadTrackFindings findDeadTracks(libraryclient::LibrarySource &source, system::FileSystem &fs,
                                 const system::Volumes &volumes,
                                 const std::function<void(int done, int total)> &progress = {});

class PendingRemovals;

// Takes out of findings the tracks whose files are on their way to the trash
// in a removal under way (the note of pending moves): their entries are
// going too, and if that removal dies the library puts their files back.
void leaveOutMovesUnderWay(DeadTrackFindings &findings, const PendingRemovals &note);

} // namespace tidyfox::cleaning
