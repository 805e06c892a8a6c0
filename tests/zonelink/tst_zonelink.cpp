#include "linktime.h"
#include "support/fakedialogs.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "support/virtuallinkclock.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
QByteArray frameWith(int values)
{
    QString list;
    for (int i = 0; i < values; ++i)
        list += QString::number(i % 256) + u'.';
    return *BuildFrame(CommandCode::ZoneClose, 0, 0, list);
}

QByteArray statusFrame()
{
    return *BuildFrame(CommandCode::StatusQuery, 0, 0, u"17."_s);
}

QByteArray statusAnswer()
{
    return QByteArray::fromHex("000041FF000011 0A231400 00");
}

ZoneLink::Query statusQuery()
{
    ZoneLink::Query query;
    query.replySize = 12;
    query.deadlineMs = 1000;
    query.waitWholeDeadline = true;
    query.dropTerminalReady = true;
    return query;
}

QStringList eventNames(const QList<FakeSerialPort::Event> &events)
{
    QStringList names;
    for (const auto &e : events)
        names << e.what;
    return names;
}

// Where a completion runs, for the tests that act from inside one.
enum class Trigger { DroppedAtClosedPort, Sent, DroppedByClosing, EarlyStatusReply, QueryAnswered };

// Drives one link with random calls from a fixed seed and records what each
// job was told. Completions and reply handlers now and then act on the link
// themselves (close, reopen, queue, query, lose the device, drop a context),
// as the console's do.
class LinkFuzzer
{
public:
    // roughness: the percentage of the closes, reopenings and losses drawn
    // that really happen; a calm run lets more frames through to the wire.
    // statusOrder: some queries take the terminal status order, with its
    // send delay and every reply handed over.
    LinkFuzzer(ZoneLink &link, FakeSerialPort &port, LinkTime &time, quint32 seed, int roughness,
               bool statusOrder = false)
        : m_link(link)
        , m_port(port)
        , m_time(&time)
        , m_rng(seed)
        , m_roughness(roughness)
        , m_statusOrder(statusOrder)
    {
        for (int i = 0; i < 6; ++i)
            m_contexts.push_back(std::make_unique<QObject>());
    }

    void play(int steps)
    {
        for (int i = 0; i < steps; ++i) {
            act(0);
            m_time->advance(int(m_rng.bounded(30)));
        }
    }

    // Nothing queued, and every job whose owner lives was told.
    bool settled() const
    {
        if (m_link.queuedFrames() != 0)
            return false;
        for (const Record &r : m_records) {
            if (m_contexts[r.context] && r.calls == 0)
                return false;
        }
        return true;
    }

    int jobs() const { return int(m_records.size()); }

    QStringList faults() const
    {
        QStringList found;
        if (m_link.queuedFrames() != 0)
            found << u"%1 frames still queued"_s.arg(m_link.queuedFrames());
        for (int id = 0; id < m_records.size(); ++id) {
            const Record &r = m_records.at(id);
            if (r.calls > 1)
                found << u"job %1 completed %2 times"_s.arg(id).arg(r.calls);
            if (m_contexts[r.context] && r.calls == 0)
                found << u"job %1 never completed"_s.arg(id);
            if (r.calledAfterContextDied)
                found << u"job %1 completed after its context died"_s.arg(id);
            if (r.sideCallAfterEnd)
                found << u"job %1 heard from after its completion"_s.arg(id);
        }
        if (m_port.rtsRaised())
            found << u"request-to-send is up on an idle link"_s;
        // Each write belongs to one job, in queue order; a frame with line
        // handling goes out under request-to-send, any other without it.
        int last = -1;
        QList<QByteArray> whole;
        for (const auto &e : m_port.events) {
            if (e.what != u"write")
                continue;
            if (e.bytes.size() < 3) {
                found << u"a write of unknown bytes %1"_s.arg(QString::fromLatin1(e.bytes.toHex()));
                continue;
            }
            const int id = (quint8(e.bytes.at(1)) << 8) | quint8(e.bytes.at(2));
            if (id <= last)
                found << u"job %1 written after job %2"_s.arg(id).arg(last);
            last = id;
            if (id >= m_records.size())
                continue;
            const Record &r = m_records.at(id);
            if (e.rts != (r.kind == Kind::Send))
                found << u"job %1 written with request-to-send %2"_s.arg(id).arg(e.rts ? u"up"
                                                                                       : u"down");
            if (e.bytes == r.frame)
                whole << e.bytes;
        }
        for (int id = 0; id < m_records.size(); ++id) {
            const Record &r = m_records.at(id);
            const bool toldWritten = r.kind == Kind::Query ? !r.reply.isEmpty() : r.sent;
            if (r.calls > 0 && toldWritten && !whole.contains(r.frame))
                found << u"job %1 told it went out, but its bytes were not written whole"_s.arg(id);
        }
        return found;
    }

private:
    enum class Kind { Send, Write, Query };
    struct Record
    {
        Kind kind = Kind::Send;
        QByteArray frame;
        int context = 0;
        int calls = 0;
        bool sent = false;
        QByteArray reply;
        bool calledAfterContextDied = false;
        bool sideCallAfterEnd = false; // the window opened or a reply came after the completion
    };

    void act(int depth)
    {
        const quint32 roll = m_rng.bounded(100);
        if (roll < 14) {
            queue(Kind::Send, depth);
        } else if (roll < 44) {
            queue(Kind::Write, depth);
        } else if (roll < 60) {
            queue(Kind::Query, depth);
        } else if (roll < 68) {
            if (rough())
                disrupt(depth);
        } else if (roll < 85) {
            QByteArray bytes(int(m_rng.bounded(1, 9)), '\0');
            for (char &c : bytes)
                c = char(m_rng.bounded(256));
            m_port.receive(bytes);
        } else if (roll < 88) {
            dropContext();
        } else if (roll < 91) {
            m_port.writeLimits.append(m_rng.bounded(2) ? -1 : 3);
        }
    }

    // What a completion does, from inside it: mostly queue more, as the
    // console's do, sometimes close or reopen the port.
    void react(int depth)
    {
        const quint32 roll = m_rng.bounded(100);
        if (roll < 12) {
            if (rough())
                disrupt(depth);
        } else if (roll < 40) {
            queue(Kind(m_rng.bounded(3)), depth);
        } else if (roll < 50) {
            dropContext();
        }
    }

    void disrupt(int depth)
    {
        switch (m_rng.bounded(8)) {
        case 0:
        case 1:
            m_link.closePort();
            return;
        case 2:
        case 3:
        case 4:
            reopen();
            return;
        case 5:
        case 6:
            m_link.closePort();
            reopen();
            queue(Kind(m_rng.bounded(3)), depth);
            return;
        default:
            m_port.loseDevice();
            return;
        }
    }

    bool rough() { return int(m_rng.bounded(100)) < m_roughness; }

    void dropContext() { m_contexts[m_rng.bounded(int(m_contexts.size()))].reset(); }

    void reopen()
    {
        if (m_rng.bounded(8) != 0)
            m_port.devices.insert(u"/dev/ttyS0"_s);
        m_link.OpenZonePort(u"com1"_s);
    }

    void queue(Kind kind, int depth)
    {
        const int id = int(m_records.size());
        Record r;
        r.kind = kind;
        r.frame = QByteArray("\xA5", 1) + char(id >> 8) + char(id & 0xFF) + char(kind);
        r.context = int(m_rng.bounded(int(m_contexts.size())));
        m_records.append(r);
        const QObject *context = m_contexts[r.context].get(); // null once dropped
        const auto then = [this, depth] {
            if (depth < 2)
                react(depth + 1);
        };
        const auto done = [this, id, then](bool sent) {
            note(id, sent, {});
            then();
        };
        switch (kind) {
        case Kind::Send:
            m_link.SendFrame(r.frame, context, done);
            return;
        case Kind::Write:
            m_link.WriteFrame(r.frame, context, done);
            return;
        case Kind::Query: {
            ZoneLink::Query query;
            query.replySize = int(m_rng.bounded(1, 5));
            query.deadlineMs = int(m_rng.bounded(20, 80));
            query.waitWholeDeadline = m_rng.bounded(2) == 0;
            query.dropTerminalReady = m_rng.bounded(2) == 0;
            if (m_statusOrder && m_rng.bounded(2) == 0) {
                query.sendDelayMs = int(m_rng.bounded(30));
                query.windowOpened = [this, id] { noteSide(id); };
                query.eachReply = [this, id, then](const QByteArray &) {
                    noteSide(id);
                    then();
                };
            }
            m_link.QueryExchange(r.frame, query, context,
                                 [this, id, then](const QByteArray &reply) {
                                     note(id, true, reply);
                                     then();
                                 });
            // Often an answer comes; whether the query is on the line by then is chance.
            if (m_rng.bounded(3) != 0) {
                const QByteArray answer(query.replySize, char(0x30 + id % 10));
                m_time->after(int(m_rng.bounded(60)), &m_timers,
                              [this, answer] { m_port.receive(answer); });
            }
            return;
        }
        }
    }

    void noteSide(int id)
    {
        Record &r = m_records[id];
        if (!m_contexts[r.context])
            r.calledAfterContextDied = true;
        if (r.calls > 0)
            r.sideCallAfterEnd = true;
    }

    void note(int id, bool sent, const QByteArray &reply)
    {
        Record &r = m_records[id];
        ++r.calls;
        if (!m_contexts[r.context])
            r.calledAfterContextDied = true;
        r.sent = sent;
        r.reply = reply;
    }

    ZoneLink &m_link;
    FakeSerialPort &m_port;
    LinkTime *m_time;
    QRandomGenerator m_rng;
    const int m_roughness;
    const bool m_statusOrder;
    QObject m_timers; // the answers still to come go with the fuzzer
    std::vector<std::unique_ptr<QObject>> m_contexts;
    QList<Record> m_records;
};
} // namespace

class tst_ZoneLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void sendFrameHandlesTheLine_data();
    void sendFrameHandlesTheLine();
    void framesNeverInterleave();
    void completionsKeepTheOrder();
    void writeFrameHasNoLineHandling();
    void portWithoutModemLinesStillSends();
    void commandsBuildTheirFrames();
    void commandsSplitLongLists_data();
    void commandsSplitLongLists();
    void portDevices_data();
    void portDevices();
    void missingDeviceWarns();
    void onlyTheFirstByteOfAChunkCounts();
    void clockQueryCollectsItsReply();
    void statusQueryKeepsTheLineUntilTheDeadline();
    void queryWithoutReplyEndsAtTheDeadline();
    void statusOrderRestsBeforeTheWindow_data();
    void statusOrderRestsBeforeTheWindow();
    void statusOrderHandsOverEveryReply();
    void keysBeforeTheWindow_data();
    void keysBeforeTheWindow();
    void statusOrderCallsNothingWithoutItsOwner();
    void refusedStatusOrderEndsAtOnce();
    void lostDeviceDropsFramesAndComesBack();
    void incompleteWriteIsNotSent_data();
    void incompleteWriteIsNotSent();
    void refusedQueryEndsAtOnce();
    void completionNeedsItsContext_data();
    void completionNeedsItsContext();
    void earlyReplyHandlerMayCloseThePort();
    void lostDeviceAfterEarlyReplyAnswersNothing();
    void framesQueuedWhileClosingAreDropped_data();
    void framesQueuedWhileClosingAreDropped();
    void completionMayReopenAndSend_data();
    void completionMayReopenAndSend();
    void openingAgainDropsFramesUnderWay();
    void deviceLostInsideAPortCall_data();
    void deviceLostInsideAPortCall();
    void destroyedLinkCallsNothing();
    void randomUse_data();
    void randomUse();

private:
    bool runUntilIdle();
    // The link and the fake wire run on virtual time.
    std::unique_ptr<LinkTime> m_time;
    std::unique_ptr<FakeSerialPort> m_port;
    MemoryUserStore m_store;
    FakeDialogs m_dialogs;
    std::unique_ptr<ZoneLink> m_link;
};

void tst_ZoneLink::init()
{
    m_time = std::make_unique<LinkTime>();
    m_port = std::make_unique<FakeSerialPort>();
    m_time->useBy(*m_port);
    m_port->devices.insert(u"/dev/ttyS0"_s);
    m_store = MemoryUserStore();
    m_dialogs = FakeDialogs();
    m_link = std::make_unique<ZoneLink>(*m_port, m_store, m_dialogs, *m_time);
    m_link->OpenZonePort(u"com1"_s);
    QVERIFY(m_link->isOpen());
    m_port->events.clear();
}

void tst_ZoneLink::cleanup()
{
    // The link holds the port and the clock by reference: it goes first.
    m_link.reset();
    m_port.reset();
    m_time.reset();
}

bool tst_ZoneLink::runUntilIdle()
{
    return m_time->runUntil([this] { return m_link->queuedFrames() == 0; });
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
    int calls = 0;
    bool done = false;
    m_link->SendFrame(frame, this, [&](bool sent) {
        ++calls;
        done = sent;
    });
    QVERIFY(!done);
    QVERIFY(m_port->rtsRaised());
    QVERIFY(runUntilIdle());
    QCOMPARE(calls, 1);
    QVERIFY(done);
    QVERIFY(!m_port->rtsRaised());
    QCOMPARE(eventNames(m_port->events),
             (QStringList {u"rts on"_s, u"write"_s, u"drained"_s, u"rts off"_s}));
    const auto &ev = m_port->events;
    QCOMPARE(ev.at(1).bytes, frame);
    QVERIFY2(ev.at(1).ms - ev.at(0).ms >= 100, "RTS raised at least 100 ms before the bytes");
    QVERIFY2(ev.at(2).ms - ev.at(1).ms >= qint64(frame.size() * 8.3),
             "the bytes drained at 1200 baud");
    QVERIFY2(ev.at(3).ms - ev.at(2).ms >= 100, "RTS held at least 100 ms after the drain");
}

void tst_ZoneLink::framesNeverInterleave()
{
    const QByteArray a = frameWith(20);
    const QByteArray b = *BuildFrame(CommandCode::AmpOpen, 0, 0, kAllEight);
    const QByteArray c = *BuildFrame(CommandCode::ClockQuery, 0, 0, QString());
    // Two senders at once (a tick and a remote key, say) and a plain write.
    m_link->SendFrame(a);
    m_time->after(50, this, [&] { m_link->SendFrame(b); });
    m_time->after(60, this, [&] { m_link->WriteFrame(c); });
    m_time->advance(70);
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
    m_link->SendFrame(first, this, [&](bool) {
        log << u"first done"_s;
        // What a caller sends after its frames follows those already queued.
        m_link->SendFrame(third, this, [&](bool) { log << u"third done"_s; });
    });
    m_link->SendFrame(second, this, [&](bool) { log << u"second done"_s; });
    QVERIFY(runUntilIdle());
    QCOMPARE(log, (QStringList {u"first done"_s, u"second done"_s, u"third done"_s}));
    QCOMPARE(m_port->writes(), (QList<QByteArray> {first, second, third}));
}

void tst_ZoneLink::writeFrameHasNoLineHandling()
{
    const QByteArray frame = *BuildFrame(CommandCode::PowerOnTimeSet, 0, 0, u"05.00.00."_s);
    bool done = false;
    m_link->WriteFrame(frame, this, [&done](bool sent) { done = sent; });
    QVERIFY(runUntilIdle());
    QVERIFY(done);
    QCOMPARE(m_port->events.first().what, u"write"_s);
    for (const auto &e : m_port->events)
        QVERIFY(!e.what.startsWith(u"rts"));
}

void tst_ZoneLink::portWithoutModemLinesStillSends()
{
    m_port->linesWork = false;
    bool done = false;
    m_link->SendFrame(frameWith(2), this, [&done](bool sent) { done = sent; });
    QVERIFY(runUntilIdle());
    QVERIFY(done);
    QCOMPARE(m_port->writes().size(), 1);
}

void tst_ZoneLink::commandsBuildTheirFrames()
{
    QSignalSpy queued(m_link.get(), &ZoneLink::frameQueued);
    QList<bool> results;
    QVERIFY(m_link->sendCommand(CommandCode::AmpOpen, u"0"_s, u"0"_s, kAllEight, this,
                                [&](bool sent) { results << sent; }));
    QVERIFY(m_link->writeCommand(CommandCode::ClockSet, u"0"_s, u"0"_s, u"7.55.0."_s, this,
                                 [&](bool sent) { results << sent; }));
    // A parameter that is no number cannot be framed: told false at once, nothing queued.
    QVERIFY(!m_link->sendCommand(CommandCode::AmpOpen, u"x"_s, u"0"_s, kAllEight, this,
                                 [&](bool sent) { results << sent; }));
    QCOMPARE(results, QList<bool> {false});
    QVERIFY(runUntilIdle());
    QCOMPARE(results, (QList<bool> {false, true, true}));
    QCOMPARE(queued.size(), 2);
    QCOMPARE(queued.at(0).at(1).toBool(), true);
    QCOMPARE(queued.at(1).at(1).toBool(), false);
    QCOMPARE(m_port->writes(),
             (QList<QByteArray> {*BuildFrame(CommandCode::AmpOpen, 0, 0, kAllEight),
                                 *BuildFrame(CommandCode::ClockSet, 0, 0, u"7.55.0."_s)}));
}

void tst_ZoneLink::commandsSplitLongLists_data()
{
    QTest::addColumn<int>("values");
    QTest::addColumn<bool>("lineHandling");
    QTest::addColumn<int>("refused"); // the write the port refuses; -1: none
    QTest::addColumn<int>("lostAfter"); // frames out before the device goes; -1: it stays
    QTest::addColumn<QList<int>>("written"); // N of each frame on the wire
    QTest::addColumn<bool>("sent");

    QTest::newRow("empty list") << 0 << true << -1 << -1 << QList<int> {0} << true;
    QTest::newRow("255 terminals, one frame")
        << 255 << true << -1 << -1 << QList<int> {255} << true;
    QTest::newRow("256 terminals, two frames")
        << 256 << true << -1 << -1 << QList<int> {255, 1} << true;
    QTest::newRow("512 written, three frames")
        << 512 << false << -1 << -1 << QList<int> {255, 255, 2} << true;
    QTest::newRow("the middle frame refused, the last still sent")
        << 512 << true << 1 << -1 << QList<int> {255, 2} << false;
    QTest::newRow("the last frame refused") << 256 << true << 1 << -1 << QList<int> {255} << false;
    QTest::newRow("port gone after the first frame")
        << 512 << true << -1 << 1 << QList<int> {255} << false;
}

void tst_ZoneLink::commandsSplitLongLists()
{
    QFETCH(int, values);
    QFETCH(bool, lineHandling);
    QFETCH(int, refused);
    QFETCH(int, lostAfter);
    QFETCH(QList<int>, written);
    QFETCH(bool, sent);
    // The frames take their real time on the fake wire, on a clock of the test's.
    FakeSerialPort port;
    VirtualLinkClock clock;
    clock.useBy(port);
    port.devices.insert(u"/dev/ttyS0"_s);
    ZoneLink link(port, m_store, m_dialogs, clock);
    link.OpenZonePort(u"com1"_s);
    port.events.clear();
    for (int i = 0; i < 3; ++i)
        port.writeLimits << (i == refused ? -1 : 100000);

    QString list;
    for (int i = 0; i < values; ++i)
        list += QString::number(i % 256) + u'.';
    QSignalSpy queued(&link, &ZoneLink::frameQueued);
    QList<bool> told;
    qsizetype writesWhenTold = -1;
    const auto done = [&](bool ok) {
        told << ok;
        writesWhenTold = port.writes().size();
    };
    QVERIFY(lineHandling
                ? link.sendCommand(CommandCode::ZoneClose, u"0"_s, u"0"_s, list, this, done)
                : link.writeCommand(CommandCode::ZoneClose, u"0"_s, u"0"_s, list, this, done));
    const int frames = (values + 254) / 255 + (values == 0 ? 1 : 0);
    QCOMPARE(queued.size(), frames);
    for (const QList<QVariant> &signal : queued)
        QCOMPARE(signal.at(1).toBool(), lineHandling);
    if (lostAfter >= 0) {
        // Until that many frames are wholly out, RTS tail and all.
        const auto out = [&] {
            return std::count_if(port.events.cbegin(), port.events.cend(),
                                 [&](const auto &e) {
                                     return e.what == (lineHandling ? u"rts off" : u"drained");
                                 })
                >= lostAfter;
        };
        clock.runUntil(out);
        QVERIFY(out());
        port.loseDevice();
    }
    clock.runUntil();
    QCOMPARE(link.queuedFrames(), 0);

    QList<int> shape;
    QList<int> onWire;
    for (const QByteArray &frame : port.writes()) {
        const auto pieces = FrameDecoder().feed(frame);
        QCOMPARE(pieces.size(), 1);
        QCOMPARE(pieces.at(0).frame.code, CommandCode::ZoneClose);
        shape << int(pieces.at(0).frame.values.size());
        onWire << pieces.at(0).frame.values;
    }
    QCOMPARE(shape, written);
    // Told once, after the last frame was out or dropped, whether all went out.
    QCOMPARE(told, QList<bool> {sent});
    QCOMPARE(writesWhenTold, written.size());
    if (sent) {
        QList<int> all;
        for (int i = 0; i < values; ++i)
            all << i % 256;
        QCOMPARE(onWire, all);
    }
}

void tst_ZoneLink::portDevices_data()
{
    QTest::addColumn<QString>("comPort");
    QTest::addColumn<QString>("stored"); // ports/com2 in the store; null: none
    QTest::addColumn<QString>("device");
    QTest::newRow("com2 by default") << u"com2"_s << QString() << u"/dev/ttyS1"_s;
    QTest::newRow("com5 by default") << u"com5"_s << QString() << u"/dev/ttyS4"_s;
    QTest::newRow("com2 mapped to an adapter")
        << u"com2"_s << u"/dev/ttyUSB0"_s << u"/dev/ttyUSB0"_s;
    QTest::newRow("upper case is not a port name")
        << u"COM2"_s << u"/dev/ttyUSB0"_s << u"/dev/ttyS0"_s;
    QTest::newRow("com6 is not a port name") << u"com6"_s << QString() << u"/dev/ttyS0"_s;
}

void tst_ZoneLink::portDevices()
{
    QFETCH(QString, comPort);
    QFETCH(QString, stored);
    QFETCH(QString, device);
    if (!stored.isNull())
        m_store.values.insert(u"ports/com2"_s, stored);
    m_port->devices.insert(device);
    m_link.reset();
    m_link = std::make_unique<ZoneLink>(*m_port, m_store, m_dialogs);
    m_link->OpenZonePort(comPort);
    QCOMPARE(m_port->openedPath, device);
    QVERIFY(m_link->isOpen());
    // Opened with DTR raised and RTS dropped.
    const QStringList lines = eventNames(m_port->events);
    QVERIFY(lines.contains(u"dtr on"_s));
    QVERIFY(lines.contains(u"rts off"_s));
}

void tst_ZoneLink::missingDeviceWarns()
{
    FakeSerialPort port; // no devices at all
    ZoneLink link(port, m_store, m_dialogs);
    link.OpenZonePort(u"com3"_s);
    QVERIFY(!link.isOpen());
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.at(0).text, u"打开串行口错误，请重新选择串行口"_s);
    QCOMPARE(m_dialogs.shown.at(0).title, u"串行口设置不对"_s);
    QCOMPARE(m_dialogs.shown.at(0).icon, MsgIcon::Exclamation);
    // A notice: the link does not wait for the operator to close it.
    QVERIFY(!m_dialogs.shown.at(0).waited);
    // A frame on a closed port is dropped, not kept for later.
    int calls = 0;
    bool result = true;
    link.SendFrame(frameWith(1), this, [&](bool sent) {
        ++calls;
        result = sent;
    });
    QCOMPARE(calls, 1);
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
    int answers = 0;
    m_link->QueryExchange(*BuildFrame(CommandCode::ClockQuery, 0, 0, QString()), ZoneLink::Query {},
                          this, [&](const QByteArray &r) {
                              reply = r;
                              ++answers;
                          });
    m_time->after(30, this, [this] { m_port->receive("08:0"); });
    m_time->after(60, this, [this] { m_port->receive("0:05"); });
    QVERIFY(m_time->runUntil([&] { return answers > 0; }));
    QCOMPARE(reply, QByteArray("08:00:05"));
    QCOMPARE(keys.size(), 1); // only the byte before the query was taken as a key
    m_port->receive(QByteArray("\x05", 1));
    QCOMPARE(keys.size(), 2);
    QVERIFY(runUntilIdle());
    QCOMPARE(answers, 1);
}

void tst_ZoneLink::statusQueryKeepsTheLineUntilTheDeadline()
{
    const QByteArray answer = statusAnswer();
    const qint64 start = m_time->nowMs();
    qint64 answeredAt = -1;
    int answers = 0;
    QByteArray reply;
    m_link->QueryExchange(statusFrame(), statusQuery(), this, [&](const QByteArray &r) {
        reply = r;
        answeredAt = m_time->nowMs() - start;
        ++answers;
    });
    const QByteArray next = frameWith(1);
    m_link->WriteFrame(next);
    QSignalSpy keys(m_link.get(), &ZoneLink::keyReceived);
    m_time->after(20, this, [&] { m_port->receive(answer); });
    // A late echo of the reply, before the deadline, is no remote key.
    m_time->after(200, this, [&] { m_port->receive(QByteArray("\x01\x41", 2)); });
    QVERIFY(runUntilIdle());
    QVERIFY(keys.isEmpty());
    m_port->receive(QByteArray("\x05", 1)); // the next key is read as itself
    QCOMPARE(keys.size(), 1);
    QCOMPARE(keys.at(0).at(0).toInt(), 5);
    QCOMPARE(answers, 1);
    QCOMPARE(reply, answer);
    QVERIFY(answeredAt >= 0);
    QVERIFY(answeredAt < 1000); // handed over as soon as it was complete, before the deadline
    qint64 writeAt = 0, nextAt = 0;
    for (const auto &e : m_port->events) {
        if (e.what == u"write")
            (e.bytes == next ? nextAt : writeAt) = e.ms;
    }
    const QStringList order = eventNames(m_port->events);
    QCOMPARE(order.mid(0, 3), (QStringList {u"dtr off"_s, u"clear"_s, u"write"_s}));
    QVERIFY(order.contains(u"dtr on"_s));
    QVERIFY2(nextAt - writeAt >= 1000, "the next frame waits for the deadline");
}

namespace {
// The terminal status order: DTR, write, send delay, then a window in which
// every reply is handed over.
ZoneLink::Query statusOrder(int sendDelayMs, int deadlineMs)
{
    ZoneLink::Query query = statusQuery();
    query.sendDelayMs = sendDelayMs;
    query.deadlineMs = deadlineMs;
    query.eachReply = [](const QByteArray &) {};
    return query;
}
} // namespace

void tst_ZoneLink::statusOrderRestsBeforeTheWindow_data()
{
    QTest::addColumn<int>("sendDelayMs");
    QTest::addColumn<int>("deadlineMs");
    QTest::newRow("no delay") << 0 << 200;
    QTest::newRow("shortest window") << 50 << 200;
    QTest::newRow("longest delay and window") << 100 << 1200;
}

void tst_ZoneLink::statusOrderRestsBeforeTheWindow()
{
    QFETCH(int, sendDelayMs);
    QFETCH(int, deadlineMs);
    ZoneLink::Query query = statusOrder(sendDelayMs, deadlineMs);
    int openings = 0;
    QStringList atOpening;
    query.windowOpened = [&] {
        ++openings;
        atOpening = eventNames(m_port->events);
    };
    int answers = 0;
    m_link->QueryExchange(statusFrame(), query, this, [&](const QByteArray &) { ++answers; });
    const QByteArray next = frameWith(1);
    m_link->WriteFrame(next);
    QVERIFY(runUntilIdle());
    QCOMPARE(openings, 1);
    QCOMPARE(answers, 1);
    QCOMPARE(atOpening,
             (QStringList {u"dtr on"_s, u"write"_s, u"drained"_s, u"dtr off"_s, u"clear"_s}));
    const auto &ev = m_port->events;
    QCOMPARE(eventNames(ev),
             (QStringList {u"dtr on"_s, u"write"_s, u"drained"_s, u"dtr off"_s, u"clear"_s,
                           u"dtr on"_s, u"write"_s, u"drained"_s}));
    QCOMPARE(ev.at(1).bytes, statusFrame());
    QCOMPARE(ev.at(6).bytes, next);
    QVERIFY2(ev.at(3).ms - ev.at(2).ms >= sendDelayMs, "DTR drops after the send delay");
    QVERIFY2(ev.at(5).ms - ev.at(4).ms >= deadlineMs, "the window is waited out");
    QVERIFY2(ev.at(6).ms - ev.at(4).ms >= deadlineMs, "the next frame waits for the window");
}

void tst_ZoneLink::statusOrderHandsOverEveryReply()
{
    const QByteArray answer = statusAnswer();
    const QByteArray other = QByteArray::fromHex("000041FF00001208001600");
    ZoneLink::Query query = statusOrder(60, 400);
    QList<QByteArray> chunks;
    query.eachReply = [&](const QByteArray &chunk) { chunks.append(chunk); };
    QObject feeds;
    query.windowOpened = [&] {
        m_time->after(20, &feeds, [&] { m_port->receive(answer.left(11)); });
        m_time->after(60, &feeds, [&] {
            QVERIFY(chunks.isEmpty()); // eleven bytes are no reply yet
            m_port->receive(answer.mid(11));
        });
        m_time->after(120, &feeds, [&] { m_port->receive(other + other.left(1)); });
        m_time->after(160, &feeds, [&] { m_port->receive(QByteArray("\x01\x02\x03", 3)); });
    };
    QByteArray last("x");
    int answers = 0;
    QSignalSpy keys(m_link.get(), &ZoneLink::keyReceived);
    m_link->QueryExchange(statusFrame(), query, this, [&](const QByteArray &r) {
        last = r;
        ++answers;
    });
    // Bytes that come before the window opens are no reply, and no key either.
    m_time->after(30, &feeds, [&] { m_port->receive(QByteArray("\x01", 1) + answer); });
    QVERIFY(runUntilIdle());
    QCOMPARE(chunks, (QList<QByteArray> {answer, other + other.left(1)}));
    QCOMPARE(answers, 1);
    QCOMPARE(last, QByteArray("\x01\x02\x03", 3)); // what was left at the deadline
    QVERIFY(keys.isEmpty());
    m_port->receive(QByteArray("\x05", 1));
    QCOMPARE(keys.size(), 1);
}

void tst_ZoneLink::keysBeforeTheWindow_data()
{
    // What the controller sends while a status order query goes out and
    // rests its send delay: "E" the line's echo of the query, a digit a key.
    QTest::addColumn<bool>("keepKeys");
    QTest::addColumn<QString>("early");
    QTest::addColumn<QList<int>>("keys");
    QTest::newRow("kept: a key") << true << u"5"_s << QList<int> {5};
    QTest::newRow("kept: the echo, then a key") << true << u"E3"_s << QList<int> {3};
    QTest::newRow("kept: a key, then the echo") << true << u"8E"_s << QList<int> {8};
    QTest::newRow("kept: the echo alone") << true << u"E"_s << QList<int> {};
    QTest::newRow("kept: nothing") << true << QString() << QList<int> {};
    QTest::newRow("the status check: a key is discarded") << false << u"5"_s << QList<int> {};
    QTest::newRow("the status check: the echo and a key are discarded")
        << false << u"E3"_s << QList<int> {};
}

void tst_ZoneLink::keysBeforeTheWindow()
{
    QFETCH(bool, keepKeys);
    QFETCH(QString, early);
    QFETCH(QList<int>, keys);
    QByteArray bytes;
    for (QChar c : early)
        bytes += c == u'E' ? statusFrame() : QByteArray(1, char(c.digitValue()));
    ZoneLink::Query query = statusOrder(60, 200);
    query.keepKeys = keepKeys;
    QList<QByteArray> chunks;
    query.eachReply = [&](const QByteArray &chunk) { chunks.append(chunk); };
    QSignalSpy received(m_link.get(), &ZoneLink::keyReceived);
    QByteArray rest("x");
    m_link->QueryExchange(statusFrame(), query, this, [&](const QByteArray &r) { rest = r; });
    // 75 ms on the wire, then 60 ms of send delay.
    m_time->after(100, this, [&] { m_port->receive(bytes); });
    QVERIFY(runUntilIdle());
    QList<int> codes;
    for (const QList<QVariant> &args : std::as_const(received))
        codes.append(args.at(0).toInt());
    QCOMPARE(codes, keys);
    // No reply, and nothing left for the caller to sort.
    QVERIFY(chunks.isEmpty());
    QVERIFY(rest.isEmpty());
}

void tst_ZoneLink::statusOrderCallsNothingWithoutItsOwner()
{
    auto owner = std::make_unique<QObject>();
    int calls = 0;
    ZoneLink::Query query = statusOrder(50, 300);
    query.windowOpened = [&calls] { ++calls; };
    query.eachReply = [&calls](const QByteArray &) { ++calls; };
    m_link->QueryExchange(statusFrame(), query, owner.get(),
                          [&calls](const QByteArray &) { ++calls; });
    owner.reset();
    // Well inside the window: 75 ms on the wire, 50 ms of delay, 300 ms of window.
    m_time->after(250, this, [this] { m_port->receive(statusAnswer()); });
    QVERIFY(runUntilIdle());
    m_time->advance(100);
    QCOMPARE(calls, 0);
    // The query went its whole way all the same.
    QCOMPARE(eventNames(m_port->events),
             (QStringList {u"dtr on"_s, u"write"_s, u"drained"_s, u"dtr off"_s, u"clear"_s,
                           u"dtr on"_s}));
}

void tst_ZoneLink::refusedStatusOrderEndsAtOnce()
{
    m_port->writeLimits = {-1};
    ZoneLink::Query query = statusOrder(50, 60000);
    int openings = 0;
    query.windowOpened = [&openings] { ++openings; };
    int answers = 0;
    QByteArray reply("x");
    m_link->QueryExchange(statusFrame(), query, this, [&](const QByteArray &r) {
        reply = r;
        ++answers;
    });
    QVERIFY(m_time->runUntil([&] { return answers > 0; }));
    QVERIFY(reply.isEmpty());
    QCOMPARE(openings, 0);
    QCOMPARE(m_link->queuedFrames(), 0);
    QVERIFY(!eventNames(m_port->events).contains(u"dtr off"_s));
}

void tst_ZoneLink::queryWithoutReplyEndsAtTheDeadline()
{
    const qint64 start = m_time->nowMs();
    bool answered = false;
    QByteArray reply("x");
    m_link->QueryExchange(*BuildFrame(CommandCode::PowerOnTimeQuery, 0, 0, QString()),
                          ZoneLink::Query {}, this, [&](const QByteArray &r) {
                              reply = r;
                              answered = true;
                          });
    QVERIFY(m_time->runUntil([&] { return answered; }));
    QVERIFY(m_time->nowMs() - start >= 200);
    QVERIFY(reply.isEmpty());
}

void tst_ZoneLink::lostDeviceDropsFramesAndComesBack()
{
    QSignalSpy lost(m_link.get(), &ZoneLink::linkLost);
    QSignalSpy restored(m_link.get(), &ZoneLink::linkRestored);
    int dropped = 0;
    for (int i = 0; i < 3; ++i)
        m_link->SendFrame(frameWith(i + 1), this,
                          [&dropped](bool sent) { dropped += sent ? 0 : 1; });
    m_time->advance(30); // the first is waiting behind its raised RTS
    m_port->loseDevice();
    QCOMPARE(lost.size(), 1);
    QCOMPARE(dropped, 3);
    QCOMPARE(m_link->queuedFrames(), 0);
    QVERIFY(m_port->writes().isEmpty());
    // Frames while the device is away are dropped at once.
    m_link->SendFrame(frameWith(4), this, [&dropped](bool sent) { dropped += sent ? 0 : 1; });
    QCOMPARE(dropped, 4);
    // The device comes back: the port opens again by itself.
    m_port->devices.insert(u"/dev/ttyS0"_s);
    QVERIFY(restored.wait(3 * ZoneLink::kReconnectMs));
    QVERIFY(m_link->isOpen());
    // The reopened port gets its modem lines set again: DTR up, RTS down.
    QStringList sinceLoss = eventNames(m_port->events);
    sinceLoss = sinceLoss.mid(sinceLoss.lastIndexOf(u"open"_s));
    QCOMPARE(sinceLoss.mid(0, 3), (QStringList {u"open"_s, u"dtr on"_s, u"rts off"_s}));
    bool sent = false;
    const QByteArray after = frameWith(5);
    m_link->SendFrame(after, this, [&sent](bool ok) { sent = ok; });
    QVERIFY(runUntilIdle());
    QVERIFY(sent);
    QCOMPARE(m_port->writes(), QList<QByteArray> {after});
}

void tst_ZoneLink::incompleteWriteIsNotSent_data()
{
    QTest::addColumn<bool>("lineHandling");
    QTest::addColumn<qint64>("taken"); // bytes the port takes; -1 refuses the write
    QTest::newRow("send refused") << true << qint64(-1);
    QTest::newRow("send cut short") << true << qint64(3);
    QTest::newRow("write refused") << false << qint64(-1);
    QTest::newRow("write cut short") << false << qint64(3);
}

void tst_ZoneLink::incompleteWriteIsNotSent()
{
    QFETCH(bool, lineHandling);
    QFETCH(qint64, taken);
    m_port->writeLimits = {taken};
    QList<bool> results;
    const auto done = [&results](bool sent) { results << sent; };
    const QByteArray frame = frameWith(4);
    const QByteArray next = frameWith(5);
    if (lineHandling) {
        m_link->SendFrame(frame, this, done);
        m_link->SendFrame(next, this, done);
    } else {
        m_link->WriteFrame(frame, this, done);
        m_link->WriteFrame(next, this, done);
    }
    QVERIFY(runUntilIdle());
    // The frame that did not go out whole is reported so; the link goes on.
    QCOMPARE(results, (QList<bool> {false, true}));
    QCOMPARE(m_port->writes().last(), next);
    QVERIFY(!m_port->rtsRaised());
}

void tst_ZoneLink::refusedQueryEndsAtOnce()
{
    m_port->writeLimits = {-1};
    ZoneLink::Query query;
    query.deadlineMs = 60000; // no reply can come to a query that never left
    query.dropTerminalReady = true;
    int answers = 0;
    QByteArray reply("x");
    m_link->QueryExchange(*BuildFrame(CommandCode::ClockQuery, 0, 0, QString()), query, this,
                          [&](const QByteArray &r) {
                              reply = r;
                              ++answers;
                          });
    m_port->receive("08:00:05"); // whatever arrives is no answer to it
    QVERIFY(m_time->runUntil([&] { return answers > 0; }));
    QVERIFY(reply.isEmpty());
    QCOMPARE(m_link->queuedFrames(), 0);
    QCOMPARE(eventNames(m_port->events).last(), u"dtr on"_s);
}

void tst_ZoneLink::completionNeedsItsContext_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("frame sent") << u"send"_s;
    QTest::newRow("frame written") << u"write"_s;
    QTest::newRow("dropped by closing") << u"close"_s;
    QTest::newRow("dropped by a lost device") << u"lose"_s;
    QTest::newRow("query answered") << u"query"_s;
    QTest::newRow("status reply handed over early") << u"status"_s;
    QTest::newRow("context gone in an earlier completion") << u"earlier"_s;
    QTest::newRow("no context at all") << u"null"_s;
}

void tst_ZoneLink::completionNeedsItsContext()
{
    QFETCH(QString, path);
    auto owner = std::make_unique<QObject>();
    const QObject *context = path == u"null" ? nullptr : owner.get();
    int calls = 0;
    const auto done = [&calls](bool) { ++calls; };
    const auto answer = [&calls](const QByteArray &) { ++calls; };
    const QByteArray frame = frameWith(3);
    bool earlierDone = false;
    if (path == u"earlier") {
        // The owner goes away while its frame waits in the queue.
        m_link->WriteFrame(frameWith(1), this, [&](bool) {
            earlierDone = true;
            owner.reset();
        });
    }
    if (path == u"write")
        m_link->WriteFrame(frame, context, done);
    else if (path == u"query")
        m_link->QueryExchange(frame, ZoneLink::Query {}, context, answer);
    else if (path == u"status")
        m_link->QueryExchange(statusFrame(), statusQuery(), context, answer);
    else
        m_link->SendFrame(frame, context, done);
    if (path != u"earlier")
        owner.reset();
    if (path == u"close")
        m_link->closePort();
    else if (path == u"lose")
        m_port->loseDevice();
    else if (path == u"query" || path == u"status")
        m_port->receive(statusAnswer());
    QVERIFY(runUntilIdle());
    QCOMPARE(calls, 0);
    if (path == u"earlier")
        QVERIFY(earlierDone);
    // Only the call is skipped: the frame goes out as it would have.
    const bool dropped = path == u"close" || path == u"lose";
    QCOMPARE(m_port->writes().contains(path == u"status" ? statusFrame() : frame), !dropped);
}

void tst_ZoneLink::earlyReplyHandlerMayCloseThePort()
{
    int answers = 0;
    QByteArray reply;
    m_link->QueryExchange(statusFrame(), statusQuery(), this, [&](const QByteArray &r) {
        ++answers;
        m_link->closePort();
        // The handler still runs, with its captures, after the port is closed.
        reply = r;
    });
    int nextCalls = 0;
    bool nextSent = true;
    m_link->WriteFrame(frameWith(1), this, [&](bool sent) {
        ++nextCalls;
        nextSent = sent;
    });
    m_time->after(20, this, [this] { m_port->receive(statusAnswer()); });
    QVERIFY(m_time->runUntil([&] { return answers > 0; }));
    QVERIFY(runUntilIdle());
    m_time->advance(100);
    // The handler ran once, with the reply; the frame behind it was dropped.
    QCOMPARE(answers, 1);
    QCOMPARE(reply, statusAnswer());
    QCOMPARE(nextCalls, 1);
    QVERIFY(!nextSent);
    QVERIFY(!m_link->isOpen());
    QCOMPARE(m_port->writes(), QList<QByteArray> {statusFrame()});
}

void tst_ZoneLink::lostDeviceAfterEarlyReplyAnswersNothing()
{
    int answers = 0;
    QByteArray reply;
    m_link->QueryExchange(statusFrame(), statusQuery(), this, [&](const QByteArray &r) {
        ++answers;
        reply = r;
    });
    m_time->after(20, this, [this] { m_port->receive(statusAnswer()); });
    QVERIFY(m_time->runUntil([&] { return answers > 0; }));
    QCOMPARE(m_link->queuedFrames(), 1); // the line is still the query's
    m_port->loseDevice();
    QCOMPARE(m_link->queuedFrames(), 0);
    m_time->advance(statusQuery().deadlineMs + 100);
    QCOMPARE(answers, 1);
    QCOMPARE(reply, statusAnswer());
}

void tst_ZoneLink::framesQueuedWhileClosingAreDropped_data()
{
    QTest::addColumn<bool>("lineHandling"); // of the frame the completion queues
    QTest::newRow("sent frame") << true;
    QTest::newRow("written frame") << false;
}

void tst_ZoneLink::framesQueuedWhileClosingAreDropped()
{
    // The end of the day queues its power-on time from a completion; when
    // that completion runs because the port is being closed, the new frame
    // meets a closed port.
    QFETCH(bool, lineHandling);
    int firstCalls = 0, followCalls = 0;
    bool firstSent = true, followSent = true, openInCompletion = true;
    const auto follow = [&](bool sent) {
        ++followCalls;
        followSent = sent;
    };
    m_link->SendFrame(frameWith(1), this, [&](bool sent) {
        ++firstCalls;
        firstSent = sent;
        openInCompletion = m_link->isOpen();
        if (lineHandling)
            m_link->SendFrame(frameWith(2), this, follow);
        else
            m_link->WriteFrame(frameWith(2), this, follow);
    });
    m_time->advance(30); // the first frame waits behind its raised RTS
    m_link->closePort();
    QCOMPARE(firstCalls, 1);
    QVERIFY(!firstSent);
    QVERIFY(!openInCompletion);
    QCOMPARE(followCalls, 1);
    QVERIFY(!followSent);
    QCOMPARE(m_link->queuedFrames(), 0);
    m_time->advance(400); // long enough for a frame started anyway to finish
    QCOMPARE(followCalls, 1);
    QVERIFY(m_port->writes().isEmpty());
    QVERIFY(!m_port->rtsRaised());
}

void tst_ZoneLink::completionMayReopenAndSend_data()
{
    QTest::addColumn<Trigger>("trigger");
    QTest::newRow("frame dropped at a closed port") << Trigger::DroppedAtClosedPort;
    QTest::newRow("frame sent") << Trigger::Sent;
    QTest::newRow("frame dropped by closing") << Trigger::DroppedByClosing;
    QTest::newRow("status reply handed over early") << Trigger::EarlyStatusReply;
    QTest::newRow("query answered") << Trigger::QueryAnswered;
}

void tst_ZoneLink::completionMayReopenAndSend()
{
    QFETCH(Trigger, trigger);
    const QByteArray again = frameWith(9);
    int triggers = 0, againCalls = 0;
    bool againSent = false;
    const auto reopenAndSend = [&] {
        ++triggers;
        m_link->closePort();
        m_link->OpenZonePort(u"com1"_s);
        m_link->SendFrame(again, this, [&](bool sent) {
            ++againCalls;
            againSent = sent;
        });
    };
    const auto done = [&](bool) { reopenAndSend(); };
    const auto answer = [&](const QByteArray &) { reopenAndSend(); };
    switch (trigger) {
    case Trigger::DroppedAtClosedPort:
        m_link->closePort();
        m_link->SendFrame(frameWith(1), this, done);
        break;
    case Trigger::Sent:
        m_link->SendFrame(frameWith(1), this, done);
        break;
    case Trigger::DroppedByClosing:
        m_link->SendFrame(frameWith(1), this, done);
        m_time->advance(30);
        m_link->closePort();
        break;
    case Trigger::EarlyStatusReply:
        m_link->QueryExchange(statusFrame(), statusQuery(), this, answer);
        m_time->after(20, this, [this] { m_port->receive(statusAnswer()); });
        break;
    case Trigger::QueryAnswered:
        m_link->QueryExchange(*BuildFrame(CommandCode::ClockQuery, 0, 0, QString()),
                              ZoneLink::Query {}, this, answer);
        m_time->after(20, this, [this] { m_port->receive("08:00:05"); });
        break;
    }
    QVERIFY(m_time->runUntil([&] { return againCalls > 0 && m_link->queuedFrames() == 0; }));
    QCOMPARE(triggers, 1);
    QCOMPARE(againCalls, 1);
    QVERIFY(againSent);
    QVERIFY(m_link->isOpen());
    QVERIFY(!m_port->rtsRaised());
    // The frame went out as any other: last, under a raised RTS, with its lead.
    QCOMPARE(m_port->writes().last(), again);
    qint64 raisedAt = -1;
    for (const auto &e : m_port->events) {
        if (e.what == u"rts on")
            raisedAt = e.ms;
        if (e.what == u"write" && e.bytes == again) {
            QVERIFY(e.rts);
            QVERIFY2(e.ms - raisedAt >= ZoneLink::kGuardMs,
                     "RTS raised at least 100 ms before the bytes");
        }
    }
}

void tst_ZoneLink::openingAgainDropsFramesUnderWay()
{
    m_port->devices.insert(u"/dev/ttyS1"_s);
    QList<bool> results;
    bool openInCompletion = false;
    const auto done = [&](bool sent) {
        results << sent;
        openInCompletion = m_link->isOpen();
    };
    m_link->SendFrame(frameWith(1), this, done);
    m_link->WriteFrame(frameWith(2), this, done);
    m_time->advance(30);
    m_link->OpenZonePort(u"com2"_s);
    // Both were meant for the old port; they are told once the new one is open.
    QCOMPARE(results, (QList<bool> {false, false}));
    QVERIFY(openInCompletion);
    QCOMPARE(m_port->openedPath, u"/dev/ttyS1"_s);
    QCOMPARE(m_link->queuedFrames(), 0);
    QVERIFY(m_port->writes().isEmpty());
    QVERIFY(!m_port->rtsRaised());
    const QStringList events = eventNames(m_port->events);
    QVERIFY(events.indexOf(u"close"_s) >= 0);
    QVERIFY(events.indexOf(u"close"_s) < events.indexOf(u"open"_s));
}

void tst_ZoneLink::deviceLostInsideAPortCall_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("firstSent"); // its bytes were out before the loss
    QTest::newRow("raising RTS") << u"rts on"_s << u"send"_s << false;
    QTest::newRow("writing a sent frame") << u"write"_s << u"send"_s << false;
    QTest::newRow("dropping RTS") << u"rts off"_s << u"send"_s << true;
    QTest::newRow("writing a frame") << u"write"_s << u"write"_s << false;
    QTest::newRow("dropping DTR for a query") << u"dtr off"_s << u"query"_s << false;
    QTest::newRow("clearing the input for a query") << u"clear"_s << u"query"_s << false;
    QTest::newRow("writing a query") << u"write"_s << u"query"_s << false;
    QTest::newRow("raising DTR after a query") << u"dtr on"_s << u"query"_s << false;
}

void tst_ZoneLink::deviceLostInsideAPortCall()
{
    // A real port reports a failed line change or write at once, from inside
    // the call: the link must find its jobs gone when the call returns.
    QFETCH(QString, event);
    QFETCH(QString, kind);
    QFETCH(bool, firstSent);
    m_port->loseDeviceAt = event;
    QList<bool> told;
    const auto done = [&told](bool sent) { told << sent; };
    if (kind == u"send") {
        m_link->SendFrame(frameWith(1), this, done);
    } else if (kind == u"write") {
        m_link->WriteFrame(frameWith(1), this, done);
    } else {
        ZoneLink::Query query;
        query.dropTerminalReady = true;
        m_link->QueryExchange(*BuildFrame(CommandCode::ClockQuery, 0, 0, QString()), query, this,
                              [&told](const QByteArray &reply) { told << !reply.isEmpty(); });
        m_time->after(20, this, [this] { m_port->receive("08:00:05"); });
    }
    m_link->WriteFrame(frameWith(2), this, done);
    QVERIFY(m_time->runUntil([&] { return told.size() >= 2 && m_link->queuedFrames() == 0; }));
    QVERIFY(m_port->loseDeviceAt.isEmpty()); // the device was lost there
    QCOMPARE(told, (QList<bool> {firstSent, false}));
    QVERIFY(!m_link->isOpen());
    // The link is whole: opened again, it sends as before.
    m_port->devices.insert(u"/dev/ttyS0"_s);
    m_link->OpenZonePort(u"com1"_s);
    const QByteArray after = frameWith(3);
    m_link->WriteFrame(after, this, done);
    QVERIFY(runUntilIdle());
    QCOMPARE(told, (QList<bool> {firstSent, false, true}));
    QCOMPARE(m_port->writes().last(), after);
    QVERIFY(!m_port->rtsRaised());
}

void tst_ZoneLink::destroyedLinkCallsNothing()
{
    int calls = 0;
    m_link->SendFrame(frameWith(1), this, [&calls](bool) { ++calls; });
    m_link->WriteFrame(frameWith(2), this, [&calls](bool) { ++calls; });
    m_link.reset();
    m_time->advance(400);
    QCOMPARE(calls, 0);
}

void tst_ZoneLink::randomUse_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("roughness");
    QTest::addColumn<bool>("statusOrder");
    for (quint32 seed = 1; seed <= 12; ++seed) {
        const int roughness = seed <= 6 ? 20 : 100;
        QTest::addRow("seed %u, roughness %d", seed, roughness) << seed << roughness << false;
    }
    for (quint32 seed = 13; seed <= 18; ++seed) {
        const int roughness = seed <= 15 ? 20 : 100;
        QTest::addRow("seed %u, roughness %d, status order", seed, roughness)
            << seed << roughness << true;
    }
}

void tst_ZoneLink::randomUse()
{
    QFETCH(quint32, seed);
    QFETCH(int, roughness);
    QFETCH(bool, statusOrder);
    LinkFuzzer fuzzer(*m_link, *m_port, *m_time, seed, roughness, statusOrder);
    fuzzer.play(30);
    // A job that is never told shows among the faults when this runs out.
    const bool settled = m_time->runUntil([&] { return fuzzer.settled(); });
    const QStringList faults = fuzzer.faults();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"; ")));
    QVERIFY(settled);
    QVERIFY(fuzzer.jobs() > 10);
}

QTEST_GUILESS_MAIN(tst_ZoneLink)
#include "tst_zonelink.moc"
