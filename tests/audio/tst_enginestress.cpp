// Two thousand requests in a few seconds, to one engine: files loaded over
// one another, stopped, paused, probed (good, broken and missing), pinged.
// Every request that asks for an answer gets one, nothing is refused, and
// the engine is never replaced: no hang, whatever the order.

#include "audio/engineprocess.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_EngineStress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyRequestIsAnswered();

private:
    QTemporaryDir m_dir;
    QStringList m_files;
};

void tst_EngineStress::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
    const auto put = [this](const QString &name, const QByteArray &bytes) {
        GbkFiles::writeBytes(m_dir.filePath(name), bytes);
        m_files << m_dir.filePath(name);
    };
    put(u"short.wav"_s, TestMedia::wav(0.3));
    put(u"long.wav"_s, TestMedia::wav(3.0, 550));
    put(u"tune.mid"_s, TestMedia::midi());
    QByteArray junk;
    for (int i = 0; i < 20000; ++i)
        junk += char((i * 7919) % 251);
    put(u"broken.mp3"_s, junk);
    QString error;
    QVERIFY2(TestMedia::ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=duration=0.4"_s, u"-c:a"_s,
                                u"libmp3lame"_s, m_dir.filePath(u"a.mp3"_s)},
                               &error),
             qPrintable(error));
    m_files << m_dir.filePath(u"a.mp3"_s) << m_dir.filePath(u"missing.wav"_s);
}

void tst_EngineStress::everyRequestIsAnswered()
{
    EngineProcess engine(EngineProcess::defaultProgram(), u"stress"_s);
    QSet<QString> waiting; // "play 12", "probe 7", "ping 3"
    QStringList refused;
    connect(&engine, &EngineProcess::message, this, [&](const audioproto::Message &m) {
        const QString id = QString::fromStdString(m.arg(0));
        if (m.verb == "pong")
            waiting.remove(u"ping "_s + id);
        else if (m.verb == "duration" || m.verb == "probefail")
            waiting.remove(u"probe "_s + id);
        else if (m.verb == "state" || m.verb == "eos" || m.verb == "error")
            waiting.remove(u"play "_s + id);
        else if (m.verb == "bad")
            refused << id;
    });
    engine.warmUp();
    QTRY_VERIFY_WITH_TIMEOUT(engine.isReady(), 20000);

    QRandomGenerator random(18);
    qint64 job = 0;
    qint64 probe = 0;
    qint64 ping = 0;
    int sent = 0;
    QElapsedTimer t;
    t.start();
    while (sent < 2000) {
        // A few requests at a time, as fast as an operator's clicks and a
        // scheduler's tick could ever come, and the event loop between.
        for (int burst = 0; burst < 4 && sent < 2000; ++burst, ++sent) {
            const QString file = m_files.at(random.bounded(m_files.size()));
            const std::string source = EngineProcess::sourceOf(file);
            const std::string j = std::to_string(job);
            switch (random.bounded(8)) {
            case 0:
            case 1: // a load, or an audition taking over
                ++job;
                waiting.insert(u"play %1"_s.arg(job));
                engine.send("play", {std::to_string(job), "0", "0.5", "0", source});
                break;
            case 2:
                engine.send("stop", {j});
                break;
            case 3:
                engine.send(random.bounded(2) ? "pause" : "resume", {j});
                break;
            case 4:
            case 5:
                ++probe;
                waiting.insert(u"probe %1"_s.arg(probe));
                engine.send("probe", {std::to_string(probe), source});
                break;
            case 6:
                engine.send("volume", {random.bounded(2) ? "0.2" : "1"});
                break;
            default:
                ++ping;
                waiting.insert(u"ping %1"_s.arg(ping));
                engine.send("ping", {std::to_string(ping)});
                break;
            }
        }
        QTest::qWait(2);
    }
    const qint64 sending = t.elapsed();
    QTRY_VERIFY2_WITH_TIMEOUT(waiting.isEmpty(),
                              qPrintable(QStringList(waiting.values()).mid(0, 10).join(u", "_s)),
                              60000);
    qInfo("2000 requests (%lld loads, %lld probes, %lld pings) sent in %lld ms, all answered "
          "after %lld ms",
          job, probe, ping, sending, t.elapsed());
    QVERIFY2(refused.isEmpty(), qPrintable(refused.join(u"; "_s)));
    QCOMPARE(engine.restarts(), 0);
    engine.send("stop", {std::to_string(job)});
}

QTEST_GUILESS_MAIN(tst_EngineStress)
#include "tst_enginestress.moc"
