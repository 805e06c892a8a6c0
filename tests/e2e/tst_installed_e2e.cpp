// The real console laid out as the package installs it (usr/lib/quellon,
// usr/bin/quellon, usr/share/quellon/seed) in a temporary folder: its data
// go to the operator's data folder, seeded on the first start, or to the
// folder given; at start-up the autostart entry is left as it is, but for
// one the setting wants that is missing or starts nothing.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

class tst_InstalledE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void dataFolder_data();
    void dataFolder();
    void autostartFollowsTheSetting_data();
    void autostartFollowsTheSetting();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void start(const QStringList &arguments);
    bool waitStarted();
    void writeStore(bool startAtLogin);

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_console;
};

void tst_InstalledE2e::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(path(u"usr/lib/quellon"_s)));
    QVERIFY(QDir().mkpath(path(u"usr/bin"_s)));
    QVERIFY(QDir().mkpath(path(u"usr/share/quellon/seed/song"_s)));
    for (const auto &[from, to] :
         {std::pair {QStringLiteral(QUELLON_BINARY), u"quellon"_s},
          std::pair {QStringLiteral(QUELLON_AUDIO_BINARY), u"quellon-audio"_s}}) {
        QVERIFY(QFile::copy(from, path(u"usr/lib/quellon/"_s + to)));
        QVERIFY(QFile::setPermissions(path(u"usr/lib/quellon/"_s + to),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QVERIFY(QFile::link(u"../lib/quellon/quellon"_s, path(u"usr/bin/quellon"_s)));
    QFile bell(path(u"usr/share/quellon/seed/song/bell.wav"_s));
    QVERIFY(bell.open(QIODevice::WriteOnly));
    bell.write("RIFF bell");
}

void tst_InstalledE2e::cleanup()
{
    if (m_console.state() != QProcess::NotRunning) {
        m_console.kill();
        m_console.waitForFinished(5000);
    }
    std::fputs(m_console.readAllStandardError().constData(), stderr);
}

void tst_InstalledE2e::start(const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
    env.insert(u"XDG_DATA_HOME"_s, path(u"share"_s));
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, u"unix:path=/nonexistent"_s);
    m_console.setProcessEnvironment(env);
    m_console.setWorkingDirectory(path(u"usr"_s));
    // Its messages are read for the start-up's end, and shown.
    m_console.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    // Started by the command on the path, as the desktop starts it.
    m_console.start(path(u"usr/bin/quellon"_s), arguments);
    QVERIFY(m_console.waitForStarted());
}

bool tst_InstalledE2e::waitStarted()
{
    QByteArray seen;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        const QByteArray more = m_console.readAllStandardError();
        std::fputs(more.constData(), stderr);
        seen += more;
        if (seen.contains("started"))
            return true;
        QTest::qWait(50);
    }
    return false;
}

void tst_InstalledE2e::writeStore(bool startAtLogin)
{
    QDir().mkpath(path(u"config/broadcast"_s));
    QSettings store(path(u"config/broadcast/broadcast.conf"_s), QSettings::IniFormat);
    store.setValue(u"setting/setted"_s, u"yes"_s);
    store.setValue(u"operation/start_at_login"_s, startAtLogin ? u"True"_s : u"False"_s);
    store.sync();
}

void tst_InstalledE2e::dataFolder_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("folder"); // relative to the test's folder

    QTest::newRow("the operator's data folder") << QStringList {} << u"share/quellon"_s;
    QTest::newRow("--data-folder, relative to the working folder")
        << QStringList {u"--data-folder"_s, u"../school"_s} << u"school"_s;
}

void tst_InstalledE2e::dataFolder()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, folder);
    start(arguments);
    // The first start writes config.ini where the data files are.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path(folder + u"/config.ini"_s)), 20000);
    QFile bell(path(folder + u"/song/bell.wav"_s));
    QVERIFY(bell.open(QIODevice::ReadOnly));
    QCOMPARE(bell.readAll(), "RIFF bell");
    QVERIFY(QFileInfo(path(folder + u"/table/week"_s)).isDir());
    // Nothing beside the executable, nothing in the other folder.
    QCOMPARE(QDir(path(u"usr/lib/quellon"_s)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList {u"quellon"_s, u"quellon-audio"_s}));
    QVERIFY(!QFileInfo::exists(path(folder == u"school" ? u"share"_s : u"school"_s)));
}

void tst_InstalledE2e::autostartFollowsTheSetting_data()
{
    QTest::addColumn<bool>("on");
    // The entry there before the start ("<usr>" the installation's usr
    // folder); empty: none.
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("written"); // else it is left as it was

    QTest::newRow("on, no entry: written") << true << QString() << true;
    QTest::newRow("on, its program gone: written again")
        << true << u"[Desktop Entry]\nExec=/old/quellon\n"_s << true;
    // A start with another data folder does not take over the log-in start.
    QTest::newRow("on, an entry for another folder: left")
        << true << u"[Desktop Entry]\nExec=<usr>/bin/quellon --data-folder /media/usb/pa\n"_s
        << false;
    QTest::newRow("off, an entry there: left")
        << false << u"[Desktop Entry]\nExec=/old/quellon\n"_s << false;
}

void tst_InstalledE2e::autostartFollowsTheSetting()
{
    QFETCH(bool, on);
    QFETCH(QString, before);
    QFETCH(bool, written);
    writeStore(on);
    const QString entry = path(u"config/autostart/quellon.desktop"_s);
    const QByteArray old = QString(before).replace(u"<usr>"_s, path(u"usr"_s)).toUtf8();
    if (!before.isEmpty()) {
        QVERIFY(QDir().mkpath(path(u"config/autostart"_s)));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    start({});
    QVERIFY(waitStarted());
    QFile file(entry);
    if (!written) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
        return;
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    QVERIFY(lines.contains(u"Exec="_s + QDir(path(u"usr/bin"_s)).canonicalPath() + u"/quellon"_s)
            || lines.contains(u"Exec="_s + path(u"usr/bin/quellon"_s)));
}

QTEST_GUILESS_MAIN(tst_InstalledE2e)
#include "tst_installed_e2e.moc"
