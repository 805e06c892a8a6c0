// The name fields of the directory windows. "节点管理": a node or group name
// holding a control character is refused at Save, naming the field, before
// node.txt or config.ini change; blanks around a name are dropped, so what is
// saved is what is shown. "节目源及外设名称设置" shows its names as saved too.

#include "console/consolerig.h"
#include "directory/ampnamefile.h"
#include "directory/frmnode.h"
#include "directory/frmnode_list.h"
#include "directory/frmsource.h"
#include "directory/nodedirectory.h"
#include "directory/nodefile.h"
#include "platform/profileini.h"
#include "support/gbkfiles.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_namefields : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void namesAreSavedAsShown_data();
    void namesAreSavedAsShown();
    void sourceNamesAreSavedAsShown_data();
    void sourceNamesAreSavedAsShown();

private:
    template<class T> T *child(const QString &name) { return m_w->findChild<T *>(name); }
    void click(const QString &button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmnode> m_w;
};

void tst_namefields::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_namefields::cleanup()
{
    m_w.reset();
    m_rig.reset();
}

void tst_namefields::namesAreSavedAsShown_data()
{
    QTest::addColumn<QString>("field"); // txtnodename (then Add or Modify) or a group name
    QTest::addColumn<QString>("text"); // as pasted or typed
    QTest::addColumn<QString>("shown"); // the field after Add or Enter
    QTest::addColumn<QString>("message"); // the refusal at Save; empty when saved
    const QString node = u"txtnodename"_s;
    const QString group = u"txtGN_5"_s;
    QTest::newRow("node name") << node << u"东门"_s << u"东门"_s << QString();
    QTest::newRow("node name with blanks and tabs around it")
        << node << u" \t东 门\t "_s << u"东 门"_s << QString();
    QTest::newRow("node name with blanks around it, modified")
        << u"txtnodename:modify"_s << u"东 门 "_s << u"东 门"_s << QString();
    QTest::newRow("group name with blanks around it")
        << group << u"  操 场 "_s << u"操 场"_s << QString();
    // Shown as a blank in the field; node.txt would end at it.
    QTest::newRow("node name with 0x1A")
        << node << u"东\x1a门"_s << u"东\x1a门"_s
        << u"节点名称“东\x1a门”中含有控制字符（0x1A），无法保存，请去掉后再保存。"_s;
    QTest::newRow("node name with NUL")
        << node << u"东门"_s + QChar(u'\0') << u"东门"_s + QChar(u'\0') << u"控制字符（0x00）"_s;
    QTest::newRow("node name with a tab inside")
        << node << u"东\t门"_s << u"东\t门"_s << u"控制字符（0x09）"_s;
    QTest::newRow("node name with DEL")
        << node << u"东门\x7f"_s << u"东门\x7f"_s << u"控制字符（0x7F）"_s;
    QTest::newRow("group name with 0x1A")
        << group << u"操\x1a场"_s << u"操\x1a场"_s
        << u"分组5名称“操\x1a场”中含有控制字符（0x1A），无法保存，请去掉后再保存。"_s;
    QTest::newRow("group name with 0x01")
        << group << u"\x01操场"_s << u"\x01操场"_s << u"控制字符（0x01）"_s;
}

void tst_namefields::namesAreSavedAsShown()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    const QString nodeFile = m_rig->file(u"node.txt"_s);
    const QString configIni = m_rig->file(u"config.ini"_s);
    GbkFiles::writeText(configIni, u"[分组名称]\n分组5=操场\n"_s);
    GbkFiles::writeText(nodeFile, u"\"大厅\",\"7\",\"2\"\n"_s);
    const QByteArray nodes = GbkFiles::readBytes(nodeFile);
    const QByteArray ini = GbkFiles::readBytes(configIni);
    Console &c = m_rig->start();
    m_w = std::make_unique<frmnode>(c.dialogs(), c.folder(), c.settings().configIni(),
                                    c.savedFiles());
    m_w->show();
    m_rig->dialogs.shown.clear();

    const bool modify = field.endsWith(u":modify"_s);
    const bool nodeName = field.startsWith(u"txtnodename"_s);
    if (modify) {
        // The one node becomes current, as a click on it makes it.
        QAbstractItemView *view = child<NodeListView>(u"lvwnode"_s)->currentView();
        const QModelIndex first = view->model()->index(0, 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(first).center());
    }
    // Set as a paste or a chosen text would set it: keys cannot type a
    // control character.
    auto *edit = child<QLineEdit>(field.section(u':', 0, 0));
    edit->setText(text);
    if (nodeName) {
        child<QLineEdit>(u"txtnodeaddr"_s)->setText(u"3"_s);
        child<QComboBox>(u"cmbnodegroup"_s)->setCurrentIndex(4);
        click(modify ? u"cmdmodify"_s : u"cmdadd"_s);
        // As the list shows it.
        QCOMPARE(m_w->directory().nodes().value(modify ? 0 : 1).name, shown);
    } else {
        QTest::keyClick(edit, Qt::Key_Return); // the end of editing, as leaving the field
        QCOMPARE(m_w->directory().groupName(5), shown);
    }
    QCOMPARE(edit->text(), shown);

    click(u"cmdsave"_s);
    QVERIFY(!m_rig->dialogs.shown.isEmpty());
    const FakeDialogs::Shown &told = m_rig->dialogs.shown.last();
    QCOMPARE(told.title, u"存盘提示"_s);
    if (!message.isEmpty()) {
        QVERIFY2(told.text.contains(message), qPrintable(told.text));
        QCOMPARE(told.icon, MsgIcon::Exclamation);
        QCOMPARE(GbkFiles::readBytes(nodeFile), nodes);
        QCOMPARE(GbkFiles::readBytes(configIni), ini);
        QVERIFY(m_w->directory().isModified());
        return;
    }
    QCOMPARE(told.text, u"保存成功！"_s);
    // The console's readers get what the window showed.
    const NodeFileRead read = readNodeFile(nodeFile);
    QVERIFY(read.ok);
    const ProfileIni stored(configIni);
    if (nodeName) {
        QCOMPARE(read.records.size(), modify ? 1 : 2);
        QCOMPARE(read.records.last(), (NodeRecord {shown, u"3"_s, u"5"_s}));
    } else {
        QCOMPARE(stored.getString(u"分组名称"_s, u"分组5"_s, QString(), 50), shown);
    }
}

void tst_namefields::sourceNamesAreSavedAsShown_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("part"); // 0 amplifiers, 2 devices: the block in amp_name.dat
    QTest::newRow("amplifier 3") << u"txtamp_3"_s << 0;
    QTest::newRow("device 6") << u"txtdevice_6"_s << 2;
}

void tst_namefields::sourceNamesAreSavedAsShown()
{
    QFETCH(QString, field);
    QFETCH(int, part);
    const QString ampFile = m_rig->file(u"amp_name.dat"_s);
    GbkFiles::writeText(ampFile, QString(u"\"旧\"\n"_s).repeated(24));
    Console &c = m_rig->start();
    frmsource window(c.dialogs(), c.folder(), c.savedFiles());
    window.show();
    auto *edit = window.findChild<QLineEdit *>(field);
    QVERIFY(edit);
    edit->setText(u" \t东楼 功放\t "_s);
    // Enter ends the editing, and saves.
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), u"东楼 功放"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.last().text, u"保存成功"_s);
    const AmpNames read = readAmpNameFile(ampFile).names;
    const int n = field.back().digitValue();
    QCOMPARE((part == 0 ? read.amps : read.devices).value(n - 1), u"东楼 功放"_s);
}

QTEST_MAIN(tst_namefields)
#include "tst_namefields.moc"
