// The playlist player window on the console rig, with a recording fake
// player and probe of its own, worked through its controls: what it shows
// on opening, the browser, the add, insert, remove and move commands, the
// total playing time, Load and Save, playing and the transport, the volume,
// timed play with its pickers, and closing.

#include "console/consolerig.h"
#include "platform/gbk.h"
#include "players/frmplaylist.h"
#include "players/playlistfile.h"
#include "players/playlisttimedplay.h"
#include "players/playlisttotal.h"
#include "support/consolewindows.h"
#include "support/gbkfiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {
// What a playlist file of these paths holds.
QByteArray toGbkLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += toGbk(line) + "\r\n";
    return bytes;
}

// Whether the entry shows a picture (the warning) rather than the empty
// icon every entry has.
bool marked(const QListWidgetItem *item)
{
    const QImage image = item->icon().pixmap(16).toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}
} // namespace

class tst_frmplaylist : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void opening();
    void keyboard();
    void browsingFolders();
    void driveThatIsNotReady();
    void addFourWays();
    void insert();
    void removeAndMove();
    void totalAndMarks();
    void loadAppends();
    void loadFailure();
    void save();
    void saveRefusals();
    void playing();
    void volumeSlider();
    void timedPlay();
    void closing_data();
    void closing();

private:
    frmplaylist &open();
    template<class T = QWidget> T *child(const QString &name) const
    {
        T *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QListWidget *list() const { return child<QListWidget>(u"lstplaylist"_s); }
    QListWidget *files() const { return child<QListWidget>(u"fileplaylist"_s); }
    QString text(const QString &label) const { return child<QLabel>(label)->text(); }
    void click(const QString &button) { QTest::mouseClick(child(button), Qt::LeftButton); }
    QStringList rows() const;
    // Clicks the rows of a list, with Ctrl after the first.
    void select(QListWidget *view, const QList<int> &rowsToSelect);
    void doubleClick(QListWidget *view, int row);
    void browse(const QString &folder);
    bool waitTotal(int computations);
    QString song(const QString &name) const { return m_rig->file(u"song/"_s + name); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<FakeMediaProbe> m_probe;
    std::unique_ptr<QSignalSpy> m_totals;
    QPointer<frmplaylist> m_window;
};

void tst_frmplaylist::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_player = std::make_unique<FakeMediaPlayer>();
    m_probe = std::make_unique<FakeMediaProbe>();
    for (const QString &name : {u"a.wav"_s, u"b.mp3"_s, u"c.mid"_s, u"notes.txt"_s})
        GbkFiles::writeBytes(song(name), "x");
    GbkFiles::writeBytes(m_rig->file(u"铃声.wav"_s), "x");
    m_probe->durations = {{song(u"a.wav"_s), 61500},
                          {song(u"b.mp3"_s), 120000},
                          {song(u"c.mid"_s), 2000},
                          {m_rig->file(u"铃声.wav"_s), 5000}};
}

void tst_frmplaylist::cleanup()
{
    m_totals.reset();
    delete m_window;
    m_probe.reset();
    m_player.reset();
    m_rig.reset();
}

frmplaylist &tst_frmplaylist::open()
{
    Console &c = m_rig->start();
    m_rig->dialogs.shown.clear();
    m_window = new frmplaylist(playlistServices(c), *m_player, *m_probe);
    m_window->setAttribute(Qt::WA_DeleteOnClose); // as the main window opens it
    m_totals = std::make_unique<QSignalSpy>(&m_window->total(), &PlaylistTotal::finished);
    m_window->show();
    QApplication::setActiveWindow(m_window);
    if (!QTest::qWaitForWindowActive(m_window))
        qFatal("the window did not become active");
    return *m_window;
}

QStringList tst_frmplaylist::rows() const
{
    QStringList texts;
    for (int i = 0; i < list()->count(); ++i)
        texts << list()->item(i)->text();
    return texts;
}

void tst_frmplaylist::select(QListWidget *view, const QList<int> &rowsToSelect)
{
    for (qsizetype i = 0; i < rowsToSelect.size(); ++i) {
        QListWidgetItem *item = view->item(rowsToSelect.at(i));
        view->scrollToItem(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton,
                          i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          view->visualItemRect(item).center());
    }
}

void tst_frmplaylist::doubleClick(QListWidget *view, int row)
{
    QListWidgetItem *item = view->item(row);
    view->scrollToItem(item);
    const QPoint at = view->visualItemRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

void tst_frmplaylist::browse(const QString &folder)
{
    auto *tree = child<QTreeView>(u"Dirplaylist"_s);
    auto *model = qobject_cast<QFileSystemModel *>(tree->model());
    tree->setCurrentIndex(model->index(folder));
    QCOMPARE(m_window->browsedFolder(), folder);
}

bool tst_frmplaylist::waitTotal(int computations)
{
    return QTest::qWaitFor([&] { return m_totals->size() >= computations; }, 10000)
        && m_totals->size() == computations;
}

void tst_frmplaylist::opening()
{
    frmplaylist &w = open();
    QCOMPARE(w.windowTitle(), u"曲目列表播放"_s);
    const QList<std::pair<QString, QString>> buttons {
        {u"cmdadd"_s, u"增 加"_s},    {u"cmdaddone"_s, u"添加所选文件"_s},
        {u"cmdaddall"_s, u"<<<"_s},   {u"cmdinsert"_s, u"插入文件"_s},
        {u"cmdremove"_s, u"删 除"_s}, {u"cmdremoveall"_s, u"全部删除"_s},
        {u"cmdup"_s, u"文件上移"_s},  {u"cmddown"_s, u"文件下移"_s},
        {u"cmdload"_s, u"载 入"_s},   {u"cmdsave"_s, u"保 存"_s},
        {u"cmdplay"_s, u"播放"_s},    {u"cmdquit"_s, u"退出"_s}};
    for (const auto &[name, caption] : buttons) {
        QCOMPARE(child<QPushButton>(name)->text(), caption);
        QVERIFY(child<QPushButton>(name)->accessibleName().isEmpty());
    }
    QCOMPARE(child(u"cmdaddall"_s)->toolTip(), u"添加所有文件"_s);
    const QList<std::pair<QString, QString>> boxes {{u"chkrepeat"_s, u"循环播放"_s},
                                                    {u"chkfromto"_s, u"限时播放"_s},
                                                    {u"chkshutdown"_s, u"播完后自动关机"_s}};
    for (const auto &[name, caption] : boxes) {
        QCOMPARE(child<QCheckBox>(name)->text(), caption);
        QVERIFY(!child<QCheckBox>(name)->isChecked());
    }
    QStringList labels;
    for (const QLabel *l : w.findChildren<QLabel *>())
        labels << l->text();
    for (const QString &caption :
         {u"驱动器："_s, u"目  录："_s, u"文  件："_s, u"播放总时长："_s, u"从"_s, u"到"_s})
        QVERIFY2(labels.contains(caption), qPrintable(caption));
    // Controls without a caption carry their name for accessibility tools.
    for (const QString &name :
         {u"lstplaylist"_s, u"drvplaylist"_s, u"Dirplaylist"_s, u"fileplaylist"_s, u"Slidervol"_s,
          u"ProgressBarplay"_s, u"DTPfrom"_s, u"DTPto"_s, u"mmcplay_play"_s, u"mmcplay_pause"_s,
          u"mmcplay_stop"_s})
        QCOMPARE(child(name)->accessibleName(), name);
    QCOMPARE(text(u"lblsong"_s), u"No music"_s);
    QCOMPARE(text(u"lblsonglength"_s), u"00:00"_s);
    QCOMPARE(text(u"lblctime"_s), u"00/000"_s);
    QCOMPARE(text(u"lbltimedisp"_s), u"00分00秒"_s);
    QCOMPARE(child<QProgressBar>(u"ProgressBarplay"_s)->value(), 0);
    auto *volume = child<QSlider>(u"Slidervol"_s);
    QCOMPARE(volume->toolTip(), u"调节音量"_s);
    QCOMPARE(std::make_pair(volume->minimum(), volume->maximum()), std::make_pair(1, 10));
    QCOMPARE(volume->value(), 10);
    // Nothing loaded: no transport; timed play off with its pickers.
    for (const QString &name : {u"mmcplay_play"_s, u"mmcplay_pause"_s, u"mmcplay_stop"_s,
                                u"DTPfrom"_s, u"DTPto"_s, u"chkshutdown"_s})
        QVERIFY2(!child(name)->isEnabled(), qPrintable(name));
    QVERIFY(!w.timedPlay().isArmed());
    QCOMPARE(child<QTimeEdit>(u"DTPfrom"_s)->time(), m_rig->clock.now().time());
    // The browser on the application folder, its sound files only.
    QCOMPARE(w.browsedFolder(), m_rig->dir.path());
    QCOMPARE(files()->count(), 1);
    QCOMPARE(files()->item(0)->text(), u"铃声.wav"_s);
    auto *drives = child<QComboBox>(u"drvplaylist"_s);
    QVERIFY(drives->count() >= 1);
    QVERIFY(m_rig->dir.path().startsWith(drives->currentData().toString()));
    QVERIFY(w.listFile().isEmpty());
    QCOMPARE(list()->count(), 0);
    QVERIFY(w.minimumWidth() >= 700 && w.minimumHeight() >= 400);
    QVERIFY(w.minimumSizeHint().width() <= w.minimumWidth());
    QVERIFY(w.minimumSizeHint().height() <= w.minimumHeight());
}

void tst_frmplaylist::keyboard()
{
    frmplaylist &w = open();
    m_window->playlist().append({song(u"a.wav"_s)});
    click(u"cmdplay"_s); // the transport is enabled
    click(u"chkfromto"_s); // and so are the pickers
    list()->setFocus();
    // Tab follows the layout: the list, the player row, the command column,
    // the browser, the options.
    const QStringList order {
        u"cmdplay"_s,     u"mmcplay_play"_s, u"mmcplay_pause"_s, u"mmcplay_stop"_s,
        u"Slidervol"_s,   u"cmdaddall"_s,    u"cmdaddone"_s,     u"cmdinsert"_s,
        u"cmdadd"_s,      u"cmdremove"_s,    u"cmdremoveall"_s,  u"cmdup"_s,
        u"cmddown"_s,     u"cmdload"_s,      u"cmdsave"_s,       u"drvplaylist"_s,
        u"Dirplaylist"_s, u"fileplaylist"_s, u"chkrepeat"_s,     u"chkfromto"_s,
        u"DTPfrom"_s,     u"DTPto"_s,        u"chkshutdown"_s,   u"cmdquit"_s,
        u"lstplaylist"_s};
    for (const QString &name : order) {
        // In a time picker Tab first steps through its hours, minutes and seconds.
        QWidget *from = QApplication::focusWidget();
        for (int i = 0; i < 3 && QApplication::focusWidget() == from; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
    // Enter on an entry plays from it, as a double-click does.
    list()->setCurrentRow(0);
    m_player->calls.clear();
    QTest::keyClick(list(), Qt::Key_Return);
    QCOMPARE(m_player->calls, QStringList {u"stop"_s});
    QVERIFY(w.playlist().isHandingOver());
    QVERIFY(w.isVisible());
    QTest::keyClick(list(), Qt::Key_Escape);
    QTRY_VERIFY(m_window.isNull());
}

void tst_frmplaylist::browsingFolders()
{
    open();
    browse(m_rig->file(u"song"_s));
    QStringList names;
    for (int i = 0; i < files()->count(); ++i)
        names << files()->item(i)->text();
    QCOMPARE(names, (QStringList {u"a.wav"_s, u"b.mp3"_s, u"c.mid"_s}));
    QCOMPARE(child<QTreeView>(u"Dirplaylist"_s)->currentIndex().data().toString(), u"song"_s);
    browse(m_rig->dir.path());
    QCOMPARE(files()->count(), 1);
}

void tst_frmplaylist::driveThatIsNotReady()
{
    frmplaylist &w = open();
    auto *drives = child<QComboBox>(u"drvplaylist"_s);
    const int before = drives->currentIndex();
    // A drive that went away after the list was filled.
    const QString gone = m_rig->file(u"media/cdrom"_s);
    QDir().mkpath(gone);
    drives->addItem(u"cdrom"_s, gone);
    drives->setCurrentIndex(drives->count() - 1);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.first().text.contains(gone));
    QCOMPARE(m_rig->dialogs.shown.first().title, u"请检查光盘或软盘"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Error);
    QCOMPARE(drives->currentIndex(), before);
    QCOMPARE(w.browsedFolder(), m_rig->dir.path());
}

void tst_frmplaylist::addFourWays()
{
    open();
    browse(m_rig->file(u"song"_s));
    // "增 加", cancelled: nothing is added, the total is worked out all the same.
    click(u"cmdadd"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"选择文件"_s});
    QCOMPARE(m_rig->dialogs.fileDialogFolders, QStringList {QString()});
    QCOMPARE(m_rig->dialogs.fileDialogFilters,
             QStringList {u"MP3文件;CD.VCD文件;WAV文件;MIDI文件|*.mp3;*.wav;*.dat;*.cda;*.mid"_s});
    QVERIFY(rows().isEmpty());
    QVERIFY(waitTotal(1));
    m_rig->dialogs.files.enqueue(u"/srv/其他/x.wma"_s);
    click(u"cmdadd"_s);
    QCOMPARE(rows(), QStringList {u"/srv/其他/x.wma"_s});
    QVERIFY(waitTotal(2));
    // "添加所选文件": the selected files in the file list's order.
    select(files(), {2, 0});
    click(u"cmdaddone"_s);
    QCOMPARE(rows().mid(1), (QStringList {song(u"a.wav"_s), song(u"c.mid"_s)}));
    QVERIFY(waitTotal(3));
    // "<<<": every file.
    click(u"cmdaddall"_s);
    QCOMPARE(rows().mid(3), (QStringList {song(u"a.wav"_s), song(u"b.mp3"_s), song(u"c.mid"_s)}));
    QVERIFY(waitTotal(4));
    // A double-click on a file.
    doubleClick(files(), 1);
    QCOMPARE(rows().size(), 7);
    QCOMPARE(rows().constLast(), song(u"b.mp3"_s));
    QVERIFY(waitTotal(5));
}

void tst_frmplaylist::insert()
{
    frmplaylist &w = open();
    browse(m_rig->file(u"song"_s));
    select(files(), {1, 0});
    click(u"cmdinsert"_s); // the list is empty
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.first().text, u"没有选择插入位置或当前列表为空。"_s);
    QCOMPARE(m_rig->dialogs.shown.first().title, u"请选择插入的位置或添加文件"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Information);
    QVERIFY(rows().isEmpty());
    QCOMPARE(m_totals->size(), 0);
    w.playlist().append({u"/p/1.mp3"_s, u"/p/2.mp3"_s, u"/p/3.mp3"_s});
    m_rig->dialogs.files.enqueue(u"/p/4.mp3"_s);
    click(u"cmdadd"_s);
    QCOMPARE(rows().size(), 4);
    QVERIFY(waitTotal(1));
    select(list(), {1});
    select(files(), {2, 0});
    click(u"cmdinsert"_s);
    QCOMPARE(rows(),
             (QStringList {u"/p/1.mp3"_s, song(u"a.wav"_s), song(u"c.mid"_s), u"/p/2.mp3"_s,
                           u"/p/3.mp3"_s, u"/p/4.mp3"_s}));
    QCOMPARE(list()->currentRow(), 3); // still on the entry it was on
    QVERIFY(waitTotal(2));
}

void tst_frmplaylist::removeAndMove()
{
    frmplaylist &w = open();
    browse(m_rig->file(u"song"_s));
    click(u"cmdaddall"_s);
    QVERIFY(waitTotal(1));
    click(u"cmdaddall"_s);
    QVERIFY(waitTotal(2));
    const QString a = song(u"a.wav"_s), b = song(u"b.mp3"_s), c = song(u"c.mid"_s);
    QCOMPARE(rows(), (QStringList {a, b, c, a, b, c}));
    select(list(), {5, 1, 3});
    click(u"cmdremove"_s);
    QCOMPARE(rows(), (QStringList {a, c, b}));
    QCOMPARE(list()->currentRow(), -1);
    QVERIFY(list()->selectedItems().isEmpty());
    QVERIFY(waitTotal(3));
    // Up and Down move the first selected entry, which stays selected; they
    // do not work out the total.
    select(list(), {2, 1});
    click(u"cmdup"_s);
    QCOMPARE(rows(), (QStringList {c, a, b}));
    QCOMPARE(list()->selectedItems(), QList<QListWidgetItem *> {list()->item(0)});
    click(u"cmdup"_s); // already first
    QCOMPARE(rows(), (QStringList {c, a, b}));
    click(u"cmddown"_s);
    click(u"cmddown"_s);
    QCOMPARE(rows(), (QStringList {a, b, c}));
    QCOMPARE(list()->selectedItems(), QList<QListWidgetItem *> {list()->item(2)});
    click(u"cmddown"_s); // already last
    QCOMPARE(rows(), (QStringList {a, b, c}));
    QCOMPARE(w.playlist().entries(), rows());
    QTest::qWait(50);
    QCOMPARE(m_totals->size(), 3);
    click(u"cmdremoveall"_s);
    QVERIFY(rows().isEmpty());
    QVERIFY(waitTotal(4));
    QCOMPARE(text(u"lbltimedisp"_s), u"00分00秒"_s);
}

void tst_frmplaylist::totalAndMarks()
{
    open();
    browse(m_rig->file(u"song"_s));
    m_rig->dialogs.files.enqueue(song(u"gone.mp3"_s));
    click(u"cmdadd"_s);
    QVERIFY(waitTotal(1));
    select(files(), {0, 1});
    click(u"cmdaddone"_s);
    // Shown as being worked out until the probe has answered.
    QCOMPARE(text(u"lbltimedisp"_s), u"计算中…"_s);
    QVERIFY(waitTotal(2));
    // 61.5 s and 120 s: 181 whole seconds; the missing file adds nothing.
    QCOMPARE(text(u"lbltimedisp"_s), u"03分01秒"_s);
    QListWidgetItem *gone = list()->item(0);
    QVERIFY(marked(gone));
    QVERIFY2(gone->toolTip().contains(u"无法打开"_s), qPrintable(gone->toolTip()));
    for (int row = 1; row < 3; ++row) {
        QVERIFY(!marked(list()->item(row)));
        QCOMPARE(list()->item(row)->toolTip(), list()->item(row)->text());
    }
    // The mark goes with its entry when the entry moves.
    select(list(), {0});
    click(u"cmddown"_s);
    QVERIFY(!marked(list()->item(0)));
    QVERIFY(marked(list()->item(1)));
}

void tst_frmplaylist::loadAppends()
{
    const QString file = m_rig->file(u"playlist/早操,课间.txt"_s);
    GbkFiles::writeText(file, song(u"c.mid"_s) + u"\n/srv/春,夏.mp3\n"_s);
    frmplaylist &w = open();
    m_rig->dialogs.files.enqueue(song(u"a.wav"_s));
    click(u"cmdadd"_s);
    QVERIFY(waitTotal(1));
    QCOMPARE(text(u"lbltimedisp"_s), u"01分01秒"_s);
    m_rig->dialogs.files.enqueue(file);
    click(u"cmdload"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles.constLast(), u"打开播放列表"_s);
    QCOMPARE(m_rig->dialogs.fileDialogFolders.constLast(), m_rig->file(u"playlist"_s));
    QCOMPARE(m_rig->dialogs.fileDialogFilters.constLast(), u"播放列表文件(*.txt)|*.txt"_s);
    QCOMPARE(rows(), (QStringList {song(u"a.wav"_s), song(u"c.mid"_s), u"/srv/春,夏.mp3"_s}));
    QCOMPARE(w.windowTitle(), u"曲目列表播放--"_s + file);
    QCOMPARE(w.listFile(), file);
    // The total keeps its value until the list is next changed.
    QTest::qWait(50);
    QCOMPARE(m_totals->size(), 1);
    QCOMPARE(text(u"lbltimedisp"_s), u"01分01秒"_s);
    // A second load appends again; a name typed without ".txt" finds the file.
    m_rig->dialogs.files.enqueue(file.chopped(4));
    click(u"cmdload"_s);
    QCOMPARE(rows().size(), 5);
    QCOMPARE(w.windowTitle(), u"曲目列表播放--"_s + file);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    click(u"cmdload"_s); // cancelled
    QCOMPARE(rows().size(), 5);
}

void tst_frmplaylist::loadFailure()
{
    frmplaylist &w = open();
    const QString bad = m_rig->file(u"playlist/bad.txt"_s);
    GbkFiles::writeBytes(bad, QByteArray("RIFF\0\0\0\0WAVE", 12));
    m_rig->dialogs.files.enqueue(song(u"a.wav"_s));
    click(u"cmdadd"_s);
    m_rig->dialogs.files.enqueue(bad);
    click(u"cmdload"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.first().text, u"所选播放文件有误，请重新选择"_s);
    QCOMPARE(m_rig->dialogs.shown.first().title, u"文件不对"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Error);
    QVERIFY(rows().isEmpty());
    // The bad file is not taken as the list file, so Save cannot write over it.
    QCOMPARE(w.windowTitle(), u"曲目列表播放"_s);
    QVERIFY(w.listFile().isEmpty());
}

void tst_frmplaylist::save()
{
    frmplaylist &w = open();
    click(u"cmdsave"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.first().text, u"当前播放列表是空的，无须保存。"_s);
    QCOMPARE(m_rig->dialogs.shown.first().title, u"保存列表"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Information);
    QVERIFY(m_rig->dialogs.fileDialogTitles.isEmpty());

    const QStringList entries {u"/srv/歌曲/春天,夏天.mp3"_s, song(u"a.wav"_s)};
    for (const QString &e : entries) {
        m_rig->dialogs.files.enqueue(e);
        click(u"cmdadd"_s);
    }
    m_rig->dialogs.fileDialogTitles.clear();
    click(u"cmdsave"_s); // the dialog is cancelled
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"播放列表另存为 "_s});
    QCOMPARE(m_rig->dialogs.fileDialogFolders.constLast(), m_rig->file(u"playlist"_s));
    QCOMPARE(m_rig->dialogs.fileDialogFilters.constLast(), u"播放列表文件(*.txt)|*.txt"_s);
    QCOMPARE(w.windowTitle(), u"曲目列表播放"_s);
    // A name typed without an extension gets ".txt".
    const QString file = m_rig->file(u"playlist/早操"_s);
    m_rig->dialogs.files.enqueue(file);
    click(u"cmdsave"_s);
    QCOMPARE(w.listFile(), file + u".txt"_s);
    QCOMPARE(w.windowTitle(), u"曲目列表播放--"_s + file + u".txt"_s);
    QCOMPARE(GbkFiles::readBytes(file + u".txt"_s), toGbkLines(entries));
    QCOMPARE(m_rig->dialogs.shown.size(), 1); // no message follows
    // The second Save writes the same file without a dialog.
    select(list(), {1});
    click(u"cmdup"_s);
    click(u"cmdsave"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles.size(), 2);
    const QStringList reversed {entries.at(1), entries.at(0)};
    QCOMPARE(GbkFiles::readBytes(file + u".txt"_s), toGbkLines(reversed));

    // Loaded in a new window, the path with a comma comes back whole.
    w.close();
    QTRY_VERIFY(m_window.isNull());
    m_window = new frmplaylist(playlistServices(m_rig->console()), *m_player, *m_probe);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_rig->dialogs.files.enqueue(file + u".txt"_s);
    QTest::mouseClick(child(u"cmdload"_s), Qt::LeftButton);
    QCOMPARE(rows(), reversed);
}

void tst_frmplaylist::saveRefusals()
{
    frmplaylist &w = open();
    const QString file = m_rig->file(u"playlist/list.txt"_s);
    GbkFiles::writeText(file, u"/old.mp3\n"_s);
    m_rig->dialogs.files.enqueue(file);
    click(u"cmdload"_s);
    m_rig->dialogs.files.enqueue(u"/srv/🎵.mp3"_s);
    click(u"cmdadd"_s);
    click(u"cmdsave"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.first().text.contains(u"/srv/🎵.mp3"_s));
    QVERIFY(m_rig->dialogs.shown.first().text.contains(u"第2项"_s));
    QCOMPARE(m_rig->dialogs.shown.first().title, u"保存列表"_s);
    QCOMPARE(m_rig->dialogs.shown.first().icon, MsgIcon::Error);
    QCOMPARE(GbkFiles::readText(file), u"/old.mp3\r\n"_s);
    // A file that cannot be written: the system's reason, the file as it was.
    select(list(), {1});
    click(u"cmdremove"_s);
    QFile(file).setPermissions(QFileDevice::ReadOwner);
    click(u"cmdsave"_s);
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(m_rig->dialogs.shown.size(), 2);
    QVERIFY(m_rig->dialogs.shown.constLast().text.startsWith(u"播放列表保存失败："_s));
    QCOMPARE(GbkFiles::readText(file), u"/old.mp3\r\n"_s);
    QVERIFY(w.isVisible());
}

void tst_frmplaylist::playing()
{
    frmplaylist &w = open();
    browse(m_rig->file(u"song"_s));
    click(u"cmdplay"_s); // an empty list: nothing
    QVERIFY(m_player->calls.isEmpty());
    click(u"cmdaddall"_s);
    click(u"cmdplay"_s);
    QCOMPARE(m_player->source, song(u"a.wav"_s));
    QCOMPARE(text(u"lblsong"_s), u"a.wav"_s);
    QVERIFY(list()->item(0)->font().bold());
    QVERIFY(!list()->item(1)->font().bold());
    for (const QString &name : {u"mmcplay_play"_s, u"mmcplay_pause"_s, u"mmcplay_stop"_s})
        QVERIFY(child(name)->isEnabled());
    m_player->position = 30.2;
    m_player->duration = 61.5;
    w.playlist().statusUpdate();
    QCOMPARE(text(u"lblsonglength"_s), u"01:01"_s);
    QCOMPARE(text(u"lblctime"_s), u"30/61"_s);
    QCOMPARE(child<QProgressBar>(u"ProgressBarplay"_s)->value(), 49);
    // The transport buttons reach the player.
    m_player->calls.clear();
    click(u"mmcplay_pause"_s);
    click(u"mmcplay_play"_s);
    click(u"mmcplay_stop"_s);
    QCOMPARE(m_player->calls, (QStringList {u"pause"_s, u"play"_s, u"stop"_s}));
    // A double-click on entry 2 while entry 0 plays: it stops, and entry 2
    // starts at the list timer's next tick.
    m_player->calls.clear();
    doubleClick(list(), 2);
    QCOMPARE(m_player->calls, QStringList {u"stop"_s});
    QVERIFY(!child(u"mmcplay_play"_s)->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return m_player->source == song(u"c.mid"_s); }, 10000));
    QCOMPARE(text(u"lblsong"_s), u"c.mid"_s);
    QVERIFY(list()->item(2)->font().bold());
    m_player->finish();
    QVERIFY(!list()->item(2)->font().bold());
    QCOMPARE(text(u"lblctime"_s), u"61/61"_s);
    // "循环播放" reaches the list.
    click(u"chkrepeat"_s);
    QVERIFY(w.playlist().repeat());
}

void tst_frmplaylist::volumeSlider()
{
    frmplaylist &w = open();
    w.playlist().append({song(u"b.mp3"_s)});
    click(u"cmdplay"_s);
    auto *volume = child<QSlider>(u"Slidervol"_s);
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_Left);
    QCOMPARE(m_player->volume, 0.9);
    volume->setValue(3);
    QCOMPARE(m_player->volume, 0.3);
}

void tst_frmplaylist::timedPlay()
{
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 0)));
    frmplaylist &w = open();
    w.playlist().append({song(u"a.wav"_s), song(u"b.mp3"_s)});
    auto *from = child<QTimeEdit>(u"DTPfrom"_s);
    auto *to = child<QTimeEdit>(u"DTPto"_s);
    click(u"chkfromto"_s);
    QVERIFY(w.timedPlay().isArmed());
    for (QWidget *c :
         {static_cast<QWidget *>(from), static_cast<QWidget *>(to), child(u"chkshutdown"_s)})
        QVERIFY(c->isEnabled());
    // The coupling: "到" follows "从" when not later than it …
    to->setTime(QTime(9, 0));
    from->setTime(QTime(8, 30));
    QCOMPARE(to->time(), QTime(9, 0));
    from->setTime(QTime(10, 0));
    QCOMPARE(to->time(), QTime(10, 0));
    // … takes its time at every key typed in "从" …
    to->setTime(QTime(11, 0));
    from->setFocus();
    QTest::keyClick(from, Qt::Key_Down);
    QCOMPARE(to->time(), from->time());
    // … and is never earlier than it.
    to->setTime(QTime(6, 0));
    QCOMPARE(to->time(), from->time());
    to->setFocus();
    to->setCurrentSection(QDateTimeEdit::HourSection);
    QTest::keyClick(to, Qt::Key_Down);
    QCOMPARE(to->time(), from->time());
    QTest::keyClick(to, Qt::Key_Up);
    QCOMPARE(to->time(), from->time().addSecs(3600));

    from->setTime(QTime(8, 0));
    to->setTime(QTime(8, 0, 2));
    QCOMPARE(w.timedPlay().from(), QTime(8, 0));
    QCOMPARE(w.timedPlay().to(), QTime(8, 0, 2));
    click(u"chkshutdown"_s);
    const auto tickAt = [&](QTime t) {
        m_rig->clock.set(QDateTime(QDate(2026, 12, 7), t));
        w.timedPlay().tmrfromto_Timer();
    };
    tickAt(QTime(7, 59, 59, 4));
    QVERIFY(m_player->calls.isEmpty());
    tickAt(QTime(8, 0, 0, 4));
    QCOMPARE(m_player->source, song(u"a.wav"_s));
    tickAt(QTime(8, 0, 2, 4));
    QCOMPARE(m_player->calls.constLast(), u"stop"_s);
    QCOMPARE(m_rig->power.powerOffs, 1);
    QVERIFY(!w.timedPlay().isArmed());
    QVERIFY(child<QCheckBox>(u"chkfromto"_s)->isChecked()); // the box stays ticked
    // Ticking it again arms the window again; off, the pickers are off too.
    click(u"chkfromto"_s);
    QVERIFY(!from->isEnabled() && !child(u"chkshutdown"_s)->isEnabled());
    click(u"chkfromto"_s);
    QVERIFY(w.timedPlay().isArmed());
}

void tst_frmplaylist::closing_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("退出") << false;
    QTest::newRow("Escape") << true;
}

void tst_frmplaylist::closing()
{
    QFETCH(bool, escape);
    open();
    m_rig->dialogs.files.enqueue(song(u"a.wav"_s));
    click(u"cmdadd"_s); // unsaved, and a probe under way
    click(u"cmdplay"_s);
    click(u"chkfromto"_s);
    m_player->calls.clear();
    if (escape)
        QTest::keyClick(list(), Qt::Key_Escape);
    else
        click(u"cmdquit"_s);
    QTRY_VERIFY(m_window.isNull());
    QCOMPARE(m_player->calls, QStringList {u"stop"_s});
    QVERIFY(m_rig->dialogs.shown.isEmpty()); // no question
    // The probe's answer, if any, reaches nothing.
    QTest::qWait(50);
    m_player->finish();
}

QTEST_MAIN(tst_frmplaylist)
#include "tst_frmplaylist.moc"
