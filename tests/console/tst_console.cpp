// The running console without any window: its load sequence, the state it
// owns and announces, and the commands the main window passes on to it.

#include "console/endofday.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/remotekeys.h"
#include "console/remotelist.h"
#include "console/scheduler.h"
#include "console/todayschedule.h"
#include "consolerig.h"
#include "platform/secondticker.h"
#include "support/gbkfiles.h"
#include "zonelink/controllerclock.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Console : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void startUpLoadsTheDay();
    void startUpMessagesDoNotWait_data();
    void startUpMessagesDoNotWait();
    void workModeIsAnnounced();
    void manualModeKeepsOnlyTheClock();
    void volumeRange_data();
    void volumeRange();
    void volumeCommands_data();
    void volumeCommands();
    void volumeWithoutMixer();
    void playRowByHand_data();
    void playRowByHand();
    void playRowOnEmptyList();
    void editCurrentWeekFile_data();
    void editCurrentWeekFile();
    void soundRecorder_data();
    void soundRecorder();
    void applyStoresAndReloads_data();
    void applyStoresAndReloads();
    void applyReportsWhatCouldNotBeSaved();
    void endProgramOnce();
    void endOfDayEndsTheProgram();
    void endingStartsNothingAgain_data();
    void endingStartsNothingAgain();
    void linkStatusIsAnnounced();
    void remoteListIsReadAgain();
    void reloadReadsTheRemoteListAgain();
    void sourceNamesAreReadAgainWhenSaved();
    void savedSchedulesReloadToday_data();
    void savedSchedulesReloadToday();
    void theControllerFollowsTheSystemClock();

private:
    std::unique_ptr<ConsoleRig> m_rig;
};

void tst_Console::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_Console::startUpLoadsTheDay()
{
    Console &c = m_rig->start(false);
    QSignalSpy loaded(&c.settings(), &ConsoleSettings::loaded);
    QSignalSpy next(&c.today(), &TodaySchedule::nextItemChanged);
    c.state().setNewWeekFileRequest(true);
    c.state().setReloadSchedule(true);
    c.startUp();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.at(0).at(0).toBool(), false);
    const ProgrammeModel &m = c.programme();
    QCOMPARE(m.count(), 3);
    QCOMPARE(m.cellText(0, ProgrammeModel::TimeColumn), u"07:30:00"_s);
    QCOMPARE(m.cellText(2, ProgrammeModel::TimeColumn), u"12:00:00"_s);
    QCOMPARE(next.size(), 1);
    QVERIFY(next.at(0).at(0).toString().contains(u"播放时间：07:30:00"_s));
    QCOMPARE(c.remoteList().cursor(), 1);
    QVERIFY(!c.state().ReloadSchedule());
    QVERIFY(!c.state().NewWeekFileRequest());
    QVERIFY(!c.state().ManualMode());
    QVERIFY(c.link().isOpen());
    QVERIFY(c.secondTicker().isActive());
    QVERIFY(c.endOfDay().timercomm.isActive());
    QVERIFY(!c.endOfDay().Timershutdown.isActive());
    QCOMPARE(c.settings().values().UserName, u"第一中学"_s);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_Console::startUpMessagesDoNotWait_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("no serial device") << "port"
                                      << "打开串行口错误，请重新选择串行口"
                                      << "串行口设置不对";
    QTest::newRow("no mixer") << "mixer"
                              << "Could not open the mixer."
                              << "Volume Control";
    QTest::newRow("broken week file") << "schedule"
                                      << "读取文件失败，可能文件设置有误或文件格式不对"
                                      << "请检查";
}

void tst_Console::startUpMessagesDoNotWait()
{
    QFETCH(QString, fault);
    QFETCH(QString, text);
    QFETCH(QString, title);
    if (fault == u"port")
        m_rig->port.devices.clear();
    else if (fault == u"mixer")
        m_rig->mixer.openResult = -2;
    else
        GbkFiles::writeText(m_rig->weekFile,
                            u"00,00,00,星期一,00,00,00,00,00\n08:00:00, x ,b,c, 1 ,,,,\n"_s);
    Console &c = m_rig->start();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, text);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, title);
    // Raised by the start-up: shown as a notice, so nothing waits for the operator.
    QVERIFY(!m_rig->dialogs.shown.at(0).waited);
    QVERIFY(c.secondTicker().isActive());
    QVERIFY(c.endOfDay().timercomm.isActive());
}

void tst_Console::workModeIsAnnounced()
{
    Console &c = m_rig->start();
    QSignalSpy mode(&c.state(), &ConsoleState::manualModeChanged);
    c.setManualMode();
    c.setManualMode();
    c.setAutomaticMode();
    QCOMPARE(mode.size(), 2);
    QCOMPARE(mode.at(0).at(0).toBool(), true);
    QCOMPARE(mode.at(1).at(0).toBool(), false);
}

void tst_Console::manualModeKeepsOnlyTheClock()
{
    Console &c = m_rig->start();
    QSignalSpy queued(&c.link(), &ZoneLink::frameQueued);
    QSignalSpy ticked(&c, &Console::ticked);
    c.setManualMode();
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 0)));
    c.timerplayer_Timer();
    QCOMPARE(ticked.size(), 1);
    QCOMPARE(queued.size(), 0);
    QCOMPARE(c.programme().state(0), RowState::Waiting);
    c.setAutomaticMode();
    c.timerplayer_Timer();
    QCOMPARE(ticked.size(), 2);
    QCOMPARE(c.programme().state(0), RowState::Done);
    QVERIFY(queued.size() >= 6);
}

void tst_Console::volumeRange_data()
{
    QTest::addColumn<long>("minimum");
    QTest::addColumn<long>("maximum");
    QTest::addColumn<int>("sliderMax");
    QTest::newRow("0..65535") << 0L << 65535L << 32767;
    QTest::newRow("0..65536 stays within a schedule volume") << 0L << 65536L << 32767;
    QTest::newRow("0..127") << 0L << 127L << 63;
}

void tst_Console::volumeRange()
{
    QFETCH(long, minimum);
    QFETCH(long, maximum);
    QFETCH(int, sliderMax);
    m_rig->mixer.speaker = Mixer::Range {minimum, maximum};
    Console &c = m_rig->start(false);
    QSignalSpy range(&c.volume(), &MasterVolume::rangeChanged);
    c.startUp();
    QCOMPARE(range.size(), 1);
    QCOMPARE(c.volume().minimum(), int(minimum));
    QCOMPARE(c.volume().maximum(), sliderMax);
    c.volume().setValue(40000);
    QCOMPARE(c.volume().value(), sliderMax);
    QCOMPARE(m_rig->mixer.speakerSet.last(), long(sliderMax) * 2);
}

void tst_Console::volumeCommands_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("result");
    QTest::newRow("up") << 5000 << "up" << 6000;
    QTest::newRow("up from 31766") << 31766 << "up" << 32766;
    QTest::newRow("up from 31767 to the top") << 31767 << "up" << 32767;
    QTest::newRow("down") << 5000 << "down" << 4000;
    QTest::newRow("down from 1001") << 1001 << "down" << 1;
    QTest::newRow("down from 1000 to zero") << 1000 << "down" << 0;
}

void tst_Console::volumeCommands()
{
    QFETCH(int, from);
    QFETCH(QString, command);
    QFETCH(int, result);
    Console &c = m_rig->start();
    c.volume().setValue(from);
    QSignalSpy changed(&c.volume(), &MasterVolume::valueChanged);
    m_rig->mixer.speakerSet.clear();
    command == u"up" ? c.volume().up() : c.volume().down();
    QCOMPARE(c.volume().value(), result);
    QCOMPARE(changed.size(), 1);
    // The master volume follows at twice the value, once per change.
    QCOMPARE(m_rig->mixer.speakerSet, QList<long> {long(result) * 2});
    c.volume().setValue(result);
    QCOMPARE(m_rig->mixer.speakerSet.size(), 1);
}

void tst_Console::volumeWithoutMixer()
{
    m_rig->mixer.openResult = -2;
    Console &c = m_rig->start();
    QCOMPARE(c.volume().maximum(), 32767);
    c.volume().setValue(4000);
    QCOMPARE(c.volume().value(), 4000);
    QVERIFY(m_rig->mixer.speakerSet.isEmpty()); // moving it has no effect on the output
}

void tst_Console::playRowByHand_data()
{
    QTest::addColumn<bool>("choice");
    QTest::addColumn<bool>("all");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("plays"); // row whose file plays
    QTest::newRow("open by choice") << true << true << 1 << "外设状态：" << 1;
    QTest::newRow("open all") << false << true << 1 << "外设状态：分区控制已打开" << 1;
    QTest::newRow("neither") << false << false << 1 << "外设状态：" << 1;
    QTest::newRow("no row chosen plays the first") << true << false << -1 << "外设状态：" << 0;
}

void tst_Console::playRowByHand()
{
    QFETCH(bool, choice);
    QFETCH(bool, all);
    QFETCH(int, row);
    QFETCH(QString, status);
    QFETCH(int, plays);
    m_rig->setting(u"ampopenchoice"_s, choice ? u"True"_s : u"False"_s);
    m_rig->setting(u"ampopenall"_s, all ? u"True"_s : u"False"_s);
    const QString first = m_rig->file(u"song/起床.wav"_s);
    const QString second = m_rig->file(u"song/上课.wav"_s);
    GbkFiles::writeBytes(first, QByteArray("RIFF"));
    GbkFiles::writeBytes(second, QByteArray("RIFF"));
    m_rig->writeWeek(ConsoleRig::line(u"07:30:00"_s, u"起床"_s, first, 11000)
                     + ConsoleRig::line(u"08:00:00"_s, u"上课"_s, second, 12345));
    Console &c = m_rig->start();
    QSignalSpy queued(&c.link(), &ZoneLink::frameQueued);
    c.playRowByHand(row);
    QCOMPARE(c.state().equipmentStatus(), status);
    QCOMPARE(c.volume().value(), plays == 1 ? 12345 : 11000);
    QCOMPARE(m_rig->player.source, plays == 1 ? second : first);
    QVERIFY(c.playback().manualPlayback());
    QCOMPARE(c.playback().title(), plays == 1 ? u"上课.wav"_s : u"起床.wav"_s);
    QCOMPARE(queued.size(), 0); // playing by hand sends nothing
}

void tst_Console::playRowOnEmptyList()
{
    m_rig->setting(u"defaultweekfile"_s, QString());
    Console &c = m_rig->start();
    c.playRowByHand(0);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"请设置播放文件"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"没有播放文件"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Error);
    QVERIFY(m_rig->player.calls.isEmpty());
}

void tst_Console::editCurrentWeekFile_data()
{
    QTest::addColumn<bool>("weekMode");
    QTest::addColumn<bool>("weekFile");
    QTest::addColumn<bool>("dateFile");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("showEditor");
    QTest::addColumn<bool>("request");
    QTest::newRow("week mode without a week file")
        << true << false << true << "没有设置星期工作文件，请在系统设置中选择相应的文件" << false
        << false;
    QTest::newRow("date mode without a date file")
        << false << true << false << "没有设置日期工作文件，请在系统设置中选择相应的文件或直接打开"
        << false << false;
    QTest::newRow("week mode shows the editor") << true << true << false << "" << true << true;
    QTest::newRow("date mode: the request waits") << false << false << true << "" << false << true;
}

void tst_Console::editCurrentWeekFile()
{
    QFETCH(bool, weekMode);
    QFETCH(bool, weekFile);
    QFETCH(bool, dateFile);
    QFETCH(QString, message);
    QFETCH(bool, showEditor);
    QFETCH(bool, request);
    m_rig->setting(u"weekmode"_s, weekMode ? u"True"_s : u"False"_s);
    m_rig->setting(u"defaultweekfile"_s, weekFile ? m_rig->weekFile : QString());
    m_rig->setting(u"defaultdatefile"_s,
                   dateFile ? m_rig->file(u"table/date/20261207.txt"_s) : QString());
    Console &c = m_rig->start();
    m_rig->dialogs.shown.clear();
    QCOMPARE(c.requestEditCurrentWeekFile(), showEditor);
    QCOMPARE(c.state().EditCurrentWeekFileRequest(), request);
    if (message.isEmpty()) {
        QVERIFY(m_rig->dialogs.shown.isEmpty());
        return;
    }
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, message);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"请设置工作文件"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Information);
}

void tst_Console::soundRecorder_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("message");
    QTest::newRow("none installed")
        << QStringList() << QStringList {u"gnome-sound-recorder"_s, u"audacity"_s} << true;
    QTest::newRow("the second") << QStringList {u"audacity"_s}
                                << QStringList {u"gnome-sound-recorder"_s, u"audacity"_s} << false;
    QTest::newRow("the first") << QStringList {u"gnome-sound-recorder"_s, u"audacity"_s}
                               << QStringList {u"gnome-sound-recorder"_s} << false;
}

void tst_Console::soundRecorder()
{
    QFETCH(QStringList, installed);
    QFETCH(QStringList, asked);
    QFETCH(bool, message);
    m_rig->launcher.installed = installed;
    Console &c = m_rig->start();
    QCOMPARE(c.startSoundRecorder(), !message);
    QCOMPARE(m_rig->launcher.asked, asked);
    QCOMPARE(m_rig->dialogs.shown.size(), message ? 1 : 0);
    if (message) {
        QCOMPARE(m_rig->dialogs.shown.at(0).text, u"录音机程序位置不正确或未安装"_s);
        QCOMPARE(m_rig->dialogs.shown.at(0).title, u"录音程序错误"_s);
        QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Information);
    }
}

void tst_Console::applyStoresAndReloads_data()
{
    QTest::addColumn<bool>("weekMode");
    QTest::addColumn<QString>("firstTime"); // of today's list after the next tick
    QTest::newRow("another week file") << true << "06:45:00";
    QTest::newRow("date mode reads today's date file") << false << "10:10:10";
}

void tst_Console::applyStoresAndReloads()
{
    QFETCH(bool, weekMode);
    QFETCH(QString, firstTime);
    const QString otherWeek = m_rig->file(u"table/week/other.txt"_s);
    GbkFiles::writeText(otherWeek,
                        u"00,00,00,星期一,00,00,00,00,00\n"_s
                            + ConsoleRig::line(u"06:45:00"_s, u"早操"_s));
    GbkFiles::writeText(m_rig->file(u"table/date/20261207.txt"_s),
                        ConsoleRig::line(u"10:10:10"_s, u"校庆"_s));
    Console &c = m_rig->start();
    QSignalSpy applied(&c.settings(), &ConsoleSettings::applied);
    m_rig->store.writes.clear();
    AppSettings s = c.settings().values();
    s.WeekMode = weekMode;
    s.WeekFilePath = otherWeek;
    s.UserName = QString();
    s.ShowVideo = true;
    QVERIFY(c.applySettings(s).isEmpty());
    QCOMPARE(applied.size(), 1);
    // The fifteen keys in their order, then the console's own running options.
    QCOMPARE(m_rig->store.writes.mid(15),
             (QStringList {u"asrun_keep_days"_s, u"supervise_terminals"_s, u"start_at_login"_s,
                           u"web_control"_s, u"web_port"_s, u"web_password"_s, u"web_network"_s,
                           u"seasons"_s, u"emergency_channel"_s, u"emergency_file"_s,
                           u"emergency_line_in"_s}));
    QCOMPARE(m_rig->store.writes.first(15),
             (QStringList {u"backimage"_s, u"userinfor"_s, u"dislaylist"_s, u"weekmode"_s,
                           u"defaultdatefile"_s, u"defaultweekfile"_s, u"shutdown"_s,
                           u"auto_set_open_time"_s, u"com"_s, u"openamptime"_s, u"closeamptime"_s,
                           u"ampnoopen"_s, u"ampopenall"_s, u"ampopenchoice"_s, u"rm_scope"_s}));
    QCOMPARE(m_rig->store.values.value(u"setting/weekmode"_s), weekMode ? u"True"_s : u"False"_s);
    QCOMPARE(m_rig->store.values.value(u"setting/userinfor"_s), QString());
    QVERIFY(GbkFiles::readText(m_rig->file(u"config.ini"_s)).contains(u"VCD=1\r\n"_s));
    QVERIFY(c.settings().values().ShowVideo);
    QVERIFY(c.state().ReloadSchedule());
    // The list is reloaded at the next tick, in the new mode.
    QCOMPARE(c.programme().cellText(0, ProgrammeModel::TimeColumn), u"07:30:00"_s);
    c.timerplayer_Timer();
    QVERIFY(!c.state().ReloadSchedule());
    QCOMPARE(c.programme().count(), 1);
    QCOMPARE(c.programme().cellText(0, ProgrammeModel::TimeColumn), firstTime);
}

void tst_Console::applyReportsWhatCouldNotBeSaved()
{
    Console &c = m_rig->start();
    // config.ini cannot be replaced: a folder stands in its way.
    QFile::remove(m_rig->file(u"config.ini"_s));
    QVERIFY(QDir().mkpath(m_rig->file(u"config.ini/x"_s)));
    AppSettings s = c.settings().values();
    s.ShowVideo = true;
    const QStringList failures = c.applySettings(s);
    QCOMPARE(failures.size(), 1);
    QVERIFY(failures.at(0).startsWith(u"config.ini"_s));
    // Memory holds the new values all the same, and the store has them.
    QVERIFY(c.settings().values().ShowVideo);
    QCOMPARE(m_rig->store.writes.size(), 15 + 11);
}

void tst_Console::endProgramOnce()
{
    Console &c = m_rig->start();
    QSignalSpy ends(&c, &Console::programEnds);
    QSignalSpy queued(&c.link(), &ZoneLink::frameQueued);
    c.endProgram();
    c.endProgram();
    QCOMPARE(ends.size(), 1);
    QVERIFY(c.ending());
    QVERIFY(!c.link().isOpen());
    QVERIFY(!c.secondTicker().isActive());
    QVERIFY(!c.endOfDay().timercomm.isActive());
    QCOMPARE(queued.size(), 0); // nothing is switched off on the way out
    QVERIFY(m_rig->port.writes().isEmpty());
}

void tst_Console::endOfDayEndsTheProgram()
{
    m_rig->setting(u"shutdown"_s, u"True"_s);
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(18, 0, 0))); // the day is over
    Console &c = m_rig->start();
    QSignalSpy ends(&c, &Console::programEnds);
    c.endOfDay().timercomm.setInterval(5);
    c.endOfDay().timercomm.start();
    c.endOfDay().Timershutdown.setInterval(5);
    QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, 20000);
    QCOMPARE(int(c.endOfDay().ShutdownTicks), 40);
    QCOMPARE(m_rig->power.powerOffs, 1);
    QVERIFY(!c.link().isOpen());
}

void tst_Console::endingStartsNothingAgain_data()
{
    QTest::addColumn<QString>("underWay");
    QTest::addColumn<bool>("destroy"); // the console is destroyed instead of ended
    QTest::newRow("the day's switch-off, ended") << "closes" << false;
    QTest::newRow("the day's switch-off, destroyed") << "closes" << true;
    QTest::newRow("an item's start, ended") << "start" << false;
    QTest::newRow("an item's start, destroyed") << "start" << true;
}

void tst_Console::endingStartsNothingAgain()
{
    QFETCH(QString, underWay);
    QFETCH(bool, destroy);
    const QString song = m_rig->file(u"song/起床.wav"_s);
    GbkFiles::writeBytes(song, QByteArray("RIFF"));
    m_rig->writeWeek(ConsoleRig::line(u"07:30:00"_s, u"起床"_s, song));
    m_rig->setting(u"shutdown"_s, u"True"_s);
    const QTime now = underWay == u"closes" ? QTime(18, 0, 0) : QTime(7, 30, 0);
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), now));
    Console &c = m_rig->start();
    if (underWay == u"closes")
        c.endOfDay().timercomm_Timer();
    else
        c.timerplayer_Timer();
    QVERIFY(c.link().queuedFrames() > 0);
    const QString status = c.state().equipmentStatus();
    EndOfDay *endOfDay = &c.endOfDay();
    destroy ? m_rig->destroyConsole() : c.endProgram();
    QTest::qWait(300);
    // The frames on their way were dropped; their completions start nothing.
    QVERIFY(m_rig->player.calls.isEmpty());
    QCOMPARE(m_rig->power.powerOffs, 0);
    QVERIFY(!QFile::exists(m_rig->file(u"log.txt"_s)));
    if (!destroy) {
        QVERIFY(!endOfDay->Timershutdown.isActive());
        QCOMPARE(c.state().equipmentStatus(), status);
        QCOMPARE(c.programme().count(), 1); // tomorrow's list was not loaded
    }
}

void tst_Console::linkStatusIsAnnounced()
{
    Console &c = m_rig->start();
    QSignalSpy status(&c.state(), &ConsoleState::equipmentStatusChanged);
    m_rig->port.loseDevice();
    QCOMPARE(c.state().equipmentStatus(), u"外设状态：与分区控制器的连接中断，正在重新连接……"_s);
    m_rig->port.devices.insert(u"/dev/ttyS0"_s);
    QTRY_COMPARE_WITH_TIMEOUT(c.state().equipmentStatus(), u"外设状态：与分区控制器的连接已恢复"_s,
                              5000);
    QCOMPARE(status.size(), 2);
}

void tst_Console::remoteListIsReadAgain()
{
    Console &c = m_rig->start();
    QCOMPARE(c.remoteList().RemoteSongCount(), 0);
    c.remoteKeys().handle(7);
    GbkFiles::writeText(m_rig->file(u"rem_list.txt"_s), u"\"/srv/a.mp3\"\n\"/srv/b.mp3\"\n"_s);
    c.savedFiles().announce(SavedFiles::Kind::RemoteList, m_rig->file(u"rem_list.txt"_s));
    QCOMPARE(c.remoteList().songs(), (QStringList {u"/srv/a.mp3"_s, u"/srv/b.mp3"_s}));
    QCOMPARE(c.remoteList().cursor(), 2); // a save leaves the cursor where it was
}

void tst_Console::reloadReadsTheRemoteListAgain()
{
    Console &c = m_rig->start();
    c.remoteKeys().handle(7);
    QCOMPARE(c.remoteList().cursor(), 2);
    // The remote list is read afresh at every reload, as it stands on disk then.
    GbkFiles::writeText(m_rig->file(u"rem_list.txt"_s), u"\"/srv/a.mp3\"\n"_s);
    c.state().setReloadSchedule(true);
    c.timerplayer_Timer();
    QVERIFY(!c.state().ReloadSchedule());
    QCOMPARE(c.remoteList().songs(), QStringList {u"/srv/a.mp3"_s});
    QCOMPARE(c.remoteList().cursor(), 1);
    GbkFiles::writeText(m_rig->file(u"rem_list.txt"_s), u"\"/srv/b.mp3\"\n\"/srv/c.mp3\"\n"_s);
    c.state().setReloadSchedule(true);
    c.timerplayer_Timer();
    QCOMPARE(c.remoteList().songs(), (QStringList {u"/srv/b.mp3"_s, u"/srv/c.mp3"_s}));
}

void tst_Console::sourceNamesAreReadAgainWhenSaved()
{
    Console &c = m_rig->start();
    // Amplifier names, then the eight frequencies, then the device names.
    QString names;
    for (int part = 0; part < 3; ++part) {
        for (int n = 1; n <= 8; ++n)
            names += part == 1 ? u"\"%1\"\n"_s.arg(80 + n) : u"\"名%1\"\n"_s.arg(n);
    }
    GbkFiles::writeText(m_rig->file(u"amp_name.dat"_s), names);
    GbkFiles::writeText(m_rig->file(u"config.ini"_s), u"[外设提前]\n外设3=00:02:00\n"_s);
    // Written behind the console's back: it keeps what it read at start-up.
    QCOMPARE(c.settings().values().SourceFrequency[1], qint16(0));
    QSignalSpy changed(&c.settings(), &ConsoleSettings::changed);
    c.savedFiles().announce(SavedFiles::Kind::SourceNames, m_rig->file(u"amp_name.dat"_s));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(c.settings().values().SourceFrequency[1], qint16(810));
    QCOMPARE(c.settings().values().SourceFrequency[8], qint16(880));
    QCOMPARE(c.settings().values().DeviceLeadTime[3], u"00:02:00"_s);
    // Another kind of file leaves them alone.
    c.savedFiles().announce(SavedFiles::Kind::RemoteList, m_rig->file(u"rem_list.txt"_s));
    QCOMPARE(changed.size(), 1);
}

void tst_Console::savedSchedulesReloadToday_data()
{
    QTest::addColumn<SavedFiles::Kind>("kind");
    QTest::addColumn<bool>("weekMode");
    QTest::addColumn<bool>("reload");
    QTest::newRow("week file") << SavedFiles::Kind::WeekSchedule << true << true;
    QTest::newRow("date file, week mode") << SavedFiles::Kind::DateSchedule << true << false;
    QTest::newRow("date file, date mode") << SavedFiles::Kind::DateSchedule << false << true;
    QTest::newRow("the system clock") << SavedFiles::Kind::SystemClock << true << true;
    QTest::newRow("amplifier names") << SavedFiles::Kind::SourceNames << true << false;
    QTest::newRow("remote list") << SavedFiles::Kind::RemoteList << true << false;
}

void tst_Console::savedSchedulesReloadToday()
{
    QFETCH(SavedFiles::Kind, kind);
    QFETCH(bool, weekMode);
    QFETCH(bool, reload);
    m_rig->setting(u"weekmode"_s, weekMode ? u"True"_s : u"False"_s);
    Console &c = m_rig->start();
    QVERIFY(!c.state().ReloadSchedule());
    c.savedFiles().announce(kind, m_rig->file(u"saved.txt"_s));
    QCOMPARE(c.state().ReloadSchedule(), reload);
    if (reload) {
        // The next tick reloads the list and clears the flag.
        c.timerplayer_Timer();
        QVERIFY(!c.state().ReloadSchedule());
    }
}

void tst_Console::theControllerFollowsTheSystemClock()
{
    Console &c = m_rig->start();
    QSignalSpy announced(&c.savedFiles(), &SavedFiles::saved);
    const qsizetype before = m_rig->port.writes().size();
    ControllerClock(c.link()).followSystemClock(QDateTime(QDate(2026, 12, 8), QTime(7, 5, 9)),
                                                c.savedFiles());
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).value<SavedFiles::Kind>(), SavedFiles::Kind::SystemClock);
    // The controller gets the time of day at once; the console reloads at
    // its next tick, for the date the clock now shows.
    const QList<QByteArray> writes = m_rig->port.writes().mid(before);
    QCOMPARE(writes.size(), 1);
    QCOMPARE(int(static_cast<unsigned char>(writes.at(0).at(2))), CommandCode::ClockSet);
    QVERIFY(c.state().ReloadSchedule());
}

QTEST_MAIN(tst_Console)
#include "tst_console.moc"
