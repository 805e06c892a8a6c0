#include "console/frmback.h"

#include "audio/videoview.h"
#include "console/backgroundwidget.h"
#include "console/clocktext.h"
#include "console/console.h"
#include "console/mastervolume.h"
#include "console/playerframe.h"
#include "console/programmemodel.h"
#include "console/terminalsupervisor.h"
#include "console/todayschedule.h"
#include "console/windowhost.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTreeView>

Q_LOGGING_CATEGORY(lcWindow, "quellon.window")

namespace {
// Layout figures are given in twips (1/1440 inch); at 96 dots an inch a
// pixel is 15 twips.
constexpr int twips(int units)
{
    return units / 15;
}
} // namespace

frmback::frmback(Console &console, QWidget *parent)
    : QMainWindow(parent)
    , m_console(console)
    , m_windows(new WindowHost(this))
{
    setObjectName(QStringLiteral("frmback"));
    setWindowTitle(QStringLiteral("QuellonQL-5300"));
    buildControls();
    buildMenus();
    buildToolbar();
    buildStatusBar();
    buildEmergency();
    connect(m_windows, &WindowHost::added, this, &frmback::enableWindowActions);
    enableWindowActions();
    followConsole();
    // The window fills the screen, with or without a window manager to maximise it.
    if (QScreen *s = screen())
        setGeometry(s->availableGeometry());
    setupProgrammeList();
    showClock();
}

frmback::~frmback() = default;

void frmback::addWindow(const QString &name, std::function<QWidget *(QWidget *)> factory)
{
    m_windows->add(name, std::move(factory));
}

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
    lvwprog->setModel(&m_console.programme());
    lvwprog->setRootIsDecorated(false);
    lvwprog->setUniformRowHeights(true);
    lvwprog->setAlternatingRowColors(true);
    lvwprog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwprog->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwprog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A long file name keeps its start and its extension in view.
    elideItems(lvwprog, Qt::ElideMiddle);
    // The pop-up menu comes with the right mouse button (as it is pressed)
    // and, for the keyboard, with the menu key.
    lvwprog->installEventFilter(this);
    lvwprog->viewport()->installEventFilter(this);

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

    mp = new QWidget(imgback);
    mp->setObjectName(QStringLiteral("mp"));
    mp->hide(); // shown while the media has video
    // The sound engine draws the pictures into mp, or into a full-screen
    // window of the view's.
    m_video = new VideoView(m_console.player(), mp, this);

    fraplayer = new PlayerFrame(m_console.playback(), imgback);
    connect(fraplayer, &PlayerFrame::openRequested, this, &frmback::openAndPlay);
    connect(fraplayer, &PlayerFrame::hideRequested, this, [this] { setPlayerShown(false); });
    // The slider is a view of the console's one volume, and moving it sets it.
    QSlider *slider = fraplayer->slider();
    MasterVolume &volume = m_console.volume();
    slider->setRange(volume.minimum(), volume.maximum());
    slider->setValue(volume.value());
    slider->setSingleStep(1000);
    slider->setPageStep(1000);
    connect(slider, &QSlider::valueChanged, &volume, &MasterVolume::setValue);
    connect(&volume, &MasterVolume::valueChanged, slider, [slider](int value) {
        const QSignalBlocker blocker(slider);
        slider->setValue(value);
    });
    connect(&volume, &MasterVolume::rangeChanged, slider,
            [slider, &volume](int minimum, int maximum) {
                const QSignalBlocker blocker(slider);
                slider->setRange(minimum, maximum);
                slider->setValue(volume.value());
            });
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
    } panels[5] = {
        {u"producer", u"QuellonQL-5300 数字广播控制台", 2},
        {u"user", u"用户：新用户", 2},
        {u"status", u"外设状态：", 3},
        {u"workstatus", u"工作状态：自动", 1},
        {u"sound", u"", 2},
    };
    for (int i = 0; i < 5; ++i) {
        // A status too long for its panel ends in "…" and shows whole as a tooltip.
        m_panels[i] = new ElidedLabel(Qt::ElideRight, bar);
        m_panels[i]->setText(QString::fromUtf16(panels[i].text));
        m_panels[i]->setObjectName(u"StatusBar1_" + QString::fromUtf16(panels[i].key));
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(m_panels[i], panels[i].stretch);
    }
    // Shown only once the sound engine has had to be replaced.
    m_panels[4]->hide();
    m_alarmPanel = new ElidedLabel(Qt::ElideRight, bar);
    m_alarmPanel->setObjectName(QStringLiteral("StatusBar1_supervision"));
    m_alarmPanel->setFrameShape(QFrame::StyledPanel);
    m_alarmPanel->setFrameShadow(QFrame::Sunken);
    m_alarmPanel->setStyleSheet(QStringLiteral("color: #c00000;"));
    bar->addPermanentWidget(m_alarmPanel, 2);
    m_alarmPanel->hide();
}

void frmback::followConsole()
{
    ConsoleState &state = m_console.state();
    connect(&m_console, &Console::ticked, this, &frmback::showClock);
    connect(&state, &ConsoleState::manualModeChanged, this, &frmback::showWorkStatus);
    connect(&state, &ConsoleState::equipmentStatusChanged, m_panels[2], &QLabel::setText);
    connect(&state, &ConsoleState::soundStatusChanged, this, &frmback::showSoundStatus);
    connect(&m_console.supervisor(), &TerminalSupervisor::alarmTextChanged, this,
            &frmback::showSupervisionAlarm);
    connect(&m_console.settings(), &ConsoleSettings::loaded, this, &frmback::showLoadedSettings);
    connect(&m_console.settings(), &ConsoleSettings::applied, this, &frmback::showAppliedSettings);
    // The caption names the seasonal timetable that runs, when any is set.
    const auto showTimetable = [this](const QString &name) {
        setWindowTitle(name.isEmpty() ? QStringLiteral("QuellonQL-5300")
                                      : QStringLiteral("QuellonQL-5300 - ") + name);
    };
    connect(&m_console.today(), &TodaySchedule::timetableChanged, this, showTimetable);
    showTimetable(m_console.today().timetable());
    const auto showNextItem = [this](const QString &text) {
        // The panel's text separates its lines with CR; a label breaks at LF.
        QString shown = text;
        shown.replace(u'\r', u'\n');
        lblnextprog->setText(shown);
        lblnextprog->setProperty("panelText", text);
    };
    connect(&m_console.today(), &TodaySchedule::nextItemChanged, this, showNextItem);
    // The end of the program closes the window too, whatever else is open.
    connect(&m_console, &Console::programEnds, this, &QWidget::close);
    showWorkStatus(state.ManualMode());
    m_panels[2]->setText(state.equipmentStatus());
    showSoundStatus(state.soundStatus());
    showSupervisionAlarm(m_console.supervisor().alarmText());
    // A window made after the start-up shows what it already did.
    if (m_console.settings().isLoaded()) {
        showLoadedSettings(m_console.settings().firstRun());
        showNextItem(m_console.today().nextItem());
    }
}

void frmback::showSoundStatus(const QString &text)
{
    m_panels[4]->setText(text);
    m_panels[4]->setVisible(!text.isEmpty());
}

void frmback::showSupervisionAlarm(const QString &text)
{
    m_alarmPanel->setText(text);
    m_alarmPanel->setVisible(!text.isEmpty());
}

void frmback::showLoadedSettings(bool firstRun)
{
    // The first run keeps the designed look until the next start.
    if (!firstRun) {
        const AppSettings &s = m_console.settings().values();
        showPicture(s.BackImagePath, false);
        setView(s.ShowWholeList ? View::List : View::NextItem);
    }
    showUserName();
}

void frmback::showAppliedSettings()
{
    const AppSettings &s = m_console.settings().values();
    showPicture(s.BackImagePath, true);
    // "显示待播曲目" shows the next-item panel in the list's place, as at
    // the next start; hiding the list alone would leave the area empty.
    setView(s.ShowWholeList ? View::List : View::NextItem);
    showUserName();
}

void frmback::showUserName()
{
    const QString name = m_console.settings().values().UserName;
    m_panels[1]->setText(QStringLiteral("用户名称：") + name);
    lbluser->setText(name + QStringLiteral("Quellon"));
    lbluser->adjustSize();
    placeControls();
}

void frmback::showPicture(const QString &path, bool tellFailure)
{
    QImage picture(path);
    if (picture.isNull()) {
        qWarning() << "background picture could not be loaded:" << path;
        // At start-up the area stays empty; a picture chosen later keeps the old one.
        if (tellFailure)
            m_console.dialogs().notify(QStringLiteral("无法打开背景图片：%1").arg(path),
                                       QStringLiteral("设置背景图片"), MsgIcon::Exclamation, this);
        else
            imgback->setPicture(QString());
        return;
    }
    imgback->setPicture(path);
}

void frmback::showClock()
{
    txttime->setText(clockFieldText(m_console.clock().now()));
}

void frmback::showWorkStatus(bool manual)
{
    mnuauto->setChecked(!manual);
    mnumanual->setChecked(manual);
    m_panels[3]->setText(manual ? QStringLiteral("工作状态：手动")
                                : QStringLiteral("工作状态：自动"));
}

// The list and the next-item panel share their place: one of them is shown,
// and its menu item alone is ticked, whichever command, setting or start-up
// chose it. An area showing neither would look like a console with nothing
// to play.
void frmback::setView(View view)
{
    m_view = view;
    lvwprog->setVisible(view == View::List);
    lblnextprog->setVisible(view == View::NextItem);
    mnushowlist->setChecked(view == View::List);
    mnushownext->setChecked(view == View::NextItem);
}

void frmback::setPlayerShown(bool shown)
{
    fraplayer->setVisible(shown);
    mnushowplayer->setChecked(shown);
}

void frmback::setUserShown(bool shown)
{
    lbluser->setVisible(shown);
    mnushowuser->setChecked(shown);
}

// Each toggle shows its view, or the other one when its view is shown.
void frmback::mnushownext_Click()
{
    setView(m_view == View::NextItem ? View::List : View::NextItem);
}

void frmback::mnushowlist_Click()
{
    setView(m_view == View::List ? View::NextItem : View::List);
}

void frmback::tbr1_detail_Click()
{
    mnushowlist_Click();
}

void frmback::mnushowplayer_Click()
{
    setPlayerShown(!fraplayer->isVisibleTo(this));
}

void frmback::mnushowuser_Click()
{
    setUserShown(!lbluser->isVisibleTo(this));
}

void frmback::setupProgrammeList()
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
    fraplayer->setGeometry(
        QRect(QPoint(area.width() - twips(200) - frameSize.width(), twips(650)), frameSize));
    // The video picture sits between the user name and the player frame.
    const int videoTop = lbluser->geometry().bottom() + 8;
    const int videoHeight = std::max(listRect.top() - videoTop - 8, 0);
    mp->setGeometry(twips(450), videoTop,
                    std::min(videoHeight * 4 / 3, std::max(fraplayer->x() - twips(450) - 16, 0)),
                    videoHeight);
    placeEmergencyBanner();
}

int frmback::currentRow() const
{
    return lvwprog->currentIndex().row();
}

bool frmback::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvwprog->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() == Qt::RightButton) {
            showProgrammeMenu(press->position().toPoint());
            return true;
        }
    }
    if ((watched == lvwprog || watched == lvwprog->viewport())
        && event->type() == QEvent::ContextMenu) {
        // A mouse's context menu event was answered by its press already.
        if (static_cast<QContextMenuEvent *>(event)->reason() != QContextMenuEvent::Mouse) {
            const QRect row = lvwprog->visualRect(lvwprog->currentIndex());
            showProgrammeMenu(row.isValid() ? row.center() : QPoint(0, 0));
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmback::showProgrammeMenu(const QPoint &pos)
{
    const QModelIndex index = lvwprog->indexAt(pos);
    if (index.isValid())
        lvwprog->setCurrentIndex(index);
    mnuedit->popup(lvwprog->viewport()->mapToGlobal(pos));
}

void frmback::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    qCInfo(lcWindow) << "the main window is shown";
}

void frmback::closeEvent(QCloseEvent *event)
{
    // The operator's own close lets the other windows ask about their unsaved
    // edits first; one kept open keeps the program running. The end of the
    // day does not wait for anybody.
    if (!m_console.ending() && !m_windows->closeAll()) {
        event->ignore();
        return;
    }
    // Unloading the window ends the program: the port is closed, nothing is
    // switched off and nothing is saved.
    m_console.endProgram();
    QMainWindow::closeEvent(event);
}
