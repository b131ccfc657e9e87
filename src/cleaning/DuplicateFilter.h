// SPDX-License-Identifier: GPL-3.0-or-later
// The filter text of the duplicate-filter panel: comma-separated items, where
// items 0 to 6 choose the properties that make two tracks copies, item 7
// keeps the removed copies' files and item 8 (the review's only) holds the
// words "sound" (tracks that sound the same) and "loose" (names, artists and
// albums loosely equal), separated by spaces.
#pragma once

#include <QStringList>
#include <optional>

namespace tidyfox::cleaning {

enum FilterPosition : int {
    kFilterName = 0,
    kFilterSize = 1,
    kFilterAlbum = 2,
    kFilterArtist = 3,
    kFilterBitRate = 4,
    kFilterSampleRate = 5,
    kFilterFileName = 6,
    kFilterKeepFiles = 7,
    kFilterMatching = 8,
};

inline constexpr int kFilterProperties = 7;

class DuplicateFilter
{
public:
    // Splits at every comma; no quoting, no trimming.
    explicit DuplicateFilter(const QString &text);

    // The text names every property position (0 to 6).
    bool hasAllProperties() const { return m_items.size() >= kFilterProperties; }
    // Some property item is exactly "true". Unlike Checked, letter case
    // counts here: "TRUE" alone does not make a filter valid.
    bool isValid() const;
    // The item at position is "true" in any letter case.
    bool checked(int position) const;
    // The keep-files switch; nothing when the text has no item 7.
    std::optional<bool> keepFiles() const;

    // Item 8 names "sound": tracks must also sound the same.
    bool soundAlike() const;
    // Item 8 names "loose": checked names, artists and albums (the name when
    // none is) are compared loosely, with durations within 2 s.
    bool loose() const;
    // What the review finds by: a property that IsValid counts, or item 8.
    bool choosesSomething() const { return isValid() || soundAlike() || loose(); }

private:
    QStringList m_items;
};

} // namespace tidyfox::cleaning
