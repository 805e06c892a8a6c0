#include "zonelink/frmmanual.h"

#include "console/consolesettings.h"
#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"
#include "zonelink/zonelink.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// A list narrower than this shows too little of a name to choose by.
constexpr int kNarrowestList = 90;

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter presses the button that has the focus, as in a dialog.
    b->setAutoDefault(true);
    b->setMinimumWidth(84);
    return b;
}

QLabel *heading(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignHCenter);
    return l;
}

// The three lists of one kind each side by side, amplifiers, devices, terminals.
QHBoxLayout *listRow(QListView *amps, QListView *devices, QListView *nodes, QWidget *parent)
{
    auto *row = new QHBoxLayout;
    const std::array<std::pair<QString, QListView *>, 3> columns {
        std::pair {u"功放"_s, amps}, std::pair {u"外设"_s, devices}, std::pair {u"终端"_s, nodes}};
    for (const auto &[text, list] : columns) {
        auto *column = new QVBoxLayout;
        column->addWidget(heading(text, parent));
        column->addWidget(list, 1);
        row->addLayout(column, list == nodes ? 3 : 2);
    }
    return row;
}

const std::array<QString, ManualControl::TabCount> kTabCaptions {
    u"节目一"_s, u"节目二"_s, u"节目三"_s, u"节目四"_s,
    u"节目五"_s, u"节目六"_s, u"节目七"_s, u"节目八"_s};

} // namespace

frmmanual::frmmanual(const Services &services, QWidget *parent)
    : QWidget(parent)
    , m_s(services)
    , m_control(new ManualControl(services.link, this))
{
    setObjectName(u"frmmanual"_s);
    setWindowTitle(title());
    fillLists();
    buildControls();
    connect(m_control, &ManualControl::framesSent, this, [this] {
        if (std::exchange(m_waiting, false))
            unsetCursor();
    });
    connect(m_control, &ManualControl::notSent, this, &frmmanual::showUnsent);
}

frmmanual::~frmmanual() = default;

QString frmmanual::title()
{
    return u"播放控制中心"_s;
}

QString frmmanual::portClosedText()
{
    return u"分区控制器的串行口没有打开，命令没有发出。\n"
           u"请检查串行口连线，或在系统设置中选择正确的串行口。"_s;
}

QString frmmanual::unsentText(const QStringList &commands, bool portOpen, bool closing)
{
    QString text = portOpen ? u"下列命令没有发送到分区控制器："_s
                            : portClosedText() + u"\n没有发出的命令："_s;
    text += u'\n' + commands.join(u'\n');
    text += closing ? u"\n本窗口打开的功放、外设和终端没有全部关闭。"_s
                    : u"\n这些命令涉及的功放、外设和终端保持原状，请检查后重新确定。"_s;
    return text;
}

void frmmanual::showUnsent(const QStringList &commands)
{
    notifyUnsent(m_s, commands, m_closing, m_closing ? nullptr : this);
}

void frmmanual::notifyUnsent(const Services &services, const QStringList &commands, bool closing,
                             QObject *window)
{
    // The program is ending: its port closes with the frames still queued,
    // and nobody is left to read the notice.
    if (services.programEnding && services.programEnding())
        return;
    // A notice: the frames are done long after the click, from the link.
    services.dialogs.notify(unsentText(commands, services.link.isOpen(), closing), title(),
                            MsgIcon::Exclamation, window);
}

void frmmanual::fillLists()
{
    const AmpNamesRead amps = readAmpNameFile(m_s.folder.file(u"\\amp_name.dat"_s));
    const NodeFileRead nodes = readNodeFile(m_s.folder.file(u"\\node.txt"_s));
    // The eight amplifiers and devices are there whatever their names; a
    // file that cannot be read leaves them nameless, and the operator is told.
    QStringList problems;
    if (amps.missing)
        problems << u"找不到 amp_name.dat，功放和外设没有名称。"_s;
    else if (!amps.ok)
        problems << u"amp_name.dat 读取不完整：%1"_s.arg(amps.error);
    if (nodes.missing)
        problems << u"找不到 node.txt，没有可选的终端。"_s;
    else if (!nodes.ok)
        problems << u"node.txt 读取不完整：%1\n只列出了已读出的终端。"_s.arg(nodes.error);
    m_loadProblems = problems.join(u'\n');

    QList<ManualControl::Node> terminals;
    for (const NodeRecord &record : nodes.records) {
        bool isGroup = false;
        const int group = record.group.trimmed().toInt(&isGroup);
        terminals.append({record.name, nodeAddressValue(record.address), isGroup ? group : 0});
    }
    m_control->fill(amps.names.amps, amps.names.devices, terminals);
}

QListView *frmmanual::makeList(const QString &name, ManualItemList *model,
                               QItemSelectionModel *selection, ListRole role, QWidget *parent)
{
    auto *list = new QListView(parent);
    list->setObjectName(name);
    list->setAccessibleName(name);
    list->setModel(model);
    list->setSelectionModel(selection);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setMinimumSize(kNarrowestList, 200);
    elideItems(list);
    list->installEventFilter(this);
    m_listRoles.insert(list, role);
    connect(list, &QListView::doubleClicked, this, [this, role] { listDoubleClicked(role); });
    return list;
}

void frmmanual::buildControls()
{
    using Kind = ManualControl::ListKind;
    // Created in reading order, which the tab order follows: the source
    // lists, the buttons beside them, the tab bar and the lists of the tab
    // in view, the groups, then the row below. The tab control takes its
    // place where it is made: ordered by hand, it would keep a stop of its
    // own behind, and Tab from the last button would jump back to its bar.
    auto *frasource = new QGroupBox(u"待选功放、外设、终端"_s, this);
    frasource->setObjectName(u"frasource"_s);
    lstsamp = makeList(u"lstsamp"_s, m_control->sourceList(Kind::AmpList),
                       m_control->sourceSelection(Kind::AmpList), {true, Kind::AmpList}, frasource);
    lstsdevice = makeList(u"lstsdevice"_s, m_control->sourceList(Kind::DeviceList),
                          m_control->sourceSelection(Kind::DeviceList), {true, Kind::DeviceList},
                          frasource);
    lstsnode
        = makeList(u"lstsnode"_s, m_control->sourceList(Kind::NodeList),
                   m_control->sourceSelection(Kind::NodeList), {true, Kind::NodeList}, frasource);
    frasource->setLayout(listRow(lstsamp, lstsdevice, lstsnode, frasource));

    cmdadd_selected = button(u"增加选中"_s, u"cmdadd_selected"_s, this);
    cmdaddall = button(u"增加全部"_s, u"cmdaddall"_s, this);
    cmddel_selected = button(u"删除选中"_s, u"cmddel_selected"_s, this);
    cmddelall = button(u"删除全部"_s, u"cmddelall"_s, this);

    SSTabprog = new QTabWidget(this);
    SSTabprog->setObjectName(u"SSTabprog"_s);
    SSTabprog->setAccessibleName(u"SSTabprog"_s);
    // All eight channels always in sight, never behind scroll arrows.
    SSTabprog->setUsesScrollButtons(false);
    for (int t = 0; t < ManualControl::TabCount; ++t) {
        auto *page = new QWidget(SSTabprog);
        const QString index = QString::number(t);
        page->setObjectName(u"SSTabprog_"_s + index);
        lstdamp[t]
            = makeList(u"lstdamp_"_s + index, m_control->targetList(t, Kind::AmpList),
                       m_control->targetSelection(t, Kind::AmpList), {false, Kind::AmpList}, page);
        lstddevice[t] = makeList(
            u"lstddevice_"_s + index, m_control->targetList(t, Kind::DeviceList),
            m_control->targetSelection(t, Kind::DeviceList), {false, Kind::DeviceList}, page);
        lstdnode[t] = makeList(u"lstdnode_"_s + index, m_control->targetList(t, Kind::NodeList),
                               m_control->targetSelection(t, Kind::NodeList),
                               {false, Kind::NodeList}, page);
        page->setLayout(listRow(lstdamp[t], lstddevice[t], lstdnode[t], page));
        SSTabprog->addTab(page, kTabCaptions.at(std::size_t(t)));
    }

    auto *groups = new QHBoxLayout;
    const AppSettings &settings = m_s.settings.values();
    for (int i = 0; i < ManualControl::GroupCount; ++i) {
        const QString number = QString::number(i + 1);
        chkgrp[i] = new QCheckBox(u"组"_s + number, this);
        chkgrp[i]->setObjectName(u"chkgrp_"_s + QString::number(i));
        chkgrp[i]->setToolTip(u"分组"_s + number + u": "_s
                              + settings.GroupNames.at(std::size_t(i + 1)));
        groups->addWidget(chkgrp[i]);
        connect(chkgrp[i], &QCheckBox::clicked, this, [this, i] { chkgrp_Click(i); });
    }
    groups->addStretch();

    sldvol = new QSlider(Qt::Horizontal, this);
    sldvol->setObjectName(u"sldvol"_s);
    sldvol->setAccessibleName(u"sldvol"_s);
    sldvol->setRange(0, 32);
    sldvol->setValue(8);
    sldvol->setSingleStep(1);
    sldvol->setPageStep(5);
    sldvol->setTickPosition(QSlider::TicksBelow);
    sldvol->setTickInterval(4);
    sldvol->setMinimumWidth(160);
    sldvol->setMaximumWidth(320);
    auto *lblvol = new QLabel(u"音量"_s, this);
    lblvol->setObjectName(u"lblvol"_s);
    lblvol->setBuddy(sldvol);
    // The number the terminals will get, so the operator need not count ticks.
    lblvolvalue = new QLabel(QString::number(sldvol->value()), this);
    lblvolvalue->setObjectName(u"lblvolvalue"_s);
    lblvolvalue->setMinimumWidth(lblvolvalue->fontMetrics().horizontalAdvance(u"32"_s) + 4);
    connect(sldvol, &QSlider::valueChanged, lblvolvalue,
            [this](int value) { lblvolvalue->setNum(value); });

    cmdvol = button(u"调节音量"_s, u"cmdvol"_s, this);
    cmdok = button(u"当前确定"_s, u"cmdok"_s, this);
    cmdallok = button(u"全部确定"_s, u"cmdallok"_s, this);
    cmdexit = button(u"退  出"_s, u"cmdexit"_s, this);

    auto *moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton *b : {cmdadd_selected, cmdaddall, cmddel_selected, cmddelall})
        moves->addWidget(b);
    moves->addStretch();

    auto *channel = new QVBoxLayout;
    channel->addWidget(SSTabprog, 1);
    channel->addLayout(groups);

    auto *top = new QHBoxLayout;
    // Both sides hold the same three kinds of list: the same room for each.
    top->addWidget(frasource, 1);
    top->addLayout(moves);
    top->addLayout(channel, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblvol);
    bottom->addWidget(sldvol);
    bottom->addWidget(lblvolvalue);
    bottom->addWidget(cmdvol);
    bottom->addStretch();
    bottom->addWidget(cmdok);
    bottom->addWidget(cmdallok);
    bottom->addWidget(cmdexit);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    connect(cmdadd_selected, &QPushButton::clicked, this, &frmmanual::cmdadd_selected_Click);
    connect(cmdaddall, &QPushButton::clicked, this, &frmmanual::cmdaddall_Click);
    connect(cmddel_selected, &QPushButton::clicked, this, &frmmanual::cmddel_selected_Click);
    connect(cmddelall, &QPushButton::clicked, this, &frmmanual::cmddelall_Click);
    connect(cmdok, &QPushButton::clicked, this, &frmmanual::cmdok_Click);
    connect(cmdallok, &QPushButton::clicked, this, &frmmanual::cmdallok_Click);
    connect(cmdvol, &QPushButton::clicked, this, &frmmanual::cmdvol_Click);
    connect(cmdexit, &QPushButton::clicked, this, &QWidget::close);
    fitListsToNames();
    // Not on a list: until the operator uses one, the buttons have no list to act on.
    SSTabprog->setFocus();
}

void frmmanual::fitListsToNames()
{
    // The lists of a kind, left and right, as wide as its longest name, as
    // far as the smallest screen has room: while the window would not fit,
    // the widest kind gives way first. A name longer than its list ends in
    // "…" and shows whole when the pointer rests on it.
    const std::array<QListView *, 3> sources {lstsamp, lstsdevice, lstsnode};
    std::array<int, 3> widths {};
    for (std::size_t k = 0; k < sources.size(); ++k)
        widths.at(k) = std::max(kNarrowestList, widestItemWidth(sources.at(k)));
    for (;;) {
        setListWidths(widths);
        if (minimumSizeHint().width() <= kSmallestScreenRoom.width())
            break;
        int &widest = *std::max_element(widths.begin(), widths.end());
        if (widest <= kNarrowestList)
            break;
        widest = std::max(kNarrowestList, widest - 8);
    }
    // The layout's own minimum keeps all eight tabs, the group boxes and the
    // buttons whole; a smaller fixed minimum would let them be cut off.
    resize(QSize(960, 500).expandedTo(minimumSizeHint()).boundedTo(kSmallestScreenRoom));
}

void frmmanual::setListWidths(const std::array<int, 3> &widths)
{
    lstsamp->setMinimumWidth(widths.at(0));
    lstsdevice->setMinimumWidth(widths.at(1));
    lstsnode->setMinimumWidth(widths.at(2));
    for (int t = 0; t < ManualControl::TabCount; ++t) {
        lstdamp[t]->setMinimumWidth(widths.at(0));
        lstddevice[t]->setMinimumWidth(widths.at(1));
        lstdnode[t]->setMinimumWidth(widths.at(2));
    }
    // The pages and the frame take the new widths at once, not when their
    // layouts next run, so that the window's least size can be read.
    QList<QWidget *> holders {lstsamp->parentWidget()};
    for (int t = 0; t < ManualControl::TabCount; ++t)
        holders << SSTabprog->widget(t);
    for (QWidget *holder : holders) {
        holder->layout()->activate();
        holder->updateGeometry();
    }
    SSTabprog->updateGeometry();
    layout()->activate();
}

int frmmanual::currentTab() const
{
    return SSTabprog->currentIndex();
}

bool frmmanual::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving a list records its kind, so that the button clicked next acts on it.
    if (event->type() == QEvent::FocusOut) {
        const auto it = m_listRoles.constFind(watched);
        if (it != m_listRoles.cend())
            listUsed(*it);
    }
    return QWidget::eventFilter(watched, event);
}

void frmmanual::listUsed(ListRole role)
{
    if (role.source)
        m_control->setLastSourceList(role.kind);
    else
        m_control->setLastTargetList(role.kind);
}

void frmmanual::listDoubleClicked(ListRole role)
{
    listUsed(role);
    if (role.source)
        cmdadd_selected_Click();
    else
        cmddel_selected_Click();
}

void frmmanual::cmdadd_selected_Click()
{
    m_control->addSelected(currentTab());
}

void frmmanual::cmdaddall_Click()
{
    m_control->addAll(currentTab());
}

void frmmanual::cmddel_selected_Click()
{
    m_control->removeSelected(currentTab());
}

void frmmanual::cmddelall_Click()
{
    m_control->removeAll(currentTab());
}

void frmmanual::chkgrp_Click(int index)
{
    m_control->groupClicked(index, chkgrp.at(std::size_t(index))->checkState(), currentTab());
}

bool frmmanual::portReady()
{
    if (m_s.link.isOpen())
        return true;
    m_s.dialogs.message(portClosedText(), title(), MsgIcon::Exclamation, MsgButtons::Ok, this);
    return false;
}

void frmmanual::confirmTab(int tab)
{
    m_control->confirm(tab, m_s.settings.values().SourceFrequency.at(std::size_t(tab + 1)));
}

void frmmanual::cmdok_Click()
{
    // With the port closed nothing is recorded either: the lists stay as
    // edited, to be confirmed once the port is back.
    if (!portReady())
        return;
    confirmTab(currentTab());
}

void frmmanual::cmdallok_Click()
{
    if (!portReady())
        return;
    const int remembered = currentTab();
    setCursor(Qt::WaitCursor);
    m_waiting = true;
    for (int t = 0; t < ManualControl::TabCount; ++t) {
        SSTabprog->setCurrentIndex(t);
        confirmTab(t);
    }
    SSTabprog->setCurrentIndex(remembered);
    // The cursor comes back when the last frame is out; at once when none went.
    if (m_control->framesUnderway() == 0 && std::exchange(m_waiting, false))
        unsetCursor();
}

void frmmanual::cmdvol_Click()
{
    // An empty tab has nothing to adjust, whatever the port.
    if (m_control->targetList(currentTab(), ManualControl::NodeList)->rowCount() == 0)
        return;
    if (!portReady())
        return;
    m_control->setVolume(currentTab(), sldvol->value());
}

void frmmanual::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_closing = false;
    if (m_loadProblems.isEmpty())
        return;
    // Told once, over the window: the lists hold what could be read. A
    // notice: it comes from the event queue, not from a command.
    QMetaObject::invokeMethod(
        this,
        [this, text = std::exchange(m_loadProblems, QString())] {
            m_s.dialogs.notify(text, title(), MsgIcon::Exclamation, this);
        },
        Qt::QueuedConnection);
}

void frmmanual::closeEvent(QCloseEvent *event)
{
    // Closing is never held up: the closing frames are queued, and what does
    // not go out is told by a notice (with the port closed, at once).
    m_closing = true;
    m_control->switchOffAll();
    if (m_control->framesUnderway() > 0 && testAttribute(Qt::WA_DeleteOnClose))
        handOverClosing();
    event->accept();
}

void frmmanual::handOverClosing()
{
    ManualControl *control = m_control;
    disconnect(control, nullptr, this, nullptr);
    // A child of the link, so it goes with the link at the latest.
    control->setParent(&m_s.link);
    const Services services = m_s;
    connect(control, &ManualControl::notSent, control, [services](const QStringList &commands) {
        notifyUnsent(services, commands, true, nullptr);
    });
    connect(control, &ManualControl::framesSent, control, &QObject::deleteLater);
}

void frmmanual::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
