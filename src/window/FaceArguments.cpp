// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/FaceArguments.h"

#include <algorithm>

namespace tidyfox::window {

const QString kUnreadableSelection = QStringLiteral("The selection to delete could not be read; nothing was deleted.");

namespace {

std::optional<bool> flagIn(QStringView text)
{
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

} // namespace

std::optional<std::int32_t> idIn(QStringView text)
{
    const QStringView digits = text.trimmed();
    // toInt alone would also take a sign and blanks inside.
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    bool ok = false;
    const int id = digits.toInt(&ok);
    if (!ok || id <= 0)
        return std::nullopt;
    return id;
}

std::optional<std::vector<std::int32_t>> idListIn(QStringView text)
{
    std::vector<std::int32_t> ids;
    for (const QStringView item : text.split(QLatin1Char(','))) {
        const auto id = idIn(item);
        if (!id)
            return std::nullopt;
        ids.push_back(*id);
    }
    return ids;
}

std::optional<PlaylistTracks> playlistTracksIn(QStringView text)
{
    const qsizetype split = text.indexOf(QLatin1Char(';'));
    if (split < 0)
        return std::nullopt;
    const auto playlistId = idIn(text.left(split));
    auto ids = idListIn(text.mid(split + 1));
    if (!playlistId || !ids)
        return std::nullopt;
    return PlaylistTracks{*playlistId, std::move(*ids)};
}

std::optional<cleaning::ReviewedRemoval> reviewedRemovalIn(QStringView text)
{
    const QList<QStringView> parts = text.split(QLatin1Char(';'));
    if (parts.size() != 3)
        return std::nullopt;
    const auto keepFiles = flagIn(parts[0]);
    const auto merge = flagIn(parts[1]);
    if (!keepFiles || !merge)
        return std::nullopt;
    cleaning::ReviewedRemoval removal;
    removal.keepFiles = *keepFiles;
    removal.mergeHistory = *merge;
    if (parts[2].isEmpty())
        return removal;
    for (const QStringView pair : parts[2].split(QLatin1Char(','))) {
        const QList<QStringView> ids = pair.split(QLatin1Char(':'));
        const auto copy = ids.size() == 2 ? idIn(ids[0]) : std::nullopt;
        const auto keeper = ids.size() == 2 ? idIn(ids[1]) : std::nullopt;
        if (!copy || !keeper)
            return std::nullopt;
        removal.copies.push_back({*copy, *keeper, std::nullopt});
    }
    return removal;
}

} // namespace tidyfox::window
