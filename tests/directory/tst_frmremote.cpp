// The remote-control play list window on a running console, driven through
// its controls; the remote keys then play from what it saved.

#include "console/consolerig.h"
#include "console/consolestate.h"
#include "console/remotelist.h"
#include "directory/frmremote.h"
#include "directory/remotelistfile.h"
#include "support/gbkfiles.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {
// The rig's fake dialogs, also keeping what the file dialog was opened with.
class RecordingDialogs final : public Dialogs
{
public:
    explicit RecordingDialogs(FakeDialogs &fake)
        : m_fake(fake)
    {
    }
    MsgAnswer message(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      QObject *context) override
    {
        return m_fake.message(text, title, icon, buttons, context);
    }
    void notify(const QString &text, const QString &title, MsgIcon icon, QObject *context) override
    {
        m_fake.notify(text, title, icon, context);
    }
    void ask(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
             QObject *context, std::function<void(MsgAnswer)> answered) override
    {
        m_fake.ask(text, title, icon, buttons, context, std::move(answered));
    }
    void askOpenFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName, QObject *context,
                         std::function<void(const QString &)> chosen) override
    {
        opened.append({folder, filter, fileName});
        m_fake.askOpenFileName(title, folder, filter, fileName, context, std::move(chosen));
    }
    QString openFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName, QObject *context) override
    {
        opened.append({folder, filter, fileName});
        return m_fake.openFileName(title, folder, filter, fileName, context);
    }
    QStringList openFileNames(const QString &, const QString &, const QString &, QObject *) override
    {
        return {};
    }
    QString saveFileName(const QString &, const QString &, const QString &, const QString &,
                         QObject *) override
    {
        return {};
    }
    QString chooseFolder(const QString &, const QString &, QObject *) override { return {}; }
    void beep() override { m_fake.beep(); }

    QList<QStringList> opened; // folder, filter, file name

private:
    FakeDialogs &m_fake;
};

const QString kQuestion = u"播放内容已被修改，保存吗？"_s;
} // namespace

class tst_frmremote : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controlsAndKeyboard();
    void missingListOpensEmpty();
    void addThroughTheFileDialog();
    void deleteSelectsTheNeighbour();
    void upOnFirstAndDownOnLast();
    void saveRoundTrip();
    void failedSaveKeepsTheFile_data();
    void failedSaveKeepsTheFile();
    void closeCheck_data();
    void closeCheck();
    void remoteKeysPlayTheSavedList();

private:
    frmremote &open();
    template<class T> T *child(const QString &name) { return m_window->findChild<T *>(name); }
    void click(const QString &button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void add(const QString &path);
    void selectRow(int row);
    QStringList rows();
    QString listFile() const { return m_rig->file(u"rem_list.txt"_s); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    QPointer<frmremote> m_window;
};

void tst_frmremote::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_dialogs = std::make_unique<RecordingDialogs>(m_rig->dialogs);
    m_rig->realDialogs = m_dialogs.get();
    GbkFiles::writeText(listFile(), u"\"/srv/song/a.mp3\"\n\"/srv/song/b.mp3\"\n"_s);
}

void tst_frmremote::cleanup()
{
    delete m_window;
    m_rig.reset();
}

frmremote &tst_frmremote::open()
{
    Console &c = m_rig->start();
    m_rig->dialogs.shown.clear();
    m_window = new frmremote(c.dialogs(), c.folder(), c.savedFiles());
    m_window->setAttribute(Qt::WA_DeleteOnClose); // as the main window opens it
    m_window->show();
    QApplication::setActiveWindow(m_window);
    if (!QTest::qWaitForWindowActive(m_window))
        qFatal("the window did not become active");
    return *m_window;
}

void tst_frmremote::add(const QString &path)
{
    m_rig->dialogs.files.enqueue(path);
    click(u"cmdadd"_s);
}

void tst_frmremote::selectRow(int row)
{
    auto *list = child<QListWidget>(u"lstplaylist"_s);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

QStringList tst_frmremote::rows()
{
    QStringList texts;
    auto *list = child<QListWidget>(u"lstplaylist"_s);
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void tst_frmremote::controlsAndKeyboard()
{
    frmremote &w = open();
    QCOMPARE(w.windowTitle(), u"编辑远程控制播放列表"_s);
    QCOMPARE(child<QLabel>(u"lblnote"_s)->text(), u"已选择的播放文件："_s);
    auto *list = child<QListWidget>(u"lstplaylist"_s);
    QCOMPARE(rows(), (QStringList {u"/srv/song/a.mp3"_s, u"/srv/song/b.mp3"_s}));
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(w.minimumSizeHint().width() >= 400 && w.minimumSizeHint().height() >= 200);
    // Tab walks down the button column in its order, then back to the list.
    const QStringList order {u"cmdadd"_s,  u"cmddel"_s,  u"cmdup"_s,      u"cmddown"_s,
                             u"cmdsave"_s, u"cmdexit"_s, u"lstplaylist"_s};
    const QStringList captions {u"增 加"_s, u"删 除"_s, u"上 移"_s,
                                u"下 移"_s, u"保 存"_s, u"退 出"_s};
    QCOMPARE(QApplication::focusWidget(), list);
    for (int i = 0; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), order.at(i));
        if (i < captions.size())
            QCOMPARE(child<QPushButton>(order.at(i))->text(), captions.at(i));
    }
    // Enter on the list presses nothing; on a focused button it presses it.
    selectRow(1);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(list->count(), 2);
    child<QPushButton>(u"cmdup"_s)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(rows().first(), u"/srv/song/b.mp3"_s);
    // Escape closes with the question; Cancel keeps the window.
    m_rig->dialogs.answers.enqueue(MsgAnswer::Cancel);
    QTest::keyClick(list, Qt::Key_Escape);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.first().text, kQuestion);
    QVERIFY(w.isVisible());
}

void tst_frmremote::missingListOpensEmpty()
{
    QFile::remove(listFile());
    open();
    QTRY_COMPARE(m_rig->dialogs.shown.size(), 1);
    const FakeDialogs::Shown &shown = m_rig->dialogs.shown.first();
    QVERIFY2(shown.text.contains(listFile()), qPrintable(shown.text));
    QCOMPARE(shown.title, u"错误提示"_s);
    QCOMPARE(shown.icon, MsgIcon::Error);
    QTest::qWait(50);
    QCOMPARE(m_rig->dialogs.shown.size(), 1); // once
    QCOMPARE(child<QListWidget>(u"lstplaylist"_s)->count(), 0);
    // The window works as usual and Save makes the file.
    add(u"/srv/x.mp3"_s);
    QCOMPARE(m_dialogs->opened.first().at(0), m_rig->dir.path()); // no entry to start beside
    click(u"cmdsave"_s);
    QCOMPARE(readRemoteListFile(listFile()).paths, QStringList {u"/srv/x.mp3"_s});
}

void tst_frmremote::addThroughTheFileDialog()
{
    open();
    click(u"cmdadd"_s); // cancelled: nothing changes
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"选择文件"_s});
    QCOMPARE(m_dialogs->opened.size(), 1);
    QCOMPARE(m_dialogs->opened.first().at(1),
             u"MP3文件;WAV文件;MIDI文件;VCD文件;WMA文件|*.mp3;*.wav;*.mid;*.dat;*.wma"_s);
    QCOMPARE(m_dialogs->opened.first().at(2), QString());
    QCOMPARE(m_dialogs->opened.first().at(0), u"/srv/song"_s); // beside the last entry
    QCOMPARE(rows().size(), 2);
    QVERIFY(!m_window->playlist().isModified());
    add(u"/srv/song/a.mp3"_s);
    QCOMPARE(rows().size(), 3);
    QCOMPARE(rows().last(), u"/srv/song/a.mp3"_s);
    QVERIFY(m_window->playlist().isModified());
}

void tst_frmremote::deleteSelectsTheNeighbour()
{
    open();
    auto *list = child<QListWidget>(u"lstplaylist"_s);
    click(u"cmddel"_s); // nothing selected
    QCOMPARE(list->count(), 2);
    QVERIFY(!m_window->playlist().isModified());
    selectRow(1);
    click(u"cmddel"_s);
    QCOMPARE(rows(), QStringList {u"/srv/song/a.mp3"_s});
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *> {list->item(0)});
    click(u"cmddel"_s);
    QCOMPARE(list->count(), 0);
    QVERIFY(list->selectedItems().isEmpty());
}

void tst_frmremote::upOnFirstAndDownOnLast()
{
    open();
    auto *list = child<QListWidget>(u"lstplaylist"_s);
    selectRow(0);
    click(u"cmdup"_s);
    selectRow(1);
    click(u"cmddown"_s);
    QCOMPARE(rows(), (QStringList {u"/srv/song/a.mp3"_s, u"/srv/song/b.mp3"_s}));
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *> {list->item(1)});
    QVERIFY(!m_window->playlist().isModified());
    m_window->close(); // nothing to ask about
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    QTRY_VERIFY(m_window.isNull());
}

void tst_frmremote::saveRoundTrip()
{
    const QStringList paths {u"/srv/歌曲/上课,铃声.mp3"_s, u"/srv/song/a.mp3"_s,
                             u"/srv/a,b,c.wav"_s};
    open();
    selectRow(1);
    click(u"cmddel"_s);
    add(paths.at(0));
    add(paths.at(2));
    selectRow(1);
    click(u"cmdup"_s);
    click(u"cmdsave"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.first().text, u"保存成功！"_s);
    QCOMPARE(m_rig->dialogs.shown.first().title, u"存盘提示"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Information);
    QCOMPARE(GbkFiles::readBytes(listFile()),
             "\"/srv/\xB8\xE8\xC7\xFA/\xC9\xCF\xBF\xCE,\xC1\xE5\xC9\xF9.mp3\"\r\n"
             "\"/srv/song/a.mp3\"\r\n\"/srv/a,b,c.wav\"\r\n"_ba);
    QCOMPARE(readRemoteListFile(listFile()).paths, paths);
    QCOMPARE(m_rig->console().remoteList().songs(), paths); // read again at once
    QVERIFY(!m_window->playlist().isModified());
}

void tst_frmremote::failedSaveKeepsTheFile_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only file") << true << u"/srv/new.mp3"_s << u"文件只读"_s;
    QTest::newRow("double quote") << false << u"/srv/say \"hi\".mp3"_s << u"双引号"_s;
}

void tst_frmremote::failedSaveKeepsTheFile()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const QByteArray before = GbkFiles::readBytes(listFile());
    if (readOnly)
        QFile::setPermissions(listFile(), QFile::ReadOwner);
    open();
    add(path);
    click(u"cmdsave"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY2(m_rig->dialogs.shown.first().text.contains(reason),
             qPrintable(m_rig->dialogs.shown.first().text));
    QCOMPARE(m_rig->dialogs.shown.first().title, u"错误提示"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Error);
    QCOMPARE(GbkFiles::readBytes(listFile()), before);
    QCOMPARE(m_rig->console().remoteList().RemoteSongCount(), 2);
    // Yes at the close check cannot save either: the window stays.
    click(u"cmdexit"_s);
    QCOMPARE(m_rig->dialogs.shown.at(1).text, kQuestion);
    QCOMPARE(m_rig->dialogs.shown.size(), 3);
    QTest::qWait(20);
    QVERIFY(!m_window.isNull() && m_window->isVisible());
}

void tst_frmremote::closeCheck_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved");
    for (const QString &how : {u"cmdexit"_s, u"close box"_s, u"Escape"_s}) {
        const QByteArray h = how.toUtf8();
        QTest::addRow("%s Yes", h.constData()) << how << MsgAnswer::Yes << true << true;
        QTest::addRow("%s No", h.constData()) << how << MsgAnswer::No << true << false;
        QTest::addRow("%s Cancel", h.constData()) << how << MsgAnswer::Cancel << false << false;
    }
}

void tst_frmremote::closeCheck()
{
    QFETCH(QString, how);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, closed);
    QFETCH(bool, saved);
    const QByteArray before = GbkFiles::readBytes(listFile());
    open();
    add(u"/srv/new.mp3"_s);
    m_rig->dialogs.answers.enqueue(answer);
    if (how == u"cmdexit"_s)
        click(how);
    else if (how == u"Escape"_s)
        QTest::keyClick(m_window, Qt::Key_Escape);
    else
        m_window->windowHandle()->close(); // as the window manager's close box does
    QCOMPARE(m_rig->dialogs.shown.size(), 1); // the question alone, no "保存成功！"
    const FakeDialogs::Shown &q = m_rig->dialogs.shown.first();
    QCOMPARE(q.text, kQuestion);
    QCOMPARE(q.title, QString());
    QCOMPARE(q.icon, MsgIcon::Question);
    QCOMPARE(q.buttons, MsgButtons::YesNoCancel);
    QTRY_COMPARE(m_window.isNull(), closed);
    QCOMPARE(m_rig->console().remoteList().RemoteSongCount(), saved ? 3 : 2);
    if (!saved)
        QCOMPARE(GbkFiles::readBytes(listFile()), before);
}

void tst_frmremote::remoteKeysPlayTheSavedList()
{
    m_rig->setting(u"rm_scope"_s, u"True"_s);
    const QString song = m_rig->file(u"song/新曲,一.wav"_s);
    GbkFiles::writeBytes(song, "RIFF"_ba);
    open();
    auto key1 = [this] { m_rig->port.receive(QByteArray(1, char(1))); };
    key1(); // the old first entry is not there to play
    QCOMPARE(m_rig->player.source, QString());
    add(song);
    add(u"/srv/song/c.mp3"_s);
    selectRow(2);
    click(u"cmdup"_s);
    click(u"cmdup"_s);
    child<QPushButton>(u"cmdsave"_s)->setFocus();
    const QString shots = QCoreApplication::applicationDirPath();
    m_window->grab().save(shots + u"/frmremote.png"_s);
    m_window->resize(m_window->minimumSizeHint());
    m_window->grab().save(shots + u"/frmremote_small.png"_s);
    click(u"cmdsave"_s);
    key1();
    QCOMPARE(m_rig->player.source, song);
}

QTEST_MAIN(tst_frmremote)
#include "tst_frmremote.moc"
