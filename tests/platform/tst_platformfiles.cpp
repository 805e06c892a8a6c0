#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "platform/logwriter.h"
#include "platform/profileini.h"
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
    void edgeBlanks_data();
    void edgeBlanks();
    void configIniWritesOnlyWhatReadsBack_data();
    void configIniWritesOnlyWhatReadsBack();
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

namespace {
// Every control character, 0x00 to 0x1F and 0x7F.
QList<char16_t> controlCharacters()
{
    QList<char16_t> all;
    for (char16_t c = 0; c < 0x20; ++c)
        all.append(c);
    all.append(0x7f);
    return all;
}

// How the messages name one: "控制字符（0x1A）".
QString named(char16_t c)
{
    return u"控制字符（0x%1）"_s.arg(QString::number(c, 16).toUpper().rightJustified(2, u'0'));
}
} // namespace

void tst_PlatformFiles::textFaults_data()
{
    QTest::addColumn<QString>("text");
    // The fault in the unquoted, the quoted and the line layout.
    QTest::addColumn<TextFault>("unquoted");
    QTest::addColumn<TextFault>("quoted");
    QTest::addColumn<TextFault>("line");
    QTest::addColumn<QString>("named"); // how a message names the control character
    using F = TextFault;
    QTest::newRow("plain ASCII") << u"/srv/a b.mp3"_s << F::None << F::None << F::None << QString();
    QTest::newRow("empty") << QString() << F::None << F::None << F::None << QString();
    QTest::newRow("Chinese and other quotes")
        << u"早操 “广播”，第九套"_s << F::None << F::None << F::None << QString();
    QTest::newRow("comma") << u"a,b"_s << F::Comma << F::None << F::None << QString();
    QTest::newRow("double quote") << u"a\"b"_s << F::Quote << F::Quote << F::None << QString();
    // The order of the faults decides, not where they stand.
    QTest::newRow("double quote before a comma")
        << u"\"a\",b"_s << F::Comma << F::Quote << F::None << QString();
    QTest::newRow("line break before a double quote")
        << u"a\n\"b\""_s << F::Quote << F::Quote << F::LineBreak << QString();
    QTest::newRow("carriage return")
        << u"a\rb"_s << F::LineBreak << F::LineBreak << F::LineBreak << QString();
    QTest::newRow("no GBK code before a line break")
        << u"한\n"_s << F::LineBreak << F::LineBreak << F::LineBreak << QString();
    QTest::newRow("no GBK code") << u"铃\U0001F514"_s << F::NotGbk << F::NotGbk << F::NotGbk
                                 << QString();
    QTest::newRow("half a surrogate pair")
        << u"铃\xD83D"_s << F::NotGbk << F::NotGbk << F::NotGbk << QString();
    QTest::newRow("a line break before a tab")
        << u"\ta\n"_s << F::LineBreak << F::LineBreak << F::LineBreak << u"控制字符（0x09）"_s;
    QTest::newRow("a control character before no GBK code")
        << u"한\x1a"_s << F::Control << F::Control << F::Control << u"控制字符（0x1A）"_s;
    QTest::newRow("a double quote before a control character")
        << u"\x01\""_s << F::Quote << F::Quote << F::Control << u"控制字符（0x01）"_s;
    for (char16_t c : controlCharacters()) {
        const bool lineBreak = c == u'\r' || c == u'\n';
        const F fault = lineBreak ? F::LineBreak : F::Control;
        QTest::addRow("control 0x%02X", int(c))
            << u"早操"_s + QChar(c) + u"广播"_s << fault << fault << fault
            << (lineBreak ? QString() : named(c));
    }
}

void tst_PlatformFiles::textFaults()
{
    QFETCH(QString, text);
    QFETCH(TextFault, unquoted);
    QFETCH(TextFault, quoted);
    QFETCH(TextFault, line);
    QFETCH(QString, named);
    QCOMPARE(textFault(text, TextLayout::Unquoted), unquoted);
    QCOMPARE(textFault(text, TextLayout::Quoted), quoted);
    QCOMPARE(textFault(text, TextLayout::Line), line);
    QCOMPARE(controlCharacterText(text), named);
    // The quoted files' writers refuse exactly these texts.
    const QString problem = quotedFieldProblem(u"名称"_s, text);
    QCOMPARE(problem.isEmpty(), quoted == TextFault::None);
    if (quoted == TextFault::Control)
        QVERIFY2(problem.contains(u"中含有"_s + named), qPrintable(problem));
}

void tst_PlatformFiles::edgeBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::addColumn<bool>("edge");
    QTest::newRow("none") << u"东 门"_s << u"东 门"_s << false;
    QTest::newRow("empty") << QString() << QString() << false;
    QTest::newRow("blanks and tabs at both ends") << u" \t东 门\t "_s << u"东 门"_s << true;
    QTest::newRow("a trailing blank") << u"/srv/a.mp3 "_s << u"/srv/a.mp3"_s << true;
    QTest::newRow("a leading tab") << u"\t/srv"_s << u"/srv"_s << true;
    QTest::newRow("only blanks") << u"  "_s << QString() << true;
    // No reader drops them, so they are part of the text.
    QTest::newRow("ideographic blank, line break") << u"\u3000东\n"_s << u"\u3000东\n"_s << false;
}

void tst_PlatformFiles::edgeBlanks()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QFETCH(bool, edge);
    QCOMPARE(withoutEdgeBlanks(text), trimmed);
    QCOMPARE(hasEdgeBlanks(text), edge);
}

void tst_PlatformFiles::configIniWritesOnlyWhatReadsBack_data()
{
    QTest::addColumn<QString>("part"); // section, key or value
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // part of the refusal; empty when written
    for (char16_t c : controlCharacters()) {
        const bool lineBreak = c == u'\r' || c == u'\n';
        QTest::addRow("value with control 0x%02X", int(c))
            << u"value"_s << u"操"_s + QChar(c) + u"场"_s
            << (lineBreak ? u"值“操 场”中有换行"_s
                          : u"值“操"_s + QChar(c) + u"场”中有"_s + named(c));
    }
    QTest::newRow("section with 0x1A")
        << u"section"_s << u"分组\x1a名称"_s << u"节名“分组\x1a名称”中有控制字符（0x1A）"_s;
    QTest::newRow("key with NUL") << u"key"_s << u"分组"_s + QChar(u'\0')
                                  << u"键名“分组"_s + QChar(u'\0') + u"”中有控制字符（0x00）"_s;
    QTest::newRow("value with a trailing tab")
        << u"value"_s << u"操场\t"_s << u"值“操场\t”中有控制字符（0x09）"_s;
    // What passes reads back exactly as written, however it has to be put.
    QTest::newRow("blanks at both ends") << u"value"_s << u"  操 场 "_s << QString();
    QTest::newRow("a leading blank") << u"value"_s << u" 操场"_s << QString();
    QTest::newRow("between double quotes") << u"value"_s << u"\"操场\""_s << QString();
    QTest::newRow("a double quote alone") << u"value"_s << u"\""_s << QString();
    QTest::newRow("two double quotes") << u"value"_s << u"\"\""_s << QString();
    QTest::newRow("inner quotes and commas") << u"value"_s << u"东\"楼\", 西楼"_s << QString();
    QTest::newRow("empty") << u"value"_s << QString() << QString();
}

void tst_PlatformFiles::configIniWritesOnlyWhatReadsBack()
{
    QFETCH(QString, part);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.ini"_s);
    const QByteArray old = toGbk(u"[分组名称]\r\n分组1=操场\r\n分组2=\"东楼 \"\r\n"_s);
    GbkFiles::writeBytes(path, old);
    const ProfileIni ini(path);
    const QString section = part == u"section"_s ? text : u"分组名称"_s;
    const QString key = part == u"key"_s ? text : u"分组1"_s;
    const QString value = part == u"value"_s ? text : u"x"_s;
    const QString error = ini.writeString(section, key, value);
    if (message.isEmpty()) {
        QCOMPARE(error, QString());
        QCOMPARE(ini.getString(section, key, u"缺"_s, 256), value);
        // The line after it is as it was.
        QCOMPARE(ini.getString(u"分组名称"_s, u"分组2"_s, QString(), 256), u"东楼 "_s);
    } else {
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY2(error.endsWith(u"配置文件放不下，没有保存。"_s), qPrintable(error));
        QCOMPARE(GbkFiles::readBytes(path), old); // nothing written
    }
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
    // Each filter shows its patterns once, as Qt's dialog reads them: after
    // the description in brackets, separated by spaces.
    QTest::newRow("patterns as description") << "*.jpg;*.bmp|*.jpg;*.bmp"
                                             << "*.jpg *.bmp";
    QTest::newRow("same patterns in another order") << "*.mp3;*.wav;*.mid;|*.wav;*.mid;*.mp3"
                                                    << "*.mp3 *.wav *.mid";
    QTest::newRow("two pairs") << "MP3文件|*.mp3|WAV文件|*.wav"
                               << "MP3文件 (*.mp3);;WAV文件 (*.wav)";
    QTest::newRow("description ending in its pattern") << "播放列表文件(*.txt)|*.txt"
                                                       << "播放列表文件(*.txt)";
    QTest::newRow("description ending in its patterns") << "图片(*.bmp;*.jpg)|*.jpg;*.bmp"
                                                        << "图片(*.bmp *.jpg)";
    QTest::newRow("description naming fewer patterns")
        << "图片文件(*.bmp;*.png)|*.bmp;*.jpg;*.png"
        << "图片文件(*.bmp;*.png) (*.bmp *.jpg *.png)";
    QTest::newRow("brackets inside the description") << "文件(新)说明|*.txt"
                                                     << "文件(新)说明 (*.txt)";
    QTest::newRow("lone pattern") << "*.txt"
                                  << "*.txt";
    QTest::newRow("lone patterns") << "*.mp3;*.wav"
                                   << "*.mp3 *.wav";
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
