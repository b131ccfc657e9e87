// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/Reports.h"

#include "cleancli/JsonWriter.h"
#include "cleancli/TextTable.h"

#include <cmath>
#include <iterator>

namespace tidyfox::cleancli {
namespace {

// Dates as ISO 8601 in both outputs; an unknown date is empty (null in JSON).
QString dateText(const QDateTime &date)
{
    return date.isValid() ? date.toUTC().toString(Qt::ISODate) : QString();
}

std::string_view fileText(const cleaning::ReviewedTrack &t)
{
    if (!t.hasFile)
        return "none";
    return t.fileThere ? "there" : "missing";
}

std::string_view statusText(bool goes)
{
    return goes ? "goes" : "stays";
}

void addTotal(OutputBuffer &out, std::string_view label, std::int64_t value)
{
    out.add(label);
    out.add(": ");
    out.addNumber(value);
    out.add('\n');
}

void addOutcomeText(OutputBuffer &out, const std::optional<RemovalOutcome> &outcome)
{
    if (!outcome)
        return;
    addTotal(out, "removed", static_cast<std::int64_t>(outcome->removed.size()));
    addTotal(out, "not removed", static_cast<std::int64_t>(outcome->notRemoved.size()));
}

// The keys of every object below are written in sorted order, as
// QJsonDocument wrote them before.
void addOutcomeJson(JsonWriter &json, const std::optional<RemovalOutcome> &outcome)
{
    if (!outcome)
        return;
    json.ids("notRemoved", outcome->notRemoved);
    json.ids("removed", outcome->removed);
}

void duplicateTrackJson(JsonWriter &json, const cleaning::ReviewedTrack &t)
{
    json.beginObject();
    json.key("album");
    json.value(t.album);
    json.key("artist");
    json.value(t.artist);
    json.key("bitRate");
    json.value(std::int64_t{t.bitRate});
    json.key("databaseId");
    json.value(std::int64_t{t.databaseId});
    json.key("dateAdded");
    json.value(t.dateAdded);
    json.key("fileGoes");
    json.value(t.fileGoes);
    json.key("fileThere");
    json.value(t.fileThere);
    json.key("hasFile");
    json.value(t.hasFile);
    json.key("kind");
    json.value(t.kind);
    json.key("location");
    json.value(t.location);
    json.key("name");
    json.value(t.name);
    json.key("playCount");
    json.value(std::int64_t{t.playCount});
    json.key("playDate");
    json.value(t.playDate);
    json.key("rating");
    json.value(std::int64_t{t.rating});
    json.key("sampleRate");
    json.value(std::int64_t{t.sampleRate});
    json.key("size");
    json.value(std::int64_t{t.size});
    json.key("skipCount");
    json.value(std::int64_t{t.skipCount});
    json.key("status");
    json.value(statusText(t.goes));
    json.key("time");
    json.value(t.time);
    json.endObject();
}

} // namespace

QString readableSize(std::int64_t bytes)
{
    if (bytes > -1000 && bytes < 1000)
        return QStringLiteral("%1 %2").arg(bytes).arg(QLatin1String(bytes == 1 ? "byte" : "bytes"));
    static const char *const kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1000.0;
    std::size_t unit = 0;
    // 999.96 kB would read "1000.0 kB".
    while (std::abs(value) >= 999.95 && unit + 1 < std::size(kUnits)) {
        value /= 1000.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(kUnits[unit]));
}

void duplicatesText(OutputBuffer &out, const CleanOptions &options, const cleaning::DuplicateReview &review,
                    const std::optional<RemovalOutcome> &outcome, std::size_t width)
{
    if (!review.groups.empty()) {
        enum Column : std::size_t {
            Group,
            Status,
            Id,
            Name,
            Artist,
            Album,
            Time,
            Kind,
            BitRate,
            SampleRate,
            Size,
            DateAdded,
            Plays,
            Rating,
            File,
            Location
        };
        TextTable table({"GROUP", "STATUS", "ID", "NAME", "ARTIST", "ALBUM", "TIME", "KIND", "BIT RATE", "SAMPLE RATE",
                         "SIZE", "DATE ADDED", "PLAYS", "RATING", "FILE", "LOCATION"});
        for (const std::size_t column : {Name, Artist, Album, Kind})
            table.setShortenable(column);
        // The folders are what tells the copies apart.
        table.setShortenable(Location, 30, CutBias::KeepTail);
        // The least telling first (the blank line between groups says where
        // one ends); never what the copies were found by or the rule chose
        // the keeper by.
        std::vector<std::size_t> droppable;
        for (const std::size_t column : {Rating, Plays, SampleRate, Time, Kind, DateAdded, BitRate, Group}) {
            const bool byRule = (column == Rating && options.keep == cleaning::KeepRule::HighestRated) ||
                                (column == Plays && options.keep == cleaning::KeepRule::MostPlayed) ||
                                (column == Kind && options.keep == cleaning::KeepRule::LosslessFirst) ||
                                (column == DateAdded && options.keep == cleaning::KeepRule::EarliestAdded) ||
                                (column == BitRate && (options.keep == cleaning::KeepRule::HighestBitRate ||
                                                       options.keep == cleaning::KeepRule::LosslessFirst));
            const bool byFilter = (column == BitRate && options.by.contains(QLatin1String("bitrate"))) ||
                                  (column == SampleRate && options.by.contains(QLatin1String("samplerate")));
            if (!byRule && !byFilter)
                droppable.push_back(column);
        }
        table.setDroppable(std::move(droppable));
        std::int64_t number = 0;
        for (const cleaning::DuplicateGroup &group : review.groups) {
            if (number > 0)
                table.addLine({});
            ++number;
            for (const cleaning::ReviewedTrack &t : group.tracks) {
                table.beginRow();
                table.cell(number);
                table.cell(statusText(t.goes));
                table.cell(std::int64_t{t.databaseId});
                table.cell(t.name);
                table.cell(t.artist);
                table.cell(t.album);
                table.cell(t.time);
                table.cell(t.kind);
                table.cell(std::int64_t{t.bitRate});
                table.cell(std::int64_t{t.sampleRate});
                if (options.bytes)
                    table.cell(std::int64_t{t.size});
                else
                    table.cell(readableSize(t.size));
                table.cell(dateText(t.dateAdded));
                table.cell(std::int64_t{t.playCount});
                table.cell(std::int64_t{t.rating});
                table.cell(fileText(t));
                table.cell(t.location);
            }
        }
        table.render(out, width);
        out.add('\n');
    }
    addTotal(out, "groups", static_cast<std::int64_t>(review.groups.size()));
    addTotal(out, "copies to go", review.copies);
    if (options.bytes) {
        addTotal(out, "bytes to the trash", review.trashBytes);
    } else {
        out.add("to the trash: ");
        const QByteArray size = readableSize(review.trashBytes).toUtf8();
        out.add(std::string_view(size.constData(), std::size_t(size.size())));
        out.add('\n');
    }
    addOutcomeText(out, outcome);
}

void duplicatesJson(OutputBuffer &out, const CleanOptions &options, const cleaning::DuplicateReview &review,
                    const std::optional<RemovalOutcome> &outcome)
{
    JsonWriter json(out);
    json.beginObject();
    json.key("by");
    json.beginArray();
    for (const QString &item : options.by)
        json.value(item);
    json.endArray();
    json.key("command");
    json.value(std::string_view("duplicates"));
    json.key("groups");
    json.beginArray();
    for (const cleaning::DuplicateGroup &group : review.groups) {
        json.beginObject();
        json.key("keeper");
        json.value(std::int64_t{group.tracks.at(size_t(group.keeper)).databaseId});
        if (group.soundStrength) {
            json.key("match");
            json.fraction(*group.soundStrength);
        }
        json.key("tracks");
        json.beginArray();
        for (const cleaning::ReviewedTrack &t : group.tracks)
            duplicateTrackJson(json, t);
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.key("keep");
    json.value(cleaning::keepRuleName(options.keep));
    addOutcomeJson(json, outcome);
    json.key("totals");
    json.beginObject();
    json.key("copies");
    json.value(std::int64_t{review.copies});
    json.key("groups");
    json.value(static_cast<std::int64_t>(review.groups.size()));
    json.key("trashBytes");
    json.value(std::int64_t{review.trashBytes});
    json.endObject();
    json.endObject();
    json.finish();
}

bool deadTrackGoes(const cleaning::DeadTrackFolder &folder, const CleanOptions &options)
{
    return !folder.disconnected || options.includeDisconnected;
}

void deadTracksText(OutputBuffer &out, const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                    const std::optional<RemovalOutcome> &outcome, std::size_t width)
{
    std::int64_t going = 0;
    if (!findings.folders.empty()) {
        TextTable table({"STATUS", "ID", "NAME", "ARTIST", "ALBUM", "LOCATION"});
        for (const std::size_t column : {2, 3, 4})
            table.setShortenable(column);
        table.setShortenable(5, 12, CutBias::KeepTail);
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
                table.beginRow();
                table.cell(statusText(goes));
                table.cell(std::int64_t{t.databaseId});
                table.cell(t.name);
                table.cell(t.artist);
                table.cell(t.album);
                table.cell(t.location);
            }
        }
        table.render(out, width);
        out.add('\n');
    }
    addTotal(out, "folders", static_cast<std::int64_t>(findings.folders.size()));
    addTotal(out, "dead tracks", findings.trackCount);
    addTotal(out, "on a disconnected drive", findings.disconnectedCount);
    addTotal(out, "tracks to go", going);
    addOutcomeText(out, outcome);
}

void deadTracksJson(OutputBuffer &out, const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                    const std::optional<RemovalOutcome> &outcome)
{
    JsonWriter json(out);
    std::int64_t going = 0;
    json.beginObject();
    json.key("command");
    json.value(std::string_view("dead"));
    json.key("folders");
    json.beginArray();
    for (const cleaning::DeadTrackFolder &folder : findings.folders) {
        const bool goes = deadTrackGoes(folder, options);
        json.beginObject();
        json.key("disconnected");
        json.value(folder.disconnected);
        json.key("folder");
        json.value(folder.folder);
        json.key("tracks");
        json.beginArray();
        for (const cleaning::DeadTrack &t : folder.tracks) {
            going += goes ? 1 : 0;
            json.beginObject();
            json.key("album");
            json.value(t.album);
            json.key("artist");
            json.value(t.artist);
            json.key("databaseId");
            json.value(std::int64_t{t.databaseId});
            json.key("location");
            json.value(t.location);
            json.key("name");
            json.value(t.name);
            json.key("status");
            json.value(statusText(goes));
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    addOutcomeJson(json, outcome);
    json.key("totals");
    json.beginObject();
    json.key("deadTracks");
    json.value(std::int64_t{findings.trackCount});
    json.key("disconnected");
    json.value(std::int64_t{findings.disconnectedCount});
    json.key("folders");
    json.value(static_cast<std::int64_t>(findings.folders.size()));
    json.key("toGo");
    json.value(going);
    json.endObject();
    json.endObject();
    json.finish();
}

void historyText(OutputBuffer &out, const std::vector<protocol::JobRecord> &jobs, std::size_t width)
{
    if (jobs.empty()) {
        out.add("The history is empty.\n");
        return;
    }
    TextTable table({"JOB", "KIND", "STARTED", "ENDED", "TRACKS", "FILES", "STATE"});
    table.setShortenable(1);
    table.setDroppable({3});
    for (const protocol::JobRecord &job : jobs) {
        table.beginRow();
        table.cell(std::int64_t{job.jobId});
        table.cell(job.kind);
        table.cell(dateText(job.started));
        // A job cut short (its run killed) never ended.
        table.cell(job.ended.isValid() ? dateText(job.ended) : QStringLiteral("-"));
        table.cell(std::int64_t{job.tracks});
        table.cell(std::int64_t{job.files});
        table.cell(std::string_view(job.restored ? "restored" : "removed"));
    }
    table.render(out, width);
}

} // namespace tidyfox::cleancli
