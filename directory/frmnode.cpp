#include "directory/frmnode.h"

#include "directory/frmnode_list.h"
#include "directory/nodedirectory.h"
#include "platform/appfolder.h"
#include "platform/characterfilter.h"
#include "platform/dialogs.h"
#include "platform/windowteardown.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValidator>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString kAddressText = u"请输入0-255的整数"_s;
const QString kAddressTitle = u"地址输入不对"_s;

// Refuses a group name that config.ini would give back cut short.
class GroupNameValidator final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        return NodeDirectory::groupNameFits(input) ? Acceptable : Invalid;
    }
};

QLabel *label(const QString &text, const QString &name, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter presses the button that has the focus, as in a dialog; there is
    // no default button, so Enter in a field never adds, saves or deletes.
    b->setAutoDefault(true);
    b->setMinimumWidth(84);
    return b;
}

QLineEdit *field(const QString &name, QWidget *parent)
{
    auto *f = new QLineEdit(parent);
    f->setObjectName(name);
    f->setAccessibleName(name);
    return f;
}

} // namespace

frmnode::frmnode(Dialogs &dialogs, const AppFolder &folder, const ProfileIni &configIni,
                 SavedFiles &saved, QWidget *parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_saved(saved)
    , m_directory(new NodeDirectory(folder.file(u"\\node.txt"_s), configIni, this))
{
    setObjectName(u"frmnode"_s);
    setWindowTitle(u"节点管理"_s);
    setWindowIcon(speakerIcon());
    m_loadError = m_directory->load();
    buildControls();
    resize(820, 600);
}

frmnode::~frmnode()
{
    detachChildSignals(this);
}

void frmnode::buildControls()
{
    cmbstyle = new QComboBox(this);
    cmbstyle->setObjectName(u"cmbstyle"_s);
    cmbstyle->setAccessibleName(u"cmbstyle"_s);
    cmbstyle->addItems({u"大 图 标"_s, u"小 图 标"_s, u"列    表"_s, u"详细资料"_s});

    lvwnode = new NodeListView(m_directory, this);
    lvwnode->setMinimumSize(300, 150);

    txtnodename = field(u"txtnodename"_s, this);
    txtnodeaddr = field(u"txtnodeaddr"_s, this);
    // Digits only, typed or pasted; a refused key beeps.
    CharacterFilter::install(txtnodeaddr, CharacterFilter::digits(), [this] { m_dialogs.beep(); });
    txtnodeaddr->setMaximumWidth(90);
    // Leaving the field checks its range.
    txtnodeaddr->installEventFilter(this);
    cmbnodegroup = new QComboBox(this);
    cmbnodegroup->setObjectName(u"cmbnodegroup"_s);
    cmbnodegroup->setAccessibleName(u"cmbnodegroup"_s);
    cmbnodegroup->setMinimumContentsLength(12);
    cmbnodegroup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    fillGroupChoice();

    cmdnew = button(u"新 建"_s, u"cmdnew"_s, this);
    cmdadd = button(u"增 加"_s, u"cmdadd"_s, this);
    cmdmodify = button(u"修 改"_s, u"cmdmodify"_s, this);
    cmddel = button(u"删 除"_s, u"cmddel"_s, this);
    cmdsave = button(u"保 存"_s, u"cmdsave"_s, this);
    cmdexit = button(u"退 出"_s, u"cmdexit"_s, this);

    auto *fragroup = new QGroupBox(u"分组名称"_s, this);
    fragroup->setObjectName(u"fragroup"_s);
    auto *groups = new QGridLayout(fragroup);
    for (int n = 1; n <= NodeDirectory::GroupCount; ++n) {
        const QString number = QString::number(n);
        txtGN[n] = field(u"txtGN_"_s + number, fragroup);
        txtGN[n]->setText(m_directory->groupName(n));
        txtGN[n]->setValidator(new GroupNameValidator(txtGN[n]));
        txtGN[n]->setMinimumWidth(90);
        connect(txtGN[n], &QLineEdit::textChanged, this,
                [this, n](const QString &text) { m_directory->setGroupName(n, text); });
        // The directory keeps the name without the blanks around it; once the
        // operator leaves the field it shows what will be saved.
        connect(txtGN[n], &QLineEdit::editingFinished, this, [this, n] {
            if (txtGN[n]->text() != m_directory->groupName(n))
                txtGN[n]->setText(m_directory->groupName(n));
        });
        // Groups 1-4 on the first row, 5-8 on the second: reading order is number order.
        const int row = (n - 1) / 4;
        const int column = (n - 1) % 4 * 2;
        groups->addWidget(label(u"分组"_s + number + u"名称:"_s, u"lblGN_"_s + number, fragroup),
                          row, column);
        groups->addWidget(txtGN[n], row, column + 1);
        groups->setColumnStretch(column + 1, 1);
    }

    auto *styleRow = new QHBoxLayout;
    styleRow->addStretch();
    styleRow->addWidget(label(u"显示方式:"_s, u"lblstyle"_s, this));
    styleRow->addWidget(cmbstyle);

    auto *fields = new QHBoxLayout;
    fields->addWidget(label(u"节点名称:"_s, u"lblnodename"_s, this));
    fields->addWidget(txtnodename, 3);
    fields->addSpacing(8);
    fields->addWidget(label(u"节点地址:"_s, u"lblnodeaddr"_s, this));
    fields->addWidget(txtnodeaddr, 1);
    fields->addSpacing(8);
    fields->addWidget(label(u"节点分组:"_s, u"lblnodegroup"_s, this));
    fields->addWidget(cmbnodegroup, 2);

    auto *nodeButtons = new QHBoxLayout;
    for (QPushButton *b : {cmdnew, cmdadd, cmdmodify, cmddel})
        nodeButtons->addWidget(b);
    nodeButtons->addStretch();

    auto *closeButtons = new QHBoxLayout;
    closeButtons->addStretch();
    closeButtons->addWidget(cmdsave);
    closeButtons->addWidget(cmdexit);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(styleRow);
    layout->addWidget(lvwnode, 1);
    layout->addLayout(fields);
    layout->addLayout(nodeButtons);
    layout->addWidget(fragroup);
    layout->addLayout(closeButtons);

    // Tab order: top to bottom, left to right. Of the list's two views only
    // the one shown takes the focus.
    QList<QWidget *> chain {cmbstyle,
                            lvwnode->iconView(),
                            lvwnode->reportView(),
                            txtnodename,
                            txtnodeaddr,
                            cmbnodegroup,
                            cmdnew,
                            cmdadd,
                            cmdmodify,
                            cmddel};
    for (int n = 1; n <= NodeDirectory::GroupCount; ++n)
        chain.append(txtGN[n]);
    chain << cmdsave << cmdexit;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));

    connect(cmdnew, &QPushButton::clicked, this, &frmnode::cmdnew_Click);
    connect(cmdadd, &QPushButton::clicked, this, &frmnode::cmdadd_Click);
    connect(cmdmodify, &QPushButton::clicked, this, &frmnode::cmdmodify_Click);
    connect(cmddel, &QPushButton::clicked, this, &frmnode::cmddel_Click);
    connect(cmdsave, &QPushButton::clicked, this, &frmnode::cmdsave_Click);
    connect(cmdexit, &QPushButton::clicked, this, &QWidget::close);
    connect(lvwnode, &NodeListView::itemClicked, this, &frmnode::lvwnode_ItemClick);
    connect(lvwnode, &NodeListView::columnClicked, this, &frmnode::lvwnode_ColumnClick);
    connect(cmbstyle, &QComboBox::currentIndexChanged, this, &frmnode::cmbstyle_Click);
    cmbstyle->setCurrentIndex(NodeListView::LargeIcons);
    lvwnode->setFocus();
}

void frmnode::fillGroupChoice()
{
    cmbnodegroup->clear();
    for (int n = 1; n <= NodeDirectory::GroupCount; ++n)
        cmbnodegroup->addItem(m_directory->groupEntry(n), n);
    cmbnodegroup->setCurrentIndex(-1);
}

int frmnode::chosenGroup() const
{
    return cmbnodegroup->currentIndex() < 0 ? 0 : cmbnodegroup->currentData().toInt();
}

void frmnode::showError(const QString &text)
{
    m_dialogs.message(text, u"错误提示"_s, MsgIcon::Error, MsgButtons::Ok, this);
}

void frmnode::cmdnew_Click()
{
    const QScopedValueRollback guard(m_updating, true);
    if (!m_directory->addPlaceholder()) {
        m_dialogs.message(u"节点数已经最大了，不能再增加"_s, u"增加节点提示"_s,
                          MsgIcon::Information, MsgButtons::Ok, this);
        return;
    }
    lvwnode->scrollToRow(m_directory->count() - 1);
}

void frmnode::cmdadd_Click()
{
    // A click may come before the check that leaving the field queued: an
    // address out of range is never stored.
    if (!checkAddress())
        return;
    const QScopedValueRollback guard(m_updating, true);
    if (m_directory->addNode(txtnodename->text(), txtnodeaddr->text(), chosenGroup())
        != NodeDirectory::EditError::None) {
        showError(u"没有选择节点分组，请先在“节点分组”中选择一个分组。"_s);
        return;
    }
    showStoredName(m_directory->count() - 1);
    lvwnode->scrollToRow(m_directory->count() - 1);
}

void frmnode::cmdmodify_Click()
{
    if (!checkAddress())
        return;
    const QScopedValueRollback guard(m_updating, true);
    const int row = lvwnode->currentRow();
    switch (m_directory->modifyNode(row, txtnodename->text(), txtnodeaddr->text(), chosenGroup())) {
    case NodeDirectory::EditError::None:
        showStoredName(row);
        break;
    case NodeDirectory::EditError::NoCurrentNode:
        showError(u"没有选择节点，请先在列表中单击要修改的节点。"_s);
        break;
    case NodeDirectory::EditError::NoGroup:
        showStoredName(row); // the name was written all the same
        showError(u"没有选择节点分组，请先在“节点分组”中选择一个分组。"_s);
        break;
    }
}

void frmnode::showStoredName(int row)
{
    // The directory drops the blanks around a name: the field shows the name
    // as the list shows it and the file will hold it.
    const QString name = m_directory->node(row).name;
    if (txtnodename->text() != name)
        txtnodename->setText(name);
}

void frmnode::cmddel_Click()
{
    const QScopedValueRollback guard(m_updating, true);
    const int row = lvwnode->currentRow();
    if (m_directory->removeNode(row) == NodeDirectory::EditError::NoCurrentNode) {
        showError(u"没有选择节点，请先在列表中单击要删除的节点。"_s);
        return;
    }
    // No node becomes current in its place: a second click does not delete
    // a neighbour the operator has not chosen.
    lvwnode->clearCurrent();
}

bool frmnode::cmdsave_Click()
{
    const NodeDirectory::SaveOutcome outcome = m_directory->save(m_saved);
    const QString title = u"存盘提示"_s;
    Dialogs &dialogs = m_dialogs;
    switch (outcome.result) {
    case NodeDirectory::SaveOutcome::Saved:
        dialogs.message(u"保存成功！"_s, title, MsgIcon::Information, MsgButtons::Ok, this);
        break;
    case NodeDirectory::SaveOutcome::Refused:
        dialogs.message(outcome.error, title, MsgIcon::Exclamation, MsgButtons::Ok, this);
        return false;
    case NodeDirectory::SaveOutcome::NodeFileFailed:
        dialogs.message(u"节点文件保存失败：\n"_s + outcome.error, title, MsgIcon::Error,
                        MsgButtons::Ok, this);
        return false;
    case NodeDirectory::SaveOutcome::GroupNamesFailed:
        dialogs.message(u"节点已保存，分组名称保存失败：\n"_s + outcome.error, title,
                        MsgIcon::Error, MsgButtons::Ok, this);
        break;
    }
    fillGroupChoice();
    return outcome.result == NodeDirectory::SaveOutcome::Saved;
}

void frmnode::lvwnode_ItemClick(int row)
{
    if (m_updating || row < 0 || row >= m_directory->count())
        return;
    const NodeRecord node = m_directory->node(row);
    txtnodename->setText(node.name);
    txtnodeaddr->setText(node.address);
    bool isNumber = false;
    const int group = node.group.trimmed().toInt(&isNumber);
    cmbnodegroup->setCurrentIndex(
        isNumber && group >= 1 && group <= NodeDirectory::GroupCount ? group - 1 : -1);
}

void frmnode::lvwnode_ColumnClick(int column)
{
    const QScopedValueRollback guard(m_updating, true);
    m_directory->sort(column, Qt::AscendingOrder);
}

void frmnode::cmbstyle_Click(int index)
{
    lvwnode->setView(index);
    update();
}

bool frmnode::checkAddress()
{
    if (NodeDirectory::addressInRange(txtnodeaddr->text()))
        return true;
    // One message at a time: a button's check may come while the message of
    // leaving the field is on screen, or run the check that leaving queued.
    if (m_complaining)
        return false;
    const QScopedValueRollback complaining(m_complaining, true);
    m_dialogs.message(kAddressText, kAddressTitle, MsgIcon::Information, MsgButtons::Ok, this);
    takeBackAddress();
    return false;
}

void frmnode::takeBackAddress()
{
    txtnodeaddr->setFocus();
    txtnodeaddr->selectAll();
}

void frmnode::txtnodeaddr_LostFocus()
{
    // The check runs after the focus change is complete; it has nothing to
    // say when the operator is back in the field or the window is closed.
    if (!isVisible() || txtnodeaddr->hasFocus() || m_complaining
        || NodeDirectory::addressInRange(txtnodeaddr->text()))
        return;
    // Raised by a focus change, so shown without waiting; the field takes the
    // focus back once the operator has read it.
    m_complaining = true;
    m_dialogs.ask(kAddressText, kAddressTitle, MsgIcon::Information, MsgButtons::Ok, this,
                  [this](MsgAnswer) {
                      m_complaining = false;
                      takeBackAddress();
                  });
}

bool frmnode::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != txtnodeaddr)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Another window coming to the front, or a pop-up, is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            QMetaObject::invokeMethod(this, &frmnode::txtnodeaddr_LostFocus, Qt::QueuedConnection);
    }
    return false;
}

void frmnode::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_loadError.isEmpty())
        return;
    // Told once, over the window: the list shows what could be read and
    // stays usable; Save writes a new node.txt. A notice: it comes from the
    // event queue, not from a command.
    QMetaObject::invokeMethod(
        this,
        [this, error = std::exchange(m_loadError, QString())] {
            m_dialogs.notify(error, QString(), MsgIcon::None, this);
        },
        Qt::QueuedConnection);
}

void frmnode::closeEvent(QCloseEvent *event)
{
    if (!m_directory->isModified()) {
        event->accept();
        return;
    }
    switch (m_dialogs.message(u"节点内容已被修改，保存吗？"_s, u"存盘提示"_s, MsgIcon::Question,
                              MsgButtons::YesNoCancel, this)) {
    case MsgAnswer::Yes:
        // A save that failed keeps the window open: the edits are still there.
        if (cmdsave_Click())
            event->accept();
        else
            event->ignore();
        return;
    case MsgAnswer::No:
        m_directory->discardChanges();
        event->accept();
        return;
    default:
        event->ignore();
        return;
    }
}

void frmnode::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
