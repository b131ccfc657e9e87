// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/JobListFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tidyfox::protocol {

QString encodeJobs(const std::vector<JobRecord> &jobs)
{
    QJsonArray list;
    for (const JobRecord &job : jobs) {
        QJsonObject item{{QStringLiteral("id"), job.jobId},
                         {QStringLiteral("kind"), job.kind},
                         {QStringLiteral("started"), job.started.toUTC().toString(Qt::ISODate)},
                         {QStringLiteral("tracks"), job.tracks},
                         {QStringLiteral("files"), job.files},
                         {QStringLiteral("restored"), job.restored}};
        if (job.ended.isValid())
            item.insert(QStringLiteral("ended"), job.ended.toUTC().toString(Qt::ISODate));
        if (!job.playerWaiting.isEmpty())
            item.insert(QStringLiteral("playerWaiting"), job.playerWaiting);
        list.append(item);
    }
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

std::vector<JobRecord> decodeJobs(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        throw LibraryError("The library sent its history in an unknown format");
    std::vector<JobRecord> jobs;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject item = value.toObject();
        if (!item.value(QStringLiteral("id")).isDouble())
            throw LibraryError("The library sent a job without its number");
        JobRecord job;
        job.jobId = item.value(QStringLiteral("id")).toInt();
        job.kind = item.value(QStringLiteral("kind")).toString();
        job.started = QDateTime::fromString(item.value(QStringLiteral("started")).toString(), Qt::ISODate);
        job.ended = QDateTime::fromString(item.value(QStringLiteral("ended")).toString(), Qt::ISODate);
        job.tracks = item.value(QStringLiteral("tracks")).toInt();
        job.files = item.value(QStringLiteral("files")).toInt();
        job.restored = item.value(QStringLiteral("restored")).toBool();
        job.playerWaiting = item.value(QStringLiteral("playerWaiting")).toString();
        jobs.push_back(std::move(job));
    }
    return jobs;
}

} // namespace tidyfox::protocol
