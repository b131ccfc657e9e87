// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/AudioFileScanner.h"

#include "common/AudioFileLook.h"
#include "service/AudioFileReader.h"
#include "service/LibraryStore.h"
#include "service/TrackLocation.h"
#include "service/Transaction.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>

namespace tidyfox::library {

namespace {

// A name as it can be shown: bytes that are not UTF-8 as \xNN.
QString shownName(const QByteArray &bytes)
{
    QString shown;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return shown;
}

std::optional<QString> decodedName(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return name;
}

// A walk by hand rather than QDirIterator: that one passes over a folder it
// cannot open and turns a name that is not UTF-8 into one that reaches no
// file, both without a word. Hidden entries are left out and links to folders
// are not followed, as before.
void walk(const QString &folder, QStringList &files, QStringList *skipped)
{
    const QByteArray native = QFile::encodeName(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir) {
        if (skipped)
            *skipped << QStringLiteral("%1: cannot read this folder (%2); skipped")
                            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    QStringList folders;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        if (bytes.startsWith('.'))
            continue;
        const auto name = decodedName(bytes);
        if (!name) {
            if (skipped)
                *skipped << QStringLiteral("%1/%2: the name is not valid UTF-8; skipped").arg(folder, shownName(bytes));
            continue;
        }
        const QString path = folder + QLatin1Char('/') + *name;
        struct stat st
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            folders << path;
        else if (!S_ISLNK(st.st_mode) || ::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            files << path;
    }
    ::closedir(dir);
    for (const QString &sub : folders)
        walk(sub, files, skipped);
}

enum class Look { Audio, NotRegular, NotAudio, NotLikeAudio };

Look look(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return Look::NotRegular;
    if (!hasAudioExtension(path))
        return Look::NotAudio;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !startsLikeAudio(file.read(kAudioHeadBytes)))
        return Look::NotLikeAudio;
    return Look::Audio;
}

} // namespace

QStringList collectFiles(const QStringList &paths, QStringList *skipped)
{
    // The order a person sees in a file manager: "apple" before "Zebra" and
    // "Track 2" before "Track 10".
    // The C locale collates by code point and ignores numeric mode.
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList files;
    for (const QString &path : paths) {
        if (!QFileInfo(path).isDir()) {
            files << path;
            continue;
        }
        QStringList found;
        walk(QDir::cleanPath(path), found, skipped);
        // Keys made once per path: a large tree compared with the collator
        // pair by pair spent seconds in the sort.
        std::vector<std::pair<QCollatorSortKey, QString>> keyed;
        keyed.reserve(std::size_t(found.size()));
        for (const QString &file : std::as_const(found))
            keyed.emplace_back(collator.sortKey(file), file);
        std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
            const int c = a.first.compare(b.first);
            return c != 0 ? c < 0 : a.second < b.second;
        });
        found.clear();
        for (auto &[key, file] : keyed)
            found << std::move(file);
        files << found;
    }
    return files;
}

AddSummary addAudioFiles(LibraryStore &store, const QStringList &files, const AddObserver &observer)
{
    AddSummary summary;
    std::vector<TrackRecord> tracks;
    QSet<QString> taken;
    const int total = int(files.size());
    for (int i = 0; i < total; ++i) {
        if (observer.progress)
            observer.progress(i, total);
        const Look seen = look(files[i]);
        if (seen == Look::NotRegular) {
            const QString problem = QStringLiteral("%1: not a regular file; skipped").arg(files[i]);
            summary.skipped << problem;
            if (observer.skipped)
                observer.skipped(problem);
            continue;
        }
        if (seen == Look::NotAudio) {
            ++summary.notAudio;
            continue;
        }
        // The real path: a file reached through a link or a second folder
        // name is still the same file. It is clean already; the check is the
        // one every track's location passes on its way in.
        const CleanLocation clean = cleanFileLocation(QFileInfo(files[i]).canonicalFilePath());
        if (!clean.accepted()) {
            const QString problem = QStringLiteral("%1: %2; skipped").arg(files[i], clean.refusal);
            summary.skipped << problem;
            if (observer.skipped)
                observer.skipped(problem);
            continue;
        }
        const QString &path = clean.path;
        if (taken.contains(path) || store.hasFileTrack(path)) {
            ++summary.alreadyPresent;
            continue;
        }
        auto track = seen == Look::Audio ? readAudioFile(path) : std::nullopt;
        if (!track) {
            summary.unreadable << files[i];
            if (observer.unreadable)
                observer.unreadable(files[i]);
            continue;
        }
        taken.insert(path);
        tracks.push_back(std::move(*track));
    }
    if (observer.progress)
        observer.progress(total, total);

    Transaction transaction(store);
    for (TrackRecord &track : tracks) {
        // Another process may have added the file while it was being read.
        if (store.hasFileTrack(track.location)) {
            ++summary.alreadyPresent;
            continue;
        }
        store.addTrack(std::move(track));
        ++summary.added;
    }
    transaction.commit();
    return summary;
}

} // namespace tidyfox::library
