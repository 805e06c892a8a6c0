#include "platform/fieldreader.h"
#include "platform/gbk.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Reads fields by a pattern: 't' a text field, 'i' a 16-bit integer field.
// Each value read is appended as text; a failed read appends "!" and stops.
static QStringList readPattern(FieldReader &reader, const QString &pattern)
{
    QStringList values;
    for (QChar kind : pattern) {
        if (kind == u't') {
            QString text;
            if (!reader.readText(text))
                return values << QStringLiteral("!");
            values << text;
        } else {
            qint16 number = 0;
            if (!reader.readInt16(number))
                return values << QStringLiteral("!");
            values << QString::number(number);
        }
    }
    return values;
}

class tst_FieldReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fields_data();
    void fields();
    void gbkTrailBytesAreNotSeparators();
    void endOfData_data();
    void endOfData();
    void gbkCallsAreIndependent();
    void errorsNameTheFieldsLine_data();
    void errorsNameTheFieldsLine();
};

void tst_FieldReader::fields_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("schedule line with padded numbers")
        << QByteArray("07:30:00, 1 ,up,D:\\bell\\up.mp3, 80 ,00:01:00,1.2.,1.,\r\n") << "tittitttt"
        << QStringList {u"07:30:00"_s, u"1"_s,        u"up"_s,   u"D:\\bell\\up.mp3"_s,
                        u"80"_s,       u"00:01:00"_s, u"1.2."_s, u"1."_s,
                        u""_s};
    QTest::newRow("quoted fields keep commas and blanks")
        << QByteArray("\"a, b\",\" 7 \",\"x\"\r\n") << "ttt"
        << QStringList {u"a, b"_s, u" 7 "_s, u"x"_s};
    QTest::newRow("text after a closing quote is dropped")
        << QByteArray("\"name\"junk,next\r\n") << "tt" << QStringList {u"name"_s, u"next"_s};
    QTest::newRow("record continues on the next line")
        << QByteArray("a,b\r\nc\r\n") << "ttt" << QStringList {u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("LF-only and CR-only line ends")
        << QByteArray("a\nb\rc") << "ttt" << QStringList {u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("leading blanks skipped, trailing blanks cut")
        << QByteArray("   a b  ,\tc\r\n") << "tt" << QStringList {u"a b"_s, u"c"_s};
    QTest::newRow("blank lines between records hold no field")
        << QByteArray("a\r\n\r\n   \r\nb\r\n") << "tt" << QStringList {u"a"_s, u"b"_s};
    QTest::newRow("empty field at the end of the data after a comma")
        << QByteArray("a,") << "tt" << QStringList {u"a"_s, u""_s};
    QTest::newRow("negative and signed numbers")
        << QByteArray("-5 ,+7,") << "ii" << QStringList {u"-5"_s, u"7"_s};
    QTest::newRow("header zeros read as numbers")
        << QByteArray("00,00") << "ii" << QStringList {u"0"_s, u"0"_s};
    QTest::newRow("empty number field is 0")
        << QByteArray(",3") << "ii" << QStringList {u"0"_s, u"3"_s};
    QTest::newRow("16-bit limits")
        << QByteArray("32767,-32768") << "ii" << QStringList {u"32767"_s, u"-32768"_s};
    QTest::newRow("text where a number belongs")
        << QByteArray("abc,1") << "ii" << QStringList {u"!"_s};
    QTest::newRow("number with trailing text") << QByteArray("12x") << "i" << QStringList {u"!"_s};
    QTest::newRow("number beyond 16 bits") << QByteArray("32768") << "i" << QStringList {u"!"_s};
    QTest::newRow("number below 16 bits") << QByteArray("-32769") << "i" << QStringList {u"!"_s};
    QTest::newRow("reading past the end")
        << QByteArray("a,b\r\n") << "ttt" << QStringList {u"a"_s, u"b"_s, u"!"_s};
    QTest::newRow("NUL byte in a text field")
        << QByteArray("ok,a\0b,c", 9) << "ttt" << QStringList {u"ok"_s, u"!"_s};
    QTest::newRow("lead byte with a trail byte GBK does not have (0x7F)")
        << QByteArray("ok,a\x81\x7f,c") << "ttt" << QStringList {u"ok"_s, u"!"_s};
    QTest::newRow("GBK lead byte without its trail")
        << QByteArray("ok,\xd6,c") << "ttt" << QStringList {u"ok"_s, u"!"_s};
    QTest::newRow("GBK lead byte cut at the end of the data")
        << QByteArray("ok,\xd6") << "tt" << QStringList {u"ok"_s, u"!"_s};
    QTest::newRow("two-byte GBK text is taken")
        << toGbk(u"中文,\"引号\"") << "tt" << QStringList {u"中文"_s, u"引号"_s};
    // Repeated short texts are shared between rows; texts that meet in the
    // same slot of that table stay apart.
    QTest::newRow("repeated and look-alike texts")
        << toGbk(u"axb,ayb,axb,axb,\"axb\",中b,中b") << "ttttttt"
        << QStringList {u"axb"_s, u"ayb"_s, u"axb"_s, u"axb"_s, u"axb"_s, u"中b"_s, u"中b"_s};
    QTest::newRow("DOS end-of-file mark ends the data") << QByteArray("a\r\n\x1a"
                                                                      "b\r\n")
                                                        << "tt" << QStringList {u"a"_s, u"!"_s};
}

void tst_FieldReader::fields()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    FieldReader reader(data);
    QCOMPARE(readPattern(reader, pattern), expected);
    if (expected.last() == u"!")
        QVERIFY(!reader.errorText().isEmpty());
}

void tst_FieldReader::gbkTrailBytesAreNotSeparators()
{
    // "星期一" and a name whose second byte is a backslash (0x5C) in GBK: "圹" = DB 5C.
    const QByteArray data = toGbk(u"星期一,圹\\x,\"中,文\"\r\n");
    FieldReader reader(data);
    QCOMPARE(
        readPattern(reader, QStringLiteral("ttt")),
        (QStringList {QStringLiteral("星期一"), QStringLiteral("圹\\x"), QStringLiteral("中,文")}));
    QVERIFY(reader.atEnd());
}

void tst_FieldReader::gbkCallsAreIndependent()
{
    // The converters are kept between calls: a half character, a bad byte or
    // a character without a code must not leak into the next call.
    const QByteArray zhong = toGbk(u"中");
    QCOMPARE(zhong.size(), 2);
    QVERIFY(!fromGbkStrict(zhong.left(1)));
    QCOMPARE(fromGbkStrict(toGbk(u"中文")), std::optional<QString>(u"中文"_s));
    QVERIFY(!fromGbkStrict(QByteArray("\x81\x7f")));
    QCOMPARE(fromGbk(toGbk(u"楼")), u"楼"_s);
    QVERIFY(!gbkCanHold(u"铃\U0001F514"));
    QVERIFY(gbkCanHold(u"铃"));
    QCOMPARE(toGbk(u"铃"), QByteArray("\xc1\xe5"));
    // Nor is half a surrogate pair at the end held back for the next text.
    QVERIFY(!gbkCanHold(u"铃\xD83D"));
    QCOMPARE(toGbk(u"铃"), QByteArray("\xc1\xe5"));
    QVERIFY(gbkCanHold(u"铃"));
}

void tst_FieldReader::errorsNameTheFieldsLine_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("line");
    // The faulty field is the last one read; its own line is named, not the
    // line the reader has moved on to after the line end.
    QTest::newRow("last field of line 2, CR LF")
        << QByteArray("1,2\r\n3,x\r\n5,6\r\n") << "iiii" << 2;
    QTest::newRow("first field of line 3, CR LF")
        << QByteArray("1,2\r\n3,4\r\nx,6\r\n") << "iiiii" << 3;
    QTest::newRow("LF only") << QByteArray("1\n2\nx\n") << "iii" << 3;
    QTest::newRow("CR only") << QByteArray("1\r2\rx\r") << "iii" << 3;
    QTest::newRow("after blank lines") << QByteArray("1\r\n\r\n\r\nx\r\n") << "ii" << 4;
    QTest::newRow("after a quoted field with CR LF inside")
        << QByteArray("\"a\r\nb\",1\r\nx\r\n") << "tii" << 3;
    QTest::newRow("after a quoted field with a lone CR inside")
        << QByteArray("\"a\rb\",1\r\nx\r\n") << "tii" << 3;
    QTest::newRow("NUL in the last field of line 2")
        << QByteArray("a\r\nb,c\0\r\n", 10) << "ttt" << 2;
    QTest::newRow("past the end, after two lines") << QByteArray("a\r\nb\r\n") << "ttt" << 3;
}

void tst_FieldReader::errorsNameTheFieldsLine()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, pattern);
    QFETCH(int, line);
    FieldReader reader(data);
    const QStringList values = readPattern(reader, pattern);
    QVERIFY2(values.endsWith(u"!"_s), qPrintable(values.join(u'|')));
    QVERIFY2(reader.errorText().startsWith(u"第%1行："_s.arg(line)),
             qPrintable(reader.errorText()));
}

void tst_FieldReader::endOfData_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("fieldsBefore");
    QTest::addColumn<bool>("atEnd");

    QTest::newRow("empty data") << QByteArray() << 0 << true;
    QTest::newRow("only line ends") << QByteArray("\r\n\r\n  \r\n") << 0 << true;
    QTest::newRow("after the last line end") << QByteArray("a,b\r\n") << 2 << true;
    QTest::newRow("trailing blank lines") << QByteArray("a\r\n\r\n\r\n") << 1 << true;
    QTest::newRow("a comma promises another field") << QByteArray("a,") << 1 << false;
    QTest::newRow("more to come") << QByteArray("a\r\nb") << 1 << false;
}

void tst_FieldReader::endOfData()
{
    QFETCH(QByteArray, data);
    QFETCH(int, fieldsBefore);
    QFETCH(bool, atEnd);
    FieldReader reader(data);
    for (int i = 0; i < fieldsBefore; ++i)
        QVERIFY(reader.skip());
    QCOMPARE(reader.atEnd(), atEnd);
}

QTEST_GUILESS_MAIN(tst_FieldReader)
#include "tst_fieldreader.moc"
