// SPDX-License-Identifier: GPL-3.0-or-later
// The error the library list model raises.
#pragma once

#include "common/Error.h"

namespace tidyfox::librarylist {

class ListModelError : public Error
{
public:
    enum Number {
        NoCurrentRow = 31001,
        UnknownField = 31002,
        NoRows = 31003,
    };

    using Error::Error;
};

} // namespace tidyfox::librarylist
