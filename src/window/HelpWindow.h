// SPDX-License-Identifier: GPL-3.0-or-later
// Tidyfox's own help window, for a desktop that has no program to open the
// help page with: the page (plain HTML) in a text browser, its links to
// other pages handed to the desktop.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace tidyfox::window {

class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the page and brings the window to the front; false when the page
    // cannot be read.
    bool showPage(const QString &path);

private:
    QTextBrowser *m_browser;
};

} // namespace tidyfox::window
