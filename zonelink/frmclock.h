#pragma once

#include <QWidget>

class Console;
class ControllerClock;
class QCheckBox;
class QDateTimeEdit;
class QPushButton;
class QTimer;

// "调整系统时间": sets the PC's date and time and the controller's clock together.
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
    ControllerClock *m_clock;
    QDateTimeEdit *DTPicker1;
    QCheckBox *chkadjtime;
    QPushButton *cmdok;
    QPushButton *cmdquit;
    QTimer *tmrclock;
};
