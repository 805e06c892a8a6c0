#include "directory/frmremote.h"

#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QString listFile(const AppFolder &folder)
{
    return folder.file(QStringLiteral("\\rem_list.txt"));
}
} // namespace

frmremote::frmremote(Dialogs &dialogs, const AppFolder &folder, SavedFiles &saved, QWidget *parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_folder(folder)
    , m_saved(saved)
{
    setObjectName(QStringLiteral("frmremote"));
    setWindowTitle(QStringLiteral("编辑远程控制播放列表"));
    buildControls();
    const QString error = m_list.load(listFile(m_folder));
    showList();
    // The window opens all the same, empty or with what could be read; the
    // message waits until it is on screen, so the operator sees what it is about.
    if (!error.isEmpty())
        QTimer::singleShot(0, this, [this, error] { showLoadFailure(error); });
}

void frmremote::buildControls()
{
    lblnote = new QLabel(QStringLiteral("已选择的播放文件："), this);
    lblnote->setObjectName(QStringLiteral("lblnote"));

    lstplaylist = new QListWidget(this);
    lstplaylist->setObjectName(QStringLiteral("lstplaylist"));
    lstplaylist->setAccessibleName(QStringLiteral("lstplaylist"));
    lstplaylist->setSelectionMode(QAbstractItemView::SingleSelection);
    lstplaylist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A long path shows its start and its file name, not only its start.
    elideItems(lstplaylist, Qt::ElideMiddle);
    lstplaylist->setMinimumSize(320, 180);
    lblnote->setBuddy(lstplaylist);
    connect(lstplaylist, &QListWidget::itemSelectionChanged, this,
            &frmremote::listSelectionChanged);

    const struct
    {
        QPushButton *&button;
        const char16_t *name;
        const char16_t *caption;
        void (frmremote::*click)();
    } buttons[] = {
        {cmdadd, u"cmdadd", u"增 加", &frmremote::cmdadd_Click},
        {cmddel, u"cmddel", u"删 除", &frmremote::cmddel_Click},
        {cmdup, u"cmdup", u"上 移", &frmremote::cmdup_Click},
        {cmddown, u"cmddown", u"下 移", &frmremote::cmddown_Click},
        {cmdsave, u"cmdsave", u"保 存", &frmremote::cmdsave_Click},
        {cmdexit, u"cmdexit", u"退 出", nullptr},
    };
    auto *column = new QVBoxLayout;
    QWidget *previous = lstplaylist;
    for (const auto &b : buttons) {
        b.button = new QPushButton(QString::fromUtf16(b.caption), this);
        b.button->setObjectName(QString::fromUtf16(b.name));
        // Enter presses the button that has the focus, as in a dialog; with
        // no default button, Enter elsewhere deletes or saves nothing.
        b.button->setAutoDefault(true);
        b.button->setMinimumWidth(88);
        if (b.click)
            connect(b.button, &QPushButton::clicked, this, b.click);
        if (b.button == cmdsave)
            column->addStretch(1);
        column->addWidget(b.button);
        setTabOrder(previous, b.button);
        previous = b.button;
    }
    connect(cmdexit, &QPushButton::clicked, this, &QWidget::close);

    auto *grid = new QGridLayout(this);
    grid->addWidget(lblnote, 0, 0);
    grid->addWidget(lstplaylist, 1, 0);
    grid->addLayout(column, 1, 1);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);
    lstplaylist->setFocus();
    resize(620, 360);
}

void frmremote::showLoadFailure(const QString &error)
{
    // A notice: it comes from a timer after the window opened, not from a command.
    m_dialogs.notify(error, QStringLiteral("错误提示"), MsgIcon::Error, this);
}

void frmremote::showList()
{
    const QSignalBlocker blocker(lstplaylist);
    lstplaylist->clear();
    for (const QString &path : m_list.entries()) {
        auto *item = new QListWidgetItem(path, lstplaylist);
        // Read whole on hover, however much of it the list shows.
        item->setToolTip(path);
    }
    if (m_list.selected() >= 0) {
        lstplaylist->setCurrentRow(m_list.selected());
        lstplaylist->scrollToItem(lstplaylist->currentItem());
    }
}

void frmremote::listSelectionChanged()
{
    const QList<QListWidgetItem *> chosen = lstplaylist->selectedItems();
    m_list.select(chosen.isEmpty() ? -1 : lstplaylist->row(chosen.constFirst()));
}

void frmremote::cmdadd_Click()
{
    QString folder = m_list.addFolder();
    if (folder.isEmpty())
        folder = m_folder.path();
    const QString path = m_dialogs.openFileName(
        QStringLiteral("选择文件"), folder,
        QStringLiteral("MP3文件;WAV文件;MIDI文件;VCD文件;WMA文件|*.mp3;*.wav;*.mid;*.dat;*.wma"),
        QString(), this);
    if (path.isEmpty())
        return;
    m_list.add(path);
    showList();
    lstplaylist->scrollToBottom();
}

void frmremote::cmddel_Click()
{
    if (m_list.removeSelected())
        showList();
}

void frmremote::cmdup_Click()
{
    if (m_list.moveUp())
        showList();
}

void frmremote::cmddown_Click()
{
    if (m_list.moveDown())
        showList();
}

bool frmremote::saveList()
{
    // A list written is announced: the console reads it again, so the remote
    // keys step through the new list from the next key on.
    const QString error = m_list.save(listFile(m_folder), m_saved);
    if (!error.isEmpty()) {
        m_dialogs.message(error, QStringLiteral("错误提示"), MsgIcon::Error, MsgButtons::Ok, this);
        return false;
    }
    return true;
}

void frmremote::cmdsave_Click()
{
    if (saveList())
        m_dialogs.message(QStringLiteral("保存成功！"), QStringLiteral("存盘提示"),
                          MsgIcon::Information, MsgButtons::Ok, this);
}

void frmremote::closeEvent(QCloseEvent *event)
{
    // "退 出", Escape and the close box all come here, so the list is asked
    // about once whichever way the window goes.
    if (m_list.isModified()) {
        switch (m_dialogs.message(QStringLiteral("播放内容已被修改，保存吗？"), QString(),
                                  MsgIcon::Question, MsgButtons::YesNoCancel, this)) {
        case MsgAnswer::Yes:
            // A list that could not be saved stays on screen, not lost.
            if (!saveList()) {
                event->ignore();
                return;
            }
            break;
        case MsgAnswer::No:
            m_list.clearModified();
            break;
        default:
            event->ignore();
            return;
        }
    }
    event->accept();
}

void frmremote::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
