// SPDX-License-Identifier: GPL-3.0-or-later
// The file system as the cleaning jobs see it on this machine: deleting a file
// moves it to the user's trash.
#pragma once

#include "system/FileSystem.h"

#include <QHash>
#include <QString>
#include <chrono>

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

private:
    // A folder as the disk resolves it (empty when it cannot be). A review
    // asks about the files of a few folders many times over; the answers
    // are kept for a moment only, since a folder may be moved or linked
    // elsewhere while the program runs.
    QString realFolder(const QString &folder);

    QHash<QString, QString> m_realFolders;
    std::chrono::steady_clock::time_point m_realFoldersSince;
};

} // namespace tidyfox::system
