// Where the data files are: the option, a portable folder, the operator's
// data folder; and a fresh data folder filled from the package's seed.

#include "platform/datafolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Kind = DataFolderChoice::Kind;

Q_DECLARE_METATYPE(DataFolderChoice::Kind)

class tst_DataFolder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choice_data();
    void choice();
    void factsOfRealFolders_data();
    void factsOfRealFolders();
    void freshFolderIsSeeded();
    void existingFolderIsLeftAlone();
    void uncreatableFolderIsTold();
};

void tst_DataFolder::choice_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("holdsData");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("warned"); // the operator is told the folder cannot be written

    QTest::newRow("portable: writable, holds data")
        << true << true << QString() << u"/home/op/data"_s << Kind::Portable
        << u"/opt/school/quellon"_s << false;
    // Its schedules are there: an empty folder elsewhere would play nothing.
    QTest::newRow("portable but read-only: kept, and told")
        << false << true << QString() << QString() << Kind::Portable << u"/opt/school/quellon"_s
        << true;
    QTest::newRow("installed: read-only folder, XDG_DATA_HOME unset")
        << false << false << QString() << QString() << Kind::User
        << u"/home/op/.local/share/quellon"_s << false;
    QTest::newRow("installed: read-only folder, XDG_DATA_HOME set")
        << false << false << QString() << u"/srv/data/"_s << Kind::User << u"/srv/data/quellon"_s
        << false;
    QTest::newRow("writable but empty (a build folder)")
        << true << false << QString() << QString() << Kind::User
        << u"/home/op/.local/share/quellon"_s << false;
    QTest::newRow("relative XDG_DATA_HOME is ignored")
        << false << false << QString() << u"data"_s << Kind::User
        << u"/home/op/.local/share/quellon"_s << false;
    QTest::newRow("option wins over a portable folder")
        << true << true << u"/media/stick/pa"_s << QString() << Kind::Option << u"/media/stick/pa"_s
        << false;
    QTest::newRow("option wins over a read-only portable folder")
        << false << true << u"/media/stick/pa"_s << QString() << Kind::Option
        << u"/media/stick/pa"_s << false;
    QTest::newRow("option relative to the working folder")
        << false << false << u"../pa/"_s << u"/srv/data"_s << Kind::Option << u"/home/op/pa"_s
        << false;
}

void tst_DataFolder::choice()
{
    QFETCH(bool, writable);
    QFETCH(bool, holdsData);
    QFETCH(QString, option);
    QFETCH(QString, xdgDataHome);
    QFETCH(Kind, kind);
    QFETCH(QString, path);
    QFETCH(bool, warned);

    DataFolderFacts facts;
    facts.executableFolder = u"/opt/school/quellon/"_s;
    facts.executableFolderWritable = writable;
    facts.executableFolderHoldsData = holdsData;
    facts.option = option;
    facts.workingFolder = u"/home/op/work"_s;
    facts.xdgDataHome = xdgDataHome;
    facts.home = u"/home/op"_s;
    const DataFolderChoice choice = chooseDataFolder(facts);
    QCOMPARE(choice.kind, kind);
    QCOMPARE(choice.path, path);
    QCOMPARE(!choice.warning.isEmpty(), warned);
    if (warned)
        QVERIFY2(choice.warning.contains(path), qPrintable(choice.warning));
}

void tst_DataFolder::factsOfRealFolders_data()
{
    // Put beside the executable: a file, or a folder when it ends in "/".
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<Kind>("kind");

    QTest::newRow("marker file") << u"portable"_s << false << Kind::Portable;
    QTest::newRow("config.ini") << u"config.ini"_s << false << Kind::Portable;
    // A portable folder that never had its settings written still holds
    // the operator's directories and schedules.
    QTest::newRow("node.txt alone") << u"node.txt"_s << false << Kind::Portable;
    QTest::newRow("amp_name.dat alone") << u"amp_name.dat"_s << false << Kind::Portable;
    QTest::newRow("rem_list.txt alone") << u"rem_list.txt"_s << false << Kind::Portable;
    QTest::newRow("schedules alone") << u"table/"_s << false << Kind::Portable;
    QTest::newRow("as-run log alone") << u"log/"_s << false << Kind::Portable;
    QTest::newRow("nothing of ours") << u"quellon-audio"_s << false << Kind::User;
    QTest::newRow("a folder not ours") << u"lib/"_s << false << Kind::User;
    QTest::newRow("read-only with config.ini") << u"config.ini"_s << true << Kind::Portable;
    QTest::newRow("read-only with nothing of ours") << u"quellon-audio"_s << true << Kind::User;
}

void tst_DataFolder::factsOfRealFolders()
{
    QFETCH(QString, file);
    QFETCH(bool, readOnly);
    QFETCH(Kind, kind);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString exe = dir.filePath(u"bin"_s);
    QVERIFY(QDir().mkpath(exe));
    if (file.endsWith(u'/')) {
        QVERIFY(QDir().mkpath(exe + u'/' + file));
    } else {
        QFile f(exe + u'/' + file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    if (readOnly)
        QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::ExeOwner));
    qputenv("XDG_DATA_HOME", dir.filePath(u"share"_s).toUtf8());

    const DataFolderFacts facts = dataFolderFacts(exe, QString());
    const DataFolderChoice choice = chooseDataFolder(facts);
    QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qunsetenv("XDG_DATA_HOME");
    if (readOnly && facts.executableFolderWritable)
        QSKIP("running as root: every folder is writable");
    QCOMPARE(choice.kind, kind);
    QCOMPARE(choice.path, kind == Kind::Portable ? exe : dir.filePath(u"share/quellon"_s));
    QCOMPARE(!choice.warning.isEmpty(), readOnly && kind == Kind::Portable);
}

void tst_DataFolder::freshFolderIsSeeded()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The layout of the package: lib/quellon/quellon, share/quellon/seed.
    const QString exe = dir.filePath(u"usr/lib/quellon"_s);
    const QString seed = seedFolderFor(exe);
    QCOMPARE(seed, dir.filePath(u"usr/share/quellon/seed"_s));
    QVERIFY(QDir().mkpath(seed + u"/table/week"_s));
    QVERIFY(QDir().mkpath(seed + u"/song"_s));
    const QList<std::pair<QString, QByteArray>> files {
        {u"node.txt"_s, "1,\"room\"\r\n"},
        {u"table/week/sample_week.txt"_s, "week"},
    };
    for (const auto &[name, bytes] : files) {
        QFile f(seed + u'/' + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        // As the package installs them: read-only for the operator.
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }

    const QString data = dir.filePath(u"home/.local/share/quellon"_s);
    QCOMPARE(prepareDataFolder(data, seed), QString());
    for (const auto &[name, bytes] : files) {
        QFile f(data + u'/' + name);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name));
        QCOMPARE(f.readAll(), bytes);
        QVERIFY(f.permissions() & QFile::WriteOwner);
    }
    // The folders the file dialogs open in are there, seeded or not.
    for (const QString &sub : {u"song"_s, u"table/week"_s, u"table/date"_s, u"playlist"_s})
        QVERIFY2(QFileInfo(data + u'/' + sub).isDir(), qPrintable(sub));
}

void tst_DataFolder::existingFolderIsLeftAlone()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString seed = dir.filePath(u"seed"_s);
    QVERIFY(QDir().mkpath(seed));
    QFile f(seed + u"/node.txt"_s);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    // The operator removed node.txt from the folder in use: it stays away.
    const QString data = dir.filePath(u"data"_s);
    QVERIFY(QDir().mkpath(data));
    QCOMPARE(prepareDataFolder(data, seed), QString());
    QVERIFY(!QFileInfo::exists(data + u"/node.txt"_s));
}

void tst_DataFolder::uncreatableFolderIsTold()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile blocker(dir.filePath(u"file"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString problem = prepareDataFolder(dir.filePath(u"file/quellon"_s), QString());
    QVERIFY2(problem.contains(u"无法建立数据文件夹"_s), qPrintable(problem));
}

QTEST_GUILESS_MAIN(tst_DataFolder)
#include "tst_datafolder.moc"
