// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/AlertWording.h"

#include <QRegularExpression>

namespace tidyfox::window {

QString withoutInternalIds(const QString &text)
{
    if (!text.contains(QRegularExpression(QStringLiteral("\\d"))))
        return text;
    static const QRegularExpression gone(QStringLiteral("\\bThe (playlist|track) -?\\d+ has been deleted\\."));
    static const QRegularExpression invalid(QStringLiteral("\\b-?\\d+ is not a valid (database|track|playlist) ID\\."));
    static const QRegularExpression inUse(QStringLiteral("\\bThe (track|playlist) ID -?\\d+ is already in use\\."));
    QString result = text;
    result.replace(gone, QStringLiteral("The \\1 is no longer in the library."));
    result.replace(invalid, QStringLiteral("The library does not know this entry."));
    result.replace(inUse, QStringLiteral("The library holds such a \\1 already."));
    return result;
}

} // namespace tidyfox::window
