#include "console/console.h"

#include "console/asrunevents.h"
#include "console/emergencybroadcast.h"
#include "console/endofday.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/remotekeys.h"
#include "console/remotelist.h"
#include "console/scheduler.h"
#include "console/terminalsupervisor.h"
#include "console/todayschedule.h"
#include "platform/asrunlog.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/logwriter.h"
#include "platform/mediaplayer.h"
#include "platform/programlauncher.h"
#include "platform/secondticker.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcConsole, "quellon.console")

Console::Console(const Services &services, QObject *parent)
    : QObject(parent)
    , m_s(services)
    , m_settings(services.store, services.folder)
    , m_model(std::make_unique<ProgrammeModel>())
    , m_log(std::make_unique<LogWriter>(m_s.folder, m_s.clock, m_s.dialogs))
    , m_asRun(std::make_unique<AsRunLog>(m_s.folder, m_s.clock))
{
    const AppSettings &values = m_settings.values();
    m_today = std::make_unique<TodaySchedule>(m_s.folder, values, m_state, *m_model, m_s.dialogs);
    m_playback = std::make_unique<PlaybackEngine>(m_s.player, values);
    m_volume = std::make_unique<MasterVolume>(m_s.mixer, m_s.dialogs);
    m_link = std::make_unique<ZoneLink>(m_s.port, m_s.store, m_s.dialogs);
    m_link->setObjectName(QStringLiteral("MSCommzone"));
    m_remoteList = std::make_unique<RemoteList>(m_s.folder, values, *m_model);
    m_remoteKeys = std::make_unique<RemoteKeys>(
        RemoteKeys::Services {m_state, values, *m_remoteList, *m_link, *m_playback, *m_volume});
    m_scheduler = std::make_unique<Scheduler>(
        Scheduler::Services {m_s.clock, m_settings, m_state, *m_model, *m_today, *m_link,
                             *m_playback, *m_volume, *m_log, m_s.dialogs});
    m_emergency = std::make_unique<EmergencyBroadcast>(EmergencyBroadcast::Services {
        m_s.clock, m_settings, *m_scheduler, *m_link, *m_playback, *m_volume});
    m_endOfDay = std::make_unique<EndOfDay>(EndOfDay::Services {
        m_s.clock, values, m_state, *m_model, *m_today, *m_scheduler, *m_link, *m_log, m_s.power});
    m_supervisor = std::make_unique<TerminalSupervisor>(
        TerminalSupervisor::Services {m_s.clock, *m_link, *m_asRun});
    connect(&m_settings, &ConsoleSettings::changed, m_supervisor.get(),
            [this] { m_supervisor->setEnabled(m_settings.values().SuperviseTerminals); });
    m_timerplayer = std::make_unique<SecondTicker>(m_s.clock);
    m_timerplayer->setObjectName(QStringLiteral("timerplayer"));
    AsRunEvents::connect(*this, *m_asRun);

    connect(m_timerplayer.get(), &SecondTicker::tick, this, &Console::timerplayer_Timer);
    connect(m_link.get(), &ZoneLink::keyReceived, this, [this](int code) {
        // An emergency keeps the rooms open whatever a remote holder presses;
        // only stop counts, and it ends the emergency.
        if (m_emergency->active()) {
            if (RemoteKey(code) == RemoteKey::KeyStop)
                m_emergency->end();
            return;
        }
        m_remoteKeys->handle(code);
    });
    // Every reload of today's list reads rem_list.txt again and resets the cursor.
    connect(m_today.get(), &TodaySchedule::listReloaded, m_remoteList.get(), &RemoteList::reload);
    connect(&m_savedFiles, &SavedFiles::saved, this, &Console::fileSaved);
    connect(m_link.get(), &ZoneLink::linkLost, this, [this] {
        m_state.setEquipmentStatus(
            QStringLiteral("外设状态：与分区控制器的连接中断，正在重新连接……"));
    });
    connect(m_link.get(), &ZoneLink::linkRestored, this, [this] {
        m_state.setEquipmentStatus(QStringLiteral("外设状态：与分区控制器的连接已恢复"));
    });
    connect(m_endOfDay.get(), &EndOfDay::programEnds, this, &Console::endProgram);
    // An item taken up again after a restart: the log says where it went on,
    // and whoever comes to the console sees that it stopped and went on.
    connect(m_scheduler.get(), &Scheduler::itemResumed, this,
            [this](const QString &time, const QString &file, int elapsed) {
                m_asRun->record(QStringLiteral("恢复播放"),
                                QStringLiteral("%1（%2 开始），从第 %3 秒处继续")
                                    .arg(file, time, QString::number(elapsed)));
                m_s.dialogs.notify(QStringLiteral("已恢复播放：") + fileTitle(file),
                                   QStringLiteral("恢复播放"), MsgIcon::Information, nullptr);
            });
    connect(m_scheduler.get(), &Scheduler::itemNotResumed, this,
            [this](const QString &time, const QString &file, const QString &reason) {
                m_asRun->record(
                    QStringLiteral("错过"),
                    QStringLiteral("%1（%2 开始）未恢复播放：%3").arg(file, time, reason));
            });
    // The player's sound engine was replaced: what played goes on, and the
    // operator sees that it happened and when.
    connect(&m_s.player, &MediaPlayer::restarted, this, [this](const QString &why) {
        ++m_soundRestarts;
        qCWarning(lcConsole).noquote() << "the sound engine was replaced:" << why;
        m_state.setSoundStatus(QStringLiteral("声音引擎于 %1 重新启动（第 %2 次）")
                                   .arg(m_s.clock.now().toString(QStringLiteral("HH:mm:ss")))
                                   .arg(m_soundRestarts));
    });
}

Console::~Console()
{
    // Frames still queued are told they were not sent, with nothing started
    // by their completions any more.
    stopParts();
}

void Console::stopParts()
{
    m_timerplayer->stop();
    m_emergency->stop();
    m_scheduler->stop();
    m_endOfDay->stop();
    m_link->closePort();
}

void Console::startUp()
{
    m_asRun->record(QStringLiteral("启动"), QStringLiteral("控制台启动"));
    m_today->listDateFolder();
    m_settings.loadStoredSettings();
    m_today->LoadTodaySchedule(m_s.clock.now().date());
    m_link->OpenZonePort(m_settings.values().ComPort);
    m_settings.loadTables();
    m_today->startOver();
    m_state.setReloadSchedule(false);
    m_state.clearEditorRequests();
    m_state.setManualMode(false);
    m_remoteList->reload();
    // The mixer's failure is a notice, so the timers may start before or
    // after it; they start last, as the window's load sequence ends.
    m_volume->open();
    m_scheduler->resumeRunningItems(
        AsRunEvents::rowsLeftCancelled(m_asRun->fileFor(m_s.clock.now().date())));
    m_timerplayer->start();
    m_endOfDay->start();
    qCInfo(lcConsole) << "started";
}

void Console::playsong(const QString &sfilename, const QString &splaylen)
{
    m_playback->playsong(sfilename, splaylen, PlayerHolder::Hand);
}

void Console::fileSaved(SavedFiles::Kind kind, const QString &path)
{
    switch (kind) {
    case SavedFiles::Kind::NodeDirectory:
    case SavedFiles::Kind::SourceNames:
        // The next item is sent with the new frequency, its devices open
        // with the new lead, the terminals are the new ones.
        m_settings.loadTables();
        return;
    case SavedFiles::Kind::RemoteList:
        // The remote keys step through the new list from the next key on;
        // the cursor stays where it was.
        if (path == m_s.folder.file(QStringLiteral("\\rem_list.txt")))
            m_remoteList->read_remote_song();
        return;
    case SavedFiles::Kind::WeekSchedule:
    case SavedFiles::Kind::SystemClock:
        // Today's list is reloaded at the next tick: from the file saved, or
        // for the date the clock now shows.
        m_state.setReloadSchedule(true);
        return;
    case SavedFiles::Kind::DateSchedule:
        // A date file saved is read when its day comes; in date mode it may
        // be the one today's list comes from.
        if (!m_settings.values().WeekMode)
            m_state.setReloadSchedule(true);
        return;
    }
}

void Console::setAutomaticMode()
{
    m_state.setManualMode(false);
}

void Console::setManualMode()
{
    m_state.setManualMode(true);
}

void Console::playRowByHand(int row)
{
    if (m_model->count() == 0) {
        m_s.dialogs.message(QStringLiteral("请设置播放文件"), QStringLiteral("没有播放文件"),
                            MsgIcon::Error, MsgButtons::Ok, nullptr);
        return;
    }
    // Manual play sends no command; the status only tells the operator.
    const AppSettings &values = m_settings.values();
    if (!values.AmpOpenChoice && values.AmpOpenAll)
        m_state.setEquipmentStatus(QStringLiteral("外设状态：分区控制已打开"));
    const int r = row >= 0 && row < m_model->count() ? row : 0;
    const ScheduleEntry &entry = m_model->entry(r);
    m_volume->setValue(entry.volume);
    m_playback->playByHand(entry.filename, entry.plen, PlayerHolder::Hand);
}

void Console::stopItemsNow()
{
    if (m_ending)
        return;
    // During an emergency, stop means its end, as the remote's stop key does:
    // what it switched on closes and the held items are given back.
    if (m_emergency->active()) {
        m_emergency->end();
        return;
    }
    // The sound first: the rooms must not hear it cut by their own close.
    m_playback->stopByHand();
    m_state.setManualMode(false);
    m_scheduler->switchOffNow();
}

void Console::playFileByHand(const QString &path)
{
    if (path.isEmpty())
        return;
    m_playback->playByHand(path, QStringLiteral("0"), PlayerHolder::Hand);
}

bool Console::requestEditCurrentWeekFile()
{
    const AppSettings &values = m_settings.values();
    const QString title = QStringLiteral("请设置工作文件");
    if (values.WeekMode && values.WeekFilePath.isEmpty()) {
        m_s.dialogs.message(QStringLiteral("没有设置星期工作文件，请在系统设置中选择相应的文件"),
                            title, MsgIcon::Information, MsgButtons::Ok, nullptr);
        return false;
    }
    if (!values.WeekMode && values.DateFilePath.isEmpty()) {
        m_s.dialogs.message(
            QStringLiteral("没有设置日期工作文件，请在系统设置中选择相应的文件或直接打开"), title,
            MsgIcon::Information, MsgButtons::Ok, nullptr);
        return false;
    }
    m_state.setEditCurrentWeekFileRequest(true);
    return values.WeekMode;
}

QStringList Console::soundRecorderPrograms()
{
    return {QStringLiteral("gnome-sound-recorder"), QStringLiteral("audacity")};
}

bool Console::startSoundRecorder()
{
    if (!m_s.launcher.startFirst(soundRecorderPrograms()).isEmpty())
        return true;
    m_s.dialogs.message(QStringLiteral("录音机程序位置不正确或未安装"),
                        QStringLiteral("录音程序错误"), MsgIcon::Information, MsgButtons::Ok,
                        nullptr);
    return false;
}

QStringList Console::applySettings(const AppSettings &values)
{
    const QStringList failures = m_settings.apply(values);
    m_state.setReloadSchedule(true);
    return failures;
}

void Console::timerplayer_Timer()
{
    if (m_ending)
        return;
    // The clock first, then the progress and the scheduler.
    Q_EMIT ticked();
    m_playback->refreshProgress();
    // The emergency holds the scheduler, in either work status.
    if (m_emergency->active()) {
        m_emergency->tick();
        return;
    }
    if (m_state.ManualMode()) {
        m_scheduler->skipTick();
        return;
    }
    m_scheduler->tick();
    // Right after the tick, so that a query finds the line as the tick left it.
    m_supervisor->check(TerminalSupervisor::dutyOf(
        [this](int c) -> const ChannelStateRecord & { return m_scheduler->channelState(c); },
        m_s.clock.now()));
}

void Console::endProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    // Nothing is switched off and nothing starts again: frames still on
    // their way are dropped, and their completions only log.
    stopParts();
    qCInfo(lcConsole) << "the program ends";
    Q_EMIT programEnds();
}
