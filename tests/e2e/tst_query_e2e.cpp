// Query exchanges of the real link (Qt SerialPort on a pseudo-terminal)
// against the controller simulator: clock, power-on time, terminal status,
// and the echo of bytes that are no frame.

#include "platform/qtserialport.h"
#include "support/fakedialogs.h"
#include "support/memoryuserstore.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_QueryE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void clockSetAndQuery();
    void powerOnTime();
    void terminalStatus_data();
    void terminalStatus();
    void strayBytesComeBack();
    void cleanupTestCase();

private:
    QByteArray exchange(const QByteArray &frame, const ZoneLink::Query &query);
    bool send(int code, int p1, int p2, const QString &list);

    QTemporaryDir m_dir;
    QProcess m_sim;
    MemoryUserStore m_store;
    FakeDialogs m_dialogs;
    QtSerialPort m_port;
    std::unique_ptr<ZoneLink> m_link;
};

void tst_QueryE2e::initTestCase()
{
    const QString link = m_dir.filePath(QStringLiteral("line"));
    m_sim.start(QStringLiteral(ZONESIM_BINARY),
                {QStringLiteral("--link"), link, QStringLiteral("--terminals"),
                 QStringLiteral("1-20"), QStringLiteral("--cv"), QStringLiteral("5")});
    QVERIFY(m_sim.waitForStarted());
    QVERIFY(m_sim.waitForReadyRead(5000));
    m_store.values.insert(QStringLiteral("ports/com1"), link);
    m_link = std::make_unique<ZoneLink>(m_port, m_store, m_dialogs);
    m_link->OpenZonePort(QStringLiteral("com1"));
    QVERIFY(m_link->isOpen());
    QVERIFY(m_dialogs.shown.isEmpty());
}

void tst_QueryE2e::cleanupTestCase()
{
    m_link.reset();
    m_sim.kill();
    m_sim.waitForFinished();
}

QByteArray tst_QueryE2e::exchange(const QByteArray &frame, const ZoneLink::Query &query)
{
    QByteArray reply;
    int answers = 0;
    m_link->QueryExchange(frame, query, this, [&](const QByteArray &r) {
        reply = r;
        ++answers;
    });
    if (!QTest::qWaitFor([&] { return answers > 0 && m_link->queuedFrames() == 0; }, 5000))
        qWarning("the query did not finish");
    return reply;
}

// Whether the frame went out whole.
bool tst_QueryE2e::send(int code, int p1, int p2, const QString &list)
{
    bool done = false;
    bool sent = false;
    m_link->SendFrame(*BuildFrame(code, p1, p2, list), this, [&](bool ok) {
        done = true;
        sent = ok;
    });
    if (!QTest::qWaitFor([&] { return done; }, 5000))
        qWarning("the frame did not leave");
    return sent;
}

void tst_QueryE2e::clockSetAndQuery()
{
    m_link->WriteFrame(
        *BuildFrame(CommandCode::ClockSet, 0, 0, timeDotList(QStringLiteral("07:55:00"))));
    const QByteArray reply
        = exchange(*BuildFrame(CommandCode::ClockQuery, 0, 0, QString()), ZoneLink::Query {});
    QCOMPARE(reply.size(), 8);
    QVERIFY2(reply.startsWith("07:55:0"), reply.constData());
}

void tst_QueryE2e::powerOnTime()
{
    const QByteArray query = *BuildFrame(CommandCode::PowerOnTimeQuery, 0, 0, QString());
    QCOMPARE(exchange(query, ZoneLink::Query {}), QByteArray("??:??:??"));
    m_link->WriteFrame(
        *BuildFrame(CommandCode::PowerOnTimeSet, 0, 0, timeDotList(QStringLiteral("05:00:00"))));
    QCOMPARE(exchange(query, ZoneLink::Query {}), QByteArray("05:00:00"));
}

void tst_QueryE2e::terminalStatus_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<int>("frequency");
    QTest::newRow("tuned terminal") << 17 << true << true << 1035;
    QTest::newRow("constant-voltage terminal") << 5 << true << true << 8888;
    QTest::newRow("terminal that is off") << 18 << false << false << 0;
    QTest::newRow("terminal not installed") << 30 << true << false << 0;
}

void tst_QueryE2e::terminalStatus()
{
    QFETCH(int, address);
    QFETCH(bool, open);
    QFETCH(bool, answers);
    QFETCH(int, frequency);
    const QString node = QString::number(address) + u'.';
    QVERIFY(send(open ? CommandCode::ZoneOpen : CommandCode::ZoneClose, open ? 10 : 0,
                 open ? 35 : 0, node));
    m_link->WriteFrame(*BuildFrame(CommandCode::VolumeSet, 9, 0, node));
    ZoneLink::Query query;
    query.replySize = 12;
    query.deadlineMs = 300;
    query.waitWholeDeadline = true;
    query.dropTerminalReady = true;
    const QByteArray reply = exchange(*BuildFrame(CommandCode::StatusQuery, 0, 0, node), query);
    const auto status = parseStatusReply(reply, address);
    QCOMPARE(status.has_value(), answers);
    if (answers) {
        QCOMPARE(status->frequency, frequency);
        QCOMPARE(status->volume, 9);
    } else {
        QVERIFY(reply.isEmpty());
    }
}

void tst_QueryE2e::strayBytesComeBack()
{
    ZoneLink::Query query;
    query.replySize = 4;
    QCOMPARE(exchange(QByteArray("\x55\xAA\x00\x33", 4), query), QByteArray("\x55\xAA\x00\x33", 4));
}

QTEST_GUILESS_MAIN(tst_QueryE2e)
#include "tst_query_e2e.moc"
