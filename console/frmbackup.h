#pragma once

#include "console/databackup.h"

#include <QWidget>

class Clock;
class Dialogs;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// "备份数据…": every data file into one .tar.gz the operator names, the
// as-run log when ticked. The work runs in the background with a progress
// bar and can be stopped; the window stays usable meanwhile.
class frmbackup final : public QWidget
{
    Q_OBJECT
public:
    struct Services
    {
        Dialogs &dialogs;
        const Clock &clock;
        DataBackup::Places places;
    };
    explicit frmbackup(const Services &services, QWidget *parent = nullptr);

    void cmdbrowse_Click();
    void cmdbackup_Click();
    bool isWorking() const { return m_task->isRunning(); }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void finished(const QString &problem, bool stopped);
    void setWorking(bool working);

    Services m_s;
    BackupTask *m_task;
    QLineEdit *txtfile;
    QCheckBox *chklog;
    QProgressBar *prgwork;
    QLabel *lblstatus;
    QPushButton *cmdbrowse;
    QPushButton *cmdbackup;
    QPushButton *cmdstop;
    QPushButton *cmdclose;
};

// "恢复数据…": opens an archive, checks it and lists what it will replace;
// "恢复" moves the files there now into a backup folder of their own and
// puts the archive's in place. The console reads its files at start-up, so
// the operator is told to start it again.
class frmrestore final : public QWidget
{
    Q_OBJECT
public:
    explicit frmrestore(const frmbackup::Services &services, QWidget *parent = nullptr);

    void cmdbrowse_Click();
    // Reads and checks the archive (in the background) and lists its files.
    void openArchive(const QString &path);
    void cmdrestore_Click();
    bool isWorking() const { return m_task->isRunning(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setWorking(bool working);
    void showPlan(const DataBackup::Plan &plan);

    frmbackup::Services m_s;
    BackupTask *m_task;
    QString m_archive;
    bool m_planned = false;
    // A restore is running: the window stays until it has ended, so that its
    // result (and where the old files went) is not lost.
    bool m_restoring = false;
    QLineEdit *txtfile;
    QTreeWidget *lvwfiles;
    QProgressBar *prgwork;
    QLabel *lblstatus;
    QPushButton *cmdbrowse;
    QPushButton *cmdrestore;
    QPushButton *cmdstop;
    QPushButton *cmdcancel;
};
