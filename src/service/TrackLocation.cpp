// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/TrackLocation.h"

#include <QStringList>
#include <QUrl>

namespace tidyfox::library {

namespace {

bool startsWithDrive(const QString &path)
{
    return path.size() >= 2 && path[0].isLetter() && path[1] == QLatin1Char(':') &&
           (path.size() == 2 || path[2] == QLatin1Char('/'));
}

// A location's path, and the machine its URL names (empty for this one).
struct SplitLocation
{
    QString host;
    QString path;
};

SplitLocation splitLocation(const QString &location)
{
    if (!isFileUrl(location))
        return {{}, location};
    QString rest = location.mid(5);
    QString host;
    if (rest.startsWith(QLatin1String("//"))) {
        rest = rest.mid(2);
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        host = QUrl::fromPercentEncoding((slash < 0 ? rest : rest.left(slash)).toUtf8());
        rest = slash < 0 ? QStringLiteral("/") : rest.mid(slash);
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            host.clear();
    }
    // A path without a percent sign decodes to itself: most of a library's,
    // and a large import's reading spent a tenth of its time on them.
    QString path = !rest.contains(QLatin1Char('%')) && QStringView(rest).isValidUtf16()
                       ? rest
                       : QUrl::fromPercentEncoding(rest.toUtf8());
    if (path.startsWith(QLatin1Char('/')) && startsWithDrive(path.mid(1)))
        path.remove(0, 1);
    return {host, path};
}

// "." and ".." folded and doubled slashes dropped, as the system reads the
// path: ".." at the root stays there (QDir::cleanPath keeps "/.." instead).
QString foldedPath(const QString &path)
{
    // Most paths have nothing to fold: left as they are, without splitting.
    const bool plain = !path.contains(QLatin1String("//")) && !path.contains(QLatin1String("/./")) &&
                       !path.contains(QLatin1String("/../")) && !path.endsWith(QLatin1String("/.")) &&
                       !path.endsWith(QLatin1String("/..")) && !path.startsWith(QLatin1String("./")) &&
                       !path.startsWith(QLatin1String("../")) && path != QLatin1String(".") &&
                       path != QLatin1String("..");
    if (plain)
        return path;
    const qsizetype rootLength = path.startsWith(QLatin1Char('/')) ? 1 : startsWithDrive(path) ? 2 : 0;
    QStringList parts;
    for (const QString &part : path.mid(rootLength).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..") && !parts.isEmpty() && parts.last() != QLatin1String("..")) {
            parts.removeLast();
            continue;
        }
        if (part == QLatin1String("..") && rootLength > 0)
            continue;
        parts << part;
    }
    const QString root = rootLength == 0 ? QString() : rootLength == 1 ? QStringLiteral("/") : path.left(2) + u'/';
    // A trailing slash stays: a player's package folders are named so.
    const bool folder = path.endsWith(QLatin1Char('/')) && !parts.isEmpty();
    return root + parts.join(QLatin1Char('/')) + (folder ? QStringLiteral("/") : QString());
}

bool isAbsolute(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) || startsWithDrive(path);
}

// A prefix as a path without a trailing slash, so "a/" and "a" mean the same.
QString normalPrefix(const QString &prefix)
{
    QString path = isFileUrl(prefix) ? fileUrlToPath(prefix) : prefix;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

bool isFileUrl(const QString &text)
{
    return text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

QString fileUrlToPath(const QString &url)
{
    const SplitLocation split = splitLocation(url);
    return split.host.isEmpty() ? split.path : QLatin1String("//") + split.host + split.path;
}

CleanLocation cleanFileLocation(const QString &location)
{
    return LocationMapper().toPath(location);
}

QString pathToFileUrl(const QString &path)
{
    const QByteArray encoded = QUrl::toPercentEncoding(path, "/:!$&'()*+,;=@");
    return QLatin1String("file://localhost") + (path.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) +
           QString::fromLatin1(encoded);
}

bool LocationMapper::addMapping(const QString &oldEqualsNew)
{
    const qsizetype eq = oldEqualsNew.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    addMapping(oldEqualsNew.left(eq), oldEqualsNew.mid(eq + 1));
    return true;
}

void LocationMapper::addMapping(const QString &oldPrefix, const QString &newPrefix)
{
    const QString from = normalPrefix(oldPrefix);
    m_mappings.push_back(
        {from, normalPrefix(newPrefix), startsWithDrive(from) ? Qt::CaseInsensitive : Qt::CaseSensitive});
}

CleanLocation LocationMapper::toPath(const QString &location) const
{
    const SplitLocation split = splitLocation(location);
    if (split.path.contains(QChar(0)) || split.host.contains(QChar(0)))
        return {{}, QStringLiteral("the location holds a NUL character")};
    const QString local = foldedPath(split.path);
    const QString path = split.host.isEmpty() ? local : QLatin1String("//") + split.host + local;
    for (const Mapping &m : m_mappings) {
        if (!path.startsWith(m.from, m.cs))
            continue;
        if (path.size() != m.from.size() && path[m.from.size()] != QLatin1Char('/'))
            continue;
        const QString mapped = foldedPath(m.to + path.mid(m.from.size()));
        if (!isAbsolute(mapped))
            return {{}, QStringLiteral("the location is not a full path (\"%1\")").arg(mapped)};
        return {mapped, {}};
    }
    if (!split.host.isEmpty())
        return {{}, QStringLiteral("the location names another machine (\"%1\")").arg(split.host)};
    if (!isAbsolute(local))
        return {{}, QStringLiteral("the location is not a full path (\"%1\")").arg(local)};
    return {local, {}};
}

} // namespace tidyfox::library
