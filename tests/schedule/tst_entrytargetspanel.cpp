// The editor's target controls driven through the controls: the node list
// from node.txt, the target list and its buttons, the group menu, the boxes
// named from amp_name.dat, the fields they build and a row's targets loaded.

#include "console/consolerig.h"
#include "platform/profileini.h"
#include "schedule/entrytargetspanel.h"
#include "support/gbkfiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// A dozen terminals in the directory's order: name, address as typed, group.
const QStringList kNodes {u"礼堂,200,1"_s, u"一年级,1,2"_s,  u"二年级,2,2"_s,  u"三年级,3,2"_s,
                          u"四年级,4,3"_s, u"五年级,05,3"_s, u"六年级,6,3"_s,  u"操场,17,4"_s,
                          u"食堂,20,4"_s,  u"校门,8,1"_s,    u"办公楼,30,5"_s, u"图书馆,31,5"_s};

QStringList nodeColumn(int column)
{
    QStringList result;
    for (const QString &n : kNodes)
        result << n.section(u',', column, column);
    return result;
}

QString nodeText()
{
    QString text;
    for (const QString &n : kNodes)
        text += u'"' + QString(n).replace(u","_s, u"\",\""_s) + u"\"\n"_s;
    return text;
}

const QStringList kAmpNames {u"礼堂功放"_s, u"一楼"_s, u"二楼"_s, u"三楼"_s,
                             u"四楼"_s,     u"操场"_s, u"备用"_s, u"广播室"_s};
const QStringList kDeviceNames {u"收音机"_s, u"电铃"_s, u"CD机"_s, u"录音座"_s,
                                u"话筒"_s,   u"VCD"_s,  u"电视"_s, u"备用"_s};

QString ampText()
{
    QString text;
    for (const QString &name : kAmpNames)
        text += u'"' + name + u"\"\n"_s;
    for (int n = 1; n <= 8; ++n)
        text += u"\"%1\"\n"_s.arg(88 + n);
    for (const QString &name : kDeviceNames)
        text += u'"' + name + u"\"\n"_s;
    return text;
}

} // namespace

class tst_EntryTargetsPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void showsTheDirectoryAndTheNames();
    void missingFilesLeaveEmptyListsAndPlainCaptions();
    void loadsAClickedRowsTargets();
    void arrowButtonsAndDoubleClick();
    void groupMenuAddsTheGroup_data();
    void groupMenuAddsTheGroup();
    void boxesBuildTheFields();
    void peripheralButton();
    void keyboardAndTabOrder();

private:
    EntryTargetsPanel &open(bool withFiles = true);
    template<class T> T *child(const QString &name) const
    {
        T *c = m_w->findChild<T *>(name);
        if (!c)
            qWarning("no control %s", qPrintable(name));
        return c;
    }
    void click(const QString &button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {});
    void clickTarget(int row, Qt::KeyboardModifiers modifiers = {});
    QStringList targets() const;
    QList<int> targetData() const;
    QList<int> ticked(const QString &prefix) const;
    QStringList rowTexts(int column) const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<EntryTargetsPanel> m_w;
};

void tst_EntryTargetsPanel::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_EntryTargetsPanel::cleanup()
{
    m_w.reset();
    m_rig.reset();
}

EntryTargetsPanel &tst_EntryTargetsPanel::open(bool withFiles)
{
    if (withFiles) {
        GbkFiles::writeText(m_rig->file(u"node.txt"_s), nodeText());
        GbkFiles::writeText(m_rig->file(u"amp_name.dat"_s), ampText());
        ProfileIni(m_rig->file(u"config.ini"_s))
            .writeString(u"分组名称"_s, u"分组2"_s, u"教学楼"_s);
    }
    Console &console = m_rig->start();
    m_rig->dialogs.shown.clear();
    m_w = std::make_unique<EntryTargetsPanel>(console.folder(), console.settings());
    m_w->resize(m_w->minimumSizeHint().expandedTo(QSize(640, 420)));
    m_w->show();
    if (!QTest::qWaitForWindowExposed(m_w.get()))
        qWarning("the panel was not shown");
    return *m_w;
}

void tst_EntryTargetsPanel::clickRow(int row, Qt::KeyboardModifiers modifiers)
{
    auto *view = child<QTreeWidget>(u"lvwnode"_s);
    QTreeWidgetItem *item = view->topLevelItem(row);
    view->scrollToItem(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualItemRect(item).center());
}

void tst_EntryTargetsPanel::clickTarget(int row, Qt::KeyboardModifiers modifiers)
{
    auto *list = child<QListWidget>(u"lstnode"_s);
    QListWidgetItem *item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(item).center());
}

QStringList tst_EntryTargetsPanel::targets() const
{
    auto *list = child<QListWidget>(u"lstnode"_s);
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

QList<int> tst_EntryTargetsPanel::targetData() const
{
    auto *list = child<QListWidget>(u"lstnode"_s);
    QList<int> result;
    for (int i = 0; i < list->count(); ++i) {
        const QVariant data = list->item(i)->data(Qt::UserRole);
        result << (data.typeId() == QMetaType::Int ? data.toInt() : -1);
    }
    return result;
}

QList<int> tst_EntryTargetsPanel::ticked(const QString &prefix) const
{
    QList<int> result;
    for (int n = 1; n <= 8; ++n) {
        if (child<QCheckBox>(prefix + QString::number(n))->isChecked())
            result << n;
    }
    return result;
}

QStringList tst_EntryTargetsPanel::rowTexts(int column) const
{
    auto *view = child<QTreeWidget>(u"lvwnode"_s);
    QStringList result;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        result << view->topLevelItem(i)->text(column);
    return result;
}

void tst_EntryTargetsPanel::showsTheDirectoryAndTheNames()
{
    open();
    auto *lvwnode = child<QTreeWidget>(u"lvwnode"_s);
    QStringList headers;
    for (int column = 0; column < lvwnode->columnCount(); ++column)
        headers << lvwnode->headerItem()->text(column);
    QCOMPARE(headers, (QStringList {u"节点名称"_s, u"地址"_s, u"分组"_s}));
    QCOMPARE(lvwnode->selectionMode(), QAbstractItemView::ExtendedSelection);
    for (int column = 0; column < 3; ++column)
        QCOMPARE(rowTexts(column), nodeColumn(column)); // "05" as typed
    QVERIFY(lvwnode->selectedItems().isEmpty());
    QCOMPARE(targets(), QStringList());

    for (int n = 1; n <= 8; ++n) {
        QCOMPARE(child<QCheckBox>(u"chkamp_%1"_s.arg(n))->text(),
                 u"功放%1(%2)"_s.arg(n).arg(kAmpNames.at(n - 1)));
        QCOMPARE(child<QCheckBox>(u"chkdevice_%1"_s.arg(n))->text(),
                 u"外设%1(%2)"_s.arg(n).arg(kDeviceNames.at(n - 1)));
    }
    // Group 2 is named in config.ini, the others read as their key.
    QStringList menu;
    for (QAction *a : child<QMenu>(u"mnugroup"_s)->actions())
        menu << a->objectName() + u'=' + a->text();
    QCOMPARE(menu,
             (QStringList {u"mnugrp_0=分组1:分组1"_s, u"mnugrp_1=分组2:教学楼"_s,
                           u"mnugrp_2=分组3:分组3"_s, u"mnugrp_3=分组4:分组4"_s,
                           u"mnugrp_4=分组5:分组5"_s, u"mnugrp_5=分组6:分组6"_s,
                           u"mnugrp_6=分组7:分组7"_s, u"mnugrp_7=分组8:分组8"_s}));

    const QList<QStringList> buttons {
        {u"cmdaddallnode"_s, u">>"_s, u"添加所有节点"_s},
        {u"cmdaddselectednode"_s, u">"_s, u"增加选定节点"_s},
        {u"cmddelallnode"_s, u"<<"_s, u"删除所有节点"_s},
        {u"cmddelselectednode"_s, u"<"_s, u"删除选定节点"_s},
        {u"cmdGroup"_s, u"分组"_s, QString()},
        {u"cmddevice"_s, u"外  设"_s, QString()},
    };
    for (const QStringList &b : buttons) {
        QCOMPARE(child<QPushButton>(b.at(0))->text(), b.at(1));
        QCOMPARE(child<QPushButton>(b.at(0))->toolTip(), b.at(2));
    }
    QStringList frames;
    for (const QGroupBox *g : m_w->findChildren<QGroupBox *>())
        frames << g->title();
    frames.sort();
    QStringList expectedFrames {u"分区控制"_s, u"功  放"_s, u"外  设"_s};
    expectedFrames.sort();
    QCOMPARE(frames, expectedFrames);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_EntryTargetsPanel::missingFilesLeaveEmptyListsAndPlainCaptions()
{
    open(false);
    QCOMPARE(child<QTreeWidget>(u"lvwnode"_s)->topLevelItemCount(), 0);
    for (int n = 1; n <= 8; ++n) {
        QCOMPARE(child<QCheckBox>(u"chkamp_%1"_s.arg(n))->text(), u"功放%1"_s.arg(n));
        QCOMPARE(child<QCheckBox>(u"chkdevice_%1"_s.arg(n))->text(), u"外设%1"_s.arg(n));
    }
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    // Entries still load and keep their targets.
    m_w->loadTargets(u"3.17."_s, u"2."_s, QString());
    QCOMPARE(targets(), (QStringList {u"3"_s, u"17"_s}));
    QCOMPARE(m_w->BuildZoneField(), u"3.17."_s);
    QCOMPARE(ticked(u"chkamp_"_s), QList<int> {2});
}

// The decoding itself is the core's (tst_targetselection); here: what the
// controls show, whatever the previous row had.
void tst_EntryTargetsPanel::loadsAClickedRowsTargets()
{
    open();
    m_w->loadTargets(u"1.2.4."_s, u"1.2.3.4.5.6.7.8."_s, u"1.2.3.4.5.6.7.8."_s);
    QCOMPARE(ticked(u"chkamp_"_s).size(), 8);

    // "5." finds "05"; 99 is not in node.txt and stays.
    m_w->loadTargets(u"3.17.200.5.99."_s, u"1.3."_s, u"2."_s);
    QCOMPARE(targets(), (QStringList {u"三年级"_s, u"操场"_s, u"礼堂"_s, u"五年级"_s, u"99"_s}));
    QCOMPARE(targetData(), (QList<int> {3, 17, 200, 5, 99}));
    QCOMPARE(ticked(u"chkamp_"_s), (QList<int> {1, 3}));
    QCOMPARE(ticked(u"chkdevice_"_s), QList<int> {2});
    QCOMPARE(m_w->BuildZoneField(), u"3.17.200.5.99."_s);

    m_w->loadTargets(QString(), QString(), QString());
    QCOMPARE(targets(), QStringList());
    QCOMPARE(ticked(u"chkamp_"_s), QList<int>());
    QCOMPARE(ticked(u"chkdevice_"_s), QList<int>());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_EntryTargetsPanel::arrowButtonsAndDoubleClick()
{
    open();
    clickRow(3);
    click(u"cmdaddselectednode"_s);
    click(u"cmdaddselectednode"_s);
    QCOMPARE(targets(), QStringList {u"三年级"_s});

    // Several rows: added in directory order, the one already there skipped.
    clickRow(9, Qt::ControlModifier);
    clickRow(5, Qt::ControlModifier);
    click(u"cmdaddselectednode"_s);
    QCOMPARE(targets(), (QStringList {u"三年级"_s, u"五年级"_s, u"校门"_s}));
    QCOMPARE(targetData(), (QList<int> {3, 5, 8}));
    QCOMPARE(m_w->BuildZoneField(), u"3.5.8."_s);

    // A double click's first press selects the row alone, then the double
    // click adds it.
    clickRow(0);
    QCOMPARE(targets().size(), 3);
    auto *lvwnode = child<QTreeWidget>(u"lvwnode"_s);
    QTest::mouseDClick(lvwnode->viewport(), Qt::LeftButton, {},
                       lvwnode->visualItemRect(lvwnode->topLevelItem(0)).center());
    QCOMPARE(targets(), (QStringList {u"三年级"_s, u"五年级"_s, u"校门"_s, u"礼堂"_s}));

    click(u"cmdaddallnode"_s);
    QCOMPARE(targets(), nodeColumn(0));
    QCOMPARE(m_w->BuildZoneField(), u"200.1.2.3.4.5.6.17.20.8.30.31."_s);

    clickTarget(1);
    clickTarget(3, Qt::ControlModifier);
    clickTarget(4, Qt::ControlModifier);
    click(u"cmddelselectednode"_s);
    QStringList left = nodeColumn(0);
    left.remove(3, 2);
    left.remove(1);
    QCOMPARE(targets(), left);
    QCOMPARE(m_w->BuildZoneField(), u"200.2.5.6.17.20.8.30.31."_s);

    click(u"cmddelallnode"_s);
    QCOMPARE(targets(), QStringList());
    QCOMPARE(m_w->BuildZoneField(), QString());
}

void tst_EntryTargetsPanel::groupMenuAddsTheGroup_data()
{
    QTest::addColumn<bool>("rightButton");
    QTest::newRow("cmdGroup") << false;
    QTest::newRow("right button on lvwnode") << true;
}

void tst_EntryTargetsPanel::groupMenuAddsTheGroup()
{
    QFETCH(bool, rightButton);
    open();
    clickRow(10); // selected before: stays selected and is added too
    auto *mnugroup = child<QMenu>(u"mnugroup"_s);
    if (rightButton) {
        auto *lvwnode = child<QTreeWidget>(u"lvwnode"_s);
        const QPoint pos = lvwnode->visualItemRect(lvwnode->topLevelItem(1)).center();
        const QPoint global = lvwnode->viewport()->mapToGlobal(pos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, global);
        QApplication::sendEvent(lvwnode->viewport(), &event);
        QVERIFY(QTest::qWaitFor([mnugroup] { return mnugroup->isVisible(); }, 5000));
        QCOMPARE(mnugroup->geometry().topLeft(), global);
    } else {
        click(u"cmdGroup"_s);
        QVERIFY(QTest::qWaitFor([mnugroup] { return mnugroup->isVisible(); }, 5000));
    }
    QAction *group2 = child<QAction>(u"mnugrp_1"_s);
    QTest::mouseClick(mnugroup, Qt::LeftButton, {}, mnugroup->actionGeometry(group2).center());
    QVERIFY(QTest::qWaitFor([mnugroup] { return !mnugroup->isVisible(); }, 5000));
    QCOMPARE(targets(), (QStringList {u"一年级"_s, u"二年级"_s, u"三年级"_s, u"办公楼"_s}));

    // Group 3 holds "05": groups compare by number too, and what is chosen stays.
    child<QAction>(u"mnugrp_2"_s)->trigger();
    QCOMPARE(targets(),
             (QStringList {u"一年级"_s, u"二年级"_s, u"三年级"_s, u"办公楼"_s, u"四年级"_s,
                           u"五年级"_s, u"六年级"_s}));
    QCOMPARE(m_w->BuildZoneField(), u"1.2.3.30.4.5.6."_s);
}

void tst_EntryTargetsPanel::boxesBuildTheFields()
{
    open();
    QCOMPARE(m_w->BuildAmpField(), QString());
    for (const QString &box : {u"chkamp_3"_s, u"chkamp_1"_s, u"chkdevice_8"_s, u"chkdevice_2"_s,
                               u"chkdevice_5"_s, u"chkdevice_5"_s})
        QTest::mouseClick(child<QCheckBox>(box), Qt::LeftButton);
    QCOMPARE(m_w->BuildAmpField(), u"1.3."_s);
    QCOMPARE(m_w->BuildDeviceField(), u"2.8."_s);
    // A loaded row's boxes build what was loaded, until a click changes them.
    m_w->loadTargets(QString(), u"7.2."_s, u"4."_s);
    QCOMPARE(m_w->BuildAmpField(), u"2.7."_s);
    QTest::mouseClick(child<QCheckBox>(u"chkdevice_4"_s), Qt::LeftButton);
    QCOMPARE(m_w->BuildDeviceField(), QString());
}

void tst_EntryTargetsPanel::peripheralButton()
{
    open();
    QSignalSpy spy(m_w.get(), &EntryTargetsPanel::peripheralOnlyRequested);
    click(u"cmddevice"_s);
    QCOMPARE(spy.size(), 1);
    // Nothing else changes.
    QCOMPARE(targets(), QStringList());
    QCOMPARE(m_w->BuildDeviceField(), QString());
}

void tst_EntryTargetsPanel::keyboardAndTabOrder()
{
    open();
    m_w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    auto *lvwnode = child<QTreeWidget>(u"lvwnode"_s);
    lvwnode->setFocus();
    clickRow(7);
    QTest::keyClick(lvwnode, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(lvwnode, Qt::Key_Return);
    QCOMPARE(targets(), (QStringList {u"操场"_s, u"食堂"_s}));
    auto *lstnode = child<QListWidget>(u"lstnode"_s);
    clickTarget(0);
    QTest::keyClick(lstnode, Qt::Key_Delete);
    QCOMPARE(targets(), QStringList {u"食堂"_s});

    QStringList expected {u"cmdaddallnode"_s,      u"cmdaddselectednode"_s, u"cmddelallnode"_s,
                          u"cmddelselectednode"_s, u"cmdGroup"_s,           u"lstnode"_s};
    for (int n = 1; n <= 8; ++n)
        expected << u"chkamp_%1"_s.arg(n);
    for (int n = 1; n <= 8; ++n)
        expected << u"chkdevice_%1"_s.arg(n);
    expected << u"cmddevice"_s;
    lvwnode->setFocus();
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);

    // Space on a focused box ticks it, as a click does.
    QTest::keyClick(child<QCheckBox>(u"chkdevice_8"_s), Qt::Key_Space);
    QCOMPARE(m_w->BuildDeviceField(), u"8."_s);

    m_w->loadTargets(u"3.17.200.99."_s, u"1.3."_s, u"2."_s);
    m_w->grab().save(QCoreApplication::applicationDirPath() + u"/entrytargetspanel.png"_s);
}

QTEST_MAIN(tst_EntryTargetsPanel)
#include "tst_entrytargetspanel.moc"
