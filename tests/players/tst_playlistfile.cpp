// Playlist files (one path a line, GBK, CR LF, written atomically), the
// rules about entries (type, CD track number), the time texts and the file
// browser's helpers.

#include "players/playlistbrowser.h"
#include "players/playlistfile.h"
#include "support/gbkfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_PlaylistFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void writtenBytes();
    void reading_data();
    void reading();
    void unreadable_data();
    void unreadable();
    void failedWriteKeepsTheFile();
    void unstorable_data();
    void unstorable();
    void entryType_data();
    void entryType();
    void trackNumber_data();
    void trackNumber();
    void timeTexts_data();
    void timeTexts();
    void fileList();
    void filePath_data();
    void filePath();
    void drives();

private:
    QTemporaryDir m_dir;
};

void tst_PlaylistFile::roundTrip_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("a comma in a path")
        << QStringList {u"/srv/歌曲/春天,夏天.mp3"_s, u"/srv/b.wav"_s};
    QTest::newRow("Windows paths") << QStringList {u"D:\\song\\a b.mp3"_s, u"E:\\Track05.cda"_s};
    QTest::newRow("quotes inside") << QStringList {u"/srv/\"名\"字.mid"_s};
    QTest::newRow("empty") << QStringList();
    // A path is what the file system says: the blanks at its ends come back.
    QTest::newRow("blanks at the ends")
        << QStringList {u"/srv/a.mp3 "_s, u" b.wav"_s, u"  /srv/歌 曲/c.mid  "_s};
    QTest::newRow("an ideographic blank") << QStringList {u"/srv/歌\u3000"_s};
}

void tst_PlaylistFile::roundTrip()
{
    QFETCH(QStringList, paths);
    const QString file = m_dir.filePath(u"list.txt"_s);
    for (const QString &p : paths)
        QCOMPARE(playlistEntryProblem(p), QString());
    QCOMPARE(writePlaylistFile(file, paths), QString());
    const PlaylistRead read = readPlaylistFile(file);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.paths, paths);
}

void tst_PlaylistFile::writtenBytes()
{
    const QString file = m_dir.filePath(u"bytes.txt"_s);
    QCOMPARE(writePlaylistFile(file, {u"/srv/歌.mp3"_s, u"/a,b.wav"_s, u"/c.mid "_s}), QString());
    QCOMPARE(GbkFiles::readBytes(file),
             QByteArray("/srv/\xB8\xE8.mp3\r\n/a,b.wav\r\n\"/c.mid \"\r\n"));
}

void tst_PlaylistFile::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("the old console's file")
        << QByteArray("C:\\song\\\xB8\xE8.mp3\r\nC:\\song\\b.wav\r\n")
        << QStringList {u"C:\\song\\歌.mp3"_s, u"C:\\song\\b.wav"_s};
    QTest::newRow("blanks and blank lines") << QByteArray("  /a.mp3 \r\n\r\n\t/b.wav\r\n   \r\n")
                                            << QStringList {u"/a.mp3"_s, u"/b.wav"_s};
    QTest::newRow("LF, CR and no end") << QByteArray("/a.mp3\n/b.wav\r/c.mid")
                                       << QStringList {u"/a.mp3"_s, u"/b.wav"_s, u"/c.mid"_s};
    QTest::newRow("quoted lines") << QByteArray("\"/a,b.mp3\"\r\n \"/c.wav\" \r\n")
                                  << QStringList {u"/a,b.mp3"_s, u"/c.wav"_s};
    QTest::newRow("empty file") << QByteArray() << QStringList();
}

void tst_PlaylistFile::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, paths);
    const QString file = m_dir.filePath(u"read.txt"_s);
    GbkFiles::writeBytes(file, bytes);
    const PlaylistRead read = readPlaylistFile(file);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.paths, paths);
}

void tst_PlaylistFile::unreadable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // not written when empty
    QTest::newRow("missing") << u"missing.txt"_s << QByteArray();
    QTest::newRow("a sound file") << u"sound.txt"_s << QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16);
    QTest::newRow("not GBK") << u"broken.txt"_s << QByteArray("/a.mp3\r\n/\xB8\r\n");
    QTest::newRow("cut short") << u"cut.txt"_s << QByteArray("/a.mp3\r\n/\xB8");
}

void tst_PlaylistFile::unreadable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString file = m_dir.filePath(name);
    if (!bytes.isEmpty())
        GbkFiles::writeBytes(file, bytes);
    const PlaylistRead read = readPlaylistFile(file);
    QVERIFY(!read.ok);
    QVERIFY(!read.error.isEmpty());
    QVERIFY(read.paths.isEmpty());
}

void tst_PlaylistFile::failedWriteKeepsTheFile()
{
    const QString file = m_dir.filePath(u"readonly.txt"_s);
    GbkFiles::writeBytes(file, "/old.mp3\r\n");
    QFile(file).setPermissions(QFileDevice::ReadOwner);
    QVERIFY(!writePlaylistFile(file, {u"/new.mp3"_s}).isEmpty());
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(GbkFiles::readBytes(file), QByteArray("/old.mp3\r\n"));
    QVERIFY(!writePlaylistFile(m_dir.filePath(u"no/such/folder/a.txt"_s), {u"/a.mp3"_s}).isEmpty());
}

void tst_PlaylistFile::unstorable_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("row"); // the entry refused, or -1
    QTest::addColumn<QString>("why"); // what the refusal says of the path
    QTest::newRow("all fine") << QStringList {u"/a.mp3"_s, u"/歌.mp3"_s} << -1 << QString();
    QTest::newRow("outside GBK") << QStringList {u"/a.mp3"_s, u"/🎵.mp3"_s} << 1
                                 << u"含有GBK编码没有的字符"_s;
    QTest::newRow("a line break") << QStringList {u"/a\nb.mp3"_s} << 0 << u"含有换行"_s;
    QTest::newRow("a trailing blank") << QStringList {u"/a.mp3"_s, u"/b.mp3 "_s} << -1 << QString();
    QTest::newRow("quoted whole") << QStringList {u"\"/a.mp3\""_s} << 0 << u"前后带有双引号"_s;
    // The reader refuses a file with a NUL; every other control character
    // is refused alike.
    for (char16_t c = 0; c <= 0x7f; c = c == 0x1f ? 0x7f : c + 1) {
        const bool lineBreak = c == u'\r' || c == u'\n';
        const QString code = QString::number(c, 16).toUpper().rightJustified(2, u'0');
        QTest::addRow("control 0x%02X", int(c))
            << QStringList {u"/a.mp3"_s, u"/b"_s + QChar(c) + u".mp3"_s, u"/c.mp3"_s} << 1
            << (lineBreak ? u"含有换行"_s : u"含有控制字符（0x"_s + code + u"）"_s);
    }
}

void tst_PlaylistFile::unstorable()
{
    QFETCH(QStringList, paths);
    QFETCH(int, row);
    QFETCH(QString, why);
    QCOMPARE(playlistEntryProblem(paths.value(row)), why);
    // The writer refuses the entry before it writes anything; the player
    // shows its words.
    const QString file = m_dir.filePath(u"unstorable.txt"_s);
    const QByteArray old("/old.mp3\r\n");
    GbkFiles::writeBytes(file, old);
    const QString error = writePlaylistFile(file, paths);
    if (row < 0) {
        QCOMPARE(error, QString());
        QCOMPARE(readPlaylistFile(file).paths, paths);
    } else {
        QCOMPARE(error,
                 u"第%1项的路径%2，请删除这一项后再保存：\n"_s.arg(row + 1).arg(why)
                     + paths.at(row));
        QCOMPARE(GbkFiles::readBytes(file), old);
    }
}

void tst_PlaylistFile::entryType_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("type");
    QTest::newRow("mp3") << u"/a/b.mp3"_s << u"MP3"_s;
    QTest::newRow("capitals") << u"C:\\A.WaV"_s << u"WAV"_s;
    QTest::newRow("cda") << u"/cd/Track01.cda"_s << u"CDA"_s;
    QTest::newRow("four letters") << u"/a.midi"_s << u"IDI"_s;
}

void tst_PlaylistFile::entryType()
{
    QFETCH(QString, path);
    QFETCH(QString, type);
    QCOMPARE(playlistEntryType(path), type);
}

void tst_PlaylistFile::trackNumber_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("track");
    QTest::newRow("05") << u"D:\\Track05.cda"_s << 5;
    QTest::newRow("12, capitals") << u"/cd/TRACK12.CDA"_s << 12;
    QTest::newRow("a blank before") << u"/cd/Track 7.cda"_s << 7;
    QTest::newRow("a blank after") << u"/cd/Track7 .cda"_s << 7;
    QTest::newRow("a letter first") << u"/cd/Trackk5.cda"_s << 0;
    QTest::newRow("a digit then a letter") << u"/cd/3a.cda"_s << 3;
    QTest::newRow("short name") << u"5.cda"_s << 0;
    QTest::newRow("not a cda") << u"/cd/Track05.mp3"_s << 0;
}

void tst_PlaylistFile::trackNumber()
{
    QFETCH(QString, path);
    QFETCH(int, track);
    QCOMPARE(cdTrackNumber(path), track);
}

void tst_PlaylistFile::timeTexts_data()
{
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("total");
    QTest::newRow("zero") << qint64(0) << u"00:00"_s << u"00分00秒"_s;
    QTest::newRow("just under a second") << qint64(999) << u"00:00"_s << u"00分00秒"_s;
    QTest::newRow("3 min 5 s") << qint64(185999) << u"03:05"_s << u"03分05秒"_s;
    QTest::newRow("past 99 minutes") << qint64(7263000) << u"121:03"_s << u"121分03秒"_s;
}

void tst_PlaylistFile::timeTexts()
{
    QFETCH(qint64, milliseconds);
    QFETCH(QString, length);
    QFETCH(QString, total);
    QCOMPARE(minutesSeconds(milliseconds), length);
    QCOMPARE(totalTimeText(milliseconds / 1000), total);
}

void tst_PlaylistFile::fileList()
{
    const QString folder = m_dir.filePath(u"browse"_s);
    for (const QString &name : {u"b.MP3"_s, u"a.wav"_s, u"c.mid"_s, u"d.dat"_s, u"Track01.cda"_s,
                                u"e.wma"_s, u"notes.txt"_s, u"f.ogg"_s, u"mp3"_s})
        GbkFiles::writeBytes(folder + u'/' + name, "x");
    QDir(folder).mkdir(u"sub.mp3"_s); // a folder is not a file
    QCOMPARE(playlistFilesIn(folder),
             (QStringList {u"a.wav"_s, u"b.MP3"_s, u"c.mid"_s, u"d.dat"_s, u"e.wma"_s,
                           u"Track01.cda"_s}));
}

void tst_PlaylistFile::filePath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::newRow("folder") << u"/srv/song"_s << u"/srv/song/a.mp3"_s;
    QTest::newRow("root") << u"/"_s << u"/a.mp3"_s;
}

void tst_PlaylistFile::filePath()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QCOMPARE(playlistFilePath(folder, u"a.mp3"_s), path);
}

void tst_PlaylistFile::drives()
{
    const QList<PlaylistDrive> drives = playlistDrives();
    QVERIFY(!drives.isEmpty());
    QCOMPARE(drives.constFirst().root, u"/"_s);
    for (const PlaylistDrive &drive : drives) {
        QVERIFY2(!drive.root.startsWith(u"/proc"_s) && !drive.root.startsWith(u"/sys"_s),
                 qPrintable(drive.root));
        QVERIFY(drive.text.startsWith(drive.root));
    }
    QCOMPARE(playlistDriveOf(u"/"_s), u"/"_s);
    QCOMPARE(playlistDriveProblem(u"/"_s), QString());
    QVERIFY(!playlistDriveProblem(m_dir.filePath(u"no such drive"_s)).isEmpty());
    // A folder that is not where a file system is mounted is no drive.
    QDir(m_dir.path()).mkdir(u"mnt"_s);
    QVERIFY(!playlistDriveProblem(m_dir.filePath(u"mnt"_s)).isEmpty());
}

QTEST_GUILESS_MAIN(tst_PlaylistFile)
#include "tst_playlistfile.moc"
