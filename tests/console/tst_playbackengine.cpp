#include "console/appsettings.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "support/fakemediaplayer.h"

#include <QFile>
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
    void volumeCommands_data();
    void volumeCommands();

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
    m_engine->playsong(m_dir.filePath(QStringLiteral("gone.mp3")), QStringLiteral("00:01:00"));
    m_engine->playsong(QString(), QStringLiteral("0"));
    m_engine->playsong(m_dir.path(), QStringLiteral("0")); // a folder is no file to play
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
    m_engine->playsong(existingFile(), QStringLiteral("00:01:00"));
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
    m_engine->playsong(existingFile(), QStringLiteral("0"));
    m_engine->ManualPlayback = manual;
    m_player->finish();
    QCOMPARE(m_engine->playEnabled(), playEnabled);
    QCOMPARE(m_engine->pauseEnabled(), !playEnabled);
    QCOMPARE(m_engine->stopEnabled(), !playEnabled);
    QVERIFY(!m_engine->ManualPlayback);
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
        m_engine->playsong(existingFile(), QStringLiteral("0"));
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
        QVERIFY(m_engine->ManualPlayback);
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
    m_engine->playsong(existingFile(), QStringLiteral("0"));
    m_engine->refreshProgress();
    QCOMPARE(m_engine->positionText(), QStringLiteral(" 12/215"));
    QCOMPARE(m_engine->lengthText(), QStringLiteral("03:35"));
    QCOMPARE(m_engine->progress(), 5);
}

void tst_PlaybackEngine::failureReturnsToIdle()
{
    m_settings.ShowVideo = true;
    m_engine->playsong(existingFile(), QStringLiteral("0"));
    m_player->setPlaying(false);
    Q_EMIT m_player->failed(QStringLiteral("no decoder"));
    QVERIFY(m_engine->playEnabled());
    QVERIFY(!m_engine->stopEnabled());
    QVERIFY(!m_player->fullScreen);
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

QTEST_GUILESS_MAIN(tst_PlaybackEngine)
#include "tst_playbackengine.moc"
