// The desktop's autostart entry: written whole with the command that starts
// this console, removed when switched off, and a clear message when the
// folder cannot be written.

#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Autostart : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entryStartsTheConsole_data();
    void entryStartsTheConsole();
    void offRemovesTheEntry_data();
    void offRemovesTheEntry();
    void unwritableFolderIsTold_data();
    void unwritableFolderIsTold();
    void installedCommandIsTheOneOnThePath();
    void entryStartsAProgram_data();
    void entryStartsAProgram();
};

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

void tst_Autostart::entryStartsTheConsole_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("exec"); // the Exec line as it stands in the file

    QTest::newRow("installed") << QStringList {u"/usr/bin/quellon"_s} << u"/usr/bin/quellon"_s;
    QTest::newRow("portable folder with a space")
        << QStringList {u"/media/U 盘/广播/quellon"_s} << u"\"/media/U 盘/广播/quellon\""_s;
    QTest::newRow("data folder given")
        << QStringList {u"/usr/bin/quellon"_s, u"--data-folder"_s, u"/srv/pa"_s}
        << u"/usr/bin/quellon --data-folder /srv/pa"_s;
    // A desktop entry reads "%f" as a field code and "$" as the shell's.
    QTest::newRow("percent and dollar")
        << QStringList {u"/opt/100%/quellon"_s, u"--data-folder"_s, u"/srv/$HOME"_s}
        << u"/opt/100%%/quellon --data-folder \"/srv/\\\\$HOME\""_s;
}

void tst_Autostart::entryStartsTheConsole()
{
    QFETCH(QStringList, command);
    QFETCH(QString, exec);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(u"config/autostart"_s); // not there yet
    XdgAutostart autostart(folder, command);
    QVERIFY(!autostart.isEnabled());
    QCOMPARE(autostart.setEnabled(true), QString());
    QVERIFY(autostart.isEnabled());
    QCOMPARE(autostart.entryPath(), folder + u"/quellon.desktop"_s);

    const QStringList lines = QString::fromUtf8(readAll(autostart.entryPath())).split(u'\n');
    QCOMPARE(lines.first(), u"[Desktop Entry]"_s);
    QVERIFY(lines.contains(u"Type=Application"_s));
    QVERIFY(lines.contains(u"Exec="_s + exec));
    QCOMPARE(lines.filter(u"Exec="_s).size(), 1);
    // Nothing but the entry itself is left in the folder (no temporary file).
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList {u"quellon.desktop"_s});
    // Switched on again, the same entry stays.
    QCOMPARE(autostart.setEnabled(true), QString());
    QVERIFY(lines.contains(u"Exec="_s + exec));
}

void tst_Autostart::offRemovesTheEntry_data()
{
    QTest::addColumn<bool>("entryThere");
    QTest::newRow("entry there") << true;
    QTest::newRow("no entry") << false;
}

void tst_Autostart::offRemovesTheEntry()
{
    QFETCH(bool, entryThere);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    XdgAutostart autostart(dir.path(), {u"/usr/bin/quellon"_s});
    if (entryThere)
        QCOMPARE(autostart.setEnabled(true), QString());
    // Another program's entry beside it is not ours to touch.
    QFile other(dir.filePath(u"other.desktop"_s));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QCOMPARE(autostart.setEnabled(false), QString());
    QVERIFY(!autostart.isEnabled());
    QVERIFY(!QFileInfo::exists(dir.filePath(u"quellon.desktop"_s)));
    QVERIFY(other.exists());
}

void tst_Autostart::unwritableFolderIsTold_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("message");
    // Made with what even root cannot get past (tests may run as root): a
    // file where the folder should be, a folder where the entry is.
    QTest::newRow("on, a file in the way of the folder") << true << u"登录后不会自动启动"_s;
    QTest::newRow("off, the entry cannot be removed") << false << u"无法删除自动启动项"_s;
}

void tst_Autostart::unwritableFolderIsTold()
{
    QFETCH(bool, on);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString folder = dir.filePath(u"autostart"_s);
    if (on) {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        folder += u"/inner"_s;
    } else {
        QVERIFY(QDir().mkpath(folder + u"/quellon.desktop/kept"_s));
    }
    XdgAutostart autostart(folder, {u"/usr/bin/quellon"_s});
    const QString problem = autostart.setEnabled(on);
    QVERIFY2(problem.contains(message), qPrintable(problem));
    QVERIFY2(problem.contains(folder), qPrintable(problem));
    // What was there stays as it was.
    if (on)
        QVERIFY(QFileInfo(dir.filePath(u"autostart"_s)).isFile());
    else
        QVERIFY(QFileInfo::exists(folder + u"/quellon.desktop/kept"_s));
}

void tst_Autostart::installedCommandIsTheOneOnThePath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(dir.filePath(u"usr/lib/quellon"_s)));
    QVERIFY(QDir().mkpath(dir.filePath(u"usr/bin"_s)));
    const QString exe = dir.filePath(u"usr/lib/quellon/quellon"_s);
    QFile f(exe);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const QString bin = dir.filePath(u"usr/lib/quellon/../../bin"_s);
    // No link on the path: the executable itself, by its absolute path.
    QCOMPARE(consoleCommand(exe, bin), QFileInfo(exe).canonicalFilePath());
    QVERIFY(QFile::link(u"../lib/quellon/quellon"_s, dir.filePath(u"usr/bin/quellon"_s)));
    QCOMPARE(consoleCommand(exe, bin), dir.filePath(u"usr/bin/quellon"_s));
}

void tst_Autostart::entryStartsAProgram_data()
{
    // The entry: "ours" is the one this console writes for a program in
    // the test's folder, else the text as it stands ("<dir>" the folder).
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("program"); // made in the folder; empty: none
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("starts");

    QTest::newRow("ours, the program there")
        << u"ours"_s << u"U 盘/100%/$x/quellon"_s << true << true;
    QTest::newRow("ours, the program gone") << u"ours"_s << QString() << true << false;
    QTest::newRow("ours, not an executable")
        << u"ours"_s << u"U 盘/100%/$x/quellon"_s << false << false;
    QTest::newRow("no entry") << QString() << u"quellon"_s << true << false;
    QTest::newRow("by hand, a name on the path")
        << u"[Desktop Entry]\nExec = sh -c true\n"_s << QString() << true << true;
    QTest::newRow("by hand, a name not on the path")
        << u"[Desktop Entry]\nExec=quellon-never-installed-here\n"_s << QString() << true << false;
    QTest::newRow("by hand, quoted")
        << u"[Desktop Entry]\nExec=\"<dir>/a b\" --data-folder x\n"_s << u"a b"_s << true << true;
    QTest::newRow("Exec only in another group")
        << u"[Desktop Entry]\nName=x\n[Desktop Action a]\nExec=sh\n"_s << QString() << true
        << false;
}

void tst_Autostart::entryStartsAProgram()
{
    QFETCH(QString, entry);
    QFETCH(QString, program);
    QFETCH(bool, executable);
    QFETCH(bool, starts);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ours = dir.filePath(u"U 盘/100%/$x/quellon"_s);
    if (!program.isEmpty()) {
        const QString path = dir.filePath(program);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner
                                 | (executable ? QFile::ExeOwner : QFile::Permissions())));
    }
    XdgAutostart autostart(dir.filePath(u"autostart"_s), {ours, u"--data-folder"_s, u"/srv/pa"_s});
    if (entry == u"ours") {
        QCOMPARE(autostart.setEnabled(true), QString());
        QCOMPARE(XdgAutostart::programOf(XdgAutostart::entryText({ours})), ours);
    } else if (!entry.isEmpty()) {
        QVERIFY(QDir().mkpath(dir.filePath(u"autostart"_s)));
        QFile f(autostart.entryPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QString(entry).replace(u"<dir>"_s, dir.path()).toUtf8());
    }
    QCOMPARE(autostart.startsAProgram(), starts);
}

QTEST_GUILESS_MAIN(tst_Autostart)
#include "tst_autostart.moc"
