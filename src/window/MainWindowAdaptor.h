// The program's own automation surface on the session bus: scripts and tests
// send face commands and watch every face variable the program sets.
#pragma once

#include <QDBusAbstractAdaptor>

namespace tidyfox::window {

class MainWindow;

class MainWindowAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tidyfox.Tidyfox.MainWindow")
public:
    explicit MainWindowAdaptor(MainWindow *window);

    // Registers org.tidyfox.Tidyfox with /MainWindow; false (with one warning)
    // when there is no session bus.
    static bool publish(MainWindow *window);

public Q_SLOTS:
    // Returns when the command's handler has returned.
    void FLashCommand(const QString &command, const QString &args);

Q_SIGNALS:
    void MovieVariableSet(const QString &name, const QString &value);

private:
    MainWindow *m_window;
};

} // namespace tidyfox::window
