// The one error the grid control raises: a number and a description, so that
// callers can report it as "number:description".
#pragma once

#include <QString>
#include <stdexcept>

namespace tidyfox::platform {

class GridError : public std::runtime_error
{
public:
    // The numbers the grid uses.
    enum Number {
        NoDataSource = 30001,
        BandOutOfRange = 30002,
        ColumnOutOfRange = 30003,
        InvalidValue = 30004,
        ItemOutOfRange = 30005,
        RowNotAvailable = 30006,
    };

    GridError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
    {}

    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

} // namespace tidyfox::platform
