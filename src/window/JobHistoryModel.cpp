// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/JobHistoryModel.h"

#include <QLocale>

namespace tidyfox::window {

namespace {

QString summaryOf(const protocol::JobRecord &job)
{
    QString text = QStringLiteral("%1 track(s)").arg(job.tracks);
    if (job.files > 0)
        text += QStringLiteral(", %1 file(s) to the trash").arg(job.files);
    if (job.restored)
        text += QStringLiteral(", restored");
    return text;
}

} // namespace

void JobHistoryModel::show(const std::vector<protocol::JobRecord> &jobs)
{
    beginResetModel();
    m_jobs.assign(jobs.rbegin(), jobs.rend());
    endResetModel();
    Q_EMIT countChanged();
    Q_EMIT opened();
}

int JobHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_jobs.size());
}

QVariant JobHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const protocol::JobRecord &job = m_jobs[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case KindRole:
        return job.kind;
    case JobIdRole:
        return job.jobId;
    case StartedRole:
        return QLocale().toString(job.started.toLocalTime(), QLocale::ShortFormat);
    case TracksRole:
        return job.tracks;
    case FilesRole:
        return job.files;
    case RestoredRole:
        return job.restored;
    case SummaryRole:
        return summaryOf(job);
    default:
        return {};
    }
}

QHash<int, QByteArray> JobHistoryModel::roleNames() const
{
    return {{JobIdRole, "jobId"}, {KindRole, "kind"},         {StartedRole, "started"}, {TracksRole, "tracks"},
            {FilesRole, "files"}, {RestoredRole, "restored"}, {SummaryRole, "summary"}};
}

} // namespace tidyfox::window
