#include "directory/ampnamefile.h"
#include "directory/nodedirectory.h"
#include "directory/nodefile.h"
#include "directory/remotelistfile.h"
#include "directory/remoteplaylist.h"
#include "directory/sourcenames.h"
#include "platform/gbk.h"
#include "platform/profileini.h"
#include "platform/savedfiles.h"
#include "support/gbkfiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
    void writersRefuseWhatTheirFileCannotHold_data();
    void writersRefuseWhatTheirFileCannotHold();
    void windowsSaveWhatTheyShow_data();
    void windowsSaveWhatTheyShow();

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

namespace {
enum class Kind { Node, Amp, Remote };
}
Q_DECLARE_METATYPE(Kind)

void tst_DirectoryFiles::writersRefuseWhatTheirFileCannotHold_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message"); // part of the refusal; empty when written
    const QString bell = u"铃\U0001F514"_s; // a character GBK has no code for
    for (const auto &[kind, name] :
         {std::pair {Kind::Node, "node.txt"}, std::pair {Kind::Amp, "amp_name.dat"},
          std::pair {Kind::Remote, "rem_list.txt"}}) {
        QTest::addRow("%s: double quote", name) << kind << u"大\"厅"_s << u"含有双引号"_s;
        QTest::addRow("%s: line break", name) << kind << u"大\r\n厅"_s << u"含有换行"_s;
        QTest::addRow("%s: LF alone", name) << kind << u"大\n厅"_s << u"含有换行"_s;
        QTest::addRow("%s: no GBK code", name) << kind << bell << u"GBK编码没有的字符"_s;
        QTest::addRow("%s: comma, blanks and Chinese", name)
            << kind << u"操场, 东侧 “讲台”"_s << QString();
        QTest::addRow("%s: empty", name) << kind << QString() << QString();
        // Between the quotes blanks stay, so a path ending in one comes back.
        QTest::addRow("%s: blanks at both ends", name)
            << kind << u"  /srv/铃 声/a.mp3 "_s << QString();
        // 0x1A would end the file for every reader, NUL make it unreadable.
        for (char16_t c = 0; c <= 0x7f; c = c == 0x1f ? 0x7f : c + 1) {
            const bool lineBreak = c == u'\r' || c == u'\n';
            const QString code = QString::number(c, 16).toUpper().rightJustified(2, u'0');
            QTest::addRow("%s: control 0x%02X", name, int(c))
                << kind << u"大"_s + QChar(c) + u"厅"_s
                << (lineBreak ? u"含有换行"_s : u"中含有控制字符（0x"_s + code + u"）"_s);
        }
    }
}

void tst_DirectoryFiles::writersRefuseWhatTheirFileCannotHold()
{
    QFETCH(Kind, kind);
    QFETCH(QString, field);
    QFETCH(QString, message);
    const QString file = path(u"written.txt"_s);
    const QByteArray before = toGbk(u"\"旧\",\"1\",\"1\"\r\n"_s);
    GbkFiles::writeBytes(file, before);
    QString error;
    QStringList back;
    switch (kind) {
    case Kind::Node: {
        error = writeNodeFile(file, {{u"甲"_s, u"1"_s, u"1"_s}, {field, u"2"_s, u"3"_s}});
        for (const NodeRecord &r : readNodeFile(file).records)
            back << r.name << r.group;
        break;
    }
    case Kind::Amp: {
        AmpNames names;
        names.devices[5] = field;
        error = writeAmpNameFile(file, names);
        back << readAmpNameFile(file).names.devices.value(5);
        break;
    }
    case Kind::Remote:
        error = writeRemoteListFile(file, {u"/srv/a.mp3"_s, field});
        back = readRemoteListFile(file).paths;
        break;
    }
    if (message.isEmpty()) {
        QCOMPARE(error, QString());
        // Read back as written, and what follows the field too.
        if (kind == Kind::Node)
            QCOMPARE(back, (QStringList {u"甲"_s, u"1"_s, field, u"3"_s}));
        else
            QCOMPARE(back.last(), field);
    } else {
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY2(error.contains(kind == Kind::Amp        ? u"外设6的名称"_s
                                    : kind == Kind::Node ? u"节点名称"_s
                                                         : u"路径"_s),
                 qPrintable(error));
        QCOMPARE(GbkFiles::readBytes(file), before); // nothing written
    }
}

namespace {
// What the directory windows edit: an amplifier's and a device's name
// (frmsource), a remote-list path (frmremote), a node's name (frmnode; what
// its fields let through: tst_namefields).
enum class Edited { AmpName, DeviceName, RemotePath, NodeName };
} // namespace
Q_DECLARE_METATYPE(Edited)

void tst_DirectoryFiles::windowsSaveWhatTheyShow_data()
{
    QTest::addColumn<Edited>("edited");
    QTest::addColumn<QString>("text"); // as the window hands it over
    QTest::addColumn<QString>("saved"); // as the readers give it back
    QTest::addColumn<QString>("message"); // the refusal; empty when saved
    // A file that cannot be written: a folder stands in its place.
    QTest::addColumn<QString>("blocked");
    const std::pair<Edited, const char *> all[] = {{Edited::AmpName, "amplifier name"},
                                                   {Edited::DeviceName, "device name"},
                                                   {Edited::RemotePath, "remote path"},
                                                   {Edited::NodeName, "node name"}};
    for (const auto &[edited, name] : all) {
        const bool path = edited == Edited::RemotePath;
        // A path keeps its blanks, names lose them: either way the file
        // holds what the window shows.
        QTest::addRow("%s: blanks and tabs around it", name)
            << edited << u" \t东 门 "_s << (path ? u" \t东 门 "_s : u"东 门"_s)
            << (path ? u"第2项的路径含有控制字符（0x09）"_s : QString()) << QString();
        QTest::addRow("%s: a blank at the end", name)
            << edited << u"/srv/a.mp3 "_s << (path ? u"/srv/a.mp3 "_s : u"/srv/a.mp3"_s)
            << QString() << QString();
        for (char16_t c = 0; c <= 0x7f; c = c == 0x1f ? 0x7f : c + 1) {
            if (c == u'\r' || c == u'\n')
                continue; // line breaks keep the words each window had for them
            const QString code = QString::number(c, 16).toUpper().rightJustified(2, u'0');
            const QString text = u"东"_s + QChar(c) + u"门"_s;
            const QString where = edited == Edited::AmpName ? u"功放6的名称"_s
                : edited == Edited::DeviceName              ? u"外设6的名称"_s
                : edited == Edited::RemotePath              ? u"第2项的路径"_s
                                               : u"节点名称“"_s + text + u"”中"_s;
            QTest::addRow("%s: control 0x%02X", name, int(c))
                << edited << text << QString() << where + u"含有控制字符（0x"_s + code + u"）"_s
                << QString();
        }
    }
    // node.txt not written: nothing changed that anyone would read again.
    // Written but without the group names: the terminals are new all the same.
    QTest::newRow("node name: node.txt cannot be written")
        << Edited::NodeName << u"东门"_s << QString() << QString() << u"node.txt"_s;
    QTest::newRow("node name: config.ini cannot be written")
        << Edited::NodeName << u"东门"_s << u"东门"_s << QString() << u"config.ini"_s;
}

void tst_DirectoryFiles::windowsSaveWhatTheyShow()
{
    QFETCH(Edited, edited);
    QFETCH(QString, text);
    QFETCH(QString, saved);
    QFETCH(QString, message);
    QFETCH(QString, blocked);
    QTemporaryDir dir;
    const QString ampFile = dir.filePath(u"amp_name.dat"_s);
    const QString remoteFile = dir.filePath(u"rem_list.txt"_s);
    const QString iniFile = dir.filePath(u"config.ini"_s);
    const QString nodeFile = dir.filePath(u"node.txt"_s);
    GbkFiles::writeText(ampFile, QString(u"\"旧\"\n"_s).repeated(24));
    GbkFiles::writeText(remoteFile, u"\"/srv/old.mp3\"\n"_s);
    GbkFiles::writeText(iniFile, u"[外设提前]\n外设6=00:00:10\n"_s);
    GbkFiles::writeText(nodeFile, u"\"旧\",\"1\",\"1\"\n"_s);
    const QStringList files {ampFile, remoteFile, iniFile, nodeFile};
    if (!blocked.isEmpty()) {
        QVERIFY(QFile::remove(dir.filePath(blocked)));
        QVERIFY(QDir(dir.path()).mkdir(blocked));
    }
    QList<QByteArray> before;
    for (const QString &f : files)
        before << GbkFiles::readBytes(f);

    QString error;
    QString back;
    SavedFiles announcer;
    QSignalSpy announced(&announcer, &SavedFiles::saved);
    switch (edited) {
    case Edited::AmpName:
    case Edited::DeviceName: {
        SourceNames names(ampFile, iniFile);
        names.load();
        if (edited == Edited::AmpName)
            names.setAmpName(6, text);
        else
            names.setDeviceName(6, text);
        error = names.save(announcer).message;
        const AmpNames read = readAmpNameFile(ampFile).names;
        back = edited == Edited::AmpName ? read.amps.value(5) : read.devices.value(5);
        break;
    }
    case Edited::RemotePath: {
        RemotePlaylist list;
        list.load(remoteFile);
        list.add(text);
        error = list.save(remoteFile, announcer);
        back = readRemoteListFile(remoteFile).paths.value(1);
        break;
    }
    case Edited::NodeName: {
        const ProfileIni ini(iniFile);
        NodeDirectory nodes(nodeFile, ini);
        nodes.load();
        QCOMPARE(nodes.addNode(text, u"2"_s, 1), NodeDirectory::EditError::None);
        error = nodes.save(announcer).error;
        back = readNodeFile(nodeFile).records.value(1).name;
        break;
    }
    }
    // A file written is announced once, by its kind and path; a refused one
    // not at all.
    const bool written = message.isEmpty() && blocked != u"node.txt"_s;
    QCOMPARE(announced.size(), written ? 1 : 0);
    if (written) {
        const auto [kind, file] = edited == Edited::RemotePath
            ? std::pair {SavedFiles::Kind::RemoteList, remoteFile}
            : edited == Edited::NodeName ? std::pair {SavedFiles::Kind::NodeDirectory, nodeFile}
                                         : std::pair {SavedFiles::Kind::SourceNames, ampFile};
        QCOMPARE(announced.at(0).at(0).value<SavedFiles::Kind>(), kind);
        QCOMPARE(announced.at(0).at(1).toString(), file);
    }
    if (!blocked.isEmpty()) {
        QVERIFY(!error.isEmpty()); // the operator is told
        QCOMPARE(back, saved);
        return;
    }
    if (message.isEmpty()) {
        QCOMPARE(error, QString());
        QCOMPARE(back, saved);
        return;
    }
    QVERIFY2(error.startsWith(message), qPrintable(error));
    for (qsizetype i = 0; i < files.size(); ++i)
        QCOMPARE(GbkFiles::readBytes(files.at(i)), before.at(i)); // nothing written
}

QTEST_GUILESS_MAIN(tst_DirectoryFiles)
#include "tst_directoryfiles.moc"
