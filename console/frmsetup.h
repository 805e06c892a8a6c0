#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class AppFolder;
class ConsoleSettings;
class ControllerClock;
class Dialogs;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class SeasonPanel;
class TimePicker;
class ZoneLink;
struct AppSettings;

// "系统设置": the operator's settings in five tabs, the controller's clock
// and power-on time, the serial line test and the device of each port.
// Nothing is stored until Apply or OK; each opening shows what is in memory.
class frmsetup final : public QWidget
{
    Q_OBJECT
public:
    // What the dialog works with.
    struct Services
    {
        Dialogs &dialogs;
        const AppFolder &folder; // where the file choices open
        ZoneLink &link; // the controller's clock, the line test, the ports' devices
        const ConsoleSettings &settings; // what is in memory, shown at each opening
        // Apply: saves the values and has them taken up by the running
        // console; returns what could not be written.
        std::function<QStringList(const AppSettings &)> applySettings;
    };

    explicit frmsetup(const Services &services, QWidget *parent = nullptr);

    // The texts of the explanatory labels.
    static QString weekText();
    static QString dateText();
    static QString onOffText(bool ticked, bool atOpening);

    bool cmdapp_Click(); // Apply; false when a field keeps it from applying
    void cmdok_Click(); // Apply, then close
    void cmd_set_time_Click();
    void cmdreadtime_Click();
    void cmdtest_Click();
    // "设置密码": hashes the typed password on a worker thread; Apply stores
    // the hash. "清除密码": Apply stores none, and the local network is off.
    void cmdsetpassword_Click();
    void cmdclearpassword_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The password row as it stands: what is set, what Apply will store.
    void showWebPassword();
    QWidget *buildLookTab();
    QWidget *buildModeTab();
    QWidget *buildPowerTab();
    QWidget *buildPortTab();
    QWidget *buildUpkeepTab();
    QWidget *buildEmergencyTab();
    void loadEmergency(const AppSettings &s);
    void collectEmergency(AppSettings &s) const;
    void loadFromMemory();
    void chooseFile(QLineEdit *field, const QString &title, const QString &folder,
                    const QString &filter);
    void showModeLabels();
    // "设 置" sends only the times that were read or chosen: tells which are
    // not; false when neither is.
    bool tellUnknownTimes();
    void askPowerOnTime();
    void readPowerOnTime();

    Services m_s;
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
    TimePicker *dtpampopen;
    TimePicker *dtpampclose;
    QRadioButton *optopenchoice;
    QRadioButton *optopenall;
    QRadioButton *optnoopen;
    TimePicker *DTPRTC;
    TimePicker *DTP_AUTO_OPEN;
    QPushButton *cmd_set_time;
    QPushButton *cmdreadtime;
    // "串行口选择"
    QButtonGroup *m_ports;
    QRadioButton *optcom[5];
    QComboBox *cmbdevice[5];
    QLineEdit *txtsend;
    QLineEdit *txtreceive;
    QPushButton *cmdtest;
    // "运行维护"
    QSpinBox *spnkeepdays;
    QCheckBox *chksupervise;
    QLabel *lblsupervise;
    QCheckBox *chkautostart;
    QCheckBox *chkwebcontrol;
    SeasonPanel *m_seasons;
    QCheckBox *chkwebnetwork;
    QLineEdit *txtwebpassword;
    QPushButton *cmdsetpassword;
    QPushButton *cmdclearpassword;
    QLabel *lblwebpassword;
    // "紧急广播"
    QComboBox *cmbemergencychannel;
    QLineEdit *txtemergencyfile;
    QPushButton *cmdemergencyfile;
    QRadioButton *optemergencyfile;
    QRadioButton *optemergencylinein;
    // The web password's hash Apply stores: the stored one until a new one
    // is set or it is cleared. The password itself is never kept.
    QString m_webPasswordHash;
    bool m_hashing = false; // a new password is being hashed
    bool m_webPasswordChanged = false; // since the dialog showed the stored one
    int m_webPasswordTurn = 0; // counts the openings: a late hash is for its own

    QPushButton *cmdok;
    QPushButton *cmdapp;
    QPushButton *cmdCancel;
};
