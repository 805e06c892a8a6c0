// The audio matrix without its window: route bytes both ways (the simulator
// decodes with them), stored values out of range, and a closed port. The
// frames themselves are checked through the window.

#include "support/fakedialogs.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "zonelink/matrixroutes.h"
#include "zonelink/zonelink.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_MatrixRoutes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void routeBytes_data();
    void routeBytes();
    void bytesThatAreNoRoute_data();
    void bytesThatAreNoRoute();
    void storedInputOutOfRangeReadsInputOne();
    void closedPortStoresAndSendsNothing();
};

void tst_MatrixRoutes::routeBytes_data()
{
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    QTest::newRow("out1 in1") << 1 << 1 << 0x00 << u"out1←in1"_s;
    QTest::newRow("out3 in6") << 3 << 6 << 0x25 << u"out3←in6"_s;
    QTest::newRow("out1 in8") << 1 << 8 << 0x07 << u"out1←in8"_s;
    QTest::newRow("out8 in1") << 8 << 1 << 0x70 << u"out8←in1"_s;
    QTest::newRow("out8 in8") << 8 << 8 << 0x77 << u"out8←in8"_s;
}

void tst_MatrixRoutes::routeBytes()
{
    QFETCH(int, output);
    QFETCH(int, input);
    QFETCH(int, byte);
    QFETCH(QString, text);
    const Matrix::Route route {output, input};
    QCOMPARE(Matrix::routeByte(route), byte);
    const auto decoded = Matrix::routeOf(byte);
    QVERIFY(decoded.has_value());
    QCOMPARE(decoded->output, output);
    QCOMPARE(decoded->input, input);
    QCOMPARE(Matrix::routeText(route), text);
}

void tst_MatrixRoutes::bytesThatAreNoRoute_data()
{
    QTest::addColumn<int>("byte");
    QTest::newRow("input 9") << 0x08;
    QTest::newRow("input 16") << 0x3F;
    QTest::newRow("output 9") << 0x80;
    QTest::newRow("both too high") << 0xFF;
    QTest::newRow("not a byte") << 0x100;
    QTest::newRow("negative") << -1;
}

void tst_MatrixRoutes::bytesThatAreNoRoute()
{
    QFETCH(int, byte);
    QVERIFY(!Matrix::routeOf(byte).has_value());
}

void tst_MatrixRoutes::storedInputOutOfRangeReadsInputOne()
{
    FakeSerialPort port;
    MemoryUserStore store;
    FakeDialogs dialogs;
    ZoneLink link(port, store, dialogs);
    MatrixRouteTable table {0, 7, -1, 8, 3, 0, 0, 0, 0};
    const MatrixControl control(link, table);
    QCOMPARE(control.storedInput(1), 7);
    QCOMPARE(control.storedInput(2), 0);
    QCOMPARE(control.storedInput(3), 0);
    QCOMPARE(control.storedInput(4), 3);
}

void tst_MatrixRoutes::closedPortStoresAndSendsNothing()
{
    FakeSerialPort port; // never opened
    MemoryUserStore store;
    FakeDialogs dialogs;
    ZoneLink link(port, store, dialogs);
    QSignalSpy queued(&link, &ZoneLink::frameQueued);
    const MatrixRouteTable before {0, 1, 2, 3, 4, 5, 6, 7, 0};
    MatrixRouteTable table = before;
    MatrixControl control(link, table);

    QVERIFY(!control.confirmOne(2, 4));
    QVERIFY(!control.confirmAll({4, 4, 4, 4, 4, 4, 4, 4}));
    QCOMPARE(table, before);
    QCOMPARE(queued.size(), 0);
}

QTEST_GUILESS_MAIN(tst_MatrixRoutes)
#include "tst_matrixroutes.moc"
