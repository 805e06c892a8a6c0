// The real player on the private sound server's null sink: every format the
// console offers loads, reports its duration, advances and reaches its end.

#include "platform/qtmediaplayer.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoWidget>

using namespace Qt::StringLiterals;

class tst_QtMediaPlayer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void formats_data();
    void formats();
    void corruptFileLeavesThePlayerIdle();
    void sameFileStartsAgain();
    void videoFullScreenAndBack();

private:
    QString media(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

void tst_QtMediaPlayer::initTestCase()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    const bool server = pactl.waitForFinished(5000) && pactl.exitCode() == 0;
    if (!server) {
        if (qEnvironmentVariableIsSet("QUELLON_REQUIRE_SOUND"))
            QFAIL("no sound server, although ./test started one");
        QSKIP("no sound server: run through ./test");
    }
    GbkFiles::writeBytes(media("a.wav"), TestMedia::wav(1.0));
    GbkFiles::writeBytes(media("a.mid"), TestMedia::midi());
    QString error;
    const QString sine = QStringLiteral("sine=frequency=440:duration=1");
    QVERIFY2(TestMedia::ffmpeg(
                 {u"-f"_s, u"lavfi"_s, u"-i"_s, sine, u"-c:a"_s, u"libmp3lame"_s, media("a.mp3")},
                 &error),
             qPrintable(error));
    QVERIFY2(
        TestMedia::ffmpeg(
            {u"-f"_s, u"lavfi"_s, u"-i"_s, sine, u"-c:a"_s, u"wmav2"_s, media("a.wma")}, &error),
        qPrintable(error));
    QVERIFY2(TestMedia::ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=size=352x288:rate=25"_s,
                                u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine"_s, u"-t"_s, u"1"_s,
                                u"-target"_s, u"pal-vcd"_s, media("v.mpg")},
                               &error),
             qPrintable(error));
    QVERIFY(QFile::copy(media("v.mpg"), media("plain.dat")));
    GbkFiles::writeBytes(media("cdxa.dat"), TestMedia::cdxa(GbkFiles::readBytes(media("v.mpg"))));
}

void tst_QtMediaPlayer::formats_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("WAV") << media("a.wav");
    QTest::newRow("MIDI") << media("a.mid");
    QTest::newRow("MP3") << media("a.mp3");
    QTest::newRow("WMA") << media("a.wma");
    QTest::newRow("VCD .dat, program stream") << media("plain.dat");
    QTest::newRow("VCD .dat, RIFF/CDXA") << media("cdxa.dat");
}

void tst_QtMediaPlayer::formats()
{
    QFETCH(QString, file);
    QtMediaPlayer player;
    QSignalSpy ended(&player, &MediaPlayer::endOfStream);
    QSignalSpy failed(&player, &MediaPlayer::failed);
    player.loadAndPlay(file);
    QVERIFY(player.hasSource());
    QTRY_VERIFY_WITH_TIMEOUT(player.durationSeconds() > 0.5 || !failed.isEmpty(), 15000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    QVERIFY(player.durationSeconds() < 3.0);
    QTRY_VERIFY_WITH_TIMEOUT(player.positionSeconds() > 0.2, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
    QVERIFY(failed.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 5000);
}

void tst_QtMediaPlayer::corruptFileLeavesThePlayerIdle()
{
    QByteArray junk;
    for (int i = 0; i < 50000; ++i)
        junk += char((i * 7919) % 251);
    GbkFiles::writeBytes(media("broken.mp3"), junk);
    QtMediaPlayer player;
    QSignalSpy failed(&player, &MediaPlayer::failed);
    QSignalSpy ended(&player, &MediaPlayer::endOfStream);
    player.loadAndPlay(media("broken.mp3"));
    QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty() || !ended.isEmpty(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 5000);
    // The same player still plays a good file afterwards.
    QSignalSpy endedGood(&player, &MediaPlayer::endOfStream);
    player.loadAndPlay(media("a.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(endedGood.size(), 1, 20000);
}

void tst_QtMediaPlayer::sameFileStartsAgain()
{
    QtMediaPlayer player;
    player.loadAndPlay(media("a.wav"));
    QTRY_VERIFY_WITH_TIMEOUT(player.positionSeconds() > 0.4, 15000);
    player.loadAndPlay(media("a.wav"));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 5000);
    QVERIFY(player.positionSeconds() < 0.4);
}

void tst_QtMediaPlayer::videoFullScreenAndBack()
{
    QWidget window;
    auto *video = new QVideoWidget(&window);
    window.resize(640, 480);
    window.show();
    QtMediaPlayer player;
    player.setVideoWidget(video);
    QVERIFY(!video->isVisible()); // nothing to show yet
    QSignalSpy ended(&player, &MediaPlayer::endOfStream);
    player.loadAndPlay(media("cdxa.dat"));
    QTRY_VERIFY_WITH_TIMEOUT(video->isVisible(), 15000); // at its place in the window
    QVERIFY(!player.isShowingFullScreen());
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!video->isVisible(), 5000); // no black box after the end

    player.setFullScreen(true);
    player.loadAndPlay(media("cdxa.dat"));
    QTRY_VERIFY_WITH_TIMEOUT(player.isShowingFullScreen(), 15000);
    QVERIFY(!video->isVisible()); // the picture is on the full-screen window
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 20000);
    player.setFullScreen(false);
    QVERIFY(!player.isShowingFullScreen());
    QCOMPARE(video->parentWidget(), &window);
}

QTEST_MAIN(tst_QtMediaPlayer)
#include "tst_qtmediaplayer.moc"
