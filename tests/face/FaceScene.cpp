// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaceScene.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QTest>
#include <QUrl>

namespace tidyfox::test {

namespace {

QQuickItem *findItem(QQuickItem *from, const QString &objectName)
{
    // Items made by a Repeater are not QObject children of their parent item,
    // so walk the item tree rather than the object tree.
    for (QQuickItem *child : from->childItems()) {
        if (child->objectName() == objectName)
            return child;
        if (QQuickItem *found = findItem(child, objectName))
            return found;
    }
    return nullptr;
}

} // namespace

FaceScene::FaceScene(const QList<std::pair<QString, QObject *>> &context)
{
    for (const auto &[name, object] : context)
        m_view.rootContext()->setContextProperty(name, object);
    QObject::connect(m_view.engine(), &QQmlEngine::warnings, [this](const QList<QQmlError> &warnings) {
        for (const QQmlError &warning : warnings)
            m_errors += warning.toString() + '\n';
    });
    m_view.setSource(QUrl::fromLocalFile(QStringLiteral(TIDYFOX_APP_DIR "/Main.qml")));
    m_root = m_view.rootObject();
    if (!m_root) {
        for (const QQmlError &error : m_view.errors())
            m_errors += error.toString() + '\n';
        return;
    }
    m_spy = std::make_unique<QSignalSpy>(m_root, SIGNAL(fsCommand(QString, QString)));
    m_view.show();
    (void)QTest::qWaitForWindowExposed(&m_view);
}

QQuickItem *FaceScene::item(const QString &objectName) const
{
    return m_root ? findItem(m_root, objectName) : nullptr;
}

bool FaceScene::shown(const QString &objectName) const
{
    const QQuickItem *found = item(objectName);
    return found && found->isVisible();
}

bool FaceScene::enabled(const QString &objectName) const
{
    const QQuickItem *found = item(objectName);
    return found && found->isEnabled();
}

void FaceScene::setVariable(const QString &name, const QString &value)
{
    QMetaObject::invokeMethod(m_root, "setVariable", Q_ARG(QVariant, QVariant(name)), Q_ARG(QVariant, QVariant(value)));
}

std::vector<Command> FaceScene::commands() const
{
    std::vector<Command> result;
    if (!m_spy)
        return result;
    for (int i = m_taken; i < m_spy->count(); ++i)
        result.emplace_back(m_spy->at(i).at(0).toString(), m_spy->at(i).at(1).toString());
    return result;
}

std::vector<Command> FaceScene::takeCommands()
{
    auto result = commands();
    if (m_spy)
        m_taken = int(m_spy->count());
    return result;
}

bool FaceScene::waitForStart()
{
    if (!m_spy)
        return false;
    if (!QTest::qWaitFor([this] { return !commands().empty(); }))
        return false;
    const auto first = takeCommands();
    return first.size() == 1 && first.front() == Command("start", "");
}

void FaceScene::click(const QString &objectName)
{
    const QQuickItem *target = item(objectName);
    QVERIFY2(target, qPrintable("no item " + objectName));
    const QPoint centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    QTest::mouseClick(&m_view, Qt::LeftButton, {}, centre);
}

void FaceScene::press(const QString &objectName)
{
    const QQuickItem *target = item(objectName);
    QVERIFY2(target, qPrintable("no item " + objectName));
    const QPoint centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    QTest::mousePress(&m_view, Qt::LeftButton, {}, centre);
}

void FaceScene::key(const QString &objectName, Qt::Key key)
{
    QQuickItem *target = item(objectName);
    QVERIFY2(target, qPrintable("no item " + objectName));
    target->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(&m_view, key);
}

} // namespace tidyfox::test
