// SPDX-License-Identifier: GPL-3.0-or-later
// A small two-level model for the grid tests: playlists with an id and a name,
// each with tracks of seven fields (playlist id, name, track id, path, time,
// artist, album), like the library the grid is made for.
#pragma once

#include <QStandardItemModel>
#include <memory>

namespace tidyfox::test {

inline std::shared_ptr<QStandardItemModel> makeGridTestModel(int playlists, int tracksEach)
{
    auto model = std::make_shared<QStandardItemModel>();
    model->setColumnCount(2);
    model->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("PlayList_Name")});
    for (int p = 0; p < playlists; ++p) {
        const QString id = QString::number(100 + p);
        QList<QStandardItem *> top{new QStandardItem(id), new QStandardItem(QStringLiteral("Playlist %1").arg(p))};
        for (int t = 0; t < tracksEach; ++t) {
            QList<QStandardItem *> track;
            for (const QString &text : {id, QStringLiteral("Track %1.%2").arg(p).arg(t), QString::number(1000 * p + t),
                                        QString(), QStringLiteral("3:%1").arg(10 + t),
                                        QStringLiteral("Artist %1").arg(t), QStringLiteral("Album %1").arg(p)})
                track.append(new QStandardItem(text));
            top.first()->appendRow(track);
        }
        model->appendRow(top);
    }
    return model;
}

} // namespace tidyfox::test
