// The main window's two views of today, the whole list and the next-item
// panel: whatever changed the view (start-up, the menu, the toolbar, the
// settings dialog's Apply or OK), exactly one of them is shown and exactly
// its menu item is ticked.

#include "console/frmback.h"
#include "console/frmsetup.h"
#include "consolerig.h"
#include "support/consolewindows.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

class tst_frmbackViews : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void oneViewOneTick_data();
    void oneViewOneTick();

private:
    // One step: a menu or toolbar action by name, "setup:" and an option of
    // the settings dialog followed by the button pressed ("setup:optone
    // cmdapp"), or "restart" (the window and console made again from the
    // stored settings).
    void perform(const QString &step);
    void startWindow();
    template<class T> T *child(const QString &name) { return m_window->findChild<T *>(name); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmback> m_window;
};

void tst_frmbackViews::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_frmbackViews::cleanup()
{
    m_window.reset();
    m_rig.reset();
}

void tst_frmbackViews::startWindow()
{
    Console &c = m_rig->start(false);
    m_window = std::make_unique<frmback>(c);
    c.startUp();
    m_window->resize(1024, 700);
    m_window->show();
}

void tst_frmbackViews::perform(const QString &step)
{
    if (step == u"restart") {
        m_window.reset();
        m_rig->destroyConsole();
        startWindow();
        return;
    }
    if (step.startsWith(u"setup:")) {
        const QStringList parts = step.mid(6).split(u' ');
        frmsetup dialog(setupServices(m_rig->console()));
        dialog.show();
        dialog.findChild<QRadioButton *>(parts.at(0))->click();
        dialog.findChild<QPushButton *>(parts.at(1))->click();
        return;
    }
    auto *action = m_window->findChild<QAction *>(step);
    QVERIFY2(action, qPrintable(step));
    action->trigger();
}

void tst_frmbackViews::oneViewOneTick_data()
{
    QTest::addColumn<QString>("stored"); // "dislaylist" at start-up
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("list"); // the list shown, else the panel

    QTest::newRow("start-up, whole list") << u"True"_s << QStringList {} << true;
    QTest::newRow("start-up, next item") << u"False"_s << QStringList {} << false;
    QTest::newRow("menu 显示待放曲目") << u"True"_s << QStringList {u"mnushownext"_s} << false;
    QTest::newRow("menu 显示播放列表 from the panel")
        << u"False"_s << QStringList {u"mnushowlist"_s} << true;
    QTest::newRow("menu 显示播放列表 while shown")
        << u"True"_s << QStringList {u"mnushowlist"_s} << false;
    QTest::newRow("toolbar 列表 from the list")
        << u"True"_s << QStringList {u"tbr1_detail"_s} << false;
    QTest::newRow("toolbar 列表 from the panel")
        << u"False"_s << QStringList {u"tbr1_detail"_s} << true;
    QTest::newRow("toolbar 列表, then menu 显示待放曲目")
        << u"False"_s << QStringList {u"tbr1_detail"_s, u"mnushownext"_s} << false;
    QTest::newRow("settings Apply 显示待播曲目")
        << u"True"_s << QStringList {u"setup:optone cmdapp"_s} << false;
    QTest::newRow("settings OK 显示待播曲目")
        << u"True"_s << QStringList {u"setup:optone cmdok"_s} << false;
    QTest::newRow("settings Apply 列表显示所有播放内容")
        << u"False"_s << QStringList {u"setup:optlist cmdapp"_s} << true;
    QTest::newRow("toolbar 列表, then settings Apply 显示待播曲目")
        << u"False"_s << QStringList {u"tbr1_detail"_s, u"setup:optone cmdapp"_s} << false;
    QTest::newRow("menu 显示待放曲目, then settings Apply 列表显示所有播放内容")
        << u"True"_s << QStringList {u"mnushownext"_s, u"setup:optlist cmdapp"_s} << true;
    QTest::newRow("settings Cancel changes nothing")
        << u"True"_s << QStringList {u"setup:optone cmdCancel"_s} << true;
    QTest::newRow("settings Apply 显示待播曲目, then a restart")
        << u"True"_s << QStringList {u"setup:optone cmdapp"_s, u"restart"_s} << false;
    QTest::newRow("menu 显示待放曲目 is not stored")
        << u"True"_s << QStringList {u"mnushownext"_s, u"restart"_s} << true;
}

void tst_frmbackViews::oneViewOneTick()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, steps);
    QFETCH(bool, list);
    m_rig->setting(u"dislaylist"_s, stored);
    startWindow();
    for (const QString &step : std::as_const(steps))
        perform(step);
    auto *lvwprog = child<QTreeView>(u"lvwprog"_s);
    auto *lblnextprog = child<QLabel>(u"lblnextprog"_s);
    auto *listItem = child<QAction>(u"mnushowlist"_s);
    auto *nextItem = child<QAction>(u"mnushownext"_s);
    QCOMPARE(lvwprog->isVisible(), list);
    QCOMPARE(lblnextprog->isVisible(), !list);
    QCOMPARE(listItem->isChecked(), list);
    QCOMPARE(nextItem->isChecked(), !list);
    QCOMPARE(m_window->listShown(), list);
    QCOMPARE(m_window->nextPanelShown(), !list);
    // The panel shown has today's next item in it.
    if (!list)
        QVERIFY(lblnextprog->text().contains(u"07:30:00"_s));
}

QTEST_MAIN(tst_frmbackViews)
#include "tst_frmback_views.moc"
