// SPDX-License-Identifier: GPL-3.0-or-later
// The file system as the cleaning jobs see it on this machine: deleting a file
// moves it to the user's trash.
#pragma once

#include "system/FileSystem.h"

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
};

} // namespace tidyfox::system
