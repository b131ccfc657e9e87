// The file system as the cleaning jobs see it on this machine: deleting a file
// moves it to the user's trash.
#pragma once

#include "platform/FileSystem.h"

namespace tidyfox::platform {

class TrashFileSystem : public FileSystem
{
public:
    bool FileExists(const QString &path) override;
    void DeleteFile(const QString &path) override;
    std::optional<FileId> Identity(const QString &path) override;
};

} // namespace tidyfox::platform
