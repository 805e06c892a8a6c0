// The backup and restore windows: what the operator clicks reaches the
// files, the list says what a restore replaces, a refused archive leaves
// 恢复 disabled, long work keeps the window going and can be stopped.

#include "console/frmbackup.h"
#include "platform/targz.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

class tst_frmbackup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void backupWritesTheArchive_data();
    void backupWritesTheArchive();
    void browseNamesATarGz();
    void restoreListsThenReplaces();
    void refusedArchiveCannotBeRestored_data();
    void refusedArchiveCannotBeRestored();
    void escapeCloses_data();
    void escapeCloses();
    void restoreIsNotLeftMidway_data();
    void restoreIsNotLeftMidway();

private:
    frmbackup::Services services()
    {
        return {m_dialogs,
                m_clock,
                {m_dir->filePath(u"data"_s), m_dir->filePath(u"config/broadcast.conf"_s)}};
    }
    QString data(const QString &name) const { return m_dir->filePath(u"data/"_s + name); }
    void write(const QString &path, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    template<typename T> static T *child(QWidget *w, const QString &name)
    {
        T *c = w->findChild<T *>(name);
        if (!c)
            qFatal("no %s", qPrintable(name));
        return c;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeDialogs m_dialogs;
    FakeClock m_clock;
};

void tst_frmbackup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dialogs.shown.clear();
    write(data(u"node.txt"_s), "nodes");
    write(data(u"config.ini"_s), "[DisplayMode]");
    write(data(u"table/week/周.txt"_s), "week");
    write(data(u"log/20261207.csv"_s), "时间,类别,内容\n");
    write(m_dir->filePath(u"config/broadcast.conf"_s), "[setting]");
}

void tst_frmbackup::backupWritesTheArchive_data()
{
    QTest::addColumn<bool>("withLog");
    QTest::addColumn<bool>("byEnter"); // Enter in the file field, not a click
    QTest::newRow("without the log") << false << false;
    QTest::newRow("with the log") << true << false;
    QTest::newRow("Enter in the file field") << false << true;
}

void tst_frmbackup::backupWritesTheArchive()
{
    QFETCH(bool, withLog);
    QFETCH(bool, byEnter);
    frmbackup w(services());
    w.show();
    const QString archive = m_dir->filePath(u"备份.tar.gz"_s);
    child<QLineEdit>(&w, u"txtfile"_s)->setText(archive);
    QVERIFY(!child<QCheckBox>(&w, u"chklog"_s)->isChecked()); // off unless asked for
    child<QCheckBox>(&w, u"chklog"_s)->setChecked(withLog);
    QVERIFY(!child<QPushButton>(&w, u"cmdstop"_s)->isEnabled());
    if (byEnter)
        QTest::keyClick(child<QLineEdit>(&w, u"txtfile"_s), Qt::Key_Return);
    else
        child<QPushButton>(&w, u"cmdbackup"_s)->click();
    QVERIFY(w.isWorking());
    QVERIFY(child<QPushButton>(&w, u"cmdstop"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(&w, u"cmdbackup"_s)->isEnabled());
    QTRY_VERIFY(!w.isWorking());
    QVERIFY2(child<QLabel>(&w, u"lblstatus"_s)->text().contains(u"已备份到"_s),
             qPrintable(child<QLabel>(&w, u"lblstatus"_s)->text()));
    QVERIFY(m_dialogs.shown.isEmpty());
    // The picture of the README.
    if (withLog)
        w.grab().save(QCoreApplication::applicationDirPath() + u"/frmbackup.png"_s);

    TarGz::Reader reader;
    QVERIFY(reader.open(archive));
    QStringList names;
    TarGz::Entry entry;
    while (reader.next(entry))
        names.append(entry.name);
    QVERIFY(reader.errorString().isEmpty());
    QStringList expected {u"config.ini"_s, u"node.txt"_s, u"table/week/周.txt"_s,
                          u"settings/broadcast.conf"_s};
    if (withLog)
        expected.insert(3, u"log/20261207.csv"_s);
    QCOMPARE(names, expected);
}

void tst_frmbackup::browseNamesATarGz()
{
    frmbackup w(services());
    // The file name offered carries the day, from the console's clock.
    QVERIFY(child<QLineEdit>(&w, u"txtfile"_s)
                ->text()
                .endsWith(u"广播数据备份-20261207-0800.tar.gz"_s));
    m_dialogs.files.enqueue(u"/media/stick/周一"_s);
    w.cmdbrowse_Click();
    QCOMPARE(child<QLineEdit>(&w, u"txtfile"_s)->text(), u"/media/stick/周一.tar.gz"_s);
    m_dialogs.files.enqueue(QString()); // cancelled: the name stays
    w.cmdbrowse_Click();
    QCOMPARE(child<QLineEdit>(&w, u"txtfile"_s)->text(), u"/media/stick/周一.tar.gz"_s);
}

void tst_frmbackup::restoreListsThenReplaces()
{
    const QString archive = m_dir->filePath(u"in.tar.gz"_s);
    {
        TarGz::Writer writer;
        QVERIFY(writer.open(archive));
        QVERIFY(writer.addFile(u"node.txt"_s, "restored nodes", 0));
        QVERIFY(writer.addFile(u"rem_list.txt"_s, "restored list", 0));
        QVERIFY(writer.finish());
    }
    frmrestore w(services());
    w.show();
    QVERIFY(!child<QPushButton>(&w, u"cmdrestore"_s)->isEnabled());
    m_dialogs.files.enqueue(archive);
    w.cmdbrowse_Click();
    QTRY_VERIFY(!w.isWorking());
    auto *list = child<QTreeWidget>(&w, u"lvwfiles"_s);
    // The files there that the archive does not bring are listed as going.
    QCOMPARE(list->topLevelItemCount(), 5);
    QCOMPARE(list->topLevelItem(0)->text(0), u"node.txt"_s);
    QCOMPARE(list->topLevelItem(0)->text(2), u"替换"_s);
    QCOMPARE(list->topLevelItem(1)->text(0), u"rem_list.txt"_s);
    QCOMPARE(list->topLevelItem(1)->text(2), u"新增"_s);
    QCOMPARE(list->topLevelItem(0)->text(1), u"14 字节"_s);
    QStringList going;
    for (int row = 2; row < list->topLevelItemCount(); ++row) {
        QCOMPARE(list->topLevelItem(row)->text(2), u"移入备份"_s);
        going.append(list->topLevelItem(row)->text(0));
    }
    // Not the log: the archive brings none, so the log stays as it is.
    QCOMPARE(going,
             (QStringList {u"config.ini"_s, u"table/week/周.txt"_s, u"settings/broadcast.conf"_s}));
    QVERIFY(child<QLabel>(&w, u"lblstatus"_s)->text().contains(u"替换 1 个、新增 1 个"_s));
    QVERIFY(child<QLabel>(&w, u"lblstatus"_s)->text().contains(u"另有 3 个现有文件"_s));
    w.grab().save(QCoreApplication::applicationDirPath() + u"/frmrestore.png"_s);
    // Opening changed nothing yet.
    QCOMPARE(read(data(u"node.txt"_s)), "nodes");

    QVERIFY(child<QPushButton>(&w, u"cmdrestore"_s)->isEnabled());
    child<QPushButton>(&w, u"cmdrestore"_s)->click();
    QTRY_VERIFY(!w.isWorking());
    QCOMPARE(read(data(u"node.txt"_s)), "restored nodes");
    QCOMPARE(read(data(u"rem_list.txt"_s)), "restored list");
    QCOMPARE(read(data(u"backup/恢复前-20261207-080000/node.txt"_s)), "nodes");
    QCOMPARE(m_dialogs.shown.size(), 1);
    QVERIFY(m_dialogs.shown.first().text.contains(u"重新启动"_s));
    QVERIFY(m_dialogs.shown.first().text.contains(u"backup/恢复前-20261207-080000"_s));
    QCOMPARE(m_dialogs.shown.first().context, &w);
    // Done once: another restore needs the archive opened again.
    QVERIFY(!child<QPushButton>(&w, u"cmdrestore"_s)->isEnabled());
}

void tst_frmbackup::refusedArchiveCannotBeRestored_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("../x") << u"../x"_s << u"指向数据文件夹之外"_s;
    QTest::newRow("/etc/passwd") << u"/etc/passwd"_s << u"绝对路径"_s;
    QTest::newRow("unknown") << u"autorun.sh"_s << u"不是本控制台的数据文件"_s;
}

void tst_frmbackup::refusedArchiveCannotBeRestored()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString archive = m_dir->filePath(u"bad.tar.gz"_s);
    {
        TarGz::Writer writer;
        QVERIFY(writer.open(archive));
        QVERIFY(writer.addFile(u"node.txt"_s, "bad", 0));
        QVERIFY(writer.addFile(name, "bad", 0));
        QVERIFY(writer.finish());
    }
    frmrestore w(services());
    w.show();
    w.openArchive(archive);
    QTRY_VERIFY(!w.isWorking());
    QCOMPARE(child<QTreeWidget>(&w, u"lvwfiles"_s)->topLevelItemCount(), 0);
    QVERIFY(!child<QPushButton>(&w, u"cmdrestore"_s)->isEnabled());
    QCOMPARE(m_dialogs.shown.size(), 1);
    QVERIFY2(m_dialogs.shown.first().text.contains(reason),
             qPrintable(m_dialogs.shown.first().text));
    QVERIFY(!m_dialogs.shown.first().waited);
    QVERIFY(child<QLabel>(&w, u"lblstatus"_s)->text().contains(reason));
    w.cmdrestore_Click(); // even called directly, nothing happens
    QVERIFY(!w.isWorking());
    QCOMPARE(read(data(u"node.txt"_s)), "nodes");
}

void tst_frmbackup::escapeCloses_data()
{
    QTest::addColumn<bool>("restore");
    QTest::newRow("backup") << false;
    QTest::newRow("restore") << true;
}

void tst_frmbackup::escapeCloses()
{
    QFETCH(bool, restore);
    std::unique_ptr<QWidget> w;
    if (restore)
        w = std::make_unique<frmrestore>(services());
    else
        w = std::make_unique<frmbackup>(services());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QTest::keyClick(w->focusWidget() ? w->focusWidget() : w.get(), Qt::Key_Escape);
    QVERIFY(!w->isVisible());
}

void tst_frmbackup::restoreIsNotLeftMidway_data()
{
    QTest::addColumn<QString>("way"); // how the operator tries to leave
    QTest::newRow("取消") << u"cancel"_s;
    QTest::newRow("the window's close button") << u"close"_s;
    QTest::newRow("Escape") << u"escape"_s;
}

void tst_frmbackup::restoreIsNotLeftMidway()
{
    QFETCH(QString, way);
    const QString archive = m_dir->filePath(u"in.tar.gz"_s);
    {
        TarGz::Writer writer;
        QVERIFY(writer.open(archive));
        QVERIFY(writer.addFile(u"node.txt"_s, "restored nodes", 0));
        QVERIFY(writer.finish());
    }
    // As the console opens it: closed, it is deleted.
    QPointer<frmrestore> w = new frmrestore(services());
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->openArchive(archive);
    QTRY_VERIFY(!w->isWorking());
    auto *cancel = child<QPushButton>(w, u"cmdcancel"_s);
    QVERIFY(cancel->isEnabled());
    child<QPushButton>(w, u"cmdrestore"_s)->click();
    // Whether or not the files are moved yet, the window waits for the end.
    QVERIFY(w->isWorking());
    QVERIFY(!cancel->isEnabled());
    if (way == u"cancel")
        cancel->click();
    else if (way == u"close")
        QVERIFY(!w->close());
    else
        QTest::keyClick(w->focusWidget() ? w->focusWidget() : w.data(), Qt::Key_Escape);
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QTRY_VERIFY(!w->isWorking());
    // The result is shown where the operator reads it.
    QVERIFY2(child<QLabel>(w, u"lblstatus"_s)->text().contains(u"数据已恢复"_s),
             qPrintable(child<QLabel>(w, u"lblstatus"_s)->text()));
    QCOMPARE(read(data(u"node.txt"_s)), "restored nodes");
    QVERIFY(cancel->isEnabled());
    cancel->click();
    QTRY_VERIFY(!w);
}

QTEST_MAIN(tst_frmbackup)
#include "tst_frmbackup.moc"
