#include "console/frmbackup.h"

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/enterpress.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

QPushButton *button(QWidget *parent, const QString &caption, const QString &name)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(true);
    pressOnEnter(b);
    return b;
}

// Sizes as the operator reads them: 字节 below a kilobyte, else KB or MB.
QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

} // namespace

frmrestore::frmrestore(const frmbackup::Services &services, QWidget *parent)
    : QWidget(parent)
    , m_s(services)
    , m_task(new BackupTask(this))
{
    setObjectName(QStringLiteral("frmrestore"));
    setWindowTitle(QStringLiteral("恢复数据"));

    auto *lblfile = new QLabel(QStringLiteral("备份文件(&F)："), this);
    lblfile->setObjectName(QStringLiteral("lblfile"));
    txtfile = new QLineEdit(this);
    txtfile->setObjectName(QStringLiteral("txtfile"));
    txtfile->setAccessibleName(QStringLiteral("txtfile"));
    txtfile->setReadOnly(true);
    lblfile->setBuddy(txtfile);
    cmdbrowse = button(this, QStringLiteral("打开(&O)…"), QStringLiteral("cmdbrowse"));
    auto *lbllist
        = new QLabel(QStringLiteral("恢复时这些文件将被替换、新增或移入备份(&L)："), this);
    lbllist->setObjectName(QStringLiteral("lbllist"));
    lvwfiles = new QTreeWidget(this);
    lvwfiles->setObjectName(QStringLiteral("lvwfiles"));
    lvwfiles->setAccessibleName(QStringLiteral("lvwfiles"));
    lvwfiles->setHeaderLabels(
        {QStringLiteral("文件"), QStringLiteral("大小"), QStringLiteral("恢复时")});
    lvwfiles->setRootIsDecorated(false);
    lvwfiles->setUniformRowHeights(true);
    lvwfiles->header()->setStretchLastSection(false);
    lvwfiles->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvwfiles->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lvwfiles->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    lbllist->setBuddy(lvwfiles);
    prgwork = new QProgressBar(this);
    prgwork->setObjectName(QStringLiteral("prgwork"));
    prgwork->setAccessibleName(QStringLiteral("prgwork"));
    prgwork->setFocusPolicy(Qt::NoFocus);
    prgwork->setRange(0, 1);
    prgwork->setValue(0);
    lblstatus = new QLabel(QStringLiteral("请打开一个备份文件。"), this);
    lblstatus->setObjectName(QStringLiteral("lblstatus"));
    lblstatus->setWordWrap(true);
    cmdrestore = button(this, QStringLiteral("恢复(&R)"), QStringLiteral("cmdrestore"));
    cmdstop = button(this, QStringLiteral("停止(&T)"), QStringLiteral("cmdstop"));
    cmdcancel = button(this, QStringLiteral("取消"), QStringLiteral("cmdcancel"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(lblfile);
    fileRow->addWidget(txtfile, 1);
    fileRow->addWidget(cmdbrowse);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdrestore);
    buttons->addWidget(cmdstop);
    buttons->addWidget(cmdcancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(lbllist);
    layout->addWidget(lvwfiles, 1);
    layout->addWidget(prgwork);
    layout->addWidget(lblstatus);
    layout->addLayout(buttons);
    setTabOrder(txtfile, cmdbrowse);
    setTabOrder(cmdbrowse, lvwfiles);
    setTabOrder(lvwfiles, cmdrestore);
    setTabOrder(cmdrestore, cmdstop);
    setTabOrder(cmdstop, cmdcancel);

    connect(cmdbrowse, &QPushButton::clicked, this, &frmrestore::cmdbrowse_Click);
    connect(cmdrestore, &QPushButton::clicked, this, &frmrestore::cmdrestore_Click);
    connect(cmdstop, &QPushButton::clicked, m_task, &BackupTask::stop);
    connect(cmdcancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_task, &BackupTask::progressed, this, [this](int done, int total) {
        prgwork->setRange(0, std::max(total, 0));
        prgwork->setValue(total > 0 ? done : 0);
    });
    setWorking(false);
    cmdbrowse->setFocus();
    resize(620, 420);
}

void frmrestore::cmdbrowse_Click()
{
    const QString chosen = m_s.dialogs.openFileName(
        QStringLiteral("打开备份文件"), QFileInfo(txtfile->text()).path(),
        QStringLiteral("备份文件 (*.tar.gz)|*.tar.gz;*.tgz|所有文件 (*.*)|*.*"), QString(), this);
    if (!chosen.isEmpty())
        openArchive(chosen);
}

void frmrestore::openArchive(const QString &path)
{
    if (m_task->isRunning())
        return;
    m_archive = path;
    m_planned = false;
    txtfile->setText(path);
    lvwfiles->clear();
    lblstatus->setText(QStringLiteral("正在检查备份文件…"));
    const DataBackup::Places places = m_s.places;
    const QDate today = m_s.clock.now().date();
    // The plan is made in the background and handed over whole when done.
    auto plan = std::make_shared<DataBackup::Plan>();
    disconnect(m_task, &BackupTask::finished, this, nullptr);
    connect(m_task, &BackupTask::finished, this, [this, plan](const QString &, bool stopped) {
        setWorking(false);
        if (stopped) {
            lblstatus->setText(QStringLiteral("检查已停止。"));
            return;
        }
        showPlan(*plan);
    });
    m_task->start([places, path, today, plan](DataBackup::Progress &progress) {
        *plan = DataBackup::inspect(places, path, today, progress);
        return plan->error;
    });
    setWorking(true);
}

void frmrestore::showPlan(const DataBackup::Plan &plan)
{
    lvwfiles->clear();
    if (!plan.error.isEmpty()) {
        prgwork->setRange(0, 1);
        prgwork->setValue(0);
        lblstatus->setText(plan.error);
        m_s.dialogs.notify(plan.error, QStringLiteral("恢复数据"), MsgIcon::Exclamation, this);
        setWorking(false);
        return;
    }
    int replaced = 0;
    int kept = 0;
    QList<QTreeWidgetItem *> items;
    for (const DataBackup::PlannedFile &f : plan.files) {
        const QString action = f.kept ? QStringLiteral("不恢复")
            : f.replaces              ? QStringLiteral("替换")
                                      : QStringLiteral("新增");
        items.append(new QTreeWidgetItem({f.name, sizeText(f.size), action}));
        items.last()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        replaced += f.replaces && !f.kept ? 1 : 0;
        kept += f.kept ? 1 : 0;
    }
    for (const QString &name : plan.removed)
        items.append(new QTreeWidgetItem({name, QString(), QStringLiteral("移入备份")}));
    prgwork->setRange(0, int(items.size()));
    prgwork->setValue(int(items.size()));
    lvwfiles->addTopLevelItems(items);
    if (!items.isEmpty())
        lvwfiles->setCurrentItem(items.first());
    QString text = QStringLiteral("备份中有 %1 个文件：替换 %2 个、新增 %3 个。")
                       .arg(plan.files.size())
                       .arg(replaced)
                       .arg(plan.files.size() - replaced - kept);
    if (kept > 0)
        text += QStringLiteral("今天的运行日志正在记录，保留现有的，不恢复。");
    if (!plan.removed.isEmpty())
        text += QStringLiteral("另有 %1 个现有文件不在备份中，将移走。").arg(plan.removed.size());
    text += QStringLiteral("恢复前，现有的数据文件%1都会移入 backup 文件夹保存。")
                .arg(plan.holdsLog ? QStringLiteral("和运行日志") : QString());
    lblstatus->setText(text);
    m_planned = true;
    setWorking(false);
    cmdrestore->setFocus();
}

void frmrestore::cmdrestore_Click()
{
    if (!m_planned || m_task->isRunning())
        return;
    const DataBackup::Places places = m_s.places;
    const QString archive = m_archive;
    const QDateTime now = m_s.clock.now();
    auto result = std::make_shared<DataBackup::Result>();
    disconnect(m_task, &BackupTask::finished, this, nullptr);
    connect(m_task, &BackupTask::finished, this, [this, result](const QString &, bool stopped) {
        m_planned = false;
        m_restoring = false;
        setWorking(false);
        if (!result->error.isEmpty()) {
            lblstatus->setText(stopped ? QStringLiteral("恢复已停止，数据文件没有改变。")
                                       : result->error);
            if (!stopped)
                m_s.dialogs.notify(result->error + QStringLiteral("\n数据文件没有改变。"),
                                   QStringLiteral("恢复数据"), MsgIcon::Error, this);
            return;
        }
        // The console reads its files and settings at start-up; what it
        // holds in memory now would be written back over the restored ones.
        QString text = QStringLiteral("数据已恢复。");
        if (!result->backupFolder.isEmpty())
            text += QStringLiteral("原来的文件保存在 %1。").arg(result->backupFolder);
        text
            += QStringLiteral("\n请立即退出并重新启动控制台，恢复的节目表和设置在重新启动后生效。");
        lblstatus->setText(text);
        m_s.dialogs.notify(text, QStringLiteral("恢复数据"), MsgIcon::Information, this);
    });
    lblstatus->setText(QStringLiteral("正在恢复…"));
    m_task->start([places, archive, now, result](DataBackup::Progress &progress) {
        *result = DataBackup::restore(places, archive, now, progress);
        return result->error;
    });
    m_restoring = true;
    setWorking(true);
}

void frmrestore::setWorking(bool working)
{
    cmdbrowse->setEnabled(!working);
    cmdrestore->setEnabled(!working && m_planned);
    cmdstop->setEnabled(working);
    cmdcancel->setEnabled(!m_restoring);
    if (working)
        cmdstop->setFocus();
}

void frmrestore::closeEvent(QCloseEvent *event)
{
    // Once the files begin to move the work cannot stop halfway; the window
    // waits for its end (停止 still ends the unpacking before that).
    if (m_restoring) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmrestore::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_restoring)
            event->accept();
        else if (m_task->isRunning())
            m_task->stop();
        else
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}
