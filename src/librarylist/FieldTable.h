// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed fields of a table of the library model: name, width and the
// number of characters a value keeps.
#pragma once

#include <QString>
#include <span>

namespace tidyfox::librarylist {

struct FieldInfo
{
    const char16_t *name;
    int width;
    int cut;
};

class FieldTable
{
public:
    constexpr explicit FieldTable(std::span<const FieldInfo> fields) : m_fields(fields) {}

    QString name(int field) const { return valid(field) ? QString::fromUtf16(at(field).name) : QString(); }
    int width(int field) const { return valid(field) ? at(field).width : 0; }
    int cut(int field) const { return valid(field) ? at(field).cut : 0; }

private:
    bool valid(int field) const { return field >= 0 && static_cast<size_t>(field) < m_fields.size(); }
    const FieldInfo &at(int field) const { return m_fields[static_cast<size_t>(field)]; }

    std::span<const FieldInfo> m_fields;
};

} // namespace tidyfox::librarylist
