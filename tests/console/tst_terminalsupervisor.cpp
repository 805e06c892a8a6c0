// Terminal supervision on a clock the test moves and a link on virtual time:
// what the channels ask of it, the pacing and the turn of the terminals, no
// query while the line is wanted, the alarm after two silent queries in a
// row and its end, and nothing at all on the line while it is off.

#include "console/terminalsupervisor.h"
#include "platform/asrunlog.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "zonelink/frames.h"
#include "zonelink/linktime.h"
#include "zonelink/statuspoll.h"
#include "zonelink/zonelink.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QDateTime kStart(QDate(2026, 12, 7), QTime(8, 0, 0));

// "1.2." → {1, 2}; "" → {}.
QList<int> numbers(const QString &list)
{
    QList<int> values;
    for (const QString &item : dotListItems(list))
        values.append(item.toInt());
    return values;
}
} // namespace

class tst_TerminalSupervisor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void dutyOfTheChannels_data();
    void dutyOfTheChannels();
    void pacing_data();
    void pacing();
    void terminalsTakeTurns_data();
    void terminalsTakeTurns();
    void noQueryWhileTheLineIsWanted_data();
    void noQueryWhileTheLineIsWanted();
    void statusCheckPollingAllIsNotCutIn();
    void alarmAfterTwoSilentQueries_data();
    void alarmAfterTwoSilentQueries();
    void alarmTextNamesEverySilentTerminal();
    void offPutsNothingOnTheLine();
    void switchingOffEndsTheAlarms();
    void aQueryIsOverBeforeTheNextTick();
    void remoteKeysDuringAQuery_data();
    void remoteKeysDuringAQuery();

private:
    // One tick at ms milliseconds after kStart: the link's steps due by then
    // run first, then the supervisor looks at the duty.
    void tickAt(qint64 ms, const TerminalSupervisor::Duty &duty);
    // Ticks once a second from..to (inclusive), seconds after kStart.
    void tickEverySecond(int from, int to, const TerminalSupervisor::Duty &duty);
    bool settle();
    QStringList logLines() const;

    QTemporaryDir m_dir;
    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<LinkTime> m_time;
    std::unique_ptr<FakeSerialPort> m_port;
    MemoryUserStore m_store;
    FakeDialogs m_dialogs;
    std::unique_ptr<ZoneLink> m_link;
    std::unique_ptr<AsRunLog> m_log;
    std::unique_ptr<TerminalSupervisor> m_supervisor;
    std::unique_ptr<QObject> m_feeds;
    QSet<int> m_silent; // terminals that do not answer
    QList<std::pair<qint64, int>> m_queries; // ms after kStart, address
};

void tst_TerminalSupervisor::initTestCase()
{
    QLoggingCategory::setFilterRules(u"quellon.*=false"_s);
}

void tst_TerminalSupervisor::init()
{
    QVERIFY(m_dir.isValid());
    QFile::remove(m_dir.filePath(u"log/20261207.csv"_s));
    m_clock = std::make_unique<FakeClock>(kStart);
    m_time = std::make_unique<LinkTime>();
    m_port = std::make_unique<FakeSerialPort>();
    m_time->useBy(*m_port);
    m_port->devices.insert(u"/dev/ttyS0"_s);
    m_link = std::make_unique<ZoneLink>(*m_port, m_store, m_dialogs, *m_time);
    m_link->OpenZonePort(u"com1"_s);
    QVERIFY(m_link->isOpen());
    m_log = std::make_unique<AsRunLog>(AppFolder(m_dir.path()), *m_clock);
    m_supervisor = std::make_unique<TerminalSupervisor>(
        TerminalSupervisor::Services {*m_clock, *m_link, *m_log});
    m_feeds = std::make_unique<QObject>();
    m_silent.clear();
    m_queries.clear();
    // The terminals answer as the simulator's do: a while after the query,
    // inside the reply window.
    connect(m_link.get(), &ZoneLink::frameQueued, m_feeds.get(), [this](const QByteArray &frame) {
        if (frame.size() < 7 || static_cast<unsigned char>(frame.at(2)) != CommandCode::StatusQuery)
            return;
        const int address = static_cast<unsigned char>(frame.at(6));
        m_queries.append({kStart.msecsTo(m_clock->now()), address});
        if (m_silent.contains(address))
            return;
        m_time->after(250, m_feeds.get(), [this, address] {
            m_port->receive(statusReplyBytes({address, 1035, 20}));
        });
    });
    m_port->events.clear();
}

void tst_TerminalSupervisor::cleanup()
{
    m_supervisor.reset();
    m_feeds.reset();
    m_link.reset();
    m_log.reset();
    m_port.reset();
    m_time.reset();
    m_clock.reset();
}

void tst_TerminalSupervisor::tickAt(qint64 ms, const TerminalSupervisor::Duty &duty)
{
    m_time->advance(ms - m_time->nowMs());
    m_clock->set(kStart.addMSecs(ms));
    m_supervisor->check(duty);
}

void tst_TerminalSupervisor::tickEverySecond(int from, int to, const TerminalSupervisor::Duty &duty)
{
    for (int s = from; s <= to; ++s)
        tickAt(qint64(s) * 1000, duty);
}

bool tst_TerminalSupervisor::settle()
{
    return m_time->runUntil([this] { return m_link->queuedFrames() == 0; });
}

QStringList tst_TerminalSupervisor::logLines() const
{
    QFile f(m_log->fileFor(kStart.date()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    lines.removeFirst(); // the header
    return lines;
}

void tst_TerminalSupervisor::dutyOfTheChannels_data()
{
    // Each channel: "zones|start offset s|play length|repeating", empty for
    // a channel with nothing on; the duty is looked at 60 s after kStart.
    QTest::addColumn<QStringList>("channels");
    QTest::addColumn<QString>("terminals");
    QTest::addColumn<bool>("lineWanted");
    QTest::newRow("nothing on") << QStringList {} << QString() << false;
    QTest::newRow("one item playing")
        << QStringList {u"17.3.|0|00:05:00|no"_s} << u"3.17."_s << false;
    QTest::newRow("two channels, shared terminal once")
        << QStringList {u"1.2.|0|00:05:00|no"_s, u"2.9.|30|00:05:00|no"_s} << u"1.2.9."_s << false;
    QTest::newRow("still repeating its switch-on")
        << QStringList {u"1.2.|55|00:05:00|yes"_s} << QString() << true;
    QTest::newRow("repeating beside one playing")
        << QStringList {u"1.|0|00:05:00|no"_s, u"5.|57|00:05:00|yes"_s} << u"1."_s << true;
    QTest::newRow("past its end, close coming")
        << QStringList {u"1.2.|0|00:00:59|no"_s} << QString() << true;
    QTest::newRow("ends this very second")
        << QStringList {u"1.2.|0|00:01:00|no"_s} << QString() << true;
    QTest::newRow("no play length") << QStringList {u"4.|60|garbage|no"_s} << QString() << true;
    QTest::newRow("address that is no byte skipped")
        << QStringList {u"300.x.8.|0|00:05:00|no"_s} << u"8."_s << false;
}

void tst_TerminalSupervisor::dutyOfTheChannels()
{
    QFETCH(QStringList, channels);
    QFETCH(QString, terminals);
    QFETCH(bool, lineWanted);
    std::array<ChannelStateRecord, 9> records {};
    for (qsizetype i = 0; i < channels.size(); ++i) {
        const QStringList f = channels.at(i).split(u'|');
        ChannelStateRecord &ch = records[std::size_t(i + 1)];
        ch.ZonesOn = ch.AmpsOn = ch.DevicesOn = true;
        ch.Zones = f.at(0);
        ch.StartMoment = kStart.addSecs(f.at(1).toInt());
        ch.PlayLength = f.at(2);
        ch.RepeatOpen = f.at(3) == u"yes";
    }
    // A channel whose terminals were closed already asks nothing.
    records[8].Zones = u"77."_s;
    records[8].StartMoment = kStart;
    records[8].PlayLength = u"01:00:00"_s;
    const TerminalSupervisor::Duty duty = TerminalSupervisor::dutyOf(
        [&](int c) -> const ChannelStateRecord & { return records[std::size_t(c)]; },
        kStart.addSecs(60));
    QCOMPARE(duty.terminals, numbers(terminals));
    QCOMPARE(duty.lineWanted, lineWanted);
}

void tst_TerminalSupervisor::pacing_data()
{
    QTest::addColumn<int>("tickMs"); // between ticks
    QTest::addColumn<int>("terminals"); // 1..n playing
    QTest::addColumn<int>("queries"); // in the first 30 s (ticks at 0 .. 30 s)
    QTest::newRow("ticks each second, one terminal") << 1000 << 1 << 7;
    QTest::newRow("ticks each second, many terminals") << 1000 << 40 << 7;
    QTest::newRow("ticks twice a second") << 500 << 3 << 7;
    QTest::newRow("ticks every 3 s") << 3000 << 3 << 6; // 0, 6, 12, 18, 24, 30
    QTest::newRow("ticks every 7 s") << 7000 << 3 << 5; // 0, 7, 14, 21, 28
}

void tst_TerminalSupervisor::pacing()
{
    QFETCH(int, tickMs);
    QFETCH(int, terminals);
    QFETCH(int, queries);
    m_supervisor->setEnabled(true);
    TerminalSupervisor::Duty duty;
    for (int a = 1; a <= terminals; ++a)
        duty.terminals.append(a);
    for (qint64 ms = 0; ms <= 30000; ms += tickMs)
        tickAt(ms, duty);
    QVERIFY(settle());
    QCOMPARE(m_queries.size(), qsizetype(queries));
    for (qsizetype i = 1; i < m_queries.size(); ++i) {
        QVERIFY2(m_queries.at(i).first - m_queries.at(i - 1).first
                     >= TerminalSupervisor::kIntervalMs,
                 qPrintable(u"query %1 at %2 ms"_s.arg(i).arg(m_queries.at(i).first)));
    }
    // Every query was the status check's frame, and only those went out.
    const QList<QByteArray> writes = m_port->writes();
    QCOMPARE(writes.size(), qsizetype(queries));
    for (qsizetype i = 0; i < writes.size(); ++i) {
        QCOMPARE(writes.at(i),
                 *BuildFrame(CommandCode::StatusQuery, 0, 0,
                             QString::number(m_queries.at(i).second) + u'.'));
    }
}

void tst_TerminalSupervisor::terminalsTakeTurns_data()
{
    // The terminals playing at each query (one query each 5 s), and whom each asks.
    QTest::addColumn<QStringList>("playing");
    QTest::addColumn<QString>("asked");
    QTest::newRow("one") << QStringList(4, u"9."_s) << u"9.9.9.9."_s;
    QTest::newRow("three in turn") << QStringList(7, u"3.1.2."_s) << u"1.2.3.1.2.3.1."_s;
    QTest::newRow("a terminal joins")
        << QStringList {u"1.5."_s, u"1.5."_s, u"1.3.5."_s, u"1.3.5."_s, u"1.3.5."_s}
        << u"1.5.1.3.5."_s;
    QTest::newRow("the next one leaves")
        << QStringList {u"1.2.3."_s, u"1.3."_s, u"1.3."_s} << u"1.3.1."_s;
    QTest::newRow("all change") << QStringList {u"1.2."_s, u"7.8."_s, u"7.8."_s, u"1.2."_s}
                                << u"1.7.8.1."_s;
}

void tst_TerminalSupervisor::terminalsTakeTurns()
{
    QFETCH(QStringList, playing);
    QFETCH(QString, asked);
    m_supervisor->setEnabled(true);
    for (qsizetype i = 0; i < playing.size(); ++i) {
        TerminalSupervisor::Duty duty;
        duty.terminals = numbers(playing.at(i));
        std::sort(duty.terminals.begin(), duty.terminals.end());
        tickAt(i * TerminalSupervisor::kIntervalMs, duty);
    }
    QVERIFY(settle());
    QList<int> addresses;
    for (const auto &q : std::as_const(m_queries))
        addresses.append(q.second);
    QCOMPARE(addresses, numbers(asked));
}

void tst_TerminalSupervisor::noQueryWhileTheLineIsWanted_data()
{
    QTest::addColumn<QString>("busy");
    QTest::newRow("scheduler repeating or closing") << u"wanted"_s;
    QTest::newRow("a frame under way") << u"frame"_s;
    QTest::newRow("frames queued behind it") << u"frames"_s;
    QTest::newRow("the status check polling") << u"poll"_s;
    QTest::newRow("port closed") << u"closed"_s;
    QTest::newRow("tick late in its second") << u"late"_s;
}

void tst_TerminalSupervisor::noQueryWhileTheLineIsWanted()
{
    QFETCH(QString, busy);
    m_supervisor->setEnabled(true);
    TerminalSupervisor::Duty duty;
    duty.terminals = {4};
    TerminalSupervisor::Duty busyDuty = duty;
    busyDuty.lineWanted = busy == u"wanted";
    if (busy == u"frame" || busy == u"frames") {
        m_link->sendCommand(CommandCode::ZoneOpen, u"10"_s, u"35"_s, u"4."_s);
        if (busy == u"frames")
            m_link->sendCommand(CommandCode::AmpOpen, u"0"_s, u"0"_s, u"1."_s);
    } else if (busy == u"poll") {
        // Someone else's query (the status check window) has the line.
        m_link->QueryExchange(*BuildFrame(CommandCode::StatusQuery, 0, 0, u"4."_s),
                              TerminalSupervisor::query(), m_feeds.get(),
                              [](const QByteArray &) {});
    } else if (busy == u"closed") {
        m_link->closePort();
    }
    m_queries.clear();
    const qsizetype writesBefore = m_port->writes().size();
    if (busy == u"late") {
        // The query would still hold the line when the next second turns.
        tickAt(1000 - TerminalSupervisor::queryHoldMs() - TerminalSupervisor::kSpareBeforeTickMs
                   + 1,
               duty);
        QVERIFY(m_queries.isEmpty());
        // As early as it may be, it goes.
        tickAt(2000 - TerminalSupervisor::queryHoldMs() - TerminalSupervisor::kSpareBeforeTickMs,
               duty);
        QCOMPARE(m_queries.size(), qsizetype(1));
        return;
    }
    m_supervisor->check(busyDuty);
    QVERIFY(m_queries.isEmpty());
    QVERIFY(!m_supervisor->queryUnderway());
    if (busy == u"closed") {
        tickEverySecond(1, 10, duty);
        QVERIFY(m_queries.isEmpty());
        QCOMPARE(m_port->writes().size(), writesBefore);
        return;
    }
    // Once the line is free again the terminal is asked at the next tick,
    // after whatever held the line.
    QVERIFY(settle());
    const qsizetype othersWritten = m_port->writes().size();
    tickAt(1000, duty);
    QCOMPARE(m_queries.size(), qsizetype(1));
    QVERIFY(settle());
    QCOMPARE(m_port->writes().size(), othersWritten + 1);
    QCOMPARE(m_port->writes().last(), *BuildFrame(CommandCode::StatusQuery, 0, 0, u"4."_s));
}

void tst_TerminalSupervisor::statusCheckPollingAllIsNotCutIn()
{
    // The status check window asks four terminals one after another, each
    // query queued as the one before ends; ticks come all the while.
    StatusPoll poll(*m_link);
    poll.setNodes({{u"一楼"_s, u"11"_s, u"1"_s},
                   {u"二楼"_s, u"12"_s, u"1"_s},
                   {u"三楼"_s, u"13"_s, u"1"_s},
                   {u"四楼"_s, u"14"_s, u"1"_s}});
    m_supervisor->setEnabled(true);
    TerminalSupervisor::Duty duty;
    duty.terminals = {4};
    QCOMPARE(poll.refreshAll(), StatusPoll::Outcome::Started);
    qint64 ms = 0;
    for (; poll.busy() && ms < 10000; ms += 1000)
        tickAt(ms, duty);
    QVERIFY(!poll.busy());
    QVERIFY(ms >= 2000); // a tick came during the poll
    QVERIFY(settle());
    tickAt(ms, duty);
    QVERIFY(settle());
    QList<int> asked;
    for (const auto &q : std::as_const(m_queries))
        asked.append(q.second);
    QCOMPARE(asked, (QList<int> {11, 12, 13, 14, 4}));
}

void tst_TerminalSupervisor::alarmAfterTwoSilentQueries_data()
{
    // Whether the terminal answers each query in turn (A answers, S silent),
    // the alarm after each, and the log lines of kind 巡检.
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("alarmAfter");
    QTest::addColumn<QStringList>("logged");
    const QString raised = u"巡检,终端 6 连续两次未应答状态查询，告警"_s;
    const QString cleared = u"巡检,终端 6 恢复应答，告警解除"_s;
    QTest::newRow("always answers") << u"AAAA"_s << u"----"_s << QStringList {};
    QTest::newRow("one silence") << u"SA"_s << u"--"_s << QStringList {};
    QTest::newRow("silences not in a row") << u"SASAS"_s << u"-----"_s << QStringList {};
    QTest::newRow("two in a row") << u"SS"_s << u"-!"_s << QStringList {raised};
    QTest::newRow("stays silent, one alarm") << u"SSSSS"_s << u"-!!!!"_s << QStringList {raised};
    QTest::newRow("answers again") << u"ASSAA"_s << u"--!--"_s << QStringList {raised, cleared};
    QTest::newRow("again and again")
        << u"SSASS"_s << u"-!--!"_s << QStringList {raised, cleared, raised};
}

void tst_TerminalSupervisor::alarmAfterTwoSilentQueries()
{
    QFETCH(QString, answers);
    QFETCH(QString, alarmAfter);
    QFETCH(QStringList, logged);
    m_supervisor->setEnabled(true);
    QSignalSpy texts(m_supervisor.get(), &TerminalSupervisor::alarmTextChanged);
    TerminalSupervisor::Duty duty;
    duty.terminals = {6};
    for (qsizetype i = 0; i < answers.size(); ++i) {
        if (answers.at(i) == u'S')
            m_silent.insert(6);
        else
            m_silent.remove(6);
        tickAt(i * TerminalSupervisor::kIntervalMs, duty);
        QVERIFY(settle());
        const bool alarm = alarmAfter.at(i) == u'!';
        QCOMPARE(m_supervisor->alarms(), alarm ? QList<int> {6} : QList<int> {});
        QCOMPARE(m_supervisor->alarmText(), alarm ? u"巡检告警：终端 6 未应答"_s : QString());
    }
    QCOMPARE(m_queries.size(), answers.size());
    QStringList lines = logLines();
    for (QString &line : lines)
        line = line.section(u',', 1); // without the time
    QCOMPARE(lines, logged);
    // The status bar hears of each change once.
    QCOMPARE(texts.size(), logged.size());
}

void tst_TerminalSupervisor::alarmTextNamesEverySilentTerminal()
{
    m_supervisor->setEnabled(true);
    m_silent = {3, 12};
    TerminalSupervisor::Duty duty;
    duty.terminals = {3, 7, 12};
    // Each terminal is asked every 15 s; two rounds make two misses each.
    for (int i = 0; i < 6; ++i) {
        tickAt(i * TerminalSupervisor::kIntervalMs, duty);
        QVERIFY(settle());
    }
    QCOMPARE(m_supervisor->alarms(), (QList<int> {3, 12}));
    QCOMPARE(m_supervisor->alarmText(), u"巡检告警：终端 3、12 未应答"_s);
    m_silent.remove(3);
    tickAt(6 * TerminalSupervisor::kIntervalMs, duty);
    QVERIFY(settle());
    QCOMPARE(m_supervisor->alarmText(), u"巡检告警：终端 12 未应答"_s);
}

void tst_TerminalSupervisor::offPutsNothingOnTheLine()
{
    QSignalSpy queued(m_link.get(), &ZoneLink::frameQueued);
    m_silent = {1};
    TerminalSupervisor::Duty duty;
    duty.terminals = {1, 2, 3};
    tickEverySecond(0, 120, duty);
    QVERIFY(settle());
    QCOMPARE(queued.size(), 0);
    QVERIFY(m_port->events.isEmpty());
    QVERIFY(m_supervisor->alarms().isEmpty());
    QVERIFY(logLines().isEmpty());
}

void tst_TerminalSupervisor::switchingOffEndsTheAlarms()
{
    m_supervisor->setEnabled(true);
    m_silent = {2};
    TerminalSupervisor::Duty duty;
    duty.terminals = {2};
    tickAt(0, duty);
    QVERIFY(settle());
    tickAt(5000, duty);
    QVERIFY(settle());
    QCOMPARE(m_supervisor->alarms(), QList<int> {2});
    // A third query is under way when the option goes off: its silence
    // counts for nothing, and nothing more is asked.
    tickAt(10000, duty);
    QVERIFY(m_supervisor->queryUnderway());
    QSignalSpy texts(m_supervisor.get(), &TerminalSupervisor::alarmTextChanged);
    m_supervisor->setEnabled(false);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts.at(0).at(0).toString(), QString());
    QVERIFY(settle());
    tickEverySecond(11, 40, duty);
    QVERIFY(settle());
    QCOMPARE(m_queries.size(), qsizetype(3));
    QVERIFY(m_supervisor->alarms().isEmpty());
    QStringList lines = logLines();
    QCOMPARE(lines.size(), qsizetype(2));
    QCOMPARE(lines.at(1).section(u',', 1), u"巡检,终端巡检已关闭，终端 2 的告警解除"_s);
    // On again, the count starts afresh: one more silence is no alarm.
    m_supervisor->setEnabled(true);
    tickAt(41000, duty);
    QVERIFY(settle());
    QVERIFY(m_supervisor->alarms().isEmpty());
}

void tst_TerminalSupervisor::aQueryIsOverBeforeTheNextTick()
{
    // The scheduler ticks once a second; a query that starts right after a
    // tick must have let go of the line before the next, with time to spare.
    QVERIFY2(TerminalSupervisor::queryHoldMs() <= 600,
             qPrintable(QString::number(TerminalSupervisor::queryHoldMs())));
    m_supervisor->setEnabled(true);
    TerminalSupervisor::Duty duty;
    duty.terminals = {200};
    tickAt(0, duty);
    QVERIFY(m_supervisor->queryUnderway());
    QVERIFY(m_time->runUntil([this] { return !m_supervisor->queryUnderway(); }));
    // The link paces its steps in a few milliseconds' slices.
    QVERIFY2(m_time->nowMs() <= TerminalSupervisor::queryHoldMs() + 30,
             qPrintable(QString::number(m_time->nowMs())));
    QCOMPARE(m_link->queuedFrames(), 0);
}

void tst_TerminalSupervisor::remoteKeysDuringAQuery_data()
{
    // A query goes out at a tick: 75 ms on the wire, 80 ms of send delay,
    // then a 300 ms reply window, in which the terminal answers at 250 ms
    // unless it is silent. The controller sends bytes at atMs after the
    // tick (-1: none); echo: the line echoes the query as it goes out.
    QTest::addColumn<int>("atMs");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QList<int>>("keys"); // read at each of the two queries
    const QByteArray play("\x01", 1);
    const QByteArray next("\x07", 1);
    QTest::newRow("pressed as the query goes out")
        << 20 << play << false << false << QList<int> {1};
    QTest::newRow("pressed in the send delay, after the echo")
        << 110 << next << true << false << QList<int> {7};
    QTest::newRow("pressed in the window, before the reply")
        << 200 << next << false << false << QList<int> {7};
    QTest::newRow("pressed in the window, the terminal silent")
        << 300 << play << false << true << QList<int> {1};
    QTest::newRow("pressed as the window closes, the terminal silent")
        << 450 << next << false << true << QList<int> {7};
    QTest::newRow("pressed after the query") << 600 << next << false << false << QList<int> {7};
    QTest::newRow("the echo alone is no key")
        << -1 << QByteArray() << true << false << QList<int> {};
    QTest::newRow("an echo of the reply is no key")
        << 300 << QByteArray("\x01\x41", 2) << false << false << QList<int> {};
}

void tst_TerminalSupervisor::remoteKeysDuringAQuery()
{
    QFETCH(int, atMs);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, echo);
    QFETCH(bool, silent);
    QFETCH(QList<int>, keys);
    m_supervisor->setEnabled(true);
    if (silent)
        m_silent.insert(9);
    TerminalSupervisor::Duty duty;
    duty.terminals = {9};
    QSignalSpy received(m_link.get(), &ZoneLink::keyReceived);
    const QByteArray frame = *BuildFrame(CommandCode::StatusQuery, 0, 0, u"9."_s);
    // Two queries, so that a terminal wrongly counted silent twice raises the alarm.
    for (int i = 0; i < 2; ++i) {
        tickAt(i * TerminalSupervisor::kIntervalMs, duty);
        QVERIFY(m_supervisor->queryUnderway());
        if (echo)
            m_time->after(76, m_feeds.get(), [this, frame] { m_port->receive(frame); });
        if (atMs >= 0)
            m_time->after(atMs, m_feeds.get(), [this, bytes] { m_port->receive(bytes); });
        m_time->advance(1000);
    }
    QVERIFY(settle());
    QCOMPARE(m_queries.size(), qsizetype(2));
    QList<int> codes;
    for (const QList<QVariant> &args : std::as_const(received))
        codes.append(args.at(0).toInt());
    QCOMPARE(codes, keys + keys);
    // The key did not hide the terminal's answer.
    QCOMPARE(m_supervisor->alarms(), silent ? QList<int> {9} : QList<int> {});
}

QTEST_GUILESS_MAIN(tst_TerminalSupervisor)
#include "tst_terminalsupervisor.moc"
