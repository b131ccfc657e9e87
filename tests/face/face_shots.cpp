// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the face in each of its states to PNG files, for looking at it as a
// user would: movie_shots OUTPUT_FOLDER. Not a test; it checks nothing.
#include "FaceScene.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTest>
#include <cstdio>
#include <functional>

using tidyfox::test::FaceScene;

namespace {

const QString kLongPath = QStringLiteral(
    "/media/music-archive/Collections/Various Artists/A Very Long Compilation Name That Keeps Going (Remastered "
    "Deluxe Edition)/Disc 2/14 - An_Unusually_Long_File_Name_Without_Any_Blanks_In_It_At_All.mp3");

const QString kTrack = QStringLiteral("Name:Moonlight Over The Harbour\rTime:4:07\rAlbum:Harbour Lights\r"
                                      "Artist:The Quiet Boats\rGenre:Folk\rKind:MPEG audio file\rBitrate:192 Kb/s\r"
                                      "Sample Rate:44.1 KHz\rComposer:A. Fisher\rDate Added:03/02/2024 18:21:07\r"
                                      "Size:5.6 MB\rLocation:") +
                       kLongPath + QStringLiteral("\r");

struct Shot
{
    const char *name;
    std::function<void(FaceScene &)> prepare;
};

void about(FaceScene &scene)
{
    scene.setVariable("_root.aboutversion", "1.1.0.1");
    scene.setVariable("_root.aboutdescription",
                      "Tidyfox is an easy-to-use tool to clean up your iTunes library contents. You can remove "
                      "duplicates using duplicate filter, and deleate dead tracks.");
}

void alert(FaceScene &scene, const char *trigger, const QString &text)
{
    scene.setVariable("_root.alerttitle", "Tidyfox");
    scene.setVariable("_root.alerttxt", text);
    scene.setVariable(trigger, "true");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: movie_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    const Shot shots[] = {
        {"main", [](FaceScene &s) { about(s); }},
        {"main-selected",
         [](FaceScene &s) {
             about(s);
             s.setVariable("_root.enableview2", "true");
             s.setVariable("_root.enabledelete", "true");
         }},
        {"filter",
         [](FaceScene &s) {
             about(s);
             s.click("removeDuplicatesButton");
         }},
        {"alert-info", [](FaceScene &s) { alert(s, "_root.showinfoalert", "3 Duplicate(s) have been deleted"); }},
        {"alert-warning",
         [](FaceScene &s) {
             alert(s, "_root.showexclaminationalert", "You must check one filter item at least, Operation aborted.");
         }},
        {"alert-critical",
         [](FaceScene &s) {
             alert(s, "_root.showcriticalalert",
                   "An error occured while filling the Library list\r-2147417848:The object invoked has "
                   "disconnected from its clients.");
         }},
        {"about",
         [](FaceScene &s) {
             about(s);
             s.click("aboutButton");
         }},
        {"track",
         [](FaceScene &s) {
             s.setVariable("_root.trackinfo", kTrack);
             s.setVariable("_root.showtracinfowin", "true");
         }},
        {"busy",
         [](FaceScene &s) {
             about(s);
             s.setVariable("_root.activationtxt", "Connecting to iTunes...");
             s.setVariable("_root.enableactivationmovie", "true");
         }},
        {"disabled",
         [](FaceScene &s) {
             about(s);
             s.setVariable("_root.enableview2", "true");
             s.setVariable("_root.enabledelete", "true");
             s.setVariable("_root.disablebtns", "1");
             s.setVariable("_root.activationtxt", "Removing Duplicates...");
             s.setVariable("_root.enableactivationmovie", "true");
         }},
        {"alert-long",
         [](FaceScene &s) {
             QString text = "An error occured while filling the Library list\r";
             for (int i = 0; i < 12; ++i)
                 text += QString("Line %1 of a long report that goes on and on.\r").arg(i + 1);
             alert(s, "_root.showcriticalalert", text);
         }},
        {"track-long",
         [](FaceScene &s) {
             QString info = kTrack;
             info.replace("Location:",
                          "Description:" + QString("A long description of the track. ").repeated(8) + "\rLocation:");
             s.setVariable("_root.trackinfo", info);
             s.setVariable("_root.showtracinfowin", "true");
         }},
        {"filter-keep",
         [](FaceScene &s) {
             s.click("removeDuplicatesButton");
             s.click("filterKeepFiles");
             s.click("filterFileName");
         }},
        {"dead-confirm",
         [](FaceScene &s) {
             about(s);
             s.click("deleteDeadTracksButton");
         }},
        {"tooltip",
         [](FaceScene &s) {
             about(s);
             const QQuickItem *button = s.item("refreshButton");
             const QPoint centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint();
             QTest::mouseMove(&s.view(), centre);
             QTest::qWait(1000);
         }},
        {"focus",
         [](FaceScene &s) {
             about(s);
             s.item("deleteDeadTracksButton")->forceActiveFocus(Qt::TabFocusReason);
         }},
    };

    for (const Shot &shot : shots) {
        FaceScene scene;
        if (!scene.isLoaded()) {
            std::fprintf(stderr, "%s", qPrintable(scene.errors()));
            return 1;
        }
        scene.waitForStart();
        shot.prepare(scene);
        QTest::qWait(400);
        const QImage image = scene.view().grabWindow();
        const QString file = out.filePath(QString::fromLatin1(shot.name) + ".png");
        if (!image.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        if (!scene.errors().isEmpty())
            std::fprintf(stderr, "%s: %s", shot.name, qPrintable(scene.errors()));
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
