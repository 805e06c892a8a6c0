// The controller's remote keys acting on the main window, with the frames
// they send decoded from a recording port.

#include "console/frmback.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"
#include "support/fakemixer.h"
#include "support/fakepower.h"
#include "support/fakeserialport.h"
#include "support/gbkfiles.h"
#include "support/memoryuserstore.h"
#include "zonelink/framedecoder.h"
#include "zonelink/zonelink.h"

#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

class tst_RemoteKeys : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void allOnAndAllOff();
    void cursorSteps_data();
    void cursorSteps();
    void playAndStop_data();
    void playAndStop();
    void playWithCursorPastTheList();
    void volumeKeys_data();
    void volumeKeys();
    void garbageChangesNothing();
    void lostLinkShowsInTheStatusBar();

private:
    void start(bool remoteScope = false);
    void key(int code) { m_port->receive(QByteArray(1, char(code))); }
    QList<FrameDecoder::Frame> sentFrames();
    QString workStatus() const
    {
        return m_window->findChild<QLabel *>(QStringLiteral("StatusBar1_workstatus"))->text();
    }
    QSlider *slider() const { return m_window->findChild<QSlider *>(QStringLiteral("Slidervol")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock {QDateTime(QDate(2026, 12, 7), QTime(6, 0))}; // before every row
    FakeDialogs m_dialogs;
    MemoryUserStore m_store;
    FakeMediaPlayer m_player;
    FakeMixer m_mixer;
    std::unique_ptr<FakeSerialPort> m_port;
    FakePower m_power;
    std::unique_ptr<frmback> m_window;
    QString m_song;
};

void tst_RemoteKeys::init()
{
    m_window.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    m_port = std::make_unique<FakeSerialPort>();
    m_port->devices.insert(QStringLiteral("/dev/ttyS0"));
    m_player.source.clear();
    m_player.calls.clear();
    m_store = MemoryUserStore();
    m_song = m_dir->filePath(QStringLiteral("song/上课.wav"));
    GbkFiles::writeBytes(m_song, QByteArray("RIFF"));
    GbkFiles::writeText(m_dir->filePath(QStringLiteral("node.txt")),
                        QStringLiteral("\"一班\",\"1\",\"1\"\n\"二班\",\"2\",\"1\"\n\"操场\",\"17\",\"2\"\n"));
    QString amp;
    for (int i = 0; i < 24; ++i)
        amp += i == 8 ? QStringLiteral("\"103.5\"\n") : QStringLiteral("\"x\"\n");
    GbkFiles::writeText(m_dir->filePath(QStringLiteral("amp_name.dat")), amp);
    const QString week = m_dir->filePath(QStringLiteral("week.txt"));
    GbkFiles::writeText(week, QStringLiteral("00,00,00,星期一,00,00,00,00,00\n")
                                  + QStringLiteral("08:00:00, 1 ,a,") + m_song + QStringLiteral(", 100 ,00:00:30,1.,1.,\n")
                                  + QStringLiteral("09:00:00, 1 ,b,/gone.mp3, 100 ,00:00:30,1.,1.,\n")
                                  + QStringLiteral("10:00:00, 1 ,c,") + m_song + QStringLiteral(", 100 ,00:00:30,1.,1.,\n"));
    GbkFiles::writeText(m_dir->filePath(QStringLiteral("rem_list.txt")),
                        u'"' + m_song + QStringLiteral("\"\n\"/gone.wav\"\n"));
    m_store.values.insert(QStringLiteral("setting/setted"), QStringLiteral("yes"));
    m_store.values.insert(QStringLiteral("setting/defaultweekfile"), week);
}

void tst_RemoteKeys::start(bool remoteScope)
{
    m_store.values.insert(QStringLiteral("setting/rm_scope"), remoteScope ? "True" : "False");
    m_window = std::make_unique<frmback>(
        ConsoleServices {m_clock, m_dialogs, m_store, m_player, m_mixer, *m_port, m_power, AppFolder(m_dir->path())});
    m_window->startUp();
    QVERIFY(m_dialogs.shown.isEmpty());
    m_port->events.clear();
}

QList<FrameDecoder::Frame> tst_RemoteKeys::sentFrames()
{
    FrameDecoder decoder;
    QList<FrameDecoder::Frame> frames;
    for (const QByteArray &bytes : m_port->writes()) {
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
    QVERIFY(QTest::qWaitFor([this] { return m_window->link().queuedFrames() == 0; }, 5000));
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
    QCOMPARE(m_window->state().FreqHigh, QStringLiteral("10"));
    QCOMPARE(m_window->state().FreqLow, QStringLiteral("35"));
    // Every frame went out with its own RTS period.
    QCOMPARE(m_port->events.count(), 12);
    m_port->events.clear();
    key(4);
    QVERIFY(QTest::qWaitFor([this] { return m_window->link().queuedFrames() == 0; }, 5000));
    frames = sentFrames();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(frames.at(0).code, 2);
    QCOMPARE(frames.at(0).p1, 0);
    QCOMPARE(frames.at(0).values, (QList<int> {1, 2, 17}));
    QCOMPARE(frames.at(1).code, 4);
    QCOMPARE(frames.at(2).code, 6);
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
    QCOMPARE(int(m_window->state().RemoteCursor), 1);
    for (int k : keys)
        key(k);
    QCOMPARE(int(m_window->state().RemoteCursor), cursor);
    QVERIFY(m_player.calls.isEmpty()); // moving the cursor plays nothing
    QVERIFY(m_port->writes().isEmpty());
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
    QCOMPARE(m_player.source, plays ? m_song : QString());
    QVERIFY(m_window->state().ManualMode);
    QVERIFY(m_window->playback().ManualPlayback);
    QCOMPARE(workStatus(), QStringLiteral("工作状态：手动"));
    key(3);
    QVERIFY(!m_window->state().ManualMode);
    QVERIFY(!m_window->playback().ManualPlayback);
    QCOMPARE(workStatus(), QStringLiteral("工作状态：自动"));
    QVERIFY(m_player.calls.contains(QStringLiteral("stop")));
}

void tst_RemoteKeys::playWithCursorPastTheList()
{
    start(true);
    key(7); // cursor 2 of 2
    // The remote list is saved shorter while the cursor stays.
    m_window->state().RemoteSongs = QStringList {m_song};
    key(1);
    QVERIFY(m_player.source.isEmpty());
    QVERIFY(m_window->state().ManualMode);
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
    slider()->setValue(from);
    key(code);
    QCOMPARE(slider()->value(), to);
    QCOMPARE(m_mixer.speakerSet.last(), long(to) * 2);
}

void tst_RemoteKeys::garbageChangesNothing()
{
    start();
    slider()->setValue(1000);
    for (int code : {0, 9, 0x41, 0xEB, 0xFE, 0xFF})
        key(code);
    m_port->receive(QByteArray::fromHex("EB140100000000FE01")); // a frame's echo: its first byte counts
    QCOMPARE(int(m_window->state().RemoteCursor), 1);
    QCOMPARE(slider()->value(), 1000);
    QVERIFY(!m_window->state().ManualMode);
    QVERIFY(m_port->writes().isEmpty());
    QVERIFY(m_player.calls.isEmpty());
}

void tst_RemoteKeys::lostLinkShowsInTheStatusBar()
{
    start();
    auto *status = m_window->findChild<QLabel *>(QStringLiteral("StatusBar1_status"));
    m_port->loseDevice();
    QCOMPARE(status->text(), QStringLiteral("外设状态：与分区控制器的连接中断，正在重新连接……"));
    key(2); // nothing can be sent: dropped, not kept
    QCOMPARE(m_window->link().queuedFrames(), 0);
    m_port->devices.insert(QStringLiteral("/dev/ttyS0"));
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("外设状态：与分区控制器的连接已恢复"), 3000);
    QVERIFY(m_port->writes().isEmpty());
}

QTEST_MAIN(tst_RemoteKeys)
#include "tst_remotekeys.moc"
