#pragma once

#include <QIcon>
#include <QWidget>

class AppFolder;
class Dialogs;
class ZoneLink;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QTreeWidget;
class StatusPoll;

// "终端状态检查报告": asks the terminals whether they are on, at which
// frequency and volume, and switches one off. The queries and the rows live
// in StatusPoll; the window shows them and passes the operator's commands on.
class frmnodestatus final : public QWidget
{
    Q_OBJECT
public:
    frmnodestatus(ZoneLink &link, Dialogs &dialogs, const AppFolder &folder,
                  QWidget *parent = nullptr);
    ~frmnodestatus() override;

    StatusPoll &poll() { return *m_poll; }

    void cmdrefresh_sel_Click();
    // "全部刷新", or "停止" while it runs.
    void cmdrefreshall_Click();
    void mnu_sclose_Click();
    void lvwstatus_ColumnClick(int column);

    static QString portClosedText();
    // The ZoneClose of the terminal did not go out, the port still open.
    static QString closeNotSentText(const QString &terminal);
    // The row icons, drawn here: a speaker with sound for "开", a silent one
    // for "关".
    static QIcon openIcon();
    static QIcon closeIcon();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void fillRows();
    void showRow(int position);
    int selectedPosition() const;
    void fitColumns();
    void onBusyChanged(bool busy, bool portLost);
    void showPortClosed();
    void notifyPortLost();
    void notifyCloseNotSent(int position);

    ZoneLink &m_link;
    Dialogs &m_dialogs;
    StatusPoll *m_poll;
    QIcon m_openIcon;
    QIcon m_closeIcon;

    QTreeWidget *lvwstatus = nullptr;
    QProgressBar *pgbnode = nullptr;
    QSlider *sldsendwait = nullptr;
    QSlider *sldwait = nullptr;
    QLabel *lblsendwaitms = nullptr;
    QLabel *lblwaitms = nullptr;
    QPushButton *cmdrefresh_sel = nullptr;
    QPushButton *cmdrefreshall = nullptr;
    QPushButton *cmdexit = nullptr;
    QMenu *mnurefreshmain = nullptr;
    QAction *mnurefresh = nullptr;
    QAction *mnu_sclose = nullptr;
};
