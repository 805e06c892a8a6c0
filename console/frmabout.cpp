#include "console/frmabout.h"

#include "platform/dialogs.h"
#include "platform/programlauncher.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#ifndef QUELLON_VERSION
#define QUELLON_VERSION "0"
#endif

frmAbout::frmAbout(ProgramLauncher &launcher, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , m_launcher(launcher)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 QuellonQL-5300"));

    auto *lblTitle = new QLabel(QStringLiteral("QuellonQL-5300"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 8);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    auto *lblVersion = new QLabel(QStringLiteral("版本 ") + QStringLiteral(QUELLON_VERSION), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto *lblDescription
        = new QLabel(QStringLiteral("可寻址公共广播系统控制台：按星期或日期作息表定时播放节目，"
                                    "并通过串行口指挥分区控制器打开终端、功放和外设，"
                                    "支持手动与遥控操作、终端状态检查、矩阵控制和自动开关机。"),
                     this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);

    auto *cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto *cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblVersion);
    layout->addSpacing(8);
    layout->addWidget(lblDescription, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();
    resize(460, 240);
}

QStringList frmAbout::systemInfoPrograms()
{
    return {QStringLiteral("hardinfo"), QStringLiteral("gnome-system-monitor"),
            QStringLiteral("xfce4-taskmanager"), QStringLiteral("ksysguard")};
}

void frmAbout::cmdSysInfo_Click()
{
    if (m_launcher.startFirst(systemInfoPrograms()).isEmpty())
        m_dialogs.message(
            QStringLiteral("系统信息程序无法使用，请安装 hardinfo 或 gnome-system-monitor"),
            QStringLiteral("系统信息"), MsgIcon::Information, MsgButtons::Ok, this);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Escape closes the box as "确定" does; Enter presses the focused button.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
