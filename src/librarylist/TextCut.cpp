// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/TextCut.h"

namespace tidyfox::librarylist {

QString leftChars(const QString &text, int count)
{
    if (count <= 0)
        return QString();
    qsizetype units = 0;
    int characters = 0;
    const qsizetype size = text.size();
    while (units < size && characters < count) {
        const bool pair = text.at(units).isHighSurrogate() && units + 1 < size && text.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
        ++characters;
    }
    return units == size ? text : text.left(units);
}

} // namespace tidyfox::librarylist
