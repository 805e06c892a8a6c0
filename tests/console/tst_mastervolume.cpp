// The volume slider against the real ALSA mixer of the private sound server.

#include "console/clsvolume.h"
#include "console/frmback.h"
#include "platform/mixer.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"
#include "support/fakepower.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"

#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

class tst_MasterVolume : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void sliderSetsTwiceItsValue_data();
    void sliderSetsTwiceItsValue();
    void withoutSoundServerTheMixerFails();
    void cleanupTestCase();

private:
    QTemporaryDir m_dir;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    MemoryUserStore m_store;
    FakeMediaPlayer m_player;
    AlsaMixer m_mixer;
    FakeSerialPort m_port;
    FakePower m_power;
    AlsaMixer m_observer; // a second client that reads what the server holds
    std::unique_ptr<frmback> m_window;
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
    m_port.devices.insert(QStringLiteral("/dev/ttyS0"));
    m_window = std::make_unique<frmback>(
        ConsoleServices {m_clock, m_dialogs, m_store, m_player, m_mixer, m_port, m_power, AppFolder(m_dir.path())});
    m_window->startUp();
    QCOMPARE(m_window->volume().prMixerErr(), 0);
    QVERIFY(m_dialogs.shown.isEmpty());
    const auto range = m_mixer.speakerRange();
    QVERIFY(range.has_value());
    QVERIFY(range->maximum >= 65534);
    QCOMPARE(m_window->findChild<QSlider *>(QStringLiteral("Slidervol"))->maximum(), 32767);
}

void tst_MasterVolume::sliderSetsTwiceItsValue_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("upper end") << 32767;
    QTest::newRow("middle") << 16000;
    QTest::newRow("one step") << 1000;
    QTest::newRow("silent") << 0;
}

void tst_MasterVolume::sliderSetsTwiceItsValue()
{
    QFETCH(int, value);
    auto *slider = m_window->findChild<QSlider *>(QStringLiteral("Slidervol"));
    slider->setValue(value == 0 ? 1 : value - 1); // make sure the value changes
    slider->setValue(value);
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
    volume.setPrSpeakerVolume(1234); // no mixer: remembered, nothing else
    QCOMPARE(volume.prSpeakerVolume(), 1234L);
}

void tst_MasterVolume::cleanupTestCase()
{
    if (m_before)
        m_observer.setSpeakerVolume(*m_before);
}

QTEST_MAIN(tst_MasterVolume)
#include "tst_mastervolume.moc"
