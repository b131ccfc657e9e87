// SPDX-License-Identifier: GPL-3.0-or-later
// The library's recent jobs as the face's history panel lists them, newest
// first, each with what it did and whether it can still be restored.
#pragma once

#include "protocol/LibraryRecords.h"

#include <QAbstractListModel>
#include <vector>

namespace tidyfox::window {

class JobHistoryModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role { JobIdRole = Qt::UserRole + 1, KindRole, StartedRole, TracksRole, FilesRole, RestoredRole, SummaryRole };

    using QAbstractListModel::QAbstractListModel;

    // Shows the jobs (oldest first, as the library lists them) and tells the
    // face to open the panel.
    void show(const std::vector<protocol::JobRecord> &jobs);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();
    void opened();

private:
    std::vector<protocol::JobRecord> m_jobs; // newest first
};

} // namespace tidyfox::window
