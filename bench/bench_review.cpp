// SPDX-License-Identifier: GPL-3.0-or-later
// The duplicate review's list at full size, and what progress reporting costs.
//
// The face (Main.qml from the application folder, offscreen) shows a review
// of 10,000 groups of three tracks (30,000 rows; other sizes as arguments)
// and the list is scrolled from top to bottom 60 pixels at a time (or in
// 3,000 steps); each step is timed up to the frame
// rendered (grabWindow forces the polish, the sync and the render). Then a
// job's progress is reported 1,000,000 times to the job status object, as a
// job reports it at every step.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_review [GROUPS [TRACKS_A_GROUP]]
#include "window/DuplicateReviewModel.h"
#include "window/JobStatus.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tidyfox;

namespace {

QQuickItem *findItem(QQuickItem *from, const QString &objectName)
{
    for (QQuickItem *child : from->childItems()) {
        if (child->objectName() == objectName)
            return child;
        if (QQuickItem *found = findItem(child, objectName))
            return found;
    }
    return nullptr;
}

cleaning::DuplicateReview bigReview(int groups, int perGroup)
{
    cleaning::DuplicateReview review;
    for (int g = 0; g < groups; ++g) {
        cleaning::DuplicateGroup group;
        for (int i = 0; i < perGroup; ++i) {
            cleaning::ReviewedTrack t;
            t.databaseId = perGroup * g + i + 1;
            t.name = QStringLiteral("Track %1 of a generated library").arg(g, 6, 10, QLatin1Char('0'));
            t.artist = QStringLiteral("Artist %1").arg(g / 40);
            t.album = QStringLiteral("Album %1").arg(g / 12);
            t.time = QStringLiteral("3:07");
            t.kind = QStringLiteral("MPEG audio file");
            t.bitRate = 128 + 64 * i;
            t.size = 4'000'000 + i;
            t.playCount = i;
            t.location = QStringLiteral("/music/%1/%2.mp3").arg(g).arg(i);
            t.fileThere = true;
            t.goes = i > 0;
            group.tracks.push_back(t);
        }
        review.groups.push_back(group);
    }
    return review;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    window::DuplicateReviewModel review;
    QQuickView view;
    view.rootContext()->setContextProperty(QStringLiteral("duplicateReview"), &review);
    view.setSource(QUrl::fromLocalFile(QStringLiteral(TIDYFOX_APP_DIR "/Main.qml")));
    if (!view.rootObject()) {
        std::fprintf(stderr, "bench_review: the face did not load\n");
        return 1;
    }
    view.show();
    (void)QTest::qWaitForWindowExposed(&view);

    const QStringList args = QCoreApplication::arguments();
    const int groups = args.size() > 1 ? std::max(1, args[1].toInt()) : 10000;
    const int perGroup = args.size() > 2 ? std::max(2, args[2].toInt()) : 3;
    cleaning::DuplicateReview found = bigReview(groups, perGroup);
    QElapsedTimer clock;
    clock.start();
    review.show(std::move(found), QStringLiteral("true,false,false,true,false,false,false,false"), false);
    const double filled = double(clock.nsecsElapsed()) / 1e6;
    QQuickItem *list = nullptr;
    while (!(list = findItem(view.rootObject(), QStringLiteral("duplicateList"))) || !list->isVisible())
        QCoreApplication::processEvents();
    view.grabWindow();
    std::printf("review of %d groups (%d rows) shown in %.0f ms (the model filled and the face told in %.0f ms)\n",
                groups, groups * perGroup, double(clock.nsecsElapsed()) / 1e6, filled);

    std::vector<double> frames;
    const double end = list->property("contentHeight").toDouble() - list->height();
    // 60 pixels a step, or as many as take the list end to end in 30,000 steps.
    const double step = std::max(60.0, end / 30000);
    for (double y = 0; y < end; y += step) {
        clock.restart();
        list->setProperty("contentY", y);
        view.grabWindow();
        frames.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("scrolled %zu steps of %.0f px: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms a frame\n",
                frames.size(), step, percentile(frames, 0.5), percentile(frames, 0.99), percentile(frames, 1.0));

    window::JobStatus status;
    clock.restart();
    const int steps = 1'000'000;
    for (int i = 1; i <= steps; ++i)
        status.reportProgress(QStringLiteral("Removing duplicates"), i, steps);
    std::printf("progress reported at %d steps: %.1f ns a step\n", steps, double(clock.nsecsElapsed()) / steps);
    return 0;
}
