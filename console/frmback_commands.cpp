// The menus, the toolbar and the commands of the main window.

#include "console/console.h"
#include "console/frmback.h"
#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "console/toolbaricons.h"
#include "console/windowhost.h"
#include "platform/dialogs.h"

#include <QImage>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeView>

QStringList frmback::windowNames()
{
    return {
        QStringLiteral("weekprog"),  QStringLiteral("frmsetup"),    QStringLiteral("frmnode"),
        QStringLiteral("frmsource"), QStringLiteral("frmclock"),    QStringLiteral("frmremote"),
        QStringLiteral("frmrec"),    QStringLiteral("frmvcd"),      QStringLiteral("frmplaylist"),
        QStringLiteral("frmmanual"), QStringLiteral("frmMatrix"),   QStringLiteral("frmnodestatus"),
        QStringLiteral("frmAbout"),  QStringLiteral("frmasrunlog"), QStringLiteral("frmbackup"),
        QStringLiteral("frmrestore")};
}

namespace {
QAction *menuItem(QMenu *menu, const QString &caption, const QString &objectName)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(objectName);
    return action;
}
} // namespace

void frmback::addWindowItems(QMenu *menu, std::initializer_list<WindowItem> items)
{
    for (const WindowItem &w : items) {
        const QString window = QString::fromUtf16(w.window);
        connect(windowAction(menu, QString::fromUtf16(w.caption), QString::fromUtf16(w.objectName),
                             window),
                &QAction::triggered, this, [this, window] { m_windows->open(window); });
    }
}

void frmback::openEditor(bool newFile)
{
    // The request is raised first, so the editor finds it when it is activated.
    if (newFile)
        m_console.state().setNewWeekFileRequest(true);
    else
        m_console.state().setOpenWeekFileRequest(true);
    m_windows->open(QStringLiteral("weekprog"));
}

QAction *frmback::windowAction(QMenu *menu, const QString &caption, const QString &objectName,
                               const QString &window)
{
    QAction *action = menuItem(menu, caption, objectName);
    m_windowActions.append({action, window});
    return action;
}

void frmback::enableWindowActions()
{
    // A window not built yet leaves its commands in place, disabled.
    for (const auto &[action, window] : std::as_const(m_windowActions))
        action->setEnabled(m_windows->has(window));
}

void frmback::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->setObjectName(QStringLiteral("mnufile"));
    connect(windowAction(file, QStringLiteral("新建文件(星期)"), QStringLiteral("mnunewweek"),
                         QStringLiteral("weekprog")),
            &QAction::triggered, this, [this] { openEditor(true); });
    connect(windowAction(file, QStringLiteral("打开文件(星期)"), QStringLiteral("mnuopenweek"),
                         QStringLiteral("weekprog")),
            &QAction::triggered, this, [this] { openEditor(false); });
    file->addSeparator();
    addWindowItems(file,
                   {
                       {u"系统设置(&S)", u"mnusetup", u"frmsetup"},
                       {u"节点管理(&M)", u"mnunode", u"frmnode"},
                       {u"设备管理(&D)", u"mnusource", u"frmsource"},
                       {u"时钟调整(&T)", u"mnuclock", u"frmclock"},
                       {u"遥控设置(&R)", u"mnuremote", u"frmremote"},
                   });
    file->addSeparator();
    addWindowItems(file,
                   {
                       {u"备份数据(&K)…", u"mnubackupdata", u"frmbackup"},
                       {u"恢复数据(&E)…", u"mnurestoredata", u"frmrestore"},
                   });
    file->addSeparator();
    connect(menuItem(file, QStringLiteral("退出(&X)"), QStringLiteral("mnuexit")),
            &QAction::triggered, this, [this] { exitWithQuestion(false); });

    QMenu *record = menuBar()->addMenu(QStringLiteral("录制(&R)"));
    record->setObjectName(QStringLiteral("mnurecordmenu"));
    addWindowItems(record, {{u"录音(&R)", u"mnurecord", u"frmrec"}});

    QMenu *play = menuBar()->addMenu(QStringLiteral("播放控制(&P)"));
    play->setObjectName(QStringLiteral("mnuplay"));
    mnuauto = menuItem(play, QStringLiteral("自动状态(&A)"), QStringLiteral("mnuauto"));
    mnuauto->setCheckable(true);
    connect(mnuauto, &QAction::triggered, &m_console, &Console::setAutomaticMode);
    mnumanual = menuItem(play, QStringLiteral("手动状态(&M)"), QStringLiteral("mnumanual"));
    mnumanual->setCheckable(true);
    connect(mnumanual, &QAction::triggered, &m_console, &Console::setManualMode);
    // A ticked item stays ticked when chosen again: the tick follows the mode.
    connect(mnuauto, &QAction::triggered, this,
            [this] { showWorkStatus(m_console.state().ManualMode()); });
    connect(mnumanual, &QAction::triggered, this,
            [this] { showWorkStatus(m_console.state().ManualMode()); });
    play->addSeparator();
    addWindowItems(play,
                   {
                       {u"播放VCD(&V)", u"mnuvcd", u"frmvcd"},
                       {u"播放曲目列表(&L)", u"mnuplaylist", u"frmplaylist"},
                       {u"播放控制中心(&C)", u"mnumanualcentre", u"frmmanual"},
                       {u"矩阵控制", u"mnumatrix", u"frmMatrix"},
                       {u"终端状态检查(&S)", u"mnunodestatus", u"frmnodestatus"},
                   });
    play->addSeparator();
    QAction *up = menuItem(play, QStringLiteral("增大音量"), QStringLiteral("mnuvolup"));
    up->setShortcut(Qt::Key_F12);
    connect(up, &QAction::triggered, &m_console.volume(), &MasterVolume::up);
    QAction *down = menuItem(play, QStringLiteral("减小音量"), QStringLiteral("mnuvoldown"));
    down->setShortcut(Qt::Key_F11);
    connect(down, &QAction::triggered, &m_console.volume(), &MasterVolume::down);

    QMenu *window = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    window->setObjectName(QStringLiteral("mnuwindow"));
    mnushownext
        = menuItem(window, QStringLiteral("显示待放曲目(&N)"), QStringLiteral("mnushownext"));
    mnushownext->setCheckable(true);
    connect(mnushownext, &QAction::triggered, this, &frmback::mnushownext_Click);
    mnushowlist
        = menuItem(window, QStringLiteral("显示播放列表(&A)"), QStringLiteral("mnushowlist"));
    mnushowlist->setCheckable(true);
    mnushowlist->setChecked(true); // the list is what the window shows by design
    connect(mnushowlist, &QAction::triggered, this, &frmback::mnushowlist_Click);
    mnushowplayer
        = menuItem(window, QStringLiteral("显示播放器  (&P)"), QStringLiteral("mnushowplayer"));
    mnushowplayer->setCheckable(true);
    mnushowplayer->setChecked(true);
    connect(mnushowplayer, &QAction::triggered, this, &frmback::mnushowplayer_Click);
    mnushowuser
        = menuItem(window, QStringLiteral("显示用户名称(&U)"), QStringLiteral("mnushowuser"));
    mnushowuser->setCheckable(true);
    mnushowuser->setChecked(true);
    connect(mnushowuser, &QAction::triggered, this, &frmback::mnushowuser_Click);
    window->addSeparator();
    connect(menuItem(window, QStringLiteral("设置背景图片(&B)"), QStringLiteral("mnubackimage")),
            &QAction::triggered, this, &frmback::chooseBackgroundPicture);

    QMenu *view = menuBar()->addMenu(QStringLiteral("查看(&V)"));
    view->setObjectName(QStringLiteral("mnuview"));
    addWindowItems(view, {{u"运行日志(&L)", u"mnuasrunlog", u"frmasrunlog"}});

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->setObjectName(QStringLiteral("mnuhelp"));
    addWindowItems(help, {{u"关于本程序(&A)", u"mnuabout", u"frmAbout"}});

    // The list's pop-up menu, opened by the right mouse button over the list.
    mnuedit = new QMenu(QStringLiteral("编辑"), this);
    mnuedit->setObjectName(QStringLiteral("mnuedit"));
    connect(menuItem(mnuedit, QStringLiteral("播  放"), QStringLiteral("mnuplayrow")),
            &QAction::triggered, this, [this] { m_console.playRowByHand(currentRow()); });
    const struct
    {
        const char16_t *caption;
        const char16_t *objectName;
    } editItems[] = {{u"修  改", u"mnumodify"}, {u"删  除", u"mnudelete"}, {u"查  看", u"mnuview"}};
    for (const auto &item : editItems) {
        connect(menuItem(mnuedit, QString::fromUtf16(item.caption),
                         QString::fromUtf16(item.objectName)),
                &QAction::triggered, this, &frmback::openCurrentWeekFile);
    }
    connect(menuItem(mnuedit, QStringLiteral("取  消"), QStringLiteral("mnucancel")),
            &QAction::triggered, this, [this] { m_console.today().cancelRow(currentRow()); });
    connect(menuItem(mnuedit, QStringLiteral("恢  复"), QStringLiteral("mnurestore")),
            &QAction::triggered, this, [this] { m_console.today().restoreRow(currentRow()); });
}

void frmback::buildToolbar()
{
    tbr1 = addToolBar(QStringLiteral("工具栏"));
    tbr1->setObjectName(QStringLiteral("tbr1"));
    tbr1->setMovable(false);
    tbr1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbr1->setIconSize(QSize(32, 32));
    // Positions 3, 6, 9 and 12 are separators.
    const struct
    {
        const char16_t *caption;
        const char16_t *key;
        const char16_t *tip;
        const char16_t *window; // opened through the window host, or none
    } buttons[] = {
        {u"新建", u"new", u"新建文件", u"weekprog"},
        {u"打开", u"open", u"打开文件", u"weekprog"},
        {nullptr, nullptr, nullptr, nullptr},
        {u"设置", u"setup", u"系统设置", u"frmsetup"},
        {u"调时", u"clock", u"调整时间", u"frmclock"},
        {nullptr, nullptr, nullptr, nullptr},
        {u"录音", u"reccord", u"录音", nullptr},
        {u"播放", u"play", u"播放", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {u"音量加", u"volup", u"增加音量", nullptr},
        {u"音量减", u"voldown", u"减小音量", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {u"列表", u"detail", u"显示播放列表", nullptr},
        {u"退出", u"quit", u"退出", nullptr},
    };
    QHash<QString, QAction *> byKey;
    for (const auto &b : buttons) {
        if (!b.caption) {
            tbr1->addSeparator();
            continue;
        }
        const QString key = QString::fromUtf16(b.key);
        QAction *action = tbr1->addAction(ToolbarIcons::icon(key), QString::fromUtf16(b.caption));
        action->setObjectName(QStringLiteral("tbr1_") + key);
        action->setProperty("key", key);
        action->setToolTip(QString::fromUtf16(b.tip));
        if (b.window)
            m_windowActions.append({action, QString::fromUtf16(b.window)});
        byKey.insert(key, action);
    }
    connect(byKey.value(QStringLiteral("new")), &QAction::triggered, this,
            [this] { openEditor(true); });
    connect(byKey.value(QStringLiteral("open")), &QAction::triggered, this,
            [this] { openEditor(false); });
    connect(byKey.value(QStringLiteral("setup")), &QAction::triggered, this,
            [this] { m_windows->open(QStringLiteral("frmsetup")); });
    connect(byKey.value(QStringLiteral("clock")), &QAction::triggered, this,
            [this] { m_windows->open(QStringLiteral("frmclock")); });
    connect(byKey.value(QStringLiteral("reccord")), &QAction::triggered, &m_console,
            &Console::startSoundRecorder);
    connect(byKey.value(QStringLiteral("play")), &QAction::triggered, this, &frmback::openAndPlay);
    connect(byKey.value(QStringLiteral("volup")), &QAction::triggered, &m_console.volume(),
            &MasterVolume::up);
    connect(byKey.value(QStringLiteral("voldown")), &QAction::triggered, &m_console.volume(),
            &MasterVolume::down);
    connect(byKey.value(QStringLiteral("detail")), &QAction::triggered, this,
            &frmback::tbr1_detail_Click);
    connect(byKey.value(QStringLiteral("quit")), &QAction::triggered, this,
            [this] { exitWithQuestion(true); });
}

void frmback::openCurrentWeekFile()
{
    if (m_console.requestEditCurrentWeekFile())
        m_windows->open(QStringLiteral("weekprog"));
}

void frmback::exitWithQuestion(bool fromToolbar)
{
    Dialogs &dialogs = m_console.dialogs();
    dialogs.beep();
    if (dialogs.message(QStringLiteral("真的要关闭本程序"), QStringLiteral("程序提示"),
                        MsgIcon::Question, MsgButtons::YesNo, this)
        != MsgAnswer::Yes)
        return;
    // The menu unloads the window, which ends the program; the toolbar ends
    // the program at once.
    if (!fromToolbar) {
        close();
        return;
    }
    // Ending at once still lets the other windows ask about unsaved edits.
    if (m_windows->closeAll())
        m_console.endProgram();
}

void frmback::openAndPlay()
{
    const QString file = m_console.dialogs().openFileName(
        QStringLiteral("选择文件"), QString(),
        QStringLiteral("MP3文件;WAV文件;MIDI文件;VCD文件;WMA文件|*.mp3;*.wav;*.mid;*.dat;*.wma"),
        QString(), this);
    m_console.playFileByHand(file);
}

void frmback::chooseBackgroundPicture()
{
    Dialogs &dialogs = m_console.dialogs();
    const QString path = dialogs.openFileName(
        QStringLiteral("设置背景图片"), m_console.folder().file(QStringLiteral("\\backimage")),
        QStringLiteral("*.jpg;*.bmp|*.jpg;*.bmp"), {}, this);
    if (path.isEmpty())
        return;
    // Shown at once and not stored; a picture that cannot be read keeps the old one.
    if (QImage(path).isNull()) {
        dialogs.message(QStringLiteral("无法打开图片文件：%1").arg(path),
                        QStringLiteral("设置背景图片"), MsgIcon::Exclamation, MsgButtons::Ok, this);
        return;
    }
    showPicture(path, true);
}
