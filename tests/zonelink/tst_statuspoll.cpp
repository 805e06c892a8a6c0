// The terminal status check without widgets, on the recording fake port:
// the order and timing of one query on the line, the replies that count,
// the poll of all with its progress and stop, switching a terminal off and
// the sorting rules.

#include "linktime.h"
#include "support/fakedialogs.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "zonelink/frames.h"
#include "zonelink/statuspoll.h"
#include "zonelink/zonelink.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
// What a terminal sends back: A, FF, its address, frequency and volume.
QByteArray reply(int address, int high, int low, int volume, int size = 12)
{
    QByteArray bytes(size, '\0');
    bytes[0] = char(0x55);
    bytes[2] = char(0x41);
    bytes[3] = char(0xFF);
    bytes[6] = char(address);
    bytes[7] = char(high);
    bytes[8] = char(low);
    if (size > 9)
        bytes[9] = char(volume);
    return bytes;
}

QByteArray statusFrame(int address)
{
    return *BuildFrame(CommandCode::StatusQuery, 0, 0, QString::number(address) + u'.');
}

QStringList eventNames(const QList<FakeSerialPort::Event> &events)
{
    QStringList names;
    for (const auto &e : events)
        names << e.what;
    return names;
}

QStringList columnTexts(const StatusPoll &poll, int c)
{
    QStringList cells;
    for (int i = 0; i < poll.count(); ++i)
        cells << StatusPoll::cellText(poll.row(i), c);
    return cells;
}
} // namespace

class tst_StatusPoll : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void newRowsAreOff();
    void slidersGiveTheQuery_data();
    void slidersGiveTheQuery();
    void queryOrderAndTimingOnTheLine_data();
    void queryOrderAndTimingOnTheLine();
    void replyWindowFollowsItsSlider_data();
    void replyWindowFollowsItsSlider();
    void repliesDecideTheRow_data();
    void repliesDecideTheRow();
    void rowIsMarkedOffWhenItsWindowOpens();
    void keysDuringAQueryAreNotActedUpon();
    void pollAsksEveryRowInTheOrderShown();
    void sliderMovedDuringThePollAppliesToTheNextTerminal();
    void stopEndsThePollAfterTheCurrentTerminal();
    void lostPortEndsThePoll();
    void closeSendsZoneCloseAndMarksOff();
    void closeLostLeavesTheRow();
    void nothingHappensWithoutARowOrAddress();
    void closedPortIsRefused();
    void sortingRules_data();
    void sortingRules();
    void directionSwitchesOnEveryClick();

private:
    void setNodes(const QStringList &addresses);
    // Feeds the chunks 20 ms apart once the reply window of the next query opens.
    void answerInWindow(const QList<QByteArray> &chunks, int firstAfterMs = 20);
    bool waitIdle();

    // The link and the fake wire run on virtual time.
    std::unique_ptr<LinkTime> m_time;
    std::unique_ptr<FakeSerialPort> m_port;
    MemoryUserStore m_store;
    FakeDialogs m_dialogs;
    std::unique_ptr<ZoneLink> m_link;
    std::unique_ptr<StatusPoll> m_poll;
    std::unique_ptr<QObject> m_feeds;
};

void tst_StatusPoll::initTestCase()
{
    QLoggingCategory::setFilterRules(u"quellon.*=false"_s);
}

void tst_StatusPoll::init()
{
    m_time = std::make_unique<LinkTime>();
    m_port = std::make_unique<FakeSerialPort>();
    m_time->useBy(*m_port);
    m_port->devices.insert(u"/dev/ttyS0"_s);
    m_link = std::make_unique<ZoneLink>(*m_port, m_store, m_dialogs, *m_time);
    m_link->OpenZonePort(u"com1"_s);
    QVERIFY(m_link->isOpen());
    m_poll = std::make_unique<StatusPoll>(*m_link);
    m_feeds = std::make_unique<QObject>();
    m_port->events.clear();
}

void tst_StatusPoll::cleanup()
{
    m_feeds.reset();
    m_poll.reset();
    m_link.reset();
    m_port.reset();
    m_time.reset();
}

void tst_StatusPoll::setNodes(const QStringList &addresses)
{
    QList<StatusPoll::Node> nodes;
    for (const QString &a : addresses)
        nodes.append({u"终端"_s + a, a, u"1"_s});
    m_poll->setNodes(nodes);
}

void tst_StatusPoll::answerInWindow(const QList<QByteArray> &chunks, int firstAfterMs)
{
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(),
                    [this, chunks, firstAfterMs, once](int) {
                        disconnect(*once);
                        for (int i = 0; i < chunks.size(); ++i) {
                            m_time->after(firstAfterMs + 20 * i, m_feeds.get(),
                                          [this, chunk = chunks.at(i)] { m_port->receive(chunk); });
                        }
                    });
}

bool tst_StatusPoll::waitIdle()
{
    return m_time->runUntil([this] { return !m_poll->busy() && m_link->queuedFrames() == 0; });
}

void tst_StatusPoll::newRowsAreOff()
{
    m_poll->setNodes({{u"一楼"_s, u"3"_s, u"2"_s}, {u"二楼"_s, u"17"_s, u"5"_s}});
    QCOMPARE(m_poll->count(), 2);
    QCOMPARE(columnTexts(*m_poll, StatusPoll::StateColumn), (QStringList {u"关"_s, u"关"_s}));
    QCOMPARE(columnTexts(*m_poll, StatusPoll::SerialColumn), (QStringList {u"1"_s, u"2"_s}));
    QCOMPARE(columnTexts(*m_poll, StatusPoll::NameColumn), (QStringList {u"一楼"_s, u"二楼"_s}));
    QCOMPARE(columnTexts(*m_poll, StatusPoll::FrequencyColumn),
             (QStringList {QString(), QString()}));
    QCOMPARE(columnTexts(*m_poll, StatusPoll::VolumeColumn), (QStringList {QString(), QString()}));
    QCOMPARE(columnTexts(*m_poll, StatusPoll::AddressColumn), (QStringList {u"3"_s, u"17"_s}));
    QCOMPARE(columnTexts(*m_poll, StatusPoll::GroupColumn), (QStringList {u"2"_s, u"5"_s}));
    QVERIFY(m_port->events.isEmpty()); // opening asks nothing
}

void tst_StatusPoll::slidersGiveTheQuery_data()
{
    QTest::addColumn<int>("sendWait");
    QTest::addColumn<int>("wait");
    QTest::addColumn<int>("sendDelayMs");
    QTest::addColumn<int>("windowMs");
    QTest::newRow("both at 0") << 0 << 0 << 50 << 200;
    QTest::newRow("initial values") << 6 << 1 << 80 << 300;
    QTest::newRow("both at 10") << 10 << 10 << 100 << 1200;
}

void tst_StatusPoll::slidersGiveTheQuery()
{
    QFETCH(int, sendWait);
    QFETCH(int, wait);
    QFETCH(int, sendDelayMs);
    QFETCH(int, windowMs);
    const ZoneLink::Query q = StatusPoll::statusQuery(sendWait, wait);
    QCOMPARE(q.sendDelayMs, sendDelayMs);
    QCOMPARE(q.deadlineMs, windowMs);
    QCOMPARE(q.replySize, 12);
    QVERIFY(q.dropTerminalReady);
    QVERIFY(q.waitWholeDeadline);
}

void tst_StatusPoll::queryOrderAndTimingOnTheLine_data()
{
    QTest::addColumn<int>("sendWait");
    QTest::addColumn<int>("wait");
    QTest::newRow("initial sliders") << 6 << 1;
    QTest::newRow("shortest") << 0 << 0;
    QTest::newRow("longest send delay") << 10 << 2;
}

void tst_StatusPoll::queryOrderAndTimingOnTheLine()
{
    QFETCH(int, sendWait);
    QFETCH(int, wait);
    setNodes({u"17"_s});
    m_poll->setSendWait(sendWait);
    m_poll->setWait(wait);
    QStringList atWindow;
    connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(),
            [&] { atWindow = eventNames(m_port->events); });
    QCOMPARE(m_poll->refreshRow(0), StatusPoll::Outcome::Started);
    QVERIFY(m_poll->busy());
    QVERIFY(waitIdle());
    const auto &ev = m_port->events;
    QCOMPARE(eventNames(ev),
             (QStringList {u"dtr on"_s, u"write"_s, u"drained"_s, u"dtr off"_s, u"clear"_s,
                           u"dtr on"_s}));
    QCOMPARE(atWindow, eventNames(ev).mid(0, 5)); // marked off after the input was discarded
    // Written, not sent: no request-to-send around the query.
    QCOMPARE(ev.at(1).bytes, QByteArray::fromHex("EB140C00000111FE01"));
    QVERIFY(!ev.at(1).rts);
    const qint64 sendDelay = ev.at(3).ms - ev.at(2).ms;
    const qint64 window = ev.at(5).ms - ev.at(4).ms;
    QVERIFY2(sendDelay >= StatusPoll::sendDelayMs(sendWait),
             qPrintable(QString::number(sendDelay)));
    QVERIFY2(window >= StatusPoll::replyWindowMs(wait), qPrintable(QString::number(window)));
}

void tst_StatusPoll::replyWindowFollowsItsSlider_data()
{
    QTest::addColumn<int>("wait");
    QTest::addColumn<QString>("state");
    // The reply comes 700 ms into the window.
    QTest::newRow("window of 1200 ms") << 10 << u"开"_s;
    QTest::newRow("window of 300 ms") << 1 << u"关"_s;
}

void tst_StatusPoll::replyWindowFollowsItsSlider()
{
    QFETCH(int, wait);
    QFETCH(QString, state);
    setNodes({u"17"_s});
    m_poll->setWait(wait);
    answerInWindow({reply(17, 10, 35, 9)}, 700);
    m_poll->refreshRow(0);
    QVERIFY(waitIdle());
    m_time->advance(800); // the late reply has come by now
    QCOMPARE(StatusPoll::cellText(m_poll->row(0), StatusPoll::StateColumn), state);
}

void tst_StatusPoll::repliesDecideTheRow_data()
{
    QTest::addColumn<QByteArray>("early");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("volume");
    const QByteArray none;
    QTest::newRow("1035 is 103.5")
        << none << QList {reply(17, 10, 35, 9)} << u"开"_s << u"103.5"_s << u"9"_s;
    QTest::newRow("1000 is 100.0")
        << none << QList {reply(17, 10, 0, 32)} << u"开"_s << u"100.0"_s << u"32"_s;
    QTest::newRow("875 is 87.5") << none << QList {reply(17, 8, 75, 0)} << u"开"_s << u"87.5"_s
                                 << u"0"_s;
    QTest::newRow("8888 is constant voltage")
        << none << QList {reply(17, 88, 88, 20)} << u"开"_s << u"定压"_s << QString();
    QTest::newRow("bytes 87, 88 are constant voltage too")
        << none << QList {reply(17, 87, 88, 20)} << u"开"_s << u"定压"_s << QString();
    QTest::newRow("8787 is a frequency")
        << none << QList {reply(17, 87, 87, 20)} << u"开"_s << u"878.7"_s << u"20"_s;
    QTest::newRow("longer reply") << none << QList {reply(17, 10, 35, 9, 14)} << u"开"_s
                                  << u"103.5"_s << u"9"_s;
    QTest::newRow("another terminal's reply")
        << none << QList {reply(18, 10, 35, 9)} << u"关"_s << QString() << QString();
    QTest::newRow("eleven bytes") << none << QList {reply(17, 10, 35, 9, 11)} << u"关"_s
                                  << QString() << QString();
    QByteArray noA = reply(17, 10, 35, 9);
    noA[2] = char(0x42);
    QByteArray noFF = reply(17, 10, 35, 9);
    noFF[3] = char(0xFE);
    QTest::newRow("byte 2 not A") << none << QList {noA} << u"关"_s << QString() << QString();
    QTest::newRow("byte 3 not FF") << none << QList {noFF} << u"关"_s << QString() << QString();
    QTest::newRow("another's reply, then its own")
        << none << QList {reply(18, 9, 0, 1), reply(17, 8, 75, 4)} << u"开"_s << u"87.5"_s
        << u"4"_s;
    QTest::newRow("its own reply, then another's")
        << none << QList {reply(17, 8, 75, 4), reply(18, 9, 0, 1)} << u"开"_s << u"87.5"_s
        << u"4"_s;
    QTest::newRow("a later reply of its own wins")
        << none << QList {reply(17, 8, 75, 4), reply(17, 10, 0, 6)} << u"开"_s << u"100.0"_s
        << u"6"_s;
    const QByteArray split = reply(17, 10, 35, 9);
    QTest::newRow("eleven bytes completed by a twelfth")
        << none << QList {split.left(11), split.mid(11)} << u"开"_s << u"103.5"_s << u"9"_s;
    QTest::newRow("reply before the window is discarded")
        << reply(17, 10, 35, 9) << QList<QByteArray> {} << u"关"_s << QString() << QString();
}

void tst_StatusPoll::repliesDecideTheRow()
{
    QFETCH(QByteArray, early);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QString, state);
    QFETCH(QString, frequency);
    QFETCH(QString, volume);
    setNodes({u"17"_s});
    answerInWindow(chunks);
    m_poll->refreshRow(0);
    if (!early.isEmpty()) // while the query is still on the wire
        m_time->after(30, m_feeds.get(), [this, early] { m_port->receive(early); });
    QVERIFY(waitIdle());
    const StatusRow &row = m_poll->row(0);
    QCOMPARE(StatusPoll::cellText(row, StatusPoll::StateColumn), state);
    QCOMPARE(row.frequency, frequency);
    QCOMPARE(row.volume, volume);
}

void tst_StatusPoll::rowIsMarkedOffWhenItsWindowOpens()
{
    setNodes({u"5"_s, u"17"_s});
    answerInWindow({reply(17, 10, 35, 9)});
    m_poll->refreshRow(1);
    QVERIFY(waitIdle());
    QVERIFY(m_poll->row(1).on);
    QSignalSpy changed(m_poll.get(), &StatusPoll::rowChanged);
    bool offAtWindow = false;
    connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(), [&](int position) {
        const StatusRow &row = m_poll->row(position);
        offAtWindow = position == 1 && !row.on && row.frequency.isEmpty() && row.volume.isEmpty();
    });
    m_poll->refreshRow(1); // no answer this time
    QVERIFY(m_poll->row(1).on); // still on while the query goes out
    QVERIFY(waitIdle());
    QVERIFY(offAtWindow);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(StatusPoll::cellText(m_poll->row(1), StatusPoll::StateColumn), u"关"_s);
}

void tst_StatusPoll::keysDuringAQueryAreNotActedUpon()
{
    setNodes({u"17"_s});
    QSignalSpy keys(m_link.get(), &ZoneLink::keyReceived);
    answerInWindow({QByteArray("\x02", 1)});
    m_poll->refreshRow(0);
    m_time->after(30, m_feeds.get(), [this] { m_port->receive(QByteArray("\x04", 1)); });
    QVERIFY(waitIdle());
    QVERIFY(keys.isEmpty());
    m_port->receive(QByteArray("\x07", 1));
    QCOMPARE(keys.size(), 1);
}

void tst_StatusPoll::pollAsksEveryRowInTheOrderShown()
{
    setNodes({u"3"_s, u"10"_s, u"2"_s, u"7"_s});
    m_poll->sortBy(StatusPoll::AddressColumn); // 2, 3, 7, 10
    m_poll->setWait(0);
    QSignalSpy progress(m_poll.get(), &StatusPoll::progressChanged);
    QList<int> progressAtWrite;
    connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(),
            [&] { progressAtWrite << m_poll->progress(); });
    answerInWindow({reply(7, 9, 90, 11)});
    QCOMPARE(m_poll->refreshAll(), StatusPoll::Outcome::Started);
    QVERIFY(m_poll->pollingAll());
    QCOMPARE(m_poll->refreshRow(0), StatusPoll::Outcome::Busy);
    QCOMPARE(m_poll->refreshAll(), StatusPoll::Outcome::Busy);
    QVERIFY(waitIdle());
    QCOMPARE(m_port->writes(),
             (QList<QByteArray> {statusFrame(2), statusFrame(3), statusFrame(7), statusFrame(10)}));
    QCOMPARE(progress.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(progress.at(i).at(0).toInt(), i + 1);
    QCOMPARE(progressAtWrite, (QList<int> {1, 2, 3, 4}));
    QCOMPARE(m_poll->progress(), 4); // it keeps its last value
    QCOMPARE(columnTexts(*m_poll, StatusPoll::StateColumn),
             (QStringList {u"关"_s, u"关"_s, u"关"_s, u"关"_s}));
    // Terminal 7's reply came in terminal 2's window: it counted for neither.
    answerInWindow({reply(7, 9, 90, 11)});
    m_poll->refreshRow(2);
    QVERIFY(waitIdle());
    QCOMPARE(columnTexts(*m_poll, StatusPoll::FrequencyColumn),
             (QStringList {QString(), QString(), u"99.0"_s, QString()}));
}

void tst_StatusPoll::sliderMovedDuringThePollAppliesToTheNextTerminal()
{
    setNodes({u"1"_s, u"2"_s});
    m_poll->setWait(0);
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(), [&, once] {
        disconnect(*once);
        m_poll->setWait(5);
        m_poll->setSendWait(10);
    });
    m_poll->refreshAll();
    QVERIFY(waitIdle());
    QList<qint64> clears, ends, drains, drops;
    for (const auto &e : m_port->events) {
        if (e.what == u"clear")
            clears << e.ms;
        else if (e.what == u"dtr on" && !clears.isEmpty() && ends.size() < clears.size())
            ends << e.ms;
        else if (e.what == u"drained")
            drains << e.ms;
        else if (e.what == u"dtr off")
            drops << e.ms;
    }
    QCOMPARE(clears.size(), 2);
    QCOMPARE(ends.size(), 2);
    QVERIFY2(ends.at(1) - clears.at(1) >= 700, "the second terminal gets the new window");
    QVERIFY2(drops.at(1) - drains.at(1) >= 100, "and the new send delay");
}

void tst_StatusPoll::stopEndsThePollAfterTheCurrentTerminal()
{
    setNodes({u"1"_s, u"2"_s, u"3"_s, u"4"_s});
    QSignalSpy busy(m_poll.get(), &StatusPoll::busyChanged);
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(), [&, once] {
        disconnect(*once);
        m_poll->stop();
        QVERIFY(m_poll->stopping());
        QVERIFY(m_poll->busy()); // the window of terminal 1 is still waited out
    });
    answerInWindow({reply(1, 10, 35, 9)}, 60);
    m_poll->refreshAll();
    QVERIFY(waitIdle());
    QCOMPARE(m_port->writes(), QList<QByteArray> {statusFrame(1)});
    QVERIFY(m_poll->row(0).on); // its reply still counted
    QCOMPARE(m_poll->progress(), 1);
    QVERIFY(!m_poll->stopping());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(busy.at(1).at(0).toBool(), false);
    QCOMPARE(busy.at(1).at(1).toBool(), false); // stopped, not lost
}

void tst_StatusPoll::lostPortEndsThePoll()
{
    setNodes({u"1"_s, u"2"_s, u"3"_s});
    QSignalSpy busy(m_poll.get(), &StatusPoll::busyChanged);
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(), [&, once] {
        disconnect(*once);
        m_time->after(20, m_feeds.get(), [this] { m_port->loseDevice(); });
    });
    m_poll->refreshAll();
    QVERIFY(m_time->runUntil([&] { return !m_poll->busy(); }));
    QCOMPARE(m_port->writes(), QList<QByteArray> {statusFrame(1)});
    QCOMPARE(busy.size(), 2);
    QCOMPARE(busy.at(1).at(1).toBool(), true);
}

void tst_StatusPoll::closeSendsZoneCloseAndMarksOff()
{
    setNodes({u"5"_s, u"17"_s});
    answerInWindow({reply(17, 10, 35, 9)});
    m_poll->refreshRow(1);
    QVERIFY(waitIdle());
    QVERIFY(m_poll->row(1).on);
    m_port->events.clear();
    QCOMPARE(m_poll->closeTerminal(1), StatusPoll::Outcome::Started);
    QVERIFY(waitIdle());
    QCOMPARE(m_port->writes(), QList<QByteArray> {QByteArray::fromHex("EB140200000111FE01")});
    QCOMPARE(eventNames(m_port->events).first(), u"rts on"_s); // sent with line handling
    const StatusRow &row = m_poll->row(1);
    QVERIFY(!row.on);
    QVERIFY(row.frequency.isEmpty());
    QVERIFY(row.volume.isEmpty());
    QVERIFY(!m_poll->row(0).on);
    QVERIFY(!m_port->writes().contains(statusFrame(17))); // no query follows
}

void tst_StatusPoll::closeLostLeavesTheRow()
{
    setNodes({u"5"_s, u"17"_s});
    answerInWindow({reply(17, 10, 35, 9)});
    m_poll->refreshRow(1);
    QVERIFY(waitIdle());
    QVERIFY(m_poll->row(1).on);
    QSignalSpy lost(m_poll.get(), &StatusPoll::closeLost);
    // The device goes away while request-to-send leads the frame.
    m_port->loseDeviceAt = u"rts on"_s;
    QCOMPARE(m_poll->closeTerminal(1), StatusPoll::Outcome::Started);
    QVERIFY(m_time->runUntil([&] { return !lost.isEmpty(); }));
    QCOMPARE(lost.size(), 1);
    QCOMPARE(lost.at(0).at(0).toInt(), 1);
    QVERIFY(m_poll->row(1).on); // nothing reached the terminal
    QCOMPARE(m_poll->row(1).frequency, u"103.5"_s);
}

void tst_StatusPoll::nothingHappensWithoutARowOrAddress()
{
    // A placeholder without an address, an address no byte can carry, and
    // one the rest of the console takes for mistyped (it leaves "3." out of
    // every command too).
    m_poll->setNodes({{u"空"_s, QString(), QString()},
                      {u"坏"_s, u"300"_s, u"1"_s},
                      {u"好"_s, u"9"_s, u"1"_s},
                      {u"点"_s, u"3."_s, u"1"_s}});
    QSignalSpy busy(m_poll.get(), &StatusPoll::busyChanged);
    QCOMPARE(m_poll->refreshRow(-1), StatusPoll::Outcome::NothingToDo);
    QCOMPARE(m_poll->closeTerminal(-1), StatusPoll::Outcome::NothingToDo);
    QCOMPARE(m_poll->refreshRow(0), StatusPoll::Outcome::NothingToDo);
    QCOMPARE(m_poll->refreshRow(1), StatusPoll::Outcome::NothingToDo);
    QCOMPARE(m_poll->closeTerminal(0), StatusPoll::Outcome::NothingToDo);
    QCOMPARE(m_poll->closeTerminal(1), StatusPoll::Outcome::NothingToDo);
    QCOMPARE(m_poll->refreshRow(3), StatusPoll::Outcome::NothingToDo);
    QCOMPARE(m_poll->closeTerminal(3), StatusPoll::Outcome::NothingToDo);
    QVERIFY(busy.isEmpty());
    QVERIFY(m_port->writes().isEmpty());
    // The poll of all passes over them.
    m_poll->setWait(0);
    m_poll->refreshAll();
    QVERIFY(waitIdle());
    QCOMPARE(m_port->writes(), QList<QByteArray> {statusFrame(9)});
    QCOMPARE(m_poll->progress(), 4);
    StatusPoll empty(*m_link);
    QCOMPARE(empty.refreshAll(), StatusPoll::Outcome::NothingToDo);
}

void tst_StatusPoll::closedPortIsRefused()
{
    setNodes({u"1"_s});
    m_link->closePort();
    QCOMPARE(m_poll->refreshRow(0), StatusPoll::Outcome::PortClosed);
    QCOMPARE(m_poll->refreshAll(), StatusPoll::Outcome::PortClosed);
    QCOMPARE(m_poll->closeTerminal(0), StatusPoll::Outcome::PortClosed);
    QVERIFY(!m_poll->busy());
    QVERIFY(m_port->writes().isEmpty());
}

void tst_StatusPoll::sortingRules_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("names"); // one node each, addresses 1, 2, … unless given
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QList<QByteArray>>("replies"); // by address; empty: none
    QTest::addColumn<QStringList>("ascending");
    const QStringList eleven {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s,
                              u"g"_s, u"h"_s, u"i"_s, u"j"_s, u"k"_s};
    QTest::newRow("serial numbers by number")
        << int(StatusPoll::SerialColumn) << eleven << QStringList {} << QList<QByteArray> {}
        << QStringList {u"1"_s, u"2"_s, u"3"_s, u"4"_s,  u"5"_s, u"6"_s,
                        u"7"_s, u"8"_s, u"9"_s, u"10"_s, u"11"_s};
    QTest::newRow("addresses by number")
        << int(StatusPoll::AddressColumn) << QStringList {u"w"_s, u"x"_s, u"y"_s, u"z"_s}
        << QStringList {u"10"_s, u"2"_s, u"100"_s, u"9"_s} << QList<QByteArray> {}
        << QStringList {u"2"_s, u"9"_s, u"10"_s, u"100"_s};
    QTest::newRow("frequencies by number, others first")
        << int(StatusPoll::FrequencyColumn) << eleven.mid(0, 5) << QStringList {}
        << QList<QByteArray> {reply(1, 10, 35, 9), reply(2, 8, 75, 9), reply(3, 87, 88, 9),
                              QByteArray(), reply(5, 10, 0, 9)}
        << QStringList {QString(), u"定压"_s, u"87.5"_s, u"100.0"_s, u"103.5"_s};
    QTest::newRow("volumes by number")
        << int(StatusPoll::VolumeColumn) << eleven.mid(0, 4) << QStringList {}
        << QList<QByteArray> {reply(1, 10, 35, 9), reply(2, 10, 35, 10), QByteArray(),
                              reply(4, 10, 35, 32)}
        << QStringList {QString(), u"9"_s, u"10"_s, u"32"_s};
    QTest::newRow("names by text, case aside")
        << int(StatusPoll::NameColumn) << QStringList {u"b楼"_s, u"C楼"_s, u"a楼"_s, u"10号"_s}
        << QStringList {} << QList<QByteArray> {}
        << QStringList {u"10号"_s, u"a楼"_s, u"b楼"_s, u"C楼"_s};
}

void tst_StatusPoll::sortingRules()
{
    QFETCH(int, column);
    QFETCH(QStringList, names);
    QFETCH(QStringList, addresses);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QStringList, ascending);
    QList<StatusPoll::Node> nodes;
    for (int i = 0; i < names.size(); ++i)
        nodes.append({names.at(i), addresses.value(i, QString::number(i + 1)), u"1"_s});
    m_poll->setNodes(nodes);
    if (!replies.isEmpty()) {
        // Frequencies and volumes come from the terminals' replies.
        connect(m_poll.get(), &StatusPoll::replyWindowOpened, m_feeds.get(), [&](int position) {
            const QByteArray answer = replies.value(m_poll->row(position).serial - 1);
            if (!answer.isEmpty())
                m_time->after(20, m_feeds.get(), [this, answer] { m_port->receive(answer); });
        });
        m_poll->setSendWait(0);
        m_poll->setWait(0);
        m_poll->refreshAll();
        QVERIFY(waitIdle());
    }
    QSignalSpy reordered(m_poll.get(), &StatusPoll::orderChanged);
    m_poll->sortBy(column);
    QCOMPARE(reordered.size(), 1);
    QCOMPARE(m_poll->sortOrder(), Qt::AscendingOrder);
    QCOMPARE(columnTexts(*m_poll, column), ascending);
    m_poll->sortBy(column);
    QCOMPARE(m_poll->sortOrder(), Qt::DescendingOrder);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(columnTexts(*m_poll, column), descending);
}

void tst_StatusPoll::directionSwitchesOnEveryClick()
{
    setNodes({u"3"_s, u"1"_s, u"2"_s});
    m_poll->sortBy(StatusPoll::AddressColumn); // ascending
    QCOMPARE(columnTexts(*m_poll, StatusPoll::AddressColumn),
             (QStringList {u"1"_s, u"2"_s, u"3"_s}));
    // After an odd number of clicks on one heading, another heading sorts
    // the other way.
    m_poll->sortBy(StatusPoll::SerialColumn);
    QCOMPARE(m_poll->sortOrder(), Qt::DescendingOrder);
    QCOMPARE(columnTexts(*m_poll, StatusPoll::SerialColumn),
             (QStringList {u"3"_s, u"2"_s, u"1"_s}));
    m_poll->sortBy(StatusPoll::SerialColumn);
    QCOMPARE(columnTexts(*m_poll, StatusPoll::SerialColumn),
             (QStringList {u"1"_s, u"2"_s, u"3"_s}));
    // The serial number stays with its terminal.
    QCOMPARE(columnTexts(*m_poll, StatusPoll::AddressColumn),
             (QStringList {u"3"_s, u"1"_s, u"2"_s}));
}

QTEST_GUILESS_MAIN(tst_StatusPoll)
#include "tst_statuspoll.moc"
