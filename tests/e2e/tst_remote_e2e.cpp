// The real quellon against zonesim: remote keys from the simulator, the
// frames they cause on the wire, garbage on the line, and the simulator
// pulled away and started again.

#include "e2einstall.h"
#include "platform/gbk.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QDate>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_RemoteE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void allOnAndAllOff();
    void cursorAndVolumeKeys();
    void playAndStop();
    void garbageChangesNothing();
    void simulatorPulledAwayAndBack();

private:
    QStringList stateAfter();
    E2eInstall m_install;
    QString m_song;
};

void tst_RemoteE2e::initTestCase()
{
    m_song = m_install.path(QStringLiteral("song/铃声.wav"));
    GbkFiles::writeBytes(m_song, TestMedia::wav(2.0));
    GbkFiles::writeText(
        m_install.path(QStringLiteral("node.txt")),
        QStringLiteral("\"一班\",\"1\",\"1\"\n\"二班\",\"2\",\"1\"\n\"操场\",\"17\",\"2\"\n"));
    m_install.writeOneFrequency(1, QStringLiteral("103.5"));
    // Every day's table has two rows, so the test runs on any day; they are
    // due just before midnight so the scheduler leaves them alone.
    static const char16_t *names[]
        = {u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六", u"星期日"};
    QString week;
    for (int d = 0; d < 7; ++d) {
        week += QStringLiteral("00,00,00,") + QString::fromUtf16(names[d])
            + QStringLiteral(",00,00,00,00,00\n");
        week += QStringLiteral("23:59:58, 1 ,甲,") + m_song
            + QStringLiteral(", 100 ,00:00:02,1.,1.,\n");
        week += QStringLiteral("23:59:59, 1 ,乙,") + m_song
            + QStringLiteral(", 100 ,00:00:02,1.,1.,\n");
    }
    GbkFiles::writeText(m_install.path(QStringLiteral("week.txt")), week);
    m_install.writeStore(
        {{QStringLiteral("defaultweekfile"), m_install.path(QStringLiteral("week.txt"))},
         {QStringLiteral("rm_scope"), QStringLiteral("False")}});
    QVERIFY(m_install.startSimulator());
    QVERIFY(m_install.startConsole());
}

QStringList tst_RemoteE2e::stateAfter()
{
    m_install.simulatorCommand(QStringLiteral("state"));
    if (!m_install.waitSimulator(QStringLiteral("state nodes")))
        return {};
    return m_install.simulatorLines().last().split(u' ');
}

void tst_RemoteE2e::allOnAndAllOff()
{
    qsizetype from = m_install.simulatorLines().size();
    m_install.simulatorCommand(QStringLiteral("key 2"));
    QVERIFY(m_install.waitSimulator(QStringLiteral("DeviceOpen")));
    QStringList frames = m_install.framesSince(from);
    QCOMPARE(frames.size(), 3);
    QVERIFY2(frames.at(0).startsWith(
                 u"ZoneOpen 103.5 MHz nodes 1.2.17. [EB 14 01 0A 23 03 01 02 11 FE 01]"),
             qPrintable(frames.at(0)));
    QVERIFY(frames.at(1).startsWith(u"AmpOpen 1.2.3.4.5.6.7.8. [EB 14 03 00 00 08"));
    QVERIFY(frames.at(2).startsWith(u"DeviceOpen 1.2.3.4.5.6.7.8. [EB 14 05 00 00 08"));
    QCOMPARE(stateAfter().mid(0, 7),
             (QStringList {u"state"_s, u"nodes"_s, u"1.2.17."_s, u"amps"_s, u"1.2.3.4.5.6.7.8."_s,
                           u"devices"_s, u"1.2.3.4.5.6.7.8."_s}));

    from = m_install.simulatorLines().size();
    m_install.simulatorCommand(QStringLiteral("key 4"));
    QVERIFY(m_install.waitSimulator(QStringLiteral("DeviceClose")));
    frames = m_install.framesSince(from);
    QCOMPARE(frames.size(), 3);
    QVERIFY(frames.at(0).startsWith(u"ZoneClose nodes 1.2.17. [EB 14 02 00 00 03 01 02 11 FE 01]"));
    QVERIFY(frames.at(1).startsWith(u"AmpClose 1.2.3.4.5.6.7.8."));
    QVERIFY(frames.at(2).startsWith(u"DeviceClose 1.2.3.4.5.6.7.8."));
    QCOMPARE(
        stateAfter().mid(0, 7),
        (QStringList {u"state"_s, u"nodes"_s, u"-"_s, u"amps"_s, u"-"_s, u"devices"_s, u"-"_s}));
}

void tst_RemoteE2e::cursorAndVolumeKeys()
{
    const struct
    {
        const char *command;
        const char *log;
    } steps[] = {
        {"key 7", "key 7: cursor 2"},    {"key 7", "key 7: cursor 2"},
        {"key 5", "key 5: cursor 1"},    {"key 5", "key 5: cursor 1"},
        {"key 6", "key 6: volume 5000"}, {"key 6", "key 6: volume 10000"},
        {"key 8", "key 8: volume 5000"}, {"key 8", "key 8: volume 0"},
        {"key 8", "key 8: volume 0"},
    };
    const qsizetype from = m_install.simulatorLines().size();
    for (const auto &step : steps) {
        m_install.simulatorCommand(QString::fromLatin1(step.command));
        QVERIFY2(m_install.waitConsole(QString::fromLatin1(step.log)), step.log);
    }
    QVERIFY(m_install.framesSince(from).isEmpty()); // these keys send nothing
}

void tst_RemoteE2e::playAndStop()
{
    m_install.simulatorCommand(QStringLiteral("key 1"));
    QVERIFY(m_install.waitConsole(QStringLiteral("key 1: entry 1")));
    const QString played = m_install.consoleLines().last();
    QVERIFY2(played.contains(QStringLiteral("铃声.wav"))
                 && played.contains(QStringLiteral("work status manual")),
             qPrintable(played));
    m_install.simulatorCommand(QStringLiteral("key 3"));
    QVERIFY(m_install.waitConsole(QStringLiteral("key 3: stopped - work status automatic")));
}

void tst_RemoteE2e::garbageChangesNothing()
{
    const qsizetype simFrom = m_install.simulatorLines().size();
    const qsizetype consoleFrom = m_install.consoleLines().size();
    for (const char *bytes : {"00", "09 01 02", "41 FF 00 11", "FF", "EB 14 01"}) {
        m_install.simulatorCommand(QStringLiteral("send %1").arg(QString::fromLatin1(bytes)));
        QTest::qWait(100);
    }
    // A key in its own chunk after the garbage still works (in the same chunk
    // it would not count: only a chunk's first byte does).
    QTest::qWait(300);
    m_install.simulatorCommand(QStringLiteral("key 7"));
    QVERIFY(m_install.waitConsole(QStringLiteral("key 7: cursor 2")));
    QCOMPARE(m_install.consoleLines().size(), consoleFrom + 1);
    QVERIFY(m_install.framesSince(simFrom).isEmpty());
    m_install.simulatorCommand(QStringLiteral("key 5"));
    QVERIFY(m_install.waitConsole(QStringLiteral("key 5: cursor 1")));
}

void tst_RemoteE2e::simulatorPulledAwayAndBack()
{
    QVERIFY(m_install.stopSimulator());
    QVERIFY(m_install.waitConsole(QStringLiteral("link lost")));
    // Keys cannot arrive now, and the console keeps running.
    QTest::qWait(1500);
    QVERIFY(m_install.startSimulator());
    QVERIFY(m_install.waitConsole(QStringLiteral("link restored")));
    const qsizetype from = m_install.simulatorLines().size();
    m_install.simulatorCommand(QStringLiteral("key 2"));
    QVERIFY(m_install.waitSimulator(QStringLiteral("DeviceOpen")));
    QCOMPARE(m_install.framesSince(from).size(), 3);
}

QTEST_GUILESS_MAIN(tst_RemoteE2e)
#include "tst_remote_e2e.moc"
