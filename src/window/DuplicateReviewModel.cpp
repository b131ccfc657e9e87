// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/DuplicateReviewModel.h"

#include "cleaning/DuplicateFilter.h"
#include "window/PathText.h"
#include "window/TrackDetails.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <numeric>

namespace tidyfox::window {

namespace {

// The totals read as a person writes them here, whatever the desktop's
// language: "1,234 copies, 4.2 GB to the trash".
const QLocale kTotalsLocale(QLocale::English, QLocale::UnitedStates);

cleaning::KeepCandidate candidateOf(const cleaning::ReviewedTrack &track, bool lossless)
{
    cleaning::KeepCandidate c;
    c.bitRate = track.bitRate;
    c.size = track.size;
    c.lossless = lossless;
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
    m_rowGroup.clear();
    m_flags.clear();
    m_groups.reserve(review.groups.size());
    size_t rows = 0;
    for (const cleaning::DuplicateGroup &found : review.groups)
        rows += found.tracks.size();
    m_rowGroup.reserve(rows);
    m_flags.reserve(rows);
    // A library has few kinds; each is read for lossless once.
    QHash<QString, bool> losslessKinds;
    for (cleaning::DuplicateGroup &found : review.groups) {
        const int index = static_cast<int>(m_groups.size());
        Group group;
        group.first = static_cast<int>(m_flags.size());
        for (const cleaning::ReviewedTrack &track : found.tracks) {
            bool lossless = false;
            if (track.kind.isEmpty()) {
                lossless = cleaning::isLossless(track.kind, track.location);
            } else {
                auto known = losslessKinds.constFind(track.kind);
                if (known == losslessKinds.cend())
                    known = losslessKinds.insert(track.kind, cleaning::isLossless(track.kind, track.location));
                lossless = *known;
            }
            m_rowGroup.push_back(index);
            m_flags.push_back(std::uint8_t((track.goes ? WalkGoes : 0) | (lossless ? Lossless : 0)));
        }
        group.tracks = std::move(found);
        m_groups.push_back(std::move(group));
    }
    m_filterText = filterText;
    m_rescanNote = review.rescanNote;
    m_filterKeepsFiles = keepFiles;
    m_keepFiles = keepFiles;
    m_rule.reset();
    m_merge = true;
    m_mergeSetByUser = false;
    applyRule();
    endResetModel();
    Q_EMIT reviewChanged();
    Q_EMIT totalsChanged();
    Q_EMIT opened();
}

void DuplicateReviewModel::clear()
{
    beginResetModel();
    std::vector<Group>().swap(m_groups);
    std::vector<int>().swap(m_rowGroup);
    std::vector<std::uint8_t>().swap(m_flags);
    countTotals();
    endResetModel();
    Q_EMIT reviewChanged();
    Q_EMIT totalsChanged();
}

void DuplicateReviewModel::setFlag(int row, RowFlag f, bool on)
{
    std::uint8_t &flags = m_flags[size_t(row)];
    flags = std::uint8_t(on ? flags | f : flags & ~f);
}

void DuplicateReviewModel::applyRule()
{
    std::vector<cleaning::KeepCandidate> candidates;
    for (Group &group : m_groups) {
        const int size = static_cast<int>(group.tracks.tracks.size());
        if (libraryOrder()) {
            for (int i = 0; i < size; ++i)
                setFlag(group.first + i, Goes, flag(group.first + i, WalkGoes));
            // The history of the copies goes to the first track that stays.
            group.keeper = 0;
            while (group.keeper + 1 < size && flag(group.first + group.keeper, Goes))
                ++group.keeper;
        } else {
            candidates.clear();
            for (int i = 0; i < size; ++i)
                candidates.push_back(candidateOf(group.tracks.tracks[size_t(i)], flag(group.first + i, Lossless)));
            group.keeper = m_rule ? cleaning::chooseKeeper(*m_rule, candidates) : bestKeeper(candidates);
            for (int i = 0; i < size; ++i)
                setFlag(group.first + i, Goes, i != group.keeper);
        }
        // A spared track stays whatever the rule.
        for (int i = 0; i < size; ++i)
            setFlag(group.first + i, Spared, flag(group.first + i, Spared) && flag(group.first + i, Goes));
    }
    countTotals();
}

std::int64_t DuplicateReviewModel::trashBytesOf(const Group &group) const
{
    // The group's tracks by location, in group order where it is the same;
    // a file is counted with the first copy that goes with it, unless some
    // track that stays uses it.
    const auto &tracks = group.tracks.tracks;
    std::vector<int> byLocation(tracks.size());
    std::iota(byLocation.begin(), byLocation.end(), 0);
    std::stable_sort(byLocation.begin(), byLocation.end(),
                     [&tracks](int a, int b) { return tracks[size_t(a)].location < tracks[size_t(b)].location; });
    std::int64_t bytes = 0;
    for (size_t from = 0; from < byLocation.size();) {
        const QString &location = tracks[size_t(byLocation[from])].location;
        size_t to = from;
        bool staying = false;
        int counted = -1;
        for (; to < byLocation.size() && tracks[size_t(byLocation[to])].location == location; ++to) {
            const int i = byLocation[to];
            if (!goesNow(group.first + i))
                staying = true;
            else if (counted < 0 && tracks[size_t(i)].fileThere)
                counted = i;
        }
        if (!staying && counted >= 0)
            bytes += tracks[size_t(counted)].size;
        from = to;
    }
    return bytes;
}

void DuplicateReviewModel::countTotals()
{
    m_sparedCount = 0;
    m_copies = 0;
    m_trashBytes = 0;
    for (int row = 0; row < rowCount(); ++row) {
        m_sparedCount += flag(row, Spared) ? 1 : 0;
        m_copies += goesNow(row) ? 1 : 0;
    }
    for (Group &group : m_groups) {
        group.trashBytes = trashBytesOf(group);
        m_trashBytes += group.trashBytes;
    }
}

int DuplicateReviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_flags.size());
}

const cleaning::ReviewedTrack &DuplicateReviewModel::trackAt(int row) const
{
    const Group &group = groupOf(row);
    return group.tracks.tracks[size_t(row - group.first)];
}

QVariant DuplicateReviewModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    const Group &group = groupOf(row);
    const cleaning::ReviewedTrack &track = trackAt(row);
    switch (role) {
    case GroupRole:
        return m_rowGroup[size_t(row)];
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
        return row - group.first == group.keeper;
    case GoesRole:
        return goesNow(row);
    case SparedRole:
        return flag(row, Spared);
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

QString DuplicateReviewModel::totalsText() const
{
    QString text =
        kTotalsLocale.toString(m_copies) + (m_copies == 1 ? QStringLiteral(" copy") : QStringLiteral(" copies"));
    if (m_keepFiles)
        return text + QStringLiteral(", their files kept");
    return text + QStringLiteral(", ") + desktopSizeText(m_trashBytes) + QStringLiteral(" to the trash");
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
    if (rowCount() > 0)
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
    if (!flag(row, Goes) || flag(row, Spared) == spared)
        return;
    setFlag(row, Spared, spared);
    m_sparedCount += spared ? 1 : -1;
    m_copies += spared ? -1 : 1;
    Group &group = m_groups[size_t(m_rowGroup[size_t(row)])];
    m_trashBytes -= group.trashBytes;
    group.trashBytes = trashBytesOf(group);
    m_trashBytes += group.trashBytes;
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
        for (size_t i = 0; i < group.tracks.tracks.size(); ++i) {
            if (goesNow(group.first + int(i)))
                pairs << QStringLiteral("%1:%2").arg(group.tracks.tracks[i].databaseId).arg(keeper);
        }
    }
    return QStringLiteral("%1;%2;%3")
        .arg(m_keepFiles ? QStringLiteral("true") : QStringLiteral("false"),
             m_merge ? QStringLiteral("true") : QStringLiteral("false"), pairs.join(QLatin1Char(',')));
}

} // namespace tidyfox::window
