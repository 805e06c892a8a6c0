// Starts the real console in a fresh application folder and checks what its
// first and second start leave on disk.

#include "support/gbkfiles.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_QuellonStart : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void firstStartInitialisesTheStore();
    void secondStartReadsWithoutWriting();
    void brokenScheduleDoesNotStopTheConsole();
    void cleanup();

private:
    void launch();
    QString storePath() const
    {
        return m_dir.filePath(QStringLiteral("config/broadcast/broadcast.conf"));
    }
    QTemporaryDir m_dir;
    QProcess m_process;
};

void tst_QuellonStart::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString binary = m_dir.filePath(QStringLiteral("quellon"));
    QVERIFY(QFile::copy(QStringLiteral(QUELLON_BINARY), binary));
    QVERIFY(QFile::setPermissions(binary, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // A portable installation: the data files are kept beside the executable.
    QFile marker(m_dir.filePath(QStringLiteral("portable")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
}

void tst_QuellonStart::launch()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_dir.path());
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(m_dir.filePath(QStringLiteral("quellon")), {});
    QVERIFY(m_process.waitForStarted());
}

void tst_QuellonStart::cleanup()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

void tst_QuellonStart::firstStartInitialisesTheStore()
{
    launch();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath(QStringLiteral("config.ini"))), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(QSettings(storePath(), QSettings::IniFormat)
                                  .value(QStringLiteral("setting/setted"))
                                  .toString(),
                              QStringLiteral("yes"), 20000);
    QSettings store(storePath(), QSettings::IniFormat);
    store.beginGroup(QStringLiteral("setting"));
    const QStringList keys = {u"backimage"_s,   u"userinfor"_s,          u"dislaylist"_s,
                              u"weekmode"_s,    u"defaultdatefile"_s,    u"defaultweekfile"_s,
                              u"shutdown"_s,    u"auto_set_open_time"_s, u"com"_s,
                              u"openamptime"_s, u"closeamptime"_s,       u"ampnoopen"_s,
                              u"ampopenall"_s,  u"ampopenchoice"_s,      u"rm_scope"_s};
    for (const QString &key : keys)
        QVERIFY2(store.contains(key), qPrintable(key));
    QCOMPARE(store.value(QStringLiteral("backimage")).toString(),
             m_dir.filePath(QStringLiteral("backimage/clouds.bmp")));
    QCOMPARE(store.value(QStringLiteral("userinfor")).toString(), QStringLiteral("新用户"));
    QCOMPARE(store.value(QStringLiteral("com")).toString(), QStringLiteral("com1"));
    QCOMPARE(GbkFiles::readBytes(m_dir.filePath(QStringLiteral("config.ini"))),
             QByteArray("[DisplayMode]\r\nSetVolTime=33:33:33\r\nTermVol=22\r\n"));
    QCOMPARE(m_process.state(), QProcess::Running);
}

void tst_QuellonStart::secondStartReadsWithoutWriting()
{
    const QByteArray store = GbkFiles::readBytes(storePath());
    const QByteArray ini = GbkFiles::readBytes(m_dir.filePath(QStringLiteral("config.ini")));
    QVERIFY(!store.isEmpty());
    launch();
    // Give it time to run its start-up; it must still be running and have written nothing.
    QTest::qWait(2000);
    QCOMPARE(m_process.state(), QProcess::Running);
    QCOMPARE(GbkFiles::readBytes(storePath()), store);
    QCOMPARE(GbkFiles::readBytes(m_dir.filePath(QStringLiteral("config.ini"))), ini);
}

void tst_QuellonStart::brokenScheduleDoesNotStopTheConsole()
{
    const QString week = m_dir.filePath(QStringLiteral("table/week/broken.txt"));
    GbkFiles::writeBytes(week, QByteArray("\x00\xff\xfe garbage,,,\r\n\"unterminated", 30));
    {
        QSettings store(storePath(), QSettings::IniFormat);
        store.setValue(QStringLiteral("setting/defaultweekfile"), week);
        store.setValue(QStringLiteral("setting/dislaylist"), QStringLiteral("not a boolean"));
        store.setValue(QStringLiteral("setting/backimage"),
                       m_dir.filePath(QStringLiteral("missing.bmp")));
    }
    GbkFiles::writeBytes(m_dir.filePath(QStringLiteral("node.txt")), QByteArray("\"a\",\"1"));
    GbkFiles::writeBytes(m_dir.filePath(QStringLiteral("amp_name.dat")), QByteArray("\"x\"\r\n"));
    launch();
    QTest::qWait(2000);
    QCOMPARE(m_process.state(), QProcess::Running);
    QCOMPARE(QSettings(storePath(), QSettings::IniFormat)
                 .value(QStringLiteral("setting/dislaylist"))
                 .toString(),
             QStringLiteral("not a boolean"));
}

QTEST_GUILESS_MAIN(tst_QuellonStart)
#include "tst_quellon_start.moc"
