// The settings dialog's controller area on a recording port: the clock
// pickers show no time until one is read or chosen, "设 置" sends only such
// times, Enter in the line test's field sends its text and keeps the dialog
// open, and each time picker is one Tab stop.

#include "console/frmsetup.h"
#include "consolerig.h"
#include "platform/timepicker.h"
#include "support/consolewindows.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmsetupController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controllerPickersOpenWithoutATime();
    void setSendsOnlyKnownTimes_data();
    void setSendsOnlyKnownTimes();
    void enterInTheTestField_data();
    void enterInTheTestField();
    void enterWhileATestIsUnderway();
    void pickersAreOneTabStop_data();
    void pickersAreOneTabStop();

private:
    frmsetup &open();
    template<class T> T *child(const QString &name) { return m_dialog->findChild<T *>(name); }
    TimePicker *picker(const QString &name) { return child<TimePicker>(name); }
    // "读 取" with a controller that answers 09:08:07 and 06:45:00.
    void readFromController();
    QStringList framesWritten() const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmsetup> m_dialog;
};

void tst_frmsetupController::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_frmsetupController::cleanup()
{
    m_dialog.reset();
    m_rig.reset();
}

frmsetup &tst_frmsetupController::open()
{
    m_dialog = std::make_unique<frmsetup>(setupServices(m_rig->start()));
    m_dialog->show();
    QApplication::setActiveWindow(m_dialog.get());
    return *m_dialog;
}

QStringList tst_frmsetupController::framesWritten() const
{
    QStringList texts;
    FrameDecoder decoder;
    for (const QByteArray &bytes : m_rig->port.writes()) {
        for (const auto &piece : decoder.feed(bytes)) {
            if (!piece.isFrame)
                continue;
            QString list;
            for (int v : piece.frame.values)
                list += QString::number(v) + u'.';
            texts << CommandCode::name(piece.frame.code) + u' ' + list;
        }
    }
    return texts;
}

void tst_frmsetupController::controllerPickersOpenWithoutATime()
{
    m_rig->setting(u"openamptime"_s, u"00:00:30"_s);
    open();
    for (const QString &name : {u"DTPRTC"_s, u"DTP_AUTO_OPEN"_s}) {
        QVERIFY2(!picker(name)->isSet(), qPrintable(name));
        QCOMPARE(picker(name)->text(), u"--:--:--"_s);
        QCOMPARE(picker(name)->accessibleName(), name);
    }
    // The amplifier times come from the settings and show them.
    QVERIFY(picker(u"dtpampopen"_s)->isSet());
    QCOMPARE(picker(u"dtpampopen"_s)->text(), u"00:00:30"_s);
    auto *tabs = child<QTabWidget>(u"SSTab1"_s);
    tabs->setCurrentIndex(2);
    m_dialog->grab().save(QCoreApplication::applicationDirPath()
                          + u"/frmsetup_controller_unset.png"_s);
}

void tst_frmsetupController::readFromController()
{
    child<QPushButton>(u"cmdreadtime"_s)->click();
    QTRY_COMPARE(framesWritten(), QStringList {u"ClockQuery "_s});
    m_rig->port.receive("09:08:07");
    QTRY_COMPARE(framesWritten().size(), 2);
    m_rig->port.receive("06:45:00");
    QTRY_VERIFY(child<QPushButton>(u"cmdreadtime"_s)->isEnabled());
    m_rig->port.events.clear();
}

void tst_frmsetupController::setSendsOnlyKnownTimes_data()
{
    QTest::addColumn<QString>("clock"); // how each picker got its time
    QTest::addColumn<QString>("powerOn");
    QTest::addColumn<QStringList>("shown"); // the texts, in order
    QTest::addColumn<QStringList>("frames");
    const QString advice = u"还没有读取，也没有选择，不能发送。\n"
                           "请先单击“读 取”从控制器读取，或在时间框中选择时间。"_s;
    const QString askClock = u"确定要改变系统时钟为  09:08:07  吗?"_s;
    const QString askPowerOn = u"确定要改变自动开机时间为  06:45:00  吗?"_s;
    QTest::newRow("neither") << u"none"_s << u"none"_s
                             << QStringList {u"控制主机时间和自动开机时间"_s + advice}
                             << QStringList {};
    QTest::newRow("clock only") << u"chosen"_s << u"none"_s
                                << QStringList {u"自动开机时间"_s + advice, askClock}
                                << QStringList {u"ClockSet 9.8.7."_s};
    QTest::newRow("power-on time only")
        << u"none"_s << u"chosen"_s << QStringList {u"控制主机时间"_s + advice, askPowerOn}
        << QStringList {u"PowerOnTimeSet 6.45.0."_s};
    QTest::newRow("both chosen") << u"chosen"_s << u"chosen"_s << QStringList {askClock, askPowerOn}
                                 << QStringList {u"ClockSet 9.8.7."_s, u"PowerOnTimeSet 6.45.0."_s};
    QTest::newRow("both read") << u"read"_s << u"read"_s << QStringList {askClock, askPowerOn}
                               << QStringList {u"ClockSet 9.8.7."_s, u"PowerOnTimeSet 6.45.0."_s};
}

void tst_frmsetupController::setSendsOnlyKnownTimes()
{
    QFETCH(QString, clock);
    QFETCH(QString, powerOn);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, frames);
    open();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(2);
    if (clock == u"read")
        readFromController();
    // The operator types a time into the pickers the row names.
    if (clock == u"chosen") {
        picker(u"DTPRTC"_s)->setFocus();
        QTest::keyClicks(picker(u"DTPRTC"_s), u"090807"_s);
    }
    if (powerOn == u"chosen") {
        picker(u"DTP_AUTO_OPEN"_s)->setFocus();
        QTest::keyClicks(picker(u"DTP_AUTO_OPEN"_s), u"064500"_s);
    }
    // Every question answered Yes.
    child<QPushButton>(u"cmd_set_time"_s)->click();
    QTRY_COMPARE(m_rig->dialogs.answersUnderway(), 0);
    QTest::qWait(100); // past the pause between the two questions
    QTRY_COMPARE(m_rig->dialogs.answersUnderway(), 0);
    QStringList texts;
    for (const FakeDialogs::Shown &s : std::as_const(m_rig->dialogs.shown))
        texts << s.text;
    QCOMPARE(texts, shown);
    if (shown.first().endsWith(u"时间。"_s)) {
        QCOMPARE(m_rig->dialogs.shown.first().title, u"设置时间"_s);
        QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Exclamation);
    }
    QTRY_COMPARE(framesWritten(), frames);
    QVERIFY(m_dialog->isEnabled());
}

void tst_frmsetupController::enterInTheTestField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("applied");
    QTest::newRow("发送的数据") << u"txtsend"_s << true << false;
    // Enter anywhere else is still OK: apply and close.
    QTest::newRow("用户名称") << u"txtuser"_s << false << true;
}

void tst_frmsetupController::enterInTheTestField()
{
    QFETCH(QString, field);
    QFETCH(bool, sent);
    QFETCH(bool, applied);
    open();
    QSignalSpy appliedSpy(&m_rig->console().settings(), &ConsoleSettings::applied);
    m_rig->store.writes.clear();
    m_rig->port.events.clear();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(field == u"txtsend" ? 3 : 0);
    auto *edit = child<QLineEdit>(field);
    edit->setFocus();
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClicks(edit, u"AB12"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    if (sent) {
        QTRY_COMPARE(m_rig->port.writes(), (QList<QByteArray> {"AB12"}));
        // The echo comes back and is shown.
        m_rig->port.receive("AB12");
        QTRY_COMPARE(child<QLineEdit>(u"txtreceive"_s)->text(), u"AB12"_s);
    } else {
        QTest::qWait(50);
        QVERIFY(m_rig->port.writes().isEmpty());
    }
    QCOMPARE(appliedSpy.size(), applied ? 1 : 0);
    QCOMPARE(m_rig->store.writes.isEmpty(), !applied);
    QCOMPARE(m_dialog->isVisible(), !applied);
}

void tst_frmsetupController::enterWhileATestIsUnderway()
{
    open();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(3);
    auto *edit = child<QLineEdit>(u"txtsend"_s);
    edit->setFocus();
    QTest::keyClicks(edit, u"X"_s);
    QTest::keyClick(edit, Qt::Key_Enter);
    QVERIFY(!child<QPushButton>(u"cmdtest"_s)->isEnabled());
    // A second Enter before the echo or its deadline sends nothing more.
    QTest::keyClick(edit, Qt::Key_Enter);
    QTRY_VERIFY(child<QPushButton>(u"cmdtest"_s)->isEnabled());
    QCOMPARE(m_rig->port.writes(), (QList<QByteArray> {"X"}));
    QVERIFY(m_dialog->isVisible());
}

void tst_frmsetupController::pickersAreOneTabStop_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"dtpampopen", "dtpampclose", "DTPRTC", "DTP_AUTO_OPEN"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_frmsetupController::pickersAreOneTabStop()
{
    QFETCH(QString, name);
    open();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(2);
    TimePicker *p = picker(name);
    // The control before it in the Tab order, found by going back from it.
    p->setFocus();
    QTest::keyClick(p, Qt::Key_Backtab, Qt::ShiftModifier);
    QWidget *before = QApplication::focusWidget();
    QVERIFY(before != p);
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), p);
    QTest::keyClick(p, Qt::Key_Tab);
    QWidget *after = QApplication::focusWidget();
    QVERIFY2(after != p, qPrintable(name));
    QVERIFY(after != before);
}

QTEST_MAIN(tst_frmsetupController)
#include "tst_frmsetup_controller.moc"
