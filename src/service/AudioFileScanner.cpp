#include "service/AudioFileScanner.h"

#include "service/AudioFileReader.h"
#include "service/LibraryStore.h"
#include "service/Transaction.h"

#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

namespace tidyfox::library {

QStringList collectFiles(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        if (!QFileInfo(path).isDir()) {
            files << path;
            continue;
        }
        QStringList found;
        QDirIterator it(path, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        // The order a person sees in a file manager, not byte order that puts
        // "Zebra" before "apple".
        std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) {
            const int c = a.compare(b, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a < b;
        });
        files << found;
    }
    return files;
}

AddSummary addAudioFiles(LibraryStore &store, const QStringList &files, const AddObserver &observer)
{
    AddSummary summary;
    Transaction transaction(store);
    const int total = int(files.size());
    for (int i = 0; i < total; ++i) {
        if (observer.progress)
            observer.progress(i, total);
        // The real path: a file reached through a link or a second folder
        // name is still the same file.
        const QString path = QFileInfo(files[i]).canonicalFilePath();
        if (!hasAudioExtension(path)) {
            ++summary.notAudio;
            continue;
        }
        if (store.hasFileTrack(path)) {
            ++summary.alreadyPresent;
            continue;
        }
        auto track = readAudioFile(path);
        if (!track) {
            summary.unreadable << files[i];
            if (observer.unreadable)
                observer.unreadable(files[i]);
            continue;
        }
        store.addTrack(std::move(*track));
        ++summary.added;
    }
    if (observer.progress)
        observer.progress(total, total);
    transaction.commit();
    return summary;
}

} // namespace tidyfox::library
