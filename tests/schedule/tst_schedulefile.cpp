#include "platform/gbk.h"
#include "schedule/schedulefile.h"
#include "support/gbkfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
ScheduleEntry makeEntry(const QString &time, qint16 channel, const QString &detail,
                        const QString &file, qint16 volume,
                        const QString &plen = QStringLiteral("00:01:00"),
                        const QString &zone = QStringLiteral("1.2."),
                        const QString &amp = QStringLiteral("1."),
                        const QString &device = QString())
{
    return ScheduleEntry {time, channel, detail, file, volume, plen, zone, amp, device};
}
QString header(const QString &day)
{
    return QStringLiteral("00,00,00,") + day + QStringLiteral(",00,00,00,00,00\n");
}
} // namespace

class tst_ScheduleFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entryLineBytes_data();
    void entryLineBytes();
    void headerLineBytes();
    void emptyWeekIsSevenHeaders();
    void weekRoundTrip();
    void dateRoundTrip();
    void editorWeekReader_data();
    void editorWeekReader();
    void consoleWeekReader_data();
    void consoleWeekReader();
    void consoleDateReaderStopsAtHeader();
    void readErrors_data();
    void readErrors();
    void consoleRefusesTimesItCannotPlay_data();
    void consoleRefusesTimesItCannotPlay();
    void failedWriteKeepsOldFile();
    void writersRefuseWhatTheFileCannotHold_data();
    void writersRefuseWhatTheFileCannotHold();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_ScheduleFile::entryLineBytes_data()
{
    QTest::addColumn<ScheduleEntry>("entry");
    QTest::addColumn<QString>("line");
    QTest::newRow("the example line")
        << makeEntry(u"07:30:00"_s, 1, u"起床铃"_s, u"D:\\bell\\up.mp3"_s, 80)
        << "07:30:00, 1 ,起床铃,D:\\bell\\up.mp3, 80 ,00:01:00,1.2.,1.,\r\n";
    QTest::newRow("channel 8, volume 100")
        << makeEntry(u"12:00:00"_s, 8, u"午间"_s, u"/srv/a.mp3"_s, 100, u"00:00:00"_s, u""_s, u""_s,
                     u"1.2.3.4.5.6.7.8."_s)
        << "12:00:00, 8 ,午间,/srv/a.mp3, 100 ,00:00:00,,,1.2.3.4.5.6.7.8.\r\n";
    QTest::newRow("negative volume keeps its sign")
        << makeEntry(u"00:00:01"_s, 0, u""_s, u"x"_s, -5, u""_s, u""_s, u""_s, u""_s)
        << "00:00:01, 0 ,,x,-5 ,,,,\r\n";
    // The readers drop blanks around a plain field, not between quotes.
    QTest::newRow("a path ending in a blank is quoted")
        << makeEntry(u"07:30:00"_s, 1, u"起床铃"_s, u"/srv/up.mp3 "_s, 80)
        << "07:30:00, 1 ,起床铃,\"/srv/up.mp3 \", 80 ,00:01:00,1.2.,1.,\r\n";
}

void tst_ScheduleFile::entryLineBytes()
{
    QFETCH(ScheduleEntry, entry);
    QFETCH(QString, line);
    QCOMPARE(ScheduleFile::entryLine(entry), toGbk(line));
}

void tst_ScheduleFile::headerLineBytes()
{
    QCOMPARE(ScheduleFile::headerLine(0),
             QByteArray("00,00,00,\xD0\xC7\xC6\xDA\xD2\xBB,00,00,00,00,00\r\n"));
    QCOMPARE(ScheduleFile::headerLine(6), toGbk(u"00,00,00,星期日,00,00,00,00,00\r\n"));
}

void tst_ScheduleFile::emptyWeekIsSevenHeaders()
{
    const QString file = path(QStringLiteral("empty.txt"));
    QCOMPARE(ScheduleFile::writeWeekFile(file, WeekTables {}), QString());
    QByteArray expected;
    for (int d = 0; d < 7; ++d)
        expected += ScheduleFile::headerLine(d);
    QCOMPARE(GbkFiles::readBytes(file), expected);
    const auto read = ScheduleFile::readWeekForEditor(file);
    QVERIFY(read.ok);
    for (const DayTable &day : read.days)
        QVERIFY(day.isEmpty());
}

void tst_ScheduleFile::weekRoundTrip()
{
    WeekTables week;
    for (int d = 0; d < 7; ++d) {
        for (int i = 0; i <= d % 3; ++i)
            week[d].append(makeEntry(
                QStringLiteral("%1:00:00").arg(8 + i, 2, 10, QChar(u'0')), qint16(1 + d),
                QStringLiteral("第%1天").arg(d), QStringLiteral("/srv/song/铃声%1.mp3").arg(i),
                qint16(10 * d), QStringLiteral("00:00:30"), QStringLiteral("3.17.200."),
                QStringLiteral("1.3."), d % 2 ? QStringLiteral("2.") : QString()));
    }
    week[4].append(makeEntry(u"14:00:00"_s, 4, u"外设控制"_s, u"外设控制"_s, 0, u"00:10:00"_s,
                             u""_s, u""_s, u"2."_s));
    const QString file = path(QStringLiteral("week.txt"));
    QCOMPARE(ScheduleFile::writeWeekFile(file, week), QString());
    const QByteArray bytes = GbkFiles::readBytes(file);
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count("\r\n"), bytes.count('\n')); // every line ends in CR LF
    const auto read = ScheduleFile::readWeekForEditor(file);
    QVERIFY(read.ok);
    QCOMPARE(read.days, week);
    // The console reads the same entries for each weekday.
    for (int d = 0; d < 7; ++d) {
        const auto day = ScheduleFile::readDayOfWeekFile(file, Weekdays::fileName(d));
        QVERIFY(day.ok);
        QCOMPARE(day.entries, week[d]);
    }
}

void tst_ScheduleFile::dateRoundTrip()
{
    const DayTable day = {makeEntry(u"09:00:00"_s, 2, u"升旗"_s, u"/srv/国歌.mp3"_s, 90),
                          makeEntry(u"07:00:00"_s, 1, u"早操"_s, u"/srv/操.mp3"_s, 70)};
    const QString file = path(QStringLiteral("20261207.txt"));
    QCOMPARE(ScheduleFile::writeDateFile(file, day), QString());
    QCOMPARE(ScheduleFile::readDateForEditor(file).entries, day);
    QCOMPARE(ScheduleFile::readDateFile(file).entries, day);
}

void tst_ScheduleFile::editorWeekReader_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QList<int>>("counts"); // entries per day, Monday first

    const QString e = QStringLiteral("08:00:00, 1 ,d,f, 5 ,00:00:01,,,\n");
    QTest::newRow("lines before the first header go to Monday")
        << e + header(u"星期三"_s) + e + e << QList<int> {1, 0, 2, 0, 0, 0, 0};
    QTest::newRow("a repeated header adds to its day")
        << header(u"星期二"_s) + e + header(u"星期五"_s) + e + header(u"星期二"_s) + e
        << QList<int> {0, 2, 0, 0, 1, 0, 0};
    QString eight;
    for (int d = 0; d < 7; ++d)
        eight += header(Weekdays::fileName(d)) + e;
    QTest::newRow("reading ends at the eighth header")
        << eight + header(u"星期一"_s) + e + e << QList<int> {1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("a date file goes entirely to Monday")
        << e + e + e << QList<int> {3, 0, 0, 0, 0, 0, 0};
    QTest::newRow("星期天 is an entry, not a header")
        << header(u"星期天"_s) + e << QList<int> {2, 0, 0, 0, 0, 0, 0};
}

void tst_ScheduleFile::editorWeekReader()
{
    QFETCH(QString, content);
    QFETCH(QList<int>, counts);
    const QString file = path(QStringLiteral("editor.txt"));
    GbkFiles::writeText(file, content);
    const auto read = ScheduleFile::readWeekForEditor(file);
    QVERIFY(read.ok);
    for (int d = 0; d < 7; ++d)
        QCOMPARE(read.days[d].size(), counts.at(d));
}

void tst_ScheduleFile::consoleWeekReader_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("weekday");
    QTest::addColumn<QStringList>("times");

    const auto e = [](const char *time) -> QString {
        return QString::fromLatin1(time) + QStringLiteral(", 1 ,d,/f.mp3, 5 ,00:00:01,1.,,\n");
    };
    const QString week = e("06:00:00") + header(u"星期一"_s) + e("08:00:00") + e("07:00:00")
        + header(u"星期二"_s) + e("09:00:00") + header(u"星期三"_s);
    QTest::newRow("only today's section")
        << week << "星期一" << QStringList {u"08:00:00"_s, u"07:00:00"_s};
    QTest::newRow("section up to the next header")
        << week << "星期二" << QStringList {u"09:00:00"_s};
    QTest::newRow("header without entries") << week << "星期三" << QStringList {};
    QTest::newRow("no header for today") << week << "星期日" << QStringList {};
    QTest::newRow("a header spelled differently is not found")
        << header(u"星期天"_s) + e("10:00:00") << "星期日" << QStringList {};
    QTest::newRow("an entry whose file starts with 星期 ends the day") << header(u"星期四"_s)
            + e("08:00:00") + QStringLiteral("09:00:00, 1 ,x,星期歌.mp3, 5 ,,,,\n")
            + e("10:00:00") << "星期四" << QStringList {u"08:00:00"_s};
}

void tst_ScheduleFile::consoleWeekReader()
{
    QFETCH(QString, content);
    QFETCH(QString, weekday);
    QFETCH(QStringList, times);
    const QString file = path(QStringLiteral("console.txt"));
    GbkFiles::writeText(file, content);
    const auto read = ScheduleFile::readDayOfWeekFile(file, weekday);
    QVERIFY(read.ok);
    QStringList got;
    for (const ScheduleEntry &entry : read.entries)
        got << entry.time;
    QCOMPARE(got, times);
}

void tst_ScheduleFile::consoleDateReaderStopsAtHeader()
{
    const QString e = QStringLiteral("08:00:00, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,\n");
    const QString file = path(QStringLiteral("d.txt"));
    GbkFiles::writeText(file, e + e + header(u"星期一"_s) + e);
    QCOMPARE(ScheduleFile::readDateFile(file).entries.size(), 2);
    // A week file used as a date file schedules nothing.
    GbkFiles::writeText(file, header(u"星期一"_s) + e);
    const auto week = ScheduleFile::readDateFile(file);
    QVERIFY(week.ok);
    QVERIFY(week.entries.isEmpty());
    // The editor's date reader takes the header as an entry: time "00", channel 0.
    const auto editor = ScheduleFile::readDateForEditor(file);
    QCOMPARE(editor.entries.size(), 2);
    QCOMPARE(editor.entries.at(0).time, QStringLiteral("00"));
    QCOMPARE(editor.entries.at(0).channel, qint16(0));
}

void tst_ScheduleFile::readErrors_data()
{
    QTest::addColumn<QString>("content");
    const QString good = QStringLiteral("08:00:00, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,\n");
    QTest::newRow("comma in the description shifts text into the volume")
        << good + QStringLiteral("08:00:00, 1 ,a,b,/f.mp3, 5 ,00:00:01,1.,,\n");
    QTest::newRow("channel beyond 16 bits")
        << good + QStringLiteral("08:00:00, 40000 ,d,f, 5 ,,,,\n");
    QTest::newRow("end of file before the ninth field")
        << good + QStringLiteral("08:00:00, 1 ,d,f\n");
    QTest::newRow("missing file") << QString();
}

void tst_ScheduleFile::readErrors()
{
    QFETCH(QString, content);
    const QString file = path(QStringLiteral("bad.txt"));
    QFile::remove(file);
    if (!content.isNull())
        GbkFiles::writeText(file, header(u"星期一"_s) + content);
    const QByteArray before = GbkFiles::readBytes(file);

    const auto week = ScheduleFile::readWeekForEditor(file);
    QVERIFY(!week.ok);
    QVERIFY(!week.error.isEmpty());
    for (const DayTable &day : week.days)
        QVERIFY(day.isEmpty()); // nothing of the failing file is kept
    const auto date = ScheduleFile::readDateForEditor(file);
    QVERIFY(!date.ok);
    QVERIFY(date.entries.isEmpty());
    const auto today = ScheduleFile::readDayOfWeekFile(file, QStringLiteral("星期一"));
    QVERIFY(!today.ok);
    QVERIFY(today.entries.isEmpty());
    QCOMPARE(GbkFiles::readBytes(file), before); // reading never touches the file
}

void tst_ScheduleFile::consoleRefusesTimesItCannotPlay_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("error"); // empty when the row is taken
    QTest::newRow("impossible time")
        << u"99:99:99, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,"_s << u"第3行：播放时间“99:99:99”"_s;
    QTest::newRow("negative hour")
        << u"-1:00:00, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,"_s << u"第3行：播放时间“-1:00:00”"_s;
    QTest::newRow("one field") << u"5, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,"_s << u"第3行：播放时间“5”"_s;
    QTest::newRow("hour 24") << u"24:00:00, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,"_s
                             << u"第3行：播放时间“24:00:00”"_s;
    QTest::newRow("one-digit hour, which the tick cannot compare")
        << u"7:30:00, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,"_s << u"第3行：播放时间“7:30:00”"_s;
    QTest::newRow("impossible play length")
        << u"08:30:00, 1 ,d,/f.mp3, 5 ,99:99:99,1.,,"_s << u"第3行：播放时长“99:99:99”"_s;
    QTest::newRow("last second of the day")
        << u"23:59:59, 1 ,d,/f.mp3, 5 ,23:59:59,1.,,"_s << QString();
    QTest::newRow("midnight, empty play length")
        << u"00:00:00, 1 ,d,/f.mp3, 5 ,,1.,,"_s << QString();
}

void tst_ScheduleFile::consoleRefusesTimesItCannotPlay()
{
    QFETCH(QString, row);
    QFETCH(QString, error);
    const QString good = u"08:00:00, 1 ,d,/f.mp3, 5 ,00:00:01,1.,,\r\n"_s;
    const QString file = path(u"times.txt"_s);
    // Line 1 the header, line 2 a good row, line 3 the row under test; in
    // the date file two good rows before it.
    GbkFiles::writeText(file, header(u"星期一"_s) + good + row + u"\r\n"_s + good);
    const auto today = ScheduleFile::readDayOfWeekFile(file, u"星期一"_s);
    GbkFiles::writeText(file, good.repeated(2) + row + u"\r\n"_s);
    const auto date = ScheduleFile::readDateFile(file);
    for (const auto &read : {today, date}) {
        QCOMPARE(read.ok, error.isEmpty());
        QVERIFY2(read.error.startsWith(error), qPrintable(read.error));
        // A bad row leaves nothing of the day, so nothing half-plays.
        QCOMPARE(read.entries.size(), error.isEmpty() ? 3 : 0);
    }
    // The editor shows the row as it stands, for the operator to mend.
    const auto editor = ScheduleFile::readDateForEditor(file);
    QVERIFY(editor.ok);
    QCOMPARE(editor.entries.size(), 3);
}

void tst_ScheduleFile::writersRefuseWhatTheFileCannotHold_data()
{
    QTest::addColumn<QString>("field"); // which text field gets the value
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // part of the refusal; empty when written
    QTest::newRow("comma in the description")
        << "detail" << u"上课, 下课"_s << u"内容概述“上课, 下课”中含有逗号"_s;
    QTest::newRow("double quote in the file")
        << "filename" << u"/srv/\"a\".mp3"_s << u"播放文件“/srv/\"a\".mp3”中含有双引号"_s;
    QTest::newRow("line break in the description")
        << "detail" << u"上课\r\n下课"_s << u"中含有换行"_s;
    QTest::newRow("no GBK code in the file")
        << "filename" << u"/srv/铃\U0001F514.mp3"_s << u"中含有GBK编码没有的字符"_s;
    QTest::newRow("comma in the zones") << "zone" << u"1,2."_s << u"分区“1,2.”中含有逗号"_s;
    QTest::newRow("comma after a double quote is named first")
        << "detail" << u"\"早\",操"_s << u"中含有逗号"_s;
    QTest::newRow("Chinese, blanks and other quotes are written")
        << "detail" << u"早操 “广播体操” 第九套"_s << QString();
    QTest::newRow("empty description is written") << "detail" << QString() << QString();
    // 0x1A would end the file for the reader, NUL make it refuse the day.
    for (char16_t c = 0; c <= 0x7f; c = c == 0x1f ? 0x7f : c + 1) {
        const bool lineBreak = c == u'\r' || c == u'\n';
        const QString code = QString::number(c, 16).toUpper().rightJustified(2, u'0');
        QTest::addRow("control 0x%02X in the description", int(c))
            << "detail" << u"上课"_s + QChar(c) + u"下课"_s
            << (lineBreak ? u"中含有换行"_s : u"”中含有控制字符（0x"_s + code + u"）"_s);
    }
    QTest::newRow("0x1A in the file")
        << "filename" << u"/srv/a\x1a.mp3"_s << u"播放文件“/srv/a\x1a.mp3”中含有控制字符（0x1A）"_s;
    QTest::newRow("NUL in the file")
        << "filename" << u"/srv/a"_s + QChar(u'\0') + u".mp3"_s << u"中含有控制字符（0x00）"_s;
    QTest::newRow("tab at the end of the file") << "filename" << u"/srv/a.mp3\t"_s << u"0x09"_s;
    // A start time the console would not play: the whole day would be refused.
    QTest::newRow("one-digit hour")
        << "time" << u"8:00:00"_s << u"播放时间“8:00:00”不是正确的时间"_s;
    QTest::newRow("no seconds") << "time" << u"08:00"_s << u"播放时间“08:00”"_s;
    QTest::newRow("a weekday header's time") << "time" << u"00"_s << u"播放时间“00”"_s;
    QTest::newRow("play length no time") << "plen" << u"abc"_s << u"播放时长“abc”不是正确的时长"_s;
    QTest::newRow("empty play length is written") << "plen" << QString() << QString();
    // Paths keep their blanks: the file system has them so.
    QTest::newRow("a path ending in a blank") << "filename" << u"/srv/a.mp3 "_s << QString();
    QTest::newRow("a path starting with a blank") << "filename" << u" a.mp3"_s << QString();
    QTest::newRow("a folder with blanks at both ends")
        << "filename" << u"  /srv/歌 曲/  "_s << QString();
    QTest::newRow("a description with blanks at its ends") << "detail" << u" 早操 "_s << QString();
    // The console would end the day at it, as at the next day's header.
    QTest::newRow("a file named like a weekday header")
        << "filename" << u"星期一.mp3"_s << u"播放文件“星期一.mp3”以“星期”开头"_s;
    QTest::newRow("a description named like a header is written")
        << "detail" << u"星期一早操"_s << QString();
}

void tst_ScheduleFile::writersRefuseWhatTheFileCannotHold()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    ScheduleEntry e = makeEntry(u"08:00:00"_s, 1, u"早操"_s, u"/srv/a.mp3"_s, 80);
    e.plen = u"00:01:00"_s;
    e.zone = u"1.2."_s;
    QString *target = field == u"detail" ? &e.detail
        : field == u"zone"               ? &e.zone
        : field == u"time"               ? &e.time
        : field == u"plen"               ? &e.plen
                                         : &e.filename;
    *target = value;
    const QString week = path(u"week.txt"_s);
    const QString date = path(u"date.txt"_s);
    const QByteArray old = toGbk(u"00,00,00,星期一,00,00,00,00,00\r\n"_s);
    GbkFiles::writeBytes(week, old);
    GbkFiles::writeBytes(date, old);
    WeekTables days;
    days[2] = {makeEntry(u"07:00:00"_s, 2, u"x"_s, u"/srv/b.mp3"_s, 1), e};
    const QString weekError = ScheduleFile::writeWeekFile(week, days);
    const QString dateError = ScheduleFile::writeDateFile(date, {e});
    if (message.isEmpty()) {
        QCOMPARE(weekError, QString());
        QCOMPARE(dateError, QString());
        // What the writer lets through, the console and the editor read back
        // exactly as written.
        const auto read = ScheduleFile::readDayOfWeekFile(week, u"星期三"_s);
        QVERIFY2(read.ok, qPrintable(read.error));
        QCOMPARE(read.entries.value(1), e);
        QCOMPARE(ScheduleFile::readWeekForEditor(week).days[2], days[2]);
        QCOMPARE(ScheduleFile::readDateFile(date).entries, DayTable {e});
        QCOMPARE(ScheduleFile::readDateForEditor(date).entries, DayTable {e});
    } else {
        QVERIFY2(weekError.startsWith(u"星期三第2条的"_s), qPrintable(weekError));
        QVERIFY2(weekError.contains(message), qPrintable(weekError));
        QVERIFY2(weekError.endsWith(u"，无法保存。"_s), qPrintable(weekError));
        QVERIFY2(dateError.startsWith(u"第1条的"_s), qPrintable(dateError));
        QVERIFY2(dateError.contains(message), qPrintable(dateError));
        // Nothing was written: the old file byte for byte.
        QCOMPARE(GbkFiles::readBytes(week), old);
        QCOMPARE(GbkFiles::readBytes(date), old);
    }
}

void tst_ScheduleFile::failedWriteKeepsOldFile()
{
    const QString file = path(QStringLiteral("locked.txt"));
    QCOMPARE(ScheduleFile::writeDateFile(file, {makeEntry(u"08:00:00"_s, 1, u"a"_s, u"b"_s, 1)}),
             QString());
    const QByteArray before = GbkFiles::readBytes(file);
    QFile::setPermissions(file, QFile::ReadOwner);
    WeekTables week;
    week[0].append(makeEntry(u"09:00:00"_s, 2, u"c"_s, u"d"_s, 2));
    const QString error = ScheduleFile::writeWeekFile(file, week);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(!error.isEmpty());
    QCOMPARE(GbkFiles::readBytes(file), before);
    QVERIFY(ScheduleFile::writeErrorText(file, error).contains(file));
}

QTEST_GUILESS_MAIN(tst_ScheduleFile)
#include "tst_schedulefile.moc"
