// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/HelpWindow.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tidyfox::window {

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Tidyfox Help"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    // Anchors within the page move inside it; a link elsewhere (a web page,
    // a mail address) goes to the desktop, which may be able to open that.
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        if (url.hasFragment() && (url.isRelative() || url.matches(m_browser->source(), QUrl::RemoveFragment)))
            m_browser->scrollToAnchor(url.fragment());
        else
            QDesktopServices::openUrl(url);
    });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 560);
}

bool HelpWindow::showPage(const QString &path)
{
    const QFileInfo page(path);
    if (!page.isFile() || !page.isReadable())
        return false;
    m_browser->setSource(QUrl::fromLocalFile(page.absoluteFilePath()));
    show();
    raise();
    activateWindow();
    return true;
}

} // namespace tidyfox::window
