#pragma once

#include <QWidget>

class Clock;
class Dialogs;
class Power;
class QCheckBox;
class QDateTimeEdit;
class QPushButton;
class QTimer;
class SavedFiles;
class ZoneLink;

// "调整系统时间": sets the PC's date and time and, once the system took them,
// the controller's clock.
class frmclock final : public QWidget
{
    Q_OBJECT
public:
    // What the window works with.
    struct Services
    {
        const Clock &clock; // the time the picker starts from
        Power &power; // sets the PC's date and time
        Dialogs &dialogs;
        ZoneLink &link; // the controller's clock follows the PC's
        SavedFiles &saved; // where the new system time is announced
    };

    explicit frmclock(const Services &services, QWidget *parent = nullptr);

    void chkadjtime_Click();
    void cmdok_Click();
    void tmrclock_Timer();

    static QString refusedText();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Services m_s;
    bool m_waiting = false; // for the system's answer to "确 定"
    QDateTimeEdit *DTPicker1;
    QCheckBox *chkadjtime;
    QPushButton *cmdok;
    QPushButton *cmdquit;
    QTimer *tmrclock;
};
