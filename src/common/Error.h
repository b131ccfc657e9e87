// SPDX-License-Identifier: GPL-3.0-or-later
// The one error type of the program: a number and a message. Each layer
// throws its own subclass, so callers catch what they can handle and can
// always report any of them as "number:message".
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace tidyfox {

class Error : public std::runtime_error
{
public:
    // The number of an error that callers never tell apart from others of
    // its class: its message is for a person.
    static constexpr std::int32_t kUnnumbered = 0;

    Error(std::int32_t number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
    {}
    explicit Error(const QString &description) : Error(kUnnumbered, description) {}

    std::int32_t number() const { return m_number; }
    QString description() const { return m_description; }

private:
    std::int32_t m_number;
    QString m_description;
};

} // namespace tidyfox
