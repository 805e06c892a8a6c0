// Messages raised by timers, the link and the start-up, shown by the real
// message boxes: they never hold up the ticks, and the end of the program
// ends it whatever is open.

#include "console/endofday.h"
#include "consolerig.h"
#include "platform/secondticker.h"
#include "platform/widgetdialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
QList<QMessageBox *> visibleBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    }
    return boxes;
}

bool showing(const QString &text)
{
    const QList<QMessageBox *> boxes = visibleBoxes();
    return std::any_of(boxes.cbegin(), boxes.cend(),
                       [&](const QMessageBox *b) { return b->text() == text; });
}
} // namespace

class tst_ConsoleNotices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void aNoticeIsShownOnce();
    void ticksGoOnWhileANoticeIsOpen();
    void countdownEndsTheProgramWhateverIsOpen();
};

void tst_ConsoleNotices::cleanup()
{
    for (QMessageBox *box : visibleBoxes())
        box->button(QMessageBox::Ok)->click();
    QTest::qWait(10);
}

void tst_ConsoleNotices::aNoticeIsShownOnce()
{
    const QString portText = u"打开串行口错误，请重新选择串行口"_s;
    const QString portTitle = u"串行口设置不对"_s;
    const QString fileText = u"读取文件失败，可能文件设置有误或文件格式不对"_s;
    QWidget main;
    main.resize(600, 400);
    main.show();
    QWidget tool;
    tool.setWindowTitle(u"设置"_s);
    tool.setGeometry(700, 300, 300, 200);
    tool.show();
    WidgetDialogs dialogs(&main);
    dialogs.notify(portText, portTitle, MsgIcon::Exclamation, nullptr);
    dialogs.notify(portText, portTitle, MsgIcon::Exclamation, nullptr);
    QCOMPARE(visibleBoxes().size(), 1);
    QMessageBox *box = visibleBoxes().at(0);
    QCOMPARE(box->windowTitle(), portTitle);
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QCOMPARE(box->parentWidget(), &main);
    QVERIFY(box->windowModality() != Qt::ApplicationModal);
    // A second notice for the same window waits for the first to be
    // answered, rather than opening on top of it; waiting, it is not
    // queued twice.
    dialogs.notify(fileText, u"请检查"_s, MsgIcon::Error, nullptr);
    dialogs.notify(fileText, u"请检查"_s, MsgIcon::Error, nullptr);
    QCOMPARE(visibleBoxes().size(), 1);
    // A notice for another window stands over that window at once.
    dialogs.notify(u"没有读取到主机的时间。"_s, QString(), MsgIcon::Information, &tool);
    QCOMPARE(visibleBoxes().size(), 2);
    QMessageBox *toolBox
        = visibleBoxes().at(0) == box ? visibleBoxes().at(1) : visibleBoxes().at(0);
    QCOMPARE(toolBox->parentWidget(), &tool);
    QVERIFY(toolBox->pos() != box->pos());
    // Enter answers a notice: the waiting one for the main window comes up.
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_COMPARE(visibleBoxes().size(), 2);
    QTRY_VERIFY(showing(fileText));
    // Once the operator closed it, the same message shows again when raised
    // again, after the one on screen for that window.
    dialogs.notify(portText, portTitle, MsgIcon::Exclamation, nullptr);
    QCOMPARE(visibleBoxes().size(), 2);
    for (QMessageBox *open : visibleBoxes()) {
        if (open->text() == fileText)
            QTest::keyClick(open, Qt::Key_Escape);
    }
    QTRY_VERIFY(showing(portText));
}

void tst_ConsoleNotices::ticksGoOnWhileANoticeIsOpen()
{
    WidgetDialogs dialogs;
    ConsoleRig rig;
    rig.realDialogs = &dialogs;
    rig.port.devices.clear(); // the serial port is missing: its message comes first
    rig.mixer.openResult = -2;
    Console &c = rig.start();
    QSignalSpy ticked(&c, &Console::ticked);
    // The port's notice first; the mixer's waits its turn over the same window.
    QCOMPARE(visibleBoxes().size(), 1);
    QVERIFY(c.secondTicker().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(ticked.size() >= 2, 5000);
    QCOMPARE(visibleBoxes().size(), 1);
    visibleBoxes().at(0)->button(QMessageBox::Ok)->click();
    QTRY_COMPARE(visibleBoxes().size(), 1);
    const int before = int(ticked.size());
    QTRY_VERIFY_WITH_TIMEOUT(ticked.size() >= before + 1, 5000);
}

void tst_ConsoleNotices::countdownEndsTheProgramWhateverIsOpen()
{
    WidgetDialogs dialogs;
    ConsoleRig rig;
    rig.realDialogs = &dialogs;
    rig.mixer.openResult = -2; // a notice stays open throughout
    rig.setting(u"shutdown"_s, u"True"_s);
    rig.clock.set(QDateTime(QDate(2026, 12, 7), QTime(18, 0, 0))); // today's items are over
    Console &c = rig.start();
    QCOMPARE(visibleBoxes().size(), 1);
    // The countdown at a faster pace; its rule is the same 40 ticks.
    c.endOfDay().timercomm.setInterval(5);
    c.endOfDay().timercomm.start();
    c.endOfDay().Timershutdown.setInterval(5);
    connect(&c, &Console::programEnds, qApp, [] { QCoreApplication::exit(0); });
    // The operator has a question of his own open when the countdown runs out.
    bool questionReturned = false;
    QTimer::singleShot(0, this, [&questionReturned] {
        QMessageBox question(QMessageBox::Question, u"程序提示"_s, u"真的要关闭本程序"_s,
                             QMessageBox::Yes | QMessageBox::No);
        question.exec();
        questionReturned = true;
    });
    QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(99); });
    const int code = QCoreApplication::exec();
    QCOMPARE(code, 0);
    QVERIFY(questionReturned);
    QCOMPARE(int(c.endOfDay().ShutdownTicks), 40);
    QCOMPARE(rig.power.powerOffs, 1);
    QVERIFY(c.ending());
}

QTEST_MAIN(tst_ConsoleNotices)
#include "tst_consolenotices.moc"
