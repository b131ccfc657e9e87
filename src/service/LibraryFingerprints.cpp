// SPDX-License-Identifier: GPL-3.0-or-later
// The library's fingerprints: which files need one, keeping them, and the
// tracks that sound the same.
#include "fingerprint/AudioFingerprint.h"
#include "fingerprint/SoundMatching.h"
#include "service/FingerprintCache.h"
#include "service/LibraryStore.h"
#include "service/Transaction.h"

#include <QFile>
#include <QHash>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

namespace tidyfox::library {
namespace {

WriteStamp writesSoFar(sql::Database &db)
{
    return {db.scalar("PRAGMA data_version"), sqlite3_total_changes64(db.handle())};
}

QByteArray blobOf(const std::vector<std::uint32_t> &items)
{
    QByteArray blob(qsizetype(items.size() * sizeof(std::uint32_t)), Qt::Uninitialized);
    for (size_t i = 0; i < items.size(); ++i) {
        const std::uint32_t v = items[i];
        const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
        std::memcpy(blob.data() + i * 4, bytes, 4);
    }
    return blob;
}

void appendItems(const QByteArray &blob, std::vector<std::uint32_t> &block)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(blob.constData());
    for (size_t i = 0; i < size_t(blob.size()) / 4; ++i)
        block.push_back(std::uint32_t(bytes[4 * i]) | std::uint32_t(bytes[4 * i + 1]) << 8 |
                        std::uint32_t(bytes[4 * i + 2]) << 16 | std::uint32_t(bytes[4 * i + 3]) << 24);
}

} // namespace

std::optional<LibraryCore::FingerprintTask> fileNow(const QString &path)
{
    // stat itself: QFileInfo's times cost more than the rest of a look.
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return LibraryCore::FingerprintTask{path, std::int64_t(status.st_size),
                                        std::int64_t(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000};
}

std::vector<LibraryCore::FingerprintTask> LibraryStore::fingerprintsToMake()
{
    auto &kept = m_fingerprintCache.toMake;
    if (kept.stillTrue(writesSoFar(m_db)))
        return kept.found;
    kept = {};
    if (!m_db.isReadOnly()) {
        // A fingerprint stays while a file track, or a removal that can be
        // undone, names its file: undoing moves the file back as it was, so
        // its fingerprint still holds. The rest go here, before a run.
        m_db.query("DELETE FROM fingerprints WHERE NOT EXISTS(SELECT 1 FROM tracks t WHERE t.location ="
                   " fingerprints.path AND t.kind = 1) AND fingerprints.path NOT IN (SELECT t.location FROM "
                   "journal_tracks t JOIN journal_jobs j ON"
                   " j.job_id = t.job_id WHERE j.restored = 0 AND t.location IS NOT NULL)")
            .run();
    }
    std::vector<FingerprintTask> tasks;
    auto q = m_db.query("SELECT t.location, f.size, f.modified, f.version FROM"
                        " (SELECT location, min(library_order) AS first FROM tracks"
                        "  WHERE kind = 1 AND location != '' GROUP BY location) t"
                        " LEFT JOIN fingerprints f ON f.path = t.location ORDER BY t.first");
    while (q.next()) {
        const auto now = fileNow(q.text(0));
        kept.look(q.text(0), now);
        if (!now)
            continue;
        if (!q.isNull(1) && q.int64(1) == now->size && q.int64(2) == now->modified &&
            q.int64(3) == fingerprint::kFingerprintVersion)
            continue;
        tasks.push_back(*now);
    }
    kept.writes = writesSoFar(m_db);
    kept.found = tasks;
    return tasks;
}

void LibraryStore::keepFingerprint(const FingerprintTask &task, const std::vector<std::uint32_t> &items,
                                   const QString &why)
{
    Transaction transaction(*this);
    auto q = m_db.query("INSERT OR REPLACE INTO fingerprints(path, size, modified, version, items, why)"
                        " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    q.bind(1, task.path).bind(2, task.size).bind(3, task.modified).bind(4, fingerprint::kFingerprintVersion);
    if (items.empty())
        q.bindNull(5);
    else
        q.bindBlob(5, blobOf(items));
    q.bind(6, why).run();
    transaction.commit();
}

std::vector<protocol::SoundMatch> LibraryStore::soundMatches()
{
    auto &kept = m_fingerprintCache.matches;
    const WriteStamp writes = writesSoFar(m_db);
    if (kept.stillTrue(writes))
        return kept.found;
    kept = {};
    // Each file once, with the tracks that use it; the prints one after the
    // other in one block.
    QHash<QString, int> fileAt;
    std::vector<std::vector<std::int32_t>> tracksOf;
    std::vector<std::uint32_t> block;
    std::vector<size_t> printStart;
    auto q = m_db.query(
        "SELECT t.database_id, t.location, f.size, f.modified, f.items FROM tracks t"
        " JOIN fingerprints f ON f.path = t.location"
        " WHERE t.kind = 1 AND f.version = ?1 AND f.items IS NOT NULL ORDER BY t.library_order, t.database_id");
    q.bind(1, fingerprint::kFingerprintVersion);
    while (q.next()) {
        const QString path = q.text(1);
        auto found = fileAt.find(path);
        if (found == fileAt.end()) {
            // A fingerprint of what the file was once is not trusted.
            const auto now = fileNow(path);
            kept.look(path, now);
            if (!now || now->size != q.int64(2) || now->modified != q.int64(3)) {
                fileAt.insert(path, -1);
                continue;
            }
            found = fileAt.insert(path, int(printStart.size()));
            printStart.push_back(block.size());
            appendItems(q.blob(4), block);
            tracksOf.emplace_back();
        }
        if (found.value() >= 0)
            tracksOf[size_t(found.value())].push_back(q.int32(0));
    }
    printStart.push_back(block.size());
    std::vector<std::span<const std::uint32_t>> spans;
    spans.reserve(printStart.size() - 1);
    for (size_t p = 0; p + 1 < printStart.size(); ++p)
        spans.emplace_back(block.data() + printStart[p], printStart[p + 1] - printStart[p]);
    std::vector<protocol::SoundMatch> matches;
    const auto add = [&matches](std::int32_t a, std::int32_t b, float strength) {
        if (a != b)
            matches.push_back({std::min(a, b), std::max(a, b), strength});
    };
    for (const auto &tracks : tracksOf) {
        for (size_t k = 1; k < tracks.size(); ++k)
            add(tracks[0], tracks[k], 1.0f);
    }
    for (const fingerprint::SoundPair &pair : fingerprint::findSoundAlikes(spans)) {
        for (const std::int32_t a : tracksOf[size_t(pair.a)]) {
            for (const std::int32_t b : tracksOf[size_t(pair.b)])
                add(a, b, pair.strength);
        }
    }
    kept.writes = writes;
    kept.found = matches;
    return matches;
}

} // namespace tidyfox::library
