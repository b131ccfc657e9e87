// Cutting text to its first characters, as the library model stores it.
#pragma once

#include <QString>

namespace tidyfox::library {

// The first `count` characters of text. A character is a Unicode code point:
// a surrogate pair is kept whole or dropped whole, never split.
QString LeftChars(const QString &text, int count);

} // namespace tidyfox::library
