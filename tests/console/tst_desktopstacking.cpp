// The console on a desktop, under a real window manager (openbox on a
// virtual display): every window the main window opens stays above the
// full-screen main window when the operator clicks the main window, also
// after a file dialog and notices shown over it; Enter and Escape answer
// those boxes; the window comes back to the front when opened again.
//
// Clicks and keys go through the X server (xdotool), so the window manager
// sees them as the operator's; the stacking order is the window manager's
// own (_NET_CLIENT_LIST_STACKING on the root window, bottom to top).

#include "console/consolerig.h"
#include "console/frmabout.h"
#include "console/frmasrunlog.h"
#include "console/frmback.h"
#include "console/frmsetup.h"
#include "console/windowhost.h"
#include "directory/frmnode.h"
#include "directory/frmremote.h"
#include "directory/frmsource.h"
#include "platform/widgetdialogs.h"
#include "players/frmplaylist.h"
#include "players/frmrec.h"
#include "players/frmvcd.h"
#include "schedule/weekprog.h"
#include "support/consolewindows.h"
#include "support/fakemediaplayer.h"
#include "support/fakemediaprobe.h"
#include "support/fakerecorder.h"
#include "zonelink/frmMatrix.h"
#include "zonelink/frmclock.h"
#include "zonelink/frmmanual.h"
#include "zonelink/frmnodestatus.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(10000))
        return QString();
    return QString::fromLatin1(p.readAllStandardOutput());
}

// The managed windows, bottom to top.
QList<WId> stacking()
{
    const QString out = run(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST_STACKING"_s});
    QList<WId> ids;
    const QRegularExpression hex(u"0x[0-9a-fA-F]+"_s);
    for (auto it = hex.globalMatch(out); it.hasNext();)
        ids << WId(it.next().captured().toULongLong(nullptr, 16));
    return ids;
}

int level(const QWidget *w)
{
    return int(stacking().indexOf(w->winId()));
}

// The operator's click, through the X server, on a spot of the main window
// no other window covers: its status bar at the left.
// Not "mousemove --sync": it waits for a move, and the pointer may already
// be there from the last click.
void clickMainWindow(QWidget *main)
{
    const QPoint spot = main->mapToGlobal(QPoint(12, main->height() - 8));
    run(u"xdotool"_s,
        {u"mousemove"_s, QString::number(spot.x()), QString::number(spot.y()), u"click"_s, u"1"_s});
}

void pressKey(const QString &key)
{
    run(u"xdotool"_s, {u"key"_s, key});
}

QList<QWidget *> visibleBoxes()
{
    QList<QWidget *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && (qobject_cast<QMessageBox *>(w) || qobject_cast<QFileDialog *>(w)))
            boxes << w;
    }
    return boxes;
}

// The console's windows, made as the program makes them.
struct Desktop
{
    Desktop()
    {
        rig.realDialogs = &dialogs;
        rig.start();
        main = std::make_unique<frmback>(rig.console());
        dialogs.setParent(main.get());
        Console &c = rig.console();
        main->addWindow(u"frmsetup"_s,
                        [&c](QWidget *p) { return new frmsetup(setupServices(c), p); });
        main->addWindow(u"frmnode"_s, [&c](QWidget *p) {
            return new frmnode(c.dialogs(), c.folder(), c.settings().configIni(), c.savedFiles(),
                               p);
        });
        main->addWindow(u"frmsource"_s, [&c](QWidget *p) {
            return new frmsource(c.dialogs(), c.folder(), c.savedFiles(), p);
        });
        main->addWindow(u"frmremote"_s, [&c](QWidget *p) {
            return new frmremote(c.dialogs(), c.folder(), c.savedFiles(), p);
        });
        main->addWindow(u"frmclock"_s,
                        [&c](QWidget *p) { return new frmclock(clockServices(c), p); });
        main->addWindow(u"frmmanual"_s,
                        [&c](QWidget *p) { return new frmmanual(manualServices(c), p); });
        main->addWindow(u"frmMatrix"_s, [&c](QWidget *p) {
            return new frmMatrix(c.link(), c.state().MatrixRoutes, c.dialogs(), p);
        });
        main->addWindow(u"frmnodestatus"_s, [&c](QWidget *p) {
            return new frmnodestatus(c.link(), c.dialogs(), c.folder(), p);
        });
        main->addWindow(u"weekprog"_s,
                        [&c](QWidget *p) { return new weekprog(weekprogServices(c), p); });
        main->addWindow(u"frmplaylist"_s, [this, &c](QWidget *p) {
            return new frmplaylist(playlistServices(c), player, probe, p);
        });
        main->addWindow(u"frmrec"_s, [this, &c](QWidget *p) {
            return new frmrec(c.dialogs(), c.folder(), recorder, player, rig.mixer, p);
        });
        main->addWindow(u"frmvcd"_s, [this, &c](QWidget *p) {
            return new frmvcd(c.dialogs(), c.folder(), player, p);
        });
        main->addWindow(u"frmAbout"_s,
                        [&c](QWidget *p) { return new frmAbout(c.launcher(), c.dialogs(), p); });
        main->addWindow(u"frmasrunlog"_s, [&c](QWidget *p) {
            return new frmasrunlog(c.asRunLog(), c.clock(), c.dialogs(), p);
        });
        main->show();
    }
    ~Desktop()
    {
        main.reset();
        rig.destroyConsole();
    }

    WidgetDialogs dialogs;
    ConsoleRig rig;
    FakeMediaPlayer player;
    FakeMediaProbe probe;
    FakeRecorder recorder;
    std::unique_ptr<frmback> main;
};
} // namespace

class tst_DesktopStacking : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void toolWindowStaysAboveTheMainWindow_data();
    void toolWindowStaysAboveTheMainWindow();
};

void tst_DesktopStacking::initTestCase()
{
    QVERIFY2(QGuiApplication::platformName() == u"xcb", "runs on a display with a window manager");
    QVERIFY(!stacking().isEmpty() || run(u"xprop"_s, {u"-root"_s}).contains(u"_NET_SUPPORTED"_s));
}

void tst_DesktopStacking::toolWindowStaysAboveTheMainWindow_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("dialogs"); // also after a file dialog and notices
    const struct
    {
        const char *menu;
        const char *window;
        bool dialogs;
    } rows[] = {
        {"mnusetup", "frmsetup", true},
        {"mnunode", "frmnode", false},
        {"mnusource", "frmsource", false},
        {"mnuclock", "frmclock", false},
        {"mnuremote", "frmremote", false},
        {"mnurecord", "frmrec", false},
        {"mnuvcd", "frmvcd", false},
        {"mnuplaylist", "frmplaylist", true},
        {"mnumanualcentre", "frmmanual", false},
        {"mnumatrix", "frmMatrix", false},
        {"mnunodestatus", "frmnodestatus", false},
        {"mnunewweek", "weekprog", true},
        {"mnuabout", "frmAbout", false},
        {"mnuasrunlog", "frmasrunlog", false},
    };
    for (const auto &row : rows)
        QTest::newRow(row.window) << QString::fromLatin1(row.menu)
                                  << QString::fromLatin1(row.window) << row.dialogs;
}

void tst_DesktopStacking::toolWindowStaysAboveTheMainWindow()
{
    QFETCH(QString, menu);
    QFETCH(QString, window);
    QFETCH(bool, dialogs);
    Desktop desktop;
    frmback *main = desktop.main.get();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QTRY_VERIFY(level(main) >= 0);

    auto *action = main->findChild<QAction *>(menu);
    QVERIFY2(action, qPrintable(menu));
    action->trigger();
    QWidget *tool = main->windows().window(window);
    QVERIFY(tool);
    QVERIFY(QTest::qWaitForWindowExposed(tool));
    // A window that finds a file missing says so over itself (node.txt,
    // rem_list.txt ...): Enter answers it, and the window is the operator's.
    for (int n = 0; n < 3; ++n) {
        QTest::qWait(300);
        if (visibleBoxes().isEmpty())
            break;
        QPointer<QWidget> box = visibleBoxes().constFirst();
        QCOMPARE(box->parentWidget(), tool);
        QTRY_COMPARE(QApplication::activeWindow(), box.data());
        pressKey(u"Return"_s);
        QTRY_VERIFY(!box || !box->isVisible());
    }
    QTRY_COMPARE(QApplication::activeWindow(), tool);
    QTRY_VERIFY(level(tool) > level(main));
    // QUELLON_SHOTS names a folder for a picture of the whole screen with
    // each window open, to look at.
    if (const QString shots = qEnvironmentVariable("QUELLON_SHOTS"); !shots.isEmpty()) {
        QTest::qWait(300);
        run(u"import"_s, {u"-window"_s, u"root"_s, QDir(shots).filePath(window + u".png"_s)});
    }
    // Opened over the main window, not at 0,0 over its menu bar.
    QVERIFY2(tool->frameGeometry().top() > main->geometry().top(),
             qPrintable(u"at %1,%2"_s.arg(tool->x()).arg(tool->y())));

    // The operator clicks the main window: it takes the focus, the tool
    // window stays above it.
    const auto clickedMainStaysBelow = [&] {
        clickMainWindow(main);
        QTRY_COMPARE(QApplication::activeWindow(), main);
        QTest::qWait(100); // the window manager restacks on the click
        QVERIFY2(level(tool) > level(main), "the window went behind the main window");
    };
    clickedMainStaysBelow();
    if (QTest::currentTestFailed())
        return;

    // Asked for again, it comes to the front with the focus.
    action->trigger();
    QTRY_COMPARE(QApplication::activeWindow(), tool);

    if (dialogs) {
        // A file dialog over the window, cancelled by Escape.
        QString chosen = u"-"_s;
        desktop.dialogs.askOpenFileName(u"打开星期播放列表文件"_s, QDir::tempPath(),
                                        u"播放列表文件(*.txt)|*.txt"_s, QString(), tool,
                                        [&chosen](const QString &path) { chosen = path; });
        QTRY_COMPARE(visibleBoxes().size(), 1);
        QCOMPARE(visibleBoxes().at(0)->parentWidget(), tool);
        QTRY_COMPARE(QApplication::activeWindow(), visibleBoxes().at(0));
        pressKey(u"Escape"_s);
        QTRY_COMPARE(chosen, QString());
        QTRY_COMPARE(QApplication::activeWindow(), tool);
        QVERIFY(level(tool) > level(main));
        clickedMainStaysBelow();
        if (QTest::currentTestFailed())
            return;

        // Two notices in a row over the window: one at a time, each
        // answered by Enter; the window is still the operator's after them.
        action->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), tool);
        desktop.dialogs.notify(u"没有读取到主机的时间。"_s, u"QuellonQL-5300"_s,
                               MsgIcon::Information, tool);
        desktop.dialogs.notify(u"未设置自动开机时间。"_s, u"QuellonQL-5300"_s, MsgIcon::Information,
                               tool);
        for (const QString &text : {u"没有读取到主机的时间。"_s, u"未设置自动开机时间。"_s}) {
            QTRY_COMPARE(visibleBoxes().size(), 1);
            QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(visibleBoxes().at(0));
            QVERIFY(box);
            QCOMPARE(box->text(), text);
            QCOMPARE(box->parentWidget(), tool);
            QTRY_COMPARE(QApplication::activeWindow(), box);
            QVERIFY(level(box) > level(tool));
            QVERIFY(level(tool) > level(main));
            if (const QString shots = qEnvironmentVariable("QUELLON_SHOTS"); !shots.isEmpty()) {
                QTest::qWait(300);
                run(u"import"_s,
                    {u"-window"_s, u"root"_s, QDir(shots).filePath(window + u"-notice.png"_s)});
            }
            pressKey(u"Return"_s);
            QTRY_VERIFY(!box || !box->isVisible());
        }
        QTRY_COMPARE(visibleBoxes().size(), 0);
        QTRY_COMPARE(QApplication::activeWindow(), tool);
        clickedMainStaysBelow();
    }
}

QTEST_MAIN(tst_DesktopStacking)
#include "tst_desktopstacking.moc"
