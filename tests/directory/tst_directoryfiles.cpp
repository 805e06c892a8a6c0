#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "directory/remotelistfile.h"
#include "platform/gbk.h"
#include "support/gbkfiles.h"

#include <QTemporaryDir>
#include <QTest>

class tst_DirectoryFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nodeFileRoundTrip();
    void nodeFileOnDiskIsQuotedGbk();
    void nodeFileReads_data();
    void nodeFileReads();
    void nodeAddresses_data();
    void nodeAddresses();
    void ampNamesRoundTrip();
    void ampNamesShortFile();
    void frequencies_data();
    void frequencies();
    void remoteListRoundTrip();
    void remoteListMissing();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_DirectoryFiles::nodeFileRoundTrip()
{
    const QList<NodeRecord> nodes
        = {{QStringLiteral("一年级1班"), QStringLiteral("1"), QStringLiteral("1")},
           {QStringLiteral("操场, 东侧"), QStringLiteral("100"), QStringLiteral("4")},
           {QStringLiteral("新节点"), QString(), QString()}};
    const QString file = path(QStringLiteral("node.txt"));
    QCOMPARE(writeNodeFile(file, nodes), QString());
    const NodeFileRead read = readNodeFile(file);
    QVERIFY(read.ok);
    QCOMPARE(read.records, nodes);
}

void tst_DirectoryFiles::nodeFileOnDiskIsQuotedGbk()
{
    const QString file = path(QStringLiteral("node2.txt"));
    QCOMPARE(
        writeNodeFile(file, {{QStringLiteral("大厅"), QStringLiteral("7"), QStringLiteral("2")}}),
        QString());
    QCOMPARE(GbkFiles::readBytes(file), toGbk(u"\"大厅\",\"7\",\"2\"\r\n"));
}

void tst_DirectoryFiles::nodeFileReads_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("records");
    QTest::newRow("empty file is an empty directory") << QString() << true << 0;
    QTest::newRow("unquoted fields with blanks") << "  a , 1 , 2 \n b,2,3\n" << true << 2;
    QTest::newRow("short last record is dropped") << "\"a\",\"1\",\"1\"\n\"b\",\"2\"\n"
                                                  << false << 1;
    QTest::newRow("trailing blank lines") << "\"a\",\"1\",\"1\"\n\n\n" << true << 1;
}

void tst_DirectoryFiles::nodeFileReads()
{
    QFETCH(QString, content);
    QFETCH(bool, ok);
    QFETCH(int, records);
    const QString file = path(QStringLiteral("nodes.txt"));
    GbkFiles::writeText(file, content);
    const NodeFileRead read = readNodeFile(file);
    QCOMPARE(read.ok, ok);
    QCOMPARE(read.records.size(), records);
}

void tst_DirectoryFiles::nodeAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("top") << "255" << 255;
    QTest::newRow("leading zero") << "05" << 5;
    QTest::newRow("blanks") << " 17 " << 17;
    QTest::newRow("too big") << "256" << -1;
    QTest::newRow("empty placeholder") << "" << -1;
    QTest::newRow("text") << "1a" << -1;
    QTest::newRow("negative") << "-1" << -1;
}

void tst_DirectoryFiles::nodeAddresses()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(nodeAddressValue(text), value);
}

void tst_DirectoryFiles::ampNamesRoundTrip()
{
    AmpNames names;
    for (int i = 0; i < 8; ++i) {
        names.amps[i] = QStringLiteral("功放%1,东楼").arg(i + 1);
        names.frequencies[i] = QString::number(75 + i * 3.5);
        names.devices[i] = QStringLiteral("外设%1").arg(i + 1);
    }
    const QString file = path(QStringLiteral("amp_name.dat"));
    QCOMPARE(writeAmpNameFile(file, names), QString());
    QCOMPARE(GbkFiles::readBytes(file).count("\r\n"), 24);
    const AmpNamesRead read = readAmpNameFile(file);
    QVERIFY(read.ok);
    QCOMPARE(read.names.amps, names.amps);
    QCOMPARE(read.names.frequencies, names.frequencies);
    QCOMPARE(read.names.devices, names.devices);
}

void tst_DirectoryFiles::ampNamesShortFile()
{
    const QString file = path(QStringLiteral("short.dat"));
    QString content;
    for (int i = 0; i < 10; ++i)
        content += QStringLiteral("\"%1\"\n")
                       .arg(i < 8 ? QStringLiteral("amp") : QStringLiteral("88.5"));
    GbkFiles::writeText(file, content);
    const AmpNamesRead read = readAmpNameFile(file);
    QVERIFY(!read.ok);
    QCOMPARE(read.names.frequencies.at(0), QStringLiteral("88.5"));
    QCOMPARE(read.names.frequencies.at(1), QStringLiteral("88.5"));
    QCOMPARE(read.names.frequencies.at(2), QString());
    QCOMPARE(read.names.frequencies.size(), 8);

    const AmpNamesRead missing = readAmpNameFile(path(QStringLiteral("none.dat")));
    QVERIFY(missing.missing);
    QCOMPARE(missing.names.frequencies, QStringList(8));
}

void tst_DirectoryFiles::frequencies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("tenths");
    QTest::newRow("103.5") << "103.5" << 1035;
    QTest::newRow("87.55 half to even up") << "87.55" << 876;
    QTest::newRow("87.45 half to even down") << "87.45" << 874;
    QTest::newRow("87.451 above half") << "87.451" << 875;
    QTest::newRow("87.549 below half") << "87.549" << 875;
    QTest::newRow("99.95 carries") << "99.95" << 1000;
    QTest::newRow("whole number") << "75" << 750;
    QTest::newRow("point without tenths") << "88." << 880;
    QTest::newRow("leading number with unit") << " 88.8MHz" << 888;
    QTest::newRow("no leading number") << "FM88" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("negative") << "-5.5" << -55;
    QTest::newRow("trailing zeros are still exact") << "87.5500" << 876;
}

void tst_DirectoryFiles::frequencies()
{
    QFETCH(QString, text);
    QFETCH(int, tenths);
    QCOMPARE(int(frequencyTenths(text)), tenths);
}

void tst_DirectoryFiles::remoteListRoundTrip()
{
    const QStringList paths
        = {QStringLiteral("/srv/song/a,b.mp3"), QStringLiteral("/srv/歌曲/c.wav")};
    const QString file = path(QStringLiteral("rem_list.txt"));
    QCOMPARE(writeRemoteListFile(file, paths), QString());
    const RemoteListRead read = readRemoteListFile(file);
    QVERIFY(read.ok);
    QCOMPARE(read.paths, paths);
    QCOMPARE(writeRemoteListFile(file, {}), QString());
    QCOMPARE(GbkFiles::readBytes(file), QByteArray());
    QVERIFY(readRemoteListFile(file).paths.isEmpty());
}

void tst_DirectoryFiles::remoteListMissing()
{
    const RemoteListRead read = readRemoteListFile(path(QStringLiteral("nothing.txt")));
    QVERIFY(!read.ok);
    QVERIFY(read.missing);
    QVERIFY(read.paths.isEmpty());
}

QTEST_GUILESS_MAIN(tst_DirectoryFiles)
#include "tst_directoryfiles.moc"
