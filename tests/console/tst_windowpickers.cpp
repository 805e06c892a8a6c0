// Every time picker of every window is one Tab stop: Tab and Shift+Tab
// leave it at once, as they leave any other field.

#include "consolerig.h"
#include "directory/frmsource.h"
#include "support/consolewindows.h"
#include "support/fakemediaplayer.h"
#include "support/fakemediaprobe.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QStackedWidget>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

class tst_windowpickers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void everyPickerIsOneTabStop_data();
    void everyPickerIsOneTabStop();

private:
    std::unique_ptr<ConsoleRig> m_rig;
    FakeMediaPlayer m_player;
    FakeMediaProbe m_probe;
};

using Builder = std::function<QWidget *(Console &, FakeMediaPlayer &, FakeMediaProbe &)>;
Q_DECLARE_METATYPE(Builder)

void tst_windowpickers::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_windowpickers::cleanup()
{
    m_rig.reset();
}

void tst_windowpickers::everyPickerIsOneTabStop_data()
{
    QTest::addColumn<Builder>("build");
    QTest::addColumn<int>("pickers");
    QTest::newRow("frmsetup") << Builder([](Console &c, FakeMediaPlayer &, FakeMediaProbe &) {
        return static_cast<QWidget *>(new frmsetup(setupServices(c)));
    }) << 4;
    QTest::newRow("frmsource") << Builder([](Console &c, FakeMediaPlayer &, FakeMediaProbe &) {
        return static_cast<QWidget *>(new frmsource(c.dialogs(), c.folder(), c.savedFiles()));
    }) << 8;
    QTest::newRow("weekprog") << Builder([](Console &c, FakeMediaPlayer &, FakeMediaProbe &) {
        return static_cast<QWidget *>(new weekprog(weekprogServices(c)));
    }) << 2;
    QTest::newRow("frmplaylist") << Builder(
        [](Console &c, FakeMediaPlayer &player, FakeMediaProbe &probe) {
            return static_cast<QWidget *>(new frmplaylist(playlistServices(c), player, probe));
        }) << 2;
    QTest::newRow("frmclock") << Builder([](Console &c, FakeMediaPlayer &, FakeMediaProbe &) {
        return static_cast<QWidget *>(new frmclock(clockServices(c)));
    }) << 1;
}

void tst_windowpickers::everyPickerIsOneTabStop()
{
    QFETCH(Builder, build);
    QFETCH(int, pickers);
    Console &c = m_rig->start();
    std::unique_ptr<QWidget> window(build(c, m_player, m_probe));
    window->show();
    QApplication::setActiveWindow(window.get());
    const QList<QDateTimeEdit *> found = window->findChildren<QDateTimeEdit *>();
    QCOMPARE(found.size(), pickers);
    for (QDateTimeEdit *picker : found) {
        const QString name = picker->objectName();
        // Shown and usable: its tab page in front, enabled (some start
        // disabled until a box is ticked).
        for (QWidget *w = picker; w->parentWidget(); w = w->parentWidget()) {
            if (auto *stack = qobject_cast<QStackedWidget *>(w->parentWidget()))
                stack->setCurrentWidget(w);
        }
        picker->setEnabled(true);
        picker->setFocus(Qt::TabFocusReason);
        QVERIFY2(picker->hasFocus(), qPrintable(name));
        QTest::keyClick(picker, Qt::Key_Tab);
        QVERIFY2(QApplication::focusWidget() != picker, qPrintable(name + u" kept Tab"_s));
        picker->setFocus(Qt::TabFocusReason);
        QTest::keyClick(picker, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY2(QApplication::focusWidget() != picker, qPrintable(name + u" kept Shift+Tab"_s));
    }
}

QTEST_MAIN(tst_windowpickers)
#include "tst_windowpickers.moc"
