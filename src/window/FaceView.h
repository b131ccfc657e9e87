// SPDX-License-Identifier: GPL-3.0-or-later
// Plays the program's face, a QML scene loaded from a file at run time, and
// carries the two directions of its vocabulary: commands from the scene
// (its fsCommand signal) and variable assignments to it (its setVariable
// function).
#pragma once

#include <QQuickWidget>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class QQmlComponent;

namespace tidyfox::window {

class FaceView : public QQuickWidget
{
    Q_OBJECT
public:
    explicit FaceView(QWidget *parent = nullptr);

    // Loads the scene file; a missing or broken file leaves the player empty
    // and reports nothing to the user.
    void loadScene(int layer, const QString &url);
    // Assignments reach the scene in the order made, also those made before it
    // is ready.
    void setVariable(const QString &name, const QString &value);

    bool hasMovie() const { return m_root != nullptr; }

Q_SIGNALS:
    // A command from the scene, delivered through the event loop.
    void commandSent(const QString &command, const QString &args);
    // Every assignment, in the order made.
    void variableSet(const QString &name, const QString &value);

private Q_SLOTS:
    void onSceneCommand(const QString &command, const QString &args);

private:
    void deliver(const QString &name, const QString &value);

    QObject *m_root = nullptr;
    std::vector<std::pair<QString, QString>> m_pending;
};

} // namespace tidyfox::window
