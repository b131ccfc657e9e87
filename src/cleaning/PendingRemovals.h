// A note on disk of each removed copy whose file is on its way to the trash.
// A removal moves the file first and then removes the entry; a process killed
// between the two would leave an entry in the library with its file in the
// trash. The note is written once the file's place in the trash is reserved
// and before it moves, and settled once the entry is gone (or the file back),
// so that the next run can put right what a killed one left.
#pragma once

#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <QFile>
#include <QString>
#include <cstdint>

namespace tidyfox::cleaning {

class PendingRemovals
{
public:
    // path is the note's file; its folder is made when first needed.
    explicit PendingRemovals(QString path);

    // Before the file of the copy with this database id moves from location
    // to reserved. Throws RunFailure when the note cannot be written, so that
    // the file is not moved.
    void intend(std::int32_t databaseId, const QString &location, const system::TrashedFile &reserved);
    // The copy's entry is gone, or its file is back in place.
    void settle(std::int32_t databaseId);

    // Puts right what a run that died left: a file in the trash whose entry
    // is still in the library goes back to its place, unless something else
    // is there now. Then the note starts afresh. Returns how many files went
    // back; throws ClientError when the library cannot be asked, leaving the
    // note as it is.
    int putRight(libraryclient::LibraryClient &library, system::FileSystem &fs);

private:
    void append(const QByteArray &line);

    QString m_path;
    QFile m_file;
};

} // namespace tidyfox::cleaning
