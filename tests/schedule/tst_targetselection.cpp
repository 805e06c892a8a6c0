// The targets of a schedule entry without a window: the node directory, the
// chosen terminals, the amplifier and device boxes, the fields they build and
// the loading of an entry's fields back; the captions from amp_name.dat.

#include "schedule/targetselection.h"
#include "support/gbkfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// In file order; the zone field of an entry names them in another order.
QList<NodeRecord> directory()
{
    return {
        {u"礼堂"_s, u"200"_s, u"1"_s}, // 0
        {u"三年级"_s, u"3"_s, u"2"_s}, // 1
        {u"操场"_s, u"17"_s, u"2"_s}, // 2
        {u"五年级"_s, u"05"_s, u"02"_s}, // 3: address 5, group 2, as typed
        {u"新节点"_s, QString(), QString()}, // 4: a placeholder
        {u"三年级"_s, u"30"_s, u"3"_s}, // 5: the same name again
        {u"校门"_s, u"8"_s, u"1"_s}, // 6
    };
}

QStringList names(const QList<TargetSelection::Target> &targets)
{
    QStringList result;
    for (const auto &t : targets)
        result << t.name;
    return result;
}

QList<int> addresses(const QList<TargetSelection::Target> &targets)
{
    QList<int> result;
    for (const auto &t : targets)
        result << t.address;
    return result;
}

QList<int> ticked(const TargetSelection &s, bool (TargetSelection::*box)(int) const)
{
    QList<int> result;
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n) {
        if ((s.*box)(n))
            result << n;
    }
    return result;
}

QString ampLines(const QStringList &amps, const QStringList &devices)
{
    QString text;
    for (const QString &a : amps)
        text += u'"' + a + u"\"\n"_s;
    for (int i = 0; i < 8; ++i)
        text += u"\"88.5\"\n"_s;
    for (const QString &d : devices)
        text += u'"' + d + u"\"\n"_s;
    return text;
}

QStringList numbered(const QString &prefix)
{
    QStringList result;
    for (int n = 1; n <= 8; ++n)
        result << prefix + QString::number(n);
    return result;
}

} // namespace

class tst_TargetSelection : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void loadsTheZoneInItsOrder_data();
    void loadsTheZoneInItsOrder();
    void loadsExactlyTheListedBoxes_data();
    void loadsExactlyTheListedBoxes();
    void buildsTheFields();
    void addSelectedSkipsChosenNames();
    void addAllReplacesInDirectoryOrder();
    void removesTheSelectedTargets_data();
    void removesTheSelectedTargets();
    void groupRowsByNumber();
    void loadsNodeFile_data();
    void loadsNodeFile();
    void boxCaptions_data();
    void boxCaptions();

private:
    TargetSelection m_s;
};

void tst_TargetSelection::init()
{
    m_s = TargetSelection();
    m_s.setNodes(directory());
}

void tst_TargetSelection::loadsTheZoneInItsOrder_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<bool>("ignoresSomething");

    QTest::newRow("three in the entry's order")
        << u"3.17.200."_s << QStringList {u"三年级"_s, u"操场"_s, u"礼堂"_s}
        << QList<int> {3, 17, 200} << false;
    QTest::newRow("empty zone") << QString() << QStringList() << QList<int>() << false;
    QTest::newRow("05 in node.txt is 5")
        << u"5."_s << QStringList {u"五年级"_s} << QList<int> {5} << false;
    QTest::newRow("written with a leading zero")
        << u"017."_s << QStringList {u"操场"_s} << QList<int> {17} << false;
    QTest::newRow("address missing from node.txt is kept")
        << u"3.99.17."_s << QStringList {u"三年级"_s, u"99"_s, u"操场"_s} << QList<int> {3, 99, 17}
        << false;
    QTest::newRow("address 0 is no placeholder")
        << u"0."_s << QStringList {u"0"_s} << QList<int> {0} << false;
    QTest::newRow("last piece without its dot")
        << u"3.17"_s << QStringList {u"三年级"_s, u"操场"_s} << QList<int> {3, 17} << false;
    QTest::newRow("a piece that is no number")
        << u"3.x.17."_s << QStringList {u"三年级"_s, u"操场"_s} << QList<int> {3, 17} << true;
    QTest::newRow("the same address twice stays twice")
        << u"8.8."_s << QStringList {u"校门"_s, u"校门"_s} << QList<int> {8, 8} << false;
}

void tst_TargetSelection::loadsTheZoneInItsOrder()
{
    QFETCH(QString, zone);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, addresses);
    QFETCH(bool, ignoresSomething);

    m_s.addAllNodes(); // whatever was there before goes
    const QString ignored = m_s.loadTargets(zone, QString(), QString());
    QCOMPARE(::names(m_s.targets()), names);
    QCOMPARE(::addresses(m_s.targets()), addresses);
    QCOMPARE(!ignored.isEmpty(), ignoresSomething);
}

void tst_TargetSelection::loadsExactlyTheListedBoxes_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<bool>("ignoresSomething");

    QTest::newRow("1.3.") << u"1.3."_s << QList<int> {1, 3} << false;
    QTest::newRow("empty") << QString() << QList<int>() << false;
    QTest::newRow("descending") << u"8.2."_s << QList<int> {2, 8} << false;
    QTest::newRow("10 is not 1") << u"10."_s << QList<int>() << true;
    QTest::newRow("0 and 9 are no boxes") << u"0.9.4."_s << QList<int> {4} << true;
    QTest::newRow("leading zero") << u"03."_s << QList<int> {3} << false;
}

void tst_TargetSelection::loadsExactlyTheListedBoxes()
{
    QFETCH(QString, list);
    QFETCH(QList<int>, boxes);
    QFETCH(bool, ignoresSomething);

    // The previous row had every box ticked.
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n) {
        m_s.setAmp(n, true);
        m_s.setDevice(n, true);
    }
    QCOMPARE(m_s.loadTargets(QString(), list, QString()).isEmpty(), !ignoresSomething);
    QCOMPARE(ticked(m_s, &TargetSelection::amp), boxes);
    QCOMPARE(ticked(m_s, &TargetSelection::device), QList<int>());

    QCOMPARE(m_s.loadTargets(QString(), QString(), list).isEmpty(), !ignoresSomething);
    QCOMPARE(ticked(m_s, &TargetSelection::amp), QList<int>());
    QCOMPARE(ticked(m_s, &TargetSelection::device), boxes);
}

void tst_TargetSelection::buildsTheFields()
{
    QCOMPARE(m_s.zoneField(), QString());
    QCOMPARE(m_s.ampField(), QString());
    QCOMPARE(m_s.deviceField(), QString());

    m_s.addNodes({6});
    m_s.addNodes({0});
    m_s.addNodes({3});
    QCOMPARE(m_s.zoneField(), u"8.200.5."_s); // list order, plain numbers
    m_s.setAmp(3, true);
    m_s.setAmp(1, true);
    m_s.setDevice(8, true);
    m_s.setDevice(2, true);
    m_s.setDevice(5, true);
    m_s.setDevice(5, false);
    QCOMPARE(m_s.ampField(), u"1.3."_s);
    QCOMPARE(m_s.deviceField(), u"2.8."_s);

    // Loaded fields come back written plainly.
    m_s.loadTargets(u"200.05.99."_s, u"7.2."_s, u"1.8."_s);
    QCOMPARE(m_s.zoneField(), u"200.5.99."_s);
    QCOMPARE(m_s.ampField(), u"2.7."_s);
    QCOMPARE(m_s.deviceField(), u"1.8."_s);
}

void tst_TargetSelection::addSelectedSkipsChosenNames()
{
    m_s.addNodes({2});
    m_s.addNodes({2});
    QCOMPARE(names(m_s.targets()), QStringList {u"操场"_s});

    // Existing items stay; new ones follow in row order, however the rows
    // were picked; a name already chosen is skipped even at another address;
    // a placeholder has no address to switch.
    m_s.addNodes({5, 4, 6, 1, 2});
    QCOMPARE(names(m_s.targets()), (QStringList {u"操场"_s, u"三年级"_s, u"校门"_s}));
    QCOMPARE(addresses(m_s.targets()), (QList<int> {17, 3, 8}));
}

void tst_TargetSelection::addAllReplacesInDirectoryOrder()
{
    m_s.addNodes({6});
    m_s.addAllNodes();
    QCOMPARE(
        names(m_s.targets()),
        (QStringList {u"礼堂"_s, u"三年级"_s, u"操场"_s, u"五年级"_s, u"三年级"_s, u"校门"_s}));
    QCOMPARE(addresses(m_s.targets()), (QList<int> {200, 3, 17, 5, 30, 8}));
    m_s.removeAllTargets();
    QVERIFY(m_s.targets().isEmpty());
}

void tst_TargetSelection::removesTheSelectedTargets_data()
{
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QList<int>>("left");

    // The list holds 200, 3, 17, 5, 30, 8.
    QTest::newRow("first and third") << QList<int> {0, 2} << QList<int> {3, 5, 30, 8};
    QTest::newRow("neighbours, unsorted") << QList<int> {4, 3} << QList<int> {200, 3, 17, 8};
    QTest::newRow("last") << QList<int> {5} << QList<int> {200, 3, 17, 5, 30};
    QTest::newRow("none") << QList<int>() << QList<int> {200, 3, 17, 5, 30, 8};
    QTest::newRow("all") << QList<int> {0, 1, 2, 3, 4, 5} << QList<int>();
}

void tst_TargetSelection::removesTheSelectedTargets()
{
    QFETCH(QList<int>, positions);
    QFETCH(QList<int>, left);
    m_s.addAllNodes();
    m_s.removeTargets(positions);
    QCOMPARE(addresses(m_s.targets()), left);
}

void tst_TargetSelection::groupRowsByNumber()
{
    QCOMPARE(m_s.rowsOfGroup(1), (QList<int> {0, 6}));
    QCOMPARE(m_s.rowsOfGroup(2), (QList<int> {1, 2, 3})); // "02" is group 2
    QCOMPARE(m_s.rowsOfGroup(3), QList<int> {5});
    QCOMPARE(m_s.rowsOfGroup(4), QList<int>());
}

void tst_TargetSelection::loadsNodeFile_data()
{
    QTest::addColumn<QString>("text"); // null: no file
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("problem");

    QTest::newRow("whole file") << u"\"甲\",\"1\",\"1\"\n\"乙\",\"2\",\"2\"\n"_s
                                << QStringList {u"甲"_s, u"乙"_s} << false;
    QTest::newRow("missing") << QString() << QStringList() << true;
    QTest::newRow("last record short")
        << u"\"甲\",\"1\",\"1\"\n\"乙\",\"2\"\n"_s << QStringList {u"甲"_s} << true;
    QTest::newRow("empty file") << u""_s << QStringList() << false;
}

void tst_TargetSelection::loadsNodeFile()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    QFETCH(bool, problem);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"node.txt"_s);
    if (!text.isNull())
        GbkFiles::writeText(path, text);
    QCOMPARE(!m_s.loadNodes(path).isEmpty(), problem);
    QStringList loaded;
    for (const NodeRecord &node : m_s.nodes())
        loaded << node.name;
    QCOMPARE(loaded, names);
}

void tst_TargetSelection::boxCaptions_data()
{
    QTest::addColumn<QString>("text"); // null: no file
    QTest::addColumn<QStringList>("amps");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<bool>("problem");

    QStringList ampNames = numbered(u"功放机"_s);
    ampNames[0] = u"礼堂,一楼"_s; // a comma inside the quotes is part of the name
    const QStringList deviceNames = numbered(u"电铃"_s);
    QStringList ampCaptions;
    QStringList deviceCaptions;
    for (int n = 1; n <= 8; ++n) {
        ampCaptions << u"功放%1(%2)"_s.arg(n).arg(ampNames.at(n - 1));
        deviceCaptions << u"外设%1(%2)"_s.arg(n).arg(deviceNames.at(n - 1));
    }

    QTest::newRow("one block") << ampLines(ampNames, deviceNames) << ampCaptions << deviceCaptions
                               << false;
    QTest::newRow("missing") << QString() << numbered(u"功放"_s) << numbered(u"外设"_s) << true;
    QTest::newRow("empty") << u""_s << numbered(u"功放"_s) << numbered(u"外设"_s) << true;
    QStringList emptyAmps = numbered(u"功放"_s);
    QStringList emptyDevices = numbered(u"外设"_s);
    for (int n = 1; n <= 8; ++n) {
        emptyAmps[n - 1] += u"()"_s;
        emptyDevices[n - 1] += u"()"_s;
    }
    QTest::newRow("empty names") << ampLines(QStringList(8), QStringList(8)) << emptyAmps
                                 << emptyDevices << false;

    const QString all = ampLines(ampNames, deviceNames);
    const QString cut = all.section(u'\n', 0, 9) + u'\n'; // amps and two frequencies
    QTest::newRow("short file") << cut << ampCaptions << numbered(u"外设"_s) << true;

    QStringList twiceAmps = ampCaptions;
    QStringList twiceDevices = deviceCaptions;
    for (int n = 1; n <= 8; ++n) {
        twiceAmps[n - 1] += u"(乙%1)"_s.arg(n);
        twiceDevices[n - 1] += u"(丙%1)"_s.arg(n);
    }
    QTest::newRow("second block appends") << all + ampLines(numbered(u"乙"_s), numbered(u"丙"_s))
                                          << twiceAmps << twiceDevices << false;
}

void tst_TargetSelection::boxCaptions()
{
    QFETCH(QString, text);
    QFETCH(QStringList, amps);
    QFETCH(QStringList, devices);
    QFETCH(bool, problem);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"amp_name.dat"_s);
    if (!text.isNull())
        GbkFiles::writeText(path, text);
    const TargetSelection::BoxCaptions captions = TargetSelection::readBoxCaptions(path);
    QCOMPARE(QStringList(captions.amps.cbegin(), captions.amps.cend()), amps);
    QCOMPARE(QStringList(captions.devices.cbegin(), captions.devices.cend()), devices);
    QCOMPARE(!captions.problem.isEmpty(), problem);
}

QTEST_GUILESS_MAIN(tst_TargetSelection)
#include "tst_targetselection.moc"
