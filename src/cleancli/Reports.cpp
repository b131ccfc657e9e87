#include "cleancli/Reports.h"

#include "cleancli/JsonWriter.h"
#include "cleancli/TextTable.h"

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

void duplicatesText(OutputBuffer &out, const cleaning::DuplicateReview &review,
                    const std::optional<RemovalOutcome> &outcome)
{
    if (!review.groups.empty()) {
        TextTable table({"GROUP", "STATUS", "ID", "NAME", "ARTIST", "ALBUM", "TIME", "KIND", "BIT RATE", "SAMPLE RATE",
                         "SIZE", "DATE ADDED", "PLAYS", "RATING", "FILE", "LOCATION"});
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
                table.cell(std::int64_t{t.size});
                table.cell(dateText(t.dateAdded));
                table.cell(std::int64_t{t.playCount});
                table.cell(std::int64_t{t.rating});
                table.cell(fileText(t));
                table.cell(t.location);
            }
        }
        table.render(out);
        out.add('\n');
    }
    addTotal(out, "groups", static_cast<std::int64_t>(review.groups.size()));
    addTotal(out, "copies to go", review.copies);
    addTotal(out, "bytes to the trash", review.trashBytes);
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
                    const std::optional<RemovalOutcome> &outcome)
{
    std::int64_t going = 0;
    if (!findings.folders.empty()) {
        TextTable table({"STATUS", "ID", "NAME", "ARTIST", "ALBUM", "LOCATION"});
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
        table.render(out);
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

} // namespace tidyfox::cleancli
