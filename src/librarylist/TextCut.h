// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting text to its first characters, as the library model stores it.
#pragma once

#include <QString>

namespace tidyfox::librarylist {

// The first `count` characters of text. A character is a Unicode code point:
// a surrogate pair is kept whole or dropped whole, never split.
QString leftChars(const QString &text, int count);

} // namespace tidyfox::librarylist
