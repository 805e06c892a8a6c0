// "节点管理" driven through its controls: what it saves is read back by the
// console's own readers.

#include "console/consolerig.h"
#include "console/settingsloader.h"
#include "directory/frmnode.h"
#include "directory/frmnode_list.h"
#include "directory/nodedirectory.h"
#include "platform/gbk.h"
#include "support/gbkfiles.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MsgAnswer)

class tst_frmnode : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void opensWithTheDirectory();
    void missingFileIsToldOnceAndSaveCreatesIt();
    void savedFilesReadBackByTheConsole();
    void failedSaveKeepsTheOldFile();
    void newStopsAtTheLimitAddDoesNot();
    void addressTakesDigitsOnly();
    void addressRange_data();
    void addressRange();
    void oneAddressMessageAtATime();
    void closeCheck_data();
    void closeCheck();
    void sortByAddressIsSavedInThatOrder();
    void viewStyles_data();
    void viewStyles();
    void doubleQuoteIsRefused_data();
    void doubleQuoteIsRefused();
    void missingChoiceChangesNothing_data();
    void missingChoiceChangesNothing();
    void clickModifyDelete();
    void keyboard();

private:
    frmnode &open(const QString &nodeText);
    template<class T> T *child(const QString &name) { return m_w->findChild<T *>(name); }
    QLineEdit *edit(const QString &name) { return child<QLineEdit>(name); }
    void click(const QString &button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void type(const QString &field, const QString &text);
    void addNode(const QString &name, const QString &address, int group);
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {});
    void settle();
    QString nodeFile() const { return m_rig->file(u"node.txt"_s); }
    QStringList lastMessage() const;
    QStringList names() const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmnode> m_w;
};

void tst_frmnode::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_frmnode::cleanup()
{
    m_w.reset();
    m_rig.reset();
}

frmnode &tst_frmnode::open(const QString &nodeText)
{
    if (!nodeText.isNull())
        GbkFiles::writeText(nodeFile(), nodeText);
    Console &console = m_rig->start();
    m_rig->dialogs.shown.clear();
    m_w = std::make_unique<frmnode>(console.dialogs(), console.folder(),
                                    console.settings().configIni(), console.savedFiles());
    m_w->show();
    if (!QTest::qWaitForWindowActive(m_w.get()))
        qWarning("the window did not become active");
    settle();
    return *m_w;
}

// Typed key by key, as the operator types (keyClicks knows only Latin-1).
void tst_frmnode::type(const QString &field, const QString &text)
{
    QLineEdit *e = edit(field);
    e->setFocus();
    e->selectAll();
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void tst_frmnode::addNode(const QString &name, const QString &address, int group)
{
    type(u"txtnodename"_s, name);
    type(u"txtnodeaddr"_s, address);
    child<QComboBox>(u"cmbnodegroup"_s)->setCurrentIndex(group - 1);
    click(u"cmdadd"_s);
}

void tst_frmnode::clickRow(int row, Qt::KeyboardModifiers modifiers)
{
    QAbstractItemView *view = child<NodeListView>(u"lvwnode"_s)->currentView();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualRect(index).center());
}

// Runs what the window queued so far (checks made after a focus change).
void tst_frmnode::settle()
{
    bool done = false;
    QMetaObject::invokeMethod(
        this, [&done] { done = true; }, Qt::QueuedConnection);
    QVERIFY(QTest::qWaitFor([&done] { return done; }, 5000));
}

QStringList tst_frmnode::lastMessage() const
{
    if (m_rig->dialogs.shown.isEmpty())
        return {};
    const FakeDialogs::Shown &s = m_rig->dialogs.shown.last();
    return {s.text, s.title, QString::number(int(s.icon))};
}

QStringList tst_frmnode::names() const
{
    QStringList result;
    for (const NodeRecord &n : m_w->directory().nodes())
        result << n.name;
    return result;
}

namespace {
QString info(MsgIcon icon)
{
    return QString::number(int(icon));
}
} // namespace

void tst_frmnode::opensWithTheDirectory()
{
    GbkFiles::writeText(m_rig->file(u"config.ini"_s), u"[分组名称]\n分组2=教学楼\n"_s);
    frmnode &w = open(u"\"大厅\",\"7\",\"2\"\n\"操场\",\"8\",\"\"\n"_s);
    QCOMPARE(w.objectName(), u"frmnode"_s);
    QCOMPARE(w.windowTitle(), u"节点管理"_s);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    const QStringList buttons {u"cmdnew:新 建"_s, u"cmdadd:增 加"_s,  u"cmdmodify:修 改"_s,
                               u"cmddel:删 除"_s, u"cmdsave:保 存"_s, u"cmdexit:退 出"_s};
    for (const QString &b : buttons)
        QCOMPARE(child<QPushButton>(b.section(u':', 0, 0))->text(), b.section(u':', 1));
    auto *groups = child<QComboBox>(u"cmbnodegroup"_s);
    QCOMPARE(groups->count(), 8);
    QCOMPARE(groups->itemText(1), u"2--教学楼"_s);
    QCOMPARE(groups->itemData(7).toInt(), 8);
    QCOMPARE(groups->currentIndex(), -1);
    auto *style = child<QComboBox>(u"cmbstyle"_s);
    const QStringList styles {u"大 图 标"_s, u"小 图 标"_s, u"列    表"_s, u"详细资料"_s};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(style->itemText(i), styles.at(i));
    QCOMPARE(style->currentIndex(), 0);
    QCOMPARE(edit(u"txtGN_1"_s)->text(), u"分组1"_s);
    QCOMPARE(edit(u"txtGN_2"_s)->text(), u"教学楼"_s);
    QCOMPARE(child<QWidget>(u"lblGN_8"_s)->property("text").toString(), u"分组8名称:"_s);
    auto *list = child<NodeListView>(u"lvwnode"_s);
    QCOMPARE(list->view(), int(NodeListView::LargeIcons));
    QCOMPARE(names(), (QStringList {u"大厅"_s, u"操场"_s}));
    const QIcon icon
        = list->currentView()->model()->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(!w.directory().isModified());
    w.close();
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmnode::missingFileIsToldOnceAndSaveCreatesIt()
{
    open(QString());
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.first().text.contains(u"node.txt"_s));
    QCOMPARE(m_rig->dialogs.shown.first().title, QString());
    QCOMPARE(m_w->directory().count(), 0);
    addNode(u"大厅"_s, u"7"_s, 2);
    click(u"cmdsave"_s);
    QCOMPARE(lastMessage(),
             (QStringList {u"保存成功！"_s, u"存盘提示"_s, info(MsgIcon::Information)}));
    QCOMPARE(GbkFiles::readBytes(nodeFile()), toGbk(u"\"大厅\",\"7\",\"2\"\r\n"));
    m_w->hide();
    m_w->show();
    settle();
    QCOMPARE(m_rig->dialogs.shown.size(), 2);
}

void tst_frmnode::savedFilesReadBackByTheConsole()
{
    GbkFiles::writeText(m_rig->file(u"config.ini"_s),
                        u"[DisplayMode]\nVCD=0\n[分组名称]\n分组2=教学楼\n"_s);
    open(u"\"大厅\",\"7\",\"2\"\n"_s);
    addNode(u"一年级1班"_s, u"1"_s, 1);
    addNode(u"操场, 东侧"_s, u"100"_s, 4);
    click(u"cmdnew"_s);
    type(u"txtGN_3"_s, u"东楼, 三层"_s);
    click(u"cmdsave"_s);
    QCOMPARE(lastMessage().value(0), u"保存成功！"_s);

    QCOMPARE(GbkFiles::readBytes(nodeFile()),
             toGbk(u"\"大厅\",\"7\",\"2\"\r\n\"一年级1班\",\"1\",\"1\"\r\n"
                   u"\"操场, 东侧\",\"100\",\"4\"\r\n\"新节点\",\"\",\"\"\r\n"));
    QString groups;
    for (int n = 1; n <= 8; ++n) {
        if (n != 2)
            groups += u"分组%1=%2\r\n"_s.arg(n).arg(n == 3 ? u"东楼, 三层"_s : u"分组%1"_s.arg(n));
    }
    QCOMPARE(
        GbkFiles::readBytes(m_rig->file(u"config.ini"_s)),
        toGbk(QString(u"[DisplayMode]\r\nVCD=0\r\n[分组名称]\r\n分组2=教学楼\r\n"_s + groups)));

    const NodeFileRead read = readNodeFile(nodeFile());
    QVERIFY(read.ok);
    QCOMPARE(read.records, m_w->directory().nodes());
    AppSettings s;
    SettingsLoader::LoadNodeAddresses(m_rig->console().folder(), s);
    QCOMPARE(s.AllNodeList, u"7.1.100."_s);
    SettingsLoader::LoadGroupNames(m_rig->console().settings().configIni(), s);
    QCOMPARE(s.GroupNames[2], u"教学楼"_s);
    QCOMPARE(s.GroupNames[3], u"东楼, 三层"_s);
    QCOMPARE(s.GroupNames[8], u"分组8"_s);
    // The group choice is rebuilt from the saved names, with none chosen.
    auto *choice = child<QComboBox>(u"cmbnodegroup"_s);
    QCOMPARE(choice->itemText(2), u"3--东楼, 三层"_s);
    QCOMPARE(choice->currentIndex(), -1);
    QVERIFY(!m_w->directory().isModified());
}

void tst_frmnode::failedSaveKeepsTheOldFile()
{
    open(u"\"大厅\",\"7\",\"2\"\n"_s);
    const QByteArray before = GbkFiles::readBytes(nodeFile());
    QFile::setPermissions(nodeFile(), QFile::ReadOwner);
    addNode(u"操场"_s, u"8"_s, 1);
    click(u"cmdsave"_s);
    const QStringList shown = lastMessage();
    QVERIFY2(shown.value(0).startsWith(u"节点文件保存失败：\n文件只读"_s),
             qPrintable(shown.value(0)));
    QCOMPARE(shown.mid(1), (QStringList {u"存盘提示"_s, info(MsgIcon::Error)}));
    QCOMPARE(GbkFiles::readBytes(nodeFile()), before);
    QVERIFY(m_w->directory().isModified());
    // Yes at the closing question saves; a save that fails keeps the window.
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    QVERIFY(!m_w->close());
    QVERIFY(lastMessage().value(0).startsWith(u"节点文件保存失败"_s));
}

void tst_frmnode::newStopsAtTheLimitAddDoesNot()
{
    QString text;
    for (int i = 0; i < 255; ++i)
        text += u"n%1,%1,1\n"_s.arg(i);
    open(text);
    click(u"cmdnew"_s);
    QCOMPARE(lastMessage(),
             (QStringList {u"节点数已经最大了，不能再增加"_s, u"增加节点提示"_s,
                           info(MsgIcon::Information)}));
    QCOMPARE(m_w->directory().count(), 255);
    QVERIFY(!m_w->directory().isModified());
    addNode(u"多一个"_s, u"9"_s, 3);
    QCOMPARE(m_w->directory().count(), 256);
    QCOMPARE(m_w->directory().nodes().last(), (NodeRecord {u"多一个"_s, u"9"_s, u"3"_s}));
}

void tst_frmnode::addressTakesDigitsOnly()
{
    open(u""_s);
    QLineEdit *addr = edit(u"txtnodeaddr"_s);
    addr->setFocus();
    QTest::keyClicks(addr, u"1a2-"_s);
    QCOMPARE(addr->text(), u"12"_s);
    QCOMPARE(m_rig->dialogs.beeps, 2);
    // The editing keys are the field's own.
    QTest::keyClick(addr, Qt::Key_Backspace);
    QCOMPARE(addr->text(), u"1"_s);
    QTest::keyClicks(addr, u"23"_s);
    QTest::keyClick(addr, Qt::Key_Left);
    QTest::keyClick(addr, Qt::Key_Delete);
    QCOMPARE(addr->text(), u"12"_s);
    // Ctrl+A selects all: typing replaces it, and adds nothing else.
    QTest::keyClick(addr, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(addr, u"35"_s);
    QCOMPARE(addr->text(), u"35"_s);
    QCOMPARE(m_rig->dialogs.beeps, 2);
    // A paste of digits goes in; one with anything else is refused whole.
    QApplication::clipboard()->setText(u"6"_s);
    QTest::keyClick(addr, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(addr->text(), u"356"_s);
    QApplication::clipboard()->setText(u"12a3"_s);
    QTest::keyClick(addr, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(addr->text(), u"356"_s);
    QCOMPARE(m_rig->dialogs.beeps, 3);
    addr->insert(u"x"_s); // inserted any other way, it is held to digits too
    QCOMPARE(addr->text(), u"356"_s);
}

void tst_frmnode::addressRange_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("passes");
    QTest::newRow("256") << u"256"_s << false;
    QTest::newRow("255") << u"255"_s << true;
    QTest::newRow("empty") << QString() << true;
}

void tst_frmnode::addressRange()
{
    QFETCH(QString, address);
    QFETCH(bool, passes);
    open(u""_s);
    QLineEdit *addr = edit(u"txtnodeaddr"_s);
    type(u"txtnodeaddr"_s, address);
    QTest::keyClick(addr, Qt::Key_Tab);
    settle();
    const QStringList rangeMessage {u"请输入0-255的整数"_s, u"地址输入不对"_s,
                                    info(MsgIcon::Information)};
    if (passes) {
        QVERIFY(m_rig->dialogs.shown.isEmpty());
        QVERIFY(child<QComboBox>(u"cmbnodegroup"_s)->hasFocus());
    } else {
        QCOMPARE(lastMessage(), rangeMessage);
        // Raised by the focus leaving the field: it does not wait.
        QVERIFY(!m_rig->dialogs.shown.last().waited);
        QTRY_VERIFY(addr->hasFocus());
        QCOMPARE(addr->selectedText(), address);
    }
    // Add checks it too: a click can come before the check of leaving the field.
    child<QComboBox>(u"cmbnodegroup"_s)->setCurrentIndex(0);
    click(u"cmdadd"_s);
    settle();
    QCOMPARE(m_w->directory().count(), passes ? 1 : 0);
    QCOMPARE(m_rig->dialogs.shown.size(), passes ? 0 : 2);
    if (!passes)
        QVERIFY(m_rig->dialogs.shown.last().waited); // the operator's command
}

void tst_frmnode::oneAddressMessageAtATime()
{
    open(u""_s);
    // A real message box runs the waiting events while it is shown, the
    // check queued by leaving the field among them.
    m_rig->dialogs.nestEventLoop = true;
    type(u"txtnodeaddr"_s, u"300"_s);
    child<QComboBox>(u"cmbnodegroup"_s)->setCurrentIndex(0);
    click(u"cmdadd"_s);
    settle();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_w->directory().count(), 0);
}

void tst_frmnode::closeCheck_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("how");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved");
    QTest::newRow("node, yes") << "node"
                               << "cmdexit" << MsgAnswer::Yes << true << true;
    QTest::newRow("node, no") << "node"
                              << "escape" << MsgAnswer::No << true << false;
    QTest::newRow("node, cancel") << "node"
                                  << "close box" << MsgAnswer::Cancel << false << false;
    QTest::newRow("group name, yes") << "group"
                                     << "close box" << MsgAnswer::Yes << true << true;
    QTest::newRow("group name, no") << "group"
                                    << "cmdexit" << MsgAnswer::No << true << false;
    QTest::newRow("group name, cancel") << "group"
                                        << "escape" << MsgAnswer::Cancel << false << false;
    QTest::newRow("nothing edited") << "none"
                                    << "cmdexit" << MsgAnswer::Cancel << true << false;
}

void tst_frmnode::closeCheck()
{
    QFETCH(QString, edit);
    QFETCH(QString, how);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, closed);
    QFETCH(bool, saved);
    GbkFiles::writeText(m_rig->file(u"config.ini"_s), u"[分组名称]\n分组1=甲\n"_s);
    open(u"\"大厅\",\"7\",\"2\"\n"_s);
    const QByteArray nodes = GbkFiles::readBytes(nodeFile());
    const QByteArray ini = GbkFiles::readBytes(m_rig->file(u"config.ini"_s));
    if (edit == u"node"_s)
        click(u"cmdnew"_s);
    else if (edit == u"group"_s)
        type(u"txtGN_1"_s, u"乙"_s);
    m_rig->dialogs.answers.enqueue(answer);
    if (how == u"cmdexit"_s)
        click(how);
    else if (how == u"escape"_s)
        QTest::keyClick(child<NodeListView>(u"lvwnode"_s)->currentView(), Qt::Key_Escape);
    else
        m_w->close();
    QCOMPARE(m_w->isVisible(), !closed);
    if (edit == u"none"_s) {
        QVERIFY(m_rig->dialogs.shown.isEmpty());
        return;
    }
    QCOMPARE(m_rig->dialogs.shown.first().text, u"节点内容已被修改，保存吗？"_s);
    QCOMPARE(m_rig->dialogs.shown.first().title, u"存盘提示"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Question);
    QCOMPARE(m_rig->dialogs.shown.first().buttons, MsgButtons::YesNoCancel);
    QCOMPARE(lastMessage().value(0) == u"保存成功！"_s, saved);
    const bool unchanged = GbkFiles::readBytes(nodeFile()) == nodes
        && GbkFiles::readBytes(m_rig->file(u"config.ini"_s)) == ini;
    QCOMPARE(unchanged, !saved);
    QCOMPARE(m_w->directory().isModified(), !closed);
}

void tst_frmnode::sortByAddressIsSavedInThatOrder()
{
    open(u"a,10,1\nb,9,1\nc,100,1\nd,2,1\n"_s);
    child<QComboBox>(u"cmbstyle"_s)->setCurrentIndex(NodeListView::Report);
    QHeaderView *header = child<NodeListView>(u"lvwnode"_s)->reportView()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
    QCOMPARE(names(), (QStringList {u"d"_s, u"b"_s, u"a"_s, u"c"_s}));
    QVERIFY(!m_w->directory().isModified());
    click(u"cmdsave"_s);
    QCOMPARE(
        GbkFiles::readText(nodeFile()),
        u"\"d\",\"2\",\"1\"\r\n\"b\",\"9\",\"1\"\r\n\"a\",\"10\",\"1\"\r\n\"c\",\"100\",\"1\"\r\n"_s);
}

void tst_frmnode::viewStyles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("mode"); // QListView::ViewMode, or -1 for the report
    QTest::addColumn<int>("flow");
    QTest::addColumn<int>("iconSize");
    QTest::newRow("大 图 标") << 0 << int(QListView::IconMode) << int(QListView::LeftToRight) << 32;
    QTest::newRow("小 图 标") << 1 << int(QListView::ListMode) << int(QListView::LeftToRight) << 16;
    QTest::newRow("列    表") << 2 << int(QListView::ListMode) << int(QListView::TopToBottom) << 16;
    QTest::newRow("详细资料") << 3 << -1 << 0 << 16;
}

void tst_frmnode::viewStyles()
{
    QFETCH(int, style);
    QFETCH(int, mode);
    QFETCH(int, flow);
    QFETCH(int, iconSize);
    const QStringList rooms {u"一年级1班"_s,
                             u"一年级2班"_s,
                             u"二年级1班"_s,
                             u"二年级2班"_s,
                             u"操场, 东侧"_s,
                             u"操场, 西侧"_s,
                             u"教学楼三层东侧走廊"_s,
                             u"大厅"_s,
                             u"图书馆"_s,
                             u"食堂"_s,
                             u"校门"_s,
                             u"Gym"_s};
    QString text;
    for (int i = 0; i < 12; ++i)
        text += u"\"%1\",\"%2\",\"%3\"\n"_s.arg(rooms.at(i)).arg(i * 3 + 1).arg(i % 8 + 1);
    open(text);
    clickRow(4);
    auto *combo = child<QComboBox>(u"cmbstyle"_s);
    combo->setCurrentIndex(style);
    auto *list = child<NodeListView>(u"lvwnode"_s);
    QAbstractItemView *shown = list->currentView();
    QVERIFY(shown->isVisible());
    QCOMPARE(shown->iconSize(), QSize(iconSize, iconSize));
    if (mode < 0) {
        QCOMPARE(shown, list->reportView());
        QCOMPARE(list->reportView()->header()->count(), 3);
    } else {
        QCOMPARE(int(list->iconView()->viewMode()), mode);
        QCOMPARE(int(list->iconView()->flow()), flow);
    }
    QCOMPARE(list->currentRow(), 4); // the current node does not depend on the view
    m_w->grab().save(QCoreApplication::applicationDirPath() + u"/frmnode_%1.png"_s.arg(style));
}

void tst_frmnode::doubleQuoteIsRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("node name") << u"txtnodename"_s;
    QTest::newRow("group name") << u"txtGN_5"_s;
}

void tst_frmnode::doubleQuoteIsRefused()
{
    QFETCH(QString, field);
    GbkFiles::writeText(m_rig->file(u"config.ini"_s), u"[分组名称]\n分组5=操场\n"_s);
    open(u"\"大厅\",\"7\",\"2\"\n"_s);
    const QByteArray nodes = GbkFiles::readBytes(nodeFile());
    const QByteArray ini = GbkFiles::readBytes(m_rig->file(u"config.ini"_s));
    if (field == u"txtnodename"_s)
        addNode(u"东\"门"_s, u"3"_s, 1);
    else
        type(field, u"东\"门"_s);
    click(u"cmdsave"_s);
    QVERIFY2(lastMessage().value(0).contains(u"“东\"门”中含有双引号"_s),
             qPrintable(lastMessage().value(0)));
    QCOMPARE(lastMessage().mid(1), (QStringList {u"存盘提示"_s, info(MsgIcon::Exclamation)}));
    QCOMPARE(GbkFiles::readBytes(nodeFile()), nodes);
    QCOMPARE(GbkFiles::readBytes(m_rig->file(u"config.ini"_s)), ini);
    QVERIFY(m_w->directory().isModified());
}

void tst_frmnode::missingChoiceChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message");
    QTest::newRow("add without a group")
        << u"cmdadd"_s << u"没有选择节点分组，请先在“节点分组”中选择一个分组。"_s;
    QTest::newRow("modify without a node")
        << u"cmdmodify"_s << u"没有选择节点，请先在列表中单击要修改的节点。"_s;
    QTest::newRow("delete without a node")
        << u"cmddel"_s << u"没有选择节点，请先在列表中单击要删除的节点。"_s;
}

void tst_frmnode::missingChoiceChangesNothing()
{
    QFETCH(QString, button);
    QFETCH(QString, message);
    open(u"\"大厅\",\"7\",\"2\"\n"_s);
    type(u"txtnodename"_s, u"操场"_s);
    if (button != u"cmdadd"_s)
        child<QComboBox>(u"cmbnodegroup"_s)->setCurrentIndex(0);
    click(button);
    QCOMPARE(lastMessage(), (QStringList {message, u"错误提示"_s, info(MsgIcon::Error)}));
    QCOMPARE(m_w->directory().nodes(), (QList<NodeRecord> {{u"大厅"_s, u"7"_s, u"2"_s}}));
    QVERIFY(!m_w->directory().isModified());
}

void tst_frmnode::clickModifyDelete()
{
    open(u"\"大厅\",\"7\",\"2\"\n\"操场\",\"8\",\"3\"\n"_s);
    click(u"cmdnew"_s);
    clickRow(1);
    QCOMPARE(edit(u"txtnodename"_s)->text(), u"操场"_s);
    QCOMPARE(edit(u"txtnodeaddr"_s)->text(), u"8"_s);
    QCOMPARE(child<QComboBox>(u"cmbnodegroup"_s)->currentIndex(), 2);
    QTest::keyClick(child<NodeListView>(u"lvwnode"_s)->currentView(), Qt::Key_Left);
    QCOMPARE(edit(u"txtnodename"_s)->text(), u"大厅"_s); // moving with the keys copies too
    clickRow(2); // the placeholder: no group chosen
    QCOMPARE(edit(u"txtnodename"_s)->text(), u"新节点"_s);
    QCOMPARE(child<QComboBox>(u"cmbnodegroup"_s)->currentIndex(), -1);
    type(u"txtnodename"_s, u"东门"_s);
    type(u"txtnodeaddr"_s, u"05"_s);
    click(u"cmdmodify"_s); // name and address are written before the missing group is found
    QCOMPARE(lastMessage().value(1), u"错误提示"_s);
    QCOMPARE(m_w->directory().node(2), (NodeRecord {u"东门"_s, u"05"_s, QString()}));
    child<QComboBox>(u"cmbnodegroup"_s)->setCurrentIndex(5);
    click(u"cmdmodify"_s);
    QCOMPARE(m_w->directory().node(2), (NodeRecord {u"东门"_s, u"05"_s, u"6"_s}));
    // Of several selected nodes Delete removes the current one, and then no
    // node is current, not even a selected neighbour.
    clickRow(1);
    clickRow(2, Qt::ControlModifier);
    click(u"cmddel"_s);
    QCOMPARE(names(), (QStringList {u"大厅"_s, u"操场"_s}));
    const qsizetype shown = m_rig->dialogs.shown.size();
    click(u"cmddel"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), shown + 1);
    QCOMPARE(names(), (QStringList {u"大厅"_s, u"操场"_s}));
}

void tst_frmnode::keyboard()
{
    open(u"\"大厅\",\"7\",\"2\"\n"_s);
    QStringList order;
    child<QComboBox>(u"cmbstyle"_s)->setFocus();
    for (int i = 0; i < 20; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QStringList expected {u"cmbstyle"_s,    u"lvwnodeIcons"_s, u"txtnodename"_s,
                          u"txtnodeaddr"_s, u"cmbnodegroup"_s, u"cmdnew"_s,
                          u"cmdadd"_s,      u"cmdmodify"_s,    u"cmddel"_s};
    for (int n = 1; n <= 8; ++n)
        expected << u"txtGN_%1"_s.arg(n);
    expected << u"cmdsave"_s << u"cmdexit"_s << u"cmbstyle"_s;
    QCOMPARE(order, expected);
    // Enter in a field presses no button; on a button it presses that one.
    child<QComboBox>(u"cmbnodegroup"_s)->setCurrentIndex(0);
    type(u"txtnodename"_s, u"操场"_s);
    QTest::keyClick(edit(u"txtnodename"_s), Qt::Key_Return);
    QCOMPARE(m_w->directory().count(), 1);
    child<QPushButton>(u"cmdadd"_s)->setFocus();
    QTest::keyClick(child<QPushButton>(u"cmdadd"_s), Qt::Key_Return);
    QCOMPARE(m_w->directory().count(), 2);
    // A group name stops where config.ini would cut it (49 bytes of GBK).
    type(u"txtGN_1"_s, QString(30, u'楼'));
    QCOMPARE(edit(u"txtGN_1"_s)->text(), QString(24, u'楼'));
    QVERIFY(m_w->minimumSizeHint().width() >= 400);
    m_w->resize(m_w->minimumSizeHint());
    m_w->grab().save(QCoreApplication::applicationDirPath() + u"/frmnode_minimum.png"_s);
}

QTEST_MAIN(tst_frmnode)
#include "tst_frmnode.moc"
