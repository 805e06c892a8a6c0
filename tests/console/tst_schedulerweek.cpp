// A week of every second on the fake clock, with a dense schedule on all
// eight channels: every row starts exactly once, equipment goes off after its
// item, and nothing is left on at the end.

#include "../../tools/zonesim/controllerstate.h"
#include "schedulerrig.h"

#include <QSet>
#include <QTest>

class tst_SchedulerWeek : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void denseWeek();
};

void tst_SchedulerWeek::denseWeek()
{
    const QDate monday(2026, 12, 7);
    SchedulerRig rig(QDateTime(monday, QTime(0, 0)).addSecs(-1));
    rig.setDeviceLead(1, QStringLiteral("00:01:00"));
    rig.set(&AppSettings::VolumeAdjustTime, QStringLiteral("07:30"));
    WeekTables week;
    QSet<QString> expected;
    for (int d = 0; d < 7; ++d) {
        for (int c = 1; c <= 8; ++c) {
            // Channels 1 and 2 share their start seconds; the others are spread.
            const int offset = c <= 2 ? 0 : c * 97;
            for (int slot = 0; slot < 48; ++slot) {
                const int start = 6 * 3600 + slot * 1200 + offset;
                const int length = 30 + (slot * 37 + c * 11) % 480;
                const QString file = QStringLiteral("/srv/d%1/c%2/s%3.mp3").arg(d).arg(c).arg(slot);
                QString zones;
                for (int z = 0; z < 5; ++z)
                    zones += QString::number(c * 10 + z) + u'.';
                week[d].append({QTime(0, 0).addSecs(start).toString(QStringLiteral("HH:mm:ss")),
                                qint16(c), QStringLiteral("节目"), file, qint16(1000 * c),
                                QTime(0, 0).addSecs(length).toString(QStringLiteral("HH:mm:ss")),
                                zones, QString::number(c) + u'.',
                                c % 2 ? QString::number(c) + u'.' : QString()});
                expected.insert(file);
            }
        }
        // Late at night, running past midnight.
        const QString late = QStringLiteral("/srv/d%1/late.mp3").arg(d);
        week[d].append({QStringLiteral("23:59:50"), 1, QStringLiteral("晚间"), late, 5000,
                        QStringLiteral("00:02:00"), QStringLiteral("200.201."),
                        QStringLiteral("8."), QStringLiteral("1.")});
        expected.insert(late);
    }
    rig.setWeek(week);
    rig.load();

    ControllerState controller;
    qsizetype applied = 0;
    const auto applyFrames = [&] {
        for (; applied < rig.frames.size(); ++applied)
            controller.receive(rig.frames.at(applied).raw);
    };
    const QDateTime end = QDateTime(monday.addDays(7), QTime(0, 10));
    QStringList leftOn;
    while (rig.clock.now() < end) {
        rig.tickAt(rig.clock.now().addSecs(1));
        // Every evening the day's equipment is off again.
        if (rig.clock.now().time() == QTime(23, 0)) {
            applyFrames();
            const QString state = controller.summary();
            if (!state.startsWith(u"state nodes - amps - devices -"))
                leftOn << rig.clock.now().toString() + u' ' + state;
        }
    }
    applyFrames();
    QVERIFY2(leftOn.isEmpty(), qPrintable(leftOn.join(u'\n')));

    const QSet<QString> played(rig.played.cbegin(), rig.played.cend());
    QCOMPARE(rig.played.size(), expected.size()); // none twice
    QCOMPARE(played, expected); // every row
    QVERIFY(rig.dialogs.shown.isEmpty());
    QCOMPARE(rig.framesText().filter(QStringLiteral("VolumeSet")).size(), 1);

    for (int b = 1; b <= 8; ++b) {
        const ChannelStateRecord &ch = rig.scheduler->channelState(b);
        QVERIFY(!ch.ZonesOn && !ch.AmpsOn && !ch.DevicesOn && !ch.RepeatOpen);
        QVERIFY(ch.Zones.isEmpty() && ch.Amps.isEmpty() && ch.Devices.isEmpty());
    }
    QVERIFY(!rig.scheduler->outputsActive());
    QVERIFY(!rig.scheduler->AmpLeadSent());
    QVERIFY(controller.summary().startsWith(u"state nodes - amps - devices -"));
}

int main(int argc, char *argv[])
{
    // A fixed zone spares the C library a look at /etc/localtime for each of
    // the million time conversions of a simulated week.
    qputenv("TZ", "UTC");
    QCoreApplication app(argc, argv);
    tst_SchedulerWeek test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_schedulerweek.moc"
