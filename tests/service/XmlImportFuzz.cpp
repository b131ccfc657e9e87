// SPDX-License-Identifier: GPL-3.0-or-later
// A mutation fuzzer for the library XML import, seeded with real library
// files and their binary forms: every input must either import or be refused with a message, and a
// refused one must leave the library as it was. Every text input is also read
// by the import's XML scanner and by Qt's stream reader, and where they part
// the input is kept and said; with --strict that counts as a finding too
// (Qt's reader has quirks of its own on mangled input, which xmllint does not
// share, so it is no verdict by itself). No coverage guidance: random
// byte edits, splices and plist tokens on seeds cut down to a few dozen tracks,
// so that an import takes milliseconds.
//
// xml_import_fuzz --seeds FOLDER [--seconds N] [--seed N] [--keep FOLDER] [--strict]
// Exit codes: 0 no finding, 1 findings (inputs kept), 77 no seeds (skipped).
#include "XmlTokens.h"
#include "service/LibraryStore.h"
#include "service/LibraryXmlImport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <plist/plist.h>

using namespace tidyfox::library;
using namespace tidyfox::library::test;

namespace {

constexpr qsizetype kMaxInput = 1 << 20;

// Keeps the first few track dictionaries and playlist items of a large file.
QByteArray cutDown(const QByteArray &file)
{
    if (file.size() < 64 * 1024)
        return file;
    QString text = QString::fromUtf8(file);
    auto keepFirst = [&text](const QRegularExpression &pattern, int keep) {
        QString out;
        qsizetype last = 0;
        int seen = 0;
        auto it = pattern.globalMatch(text);
        while (it.hasNext()) {
            const auto m = it.next();
            if (++seen <= keep)
                continue;
            out += QStringView(text).mid(last, m.capturedStart() - last);
            last = m.capturedEnd();
        }
        out += QStringView(text).mid(last);
        text = out;
    };
    keepFirst(QRegularExpression(QStringLiteral("<key>\\d+</key>\\s*<dict>.*?</dict>\\s*"),
                                 QRegularExpression::DotMatchesEverythingOption),
              40);
    keepFirst(
        QRegularExpression(QStringLiteral("<dict>\\s*<key>Track ID</key>\\s*<integer>\\d+</integer>\\s*</dict>\\s*")),
        120);
    keepFirst(QRegularExpression(QStringLiteral("<data>[^<]{2000,}</data>")), 0);
    return text.toUtf8();
}

const QList<QByteArray> kTokens = {
    "<key>Track ID</key>",
    "<integer>99999999999</integer>",
    "<integer>-1</integer>",
    "<integer>0</integer>",
    "<real>1e400</real>",
    "<real>nan</real>",
    "<key>Location</key>",
    "<string>file:///a%00b.mp3</string>",
    "<string>file://localhost/C:/x%C3</string>",
    "<key>Playlist Items</key>",
    "<array>",
    "</array>",
    "<dict>",
    "</dict>",
    "<dict/>",
    "<array/>",
    "<true/>",
    "<false/>",
    "<key>Master</key>",
    "<key>Tracks</key>",
    "<key>Playlists</key>",
    "<key>Persistent ID</key>",
    "<string>0000000000000001</string>",
    "&amp;",
    "&#0;",
    "&#xFFFF;",
    "<![CDATA[",
    "]]>",
    "<!-- -->",
    "<!DOCTYPE plist [<!ENTITY e \"x\">]>",
    "&e;",
    "</plist>",
    "<plist version=\"1.0\">",
    "<key>Track Type</key><string>URL</string>",
    "<date>2020-13-45T99:99:99Z</date>",
    "<key>Date Added</key>",
    "<key>Folder</key>",
    "<key>Smart Info</key><data>AAEC</data>",
    "\xF0\x9F",
    "\xC3\xA9",
    "\x00",
    "<key></key>",
    "<string></string>",
};

class Mutator
{
public:
    explicit Mutator(quint32 seed) : m_random(seed) {}

    QByteArray mutate(QByteArray input, const QList<QByteArray> &seeds)
    {
        // Mostly one or two edits: more break nearly every file at the XML level
        // and the import's own checks behind it are never reached.
        const int edits = m_random.bounded(4) == 0 ? 2 + int(m_random.bounded(6)) : 1 + int(m_random.bounded(2));
        for (int i = 0; i < edits && !input.isEmpty(); ++i) {
            const qsizetype at = pos(input);
            switch (m_random.bounded(8)) {
            case 0: // flip a bit
                input[at] = char(input[at] ^ (1 << m_random.bounded(8)));
                break;
            case 1: // a random byte
                input.insert(at, char(m_random.bounded(256)));
                break;
            case 2: // cut a range
                input.remove(at, qsizetype(m_random.bounded(64)) + 1);
                break;
            case 3: // repeat a range
                input.insert(at, input.mid(pos(input), qsizetype(m_random.bounded(256)) + 1));
                break;
            case 4: // a plist token
                input.insert(at, kTokens[int(m_random.bounded(kTokens.size()))]);
                break;
            case 5: { // replace a number
                const qsizetype digit = input.indexOf(QByteArrayView("<integer>"), at);
                if (digit >= 0)
                    input.insert(digit + 9, QByteArray::number(qint64(m_random.generate64() >> m_random.bounded(64))));
                break;
            }
            case 6: { // splice in a piece of another seed
                const QByteArray &other = seeds[int(m_random.bounded(seeds.size()))];
                if (!other.isEmpty())
                    input.insert(at, other.mid(pos(other), qsizetype(m_random.bounded(2048))));
                break;
            }
            default: // end early
                if (m_random.bounded(4) == 0)
                    input.truncate(at);
                break;
            }
        }
        return input.left(kMaxInput);
    }

private:
    qsizetype pos(const QByteArray &bytes) { return bytes.isEmpty() ? 0 : qsizetype(m_random.bounded(bytes.size())); }
    QRandomGenerator m_random;
};

// Everything a reader of the library could see.
QByteArray fingerprint(LibraryStore &store)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(store.topTrackId()) + ' ' + QByteArray::number(store.topPlaylistId()));
    for (const PlaylistRecord &p : store.playlists()) {
        hash.addData(QStringLiteral("%1|%2|%3\n").arg(p.playlistId).arg(p.name, p.persistentId).toUtf8());
        for (const TrackRecord &t : store.playlistTracks(p.playlistId))
            hash.addData(QStringLiteral("%1|%2|%3|%4|%5|%6\n")
                             .arg(t.databaseId)
                             .arg(t.trackId)
                             .arg(t.name, t.location, t.persistentId, t.dateAdded.toString(Qt::ISODate))
                             .toUtf8());
    }
    return hash.result();
}

// What the scanner reads differently from Qt's reader, or empty. A document
// type with declarations of its own is refused where Qt reads it.
QString scannerDifference(const QByteArray &bytes)
{
    if (bytes.startsWith("bplist"))
        return {};
    const QString qt = qtReaderTokens(bytes);
    const QString ours = scannerTokens(bytes);
    const bool qtRefused = refused(qt);
    const bool weRefused = refused(ours);
    if (qtRefused && weRefused)
        return {};
    if (!qtRefused && lastToken(ours).contains(u"declares entities or elements of its own"))
        return {};
    if (qtRefused != weRefused)
        return weRefused ? QStringLiteral("the scanner refuses what Qt's reader reads")
                         : QStringLiteral("the scanner reads what Qt's reader refuses");
    return QString::fromStdString(firstDifference(ours, qt));
}

std::unique_ptr<LibraryStore> baseLibrary()
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    std::vector<std::int32_t> ids;
    for (int i = 1; i <= 3; ++i) {
        TrackRecord t;
        t.name = QStringLiteral("Base %1").arg(i);
        t.location = QStringLiteral("/music/base %1.mp3").arg(i);
        t.persistentId = QStringLiteral("00000000000000B%1").arg(i);
        ids.push_back(store->addTrack(t).databaseId);
    }
    store->appendToPlaylist(store->addPlaylist(QStringLiteral("Base")).playlistId, ids);
    return store;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&args](const char *name, const QString &fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const QString seedFolder = option("--seeds", QString());
    const double seconds = option("--seconds", QStringLiteral("5")).toDouble();
    const quint32 seed = option("--seed", QString::number(QRandomGenerator::system()->generate())).toUInt();
    QTemporaryDir scratch;
    const QString keep = option("--keep", scratch.path());
    const bool strict = QCoreApplication::arguments().contains(QStringLiteral("--strict"));

    QList<QByteArray> seeds;
    for (const QString &name : QDir(seedFolder).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
        QFile file(QDir(seedFolder).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds << cutDown(file.readAll());
    }
    // The same files as binary property lists, whose reader is measured
    // before libplist expands them.
    const qsizetype textSeeds = seeds.size();
    for (qsizetype i = 0; i < textSeeds; i += 2) {
        plist_t root = nullptr;
        plist_from_xml(seeds[i].constData(), std::uint32_t(seeds[i].size()), &root);
        if (!root)
            continue;
        char *binary = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(root, &binary, &length);
        plist_free(root);
        if (binary)
            seeds << QByteArray(binary, qsizetype(length));
        plist_to_bin_free(binary);
    }
    if (seeds.isEmpty()) {
        std::fprintf(stderr, "xml_import_fuzz: no seeds in \"%s\"\n", qPrintable(seedFolder));
        return 77;
    }
    std::printf("xml_import_fuzz: %lld seeds, %.0f s, seed %u\n", qlonglong(seeds.size()), seconds, seed);
    std::fflush(stdout);

    Mutator mutator(seed);
    QRandomGenerator pick(seed);
    // The input being tried is on disk first, so that a sanitizer's abort
    // leaves it behind to repeat.
    const QString input = QDir(keep).filePath(QStringLiteral("fuzz-current.xml"));
    qint64 executions = 0, imported = 0, refused = 0, findings = 0, differences = 0;
    std::unique_ptr<LibraryStore> store;
    QByteArray before;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds * 1000)) {
        const QByteArray bytes = mutator.mutate(seeds[int(pick.bounded(seeds.size()))], seeds);
        {
            QFile file(input);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
                return 2;
        }
        // A refusal leaves the library as it was (that is checked), so only
        // an import calls for a fresh one.
        if (!store) {
            store = baseLibrary();
            before = fingerprint(*store);
        }
        QString problem;
        bool wasRefused = false;
        bool stillBase = true;
        try {
            importLibraryXml(*store, input, XmlImportOptions{});
            ++imported;
            stillBase = false;
            if (std::int64_t(store->playlistTracks(store->libraryPlaylistId()).size()) != store->trackCount())
                problem = QStringLiteral("imported, but the library playlist does not hold every track");
        } catch (const XmlImportError &e) {
            wasRefused = true;
            if (e.message().isEmpty())
                problem = QStringLiteral("refused without a message");
        } catch (const LibraryError &e) {
            wasRefused = true;
            if (!*e.what())
                problem = QStringLiteral("refused without a message");
        } catch (const std::exception &e) {
            problem = QStringLiteral("unexpected exception: %1").arg(QString::fromUtf8(e.what()));
        }
        if (wasRefused) {
            ++refused;
            if (problem.isEmpty() && fingerprint(*store) != before)
                problem = QStringLiteral("refused, but the library changed");
        }
        bool onlyAReaderDifference = false;
        if (problem.isEmpty()) {
            problem = scannerDifference(bytes);
            onlyAReaderDifference = !problem.isEmpty();
        }
        if (!stillBase || !problem.isEmpty())
            store.reset();
        ++executions;
        if (problem.isEmpty())
            continue;
        if (onlyAReaderDifference && !strict) {
            ++differences;
            const QString kept = QDir(keep).filePath(QStringLiteral("difference-%1.xml").arg(differences));
            QFile::remove(kept);
            QFile::copy(input, kept);
            std::printf("readers differ %lld: %s (%s)\n", differences, qPrintable(problem), qPrintable(kept));
            continue;
        }
        ++findings;
        const QString kept = QDir(keep).filePath(QStringLiteral("finding-%1.xml").arg(findings));
        QFile::remove(kept);
        QFile::copy(input, kept);
        std::printf("finding %lld: %s (%s)\n", findings, qPrintable(problem), qPrintable(kept));
    }
    QFile::remove(input);
    std::printf("xml_import_fuzz: %lld executions (%lld imported, %lld refused), %lld findings, %lld reader "
                "differences, %.1f s\n",
                executions, imported, refused, findings, differences, double(clock.elapsed()) / 1000);
    return findings == 0 ? 0 : 1;
}
