// SPDX-License-Identifier: GPL-3.0-or-later
// A binary property list is a graph: an object can be referred to from many
// places, and a reader that copies it at each place builds a tree that can be
// exponentially larger than the file (40 nested arrays of two references each
// make 2^40 objects of 405 bytes). This measures that tree without building it.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tidyfox::library {

// Why the binary property list in bytes should not be expanded (damaged, or
// larger when expanded than any library), or nothing when it may be.
std::optional<QString> binaryPlistRefusal(const QByteArray &bytes);

} // namespace tidyfox::library
