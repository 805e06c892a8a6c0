#include "console/frmbackup.h"

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/enterpress.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char16_t kArchiveFilter[] = u"备份文件 (*.tar.gz)|*.tar.gz;*.tgz|所有文件 (*.*)|*.*";

QPushButton *button(QWidget *parent, const QString &caption, const QString &name)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(true);
    pressOnEnter(b);
    return b;
}

QLineEdit *fileField(QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QStringLiteral("txtfile"));
    field->setAccessibleName(QStringLiteral("txtfile"));
    field->setMinimumWidth(360);
    return field;
}

QProgressBar *progressBar(QWidget *parent)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QStringLiteral("prgwork"));
    bar->setAccessibleName(QStringLiteral("prgwork"));
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setRange(0, 1);
    bar->setValue(0);
    return bar;
}

// A count of files, or of files out of a total when it is known.
void showCount(QProgressBar *bar, int done, int total)
{
    bar->setRange(0, std::max(total, 0));
    bar->setValue(total > 0 ? done : 0);
    bar->setFormat(total > 0 ? QStringLiteral("%v / %m") : QStringLiteral("%1").arg(done));
}

} // namespace

frmbackup::frmbackup(const Services &services, QWidget *parent)
    : QWidget(parent)
    , m_s(services)
    , m_task(new BackupTask(this))
{
    setObjectName(QStringLiteral("frmbackup"));
    setWindowTitle(QStringLiteral("备份数据"));

    auto *lblinfo = new QLabel(QStringLiteral("把节目表、节点、设备名称、遥控列表、播放列表、"
                                              "config.ini 和用户设置打包成一个备份文件。"
                                              "曲目和图片不在其中。"),
                               this);
    lblinfo->setObjectName(QStringLiteral("lblinfo"));
    lblinfo->setWordWrap(true);
    auto *lblfile = new QLabel(QStringLiteral("备份文件(&F)："), this);
    lblfile->setObjectName(QStringLiteral("lblfile"));
    txtfile = fileField(this);
    lblfile->setBuddy(txtfile);
    txtfile->setText(QDir::homePath() + u'/'
                     + QStringLiteral("广播数据备份-%1.tar.gz")
                           .arg(m_s.clock.now().toString(QStringLiteral("yyyyMMdd-HHmm"))));
    cmdbrowse = button(this, QStringLiteral("浏览(&B)…"), QStringLiteral("cmdbrowse"));
    chklog = new QCheckBox(QStringLiteral("包括运行日志(&L)"), this);
    chklog->setObjectName(QStringLiteral("chklog"));
    prgwork = progressBar(this);
    lblstatus = new QLabel(this);
    lblstatus->setObjectName(QStringLiteral("lblstatus"));
    lblstatus->setWordWrap(true);
    cmdbackup = button(this, QStringLiteral("备份(&S)"), QStringLiteral("cmdbackup"));
    cmdbackup->setDefault(true);
    cmdstop = button(this, QStringLiteral("停止(&T)"), QStringLiteral("cmdstop"));
    cmdclose = button(this, QStringLiteral("关闭"), QStringLiteral("cmdclose"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(lblfile);
    fileRow->addWidget(txtfile, 1);
    fileRow->addWidget(cmdbrowse);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdbackup);
    buttons->addWidget(cmdstop);
    buttons->addWidget(cmdclose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblinfo);
    layout->addLayout(fileRow);
    layout->addWidget(chklog);
    layout->addWidget(prgwork);
    layout->addWidget(lblstatus);
    layout->addStretch();
    layout->addLayout(buttons);
    setTabOrder(txtfile, cmdbrowse);
    setTabOrder(cmdbrowse, chklog);
    setTabOrder(chklog, cmdbackup);
    setTabOrder(cmdbackup, cmdstop);
    setTabOrder(cmdstop, cmdclose);

    connect(cmdbrowse, &QPushButton::clicked, this, &frmbackup::cmdbrowse_Click);
    connect(cmdbackup, &QPushButton::clicked, this, &frmbackup::cmdbackup_Click);
    connect(cmdstop, &QPushButton::clicked, m_task, &BackupTask::stop);
    connect(cmdclose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_task, &BackupTask::progressed, this,
            [this](int done, int total) { showCount(prgwork, done, total); });
    connect(m_task, &BackupTask::finished, this, &frmbackup::finished);
    setWorking(false);
    cmdbackup->setFocus();
    resize(560, 240);
}

void frmbackup::cmdbrowse_Click()
{
    const QString chosen = m_s.dialogs.saveFileName(
        QStringLiteral("备份到"), QFileInfo(txtfile->text()).path(),
        QString::fromUtf16(kArchiveFilter), QFileInfo(txtfile->text()).fileName(), this);
    if (!chosen.isEmpty())
        txtfile->setText(chosen.endsWith(QStringLiteral(".tar.gz")) || chosen.endsWith(u".tgz")
                             ? chosen
                             : chosen + QStringLiteral(".tar.gz"));
}

void frmbackup::cmdbackup_Click()
{
    const QString archive = txtfile->text().trimmed();
    if (archive.isEmpty()) {
        m_s.dialogs.message(QStringLiteral("请先给出备份文件的名称"), QStringLiteral("备份数据"),
                            MsgIcon::Exclamation, MsgButtons::Ok, this);
        txtfile->setFocus();
        return;
    }
    // The archive must not land among the files it holds.
    if (QFileInfo(archive).absolutePath().startsWith(QDir(m_s.places.dataFolder).absolutePath()
                                                     + QStringLiteral("/table"))) {
        m_s.dialogs.message(QStringLiteral("请把备份文件存放在节目表文件夹之外"),
                            QStringLiteral("备份数据"), MsgIcon::Exclamation, MsgButtons::Ok, this);
        return;
    }
    const DataBackup::Places places = m_s.places;
    const bool withLog = chklog->isChecked();
    lblstatus->setText(QStringLiteral("正在备份…"));
    showCount(prgwork, 0, 0);
    m_task->start([places, archive, withLog](DataBackup::Progress &progress) {
        return DataBackup::writeBackup(places, archive, withLog, progress);
    });
    setWorking(true);
}

void frmbackup::finished(const QString &problem, bool stopped)
{
    setWorking(false);
    if (stopped) {
        lblstatus->setText(QStringLiteral("备份已停止，没有写入备份文件。"));
        return;
    }
    if (!problem.isEmpty()) {
        lblstatus->setText(problem);
        m_s.dialogs.notify(problem, QStringLiteral("备份数据"), MsgIcon::Error, this);
        return;
    }
    lblstatus->setText(QStringLiteral("已备份到 %1").arg(txtfile->text().trimmed()));
}

void frmbackup::setWorking(bool working)
{
    txtfile->setEnabled(!working);
    cmdbrowse->setEnabled(!working);
    chklog->setEnabled(!working);
    cmdbackup->setEnabled(!working);
    cmdstop->setEnabled(working);
    (working ? cmdstop : cmdbackup)->setFocus();
}

void frmbackup::keyPressEvent(QKeyEvent *event)
{
    // Escape stops the work under way first, then closes.
    if (event->key() == Qt::Key_Escape) {
        if (m_task->isRunning())
            m_task->stop();
        else
            close();
        return;
    }
    // Enter in the file field or on the check box makes the backup, as the
    // default button does in any dialog; a focused button takes Enter itself.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && cmdbackup->isEnabled()) {
        cmdbackup->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
