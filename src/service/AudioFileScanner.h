// `add`: brings audio files and folders (recursively) into the library, in one
// transaction.
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
    QStringList unreadable; // audio files TagLib could not read
};

struct AddObserver
{
    std::function<void(int done, int total)> progress;
    std::function<void(const QString &path)> unreadable;
};

// The files under paths (a file stands for itself), sorted within each folder.
QStringList collectFiles(const QStringList &paths);

AddSummary addAudioFiles(LibraryStore &store, const QStringList &files, const AddObserver &observer = {});

} // namespace tidyfox::library
