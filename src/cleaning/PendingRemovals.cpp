#include "cleaning/PendingRemovals.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <sys/stat.h>

namespace tidyfox::cleaning {
namespace {

// One line per note, fields separated by tabs, paths percent-encoded so that
// no name can break a line:
//   intend <databaseId> <location> <trashed path> <info path>
//   settle <databaseId>
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

struct Intent
{
    QString location;
    system::TrashedFile trashed;
};

bool inTrash(const QString &trashedPath)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(trashedPath).constData(), &st) == 0;
}

} // namespace

PendingRemovals::PendingRemovals(QString path) : m_path(std::move(path)) {}

void PendingRemovals::append(const QByteArray &line)
{
    if (!m_file.isOpen()) {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
            throw RunFailure("the note of pending removals cannot be opened");
    }
    // Flushed at once: what reaches the kernel outlives a killed process.
    if (m_file.write(line) != line.size() || !m_file.flush())
        throw RunFailure("the note of pending removals cannot be written");
}

void PendingRemovals::intend(std::int32_t databaseId, const QString &location, const system::TrashedFile &reserved)
{
    append(QByteArray(kIntend) + '\t' + QByteArray::number(databaseId) + '\t' + encoded(location) + '\t' +
           encoded(reserved.trashedPath) + '\t' + encoded(reserved.infoPath) + '\n');
}

void PendingRemovals::settle(std::int32_t databaseId)
{
    append(QByteArray(kSettle) + '\t' + QByteArray::number(databaseId) + '\n');
}

int PendingRemovals::putRight(libraryclient::LibraryClient &library, system::FileSystem &fs)
{
    m_file.close();
    QFile note(m_path);
    if (!note.exists())
        return 0;
    if (!note.open(QIODevice::ReadOnly)) {
        qCWarning(lcCleaning) << "The note of pending removals cannot be read:" << note.errorString();
        return 0;
    }
    std::map<std::int32_t, Intent> open;
    while (!note.atEnd()) {
        const QByteArray line = note.readLine();
        // A line cut short by a kill is one whose move never began.
        if (!line.endsWith('\n'))
            break;
        const QList<QByteArray> fields = line.chopped(1).split('\t');
        bool ok = false;
        const std::int32_t databaseId = fields.value(1).toInt(&ok);
        if (!ok)
            continue;
        if (fields[0] == kIntend && fields.size() == 5)
            open[databaseId] = {decoded(fields[2]), {decoded(fields[3]), decoded(fields[4])}};
        else if (fields[0] == kSettle)
            open.erase(databaseId);
    }
    note.close();

    int putBack = 0;
    for (const auto &[databaseId, intent] : open) {
        // Never moved, or taken out of the trash by the user meanwhile.
        if (!inTrash(intent.trashed.trashedPath))
            continue;
        const std::vector<std::int32_t> users = library.fileTracksAt(intent.location);
        if (std::find(users.begin(), users.end(), databaseId) == users.end())
            continue; // the entry went: the file belongs in the trash
        try {
            fs.restoreFromTrash(intent.trashed, intent.location);
            ++putBack;
        } catch (const system::TrashError &error) {
            qCWarning(lcCleaning) << "A removed copy's file stays in the trash:" << error.what();
        }
    }
    if (!note.remove())
        qCWarning(lcCleaning) << "The note of pending removals cannot be removed:" << note.errorString();
    return putBack;
}

} // namespace tidyfox::cleaning
