// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the library as the XML property list that music players read, the
// same format import reads, so a cleaned library can go back to them.
#pragma once

#include <QString>

namespace tidyfox::library {

class LibraryStore;

// Writes to a temporary file beside fileName and renames it into place, so an
// existing file is replaced whole or not at all. Throws LibraryError.
void exportLibraryXml(LibraryStore &store, const QString &fileName);

} // namespace tidyfox::library
