#include "schedule/entrytargetspanel.h"

#include "console/consolesettings.h"
#include "platform/appfolder.h"
#include "platform/elidedtext.h"
#include "schedule/targetselection.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcTargets, "quellon.schedule")

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter presses the button that has the focus, as everywhere in the editor.
    b->setAutoDefault(true);
    return b;
}

QGroupBox *frame(const QString &caption, const QString &name, QWidget *parent)
{
    auto *f = new QGroupBox(caption, parent);
    f->setObjectName(name);
    return f;
}

// Boxes 1-4 on the left, 5-8 on the right would break the reading order;
// two to a row keeps number order, tab order and reading order the same.
void placeBoxes(QGridLayout *grid, const std::array<QCheckBox *, 9> &boxes)
{
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n)
        grid->addWidget(boxes.at(std::size_t(n)), (n - 1) / 2, (n - 1) % 2);
    // One long name does not take the room of the names beside it.
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
}

} // namespace

EntryTargetsPanel::EntryTargetsPanel(const AppFolder &folder, const ConsoleSettings &settings,
                                     QWidget *parent)
    : QWidget(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_selection(std::make_unique<TargetSelection>())
{
    setObjectName(u"EntryTargetsPanel"_s);
    buildControls();
    fillNodeList();
    fillCaptions();
}

EntryTargetsPanel::~EntryTargetsPanel() = default;

void EntryTargetsPanel::buildControls()
{
    auto *franode = frame(u"分区控制"_s, u"franode"_s, this);
    lvwnode = new QTreeWidget(franode);
    lvwnode->setObjectName(u"lvwnode"_s);
    lvwnode->setAccessibleName(u"lvwnode"_s);
    lvwnode->setHeaderLabels({u"节点名称"_s, u"地址"_s, u"分组"_s});
    lvwnode->setRootIsDecorated(false);
    lvwnode->setUniformRowHeights(true);
    lvwnode->setAllColumnsShowFocus(true);
    lvwnode->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwnode->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwnode->setContextMenuPolicy(Qt::CustomContextMenu);
    lvwnode->header()->setStretchLastSection(false);
    lvwnode->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Addresses hold three digits and groups one: room for the captions
    // with a margin keeps the numbers apart.
    const int narrow = lvwnode->fontMetrics().horizontalAdvance(u"地址"_s) + 24;
    for (int column : {1, 2}) {
        lvwnode->header()->setSectionResizeMode(column, QHeaderView::Fixed);
        lvwnode->header()->resizeSection(column, narrow);
    }
    lvwnode->setMinimumSize(230, 150);
    elideItems(lvwnode);
    lvwnode->installEventFilter(this);

    lstnode = new QListWidget(franode);
    lstnode->setObjectName(u"lstnode"_s);
    lstnode->setAccessibleName(u"lstnode"_s);
    lstnode->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstnode->setMinimumSize(130, 150);
    elideItems(lstnode);
    lstnode->installEventFilter(this);

    cmdaddallnode = button(u">>"_s, u"cmdaddallnode"_s, franode);
    cmdaddallnode->setToolTip(u"添加所有节点"_s);
    cmdaddselectednode = button(u">"_s, u"cmdaddselectednode"_s, franode);
    cmdaddselectednode->setToolTip(u"增加选定节点"_s);
    cmddelallnode = button(u"<<"_s, u"cmddelallnode"_s, franode);
    cmddelallnode->setToolTip(u"删除所有节点"_s);
    cmddelselectednode = button(u"<"_s, u"cmddelselectednode"_s, franode);
    cmddelselectednode->setToolTip(u"删除选定节点"_s);
    cmdGroup = button(u"分组"_s, u"cmdGroup"_s, franode);
    for (QPushButton *b :
         {cmdaddallnode, cmdaddselectednode, cmddelallnode, cmddelselectednode, cmdGroup}) {
        // The tool tip says what a bare arrow does, also to a screen reader.
        b->setAccessibleDescription(b->toolTip());
        b->setFixedWidth(56);
    }

    mnugroup = new QMenu(this);
    mnugroup->setObjectName(u"mnugroup"_s);
    for (int k = 0; k < TargetSelection::kGroupCount; ++k) {
        mnugrp.at(std::size_t(k)) = mnugroup->addAction(QString());
        mnugrp.at(std::size_t(k))->setObjectName(u"mnugrp_"_s + QString::number(k));
        connect(mnugrp.at(std::size_t(k)), &QAction::triggered, this,
                [this, k] { mnugrp_Click(k); });
    }

    auto *arrows = new QVBoxLayout;
    arrows->addStretch();
    for (QPushButton *b : {cmdaddallnode, cmdaddselectednode, cmddelallnode, cmddelselectednode})
        arrows->addWidget(b);
    arrows->addSpacing(12);
    arrows->addWidget(cmdGroup);
    arrows->addStretch();

    auto *nodes = new QHBoxLayout(franode);
    nodes->addWidget(lvwnode, 3);
    nodes->addLayout(arrows);
    nodes->addWidget(lstnode, 2);

    auto *fraamp = frame(u"功  放"_s, u"fraamp"_s, this);
    auto *fradevice = frame(u"外  设"_s, u"fradevice"_s, this);
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n) {
        const QString number = QString::number(n);
        // A long name ends in "…" where the editor has no room for it.
        chkamp.at(std::size_t(n)) = new ElidedCheckBox(u"功放"_s + number, fraamp);
        chkamp.at(std::size_t(n))->setObjectName(u"chkamp_"_s + number);
        connect(chkamp.at(std::size_t(n)), &QCheckBox::toggled, this,
                [this, n](bool on) { m_selection->setAmp(n, on); });
        chkdevice.at(std::size_t(n)) = new ElidedCheckBox(u"外设"_s + number, fradevice);
        chkdevice.at(std::size_t(n))->setObjectName(u"chkdevice_"_s + number);
        connect(chkdevice.at(std::size_t(n)), &QCheckBox::toggled, this,
                [this, n](bool on) { m_selection->setDevice(n, on); });
    }
    cmddevice = button(u"外  设"_s, u"cmddevice"_s, fradevice);

    auto *ampGrid = new QGridLayout(fraamp);
    placeBoxes(ampGrid, chkamp);
    auto *deviceGrid = new QGridLayout(fradevice);
    placeBoxes(deviceGrid, chkdevice);
    deviceGrid->addWidget(cmddevice, 4, 0, 1, 2, Qt::AlignRight);

    // Each frame as wide as its names need: amplifier names run longer.
    auto *boxes = new QHBoxLayout;
    boxes->addWidget(fraamp);
    boxes->addWidget(fradevice);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(franode, 1);
    layout->addLayout(boxes);

    // Tab order: the node list, the buttons between the lists, the target
    // list, then the boxes in number order and the button under them.
    QList<QWidget *> chain {lvwnode,       cmdaddallnode,      cmdaddselectednode,
                            cmddelallnode, cmddelselectednode, cmdGroup,
                            lstnode};
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n)
        chain.append(chkamp.at(std::size_t(n)));
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n)
        chain.append(chkdevice.at(std::size_t(n)));
    chain.append(cmddevice);
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));

    connect(cmdaddallnode, &QPushButton::clicked, this, &EntryTargetsPanel::cmdaddallnode_Click);
    connect(cmdaddselectednode, &QPushButton::clicked, this,
            &EntryTargetsPanel::cmdaddselectednode_Click);
    connect(cmddelallnode, &QPushButton::clicked, this, &EntryTargetsPanel::cmddelallnode_Click);
    connect(cmddelselectednode, &QPushButton::clicked, this,
            &EntryTargetsPanel::cmddelselectednode_Click);
    connect(cmdGroup, &QPushButton::clicked, this, &EntryTargetsPanel::cmdGroup_Click);
    connect(cmddevice, &QPushButton::clicked, this, &EntryTargetsPanel::peripheralOnlyRequested);
    connect(lvwnode, &QTreeWidget::itemDoubleClicked, this,
            &EntryTargetsPanel::cmdaddselectednode_Click);
    connect(lvwnode, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { mnugroup->popup(lvwnode->viewport()->mapToGlobal(pos)); });
}

void EntryTargetsPanel::fillNodeList()
{
    const QString path = m_folder.file(u"\\node.txt"_s);
    const QString problem = m_selection->loadNodes(path);
    if (!problem.isEmpty())
        qCWarning(lcTargets) << "node.txt:" << problem;
    for (const NodeRecord &node : m_selection->nodes())
        new QTreeWidgetItem(lvwnode, {node.name, node.address, node.group});
    lvwnode->clearSelection();
}

void EntryTargetsPanel::fillCaptions()
{
    const QString path = m_folder.file(u"\\amp_name.dat"_s);
    const TargetSelection::BoxCaptions captions = TargetSelection::readBoxCaptions(path);
    if (!captions.problem.isEmpty())
        qCWarning(lcTargets) << "amp_name.dat:" << captions.problem;
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n) {
        chkamp.at(std::size_t(n))->setText(captions.amps.at(std::size_t(n - 1)));
        chkdevice.at(std::size_t(n))->setText(captions.devices.at(std::size_t(n - 1)));
        // A long name may not fit a narrow window; its tooltip shows it whole.
        chkamp.at(std::size_t(n))->setToolTip(chkamp.at(std::size_t(n))->text());
        chkdevice.at(std::size_t(n))->setToolTip(chkdevice.at(std::size_t(n))->text());
    }
    // The names as the console read them at start-up: a group renamed since
    // shows here when the editor is next opened.
    const AppSettings &settings = m_settings.values();
    for (int k = 0; k < TargetSelection::kGroupCount; ++k)
        mnugrp.at(std::size_t(k))
            ->setText(
                TargetSelection::groupCaption(k + 1, settings.GroupNames.at(std::size_t(k + 1))));
}

QString EntryTargetsPanel::BuildZoneField() const
{
    return m_selection->zoneField();
}

QString EntryTargetsPanel::BuildAmpField() const
{
    return m_selection->ampField();
}

QString EntryTargetsPanel::BuildDeviceField() const
{
    return m_selection->deviceField();
}

void EntryTargetsPanel::loadTargets(const QString &zone, const QString &amp, const QString &device)
{
    const QString ignored = m_selection->loadTargets(zone, amp, device);
    if (!ignored.isEmpty())
        qCWarning(lcTargets) << "targets of the entry ignored:" << ignored;
    showTargets();
    showBoxes();
}

void EntryTargetsPanel::showTargets()
{
    lstnode->clear();
    for (const TargetSelection::Target &target : m_selection->targets()) {
        auto *item = new QListWidgetItem(target.name, lstnode);
        item->setData(Qt::UserRole, target.address);
    }
}

void EntryTargetsPanel::showBoxes()
{
    for (int n = 1; n <= TargetSelection::kBoxCount; ++n) {
        chkamp.at(std::size_t(n))->setChecked(m_selection->amp(n));
        chkdevice.at(std::size_t(n))->setChecked(m_selection->device(n));
    }
}

void EntryTargetsPanel::cmdaddallnode_Click()
{
    m_selection->addAllNodes();
    showTargets();
}

void EntryTargetsPanel::cmdaddselectednode_Click()
{
    QList<int> rows;
    for (int row = 0; row < lvwnode->topLevelItemCount(); ++row) {
        if (lvwnode->topLevelItem(row)->isSelected())
            rows.append(row);
    }
    m_selection->addNodes(rows);
    showTargets();
}

void EntryTargetsPanel::cmddelallnode_Click()
{
    m_selection->removeAllTargets();
    showTargets();
}

void EntryTargetsPanel::cmddelselectednode_Click()
{
    QList<int> positions;
    for (int row = 0; row < lstnode->count(); ++row) {
        if (lstnode->item(row)->isSelected())
            positions.append(row);
    }
    m_selection->removeTargets(positions);
    showTargets();
}

void EntryTargetsPanel::cmdGroup_Click()
{
    mnugroup->popup(cmdGroup->mapToGlobal(QPoint(0, cmdGroup->height())));
}

void EntryTargetsPanel::mnugrp_Click(int k)
{
    // The group's rows join whatever the operator had selected already.
    for (int row : m_selection->rowsOfGroup(k + 1))
        lvwnode->topLevelItem(row)->setSelected(true);
    cmdaddselectednode_Click();
}

bool EntryTargetsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // The keyboard's double click and the keyboard's "<".
        if (watched == lvwnode && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            cmdaddselectednode_Click();
            return true;
        }
        if (watched == lstnode && key == Qt::Key_Delete) {
            cmddelselectednode_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
