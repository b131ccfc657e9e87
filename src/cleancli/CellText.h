// SPDX-License-Identifier: GPL-3.0-or-later
// Text measured and cut as a terminal shows it: a CJK character takes two
// columns, a combining mark none.
#pragma once

#include <QString>
#include <QStringView>
#include <cstddef>

namespace tidyfox::cleancli {

// The columns text takes in a terminal.
std::size_t displayWidth(QStringView text);

// Which end of a text keeps more when it is cut.
enum class CutBias {
    Even,     // a name: both ends alike
    KeepTail, // a path: its file and the folders above it tell more than its root
};

// text cut from its middle to at most width columns, "…" where the middle
// was: both ends tell more than the middle. width is at least 2.
QString cutInMiddle(QStringView text, std::size_t width, CutBias bias = CutBias::Even);

} // namespace tidyfox::cleancli
