// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/SqlitePlayer.h"

#include "service/LibraryCore.h"
#include "service/PlayerLink.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <sqlite3.h>

namespace tidyfox::library {

namespace {

const SqlitePlayer kPlayers[] = {
    {kStrawberryPlayer,
     "Strawberry",
     "org.mpris.MediaPlayer2.strawberry",
     "url",
     false,
     "collection_id",
     "2",
     {15},
     nullptr,
     false,
     "strawberry/strawberry/strawberry.db"},
    {kClementinePlayer,
     "Clementine",
     "org.mpris.MediaPlayer2.clementine",
     "filename",
     true,
     "library_id",
     "Library",
     {51},
     "unicode",
     true,
     "Clementine/clementine.db"},
};

QByteArray quoted(const QString &name)
{
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}

// The player's own name for SQLite's unicode61 tokenizer, so that the index
// can be read and kept in step here.
void registerTokenizerAlias(sql::Database &db, const char *alias)
{
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 1, nullptr);
    QByteArray module;
    {
        PlayerQuery get(db, "SELECT fts3_tokenizer('unicode61')");
        if (get.next())
            module = get.value(0).toByteArray();
    }
    PlayerQuery(db, "SELECT fts3_tokenizer(?1, ?2)").bind(1, QString::fromLatin1(alias)).bind(2, module).next();
}

} // namespace

PlayerQuery::PlayerQuery(sql::Database &db, const QByteArray &text) : m_db(db)
{
    if (const int rc = sqlite3_prepare_v2(db.handle(), text.constData(), int(text.size()), &m_stmt, nullptr);
        rc != SQLITE_OK)
        db.fail(rc);
}

PlayerQuery::PlayerQuery(PlayerStatements &statements, const QByteArray &text)
    : m_db(statements.database()), m_stmt(statements.get(text)), m_kept(true)
{}

PlayerQuery::~PlayerQuery()
{
    if (!m_kept) {
        sqlite3_finalize(m_stmt);
        return;
    }
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

PlayerStatements::~PlayerStatements()
{
    for (auto &[text, stmt] : m_statements)
        sqlite3_finalize(stmt);
}

sqlite3_stmt *PlayerStatements::get(const QByteArray &text)
{
    auto &stmt = m_statements[text.toStdString()];
    if (!stmt) {
        if (const int rc = sqlite3_prepare_v2(m_db.handle(), text.constData(), int(text.size()), &stmt, nullptr);
            rc != SQLITE_OK) {
            m_statements.erase(text.toStdString());
            m_db.fail(rc);
        }
    }
    return stmt;
}

PlayerQuery &PlayerQuery::bind(int index, const QVariant &value)
{
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
        break;
    case QMetaType::Double:
        rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
        break;
    case QMetaType::QString: {
        const QByteArray utf8 = value.toString().toUtf8();
        rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob(m_stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        rc = sqlite3_bind_null(m_stmt, index);
    }
    if (rc != SQLITE_OK)
        m_db.fail(rc);
    return *this;
}

bool PlayerQuery::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_db.fail(rc);
    return false;
}

QVariant PlayerQuery::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                                          sqlite3_column_bytes(m_stmt, column)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                                   sqlite3_column_bytes(m_stmt, column)));
    default:
        return {};
    }
}

int PlayerQuery::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString PlayerQuery::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

const SqlitePlayer *sqlitePlayer(const QString &id)
{
    for (const SqlitePlayer &player : kPlayers) {
        if (id == QLatin1String(player.id))
            return &player;
    }
    return nullptr;
}

void registerPlayerTokenizer(sql::Database &db, const SqlitePlayer &player)
{
    if (player.tokenizerAlias)
        registerTokenizerAlias(db, player.tokenizerAlias);
}

QString defaultCollectionFile(const SqlitePlayer &player)
{
    const auto folder =
        player.fileInConfig ? QStandardPaths::GenericConfigLocation : QStandardPaths::GenericDataLocation;
    return QDir(QStandardPaths::writableLocation(folder)).filePath(QLatin1String(player.defaultFile));
}

std::unique_ptr<sql::Database> openCollection(const SqlitePlayer &player, const QString &fileName, bool readOnly)
{
    if (!QFileInfo(fileName).isFile())
        throw PlayerWriteError(QStringLiteral("%1: no such file").arg(fileName));
    try {
        auto db = std::make_unique<sql::Database>(fileName, readOnly);
        db->setBusyTimeout(2000);
        registerPlayerTokenizer(*db, player);
        if (!db->query("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'schema_version'").next() ||
            !db->query("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'songs'").next())
            throw PlayerWriteError(QStringLiteral("%1: not a %2 collection (no songs or schema_version table)")
                                       .arg(fileName, QLatin1String(player.displayName)));
        const std::int64_t version = db->scalar("SELECT max(version) FROM schema_version");
        const auto &known = player.schemaVersions;
        if (std::find(known.begin(), known.end(), version) == known.end()) {
            QStringList names;
            for (const int v : known)
                names << QString::number(v);
            throw PlayerWriteError(QStringLiteral("%1: %2 collection schema version %3, which this program does not "
                                                  "know (it knows %4); nothing was changed")
                                       .arg(fileName, QLatin1String(player.displayName))
                                       .arg(version)
                                       .arg(names.join(QStringLiteral(", "))));
        }
        return db;
    } catch (const LibraryError &) {
        throw PlayerWriteError(QStringLiteral("%1: not a %2 collection, or it is damaged or locked")
                                   .arg(fileName, QLatin1String(player.displayName)));
    }
}

QByteArray PlayerRow::toBytes() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(columns.size());
    for (const auto &[name, value] : columns)
        out << name << value;
    return bytes;
}

PlayerRow PlayerRow::fromBytes(const QByteArray &bytes)
{
    PlayerRow row;
    QDataStream in(bytes);
    quint32 count = 0;
    in >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString name;
        QVariant value;
        in >> name >> value;
        if (in.status() == QDataStream::Ok)
            row.columns.emplace_back(std::move(name), std::move(value));
    }
    return row;
}

std::vector<PlayerRow> selectRows(PlayerStatements &db, const char *table, const char *where, std::int64_t value)
{
    PlayerQuery select(db, QByteArray("SELECT rowid, * FROM ") + table + " WHERE " + where + " ORDER BY rowid");
    select.bind(1, qint64(value));
    std::vector<PlayerRow> rows;
    while (select.next()) {
        PlayerRow row;
        row.columns.emplace_back(QStringLiteral("rowid"), select.value(0));
        for (int c = 1; c < select.columnCount(); ++c)
            row.columns.emplace_back(select.columnName(c), select.value(c));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::int64_t insertRow(PlayerStatements &db, const char *table, const PlayerRow &row)
{
    // A rowid taken since (the player added a row) gives way: the row comes
    // back under a new one.
    bool rowidFree = true;
    if (!row.columns.empty() && row.columns.front().first == u"rowid")
        rowidFree = !PlayerQuery(db, QByteArray("SELECT 1 FROM ") + table + " WHERE rowid = ?1")
                         .bind(1, row.columns.front().second)
                         .next();
    QByteArray names;
    QByteArray places;
    std::vector<const QVariant *> values;
    for (const auto &[name, value] : row.columns) {
        if (name == u"rowid" && !rowidFree)
            continue;
        names += (names.isEmpty() ? "" : ", ") + (name == u"rowid" ? QByteArray("rowid") : quoted(name));
        places += (places.isEmpty() ? "?" : ", ?") + QByteArray::number(qsizetype(values.size() + 1));
        values.push_back(&value);
    }
    if (values.empty())
        return 0;
    PlayerQuery insert(db, QByteArray("INSERT INTO ") + table + "(" + names + ") VALUES(" + places + ")");
    for (std::size_t i = 0; i < values.size(); ++i)
        insert.bind(int(i + 1), *values[i]);
    insert.next();
    return db.database().lastInsertRowId();
}

} // namespace tidyfox::library
