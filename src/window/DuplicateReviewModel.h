// SPDX-License-Identifier: GPL-3.0-or-later
// The duplicates found, as the face's review lists them: one row per track,
// grouped (the list's sections), with the track that stays marked and a tick
// on every copy that goes, which the user may take off to spare it. The rule
// of which copy stays, the play-history merge and the keep-files switch are
// chosen here too; the model says what the face sends when the user confirms.
//
// The rule first shown is the one a person would pick ("best": a lossless
// copy, then the highest bit rate, on a tie the one added first). Library
// order is the filter's own removal; chosen with nothing else changed, the
// review sends that removal as the filter alone would.
#pragma once

#include "cleaning/DuplicateReview.h"
#include "cleaning/KeepRule.h"

#include <QAbstractListModel>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidyfox::window {

class DuplicateReviewModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY reviewChanged)
    Q_PROPERTY(int groupCount READ groupCount NOTIFY reviewChanged)
    Q_PROPERTY(int copies READ copies NOTIFY totalsChanged)
    Q_PROPERTY(QString totalsText READ totalsText NOTIFY totalsChanged)
    Q_PROPERTY(QString rule READ rule WRITE setRule NOTIFY totalsChanged)
    Q_PROPERTY(QString ruleHint READ ruleHint NOTIFY totalsChanged)
    Q_PROPERTY(QStringList rules READ rules CONSTANT)
    Q_PROPERTY(QStringList ruleLabels READ ruleLabels CONSTANT)
    Q_PROPERTY(bool mergeHistory READ mergeHistory WRITE setMergeHistory NOTIFY totalsChanged)
    Q_PROPERTY(bool keepFiles READ keepFiles WRITE setKeepFiles NOTIFY totalsChanged)
    // While the copies' files are kept: the line saying the player's next
    // scan brings them back, for a library linked to such a player.
    Q_PROPERTY(QString rescanNote READ rescanNote NOTIFY totalsChanged)
public:
    enum Role {
        GroupRole = Qt::UserRole + 1,
        DatabaseIdRole,
        NameRole,
        ArtistRole,
        AlbumRole,
        TimeRole,
        KindRole,
        BitRateRole,
        SampleRateRole,
        SizeRole,
        DateAddedRole,
        PlayCountRole,
        RatingRole,
        LocationRole,
        FileThereRole,
        FolderRole, // the folder of the copy's file; empty without one
        StaysRole,  // the track that stays in its group's place
        GoesRole,   // marked to go and not spared
        SparedRole  // marked to go, and the user took the tick off
    };

    using QAbstractListModel::QAbstractListModel;

    // The rule shown first, beside the rules of the cleaning jobs.
    static constexpr const char *kBestRule = "best";

    // Shows a new review, found under the library-order rule with filterText,
    // and tells the face to open it under the best rule. Merging is on, the
    // files kept or not as the filter says.
    void show(cleaning::DuplicateReview review, const QString &filterText, bool keepFiles);
    // Lets the last review go (at a million tracks it is a hundred megabytes),
    // without opening anything.
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int groupCount() const { return static_cast<int>(m_groups.size()); }
    int copies() const { return m_copies; }
    QString totalsText() const;
    QString rule() const { return m_rule ? cleaning::keepRuleName(*m_rule) : QLatin1String(kBestRule); }
    void setRule(const QString &name);
    // What the rule chosen now keeps, in a sentence.
    QString ruleHint() const;
    static QStringList rules();
    static QStringList ruleLabels();
    bool mergeHistory() const { return m_merge; }
    void setMergeHistory(bool merge);
    bool keepFiles() const { return m_keepFiles; }
    QString rescanNote() const { return m_keepFiles ? m_rescanNote : QString(); }
    void setKeepFiles(bool keep);

    // Takes the tick off a copy that goes (spared), or puts it back.
    Q_INVOKABLE void setSpared(int row, bool spared);
    // What the face sends on confirmation: the filter's own removal when
    // nothing was changed, else the reviewed removal with its arguments.
    Q_INVOKABLE QString confirmCommand() const;
    Q_INVOKABLE QString confirmArgs() const;

Q_SIGNALS:
    void reviewChanged();
    void totalsChanged();
    void opened();

private:
    // A review at a million tracks has a hundred thousand groups: what each
    // row needs beside its track is kept in flat tables, not in containers
    // of every group's own, and the totals are counted when they change, not
    // each time the face reads them.
    struct Group
    {
        cleaning::DuplicateGroup tracks;
        int first = 0;  // the group's first row
        int keeper = 0; // in the group
        std::int64_t trashBytes = 0;
    };
    enum RowFlag : std::uint8_t {
        WalkGoes = 1, // the removal's own mark
        Goes = 2,     // under the rule chosen now
        Spared = 4,
        Lossless = 8,
    };

    bool unchanged() const;
    bool libraryOrder() const { return m_rule == cleaning::KeepRule::LibraryOrder; }
    void applyRule();
    // The sizes of the group's files that go to the trash: each file once,
    // and none that a track staying in the group also uses.
    std::int64_t trashBytesOf(const Group &group) const;
    void countTotals();
    const Group &groupOf(int row) const { return m_groups[size_t(m_rowGroup[size_t(row)])]; }
    const cleaning::ReviewedTrack &trackAt(int row) const;
    bool flag(int row, RowFlag f) const { return (m_flags[size_t(row)] & f) != 0; }
    void setFlag(int row, RowFlag f, bool on);
    bool goesNow(int row) const { return flag(row, Goes) && !flag(row, Spared); }

    std::vector<Group> m_groups;
    std::vector<int> m_rowGroup;       // the group of each row
    std::vector<std::uint8_t> m_flags; // RowFlag, each row
    QString m_filterText;
    bool m_filterKeepsFiles = false;
    std::optional<cleaning::KeepRule> m_rule; // none: the best rule
    bool m_merge = true;
    // The merge switch follows the rule (off for the filter's own removal)
    // until the user sets it.
    bool m_mergeSetByUser = false;
    bool m_keepFiles = false;
    QString m_rescanNote;
    int m_sparedCount = 0;
    int m_copies = 0;
    std::int64_t m_trashBytes = 0;
};

} // namespace tidyfox::window
