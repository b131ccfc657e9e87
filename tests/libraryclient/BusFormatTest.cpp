// SPDX-License-Identifier: GPL-3.0-or-later
// The payload that carries collections over the bus: what goes in comes out,
// and a damaged payload is refused rather than read past its end.
#include "protocol/LibraryBusFormat.h"
#include "protocol/SealedMemoryFile.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

namespace tidyfox::protocol {
namespace {

TrackRecord sampleTrack()
{
    TrackRecord t;
    t.databaseId = 2147483647;
    t.trackId = 70000;
    t.kind = TrackKind::Url;
    t.name = QStringLiteral("Délta 日本 🎵");
    t.artist = QStringLiteral("Artist");
    t.composer = QString();
    t.genre = QStringLiteral("G");
    t.kindAsString = QStringLiteral("Internet audio stream");
    t.time = QStringLiteral("1:02:03");
    t.totalTimeMs = 3723000;
    t.bitRate = 320;
    t.sampleRate = 48000;
    t.size = 5095599673; // over 4 GB: sizes are 64-bit on the bus
    t.dateAdded = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 123), Qt::UTC);
    t.playCount = 2147483647;
    t.skipCount = 3;
    t.rating = 100;
    t.playDate = QDateTime(QDate(2024, 2, 29), QTime(6, 7, 8), Qt::UTC);
    t.location = QStringLiteral("http://example.org/live");
    t.longDescription = QStringLiteral("line one\rline two");
    return t;
}

TEST(BusFormat, TracksRoundTrip)
{
    TrackRecord undated;
    undated.databaseId = 1;
    undated.name = QStringLiteral("No date");
    const TrackTable table(encodeTracks({sampleTrack(), undated}));
    ASSERT_EQ(table.count(), 2);

    const TrackRecord back = table.record(0);
    const TrackRecord in = sampleTrack();
    EXPECT_EQ(back.databaseId, in.databaseId);
    EXPECT_EQ(back.trackId, in.trackId);
    EXPECT_EQ(back.kind, in.kind);
    EXPECT_EQ(back.totalTimeMs, in.totalTimeMs);
    EXPECT_EQ(back.bitRate, in.bitRate);
    EXPECT_EQ(back.sampleRate, in.sampleRate);
    EXPECT_EQ(back.size, in.size);
    EXPECT_EQ(back.dateAdded, in.dateAdded);
    EXPECT_EQ(back.playCount, in.playCount);
    EXPECT_EQ(back.skipCount, in.skipCount);
    EXPECT_EQ(back.rating, in.rating);
    EXPECT_EQ(back.playDate, in.playDate);
    for (auto [got, want] : {std::pair{back.name, in.name},
                             {back.artist, in.artist},
                             {back.album, in.album},
                             {back.composer, in.composer},
                             {back.genre, in.genre},
                             {back.kindAsString, in.kindAsString},
                             {back.time, in.time},
                             {back.location, in.location},
                             {back.longDescription, in.longDescription}})
        EXPECT_EQ(got, want);
    EXPECT_EQ(table.text(0, TrackText::LongDescription), in.longDescription);
    EXPECT_EQ(table.text(1, TrackText::Name), QStringLiteral("No date"));
    EXPECT_FALSE(table.dateAdded(1).isValid());
    EXPECT_FALSE(table.playDate(1).isValid());
    EXPECT_EQ(table.playCount(1), 0);
    EXPECT_EQ(table.findTrackId(70000), 0);
    EXPECT_EQ(table.findTrackId(5), -1);
    EXPECT_EQ(TrackTable(encodeTracks({})).count(), 0);
}

// A service left running across an update answers in the layout without the
// history: its tracks read as never played, everything else as sent.
TEST(BusFormat, TracksOfTheLayoutWithoutHistoryAreRead)
{
    const QByteArray current = encodeTracks({sampleTrack()});
    const qsizetype historyAt = 8 + 6 * 4 + 8 + 8;
    QByteArray older = current.left(historyAt) + current.mid(historyAt + 3 * 4 + 8);
    ASSERT_EQ(older.left(4), QByteArray("TFT3"));
    older[3] = '2';
    const TrackTable table(older);
    ASSERT_EQ(table.count(), 1);
    EXPECT_EQ(table.size(0), sampleTrack().size);
    EXPECT_EQ(table.dateAdded(0), sampleTrack().dateAdded);
    EXPECT_EQ(table.playCount(0), 0);
    EXPECT_EQ(table.rating(0), 0);
    EXPECT_FALSE(table.playDate(0).isValid());
    EXPECT_EQ(table.text(0, TrackText::LongDescription), sampleTrack().longDescription);
    EXPECT_THROW(TrackTable(older.left(older.size() - 1)), FormatError);
}

TEST(BusFormat, PlaylistsRoundTrip)
{
    PlaylistRecord p;
    p.playlistId = 99999;
    p.kind = 1;
    p.name = QStringLiteral("Bibliothèque");
    const auto back = decodePlaylists(encodePlaylists({p, PlaylistRecord{}}));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].playlistId, 99999);
    EXPECT_EQ(back[0].kind, 1);
    EXPECT_EQ(back[0].name, p.name);
    EXPECT_EQ(back[1].kind, 2);
}

TEST(BusFormat, DamagedPayloadsAreRefused)
{
    const QByteArray good = encodeTracks({sampleTrack(), sampleTrack()});
    for (qsizetype cut : {qsizetype(0), qsizetype(3), qsizetype(8), good.size() / 2, good.size() - 1})
        EXPECT_THROW(TrackTable(good.left(cut)), FormatError) << cut;
    EXPECT_THROW(TrackTable(good + QByteArray(1, '\0')), FormatError);
    // A count far beyond what the bytes hold.
    QByteArray lying = good;
    lying[4] = char(0xff);
    lying[5] = char(0xff);
    lying[6] = char(0xff);
    lying[7] = char(0x7f);
    EXPECT_THROW(TrackTable{lying}, FormatError);
    // A playlist payload is not a track payload.
    EXPECT_THROW(TrackTable(encodePlaylists({})), FormatError);
    EXPECT_THROW(decodePlaylists(good), FormatError);
}

TEST(BusFormat, MemoryFilesCarryThePayloadIntact)
{
    const QByteArray payload = encodeTracks({sampleTrack(), sampleTrack()});
    auto mapped = [&] {
        const SealedMemoryFile file(payload);
        EXPECT_EQ(file.size(), payload.size());
        EXPECT_EQ(file.readAll(), payload);
        return SealedMemoryFile::map(file.fd());
    }();
    // The mapping outlives the file's descriptor, as in the program.
    ASSERT_TRUE(mapped.keeper);
    const TrackTable table(mapped.bytes, mapped.keeper);
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(table.text(1, TrackText::Name), sampleTrack().name);

    // Pages a walk is past leave memory and come back intact when read again.
    TrackRecord wide = sampleTrack();
    wide.longDescription = QString(3000, QLatin1Char('w'));
    const std::vector<TrackRecord> many(40, wide);
    const SealedMemoryFile manyFile(encodeTracks(many));
    const auto manyMapped = SealedMemoryFile::map(manyFile.fd());
    const TrackTable manyTable(manyMapped.bytes, manyMapped.keeper);
    for (int row = 0; row <= manyTable.count(); row += 7)
        manyTable.forgetRowsBefore(row);
    for (int row = 0; row < manyTable.count(); row += 13)
        EXPECT_EQ(manyTable.record(row).longDescription, wide.longDescription) << row;

    // A file that its sender could still shorten is copied, not mapped.
    const int open = memfd_create("unsealed", MFD_CLOEXEC);
    ASSERT_GE(open, 0);
    ASSERT_EQ(::write(open, payload.constData(), static_cast<size_t>(payload.size())), payload.size());
    const auto copied = SealedMemoryFile::map(open);
    ::close(open);
    EXPECT_FALSE(copied.keeper);
    EXPECT_EQ(copied.bytes, payload);

    // Written in pieces, the head last: the same bytes, sealed alike.
    MemoryFileWriter pieces;
    TrackPayloadWriter writer;
    for (int i = 0; i < 2; ++i) {
        writer.add(sampleTrack());
        pieces.append(writer.pending());
        writer.clearPending();
    }
    pieces.overwrite(0, writer.head());
    EXPECT_THROW(pieces.overwrite(payload.size() - 2, writer.head()), LibraryError);
    const auto sealed = pieces.seal();
    EXPECT_EQ(sealed->readAll(), payload);
    EXPECT_TRUE(SealedMemoryFile::map(sealed->fd()).keeper);
}

} // namespace
} // namespace tidyfox::protocol
