// A field kept to a few characters (an address, a frequency) refuses only
// what is typed or pasted; every editing key, selection, the clipboard and
// undo work as in any field.

#include "platform/characterfilter.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kFrequency = u"0123456789."_s;
}

class tst_characterfilter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void keys_data();
    void keys();
    void otherPathsAreHeldSilently_data();
    void otherPathsAreHeldSilently();
    void readOnlyFieldIsLeftAlone();

private:
    // One step: "type:text", "paste:text" (Ctrl+V with text on the
    // clipboard), "insert-paste:text" (Shift+Insert) or a key sequence.
    void perform(const QString &step);

    std::unique_ptr<QWidget> m_window;
    QLineEdit *m_field = nullptr;
    int m_beeps = 0;
};

void tst_characterfilter::init()
{
    m_window = std::make_unique<QWidget>();
    m_field = new QLineEdit(m_window.get());
    // A second control, so the field is one of several as in a window.
    new QLineEdit(m_window.get());
    m_beeps = 0;
}

void tst_characterfilter::cleanup()
{
    m_window.reset();
}

void tst_characterfilter::perform(const QString &step)
{
    if (step.startsWith(u"type:")) {
        // Characters beyond Latin-1 come as keys without a key code, as from
        // an input method's direct keys.
        for (QChar c : step.mid(5)) {
            if (c.unicode() < 0x80)
                QTest::keyClick(m_field, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, m_field, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    } else if (step.startsWith(u"paste:")) {
        QApplication::clipboard()->setText(step.mid(6));
        QTest::keyClick(m_field, Qt::Key_V, Qt::ControlModifier);
    } else if (step.startsWith(u"insert-paste:")) {
        QApplication::clipboard()->setText(step.mid(13));
        QTest::keyClick(m_field, Qt::Key_Insert, Qt::ShiftModifier);
    } else {
        const QKeySequence sequence = QKeySequence::fromString(step);
        QVERIFY2(sequence.count() == 1, qPrintable(step));
        QTest::keyClick(m_field, sequence[0].key(), sequence[0].keyboardModifiers());
    }
}

void tst_characterfilter::keys_data()
{
    QTest::addColumn<QString>("allowed");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("beeps");
    const QString digits = CharacterFilter::digits();

    QTest::newRow("digits typed") << digits << QStringList {u"type:123"_s} << u"123"_s << 0;
    QTest::newRow("letter and minus refused")
        << digits << QStringList {u"type:1a2-"_s} << u"12"_s << 2;
    QTest::newRow("blank and full-width digit refused")
        << digits << QStringList {u"type:1 ２"_s} << u"1"_s << 2;
    QTest::newRow("backspace") << digits << QStringList {u"type:123"_s, u"Backspace"_s} << u"12"_s
                               << 0;
    QTest::newRow("backspace to empty")
        << digits << QStringList {u"type:12"_s, u"Backspace"_s, u"Backspace"_s, u"Backspace"_s}
        << QString() << 0;
    QTest::newRow("ctrl+a then typing replaces")
        << digits << QStringList {u"type:1"_s, u"Ctrl+A"_s, u"type:256"_s} << u"256"_s << 0;
    QTest::newRow("ctrl+a then delete")
        << digits << QStringList {u"type:1234"_s, u"Ctrl+A"_s, u"Del"_s} << QString() << 0;
    QTest::newRow("ctrl+a then a letter keeps the text")
        << digits << QStringList {u"type:12"_s, u"Ctrl+A"_s, u"type:x"_s} << u"12"_s << 1;
    QTest::newRow("home, then typing in front")
        << digits << QStringList {u"type:23"_s, u"Home"_s, u"type:1"_s} << u"123"_s << 0;
    QTest::newRow("delete at the start")
        << digits << QStringList {u"type:123"_s, u"Home"_s, u"Del"_s} << u"23"_s << 0;
    QTest::newRow("shift+left selects one")
        << digits << QStringList {u"type:123"_s, u"Shift+Left"_s, u"type:9"_s} << u"129"_s << 0;
    QTest::newRow("shift+home selects all before")
        << digits << QStringList {u"type:123"_s, u"Left"_s, u"Shift+Home"_s, u"Backspace"_s}
        << u"3"_s << 0;
    QTest::newRow("end after home")
        << digits << QStringList {u"type:12"_s, u"Home"_s, u"End"_s, u"type:3"_s} << u"123"_s << 0;
    QTest::newRow("undo a backspace")
        << digits << QStringList {u"type:12"_s, u"Backspace"_s, u"Ctrl+Z"_s} << u"12"_s << 0;
    QTest::newRow("cut and paste back")
        << digits << QStringList {u"type:12"_s, u"Ctrl+A"_s, u"Ctrl+X"_s, u"type:3"_s, u"Ctrl+V"_s}
        << u"312"_s << 0;
    QTest::newRow("copy and paste at the end")
        << digits << QStringList {u"type:12"_s, u"Ctrl+A"_s, u"Ctrl+C"_s, u"End"_s, u"Ctrl+V"_s}
        << u"1212"_s << 0;
    QTest::newRow("paste of digits")
        << digits << QStringList {u"type:1"_s, u"paste:45"_s} << u"145"_s << 0;
    QTest::newRow("paste of digits over a selection")
        << digits << QStringList {u"type:99"_s, u"Ctrl+A"_s, u"paste:45"_s} << u"45"_s << 0;
    QTest::newRow("paste of 12a3 refused whole")
        << digits << QStringList {u"type:1"_s, u"paste:12a3"_s} << u"1"_s << 1;
    QTest::newRow("paste of a point refused")
        << digits << QStringList {u"paste:87.5"_s} << QString() << 1;
    QTest::newRow("shift+insert of digits")
        << digits << QStringList {u"type:1"_s, u"insert-paste:0"_s} << u"10"_s << 0;
    QTest::newRow("shift+insert of 12a3 refused")
        << digits << QStringList {u"insert-paste:12a3"_s} << QString() << 1;

    QTest::newRow("frequency typed")
        << kFrequency << QStringList {u"type:87.5"_s} << u"87.5"_s << 0;
    QTest::newRow("frequency, points are not counted")
        << kFrequency << QStringList {u"type:1..2"_s} << u"1..2"_s << 0;
    QTest::newRow("frequency, letters, minus, blank")
        << kFrequency << QStringList {u"type:9a-8 "_s} << u"98"_s << 3;
    QTest::newRow("frequency, backspace")
        << kFrequency << QStringList {u"type:87.5"_s, u"Backspace"_s, u"Backspace"_s} << u"87"_s
        << 0;
    QTest::newRow("frequency, ctrl+a then typing")
        << kFrequency << QStringList {u"type:87.5"_s, u"Ctrl+A"_s, u"type:101.1"_s} << u"101.1"_s
        << 0;
    QTest::newRow("frequency, paste of 87.5")
        << kFrequency << QStringList {u"paste:87.5"_s} << u"87.5"_s << 0;
    QTest::newRow("frequency, paste of 87,5 refused")
        << kFrequency << QStringList {u"type:1"_s, u"paste:87,5"_s} << u"1"_s << 1;
    QTest::newRow("frequency, paste with a line end refused")
        << kFrequency << QStringList {u"paste:88\n"_s} << QString() << 1;
}

void tst_characterfilter::keys()
{
    QFETCH(QString, allowed);
    QFETCH(QStringList, steps);
    QFETCH(QString, text);
    QFETCH(int, beeps);
    CharacterFilter::install(m_field, allowed, [this] { ++m_beeps; });
    m_window->show();
    m_field->setFocus();
    for (const QString &step : std::as_const(steps))
        perform(step);
    QCOMPARE(m_field->text(), text);
    QCOMPARE(m_beeps, beeps);
}

void tst_characterfilter::otherPathsAreHeldSilently_data()
{
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("text");
    QTest::newRow("digits") << u"42"_s << u"142"_s;
    QTest::newRow("12a3") << u"12a3"_s << u"1"_s;
    QTest::newRow("chinese") << u"一二"_s << u"1"_s;
}

void tst_characterfilter::otherPathsAreHeldSilently()
{
    QFETCH(QString, inserted);
    QFETCH(QString, text);
    CharacterFilter::install(m_field, CharacterFilter::digits(), [this] { ++m_beeps; });
    m_window->show();
    m_field->setFocus();
    QTest::keyClicks(m_field, u"1"_s);
    // The context menu's paste, the middle button and a drop insert
    // without a key: the same characters are held, without a beep.
    QApplication::clipboard()->setText(inserted);
    m_field->paste();
    QCOMPARE(m_field->text(), text);
    m_field->insert(inserted);
    QCOMPARE(m_field->text(), text == u"1"_s ? text : text + inserted);
    QCOMPARE(m_beeps, 0);
}

void tst_characterfilter::readOnlyFieldIsLeftAlone()
{
    CharacterFilter::install(m_field, CharacterFilter::digits(), [this] { ++m_beeps; });
    m_field->setText(u"12"_s);
    m_field->setReadOnly(true);
    m_window->show();
    m_field->setFocus();
    QTest::keyClicks(m_field, u"ab"_s);
    QCOMPARE(m_field->text(), u"12"_s);
    QCOMPARE(m_beeps, 0);
}

QTEST_MAIN(tst_characterfilter)
#include "tst_characterfilter.moc"
