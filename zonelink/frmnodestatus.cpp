#include "zonelink/frmnodestatus.h"

#include "directory/nodefile.h"
#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"
#include "zonelink/statuspoll.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// Headings with their spaces, and how each column's cells sit.
struct ColumnSpec
{
    QString heading;
    Qt::Alignment alignment;
    double share; // of the list's width
};

const std::array<ColumnSpec, StatusPoll::ColumnCount> &columnSpecs()
{
    static const std::array<ColumnSpec, StatusPoll::ColumnCount> specs {{
        {u" 状态"_s, Qt::AlignLeft | Qt::AlignVCenter, 1.0 / 10},
        {u" 序号 "_s, Qt::AlignRight | Qt::AlignVCenter, 1.0 / 10},
        {u"    节点名称"_s, Qt::AlignLeft | Qt::AlignVCenter, 1.0 / 4},
        {u"频率(MHz)"_s, Qt::AlignCenter, 1.0 / 7},
        {u"音量"_s, Qt::AlignCenter, 1.0 / 10},
        {u"地址"_s, Qt::AlignCenter, 1.0 / 10},
        {u"分组"_s, Qt::AlignCenter, 1.0 / 10},
    }};
    return specs;
}

// A loudspeaker, with sound waves when on and a red cross when off.
QPixmap speaker(int size, bool on)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    const QColor body = on ? QColor(0x1e, 0x8c, 0x3a) : QColor(0x80, 0x80, 0x80);
    QPainterPath cone;
    cone.moveTo(1.5, 5.5);
    cone.lineTo(4.5, 5.5);
    cone.lineTo(8.5, 2.0);
    cone.lineTo(8.5, 14.0);
    cone.lineTo(4.5, 10.5);
    cone.lineTo(1.5, 10.5);
    cone.closeSubpath();
    p.setPen(QPen(body.darker(140), 0.8));
    p.setBrush(body);
    p.drawPath(cone);
    if (on) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(body, 1.3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(6.5, 5.0, 5.0, 6.0), -50 * 16, 100 * 16);
        p.drawArc(QRectF(5.5, 2.5, 9.0, 11.0), -50 * 16, 100 * 16);
    } else {
        p.setPen(QPen(QColor(0xc8, 0x1e, 0x1e), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10.5, 5.5), QPointF(14.5, 10.5));
        p.drawLine(QPointF(14.5, 5.5), QPointF(10.5, 10.5));
    }
    return pixmap;
}

QIcon speakerIcon(bool on)
{
    // Small and large, as the list's image list holds them.
    QIcon icon;
    icon.addPixmap(speaker(16, on));
    icon.addPixmap(speaker(32, on));
    return icon;
}

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter presses the button that has the focus, as in a dialog.
    b->setAutoDefault(true);
    b->setMinimumWidth(90);
    return b;
}

QSlider *delaySlider(const QString &name, int value, QWidget *parent)
{
    auto *s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setAccessibleName(name);
    s->setRange(0, StatusPoll::kSliderMax);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBelow);
    s->setTickInterval(1);
    s->setValue(value);
    s->setMinimumWidth(120);
    return s;
}

QLabel *label(const QString &text, const QString &name, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

frmnodestatus::frmnodestatus(ZoneLink &link, Dialogs &dialogs, const AppFolder &folder,
                             QWidget *parent)
    : QWidget(parent)
    , m_link(link)
    , m_dialogs(dialogs)
    , m_poll(new StatusPoll(link, this))
    , m_openIcon(openIcon())
    , m_closeIcon(closeIcon())
{
    setObjectName(u"frmnodestatus"_s);
    setWindowTitle(u"终端状态检查报告"_s);
    setWindowIcon(m_openIcon);
    buildControls();

    // The rows come from node.txt afresh at every opening, all "关".
    const QList<NodeRecord> nodes = readNodeFile(folder.file(u"\\node.txt"_s)).records;
    connect(m_poll, &StatusPoll::orderChanged, this, &frmnodestatus::fillRows);
    connect(m_poll, &StatusPoll::rowChanged, this, &frmnodestatus::showRow);
    // The terminal being asked stays in sight, however long the list; the
    // operator's selection is left where it is.
    connect(m_poll, &StatusPoll::replyWindowOpened, this, [this](int position) {
        if (QTreeWidgetItem *item = lvwstatus->topLevelItem(position))
            lvwstatus->scrollToItem(item);
    });
    connect(m_poll, &StatusPoll::progressChanged, pgbnode, &QProgressBar::setValue);
    connect(m_poll, &StatusPoll::busyChanged, this, &frmnodestatus::onBusyChanged);
    connect(m_poll, &StatusPoll::stoppingChanged, this,
            [this](bool stopping) { cmdrefreshall->setEnabled(!stopping); });
    connect(m_poll, &StatusPoll::closeLost, this, &frmnodestatus::notifyCloseNotSent);
    m_poll->setNodes(nodes);
    // An empty range would make the bar run on its own.
    pgbnode->setRange(0, std::max(1, m_poll->count()));
    pgbnode->setValue(0);
    resize(780, 520);
}

frmnodestatus::~frmnodestatus() = default;

QIcon frmnodestatus::openIcon()
{
    return speakerIcon(true);
}

QIcon frmnodestatus::closeIcon()
{
    return speakerIcon(false);
}

QString frmnodestatus::portClosedText()
{
    return u"串行口没有打开，不能查询终端状态，也不能关闭终端。\n"
           "请在“系统设置”的“串行口选择”中选择连接分区控制器的串行口。"_s;
}

void frmnodestatus::buildControls()
{
    lvwstatus = new QTreeWidget(this);
    lvwstatus->setObjectName(u"lvwstatus"_s);
    lvwstatus->setAccessibleName(u"lvwstatus"_s);
    lvwstatus->setColumnCount(StatusPoll::ColumnCount);
    lvwstatus->setRootIsDecorated(false);
    lvwstatus->setUniformRowHeights(true);
    lvwstatus->setAllColumnsShowFocus(true);
    lvwstatus->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwstatus->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwstatus->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwstatus->setIconSize(QSize(16, 16));
    lvwstatus->setMinimumSize(480, 200);
    elideItems(lvwstatus);
    QTreeWidgetItem *headings = lvwstatus->headerItem();
    for (int c = 0; c < StatusPoll::ColumnCount; ++c) {
        headings->setText(c, columnSpecs().at(std::size_t(c)).heading);
        headings->setTextAlignment(c, columnSpecs().at(std::size_t(c)).alignment);
    }
    QHeaderView *header = lvwstatus->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    // The arrow shows the order of the last sort; the rows themselves are
    // sorted by the poll, not by the view.
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    lvwstatus->installEventFilter(this);
    lvwstatus->viewport()->installEventFilter(this);

    pgbnode = new QProgressBar(this);
    pgbnode->setObjectName(u"pgbnode"_s);
    pgbnode->setAccessibleName(u"pgbnode"_s);
    pgbnode->setFormat(u"%v / %m"_s);

    sldsendwait = delaySlider(u"sldsendwait"_s, StatusPoll::kInitialSendWait, this);
    sldwait = delaySlider(u"sldwait"_s, StatusPoll::kInitialWait, this);
    lblsendwaitms = label({}, u"lblsendwaitms"_s, this);
    lblwaitms = label({}, u"lblwaitms"_s, this);
    const auto showDelays = [this] {
        lblsendwaitms->setText(u"%1 ms"_s.arg(StatusPoll::sendDelayMs(sldsendwait->value())));
        lblwaitms->setText(u"%1 ms"_s.arg(StatusPoll::replyWindowMs(sldwait->value())));
    };
    showDelays();
    sldsendwait->setToolTip(u"查询发出后，等待这段时间再接收终端的回答"_s);
    sldwait->setToolTip(u"接收终端回答的时间，每个终端都等满这段时间"_s);
    connect(sldsendwait, &QSlider::valueChanged, this, [this, showDelays](int value) {
        m_poll->setSendWait(value);
        showDelays();
    });
    connect(sldwait, &QSlider::valueChanged, this, [this, showDelays](int value) {
        m_poll->setWait(value);
        showDelays();
    });

    cmdrefresh_sel = button(u"选中刷新"_s, u"cmdrefresh_sel"_s, this);
    cmdrefreshall = button(u"全部刷新"_s, u"cmdrefreshall"_s, this);
    cmdexit = button(u"退 出"_s, u"cmdexit"_s, this);

    mnurefreshmain = new QMenu(u"刷新"_s, this);
    mnurefreshmain->setObjectName(u"mnurefreshmain"_s);
    mnurefresh = mnurefreshmain->addAction(u"刷新"_s);
    mnurefresh->setObjectName(u"mnurefresh"_s);
    mnurefreshmain->addSeparator();
    mnu_sclose = mnurefreshmain->addAction(u"关闭"_s);
    mnu_sclose->setObjectName(u"mnu_sclose"_s);

    QLabel *lblsendwait = label(u"发送延时"_s, u"lblsendwait"_s, this);
    QLabel *lblwait = label(u"接收延时"_s, u"lblwait"_s, this);
    lblsendwait->setBuddy(sldsendwait);
    lblwait->setBuddy(sldwait);
    auto *delays = new QHBoxLayout;
    delays->addWidget(lblsendwait);
    delays->addWidget(sldsendwait, 1);
    delays->addWidget(lblsendwaitms);
    delays->addSpacing(24);
    delays->addWidget(lblwait);
    delays->addWidget(sldwait, 1);
    delays->addWidget(lblwaitms);
    // The millisecond labels keep their width as the values change.
    const int msWidth = lblwaitms->fontMetrics().horizontalAdvance(u"0000 ms"_s);
    lblsendwaitms->setMinimumWidth(msWidth);
    lblwaitms->setMinimumWidth(msWidth);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdrefresh_sel);
    buttons->addWidget(cmdrefreshall);
    buttons->addSpacing(24);
    buttons->addWidget(cmdexit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvwstatus, 1);
    layout->addWidget(pgbnode);
    layout->addLayout(delays);
    layout->addLayout(buttons);
    setMinimumSize(560, 360);

    setTabOrder(lvwstatus, sldsendwait);
    setTabOrder(sldsendwait, sldwait);
    setTabOrder(sldwait, cmdrefresh_sel);
    setTabOrder(cmdrefresh_sel, cmdrefreshall);
    setTabOrder(cmdrefreshall, cmdexit);

    connect(cmdrefresh_sel, &QPushButton::clicked, this, &frmnodestatus::cmdrefresh_sel_Click);
    connect(cmdrefreshall, &QPushButton::clicked, this, &frmnodestatus::cmdrefreshall_Click);
    connect(cmdexit, &QPushButton::clicked, this, &QWidget::close);
    connect(mnurefresh, &QAction::triggered, this, &frmnodestatus::cmdrefresh_sel_Click);
    connect(mnu_sclose, &QAction::triggered, this, &frmnodestatus::mnu_sclose_Click);
    connect(header, &QHeaderView::sectionClicked, this, &frmnodestatus::lvwstatus_ColumnClick);
    lvwstatus->setFocus();
}

void frmnodestatus::fillRows()
{
    // The selection stays with its terminal when the rows are reordered: the
    // items still show the old order, the poll already has the new one.
    const QList<QTreeWidgetItem *> selected = lvwstatus->selectedItems();
    const int serial = selected.isEmpty() ? -1 : selected.first()->data(0, Qt::UserRole).toInt();
    while (lvwstatus->topLevelItemCount() > m_poll->count())
        delete lvwstatus->takeTopLevelItem(lvwstatus->topLevelItemCount() - 1);
    while (lvwstatus->topLevelItemCount() < m_poll->count()) {
        auto *item = new QTreeWidgetItem(lvwstatus);
        for (int c = 0; c < StatusPoll::ColumnCount; ++c)
            item->setTextAlignment(c, columnSpecs().at(std::size_t(c)).alignment);
    }
    for (int i = 0; i < m_poll->count(); ++i)
        showRow(i);
    lvwstatus->clearSelection();
    const int now = serial >= 0 ? m_poll->positionOf(serial) : -1;
    if (now >= 0) {
        lvwstatus->setCurrentItem(lvwstatus->topLevelItem(now));
        lvwstatus->scrollToItem(lvwstatus->topLevelItem(now));
    }
}

void frmnodestatus::showRow(int position)
{
    QTreeWidgetItem *item = lvwstatus->topLevelItem(position);
    if (!item)
        return;
    const StatusRow &row = m_poll->row(position);
    item->setData(0, Qt::UserRole, row.serial);
    item->setIcon(StatusPoll::StateColumn, row.on ? m_openIcon : m_closeIcon);
    for (int c = 0; c < StatusPoll::ColumnCount; ++c)
        item->setText(c, StatusPoll::cellText(row, c));
}

int frmnodestatus::selectedPosition() const
{
    const QList<QTreeWidgetItem *> selected = lvwstatus->selectedItems();
    return selected.isEmpty() ? -1 : lvwstatus->indexOfTopLevelItem(selected.first());
}

void frmnodestatus::cmdrefresh_sel_Click()
{
    if (m_poll->refreshRow(selectedPosition()) == StatusPoll::Outcome::PortClosed)
        showPortClosed();
}

void frmnodestatus::cmdrefreshall_Click()
{
    if (m_poll->pollingAll()) {
        m_poll->stop();
        return;
    }
    if (m_poll->refreshAll() == StatusPoll::Outcome::PortClosed)
        showPortClosed();
}

void frmnodestatus::mnu_sclose_Click()
{
    if (m_poll->closeTerminal(selectedPosition()) == StatusPoll::Outcome::PortClosed)
        showPortClosed();
}

void frmnodestatus::lvwstatus_ColumnClick(int column)
{
    m_poll->sortBy(column);
    lvwstatus->header()->setSortIndicator(column, m_poll->sortOrder());
}

void frmnodestatus::onBusyChanged(bool busy, bool portLost)
{
    // The window answers throughout; the cursor only says that work goes on.
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    cmdrefresh_sel->setEnabled(!busy);
    mnurefresh->setEnabled(!busy);
    const bool all = m_poll->pollingAll();
    cmdrefreshall->setText(all ? u"停止"_s : u"全部刷新"_s);
    cmdrefreshall->setEnabled(!busy || all);
    if (!busy && portLost)
        notifyPortLost();
}

void frmnodestatus::showPortClosed()
{
    m_dialogs.message(portClosedText(), windowTitle(), MsgIcon::Exclamation, MsgButtons::Ok, this);
}

void frmnodestatus::notifyPortLost()
{
    // The link lost the port under a running command: a notice, so the link
    // and the scheduler go on while it is on screen.
    m_dialogs.notify(portClosedText(), windowTitle(), MsgIcon::Exclamation, this);
}

QString frmnodestatus::closeNotSentText(const QString &terminal)
{
    return u"关闭命令没有发送到分区控制器，终端“%1”可能仍然打开。\n"
           "请检查串行口连线后再关闭一次。"_s.arg(terminal);
}

void frmnodestatus::notifyCloseNotSent(int position)
{
    // Without the port the operator learns why; with it (a write the port
    // did not take whole), that this one terminal may still be on.
    if (!m_link.isOpen()) {
        notifyPortLost();
        return;
    }
    const QString name = position >= 0 ? m_poll->row(position).name : QString();
    m_dialogs.notify(closeNotSentText(name), windowTitle(), MsgIcon::Exclamation, this);
}

void frmnodestatus::fitColumns()
{
    const int width = lvwstatus->width();
    for (int c = 0; c < StatusPoll::ColumnCount; ++c)
        lvwstatus->setColumnWidth(c, int(width * columnSpecs().at(std::size_t(c)).share));
}

bool frmnodestatus::eventFilter(QObject *watched, QEvent *event)
{
    // The columns keep their shares of the list's width.
    if (watched == lvwstatus && event->type() == QEvent::Resize)
        fitColumns();
    // The pop-up menu comes on the right button's press, for the row under it.
    if (watched == lvwstatus->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            if (QTreeWidgetItem *item = lvwstatus->itemAt(mouse->position().toPoint()))
                lvwstatus->setCurrentItem(item);
            mnurefreshmain->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    // From the keyboard (the menu key, Shift+F10) it comes at the current row.
    if (watched == lvwstatus && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        QTreeWidgetItem *item = lvwstatus->currentItem();
        const QRect row = item ? lvwstatus->visualItemRect(item) : QRect();
        const QPoint at = row.isValid() ? row.bottomLeft() + QPoint(8, 0) : QPoint(8, 8);
        mnurefreshmain->popup(lvwstatus->viewport()->mapToGlobal(at));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmnodestatus::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
