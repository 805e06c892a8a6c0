// The remote-control play list being edited: the selection after a change,
// the modified flag, and saving to rem_list.txt. No window takes part.

#include "directory/remoteplaylist.h"
#include "platform/savedfiles.h"
#include "support/gbkfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_RemotePlaylist : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void loadMissingAndAdd();
    void removeSelected_data();
    void removeSelected();
    void moves_data();
    void moves();
    void emptyListSavesAnEmptyFile();
    void unstorablePathIsRefused_data();
    void unstorablePathIsRefused();

private:
    // A list of n entries "/m/0.mp3" … loaded from a file, so unmodified.
    void loadEntries(int n);
    QString file() const { return m_dir->filePath(u"rem_list.txt"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
    RemotePlaylist m_list;
};

void tst_RemotePlaylist::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_list = RemotePlaylist();
}

void tst_RemotePlaylist::loadEntries(int n)
{
    QString text;
    for (int i = 0; i < n; ++i)
        text += u"\"/m/%1.mp3\"\n"_s.arg(i);
    GbkFiles::writeText(file(), text);
    QCOMPARE(m_list.load(file()), QString());
    QCOMPARE(m_list.count(), n);
    QVERIFY(!m_list.isModified());
}

void tst_RemotePlaylist::loadMissingAndAdd()
{
    QVERIFY(m_list.load(file()).contains(file()));
    QCOMPARE(m_list.count(), 0);
    QCOMPARE(m_list.addFolder(), QString());
    m_list.add(u"/m/a.mp3"_s);
    m_list.select(0);
    m_list.add(u"/m/a.mp3"_s); // the same file again is allowed
    QCOMPARE(m_list.count(), 2);
    QCOMPARE(m_list.selected(), 0); // Add leaves the selection
    QVERIFY(m_list.isModified());
    m_list.select(2);
    QCOMPARE(m_list.selected(), -1);
}

void tst_RemotePlaylist::removeSelected_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("selected");
    QTest::newRow("middle: the next moves up") << 3 << 1 << QStringList {u"0"_s, u"2"_s} << 1;
    QTest::newRow("first") << 3 << 0 << QStringList {u"1"_s, u"2"_s} << 0;
    QTest::newRow("last: the new last") << 3 << 2 << QStringList {u"0"_s, u"1"_s} << 1;
    QTest::newRow("only: nothing left") << 1 << 0 << QStringList {} << -1;
    QTest::newRow("nothing selected") << 2 << -1 << QStringList {u"0"_s, u"1"_s} << -1;
}

void tst_RemotePlaylist::removeSelected()
{
    QFETCH(int, count);
    QFETCH(int, row);
    QFETCH(QStringList, left);
    QFETCH(int, selected);
    loadEntries(count);
    m_list.select(row);
    QCOMPARE(m_list.removeSelected(), row >= 0);
    QStringList expected;
    for (const QString &n : left)
        expected << u"/m/%1.mp3"_s.arg(n);
    QCOMPARE(m_list.entries(), expected);
    QCOMPARE(m_list.selected(), selected);
    QCOMPARE(m_list.isModified(), row >= 0);
}

void tst_RemotePlaylist::moves_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("selected");
    QTest::newRow("up") << true << 2 << u"021"_s << 1;
    QTest::newRow("up from the second") << true << 1 << u"102"_s << 0;
    QTest::newRow("up on the first") << true << 0 << u"012"_s << 0;
    QTest::newRow("down") << false << 0 << u"102"_s << 1;
    QTest::newRow("down to the last") << false << 1 << u"021"_s << 2;
    QTest::newRow("down on the last") << false << 2 << u"012"_s << 2;
    QTest::newRow("up with nothing selected") << true << -1 << u"012"_s << -1;
    QTest::newRow("down with nothing selected") << false << -1 << u"012"_s << -1;
}

void tst_RemotePlaylist::moves()
{
    QFETCH(bool, up);
    QFETCH(int, row);
    QFETCH(QString, order);
    QFETCH(int, selected);
    loadEntries(3);
    m_list.select(row);
    const bool changed = up ? m_list.moveUp() : m_list.moveDown();
    QStringList expected;
    for (QChar n : order)
        expected << u"/m/%1.mp3"_s.arg(n);
    QCOMPARE(m_list.entries(), expected);
    QCOMPARE(m_list.selected(), selected);
    QCOMPARE(changed, order != u"012"_s);
    QCOMPARE(m_list.isModified(), changed); // a move that does nothing leaves the flag
}

void tst_RemotePlaylist::emptyListSavesAnEmptyFile()
{
    loadEntries(1);
    m_list.select(0);
    m_list.removeSelected();
    SavedFiles saved;
    QSignalSpy announced(&saved, &SavedFiles::saved);
    QCOMPARE(m_list.save(file(), saved), QString());
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).value<SavedFiles::Kind>(), SavedFiles::Kind::RemoteList);
    QCOMPARE(announced.at(0).at(1).toString(), file());
    QVERIFY(!m_list.isModified());
    QCOMPARE(GbkFiles::readBytes(file()), QByteArray());
}

void tst_RemotePlaylist::unstorablePathIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("double quote") << u"/srv/say \"hi\".mp3"_s << u"双引号"_s;
    QTest::newRow("outside GBK") << u"/srv/caf\u00E9\u0E01.mp3"_s << u"无法保存的文字"_s;
    // rem_list.txt would refuse it too, without naming the entry.
    QTest::newRow("line break") << u"/srv/a\nb.mp3"_s << u"无法保存的文字"_s;
}

void tst_RemotePlaylist::unstorablePathIsRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    loadEntries(1);
    const QByteArray before = GbkFiles::readBytes(file());
    m_list.add(u"/srv/ok.mp3"_s);
    m_list.add(path);
    QCOMPARE(m_list.unstorableRow(), 2);
    SavedFiles saved;
    QSignalSpy announced(&saved, &SavedFiles::saved);
    const QString message = m_list.save(file(), saved);
    QCOMPARE(announced.size(), 0);
    QVERIFY2(message.contains(reason) && message.contains(path) && message.contains(u"第3项"_s),
             qPrintable(message));
    QCOMPARE(GbkFiles::readBytes(file()), before);
    QVERIFY(m_list.isModified());
}

QTEST_GUILESS_MAIN(tst_RemotePlaylist)
#include "tst_remoteplaylist.moc"
