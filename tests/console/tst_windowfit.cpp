// Every window of the console on the smallest screen the schools use,
// 1024×768 with a title bar and a panel: it opens whole, and no caption,
// name or path is cut off without the whole text at hand as a tooltip.

#include "console/frmabout.h"
#include "console/frmasrunlog.h"
#include "console/frmback.h"
#include "console/frmbackup.h"
#include "console/frmsetup.h"
#include "consolerig.h"
#include "directory/ampnamefile.h"
#include "directory/frmnode.h"
#include "directory/frmremote.h"
#include "directory/frmsource.h"
#include "directory/nodefile.h"
#include "directory/remotelistfile.h"
#include "platform/asrunlog.h"
#include "platform/chinesetext.h"
#include "players/frmplaylist.h"
#include "players/frmrec.h"
#include "players/frmvcd.h"
#include "schedule/weekprog.h"
#include "support/consolewindows.h"
#include "support/fakerecorder.h"
#include "zonelink/frmMatrix.h"
#include "zonelink/frmclock.h"
#include "zonelink/frmmanual.h"
#include "zonelink/frmnodestatus.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
// 1024×768 less a title bar and a panel above or below, and a frame's borders.
constexpr QSize kRoom(1024 - 8, 768 - 40);

// Names as long as schools give them.
const QString kLongAmp = u"教学楼一楼东侧走廊及楼梯"_s;
const QString kLongDevice = u"礼堂舞台左侧数字录音机"_s;
const QString kLongNode = u"实验楼三楼化学实验准备室"_s;
const QString kLongSong
    = u"/srv/广播/音乐/课间操/第九套全国中小学生广播体操/第九套广播体操（完整版，含口令）.mp3"_s;

// Where the pictures of the windows go: QUELLON_SHOTS, or beside the test.
QString shotPath(const QString &name)
{
    QString folder = qEnvironmentVariable("QUELLON_SHOTS");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    QDir().mkpath(folder);
    return QDir(folder).filePath(name + u".png"_s);
}

// On a real display (QUELLON_SCREEN_SHOTS names it, e.g. ":73"), the
// whole screen with the window manager's frame, for people to look at.
void shootScreen(const QString &name)
{
    const QString display = qEnvironmentVariable("QUELLON_SCREEN_SHOTS");
    if (display.isEmpty())
        return;
    QTest::qWait(800); // the window manager places and frames the window
    QProcess::execute(
        u"import"_s,
        {u"-display"_s, display, u"-window"_s, u"root"_s, shotPath(u"screen_"_s + name)});
}

bool isShownIn(const QWidget *widget, const QWidget *window)
{
    return widget->isVisibleTo(window) && widget->window() == window;
}

// A caption as drawn: "&" marks the shortcut letter and is not shown.
QString shownCaption(QString caption)
{
    caption.replace(u"&&"_s, u"\x01"_s);
    caption.remove(u'&');
    return caption.replace(u'\x01', u'&');
}

// What the pointer resting at at on target shows.
QString hoverText(QWidget *target, const QPoint &at)
{
    // A tip still fading out would answer for the next one.
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->inherits("QTipLabel"))
            top->hide();
    }
    QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// What the operator cannot read in full, neither in place nor by resting
// the pointer on it.
QStringList cutTexts(const QWidget *window)
{
    QStringList cut;
    const auto check
        = [&cut](QWidget *target, const QPoint &at, const QString &text, const QWidget *owner) {
              if (!hoverText(target, at).contains(text))
                  cut << (owner->objectName().isEmpty()
                              ? QString::fromLatin1(owner->metaObject()->className())
                              : owner->objectName())
                          + u": "_s + text;
          };
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (isShownIn(label, window) && !label->wordWrap() && !label->text().isEmpty()
            && label->pixmap().isNull() && label->width() < label->sizeHint().width())
            check(label, label->rect().center(), label->text(), label);
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (!isShownIn(button, window) || button->text().isEmpty())
            continue;
        // A push button's hint has a least width of its own, beyond its
        // caption: what counts is the caption within the button's margins.
        const bool narrow = qobject_cast<QPushButton *>(button)
            ? button->fontMetrics().horizontalAdvance(shownCaption(button->text()))
                > button->width() - button->style()->pixelMetric(QStyle::PM_ButtonMargin)
                    - 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth)
            : button->width() < button->sizeHint().width();
        if (narrow)
            check(button, button->rect().center(), button->text(), button);
    }
    for (QLineEdit *field : window->findChildren<QLineEdit *>()) {
        // The field's own margins: QLineEdit leaves two pixels either side.
        const int room
            = field->width() - 2 * field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4;
        if (isShownIn(field, window)
            && field->fontMetrics().horizontalAdvance(field->text()) > room)
            check(field, field->rect().center(), field->text(), field);
    }
    for (QAbstractItemView *view : window->findChildren<QAbstractItemView *>()) {
        const QAbstractItemModel *model = view->model();
        if (!isShownIn(view, window) || model == nullptr)
            continue;
        const QFontMetrics metrics(view->font());
        // Qt's item views leave a margin either side of an item's text.
        const int margins
            = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
        const QRect shown = view->viewport()->rect();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex index = model->index(row, column);
                const QString text = index.data().toString();
                // A list scrolled sideways cuts its items as much as a narrow
                // column does: only what lies in the viewport is read.
                const QRect rect = view->visualRect(index).intersected(shown);
                if (text.isEmpty() || rect.isEmpty())
                    continue;
                int room = rect.width();
                if (const auto *tree = qobject_cast<const QTreeView *>(view))
                    room = qMin(room, tree->header()->sectionSize(column));
                if (metrics.horizontalAdvance(text) + margins > room)
                    check(view->viewport(), rect.center(), text, view);
            }
        }
    }
    return cut;
}
} // namespace

class tst_WindowFit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void fitsTheScreen_data();
    void fitsTheScreen();
    void closesWithTheFocusInAnyField_data();
    void closesWithTheFocusInAnyField();

private:
    QWidget *build(const QString &name);

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<FakeMediaProbe> m_probe;
    std::unique_ptr<FakeRecorder> m_recorder;
    QWidget *m_window = nullptr;
};

void tst_WindowFit::initTestCase()
{
    // The fonts and captions the operator sees, so sizes are the real ones.
    QVERIFY(useChineseText(*qApp));
}

void tst_WindowFit::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_player = std::make_unique<FakeMediaPlayer>();
    m_probe = std::make_unique<FakeMediaProbe>();
    m_recorder = std::make_unique<FakeRecorder>();
    AmpNames names;
    for (int i = 0; i < 8; ++i) {
        names.amps[i] = i == 0 ? kLongAmp : u"功放室%1"_s.arg(i + 1);
        names.frequencies[i] = u"%1"_s.arg(88 + i);
        names.devices[i] = i == 0 ? kLongDevice : u"外设%1"_s.arg(i + 1);
    }
    QCOMPARE(writeAmpNameFile(m_rig->file(u"amp_name.dat"_s), names), QString());
    QList<NodeRecord> nodes;
    for (int i = 1; i <= 40; ++i)
        nodes.append({i == 3 ? kLongNode : u"教室%1"_s.arg(i), QString::number(i),
                      QString::number(1 + i % 8)});
    QCOMPARE(writeNodeFile(m_rig->file(u"node.txt"_s), nodes), QString());
    // Songs and a week file deep in a school's folders.
    m_rig->writeWeek(ConsoleRig::line(u"07:30:00"_s, u"起床"_s, kLongSong)
                     + ConsoleRig::line(u"08:00:00"_s, u"上课"_s));
    const QString deep = m_rig->file(u"table/week/二〇二六年秋季学期/高中部/作息时间表/"_s);
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(QFile::copy(m_rig->weekFile, deep + u"高中部秋季作息（冬令时）.txt"_s));
    m_rig->setting(u"defaultweekfile"_s, deep + u"高中部秋季作息（冬令时）.txt"_s);
    QCOMPARE(
        writeRemoteListFile(m_rig->file(u"rem_list.txt"_s), {kLongSong, u"/srv/song/铃声.mp3"_s}),
        QString());
}

void tst_WindowFit::cleanup()
{
    delete m_window;
    m_window = nullptr;
    m_recorder.reset();
    m_probe.reset();
    m_player.reset();
    m_rig.reset();
}

QWidget *tst_WindowFit::build(const QString &name)
{
    Console &c = m_rig->start();
    if (name == u"frmback")
        return new frmback(c);
    if (name == u"frmsetup")
        return new frmsetup(setupServices(c));
    if (name == u"frmAbout")
        return new frmAbout(m_rig->launcher, c.dialogs());
    if (name == u"frmnode")
        return new frmnode(c.dialogs(), c.folder(), c.settings().configIni(), c.savedFiles());
    if (name == u"frmsource")
        return new frmsource(c.dialogs(), c.folder(), c.savedFiles());
    if (name == u"frmremote")
        return new frmremote(c.dialogs(), c.folder(), c.savedFiles());
    if (name == u"frmmanual")
        return new frmmanual(manualServices(c));
    if (name == u"frmnodestatus")
        return new frmnodestatus(c.link(), c.dialogs(), c.folder());
    if (name == u"frmbackup")
        return new frmbackup(backupServices(c, m_rig->file(u"config/broadcast.conf"_s)));
    if (name == u"frmrestore")
        return new frmrestore(backupServices(c, m_rig->file(u"config/broadcast.conf"_s)));
    if (name == u"frmclock")
        return new frmclock(clockServices(c));
    if (name == u"frmMatrix")
        return new frmMatrix(c.link(), c.state().MatrixRoutes, c.dialogs());
    if (name == u"weekprog") {
        // The editor with the week file open, as "编辑当前星期文件" opens it.
        auto *editor = new weekprog(weekprogServices(c));
        c.state().setEditCurrentWeekFileRequest(true);
        editor->activateRequests();
        return editor;
    }
    if (name == u"frmplaylist")
        return new frmplaylist(playlistServices(c), *m_player, *m_probe);
    if (name == u"frmrec")
        return new frmrec(c.dialogs(), c.folder(), *m_recorder, *m_player, m_rig->mixer);
    if (name == u"frmvcd")
        return new frmvcd(c.dialogs(), c.folder(), *m_player);
    if (name == u"frmasrunlog") {
        // Lines as long as the console writes them: a frame to many terminals.
        QString values;
        for (int t = 1; t <= 60; ++t)
            values += u' ' + QString::number(t);
        c.asRunLog().record(u"发送"_s, u"代码 0x14 参数 5 0 值"_s + values);
        c.asRunLog().record(u"播放"_s, kLongSong + u"，播放时长 00:03:00"_s);
        return new frmasrunlog(c.asRunLog(), c.clock(), c.dialogs());
    }
    return nullptr;
}

void tst_WindowFit::fitsTheScreen_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"frmback", "frmsetup", "frmAbout", "frmnode", "frmsource", "frmremote", "frmmanual",
          "frmnodestatus", "frmclock", "frmMatrix", "weekprog", "frmplaylist", "frmrec", "frmvcd",
          "frmasrunlog", "frmbackup", "frmrestore"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_WindowFit::fitsTheScreen()
{
    QFETCH(QString, name);
    m_window = build(name);
    QVERIFY(m_window);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_window->grab().save(shotPath(name));
    shootScreen(name);

    const QSize smallest = m_window->minimumSize().expandedTo(m_window->minimumSizeHint());
    QVERIFY2(smallest.width() <= kRoom.width() && smallest.height() <= kRoom.height(),
             qPrintable(u"smallest size %1×%2"_s.arg(smallest.width()).arg(smallest.height())));
    const QSize opened = m_window->size();
    if (name == u"frmback") {
        // The main window fills the screen it is on, whatever its size.
        QCOMPARE(opened, m_window->screen()->availableGeometry().size());
    } else {
        QVERIFY2(opened.width() <= kRoom.width() && opened.height() <= kRoom.height(),
                 qPrintable(u"opens at %1×%2"_s.arg(opened.width()).arg(opened.height())));
    }

    QStringList cut = cutTexts(m_window);
    // Each page of a tabbed window in turn.
    for (QTabWidget *tabs : m_window->findChildren<QTabWidget *>()) {
        for (int page = 1; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            m_window->grab().save(
                shotPath(name + u'_' + tabs->objectName() + QString::number(page)));
            cut << cutTexts(m_window);
        }
    }
    cut.removeDuplicates();
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u"; "_s)));
}

void tst_WindowFit::closesWithTheFocusInAnyField_data()
{
    fitsTheScreen_data();
}

// A window's own members are gone before its child fields are; a field that
// loses the focus on the way out (its edit finished) must not reach them.
// The operator closes a window with the cursor in any field it has.
void tst_WindowFit::closesWithTheFocusInAnyField()
{
    QFETCH(QString, name);
    const auto fieldsOf = [](QWidget *window) {
        QList<QWidget *> fields;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if ((qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w))
                && w->isVisibleTo(window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
                fields << w;
        }
        return fields;
    };
    m_window = build(name);
    QVERIFY(m_window);
    const qsizetype count = fieldsOf(m_window).size();
    delete m_window;
    m_window = nullptr;
    for (qsizetype i = 0; i < count; ++i) {
        m_window = build(name);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        const QList<QWidget *> fields = fieldsOf(m_window);
        QCOMPARE(fields.size(), count);
        QWidget *field = fields.at(i);
        field->setFocus(Qt::TabFocusReason);
        QVERIFY2(field->hasFocus(), qPrintable(field->objectName()));
        QTest::keyClick(field, Qt::Key_End);
        QTest::keyClick(field, Qt::Key_1);
        delete m_window;
        m_window = nullptr;
    }
}

QTEST_MAIN(tst_WindowFit)
#include "tst_windowfit.moc"
