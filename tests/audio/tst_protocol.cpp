// The lines between the console and its audio engine: what is written is
// read back the same, byte for byte, and what is not a message is refused.

#include "audio/protocol.h"

#include <QTest>

using namespace audioproto;

class tst_Protocol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void decodes_data();
    void decodes();
    void linesOfAStream();
};

void tst_Protocol::roundTrip_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("plain") << QByteArray("abc/def.wav") << QByteArray("abc/def.wav");
    QTest::newRow("space and percent") << QByteArray("a b%c") << QByteArray("a%20b%25c");
    QTest::newRow("line ends and tab") << QByteArray("x\ny\rz\t") << QByteArray("x%0Ay%0Dz%09");
    QTest::newRow("NUL, 0x1A and DEL")
        << QByteArray("a\0b\x1a\x7f", 5) << QByteArray("a%00b%1A%7F");
    // GBK and UTF-8 bytes pass as they are.
    QTest::newRow("UTF-8") << QByteArray("/歌/上课铃.wav") << QByteArray("/歌/上课铃.wav");
    QTest::newRow("GBK") << QByteArray("\xc9\xcf\xbf\xce") << QByteArray("\xc9\xcf\xbf\xce");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void tst_Protocol::roundTrip()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, escaped);
    const std::string raw(text.constData(), std::size_t(text.size()));
    QCOMPARE(QByteArray::fromStdString(escape(raw)), escaped);
    QCOMPARE(unescape(escape(raw)), std::optional<std::string>(raw));
    const std::string line = encode("play", {"7", raw});
    QCOMPARE(line.back(), '\n');
    QCOMPARE(std::count(line.begin(), line.end(), '\n'), 1); // one line whatever the text
    const std::optional<Message> m = decode(std::string_view(line).substr(0, line.size() - 1));
    QVERIFY(m);
    QCOMPARE(m->verb, std::string("play"));
    QCOMPARE(m->args.size(), std::size_t(2));
    QCOMPARE(m->number(0), std::optional<std::int64_t>(7));
    QCOMPARE(m->arg(1), raw);
}

void tst_Protocol::decodes_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("arguments");
    QTest::addColumn<QString>("number0"); // "-" when not a number
    QTest::addColumn<QString>("fraction1"); // "-" when not a fraction
    QTest::newRow("verb alone") << QByteArray("ping") << true << 0 << "-"
                                << "-";
    QTest::newRow("CR before LF is dropped") << QByteArray("pong 3\r") << true << 1 << "3"
                                             << "-";
    QTest::newRow("volume") << QByteArray("play 12 0.125") << true << 2 << "12"
                            << "0.125";
    QTest::newRow("whole volume") << QByteArray("volume 1 1") << true << 2 << "1"
                                  << "1";
    QTest::newRow("empty argument") << QByteArray("x  y") << true << 2 << "-"
                                    << "-";
    QTest::newRow("blank line") << QByteArray("") << false << 0 << "-"
                                << "-";
    QTest::newRow("leading space") << QByteArray(" ping") << false << 0 << "-"
                                   << "-";
    QTest::newRow("verb of control bytes") << QByteArray("\r\r") << false << 0 << "-"
                                           << "-";
    QTest::newRow("verb with a percent") << QByteArray("p%20ng 1") << false << 0 << "-"
                                         << "-";
    QTest::newRow("broken escape") << QByteArray("probe 1 a%2") << false << 0 << "-"
                                   << "-";
    QTest::newRow("escape not hex") << QByteArray("probe 1 a%zz") << false << 0 << "-"
                                    << "-";
    QTest::newRow("number with sign") << QByteArray("x -5 .5") << true << 2 << "-5"
                                      << "0.5";
    QTest::newRow("number with junk") << QByteArray("x 5a 1.2.3") << true << 2 << "-"
                                      << "-";
    QTest::newRow("exponent is no fraction") << QByteArray("x 1 1e3") << true << 2 << "1"
                                             << "-";
    QTest::newRow("point alone") << QByteArray("x 1 .") << true << 2 << "1"
                                 << "-";
}

void tst_Protocol::decodes()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(int, arguments);
    QFETCH(QString, number0);
    QFETCH(QString, fraction1);
    const std::optional<Message> m = decode(line.toStdString());
    QCOMPARE(m.has_value(), valid);
    if (!m)
        return;
    QCOMPARE(int(m->args.size()), arguments);
    const std::optional<std::int64_t> n = m->number(0);
    QCOMPARE(n ? QString::number(*n) : QStringLiteral("-"), number0);
    const std::optional<double> f = m->fraction(1);
    QCOMPARE(f ? QString::number(*f) : QStringLiteral("-"), fraction1);
    QCOMPARE(m->arg(99), std::string()); // a missing argument reads as empty
    QCOMPARE(formatFraction(0.125), std::string("0.125"));
    QCOMPARE(formatFraction(1.0), std::string("1"));
}

void tst_Protocol::linesOfAStream()
{
    LineReader reader;
    // Lines come in pieces, several at once, and a line over the limit is
    // dropped whole while the ones around it stand.
    reader.append("ping 1\npo");
    QCOMPARE(reader.next(), std::optional<std::string>("ping 1"));
    QCOMPARE(reader.next(), std::nullopt);
    reader.append("ng 2\n");
    QCOMPARE(reader.next(), std::optional<std::string>("pong 2"));
    reader.append(std::string(kMaxLine, 'x'));
    reader.append(std::string(10, 'y'));
    QCOMPARE(reader.next(), std::nullopt);
    reader.append("zzz\nafter\n");
    QCOMPARE(reader.next(), std::optional<std::string>("after"));
    QCOMPARE(reader.droppedLines(), std::size_t(1));
    // Exactly at the limit is a line; one more byte is not.
    reader.append(std::string(kMaxLine, 'a') + "\n" + std::string(kMaxLine + 1, 'b') + "\nend\n");
    QCOMPARE(reader.next()->size(), kMaxLine);
    QCOMPARE(reader.next(), std::optional<std::string>("end"));
    QCOMPARE(reader.droppedLines(), std::size_t(2));
}

QTEST_APPLESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
