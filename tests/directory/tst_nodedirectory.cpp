// The node directory's rules, without a window: loading, New/Add/Modify/
// Delete, sorting, the modified flag, group names and Save.

#include "directory/nodedirectory.h"
#include "platform/gbk.h"
#include "platform/profileini.h"
#include "platform/savedfiles.h"
#include "support/gbkfiles.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Edit = NodeDirectory::EditError;

Q_DECLARE_METATYPE(NodeDirectory::EditError)

class tst_NodeDirectory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void loadsFileOrderAndGroupNames();
    void unreadableFileKeepsWhatWasRead_data();
    void unreadableFileKeepsWhatWasRead();
    void newStopsAtTheLimitAddDoesNot_data();
    void newStopsAtTheLimitAddDoesNot();
    void edits_data();
    void edits();
    void sorting_data();
    void sorting();
    void addressRange_data();
    void addressRange();
    void groupNameFits_data();
    void groupNameFits();
    void groupNamesCountAsModified();
    void unsavableTextIsRefused_data();
    void unsavableTextIsRefused();
    void failedGroupNamesKeepTheFlag();

private:
    NodeDirectory &load(const QString &nodeText);
    QStringList names() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileIni> m_ini;
    std::unique_ptr<NodeDirectory> m_nodes;
};

void tst_NodeDirectory::init()
{
    m_nodes.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    m_ini = std::make_unique<ProfileIni>(m_dir->filePath(u"config.ini"_s));
}

NodeDirectory &tst_NodeDirectory::load(const QString &nodeText)
{
    if (!nodeText.isNull())
        GbkFiles::writeText(m_dir->filePath(u"node.txt"_s), nodeText);
    m_nodes = std::make_unique<NodeDirectory>(m_dir->filePath(u"node.txt"_s), *m_ini);
    new QAbstractItemModelTester(
        m_nodes.get(), QAbstractItemModelTester::FailureReportingMode::QtTest, m_nodes.get());
    m_nodes->load();
    return *m_nodes;
}

QStringList tst_NodeDirectory::names() const
{
    QStringList result;
    for (const NodeRecord &n : m_nodes->nodes())
        result << n.name;
    return result;
}

namespace {
QString nodeLines(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += u"\"n%1\",\"%2\",\"1\"\n"_s.arg(i).arg(i % 256);
    return text;
}
} // namespace

void tst_NodeDirectory::loadsFileOrderAndGroupNames()
{
    GbkFiles::writeText(m_ini->path(), u"[分组名称]\n分组2=教学楼\n"_s);
    NodeDirectory &d = load(u"\"操场, 东侧\",\"10\",\"2\"\n\"大厅\",\"9\",\"1\"\n"_s);
    QCOMPARE(d.nodes(),
             (QList<NodeRecord> {{u"操场, 东侧"_s, u"10"_s, u"2"_s}, {u"大厅"_s, u"9"_s, u"1"_s}}));
    QCOMPARE(d.data(d.index(1, NodeDirectory::AddressColumn)).toString(), u"9"_s);
    QCOMPARE(d.headerData(2, Qt::Horizontal).toString(), u"节点分组"_s);
    QCOMPARE(d.groupName(1), u"分组1"_s);
    QCOMPARE(d.groupName(2), u"教学楼"_s);
    QCOMPARE(d.groupEntry(2), u"2--教学楼"_s);
    QCOMPARE(d.groupEntry(8), u"8--分组8"_s);
    QVERIFY(!d.isModified());
}

void tst_NodeDirectory::unreadableFileKeepsWhatWasRead_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("kept");
    QTest::newRow("missing") << QString() << 0;
    QTest::newRow("short last record") << u"\"a\",\"1\",\"1\"\n\"b\",\"2\"\n"_s << 1;
}

void tst_NodeDirectory::unreadableFileKeepsWhatWasRead()
{
    QFETCH(QString, content);
    QFETCH(int, kept);
    if (!content.isNull())
        GbkFiles::writeText(m_dir->filePath(u"node.txt"_s), content);
    m_nodes = std::make_unique<NodeDirectory>(m_dir->filePath(u"node.txt"_s), *m_ini);
    QVERIFY(!m_nodes->load().isEmpty());
    QCOMPARE(m_nodes->count(), kept);
    QVERIFY(!m_nodes->isModified());
    // The directory stays usable, and Save writes the file.
    QCOMPARE(m_nodes->addNode(u"x"_s, u"3"_s, 2), Edit::None);
    SavedFiles saved;
    QCOMPARE(m_nodes->save(saved).result, NodeDirectory::SaveOutcome::Saved);
    QCOMPARE(readNodeFile(m_dir->filePath(u"node.txt"_s)).records, m_nodes->nodes());
}

void tst_NodeDirectory::newStopsAtTheLimitAddDoesNot_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<bool>("added");
    QTest::newRow("254") << 254 << true;
    QTest::newRow("255") << 255 << false;
    QTest::newRow("more, from a file edited by hand") << 260 << false;
}

void tst_NodeDirectory::newStopsAtTheLimitAddDoesNot()
{
    QFETCH(int, before);
    QFETCH(bool, added);
    NodeDirectory &d = load(nodeLines(before));
    QCOMPARE(d.addPlaceholder(), added);
    QCOMPARE(d.count(), before + (added ? 1 : 0));
    QCOMPARE(d.isModified(), added);
    if (added)
        QCOMPARE(d.nodes().last(), (NodeRecord {u"新节点"_s, QString(), QString()}));
    QCOMPARE(d.addNode(u"x"_s, u"1"_s, 8), Edit::None);
    QCOMPARE(d.nodes().last(), (NodeRecord {u"x"_s, u"1"_s, u"8"_s}));
}

void tst_NodeDirectory::edits_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("group");
    QTest::addColumn<Edit>("error");
    QTest::addColumn<QStringList>("after"); // name:address:group of each node
    QTest::addColumn<bool>("modified");
    const QStringList start {u"a:1:1"_s, u"b:2:2"_s};
    QTest::newRow("add") << "add" << -1 << 3 << Edit::None << (start + QStringList {u"x:9:3"_s})
                         << true;
    QTest::newRow("add without a group") << "add" << -1 << 0 << Edit::NoGroup << start << false;
    QTest::newRow("modify") << "modify" << 1 << 4 << Edit::None
                            << QStringList {u"a:1:1"_s, u"x:9:4"_s} << true;
    QTest::newRow("modify without a current node")
        << "modify" << -1 << 4 << Edit::NoCurrentNode << start << false;
    QTest::newRow("modify without a group writes name and address")
        << "modify" << 0 << 0 << Edit::NoGroup << QStringList {u"x:9:1"_s, u"b:2:2"_s} << true;
    QTest::newRow("delete") << "delete" << 0 << 0 << Edit::None << QStringList {u"b:2:2"_s} << true;
    QTest::newRow("delete without a current node")
        << "delete" << -1 << 0 << Edit::NoCurrentNode << start << false;
    QTest::newRow("delete on an empty list")
        << "delete empty" << -1 << 0 << Edit::None << QStringList() << false;
}

void tst_NodeDirectory::edits()
{
    QFETCH(QString, op);
    QFETCH(int, row);
    QFETCH(int, group);
    QFETCH(Edit, error);
    QFETCH(QStringList, after);
    QFETCH(bool, modified);
    NodeDirectory &d = load(op == u"delete empty"_s ? u""_s : u"a,1,1\nb,2,2\n"_s);
    Edit result = Edit::None;
    if (op == u"add"_s)
        result = d.addNode(u"x"_s, u"9"_s, group);
    else if (op == u"modify"_s)
        result = d.modifyNode(row, u"x"_s, u"9"_s, group);
    else
        result = d.removeNode(row);
    QCOMPARE(result, error);
    QStringList shown;
    for (const NodeRecord &n : d.nodes())
        shown << n.name + u':' + n.address + u':' + n.group;
    QCOMPARE(shown, after);
    QCOMPARE(d.isModified(), modified);
}

void tst_NodeDirectory::sorting_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("sorted");
    const QString file = u"b,10,2\nA,9,10\nc,,\nd,100,1\ne,2,2\n"_s;
    QTest::newRow("address by number, empty first")
        << 1 << file << QStringList {u"c"_s, u"e"_s, u"A"_s, u"b"_s, u"d"_s};
    QTest::newRow("group by number, ties keep their order")
        << 2 << file << QStringList {u"c"_s, u"d"_s, u"b"_s, u"e"_s, u"A"_s};
    QTest::newRow("names by text")
        << 0 << u"b10,1,1\nB2,1,1\na,1,1\n"_s << QStringList {u"a"_s, u"b10"_s, u"B2"_s};
}

void tst_NodeDirectory::sorting()
{
    QFETCH(int, column);
    QFETCH(QString, file);
    QFETCH(QStringList, sorted);
    NodeDirectory &d = load(file);
    const QPersistentModelIndex first = d.index(0, 1);
    const NodeRecord firstNode = d.node(0);
    d.sort(column);
    QCOMPARE(names(), sorted);
    QCOMPARE(d.node(first.row()), firstNode); // the view's current node follows
    QVERIFY(!d.isModified());
}

void tst_NodeDirectory::addressRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    QTest::newRow("empty counts as 0") << QString() << true;
    QTest::newRow("0") << u"0"_s << true;
    QTest::newRow("255") << u"255"_s << true;
    QTest::newRow("256") << u"256"_s << false;
    QTest::newRow("leading zeros") << u"0255"_s << true;
    QTest::newRow("1000") << u"1000"_s << false;
    QTest::newRow("too long for a number") << u"99999999999999999999"_s << false;
}

void tst_NodeDirectory::addressRange()
{
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QCOMPARE(NodeDirectory::addressInRange(text), passes);
}

void tst_NodeDirectory::groupNameFits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fits");
    QTest::newRow("49 bytes") << QString(49, u'a') << true;
    QTest::newRow("50 bytes") << QString(50, u'a') << false;
    QTest::newRow("24 characters of two bytes and one") << QString(24, u'楼') + u'a' << true;
    QTest::newRow("25 characters of two bytes") << QString(25, u'楼') << false;
}

void tst_NodeDirectory::groupNameFits()
{
    QFETCH(QString, name);
    QFETCH(bool, fits);
    QCOMPARE(NodeDirectory::groupNameFits(name), fits);
}

void tst_NodeDirectory::groupNamesCountAsModified()
{
    NodeDirectory &d = load(u"a,1,1\n"_s);
    d.setGroupName(3, u"东楼"_s);
    QVERIFY(d.isModified());
    QCOMPARE(d.groupEntry(3), u"3--分组3"_s); // the choice changes only with Save
    d.setGroupName(3, u"分组3"_s);
    QVERIFY(!d.isModified());
    d.setGroupName(3, u"东楼"_s);
    d.discardChanges();
    QVERIFY(!d.isModified());
    QCOMPARE(d.groupName(3), u"分组3"_s);
}

void tst_NodeDirectory::unsavableTextIsRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("groupOf"); // the group renamed to `name`, or 0 for the node
    QTest::addColumn<QString>("message");
    QTest::newRow("quote in a name")
        << u"大\"厅"_s << 0
        << u"节点名称“大\"厅”中含有双引号（\"），无法保存，请去掉双引号后再保存。"_s;
    QTest::newRow("quote in a group name")
        << u"东\"楼"_s << 4
        << u"分组4名称“东\"楼”中含有双引号（\"），无法保存，请去掉双引号后再保存。"_s;
    QTest::newRow("character outside GBK")
        << u"大厅😀"_s << 0 << u"节点名称“大厅😀”中含有无法保存的字符，请修改后再保存。"_s;
    // node.txt would refuse it too, without saying which node it is.
    QTest::newRow("line break in a name")
        << u"大\n厅"_s << 0 << u"节点名称“大\n厅”中含有无法保存的字符，请修改后再保存。"_s;
}

void tst_NodeDirectory::unsavableTextIsRefused()
{
    QFETCH(QString, name);
    QFETCH(int, groupOf);
    QFETCH(QString, message);
    NodeDirectory &d = load(u"a,1,1\n"_s);
    const QByteArray before = GbkFiles::readBytes(m_dir->filePath(u"node.txt"_s));
    if (groupOf)
        d.setGroupName(groupOf, name);
    else
        d.addNode(name, u"2"_s, 1);
    SavedFiles saved;
    const NodeDirectory::SaveOutcome outcome = d.save(saved);
    QCOMPARE(outcome.result, NodeDirectory::SaveOutcome::Refused);
    QCOMPARE(outcome.error, message);
    QCOMPARE(GbkFiles::readBytes(m_dir->filePath(u"node.txt"_s)), before);
    QVERIFY(!QFile::exists(m_ini->path()));
    QVERIFY(d.isModified());
}

void tst_NodeDirectory::failedGroupNamesKeepTheFlag()
{
    GbkFiles::writeText(m_ini->path(), u"[分组名称]\n分组1=甲\n"_s);
    QFile::setPermissions(m_ini->path(), QFile::ReadOwner);
    NodeDirectory &d = load(u"a,1,1\n"_s);
    d.setGroupName(1, u"乙"_s);
    SavedFiles saved;
    const NodeDirectory::SaveOutcome outcome = d.save(saved);
    QCOMPARE(outcome.result, NodeDirectory::SaveOutcome::GroupNamesFailed);
    QVERIFY(!outcome.error.isEmpty());
    QVERIFY(d.isModified());
    QCOMPARE(GbkFiles::readText(m_ini->path()), u"[分组名称]\r\n分组1=甲\r\n"_s);
}

QTEST_GUILESS_MAIN(tst_NodeDirectory)
#include "tst_nodedirectory.moc"
