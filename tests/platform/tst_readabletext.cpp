// Text the operator reads in Chinese and whole, on a desktop set to English:
// file dialogs in Chinese with each filter once and readable columns, the
// folder choice with its prompt above the tree, and names or paths too long
// for their place shortened with the whole text on hover.

#include "platform/chinesetext.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"
#include "platform/filedialoglook.h"
#include "platform/folderdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {
const QString kLongName = u"第九套全国中小学生广播体操（完整版，含口令）.mp3"_s;

// What the pointer resting on the middle of target shows.
QString hoverText(QWidget *target, QPoint at = {})
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->inherits("QTipLabel"))
            top->hide();
    }
    if (at.isNull())
        at = target->rect().center();
    QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

bool hasChinese(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

// The details view of a file dialog, once its folder has been read.
QTreeView *loadedDetails(QFileDialog &dialog)
{
    auto *files = dialog.findChild<QFileSystemModel *>();
    auto *details = dialog.findChild<QTreeView *>(u"treeView"_s);
    if (!files || !details)
        return nullptr;
    QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
    dialog.show();
    if (!loaded.wait(5000) && details->model()->rowCount(details->rootIndex()) == 0)
        return nullptr;
    return details;
}

QString cell(QTreeView *details, const QString &name, int column)
{
    const QAbstractItemModel *model = details->model();
    for (int row = 0; row < model->rowCount(details->rootIndex()); ++row) {
        if (model->index(row, 0, details->rootIndex()).data().toString() == name)
            return model->index(row, column, details->rootIndex()).data().toString();
    }
    return u"(no row %1)"_s.arg(name);
}
} // namespace

class tst_ReadableText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void filtersReadTheirPatternsOnce_data();
    void filtersReadTheirPatternsOnce();
    void fileDialogSpeaksChinese();
    void fileDialogColumnsAreReadable();
    void folderDialogShowsThePromptAboveTheTree();
    void folderDialogAnswers_data();
    void folderDialogAnswers();
    void labelShortensAndShowsWhole_data();
    void labelShortensAndShowsWhole();
    void fieldShowsPathWholeWhileEdited();
    void checkBoxGivesWayToItsNeighbours();
    void listShortensItemsInsteadOfScrolling();

private:
    QTemporaryDir m_dir;
};

void tst_ReadableText::initTestCase()
{
    QVERIFY(useChineseText(*qApp));
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    // The desktop's language stays as it was: the console sets its own.
    QCOMPARE(QLocale::system().language(), QLocale::English);
    QVERIFY(QDir(m_dir.path()).mkdir(u"铃声"_s));
    QFile song(m_dir.filePath(kLongName));
    QVERIFY(song.open(QIODevice::WriteOnly));
    song.write(QByteArray(2048, 'x'));
    song.close();
    QFile list(m_dir.filePath(u"list.txt"_s));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.close();
}

void tst_ReadableText::filtersReadTheirPatternsOnce_data()
{
    QTest::addColumn<QString>("classic");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("patterns"); // what the dialog filters by, first filter
    QTest::newRow("description with its pattern")
        << u"播放列表文件(*.txt)|*.txt"_s << QStringList {u"播放列表文件(*.txt)"_s}
        << QStringList {u"*.txt"_s};
    QTest::newRow("patterns as description")
        << u"*.mp3;*.wav;*.mid;*.dat;*.wma;|*.mp3;*.wav;*.mid;*.dat;*.wma"_s
        << QStringList {u"*.mp3 *.wav *.mid *.dat *.wma"_s}
        << QStringList {u"*.mp3"_s, u"*.wav"_s, u"*.mid"_s, u"*.dat"_s, u"*.wma"_s};
    QTest::newRow("names of kinds")
        << u"MP3文件;WAV文件|*.mp3;*.wav"_s << QStringList {u"MP3文件;WAV文件 (*.mp3 *.wav)"_s}
        << QStringList {u"*.mp3"_s, u"*.wav"_s};
    QTest::newRow("description naming fewer patterns")
        << u"图片文件(*.bmp;*.png)|*.bmp;*.jpg;*.png"_s
        << QStringList {u"图片文件(*.bmp;*.png) (*.bmp *.jpg *.png)"_s}
        << QStringList {u"*.bmp"_s, u"*.jpg"_s, u"*.png"_s};
    QTest::newRow("two filters") << u"MP3文件|*.mp3|WAV文件|*.wav"_s
                                 << QStringList {u"MP3文件 (*.mp3)"_s, u"WAV文件 (*.wav)"_s}
                                 << QStringList {u"*.mp3"_s};
}

void tst_ReadableText::filtersReadTheirPatternsOnce()
{
    QFETCH(QString, classic);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, patterns);
    QFileDialog dialog(nullptr, u"打开"_s, m_dir.path(), qtFileFilter(classic));
    prepareFileDialog(&dialog);
    auto *types = dialog.findChild<QComboBox *>(u"fileTypeCombo"_s);
    QVERIFY(types);
    QStringList entries;
    for (int i = 0; i < types->count(); ++i)
        entries << types->itemText(i);
    QCOMPARE(entries, shown);
    QCOMPARE(dialog.findChild<QFileSystemModel *>()->nameFilters(), patterns);
}

void tst_ReadableText::fileDialogSpeaksChinese()
{
    QFileDialog dialog(nullptr, u"打开"_s, m_dir.path(), qtFileFilter(u"所有文件|*"_s));
    prepareFileDialog(&dialog);
    QTreeView *details = loadedDetails(dialog);
    QVERIFY(details);
    // Qt's captions come from its translation.
    const QAbstractItemModel *model = details->model();
    for (int column = 0; column < 4; ++column)
        QVERIFY2(hasChinese(model->headerData(column, Qt::Horizontal).toString()),
                 qPrintable(model->headerData(column, Qt::Horizontal).toString()));
    QVERIFY2(hasChinese(cell(details, u"铃声"_s, 2)), qPrintable(cell(details, u"铃声"_s, 2)));
    // Dates in Chinese, not in the desktop's English.
    const QDateTime modified = QFileInfo(m_dir.filePath(kLongName)).lastModified();
    QCOMPARE(cell(details, kLongName, 3),
             QLocale(QLocale::Chinese, QLocale::China).toString(modified, QLocale::ShortFormat));
    QVERIFY(
        !cell(details, kLongName, 3)
             .contains(QLocale::system().monthName(modified.date().month(), QLocale::ShortFormat)));
    QCOMPARE(cell(details, kLongName, 1), u"2.00 kB"_s);
    QCOMPARE(cell(details, u"铃声"_s, 1), QString());
    QVERIFY(hasChinese(
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->text()));
}

void tst_ReadableText::fileDialogColumnsAreReadable()
{
    QFileDialog dialog(nullptr, u"打开"_s, m_dir.path(), QString());
    prepareFileDialog(&dialog);
    QTreeView *details = loadedDetails(dialog);
    QVERIFY(details);
    QVERIFY(details->isVisibleTo(&dialog));
    QVERIFY(dialog.width() <= kSmallestScreenRoom.width());
    QVERIFY(dialog.height() <= kSmallestScreenRoom.height());
    // The longest name of the folder in its column, beside its icon.
    const int needed
        = details->fontMetrics().horizontalAdvance(kLongName) + details->iconSize().width() + 16;
    QVERIFY2(details->header()->sectionSize(0) >= needed,
             qPrintable(u"%1 < %2"_s.arg(details->header()->sectionSize(0)).arg(needed)));
    // And the other columns still in sight.
    const int last
        = details->header()->sectionViewportPosition(3) + details->header()->sectionSize(3);
    QVERIFY2(last <= details->viewport()->width() + details->header()->sectionSize(3) / 2,
             qPrintable(u"%1 > %2"_s.arg(last).arg(details->viewport()->width())));
}

void tst_ReadableText::folderDialogShowsThePromptAboveTheTree()
{
    QWidget owner;
    FolderDialog dialog(u"请选择目录"_s, m_dir.path(), &owner);
    QCOMPARE(dialog.windowTitle(), u"浏览文件夹"_s);
    QVERIFY(dialog.parentWidget() == &owner);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLabel *prompt = nullptr;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->text() == u"请选择目录")
            prompt = label;
    }
    QVERIFY(prompt && prompt->isVisible());
    auto *tree = dialog.findChild<QTreeView *>();
    QVERIFY(tree && tree->isVisible());
    QVERIFY(prompt->geometry().bottom() < tree->geometry().top());
    QCOMPARE(dialog.selectedFolder(), QDir::cleanPath(m_dir.path()));
    // The start folder in sight, among however many folders beside it.
    QTRY_VERIFY(tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())));
    // Folders only: the files beside them are not offered.
    auto *folders = dialog.findChild<QFileSystemModel *>();
    const QModelIndex start = folders->index(m_dir.path());
    QTRY_COMPARE(folders->rowCount(start), 1);
    QCOMPARE(folders->index(0, 0, start).data().toString(), u"铃声"_s);
    QVERIFY(
        hasChinese(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->text()));
}

void tst_ReadableText::folderDialogAnswers_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("确定") << true;
    QTest::newRow("取消") << false;
}

void tst_ReadableText::folderDialogAnswers()
{
    QFETCH(bool, accept);
    const QString wanted = QDir::cleanPath(m_dir.filePath(u"铃声"_s));
    // The operator picks the folder in the tree and presses the button.
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<FolderDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *tree = dialog->findChild<QTreeView *>();
        auto *folders = dialog->findChild<QFileSystemModel *>();
        const QModelIndex start = folders->index(m_dir.path());
        QVERIFY(tree->isExpanded(start));
        QTRY_COMPARE(folders->rowCount(start), 1);
        const QModelIndex folder = folders->index(0, 0, start);
        tree->scrollTo(folder);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(folder).center());
        QCOMPARE(dialog->selectedFolder(), wanted);
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        buttons->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    const QString chosen = chooseFolderWithPrompt(nullptr, u"请选择目录"_s, m_dir.path());
    QCOMPARE(chosen, accept ? wanted : QString());
}

void tst_ReadableText::labelShortensAndShowsWhole_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    const QString path = u"/srv/广播/音乐/课间操/"_s + kLongName;
    QTest::newRow("path, in the middle") << int(Qt::ElideMiddle) << u"/srv/"_s << u".mp3"_s;
    QTest::newRow("name, at its end") << int(Qt::ElideRight) << u"/srv/"_s << u"…"_s;
}

void tst_ReadableText::labelShortensAndShowsWhole()
{
    QFETCH(int, mode);
    QFETCH(QString, start);
    QFETCH(QString, end);
    const QString path = u"/srv/广播/音乐/课间操/"_s + kLongName;
    QWidget window;
    auto *label = new ElidedLabel(Qt::TextElideMode(mode), &window);
    label->setText(path);
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(label);
    // It gives way to a narrow window; its hint still asks for the whole text.
    QVERIFY(label->minimumSizeHint().width() < label->fontMetrics().horizontalAdvance(path) / 4);
    QVERIFY(label->sizeHint().width() > label->fontMetrics().horizontalAdvance(path));
    window.resize(label->sizeHint().width() + 40, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!label->isElided());
    QCOMPARE(hoverText(label), QString());
    window.resize(200, 40);
    QTRY_VERIFY(label->width() < 200);
    QVERIFY(label->isElided());
    QCOMPARE(label->text(), path); // what screen readers and the program read
    QCOMPARE(hoverText(label), path);
    const QString shown = label->fontMetrics().elidedText(path, Qt::TextElideMode(mode),
                                                          label->contentsRect().width());
    QVERIFY(shown.startsWith(start) && shown.endsWith(end));
    // A tooltip of the label's own wins.
    label->setToolTip(u"提示"_s);
    QCOMPARE(hoverText(label), u"提示"_s);
}

void tst_ReadableText::fieldShowsPathWholeWhileEdited()
{
    const QString path = u"/srv/广播/作息时间表/"_s + kLongName;
    QWidget window;
    auto *field = new ElidedLineEdit(Qt::ElideMiddle, &window);
    auto *other = new QLineEdit(&window);
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(field);
    layout->addWidget(other);
    field->setText(path);
    window.resize(360, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QVERIFY(field->isElided());
    QCOMPARE(hoverText(field), path);
    // Shown shortened: the start of the path and the file's name are in sight.
    const QImage shortened = field->grab().toImage();
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    // While edited it shows its text as any field, the cursor at its end.
    const QImage edited = field->grab().toImage();
    QVERIFY(shortened != edited);
    QCOMPARE(field->text(), path);
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, u"x"_s);
    QCOMPARE(field->text(), path + u'x');
    // Short texts are drawn by the field itself either way.
    field->setText(u"/srv/a.txt"_s);
    other->setFocus();
    QVERIFY(!field->isElided());
    QCOMPARE(hoverText(field), QString());
}

void tst_ReadableText::checkBoxGivesWayToItsNeighbours()
{
    const QString caption = u"功放1(教学楼一楼东侧走廊及楼梯)"_s;
    QWidget window;
    auto *box = new ElidedCheckBox(caption, &window);
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(box);
    // Its number and the start of its name stay in sight however narrow.
    QVERIFY(box->minimumSizeHint().width() < box->sizeHint().width() / 2);
    QVERIFY(box->minimumSizeHint().width() > box->fontMetrics().horizontalAdvance(caption.left(3)));
    window.resize(box->sizeHint().width() + 40, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!box->isElided());
    QCOMPARE(hoverText(box), QString());
    window.resize(box->minimumSizeHint().width() + 30, 40);
    QTRY_VERIFY(box->width() < box->sizeHint().width());
    QVERIFY(box->isElided());
    QCOMPARE(hoverText(box), caption);
    QCOMPARE(box->text(), caption);
    // Still a check box.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QVERIFY(box->isChecked());
}

void tst_ReadableText::listShortensItemsInsteadOfScrolling()
{
    QListWidget list;
    elideItems(&list, Qt::ElideMiddle);
    list.addItems({u"/srv/广播/音乐/课间操/"_s + kLongName, u"铃声.mp3"_s});
    list.resize(220, 120);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.horizontalScrollBar()->maximum(), 0);
    QVERIFY(list.visualItemRect(list.item(0)).width() <= list.viewport()->width());
    QCOMPARE(hoverText(list.viewport(), list.visualItemRect(list.item(0)).center()),
             list.item(0)->text());
    QCOMPARE(hoverText(list.viewport(), list.visualItemRect(list.item(1)).center()), QString());
    // Wider, the long one fits whole and needs no tip.
    list.resize(list.fontMetrics().horizontalAdvance(list.item(0)->text()) + 80, 120);
    QTRY_VERIFY(list.visualItemRect(list.item(0)).width()
                > list.fontMetrics().horizontalAdvance(list.item(0)->text()) + 8);
    QCOMPARE(hoverText(list.viewport(), list.visualItemRect(list.item(0)).center()), QString());
}

int main(int argc, char *argv[])
{
    // A desktop set to English, as schools' machines often are.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    QApplication app(argc, argv);
    tst_ReadableText test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_readabletext.moc"
