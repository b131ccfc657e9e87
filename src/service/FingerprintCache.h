// SPDX-License-Identifier: GPL-3.0-or-later
// What the last look at the library's fingerprints found (the files to hear,
// the tracks that sound the same), kept while nothing was written to the
// library (by this connection or any other) and every file it looked at has
// the size and modification time it had then. A second look at an unchanged
// library then costs one stat a file, no rows and no matching.
#pragma once

#include "protocol/LibraryRecords.h"
#include "service/LibraryCore.h"

#include <optional>
#include <utility>
#include <vector>

namespace tidyfox::library {

// How far the library's writes have got: another connection's commits move
// the first, this connection's changes the second.
using WriteStamp = std::pair<std::int64_t, std::int64_t>;

// The file as it is now; nothing when it is not a file there.
std::optional<LibraryCore::FingerprintTask> fileNow(const QString &path);

template<typename Found> struct KeptLook
{
    std::optional<WriteStamp> writes;
    // Each file looked at as it was; size -1 for one that was not there.
    std::vector<LibraryCore::FingerprintTask> files;
    Found found{};

    void forget() { writes.reset(); }
    void look(const QString &path, const std::optional<LibraryCore::FingerprintTask> &now)
    {
        files.push_back(now ? *now : LibraryCore::FingerprintTask{path, -1, 0});
    }
    bool stillTrue(const WriteStamp &writesNow) const
    {
        if (writes != writesNow)
            return false;
        for (const auto &file : files) {
            const auto now = fileNow(file.path);
            if (now ? now->size != file.size || now->modified != file.modified : file.size != -1)
                return false;
        }
        return true;
    }
};

struct FingerprintCache
{
    KeptLook<std::vector<LibraryCore::FingerprintTask>> toMake;
    KeptLook<std::vector<protocol::SoundMatch>> matches;
};

} // namespace tidyfox::library
