// The controller's remote keys acting on the running console, with the
// frames they send decoded from a recording port. No window takes part.

#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/remotelist.h"
#include "consolerig.h"
#include "support/gbkfiles.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_RemoteKeys : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void allOnAndAllOff();
    void allOfEveryAddress_data();
    void allOfEveryAddress();
    void cursorSteps_data();
    void cursorSteps();
    void playAndStop_data();
    void playAndStop();
    void playWithCursorPastTheList();
    void playsTheLastEntry_data();
    void playsTheLastEntry();
    void volumeKeys_data();
    void volumeKeys();
    void garbageChangesNothing();
    void lostLinkShowsInTheStatus();

private:
    void start(bool remoteScope = false);
    void key(int code) { m_rig->port.receive(QByteArray(1, char(code))); }
    QList<FrameDecoder::Frame> sentFrames();
    Console &console() { return m_rig->console(); }

    std::unique_ptr<ConsoleRig> m_rig;
    QString m_song;
};

void tst_RemoteKeys::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(6, 0))); // before every row
    m_song = m_rig->file(u"song/上课.wav"_s);
    GbkFiles::writeBytes(m_song, QByteArray("RIFF"));
    GbkFiles::writeText(m_rig->file(u"node.txt"_s),
                        u"\"一班\",\"1\",\"1\"\n\"二班\",\"2\",\"1\"\n\"操场\",\"17\",\"2\"\n"_s);
    QString amp;
    for (int i = 0; i < 24; ++i)
        amp += i == 8 ? u"\"103.5\"\n"_s : u"\"x\"\n"_s;
    GbkFiles::writeText(m_rig->file(u"amp_name.dat"_s), amp);
    m_rig->writeWeek(u"08:00:00, 1 ,a,"_s + m_song + u", 100 ,00:00:30,1.,1.,\n"_s
                     + u"09:00:00, 1 ,b,/gone.mp3, 100 ,00:00:30,1.,1.,\n"_s + u"10:00:00, 1 ,c,"_s
                     + m_song + u", 100 ,00:00:30,1.,1.,\n"_s);
    GbkFiles::writeText(m_rig->file(u"rem_list.txt"_s), u'"' + m_song + u"\"\n\"/gone.wav\"\n"_s);
}

void tst_RemoteKeys::start(bool remoteScope)
{
    m_rig->setting(u"rm_scope"_s, remoteScope ? u"True"_s : u"False"_s);
    m_rig->start();
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    m_rig->port.events.clear();
}

QList<FrameDecoder::Frame> tst_RemoteKeys::sentFrames()
{
    FrameDecoder decoder;
    QList<FrameDecoder::Frame> frames;
    for (const QByteArray &bytes : m_rig->port.writes()) {
        for (const auto &piece : decoder.feed(bytes)) {
            if (piece.isFrame)
                frames.append(piece.frame);
        }
    }
    return frames;
}

void tst_RemoteKeys::allOnAndAllOff()
{
    start();
    key(2);
    QVERIFY(QTest::qWaitFor([this] { return console().link().queuedFrames() == 0; }, 5000));
    auto frames = sentFrames();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(frames.at(0).code, 1); // ZoneOpen at channel 1's 103.5 MHz
    QCOMPARE(frames.at(0).p1, 10);
    QCOMPARE(frames.at(0).p2, 35);
    QCOMPARE(frames.at(0).values, (QList<int> {1, 2, 17}));
    QCOMPARE(frames.at(1).code, 3);
    QCOMPARE(frames.at(1).values, (QList<int> {1, 2, 3, 4, 5, 6, 7, 8}));
    QCOMPARE(frames.at(2).code, 5);
    QCOMPARE(frames.at(2).values, (QList<int> {1, 2, 3, 4, 5, 6, 7, 8}));
    // Every frame went out with its own RTS period.
    QCOMPARE(m_rig->port.events.count(), 12);
    m_rig->port.events.clear();
    key(4);
    QVERIFY(QTest::qWaitFor([this] { return console().link().queuedFrames() == 0; }, 5000));
    frames = sentFrames();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(frames.at(0).code, 2);
    QCOMPARE(frames.at(0).p1, 0);
    QCOMPARE(frames.at(0).values, (QList<int> {1, 2, 17}));
    QCOMPARE(frames.at(1).code, 4);
    QCOMPARE(frames.at(2).code, 6);
}

void tst_RemoteKeys::allOfEveryAddress_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("refused"); // the write the port refuses; -1: none
    QTest::addColumn<QList<int>>("codes"); // of the frames on the wire
    QTest::addColumn<QString>("status");
    const QString unchanged = u"外设状态："_s;
    QTest::newRow("all on") << 2 << -1 << QList<int> {1, 1, 3, 5} << unchanged;
    QTest::newRow("all off") << 4 << -1 << QList<int> {2, 2, 4, 6} << unchanged;
    QTest::newRow("all off, the second frame of the terminals refused")
        << 4 << 1 << QList<int> {2, 4, 6} << u"外设状态：遥控命令未能发送到分区控制器"_s;
}

void tst_RemoteKeys::allOfEveryAddress()
{
    QFETCH(int, key);
    QFETCH(int, refused);
    QFETCH(QList<int>, codes);
    QFETCH(QString, status);
    QString nodes;
    for (int a = 0; a < 256; ++a)
        nodes += u"\"终端%1\",\"%1\",\"1\"\n"_s.arg(a);
    GbkFiles::writeText(m_rig->file(u"node.txt"_s), nodes);
    start();
    QCOMPARE(console().state().equipmentStatus(), u"外设状态："_s);
    for (int i = 0; i < 4; ++i)
        m_rig->port.writeLimits << (i == refused ? -1 : 100000);
    this->key(key);
    QVERIFY(QTest::qWaitFor([this] { return console().link().queuedFrames() == 0; }, 20000));
    const QList<FrameDecoder::Frame> frames = sentFrames();
    QList<int> sent;
    QList<int> terminals;
    for (const FrameDecoder::Frame &f : frames) {
        sent << f.code;
        if (f.code == (key == 2 ? CommandCode::ZoneOpen : CommandCode::ZoneClose)) {
            QVERIFY(f.values.size() <= 255);
            terminals << f.values;
        }
    }
    QCOMPARE(sent, codes);
    if (refused < 0) {
        // Every address, in node.txt order, 255 to a frame.
        QCOMPARE(frames.at(0).values.size(), 255);
        QList<int> all;
        for (int a = 0; a < 256; ++a)
            all << a;
        QCOMPARE(terminals, all);
    }
    QCOMPARE(console().state().equipmentStatus(), status);
}

void tst_RemoteKeys::cursorSteps_data()
{
    QTest::addColumn<bool>("scope");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("cursor");
    QTest::newRow("next twice") << false << QList<int> {7, 7} << 3;
    QTest::newRow("next stops at the last row") << false << QList<int> {7, 7, 7, 7} << 3;
    QTest::newRow("previous stops at the first") << false << QList<int> {7, 5, 5} << 1;
    QTest::newRow("remote list") << true << QList<int> {7, 7} << 2;
    QTest::newRow("remote list back") << true << QList<int> {7, 5} << 1;
}

void tst_RemoteKeys::cursorSteps()
{
    QFETCH(bool, scope);
    QFETCH(QList<int>, keys);
    QFETCH(int, cursor);
    start(scope);
    QCOMPARE(console().remoteList().cursor(), 1);
    for (int k : keys)
        key(k);
    QCOMPARE(console().remoteList().cursor(), cursor);
    QVERIFY(m_rig->player.calls.isEmpty()); // moving the cursor plays nothing
    QVERIFY(m_rig->port.writes().isEmpty());
}

void tst_RemoteKeys::playAndStop_data()
{
    QTest::addColumn<bool>("scope");
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("plays");
    QTest::newRow("today's first row") << false << 0 << true;
    QTest::newRow("today's missing file still goes manual") << false << 1 << false;
    QTest::newRow("remote list first") << true << 0 << true;
    QTest::newRow("remote list missing file") << true << 1 << false;
}

void tst_RemoteKeys::playAndStop()
{
    QFETCH(bool, scope);
    QFETCH(int, steps);
    QFETCH(bool, plays);
    start(scope);
    for (int i = 0; i < steps; ++i)
        key(7);
    key(1);
    QCOMPARE(m_rig->player.source, plays ? m_song : QString());
    QVERIFY(console().state().ManualMode());
    QVERIFY(console().playback().manualPlayback());
    QCOMPARE(console().playback().holder(), plays ? PlayerHolder::Remote : PlayerHolder::Nobody);
    key(3);
    QVERIFY(!console().state().ManualMode());
    QVERIFY(!console().playback().manualPlayback());
    QCOMPARE(console().playback().holder(), PlayerHolder::Nobody);
    QVERIFY(m_rig->player.calls.contains(QStringLiteral("stop")));
}

void tst_RemoteKeys::playWithCursorPastTheList()
{
    start(true);
    key(7); // cursor 2 of 2
    // The remote list is saved shorter while the cursor stays.
    GbkFiles::writeText(m_rig->file(u"rem_list.txt"_s), u'"' + m_song + u"\"\n"_s);
    console().savedFiles().announce(SavedFiles::Kind::RemoteList, m_rig->file(u"rem_list.txt"_s));
    QCOMPARE(console().remoteList().cursor(), 2);
    key(1);
    QVERIFY(m_rig->player.source.isEmpty());
    QVERIFY(console().state().ManualMode());
}

void tst_RemoteKeys::playsTheLastEntry_data()
{
    QTest::addColumn<bool>("scope");
    QTest::newRow("today's last row") << false;
    QTest::newRow("remote list's last entry") << true;
}

void tst_RemoteKeys::playsTheLastEntry()
{
    QFETCH(bool, scope);
    start(scope);
    if (scope) {
        GbkFiles::writeText(m_rig->file(u"rem_list.txt"_s),
                            u"\"/gone.wav\"\n\""_s + m_song + u"\"\n"_s);
        console().savedFiles().announce(SavedFiles::Kind::RemoteList,
                                        m_rig->file(u"rem_list.txt"_s));
    }
    // Today's rows: a (the song), b (a missing file), c (the song).
    for (int i = 0; i < (scope ? 1 : 2); ++i)
        key(7);
    QCOMPARE(console().remoteList().cursor(), scope ? 2 : 3);
    key(1);
    QCOMPARE(m_rig->player.source, m_song);
}

void tst_RemoteKeys::volumeKeys_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("to");
    QTest::newRow("up") << 0 << 6 << 5000;
    QTest::newRow("up to 32766") << 27766 << 6 << 32766;
    QTest::newRow("up to the top") << 27767 << 6 << 32767;
    QTest::newRow("down to 0") << 5000 << 8 << 0;
    QTest::newRow("down to 1") << 5001 << 8 << 1;
}

void tst_RemoteKeys::volumeKeys()
{
    QFETCH(int, from);
    QFETCH(int, code);
    QFETCH(int, to);
    start();
    console().volume().setValue(from);
    key(code);
    QCOMPARE(console().volume().value(), to);
    QCOMPARE(m_rig->mixer.speakerSet.last(), long(to) * 2);
}

void tst_RemoteKeys::garbageChangesNothing()
{
    start();
    console().volume().setValue(1000);
    for (int code : {0, 9, 0x41, 0xEB, 0xFE, 0xFF})
        key(code);
    m_rig->port.receive(
        QByteArray::fromHex("EB140100000000FE01")); // a frame's echo: its first byte counts
    QCOMPARE(console().remoteList().cursor(), 1);
    QCOMPARE(console().volume().value(), 1000);
    QVERIFY(!console().state().ManualMode());
    QVERIFY(m_rig->port.writes().isEmpty());
    QVERIFY(m_rig->player.calls.isEmpty());
}

void tst_RemoteKeys::lostLinkShowsInTheStatus()
{
    start();
    m_rig->port.loseDevice();
    QCOMPARE(console().state().equipmentStatus(),
             u"外设状态：与分区控制器的连接中断，正在重新连接……"_s);
    key(2); // nothing can be sent: dropped, not kept
    QCOMPARE(console().link().queuedFrames(), 0);
    m_rig->port.devices.insert(u"/dev/ttyS0"_s);
    QTRY_COMPARE_WITH_TIMEOUT(console().state().equipmentStatus(),
                              u"外设状态：与分区控制器的连接已恢复"_s, 3000);
    QVERIFY(m_rig->port.writes().isEmpty());
}

QTEST_MAIN(tst_RemoteKeys)
#include "tst_remotekeys.moc"
