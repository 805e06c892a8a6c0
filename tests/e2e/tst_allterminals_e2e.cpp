// The real console starts and ends an entry for all 256 terminals against
// the simulator: more than one frame carries, so every command to them goes
// out as a frame of 255 and one of the rest, and the simulator shows all of
// them on after the start and none after the end.

#include "e2einstall.h"
#include "support/gbkfiles.h"

#include <QDate>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_AllTerminalsE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entryForEveryTerminal();

private:
    // The terminals the simulator's "state" shows on: "0.1.….255." or "-".
    static QString nodesOn(E2eInstall &install);
    static bool waitForNodes(E2eInstall &install, const QString &nodes, int timeoutMs = 20000);
};

QString tst_AllTerminalsE2e::nodesOn(E2eInstall &install)
{
    install.simulatorCommand(u"state"_s);
    if (!install.waitSimulator(u"state nodes "_s))
        return {};
    const QString line = install.simulatorLines().at(install.simulatorMatch());
    return line.section(u"state nodes "_s, 1).section(u' ', 0, 0);
}

bool tst_AllTerminalsE2e::waitForNodes(E2eInstall &install, const QString &nodes, int timeoutMs)
{
    QString last;
    const bool seen = QTest::qWaitFor(
        [&] {
            last = nodesOn(install);
            return last == nodes;
        },
        timeoutMs);
    if (!seen)
        qWarning() << "the simulator shows" << last;
    return seen;
}

void tst_AllTerminalsE2e::entryForEveryTerminal()
{
    E2eInstall install;
    QString all;
    QString nodes;
    for (int a = 0; a < 256; ++a) {
        all += QString::number(a) + u'.';
        nodes += u"\"终端%1\",\"%1\",\"%2\"\n"_s.arg(a).arg(1 + a % 8);
    }
    GbkFiles::writeText(install.path(u"node.txt"_s), nodes);
    install.writeOneFrequency(2, u"87.5"_s);

    // One peripheral entry a few seconds ahead (time enough to start the
    // console): nothing plays, so no sound server is needed.
    const QDateTime start = sameDayStart(12);
    if (!start.isValid())
        QSKIP("too close to midnight for a same-day item");
    GbkFiles::writeText(
        install.path(u"week.txt"_s),
        weekWithOneEntry(start, u", 2 ,外设控制,外设控制, 16000 ,00:00:03,"_s + all + u",3.,5."_s));
    install.writeStore({{u"defaultweekfile"_s, install.path(u"week.txt"_s)},
                        {u"openamptime"_s, u"00:00:02"_s},
                        {u"closeamptime"_s, u"00:00:05"_s}});
    QVERIFY(install.startSimulator());
    QVERIFY(install.startConsole());
    QVERIFY(waitForNodes(install, u"-"_s));

    // The start: the terminals in two frames at channel 2's frequency, in order.
    QVERIFY(install.waitSimulator(u"ZoneOpen 87.5 MHz nodes 255. ["_s, 30000));
    const QStringList opens = install.framesSince(0).filter(u"ZoneOpen 87.5 MHz nodes "_s);
    QCOMPARE(opens.size(), 2);
    QVERIFY(opens.at(0).startsWith(u"ZoneOpen 87.5 MHz nodes "_s + all.left(all.indexOf(u"255."))
                                   + u" ["_s));
    QVERIFY(waitForNodes(install, all));

    // The end: ten seconds after its three, every terminal is switched off.
    QVERIFY(install.waitSimulator(u"ZoneClose nodes 255. ["_s, 40000));
    QVERIFY(waitForNodes(install, u"-"_s));
    const QStringList closes = install.framesSince(0).filter(u"ZoneClose nodes 0."_s);
    QCOMPARE(closes.size(), 1);
    QVERIFY(
        closes.at(0).startsWith(u"ZoneClose nodes "_s + all.left(all.indexOf(u"255.")) + u" ["_s));
    // The entry was started, not refused as faulty.
    QVERIFY(install.waitConsole(u"started"_s));
}

QTEST_GUILESS_MAIN(tst_AllTerminalsE2e)
#include "tst_allterminals_e2e.moc"
