// SPDX-License-Identifier: GPL-3.0-or-later
// The face hosted as the program hosts it, in a QQuickWidget. The program's
// long jobs yield to the event loop thousands of times while the busy
// animation runs; a face that asks for a new frame at every chance makes
// each yield render the whole scene, and a library load many times slower.
// The busy animation must ask for about ten frames a second, whatever the
// number of yields.
#include <QApplication>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QThread>
#include <QtTest>

class FaceFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void busyAnimationRendersAtAFewFramesASecond()
    {
        QQuickWidget flash;
        flash.setResizeMode(QQuickWidget::SizeRootObjectToView);
        flash.setSource(QUrl::fromLocalFile(QStringLiteral(TIDYFOX_APP_DIR "/Main.qml")));
        QVERIFY(flash.rootObject());
        flash.resize(450, 525);
        flash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flash));

        const auto set = [&](const char *name) {
            QMetaObject::invokeMethod(flash.rootObject(), "setVariable", Q_ARG(QVariant, QString(name)),
                                      Q_ARG(QVariant, QString("true")));
        };
        set("_root.enableactivationmovie");
        QTest::qWait(150);

        int frames = 0;
        connect(flash.quickWindow(), &QQuickWindow::afterRendering, this, [&] { ++frames; });
        QElapsedTimer elapsed;
        elapsed.start();
        for (int i = 0; i < 1000; ++i) {
            QCoreApplication::processEvents();
            QThread::usleep(500);
        }
        const qint64 ms = elapsed.elapsed();
        // The bound follows the time the loop took, so a slow machine does
        // not fail it; an animation driven by every frame renders far more.
        QVERIFY2(frames >= 1, "the busy animation should move");
        QVERIFY2(frames <= ms / 100 + 5, qPrintable(QString("%1 frames in %2 ms").arg(frames).arg(ms)));

        // Stopped, it asks for none.
        set("_root.disableactivationmovie");
        QTest::qWait(150);
        frames = 0;
        for (int i = 0; i < 300; ++i) {
            QCoreApplication::processEvents();
            QThread::usleep(500);
        }
        QCOMPARE(frames, 0);
    }
};

QTEST_MAIN(FaceFramesTest)
#include "FaceFramesTest.moc"
