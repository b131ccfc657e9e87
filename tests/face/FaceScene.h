// SPDX-License-Identifier: GPL-3.0-or-later
// The face loaded from the application folder in a window of its own, the
// way the program plays it, with every command it sends recorded.
#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>
#include <vector>

namespace tidyfox::test {

using Command = std::pair<QString, QString>;

class FaceScene
{
public:
    // Loads Main.qml from the staged application folder and shows it, with
    // the objects the program hands the scene (context properties), if any.
    explicit FaceScene(const QList<std::pair<QString, QObject *>> &context = {});

    bool isLoaded() const { return m_root != nullptr; }
    QString errors() const { return m_errors; }
    QQuickView &view() { return m_view; }
    QQuickItem *root() const { return m_root; }

    // The first item below the root with this object name, or null.
    QQuickItem *item(const QString &objectName) const;
    // Whether the item exists and is shown, its parents included.
    bool shown(const QString &objectName) const;
    bool enabled(const QString &objectName) const;

    void setVariable(const QString &name, const QString &value);

    // Commands sent since the last take, the "start" included.
    std::vector<Command> commands() const;
    std::vector<Command> takeCommands();
    // Waits until "start" has come and forgets it.
    bool waitForStart();

    void click(const QString &objectName);
    void press(const QString &objectName);
    // Gives the item the keyboard focus and types the key.
    void key(const QString &objectName, Qt::Key key);

private:
    QQuickView m_view;
    QQuickItem *m_root = nullptr;
    QString m_errors;
    std::unique_ptr<QSignalSpy> m_spy;
    int m_taken = 0;
};

} // namespace tidyfox::test
