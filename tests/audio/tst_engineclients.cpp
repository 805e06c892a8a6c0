// The console's side of the sound engine against a scripted engine: the test
// says what the engine answers and reads what it was asked. Answers about an
// earlier file are ignored, the position runs on between reports, and a
// replaced engine is asked again for what was under way: the player's file
// where it would stand by now (or its end, when that is past), a take begun
// while the engine was gone.

#include "audio/enginemediaplayer.h"
#include "audio/enginerecorder.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
// An engine that says "ready", writes what it is asked to a log and answers
// what the test writes into a FIFO. Its pings go unanswered, so the test's
// timing gives it a long time to answer.
class ScriptedEngine
{
public:
    ScriptedEngine()
    {
        const QString fifo = m_dir.filePath(u"answers"_s);
        ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
        QFile script(program());
        if (!script.open(QIODevice::WriteOnly))
            qFatal("cannot write the scripted engine");
        // A job in the background reads /dev/null: it gets the requests on
        // a descriptor of its own.
        script.write("#!/bin/sh\necho ready 1 $$\nexec 3<&0\ncat <&3 >> '"
                     + QFile::encodeName(log()) + "' &\nexec cat '" + QFile::encodeName(fifo)
                     + "' 3<&-\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_answers.setFileName(fifo);
    }
    QString program() const { return m_dir.filePath(u"engine.sh"_s); }
    QString log() const { return m_dir.filePath(u"requests"_s); }
    // Opening waits for the engine to read; it is started by then.
    void say(const QByteArray &line)
    {
        if (!m_answers.isOpen() && !m_answers.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            qFatal("cannot open the answers");
        m_answers.write(line + '\n');
    }
    // The engine ends when its answers end.
    void closeAnswers() { m_answers.close(); }
    QStringList requests() const
    {
        QFile f(log());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        lines.removeIf([](const QString &l) { return l.startsWith(u"ping"); });
        return lines;
    }

private:
    QTemporaryDir m_dir;
    QFile m_answers;
};

constexpr EngineProcess::Timing kPatient {500, 60000, 20000, 2000};
} // namespace

class tst_EngineClients : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void playerFollowsItsJob_data();
    void playerFollowsItsJob();
    void replacedEngineIsAskedAgain_data();
    void replacedEngineIsAskedAgain();
    void playerStartsWithinAFile_data();
    void playerStartsWithinAFile();
};

void tst_EngineClients::playerFollowsItsJob_data()
{
    QTest::addColumn<QByteArrayList>("answers"); // for jobs 1 (a.wav) and 2 (b.wav)
    QTest::addColumn<int>("ends");
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("showsVideo");
    QTest::newRow("the end of the file before is ignored")
        << QByteArrayList {"eos 1", "error 1 gone"} << 0 << 0 << true << false;
    QTest::newRow("the end of this file") << QByteArrayList {"eos 2"} << 1 << 0 << false << false;
    QTest::newRow("this file fails")
        << QByteArrayList {"error 2 no%20decoder"} << 0 << 1 << false << false;
    QTest::newRow("pictures while it plays")
        << QByteArrayList {"video 1 1", "video 2 1"} << 0 << 0 << true << true;
    QTest::newRow("no pictures once it ended")
        << QByteArrayList {"video 2 1", "eos 2"} << 1 << 0 << false << false;
}

void tst_EngineClients::playerFollowsItsJob()
{
    QFETCH(QByteArrayList, answers);
    QFETCH(int, ends);
    QFETCH(int, failures);
    QFETCH(bool, playing);
    QFETCH(bool, showsVideo);
    ScriptedEngine engine;
    EngineMediaPlayer player(engine.program(), kPatient);
    QSignalSpy ended(&player, &MediaPlayer::endOfStream);
    QSignalSpy failed(&player, &MediaPlayer::failed);
    player.loadAndPlay(u"/tmp/a.wav"_s);
    player.loadAndPlay(u"/tmp/b.wav"_s);
    for (const QByteArray &a : answers)
        engine.say(a);
    engine.say("pong 0"); // the last word, so the test knows all was read
    QTRY_VERIFY(player.engine().isReady());
    QTRY_VERIFY(engine.requests().size() >= 2);
    QTest::qWait(200);
    QCOMPARE(ended.size(), ends);
    QCOMPARE(failed.size(), failures);
    if (failures)
        QCOMPARE(failed.first().first().toString(), u"no decoder"_s);
    QCOMPARE(player.isPlaying(), playing);
    QCOMPARE(player.showsVideo(), showsVideo);
    QCOMPARE(engine.requests(),
             (QStringList {u"play 1 0 1 0 /tmp/a.wav"_s, u"play 2 0 1 0 /tmp/b.wav"_s}));
}

void tst_EngineClients::replacedEngineIsAskedAgain_data()
{
    QTest::addColumn<QByteArray>("report"); // the engine's last position report
    QTest::addColumn<bool>("paused");
    QTest::addColumn<int>("fromMs"); // the new start, at least; -1: none, it ended
    QTest::newRow("playing: on from where it would be")
        << QByteArray("position 1 2000 60000 -1") << false << 2300;
    QTest::newRow("paused: where it was, paused")
        << QByteArray("position 1 2000 60000 -1") << true << 2000;
    QTest::newRow("past its end: it ended") << QByteArray("position 1 2000 2100 -1") << false << -1;
}

void tst_EngineClients::replacedEngineIsAskedAgain()
{
    QFETCH(QByteArray, report);
    QFETCH(bool, paused);
    QFETCH(int, fromMs);
    ScriptedEngine engine;
    ScriptedEngine recorderEngine;
    EngineMediaPlayer player(engine.program(), kPatient);
    EngineRecorder recorder(recorderEngine.program(), kPatient);
    QSignalSpy ended(&player, &MediaPlayer::endOfStream);
    QSignalSpy restarted(&player, &MediaPlayer::restarted);
    QSignalSpy recorderBack(&recorder.engine(), &EngineProcess::restarted);
    player.setVolume(0.5);
    player.loadAndPlay(u"/tmp/a.wav"_s);
    QTRY_VERIFY(player.engine().isReady());
    QTRY_VERIFY(recorder.engine().isReady());
    engine.say(report);
    if (paused) {
        QTRY_VERIFY(player.positionMs() >= 2000);
        player.pause();
    }
    QTest::qWait(300);
    const qint64 before = player.positionMs();
    // The engines go; a take asked for while its engine is being replaced
    // never reached it.
    connect(&recorder.engine(), &EngineProcess::lost, this,
            [&recorder] { recorder.record(u"/tmp/take.wav"_s); });
    ::kill(pid_t(player.engine().processId()), SIGKILL);
    ::kill(pid_t(recorder.engine().processId()), SIGKILL);
    QTRY_COMPARE(restarted.size(), 1);
    QTRY_COMPARE(recorderBack.size(), 1);
    QTest::qWait(200);
    QCOMPARE(recorderEngine.requests(), QStringList {u"record 1 /tmp/take.wav"_s});
    const QStringList asked = engine.requests();
    const QStringList plays = asked.filter(u"play "_s);
    if (fromMs < 0) {
        QCOMPARE(plays.size(), 1);
        QCOMPARE(ended.size(), 1);
        QVERIFY(!player.isPlaying());
        return;
    }
    QCOMPARE(plays.size(), 2);
    QCOMPARE(ended.size(), 0);
    const QStringList again = plays.last().split(u' ');
    QCOMPARE(again.value(1), u"2"_s); // a new job
    const int from = again.value(2).toInt();
    QVERIFY2(from >= fromMs && from <= before + 500,
             qPrintable(u"from %1, %2 before"_s.arg(from).arg(before)));
    QCOMPARE(again.value(3), u"0.5"_s); // at the player's own volume
    QCOMPARE(asked.contains(u"pause 2"_s), paused);
    QCOMPARE(player.isPlaying(), !paused);
}

void tst_EngineClients::playerStartsWithinAFile_data()
{
    QTest::addColumn<qint64>("startMs");
    QTest::addColumn<QString>("request"); // what the engine is asked
    QTest::newRow("from the beginning") << qint64(0) << u"play 1 0 1 0 /tmp/a.wav"_s;
    QTest::newRow("a minute and a half in") << qint64(90500) << u"play 1 90500 1 0 /tmp/a.wav"_s;
    QTest::newRow("before the beginning") << qint64(-300) << u"play 1 0 1 0 /tmp/a.wav"_s;
}

void tst_EngineClients::playerStartsWithinAFile()
{
    QFETCH(qint64, startMs);
    QFETCH(QString, request);
    ScriptedEngine engine;
    EngineMediaPlayer player(engine.program(), kPatient);
    player.loadAndPlayFrom(u"/tmp/a.wav"_s, startMs);
    // Until the engine reports, the position runs on from the start asked for.
    QVERIFY(player.isPlaying());
    const qint64 from = std::max<qint64>(startMs, 0);
    QVERIFY2(player.positionMs() >= from && player.positionMs() < from + 1000,
             qPrintable(QString::number(player.positionMs())));
    QTRY_VERIFY(player.engine().isReady());
    QTRY_VERIFY(!engine.requests().isEmpty());
    QCOMPARE(engine.requests(), QStringList {request});
    // The engine's report of where it stands wins over the running estimate.
    engine.say("position 1 1200 120000 -1");
    QTRY_VERIFY2(player.positionMs() >= 1200 && player.positionMs() < 2200,
                 qPrintable(QString::number(player.positionMs())));
}

QTEST_GUILESS_MAIN(tst_EngineClients)
#include "tst_engineclients.moc"
