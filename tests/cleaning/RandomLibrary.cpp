// SPDX-License-Identifier: GPL-3.0-or-later
#include "RandomLibrary.h"

#include <algorithm>
#include <numeric>

namespace tidyfox::cleaning::test {
namespace {

template<typename T> const T &pick(std::mt19937 &rng, const std::vector<T> &from)
{
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

bool chance(std::mt19937 &rng, double p)
{
    return std::bernoulli_distribution(p)(rng);
}

QString filterItem(std::mt19937 &rng)
{
    static const std::vector<QString> items = {
        QStringLiteral("true"),  QStringLiteral("true"),  QStringLiteral("true"),  QStringLiteral("false"),
        QStringLiteral("false"), QStringLiteral("false"), QStringLiteral("false"), QStringLiteral("false"),
        QStringLiteral("TRUE"),  QStringLiteral("True"),  QStringLiteral(""),      QStringLiteral(" true")};
    return pick(rng, items);
}

} // namespace

RandomLibrary makeRandomLibrary(std::mt19937 &rng, bool allowRefusals)
{
    RandomLibrary lib;

    // Real folders a, b and A (a differs from A by letter case only); link is
    // a symlink to a, "a/." another spelling of a; b/z.mp3 is sometimes a hard
    // link of a/x.mp3.
    const std::vector<QString> names = {QStringLiteral("x.mp3"), QStringLiteral("X.mp3"), QStringLiteral("y.mp3"),
                                        QStringLiteral("z.mp3")};
    std::uint64_t inode = 1;
    for (const QString &folder : {QStringLiteral("/m/a"), QStringLiteral("/m/b"), QStringLiteral("/m/A")}) {
        for (const QString &name : names) {
            if (chance(rng, 0.75))
                lib.files.push_back({folder + QLatin1Char('/') + name, inode++});
        }
    }
    const auto inodeOf = [&lib](const QString &path) -> std::uint64_t {
        for (const auto &file : lib.files) {
            if (file.path == path)
                return file.inode;
        }
        return 0;
    };
    for (const QString &name : names) {
        if (const auto id = inodeOf(QStringLiteral("/m/a/") + name))
            lib.files.push_back({QStringLiteral("/m/link/") + name, id});
    }
    if (const auto id = inodeOf(QStringLiteral("/m/a/x.mp3")); id && chance(rng, 0.3)) {
        std::erase_if(lib.files, [](const RandomFile &f) { return f.path == QLatin1String("/m/b/z.mp3"); });
        lib.files.push_back({QStringLiteral("/m/b/z.mp3"), id});
    }
    for (const auto &file : lib.files) {
        if (chance(rng, 0.08))
            lib.refusedByTrash << file.path;
        if (chance(rng, 0.05))
            lib.hiddenIdentity << file.path;
    }

    const int count = std::uniform_int_distribution<int>(2, 12)(rng);
    std::vector<std::int32_t> ids(40);
    std::iota(ids.begin(), ids.end(), 501);
    std::shuffle(ids.begin(), ids.end(), rng);
    // Now and then texts beyond ASCII: a composed and a decomposed "Café"
    // (two names), and one outside the basic plane.
    const std::vector<QString> trackNames = {QStringLiteral("Song"), QStringLiteral("song"), QStringLiteral("Tune")};
    const std::vector<QString> wideNames = {QStringLiteral("Caf\u00e9"), QStringLiteral("Cafe\u0301"),
                                            QStringLiteral("Song \U0001F3B5")};
    const std::vector<QString> albums = {QStringLiteral("Album"), QStringLiteral("album")};
    const std::vector<QString> artists = {QStringLiteral("Ann"), QStringLiteral("Bob")};
    const std::vector<QString> folders = {QStringLiteral("/m/a"), QStringLiteral("/m/b"), QStringLiteral("/m/A"),
                                          QStringLiteral("/m/link"), QStringLiteral("/m/a/.")};
    for (int i = 0; i < count; ++i) {
        FakeTrackData track;
        track.databaseId = ids[static_cast<size_t>(i)];
        track.name = chance(rng, 0.1) ? pick(rng, wideNames) : pick(rng, trackNames);
        track.album = pick(rng, albums);
        track.artist = pick(rng, artists);
        track.size = chance(rng, 0.7) ? 4000000 : 3000000;
        track.bitRate = chance(rng, 0.8) ? 192 : 128;
        track.sampleRate = chance(rng, 0.8) ? 44100 : 48000;
        const double kind = std::uniform_real_distribution<double>(0, 1)(rng);
        if (kind < 0.1)
            track.stream = true;
        else if (kind < 0.18)
            track.location.clear(); // a file track whose file the library lost
        else
            track.location = pick(rng, folders) + QLatin1Char('/') + pick(rng, names);
        track.refuseDelete = allowRefusals && chance(rng, 0.03);
        lib.tracks.push_back(track);
    }
    // The same file twice, on purpose, now and then.
    if (count >= 2 && chance(rng, 0.2) && !lib.tracks[0].stream)
        lib.tracks[static_cast<size_t>(count - 1)].location = lib.tracks[0].location;
    if (chance(rng, 0.5)) {
        std::vector<std::int32_t> members;
        for (const auto &track : lib.tracks) {
            if (chance(rng, 0.5))
                members.push_back(track.databaseId);
        }
        lib.playlists.push_back(members);
    }

    const double shape = std::uniform_real_distribution<double>(0, 1)(rng);
    const int items = shape < 0.05   ? std::uniform_int_distribution<int>(1, 6)(rng)
                      : shape < 0.15 ? 7
                      : shape < 0.9  ? 8
                                     : 9;
    QStringList filter;
    for (int i = 0; i < items; ++i) {
        if (i < 7)
            filter << filterItem(rng);
        else if (i == 7)
            filter << pick(rng,
                           std::vector<QString>{QStringLiteral("true"), QStringLiteral("false"), QStringLiteral("TRUE"),
                                                QStringLiteral("false"), QStringLiteral("")});
        else
            filter << QStringLiteral("extra");
    }
    lib.filter = filter.join(QLatin1Char(','));
    return lib;
}

std::shared_ptr<FakeLibrary> RandomLibrary::makeLibrary() const
{
    auto library = FakeLibrary::create();
    for (const auto &track : tracks)
        library->addTrack(track);
    for (size_t i = 0; i < playlists.size(); ++i)
        library->addPlaylist(QStringLiteral("List %1").arg(i), playlists[i]);
    return library;
}

void RandomLibrary::fillFileSystem(FakeFileSystem &fs) const
{
    for (const auto &file : files)
        fs.addFile(file.path, file.inode);
    for (const auto &path : refusedByTrash)
        fs.refuseTrash(path);
    for (const auto &path : hiddenIdentity)
        fs.hideIdentity(path);
}

QString RandomLibrary::describe() const
{
    QStringList lines{QStringLiteral("filter: \"%1\"").arg(filter)};
    for (const auto &t : tracks) {
        lines << QStringLiteral("  %1 %2|%3|%4|%5|%6|%7 %8%9")
                     .arg(t.databaseId)
                     .arg(t.name, t.album, t.artist)
                     .arg(t.size)
                     .arg(t.bitRate)
                     .arg(t.sampleRate)
                     .arg(t.stream ? QStringLiteral("<stream>") : t.location)
                     .arg(t.refuseDelete ? QStringLiteral(" (refuses)") : QString());
    }
    QStringList fileLines;
    for (const auto &f : files)
        fileLines << QStringLiteral("%1#%2").arg(f.path).arg(f.inode);
    lines << QStringLiteral("files: ") + fileLines.join(QLatin1Char(' '));
    lines << QStringLiteral("trash refuses: ") + refusedByTrash.join(QLatin1Char(' '));
    lines << QStringLiteral("no identity: ") + hiddenIdentity.join(QLatin1Char(' '));
    return lines.join(QLatin1Char('\n'));
}

} // namespace tidyfox::cleaning::test
