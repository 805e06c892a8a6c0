// Backup and restore of the data files: a round trip gives the same files,
// an archive is untrusted (paths out of the folder, links, unknown files are
// refused and change nothing), the files there before a restore are kept.

#include "console/databackup.h"
#include "platform/targz.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using Files = QMap<QString, QByteArray>;

class tst_DataBackup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip_data();
    void roundTrip();
    void hostileArchiveChangesNothing_data();
    void hostileArchiveChangesNothing();
    void filesThereGoToTheirOwnBackup();
    void todaysLogIsLeftAlone_data();
    void todaysLogIsLeftAlone();
    void failedPlacingPutsTheFilesBack();
    void archiveOfSystemTarIsRead();
    void ourArchiveReadsWithSystemTar();
    void stoppedBackupLeavesNoArchive();
    void backupWithinTheReadersLimits_data();
    void backupWithinTheReadersLimits();
    void writerKeepsToTheReadersLimits_data();
    void writerKeepsToTheReadersLimits();
    void taskRunsInTheBackground();
    void endingWaitsForTheWork_data();
    void endingWaitsForTheWork();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    DataBackup::Places places() const
    {
        return {path(u"data"_s), path(u"config/broadcast/broadcast.conf"_s)};
    }
    // Files by archive name: the store's under its archive name.
    void put(const Files &files) const;
    Files snapshot() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    const QDateTime m_now {QDate(2026, 12, 7), QTime(8, 30, 0)};
};

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// An installation's files, with a long Chinese week file name (over the
// 100 bytes of a tar header's name field) and the as-run log.
Files sample()
{
    return {
        {u"config.ini"_s, "[DisplayMode]\r\nTermVol=24\r\n"},
        {u"node.txt"_s, "1,\"\xbd\xcc\xd1\xa7\xc2\xa5\"\r\n"},
        {u"amp_name.dat"_s, "amps\r\n"},
        {u"rem_list.txt"_s, "/song/a.wav\r\n"},
        {u"table/week/sample_week.txt"_s, "week"},
        {u"table/week/"_s + QString(40, QChar(u'周')) + u".txt"_s, "long name"},
        {u"table/date/20261207.txt"_s, QByteArray(70000, 'x')}, // more than one buffer
        {u"playlist/早操.lst"_s, "list"},
        {u"log/20261206.csv"_s, "时间,类别,内容\n"},
        {u"log/20261207.csv"_s, "时间,类别,内容\n08:00:00,启动,\n"},
        {u"settings/broadcast.conf"_s, "[setting]\nweekmode=true\n"},
    };
}

Files withoutLog(Files files)
{
    files.removeIf([](const auto &it) { return it.key().startsWith(u"log/"_s); });
    return files;
}

// Files apart from the backups a restore made.
Files withoutBackups(Files files)
{
    files.removeIf([](const auto &it) { return it.key().startsWith(u"backup/"_s); });
    return files;
}

// An archive made entry by entry: "name" a file (content "data of name"),
// "name/" a folder, "name>target" a symbolic link.
QString makeArchive(const QString &path, const QStringList &entries)
{
    TarGz::Writer writer;
    if (!writer.open(path))
        return writer.errorString();
    for (const QString &e : entries) {
        const bool ok = e.contains(u'>') ? writer.addLink(e.section(u'>', 0, 0), e.section(u'>', 1))
            : e.endsWith(u'/')           ? writer.addFolder(e, 0)
                                         : writer.addFile(e, "data of " + e.toUtf8(), 0);
        if (!ok)
            return writer.errorString();
    }
    return writer.finish() ? QString() : writer.errorString();
}
} // namespace

void tst_DataBackup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(places().dataFolder));
}

void tst_DataBackup::put(const Files &files) const
{
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(it.key() == DataBackup::storeName() ? places().storeFile
                                                      : places().dataFolder + u'/' + it.key(),
                  it.value());
}

Files tst_DataBackup::snapshot() const
{
    Files files;
    const QDir data(places().dataFolder);
    QDirIterator it(data.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        files.insert(data.relativeFilePath(file), readFile(file));
    }
    if (QFileInfo::exists(places().storeFile))
        files.insert(DataBackup::storeName(), readFile(places().storeFile));
    return files;
}

void tst_DataBackup::roundTrip_data()
{
    QTest::addColumn<bool>("withLog");
    QTest::newRow("with the log") << true;
    QTest::newRow("without the log") << false;
}

void tst_DataBackup::roundTrip()
{
    QFETCH(bool, withLog);
    put(sample());
    writeFile(places().dataFolder + u"/song/bell.wav"_s, "RIFF"); // not a data file
    const QString archive = path(u"备份.tar.gz"_s);
    DataBackup::Progress progress;
    QList<std::pair<int, int>> reports;
    progress.report = [&reports](int done, int total) { reports.append({done, total}); };
    QCOMPARE(DataBackup::writeBackup(places(), archive, withLog, progress), QString());
    const int count = int((withLog ? sample() : withoutLog(sample())).size());
    QCOMPARE(reports.size(), count);
    QCOMPARE(reports.last(), std::pair(count, count));

    // The operator goes on working after the backup.
    writeFile(places().dataFolder + u"/node.txt"_s, "changed");
    QVERIFY(QFile::remove(places().dataFolder + u"/config.ini"_s));
    writeFile(places().dataFolder + u"/table/week/extra.txt"_s, "extra");
    writeFile(places().dataFolder + u"/log/20261208.csv"_s, "today");
    writeFile(places().storeFile, "[setting]\nweekmode=false\n");
    Files expected = withLog ? sample() : withoutLog(sample());
    if (!withLog) {
        // The log is not in the archive: the one there now stays.
        for (const auto &[name, bytes] : sample().asKeyValueRange())
            if (name.startsWith(u"log/"_s))
                expected.insert(name, bytes);
        expected.insert(u"log/20261208.csv"_s, "today");
    }
    expected.insert(u"song/bell.wav"_s, "RIFF");

    const DataBackup::Plan plan = DataBackup::inspect(places(), archive, m_now.date(), progress);
    QCOMPARE(plan.error, QString());
    QCOMPARE(plan.holdsLog, withLog);
    QCOMPARE(plan.files.size(), count);
    for (const DataBackup::PlannedFile &f : plan.files) {
        QCOMPARE(f.size, qint64(sample().value(f.name).size()));
        QCOMPARE(f.replaces, f.name != u"config.ini"_s);
    }
    // The file added since the backup goes (the log only with a log).
    QCOMPARE(plan.removed,
             withLog ? (QStringList {u"table/week/extra.txt"_s, u"log/20261208.csv"_s})
                     : QStringList {u"table/week/extra.txt"_s});
    const DataBackup::Result result = DataBackup::restore(places(), archive, m_now, progress);
    QCOMPARE(result.error, QString());
    QCOMPARE(withoutBackups(snapshot()), expected);
}

void tst_DataBackup::hostileArchiveChangesNothing_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("reason");

    QTest::newRow("../x") << QStringList {u"config.ini"_s, u"../x"_s} << u"指向数据文件夹之外"_s;
    QTest::newRow("out through a known folder")
        << QStringList {u"table/week/../../../x"_s} << u"指向数据文件夹之外"_s;
    QTest::newRow("/etc/passwd") << QStringList {u"/etc/passwd"_s} << u"绝对路径"_s;
    QTest::newRow("symbolic link")
        << QStringList {u"config.ini"_s, u"node.txt>/etc/passwd"_s} << u"是链接"_s;
    QTest::newRow("folder out of the data folder")
        << QStringList {u"table/../../"_s} << u"指向数据文件夹之外"_s;
    QTest::newRow("an executable")
        << QStringList {u"node.txt"_s, u"quellon"_s} << u"不是本控制台的数据文件"_s;
    QTest::newRow("a file in a folder not ours")
        << QStringList {u".config/autostart/x.desktop"_s} << u"不是本控制台的数据文件"_s;
    QTest::newRow("a tune") << QStringList {u"song/a.wav"_s} << u"不是本控制台的数据文件"_s;
    QTest::newRow("not a log day")
        << QStringList {u"log/notes.txt"_s} << u"不是本控制台的数据文件"_s;
    QTest::newRow("a deeper schedule folder")
        << QStringList {u"table/week/old/a.txt"_s} << u"不是本控制台的数据文件"_s;
    QTest::newRow("twice the same file")
        << QStringList {u"node.txt"_s, u"./node.txt"_s} << u"出现了两次"_s;
    QTest::newRow("nothing of ours") << QStringList {u"table/"_s} << u"没有本控制台的数据文件"_s;
    QTest::newRow("not an archive") << QStringList {} << u"无法读取"_s;
}

void tst_DataBackup::hostileArchiveChangesNothing()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, reason);
    put(sample());
    const QString archive = path(u"in/archive.tar.gz"_s);
    QVERIFY(QDir().mkpath(path(u"in"_s)));
    if (entries.isEmpty())
        writeFile(archive, "PK\x03\x04 a zip file, or anything");
    else
        QCOMPARE(makeArchive(archive, entries), QString());
    const Files before = snapshot();
    const QStringList top = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    DataBackup::Progress progress;
    const DataBackup::Plan plan = DataBackup::inspect(places(), archive, m_now.date(), progress);
    QVERIFY2(plan.error.contains(reason), qPrintable(plan.error));
    QVERIFY(plan.files.isEmpty());
    const DataBackup::Result result = DataBackup::restore(places(), archive, m_now, progress);
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
    QCOMPARE(result.backupFolder, QString());

    // Not a file changed, none added (no backup folder, nothing unpacked
    // left behind), nothing written beside the data folder.
    QCOMPARE(snapshot(), before);
    QCOMPARE(QDir(places().dataFolder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList {u"log"_s, u"playlist"_s, u"table"_s}));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), top);
}

void tst_DataBackup::filesThereGoToTheirOwnBackup()
{
    put(withoutLog(sample()));
    const QString archive = path(u"a.tar.gz"_s);
    QCOMPARE(makeArchive(archive, {u"node.txt"_s, u"table/week/new.txt"_s, u"log/20261201.csv"_s}),
             QString());
    writeFile(places().dataFolder + u"/log/20261130.csv"_s, "an older log");
    const Files before = snapshot();
    writeFile(places().dataFolder + u"/log/20261207.csv"_s, "today's log");

    DataBackup::Progress progress;
    const DataBackup::Result result = DataBackup::restore(places(), archive, m_now, progress);
    QCOMPARE(result.error, QString());
    QCOMPARE(result.backupFolder, places().dataFolder + u"/backup/恢复前-20261207-083000"_s);
    // Every data file there before, the log too as the archive brings one,
    // is in the backup folder as it was.
    const QDir backup(result.backupFolder);
    for (const auto &[name, bytes] : before.asKeyValueRange())
        QCOMPARE(readFile(backup.filePath(name)), bytes);
    // And the data folder holds the archive's files alone, but for the log
    // of the day, which the console goes on writing.
    QCOMPARE(withoutBackups(snapshot()),
             (Files {{u"node.txt"_s, "data of node.txt"},
                     {u"table/week/new.txt"_s, "data of table/week/new.txt"},
                     {u"log/20261201.csv"_s, "data of log/20261201.csv"},
                     {u"log/20261207.csv"_s, "today's log"}}));

    // A second restore in the same second keeps the first backup.
    const DataBackup::Result again = DataBackup::restore(places(), archive, m_now, progress);
    QCOMPARE(again.error, QString());
    QCOMPARE(again.backupFolder, result.backupFolder + u"-2"_s);
    QCOMPARE(readFile(backup.filePath(u"node.txt"_s)), sample().value(u"node.txt"_s));
}

void tst_DataBackup::todaysLogIsLeftAlone_data()
{
    QTest::addColumn<QStringList>("entries"); // the archive's
    // The day of the restore is 2026-12-07; the log there is written on.
    QTest::addColumn<QStringList>("removed"); // log files listed as going into the backup
    QTest::addColumn<QStringList>("inBackup"); // log files moved into the backup
    QTest::addColumn<QStringList>("logs"); // log files there after the restore

    QTest::newRow("the archive brings today's log too")
        << QStringList {u"node.txt"_s, u"log/20261207.csv"_s, u"log/20261201.csv"_s}
        << QStringList {u"log/20261206.csv"_s} << QStringList {u"log/20261206.csv"_s}
        << QStringList {u"log/20261201.csv"_s, u"log/20261207.csv"_s};
    QTest::newRow("the archive brings other days")
        << QStringList {u"node.txt"_s, u"log/20261206.csv"_s} << QStringList {}
        << QStringList {u"log/20261206.csv"_s}
        << QStringList {u"log/20261206.csv"_s, u"log/20261207.csv"_s};
    QTest::newRow("the archive brings no log")
        << QStringList {u"node.txt"_s} << QStringList {} << QStringList {}
        << QStringList {u"log/20261206.csv"_s, u"log/20261207.csv"_s};
}

void tst_DataBackup::todaysLogIsLeftAlone()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, removed);
    QFETCH(QStringList, inBackup);
    QFETCH(QStringList, logs);
    put(withoutLog(sample()));
    writeFile(places().dataFolder + u"/log/20261206.csv"_s, "yesterday");
    const QString live = places().dataFolder + u"/log/20261207.csv"_s;
    writeFile(live, "today\n");
    const QString archive = path(u"a.tar.gz"_s);
    QCOMPARE(makeArchive(archive, entries), QString());

    DataBackup::Progress progress;
    const DataBackup::Plan plan = DataBackup::inspect(places(), archive, m_now.date(), progress);
    QCOMPARE(plan.error, QString());
    QStringList kept;
    for (const DataBackup::PlannedFile &f : plan.files)
        if (f.kept)
            kept.append(f.name);
    QCOMPARE(kept, entries.filter(u"log/20261207"_s));
    QCOMPARE(plan.removed.filter(u"log/"_s), removed);

    // The console has the day's file open for its next line.
    QFile open(live);
    QVERIFY(open.open(QIODevice::WriteOnly | QIODevice::Append));
    const DataBackup::Result result = DataBackup::restore(places(), archive, m_now, progress);
    QCOMPARE(result.error, QString());
    QVERIFY(open.write("a line written during the restore\n") > 0);
    open.close();
    QCOMPARE(readFile(live), "today\na line written during the restore\n");
    Files logsThere = withoutBackups(snapshot());
    logsThere.removeIf([](const auto &it) { return !it.key().startsWith(u"log/"_s); });
    QCOMPARE(logsThere.keys(), logs);
    QStringList backedUp;
    for (const QString &name : snapshot().keys())
        if (name.startsWith(u"backup/"_s) && name.contains(u"/log/"_s))
            backedUp.append(name.section(u'/', 2));
    QCOMPARE(backedUp, inBackup);
}

void tst_DataBackup::failedPlacingPutsTheFilesBack()
{
    put(withoutLog(sample()));
    // A folder where the archive's rem_list.txt is to go: no file can be
    // put there, whoever runs the test.
    QVERIFY(QFile::remove(places().dataFolder + u"/rem_list.txt"_s));
    QVERIFY(QDir().mkpath(places().dataFolder + u"/rem_list.txt/kept"_s));
    const Files before = snapshot();
    const QString archive = path(u"a.tar.gz"_s);
    QCOMPARE(makeArchive(archive, {u"node.txt"_s, u"table/week/new.txt"_s, u"rem_list.txt"_s}),
             QString());

    DataBackup::Progress progress;
    const DataBackup::Result result = DataBackup::restore(places(), archive, m_now, progress);
    QVERIFY2(result.error.contains(u"无法放置"_s), qPrintable(result.error));
    QVERIFY2(result.error.contains(u"rem_list.txt"_s), qPrintable(result.error));
    // Every file as it was, the new one gone, no backup folder, nothing unpacked left.
    QCOMPARE(snapshot(), before);
    QVERIFY(!QFileInfo::exists(places().dataFolder + u"/backup"_s + u"/恢复前-20261207-083000"_s));
    QCOMPARE(QDir(places().dataFolder).entryList({u".restore*"_s}, QDir::AllEntries | QDir::Hidden),
             QStringList());
}

void tst_DataBackup::archiveOfSystemTarIsRead()
{
    const QString tar = QStandardPaths::findExecutable(u"tar"_s);
    if (tar.isEmpty())
        QSKIP("no tar on this machine");
    // As an operator might pack a folder by hand: tar czf x.tgz -C folder .
    const QString source = path(u"source"_s);
    for (const auto &[name, bytes] : withoutLog(sample()).asKeyValueRange())
        if (name != DataBackup::storeName())
            writeFile(source + u'/' + name, bytes);
    QProcess p;
    p.start(tar, {u"czf"_s, path(u"hand.tgz"_s), u"-C"_s, source, u"."_s});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 0);

    DataBackup::Progress progress;
    const DataBackup::Result result
        = DataBackup::restore(places(), path(u"hand.tgz"_s), m_now, progress);
    QCOMPARE(result.error, QString());
    Files expected = withoutLog(sample());
    expected.remove(DataBackup::storeName());
    QCOMPARE(withoutBackups(snapshot()), expected);
}

void tst_DataBackup::ourArchiveReadsWithSystemTar()
{
    const QString tar = QStandardPaths::findExecutable(u"tar"_s);
    if (tar.isEmpty())
        QSKIP("no tar on this machine");
    put(sample());
    DataBackup::Progress progress;
    QCOMPARE(DataBackup::writeBackup(places(), path(u"b.tar.gz"_s), true, progress), QString());
    const QString out = path(u"out"_s);
    QVERIFY(QDir().mkpath(out));
    QProcess p;
    p.start(tar, {u"xzf"_s, path(u"b.tar.gz"_s), u"-C"_s, out});
    QVERIFY(p.waitForFinished(20000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    for (const auto &[name, bytes] : sample().asKeyValueRange())
        QCOMPARE(readFile(out + u'/' + name), bytes);
}

void tst_DataBackup::stoppedBackupLeavesNoArchive()
{
    put(sample());
    const QString archive = path(u"stopped.tar.gz"_s);
    writeFile(archive, "an older backup");
    DataBackup::Progress progress;
    progress.report = [&progress](int done, int) {
        if (done == 3)
            progress.stop = true;
    };
    QCOMPARE(DataBackup::writeBackup(places(), archive, true, progress), u"备份已停止"_s);
    // The file that was there stays whole; no half archive.
    QCOMPARE(readFile(archive), "an older backup");
    QCOMPARE(QDir(m_dir->path()).entryList({u"*.tar.gz*"_s}, QDir::Files | QDir::Hidden),
             QStringList {u"stopped.tar.gz"_s});
}

void tst_DataBackup::backupWithinTheReadersLimits_data()
{
    // Sizes in MiB of files in table/date (sparse: they take no room).
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QStringList>("message"); // parts of it
    // What a restore would refuse is not written at all.
    QTest::newRow("one file over the limit of a file")
        << QList<int> {1, 257}
        << QStringList {u"table/date/20261202.txt"_s, u"超过了一个文件的上限 256 MB"_s};
    QTest::newRow("all together over the limit of an archive")
        << QList<int> {250, 250, 250, 250, 30} << QStringList {u"超过了备份的上限 1024 MB"_s};
}

void tst_DataBackup::backupWithinTheReadersLimits()
{
    QFETCH(QList<int>, sizes);
    QFETCH(QStringList, message);
    put(withoutLog(sample()));
    for (int i = 0; i < sizes.size(); ++i) {
        QFile f(places().dataFolder + u"/table/date/2026120%1.txt"_s.arg(i + 1));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(qint64(sizes.at(i)) << 20));
    }
    const QString archive = path(u"big.tar.gz"_s);
    DataBackup::Progress progress;
    const QString problem = DataBackup::writeBackup(places(), archive, false, progress);
    for (const QString &part : message)
        QVERIFY2(problem.contains(part), qPrintable(problem));
    QVERIFY(!QFileInfo::exists(archive));
}

void tst_DataBackup::writerKeepsToTheReadersLimits_data()
{
    // Limits of 100 bytes a file and 250 in all, for writer and reader alike.
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<bool>("longName"); // its name goes in a pax record, counted too
    QTest::addColumn<int>("written"); // files the writer takes before it refuses

    QTest::newRow("within") << QList<int> {100, 100, 50} << false << 3;
    QTest::newRow("a file over") << QList<int> {10, 101} << false << 1;
    QTest::newRow("over in all") << QList<int> {100, 100, 51} << false << 2;
    QTest::newRow("the pax record makes it over") << QList<int> {100, 100} << true << 1;
}

void tst_DataBackup::writerKeepsToTheReadersLimits()
{
    QFETCH(QList<int>, sizes);
    QFETCH(bool, longName);
    QFETCH(int, written);
    const QString archive = path(u"small.tar.gz"_s);
    TarGz::Writer writer(100, 250);
    QVERIFY(writer.open(archive));
    int taken = 0;
    for (int i = 0; i < sizes.size(); ++i) {
        const QString name = longName && i == 1 ? u"table/week/"_s + QString(120, u'x') + u".txt"_s
                                                : u"table/week/%1.txt"_s.arg(i);
        if (!writer.addFile(name, QByteArray(sizes.at(i), 'a'), 0))
            break;
        ++taken;
    }
    QCOMPARE(taken, written);
    if (taken < sizes.size()) {
        QVERIFY2(writer.errorString().contains(u"大小上限"_s), qPrintable(writer.errorString()));
        return;
    }
    QVERIFY(writer.finish());
    TarGz::Reader reader(100, 250);
    QVERIFY(reader.open(archive));
    TarGz::Entry entry;
    int read = 0;
    while (reader.next(entry))
        ++read;
    QCOMPARE(reader.errorString(), QString());
    QCOMPARE(read, written);
}

void tst_DataBackup::taskRunsInTheBackground()
{
    BackupTask task;
    QSignalSpy progressed(&task, &BackupTask::progressed);
    QSignalSpy finished(&task, &BackupTask::finished);
    std::atomic<bool> release {false};
    Qt::HANDLE workThread = nullptr;
    QVERIFY(task.start([&](DataBackup::Progress &progress) {
        workThread = QThread::currentThreadId();
        progress.report(1, 2);
        while (!release && !progress.stop)
            QThread::msleep(5);
        progress.report(2, 2);
        return QStringLiteral("done");
    }));
    QVERIFY(task.isRunning());
    QVERIFY(!task.start([](DataBackup::Progress &) { return QString(); })); // one at a time
    // The work waits for the test: the event loop goes on meanwhile.
    QTRY_COMPARE(progressed.size(), 1);
    QCOMPARE(progressed.first(), (QVariantList {1, 2}));
    QVERIFY(finished.isEmpty());
    task.stop();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first(), (QVariantList {u"done"_s, true}));
    QCOMPARE(progressed.last(), (QVariantList {2, 2}));
    QVERIFY(workThread != QThread::currentThreadId());
    QVERIFY(!task.isRunning());
}

void tst_DataBackup::endingWaitsForTheWork_data()
{
    QTest::addColumn<bool>("heedsStop"); // a restore's moving of files does not
    QTest::addColumn<bool>("windowOpen"); // else its object went with its window
    QTest::newRow("a backup, its window open") << true << true;
    QTest::newRow("a restore moving files, its window gone") << false << false;
}

void tst_DataBackup::endingWaitsForTheWork()
{
    QFETCH(bool, heedsStop);
    QFETCH(bool, windowOpen);
    std::atomic<bool> ended {false};
    std::atomic<bool> stopSeen {false};
    auto task = std::make_unique<BackupTask>();
    QVERIFY(task->start([&](DataBackup::Progress &progress) {
        for (int i = 0; i < 50 && !(heedsStop && progress.stop); ++i)
            QThread::msleep(10);
        stopSeen = bool(progress.stop);
        ended = true;
        return QString();
    }));
    if (!windowOpen)
        task.reset();
    // The program's end: nothing returns before the work is over, and work
    // that can stop is asked to.
    BackupTask::finishAll();
    QVERIFY(ended);
    QVERIFY(stopSeen);
}

QTEST_GUILESS_MAIN(tst_DataBackup)
#include "tst_databackup.moc"
