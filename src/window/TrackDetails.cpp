// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/TrackDetails.h"

#include <QLocale>

namespace tidyfox::window {

QString desktopSizeText(qint64 bytes)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    if (bytes < 1000)
        return english.toString(bytes) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    return english.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

void TrackDetails::setSize(std::optional<qint64> bytes)
{
    const QString text = bytes ? desktopSizeText(*bytes) : QString();
    if (text == m_sizeText)
        return;
    m_sizeText = text;
    Q_EMIT changed();
}

} // namespace tidyfox::window
