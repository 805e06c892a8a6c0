#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Frames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buildFrame_data();
    void buildFrame();
    void buildFrames_data();
    void buildFrames();
    void frameListReadsTheValues_data();
    void frameListReadsTheValues();
    void listMinus_data();
    void listMinus();
    void frequencySplit_data();
    void frequencySplit();
    void timeLists();
    void statusReply_data();
    void statusReply();
    void decoderSplitsFramesAndStrayBytes();
};

void tst_Frames::buildFrame_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("p1");
    QTest::addColumn<QString>("p2");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QByteArray>("frame"); // hex; empty: refused

    QTest::newRow("zone open example") << "1"
                                       << "10"
                                       << "35"
                                       << "3.17.200." << QByteArray("EB14010A2303 0311C8 FE01");
    QTest::newRow("clock query, empty list") << "11"
                                             << "0"
                                             << "0"
                                             << "" << QByteArray("EB140B000000FE01");
    QTest::newRow("list without its final stop loses the last item")
        << "3"
        << "0"
        << "0"
        << "1.2.3" << QByteArray("EB1403000002 0102 FE01");
    QTest::newRow("consecutive stops add nothing")
        << "3"
        << "0"
        << "0"
        << "1..2." << QByteArray("EB1403000002 0102 FE01");
    QTest::newRow("time list") << "7"
                               << "0"
                               << "0"
                               << "07.55.00." << QByteArray("EB1407000003 073700 FE01");
    QTest::newRow("matrix route") << "88"
                                  << "0"
                                  << "0"
                                  << "37." << QByteArray("EB1458000001 25 FE01");
    QTest::newRow("item and parameter of exactly 255")
        << "1"
        << "255"
        << "0"
        << "0.255." << QByteArray("EB1401FF0002 00FF FE01");
    QTest::newRow("item above 255") << "2"
                                    << "0"
                                    << "0"
                                    << "1.256." << QByteArray();
    QTest::newRow("item that is no number") << "2"
                                            << "0"
                                            << "0"
                                            << "1.a." << QByteArray();
    QTest::newRow("negative item") << "2"
                                   << "0"
                                   << "0"
                                   << "-1." << QByteArray();
    QTest::newRow("parameter above 255") << "1"
                                         << "256"
                                         << "0"
                                         << "1." << QByteArray();
    QTest::newRow("parameter that is no number") << "1"
                                                 << "x"
                                                 << "0"
                                                 << "1." << QByteArray();
    QTest::newRow("code that is no number") << ""
                                            << "0"
                                            << "0"
                                            << "1." << QByteArray();
    QString many;
    for (int i = 0; i < 256; ++i)
        many += QString::number(i % 256) + u'.';
    QTest::newRow("256 values") << "2"
                                << "0"
                                << "0" << many << QByteArray();
}

void tst_Frames::buildFrame()
{
    QFETCH(QString, code);
    QFETCH(QString, p1);
    QFETCH(QString, p2);
    QFETCH(QString, list);
    QFETCH(QByteArray, frame);
    const auto built = BuildFrame(code, p1, p2, list);
    if (frame.isEmpty()) {
        QVERIFY(!built.has_value());
        return;
    }
    QVERIFY(built.has_value());
    QCOMPARE(built->toHex().toUpper(), QByteArray(frame).replace(' ', ""));
}

namespace {
// "from.from+1.….to." (or downwards when to < from), each value mod 256.
QString run(int from, int to)
{
    QString list;
    const int step = from <= to ? 1 : -1;
    for (int v = from;; v += step) {
        list += QString::number(v % 256) + u'.';
        if (v == to)
            break;
    }
    return list;
}
} // namespace

void tst_Frames::buildFrames_data()
{
    QTest::addColumn<QString>("p1");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<int>>("counts"); // N of each frame; empty: refused whole

    QTest::newRow("0 values: one frame without values") << u"0"_s << QString() << QList<int> {0};
    QTest::newRow("1 value") << u"0"_s << u"17."_s << QList<int> {1};
    QTest::newRow("255 values: one full frame") << u"0"_s << run(0, 254) << QList<int> {255};
    QTest::newRow("256 values: a full frame and one")
        << u"0"_s << run(0, 255) << QList<int> {255, 1};
    QTest::newRow("511 values") << u"0"_s << run(0, 510) << QList<int> {255, 255, 1};
    QTest::newRow("512 values") << u"0"_s << run(0, 511) << QList<int> {255, 255, 2};
    QTest::newRow("order kept, descending") << u"10"_s << run(255, 0) << QList<int> {255, 1};
    QTest::newRow("stops and a last item without one, as in one frame")
        << u"10"_s << u"1..2."_s + run(3, 257) + u"9"_s << QList<int> {255, 2};
    QTest::newRow("a bad value in the second frame refuses the first too")
        << u"0"_s << run(0, 299) + u"256."_s << QList<int> {};
    QTest::newRow("a value that is no number refuses all")
        << u"0"_s << run(0, 254) + u"x."_s + run(0, 9) << QList<int> {};
    QTest::newRow("a parameter above 255 refuses all") << u"256"_s << run(0, 299) << QList<int> {};
}

void tst_Frames::buildFrames()
{
    QFETCH(QString, p1);
    QFETCH(QString, list);
    QFETCH(QList<int>, counts);
    const auto frames = BuildFrames(u"1"_s, p1, u"35"_s, list);
    if (counts.isEmpty()) {
        QVERIFY(!frames.has_value());
        return;
    }
    QVERIFY(frames.has_value());
    QList<int> shape;
    QList<int> values;
    for (const QByteArray &frame : *frames) {
        const auto pieces = FrameDecoder().feed(frame);
        QCOMPARE(pieces.size(), 1);
        QVERIFY(pieces.at(0).isFrame);
        const FrameDecoder::Frame &f = pieces.at(0).frame;
        // Every frame carries the same command and parameters.
        QCOMPARE(QList<int>({f.code, f.p1, f.p2}), QList<int>({1, p1.toInt(), 35}));
        shape << int(f.values.size());
        values << f.values;
    }
    QCOMPARE(shape, counts);
    // All the values, in list order, as one frame would have carried them.
    QList<int> expected;
    for (const QString &item : list.left(list.lastIndexOf(u'.') + 1).split(u'.')) {
        if (!item.isEmpty())
            expected << item.toInt();
    }
    QCOMPARE(values, expected);
    // A list one frame carries gives exactly the frame it always gave.
    if (frames->size() == 1)
        QCOMPARE(frames->at(0), *BuildFrame(u"1"_s, p1, u"35"_s, list));
}

void tst_Frames::frameListReadsTheValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("list");
    QTest::newRow("three values") << *BuildFrame(1, 10, 35, u"3.17.200."_s) << u"3.17.200."_s;
    QTest::newRow("no values") << *BuildFrame(2, 0, 0, QString()) << QString();
    QTest::newRow("a full frame") << *BuildFrame(2, 0, 0, run(255, 1)) << run(255, 1);
    QTest::newRow("cut short") << BuildFrame(2, 0, 0, u"3.17."_s)->chopped(1) << QString();
    QTest::newRow("too short to be one") << QByteArray::fromHex("EB1402") << QString();
}

void tst_Frames::frameListReadsTheValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, list);
    QCOMPARE(frameList(bytes), list);
}

void tst_Frames::listMinus_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("result");
    QTest::newRow("one out") << "1.2.3."
                             << "2."
                             << "1.3.";
    QTest::newRow("b empty") << "1.2."
                             << ""
                             << "1.2.";
    QTest::newRow("a empty") << ""
                             << "1."
                             << "";
    QTest::newRow("all out") << "1.2."
                             << "1.2."
                             << "";
    QTest::newRow("text, not digits, compared") << "10.1."
                                                << "1."
                                                << "10.";
    QTest::newRow("order of a kept") << "9.3.7."
                                     << "3."
                                     << "9.7.";
}

void tst_Frames::listMinus()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, result);
    QCOMPARE(ListMinus(a, b), result);
}

void tst_Frames::frequencySplit_data()
{
    QTest::addColumn<int>("tenths");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("low");
    QTest::newRow("103.5") << 1035 << "10"
                           << "35";
    QTest::newRow("87.5") << 875 << "8"
                          << "75";
    QTest::newRow("110.0") << 1100 << "11"
                           << "0";
    QTest::newRow("unset") << 0 << "0"
                           << "0";
}

void tst_Frames::frequencySplit()
{
    QFETCH(int, tenths);
    QFETCH(QString, high);
    QFETCH(QString, low);
    const FrequencyParameters f = splitFrequency(tenths);
    QCOMPARE(f.FreqHigh, high);
    QCOMPARE(f.FreqLow, low);
}

void tst_Frames::timeLists()
{
    QCOMPARE(timeDotList(QStringLiteral("07:55:00")), QStringLiteral("07.55.00."));
    QCOMPARE(BuildFrame(CommandCode::PowerOnTimeSet, 0, 0, timeDotList(QStringLiteral("05:00:00")))
                 ->toHex(),
             QByteArray("eb1409000003050000fe01"));
}

void tst_Frames::statusReply_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("volume");
    QTest::newRow("tuned terminal")
        << QByteArray::fromHex("0000 41FF 0000 11 0A23 14 0000") << 17 << true << 1035 << 20;
    QTest::newRow("constant voltage")
        << QByteArray::fromHex("0000 41FF 0000 05 5858 10 0000") << 5 << true << 8888 << 16;
    QTest::newRow("another terminal")
        << QByteArray::fromHex("0000 41FF 0000 06 0A23 14 0000") << 5 << false << 0 << 0;
    QTest::newRow("no A") << QByteArray::fromHex("0000 42FF 0000 05 0A23 14 0000") << 5 << false
                          << 0 << 0;
    QTest::newRow("too short") << QByteArray::fromHex("0000 41FF 0000 05 0A23 14") << 5 << false
                               << 0 << 0;
}

void tst_Frames::statusReply()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, address);
    QFETCH(bool, valid);
    QFETCH(int, frequency);
    QFETCH(int, volume);
    const auto reply = parseStatusReply(bytes, address);
    QCOMPARE(reply.has_value(), valid);
    if (valid) {
        QCOMPARE(reply->frequency, frequency);
        QCOMPARE(reply->volume, volume);
        QCOMPARE(reply->constantVoltage(), frequency == 8888);
        // What the simulator sends for it is these bytes again.
        QCOMPARE(statusReplyBytes(*reply), bytes);
    }
}

void tst_Frames::decoderSplitsFramesAndStrayBytes()
{
    FrameDecoder decoder;
    const QByteArray frame = *BuildFrame(1, 10, 35, QStringLiteral("3.17.200."));
    // Garbage, a frame cut in two chunks, an EB that starts no frame.
    auto pieces = decoder.feed(QByteArray("\x55\xAA", 2) + frame.left(4));
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces.at(0).stray, QByteArray("\x55\xAA", 2));
    QVERIFY(decoder.midFrame());
    pieces = decoder.feed(frame.mid(4) + QByteArray("\xEB\x01", 2));
    QCOMPARE(pieces.size(), 2);
    QVERIFY(pieces.at(0).isFrame);
    QCOMPARE(pieces.at(0).frame.code, 1);
    QCOMPARE(pieces.at(0).frame.values, (QList<int> {3, 17, 200}));
    QCOMPARE(pieces.at(0).frame.raw, frame);
    QCOMPARE(pieces.at(1).stray, QByteArray("\xEB\x01", 2));
}

QTEST_GUILESS_MAIN(tst_Frames)
#include "tst_frames.moc"
