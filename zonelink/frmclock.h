#pragma once

#include <QWidget>

class Console;
class QCheckBox;
class QDateTimeEdit;
class QPushButton;
class QTimer;

// "调整系统时间": sets the PC's date and time and, once the system took them,
// the controller's clock.
class frmclock final : public QWidget
{
    Q_OBJECT
public:
    explicit frmclock(Console &console, QWidget *parent = nullptr);

    void chkadjtime_Click();
    void cmdok_Click();
    void tmrclock_Timer();

    static QString refusedText();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Console &m_console;
    bool m_waiting = false; // for the system's answer to "确 定"
    QDateTimeEdit *DTPicker1;
    QCheckBox *chkadjtime;
    QPushButton *cmdok;
    QPushButton *cmdquit;
    QTimer *tmrclock;
};
