// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/PendingMovesNote.h"

#include "common/DataFolders.h"

#include <QFile>
#include <QFileInfo>
#include <map>
#include <optional>

namespace tidyfox::protocol {
namespace {

constexpr char kIntend[] = "intend";
constexpr char kSettle[] = "settle";

QByteArray encoded(const QString &path)
{
    return path.toUtf8().toPercentEncoding("/");
}

QString decoded(const QByteArray &field)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

} // namespace

QByteArray intendLine(const PendingMove &move)
{
    return QByteArray(kIntend) + '\t' + QByteArray::number(move.databaseId) + '\t' + encoded(move.location) + '\t' +
           encoded(move.trashedPath) + '\t' + encoded(move.infoPath) + '\n';
}

QByteArray settleLine(std::int32_t databaseId)
{
    return QByteArray(kSettle) + '\t' + QByteArray::number(databaseId) + '\n';
}

std::vector<PendingMove> openMoves(const QString &notePath)
{
    QFile note(notePath);
    if (!note.open(QIODevice::ReadOnly))
        return {};
    std::map<std::int32_t, std::size_t> order;
    std::vector<std::optional<PendingMove>> noted;
    while (!note.atEnd()) {
        const QByteArray line = note.readLine();
        if (!line.endsWith('\n'))
            break;
        const QList<QByteArray> fields = line.chopped(1).split('\t');
        bool ok = false;
        const std::int32_t databaseId = fields.value(1).toInt(&ok);
        if (!ok)
            continue;
        if (fields[0] == kIntend && fields.size() == 5) {
            order[databaseId] = noted.size();
            noted.push_back(PendingMove{databaseId, decoded(fields[2]), decoded(fields[3]), decoded(fields[4])});
        } else if (fields[0] == kSettle) {
            if (const auto found = order.find(databaseId); found != order.end()) {
                noted[found->second].reset();
                order.erase(found);
            }
        }
    }
    std::vector<PendingMove> open;
    for (auto &move : noted) {
        if (move)
            open.push_back(std::move(*move));
    }
    return open;
}

QString pendingMovesNoteOf(const QString &libraryPath)
{
    const QString defaultLibrary = tidyfoxDataFolder() + QStringLiteral("/library.db");
    if (QFileInfo(libraryPath).absoluteFilePath() == QFileInfo(defaultLibrary).absoluteFilePath())
        return tidyfoxDataFolder() + QStringLiteral("/pending-removals");
    return libraryPath + QStringLiteral(".pending-removals");
}

} // namespace tidyfox::protocol
