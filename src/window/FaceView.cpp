// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/FaceView.h"

#include "window/WindowLog.h"

#include <QFileInfo>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QUrl>

namespace tidyfox::window {

FaceView::FaceView(QWidget *parent) : QQuickWidget(parent)
{
    setResizeMode(QQuickWidget::SizeRootObjectToView);
    // Scene errors belong to the scene's author, not to the user's terminal.
    engine()->setOutputWarningsToStandardError(false);
    connect(engine(), &QQmlEngine::warnings, this, [](const QList<QQmlError> &warnings) {
        for (const QQmlError &warning : warnings)
            qCDebug(lcWindow) << "movie:" << warning.toString();
    });
}

void FaceView::loadScene(int /*layer*/, const QString &url)
{
    const QFileInfo file(url);
    if (!file.isFile() || !file.isReadable()) {
        qCDebug(lcWindow) << "no movie at" << url;
        return;
    }
    QQmlComponent component(engine(), QUrl::fromLocalFile(file.absoluteFilePath()), QQmlComponent::PreferSynchronous);
    if (component.isError() || component.isLoading()) {
        qCDebug(lcWindow) << "movie cannot be loaded:" << component.errorString();
        return;
    }
    // Connect before the scene completes, so that a command it sends while it
    // starts (its "start") is not lost.
    QObject *object = component.beginCreate(engine()->rootContext());
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item) {
        delete object;
        qCDebug(lcWindow) << "movie has no visual root";
        return;
    }
    connect(object, SIGNAL(fsCommand(QString, QString)), this, SLOT(onSceneCommand(QString, QString)));
    component.completeCreate();
    setContent(QUrl::fromLocalFile(file.absoluteFilePath()), nullptr, item);
    m_root = item;

    auto pending = std::move(m_pending);
    m_pending.clear();
    for (const auto &[name, value] : pending)
        deliver(name, value);
}

void FaceView::setVariable(const QString &name, const QString &value)
{
    Q_EMIT variableSet(name, value);
    if (!m_root) {
        m_pending.emplace_back(name, value);
        return;
    }
    deliver(name, value);
}

void FaceView::deliver(const QString &name, const QString &value)
{
    QMetaObject::invokeMethod(m_root, "setVariable", Q_ARG(QVariant, QVariant(name)), Q_ARG(QVariant, QVariant(value)));
}

void FaceView::onSceneCommand(const QString &command, const QString &args)
{
    // The scene's handler must finish before the program acts: the command
    // handler yields to the event loop and may run for a long time.
    QMetaObject::invokeMethod(
        this, [this, command, args] { Q_EMIT commandSent(command, args); }, Qt::QueuedConnection);
}

} // namespace tidyfox::window
