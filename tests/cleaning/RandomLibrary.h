// SPDX-License-Identifier: GPL-3.0-or-later
// Small made-up libraries full of near and true copies, for comparing the
// cleaning jobs with the plain walks they replace.
#pragma once

#include "FakeFileSystem.h"
#include "FakeLibrary.h"

#include <random>

namespace tidyfox::cleaning::test {

struct RandomFile
{
    QString path;
    std::uint64_t inode = 0;
};

struct RandomLibrary
{
    std::vector<FakeTrackData> tracks;
    std::vector<std::vector<std::int32_t>> playlists;
    std::vector<RandomFile> files;
    QStringList refusedByTrash;
    QStringList hiddenIdentity;
    QString filter;

    std::shared_ptr<FakeLibrary> makeLibrary() const;
    void fillFileSystem(FakeFileSystem &fs) const;
    QString describe() const;
};

// allowRefusals: some tracks refuse removal (the library fails the call).
RandomLibrary makeRandomLibrary(std::mt19937 &rng, bool allowRefusals = true);

} // namespace tidyfox::cleaning::test
