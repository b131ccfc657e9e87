// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/ListBridge.h"

namespace tidyfox::window {

void ListBridge::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    Q_EMIT searchTextChanged(text);
}

void ListBridge::setFocused(bool focused)
{
    if (focused == m_focused)
        return;
    m_focused = focused;
    Q_EMIT focusedChanged();
}

} // namespace tidyfox::window
