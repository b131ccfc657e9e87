// SPDX-License-Identifier: GPL-3.0-or-later
// The real program in a real X window: tidyfox on the demo library under
// Xvfb, driven by real pointer and key events (xdotool) and watched through
// its automation signals (org.tidyfox.Tidyfox) and through screenshots of the
// screen (ImageMagick's import).
//
// Run it under an X server with a private session bus and temporary XDG
// folders, as the ctest entry does (isolated.sh, then xvfb-run). It skips when
// there is no X display or xdotool or import is missing. With
// TIDYFOX_SHOTS_DIR set, the pictures of the window it checks are kept there.
//
// Places on the screen are worked out from the window's position
// (xdotool getwindowgeometry) and the list's rectangle at 85,196 inside it;
// the list's rows are found in the pictures themselves.
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

namespace {

const QString kApp = QStringLiteral(TIDYFOX_APP_DIR);
const QString kSource = QStringLiteral(TIDYFOX_SOURCE_DIR);
const QString kOn = QStringLiteral("true");

// The list's rectangle inside the window, and the window's size.
const QRect kGrid(85, 196, 293, 229);
const QSize kWindow(450, 525);
// Inside the list: the row selectors of the playlist rows, a point inside the
// first cells, and the rows without the vertical scroll bar.
constexpr int kSelectorX = 15;
constexpr int kCellX = 60;
constexpr int kRowsWidth = 270;

constexpr int kStartTimeoutMs = 60000;
constexpr int kEventTimeoutMs = 15000;

struct Variable
{
    QString name;
    QString value;
};

QString run(const QString &program, const QStringList &args, int timeoutMs = 20000, bool *ok = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForFinished(timeoutMs);
    if (!done)
        p.kill();
    const bool good = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = good;
    if (!good)
        qWarning().noquote() << program << args.join(QLatin1Char(' '))
                             << "failed:" << QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

bool isDark(QRgb c)
{
    return qGray(c) < 110;
}
bool isLight(QRgb c)
{
    return qGray(c) > 150;
}
bool isWhite(QRgb c)
{
    return (c & 0xFFFFFF) == 0xFFFFFF;
}
// The selection colour of the list's rows.
bool isSelectionBlue(QRgb c)
{
    return qBlue(c) > qRed(c) + 60 && qBlue(c) > qGreen(c) + 20;
}

// The face's keyboard focus ring.
bool isFocusRing(QRgb c)
{
    return std::abs(qRed(c) - 0xc2) < 24 && std::abs(qGreen(c) - 0x5e) < 24 && std::abs(qBlue(c) - 0x10) < 24;
}

// Share of the pixels of r that differ between the two pictures.
double differing(const QImage &a, const QImage &b, const QRect &r)
{
    int diff = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                ++diff;
        }
    }
    return double(diff) / double(r.width() * r.height());
}

bool sameLine(const QImage &a, int ya, const QImage &b, int yb, int left, int right)
{
    for (int x = left; x <= right; ++x) {
        if (a.pixel(x, ya) != b.pixel(x, yb))
            return false;
    }
    return true;
}

// Lines of r in `after` that show what `before` showed dy pixels lower.
double shiftedMatch(const QImage &before, const QImage &after, const QRect &r, int dy)
{
    int same = 0;
    int lines = 0;
    for (int y = r.top(); y + dy <= r.bottom(); ++y) {
        ++lines;
        if (sameLine(after, y, before, y + dy, r.left(), r.right()))
            ++same;
    }
    return lines ? double(same) / lines : 0;
}

} // namespace

class VariableLog : public QObject
{
    Q_OBJECT
public:
    QList<Variable> all;

    QStringList namesFrom(qsizetype from) const
    {
        QStringList out;
        for (qsizetype i = from; i < all.size(); ++i)
            out << all[i].name;
        return out;
    }
    qsizetype indexOf(const QString &name, qsizetype from = 0) const
    {
        for (qsizetype i = from; i < all.size(); ++i) {
            if (all[i].name == name)
                return i;
        }
        return -1;
    }

public Q_SLOTS:
    void record(const QString &name, const QString &value) { all.append({name, value}); }
};

class tst_XvfbWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void selectingOpeningAndViewingTracks();
    void wheelScrollsThreeRowsANotchAndKeysMoveTheSelection();
    void rightClickOpensNothingAndTheTitleDragsTheWindow();
    void panelsAlertsAndBusyState();
    void theWindowGrowsAndTheListWithIt();
    void aDuplicateCleanUpAndADeleteByKeyboardAlone();

private:
    // The program and its window.
    bool startProgram();
    bool findWindow();
    std::optional<QRect> windowGeometry();
    bool waitForGeometry(const QRect &wanted);
    QPoint origin() const { return m_origin; }
    QPoint inGrid(int x, int y) const { return m_origin + kGrid.topLeft() + QPoint(x, y); }
    QRect gridOnScreen() const { return QRect(m_origin + kGrid.topLeft(), kGrid.size()); }
    QRect rowsOnScreen() const
    {
        return QRect(inGrid(1, m_rowsTop - kGrid.top()), QPoint(inGrid(kRowsWidth, kGrid.height() - 2)));
    }
    int rowCenter(int row) const { return m_rowsTop + row * m_pitch + m_pitch / 2 - kGrid.top(); }

    // Pointer and keys.
    bool xdo(const QStringList &args);
    bool click(QPoint p, int button = 1);
    bool doubleClick(QPoint p);
    bool key(const QString &name);

    // Pictures.
    QImage shot();
    QImage settledShot();
    std::optional<QImage> waitForShot(const std::function<bool(const QImage &)> &until);
    void keep(const QImage &screen, const QString &name, QSize size = kWindow);
    bool findPlaylistRows(const QImage &screen);
    int selectedRowCenter(const QImage &screen) const;
    bool isHeaderRow(const QImage &screen, int row) const;
    // Whether the focus ring is drawn around r (window coordinates).
    bool ringAround(const QImage &screen, const QRect &r) const;
    // Tab until the ring is around r; false when it never gets there.
    bool tabTo(const QRect &r);

    // Signals.
    bool waitForVariable(const QString &name, qsizetype from, int timeoutMs = kEventTimeoutMs);
    QStringList settledNamesFrom(qsizetype from, qsizetype atLeast);
    void flashCommand(const QString &command, const QString &args = {});

    QTemporaryDir m_root{
        QDir(qEnvironmentVariable("TIDYFOX_TEST_ROOT", QDir::tempPath())).filePath(QStringLiteral("xvfb.XXXXXX"))};
    QString m_demo;
    QString m_shotsDir;
    QString m_xdotool;
    QString m_import;
    VariableLog m_log;
    QProcess *m_program = nullptr;
    QString m_windowId;
    QPoint m_origin;
    int m_rowsTop = 0; // window y of the first row below the list's header
    int m_pitch = 0;   // row height with its line
};

// ---- set-up -----------------------------------------------------------------

void tst_XvfbWindow::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no X display: run under xvfb-run");
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    m_import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (m_xdotool.isEmpty() || m_import.isEmpty())
        QSKIP("xdotool and ImageMagick's import are needed");
    QVERIFY(m_root.isValid());
    m_shotsDir = qEnvironmentVariable("TIDYFOX_SHOTS_DIR");

    // The demo library, made by its own script with the real library tool.
    m_demo = m_root.filePath(QStringLiteral("demo"));
    bool ok = false;
    run(QStringLiteral("python3"),
        {kSource + QStringLiteral("/scripts/make-demo-library.py"), m_demo, QStringLiteral("--tool"),
         kApp + QStringLiteral("/tidyfox-library")},
        60000, &ok);
    QVERIFY2(ok, "the demo library could not be made");
    // No import fills in a track's description, so one track gets one here:
    // then its details have every line.
    const QString db = m_demo + QStringLiteral("/data/tidyfox/library.db");
    run(QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sqlite3, sys\n"
                        "c = sqlite3.connect(sys.argv[1])\n"
                        "n = c.execute(\"UPDATE tracks SET long_description = 'Recorded live in one take' "
                        "WHERE name = 'Satellite Hearts'\").rowcount\n"
                        "c.commit()\n"
                        "sys.exit(0 if n == 1 else 1)\n"),
         db},
        20000, &ok);
    QVERIFY2(ok, "the demo track could not be given a description");

    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(QDBusConnection::sessionBus().connect(
        QString(), QStringLiteral("/MainWindow"), QStringLiteral("org.tidyfox.Tidyfox.MainWindow"),
        QStringLiteral("MovieVariableSet"), &m_log, SLOT(record(QString, QString))));
}

void tst_XvfbWindow::init()
{
    m_log.all.clear();
    QVERIFY(startProgram());
    QVERIFY(findWindow());
    // The list is on the screen once its playlist rows can be seen.
    const auto shown = waitForShot([this](const QImage &s) { return findPlaylistRows(s); });
    QVERIFY2(shown, "the library list does not show its five playlists");
    // The buttons' first state follows the load.
    settledNamesFrom(0, 0);
}

void tst_XvfbWindow::cleanup()
{
    if (!m_program)
        return;
    if (m_program->state() != QProcess::NotRunning) {
        // Leave as a user does, through the face's exit command.
        flashCommand(QStringLiteral("IDC_FS_exit"));
        if (!m_program->waitForFinished(10000)) {
            m_program->kill();
            m_program->waitForFinished(5000);
            QFAIL("tidyfox did not end on IDC_FS_exit");
        }
    }
    const QByteArray errors = m_program->readAllStandardError();
    delete m_program;
    m_program = nullptr;
    if (!errors.trimmed().isEmpty())
        qWarning().noquote() << "tidyfox printed:" << QString::fromLocal8Bit(errors);
}

void tst_XvfbWindow::cleanupTestCase()
{
    if (!m_demo.isEmpty())
        run(kApp + QStringLiteral("/tidyfox-library"), {QStringLiteral("quit")}, 10000);
}

bool tst_XvfbWindow::startProgram()
{
    m_program = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_demo + QStringLiteral("/data"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_program->setProcessEnvironment(env);
    m_program->setProcessChannelMode(QProcess::SeparateChannels);
    m_program->start(kApp + QStringLiteral("/tidyfox"), {});
    if (!m_program->waitForStarted(10000))
        return false;
    // Shown: the busy indicator goes off after the library has been loaded.
    return QTest::qWaitFor(
        [this] {
            bool loading = false;
            for (const Variable &v : m_log.all) {
                if (v.name == QStringLiteral("_root.activationtxt"))
                    loading = v.value == QStringLiteral("Loading Library Contents...");
                else if (loading && v.name == QStringLiteral("_root.disableactivationmovie"))
                    return true;
            }
            return false;
        },
        kStartTimeoutMs);
}

bool tst_XvfbWindow::findWindow()
{
    bool ok = false;
    const QString ids =
        run(m_xdotool,
            {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--sync"),
             QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(m_program->processId()),
             QStringLiteral("--name"), QStringLiteral("Tidyfox")},
            kEventTimeoutMs, &ok);
    const QStringList found = ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!ok || found.size() != 1) {
        qWarning() << "windows named Tidyfox:" << found;
        return false;
    }
    m_windowId = found.first();
    const std::optional<QRect> geometry = windowGeometry();
    if (!geometry)
        return false;
    m_origin = geometry->topLeft();
    if (geometry->size() != kWindow) {
        qWarning() << "the window is" << geometry->size() << "instead of" << kWindow;
        return false;
    }
    return true;
}

std::optional<QRect> tst_XvfbWindow::windowGeometry()
{
    bool ok = false;
    const QString geometry =
        run(m_xdotool, {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_windowId}, 10000, &ok);
    const auto x = QRegularExpression(QStringLiteral("X=(-?\\d+)")).match(geometry);
    const auto y = QRegularExpression(QStringLiteral("Y=(-?\\d+)")).match(geometry);
    const auto w = QRegularExpression(QStringLiteral("WIDTH=(\\d+)")).match(geometry);
    const auto h = QRegularExpression(QStringLiteral("HEIGHT=(\\d+)")).match(geometry);
    if (!ok || !x.hasMatch() || !y.hasMatch() || !w.hasMatch() || !h.hasMatch())
        return std::nullopt;
    return QRect(x.captured(1).toInt(), y.captured(1).toInt(), w.captured(1).toInt(), h.captured(1).toInt());
}

bool tst_XvfbWindow::waitForGeometry(const QRect &wanted)
{
    QElapsedTimer waited;
    waited.start();
    std::optional<QRect> now;
    while (waited.elapsed() < kEventTimeoutMs) {
        now = windowGeometry();
        if (now == wanted)
            return true;
        QTest::qWait(100);
    }
    qWarning() << "the window is at" << (now ? *now : QRect()) << "instead of" << wanted;
    return false;
}

// ---- pointer and keys -------------------------------------------------------------

bool tst_XvfbWindow::xdo(const QStringList &args)
{
    bool ok = false;
    run(m_xdotool, args, 10000, &ok);
    return ok;
}

bool tst_XvfbWindow::click(QPoint p, int button)
{
    return xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()), QStringLiteral("click"),
                QString::number(button)});
}

bool tst_XvfbWindow::doubleClick(QPoint p)
{
    return xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()), QStringLiteral("click"),
                QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("60"),
                QStringLiteral("1")});
}

bool tst_XvfbWindow::key(const QString &name)
{
    return xdo({QStringLiteral("key"), name});
}

// ---- pictures -----------------------------------------------------------------

QImage tst_XvfbWindow::shot()
{
    const QString file = m_root.filePath(QStringLiteral("screen.png"));
    QFile::remove(file);
    bool ok = false;
    run(m_import, {QStringLiteral("-window"), QStringLiteral("root"), file}, 20000, &ok);
    QImage image;
    if (ok)
        image.load(file);
    return image.convertToFormat(QImage::Format_RGB32);
}

// A picture once the screen has stopped changing (panels fade and slide in).
QImage tst_XvfbWindow::settledShot()
{
    QImage last = shot();
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(100);
        QImage next = shot();
        if (next == last)
            return next;
        last = next;
    }
    return last;
}

std::optional<QImage> tst_XvfbWindow::waitForShot(const std::function<bool(const QImage &)> &until)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kEventTimeoutMs) {
        QImage screen = shot();
        if (!screen.isNull() && until(screen))
            return screen;
        QTest::qWait(100);
    }
    return std::nullopt;
}

void tst_XvfbWindow::keep(const QImage &screen, const QString &name, QSize size)
{
    if (m_shotsDir.isEmpty())
        return;
    QDir().mkpath(m_shotsDir);
    screen.copy(QRect(m_origin, size)).save(QDir(m_shotsDir).filePath(name));
}

// The five playlist rows in the row selectors' column: the list's header
// (dark), then rows of one height each (light), then the empty rest (white).
bool tst_XvfbWindow::findPlaylistRows(const QImage &screen)
{
    const int x = inGrid(kSelectorX, 0).x();
    const int top = gridOnScreen().top();
    const int bottom = gridOnScreen().bottom();
    int y = top + 1;
    while (y < bottom && !isDark(screen.pixel(x, y)))
        ++y;
    while (y < bottom && !isLight(screen.pixel(x, y)))
        ++y;
    const int rowsTop = y;
    while (y < bottom && !isWhite(screen.pixel(x, y)))
        ++y;
    const int rowsBottom = y;
    const int span = rowsBottom - rowsTop;
    if (rowsBottom >= bottom || span <= 0 || span % 5 != 0 || span / 5 < 12 || span / 5 > 40)
        return false;
    m_rowsTop = rowsTop - m_origin.y();
    m_pitch = span / 5;
    return true;
}

// A header row of the list is dark apart from its captions.
bool tst_XvfbWindow::isHeaderRow(const QImage &screen, int row) const
{
    int dark = 0;
    int all = 0;
    for (int x = kCellX; x < kRowsWidth - 20; ++x, ++all) {
        if (isDark(screen.pixel(inGrid(x, rowCenter(row)))))
            ++dark;
    }
    return dark * 10 > all * 4;
}

int tst_XvfbWindow::selectedRowCenter(const QImage &screen) const
{
    const int x = inGrid(kCellX, 0).x();
    int first = -1;
    int last = -1;
    for (int y = rowsOnScreen().top(); y <= rowsOnScreen().bottom(); ++y) {
        if (isSelectionBlue(screen.pixel(x, y))) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return first < 0 ? -1 : (first + last) / 2 - m_origin.y() - kGrid.top();
}

// ---- signals ------------------------------------------------------------------

bool tst_XvfbWindow::waitForVariable(const QString &name, qsizetype from, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_log.indexOf(name, from) >= 0; }, timeoutMs);
}

// The names set from `from` on, once at least `atLeast` have come and no more
// follow for a moment.
QStringList tst_XvfbWindow::settledNamesFrom(qsizetype from, qsizetype atLeast)
{
    [[maybe_unused]] const bool arrived =
        QTest::qWaitFor([&] { return m_log.all.size() >= from + atLeast; }, kEventTimeoutMs);
    qsizetype seen = -1;
    while (seen != m_log.all.size()) {
        seen = m_log.all.size();
        QTest::qWait(300);
    }
    return m_log.namesFrom(from);
}

void tst_XvfbWindow::flashCommand(const QString &command, const QString &args)
{
    QDBusInterface window(QStringLiteral("org.tidyfox.Tidyfox"), QStringLiteral("/MainWindow"),
                          QStringLiteral("org.tidyfox.Tidyfox.MainWindow"));
    window.setTimeout(kEventTimeoutMs);
    window.call(QStringLiteral("FLashCommand"), command, args);
}

// ---- the tests ------------------------------------------------------------------

void tst_XvfbWindow::selectingOpeningAndViewingTracks()
{
    const int roadTrip = 1; // rows: Library, Road Trip, Quiet Evenings, ...
    const QPoint roadTripAt = inGrid(kCellX, rowCenter(roadTrip));

    // A playlist row: view off, delete on (twice).
    qsizetype from = m_log.all.size();
    QVERIFY(click(roadTripAt));
    QCOMPARE(settledNamesFrom(from, 3),
             (QStringList{QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                          QStringLiteral("_root.enabledelete")}));

    // Double-clicked, it opens: its tracks' header row (dark) comes next.
    from = m_log.all.size();
    QVERIFY(doubleClick(roadTripAt));
    const auto opened = waitForShot([this](const QImage &s) { return isHeaderRow(s, roadTrip + 1); });
    if (!opened)
        keep(shot(), QStringLiteral("failed-to-open.png"));
    QVERIFY2(opened, "Road Trip did not open");
    QCOMPARE(settledNamesFrom(from, 0), QStringList());

    // A track row: view and delete on.
    const QPoint satelliteAt = inGrid(kCellX, rowCenter(roadTrip + 3)); // Paper Boats, Satellite Hearts
    from = m_log.all.size();
    QVERIFY(click(satelliteAt));
    QCOMPARE(settledNamesFrom(from, 2),
             (QStringList{QStringLiteral("_root.enableview2"), QStringLiteral("_root.enabledelete")}));
    const QImage list = settledShot();

    // Double-clicked, it shows its details: every line, in order.
    from = m_log.all.size();
    QVERIFY(doubleClick(satelliteAt));
    QCOMPARE(settledNamesFrom(from, 3),
             (QStringList{QStringLiteral("_root.trackinfo"), QStringLiteral("_root.showtracinfowin"),
                          QStringLiteral("_root.showtracinfowin")}));
    const QString info = m_log.all[from].value;
    QVERIFY2(info.endsWith(QLatin1Char('\r')) && !info.contains(QLatin1Char('\n')), qPrintable(info));
    const QStringList lines = info.chopped(1).split(QLatin1Char('\r'));
    const QStringList labels{
        "Name:",        "Time:",     "Album:",      "Artist:",      "Genre:", "Kind:",    "Bitrate:",
        "Sample Rate:", "Composer:", "Date Added:", "Description:", "Size:",  "Location:"};
    QCOMPARE(lines.size(), labels.size());
    for (int i = 0; i < labels.size(); ++i)
        QVERIFY2(lines[i].startsWith(labels[i]), qPrintable(lines[i]));
    QCOMPARE(lines[0], QStringLiteral("Name:Satellite Hearts"));
    QCOMPARE(lines[2], QStringLiteral("Album:Paper Satellites"));
    QCOMPARE(lines[3], QStringLiteral("Artist:The Lantern Moths"));
    QCOMPARE(lines[6], QStringLiteral("Bitrate:160 Kb/s"));
    QCOMPARE(lines[7], QStringLiteral("Sample Rate:44.1 KHz"));
    QCOMPARE(lines[10], QStringLiteral("Description:Recorded live in one take"));
    QVERIFY2(lines[12].endsWith(QStringLiteral("/Paper Satellites/03 Satellite Hearts.mp3")), qPrintable(lines[12]));

    // The panel lies where the list was: the list is hidden and the panel drawn.
    QImage panel = settledShot();
    QVERIFY2(differing(list, panel, gridOnScreen()) > 0.5, "the track details do not show where the list was");
    keep(panel, QStringLiteral("track-panel.png"));

    // Escape closes the panel and the list comes back as it was.
    QVERIFY(key(QStringLiteral("Escape")));
    const auto back = waitForShot([&](const QImage &s) { return differing(list, s, gridOnScreen()) < 0.05; });
    QVERIFY2(back, "the list did not come back after the details were closed");
}

void tst_XvfbWindow::wheelScrollsThreeRowsANotchAndKeysMoveTheSelection()
{
    // Road Trip open, its second track selected: more rows than the list shows.
    const int roadTrip = 1;
    qsizetype from = m_log.all.size();
    QVERIFY(click(inGrid(kCellX, rowCenter(roadTrip))));
    QCOMPARE(settledNamesFrom(from, 3).size(), 3);
    QVERIFY(doubleClick(inGrid(kCellX, rowCenter(roadTrip))));
    QVERIFY(waitForShot([this](const QImage &s) { return isHeaderRow(s, roadTrip + 1); }));
    const QPoint satelliteAt = inGrid(kCellX, rowCenter(roadTrip + 3));
    from = m_log.all.size();
    QVERIFY(click(satelliteAt));
    QCOMPARE(settledNamesFrom(from, 2).size(), 2);

    // One notch away from the user: the rows move up by exactly three rows.
    const QImage top = settledShot();
    from = m_log.all.size();
    QVERIFY(xdo({QStringLiteral("click"), QStringLiteral("5")}));
    QVERIFY(waitForShot([&](const QImage &s) { return differing(top, s, rowsOnScreen()) > 0.01; }));
    const QImage down = settledShot();
    QVERIFY2(shiftedMatch(top, down, rowsOnScreen(), 3 * m_pitch) > 0.97,
             qPrintable(QStringLiteral("not three rows: %1 of the lines moved by three rows; by one: %2")
                            .arg(shiftedMatch(top, down, rowsOnScreen(), 3 * m_pitch))
                            .arg(shiftedMatch(top, down, rowsOnScreen(), m_pitch))));
    // And back toward the user: as before.
    QVERIFY(xdo({QStringLiteral("click"), QStringLiteral("4")}));
    QVERIFY(waitForShot([&](const QImage &s) { return differing(top, s, rowsOnScreen()) < 0.001; }));
    QCOMPARE(settledNamesFrom(from, 0), QStringList());

    // Down seven times, from Satellite Hearts to the internet stream: each key
    // is one activation of a track row.
    from = m_log.all.size();
    for (int i = 0; i < 7; ++i)
        QVERIFY(key(QStringLiteral("Down")));
    QStringList expected;
    for (int i = 0; i < 7; ++i)
        expected << QStringLiteral("_root.enableview2") << QStringLiteral("_root.enabledelete");
    QCOMPARE(settledNamesFrom(from, expected.size()), expected);

    // The stream's details: it has no file, so no path, and a size of 0.
    const QImage list = settledShot();
    const int streamY = selectedRowCenter(list);
    QVERIFY2(streamY > 0, "no selected row in the list");
    from = m_log.all.size();
    QVERIFY(doubleClick(inGrid(kCellX, streamY)));
    QCOMPARE(settledNamesFrom(from, 3),
             (QStringList{QStringLiteral("_root.trackinfo"), QStringLiteral("_root.showtracinfowin"),
                          QStringLiteral("_root.showtracinfowin")}));
    const QString info = m_log.all[from].value;
    QVERIFY2(info.startsWith(QStringLiteral("Name:Kestrel Radio (Live)\r")), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("\rKind:MPEG audio stream\rBitrate:96 Kb/s\rSample Rate:22.05 KHz\r")),
             qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("\rSize:0 Bytes\r")) && !info.contains(QStringLiteral("Location:")),
             qPrintable(info));
    QImage panel = settledShot();
    QVERIFY(differing(list, panel, gridOnScreen()) > 0.5);
    keep(panel, QStringLiteral("track-panel-stream.png"));
    QVERIFY(key(QStringLiteral("Escape")));
    QVERIFY(waitForShot([&](const QImage &s) { return differing(list, s, gridOnScreen()) < 0.05; }));
}

void tst_XvfbWindow::rightClickOpensNothingAndTheTitleDragsTheWindow()
{
    // A right click and the menu key on the face: no new window, no change.
    const QPoint blank = m_origin + QPoint(300, 505); // the footer between About and the version
    QVERIFY(xdo({QStringLiteral("mousemove"), QString::number(blank.x()), QString::number(blank.y())}));
    const QImage before = settledShot();
    const QString windowsBefore = run(m_xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--pid"), QString::number(m_program->processId())});
    const qsizetype from = m_log.all.size();
    QVERIFY(click(blank, 3));
    QVERIFY(key(QStringLiteral("Menu")));
    QTest::qWait(500);
    const QImage after = settledShot();
    QCOMPARE(differing(before, after, before.rect()), 0.0);
    QCOMPARE(run(m_xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                             QString::number(m_program->processId())}),
             windowsBefore);
    QCOMPARE(m_log.namesFrom(from), QStringList());

    // Pressing on the title and moving the pointer moves the window with it.
    const QPoint start = m_origin;
    const QPoint grip = m_origin + QPoint(250, 30);
    QVERIFY(xdo({QStringLiteral("mousemove"), QString::number(grip.x()), QString::number(grip.y()),
                 QStringLiteral("mousedown"), QStringLiteral("1")}));
    for (int step = 1; step <= 4; ++step) {
        QTest::qWait(100);
        QVERIFY(xdo({QStringLiteral("mousemove"), QString::number(grip.x() + 15 * step),
                     QString::number(grip.y() + 10 * step)}));
    }
    QTest::qWait(100);
    QVERIFY(xdo({QStringLiteral("mouseup"), QStringLiteral("1")}));
    QVERIFY(QTest::qWaitFor([&] { return findWindow() && m_origin != start; }, kEventTimeoutMs));
    QCOMPARE(m_origin, start + QPoint(60, 40));

    // After the move the program goes on: a click on a playlist row is seen
    // at the window's new place.
    QVERIFY(waitForShot([this](const QImage &s) { return findPlaylistRows(s); }));
    const qsizetype clicked = m_log.all.size();
    QVERIFY(click(inGrid(kCellX, rowCenter(2))));
    QCOMPARE(settledNamesFrom(clicked, 3),
             (QStringList{QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                          QStringLiteral("_root.enabledelete")}));
}

void tst_XvfbWindow::panelsAlertsAndBusyState()
{
    // The main view: a playlist open and a track selected.
    const int quiet = 2; // Quiet Evenings
    qsizetype from = m_log.all.size();
    QVERIFY(click(inGrid(kCellX, rowCenter(quiet))));
    QCOMPARE(settledNamesFrom(from, 3).size(), 3);
    QVERIFY(doubleClick(inGrid(kCellX, rowCenter(quiet))));
    QVERIFY(waitForShot([this](const QImage &s) { return isHeaderRow(s, quiet + 1); }));
    QVERIFY(click(inGrid(kCellX, rowCenter(quiet + 3))));
    QVERIFY(
        xdo({QStringLiteral("mousemove"), QString::number(m_origin.x() + 230), QString::number(m_origin.y() + 505)}));
    const QImage main = settledShot();
    keep(main, QStringLiteral("main.png"));
    const auto hidesTheList = [&](const QImage &s) { return differing(main, s, gridOnScreen()) > 0.5; };
    const auto showsTheList = [&](const QImage &s) { return differing(main, s, gridOnScreen()) < 0.05; };

    // The filter panel, from its button.
    QVERIFY(click(m_origin + QPoint(117, 100)));
    QVERIFY2(waitForShot(hidesTheList), "the filter panel does not show where the list was");
    keep(settledShot(), QStringLiteral("filter.png"));
    QVERIFY(key(QStringLiteral("Escape")));
    QVERIFY2(waitForShot(showsTheList), "the list did not come back after the filter was cancelled");

    // A filter with nothing chosen is refused with a warning.
    from = m_log.all.size();
    flashCommand(QStringLiteral("IDC_FS_okfilter"), QStringLiteral("false,false,false,false,false,false,false,false"));
    QVERIFY(waitForVariable(QStringLiteral("_root.enablebtns"), from));
    QVERIFY(m_log.indexOf(QStringLiteral("_root.showexclaminationalert"), from) >= 0);
    QVERIFY2(waitForShot(hidesTheList), "the warning does not show where the list was");
    keep(settledShot(), QStringLiteral("alert-warning.png"));
    QVERIFY(key(QStringLiteral("Escape")));
    QVERIFY2(waitForShot(showsTheList), "the list did not come back after the warning");

    // Deleting the dead tracks: busy first, then the count as information.
    // The pointer rests away from the buttons, whose tips would cover the
    // busy text.
    QVERIFY(
        xdo({QStringLiteral("mousemove"), QString::number(m_origin.x() + 230), QString::number(m_origin.y() + 505)}));
    from = m_log.all.size();
    flashCommand(QStringLiteral("IDC_FS_deleteDeadTracks"));
    QVERIFY(waitForVariable(QStringLiteral("_root.enableactivationmovie"), from));
    QTest::qWait(400);
    keep(shot(), QStringLiteral("busy.png"));
    QVERIFY(waitForVariable(QStringLiteral("_root.showinfoalert"), from));
    const qsizetype text = m_log.indexOf(QStringLiteral("_root.alerttxt"), from);
    QVERIFY(text >= 0);
    QCOMPARE(m_log.all[text].value, QStringLiteral("3 Dead track(s) have been deleted"));
    QVERIFY2(waitForShot(hidesTheList), "the information does not show where the list was");
    keep(settledShot(), QStringLiteral("alert-info.png"));
    // The reload keeps Quiet Evenings open where it was.
    QVERIFY(key(QStringLiteral("Escape")));
    QVERIFY2(waitForShot([&](const QImage &s) { return isHeaderRow(s, quiet + 1); }),
             "the reload did not keep the open playlist");

    // The about panel, from its button.
    const QImage list = settledShot();
    QVERIFY(click(m_origin + QPoint(128, 502)));
    QVERIFY2(waitForShot([&](const QImage &s) { return differing(list, s, gridOnScreen()) > 0.5; }),
             "the about panel does not show where the list was");
    keep(settledShot(), QStringLiteral("about.png"));
    QVERIFY(key(QStringLiteral("Escape")));
    QVERIFY(waitForShot([&](const QImage &s) { return differing(list, s, gridOnScreen()) < 0.05; }));
}

bool tst_XvfbWindow::ringAround(const QImage &screen, const QRect &r) const
{
    // Each side of r has the ring's colour along most of it, a few pixels out.
    const QRect around = r.translated(m_origin).adjusted(-5, -5, 5, 5);
    const auto side = [&](QPoint from, QPoint step, int length, QPoint across) {
        int ring = 0;
        for (int i = 0; i < length; ++i) {
            bool hit = false;
            for (int d = 0; d < 4; ++d)
                hit = hit || isFocusRing(screen.pixel(from + i * step + d * across));
            ring += hit ? 1 : 0;
        }
        return ring > length * 2 / 3;
    };
    const int w = around.width() - 12;
    const int h = around.height() - 12;
    return side(around.topLeft() + QPoint(6, 0), QPoint(1, 0), w, QPoint(0, 1)) &&
           side(around.bottomLeft() + QPoint(6, 0), QPoint(1, 0), w, QPoint(0, -1)) &&
           side(around.topLeft() + QPoint(0, 6), QPoint(0, 1), h, QPoint(1, 0)) &&
           side(around.topRight() + QPoint(0, 6), QPoint(0, 1), h, QPoint(-1, 0));
}

bool tst_XvfbWindow::tabTo(const QRect &r)
{
    for (int i = 0; i < 20; ++i) {
        if (ringAround(settledShot(), r))
            return true;
        if (!key(QStringLiteral("Tab")))
            return false;
    }
    return false;
}

void tst_XvfbWindow::theWindowGrowsAndTheListWithIt()
{
    const QPoint farRight = inGrid(kGrid.width() + 150, rowCenter(1));
    const QPoint farDown = inGrid(100, kGrid.height() + 90);
    const QImage first = shot();
    QVERIFY(!isWhite(first.pixel(farRight)) && !isWhite(first.pixel(farDown)));

    // Its lower right corner dragged out by 200 x 120.
    const QPoint corner = m_origin + QPoint(kWindow.width() - 2, kWindow.height() - 2);
    const QSize grown = kWindow + QSize(200, 120);
    QVERIFY(xdo({QStringLiteral("mousemove"), QString::number(corner.x()), QString::number(corner.y()),
                 QStringLiteral("mousedown"), QStringLiteral("1")}));
    for (int step = 1; step <= 4; ++step) {
        QVERIFY(xdo({QStringLiteral("mousemove"), QString::number(corner.x() + 50 * step),
                     QString::number(corner.y() + 30 * step)}));
    }
    QVERIFY(xdo({QStringLiteral("mouseup"), QStringLiteral("1")}));
    QVERIFY(waitForGeometry(QRect(m_origin, grown)));

    // The list grew as much: playlist rows reach past its old right edge, and
    // its empty white below the rows reaches past its old bottom.
    // The list grew as much: its white reaches past its old right edge and
    // its old bottom, where the face's card was.
    const auto large =
        waitForShot([&](const QImage &s) { return isWhite(s.pixel(farRight)) && isWhite(s.pixel(farDown)); });
    QVERIFY2(large, "the list did not grow with the window");
    const int roadTrip = 1;
    QVERIFY(doubleClick(inGrid(kCellX, rowCenter(roadTrip))));
    const auto open = waitForShot([&](const QImage &s) { return isHeaderRow(s, roadTrip + 1); });
    QVERIFY(open);
    keep(*open, QStringLiteral("main-enlarged.png"), grown);

    // The maximise button fills the screen, and takes the window back.
    const QRect screen(QPoint(0, 0), large->size());
    QVERIFY(click(m_origin + QPoint(grown.width() - 62, 30)));
    QVERIFY(waitForGeometry(screen));
    QVERIFY(click(QPoint(screen.width() - 62, 30)));
    QVERIFY(waitForGeometry(QRect(m_origin, grown)));
}

void tst_XvfbWindow::aDuplicateCleanUpAndADeleteByKeyboardAlone()
{
    // The window's rectangles the keyboard goes through.
    const QRect removeDuplicates(14, 72, 206, 60);
    const QRect well = kGrid.adjusted(-4, -4, 4, 4);
    const QRect deleteButton(189, 437, 88, 31);

    // Remove duplicates, the filter as it first is, the review's Remove.
    QVERIFY2(tabTo(removeDuplicates), "Tab never reaches Remove duplicates");
    QVERIFY(key(QStringLiteral("space")));
    const QImage filter = settledShot();
    QVERIFY(key(QStringLiteral("Return")));
    QVERIFY(waitForShot([&](const QImage &s) { return differing(filter, s, gridOnScreen()) > 0.2; }));
    keep(settledShot(), QStringLiteral("duplicate-review-keyboard.png"));
    qsizetype from = m_log.all.size();
    QVERIFY(key(QStringLiteral("Return")));
    QVERIFY(waitForVariable(QStringLiteral("_root.enablebtns"), from, 60000));
    QVERIFY2(m_log.all[m_log.indexOf(QStringLiteral("_root.alerttxt"), from)].value.endsWith(
                 QStringLiteral(" Duplicate(s) have been deleted")),
             "no duplicates were removed");
    QVERIFY(key(QStringLiteral("Return")));

    // Into the list, down to the library's first track, out again to Delete.
    QVERIFY2(tabTo(well), "Tab never reaches the list");
    from = m_log.all.size();
    QVERIFY(key(QStringLiteral("Down")));
    QVERIFY(key(QStringLiteral("plus")));
    QVERIFY(key(QStringLiteral("Down")));
    QVERIFY(waitForVariable(QStringLiteral("_root.enableview2"), from));
    QVERIFY2(tabTo(deleteButton), "Tab never leaves the list for Delete");
    QVERIFY(key(QStringLiteral("space")));
    keep(settledShot(), QStringLiteral("delete-keyboard.png"));
    from = m_log.all.size();
    QVERIFY(key(QStringLiteral("Tab"))); // from Cancel to "Remove from library"
    QVERIFY(key(QStringLiteral("space")));
    QVERIFY(waitForVariable(QStringLiteral("_root.enablebtns"), from));
    QCOMPARE(m_log.all[m_log.indexOf(QStringLiteral("_root.alerttxt"), from)].value,
             QStringLiteral("1 track(s) have been deleted"));
    QVERIFY(key(QStringLiteral("Escape")));

    // The list reloaded with nothing selected: Delete asks for a selection
    // rather than offering what was selected before.
    QVERIFY2(tabTo(deleteButton), "Tab never gets back to Delete");
    from = m_log.all.size();
    QVERIFY(key(QStringLiteral("space")));
    QVERIFY(waitForVariable(QStringLiteral("_root.showinfoalert"), from));
    QCOMPARE(m_log.all[m_log.indexOf(QStringLiteral("_root.alerttxt"), from)].value,
             QStringLiteral("Select the tracks or the playlist to delete first."));
}

QTEST_GUILESS_MAIN(tst_XvfbWindow)
#include "tst_xvfb_window.moc"
