// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own automation surface on the session bus: scripts and tests
// send face commands and watch every face variable the program sets. Its
// adaptor is generated from src/protocol/org.tidyfox.Tidyfox.MainWindow.xml;
// this object carries the published names and hands them to the window.
#pragma once

#include <QObject>

namespace tidyfox::window {

class MainWindow;

class MainWindowBus : public QObject
{
    Q_OBJECT
public:
    explicit MainWindowBus(MainWindow *window);

    // Registers org.tidyfox.Tidyfox with /MainWindow; false (with one warning)
    // when there is no session bus.
    static bool publish(MainWindow *window);

public Q_SLOTS:
    // Returns when the command's handler has returned.
    void FLashCommand(const QString &command, const QString &args);

Q_SIGNALS:
    void MovieVariableSet(const QString &name, const QString &value);
    void Progress(const QString &job, int done, int total);

private:
    MainWindow *m_window;
};

} // namespace tidyfox::window
