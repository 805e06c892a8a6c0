#include "console/frmback.h"

#include "console/backgroundwidget.h"
#include "console/clocktext.h"
#include "console/clsvolume.h"
#include "console/endofday.h"
#include "console/scheduler.h"
#include "console/playbackengine.h"
#include "console/playerframe.h"
#include "console/programmemodel.h"
#include "console/remotekeys.h"
#include "console/secondticker.h"
#include "console/settingsloader.h"
#include "console/todayschedule.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/logwriter.h"
#include "platform/mediaplayer.h"
#include "platform/userstore.h"
#include "zonelink/zonelink.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSlider>
#include <QVideoWidget>
#include <QStatusBar>
#include <QTreeView>

namespace {
// Layout figures are given in twips (1/1440 inch); at 96 dots an inch a
// pixel is 15 twips.
constexpr int twips(int units)
{
    return units / 15;
}
const QString kTitle = QStringLiteral("QuellonQL-5300");
} // namespace

frmback::frmback(const ConsoleServices &services, QWidget *parent)
    : QMainWindow(parent)
    , m_clock(services.clock)
    , m_dialogs(services.dialogs)
    , m_store(services.store)
    , m_folder(services.folder)
    , m_configIni(services.folder.file(QStringLiteral("\\config.ini")))
    , m_model(new ProgrammeModel(this))
{
    setObjectName(QStringLiteral("frmback"));
    setWindowTitle(kTitle);
    m_today = new TodaySchedule(m_folder, m_settings, m_state, *m_model, m_dialogs, this);
    m_timerplayer = new SecondTicker(m_clock, this);
    m_timerplayer->setObjectName(QStringLiteral("timerplayer"));
    connect(m_timerplayer, &SecondTicker::tick, this, &frmback::timerplayer_Timer);
    m_playback = new PlaybackEngine(services.player, m_settings, this);
    m_volume = std::make_unique<clsVolume>(services.mixer, m_dialogs);
    m_link = new ZoneLink(services.port, m_store, m_dialogs, this);
    m_link->setObjectName(QStringLiteral("MSCommzone"));
    m_remoteKeys = std::make_unique<RemoteKeys>(m_state, m_settings, *m_model, *m_link, *this);
    m_log = std::make_unique<LogWriter>(m_folder, m_clock, m_dialogs);
    m_scheduler = new Scheduler({m_clock, m_settings, m_state, *m_model, *m_today, *m_link, *this, *m_log, m_dialogs},
                                this);
    m_endOfDay = new EndOfDay({m_clock, m_settings, m_state, *m_model, *m_today, *m_scheduler, *m_link, *this,
                               *m_log, services.power},
                              this);
    connect(m_link, &ZoneLink::keyReceived, this, &frmback::MSCommzone_OnComm);
    connect(m_link, &ZoneLink::linkLost, this, [this] {
        setEquipmentStatus(QStringLiteral("外设状态：与分区控制器的连接中断，正在重新连接……"));
    });
    connect(m_link, &ZoneLink::linkRestored, this,
            [this] { setEquipmentStatus(QStringLiteral("外设状态：与分区控制器的连接已恢复")); });
    buildControls();
    buildMenus();
    buildStatusBar();
    connect(m_today, &TodaySchedule::nextItemChanged, this, [this](const QString &text) {
        // The panel's text separates its lines with CR; a label breaks at LF.
        QString shown = text;
        shown.replace(u'\r', u'\n');
        lblnextprog->setText(shown);
        lblnextprog->setProperty("panelText", text);
    });
}

frmback::~frmback() = default;

void frmback::buildControls()
{
    imgback = new BackgroundWidget(this);
    imgback->setObjectName(QStringLiteral("imgback"));
    setCentralWidget(imgback);
    connect(imgback, &BackgroundWidget::resized, this, &frmback::placeControls);

    lbluser = new QLabel(imgback);
    lbluser->setObjectName(QStringLiteral("lbluser"));
    QFont userFont = lbluser->font();
    userFont.setPointSize(26);
    userFont.setBold(true);
    lbluser->setFont(userFont);
    lbluser->setStyleSheet(QStringLiteral("color: #10307a;"));

    txttime = new QLineEdit(imgback);
    txttime->setObjectName(QStringLiteral("txttime"));
    txttime->setAccessibleName(QStringLiteral("txttime"));
    txttime->setReadOnly(true);
    txttime->setFocusPolicy(Qt::NoFocus);
    QFont clockFont = txttime->font();
    clockFont.setPointSize(13);
    txttime->setFont(clockFont);

    lvwprog = new QTreeView(imgback);
    lvwprog->setObjectName(QStringLiteral("lvwprog"));
    lvwprog->setAccessibleName(QStringLiteral("lvwprog"));
    lvwprog->setModel(m_model);
    lvwprog->setRootIsDecorated(false);
    lvwprog->setUniformRowHeights(true);
    lvwprog->setAlternatingRowColors(true);
    lvwprog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwprog->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwprog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwprog->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwprog, &QWidget::customContextMenuRequested, this, &frmback::showProgrammeMenu);

    lblnextprog = new QLabel(imgback);
    lblnextprog->setObjectName(QStringLiteral("lblnextprog"));
    lblnextprog->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblnextprog->setWordWrap(true);
    QFont nextFont = lblnextprog->font();
    nextFont.setPointSize(20);
    lblnextprog->setFont(nextFont);
    lblnextprog->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(255,255,255,200); color: #202060; }"));
    lblnextprog->hide();

    mp = new QVideoWidget(imgback);
    mp->setObjectName(QStringLiteral("mp"));
    mp->hide(); // shown by the player while the media has video

    fraplayer = new PlayerFrame(*m_playback, imgback);
    connect(fraplayer, &PlayerFrame::openRequested, this, &frmback::openAndPlay);
    connect(fraplayer, &PlayerFrame::hideRequested, this, [this] { setPlayerVisible(false); });
    // The master volume is always twice the slider value.
    connect(fraplayer->slider(), &QSlider::valueChanged, this,
            [this](int value) { m_volume->setPrSpeakerVolume(long(value) * 2); });
}

void frmback::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->setObjectName(QStringLiteral("mnufile"));
    QAction *exit = file->addAction(QStringLiteral("退出(&X)"));
    exit->setObjectName(QStringLiteral("mnuexit"));
    connect(exit, &QAction::triggered, this, &frmback::exitWithQuestion);

    QMenu *play = menuBar()->addMenu(QStringLiteral("播放控制(&P)"));
    play->setObjectName(QStringLiteral("mnuplay"));
    mnuauto = play->addAction(QStringLiteral("自动状态(&A)"));
    mnuauto->setObjectName(QStringLiteral("mnuauto"));
    mnuauto->setCheckable(true);
    connect(mnuauto, &QAction::triggered, this, &frmback::setAutomaticMode);
    mnumanual = play->addAction(QStringLiteral("手动状态(&M)"));
    mnumanual->setObjectName(QStringLiteral("mnumanual"));
    mnumanual->setCheckable(true);
    connect(mnumanual, &QAction::triggered, this, &frmback::setManualMode);
    play->addSeparator();
    QAction *up = play->addAction(QStringLiteral("增大音量"));
    up->setObjectName(QStringLiteral("mnuvolup"));
    up->setShortcut(Qt::Key_F12);
    connect(up, &QAction::triggered, this, &frmback::volumeUp);
    QAction *down = play->addAction(QStringLiteral("减小音量"));
    down->setObjectName(QStringLiteral("mnuvoldown"));
    down->setShortcut(Qt::Key_F11);
    connect(down, &QAction::triggered, this, &frmback::volumeDown);

    QMenu *window = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    window->setObjectName(QStringLiteral("mnuwindow"));
    mnushownext = window->addAction(QStringLiteral("显示待放曲目(&N)"));
    mnushownext->setObjectName(QStringLiteral("mnushownext"));
    mnushownext->setCheckable(true);
    connect(mnushownext, &QAction::triggered, this,
            [this] { setNextPanelVisible(!lblnextprog->isVisibleTo(this)); });
    mnushowlist = window->addAction(QStringLiteral("显示播放列表(&A)"));
    mnushowlist->setObjectName(QStringLiteral("mnushowlist"));
    mnushowlist->setCheckable(true);
    mnushowlist->setChecked(true); // the list is what the window shows by design
    connect(mnushowlist, &QAction::triggered, this,
            [this] { setListVisible(!lvwprog->isVisibleTo(this)); });
    mnushowplayer = window->addAction(QStringLiteral("显示播放器  (&P)"));
    mnushowplayer->setObjectName(QStringLiteral("mnushowplayer"));
    mnushowplayer->setCheckable(true);
    connect(mnushowplayer, &QAction::triggered, this,
            [this] { setPlayerVisible(!fraplayer->isVisibleTo(this)); });
    mnushowuser = window->addAction(QStringLiteral("显示用户名称(&U)"));
    mnushowuser->setObjectName(QStringLiteral("mnushowuser"));
    mnushowuser->setCheckable(true);
    connect(mnushowuser, &QAction::triggered, this,
            [this] { setUserLabelVisible(!lbluser->isVisibleTo(this)); });
    window->addSeparator();
    QAction *background = window->addAction(QStringLiteral("设置背景图片(&B)"));
    background->setObjectName(QStringLiteral("mnubackimage"));
    connect(background, &QAction::triggered, this, &frmback::chooseBackgroundPicture);

    // The list's pop-up menu, opened by the right mouse button over the list.
    mnuedit = new QMenu(QStringLiteral("编辑"), this);
    mnuedit->setObjectName(QStringLiteral("mnuedit"));
    QAction *playRow = mnuedit->addAction(QStringLiteral("播  放"));
    playRow->setObjectName(QStringLiteral("mnuplayrow"));
    connect(playRow, &QAction::triggered, this, &frmback::playSelectedRow);
    QAction *cancel = mnuedit->addAction(QStringLiteral("取  消"));
    cancel->setObjectName(QStringLiteral("mnucancel"));
    connect(cancel, &QAction::triggered, this,
            [this] { m_today->cancelRow(lvwprog->currentIndex().row()); });
    QAction *restore = mnuedit->addAction(QStringLiteral("恢  复"));
    restore->setObjectName(QStringLiteral("mnurestore"));
    connect(restore, &QAction::triggered, this,
            [this] { m_today->restoreRow(lvwprog->currentIndex().row()); });
}

void frmback::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    const struct
    {
        const char16_t *key;
        const char16_t *text;
        int stretch;
    } panels[4] = {
        {u"producer", u"QuellonQL-5300 数字广播控制台", 2},
        {u"user", u"用户：新用户", 2},
        {u"status", u"外设状态：", 3},
        {u"workstatus", u"工作状态：自动", 1},
    };
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(QString::fromUtf16(panels[i].text), bar);
        m_panels[i]->setObjectName(u"StatusBar1_" + QString::fromUtf16(panels[i].key));
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(m_panels[i], panels[i].stretch);
    }
}

void frmback::startUp()
{
    const QSize screenSize = screen() ? screen()->availableGeometry().size() : QSize(1280, 800);
    resize(screenSize);
    placeControls();
    m_today->listDateFolder();

    const SettingsLoader::Outcome outcome
        = SettingsLoader::LoadSettings(m_store, m_configIni, m_folder, m_settings);
    for (const QString &w : outcome.warnings)
        qWarning() << w;
    if (!outcome.unreadableKeys.isEmpty())
        qWarning() << "settings that could not be read, defaults used:" << outcome.unreadableKeys;
    if (!outcome.firstRun)
        applyDisplaySettings();
    SettingsLoader::LoadDisplayOptions(m_configIni, m_settings);

    SetupProgrammeList();
    m_today->LoadTodaySchedule(m_clock.now().date());

    m_link->OpenZonePort(m_settings.ComPort);

    SettingsLoader::LoadSourceFrequencies(m_folder, m_settings);
    SettingsLoader::LoadDeviceLeadTimes(m_configIni, m_settings);
    SettingsLoader::LoadNodeAddresses(m_folder, m_settings);
    SettingsLoader::LoadGroupNames(m_configIni, m_settings);

    m_today->ShowNextItem(0);

    mnushowplayer->setChecked(true);
    mnushowuser->setChecked(true);
    setAutomaticMode();
    m_panels[1]->setText(QStringLiteral("用户名称：") + m_settings.UserName);
    lbluser->setText(m_settings.UserName + QStringLiteral("Quellon"));
    lbluser->adjustSize();

    m_state.ReloadSchedule = false;
    m_state.OpenWeekFileRequest = false;
    m_state.NewWeekFileRequest = false;
    m_state.ManualMode = false;

    m_today->read_remote_song();
    m_today->ResetRemoteCursor();

    // The timers run before the mixer is opened: its failure message waits
    // for the operator, and the schedule must not wait with it.
    showClock();
    m_timerplayer->start();
    m_endOfDay->start();

    m_volume->meOpenMixer();
    if (m_volume->prMixerErr() == 0) {
        // Half the master range, but never beyond what a schedule file can
        // hold as a volume (a 16-bit number).
        QSlider *slider = fraplayer->slider();
        slider->setRange(int(m_volume->prSpeakerMinVolume()),
                         int(std::min<long>(m_volume->prSpeakerMaxVolume() / 2, 32767)));
        slider->setSingleStep(1000);
        slider->setPageStep(1000);
    }

    placeControls();
}

void frmback::applyDisplaySettings()
{
    if (!imgback->setPicture(m_settings.BackImagePath))
        qWarning() << "background picture could not be loaded:" << m_settings.BackImagePath;
    setListVisible(m_settings.ShowWholeList);
    setNextPanelVisible(!m_settings.ShowWholeList);
    lbluser->setText(m_settings.UserName);
}

void frmback::SetupProgrammeList()
{
    QHeaderView *header = lvwprog->header();
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const auto &columns = ProgrammeModel::columns();
    for (int c = 0; c < columns.size(); ++c)
        lvwprog->setColumnHidden(c, columns.at(c).widthOf72 == 0);
    // Rows are kept in time order by the model itself.
    lvwprog->setSortingEnabled(false);
    sizeProgrammeColumns();
}

void frmback::sizeProgrammeColumns()
{
    // The columns share the list's width; they follow it when the window resizes.
    // Taken from the list itself: its viewport is laid out only once it is shown.
    const int width = lvwprog->width() - 2 * lvwprog->frameWidth();
    const auto &columns = ProgrammeModel::columns();
    for (int c = 0; c < columns.size(); ++c) {
        if (columns.at(c).widthOf72 > 0)
            lvwprog->setColumnWidth(c, width * columns.at(c).widthOf72 / 72);
    }
}

void frmback::placeControls()
{
    const QSize area = imgback->size();
    const int listHeight = std::min(area.height() * 3 / 5 + twips(400), area.height() - 40);
    const QRect listRect(twips(30), area.height() - listHeight, area.width() - 2 * twips(30),
                         listHeight);
    const bool widthChanged = lvwprog->width() != listRect.width();
    lvwprog->setGeometry(listRect);
    lblnextprog->setGeometry(listRect);
    if (widthChanged)
        sizeProgrammeColumns();
    lbluser->move(twips(450), twips(300));
    const int clockWidth = std::min(420, area.width() / 2);
    txttime->setGeometry(area.width() - twips(200) - clockWidth, twips(150), clockWidth,
                         txttime->sizeHint().height());
    const QSize frameSize(std::max(clockWidth, fraplayer->sizeHint().width()),
                          fraplayer->sizeHint().height());
    fraplayer->setGeometry(QRect(QPoint(area.width() - twips(200) - frameSize.width(), twips(650)),
                                 frameSize));
    // The video picture sits between the user name and the player frame.
    const int videoTop = lbluser->geometry().bottom() + 8;
    const int videoHeight = std::max(listRect.top() - videoTop - 8, 0);
    mp->setGeometry(twips(450), videoTop,
                    std::min(videoHeight * 4 / 3, std::max(fraplayer->x() - twips(450) - 16, 0)),
                    videoHeight);
}

void frmback::setListVisible(bool visible)
{
    lvwprog->setVisible(visible);
    mnushowlist->setChecked(visible);
    if (visible) {
        // The list and the panel share their place on the screen.
        lblnextprog->hide();
        mnushownext->setChecked(false);
    }
}

void frmback::setNextPanelVisible(bool visible)
{
    lblnextprog->setVisible(visible);
    mnushownext->setChecked(visible);
    if (visible) {
        lvwprog->hide();
        mnushowlist->setChecked(false);
    }
}

void frmback::setUserLabelVisible(bool visible)
{
    lbluser->setVisible(visible);
    mnushowuser->setChecked(visible);
}

void frmback::setAutomaticMode()
{
    m_state.ManualMode = false;
    mnuauto->setChecked(true);
    mnumanual->setChecked(false);
    m_panels[3]->setText(QStringLiteral("工作状态：自动"));
}

void frmback::setManualMode()
{
    m_state.ManualMode = true;
    mnuauto->setChecked(false);
    mnumanual->setChecked(true);
    m_panels[3]->setText(QStringLiteral("工作状态：手动"));
}

void frmback::showClock()
{
    txttime->setText(clockFieldText(m_clock.now()));
}

void frmback::timerplayer_Timer()
{
    showClock();
    m_playback->refreshProgress();
    if (m_state.ManualMode)
        return;
    m_scheduler->tick();
}

void frmback::MSCommzone_OnComm(int code)
{
    m_remoteKeys->handle(code);
}

void frmback::stopPlayer()
{
    m_playback->stopAction();
}

void frmback::setPlayerTitle(const QString &title)
{
    m_playback->setTitle(title);
}

void frmback::setManualPlayback(bool on)
{
    m_playback->ManualPlayback = on;
}

void frmback::endProgram()
{
    close();
}

void frmback::enterRemoteManualMode()
{
    setManualMode();
    m_playback->ManualPlayback = true;
}

void frmback::stopForRemote()
{
    m_playback->stopAction();
    m_playback->ManualPlayback = false;
    setAutomaticMode();
}

int frmback::volumeSliderValue() const
{
    return fraplayer->slider()->value();
}

void frmback::setVolumeSliderValue(int value)
{
    fraplayer->slider()->setValue(value);
}

void frmback::closeEvent(QCloseEvent *event)
{
    // Nothing is switched off on the way out; the port is simply closed.
    m_link->closePort();
    QMainWindow::closeEvent(event);
}

void frmback::playsong(const QString &sfilename, const QString &splaylen)
{
    m_playback->playsong(sfilename, splaylen);
}

void frmback::volumeUp()
{
    fraplayer->slider()->setValue(PlaybackEngine::volumeUp(fraplayer->slider()->value()));
}

void frmback::volumeDown()
{
    fraplayer->slider()->setValue(PlaybackEngine::volumeDown(fraplayer->slider()->value()));
}

void frmback::setPlayerVisible(bool visible)
{
    fraplayer->setVisible(visible);
    mnushowplayer->setChecked(visible);
}

void frmback::setEquipmentStatus(const QString &text)
{
    m_panels[2]->setText(text);
}

void frmback::openAndPlay()
{
    const QString file = m_dialogs.openFileName(
        QStringLiteral("选择文件"), QString(),
        QStringLiteral("MP3文件;WAV文件;MIDI文件;VCD文件;WMA文件|*.mp3;*.wav;*.mid;*.dat;*.wma"), QString());
    if (file.isEmpty())
        return;
    m_playback->playsong(file, QStringLiteral("0"));
    m_playback->ManualPlayback = true;
}

void frmback::playSelectedRow()
{
    if (m_model->count() == 0) {
        m_dialogs.message(QStringLiteral("请设置播放文件"), QStringLiteral("没有播放文件"), MsgIcon::Error);
        return;
    }
    // Manual play sends no command; the status only tells the operator.
    if (!m_settings.AmpOpenChoice && m_settings.AmpOpenAll)
        setEquipmentStatus(QStringLiteral("外设状态：分区控制已打开"));
    const int row = std::max(lvwprog->currentIndex().row(), 0);
    const ScheduleEntry &entry = m_model->entry(row);
    fraplayer->slider()->setValue(entry.volume);
    m_playback->playsong(entry.filename, entry.plen);
    m_playback->ManualPlayback = true;
}

void frmback::exitWithQuestion()
{
    m_dialogs.beep();
    if (m_dialogs.message(QStringLiteral("真的要关闭本程序"), QStringLiteral("程序提示"),
                          MsgIcon::Question, MsgButtons::YesNo)
        == MsgAnswer::Yes)
        close();
}

void frmback::showProgrammeMenu(const QPoint &pos)
{
    const QModelIndex index = lvwprog->indexAt(pos);
    if (index.isValid())
        lvwprog->setCurrentIndex(index);
    mnuedit->popup(lvwprog->viewport()->mapToGlobal(pos));
}

void frmback::chooseBackgroundPicture()
{
    const QString path = m_dialogs.openFileName(QStringLiteral("设置背景图片"),
                                                m_folder.file(QStringLiteral("\\backimage")),
                                                QStringLiteral("*.jpg;*.bmp|*.jpg;*.bmp"), {});
    if (!path.isEmpty() && !imgback->setPicture(path))
        m_dialogs.message(QStringLiteral("无法打开图片文件：%1").arg(path),
                          QStringLiteral("设置背景图片"), MsgIcon::Exclamation);
}
