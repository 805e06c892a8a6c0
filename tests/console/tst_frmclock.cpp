// The clock window on the running console with a fake Power: the running
// picker, the adjust box, and "确 定" setting the PC and then the controller.

#include "consolerig.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/frmclock.h"
#include "zonelink/zonelink.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmclock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void runningClock();
    void setsThePcThenTheController();
    void refusedChangeSendsNothing();
    void exitSendsNothing();

private:
    frmclock &open();
    template<class T> T *child(const QString &name) { return m_window->findChild<T *>(name); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmclock> m_window;
    std::unique_ptr<QSignalSpy> m_queued;
};

void tst_frmclock::init()
{
    m_window.reset();
    m_queued.reset();
    m_rig = std::make_unique<ConsoleRig>();
}

frmclock &tst_frmclock::open()
{
    Console &c = m_rig->start();
    m_queued = std::make_unique<QSignalSpy>(&c.link(), &ZoneLink::frameQueued);
    m_window = std::make_unique<frmclock>(c);
    m_window->show();
    return *m_window;
}

void tst_frmclock::runningClock()
{
    frmclock &w = open();
    QCOMPARE(w.windowTitle(), u"调整系统时间"_s);
    auto *picker = child<QDateTimeEdit>(u"DTPicker1"_s);
    auto *adjust = child<QCheckBox>(u"chkadjtime"_s);
    auto *ok = child<QPushButton>(u"cmdok"_s);
    QCOMPARE(picker->displayFormat(), u"yyyy年MM月dd日 HH时mm分ss秒"_s);
    QCOMPARE(picker->dateTime(), QDateTime(QDate(2026, 12, 7), QTime(6, 30, 0)));
    QVERIFY(!adjust->isChecked());
    QVERIFY(!ok->isEnabled());
    // The picker follows the clock every half second.
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(6, 31, 5)));
    QTRY_COMPARE_WITH_TIMEOUT(picker->dateTime(), QDateTime(QDate(2026, 12, 7), QTime(6, 31, 5)),
                              2000);
    // Adjusting holds it still and enables "确 定"; clearing the box lets it run again.
    adjust->click();
    QVERIFY(ok->isEnabled());
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(6, 40, 0)));
    QTest::qWait(700);
    QCOMPARE(picker->time(), QTime(6, 31, 5));
    adjust->click();
    QVERIFY(!ok->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(picker->time(), QTime(6, 40, 0), 2000);
    w.grab().save(QCoreApplication::applicationDirPath() + u"/frmclock.png"_s);
}

void tst_frmclock::setsThePcThenTheController()
{
    frmclock &w = open();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    const QDateTime moment(QDate(2026, 12, 31), QTime(23, 59, 59)); // the last second of a month
    child<QDateTimeEdit>(u"DTPicker1"_s)->setDateTime(moment);
    child<QPushButton>(u"cmdok"_s)->click();
    // The PC gets date and time in one step; the controller only the time.
    QCOMPARE(m_rig->power.clockSettings, QList<QDateTime> {moment});
    QCOMPARE(m_queued->size(), 1);
    FrameDecoder decoder;
    const auto pieces = decoder.feed(m_queued->at(0).at(0).toByteArray());
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces.at(0).frame.code, CommandCode::ClockSet);
    QCOMPARE(pieces.at(0).frame.values, (QList<int> {23, 59, 59}));
    QCOMPARE(m_queued->at(0).at(1).toBool(), false); // written, not sent with RTS
    QVERIFY(m_rig->console().state().ReloadSchedule());
    QVERIFY(!w.isVisible());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmclock::refusedChangeSendsNothing()
{
    m_rig->power.accept = false;
    frmclock &w = open();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    child<QPushButton>(u"cmdok"_s)->click();
    QCOMPARE(m_rig->power.clockSettings.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, frmclock::refusedText());
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Error);
    QCOMPARE(m_queued->size(), 0);
    QVERIFY(!m_rig->console().state().ReloadSchedule());
    QVERIFY(w.isVisible()); // the operator may try again or leave
}

void tst_frmclock::exitSendsNothing()
{
    frmclock &w = open();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    child<QPushButton>(u"cmdquit"_s)->click();
    QVERIFY(!w.isVisible());
    QVERIFY(m_rig->power.clockSettings.isEmpty());
    QCOMPARE(m_queued->size(), 0);
}

QTEST_MAIN(tst_frmclock)
#include "tst_frmclock.moc"
