// The playlist player's list and playing, without widgets, on the recording
// fake player: editing keeps the order of play, entries play one after the
// other with a tick of the list timer between them, repeat, double-click,
// the transport buttons, the volume of MP3 entries, CD tracks, failures and
// the displays. Also the total playing time on the fake probe.

#include "platform/logwriter.h"
#include "players/playlist.h"
#include "players/playlistcd.h"
#include "players/playlisttotal.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"
#include "support/fakemediaprobe.h"
#include "support/gbkfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
class FakeCd final : public PlaylistCd
{
public:
    bool canPlayTracks() const override { return present; }
    bool present = false;
};

const QStringList kThree {u"/srv/a.wav"_s, u"/srv/b.mp3"_s, u"/srv/c.mid"_s};
} // namespace

class tst_Playlist : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void insertKeepsOrderAndPlayingEntry_data();
    void insertKeepsOrderAndPlayingEntry();
    void removeKeepsTheNextEntry_data();
    void removeKeepsTheNextEntry();
    void moveUpAndDown_data();
    void moveUpAndDown();
    void playsInOrderAndStops();
    void repeatStartsAgain();
    void listTimerHandsOverByItself();
    void doubleClickStartsThatEntryAtTheNextTick();
    void playCancelsAPendingHandOver();
    void modeAndVolumeByType_data();
    void modeAndVolumeByType();
    void sliderReachesOnlyMp3();
    void cdTracks_data();
    void cdTracks();
    void failedEntryIsPassedOver();
    void repeatOfNothingPlayableStops();
    void displays_data();
    void displays();
    void endShowsTheWholeLength();
    void transport();
    void stopEndsEverything();
    void closingWhilePlayingStopsThePlayer();
    void total_data();
    void total();
    void totalProbesKnownFilesOnce();
    void totalRestartDropsTheOldAnswer();

private:
    QStringList log() const
    {
        return GbkFiles::readText(m_dir.filePath(u"log.txt"_s))
            .split(u"\r\n"_s, Qt::SkipEmptyParts);
    }
    QStringList loads() const;

    QTemporaryDir m_dir;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    FakeCd m_cd;
    std::unique_ptr<LogWriter> m_log;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<Playlist> m_list;
};

void tst_Playlist::init()
{
    QFile::remove(m_dir.filePath(u"log.txt"_s));
    m_cd.present = false;
    m_log = std::make_unique<LogWriter>(AppFolder(m_dir.path()), m_clock, m_dialogs);
    m_player = std::make_unique<FakeMediaPlayer>();
    m_list = std::make_unique<Playlist>(*m_player, m_cd, *m_log);
}

void tst_Playlist::cleanup()
{
    m_list.reset();
    m_player.reset();
}

QStringList tst_Playlist::loads() const
{
    QStringList paths;
    for (const QString &call : m_player->calls) {
        if (call.startsWith(u"load "_s))
            paths << call.mid(5);
    }
    return paths;
}

void tst_Playlist::insertKeepsOrderAndPlayingEntry_data()
{
    QTest::addColumn<int>("playing"); // -1: nothing has played
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("current");
    const QStringList xy {u"x"_s, u"y"_s};
    QTest::newRow("before the first")
        << -1 << 0 << QStringList {u"x"_s, u"y"_s, kThree[0], kThree[1], kThree[2]} << -1;
    QTest::newRow("before the playing entry")
        << 1 << 1 << QStringList {kThree[0], u"x"_s, u"y"_s, kThree[1], kThree[2]} << 3;
    QTest::newRow("after the playing entry")
        << 0 << 2 << QStringList {kThree[0], kThree[1], u"x"_s, u"y"_s, kThree[2]} << 0;
}

void tst_Playlist::insertKeepsOrderAndPlayingEntry()
{
    QFETCH(int, playing);
    QFETCH(int, row);
    QFETCH(QStringList, expected);
    QFETCH(int, current);
    m_list->append(kThree);
    if (playing >= 0) {
        m_list->playFrom(playing);
        m_list->tmrlistplay_Timer();
    }
    QVERIFY(m_list->insertAt(row, {u"x"_s, u"y"_s}));
    QCOMPARE(m_list->entries(), expected);
    QCOMPARE(m_list->currentIndex(), current);
    QVERIFY(!m_list->insertAt(5, {u"z"_s})); // not an entry
    QVERIFY(!m_list->insertAt(-1, {u"z"_s}));
    QCOMPARE(m_list->entries(), expected);
}

void tst_Playlist::removeKeepsTheNextEntry_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("next"); // played after the entry playing (b.mp3) ends
    QTest::addColumn<int>("playing"); // the row shown as playing once they went
    QTest::newRow("one before") << QList<int> {0} << QStringList {kThree[1], kThree[2]} << kThree[2]
                                << 0;
    // It plays on, but no row of the list is it any more.
    QTest::newRow("the playing one")
        << QList<int> {1} << QStringList {kThree[0], kThree[2]} << kThree[2] << -1;
    QTest::newRow("after, in any order, twice")
        << QList<int> {2, 0, 2, 7} << QStringList {kThree[1]} << QString() << 0;
}

void tst_Playlist::removeKeepsTheNextEntry()
{
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, left);
    QFETCH(QString, next);
    QFETCH(int, playing);
    m_list->append(kThree);
    m_list->playFrom(1);
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads(), QStringList {kThree[1]});
    QCOMPARE(m_list->playingIndex(), 1);
    m_list->removeRows(rows);
    QCOMPARE(m_list->entries(), left);
    QCOMPARE(m_list->playingIndex(), playing);
    m_player->finish();
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads().size(), next.isEmpty() ? 1 : 2);
    if (!next.isEmpty())
        QCOMPARE(loads().constLast(), next);
}

void tst_Playlist::moveUpAndDown_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("up") << true << 2 << 1 << QStringList {kThree[0], kThree[2], kThree[1]};
    QTest::newRow("up from the first") << true << 0 << -1 << kThree;
    QTest::newRow("down") << false << 0 << 1 << QStringList {kThree[1], kThree[0], kThree[2]};
    QTest::newRow("down from the last") << false << 2 << -1 << kThree;
    QTest::newRow("nothing selected") << false << -1 << -1 << kThree;
}

void tst_Playlist::moveUpAndDown()
{
    QFETCH(bool, up);
    QFETCH(int, row);
    QFETCH(int, to);
    QFETCH(QStringList, expected);
    m_list->append(kThree);
    m_list->play(); // a.wav plays: it is followed wherever it goes
    QCOMPARE(up ? m_list->moveUp(row) : m_list->moveDown(row), to);
    QCOMPARE(m_list->entries(), expected);
    QCOMPARE(m_list->entries().at(m_list->currentIndex()), kThree[0]);
}

void tst_Playlist::playsInOrderAndStops()
{
    QSignalSpy started(m_list.get(), &Playlist::entryStarted);
    m_list->play(); // empty: nothing
    QVERIFY(m_player->calls.isEmpty());
    m_list->append(kThree);
    m_list->play();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(loads().size(), i + 1);
        QCOMPARE(m_list->currentIndex(), i);
        QVERIFY(m_list->mode() != Playlist::Mode::Idle);
        QVERIFY(!m_list->isHandingOver());
        m_player->finish();
        QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
        QVERIFY(m_list->isHandingOver());
        m_list->tmrlistplay_Timer();
    }
    QCOMPARE(loads(), kThree);
    QCOMPARE(started.size(), 3);
    QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
    QVERIFY(!m_list->isHandingOver());
    QVERIFY(!m_list->isUpdatingStatus());
    // An end the player reports while nothing plays changes nothing.
    m_player->finish();
    QVERIFY(!m_list->isHandingOver());
}

void tst_Playlist::repeatStartsAgain()
{
    m_list->append(kThree);
    m_list->setRepeat(true);
    m_list->play();
    for (int i = 0; i < 3; ++i) {
        m_player->finish();
        m_list->tmrlistplay_Timer();
    }
    QCOMPARE(loads(), QStringList(kThree) << kThree[0]);
    QCOMPARE(m_list->currentIndex(), 0);
}

void tst_Playlist::listTimerHandsOverByItself()
{
    m_list->append(kThree);
    m_list->play();
    m_player->finish();
    // The next entry starts a tick later, not at once.
    QCOMPARE(loads().size(), 1);
    QVERIFY(QTest::qWaitFor([&] { return loads().size() == 2; }, 10000));
    QCOMPARE(loads().constLast(), kThree[1]);
    QVERIFY(!m_list->isHandingOver());
}

void tst_Playlist::doubleClickStartsThatEntryAtTheNextTick()
{
    m_list->append(kThree);
    m_list->play();
    m_player->calls.clear();
    m_list->playFrom(2);
    QCOMPARE(m_player->calls, QStringList {u"stop"_s});
    QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
    QVERIFY(m_list->isHandingOver());
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads(), QStringList {kThree[2]});
    QCOMPARE(m_list->currentIndex(), 2);
    // And from the first entry, which was not playing.
    m_player->finish();
    m_list->playFrom(0);
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads().constLast(), kThree[0]);
}

void tst_Playlist::playCancelsAPendingHandOver()
{
    m_list->append(kThree);
    m_list->play();
    m_player->finish();
    QVERIFY(m_list->isHandingOver());
    m_list->play();
    QVERIFY(!m_list->isHandingOver());
    QCOMPARE(loads(), (QStringList {kThree[0], kThree[0]}));
}

void tst_Playlist::modeAndVolumeByType_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Playlist::Mode>("mode");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("volume");
    QTest::newRow("MP3") << u"/srv/歌.mp3"_s << Playlist::Mode::Mp3 << u"MP3"_s << u"volume 0.4"_s;
    QTest::newRow("MP3 in capitals")
        << u"/srv/A.MP3"_s << Playlist::Mode::Mp3 << u"MP3"_s << u"volume 0.4"_s;
    QTest::newRow("WAV") << u"/srv/a.wav"_s << Playlist::Mode::File << u"WAV"_s << u"volume 1"_s;
    QTest::newRow("DAT") << u"/srv/v.dat"_s << Playlist::Mode::File << u"DAT"_s << u"volume 1"_s;
    QTest::newRow("WMA") << u"/srv/a.wma"_s << Playlist::Mode::File << u"WMA"_s << u"volume 1"_s;
}

void tst_Playlist::modeAndVolumeByType()
{
    QFETCH(QString, path);
    QFETCH(Playlist::Mode, mode);
    QFETCH(QString, type);
    QFETCH(QString, volume);
    m_list->setVolumeStep(4);
    m_list->append({path});
    m_list->play();
    QCOMPARE(m_list->mode(), mode);
    QCOMPARE(m_list->currentType(), type);
    QCOMPARE(m_list->currentFile(), path);
    QCOMPARE(m_player->calls, (QStringList {volume, u"load "_s + path}));
    QVERIFY(m_list->isUpdatingStatus());
}

void tst_Playlist::sliderReachesOnlyMp3()
{
    m_list->append({u"/srv/a.wav"_s, u"/srv/b.mp3"_s});
    m_list->play();
    m_player->calls.clear();
    m_list->setVolumeStep(3);
    QVERIFY(m_player->calls.isEmpty());
    m_player->finish();
    m_list->tmrlistplay_Timer();
    QCOMPARE(m_player->volume, 0.3);
    m_list->setVolumeStep(7);
    QCOMPARE(m_player->volume, 0.7);
}

void tst_Playlist::cdTracks_data()
{
    QTest::addColumn<bool>("drive");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("loaded"); // empty: passed over
    QTest::newRow("track 5") << true << u"/mnt/cd/Track05.cda"_s << u"cdda://5"_s;
    QTest::newRow("track 12") << true << u"/mnt/cd/Track12.CDA"_s << u"cdda://12"_s;
    QTest::newRow("no drive or plugin") << false << u"/mnt/cd/Track05.cda"_s << QString();
    QTest::newRow("no track number") << true << u"/mnt/cd/Trackxx.cda"_s << QString();
}

void tst_Playlist::cdTracks()
{
    QFETCH(bool, drive);
    QFETCH(QString, path);
    QFETCH(QString, loaded);
    m_cd.present = drive;
    QSignalSpy skipped(m_list.get(), &Playlist::entrySkipped);
    m_list->append({path, u"/srv/a.wav"_s});
    m_list->play();
    if (!loaded.isEmpty()) {
        QCOMPARE(loads(), QStringList {loaded});
        QCOMPARE(m_list->mode(), Playlist::Mode::Cd);
        QVERIFY(skipped.isEmpty());
        QVERIFY(log().isEmpty());
        return;
    }
    QVERIFY(loads().isEmpty());
    QCOMPARE(skipped.size(), 1);
    QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
    QCOMPARE(log().size(), 1);
    QVERIFY2(log().constFirst().contains(path), qPrintable(log().constFirst()));
    // The list goes on with the next entry.
    QVERIFY(m_list->isHandingOver());
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads(), QStringList {u"/srv/a.wav"_s});
}

void tst_Playlist::failedEntryIsPassedOver()
{
    m_list->append(kThree);
    m_list->play();
    Q_EMIT m_player->failed(u"no decoder"_s);
    QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
    QVERIFY(!m_list->isUpdatingStatus());
    QVERIFY(log().value(0).contains(kThree[0]));
    QVERIFY(log().value(0).contains(u"no decoder"_s));
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads().constLast(), kThree[1]);
}

void tst_Playlist::repeatOfNothingPlayableStops()
{
    m_list->append({u"/cd/Track01.cda"_s, u"/srv/a.wav"_s});
    m_list->setRepeat(true);
    m_list->play();
    m_list->tmrlistplay_Timer();
    Q_EMIT m_player->failed(u"broken"_s);
    m_list->tmrlistplay_Timer(); // neither could be played: no second round
    QCOMPARE(loads(), QStringList {u"/srv/a.wav"_s});
    QVERIFY(!m_list->isHandingOver());
    QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
    // One that plays is enough for the list to go round again.
    m_list->play();
    m_list->tmrlistplay_Timer();
    m_player->finish();
    m_list->tmrlistplay_Timer(); // the CD track is passed over again
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads(), QStringList(3, u"/srv/a.wav"_s));
}

void tst_Playlist::displays_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("ctime");
    QTest::addColumn<int>("progress");
    QTest::newRow("part way") << 30.7 << 125.4 << u"02:05"_s << u"30/125"_s << 24;
    QTest::newRow("over an hour") << 3599.9 << 3725.0 << u"62:05"_s << u"3599/3725"_s << 96;
    QTest::newRow("past the end") << 126.2 << 125.4 << u"02:05"_s << u"125/125"_s << 100;
    QTest::newRow("position not known") << -1.0 << 61.0 << u"01:01"_s << u"0/61"_s << 0;
    QTest::newRow("length not known") << 0.0 << 0.0 << u"00:00"_s << u"0/0"_s << 0;
}

void tst_Playlist::displays()
{
    QFETCH(double, position);
    QFETCH(double, duration);
    QFETCH(QString, length);
    QFETCH(QString, ctime);
    QFETCH(int, progress);
    QCOMPARE(m_list->display(), Playlist::Display {});
    QCOMPARE(m_list->display().song, u"No music"_s);
    m_list->append({u"/srv/歌曲/第一首.wav"_s});
    m_list->play();
    QCOMPARE(m_list->display().song, u"第一首.wav"_s);
    m_player->position = position;
    m_player->duration = duration;
    QSignalSpy changed(m_list.get(), &Playlist::displayChanged);
    m_list->statusUpdate();
    QCOMPARE(m_list->display().songLength, length);
    QCOMPARE(m_list->display().ctime, ctime);
    QCOMPARE(m_list->display().progress, progress);
    QCOMPARE(changed.size(), 1);
}

void tst_Playlist::endShowsTheWholeLength()
{
    m_list->append({u"/srv/a.wav"_s});
    m_list->play();
    m_player->position = 40.2;
    m_player->duration = 61.0;
    m_list->statusUpdate();
    QCOMPARE(m_list->display().progress, 65);
    m_player->finish();
    QCOMPARE(m_list->display().ctime, u"61/61"_s);
    QCOMPARE(m_list->display().progress, 100);
}

void tst_Playlist::transport()
{
    m_list->append(kThree);
    // Nothing loaded: the buttons do nothing.
    m_list->transportPlay();
    m_list->transportPause();
    m_list->transportStop();
    QVERIFY(m_player->calls.isEmpty());
    m_list->play();
    m_player->calls.clear();
    m_list->transportPause();
    m_list->transportPlay();
    m_list->transportStop();
    QCOMPARE(m_player->calls, (QStringList {u"pause"_s, u"play"_s, u"stop"_s}));
    // Stopped by hand: the entry stays current and the list does not move on.
    QVERIFY(m_list->mode() != Playlist::Mode::Idle);
    QVERIFY(!m_list->isHandingOver());
    QCOMPARE(m_list->currentIndex(), 0);
    m_list->transportPlay();
    QCOMPARE(m_player->calls.constLast(), u"play"_s);
    m_player->finish();
    m_list->tmrlistplay_Timer();
    QCOMPARE(loads().constLast(), kThree[1]);
}

void tst_Playlist::stopEndsEverything()
{
    m_list->append(kThree);
    m_list->play();
    m_player->finish(); // a hand-over is pending
    m_list->stop();
    QCOMPARE(m_player->calls.constLast(), u"stop"_s);
    QCOMPARE(m_list->mode(), Playlist::Mode::Idle);
    QVERIFY(!m_list->isHandingOver());
    QVERIFY(!m_list->isUpdatingStatus());
    QVERIFY(m_list->currentFile().isEmpty());
}

void tst_Playlist::closingWhilePlayingStopsThePlayer()
{
    m_list->append(kThree);
    m_list->play();
    m_player->calls.clear();
    m_list.reset();
    QCOMPARE(m_player->calls, QStringList {u"stop"_s});
    // The player's signals reach nothing any more.
    m_player->finish();
}

void tst_Playlist::total_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("drive");
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QStringList>("probed");
    QTest::addColumn<QStringList>("unopenable");
    // Lengths known to the probe: a.wav 61.999 s, b.mp3 120 s, c.mid 0.5 s,
    // v.dat 10 s, w.wma 30 s, track 2 200.5 s.
    QTest::newRow("whole seconds of each entry")
        << QStringList {u"/s/a.wav"_s, u"/s/b.mp3"_s, u"/s/c.mid"_s, u"/s/v.dat"_s, u"/s/w.wma"_s}
        << false << qint64(61 + 120 + 0 + 10 + 30)
        << QStringList {u"/s/a.wav"_s, u"/s/b.mp3"_s, u"/s/c.mid"_s, u"/s/v.dat"_s, u"/s/w.wma"_s}
        << QStringList();
    QTest::newRow("a file that cannot be opened adds nothing")
        << QStringList {u"/s/a.wav"_s, u"/s/gone.mp3"_s} << false << qint64(61)
        << QStringList {u"/s/a.wav"_s, u"/s/gone.mp3"_s} << QStringList {u"/s/gone.mp3"_s};
    QTest::newRow("other types are not measured")
        << QStringList {u"/s/readme.txt"_s, u"/s/b.mp3"_s, u"/s/x.ogg"_s} << false << qint64(120)
        << QStringList {u"/s/b.mp3"_s} << QStringList();
    QTest::newRow("the same file twice")
        << QStringList {u"/s/b.mp3"_s, u"/s/b.mp3"_s} << false << qint64(240)
        << QStringList {u"/s/b.mp3"_s} << QStringList();
    QTest::newRow("CD track without a drive")
        << QStringList {u"/cd/Track02.cda"_s, u"/s/b.mp3"_s} << false << qint64(120)
        << QStringList {u"/s/b.mp3"_s} << QStringList {u"/cd/Track02.cda"_s};
    QTest::newRow("CD track with a drive")
        << QStringList {u"/cd/Track02.cda"_s} << true << qint64(200) << QStringList {u"cdda://2"_s}
        << QStringList();
    QTest::newRow("empty list") << QStringList() << false << qint64(0) << QStringList()
                                << QStringList();
}

void tst_Playlist::total()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, drive);
    QFETCH(qint64, seconds);
    QFETCH(QStringList, probed);
    QFETCH(QStringList, unopenable);
    m_cd.present = drive;
    FakeMediaProbe probe;
    probe.durations = {{u"/s/a.wav"_s, 61999}, {u"/s/b.mp3"_s, 120000}, {u"/s/c.mid"_s, 500},
                       {u"/s/v.dat"_s, 10000}, {u"/s/w.wma"_s, 30000},  {u"cdda://2"_s, 200500}};
    PlaylistTotal total(probe, m_cd);
    QSignalSpy finished(&total, &PlaylistTotal::finished);
    total.recompute(entries);
    QVERIFY(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 10000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.constFirst().constFirst().toLongLong(), seconds);
    QCOMPARE(total.seconds(), seconds);
    QCOMPARE(probe.asked, probed);
    QStringList marked = total.unopenable().keys();
    marked.sort();
    QCOMPARE(marked, unopenable);
    QVERIFY(!total.isBusy());
}

void tst_Playlist::totalProbesKnownFilesOnce()
{
    FakeMediaProbe probe;
    probe.durations = {{u"/s/a.wav"_s, 2000}, {u"/s/b.mp3"_s, 3000}};
    PlaylistTotal total(probe, m_cd);
    QSignalSpy finished(&total, &PlaylistTotal::finished);
    total.recompute({u"/s/a.wav"_s, u"/s/gone.wav"_s});
    QVERIFY(QTest::qWaitFor([&] { return finished.size() == 1; }, 10000));
    total.recompute({u"/s/a.wav"_s, u"/s/gone.wav"_s, u"/s/b.mp3"_s});
    QVERIFY(QTest::qWaitFor([&] { return finished.size() == 2; }, 10000));
    QCOMPARE(total.seconds(), 5);
    // A known length is not asked again; a failure is, the file may be back.
    QCOMPARE(probe.asked,
             (QStringList {u"/s/a.wav"_s, u"/s/gone.wav"_s, u"/s/gone.wav"_s, u"/s/b.mp3"_s}));
}

void tst_Playlist::totalRestartDropsTheOldAnswer()
{
    FakeMediaProbe probe;
    probe.durations = {{u"/s/a.wav"_s, 2000}, {u"/s/b.mp3"_s, 3000}};
    PlaylistTotal total(probe, m_cd);
    QSignalSpy finished(&total, &PlaylistTotal::finished);
    total.recompute({u"/s/a.wav"_s});
    QVERIFY(total.isBusy());
    total.recompute({u"/s/b.mp3"_s});
    QVERIFY(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 10000));
    QTest::qWait(50); // an answer to the dropped probe would come in this time
    QCOMPARE(finished.size(), 1);
    QCOMPARE(total.seconds(), 3);
    // Cancelled: nothing is told.
    total.recompute({u"/s/a.wav"_s});
    total.cancel();
    QVERIFY(!total.isBusy());
    QTest::qWait(50);
    QCOMPARE(finished.size(), 1);
}

QTEST_GUILESS_MAIN(tst_Playlist)
#include "tst_playlist.moc"
