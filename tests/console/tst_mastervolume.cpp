// The console's volume against the real ALSA mixer of the private sound server.

#include "console/clsvolume.h"
#include "console/mastervolume.h"
#include "consolerig.h"
#include "platform/mixer.h"

#include <QProcess>
#include <QTest>

class tst_MasterVolume : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void volumeSetsTwiceItsValue_data();
    void volumeSetsTwiceItsValue();
    void withoutSoundServerTheMixerFails();
    void cleanupTestCase();

private:
    AlsaMixer m_mixer;
    AlsaMixer m_observer; // a second client that reads what the server holds
    std::unique_ptr<ConsoleRig> m_rig;
    std::optional<long> m_before;
};

void tst_MasterVolume::initTestCase()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    if (!(pactl.waitForFinished(5000) && pactl.exitCode() == 0)) {
        if (qEnvironmentVariableIsSet("QUELLON_REQUIRE_SOUND"))
            QFAIL("no sound server, although ./test started one");
        QSKIP("no sound server: run through ./test");
    }
    QCOMPARE(m_observer.open(), 0);
    m_before = m_observer.readSpeakerVolume();
    m_rig = std::make_unique<ConsoleRig>();
    m_rig->realMixer = &m_mixer;
    Console &c = m_rig->start();
    QCOMPARE(c.volume().mixer().prMixerErr(), 0);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    const auto range = m_mixer.speakerRange();
    QVERIFY(range.has_value());
    QVERIFY(range->maximum >= 65534);
    QCOMPARE(c.volume().maximum(), 32767);
}

void tst_MasterVolume::volumeSetsTwiceItsValue_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("upper end") << 32767;
    QTest::newRow("middle") << 16000;
    QTest::newRow("one step") << 1000;
    QTest::newRow("silent") << 0;
}

void tst_MasterVolume::volumeSetsTwiceItsValue()
{
    QFETCH(int, value);
    MasterVolume &volume = m_rig->console().volume();
    volume.setValue(value == 0 ? 1 : value - 1); // make sure the value changes
    volume.setValue(value);
    QTRY_COMPARE_WITH_TIMEOUT(m_observer.readSpeakerVolume().value_or(-1), long(value) * 2, 5000);
}

void tst_MasterVolume::withoutSoundServerTheMixerFails()
{
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/native");
    AlsaMixer mixer;
    FakeDialogs dialogs;
    clsVolume volume(mixer, dialogs);
    volume.meOpenMixer();
    server.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", server);
    QVERIFY(volume.prMixerErr() < 0);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.at(0).text, QStringLiteral("Could not open the mixer."));
    QCOMPARE(dialogs.shown.at(0).title, QStringLiteral("Volume Control"));
    QVERIFY(!dialogs.shown.at(0).waited);
    volume.setPrSpeakerVolume(1234); // no mixer: remembered, nothing else
    QCOMPARE(volume.prSpeakerVolume(), 1234L);
}

void tst_MasterVolume::cleanupTestCase()
{
    m_rig.reset();
    if (m_before)
        m_observer.setSpeakerVolume(*m_before);
}

QTEST_MAIN(tst_MasterVolume)
#include "tst_mastervolume.moc"
