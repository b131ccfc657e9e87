// SPDX-License-Identifier: GPL-3.0-or-later
// The error the grid raises.
#pragma once

#include "common/Error.h"

namespace tidyfox::widgets {

class GridError : public Error
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

    using Error::Error;
};

} // namespace tidyfox::widgets
