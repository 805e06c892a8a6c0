#pragma once

#include <QWidget>

class Console;
class ControllerClock;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimeEdit;

// "系统设置": the operator's settings in four tabs, the controller's clock
// and power-on time, the serial line test and the device of each port.
// Nothing is stored until Apply or OK; each opening shows what is in memory.
class frmsetup final : public QWidget
{
    Q_OBJECT
public:
    explicit frmsetup(Console &console, QWidget *parent = nullptr);

    // The texts of the explanatory labels.
    static QString weekText();
    static QString dateText();
    static QString onOffText(bool ticked, bool atOpening);

    void cmdapp_Click(); // Apply
    void cmdok_Click(); // Apply, then close
    void cmd_set_time_Click();
    void cmdreadtime_Click();
    void cmdtest_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *buildLookTab();
    QWidget *buildModeTab();
    QWidget *buildPowerTab();
    QWidget *buildPortTab();
    void loadFromMemory();
    void chooseFile(QLineEdit *field, const QString &title, const QString &folder,
                    const QString &filter);
    void showModeLabels();
    void askPowerOnTime();
    void readPowerOnTime();

    Console &m_console;
    ControllerClock *m_controller;

    QTabWidget *SSTab1;
    // "界面设置"
    QLineEdit *txtuser;
    QLineEdit *txtpic;
    QPushButton *cmdchoose;
    QCheckBox *chkdisppic;
    QRadioButton *optlist;
    QRadioButton *optone;
    QRadioButton *optprog;
    QRadioButton *optplaylist;
    // "作息类型"
    QRadioButton *optweek;
    QRadioButton *optdate;
    QLineEdit *txtweekfile;
    QPushButton *cmdweek;
    QLineEdit *txtdatefile;
    QPushButton *cmddate;
    QLabel *lblweek;
    QLabel *lbldate;
    // "自动开关机设置"
    QCheckBox *chkopen;
    QLabel *lblonoff;
    QCheckBox *chk_auto_set_otime;
    QTimeEdit *dtpampopen;
    QTimeEdit *dtpampclose;
    QRadioButton *optopenchoice;
    QRadioButton *optopenall;
    QRadioButton *optnoopen;
    QTimeEdit *DTPRTC;
    QTimeEdit *DTP_AUTO_OPEN;
    QPushButton *cmd_set_time;
    QPushButton *cmdreadtime;
    // "串行口选择"
    QButtonGroup *m_ports;
    QRadioButton *optcom[5];
    QComboBox *cmbdevice[5];
    QLineEdit *txtsend;
    QLineEdit *txtreceive;
    QPushButton *cmdtest;

    QPushButton *cmdok;
    QPushButton *cmdapp;
    QPushButton *cmdCancel;
};
