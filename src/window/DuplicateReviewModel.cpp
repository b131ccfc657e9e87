// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/DuplicateReviewModel.h"

#include "cleaning/DuplicateFilter.h"
#include "window/PathText.h"
#include "window/TrackDetails.h"

#include <QLocale>
#include <QSet>

namespace tidyfox::window {

namespace {

// The totals read as a person writes them here, whatever the desktop's
// language: "1,234 copies, 4.2 GB to the trash".
const QLocale kTotalsLocale(QLocale::English, QLocale::UnitedStates);

cleaning::KeepCandidate candidateOf(const cleaning::ReviewedTrack &track)
{
    cleaning::KeepCandidate c;
    c.bitRate = track.bitRate;
    c.size = track.size;
    c.lossless = cleaning::isLossless(track.kind, track.location);
    c.playCount = track.playCount;
    c.rating = track.rating;
    c.dateAdded = track.dateAdded;
    c.playDate = track.playDate;
    c.fileThere = track.fileThere;
    return c;
}

// A lossless copy, then the highest bit rate, then the one added first (an
// unknown date never is); a full tie stays with the first in library order.
// A copy whose file is missing never stays while another's file is there.
int bestKeeper(const std::vector<cleaning::KeepCandidate> &candidates)
{
    const auto better = [](const cleaning::KeepCandidate &a, const cleaning::KeepCandidate &b) {
        if (a.fileThere != b.fileThere)
            return a.fileThere;
        if (a.lossless != b.lossless)
            return a.lossless;
        if (a.bitRate != b.bitRate)
            return a.bitRate > b.bitRate;
        if (a.dateAdded.isValid() != b.dateAdded.isValid())
            return a.dateAdded.isValid();
        return a.dateAdded.isValid() && a.dateAdded < b.dateAdded;
    };
    int best = 0;
    for (int i = 1; i < int(candidates.size()); ++i) {
        if (better(candidates[size_t(i)], candidates[size_t(best)]))
            best = i;
    }
    return best;
}

QString folderOf(const QString &location)
{
    const qsizetype slash = location.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : location.left(slash);
}

} // namespace

void DuplicateReviewModel::show(cleaning::DuplicateReview review, const QString &filterText, bool keepFiles)
{
    beginResetModel();
    m_groups.clear();
    m_rows.clear();
    m_groups.reserve(review.groups.size());
    for (cleaning::DuplicateGroup &found : review.groups) {
        Group group;
        const size_t size = found.tracks.size();
        for (const cleaning::ReviewedTrack &track : found.tracks)
            group.walkGoes.push_back(track.goes);
        group.spared.assign(size, false);
        group.tracks = std::move(found);
        const int index = static_cast<int>(m_groups.size());
        for (size_t i = 0; i < size; ++i)
            m_rows.push_back({index, static_cast<int>(i)});
        m_groups.push_back(std::move(group));
    }
    m_filterText = filterText;
    m_rescanNote = review.rescanNote;
    m_filterKeepsFiles = keepFiles;
    m_keepFiles = keepFiles;
    m_rule.reset();
    m_merge = true;
    m_mergeSetByUser = false;
    m_sparedCount = 0;
    applyRule();
    endResetModel();
    Q_EMIT reviewChanged();
    Q_EMIT totalsChanged();
    Q_EMIT opened();
}

void DuplicateReviewModel::applyRule()
{
    for (Group &group : m_groups) {
        if (libraryOrder()) {
            group.goes = group.walkGoes;
            // The history of the copies goes to the first track that stays.
            group.keeper = 0;
            while (group.keeper + 1 < int(group.goes.size()) && group.goes[size_t(group.keeper)])
                ++group.keeper;
        } else {
            std::vector<cleaning::KeepCandidate> candidates;
            for (const cleaning::ReviewedTrack &track : group.tracks.tracks)
                candidates.push_back(candidateOf(track));
            group.keeper = m_rule ? cleaning::chooseKeeper(*m_rule, candidates) : bestKeeper(candidates);
            group.goes.assign(candidates.size(), true);
            group.goes[size_t(group.keeper)] = false;
        }
        // A spared track stays whatever the rule.
        for (size_t i = 0; i < group.spared.size(); ++i)
            group.spared[i] = group.spared[i] && group.goes[i];
    }
    m_sparedCount = 0;
    for (const Group &group : m_groups)
        m_sparedCount += int(std::count(group.spared.begin(), group.spared.end(), true));
}

int DuplicateReviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

const cleaning::ReviewedTrack &DuplicateReviewModel::trackAt(const Row &row) const
{
    return m_groups[size_t(row.group)].tracks.tracks[size_t(row.inGroup)];
}

bool DuplicateReviewModel::isSpared(const Row &row) const
{
    return m_groups[size_t(row.group)].spared[size_t(row.inGroup)];
}

QVariant DuplicateReviewModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows[size_t(index.row())];
    const Group &group = m_groups[size_t(row.group)];
    const cleaning::ReviewedTrack &track = trackAt(row);
    const bool goes = group.goes[size_t(row.inGroup)];
    switch (role) {
    case GroupRole:
        return row.group;
    case DatabaseIdRole:
        return track.databaseId;
    case Qt::DisplayRole:
    case NameRole:
        return track.name;
    case ArtistRole:
        return track.artist;
    case AlbumRole:
        return track.album;
    case TimeRole:
        return track.time;
    case KindRole:
        return track.kind;
    case BitRateRole:
        return track.bitRate;
    case SampleRateRole:
        return track.sampleRate;
    case SizeRole:
        return desktopSizeText(track.size);
    case DateAddedRole:
        // As the track's details and the history show dates.
        return track.dateAdded.isValid()
                   ? QLocale().toString(track.dateAdded.toLocalTime().date(), QLocale::ShortFormat)
                   : QString();
    case PlayCountRole:
        return track.playCount;
    case RatingRole:
        return track.rating;
    case LocationRole:
        return track.location;
    case FileThereRole:
        return track.fileThere;
    case FolderRole:
        return shownPath(folderOf(track.location));
    case StaysRole:
        return row.inGroup == group.keeper;
    case GoesRole:
        return goes && !isSpared(row);
    case SparedRole:
        return isSpared(row);
    default:
        return {};
    }
}

QHash<int, QByteArray> DuplicateReviewModel::roleNames() const
{
    return {{GroupRole, "group"},   {DatabaseIdRole, "databaseId"}, {NameRole, "name"},
            {ArtistRole, "artist"}, {AlbumRole, "album"},           {TimeRole, "time"},
            {KindRole, "kind"},     {BitRateRole, "bitRate"},       {SampleRateRole, "sampleRate"},
            {SizeRole, "size"},     {DateAddedRole, "dateAdded"},   {PlayCountRole, "playCount"},
            {RatingRole, "rating"}, {LocationRole, "location"},     {FileThereRole, "fileThere"},
            {FolderRole, "folder"}, {StaysRole, "stays"},           {GoesRole, "goes"},
            {SparedRole, "spared"}};
}

int DuplicateReviewModel::copies() const
{
    int copies = 0;
    for (const Group &group : m_groups) {
        for (size_t i = 0; i < group.goes.size(); ++i)
            copies += group.goes[i] && !group.spared[i] ? 1 : 0;
    }
    return copies;
}

QString DuplicateReviewModel::totalsText() const
{
    const int count = copies();
    QString text = kTotalsLocale.toString(count) + (count == 1 ? QStringLiteral(" copy") : QStringLiteral(" copies"));
    if (m_keepFiles)
        return text + QStringLiteral(", their files kept");
    // A file that a track staying in the group also uses stays.
    qint64 bytes = 0;
    for (const Group &group : m_groups) {
        QSet<QString> staying;
        for (size_t i = 0; i < group.goes.size(); ++i) {
            if (!group.goes[i] || group.spared[i])
                staying.insert(group.tracks.tracks[i].location);
        }
        QSet<QString> counted;
        for (size_t i = 0; i < group.goes.size(); ++i) {
            const cleaning::ReviewedTrack &track = group.tracks.tracks[i];
            if (group.goes[i] && !group.spared[i] && track.fileThere && !staying.contains(track.location) &&
                !counted.contains(track.location)) {
                counted.insert(track.location);
                bytes += track.size;
            }
        }
    }
    return text + QStringLiteral(", ") + desktopSizeText(bytes) + QStringLiteral(" to the trash");
}

QStringList DuplicateReviewModel::rules()
{
    return QStringList{QLatin1String(kBestRule)} + cleaning::keepRuleNames();
}

QStringList DuplicateReviewModel::ruleLabels()
{
    return {QStringLiteral("Best copy (recommended)"), QStringLiteral("Library order"),
            QStringLiteral("Highest bit rate"),        QStringLiteral("Largest file"),
            QStringLiteral("Lossless, then bit rate"), QStringLiteral("Most played"),
            QStringLiteral("Highest rated"),           QStringLiteral("Earliest added"),
            QStringLiteral("Most recently played")};
}

QString DuplicateReviewModel::ruleHint() const
{
    if (!m_rule)
        return QStringLiteral("Keeps a lossless copy first, then the one with the highest bit rate; on a tie, the one "
                              "added to the library first.");
    const QString ties = QStringLiteral(" On a tie, the one first in the library.");
    switch (*m_rule) {
    case cleaning::KeepRule::LibraryOrder:
        return QStringLiteral("Keeps the copy that comes first in the library, whatever its folder, and removes the "
                              "later ones, as the filter alone does.");
    case cleaning::KeepRule::HighestBitRate:
        return QStringLiteral("Keeps the copy with the highest bit rate.") + ties;
    case cleaning::KeepRule::LargestFile:
        return QStringLiteral("Keeps the copy with the largest file.") + ties;
    case cleaning::KeepRule::LosslessFirst:
        return QStringLiteral("Keeps a lossless copy first, then the one with the highest bit rate.") + ties;
    case cleaning::KeepRule::MostPlayed:
        return QStringLiteral("Keeps the copy played most often.") + ties;
    case cleaning::KeepRule::HighestRated:
        return QStringLiteral("Keeps the copy with the highest rating.") + ties;
    case cleaning::KeepRule::EarliestAdded:
        return QStringLiteral("Keeps the copy added to the library first.") + ties;
    case cleaning::KeepRule::MostRecentlyPlayed:
        return QStringLiteral("Keeps the copy played most recently.") + ties;
    }
    return {};
}

void DuplicateReviewModel::setRule(const QString &name)
{
    std::optional<cleaning::KeepRule> rule;
    if (name != QLatin1String(kBestRule)) {
        rule = cleaning::keepRuleNamed(name);
        if (!rule)
            return;
    }
    if (rule == m_rule)
        return;
    m_rule = rule;
    if (!m_mergeSetByUser)
        m_merge = !libraryOrder();
    applyRule();
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0), index(rowCount() - 1), {StaysRole, GoesRole, SparedRole});
    Q_EMIT totalsChanged();
}

void DuplicateReviewModel::setMergeHistory(bool merge)
{
    m_mergeSetByUser = true;
    if (merge == m_merge)
        return;
    m_merge = merge;
    Q_EMIT totalsChanged();
}

void DuplicateReviewModel::setKeepFiles(bool keep)
{
    if (keep == m_keepFiles)
        return;
    m_keepFiles = keep;
    Q_EMIT totalsChanged();
}

void DuplicateReviewModel::setSpared(int row, bool spared)
{
    if (row < 0 || row >= rowCount())
        return;
    const Row &at = m_rows[size_t(row)];
    Group &group = m_groups[size_t(at.group)];
    if (!group.goes[size_t(at.inGroup)] || group.spared[size_t(at.inGroup)] == spared)
        return;
    group.spared[size_t(at.inGroup)] = spared;
    m_sparedCount += spared ? 1 : -1;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {GoesRole, SparedRole});
    Q_EMIT totalsChanged();
}

bool DuplicateReviewModel::unchanged() const
{
    // What sound or loose tags found is not what the filter's seven
    // properties remove: it goes as the reviewed set.
    const cleaning::DuplicateFilter filter(m_filterText);
    return libraryOrder() && !m_merge && m_sparedCount == 0 && m_keepFiles == m_filterKeepsFiles &&
           !filter.soundAlike() && !filter.loose();
}

QString DuplicateReviewModel::confirmCommand() const
{
    return unchanged() ? QStringLiteral("IDC_FS_okfilter") : QStringLiteral("IDC_FS_removeReviewed");
}

QString DuplicateReviewModel::confirmArgs() const
{
    if (unchanged())
        return m_filterText;
    // keep-files;merge;copy:keeper,copy:keeper,... (database ids)
    QStringList pairs;
    for (const Group &group : m_groups) {
        const std::int32_t keeper = group.tracks.tracks[size_t(group.keeper)].databaseId;
        for (size_t i = 0; i < group.goes.size(); ++i) {
            if (group.goes[i] && !group.spared[i])
                pairs << QStringLiteral("%1:%2").arg(group.tracks.tracks[i].databaseId).arg(keeper);
        }
    }
    return QStringLiteral("%1;%2;%3")
        .arg(m_keepFiles ? QStringLiteral("true") : QStringLiteral("false"),
             m_merge ? QStringLiteral("true") : QStringLiteral("false"), pairs.join(QLatin1Char(',')));
}

} // namespace tidyfox::window
