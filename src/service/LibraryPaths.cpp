// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryPaths.h"

#include <QStandardPaths>

namespace tidyfox::library {

QString defaultLibraryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tidyfox/library.db");
}

} // namespace tidyfox::library
