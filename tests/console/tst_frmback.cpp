// The main window as a view of the running console: its menus, toolbar,
// pop-up menu, view toggles and the commands it passes on.

#include "console/backgroundwidget.h"
#include "console/frmabout.h"
#include "console/frmback.h"
#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "console/toolbaricons.h"
#include "console/windowhost.h"
#include "consolerig.h"
#include "platform/secondticker.h"
#include "support/gbkfiles.h"
#include "zonelink/zonelink.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {
// A stand-in for a window of a later part of the console, in tests only.
QWidget *testWindow(const QString &name, QWidget *parent, int *made)
{
    ++*made;
    auto *w = new QWidget(parent);
    w->setObjectName(name);
    w->setWindowTitle(name);
    w->resize(200, 100);
    return w;
}
// Screenshots to look at go beside the test program.
QString shot(const QString &name)
{
    return QCoreApplication::applicationDirPath() + u'/' + name;
}
} // namespace

class tst_frmback : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startsWithTodaysList();
    void startsWithNextItemPanel();
    void firstRunKeepsDesignedLook();
    void windowMadeAfterTheStartUp();
    void unloadablePictureLeavesBackgroundEmpty();
    void menus_data();
    void menus();
    void shortcuts();
    void toolbar();
    void windowCommandsWaitForTheirWindows_data();
    void windowCommandsWaitForTheirWindows();
    void editorRequests_data();
    void editorRequests();
    void viewToggles_data();
    void viewToggles();
    void playerAndUserToggles();
    void popupOnTheRightButtonOnly_data();
    void popupOnTheRightButtonOnly();
    void popupOpensTheWeekFile_data();
    void popupOpensTheWeekFile();
    void popupCancelRestoreAndPlay();
    void workStatusFollowsTheConsole();
    void volumeCommands_data();
    void volumeCommands();
    void sliderIsAViewOfTheVolume();
    void equipmentStatusFollows();
    void clockFollowsTheTicks();
    void appliedSettingsShowAtOnce();
    void backgroundPicture();
    void openAndPlay_data();
    void openAndPlay();
    void recorderMessage();
    void exitAsks_data();
    void exitAsks();
    void closingTheWindowEndsTheProgram();
    void endOfTheProgramClosesTheWindow();
    void closingAsksTheOtherWindowsFirst_data();
    void closingAsksTheOtherWindowsFirst();
    void aboutBox();

private:
    frmback &start();
    template<class T> T *child(const QString &name) { return m_window->findChild<T *>(name); }
    QAction *action(const QString &name) { return child<QAction>(name); }
    QString panel(const QString &key) { return child<QLabel>(u"StatusBar1_"_s + key)->text(); }
    QStringList menuTexts(const QString &menuName);

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmback> m_window;
};

void tst_frmback::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_frmback::cleanup()
{
    m_window.reset();
    m_rig.reset();
}

frmback &tst_frmback::start()
{
    Console &c = m_rig->start(false);
    m_window = std::make_unique<frmback>(c);
    c.startUp();
    m_window->resize(1024, 700);
    m_window->show();
    return *m_window;
}

QStringList tst_frmback::menuTexts(const QString &menuName)
{
    QStringList texts;
    for (QAction *a : child<QMenu>(menuName)->actions())
        texts << (a->isSeparator() ? u"-"_s : a->text());
    return texts;
}

void tst_frmback::startsWithTodaysList()
{
    frmback &w = start();
    QCOMPARE(w.windowTitle(), u"QuellonQL-5300"_s);
    auto *list = child<QTreeView>(u"lvwprog"_s);
    QVERIFY(list->isVisible());
    QVERIFY(!child<QLabel>(u"lblnextprog"_s)->isVisible());
    QCOMPARE(list->model()->rowCount(), 3);
    for (int c : {6, 7, 8, 10})
        QVERIFY(list->isColumnHidden(c));
    for (int c : {0, 1, 2, 3, 4, 5, 9})
        QVERIFY(!list->isColumnHidden(c));
    QCOMPARE(child<QLabel>(u"lbluser"_s)->text(), u"第一中学Quellon"_s);
    QCOMPARE(panel(u"user"_s), u"用户名称：第一中学"_s);
    QCOMPARE(panel(u"status"_s), u"外设状态："_s);
    QCOMPARE(panel(u"workstatus"_s), u"工作状态：自动"_s);
    QVERIFY(!panel(u"producer"_s).isEmpty());
    QCOMPARE(child<QLineEdit>(u"txttime"_s)->text(), u" 2026年12月07日 星期一  06:30:00"_s);
    for (const char *name : {"mnuauto", "mnushowlist", "mnushowplayer", "mnushowuser"})
        QVERIFY2(action(QString::fromLatin1(name))->isChecked(), name);
    for (const char *name : {"mnumanual", "mnushownext"})
        QVERIFY2(!action(QString::fromLatin1(name))->isChecked(), name);
    QVERIFY(child<BackgroundWidget>(u"imgback"_s)->hasPicture());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    w.grab().save(shot(u"frmback_list.png"_s));
}

void tst_frmback::startsWithNextItemPanel()
{
    m_rig->setting(u"dislaylist"_s, u"False"_s);
    start();
    auto *next = child<QLabel>(u"lblnextprog"_s);
    QVERIFY(next->isVisible());
    QVERIFY(!child<QTreeView>(u"lvwprog"_s)->isVisible());
    QCOMPARE(next->property("panelText").toString(),
             u"\r    播放时间：07:30:00\r    播放文件：铃声.mp3  \r    播放分区：1.2.\r"_s);
    QVERIFY(action(u"mnushownext"_s)->isChecked());
    QVERIFY(!action(u"mnushowlist"_s)->isChecked());
    m_window->grab().save(shot(u"frmback_next.png"_s));
    // Toolbar position 13 shows the list and ticks its menu item.
    action(u"tbr1_detail"_s)->trigger();
    QVERIFY(child<QTreeView>(u"lvwprog"_s)->isVisible());
    QVERIFY(!next->isVisible());
    QVERIFY(action(u"mnushowlist"_s)->isChecked());
}

void tst_frmback::firstRunKeepsDesignedLook()
{
    m_rig->store = MemoryUserStore();
    start();
    QCOMPARE(m_rig->store.values.value(u"setting/setted"_s), u"yes"_s);
    QCOMPARE(m_rig->console().programme().count(), 0);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    QVERIFY(child<QTreeView>(u"lvwprog"_s)->isVisible());
    QVERIFY(action(u"mnushowlist"_s)->isChecked());
    QVERIFY(!child<BackgroundWidget>(u"imgback"_s)->hasPicture());
    QCOMPARE(child<QLabel>(u"lbluser"_s)->text(), u"新用户Quellon"_s);
    QCOMPARE(panel(u"user"_s), u"用户名称：新用户"_s);
}

void tst_frmback::windowMadeAfterTheStartUp()
{
    m_rig->setting(u"dislaylist"_s, u"False"_s);
    Console &c = m_rig->start();
    m_window = std::make_unique<frmback>(c);
    m_window->show();
    QVERIFY(child<QLabel>(u"lblnextprog"_s)->isVisible());
    QVERIFY(action(u"mnushownext"_s)->isChecked());
    QVERIFY(child<QLabel>(u"lblnextprog"_s)->text().contains(u"07:30:00"_s));
    QCOMPARE(child<QLabel>(u"lbluser"_s)->text(), u"第一中学Quellon"_s);
    QVERIFY(child<BackgroundWidget>(u"imgback"_s)->hasPicture());
}

void tst_frmback::unloadablePictureLeavesBackgroundEmpty()
{
    m_rig->setting(u"backimage"_s, m_rig->file(u"none.bmp"_s));
    m_rig->setting(u"dislaylist"_s, u"False"_s);
    start();
    QVERIFY(!child<BackgroundWidget>(u"imgback"_s)->hasPicture());
    // The settings after the picture are still applied.
    QVERIFY(child<QLabel>(u"lblnextprog"_s)->isVisible());
    QCOMPARE(child<QLabel>(u"lbluser"_s)->text(), u"第一中学Quellon"_s);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmback::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("file") << "mnufile"
                          << "文件(&F)"
                          << QStringList {
                                 u"新建文件(星期)"_s, u"打开文件(星期)"_s, u"-"_s,
                                 u"系统设置(&S)"_s,   u"节点管理(&M)"_s,   u"设备管理(&D)"_s,
                                 u"时钟调整(&T)"_s,   u"遥控设置(&R)"_s,   u"-"_s,
                                 u"备份数据(&K)…"_s,  u"恢复数据(&E)…"_s,  u"-"_s,
                                 u"退出(&X)"_s};
    QTest::newRow("record") << "mnurecordmenu"
                            << "录制(&R)" << QStringList {u"录音(&R)"_s};
    QTest::newRow("play") << "mnuplay"
                          << "播放控制(&P)"
                          << QStringList {
                                 u"自动状态(&A)"_s, u"手动状态(&M)"_s,     u"-"_s,
                                 u"播放VCD(&V)"_s,  u"播放曲目列表(&L)"_s, u"播放控制中心(&C)"_s,
                                 u"矩阵控制"_s,     u"终端状态检查(&S)"_s, u"-"_s,
                                 u"增大音量"_s,     u"减小音量"_s,         u"-"_s,
                                 u"紧急广播"_s};
    QTest::newRow("window") << "mnuwindow"
                            << "窗口(&W)" << QStringList {u"显示待放曲目(&N)"_s,
                                                          u"显示播放列表(&A)"_s,
                                                          u"显示播放器  (&P)"_s,
                                                          u"显示用户名称(&U)"_s,
                                                          u"-"_s,
                                                          u"设置背景图片(&B)"_s};
    QTest::newRow("view") << "mnuview"
                          << "查看(&V)" << QStringList {u"运行日志(&L)"_s};
    QTest::newRow("help") << "mnuhelp"
                          << "帮助(&H)" << QStringList {u"关于本程序(&A)"_s};
    QTest::newRow("pop-up") << "mnuedit"
                            << "编辑" << QStringList {u"播  放"_s, u"修  改"_s, u"删  除"_s,
                                                      u"查  看"_s, u"取  消"_s, u"恢  复"_s};
}

void tst_frmback::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QStringList, items);
    start();
    QCOMPARE(child<QMenu>(menu)->title(), title);
    QCOMPARE(menuTexts(menu), items);
    // The pop-up menu is not in the menu bar; the six others are, in order.
    QStringList bar;
    for (QAction *a : m_window->menuBar()->actions())
        bar << a->text();
    QCOMPARE(bar,
             (QStringList {u"文件(&F)"_s, u"录制(&R)"_s, u"播放控制(&P)"_s, u"窗口(&W)"_s,
                           u"查看(&V)"_s, u"帮助(&H)"_s}));
}

void tst_frmback::shortcuts()
{
    start();
    QCOMPARE(action(u"mnuvolup"_s)->shortcut(), QKeySequence(Qt::Key_F12));
    QCOMPARE(action(u"mnuvoldown"_s)->shortcut(), QKeySequence(Qt::Key_F11));
    // The keys work on the window.
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_rig->console().volume().setValue(5000);
    QTest::keyClick(m_window.get(), Qt::Key_F12);
    QCOMPARE(m_rig->console().volume().value(), 6000);
    QTest::keyClick(m_window.get(), Qt::Key_F11);
    QTest::keyClick(m_window.get(), Qt::Key_F11);
    QCOMPARE(m_rig->console().volume().value(), 4000);
}

void tst_frmback::toolbar()
{
    start();
    auto *bar = child<QToolBar>(u"tbr1"_s);
    QVERIFY(bar->isVisible());
    const QList<QAction *> actions = bar->actions();
    // The fourteen positions, then the emergency after a separator.
    QCOMPARE(actions.size(), 16);
    QVERIFY(actions.at(14)->isSeparator());
    QCOMPARE(actions.at(15)->text(), u"紧急广播"_s);
    QCOMPARE(actions.at(15)->property("key").toString(), u"emergency"_s);
    const struct
    {
        const char16_t *caption, *key, *tip;
    } expected[14] = {
        {u"新建", u"new", u"新建文件"},        {u"打开", u"open", u"打开文件"},
        {nullptr, nullptr, nullptr},           {u"设置", u"setup", u"系统设置"},
        {u"调时", u"clock", u"调整时间"},      {nullptr, nullptr, nullptr},
        {u"录音", u"reccord", u"录音"},        {u"播放", u"play", u"播放"},
        {nullptr, nullptr, nullptr},           {u"音量加", u"volup", u"增加音量"},
        {u"音量减", u"voldown", u"减小音量"},  {nullptr, nullptr, nullptr},
        {u"列表", u"detail", u"显示播放列表"}, {u"退出", u"quit", u"退出"},
    };
    QSet<size_t> pictures;
    for (int i = 0; i < 14; ++i) {
        QAction *a = actions.at(i);
        const QByteArray position = QByteArray::number(i + 1);
        if (!expected[i].caption) {
            QVERIFY2(a->isSeparator(), position.constData());
            continue;
        }
        QCOMPARE(a->text(), QString::fromUtf16(expected[i].caption));
        QCOMPARE(a->property("key").toString(), QString::fromUtf16(expected[i].key));
        QCOMPARE(a->toolTip(), QString::fromUtf16(expected[i].tip));
        QVERIFY2(!a->icon().isNull(), position.constData());
        // Each button has a picture of its own.
        const QImage img = a->icon().pixmap(32).toImage();
        pictures.insert(
            qHash(QByteArray(reinterpret_cast<const char *>(img.constBits()), img.sizeInBytes())));
    }
    QCOMPARE(pictures.size(), 10);
    for (const QString &key : {u"new"_s, u"quit"_s, u"emergency"_s}) {
        const QImage picture = ToolbarIcons::image(key, 32);
        int drawn = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                drawn += qAlpha(picture.pixel(x, y)) > 0;
        QVERIFY2(drawn > 100, qPrintable(key));
    }
    bar->grab().save(shot(u"frmback_toolbar.png"_s));
}

void tst_frmback::windowCommandsWaitForTheirWindows_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("window");
    QTest::newRow("settings") << QStringList {u"mnusetup"_s, u"tbr1_setup"_s} << "frmsetup";
    QTest::newRow("nodes") << QStringList {u"mnunode"_s} << "frmnode";
    QTest::newRow("sources") << QStringList {u"mnusource"_s} << "frmsource";
    QTest::newRow("clock") << QStringList {u"mnuclock"_s, u"tbr1_clock"_s} << "frmclock";
    QTest::newRow("remote list") << QStringList {u"mnuremote"_s} << "frmremote";
    QTest::newRow("recorder") << QStringList {u"mnurecord"_s} << "frmrec";
    QTest::newRow("VCD") << QStringList {u"mnuvcd"_s} << "frmvcd";
    QTest::newRow("playlist") << QStringList {u"mnuplaylist"_s} << "frmplaylist";
    QTest::newRow("manual control") << QStringList {u"mnumanualcentre"_s} << "frmmanual";
    QTest::newRow("matrix") << QStringList {u"mnumatrix"_s} << "frmMatrix";
    QTest::newRow("terminal status") << QStringList {u"mnunodestatus"_s} << "frmnodestatus";
    QTest::newRow("editor") << QStringList {u"mnunewweek"_s, u"mnuopenweek"_s, u"tbr1_new"_s,
                                            u"tbr1_open"_s}
                            << "weekprog";
    QTest::newRow("about") << QStringList {u"mnuabout"_s} << "frmAbout";
    QTest::newRow("as-run log") << QStringList {u"mnuasrunlog"_s} << "frmasrunlog";
    QTest::newRow("backup") << QStringList {u"mnubackupdata"_s} << "frmbackup";
    QTest::newRow("restore") << QStringList {u"mnurestoredata"_s} << "frmrestore";
}

void tst_frmback::windowCommandsWaitForTheirWindows()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, window);
    start();
    QVERIFY(frmback::windowNames().contains(window));
    // Present and disabled until the window exists.
    for (const QString &name : actions)
        QVERIFY2(action(name) && !action(name)->isEnabled(), qPrintable(name));
    int made = 0;
    m_window->addWindow(
        window, [&made, window](QWidget *parent) { return testWindow(window, parent, &made); });
    for (const QString &name : actions)
        QVERIFY2(action(name)->isEnabled(), qPrintable(name));

    action(actions.first())->trigger();
    QWidget *opened = m_window->windows().window(window);
    QVERIFY(opened);
    QVERIFY(opened->isVisible());
    QVERIFY(opened->isWindow());
    QVERIFY(!opened->isModal());
    // Every window is the main window's: the window manager keeps it above
    // the main window, and it opens centred over the main window, not at 0,0
    // over its menus.
    QCOMPARE(opened->parentWidget(), static_cast<QWidget *>(m_window.get()));
    QVERIFY(opened->windowHandle());
    QCOMPARE(opened->windowHandle()->transientParent(), m_window->windowHandle());
    QVERIFY2(
        (opened->frameGeometry().center() - m_window->frameGeometry().center()).manhattanLength()
            <= 4,
        qPrintable(u"opened at %1,%2"_s.arg(opened->x()).arg(opened->y())));
    QVERIFY(m_window->isEnabled()); // the main window goes on working
    // Asked again (by any of its commands) it comes to the front, not twice.
    opened->showMinimized();
    action(actions.last())->trigger();
    QCOMPARE(made, 1);
    QCOMPARE(m_window->windows().window(window), opened);
    QVERIFY(!opened->isMinimized());
    // Closed, it is gone; the next command makes it afresh.
    QPointer<QWidget> gone = opened;
    opened->close();
    QTRY_VERIFY(gone.isNull());
    action(actions.first())->trigger();
    QCOMPARE(made, 2);
    m_window->windows().window(window)->close();
}

void tst_frmback::editorRequests_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("newRequest");
    QTest::newRow("新建文件(星期)") << "mnunewweek" << true;
    QTest::newRow("toolbar 新建") << "tbr1_new" << true;
    QTest::newRow("打开文件(星期)") << "mnuopenweek" << false;
    QTest::newRow("toolbar 打开") << "tbr1_open" << false;
}

void tst_frmback::editorRequests()
{
    QFETCH(QString, command);
    QFETCH(bool, newRequest);
    start();
    int made = 0;
    m_window->addWindow(u"weekprog"_s, [&made](QWidget *parent) {
        return testWindow(u"weekprog"_s, parent, &made);
    });
    ConsoleState &state = m_rig->console().state();
    QSignalSpy requests(&state, &ConsoleState::editorRequestsChanged);
    action(command)->trigger();
    QCOMPARE(state.NewWeekFileRequest(), newRequest);
    QCOMPARE(state.OpenWeekFileRequest(), !newRequest);
    QVERIFY(!state.EditCurrentWeekFileRequest());
    QCOMPARE(requests.size(), 1);
    // The request is raised before the editor is shown, so it finds it.
    QCOMPARE(made, 1);
    m_window->windows().window(u"weekprog"_s)->close();
}

void tst_frmback::viewToggles_data()
{
    QTest::addColumn<bool>("startWithList");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("listVisible");
    QTest::addColumn<bool>("panelVisible");
    QTest::addColumn<bool>("listTick");
    QTest::addColumn<bool>("nextTick");
    // The list and the panel take turns: hiding one shows the other, and
    // only the one shown is ticked.
    QTest::newRow("menu hides the list, the panel shows")
        << true << QStringList {u"mnushowlist"_s} << false << true << false << true;
    QTest::newRow("toolbar hides the list, the panel shows")
        << true << QStringList {u"tbr1_detail"_s} << false << true << false << true;
    QTest::newRow("menu shows the list over the panel")
        << false << QStringList {u"mnushowlist"_s} << true << false << true << false;
    QTest::newRow("toolbar shows the list, the panel's tick goes")
        << false << QStringList {u"tbr1_detail"_s} << true << false << true << false;
    QTest::newRow("toolbar twice") << false << QStringList {u"tbr1_detail"_s, u"tbr1_detail"_s}
                                   << false << true << false << true;
    QTest::newRow("panel, then the list again")
        << true << QStringList {u"mnushownext"_s, u"mnushowlist"_s} << true << false << true
        << false;
    QTest::newRow("the panel's item again shows the list")
        << false << QStringList {u"mnushownext"_s} << true << false << true << false;
    QTest::newRow("menu list twice from the panel")
        << false << QStringList {u"mnushowlist"_s, u"mnushowlist"_s} << false << true << false
        << true;
}

void tst_frmback::viewToggles()
{
    QFETCH(bool, startWithList);
    QFETCH(QStringList, commands);
    QFETCH(bool, listVisible);
    QFETCH(bool, panelVisible);
    QFETCH(bool, listTick);
    QFETCH(bool, nextTick);
    m_rig->setting(u"dislaylist"_s, startWithList ? u"True"_s : u"False"_s);
    start();
    for (const QString &command : commands)
        action(command)->trigger();
    QCOMPARE(child<QTreeView>(u"lvwprog"_s)->isVisible(), listVisible);
    QCOMPARE(child<QLabel>(u"lblnextprog"_s)->isVisible(), panelVisible);
    QCOMPARE(action(u"mnushowlist"_s)->isChecked(), listTick);
    QCOMPARE(action(u"mnushownext"_s)->isChecked(), nextTick);
}

void tst_frmback::playerAndUserToggles()
{
    start();
    auto *frame = child<QWidget>(u"fraplayer"_s);
    auto *user = child<QLabel>(u"lbluser"_s);
    action(u"mnushowplayer"_s)->trigger();
    QVERIFY(!frame->isVisible());
    QVERIFY(!action(u"mnushowplayer"_s)->isChecked());
    action(u"mnushowplayer"_s)->trigger();
    QVERIFY(frame->isVisible());
    QVERIFY(action(u"mnushowplayer"_s)->isChecked());
    // "隐藏" hides the frame and clears the tick.
    child<QPushButton>(u"cmdhide"_s)->click();
    QVERIFY(!frame->isVisible());
    QVERIFY(!action(u"mnushowplayer"_s)->isChecked());
    action(u"mnushowuser"_s)->trigger();
    QVERIFY(!user->isVisible());
    QVERIFY(!action(u"mnushowuser"_s)->isChecked());
    action(u"mnushowuser"_s)->trigger();
    QVERIFY(user->isVisible());
    QVERIFY(action(u"mnushowuser"_s)->isChecked());
}

void tst_frmback::popupOnTheRightButtonOnly_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("opens");
    QTest::newRow("right") << int(Qt::RightButton) << true;
    QTest::newRow("left") << int(Qt::LeftButton) << false;
    QTest::newRow("middle") << int(Qt::MiddleButton) << false;
}

void tst_frmback::popupOnTheRightButtonOnly()
{
    QFETCH(int, button);
    QFETCH(bool, opens);
    start();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto *list = child<QTreeView>(u"lvwprog"_s);
    auto *popup = child<QMenu>(u"mnuedit"_s);
    const QRect second = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::MouseButton(button), {}, second.center());
    QTest::qWait(50);
    QCOMPARE(popup->isVisible(), opens);
    if (opens) {
        // The row under the pointer becomes the current one.
        QCOMPARE(list->currentIndex().row(), 1);
        popup->close();
    }
}

void tst_frmback::popupOpensTheWeekFile_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("weekMode");
    QTest::addColumn<bool>("haveFile");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("editorShown");
    for (const char *item : {"mnumodify", "mnudelete", "mnuview"}) {
        const QByteArray name(item);
        QTest::newRow(QByteArray(name + " week, no file").constData())
            << QString::fromLatin1(item) << true << false
            << "没有设置星期工作文件，请在系统设置中选择相应的文件" << false;
        QTest::newRow(QByteArray(name + " date, no file").constData())
            << QString::fromLatin1(item) << false << false
            << "没有设置日期工作文件，请在系统设置中选择相应的文件或直接打开" << false;
        QTest::newRow(QByteArray(name + " week").constData())
            << QString::fromLatin1(item) << true << true << "" << true;
        QTest::newRow(QByteArray(name + " date: nothing shown").constData())
            << QString::fromLatin1(item) << false << true << "" << false;
    }
}

void tst_frmback::popupOpensTheWeekFile()
{
    QFETCH(QString, item);
    QFETCH(bool, weekMode);
    QFETCH(bool, haveFile);
    QFETCH(QString, message);
    QFETCH(bool, editorShown);
    m_rig->setting(u"weekmode"_s, weekMode ? u"True"_s : u"False"_s);
    m_rig->setting(u"defaultweekfile"_s, haveFile && weekMode ? m_rig->weekFile : QString());
    m_rig->setting(u"defaultdatefile"_s,
                   haveFile && !weekMode ? m_rig->file(u"table/date/20261207.txt"_s) : QString());
    GbkFiles::writeText(m_rig->file(u"table/date/20261207.txt"_s),
                        ConsoleRig::line(u"10:10:10"_s, u"校庆"_s));
    start();
    int made = 0;
    m_window->addWindow(u"weekprog"_s, [&made](QWidget *parent) {
        return testWindow(u"weekprog"_s, parent, &made);
    });
    action(item)->trigger();
    QCOMPARE(made, editorShown ? 1 : 0);
    QCOMPARE(m_rig->console().state().EditCurrentWeekFileRequest(), message.isEmpty());
    if (message.isEmpty()) {
        QVERIFY(m_rig->dialogs.shown.isEmpty());
    } else {
        QCOMPARE(m_rig->dialogs.shown.size(), 1);
        QCOMPARE(m_rig->dialogs.shown.at(0).text, message);
        QCOMPARE(m_rig->dialogs.shown.at(0).title, u"请设置工作文件"_s);
    }
    if (editorShown)
        m_window->windows().window(u"weekprog"_s)->close();
}

void tst_frmback::popupCancelRestoreAndPlay()
{
    const QString song = m_rig->file(u"song/上课.wav"_s);
    GbkFiles::writeBytes(song, QByteArray("RIFF"));
    m_rig->writeWeek(ConsoleRig::line(u"07:30:00"_s, u"起床"_s)
                     + ConsoleRig::line(u"08:00:00"_s, u"上课"_s, song, 12345));
    start();
    auto *list = child<QTreeView>(u"lvwprog"_s);
    const ProgrammeModel &model = m_rig->console().programme();
    list->setCurrentIndex(model.index(1, 0));
    action(u"mnucancel"_s)->trigger();
    QCOMPARE(model.state(1), RowState::Cancelled);
    QCOMPARE(model.cellText(1, ProgrammeModel::PlayedColumn), u"是"_s);
    action(u"mnurestore"_s)->trigger();
    QCOMPARE(model.state(1), RowState::Waiting);
    action(u"mnuplayrow"_s)->trigger();
    QCOMPARE(m_rig->player.source, song);
    QCOMPARE(child<QSlider>(u"Slidervol"_s)->value(), 12345);
    QCOMPARE(child<QLabel>(u"lblsong"_s)->text(), u"上课.wav"_s);
}

void tst_frmback::workStatusFollowsTheConsole()
{
    start();
    action(u"mnumanual"_s)->trigger();
    QVERIFY(m_rig->console().state().ManualMode());
    QCOMPARE(panel(u"workstatus"_s), u"工作状态：手动"_s);
    QVERIFY(action(u"mnumanual"_s)->isChecked());
    QVERIFY(!action(u"mnuauto"_s)->isChecked());
    // Choosing the ticked item again keeps its tick.
    action(u"mnumanual"_s)->trigger();
    QVERIFY(action(u"mnumanual"_s)->isChecked());
    // A change from elsewhere (the remote keys) shows as well.
    m_rig->console().state().setManualMode(false);
    QCOMPARE(panel(u"workstatus"_s), u"工作状态：自动"_s);
    QVERIFY(action(u"mnuauto"_s)->isChecked());
    QVERIFY(!action(u"mnumanual"_s)->isChecked());
    m_rig->port.receive(QByteArray(1, char(1))); // remote key "play": manual
    QCOMPARE(panel(u"workstatus"_s), u"工作状态：手动"_s);
    action(u"mnuauto"_s)->trigger();
    QVERIFY(!m_rig->console().state().ManualMode());
    QCOMPARE(panel(u"workstatus"_s), u"工作状态：自动"_s);
}

void tst_frmback::volumeCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("result");
    QTest::newRow("menu up") << "mnuvolup" << 5000 << 6000;
    QTest::newRow("menu up to the top") << "mnuvolup" << 31800 << 32767;
    QTest::newRow("menu down") << "mnuvoldown" << 5000 << 4000;
    QTest::newRow("menu down to zero") << "mnuvoldown" << 900 << 0;
    QTest::newRow("toolbar up") << "tbr1_volup" << 100 << 1100;
    QTest::newRow("toolbar down") << "tbr1_voldown" << 1100 << 100;
}

void tst_frmback::volumeCommands()
{
    QFETCH(QString, command);
    QFETCH(int, from);
    QFETCH(int, result);
    start();
    auto *slider = child<QSlider>(u"Slidervol"_s);
    slider->setValue(from);
    action(command)->trigger();
    QCOMPARE(slider->value(), result);
    QCOMPARE(m_rig->console().volume().value(), result);
    QCOMPARE(m_rig->mixer.speakerSet.last(), long(result) * 2);
}

void tst_frmback::sliderIsAViewOfTheVolume()
{
    m_rig->mixer.speaker = Mixer::Range {0, 127};
    start();
    auto *slider = child<QSlider>(u"Slidervol"_s);
    QCOMPARE(slider->maximum(), 63);
    QCOMPARE(slider->singleStep(), 1000);
    m_rig->console().volume().setValue(40);
    QCOMPARE(slider->value(), 40);
    m_rig->mixer.speakerSet.clear();
    slider->setValue(20);
    QCOMPARE(m_rig->console().volume().value(), 20);
    // One change, one write to the mixer: the slider's echo writes nothing more.
    QCOMPARE(m_rig->mixer.speakerSet, QList<long> {40});
}

void tst_frmback::equipmentStatusFollows()
{
    start();
    m_rig->console().state().setEquipmentStatus(u"外设状态：设备已打开"_s);
    QCOMPARE(panel(u"status"_s), u"外设状态：设备已打开"_s);
}

void tst_frmback::clockFollowsTheTicks()
{
    start();
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 7)));
    m_rig->console().timerplayer_Timer();
    QCOMPARE(child<QLineEdit>(u"txttime"_s)->text(), u" 2026年12月07日 星期一  09:05:07"_s);
}

void tst_frmback::appliedSettingsShowAtOnce()
{
    start();
    QVERIFY(child<QTreeView>(u"lvwprog"_s)->isVisible());
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const QString green = m_rig->file(u"backimage/green.bmp"_s);
    QVERIFY(picture.save(green));
    AppSettings s = m_rig->console().settings().values();
    s.UserName = QString();
    s.ShowWholeList = false;
    s.BackImagePath = green;
    m_rig->console().applySettings(s);
    QCOMPARE(child<QLabel>(u"lbluser"_s)->text(), u"Quellon"_s);
    QCOMPARE(panel(u"user"_s), u"用户名称："_s);
    QVERIFY(!child<QTreeView>(u"lvwprog"_s)->isVisible());
    QVERIFY(!action(u"mnushowlist"_s)->isChecked());
    // The next-item panel shows in the list's place, ticked.
    QVERIFY(action(u"mnushownext"_s)->isChecked());
    QVERIFY(child<QLabel>(u"lblnextprog"_s)->isVisible());
    auto *back = child<BackgroundWidget>(u"imgback"_s);
    QCOMPARE(back->grab().toImage().pixelColor(5, 5), QColor(Qt::darkGreen));
    // A picture that cannot be read keeps the old one and says so.
    s.BackImagePath = m_rig->file(u"backimage/none.jpg"_s);
    m_rig->console().applySettings(s);
    QCOMPARE(back->grab().toImage().pixelColor(5, 5), QColor(Qt::darkGreen));
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.at(0).text.contains(u"none.jpg"_s));
}

void tst_frmback::backgroundPicture()
{
    start();
    auto *back = child<BackgroundWidget>(u"imgback"_s);
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString red = m_rig->file(u"backimage/red.jpg"_s);
    QVERIFY(picture.save(red));
    action(u"mnubackimage"_s)->trigger(); // cancelled
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"设置背景图片"_s});
    QVERIFY(back->grab().toImage().pixelColor(5, 5) != QColor(Qt::red));
    m_rig->dialogs.files.enqueue(red);
    action(u"mnubackimage"_s)->trigger();
    QColor shown = back->grab().toImage().pixelColor(5, 5);
    QVERIFY2(shown.red() > 200 && shown.green() < 50, qPrintable(shown.name()));
    // Not stored: the operator's stored picture is chosen in the settings.
    QCOMPARE(m_rig->store.values.value(u"setting/backimage"_s),
             m_rig->file(u"backimage/clouds.bmp"_s));
    m_rig->dialogs.files.enqueue(m_rig->file(u"song/not-a-picture.jpg"_s));
    action(u"mnubackimage"_s)->trigger();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"设置背景图片"_s);
    shown = back->grab().toImage().pixelColor(5, 5);
    QVERIFY(shown.red() > 200 && shown.green() < 50);
}

void tst_frmback::openAndPlay_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("打开") << "cmdopen";
    QTest::newRow("toolbar 播放") << "tbr1_play";
}

void tst_frmback::openAndPlay()
{
    QFETCH(QString, command);
    const QString song = m_rig->file(u"chosen.mp3"_s);
    GbkFiles::writeBytes(song, QByteArray("ID3"));
    start();
    const auto run = [this, &command] {
        if (auto *button = child<QPushButton>(command))
            button->click();
        else
            action(command)->trigger();
    };
    run(); // cancelled: nothing happens
    QVERIFY(m_rig->player.calls.isEmpty());
    m_rig->dialogs.files.enqueue(song);
    run();
    QCOMPARE(m_rig->dialogs.fileDialogTitles, (QStringList {u"选择文件"_s, u"选择文件"_s}));
    QCOMPARE(m_rig->player.source, song);
    QVERIFY(!child<QWidget>(u"mmcplay_play"_s)->isEnabled());
    QVERIFY(child<QWidget>(u"mmcplay_stop"_s)->isEnabled());
    m_rig->player.position = 12;
    m_rig->player.duration = 215;
    m_rig->console().timerplayer_Timer();
    QCOMPARE(child<QLabel>(u"lblctime"_s)->text(), u" 12/215"_s);
    QCOMPARE(child<QLabel>(u"lblsonglength"_s)->text(), u"03:35"_s);
    m_window->grab().save(shot(u"frmback_playing.png"_s));
    m_rig->player.finish();
    QVERIFY(child<QWidget>(u"mmcplay_play"_s)->isEnabled());
}

void tst_frmback::recorderMessage()
{
    start();
    action(u"tbr1_reccord"_s)->trigger();
    QCOMPARE(m_rig->launcher.asked, Console::soundRecorderPrograms());
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"录音机程序位置不正确或未安装"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"录音程序错误"_s);
    m_rig->launcher.installed = QStringList {u"audacity"_s};
    action(u"tbr1_reccord"_s)->trigger();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
}

void tst_frmback::exitAsks_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("answer");
    QTest::newRow("menu, No") << "mnuexit" << int(MsgAnswer::No);
    QTest::newRow("menu, Yes") << "mnuexit" << int(MsgAnswer::Yes);
    QTest::newRow("toolbar, No") << "tbr1_quit" << int(MsgAnswer::No);
    QTest::newRow("toolbar, Yes") << "tbr1_quit" << int(MsgAnswer::Yes);
}

void tst_frmback::exitAsks()
{
    QFETCH(QString, command);
    QFETCH(int, answer);
    start();
    Console &c = m_rig->console();
    QSignalSpy ends(&c, &Console::programEnds);
    QSignalSpy queued(&c.link(), &ZoneLink::frameQueued);
    m_rig->port.events.clear();
    m_rig->dialogs.answers.enqueue(MsgAnswer(answer));
    action(command)->trigger();
    QCOMPARE(m_rig->dialogs.beeps, 1);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.last().text, u"真的要关闭本程序"_s);
    QCOMPARE(m_rig->dialogs.shown.last().title, u"程序提示"_s);
    QCOMPARE(m_rig->dialogs.shown.last().icon, MsgIcon::Question);
    QCOMPARE(m_rig->dialogs.shown.last().buttons, MsgButtons::YesNo);
    const bool yes = MsgAnswer(answer) == MsgAnswer::Yes;
    QCOMPARE(ends.size(), yes ? 1 : 0);
    QCOMPARE(m_window->isVisible(), !yes);
    QCOMPARE(c.link().isOpen(), !yes);
    QCOMPARE(c.secondTicker().isActive(), !yes);
    // Nothing is switched off on the way out.
    QCOMPARE(queued.size(), 0);
    QVERIFY(m_rig->port.writes().isEmpty());
}

void tst_frmback::closingTheWindowEndsTheProgram()
{
    start();
    QSignalSpy ends(&m_rig->console(), &Console::programEnds);
    m_window->close();
    QCOMPARE(ends.size(), 1);
    QVERIFY(!m_rig->console().link().isOpen());
    QVERIFY(m_rig->dialogs.shown.isEmpty()); // closing the window asks nothing
}

void tst_frmback::endOfTheProgramClosesTheWindow()
{
    start();
    int made = 0;
    m_window->addWindow(u"frmmanual"_s, [&made](QWidget *parent) {
        return testWindow(u"frmmanual"_s, parent, &made);
    });
    action(u"mnumanualcentre"_s)->trigger();
    QCOMPARE(made, 1);
    QVERIFY(m_window->windows().window(u"frmmanual"_s)->isVisible());
    m_rig->console().endProgram();
    QVERIFY(!m_window->isVisible());
}

void tst_frmback::closingAsksTheOtherWindowsFirst_data()
{
    QTest::addColumn<bool>("keep"); // the other window's operator keeps it open
    QTest::addColumn<QString>("how");
    QTest::newRow("kept, closing the window") << true << "close";
    QTest::newRow("let go, closing the window") << false << "close";
    QTest::newRow("kept, menu exit") << true << "mnuexit";
    QTest::newRow("kept, toolbar exit") << true << "tbr1_quit";
    QTest::newRow("let go, toolbar exit") << false << "tbr1_quit";
    QTest::newRow("kept, end of the day") << true << "end";
}

void tst_frmback::closingAsksTheOtherWindowsFirst()
{
    QFETCH(bool, keep);
    QFETCH(QString, how);
    start();
    // A window with unsaved edits whose close check the operator answers.
    class Editor : public QWidget
    {
    public:
        bool keep = false;
        int asked = 0;

    protected:
        void closeEvent(QCloseEvent *event) override
        {
            ++asked;
            keep ? event->ignore() : event->accept();
        }
    };
    Editor *editor = nullptr;
    m_window->addWindow(u"frmsource"_s, [&editor, keep](QWidget *parent) {
        editor = new Editor;
        editor->setParent(parent, Qt::Window);
        editor->keep = keep;
        return editor;
    });
    action(u"mnusource"_s)->trigger();
    QSignalSpy ends(&m_rig->console(), &Console::programEnds);
    if (how == u"close") {
        m_window->close();
    } else if (how.startsWith(u"mnu"_s) || how.startsWith(u"tbr1"_s)) {
        m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
        action(how)->trigger();
    } else {
        m_rig->console().endProgram();
    }
    const bool ended = how == u"end" || !keep;
    QCOMPARE(ends.size(), ended ? 1 : 0);
    QCOMPARE(m_window->isVisible(), !ended);
    // The end of the day does not ask.
    QCOMPARE(editor->asked, how == u"end" ? 0 : 1);
}

void tst_frmback::aboutBox()
{
    start();
    m_window->addWindow(u"frmAbout"_s, [this](QWidget *parent) {
        return new frmAbout(m_rig->launcher, m_rig->dialogs, parent);
    });
    action(u"mnuabout"_s)->trigger();
    auto *about = qobject_cast<frmAbout *>(m_window->windows().window(u"frmAbout"_s));
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(about->windowTitle().contains(u"QuellonQL-5300"_s));
    QVERIFY(about->findChild<QLabel *>(u"lblVersion"_s)->text().startsWith(u"版本 "_s));
    auto *sysInfo = about->findChild<QPushButton *>(u"cmdSysInfo"_s);
    sysInfo->click();
    QCOMPARE(m_rig->launcher.asked, frmAbout::systemInfoPrograms());
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    m_rig->launcher.installed = QStringList {u"gnome-system-monitor"_s};
    m_rig->launcher.asked.clear();
    sysInfo->click();
    QCOMPARE(m_rig->launcher.asked.last(), u"gnome-system-monitor"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    about->grab().save(shot(u"frmabout.png"_s));
    // Escape closes it, as the button "确定" does.
    QPointer<QWidget> gone = about;
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(gone.isNull());
}

QTEST_MAIN(tst_frmback)
#include "tst_frmback.moc"
