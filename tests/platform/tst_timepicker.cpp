// The time pickers of the windows: one Tab stop each, sections reached by
// the arrow keys, and a time picker that shows "--:--:--" until it is given
// a time by a reading or by the operator.

#include "platform/timepicker.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

class tst_timepicker : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void oneTabStop_data();
    void oneTabStop();
    void sectionsByArrowKeys();
    void opensWithItsTime();
    void unsetShowsDashes();
    void operatorGivesATime_data();
    void operatorGivesATime();
    void programGivesATime_data();
    void programGivesATime();
    void tabbingThroughKeepsItUnset();

private:
    // A field before and after the picker, as in a window.
    QDateTimeEdit *build(const QString &kind);

    std::unique_ptr<QWidget> m_window;
    QLineEdit *m_before = nullptr;
    QLineEdit *m_after = nullptr;
};

void tst_timepicker::cleanup()
{
    m_window.reset();
}

QDateTimeEdit *tst_timepicker::build(const QString &kind)
{
    m_window = std::make_unique<QWidget>();
    m_before = new QLineEdit(m_window.get());
    QDateTimeEdit *picker = nullptr;
    if (kind == u"date and time")
        picker = new DateTimePicker(m_window.get());
    else
        picker = new TimePicker(m_window.get());
    if (kind == u"unset time")
        static_cast<TimePicker *>(picker)->unset();
    if (kind == u"date and time")
        picker->setDisplayFormat(u"yyyy年MM月dd日 HH时mm分ss秒"_s);
    m_after = new QLineEdit(m_window.get());
    auto *layout = new QVBoxLayout(m_window.get());
    layout->addWidget(m_before);
    layout->addWidget(picker);
    layout->addWidget(m_after);
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    return picker;
}

void tst_timepicker::oneTabStop_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("time") << u"time"_s;
    QTest::newRow("unset time") << u"unset time"_s;
    QTest::newRow("date and time") << u"date and time"_s;
}

void tst_timepicker::oneTabStop()
{
    QFETCH(QString, kind);
    QDateTimeEdit *picker = build(kind);
    m_before->setFocus();
    QTest::keyClick(m_before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), picker);
    QTest::keyClick(picker, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_after);
    // Back again: one stop the other way too.
    QTest::keyClick(m_after, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), picker);
    QTest::keyClick(picker, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), m_before);
}

void tst_timepicker::sectionsByArrowKeys()
{
    auto *picker = static_cast<TimePicker *>(build(u"time"_s));
    picker->setTime(QTime(1, 2, 3));
    picker->setFocus();
    picker->setCurrentSection(QDateTimeEdit::HourSection);
    QTest::keyClick(picker, Qt::Key_Up);
    QCOMPARE(picker->time(), QTime(2, 2, 3));
    // Right moves the cursor on into the minutes.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(picker, Qt::Key_Right);
    QCOMPARE(picker->currentSection(), QDateTimeEdit::MinuteSection);
    QTest::keyClick(picker, Qt::Key_Up);
    QCOMPARE(picker->time(), QTime(2, 3, 3));
    QTest::keyClick(picker, Qt::Key_End);
    QTest::keyClick(picker, Qt::Key_Down);
    QCOMPARE(picker->time(), QTime(2, 3, 2));
    QCOMPARE(picker->text(), u"02:03:02"_s);
}

void tst_timepicker::opensWithItsTime()
{
    TimePicker picker(QTime(6, 45, 0));
    QVERIFY(picker.isSet());
    QCOMPARE(picker.displayFormat(), u"HH:mm:ss"_s);
    QCOMPARE(picker.text(), u"06:45:00"_s);
}

void tst_timepicker::unsetShowsDashes()
{
    TimePicker picker(QTime(6, 45, 0));
    picker.unset();
    QVERIFY(!picker.isSet());
    QCOMPARE(picker.text(), u"--:--:--"_s);
    QCOMPARE(TimePicker::unsetText(), u"--:--:--"_s);
}

void tst_timepicker::operatorGivesATime_data()
{
    QTest::addColumn<QString>("keys"); // a key sequence, or "type:" and text
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("text");
    QTest::newRow("up starts at midnight") << u"Up"_s << true << u"00:00:00"_s;
    QTest::newRow("down starts at midnight") << u"Down"_s << true << u"00:00:00"_s;
    QTest::newRow("page up starts at midnight") << u"PgUp"_s << true << u"00:00:00"_s;
    QTest::newRow("typed hours") << u"type:07"_s << true << u"07:00:00"_s;
    QTest::newRow("typed whole time") << u"type:073015"_s << true << u"07:30:15"_s;
    QTest::newRow("backspace keeps no time") << u"Backspace"_s << false << u"--:--:--"_s;
    QTest::newRow("delete keeps no time") << u"Del"_s << false << u"--:--:--"_s;
    QTest::newRow("a letter keeps no time") << u"type:x"_s << false << u"--:--:--"_s;
    QTest::newRow("left keeps no time") << u"Left"_s << false << u"--:--:--"_s;
}

void tst_timepicker::operatorGivesATime()
{
    QFETCH(QString, keys);
    QFETCH(bool, set);
    QFETCH(QString, text);
    auto *picker = static_cast<TimePicker *>(build(u"unset time"_s));
    picker->setFocus();
    if (keys.startsWith(u"type:")) {
        QTest::keyClicks(picker, keys.mid(5));
    } else {
        const QKeySequence sequence = QKeySequence::fromString(keys);
        QTest::keyClick(picker, sequence[0].key(), sequence[0].keyboardModifiers());
    }
    QCOMPARE(picker->isSet(), set);
    QCOMPARE(picker->text(), text);
    // Leaving the field keeps what it shows.
    QTest::keyClick(picker, Qt::Key_Tab);
    QCOMPARE(picker->isSet(), set);
    QCOMPARE(picker->text(), text);
}

void tst_timepicker::programGivesATime_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("text");
    QTest::newRow("a reading") << QTime(12, 0, 0) << true << u"12:00:00"_s;
    QTest::newRow("a reading of midnight") << QTime(0, 0, 0) << true << u"00:00:00"_s;
    QTest::newRow("setTime") << QTime(9, 8, 7) << false << u"09:08:07"_s;
}

void tst_timepicker::programGivesATime()
{
    QFETCH(QTime, time);
    QFETCH(bool, known);
    QFETCH(QString, text);
    TimePicker picker;
    picker.unset();
    if (known)
        picker.setKnownTime(time);
    else
        picker.setTime(time);
    QVERIFY(picker.isSet());
    QCOMPARE(picker.time(), time);
    QCOMPARE(picker.text(), text);
    // And back to no time.
    picker.unset();
    QVERIFY(!picker.isSet());
    QCOMPARE(picker.text(), u"--:--:--"_s);
}

void tst_timepicker::tabbingThroughKeepsItUnset()
{
    auto *picker = static_cast<TimePicker *>(build(u"unset time"_s));
    m_before->setFocus();
    QTest::keyClick(m_before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), picker);
    QTest::keyClick(picker, Qt::Key_Tab);
    QVERIFY(!picker->isSet());
    QCOMPARE(picker->text(), u"--:--:--"_s);
}

QTEST_MAIN(tst_timepicker)
#include "tst_timepicker.moc"
