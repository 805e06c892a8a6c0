// The matrix window on the running console, worked through its controls:
// the frames it writes, the routes it keeps for the run, what it does not
// send, and a port that is not open.

#include "console/consolerig.h"
#include "zonelink/frmMatrix.h"
#include "zonelink/zonelink.h"

#include <QApplication>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

using Inputs = QList<int>; // 0-based input of outputs 1..8

class tst_frmMatrix : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void layoutAndFreshStart();
    void oneOutput_data();
    void oneOutput();
    void allOutputs_data();
    void allOutputs();
    void reopeningShowsStoredRoutes();
    void leavingWithoutButtonSendsNothing_data();
    void leavingWithoutButtonSendsNothing();
    void portNotOpenGivesOneMessage();
    void keyboard();

private:
    frmMatrix &open();
    QRadioButton *option(int k, int i) const
    {
        return m_window->findChild<QRadioButton *>(u"optIn%1_%2"_s.arg(k).arg(i));
    }
    QPushButton *button(const QString &name) const
    {
        return m_window->findChild<QPushButton *>(name);
    }
    QPushButton *enter(int k) const { return button(u"cmdEnter_%1"_s.arg(k)); }
    // The checked option of every frame, or -1 where none is.
    Inputs shown() const;
    Inputs stored() const;
    void store(const Inputs &inputs);
    QByteArray lastFrame() const { return m_queued->last().at(0).toByteArray(); }

    std::unique_ptr<ConsoleRig> m_rig;
    QPointer<frmMatrix> m_window;
    std::unique_ptr<QSignalSpy> m_queued;
};

void tst_frmMatrix::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_rig->start();
}

void tst_frmMatrix::cleanup()
{
    delete m_window;
    m_queued.reset();
    m_rig.reset();
}

frmMatrix &tst_frmMatrix::open()
{
    Console &c = m_rig->console();
    if (!m_queued)
        m_queued = std::make_unique<QSignalSpy>(&c.link(), &ZoneLink::frameQueued);
    m_window = new frmMatrix(c.link(), c.state().MatrixRoutes, c.dialogs());
    m_window->setAttribute(Qt::WA_DeleteOnClose); // as the main window opens it
    m_window->show();
    return *m_window;
}

Inputs tst_frmMatrix::shown() const
{
    Inputs inputs;
    for (int k = 0; k < 8; ++k) {
        int checked = -1;
        for (int i = 0; i < 8; ++i) {
            if (option(k, i)->isChecked())
                checked = i;
        }
        inputs.append(checked);
    }
    return inputs;
}

Inputs tst_frmMatrix::stored() const
{
    const auto &routes = m_rig->console().state().MatrixRoutes;
    return Inputs(routes.begin() + 1, routes.end());
}

void tst_frmMatrix::store(const Inputs &inputs)
{
    auto &routes = m_rig->console().state().MatrixRoutes;
    for (int output = 1; output <= 8; ++output)
        routes[std::size_t(output)] = qint16(inputs.at(output - 1));
}

void tst_frmMatrix::layoutAndFreshStart()
{
    frmMatrix &w = open();
    QCOMPARE(w.windowTitle(), u"矩阵控制"_s);
    const QStringList captions {u"输出一"_s, u"输出二"_s, u"输出三"_s, u"输出四"_s,
                                u"输出五"_s, u"输出六"_s, u"输出七"_s, u"输出八"_s};
    for (int k = 0; k < 8; ++k) {
        auto *frame = w.findChild<QGroupBox *>(u"fraOut_%1"_s.arg(k));
        QVERIFY(frame);
        QCOMPARE(frame->title(), captions.at(k));
        for (int i = 0; i < 8; ++i) {
            QVERIFY2(option(k, i), qPrintable(u"optIn%1_%2"_s.arg(k).arg(i)));
            QCOMPARE(option(k, i)->text(), QString::number(i + 1));
            QCOMPARE(option(k, i)->parentWidget(), frame);
        }
        QCOMPARE(enter(k)->text(), u"确 定"_s);
        QCOMPARE(enter(k)->parentWidget(), frame);
    }
    QCOMPARE(button(u"cmdEnterAll"_s)->text(), u"全部确定"_s);
    QCOMPARE(button(u"cmdCancel"_s)->text(), u"退 出"_s);
    // After a start every output reads input 1, whatever the controller does.
    QCOMPARE(shown(), Inputs(8, 0));
    QCOMPARE(m_queued->size(), 0);

    // The window fits its controls at its smallest.
    w.resize(w.minimumSize());
    for (int k = 0; k < 8; ++k)
        QVERIFY(enter(k)->width() >= enter(k)->minimumSizeHint().width());
}

void tst_frmMatrix::oneOutput_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("i");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("output 3 to input 6") << 2 << 5 << QByteArray::fromHex("EB1458000001 25 FE01");
    QTest::newRow("output 1 to input 1") << 0 << 0 << QByteArray::fromHex("EB1458000001 00 FE01");
    QTest::newRow("output 2 to input 5") << 1 << 4 << QByteArray::fromHex("EB1458000001 14 FE01");
    QTest::newRow("output 8 to input 8") << 7 << 7 << QByteArray::fromHex("EB1458000001 77 FE01");
    QTest::newRow("output 5 to input 2") << 4 << 1 << QByteArray::fromHex("EB1458000001 41 FE01");
}

void tst_frmMatrix::oneOutput()
{
    QFETCH(int, k);
    QFETCH(int, i);
    QFETCH(QByteArray, frame);
    const Inputs before {3, 3, 3, 3, 3, 3, 3, 3};
    store(before);
    open();
    // Another frame changed but not confirmed is neither stored nor sent.
    const int other = (k + 1) % 8;
    option(other, 6)->click();
    option(k, i)->click();
    enter(k)->click();

    QCOMPARE(m_queued->size(), 1);
    QCOMPARE(lastFrame(), frame);
    QCOMPARE(m_queued->last().at(1).toBool(), false); // written, no request-to-send
    Inputs after = before;
    after[k] = i;
    QCOMPARE(stored(), after);
    QVERIFY(QTest::qWaitFor([this, &frame] { return m_rig->port.writes().contains(frame); }, 5000));
    QVERIFY(m_window->isVisible()); // the window stays for the next route
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmMatrix::allOutputs_data()
{
    QTest::addColumn<Inputs>("inputs");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("output k to input k")
        << Inputs {0, 1, 2, 3, 4, 5, 6, 7}
        << QByteArray::fromHex("EB1458000008 0011223344556677 FE01");
    QTest::newRow("reversed") << Inputs {7, 6, 5, 4, 3, 2, 1, 0}
                              << QByteArray::fromHex("EB1458000008 0716253443526170 FE01");
    QTest::newRow("all from input 4") << Inputs {3, 3, 3, 3, 3, 3, 3, 3}
                                      << QByteArray::fromHex("EB1458000008 0313233343536373 FE01");
}

void tst_frmMatrix::allOutputs()
{
    QFETCH(Inputs, inputs);
    QFETCH(QByteArray, frame);
    store({5, 5, 5, 5, 5, 5, 5, 5});
    open();
    for (int k = 0; k < 8; ++k)
        option(k, inputs.at(k))->click();
    button(u"cmdEnterAll"_s)->click();

    QCOMPARE(m_queued->size(), 1); // one frame for all eight
    QCOMPARE(lastFrame(), frame);
    QCOMPARE(m_queued->last().at(1).toBool(), false);
    QCOMPARE(stored(), inputs);
    QVERIFY(QTest::qWaitFor([this, &frame] { return m_rig->port.writes().contains(frame); }, 5000));
}

void tst_frmMatrix::reopeningShowsStoredRoutes()
{
    store({0, 0, 0, 0, 0, 0, 2, 7});
    open();
    QCOMPARE(shown(), (Inputs {0, 0, 0, 0, 0, 0, 2, 7}));
    option(1, 4)->click(); // output 2 ← input 5
    enter(1)->click();
    option(3, 1)->click(); // output 4 ← input 2, never confirmed
    button(u"cmdCancel"_s)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window, 5000); // deleted on close, as the main window has it

    open();
    QCOMPARE(shown(), (Inputs {0, 4, 0, 0, 0, 0, 2, 7}));
    // And once more after "全部确定".
    option(0, 3)->click();
    button(u"cmdEnterAll"_s)->click();
    m_window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window, 5000);
    open();
    QCOMPARE(shown(), (Inputs {3, 4, 0, 0, 0, 0, 2, 7}));
    QCOMPARE(m_queued->size(), 2);
}

void tst_frmMatrix::leavingWithoutButtonSendsNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("退 出") << u"cmdCancel"_s;
    QTest::newRow("Escape") << u"escape"_s;
    QTest::newRow("close box") << u"close"_s;
}

void tst_frmMatrix::leavingWithoutButtonSendsNothing()
{
    QFETCH(QString, how);
    const Inputs before {1, 2, 3, 4, 5, 6, 7, 0};
    store(before);
    open();
    for (int k = 0; k < 8; ++k)
        option(k, 7 - k)->click();
    option(3, 0)->click();
    QCOMPARE(shown(), (Inputs {7, 6, 5, 0, 3, 2, 1, 0}));
    if (how == u"escape")
        QTest::keyClick(m_window, Qt::Key_Escape);
    else if (how == u"close")
        m_window->close();
    else
        button(how)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window, 5000);
    QCOMPARE(m_queued->size(), 0);
    QCOMPARE(stored(), before);
    open();
    QCOMPARE(shown(), before);
}

void tst_frmMatrix::portNotOpenGivesOneMessage()
{
    // The device of the port is missing: the console starts with the link down.
    m_rig = std::make_unique<ConsoleRig>();
    m_rig->port.devices.clear();
    m_rig->start();
    QVERIFY(!m_rig->console().link().isOpen());
    m_rig->dialogs.shown.clear(); // the start-up's own notice about the port
    const Inputs before {0, 1, 0, 1, 0, 1, 0, 1};
    store(before);
    open();

    option(2, 5)->click();
    enter(2)->click();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    const FakeDialogs::Shown message = m_rig->dialogs.shown.at(0);
    QCOMPARE(message.text, frmMatrix::portClosedText());
    QVERIFY(message.text.contains(u"串行口没有打开"_s));
    QCOMPARE(message.title, u"矩阵控制"_s);
    QCOMPARE(message.icon, MsgIcon::Exclamation);
    QVERIFY(message.waited);

    // "全部确定" also says it once, not once an output.
    button(u"cmdEnterAll"_s)->click();
    QCOMPARE(m_rig->dialogs.shown.size(), 2);
    QCOMPARE(m_rig->dialogs.shown.at(1).text, frmMatrix::portClosedText());

    QCOMPARE(m_queued->size(), 0);
    QCOMPARE(stored(), before); // nothing reached the controller, nothing is kept
    QVERIFY(m_window->isVisible()); // the choices stay on screen for another try
    QCOMPARE(shown().at(2), 5);
}

void tst_frmMatrix::keyboard()
{
    frmMatrix &w = open();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // The focus starts on the first output's input.
    QCOMPARE(QApplication::focusWidget(), option(0, 0));

    // Tab goes down each frame to its "确 定", then to the next frame, and
    // ends on the two buttons at the bottom.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), enter(0));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), option(1, 0));

    // Arrows choose within the frame; Enter on an option sends nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), option(1, 2));
    QVERIFY(option(1, 2)->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_queued->size(), 0);

    // Enter on the frame's "确 定" sends that output.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), enter(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_queued->size(), 1);
    QCOMPARE(lastFrame(), QByteArray::fromHex("EB1458000001 12 FE01"));

    enter(7)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button(u"cmdEnterAll"_s));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button(u"cmdCancel"_s));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window, 5000);
    QCOMPARE(m_queued->size(), 1);
}

QTEST_MAIN(tst_frmMatrix)
#include "tst_frmmatrix.moc"
