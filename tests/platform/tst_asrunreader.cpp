// Reading a day of the as-run log back: quoted fields, lines cut short or
// garbled by a crash or a failing disk, other line ends, and days without a
// file, each read without losing the good lines around them.

#include "platform/asrunlog.h"
#include "platform/asrunreader.h"
#include "support/fakeclock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Entries = QList<AsRunEntry>;
Q_DECLARE_METATYPE(AsRunEntry)

namespace {
QByteArray day(const QString &lines)
{
    return (AsRunLog::header() + u'\n' + lines).toUtf8();
}

AsRunEntry at(const QString &time, const QString &kind, const QString &text)
{
    return {u"2026-12-07 "_s + time, kind, text};
}

QString described(const Entries &entries)
{
    QStringList lines;
    for (const AsRunEntry &e : entries)
        lines << e.time + u" | "_s + e.kind + u" | "_s + e.text;
    return lines.join(u'\n');
}
} // namespace

class tst_AsRunReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void missingAndUnreadable();
    void readsBackWhatWasWritten_data();
    void readsBackWhatWasWritten();
};

void tst_AsRunReader::parse_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<int>("damaged");

    const AsRunEntry start = at(u"07:00:00"_s, u"启动"_s, u"控制台启动"_s);
    const QString startLine = u"2026-12-07 07:00:00,启动,控制台启动\n"_s;
    const AsRunEntry bell = at(u"07:30:05"_s, u"播放"_s, u"bell.wav"_s);
    const QString bellLine = u"2026-12-07 07:30:05,播放,bell.wav\n"_s;

    QTest::newRow("empty file") << QByteArray() << Entries {} << 0;
    QTest::newRow("header only") << day({}) << Entries {} << 0;
    QTest::newRow("header without line end") << AsRunLog::header().toUtf8() << Entries {} << 0;
    QTest::newRow("plain lines") << day(startLine + bellLine) << Entries {start, bell} << 0;
    QTest::newRow("empty text") << day(u"2026-12-07 07:00:00,结束,\n"_s)
                                << Entries {at(u"07:00:00"_s, u"结束"_s, {})} << 0;
    QTest::newRow("quoted text with commas")
        << day(u"2026-12-07 08:00:00,播放,\"a,b,c.mp3\"\n"_s)
        << Entries {at(u"08:00:00"_s, u"播放"_s, u"a,b,c.mp3"_s)} << 0;
    QTest::newRow("doubled quotes")
        << day(u"2026-12-07 08:00:00,播放,\"say \"\"hi\"\", \"\"\"\"\"\n"_s)
        << Entries {at(u"08:00:00"_s, u"播放"_s, u"say \"hi\", \"\""_s)} << 0;
    QTest::newRow("quoted kind") << day(u"2026-12-07 08:00:00,\"a,\"\"b\",text\n"_s)
                                 << Entries {at(u"08:00:00"_s, u"a,\"b"_s, u"text"_s)} << 0;
    // Written by hand or by another program: the rest of the line is the text.
    QTest::newRow("unquoted text with a comma")
        << day(u"2026-12-07 08:00:00,保存,a,b\n"_s)
        << Entries {at(u"08:00:00"_s, u"保存"_s, u"a,b"_s)} << 0;
    QTest::newRow("windows line ends")
        << day(startLine + bellLine).replace("\n", "\r\n") << Entries {start, bell} << 0;
    QTest::newRow("byte order mark")
        << QByteArray("\xEF\xBB\xBF") + day(startLine) << Entries {start} << 0;
    QTest::newRow("blank lines") << day(u"\n"_s + startLine + u"\n\n"_s + bellLine)
                                 << Entries {start, bell} << 0;
    QTest::newRow("last line whole without its line end")
        << day(startLine + bellLine.chopped(1)) << Entries {start, bell} << 0;
    QTest::newRow("last line cut in its time")
        << day(startLine + u"2026-12-07 07:3"_s) << Entries {start} << 1;
    QTest::newRow("last line cut after its time")
        << day(startLine + u"2026-12-07 07:30:05,"_s) << Entries {start} << 1;
    QTest::newRow("last line cut in its kind")
        << day(startLine + u"2026-12-07 07:30:05,播"_s) << Entries {start} << 1;
    QTest::newRow("last line cut inside the quotes")
        << day(startLine + u"2026-12-07 07:30:05,发送,\"代码 0x14, 参"_s) << Entries {start} << 1;
    QTest::newRow("last line cut in a character")
        << day(startLine).append(QByteArray("2026-12-07 07:30:05,\xE6\x92", 23)) << Entries {start}
        << 1;
    // A disk that lost power may leave a run of zero bytes where lines were.
    QTest::newRow("zero bytes between lines")
        << day(startLine).append(QByteArray(40, '\0')).append('\n').append(bellLine.toUtf8())
        << Entries {start, bell} << 1;
    QTest::newRow("zero bytes at the end")
        << day(startLine + bellLine).append(QByteArray(4096, '\0')) << Entries {start, bell} << 1;
    QTest::newRow("garbled time") << day(startLine + u"2026-12-07 7:30:05,播放,x\n"_s + bellLine)
                                  << Entries {start, bell} << 1;
    QTest::newRow("no kind") << day(u"2026-12-07 07:30:05\n"_s + bellLine) << Entries {bell} << 1;
    QTest::newRow("more after the closing quote")
        << day(u"2026-12-07 07:30:05,播放,\"a\"b\n"_s + bellLine) << Entries {bell} << 1;
    QTest::newRow("unclosed quote does not swallow the next line")
        << day(u"2026-12-07 07:30:05,播放,\"a\n"_s + bellLine) << Entries {bell} << 1;
    QTest::newRow("unclosed quoted kind")
        << day(u"2026-12-07 07:30:05,\"播放,a\n"_s + bellLine) << Entries {bell} << 1;
    // Two files joined (a restored day appended to): the second header is no line.
    QTest::newRow("header in the middle")
        << day(startLine + AsRunLog::header() + u'\n' + bellLine) << Entries {start, bell} << 0;
}

void tst_AsRunReader::parse()
{
    QFETCH(QByteArray, data);
    QFETCH(Entries, entries);
    QFETCH(int, damaged);
    const AsRunDay read = parseAsRunDay(data);
    QVERIFY2(read.entries == entries, qPrintable(described(read.entries)));
    QCOMPARE(read.damaged, damaged);
    QVERIFY(!read.missing);
    QVERIFY(read.error.isEmpty());
}

void tst_AsRunReader::missingAndUnreadable()
{
    QTemporaryDir dir;
    const AsRunDay none = readAsRunDay(dir.filePath(u"log/20261207.csv"_s));
    QVERIFY(none.missing);
    QVERIFY(none.entries.isEmpty());
    QVERIFY(none.error.isEmpty());
    // A folder where the day's file should be cannot be read as one.
    QVERIFY(QDir(dir.path()).mkpath(u"log/20261208.csv"_s));
    const AsRunDay folder = readAsRunDay(dir.filePath(u"log/20261208.csv"_s));
    QVERIFY(!folder.missing);
    QVERIFY(folder.entries.isEmpty());
    QVERIFY(!folder.error.isEmpty());
}

void tst_AsRunReader::readsBackWhatWasWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read"); // the text as read back
    QTest::newRow("plain") << u"播放"_s << u"/srv/广播/铃声.mp3"_s << u"/srv/广播/铃声.mp3"_s;
    QTest::newRow("commas") << u"发送"_s << u"代码 0x14 参数 5 0 值 1,2,3"_s
                            << u"代码 0x14 参数 5 0 值 1,2,3"_s;
    QTest::newRow("quotes") << u"保存"_s << u"\"a\" \"\"b\"\""_s << u"\"a\" \"\"b\"\""_s;
    QTest::newRow("only a quote") << u"保存"_s << u"\""_s << u"\""_s;
    QTest::newRow("line breaks become blanks") << u"错过"_s << u"a\r\nb\nc\rd"_s << u"a b c d"_s;
    QTest::newRow("kind with a comma") << u"类,别"_s << u"x"_s << u"x"_s;
    QTest::newRow("empty") << u"结束"_s << QString() << QString();
    QTest::newRow("looks like a header") << u"类别"_s << u"时间,类别,内容"_s << u"时间,类别,内容"_s;
}

void tst_AsRunReader::readsBackWhatWasWritten()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, read);
    QTemporaryDir dir;
    FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 5)));
    AsRunLog log(AppFolder(dir.path()), clock);
    QVERIFY(log.record(u"启动"_s, u"控制台启动"_s));
    QVERIFY(log.record(kind, text));
    clock.advanceSeconds(1);
    QVERIFY(log.record(u"结束"_s, u"程序结束"_s));
    const AsRunDay day = readAsRunDay(log.fileFor(QDate(2026, 12, 7)));
    const Entries expected {at(u"07:30:05"_s, u"启动"_s, u"控制台启动"_s),
                            at(u"07:30:05"_s, kind, read),
                            at(u"07:30:06"_s, u"结束"_s, u"程序结束"_s)};
    QVERIFY2(day.entries == expected, qPrintable(described(day.entries)));
    QCOMPARE(day.damaged, 0);
}

QTEST_GUILESS_MAIN(tst_AsRunReader)
#include "tst_asrunreader.moc"
