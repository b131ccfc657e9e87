#include "cleancli/Reports.h"

#include "cleancli/TextTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tidyfox::cleancli {
namespace {

// Dates as ISO 8601 in both outputs; an unknown date is empty (null in JSON).
QString dateText(const QDateTime &date)
{
    return date.isValid() ? date.toUTC().toString(Qt::ISODate) : QString();
}

QString fileText(const cleaning::ReviewedTrack &t)
{
    if (!t.hasFile)
        return QStringLiteral("none");
    return t.fileThere ? QStringLiteral("there") : QStringLiteral("missing");
}

QString statusText(bool goes)
{
    return goes ? QStringLiteral("goes") : QStringLiteral("stays");
}

QJsonArray idsJson(const std::vector<std::int32_t> &ids)
{
    QJsonArray array;
    for (std::int32_t id : ids)
        array.append(id);
    return array;
}

QString outcomeText(const std::optional<RemovalOutcome> &outcome)
{
    if (!outcome)
        return {};
    return QStringLiteral("removed: %1\nnot removed: %2\n")
        .arg(outcome->removed.size())
        .arg(outcome->notRemoved.size());
}

void addOutcome(QJsonObject &document, const std::optional<RemovalOutcome> &outcome)
{
    if (!outcome)
        return;
    document.insert(QStringLiteral("removed"), idsJson(outcome->removed));
    document.insert(QStringLiteral("notRemoved"), idsJson(outcome->notRemoved));
}

QString jsonText(const QJsonObject &document)
{
    return QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented));
}

QJsonValue dateJson(const QDateTime &date)
{
    return date.isValid() ? QJsonValue(dateText(date)) : QJsonValue(QJsonValue::Null);
}

} // namespace

QString duplicatesText(const cleaning::DuplicateReview &review, const std::optional<RemovalOutcome> &outcome)
{
    TextTable table({QStringLiteral("GROUP"), QStringLiteral("STATUS"), QStringLiteral("ID"), QStringLiteral("NAME"),
                     QStringLiteral("ARTIST"), QStringLiteral("ALBUM"), QStringLiteral("TIME"), QStringLiteral("KIND"),
                     QStringLiteral("BIT RATE"), QStringLiteral("SAMPLE RATE"), QStringLiteral("SIZE"),
                     QStringLiteral("DATE ADDED"), QStringLiteral("PLAYS"), QStringLiteral("RATING"),
                     QStringLiteral("FILE"), QStringLiteral("LOCATION")});
    int number = 0;
    for (const cleaning::DuplicateGroup &group : review.groups) {
        if (number > 0)
            table.addLine({});
        ++number;
        for (const cleaning::ReviewedTrack &t : group.tracks) {
            table.addRow({QString::number(number), statusText(t.goes), QString::number(t.databaseId), t.name, t.artist,
                          t.album, t.time, t.kind, QString::number(t.bitRate), QString::number(t.sampleRate),
                          QString::number(t.size), dateText(t.dateAdded), QString::number(t.playCount),
                          QString::number(t.rating), fileText(t), t.location});
        }
    }
    QString text = review.groups.empty() ? QString() : table.render() + QLatin1Char('\n');
    text += QStringLiteral("groups: %1\ncopies to go: %2\nbytes to the trash: %3\n")
                .arg(review.groups.size())
                .arg(review.copies)
                .arg(review.trashBytes);
    return text + outcomeText(outcome);
}

QString duplicatesJson(const CleanOptions &options, const cleaning::DuplicateReview &review,
                       const std::optional<RemovalOutcome> &outcome)
{
    QJsonArray groups;
    for (const cleaning::DuplicateGroup &group : review.groups) {
        QJsonArray tracks;
        for (const cleaning::ReviewedTrack &t : group.tracks) {
            tracks.append(QJsonObject{
                {QStringLiteral("databaseId"), t.databaseId},
                {QStringLiteral("status"), statusText(t.goes)},
                {QStringLiteral("name"), t.name},
                {QStringLiteral("artist"), t.artist},
                {QStringLiteral("album"), t.album},
                {QStringLiteral("time"), t.time},
                {QStringLiteral("kind"), t.kind},
                {QStringLiteral("bitRate"), t.bitRate},
                {QStringLiteral("sampleRate"), t.sampleRate},
                {QStringLiteral("size"), qint64(t.size)},
                {QStringLiteral("dateAdded"), dateJson(t.dateAdded)},
                {QStringLiteral("playCount"), t.playCount},
                {QStringLiteral("skipCount"), t.skipCount},
                {QStringLiteral("rating"), t.rating},
                {QStringLiteral("playDate"), dateJson(t.playDate)},
                {QStringLiteral("location"), t.location},
                {QStringLiteral("hasFile"), t.hasFile},
                {QStringLiteral("fileThere"), t.fileThere},
                {QStringLiteral("fileGoes"), t.fileGoes},
            });
        }
        groups.append(QJsonObject{{QStringLiteral("keeper"), group.tracks.at(size_t(group.keeper)).databaseId},
                                  {QStringLiteral("tracks"), tracks}});
    }
    QJsonObject document{
        {QStringLiteral("command"), QStringLiteral("duplicates")},
        {QStringLiteral("by"), QJsonArray::fromStringList(options.by)},
        {QStringLiteral("keep"), cleaning::keepRuleName(options.keep)},
        {QStringLiteral("groups"), groups},
        {QStringLiteral("totals"), QJsonObject{{QStringLiteral("groups"), qint64(review.groups.size())},
                                               {QStringLiteral("copies"), review.copies},
                                               {QStringLiteral("trashBytes"), qint64(review.trashBytes)}}},
    };
    addOutcome(document, outcome);
    return jsonText(document);
}

bool deadTrackGoes(const cleaning::DeadTrackFolder &folder, const CleanOptions &options)
{
    return !folder.disconnected || options.includeDisconnected;
}

QString deadTracksText(const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                       const std::optional<RemovalOutcome> &outcome)
{
    TextTable table({QStringLiteral("STATUS"), QStringLiteral("ID"), QStringLiteral("NAME"), QStringLiteral("ARTIST"),
                     QStringLiteral("ALBUM"), QStringLiteral("LOCATION")});
    int going = 0;
    for (const cleaning::DeadTrackFolder &folder : findings.folders) {
        QString heading = folder.folder.isEmpty() ? QStringLiteral("(location lost)") : folder.folder;
        if (folder.disconnected)
            heading += QStringLiteral("  [on a disconnected drive]");
        if (&folder != &findings.folders.front())
            table.addLine({});
        table.addLine(heading);
        const bool goes = deadTrackGoes(folder, options);
        for (const cleaning::DeadTrack &t : folder.tracks) {
            going += goes ? 1 : 0;
            table.addRow({statusText(goes), QString::number(t.databaseId), t.name, t.artist, t.album, t.location});
        }
    }
    QString text = findings.folders.empty() ? QString() : table.render() + QLatin1Char('\n');
    text += QStringLiteral("folders: %1\ndead tracks: %2\non a disconnected drive: %3\ntracks to go: %4\n")
                .arg(findings.folders.size())
                .arg(findings.trackCount)
                .arg(findings.disconnectedCount)
                .arg(going);
    return text + outcomeText(outcome);
}

QString deadTracksJson(const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                       const std::optional<RemovalOutcome> &outcome)
{
    QJsonArray folders;
    int going = 0;
    for (const cleaning::DeadTrackFolder &folder : findings.folders) {
        const bool goes = deadTrackGoes(folder, options);
        QJsonArray tracks;
        for (const cleaning::DeadTrack &t : folder.tracks) {
            going += goes ? 1 : 0;
            tracks.append(QJsonObject{{QStringLiteral("databaseId"), t.databaseId},
                                      {QStringLiteral("status"), statusText(goes)},
                                      {QStringLiteral("name"), t.name},
                                      {QStringLiteral("artist"), t.artist},
                                      {QStringLiteral("album"), t.album},
                                      {QStringLiteral("location"), t.location}});
        }
        folders.append(QJsonObject{{QStringLiteral("folder"), folder.folder},
                                   {QStringLiteral("disconnected"), folder.disconnected},
                                   {QStringLiteral("tracks"), tracks}});
    }
    QJsonObject document{
        {QStringLiteral("command"), QStringLiteral("dead")},
        {QStringLiteral("folders"), folders},
        {QStringLiteral("totals"), QJsonObject{{QStringLiteral("folders"), qint64(findings.folders.size())},
                                               {QStringLiteral("deadTracks"), findings.trackCount},
                                               {QStringLiteral("disconnected"), findings.disconnectedCount},
                                               {QStringLiteral("toGo"), going}}},
    };
    addOutcome(document, outcome);
    return jsonText(document);
}

} // namespace tidyfox::cleancli
