#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "platform/logwriter.h"
#include "platform/textfile.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/gbkfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TextFault)

class tst_PlatformFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void atomicSaveReplacesWholeFile();
    void failedSaveLeavesOldFile_data();
    void failedSaveLeavesOldFile();
    void failedCommitKeepsTheOldFileAndSaysSo();
    void quotedRecordIsGbkWithCrLf();
    void textFaults_data();
    void textFaults();
    void appFolderFiles_data();
    void appFolderFiles();
    void fileTitles_data();
    void fileTitles();
    void logLinesAreAppended();
    void logFailureIsReported();
    void classicFiltersBecomeQtFilters_data();
    void classicFiltersBecomeQtFilters();
    void gbkCutKeepsWholeCharacters();

private:
    QTemporaryDir m_dir;
};

void tst_PlatformFiles::atomicSaveReplacesWholeFile()
{
    const QString path = m_dir.filePath(QStringLiteral("a.txt"));
    GbkFiles::writeBytes(path, QByteArray(1000, 'o'));
    QCOMPARE(saveFileAtomically(path, "new"), QString());
    QCOMPARE(GbkFiles::readBytes(path), QByteArray("new"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("a.txt")});
}

void tst_PlatformFiles::failedSaveLeavesOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only file") << "ro.txt" << true;
    QTest::newRow("folder that does not exist") << "nofolder/x.txt" << false;
}

void tst_PlatformFiles::failedSaveLeavesOldFile()
{
    QFETCH(QString, name);
    QFETCH(bool, readOnly);
    const QString path = m_dir.filePath(name);
    const QByteArray old("old content\r\n");
    if (readOnly) {
        GbkFiles::writeBytes(path, old);
        QFile::setPermissions(path, QFile::ReadOwner);
    }
    const QString error = saveFileAtomically(path, "replacement");
    if (readOnly)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(!error.isEmpty());
    QCOMPARE(GbkFiles::readBytes(path), readOnly ? old : QByteArray());
}

void tst_PlatformFiles::failedCommitKeepsTheOldFileAndSaysSo()
{
    // A disk that fills up at the last moment: the bytes sit in the file's
    // buffer until the commit flushes them, and the flush fails. A limit on
    // the size of files this process may write plays the full disk.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"week.txt"_s);
    const QByteArray old = toGbk(u"旧的内容\r\n");
    GbkFiles::writeBytes(path, old);
    rlimit saved {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = saved;
    low.rlim_cur = 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &low) == 0);
    const QString error = saveFileAtomically(path, QByteArray(4000, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QVERIFY2(!error.isEmpty(), "a failed commit is reported");
    QCOMPARE(GbkFiles::readBytes(path), old);
    // No half-written temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {u"week.txt"_s});
}

void tst_PlatformFiles::quotedRecordIsGbkWithCrLf()
{
    QCOMPARE(quotedRecord({QStringLiteral("一年级1班"), QStringLiteral("1"), QString()}),
             QByteArray("\"") + toGbk(u"一年级1班") + "\",\"1\",\"\"\r\n");
    // A double quote would end the field early: such a field is refused
    // before anything is written, never altered.
    QVERIFY(quotedFieldProblem(QStringLiteral("名称"), QStringLiteral("a\"b")).contains(u"双引号"));
    QCOMPARE(quotedFieldProblem(QStringLiteral("名称"), QStringLiteral("a'b,“c”")), QString());
}

void tst_PlatformFiles::textFaults_data()
{
    QTest::addColumn<QString>("text");
    // The fault in the unquoted, the quoted and the INI layout.
    QTest::addColumn<TextFault>("unquoted");
    QTest::addColumn<TextFault>("quoted");
    QTest::addColumn<TextFault>("ini");
    using F = TextFault;
    QTest::newRow("plain ASCII") << u"/srv/a b.mp3"_s << F::None << F::None << F::None;
    QTest::newRow("empty") << QString() << F::None << F::None << F::None;
    QTest::newRow("Chinese and other quotes")
        << u"早操 “广播”，第九套"_s << F::None << F::None << F::None;
    QTest::newRow("comma") << u"a,b"_s << F::Comma << F::None << F::None;
    QTest::newRow("double quote") << u"a\"b"_s << F::Quote << F::Quote << F::None;
    // The order of the faults decides, not where they stand.
    QTest::newRow("double quote before a comma") << u"\"a\",b"_s << F::Comma << F::Quote << F::None;
    QTest::newRow("line break before a double quote")
        << u"a\n\"b\""_s << F::Quote << F::Quote << F::LineBreak;
    QTest::newRow("carriage return") << u"a\rb"_s << F::LineBreak << F::LineBreak << F::LineBreak;
    QTest::newRow("no GBK code before a line break")
        << u"한\n"_s << F::LineBreak << F::LineBreak << F::LineBreak;
    QTest::newRow("no GBK code") << u"铃\U0001F514"_s << F::NotGbk << F::NotGbk << F::NotGbk;
    QTest::newRow("half a surrogate pair") << u"铃\xD83D"_s << F::NotGbk << F::NotGbk << F::NotGbk;
}

void tst_PlatformFiles::textFaults()
{
    QFETCH(QString, text);
    QFETCH(TextFault, unquoted);
    QFETCH(TextFault, quoted);
    QFETCH(TextFault, ini);
    QCOMPARE(textFault(text, TextLayout::Unquoted), unquoted);
    QCOMPARE(textFault(text, TextLayout::Quoted), quoted);
    QCOMPARE(textFault(text, TextLayout::IniLine), ini);
    // The quoted files' writers refuse exactly these texts.
    QCOMPARE(quotedFieldProblem(u"名称"_s, text).isEmpty(), quoted == TextFault::None);
}

void tst_PlatformFiles::appFolderFiles_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/opt/quellon"
                           << "\\config.ini"
                           << "/opt/quellon/config.ini";
    QTest::newRow("trailing separator") << "/opt/quellon/"
                                        << "\\table\\week"
                                        << "/opt/quellon/table/week";
    QTest::newRow("root folder") << "/"
                                 << "\\config.ini"
                                 << "/config.ini";
    QTest::newRow("name without backslash") << "/a"
                                            << "log.txt"
                                            << "/a/log.txt";
}

void tst_PlatformFiles::appFolderFiles()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(AppFolder(folder).file(name), path);
}

void tst_PlatformFiles::fileTitles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("windows path") << "D:\\bell\\up.mp3"
                                  << "up.mp3";
    QTest::newRow("linux path") << "/srv/song/上课铃.wav"
                                << "上课铃.wav";
    QTest::newRow("no separator") << "外设控制"
                                  << "外设控制";
    QTest::newRow("ends in separator") << "D:\\music\\"
                                       << "";
    QTest::newRow("mixed") << "/a\\b/c.mid"
                           << "c.mid";
}

void tst_PlatformFiles::fileTitles()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(fileTitle(path), title);
}

void tst_PlatformFiles::logLinesAreAppended()
{
    QTemporaryDir dir;
    FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 1)));
    FakeDialogs dialogs;
    LogWriter log(AppFolder(dir.path()), clock, dialogs);
    log.writeLog(QStringLiteral(",自动调整音量22"));
    clock.advanceSeconds(60);
    log.writeLog(QStringLiteral(",系统正常关机!"));
    QCOMPARE(GbkFiles::readBytes(dir.filePath(QStringLiteral("log.txt"))),
             toGbk(u"2026-12-07 07:30:01,自动调整音量22\r\n2026-12-07 07:31:01,系统正常关机!\r\n"));
    QVERIFY(dialogs.shown.isEmpty());
}

void tst_PlatformFiles::logFailureIsReported()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("log.txt"))); // a folder where the file belongs
    FakeClock clock;
    FakeDialogs dialogs;
    LogWriter(AppFolder(dir.path()), clock, dialogs).writeLog(QStringLiteral("x"));
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.at(0).title, QStringLiteral("错误提示"));
    QCOMPARE(dialogs.shown.at(0).icon, MsgIcon::Error);
    QVERIFY(!dialogs.shown.at(0).text.isEmpty());
}

void tst_PlatformFiles::classicFiltersBecomeQtFilters_data()
{
    QTest::addColumn<QString>("classic");
    QTest::addColumn<QString>("qt");
    QTest::newRow("one pair") << "*.jpg;*.bmp|*.jpg;*.bmp"
                              << "*.jpg;*.bmp (*.jpg *.bmp)";
    QTest::newRow("two pairs") << "MP3文件|*.mp3|WAV文件|*.wav"
                               << "MP3文件 (*.mp3);;WAV文件 (*.wav)";
    QTest::newRow("lone pattern") << "*.txt"
                                  << "*.txt";
}

void tst_PlatformFiles::classicFiltersBecomeQtFilters()
{
    QFETCH(QString, classic);
    QFETCH(QString, qt);
    QCOMPARE(qtFileFilter(classic), qt);
}

void tst_PlatformFiles::gbkCutKeepsWholeCharacters()
{
    const QByteArray mixed = toGbk(u"a中b文");
    QCOMPARE(cutGbk(mixed, 2), QByteArray("a"));
    QCOMPARE(cutGbk(mixed, 3), toGbk(u"a中"));
    QCOMPARE(cutGbk(mixed, 100), mixed);
}

QTEST_GUILESS_MAIN(tst_PlatformFiles)
#include "tst_platformfiles.moc"
