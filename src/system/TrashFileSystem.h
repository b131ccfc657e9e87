// SPDX-License-Identifier: GPL-3.0-or-later
// The file system as the cleaning jobs see it on this machine: deleting a file
// moves it to the user's trash.
#pragma once

#include "system/FileSystem.h"

#include <QHash>
#include <QString>
#include <chrono>
#include <sys/stat.h>

namespace tidyfox::system {

class TrashFileSystem : public FileSystem
{
public:
    bool fileExists(const QString &path) override;
    TrashedFile moveToTrash(const QString &path, const BeforeTrashMove &beforeMove) override;
    void restoreFromTrash(const TrashedFile &trashed, const QString &path) override;
    std::optional<FileStamp> stamp(const QString &path) override;
    QString whyItStays(const QString &path) override;
    FolderListing listFolder(const QString &path) override;
    bool mayHaveOtherNames(const QString &path) override;
    FileLook look(const QString &path, bool withWhy) override;
    std::unique_ptr<FileSystem> forAnotherThread() override { return std::make_unique<TrashFileSystem>(); }

private:
    // A folder as the disk resolves it (empty when it cannot be). A review
    // asks about the files of a few folders many times over; the answers
    // are kept for a moment only, since a folder may be moved or linked
    // elsewhere while the program runs.
    QString realFolder(const QString &folder);

    // stat or (noFollow) lstat of path through its folder's descriptor: a
    // run asks about many files of one folder, and the walk down a long path
    // costs the kernel more than the question. The descriptors are kept for
    // as long as the resolved folders.
    bool statOf(const QString &path, struct stat &st, bool noFollow);
    // The kept descriptor of native's folder (the part before slash), or -1
    // when the path is to be asked about as written.
    int folderFd(const QByteArray &native, qsizetype slash);
    // whyItStays for a path whose entry lstat has shown as entry.
    QString whyItStays(const QString &path, const struct stat *entry);
    // The first bytes of the file at path, read through its folder.
    QByteArray headOf(const QString &path, qint64 bytes);
    // The folders whyItStays compares with (the trash, the library's own),
    // as the disk resolves them; kept with the resolved folders.
    void resolveBases();
    void forgetOldFolders();
    void closeFolderFds();

    static constexpr qsizetype kKeptFolderFds = 200;

    QHash<QString, QString> m_realFolders;
    QHash<QByteArray, int> m_folderFds; // -1: cannot be opened
    bool m_basesResolved = false;
    QString m_trashBase;
    QString m_dataBase;
    std::chrono::steady_clock::time_point m_realFoldersSince;

public:
    TrashFileSystem() = default;
    TrashFileSystem(const TrashFileSystem &) = delete;
    TrashFileSystem &operator=(const TrashFileSystem &) = delete;
    ~TrashFileSystem() override;
};

} // namespace tidyfox::system
