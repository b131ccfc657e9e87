// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/Volumes.h"

#include <QFile>
#include <QFileInfo>

namespace tidyfox::system {

namespace {

// Where desktops and people mount removable drives.
const char *const kRemovableRoots[] = {"/media/", "/run/media/", "/mnt/"};

// mountinfo writes space, tab, newline and backslash as \ooo.
QString unescaped(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += char(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return QFile::decodeName(out);
}

bool isUnder(const QString &path, const QString &folder)
{
    return path.startsWith(folder) && (path.size() == folder.size() || path[folder.size()] == QLatin1Char('/'));
}

} // namespace

QStringList mountPointsIn(const QByteArray &mountinfo)
{
    QStringList points;
    for (const QByteArray &line : mountinfo.split('\n')) {
        // id parent major:minor root mount-point ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4)
            points << unescaped(fields[4]);
    }
    return points;
}

Volumes::Volumes(QStringList mountPoints) : m_mountPoints(std::move(mountPoints)) {}

Volumes Volumes::current()
{
    QFile mountinfo(QStringLiteral("/proc/self/mountinfo"));
    if (!mountinfo.open(QIODevice::ReadOnly))
        return Volumes({});
    return Volumes(mountPointsIn(mountinfo.readAll()));
}

bool Volumes::isDisconnected(const QString &folder) const
{
    if (!folder.startsWith(QLatin1Char('/')))
        return false;
    for (const char *root : kRemovableRoots) {
        const QString base = QLatin1String(root);
        if (!folder.startsWith(base))
            continue;
        // Something mounted below the root that holds the folder: the drive
        // is there (its file may still be gone).
        for (const QString &point : m_mountPoints) {
            if (point.size() > base.size() - 1 && point.startsWith(base) && isUnder(folder, point))
                return false;
        }
        return true;
    }
    const qsizetype slash = folder.indexOf(QLatin1Char('/'), 1);
    return !topExists(slash < 0 ? folder : folder.left(slash));
}

bool Volumes::topExists(const QString &top) const
{
    auto found = m_topExists.constFind(top);
    if (found == m_topExists.constEnd())
        found = m_topExists.insert(top, QFileInfo(top).isDir());
    return *found;
}

} // namespace tidyfox::system
