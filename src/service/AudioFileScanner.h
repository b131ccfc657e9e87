// SPDX-License-Identifier: GPL-3.0-or-later
// `add`: brings audio files and folders (recursively) into the library. The
// files are read first and only then written, in one transaction, so that
// slow or large files never hold the library's write lock.
#pragma once

#include <QStringList>
#include <functional>

namespace tidyfox::library {

class LibraryStore;

struct AddSummary
{
    int added = 0;
    int alreadyPresent = 0; // same real path
    int notAudio = 0;
    QStringList unreadable; // audio files TagLib could not read or that do not start like audio
    QStringList skipped;    // "PATH: reason" for what was not looked at (not a regular file, ...)
};

struct AddObserver
{
    std::function<void(int done, int total)> progress;
    std::function<void(const QString &path)> unreadable;
    // One "PATH: reason" line for a file or folder that was not looked at.
    std::function<void(const QString &problem)> skipped;
};

// The files under paths (a file stands for itself), each folder tree in the
// order a person sees in a file manager. Folders that cannot be read and names
// that are not valid UTF-8 (which a location cannot hold) go to skipped as
// "PATH: reason" lines.
QStringList collectFiles(const QStringList &paths, QStringList *skipped = nullptr);

AddSummary addAudioFiles(LibraryStore &store, const QStringList &files, const AddObserver &observer = {});

} // namespace tidyfox::library
