#include "console/frmsetup.h"

#include "console/consolesettings.h"
#include "console/seasonpanel.h"
#include "platform/appfolder.h"
#include "platform/clock.h"
#include "platform/elidedtext.h"
#include "platform/timepicker.h"
#include "web/webpassword.h"
#include "zonelink/controllerclock.h"
#include "zonelink/serialdevices.h"
#include "zonelink/zonelink.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
template<class T> T *named(T *widget, const QString &name, bool accessible = false)
{
    widget->setObjectName(name);
    // Controls without a caption are found by accessibility tools by name.
    if (accessible)
        widget->setAccessibleName(name);
    return widget;
}

TimePicker *timePicker(QWidget *parent, const QString &name)
{
    return named(new TimePicker(parent), name, true);
}

// The caption of a field, named after it ("lbl_txtuser").
QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setObjectName(u"lbl_" + buddy->objectName());
    label->setBuddy(buddy);
    return label;
}
} // namespace

frmsetup::frmsetup(const Services &services, QWidget *parent)
    : QWidget(parent)
    , m_s(services)
    , m_controller(new ControllerClock(services.link, this))
{
    setObjectName(QStringLiteral("frmsetup"));
    setWindowTitle(QStringLiteral("系统设置"));

    SSTab1 = named(new QTabWidget(this), QStringLiteral("SSTab1"), true);
    SSTab1->addTab(buildLookTab(), QStringLiteral("界面设置"));
    SSTab1->addTab(buildModeTab(), QStringLiteral("作息类型"));
    SSTab1->addTab(buildPowerTab(), QStringLiteral("自动开关机设置"));
    SSTab1->addTab(buildPortTab(), QStringLiteral("串行口选择"));
    SSTab1->addTab(buildUpkeepTab(), QStringLiteral("运行维护"));
    SSTab1->addTab(buildEmergencyTab(), QStringLiteral("紧急广播"));

    cmdok = named(new QPushButton(QStringLiteral("确 定"), this), QStringLiteral("cmdok"));
    cmdapp = named(new QPushButton(QStringLiteral("应 用"), this), QStringLiteral("cmdapp"));
    cmdCancel = named(new QPushButton(QStringLiteral("取 消"), this), QStringLiteral("cmdCancel"));
    cmdok->setDefault(true);
    // A button with the focus takes Enter itself, as in a dialog: Enter on
    // "取 消" or "测 试" must not apply the settings instead.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(true);
    connect(cmdok, &QPushButton::clicked, this, &frmsetup::cmdok_Click);
    connect(cmdapp, &QPushButton::clicked, this, &frmsetup::cmdapp_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdok);
    buttons->addWidget(cmdapp);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(buttons);
    setMinimumSize(560, 460);

    loadFromMemory();
    SSTab1->setCurrentIndex(0);
}

QWidget *frmsetup::buildLookTab()
{
    auto *tab = new QWidget;
    txtuser = named(new QLineEdit(tab), QStringLiteral("txtuser"), true);
    // Paths: a long one shows its start and its file name, and whole as a tooltip.
    txtpic = named(new ElidedLineEdit(Qt::ElideMiddle, tab), QStringLiteral("txtpic"), true);
    cmdchoose = named(new QPushButton(QStringLiteral("修改..."), tab), QStringLiteral("cmdchoose"));
    chkdisppic = named(new QCheckBox(QStringLiteral("播放视频文件时显示视频"), tab),
                       QStringLiteral("chkdisppic"));

    auto *display = new QGroupBox(QStringLiteral("播放列表显示方式"), tab);
    display->setObjectName(QStringLiteral("fradisplay"));
    optlist = named(new QRadioButton(QStringLiteral("列表显示所有播放内容"), display),
                    QStringLiteral("optlist"));
    optone = named(new QRadioButton(QStringLiteral("显示待播曲目"), display),
                   QStringLiteral("optone"));
    auto *displayLayout = new QVBoxLayout(display);
    displayLayout->addWidget(optlist);
    displayLayout->addWidget(optone);

    auto *remote = new QGroupBox(QStringLiteral("遥控操作对象"), tab);
    remote->setObjectName(QStringLiteral("fraremote"));
    optprog
        = named(new QRadioButton(QStringLiteral("当天的编程"), remote), QStringLiteral("optprog"));
    optplaylist = named(new QRadioButton(QStringLiteral("预先设置的遥控播放列表"), remote),
                        QStringLiteral("optplaylist"));
    auto *remoteLayout = new QVBoxLayout(remote);
    remoteLayout->addWidget(optprog);
    remoteLayout->addWidget(optplaylist);

    auto *picture = new QHBoxLayout;
    picture->addWidget(txtpic, 1);
    picture->addWidget(cmdchoose);
    auto *form = new QFormLayout;
    form->addRow(buddyLabel(QStringLiteral("用户名称"), txtuser), txtuser);
    form->addRow(buddyLabel(QStringLiteral("背影图片"), txtpic), picture);
    auto *groups = new QHBoxLayout;
    groups->addWidget(display);
    groups->addWidget(remote);
    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(form);
    layout->addWidget(chkdisppic);
    layout->addLayout(groups);
    layout->addStretch();

    connect(cmdchoose, &QPushButton::clicked, this, [this] {
        chooseFile(txtpic, QStringLiteral("选择背景图片"),
                   m_s.folder.file(QStringLiteral("\\backimage")),
                   QStringLiteral("图片文件(*.bmp;*.jpg;*.png)|*.bmp;*.jpg;*.jpeg;*.png;*.gif"));
    });
    return tab;
}

QWidget *frmsetup::buildModeTab()
{
    auto *tab = new QWidget;
    optweek = named(new QRadioButton(QStringLiteral("按星期"), tab), QStringLiteral("optweek"));
    optdate = named(new QRadioButton(QStringLiteral("按日期工作"), tab), QStringLiteral("optdate"));
    txtweekfile
        = named(new ElidedLineEdit(Qt::ElideMiddle, tab), QStringLiteral("txtweekfile"), true);
    cmdweek = named(new QPushButton(QStringLiteral("选择..."), tab), QStringLiteral("cmdweek"));
    txtdatefile
        = named(new ElidedLineEdit(Qt::ElideMiddle, tab), QStringLiteral("txtdatefile"), true);
    cmddate = named(new QPushButton(QStringLiteral("选择..."), tab), QStringLiteral("cmddate"));
    lblweek = named(new QLabel(weekText(), tab), QStringLiteral("lblweek"));
    lbldate = named(new QLabel(dateText(), tab), QStringLiteral("lbldate"));
    for (QLabel *label : {lblweek, lbldate}) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    auto *mode = new QButtonGroup(tab);
    mode->addButton(optweek);
    mode->addButton(optdate);

    auto *grid = new QGridLayout;
    grid->addWidget(optweek, 0, 0);
    grid->addWidget(buddyLabel(QStringLiteral("默认文件："), txtweekfile), 0, 1);
    grid->addWidget(txtweekfile, 0, 2);
    grid->addWidget(cmdweek, 0, 3);
    grid->addWidget(optdate, 1, 0);
    grid->addWidget(buddyLabel(QStringLiteral("默认文件："), txtdatefile), 1, 1);
    grid->addWidget(txtdatefile, 1, 2);
    grid->addWidget(cmddate, 1, 3);
    grid->setColumnStretch(2, 1);
    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(grid);
    layout->addWidget(lblweek);
    layout->addWidget(lbldate);
    m_seasons = new SeasonPanel(m_s.dialogs, m_s.folder.file(QStringLiteral("\\table\\week")), tab);
    layout->addWidget(m_seasons, 1);

    connect(optweek, &QRadioButton::toggled, this, &frmsetup::showModeLabels);
    connect(cmdweek, &QPushButton::clicked, this, [this] {
        chooseFile(txtweekfile, QStringLiteral("选择星期播放文件"),
                   m_s.folder.file(QStringLiteral("\\table\\week")),
                   QStringLiteral("星期播放文件(*.txt)|*.txt"));
    });
    connect(cmddate, &QPushButton::clicked, this, [this] {
        chooseFile(txtdatefile, QStringLiteral("选择日期播放文件"),
                   m_s.folder.file(QStringLiteral("\\table\\date")),
                   QStringLiteral("日期播放文件(*.txt)|*.txt"));
    });
    return tab;
}

QWidget *frmsetup::buildPowerTab()
{
    auto *tab = new QWidget;
    chkopen = named(new QCheckBox(QStringLiteral("程序控制计算机自动开关机"), tab),
                    QStringLiteral("chkopen"));
    lblonoff = named(new QLabel(tab), QStringLiteral("lblonoff"));
    lblonoff->setWordWrap(true);
    chk_auto_set_otime = named(new QCheckBox(QStringLiteral("自动调整开机时间"), tab),
                               QStringLiteral("chk_auto_set_otime"));
    dtpampopen = timePicker(tab, QStringLiteral("dtpampopen"));
    dtpampclose = timePicker(tab, QStringLiteral("dtpampclose"));

    auto *manual = new QGroupBox(QStringLiteral("手动播放时分区选择"), tab);
    manual->setObjectName(QStringLiteral("framanual"));
    optopenchoice = named(new QRadioButton(QStringLiteral("选择打开"), manual),
                          QStringLiteral("optopenchoice"));
    optopenall = named(new QRadioButton(QStringLiteral("打开功放和分区控制"), manual),
                       QStringLiteral("optopenall"));
    optnoopen = named(new QRadioButton(QStringLiteral("不打开分区控制"), manual),
                      QStringLiteral("optnoopen"));
    auto *manualLayout = new QVBoxLayout(manual);
    manualLayout->addWidget(optopenchoice);
    manualLayout->addWidget(optopenall);
    manualLayout->addWidget(optnoopen);

    auto *controller = new QGroupBox(QStringLiteral("分区控制器时钟"), tab);
    controller->setObjectName(QStringLiteral("fracontroller"));
    DTPRTC = timePicker(controller, QStringLiteral("DTPRTC"));
    DTP_AUTO_OPEN = timePicker(controller, QStringLiteral("DTP_AUTO_OPEN"));
    cmd_set_time = named(new QPushButton(QStringLiteral("设 置"), controller),
                         QStringLiteral("cmd_set_time"));
    cmdreadtime = named(new QPushButton(QStringLiteral("读 取"), controller),
                        QStringLiteral("cmdreadtime"));
    auto *controllerLayout = new QGridLayout(controller);
    controllerLayout->addWidget(buddyLabel(QStringLiteral("控制主机时间"), DTPRTC), 0, 0);
    controllerLayout->addWidget(DTPRTC, 0, 1);
    controllerLayout->addWidget(cmd_set_time, 0, 2);
    controllerLayout->addWidget(buddyLabel(QStringLiteral("自动开机时间"), DTP_AUTO_OPEN), 1, 0);
    controllerLayout->addWidget(DTP_AUTO_OPEN, 1, 1);
    controllerLayout->addWidget(cmdreadtime, 1, 2);

    auto *amps = new QFormLayout;
    amps->addRow(buddyLabel(QStringLiteral("功放提前打开电源时间"), dtpampopen), dtpampopen);
    amps->addRow(buddyLabel(QStringLiteral("功放延时关闭电源时间"), dtpampclose), dtpampclose);
    auto *row = new QHBoxLayout;
    row->addLayout(amps);
    row->addWidget(manual);
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(chkopen);
    layout->addWidget(lblonoff);
    layout->addWidget(chk_auto_set_otime);
    layout->addLayout(row);
    layout->addWidget(controller);
    layout->addStretch();

    connect(chkopen, &QCheckBox::clicked, this,
            [this](bool ticked) { lblonoff->setText(onOffText(ticked, false)); });
    setTabOrder(DTPRTC, cmd_set_time);
    setTabOrder(cmd_set_time, DTP_AUTO_OPEN);
    setTabOrder(DTP_AUTO_OPEN, cmdreadtime);
    connect(cmd_set_time, &QPushButton::clicked, this, &frmsetup::cmd_set_time_Click);
    connect(cmdreadtime, &QPushButton::clicked, this, &frmsetup::cmdreadtime_Click);
    return tab;
}

QWidget *frmsetup::buildPortTab()
{
    auto *tab = new QWidget;
    auto *ports = new QGroupBox(QStringLiteral("串行口选择 "), tab);
    ports->setObjectName(QStringLiteral("fraports"));
    m_ports = new QButtonGroup(this);
    auto *portGrid = new QGridLayout(ports);
    const QStringList devices = serialDevicePaths();
    for (int n = 1; n <= 5; ++n) {
        const QString index = QString::number(n);
        optcom[n - 1] = named(new QRadioButton(QStringLiteral("COM%1(串行口%1)").arg(n), ports),
                              u"optcom" + index);
        // The device each port number opens on this machine; any path may be typed.
        cmbdevice[n - 1] = named(new QComboBox(ports), u"cmbdevice_" + index, true);
        cmbdevice[n - 1]->setEditable(true);
        cmbdevice[n - 1]->addItems(devices);
        m_ports->addButton(optcom[n - 1], n);
        portGrid->addWidget(optcom[n - 1], n - 1, 0);
        portGrid->addWidget(cmbdevice[n - 1], n - 1, 1);
    }
    portGrid->setColumnStretch(1, 1);
    auto *later = new QLabel(QStringLiteral("更改的串行口和设备在下次启动本程序时生效。"), ports);
    later->setObjectName(QStringLiteral("lblportlater"));
    portGrid->addWidget(later, 5, 0, 1, 2);

    auto *test = new QGroupBox(QStringLiteral("串行口测试"), tab);
    test->setObjectName(QStringLiteral("fratest"));
    txtsend = named(new QLineEdit(test), QStringLiteral("txtsend"), true);
    txtreceive = named(new QLineEdit(test), QStringLiteral("txtreceive"), true);
    txtreceive->setReadOnly(true);
    cmdtest = named(new QPushButton(QStringLiteral("测 试"), test), QStringLiteral("cmdtest"));
    auto *note = new QLabel(QStringLiteral("串行口测试需分区控制器配合！"), test);
    note->setObjectName(QStringLiteral("lbltestnote"));
    auto *explanation = new QLabel(
        QStringLiteral("    为测试串行口与控制器是否正常工作，请先在左边选择串行口，单击“应用”，"
                       "再输入需发送的内容，单击“测试”，如果收到了同样的数据，则说明工作正常,"
                       "否则请检查串行口连接与选择是否正确、控制器电源是否打开等。"),
        test);
    explanation->setObjectName(QStringLiteral("lblexplain"));
    explanation->setWordWrap(true);
    auto *explanationCaption = new QLabel(QStringLiteral("说明："), test);
    explanationCaption->setObjectName(QStringLiteral("lblexplaincaption"));
    auto *testGrid = new QGridLayout(test);
    testGrid->addWidget(buddyLabel(QStringLiteral("发送的数据："), txtsend), 0, 0);
    testGrid->addWidget(txtsend, 0, 1);
    testGrid->addWidget(cmdtest, 0, 2);
    testGrid->addWidget(buddyLabel(QStringLiteral("接到的数据："), txtreceive), 1, 0);
    testGrid->addWidget(txtreceive, 1, 1);
    testGrid->addWidget(note, 2, 0, 1, 3);
    testGrid->addWidget(explanationCaption, 3, 0, Qt::AlignTop);
    testGrid->addWidget(explanation, 3, 1, 1, 2);
    testGrid->setColumnStretch(1, 1);
    // Row by row: the test button stands beside the data it sends.
    setTabOrder(txtsend, cmdtest);
    setTabOrder(cmdtest, txtreceive);

    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(ports);
    layout->addWidget(test);
    layout->addStretch();

    connect(cmdtest, &QPushButton::clicked, this, &frmsetup::cmdtest_Click);
    return tab;
}

QWidget *frmsetup::buildUpkeepTab()
{
    auto *tab = new QWidget;
    spnkeepdays = named(new QSpinBox(tab), QStringLiteral("spnkeepdays"), true);
    // Ten years at most: a day file is small, but the disk is not endless.
    spnkeepdays->setRange(1, 3650);
    spnkeepdays->setSuffix(QStringLiteral(" 天"));
    chksupervise = named(new QCheckBox(QStringLiteral("运行时巡检终端状态"), tab),
                         QStringLiteral("chksupervise"));
    lblsupervise
        = named(new QLabel(QStringLiteral("    播放时在线路空闲的间隙逐个查询应当打开的终端，"
                                          "两次无应答即在状态栏报警。"),
                           tab),
                QStringLiteral("lblsupervise"));
    lblsupervise->setWordWrap(true);
    chkautostart = named(new QCheckBox(QStringLiteral("登录桌面时自动启动"), tab),
                         QStringLiteral("chkautostart"));
    // The office page: off unless the operator switches it on here.
    chkwebcontrol = named(new QCheckBox(QStringLiteral("网络控制（本机网页和接口）"), tab),
                          QStringLiteral("chkwebcontrol"));
    // Beyond this computer only with a password: the box is open only while
    // one is set (or about to be).
    chkwebnetwork = named(new QCheckBox(QStringLiteral("允许局域网访问"), tab),
                          QStringLiteral("chkwebnetwork"));
    txtwebpassword = named(new QLineEdit(tab), QStringLiteral("txtwebpassword"), true);
    txtwebpassword->setEchoMode(QLineEdit::Password);
    txtwebpassword->setMaxLength(WebPassword::MaxPasswordLength);
    txtwebpassword->setPlaceholderText(QStringLiteral("新密码"));
    cmdsetpassword
        = named(new QPushButton(QStringLiteral("设置密码"), tab), QStringLiteral("cmdsetpassword"));
    cmdclearpassword = named(new QPushButton(QStringLiteral("清除密码"), tab),
                             QStringLiteral("cmdclearpassword"));
    lblwebpassword = named(new QLabel(tab), QStringLiteral("lblwebpassword"));
    lblwebpassword->setWordWrap(true);

    auto *form = new QFormLayout;
    // A count of days needs no more room than its digits.
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(buddyLabel(QStringLiteral("运行日志保留天数"), spnkeepdays), spnkeepdays);
    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(form);
    layout->addWidget(chksupervise);
    layout->addWidget(lblsupervise);
    layout->addWidget(chkautostart);
    layout->addWidget(chkwebcontrol);
    auto *web = new QGridLayout;
    web->setContentsMargins(20, 0, 0, 0); // under 网络控制, as its details
    web->addWidget(chkwebnetwork, 0, 0, 1, 4);
    web->addWidget(buddyLabel(QStringLiteral("网页密码："), txtwebpassword), 1, 0);
    web->addWidget(txtwebpassword, 1, 1);
    web->addWidget(cmdsetpassword, 1, 2);
    web->addWidget(cmdclearpassword, 1, 3);
    web->addWidget(lblwebpassword, 2, 1, 1, 3);
    web->setColumnStretch(1, 1);
    layout->addLayout(web);
    layout->addStretch();
    setTabOrder(chkwebcontrol, chkwebnetwork);
    setTabOrder(chkwebnetwork, txtwebpassword);
    setTabOrder(txtwebpassword, cmdsetpassword);
    setTabOrder(cmdsetpassword, cmdclearpassword);

    connect(cmdsetpassword, &QPushButton::clicked, this, &frmsetup::cmdsetpassword_Click);
    connect(cmdclearpassword, &QPushButton::clicked, this, &frmsetup::cmdclearpassword_Click);
    connect(txtwebpassword, &QLineEdit::textChanged, this, &frmsetup::showWebPassword);
    return tab;
}

QString frmsetup::weekText()
{
    return QStringLiteral("  选择了按星期工作后，计算机将根据星期一至星期天的安排表循环广播。\n\n"
                          "   请注意设置好周一至周日的安排表!");
}

QString frmsetup::dateText()
{
    return QStringLiteral(
        "  选择了按日期工作后，计算机将根据当前日期选择相应的播放列表文件进行广播。\n\n"
        "   请注意创建日期播放列表文件，否则可能不会广播!");
}

QString frmsetup::onOffText(bool ticked, bool atOpening)
{
    if (ticked)
        return QStringLiteral("    一天的项目开始播放时，计算机提前5分钟自动开机;当天所有项目\n"
                              "播放完后，自动关机。自动开机功能要求分区控制器配合。");
    return atOpening ? QStringLiteral("  计算机始终工作。")
                     : QStringLiteral("    计算机始终工作。");
}

void frmsetup::showModeLabels()
{
    lblweek->setVisible(optweek->isChecked());
    lbldate->setVisible(!optweek->isChecked());
}

void frmsetup::loadFromMemory()
{
    const AppSettings &s = m_s.settings.values();
    txtpic->setText(s.BackImagePath);
    txtuser->setText(s.UserName);
    txtdatefile->setText(s.DateFilePath);
    txtweekfile->setText(s.WeekFilePath);
    (s.ShowWholeList ? optlist : optone)->setChecked(true);
    (s.RemoteScope ? optplaylist : optprog)->setChecked(true);
    (s.WeekMode ? optweek : optdate)->setChecked(true);
    showModeLabels();
    chkopen->setChecked(s.AutoShutdown);
    lblonoff->setText(onOffText(s.AutoShutdown, true));
    chk_auto_set_otime->setChecked(s.AutoSetPowerOnTime);
    dtpampopen->setTime(QTime::fromString(s.AmpOpenLead, QStringLiteral("HH:mm:ss")));
    dtpampclose->setTime(QTime::fromString(s.AmpCloseDelay, QStringLiteral("HH:mm:ss")));
    // The three options stand in one frame; the last true one is shown chosen,
    // as a frame can show only one.
    optnoopen->setChecked(s.AmpNoOpen);
    optopenall->setChecked(s.AmpOpenAll);
    optopenchoice->setChecked(s.AmpOpenChoice);
    // Only "com1".."com5" chooses a port; any other stored text chooses none
    // and is kept by Apply.
    const int port = ZoneLink::portNumberOf(s.ComPort, 0);
    m_ports->setExclusive(false);
    for (QRadioButton *option : optcom)
        option->setChecked(false);
    m_ports->setExclusive(true);
    if (port >= 1)
        optcom[port - 1]->setChecked(true);
    for (int n = 1; n <= 5; ++n)
        cmbdevice[n - 1]->setCurrentText(m_s.link.devicePathFor(n));
    spnkeepdays->setValue(s.AsRunKeepDays);
    chksupervise->setChecked(s.SuperviseTerminals);
    chkautostart->setChecked(s.StartAtLogin);
    chkwebcontrol->setChecked(s.WebControlEnabled);
    m_seasons->setRanges(s.Seasons);
    loadEmergency(s);
    m_webPasswordHash = s.WebPasswordHash;
    m_webPasswordChanged = false;
    m_hashing = false;
    ++m_webPasswordTurn;
    txtwebpassword->clear();
    chkwebnetwork->setChecked(s.WebNetworkAllowed && !s.WebPasswordHash.isEmpty());
    showWebPassword();
    chkdisppic->setChecked(
        m_s.settings.configIni()
            .getString(QStringLiteral("DisplayMode"), QStringLiteral("VCD"), QStringLiteral("0"), 2)
            .startsWith(u'1'));
    // The controller's times are known only once read or chosen; until then
    // "设 置" has nothing to send.
    DTPRTC->unset();
    DTP_AUTO_OPEN->unset();
}
