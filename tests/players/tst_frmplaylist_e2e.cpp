// The playlist player window end to end: the real player and probe on the
// private sound server's null sink, short sounds made for the test. The list
// plays in order and stops, or starts again with repeat; a double-click
// switches entries; timed play on the rig's clock starts and stops the list
// and powers off; a saved list with a comma in a path loads back and plays;
// a CD track this machine cannot play is passed over.

#include "audio/enginemediaplayer.h"
#include "audio/enginemediaprobe.h"
#include "console/consolerig.h"
#include "players/frmplaylist.h"
#include "players/playlistcd.h"
#include "players/playlisttimedplay.h"
#include "players/playlisttotal.h"
#include "support/consolewindows.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>
#include <QTreeView>

using namespace Qt::StringLiterals;

class tst_frmplaylistE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void playsInOrder_data();
    void playsInOrder();
    void doubleClickSwitchesEntries();
    void timedPlayStartsStopsAndPowersOff();
    void savedListWithACommaLoadsBackAndPlays();
    void cdTrackWithoutADriveIsPassedOver();

private:
    void open();
    template<class T = QWidget> T *child(const QString &name) const
    {
        T *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    void click(const QString &button) { QTest::mouseClick(child(button), Qt::LeftButton); }
    void doubleClickEntry(int row);
    void addSongFolder();
    // Waits until the list has stopped by itself: nothing plays and no
    // entry is about to start.
    bool waitUntilStopped();
    QString song(const QString &name) const { return m_rig->file(u"song/"_s + name); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<EngineMediaPlayer> m_player;
    std::unique_ptr<EngineMediaProbe> m_probe;
    QPointer<frmplaylist> m_window;
    QList<int> m_started; // entries in the order they started
    int m_ends = 0;
    QStringList m_failures;
};

void tst_frmplaylistE2e::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
}

void tst_frmplaylistE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    GbkFiles::writeBytes(song(u"0 低.wav"_s), TestMedia::wav(0.8, 440));
    GbkFiles::writeBytes(song(u"1 中.wav"_s), TestMedia::wav(0.5, 550));
    GbkFiles::writeBytes(song(u"2 高.wav"_s), TestMedia::wav(0.5, 660));
    m_player = std::make_unique<EngineMediaPlayer>();
    m_probe = std::make_unique<EngineMediaProbe>();
    m_started.clear();
    m_ends = 0;
    m_failures.clear();
    connect(m_player.get(), &MediaPlayer::endOfStream, this, [this] { ++m_ends; });
    connect(m_player.get(), &MediaPlayer::failed, this,
            [this](const QString &reason) { m_failures << reason; });
}

void tst_frmplaylistE2e::cleanup()
{
    delete m_window;
    m_probe.reset();
    m_player.reset();
    m_rig.reset();
}

void tst_frmplaylistE2e::open()
{
    Console &c = m_rig->start();
    m_window = new frmplaylist(playlistServices(c), *m_player, *m_probe);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    connect(&m_window->playlist(), &Playlist::entryStarted, this,
            [this](int index) { m_started << index; });
    m_window->show();
    QApplication::setActiveWindow(m_window);
    if (!QTest::qWaitForWindowActive(m_window))
        qFatal("the window did not become active");
}

void tst_frmplaylistE2e::doubleClickEntry(int row)
{
    auto *list = child<QListWidget>(u"lstplaylist"_s);
    const QPoint at = list->visualItemRect(list->item(row)).center();
    // The view takes a double-click on the entry the button went down on.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void tst_frmplaylistE2e::addSongFolder()
{
    auto *tree = child<QTreeView>(u"Dirplaylist"_s);
    tree->setCurrentIndex(
        qobject_cast<QFileSystemModel *>(tree->model())->index(m_rig->file(u"song"_s)));
    QSignalSpy total(&m_window->total(), &PlaylistTotal::finished);
    click(u"cmdaddall"_s);
    QCOMPARE(child<QListWidget>(u"lstplaylist"_s)->count(), 3);
    // The real probe answers in the background; under a second each adds nothing.
    QVERIFY(QTest::qWaitFor([&] { return !total.isEmpty(); }, 30000));
    QCOMPARE(child<QLabel>(u"lbltimedisp"_s)->text(), u"00分00秒"_s);
    QVERIFY(m_window->total().unopenable().isEmpty());
}

bool tst_frmplaylistE2e::waitUntilStopped()
{
    const Playlist &list = m_window->playlist();
    return QTest::qWaitFor(
        [&] {
            return list.mode() == Playlist::Mode::Idle && !list.isHandingOver()
                && !m_player->isPlaying();
        },
        30000);
}

void tst_frmplaylistE2e::playsInOrder_data()
{
    QTest::addColumn<bool>("repeat");
    QTest::newRow("once") << false;
    QTest::newRow("循环播放") << true;
}

void tst_frmplaylistE2e::playsInOrder()
{
    QFETCH(bool, repeat);
    open();
    addSongFolder();
    if (repeat)
        click(u"chkrepeat"_s);
    click(u"cmdplay"_s);
    if (repeat) {
        QVERIFY2(QTest::qWaitFor([&] { return m_started.size() == 4; }, 30000),
                 qPrintable(QString::number(m_started.size())));
        QCOMPARE(m_started, (QList<int> {0, 1, 2, 0}));
        QCOMPARE(m_ends, 3);
        click(u"cmdquit"_s);
        QTRY_VERIFY(m_window.isNull());
        QVERIFY(!m_player->isPlaying());
    } else {
        QVERIFY(QTest::qWaitFor([&] { return m_ends == 3; }, 30000));
        QVERIFY(waitUntilStopped());
        QCOMPARE(m_started, (QList<int> {0, 1, 2}));
        QCOMPARE(child<QLabel>(u"lblsong"_s)->text(), u"2 高.wav"_s);
    }
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u"; "_s)));
}

void tst_frmplaylistE2e::doubleClickSwitchesEntries()
{
    open();
    addSongFolder();
    click(u"cmdplay"_s);
    QVERIFY(QTest::qWaitFor([&] { return m_player->isPlaying(); }, 10000));
    doubleClickEntry(2);
    QCOMPARE(m_window->playlist().mode(), Playlist::Mode::Idle);
    QVERIFY(m_window->playlist().isHandingOver());
    QVERIFY(QTest::qWaitFor([&] { return m_started.size() == 2; }, 10000));
    QCOMPARE(m_started, (QList<int> {0, 2}));
    QCOMPARE(child<QLabel>(u"lblsong"_s)->text(), u"2 高.wav"_s);
    // Entry 0 never reached its end; entry 2 does, and the list stops after it.
    QVERIFY(QTest::qWaitFor([&] { return m_ends == 1; }, 10000));
    QVERIFY(waitUntilStopped());
    QCOMPARE(m_started, (QList<int> {0, 2}));
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u"; "_s)));
}

void tst_frmplaylistE2e::timedPlayStartsStopsAndPowersOff()
{
    const QDate day(2026, 12, 7);
    m_rig->clock.set(QDateTime(day, QTime(7, 59, 58)));
    open();
    addSongFolder();
    click(u"chkfromto"_s);
    child<QTimeEdit>(u"DTPfrom"_s)->setTime(QTime(8, 0));
    child<QTimeEdit>(u"DTPto"_s)->setTime(QTime(8, 0, 5));
    click(u"chkshutdown"_s);
    // The rig's clock stands still; the test moves it and ticks.
    const auto tickAt = [&](QTime t) {
        m_rig->clock.set(QDateTime(day, t));
        m_window->timedPlay().tmrfromto_Timer();
    };
    tickAt(QTime(7, 59, 59, 5));
    QVERIFY(m_started.isEmpty());
    tickAt(QTime(8, 0, 0, 5));
    QCOMPARE(m_started, QList<int> {0});
    QVERIFY(QTest::qWaitFor([&] { return m_started.size() == 2 && m_player->isPlaying(); }, 10000));
    // The end time comes while entry 1 plays: the list stops there.
    tickAt(QTime(8, 0, 5, 5));
    QVERIFY(!m_window->timedPlay().isArmed());
    QCOMPARE(m_window->playlist().mode(), Playlist::Mode::Idle);
    QVERIFY(!m_window->playlist().isHandingOver());
    QVERIFY(QTest::qWaitFor([&] { return !m_player->isPlaying(); }, 10000));
    QCOMPARE(m_rig->power.powerOffs, 1);
    QCOMPARE(m_started, (QList<int> {0, 1}));
    QVERIFY(GbkFiles::readText(m_rig->file(u"log.txt"_s))
                .contains(u"2026-12-07 08:00:05,限时播放结束，系统自动关机!"_s));
}

void tst_frmplaylistE2e::savedListWithACommaLoadsBackAndPlays()
{
    const QString comma = song(u"春,夏.wav"_s);
    GbkFiles::writeBytes(comma, TestMedia::wav(0.5, 500));
    open();
    auto *list = child<QListWidget>(u"lstplaylist"_s);
    for (const QString &path : {song(u"0 低.wav"_s), comma}) {
        m_rig->dialogs.files.enqueue(path);
        click(u"cmdadd"_s);
    }
    const QString file = m_rig->file(u"playlist/列表.txt"_s);
    m_rig->dialogs.files.enqueue(file);
    click(u"cmdsave"_s);
    QVERIFY(QFileInfo::exists(file));
    click(u"cmdremoveall"_s);
    QCOMPARE(list->count(), 0);
    for (int round = 1; round <= 2; ++round) {
        m_rig->dialogs.files.enqueue(file);
        click(u"cmdload"_s);
        QCOMPARE(list->count(), 2 * round); // appended each time
    }
    QCOMPARE(list->item(1)->text(), comma);
    QCOMPARE(list->item(3)->text(), comma);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    // The path came back whole: it plays.
    doubleClickEntry(3);
    QVERIFY2(
        QTest::qWaitFor([&] { return m_ends == 1; }, 10000),
        qPrintable(u"started %1, failed %2"_s.arg(m_started.size()).arg(m_failures.join(u"; "_s))));
    QVERIFY(waitUntilStopped());
    QCOMPARE(m_started, QList<int> {3});
    QCOMPARE(child<QLabel>(u"lblsong"_s)->text(), u"春,夏.wav"_s);
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u"; "_s)));
}

void tst_frmplaylistE2e::cdTrackWithoutADriveIsPassedOver()
{
    if (SystemPlaylistCd().canPlayTracks())
        QSKIP("this machine has a CD drive and the CD audio source");
    open();
    const QString track = m_rig->file(u"cd/Track05.cda"_s);
    GbkFiles::writeBytes(track, "x");
    m_window->playlist().append({track, song(u"1 中.wav"_s)});
    click(u"cmdplay"_s);
    QVERIFY(QTest::qWaitFor([&] { return m_ends == 1; }, 10000));
    QVERIFY(waitUntilStopped());
    QCOMPARE(m_started, (QList<int> {0, 1}));
    const QString log = GbkFiles::readText(m_rig->file(u"log.txt"_s));
    QVERIFY2(log.contains(track), qPrintable(log));
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u"; "_s)));
}

QTEST_MAIN(tst_frmplaylistE2e)
#include "tst_frmplaylist_e2e.moc"
