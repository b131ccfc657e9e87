#include "service/TrackLocation.h"

#include <QUrl>

namespace tidyfox::library {

namespace {

bool startsWithDrive(const QString &path)
{
    return path.size() >= 2 && path[0].isLetter() && path[1] == QLatin1Char(':') &&
           (path.size() == 2 || path[2] == QLatin1Char('/'));
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
    QString rest = url.mid(5);
    if (rest.startsWith(QLatin1String("//"))) {
        rest = rest.mid(2);
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        const QString host = slash < 0 ? rest : rest.left(slash);
        rest = slash < 0 ? QStringLiteral("/") : rest.mid(slash);
        // A share on another machine keeps its host, as a UNC path does.
        if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
            rest = QLatin1String("//") + host + rest;
    }
    QString path = QUrl::fromPercentEncoding(rest.toUtf8());
    if (path.startsWith(QLatin1Char('/')) && startsWithDrive(path.mid(1)))
        path.remove(0, 1);
    return path;
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

QString LocationMapper::toPath(const QString &location) const
{
    const QString path = isFileUrl(location) ? fileUrlToPath(location) : location;
    for (const Mapping &m : m_mappings) {
        if (!path.startsWith(m.from, m.cs))
            continue;
        if (path.size() != m.from.size() && path[m.from.size()] != QLatin1Char('/'))
            continue;
        return m.to + path.mid(m.from.size());
    }
    return path;
}

} // namespace tidyfox::library
