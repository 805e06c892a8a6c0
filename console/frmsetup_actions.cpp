// What the settings dialog does: Apply, the file choices, the controller's
// clock and power-on time, and the serial line test.

#include "console/frmsetup.h"

#include "console/consolesettings.h"
#include "console/seasonpanel.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "platform/timepicker.h"
#include "web/webpassword.h"
#include "zonelink/controllerclock.h"
#include "zonelink/zonelink.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFuture>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {
QString hhmmss(const TimePicker *picker)
{
    return picker->time().toString(QStringLiteral("HH:mm:ss"));
}
} // namespace

void frmsetup::chooseFile(QLineEdit *field, const QString &title, const QString &folder,
                          const QString &filter)
{
    const QString path = m_s.dialogs.openFileName(title, folder, filter, QString(), this);
    if (!path.isEmpty())
        field->setText(path);
}

bool frmsetup::cmdapp_Click()
{
    // A range that cannot be used changes nothing: the operator mends it.
    if (const QString problem = m_seasons->problem(); !problem.isEmpty()) {
        m_s.dialogs.message(problem, QStringLiteral("系统设置"), MsgIcon::Exclamation,
                            MsgButtons::Ok, this);
        return false;
    }
    AppSettings s = m_s.settings.values();
    s.BackImagePath = txtpic->text();
    s.UserName = txtuser->text();
    s.ShowWholeList = optlist->isChecked();
    s.RemoteScope = optplaylist->isChecked();
    s.WeekMode = optweek->isChecked();
    s.WeekFilePath = txtweekfile->text();
    s.DateFilePath = txtdatefile->text();
    s.AutoShutdown = chkopen->isChecked();
    s.AutoSetPowerOnTime = chk_auto_set_otime->isChecked();
    s.AmpOpenLead = hhmmss(dtpampopen);
    s.AmpCloseDelay = hhmmss(dtpampclose);
    s.AmpNoOpen = optnoopen->isChecked();
    s.AmpOpenAll = optopenall->isChecked();
    s.AmpOpenChoice = optopenchoice->isChecked();
    if (const int port = m_ports->checkedId(); port >= 1)
        s.ComPort = QStringLiteral("com%1").arg(port);
    s.ShowVideo = chkdisppic->isChecked();
    s.AsRunKeepDays = spnkeepdays->value();
    s.SuperviseTerminals = chksupervise->isChecked();
    s.StartAtLogin = chkautostart->isChecked();
    s.WebControlEnabled = chkwebcontrol->isChecked();
    s.Seasons = m_seasons->ranges();
    collectEmergency(s);
    s.WebPasswordHash = m_webPasswordHash;
    s.WebNetworkAllowed = chkwebnetwork->isChecked() && !m_webPasswordHash.isEmpty();

    // The device of each port number; the port in use changes at the next start.
    for (int n = 1; n <= 5; ++n)
        m_s.link.setDevicePathFor(n, cmbdevice[n - 1]->currentText());
    // Saves, shows at once in the main window and reloads today at the next tick.
    const QStringList failures = m_s.applySettings(s);
    m_webPasswordChanged = false;
    showWebPassword();
    if (!failures.isEmpty())
        m_s.dialogs.message(QStringLiteral("设置未能全部保存：\n") + failures.join(u'\n'),
                            QStringLiteral("系统设置"), MsgIcon::Error, MsgButtons::Ok, this);
    return true;
}

void frmsetup::cmdok_Click()
{
    if (cmdapp_Click())
        close();
}

void frmsetup::cmd_set_time_Click()
{
    if (!tellUnknownTimes())
        return;
    if (DTPRTC->isSet()) {
        if (m_s.dialogs.message(
                QStringLiteral("确定要改变系统时钟为  ") + hhmmss(DTPRTC) + QStringLiteral("  吗?"),
                QStringLiteral("请确认改变"), MsgIcon::Question, MsgButtons::YesNo, this)
            == MsgAnswer::Yes)
            m_controller->setClock(DTPRTC->time());
    }
    if (!DTP_AUTO_OPEN->isSet())
        return;
    // The second question follows after a short pause, whatever the answer;
    // the dialog waits for it.
    setEnabled(false);
    ZoneLink::WaitMs(50, this, [this] {
        setEnabled(true);
        askPowerOnTime();
    });
}

bool frmsetup::tellUnknownTimes()
{
    // A picker that was neither read from the controller nor chosen shows no
    // time: sending one would set the controller to a time nobody saw.
    QStringList unknown;
    if (!DTPRTC->isSet())
        unknown << QStringLiteral("控制主机时间");
    if (!DTP_AUTO_OPEN->isSet())
        unknown << QStringLiteral("自动开机时间");
    if (unknown.isEmpty())
        return true;
    m_s.dialogs.message(unknown.join(QStringLiteral("和"))
                            + QStringLiteral("还没有读取，也没有选择，不能发送。\n"
                                             "请先单击“读 取”从控制器读取，或在时间框中选择时间。"),
                        QStringLiteral("设置时间"), MsgIcon::Exclamation, MsgButtons::Ok, this);
    return unknown.size() < 2;
}

void frmsetup::askPowerOnTime()
{
    // Raised by the pause's timer, so asked without waiting: the ticks and
    // the link go on while it is on screen. The time set is the one asked about.
    const QTime time = DTP_AUTO_OPEN->time();
    m_s.dialogs.ask(QStringLiteral("确定要改变自动开机时间为  ") + hhmmss(DTP_AUTO_OPEN)
                        + QStringLiteral("  吗?"),
                    QStringLiteral("请确认改变"), MsgIcon::Question, MsgButtons::YesNo, this,
                    [this, time](MsgAnswer answer) {
                        if (answer == MsgAnswer::Yes)
                            m_controller->setPowerOnTime(time);
                    });
}

void frmsetup::cmdreadtime_Click()
{
    // The answers arrive from the link: they are shown as notices, and the
    // second query goes out as soon as the first is answered.
    cmdreadtime->setEnabled(false);
    m_controller->readClock(this, [this](const ControllerClock::Reading &r) {
        if (r.kind == ControllerClock::Reading::Kind::Time)
            DTPRTC->setKnownTime(r.time);
        else
            m_s.dialogs.notify(QStringLiteral("没有读取到主机的时间。"), QString(),
                               MsgIcon::Information, this);
        readPowerOnTime();
    });
}

void frmsetup::readPowerOnTime()
{
    m_controller->readPowerOnTime(this, [this](const ControllerClock::Reading &r) {
        using Kind = ControllerClock::Reading::Kind;
        if (r.kind == Kind::NotSet)
            m_s.dialogs.notify(QStringLiteral("未设置自动开机时间。"), QString(),
                               MsgIcon::Information, this);
        else if (r.kind == Kind::Time)
            DTP_AUTO_OPEN->setKnownTime(r.time);
        else
            m_s.dialogs.notify(QStringLiteral("没有读取到自动开机时间。"), QString(),
                               MsgIcon::Information, this);
        cmdreadtime->setEnabled(true);
    });
}

void frmsetup::cmdtest_Click()
{
    txtreceive->clear();
    cmdtest->setEnabled(false);
    // The text goes out as typed; what comes back is shown, and the line
    // returns to its usual work afterwards.
    m_controller->testLine(toGbk(txtsend->text()), this, [this](const QByteArray &echo) {
        txtreceive->setText(fromGbk(echo));
        cmdtest->setEnabled(true);
    });
}

void frmsetup::keyPressEvent(QKeyEvent *event)
{
    // Escape is Cancel: nothing is stored. Enter in a field is OK; a button
    // with the focus takes Enter itself. Enter in the line test's field sends
    // the text, as "测 试" does, and the dialog stays open: the operator
    // typed it to send it, not to apply the settings.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == txtsend) {
            if (cmdtest->isEnabled())
                cmdtest_Click();
            return;
        }
        cmdok_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmsetup::cmdsetpassword_Click()
{
    const QString password = txtwebpassword->text();
    if (password.isEmpty() || m_hashing)
        return;
    // The field is emptied at once: the password stays nowhere but in the
    // worker computing its hash.
    txtwebpassword->clear();
    m_hashing = true;
    showWebPassword();
    WebPassword::hashInBackground(password).then(
        this, [this, turn = m_webPasswordTurn](const QString &hash) {
            // The dialog was opened again meanwhile: it shows the stored one.
            if (turn != m_webPasswordTurn)
                return;
            m_hashing = false;
            if (!hash.isEmpty())
                m_webPasswordHash = hash;
            m_webPasswordChanged = !hash.isEmpty();
            showWebPassword();
        });
}

void frmsetup::cmdclearpassword_Click()
{
    m_webPasswordChanged = !m_webPasswordHash.isEmpty();
    m_webPasswordHash.clear();
    chkwebnetwork->setChecked(false);
    showWebPassword();
}

void frmsetup::showWebPassword()
{
    const bool set = !m_webPasswordHash.isEmpty();
    chkwebnetwork->setEnabled(set && !m_hashing);
    cmdsetpassword->setEnabled(!m_hashing && !txtwebpassword->text().isEmpty());
    cmdclearpassword->setEnabled(set && !m_hashing);
    // Apply waits for the hash: it would store the password before it.
    cmdok->setEnabled(!m_hashing);
    cmdapp->setEnabled(!m_hashing);
    QString text;
    if (m_hashing)
        text = QStringLiteral("正在处理密码……");
    else if (m_webPasswordChanged)
        text = set ? QStringLiteral("新密码将在“应用”或“确定”后生效，已登录的网页需重新登录。")
                   : QStringLiteral("密码将在“应用”或“确定”后清除，网页只能在本机打开。");
    else
        text = set ? QStringLiteral("已设置密码。")
                   : QStringLiteral("未设置密码：网页只能在本机打开，无需密码。");
    lblwebpassword->setText(text);
}
