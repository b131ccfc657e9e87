// SPDX-License-Identifier: GPL-3.0-or-later
// What the face and the library list tell each other beside the face's
// commands and variables (the context property "libraryList"): the search
// text typed over the list, the keyboard going into the list from the face's
// tab order, and whether the list has the keyboard (the face draws its focus
// ring around it).
#pragma once

#include <QObject>
#include <QString>

namespace tidyfox::window {

class ListBridge : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool focused READ focused NOTIFY focusedChanged)
public:
    using QObject::QObject;

    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    bool focused() const { return m_focused; }
    void setFocused(bool focused);

    // The face's tab order has reached the list.
    Q_INVOKABLE void focusList() { Q_EMIT focusRequested(); }

Q_SIGNALS:
    void searchTextChanged(const QString &text);
    void focusedChanged();
    void focusRequested();

private:
    QString m_searchText;
    bool m_focused = false;
};

} // namespace tidyfox::window
