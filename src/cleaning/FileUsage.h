// SPDX-License-Identifier: GPL-3.0-or-later
// Which files the tracks still in the library use, so that removing one entry
// of a file that was added twice never takes the music from the entry that
// stays. Two locations use the same file when they are the same path once
// normalised, or reach the same device and inode (another path, a symlinked
// folder, a hard link).
#pragma once

#include "system/FileSystem.h"

#include <QHash>
#include <QString>
#include <optional>

namespace tidyfox::cleaning {

class FileUsage
{
public:
    struct Use
    {
        QString path; // normalised
        // The file as the disk showed it when the use was read; its id tells
        // other spellings of the same file.
        std::optional<system::FileStamp> stamp;
    };

    // The file a location names; the location must not be empty.
    static Use useOf(system::FileSystem &fs, const QString &location);

    void add(const Use &use);
    void release(const Use &use);
    // Whether a use other than own (which must have been added) names the
    // same file.
    bool sharedBeyond(const Use &own) const;

private:
    QHash<QString, int> m_paths;
    QHash<system::FileId, int> m_ids;
};

} // namespace tidyfox::cleaning
