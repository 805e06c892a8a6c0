// Schedule entries whose file is a folder: the folder's audio files play one
// after another, by name or at random, within the entry's play length; any
// other use of the player ends the run; an empty or missing folder is passed
// like a missing file, and the equipment switches as for any entry.

#include "console/folderplayback.h"
#include "console/remotekeys.h"
#include "consolerig.h"
#include "schedulerrig.h"
#include "support/gbkfiles.h"
#include "zonelink/frames.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7); // a Monday
QDateTime at(QTime time)
{
    return QDateTime(kDay, time);
}

// Everything queued on the event loop so far has run.
bool drainQueued()
{
    bool done = false;
    QObject context;
    QMetaObject::invokeMethod(
        &context, [&done] { done = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&done] { return done; }, 5000);
}

// Moves the rig's clock to moment, ticking at every whole second on the way.
void runTo(SchedulerRig &rig, const QDateTime &moment)
{
    const QDateTime now = rig.clock.now();
    QDateTime next
        = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()))
              .addSecs(1);
    for (; next <= moment; next = next.addSecs(1))
        rig.tickAt(next);
    rig.clock.set(moment);
}

QStringList loads(const FakeMediaPlayer &player)
{
    QStringList files;
    for (const QString &call : player.calls) {
        if (call.startsWith(u"load "))
            files << call.mid(5);
    }
    return files;
}

QStringList timedFrames(const SchedulerRig &rig)
{
    QStringList texts;
    for (const auto &f : rig.frames)
        texts << f.at + u' ' + f.text();
    return texts;
}

void touch(const QString &path)
{
    GbkFiles::writeBytes(path, QByteArrayLiteral("RIFF"));
}
} // namespace

class tst_FolderPlayback : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void audioFiles_data();
    void audioFiles();
    void orderFor_data();
    void orderFor();
    void playsTheFilesOneAfterAnother_data();
    void playsTheFilesOneAfterAnother();
    void randomOrderPlaysEachFileOnce();
    void playLengthIsKept_data();
    void playLengthIsKept();
    void emptyOrMissingFolder_data();
    void emptyOrMissingFolder();
    void filesThatDoNotPlayArePassedOver();
    void otherPlaybackEndsTheRun_data();
    void otherPlaybackEndsTheRun();
    void itemStartedWhileTheFramesGoOut();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // The files of m_songs in name order.
    QStringList songs() const;

    QTemporaryDir m_dir;
    QString m_songs; // five audio files among others
    QString m_single; // one file, for plain entries
};

void tst_FolderPlayback::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_songs = path(u"铃声组"_s);
    for (const char16_t *name : {u"02 b.MP3", u"01 a.wav", u"10 c.mid", u"03 D.wma", u"04 e.dat",
                                 u"notes.txt", u"cover.jpg", u"mp3", u"05 f.mp3/inside.mp3"})
        touch(m_songs + u'/' + QString::fromUtf16(name));
    m_single = path(u"single/上课.mp3"_s);
    touch(m_single);
}

QStringList tst_FolderPlayback::songs() const
{
    QStringList files;
    for (const char16_t *name : {u"01 a.wav", u"02 b.MP3", u"03 D.wma", u"04 e.dat", u"10 c.mid"})
        files << m_songs + u'/' + QString::fromUtf16(name);
    return files;
}

void tst_FolderPlayback::audioFiles_data()
{
    QTest::addColumn<QStringList>("present"); // files made in a fresh folder
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("the five kinds, any case")
        << QStringList {u"e.DAT"_s, u"d.Wma"_s, u"c.mid"_s, u"b.WAV"_s, u"a.mp3"_s}
        << QStringList {u"a.mp3"_s, u"b.WAV"_s, u"c.mid"_s, u"d.Wma"_s, u"e.DAT"_s};
    QTest::newRow("name order ignores case") << QStringList {u"c.mp3"_s, u"B.mp3"_s, u"a.mp3"_s}
                                             << QStringList {u"a.mp3"_s, u"B.mp3"_s, u"c.mp3"_s};
    QTest::newRow("numbers sort as text") << QStringList {u"10.mp3"_s, u"2.mp3"_s, u"1.mp3"_s}
                                          << QStringList {u"1.mp3"_s, u"10.mp3"_s, u"2.mp3"_s};
    QTest::newRow("Chinese names")
        << QStringList {u"下课.wav"_s, u"上课.wav"_s} << QStringList {u"上课.wav"_s, u"下课.wav"_s};
    QTest::newRow("other kinds and names without a kind")
        << QStringList {u"a.mp4"_s, u"b.mp3.bak"_s, u"mp3"_s, u"c.txt"_s, u"d.ogg"_s}
        << QStringList {};
    QTest::newRow("subfolders are not entered")
        << QStringList {u"x.mp3/y.mp3"_s, u"z.wav"_s} << QStringList {u"z.wav"_s};
    QTest::newRow("empty folder") << QStringList {} << QStringList {};
}

void tst_FolderPlayback::audioFiles()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.path()));
    for (const QString &name : present)
        touch(dir.filePath(name));
    QStringList full;
    for (const QString &name : expected)
        full << dir.filePath(name);
    QCOMPARE(FolderPlayback::audioFiles(dir.path()), full);
    QVERIFY(FolderPlayback::audioFiles(dir.filePath(u"missing"_s)).isEmpty());
}

void tst_FolderPlayback::orderFor_data()
{
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("random");
    QTest::newRow("顺序播") << u"顺序播"_s << false;
    QTest::newRow("随机播") << u"随机播"_s << true;
    QTest::newRow("随机播 with blanks") << u" 随机播 "_s << true;
    QTest::newRow("any other detail") << u"午间音乐"_s << false;
    QTest::newRow("no detail") << QString() << false;
}

void tst_FolderPlayback::orderFor()
{
    QFETCH(QString, detail);
    QFETCH(bool, random);
    QCOMPARE(FolderPlayback::orderFor(detail) == FolderPlayback::Order::Random, random);
}

void tst_FolderPlayback::playsTheFilesOneAfterAnother_data()
{
    QTest::addColumn<QString>("detail");
    QTest::newRow("顺序播") << u"顺序播"_s;
    QTest::newRow("any other detail plays by name") << u"午间"_s;
}

void tst_FolderPlayback::playsTheFilesOneAfterAnother()
{
    QFETCH(QString, detail);
    SchedulerRig rig(at(QTime(7, 59, 59)));
    rig.setEveryDay({entry("08:00:00", 1, m_songs, "00:05:00", "1.2.", "1.", "", detail)});
    rig.load();
    // What the player frame shows: the title each time it changes.
    QStringList titles;
    QObject::connect(rig.playback.get(), &PlaybackEngine::changed, rig.playback.get(), [&] {
        if (titles.value(titles.size() - 1) != rig.playback->title())
            titles << rig.playback->title();
    });
    rig.tickAt(QTime(8, 0, 0));
    QCOMPARE(rig.played, QStringList {m_songs});
    const QStringList expected = songs();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QVERIFY(QTest::qWaitFor([&] { return loads(rig.player).size() == i + 1; }, 5000));
        QCOMPARE(loads(rig.player).constLast(), expected.at(i));
        QVERIFY(rig.scheduler->folderPlayback().isActive());
        QCOMPARE(rig.playback->title(), fileTitle(expected.at(i)));
        runTo(rig, rig.clock.now().addSecs(20));
        rig.player.finish();
    }
    QVERIFY(drainQueued());
    QCOMPARE(loads(rig.player), expected); // each once, none again
    QVERIFY(!rig.scheduler->folderPlayback().isActive());
    QStringList shown {u"铃声组"_s};
    for (const QString &file : expected)
        shown << fileTitle(file);
    QCOMPARE(titles, shown);
}

void tst_FolderPlayback::randomOrderPlaysEachFileOnce()
{
    // The files as played by a "随机播" entry whose order comes from seed.
    const auto playedWith = [this](quint32 seed) {
        SchedulerRig rig(at(QTime(7, 59, 59)));
        rig.setEveryDay({entry("08:00:00", 1, m_songs, "00:05:00", "1.2.", "1.", "", u"随机播"_s)});
        rig.load();
        rig.scheduler->folderPlayback().setSeed(seed);
        rig.tickAt(QTime(8, 0, 0));
        for (int i = 0; i < 5; ++i) {
            if (!drainQueued())
                return QStringList {};
            rig.player.finish();
        }
        drainQueued();
        return loads(rig.player);
    };
    QSet<QStringList> orders;
    for (quint32 seed = 1; seed <= 8; ++seed) {
        const QStringList played = playedWith(seed);
        QStringList sorted = played;
        std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(sorted, songs()); // every file, once
        QCOMPARE(playedWith(seed), played); // a fixed seed gives a fixed order
        orders.insert(played);
    }
    // Shuffled indeed: the orders differ from seed to seed.
    QVERIFY(orders.size() > 2);
}

void tst_FolderPlayback::playLengthIsKept_data()
{
    // A four-file folder with a play length of ten seconds: 08:00:00 to
    // 08:00:10, the player stopped from 08:00:12. ends: when each file
    // playing reports its end, in milliseconds after the start.
    QTest::addColumn<QList<int>>("ends");
    QTest::addColumn<int>("played"); // how many files were started
    QTest::newRow("all four within the length") << QList<int> {2000, 4000, 6000, 8000} << 4;
    QTest::newRow("one ends just before the end") << QList<int> {4000, 9500} << 3;
    QTest::newRow("one ends at the end") << QList<int> {4000, 10000} << 2;
    QTest::newRow("one ends after the end, before the stop") << QList<int> {11000} << 1;
    QTest::newRow("the first outlasts the stop") << QList<int> {} << 1;
}

void tst_FolderPlayback::playLengthIsKept()
{
    QFETCH(QList<int>, ends);
    QFETCH(int, played);
    const QString four = path(u"four"_s);
    for (const char16_t *name : {u"a.mp3", u"b.mp3", u"c.mp3", u"d.mp3"})
        touch(four + u'/' + QString::fromUtf16(name));
    // The same entry over one file, for the equipment's frames.
    SchedulerRig folder(at(QTime(7, 59, 59)));
    SchedulerRig single(at(QTime(7, 59, 59)));
    folder.setEveryDay({entry("08:00:00", 1, four, "00:00:10", "1.2.", "1.", "4.", u"顺序播"_s)});
    single.setEveryDay(
        {entry("08:00:00", 1, m_single, "00:00:10", "1.2.", "1.", "4.", u"顺序播"_s)});
    for (SchedulerRig *rig : {&folder, &single}) {
        rig->load();
        rig->tickAt(QTime(8, 0, 0));
    }
    for (int ms : ends) {
        for (SchedulerRig *rig : {&folder, &single}) {
            runTo(*rig, at(QTime(8, 0, 0)).addMSecs(ms));
            rig->player.finish();
        }
        QVERIFY(drainQueued());
    }
    for (SchedulerRig *rig : {&folder, &single})
        runTo(*rig, at(QTime(8, 1, 15)));
    // A late end report after the stop starts nothing either.
    folder.player.finish();
    QVERIFY(drainQueued());

    const QStringList all = FolderPlayback::audioFiles(four);
    QCOMPARE(loads(folder.player), all.first(played));
    QVERIFY(!folder.scheduler->folderPlayback().isActive());
    QVERIFY(folder.player.calls.contains(u"stop"_s));
    QVERIFY(!folder.player.playing);
    QCOMPARE(folder.framesAt(u"08:00:20"_s), QStringList {u"ZoneClose 0 0 1.2."_s});
    QCOMPARE(timedFrames(folder), timedFrames(single));
}

void tst_FolderPlayback::emptyOrMissingFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("present");
    QTest::newRow("empty folder") << u"empty"_s << QStringList {};
    QTest::newRow("no audio file in it")
        << u"other"_s << QStringList {u"notes.txt"_s, u"x.mp3/y.mp3"_s};
    QTest::newRow("missing folder") << u"missing"_s << QStringList {};
}

void tst_FolderPlayback::emptyOrMissingFolder()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, present);
    const QString dir = path(folder);
    if (folder != u"missing")
        QVERIFY(QDir().mkpath(dir));
    for (const QString &name : present)
        touch(dir + u'/' + name);
    SchedulerRig rig(at(QTime(7, 59, 59)));
    SchedulerRig gone(at(QTime(7, 59, 59))); // the same entry over a missing file
    rig.setEveryDay({entry("08:00:00", 1, dir, "00:00:30", "1.2.", "1.", "4.", u"顺序播"_s)});
    gone.setEveryDay(
        {entry("08:00:00", 1, path(u"gone.mp3"_s), "00:00:30", "1.2.", "1.", "4.", u"顺序播"_s)});
    for (SchedulerRig *r : {&rig, &gone}) {
        r->load();
        runTo(*r, at(QTime(8, 1, 35)));
    }
    QVERIFY(drainQueued());
    QVERIFY(loads(rig.player).isEmpty());
    QVERIFY(!rig.scheduler->folderPlayback().isActive());
    QCOMPARE(rig.played, QStringList {dir});
    QCOMPARE(rig.player.calls, gone.player.calls);
    QCOMPARE(timedFrames(rig), timedFrames(gone));
    QVERIFY(!rig.scheduler->outputsActive());
}

void tst_FolderPlayback::filesThatDoNotPlayArePassedOver()
{
    const QString three = path(u"three"_s);
    for (const char16_t *name : {u"a.mp3", u"b.mp3", u"c.mp3", u"d.mp3"})
        touch(three + u'/' + QString::fromUtf16(name));
    SchedulerRig rig(at(QTime(7, 59, 59)));
    rig.setEveryDay({entry("08:00:00", 1, three, "00:05:00", "1.2.", "1.", "", u"顺序播"_s)});
    rig.load();
    rig.tickAt(QTime(8, 0, 0));
    QCOMPARE(loads(rig.player), QStringList {three + u"/a.mp3"_s});
    // The player cannot play a.mp3: b.mp3 follows.
    QTest::ignoreMessage(QtWarningMsg, "the player gave up: \"invalid media\"");
    Q_EMIT rig.player.failed(u"invalid media"_s);
    QVERIFY(QTest::qWaitFor([&] { return loads(rig.player).size() == 2; }, 5000));
    QCOMPARE(loads(rig.player).constLast(), three + u"/b.mp3"_s);
    // c.mp3 went away since the folder was read: d.mp3 follows b.mp3.
    QVERIFY(QFile::remove(three + u"/c.mp3"_s));
    rig.player.finish();
    QVERIFY(QTest::qWaitFor([&] { return loads(rig.player).size() == 3; }, 5000));
    QCOMPARE(loads(rig.player).constLast(), three + u"/d.mp3"_s);
}

namespace {
enum class Other {
    Nothing,
    OpenButton, // "打开"
    ListPlay, // the list's "播  放"
    RemotePlay, // remote key 1
    PlayButton, // Pause, then Play by hand
    StopButton,
    Audition, // the schedule editor's "试  听"
    Playsong, // another window plays a file through the console's playsong
    NextItemFile,
    NextItemMissingFile,
    ProgramEnds,
};
} // namespace
Q_DECLARE_METATYPE(Other)
Q_DECLARE_METATYPE(PlayerHolder)

void tst_FolderPlayback::otherPlaybackEndsTheRun_data()
{
    QTest::addColumn<Other>("other");
    QTest::addColumn<bool>("playsSingle"); // it plays a file of its own
    QTest::addColumn<bool>("goesOn"); // the folder's next file follows
    QTest::addColumn<PlayerHolder>("holder"); // who holds the player then
    QTest::newRow("nothing else: the next file follows")
        << Other::Nothing << false << true << PlayerHolder::Folder;
    QTest::newRow("打开") << Other::OpenButton << true << false << PlayerHolder::Hand;
    QTest::newRow("the list's 播  放") << Other::ListPlay << true << false << PlayerHolder::Hand;
    QTest::newRow("remote key 1") << Other::RemotePlay << true << false << PlayerHolder::Remote;
    QTest::newRow("pause and play by hand")
        << Other::PlayButton << false << false << PlayerHolder::Hand;
    QTest::newRow("stop") << Other::StopButton << false << false << PlayerHolder::Nobody;
    QTest::newRow("audition") << Other::Audition << true << false << PlayerHolder::Audition;
    QTest::newRow("another window's playsong")
        << Other::Playsong << true << false << PlayerHolder::Hand;
    QTest::newRow("a new item with a file")
        << Other::NextItemFile << true << false << PlayerHolder::Schedule;
    // The folder's file goes on playing after its run has ended.
    QTest::newRow("a new item whose file is missing")
        << Other::NextItemMissingFile << false << false << PlayerHolder::Folder;
    QTest::newRow("the program ends")
        << Other::ProgramEnds << false << false << PlayerHolder::Folder;
}

void tst_FolderPlayback::otherPlaybackEndsTheRun()
{
    QFETCH(Other, other);
    QFETCH(bool, playsSingle);
    QFETCH(bool, goesOn);
    ConsoleRig rig;
    rig.setting(u"rm_scope"_s, u"True"_s);
    GbkFiles::writeText(rig.file(u"rem_list.txt"_s), u'"' + m_single + u"\"\n"_s);
    const QString next = other == Other::NextItemMissingFile ? path(u"gone.mp3"_s) : m_single;
    rig.writeWeek(ConsoleRig::line(u"08:00:00"_s, u"顺序播"_s, m_songs)
                  + ConsoleRig::line(u"08:00:05"_s, u"下一项"_s, next));
    rig.clock.set(at(QTime(7, 59, 0)));
    // No controller: the frames are dropped at once and the files play at once.
    rig.port.devices.clear();
    Console &c = rig.start();
    rig.clock.set(at(QTime(8, 0, 0)));
    c.timerplayer_Timer();
    const QString first = songs().at(0);
    QVERIFY(QTest::qWaitFor([&] { return rig.player.source == first; }, 10000));
    QVERIFY(c.scheduler().folderPlayback().isActive());
    QSignalSpy itemsPlayed(&c.scheduler(), &Scheduler::filePlayed);

    switch (other) {
    case Other::Nothing:
        break;
    case Other::OpenButton:
        c.playFileByHand(m_single);
        break;
    case Other::ListPlay:
        c.playRowByHand(1);
        break;
    case Other::RemotePlay:
        c.remoteKeys().handle(int(RemoteKey::KeyPlay));
        break;
    case Other::PlayButton:
        c.playback().pauseClicked();
        c.playback().playClicked();
        break;
    case Other::StopButton:
        c.playback().stopAction();
        break;
    case Other::Audition:
        c.playback().playsong(m_single, u"0"_s, PlayerHolder::Audition);
        break;
    case Other::Playsong:
        c.playsong(m_single, u"0"_s);
        break;
    case Other::NextItemFile:
    case Other::NextItemMissingFile:
        rig.clock.set(at(QTime(8, 0, 5)));
        c.timerplayer_Timer();
        QVERIFY(QTest::qWaitFor([&] { return itemsPlayed.size() == 1; }, 10000));
        break;
    case Other::ProgramEnds:
        c.endProgram();
        break;
    }
    if (playsSingle)
        QVERIFY(QTest::qWaitFor([&] { return rig.player.source == m_single; }, 10000));
    QCOMPARE(c.scheduler().folderPlayback().isActive(), goesOn);
    QFETCH(PlayerHolder, holder);
    QCOMPARE(c.playback().holder(), holder);
    // Whatever plays now ends.
    rig.player.finish();
    QVERIFY(drainQueued());
    QCOMPARE(rig.player.source == songs().at(1), goesOn);
    QCOMPARE(loads(rig.player).contains(songs().at(1)), goesOn);
}

void tst_FolderPlayback::itemStartedWhileTheFramesGoOut()
{
    // Two items due in one tick: the folder's frames are still on the wire
    // when the second item starts, so the folder plays nothing at all, as a
    // single file would be replaced at once.
    ConsoleRig rig;
    rig.writeWeek(ConsoleRig::line(u"08:00:00"_s, u"顺序播"_s, m_songs)
                  + ConsoleRig::line(u"08:00:00"_s, u"下一项"_s, path(u"gone.mp3"_s)));
    rig.clock.set(at(QTime(7, 59, 0)));
    Console &c = rig.start();
    QSignalSpy itemsPlayed(&c.scheduler(), &Scheduler::filePlayed);
    rig.clock.set(at(QTime(8, 0, 0)));
    c.timerplayer_Timer();
    QVERIFY(QTest::qWaitFor([&] { return itemsPlayed.size() == 2; }, 10000));
    QCOMPARE(itemsPlayed.at(0).at(0).toString(), m_songs);
    QVERIFY(drainQueued());
    QVERIFY(loads(rig.player).isEmpty());
    QVERIFY(!c.scheduler().folderPlayback().isActive());
}

QTEST_GUILESS_MAIN(tst_FolderPlayback)
#include "tst_folderplayback.moc"
