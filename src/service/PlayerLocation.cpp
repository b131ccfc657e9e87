#include "service/PlayerLocation.h"

#include <QDir>
#include <QUrl>

namespace tidyfox::library {

std::optional<QString> localFileUriToPath(const QString &uri)
{
    if (!uri.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        return std::nullopt;
    QString rest = uri.mid(7);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return std::nullopt;
    const QString host = rest.left(slash);
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    rest = rest.mid(slash);
    const QString path = QUrl::fromPercentEncoding(rest.toUtf8());
    if (path.contains(QChar(0)))
        return std::nullopt;
    return QDir::cleanPath(path);
}

QString pathToLocalFileUri(const QString &path)
{
    return QLatin1String("file://") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/!$&'()*+,;=:@~"));
}

} // namespace tidyfox::library
