// SPDX-License-Identifier: GPL-3.0-or-later
// How a two-level model tells the grid about its child band. A model's column
// headers describe its top level only, so the child level's field names and
// column count come through these header roles (section = column position).
// A model that does not answer them gets its child column count from the
// first top row and numbered captions.
#pragma once

#include <Qt>

namespace tidyfox::widgets::GridRoles {

// headerData(position, Qt::Horizontal, ChildHeaderRole): the child field name.
inline constexpr int ChildHeaderRole = Qt::UserRole + 0x4701;
// headerData(0, Qt::Horizontal, ChildColumnCountRole): the child column count.
inline constexpr int ChildColumnCountRole = Qt::UserRole + 0x4702;
// data(child row, RowMarkRole): true for a row drawn as marked (its track's
// file is missing); the text of the mark comes with RowMarkTextRole.
inline constexpr int RowMarkRole = Qt::UserRole + 0x4703;
inline constexpr int RowMarkTextRole = Qt::UserRole + 0x4704;

} // namespace tidyfox::widgets::GridRoles
