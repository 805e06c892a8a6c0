// Timed play on a clock the test moves: the list starts on the first tick at
// or after the "从" time and stops on the first at or after the "到" time,
// each at most once a day; the end disarms and, when asked, powers off. The
// picker coupling rules.

#include "platform/logwriter.h"
#include "players/playlist.h"
#include "players/playlistcd.h"
#include "players/playlisttimedplay.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"
#include "support/fakepower.h"
#include "support/gbkfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
class NoCd final : public PlaylistCd
{
public:
    bool canPlayTracks() const override { return false; }
};

const QDate kDay(2026, 12, 7);
QDateTime at(const char *time, QDate day = kDay)
{
    return QDateTime(day, QTime::fromString(QString::fromLatin1(time), u"HH:mm:ss.zzz"_s));
}
} // namespace

class tst_PlaylistTimedPlay : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startAndEnd_data();
    void startAndEnd();
    void endPowersOffWhenAsked_data();
    void endPowersOffWhenAsked();
    void endCancelsAPendingHandOver();
    void midnightBetweenTwoTicks();
    void rearmingActsAgain();
    void ticksComeByThemselves();
    void coupling_data();
    void coupling();

private:
    int starts() const { return int(m_player->calls.count(u"load /srv/a.wav"_s)); }
    // Ticks at each moment in turn, the clock set to it.
    void tickAt(const QList<QDateTime> &moments);

    QTemporaryDir m_dir;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    FakePower m_power;
    NoCd m_cd;
    std::unique_ptr<LogWriter> m_log;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<Playlist> m_list;
    std::unique_ptr<PlaylistTimedPlay> m_timed;
};

void tst_PlaylistTimedPlay::init()
{
    m_power.powerOffs = 0;
    QFile::remove(m_dir.filePath(u"log.txt"_s));
    m_clock.set(at("07:59:50.003"));
    m_log = std::make_unique<LogWriter>(AppFolder(m_dir.path()), m_clock, m_dialogs);
    m_player = std::make_unique<FakeMediaPlayer>();
    m_list = std::make_unique<Playlist>(*m_player, m_cd, *m_log);
    m_list->append({u"/srv/a.wav"_s, u"/srv/b.wav"_s});
    m_timed = std::make_unique<PlaylistTimedPlay>(*m_list, m_clock, m_power, *m_log);
    m_timed->setTimes(QTime(8, 0), QTime(8, 30));
}

void tst_PlaylistTimedPlay::cleanup()
{
    m_timed.reset();
    m_list.reset();
    m_player.reset();
}

void tst_PlaylistTimedPlay::tickAt(const QList<QDateTime> &moments)
{
    for (const QDateTime &moment : moments) {
        m_clock.set(moment);
        m_timed->tmrfromto_Timer();
    }
}

void tst_PlaylistTimedPlay::startAndEnd_data()
{
    QTest::addColumn<QDateTime>("armedAt");
    QTest::addColumn<QList<QDateTime>>("ticks");
    QTest::addColumn<int>("started");
    QTest::addColumn<bool>("ended");
    QTest::newRow("a tick just after 08:00:00")
        << at("07:59:50.003") << QList<QDateTime> {at("07:59:59.004"), at("08:00:00.004")} << 1
        << false;
    QTest::newRow("not a second early")
        << at("07:59:50.003") << QList<QDateTime> {at("07:59:58.004"), at("07:59:59.999")} << 0
        << false;
    QTest::newRow("the second without a tick is not missed")
        << at("07:59:50.003") << QList<QDateTime> {at("07:59:59.004"), at("08:00:01.010")} << 1
        << false;
    QTest::newRow("once, however often it ticks after")
        << at("07:59:50.003")
        << QList<QDateTime> {at("08:00:00.004"), at("08:00:01.004"), at("08:10:00.000")} << 1
        << false;
    QTest::newRow("once a day: the clock put back does not start it again")
        << at("07:59:50.003")
        << QList<QDateTime> {at("08:00:00.004"), at("07:59:00.000"), at("08:00:05.000")} << 1
        << false;
    QTest::newRow("armed after the start time")
        << at("08:00:00.500") << QList<QDateTime> {at("08:00:01.004"), at("08:00:02.004")} << 0
        << false;
    QTest::newRow("start and end")
        << at("07:59:50.003")
        << QList<QDateTime> {at("08:00:00.004"), at("08:29:59.004"), at("08:30:00.004")} << 1
        << true;
    QTest::newRow("armed between: only the end")
        << at("08:10:00.000") << QList<QDateTime> {at("08:29:59.004"), at("08:30:02.000")} << 0
        << true;
    QTest::newRow("the next day") << at("09:00:00.000", kDay.addDays(-1))
                                  << QList<QDateTime> {at("23:59:59.004", kDay.addDays(-1)),
                                                       at("00:00:00.004"), at("08:00:00.004")}
                                  << 1 << false;
}

void tst_PlaylistTimedPlay::startAndEnd()
{
    QFETCH(QDateTime, armedAt);
    QFETCH(QList<QDateTime>, ticks);
    QFETCH(int, started);
    QFETCH(bool, ended);
    m_clock.set(armedAt);
    m_timed->setArmed(true);
    tickAt(ticks);
    QCOMPARE(starts(), started);
    QCOMPARE(m_timed->isArmed(), !ended);
    if (ended) {
        QCOMPARE(m_player->calls.constLast(), u"stop"_s);
        QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
    } else if (started) {
        QCOMPARE(m_list->mode(), Playlist::Mode::File);
    }
    QCOMPARE(m_power.powerOffs, 0); // not asked to
}

void tst_PlaylistTimedPlay::endPowersOffWhenAsked_data()
{
    QTest::addColumn<bool>("shutdown");
    QTest::newRow("播完后自动关机") << true;
    QTest::newRow("without") << false;
}

void tst_PlaylistTimedPlay::endPowersOffWhenAsked()
{
    QFETCH(bool, shutdown);
    m_timed->setShutdown(shutdown);
    m_timed->setTimes(QTime(8, 0), QTime(8, 0, 2));
    m_timed->setArmed(true);
    QSignalSpy armed(m_timed.get(), &PlaylistTimedPlay::armedChanged);
    tickAt({at("08:00:00.004"), at("08:00:01.004")});
    QCOMPARE(m_power.powerOffs, 0);
    tickAt({at("08:00:02.004")});
    QCOMPARE(m_power.powerOffs, shutdown ? 1 : 0);
    QCOMPARE(armed.size(), 1);
    QVERIFY(!m_timed->isArmed());
    const QString log = GbkFiles::readText(m_dir.filePath(u"log.txt"_s));
    QCOMPARE(log.contains(u"2026-12-07 08:00:02,限时播放结束，系统自动关机!"_s), shutdown);
    // Disarmed: further ticks do nothing.
    tickAt({at("08:00:03.004")});
    QCOMPARE(m_power.powerOffs, shutdown ? 1 : 0);
}

void tst_PlaylistTimedPlay::endCancelsAPendingHandOver()
{
    m_timed->setArmed(true);
    tickAt({at("08:00:00.004")});
    m_player->finish();
    QVERIFY(m_list->isHandingOver());
    tickAt({at("08:30:00.004")});
    QVERIFY(!m_list->isHandingOver());
}

void tst_PlaylistTimedPlay::midnightBetweenTwoTicks()
{
    m_timed->setTimes(QTime(0, 0), QTime(0, 0, 1));
    m_clock.set(at("23:59:58.004", kDay.addDays(-1)));
    m_timed->setArmed(true);
    tickAt({at("23:59:59.004", kDay.addDays(-1))});
    QCOMPARE(starts(), 0);
    // The tick of 00:00:00 did not come; the one after it starts and ends.
    tickAt({at("00:00:01.010")});
    QCOMPARE(starts(), 1);
    QVERIFY(!m_timed->isArmed());
}

void tst_PlaylistTimedPlay::rearmingActsAgain()
{
    m_timed->setArmed(true);
    tickAt({at("08:00:00.004"), at("08:30:00.004")});
    QVERIFY(!m_timed->isArmed());
    // Ticking "限时播放" again arms the window for new times the same day.
    m_timed->setTimes(QTime(9, 0), QTime(9, 0, 1));
    m_timed->setArmed(true);
    tickAt({at("09:00:00.004")});
    QCOMPARE(starts(), 2);
    QVERIFY(m_timed->isArmed());
}

void tst_PlaylistTimedPlay::ticksComeByThemselves()
{
    m_clock.set(at("07:59:59.500"));
    m_timed->setArmed(true);
    m_clock.set(at("08:00:00.004"));
    QVERIFY(QTest::qWaitFor([&] { return starts() == 1; }, 10000));
    m_timed->setArmed(false);
    m_clock.set(at("08:30:00.004"));
    QTest::qWait(1500); // a tick would have come in this time
    QVERIFY(m_list->mode() != Playlist::Mode::Idle);
}

void tst_PlaylistTimedPlay::coupling_data()
{
    QTest::addColumn<QTime>("from");
    QTest::addColumn<QTime>("to");
    QTest::addColumn<QTime>("afterFrom");
    QTest::addColumn<QTime>("afterTo");
    QTest::newRow("to later") << QTime(8, 0) << QTime(9, 0) << QTime(9, 0) << QTime(9, 0);
    QTest::newRow("the same") << QTime(8, 0) << QTime(8, 0) << QTime(8, 0) << QTime(8, 0);
    QTest::newRow("from later") << QTime(10, 1, 2) << QTime(9, 0) << QTime(10, 1, 2)
                                << QTime(10, 1, 2);
}

void tst_PlaylistTimedPlay::coupling()
{
    QFETCH(QTime, from);
    QFETCH(QTime, to);
    QFETCH(QTime, afterFrom);
    QFETCH(QTime, afterTo);
    QCOMPARE(PlaylistTimedPlay::toAfterFromChanged(from, to), afterFrom);
    QCOMPARE(PlaylistTimedPlay::toAfterToChanged(from, to), afterTo);
}

QTEST_GUILESS_MAIN(tst_PlaylistTimedPlay)
#include "tst_playlisttimedplay.moc"
