#include "console/appsettings.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "support/fakemediaplayer.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_PlaybackEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void missingFileChangesNothing();
    void playsongStartsTheFile_data();
    void playsongStartsTheFile();
    void endOfStream_data();
    void endOfStream();
    void transportButtons_data();
    void transportButtons();
    void progressTexts_data();
    void progressTexts();
    void progressOnlyWhilePlaying();
    void failureReturnsToIdle();
    void holderFollowsEveryStart_data();
    void holderFollowsEveryStart();
    void volumeCommands_data();
    void volumeCommands();
    void manualPlaybackIsAnnouncedOnce_data();
    void manualPlaybackIsAnnouncedOnce();

private:
    QString existingFile() const { return m_dir.filePath(QStringLiteral("上课铃.mp3")); }
    QTemporaryDir m_dir;
    AppSettings m_settings;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<PlaybackEngine> m_engine;
};

void tst_PlaybackEngine::init()
{
    QFile f(existingFile());
    QVERIFY(f.open(QIODevice::WriteOnly));
    m_settings = AppSettings();
    m_player = std::make_unique<FakeMediaPlayer>();
    m_engine = std::make_unique<PlaybackEngine>(*m_player, m_settings);
}

void tst_PlaybackEngine::missingFileChangesNothing()
{
    m_engine->playsong(m_dir.filePath(QStringLiteral("gone.mp3")), QStringLiteral("00:01:00"),
                       PlayerHolder::Hand);
    m_engine->playsong(QString(), QStringLiteral("0"), PlayerHolder::Hand);
    m_engine->playsong(m_dir.path(), QStringLiteral("0"),
                       PlayerHolder::Hand); // a folder is no file to play
    QVERIFY(m_player->calls.isEmpty());
    QCOMPARE(m_engine->title(), QStringLiteral("No music"));
    QVERIFY(m_engine->playEnabled());
    QVERIFY(!m_engine->pauseEnabled());
    QVERIFY(!m_engine->stopEnabled());
}

void tst_PlaybackEngine::playsongStartsTheFile_data()
{
    QTest::addColumn<bool>("video");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("audio") << false << QStringList {u"load"_s};
    QTest::newRow("video full screen") << true << QStringList {u"fullscreen"_s, u"load"_s};
}

void tst_PlaybackEngine::playsongStartsTheFile()
{
    QFETCH(bool, video);
    QFETCH(QStringList, calls);
    m_settings.ShowVideo = video;
    m_engine->playsong(existingFile(), QStringLiteral("00:01:00"), PlayerHolder::Schedule);
    QStringList got;
    for (const QString &c : m_player->calls)
        got << c.section(u' ', 0, 0);
    QCOMPARE(got, calls);
    QCOMPARE(m_player->source, existingFile());
    QCOMPARE(m_engine->title(), QStringLiteral("上课铃.mp3"));
    QVERIFY(!m_engine->playEnabled());
    QVERIFY(m_engine->pauseEnabled());
    QVERIFY(m_engine->stopEnabled());
}

void tst_PlaybackEngine::endOfStream_data()
{
    QTest::addColumn<bool>("manual");
    QTest::addColumn<bool>("playEnabled");
    QTest::newRow("manual playback re-enables Play") << true << true;
    QTest::newRow("scheduled playback leaves the buttons") << false << false;
}

void tst_PlaybackEngine::endOfStream()
{
    QFETCH(bool, manual);
    QFETCH(bool, playEnabled);
    m_settings.ShowVideo = true;
    if (manual)
        m_engine->playByHand(existingFile(), QStringLiteral("0"), PlayerHolder::Hand);
    else
        m_engine->playsong(existingFile(), QStringLiteral("0"), PlayerHolder::Schedule);
    QCOMPARE(m_engine->manualPlayback(), manual);
    m_player->finish();
    QCOMPARE(m_engine->playEnabled(), playEnabled);
    QCOMPARE(m_engine->pauseEnabled(), !playEnabled);
    QCOMPARE(m_engine->stopEnabled(), !playEnabled);
    QVERIFY(!m_engine->manualPlayback());
    QVERIFY(!m_player->fullScreen); // back to the normal size in every case
}

void tst_PlaybackEngine::transportButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("playEnabled");
    QTest::newRow("Play with a file") << "play" << true << "play" << false;
    QTest::newRow("Play without a file does not call the player") << "play" << false << "" << false;
    QTest::newRow("Pause") << "pause" << true << "pause" << true;
    QTest::newRow("Stop") << "stop" << true << "stop" << true;
}

void tst_PlaybackEngine::transportButtons()
{
    QFETCH(QString, button);
    QFETCH(bool, loaded);
    QFETCH(QString, call);
    QFETCH(bool, playEnabled);
    if (loaded)
        m_engine->playsong(existingFile(), QStringLiteral("0"), PlayerHolder::Hand);
    m_player->calls.clear();
    if (button == u"play")
        m_engine->playClicked();
    else if (button == u"pause")
        m_engine->pauseClicked();
    else
        m_engine->stopAction();
    QCOMPARE(m_player->calls.value(0), call);
    QCOMPARE(m_engine->playEnabled(), playEnabled);
    QCOMPARE(m_engine->stopEnabled(), !playEnabled);
    if (button == u"play")
        QVERIFY(m_engine->manualPlayback());
    if (button == u"stop")
        QCOMPARE(m_player->calls.value(1), QStringLiteral("normal size"));
}

void tst_PlaybackEngine::progressTexts_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("ctime");
    QTest::addColumn<QString>("length");
    QTest::addColumn<int>("percent");
    QTest::newRow("215 s at 12") << 12.0 << 215.0 << " 12/215"
                                 << "03:35" << 5;
    QTest::newRow("fractions are cut") << 59.9 << 3600.4 << " 59/3600"
                                       << "60:00" << 1;
    QTest::newRow("position past the end is clamped") << 230.0 << 215.0 << " 215/215"
                                                      << "03:35" << 100;
    QTest::newRow("unknown position") << -1.0 << 215.0 << "-1/215"
                                      << "03:35" << -1;
    QTest::newRow("no duration yet") << 0.0 << 0.0 << " 0/0"
                                     << "00:00" << -1;
}

void tst_PlaybackEngine::progressTexts()
{
    QFETCH(double, position);
    QFETCH(double, duration);
    QFETCH(QString, ctime);
    QFETCH(QString, length);
    QFETCH(int, percent);
    const PlaybackEngine::Progress p = PlaybackEngine::progressFor(position, duration);
    QCOMPARE(p.position, ctime);
    QCOMPARE(p.length, length);
    QCOMPARE(p.percent, percent);
}

void tst_PlaybackEngine::progressOnlyWhilePlaying()
{
    m_player->position = 12;
    m_player->duration = 215;
    m_engine->refreshProgress();
    QCOMPARE(m_engine->positionText(), QStringLiteral("00/000"));
    m_engine->playsong(existingFile(), QStringLiteral("0"), PlayerHolder::Schedule);
    m_engine->refreshProgress();
    QCOMPARE(m_engine->positionText(), QStringLiteral(" 12/215"));
    QCOMPARE(m_engine->lengthText(), QStringLiteral("03:35"));
    QCOMPARE(m_engine->progress(), 5);
}

void tst_PlaybackEngine::failureReturnsToIdle()
{
    m_settings.ShowVideo = true;
    m_engine->playsong(existingFile(), QStringLiteral("0"), PlayerHolder::Schedule);
    m_player->setPlaying(false);
    Q_EMIT m_player->failed(QStringLiteral("no decoder"));
    QVERIFY(m_engine->playEnabled());
    QVERIFY(!m_engine->stopEnabled());
    QVERIFY(!m_player->fullScreen);
}

namespace {
const QMap<QString, PlayerHolder> kHolders {
    {u"Nobody"_s, PlayerHolder::Nobody}, {u"Schedule"_s, PlayerHolder::Schedule},
    {u"Hand"_s, PlayerHolder::Hand},     {u"Folder"_s, PlayerHolder::Folder},
    {u"Remote"_s, PlayerHolder::Remote}, {u"Audition"_s, PlayerHolder::Audition},
};
} // namespace

void tst_PlaybackEngine::holderFollowsEveryStart_data()
{
    // A step is a holder's name (it plays the file), "missing" (the operator
    // plays a file that is not there), or play, pause, stop, end, fail.
    // The changes are "before>now" in the order announced.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("changes");
    const auto row
        = [](const char *name, const QString &steps, const QString &holder,
             const QString &changes) { QTest::newRow(name) << steps << holder << changes; };
    row("the schedule starts", u"Schedule"_s, u"Schedule"_s, u"Nobody>Schedule"_s);
    row("the operator takes over the schedule", u"Schedule Hand"_s, u"Hand"_s,
        u"Nobody>Schedule Schedule>Hand"_s);
    row("the schedule takes over the audition", u"Audition Schedule"_s, u"Schedule"_s,
        u"Nobody>Audition Audition>Schedule"_s);
    row("a folder entry takes over the remote keys", u"Remote Folder"_s, u"Folder"_s,
        u"Nobody>Remote Remote>Folder"_s);
    row("the same holder again is no change", u"Folder Folder"_s, u"Folder"_s, u"Nobody>Folder"_s);
    row("a missing file takes nothing", u"Schedule missing"_s, u"Schedule"_s, u"Nobody>Schedule"_s);
    row("stop", u"Remote stop"_s, u"Nobody"_s, u"Nobody>Remote Remote>Nobody"_s);
    row("stop with nothing held", u"stop"_s, u"Nobody"_s, QString());
    row("a scheduled file ends", u"Schedule end"_s, u"Nobody"_s,
        u"Nobody>Schedule Schedule>Nobody"_s);
    row("a file played by hand ends, stopped once", u"Hand end"_s, u"Nobody"_s,
        u"Nobody>Hand Hand>Nobody"_s);
    row("the audition's file fails", u"Audition fail"_s, u"Nobody"_s,
        u"Nobody>Audition Audition>Nobody"_s);
    row("pause keeps the holder", u"Schedule pause"_s, u"Schedule"_s, u"Nobody>Schedule"_s);
    row("Play after Pause is the operator's", u"Schedule pause play"_s, u"Hand"_s,
        u"Nobody>Schedule Schedule>Hand"_s);
    row("Play after Stop is the operator's", u"Folder stop play"_s, u"Hand"_s,
        u"Nobody>Folder Folder>Nobody Nobody>Hand"_s);
    row("Play without a file takes nothing", u"play"_s, u"Nobody"_s, QString());
}

void tst_PlaybackEngine::holderFollowsEveryStart()
{
    QFETCH(QString, steps);
    QFETCH(QString, holder);
    QFETCH(QString, changes);
    QStringList announced;
    connect(m_engine.get(), &PlaybackEngine::holderChanged, this,
            [this, &announced](PlayerHolder now, PlayerHolder before) {
                announced << kHolders.key(before) + u'>' + kHolders.key(now);
                // The one that lost the player may look at it at once.
                if (m_engine->holder() != now)
                    announced << u"holder() lags"_s;
            });
    for (const QString &step : steps.split(u' ')) {
        if (step == u"Hand" || step == u"Remote") {
            // What the console's own commands and the remote's key 1 do.
            m_engine->playByHand(existingFile(), u"0"_s, kHolders.value(step));
        } else if (step == u"Schedule") {
            m_engine->scheduledItemStarted();
            m_engine->playsong(existingFile(), u"0"_s, PlayerHolder::Schedule);
        } else if (kHolders.contains(step)) {
            m_engine->playsong(existingFile(), u"0"_s, kHolders.value(step));
        } else if (step == u"missing") {
            m_engine->playsong(m_dir.filePath(u"gone.mp3"_s), u"0"_s, PlayerHolder::Hand);
        } else if (step == u"play") {
            m_engine->playClicked();
        } else if (step == u"pause") {
            m_engine->pauseClicked();
        } else if (step == u"stop") {
            m_engine->stopAction();
        } else if (step == u"end") {
            m_player->finish();
        } else if (step == u"fail") {
            m_player->setPlaying(false);
            Q_EMIT m_player->failed(u"no decoder"_s);
        } else {
            QFAIL("not a step of this test");
        }
    }
    QCOMPARE(kHolders.key(m_engine->holder()), holder);
    QCOMPARE(announced.join(u' '), changes);
}

void tst_PlaybackEngine::volumeCommands_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("up");
    QTest::addColumn<int>("down");
    QTest::newRow("0") << 0 << 1000 << 0;
    QTest::newRow("1000") << 1000 << 2000 << 0;
    QTest::newRow("1001") << 1001 << 2001 << 1;
    QTest::newRow("31766") << 31766 << 32766 << 30766;
    QTest::newRow("31767") << 31767 << 32767 << 30767;
    QTest::newRow("32767") << 32767 << 32767 << 31767;
}

void tst_PlaybackEngine::volumeCommands()
{
    QFETCH(int, value);
    QFETCH(int, up);
    QFETCH(int, down);
    QCOMPARE(MasterVolume::upFrom(value), up);
    QCOMPARE(MasterVolume::downFrom(value), down);
}

void tst_PlaybackEngine::manualPlaybackIsAnnouncedOnce_data()
{
    // Steps: "hand" (a file played by hand), "handMissing" (by hand, the file
    // is not there), "remote" (the remote's key 1), "play", "stop", "keyStop"
    // (the remote's stop key), "schedule" (the scheduler starts a row),
    // "end" (the file ends).
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("announced"); // "on"/"off" in order
    QTest::addColumn<bool>("manual");
    const auto row = [](const char *name, const QString &steps, const QString &announced,
                        bool manual) { QTest::newRow(name) << steps << announced << manual; };
    row("played by hand", u"hand"_s, u"on"_s, true);
    row("by hand, the file missing", u"handMissing"_s, u"on"_s, true);
    row("the remote's key 1", u"remote"_s, u"on"_s, true);
    row("Play", u"play"_s, u"on"_s, true);
    row("by hand twice is one change", u"hand hand play"_s, u"on"_s, true);
    row("the scheduler takes over", u"hand schedule"_s, u"on off"_s, false);
    row("the scheduler with nothing manual", u"schedule"_s, QString(), false);
    row("the end of a manual file", u"hand end"_s, u"on off"_s, false);
    row("the end of a scheduled file", u"schedule end"_s, QString(), false);
    row("Stop keeps it", u"hand stop"_s, u"on"_s, true);
    row("the remote's stop key", u"remote keyStop"_s, u"on off"_s, false);
    row("the stop key with nothing manual", u"keyStop"_s, QString(), false);
}

void tst_PlaybackEngine::manualPlaybackIsAnnouncedOnce()
{
    QFETCH(QString, steps);
    QFETCH(QString, announced);
    QFETCH(bool, manual);
    QStringList changes;
    connect(m_engine.get(), &PlaybackEngine::manualPlaybackChanged, this,
            [this, &changes](bool now) {
                QCOMPARE(now, m_engine->manualPlayback());
                changes << (now ? u"on"_s : u"off"_s);
            });
    for (const QString &step : steps.split(u' ')) {
        if (step == u"hand")
            m_engine->playByHand(existingFile(), u"0"_s, PlayerHolder::Hand);
        else if (step == u"handMissing")
            m_engine->playByHand(m_dir.filePath(u"gone.mp3"_s), u"0"_s, PlayerHolder::Hand);
        else if (step == u"remote")
            m_engine->playByHand(existingFile(), u"0"_s, PlayerHolder::Remote);
        else if (step == u"play")
            m_engine->playClicked();
        else if (step == u"stop")
            m_engine->stopAction();
        else if (step == u"keyStop")
            m_engine->stopByHand();
        else if (step == u"schedule")
            m_engine->scheduledItemStarted();
        else if (step == u"end")
            m_player->finish();
        else
            QFAIL("not a step of this test");
    }
    QCOMPARE(changes.join(u' '), announced);
    QCOMPARE(m_engine->manualPlayback(), manual);
}

QTEST_GUILESS_MAIN(tst_PlaybackEngine)
#include "tst_playbackengine.moc"
