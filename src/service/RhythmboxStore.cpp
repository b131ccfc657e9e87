// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/RhythmboxStore.h"

#include "service/PlayerXmlSpans.h"

#include <QFile>
#include <QHash>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tidyfox::library {

namespace {

constexpr int kWriteAttempts = 3;

// The values a merge moves, in the names rhythmdb.xml gives them.
constexpr const char *kHistoryElements[] = {"play-count", "last-played", "rating", "first-seen"};

QByteArray readWhole(const QString &fileName, bool mayBeMissing)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (mayBeMissing && !file.exists())
            return {};
        throw PlayerWriteError(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    }
    return file.readAll();
}

struct Piece
{
    QByteArray text;
    QString key;
    QString type;
    bool gone = false;
};

// rhythmdb.xml: its entries in order, each with its bytes.
class EntryFile
{
public:
    EntryFile(const QString &fileName, QByteArray doc) : m_doc(std::move(doc))
    {
        try {
            m_spans = rootChildren(m_doc, "entry", "rhythmdb", &m_rootEnd);
            checkVersion();
            m_pieces.reserve(m_spans.size());
            for (const ElementSpan &span : m_spans) {
                const QByteArrayView text = QByteArrayView(m_doc).sliced(span.begin, span.end - span.begin);
                // A view of the file's own bytes until a change makes its own.
                Piece piece{QByteArray::fromRawData(text.data(), text.size()),
                            childText(text, "location").value_or(QString()),
                            startTagAttribute(text, "type").value_or(QString())};
                if (!piece.key.isEmpty())
                    m_byKey.insert(piece.key, int(m_pieces.size()));
                m_pieces.push_back(std::move(piece));
            }
        } catch (const PlayerFileError &e) {
            throw PlayerWriteError(e.describe(fileName));
        }
    }

    Piece *find(const QString &key)
    {
        const auto it = m_byKey.constFind(key);
        return it == m_byKey.cend() ? nullptr : &m_pieces[std::size_t(*it)];
    }

    void drop(const QString &key)
    {
        if (Piece *piece = find(key)) {
            piece->gone = true;
            m_byKey.remove(key);
        }
    }

    // Before the entry of the key before, when the file has it as it came;
    // at the end otherwise.
    void add(QByteArray text, const QString &key, const QString &type, const QString &before = {})
    {
        const int index = int(m_pieces.size());
        const auto anchor = before.isEmpty() ? m_byKey.cend() : m_byKey.constFind(before);
        if (anchor != m_byKey.cend() && std::size_t(*anchor) < m_spans.size())
            m_insertedBefore[*anchor].push_back(index);
        else
            m_atEnd.push_back(index);
        m_byKey.insert(key, index);
        m_pieces.push_back({std::move(text), key, type, false});
    }

    // The key of the entry that follows key's in the file, for a put-back.
    QString keyAfter(const QString &key) const
    {
        const auto it = m_byKey.constFind(key);
        if (it == m_byKey.cend())
            return {};
        for (std::size_t i = std::size_t(*it) + 1; i < m_spans.size(); ++i) {
            if (!m_pieces[i].gone && !m_pieces[i].key.isEmpty())
                return m_pieces[i].key;
        }
        return {};
    }

    QByteArray bytes() const
    {
        QByteArray out;
        out.reserve(m_doc.size() + 4096);
        qsizetype at = 0;
        const auto appendAdded = [&](const std::vector<int> &indexes) {
            for (const int i : indexes) {
                if (!m_pieces[std::size_t(i)].gone)
                    out.append(m_pieces[std::size_t(i)].text);
            }
        };
        for (std::size_t i = 0; i < m_spans.size(); ++i) {
            out.append(QByteArrayView(m_doc).sliced(at, m_spans[i].begin - at));
            if (const auto added = m_insertedBefore.constFind(int(i)); added != m_insertedBefore.cend())
                appendAdded(*added);
            if (!m_pieces[i].gone)
                out.append(m_pieces[i].text);
            at = m_spans[i].end;
        }
        out.append(QByteArrayView(m_doc).sliced(at, m_rootEnd - at));
        appendAdded(m_atEnd);
        out.append(QByteArrayView(m_doc).sliced(m_rootEnd));
        return out;
    }

    const QByteArray &original() const { return m_doc; }

private:
    void checkVersion()
    {
        const auto version = startTagAttribute(QByteArrayView(m_doc).sliced(m_doc.indexOf("<rhythmdb")), "version");
        bool ok = true;
        if (version && (version->toDouble(&ok) > kNewestRhythmdbVersion || !ok)) {
            const auto [line, column] = placeOf(m_doc, m_doc.indexOf("<rhythmdb"));
            throw PlayerFileError(line, column,
                                  QStringLiteral("rhythmdb version %1 is newer than this program reads (up to %2)")
                                      .arg(*version)
                                      .arg(kNewestRhythmdbVersion, 0, 'f', 1));
        }
    }

    QByteArray m_doc;
    std::vector<ElementSpan> m_spans;
    qsizetype m_rootEnd = 0;
    std::vector<Piece> m_pieces;
    QHash<QString, int> m_byKey;
    QHash<int, std::vector<int>> m_insertedBefore;
    std::vector<int> m_atEnd;
};

// playlists.xml: the lists of locations (static playlists and the play
// queue) as their items; every other playlist as its bytes.
class PlaylistFile
{
public:
    PlaylistFile(const QString &fileName, QByteArray doc) : m_doc(std::move(doc))
    {
        if (m_doc.isEmpty())
            return;
        try {
            m_spans = rootChildren(m_doc, "playlist", "rhythmdb-playlists");
            for (const ElementSpan &span : m_spans) {
                const QByteArrayView text = QByteArrayView(m_doc).sliced(span.begin, span.end - span.begin);
                Playlist playlist;
                playlist.name = startTagAttribute(text, "name").value_or(QString());
                const QString type = startTagAttribute(text, "type").value_or(QString());
                // An empty one written as <playlist .../> has no places to change.
                playlist.listsLocations = (type == u"static" || type == u"queue") && text.contains("</playlist>");
                if (!playlist.listsLocations) {
                    playlist.head = text.toByteArray();
                } else {
                    const auto items = childrenOf(text, "location");
                    const qsizetype itemsBegin = items.empty() ? rootEndTag(text) : items.front().begin;
                    const qsizetype itemsEnd = items.empty() ? itemsBegin : items.back().end;
                    playlist.head = text.first(itemsBegin).toByteArray();
                    playlist.tail = text.sliced(itemsEnd).toByteArray();
                    for (std::size_t i = 0; i < items.size(); ++i) {
                        const qsizetype end = i + 1 < items.size() ? items[i + 1].begin : items[i].end;
                        const ElementSpan &item = items[i];
                        playlist.items.push_back(
                            {text.sliced(item.begin, end - item.begin).toByteArray(),
                             unescapeXml(text.sliced(item.contentBegin, item.contentEnd - item.contentBegin))});
                    }
                }
                m_playlists.push_back(std::move(playlist));
            }
        } catch (const PlayerFileError &e) {
            throw PlayerWriteError(e.describe(fileName));
        }
    }

    // Takes every place of key out of every list (or of the list named
    // only); the places, for a put-back.
    QString takeOut(const QString &key, const std::optional<QString> &only = std::nullopt)
    {
        QStringList places;
        for (Playlist &playlist : m_playlists) {
            if (!playlist.listsLocations || playlist.gone || (only && playlist.name != *only))
                continue;
            for (qsizetype i = qsizetype(playlist.items.size()) - 1; i >= 0; --i) {
                if (playlist.items[std::size_t(i)].key != key)
                    continue;
                places.prepend(
                    QStringLiteral("%1\t%2").arg(i).arg(QString::fromLatin1(QUrl::toPercentEncoding(playlist.name))));
                playlist.items.erase(playlist.items.begin() + i);
                m_changed = true;
            }
        }
        return places.join(QLatin1Char('\n'));
    }

    void putBack(const QString &key, const QString &places)
    {
        for (const QString &place : places.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const qsizetype tab = place.indexOf(QLatin1Char('\t'));
            const QString name = QUrl::fromPercentEncoding(place.mid(tab + 1).toLatin1());
            const std::size_t index = std::size_t(std::max(0, place.left(tab).toInt()));
            for (Playlist &playlist : m_playlists) {
                if (!playlist.listsLocations || playlist.gone || playlist.name != name)
                    continue;
                QByteArray indent = "    ";
                if (!playlist.items.empty()) {
                    const QByteArray &neighbour = playlist.items.front().text;
                    indent = neighbour.left(neighbour.indexOf('<'));
                }
                const std::size_t at = std::min(index, playlist.items.size());
                playlist.items.insert(playlist.items.begin() + qsizetype(at),
                                      {indent + "<location>" + escapeXml(key) + "</location>\n", key});
                m_changed = true;
                break;
            }
        }
    }

    // Takes the first playlist named name out whole: its text, and the name
    // of the one that followed it, for a put-back.
    std::optional<std::pair<QByteArray, QString>> drop(const QString &name)
    {
        for (std::size_t i = 0; i < m_playlists.size(); ++i) {
            Playlist &playlist = m_playlists[i];
            if (playlist.gone || playlist.name != name)
                continue;
            playlist.gone = true;
            m_changed = true;
            QString next;
            for (std::size_t j = i + 1; j < m_playlists.size() && next.isEmpty(); ++j) {
                if (!m_playlists[j].gone)
                    next = m_playlists[j].name;
            }
            return std::make_pair(textOf(playlist), next);
        }
        return std::nullopt;
    }

    // A playlist dropped before, back before the one named before (at the
    // end when that one is not there).
    void restore(const QByteArray &text, const QString &before)
    {
        m_changed = true;
        for (std::size_t i = 0; i < m_playlists.size(); ++i) {
            if (!m_playlists[i].gone && !before.isEmpty() && m_playlists[i].name == before) {
                m_insertedBefore[i].push_back(text);
                return;
            }
        }
        m_atEnd.push_back(text);
    }

    bool has(const QString &name) const
    {
        return std::any_of(m_playlists.begin(), m_playlists.end(),
                           [&](const Playlist &p) { return !p.gone && p.name == name; });
    }

    bool changed() const { return m_changed; }

    QByteArray bytes() const
    {
        QByteArray out;
        out.reserve(m_doc.size() + 1024);
        qsizetype at = 0;
        for (std::size_t i = 0; i < m_spans.size(); ++i) {
            out.append(QByteArrayView(m_doc).sliced(at, m_spans[i].begin - at));
            if (const auto inserted = m_insertedBefore.find(i); inserted != m_insertedBefore.end())
                for (const QByteArray &text : inserted->second)
                    out.append(text);
            if (!m_playlists[i].gone)
                out.append(textOf(m_playlists[i]));
            at = m_spans[i].end;
        }
        const qsizetype end = m_atEnd.empty() ? m_doc.size() : rootEndTag(m_doc);
        out.append(QByteArrayView(m_doc).sliced(at, end - at));
        for (const QByteArray &text : m_atEnd)
            out.append(text);
        out.append(QByteArrayView(m_doc).sliced(end));
        return out;
    }

    const QByteArray &original() const { return m_doc; }

private:
    struct Item
    {
        QByteArray text;
        QString key;
    };
    struct Playlist
    {
        QString name;
        bool listsLocations = false;
        bool gone = false;
        QByteArray head;
        std::vector<Item> items;
        QByteArray tail;
    };
    static QByteArray textOf(const Playlist &playlist)
    {
        QByteArray text = playlist.head;
        for (const Item &item : playlist.items)
            text += item.text;
        return text + playlist.tail;
    }

    QByteArray m_doc;
    std::vector<ElementSpan> m_spans;
    std::vector<Playlist> m_playlists;
    std::map<std::size_t, std::vector<QByteArray>> m_insertedBefore;
    std::vector<QByteArray> m_atEnd;
    bool m_changed = false;
};

using Values = std::map<QString, QString>;

Values historyOf(QByteArrayView entry)
{
    Values values;
    for (const char *name : kHistoryElements) {
        if (const auto text = childText(entry, name))
            values[QString::fromLatin1(name)] = *text;
    }
    return values;
}

QString valuesText(const Values &values)
{
    QStringList lines;
    for (const auto &[name, value] : values)
        lines << name + QLatin1Char('\t') + value;
    return lines.join(QLatin1Char('\n'));
}

Values valuesFrom(const QString &text)
{
    Values values;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        values[line.left(tab)] = line.mid(tab + 1);
    }
    return values;
}

std::optional<QString> valueOf(const Values &values, const char *name)
{
    const auto it = values.find(QString::fromLatin1(name));
    return it == values.end() ? std::nullopt : std::optional<QString>(it->second);
}

QByteArray withValues(QByteArray entry, const Values &from, const Values &to)
{
    for (const char *name : kHistoryElements) {
        const auto value = valueOf(to, name);
        if (value != valueOf(from, name))
            entry = withChildText(entry, name, value);
    }
    return entry;
}

// The keeper's history with the copy's taken in: the sum of the plays, the
// latest play, the highest rating and the earliest first sight.
Values merged(const Values &keeper, const Values &copy)
{
    Values result = keeper;
    const auto take = [&](const char *name, auto better) {
        const auto k = valueOf(keeper, name);
        const auto c = valueOf(copy, name);
        if (c && (!k || better(c->toDouble(), k->toDouble())))
            result[QString::fromLatin1(name)] = *c;
    };
    const auto k = valueOf(keeper, "play-count");
    const auto c = valueOf(copy, "play-count");
    if (c && c->toLongLong() > 0)
        result[QStringLiteral("play-count")] = QString::number(k.value_or(QString()).toLongLong() + c->toLongLong());
    take("last-played", [](double a, double b) { return a > b; });
    take("rating", [](double a, double b) { return a > b; });
    take("first-seen", [](double a, double b) { return a < b; });
    return result;
}

// What a merge gave the keeper goes back, where the keeper still has it as
// the merge left it; plays counted since are kept.
Values unmerged(const Values &now, const Values &before, const Values &after)
{
    Values result = now;
    for (const char *name : kHistoryElements) {
        const QString n = QString::fromLatin1(name);
        const auto current = valueOf(now, name);
        if (current == valueOf(after, name)) {
            if (const auto old = valueOf(before, name))
                result[n] = *old;
            else
                result.erase(n);
        } else if (n == u"play-count" && current) {
            const qint64 added = valueOf(after, name).value_or(QString()).toLongLong() -
                                 valueOf(before, name).value_or(QString()).toLongLong();
            result[n] = QString::number(std::max<qint64>(0, current->toLongLong() - added));
        }
    }
    return result;
}

// What a playlist change took out, kept beside the entries' own notes.
QString placeKey(const QString &playlist, const QString &key)
{
    return QStringLiteral("place\t") + playlist + QLatin1Char('\t') + key;
}

QString playlistKey(const QString &playlist)
{
    return QStringLiteral("playlist\t") + playlist;
}

// The player's own way of passing over a file in its folders.
QByteArray ignoreEntry(const QString &key, const QByteArray &songEntry)
{
    QByteArray text = "  <entry type=\"ignore\">\n    <title></title>\n    <genre></genre>\n    <artist></artist>\n"
                      "    <album></album>\n    <location>" +
                      escapeXml(key) + "</location>\n";
    if (const auto mtime = childText(songEntry, "mtime"))
        text += "    <mtime>" + escapeXml(*mtime) + "</mtime>\n";
    text += "    <date>0</date>\n    <media-type>application/octet-stream</media-type>\n  </entry>\n";
    return text;
}

// Written beside the file, flushed to the disk, with the file's permissions.
QString writeBeside(const QString &fileName, const QByteArray &bytes)
{
    const QString temporary = fileName + QStringLiteral(".tidyfox-new");
    QFile file(temporary);
    const auto fail = [&](const QString &why) {
        file.close();
        QFile::remove(temporary);
        return PlayerWriteError(QStringLiteral("cannot write %1: %2").arg(fileName, why));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw fail(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw fail(file.errorString());
    if (::fsync(file.handle()) != 0)
        throw fail(QString::fromLocal8Bit(std::strerror(errno)));
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw fail(file.errorString());
    file.setPermissions(QFile::permissions(fileName));
    return temporary;
}

void replaceWith(const QString &fileName, const QString &temporary)
{
    const QString before = fileName + QStringLiteral(".tidyfox-before");
    QFile::remove(before);
    if (::link(QFile::encodeName(fileName).constData(), QFile::encodeName(before).constData()) != 0)
        QFile::copy(fileName, before);
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(fileName).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        throw PlayerWriteError(QStringLiteral("cannot replace %1: %2").arg(fileName, why));
    }
}

} // namespace

RhythmboxStore::RhythmboxStore(QString libraryFile, QString playlistsFile)
    : m_libraryFile(std::move(libraryFile)), m_playlistsFile(std::move(playlistsFile))
{}

void RhythmboxStore::apply(const std::vector<PlayerChange> &changes, PlayerSavedMap &saved)
{
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        PlayerSavedMap next = saved;
        if (applyOnce(changes, next)) {
            saved = std::move(next);
            return;
        }
    }
    throw PlayerWriteError(
        QStringLiteral("%1 kept changing while Tidyfox wrote it; the change waits").arg(m_libraryFile));
}

// False when a file changed while it was being written: nothing was replaced.
bool RhythmboxStore::applyOnce(const std::vector<PlayerChange> &changes, PlayerSavedMap &saved)
{
    EntryFile entries(m_libraryFile, readWhole(m_libraryFile, false));
    PlaylistFile playlists(m_playlistsFile,
                           m_playlistsFile.isEmpty() ? QByteArray() : readWhole(m_playlistsFile, true));
    bool entriesChanged = false;
    QString mergedKey;
    for (const PlayerChange &change : changes) {
        switch (change.kind) {
        case PlayerChange::MergeInto: {
            Piece *copy = entries.find(change.key);
            Piece *keeper = entries.find(change.otherKey);
            mergedKey = change.key;
            saved[change.key] = {};
            if (!copy || !keeper)
                break; // written before, or the keeper has gone from the player
            const Values before = historyOf(keeper->text);
            const Values after = merged(before, historyOf(copy->text));
            keeper->text = withValues(keeper->text, before, after);
            saved[change.key] = {{}, {}, {}, change.otherKey, valuesText(before), valuesText(after), false};
            entriesChanged = true;
            break;
        }
        case PlayerChange::Remove: {
            Piece *entry = entries.find(change.key);
            if (!entry)
                break;
            PlayerSaved &s = saved[change.key];
            if (mergedKey != change.key)
                s = {};
            s.entry = QByteArray(entry->text.constData(), entry->text.size()); // outlives the file's bytes
            s.places = playlists.takeOut(change.key);
            s.before = entries.keyAfter(change.key);
            entries.drop(change.key);
            entriesChanged = true;
            break;
        }
        case PlayerChange::Ignore: {
            const auto s = saved.find(change.key);
            if (entries.find(change.key) || s == saved.end() || s->second.entry.isEmpty())
                break;
            entries.add(ignoreEntry(change.key, s->second.entry), change.key, QStringLiteral("ignore"));
            s->second.ignored = true;
            entriesChanged = true;
            break;
        }
        case PlayerChange::LeavePlaylist: {
            const QString places = playlists.takeOut(change.key, change.otherKey);
            if (!places.isEmpty())
                saved[placeKey(change.otherKey, change.key)] = {{}, places, {}, {}, {}, {}, false};
            break;
        }
        case PlayerChange::ReturnToPlaylist: {
            const auto it = saved.find(placeKey(change.otherKey, change.key));
            if (it == saved.end())
                break;
            playlists.putBack(change.key, it->second.places);
            saved.erase(it);
            break;
        }
        case PlayerChange::DeletePlaylist: {
            if (const auto dropped = playlists.drop(change.otherKey))
                saved[playlistKey(change.otherKey)] = {dropped->first, {}, dropped->second, {}, {}, {}, false};
            break;
        }
        case PlayerChange::RestorePlaylist: {
            const auto it = saved.find(playlistKey(change.otherKey));
            if (it == saved.end())
                break;
            if (!playlists.has(change.otherKey))
                playlists.restore(it->second.entry, it->second.before);
            saved.erase(it);
            break;
        }
        case PlayerChange::SetHistory: {
            Piece *entry = entries.find(change.key);
            if (!entry)
                break;
            const PlayerHistory history = historyFromText(change.otherKey);
            const Values now = historyOf(entry->text);
            Values wanted = now;
            if (history.playCount > 0)
                wanted[QStringLiteral("play-count")] = QString::number(history.playCount);
            if (history.lastPlayed > 0)
                wanted[QStringLiteral("last-played")] = QString::number(history.lastPlayed);
            // Stars, 0 to 5, as the player keeps them.
            if (history.rating > 0)
                wanted[QStringLiteral("rating")] = QString::number(double(history.rating) / 20.0, 'g', 6);
            entry->text = withValues(entry->text, now, wanted);
            entriesChanged = true;
            break;
        }
        case PlayerChange::PutBack: {
            const auto it = saved.find(change.key);
            if (it == saved.end())
                break;
            const PlayerSaved s = it->second;
            saved.erase(it);
            Piece *present = entries.find(change.key);
            if (s.ignored && present && present->type == u"ignore") {
                entries.drop(change.key);
                present = nullptr;
            }
            if (!present && !s.entry.isEmpty()) {
                entries.add(s.entry, change.key, startTagAttribute(s.entry, "type").value_or(QString()), s.before);
                playlists.putBack(change.key, s.places);
            }
            if (Piece *keeper = s.keeperKey.isEmpty() ? nullptr : entries.find(s.keeperKey)) {
                const Values now = historyOf(keeper->text);
                keeper->text =
                    withValues(keeper->text, now, unmerged(now, valuesFrom(s.keeperBefore), valuesFrom(s.keeperAfter)));
            }
            entriesChanged = true;
            break;
        }
        }
    }
    if (!entriesChanged && !playlists.changed())
        return true;

    const QString newEntries = entriesChanged ? writeBeside(m_libraryFile, entries.bytes()) : QString();
    QString newPlaylists;
    try {
        if (playlists.changed())
            newPlaylists = writeBeside(m_playlistsFile, playlists.bytes());
    } catch (...) {
        if (!newEntries.isEmpty())
            QFile::remove(newEntries);
        throw;
    }
    // Read again just before the files are replaced: the player (or the
    // person) may have written one since, and that is never overwritten.
    const bool unchanged = readWhole(m_libraryFile, false) == entries.original() &&
                           (newPlaylists.isEmpty() || readWhole(m_playlistsFile, true) == playlists.original());
    if (!unchanged) {
        QFile::remove(newEntries);
        QFile::remove(newPlaylists);
        return false;
    }
    if (!newEntries.isEmpty())
        replaceWith(m_libraryFile, newEntries);
    if (!newPlaylists.isEmpty())
        replaceWith(m_playlistsFile, newPlaylists);
    return true;
}

} // namespace tidyfox::library
