// The error the library model raises: a number and a description, reported by
// its callers as "number:description".
#pragma once

#include <QString>
#include <stdexcept>

namespace tidyfox::library {

class RecordsetError : public std::runtime_error
{
public:
    enum Number {
        NoCurrentRow = 31001,
        UnknownField = 31002,
        NoRows = 31003,
    };

    RecordsetError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
    {}

    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

} // namespace tidyfox::library
