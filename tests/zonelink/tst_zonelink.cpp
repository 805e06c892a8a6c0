#include "support/fakedialogs.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QSignalSpy>
#include <QTest>

namespace {
QByteArray frameWith(int values)
{
    QString list;
    for (int i = 0; i < values; ++i)
        list += QString::number(i % 256) + u'.';
    return *BuildFrame(CommandCode::ZoneClose, 0, 0, list);
}
} // namespace

class tst_ZoneLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void sendFrameHandlesTheLine_data();
    void sendFrameHandlesTheLine();
    void framesNeverInterleave();
    void completionsKeepTheOrder();
    void writeFrameHasNoLineHandling();
    void portWithoutModemLinesStillSends();
    void portDevices_data();
    void portDevices();
    void missingDeviceWarns();
    void onlyTheFirstByteOfAChunkCounts();
    void clockQueryCollectsItsReply();
    void statusQueryKeepsTheLineUntilTheDeadline();
    void queryWithoutReplyEndsAtTheDeadline();
    void lostDeviceDropsFramesAndComesBack();

private:
    bool runUntilIdle(int timeoutMs = 10000);
    std::unique_ptr<FakeSerialPort> m_port;
    MemoryUserStore m_store;
    FakeDialogs m_dialogs;
    std::unique_ptr<ZoneLink> m_link;
};

void tst_ZoneLink::init()
{
    m_port = std::make_unique<FakeSerialPort>();
    m_port->devices.insert(QStringLiteral("/dev/ttyS0"));
    m_store = MemoryUserStore();
    m_dialogs = FakeDialogs();
    m_link = std::make_unique<ZoneLink>(*m_port, m_store, m_dialogs);
    m_link->OpenZonePort(QStringLiteral("com1"));
    QVERIFY(m_link->isOpen());
    m_port->events.clear();
}

bool tst_ZoneLink::runUntilIdle(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_link->queuedFrames() == 0; }, timeoutMs);
}

void tst_ZoneLink::sendFrameHandlesTheLine_data()
{
    QTest::addColumn<int>("values");
    QTest::newRow("empty list") << 0;
    QTest::newRow("three terminals") << 3;
    QTest::newRow("255 terminals") << 255;
}

void tst_ZoneLink::sendFrameHandlesTheLine()
{
    QFETCH(int, values);
    const QByteArray frame = frameWith(values);
    bool done = false;
    m_link->SendFrame(frame, [&done](bool sent) { done = sent; });
    QVERIFY(!done);
    QVERIFY(runUntilIdle());
    QVERIFY(done);
    QStringList order;
    for (const auto &e : m_port->events)
        order << e.what;
    QCOMPARE(order, (QStringList {"rts on", "write", "drained", "rts off"}));
    const auto &ev = m_port->events;
    QCOMPARE(ev.at(1).bytes, frame);
    QVERIFY2(ev.at(1).ms - ev.at(0).ms >= 100, "RTS raised at least 100 ms before the bytes");
    QVERIFY2(ev.at(2).ms - ev.at(1).ms >= qint64(frame.size() * 8.3), "the bytes drained at 1200 baud");
    QVERIFY2(ev.at(3).ms - ev.at(2).ms >= 100, "RTS held at least 100 ms after the drain");
}

void tst_ZoneLink::framesNeverInterleave()
{
    const QByteArray a = frameWith(20);
    const QByteArray b = *BuildFrame(CommandCode::AmpOpen, 0, 0, kAllEight);
    const QByteArray c = *BuildFrame(CommandCode::ClockQuery, 0, 0, QString());
    // Two senders at once (a tick and a remote key, say) and a plain write.
    m_link->SendFrame(a);
    QTimer::singleShot(50, this, [&] { m_link->SendFrame(b); });
    QTimer::singleShot(60, this, [&] { m_link->WriteFrame(c); });
    QTest::qWait(70);
    QVERIFY(runUntilIdle());
    QCOMPARE(m_port->writes(), (QList<QByteArray> {a, b, c}));
    // Each RTS period holds exactly one write; nothing is written outside one except c.
    bool rts = false;
    int writesInPeriod = 0;
    for (const auto &e : m_port->events) {
        if (e.what == u"rts on") {
            QVERIFY(!rts);
            rts = true;
            writesInPeriod = 0;
        } else if (e.what == u"rts off") {
            QVERIFY(rts);
            QCOMPARE(writesInPeriod, 1);
            rts = false;
        } else if (e.what == u"write") {
            if (rts)
                ++writesInPeriod;
            else
                QCOMPARE(e.bytes, c);
        }
    }
    QVERIFY(!rts);
}

void tst_ZoneLink::completionsKeepTheOrder()
{
    QStringList log;
    const QByteArray first = frameWith(1);
    const QByteArray second = frameWith(2);
    const QByteArray third = frameWith(3);
    m_link->SendFrame(first, [&](bool) {
        log << QStringLiteral("first done");
        // What a caller sends after its frames follows those already queued.
        m_link->SendFrame(third, [&](bool) { log << QStringLiteral("third done"); });
    });
    m_link->SendFrame(second, [&](bool) { log << QStringLiteral("second done"); });
    QVERIFY(runUntilIdle());
    QCOMPARE(log, (QStringList {"first done", "second done", "third done"}));
    QCOMPARE(m_port->writes(), (QList<QByteArray> {first, second, third}));
}

void tst_ZoneLink::writeFrameHasNoLineHandling()
{
    const QByteArray frame = *BuildFrame(CommandCode::PowerOnTimeSet, 0, 0, QStringLiteral("05.00.00."));
    bool done = false;
    m_link->WriteFrame(frame, [&done](bool sent) { done = sent; });
    QVERIFY(runUntilIdle());
    QVERIFY(done);
    QCOMPARE(m_port->events.first().what, QStringLiteral("write"));
    for (const auto &e : m_port->events)
        QVERIFY(!e.what.startsWith(u"rts"));
}

void tst_ZoneLink::portWithoutModemLinesStillSends()
{
    m_port->linesWork = false;
    bool done = false;
    m_link->SendFrame(frameWith(2), [&done](bool sent) { done = sent; });
    QVERIFY(runUntilIdle());
    QVERIFY(done);
    QCOMPARE(m_port->writes().size(), 1);
}

void tst_ZoneLink::portDevices_data()
{
    QTest::addColumn<QString>("comPort");
    QTest::addColumn<QString>("stored"); // ports/com2 in the store; null: none
    QTest::addColumn<QString>("device");
    QTest::newRow("com2 by default") << "com2" << QString() << "/dev/ttyS1";
    QTest::newRow("com5 by default") << "com5" << QString() << "/dev/ttyS4";
    QTest::newRow("com2 mapped to an adapter") << "com2" << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("upper case is not a port name") << "COM2" << "/dev/ttyUSB0" << "/dev/ttyS0";
    QTest::newRow("com6 is not a port name") << "com6" << QString() << "/dev/ttyS0";
}

void tst_ZoneLink::portDevices()
{
    QFETCH(QString, comPort);
    QFETCH(QString, stored);
    QFETCH(QString, device);
    if (!stored.isNull())
        m_store.values.insert(QStringLiteral("ports/com2"), stored);
    m_port->devices.insert(device);
    ZoneLink link(*m_port, m_store, m_dialogs);
    link.OpenZonePort(comPort);
    QCOMPARE(m_port->openedPath, device);
    QVERIFY(link.isOpen());
    // Opened with DTR raised and RTS dropped.
    QStringList lines;
    for (const auto &e : m_port->events)
        lines << e.what;
    QVERIFY(lines.contains(QStringLiteral("dtr on")));
    QVERIFY(lines.contains(QStringLiteral("rts off")));
}

void tst_ZoneLink::missingDeviceWarns()
{
    FakeSerialPort port; // no devices at all
    ZoneLink link(port, m_store, m_dialogs);
    link.OpenZonePort(QStringLiteral("com3"));
    QVERIFY(!link.isOpen());
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.at(0).text, QStringLiteral("打开串行口错误，请重新选择串行口"));
    QCOMPARE(m_dialogs.shown.at(0).title, QStringLiteral("串行口设置不对"));
    QCOMPARE(m_dialogs.shown.at(0).icon, MsgIcon::Exclamation);
    // A frame on a closed port is dropped, not kept for later.
    bool result = true;
    link.SendFrame(frameWith(1), [&result](bool sent) { result = sent; });
    QVERIFY(!result);
    QCOMPARE(link.queuedFrames(), 0);
    QVERIFY(port.writes().isEmpty());
}

void tst_ZoneLink::onlyTheFirstByteOfAChunkCounts()
{
    QSignalSpy keys(m_link.get(), &ZoneLink::keyReceived);
    m_port->receive(QByteArray("\x07\x01", 2));
    m_port->receive(QByteArray("\xFF", 1));
    m_port->receive(QByteArray());
    QCOMPARE(keys.size(), 2);
    QCOMPARE(keys.at(0).at(0).toInt(), 7);
    QCOMPARE(keys.at(1).at(0).toInt(), 255);
}

void tst_ZoneLink::clockQueryCollectsItsReply()
{
    QSignalSpy keys(m_link.get(), &ZoneLink::keyReceived);
    m_port->receive(QByteArray("\x09", 1)); // stale input before the query
    QByteArray reply;
    bool answered = false;
    m_link->QueryExchange(*BuildFrame(CommandCode::ClockQuery, 0, 0, QString()), ZoneLink::Query {},
                          [&](const QByteArray &r) {
                              reply = r;
                              answered = true;
                          });
    QTimer::singleShot(30, this, [this] { m_port->receive("08:0"); });
    QTimer::singleShot(60, this, [this] { m_port->receive("0:05"); });
    QVERIFY(QTest::qWaitFor([&] { return answered; }, 5000));
    QCOMPARE(reply, QByteArray("08:00:05"));
    QCOMPARE(keys.size(), 1); // only the byte before the query was taken as a key
    m_port->receive(QByteArray("\x05", 1));
    QCOMPARE(keys.size(), 2);
}

void tst_ZoneLink::statusQueryKeepsTheLineUntilTheDeadline()
{
    ZoneLink::Query query;
    query.replySize = 12;
    query.deadlineMs = 1000;
    query.waitWholeDeadline = true;
    query.dropTerminalReady = true;
    const QByteArray answer = QByteArray::fromHex("000041FF000011 0A231400 00");
    QElapsedTimer t;
    t.start();
    qint64 answeredAt = -1;
    QByteArray reply;
    m_link->QueryExchange(*BuildFrame(CommandCode::StatusQuery, 0, 0, QStringLiteral("17.")), query,
                          [&](const QByteArray &r) {
                              reply = r;
                              answeredAt = t.elapsed();
                          });
    const QByteArray next = frameWith(1);
    m_link->WriteFrame(next);
    QSignalSpy keys(m_link.get(), &ZoneLink::keyReceived);
    QTimer::singleShot(20, this, [&] { m_port->receive(answer); });
    // A late echo of the reply, before the deadline, is no remote key.
    QTimer::singleShot(200, this, [&] { m_port->receive(QByteArray("\x01\x41", 2)); });
    QVERIFY(runUntilIdle());
    QVERIFY(keys.isEmpty());
    m_port->receive(QByteArray("\x05", 1)); // the next key is read as itself
    QCOMPARE(keys.size(), 1);
    QCOMPARE(keys.at(0).at(0).toInt(), 5);
    QCOMPARE(reply, answer);
    QVERIFY(answeredAt >= 0);
    QVERIFY(answeredAt < 1000); // handed over as soon as it was complete, before the deadline
    QStringList order;
    qint64 writeAt = 0, nextAt = 0;
    for (const auto &e : m_port->events) {
        order << e.what;
        if (e.what == u"write")
            (e.bytes == next ? nextAt : writeAt) = e.ms;
    }
    QCOMPARE(order.mid(0, 3), (QStringList {"dtr off", "clear", "write"}));
    QVERIFY(order.contains(QStringLiteral("dtr on")));
    QVERIFY2(nextAt - writeAt >= 1000, "the next frame waits for the deadline");
}

void tst_ZoneLink::queryWithoutReplyEndsAtTheDeadline()
{
    QElapsedTimer t;
    t.start();
    bool answered = false;
    QByteArray reply("x");
    m_link->QueryExchange(*BuildFrame(CommandCode::PowerOnTimeQuery, 0, 0, QString()), ZoneLink::Query {},
                          [&](const QByteArray &r) {
                              reply = r;
                              answered = true;
                          });
    QVERIFY(QTest::qWaitFor([&] { return answered; }, 5000));
    QVERIFY(t.elapsed() >= 200);
    QVERIFY(reply.isEmpty());
}

void tst_ZoneLink::lostDeviceDropsFramesAndComesBack()
{
    QSignalSpy lost(m_link.get(), &ZoneLink::linkLost);
    QSignalSpy restored(m_link.get(), &ZoneLink::linkRestored);
    int dropped = 0;
    for (int i = 0; i < 3; ++i)
        m_link->SendFrame(frameWith(i + 1), [&dropped](bool sent) { dropped += sent ? 0 : 1; });
    QTest::qWait(30); // the first is waiting behind its raised RTS
    m_port->loseDevice();
    QCOMPARE(lost.size(), 1);
    QCOMPARE(dropped, 3);
    QCOMPARE(m_link->queuedFrames(), 0);
    QVERIFY(m_port->writes().isEmpty());
    // Frames while the device is away are dropped at once.
    m_link->SendFrame(frameWith(4), [&dropped](bool sent) { dropped += sent ? 0 : 1; });
    QCOMPARE(dropped, 4);
    // The device comes back: the port opens again by itself.
    m_port->devices.insert(QStringLiteral("/dev/ttyS0"));
    QVERIFY(restored.wait(3 * ZoneLink::kReconnectMs));
    QVERIFY(m_link->isOpen());
    bool sent = false;
    const QByteArray after = frameWith(5);
    m_link->SendFrame(after, [&sent](bool ok) { sent = ok; });
    QVERIFY(runUntilIdle());
    QVERIFY(sent);
    QCOMPARE(m_port->writes(), QList<QByteArray> {after});
}

QTEST_GUILESS_MAIN(tst_ZoneLink)
#include "tst_zonelink.moc"
