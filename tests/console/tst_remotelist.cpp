// rem_list.txt and the cursor the remote keys step through: what is read,
// where the cursor goes, which file key 1 gets, and that every change is
// announced once.

#include "console/appsettings.h"
#include "console/programmemodel.h"
#include "console/remotelist.h"
#include "platform/appfolder.h"
#include "support/gbkfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_RemoteList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void readAndReset_data();
    void readAndReset();
    void steps_data();
    void steps();
    void fileAtCursor_data();
    void fileAtCursor();
    void readingAgainKeepsTheCursor();
    void everyChangeIsAnnouncedOnce_data();
    void everyChangeIsAnnouncedOnce();

private:
    void writeList(int entries);
    void addTodayRows(int rows);
    // Runs "next", "previous", "read", "reset" and "reload", space-separated.
    void run(const QString &steps);

    std::unique_ptr<QTemporaryDir> m_dir;
    AppSettings m_settings;
    std::unique_ptr<ProgrammeModel> m_today;
    std::unique_ptr<RemoteList> m_list;
};

void tst_RemoteList::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = AppSettings();
    m_today = std::make_unique<ProgrammeModel>();
    m_list = std::make_unique<RemoteList>(AppFolder(m_dir->path()), m_settings, *m_today);
}

void tst_RemoteList::writeList(int entries)
{
    QString text;
    for (int i = 1; i <= entries; ++i)
        text += u"\"/srv/r%1,x.mp3\"\n"_s.arg(i);
    GbkFiles::writeText(m_dir->filePath(u"rem_list.txt"_s), text);
}

void tst_RemoteList::addTodayRows(int rows)
{
    for (int i = 1; i <= rows; ++i)
        m_today->appendEntry({u"%1:00:00"_s.arg(i + 6, 2, 10, QChar(u'0')),
                              1,
                              {},
                              u"/srv/t%1.mp3"_s.arg(i),
                              0,
                              {},
                              {},
                              {},
                              {}});
}

void tst_RemoteList::run(const QString &steps)
{
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        if (step == u"next")
            m_list->next();
        else if (step == u"previous")
            m_list->previous();
        else if (step == u"read")
            m_list->read_remote_song();
        else if (step == u"reset")
            m_list->ResetRemoteCursor();
        else if (step == u"reload")
            m_list->reload();
        else
            QFAIL("not a step of this test");
    }
}

void tst_RemoteList::readAndReset_data()
{
    QTest::addColumn<bool>("scope");
    QTest::addColumn<bool>("listFile");
    QTest::addColumn<bool>("todayRows");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("cursor");
    QTest::newRow("today's list, rows") << false << false << true << 0 << 1;
    QTest::newRow("today's list, empty") << false << true << false << 2 << 0;
    QTest::newRow("remote list, entries") << true << true << false << 2 << 1;
    QTest::newRow("remote list missing") << true << false << true << 0 << 0;
}

void tst_RemoteList::readAndReset()
{
    QFETCH(bool, scope);
    QFETCH(bool, listFile);
    QFETCH(bool, todayRows);
    QFETCH(int, count);
    QFETCH(int, cursor);
    m_settings.RemoteScope = scope;
    if (listFile)
        writeList(2);
    if (todayRows)
        addTodayRows(1);
    m_list->reload();
    QCOMPARE(int(m_list->RemoteSongCount()), count);
    QCOMPARE(m_list->cursor(), cursor);
    if (count > 0)
        QCOMPARE(m_list->songs().first(), u"/srv/r1,x.mp3"_s);
}

void tst_RemoteList::steps_data()
{
    QTest::addColumn<bool>("scope");
    QTest::addColumn<int>("entries"); // of the list in use
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("cursor");
    QTest::newRow("next twice") << false << 3 << "next next" << 3;
    QTest::newRow("next stops at the last row") << false << 3 << "next next next next" << 3;
    QTest::newRow("previous stops at the first") << false << 3 << "next previous previous" << 1;
    QTest::newRow("remote list") << true << 2 << "next next" << 2;
    QTest::newRow("remote list back") << true << 2 << "next previous" << 1;
    QTest::newRow("one entry does not move") << true << 1 << "next previous" << 1;
    QTest::newRow("empty list stays at 0") << false << 0 << "next next previous" << 0;
}

void tst_RemoteList::steps()
{
    QFETCH(bool, scope);
    QFETCH(int, entries);
    QFETCH(QString, steps);
    QFETCH(int, cursor);
    m_settings.RemoteScope = scope;
    // The list not in use has other counts, so a step counting the wrong one shows.
    writeList(scope ? entries : 5);
    addTodayRows(scope ? 4 : entries);
    m_list->reload();
    run(steps);
    QCOMPARE(m_list->cursor(), cursor);
}

void tst_RemoteList::fileAtCursor_data()
{
    QTest::addColumn<bool>("scope");
    QTest::addColumn<int>("steps"); // keys 7 from the first entry
    QTest::addColumn<int>("savedEntries"); // rem_list.txt saved again with this many; -1: not
    QTest::addColumn<QString>("file");
    QTest::newRow("remote list, second") << true << 1 << -1 << "/srv/r2,x.mp3";
    QTest::newRow("today's list, full path") << false << 2 << -1 << "/srv/t3.mp3";
    QTest::newRow("saved shorter than the cursor") << true << 2 << 2 << "";
    QTest::newRow("saved longer") << true << 2 << 5 << "/srv/r3,x.mp3";
    QTest::newRow("saved empty") << true << 0 << 0 << "";
}

void tst_RemoteList::fileAtCursor()
{
    QFETCH(bool, scope);
    QFETCH(int, steps);
    QFETCH(int, savedEntries);
    QFETCH(QString, file);
    m_settings.RemoteScope = scope;
    writeList(3);
    addTodayRows(3);
    m_list->reload();
    for (int i = 0; i < steps; ++i)
        m_list->next();
    if (savedEntries >= 0) {
        writeList(savedEntries);
        m_list->read_remote_song();
    }
    QCOMPARE(m_list->fileAtCursor(), file);
}

void tst_RemoteList::readingAgainKeepsTheCursor()
{
    m_settings.RemoteScope = true;
    writeList(3);
    m_list->reload();
    m_list->next();
    m_list->next();
    writeList(1);
    m_list->read_remote_song();
    QCOMPARE(m_list->cursor(), 3);
    QCOMPARE(int(m_list->RemoteSongCount()), 1);
    // Only a reset, as at the next reload of today's list, brings it back.
    m_list->reload();
    QCOMPARE(m_list->cursor(), 1);
}

void tst_RemoteList::everyChangeIsAnnouncedOnce_data()
{
    // From a list of three entries read and the cursor at the first; "file"
    // is the number of entries rem_list.txt holds before the steps run.
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("songsChanges");
    QTest::addColumn<int>("cursorChanges");
    QTest::addColumn<int>("cursor");
    QTest::newRow("next") << 3 << "next" << 0 << 1 << 2;
    QTest::newRow("next past the last") << 3 << "next next next next" << 0 << 2 << 3;
    QTest::newRow("previous at the first") << 3 << "previous" << 0 << 0 << 1;
    QTest::newRow("next and back") << 3 << "next previous" << 0 << 2 << 1;
    QTest::newRow("the same file read again") << 3 << "read" << 0 << 0 << 1;
    QTest::newRow("a changed file read") << 2 << "read" << 1 << 0 << 1;
    QTest::newRow("reset at the first") << 3 << "reset" << 0 << 0 << 1;
    QTest::newRow("reset after a step") << 3 << "next reset" << 0 << 2 << 1;
    QTest::newRow("reload of an emptied file") << 0 << "reload" << 1 << 1 << 0;
    QTest::newRow("reload of the same file") << 3 << "next reload" << 0 << 2 << 1;
    // Saved down to one entry while the cursor stood on the third: key 5
    // steps back only through a list of more than one entry.
    QTest::newRow("previous after a save of one entry")
        << 1 << "next next read previous" << 1 << 2 << 3;
}

void tst_RemoteList::everyChangeIsAnnouncedOnce()
{
    QFETCH(int, file);
    QFETCH(QString, steps);
    QFETCH(int, songsChanges);
    QFETCH(int, cursorChanges);
    QFETCH(int, cursor);
    m_settings.RemoteScope = true;
    writeList(3);
    m_list->reload();
    QCOMPARE(m_list->cursor(), 1);
    writeList(file);
    QSignalSpy songs(m_list.get(), &RemoteList::songsChanged);
    QSignalSpy cursors(m_list.get(), &RemoteList::cursorChanged);
    // What a change announces is what the list holds by then.
    connect(m_list.get(), &RemoteList::songsChanged, this,
            [this](const QStringList &now) { QCOMPARE(now, m_list->songs()); });
    connect(m_list.get(), &RemoteList::cursorChanged, this,
            [this](int now) { QCOMPARE(now, m_list->cursor()); });
    run(steps);
    QCOMPARE(songs.size(), songsChanges);
    QCOMPARE(cursors.size(), cursorChanges);
    QCOMPARE(m_list->cursor(), cursor);
    if (!cursors.isEmpty())
        QCOMPARE(cursors.last().at(0).toInt(), cursor);
}

QTEST_GUILESS_MAIN(tst_RemoteList)
#include "tst_remotelist.moc"
