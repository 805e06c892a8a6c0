#include "console/appsettings.h"
#include "console/consolesettings.h"
#include "console/frmsetup.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QWidget *frmsetup::buildEmergencyTab()
{
    auto *tab = new QWidget;
    cmbemergencychannel = new QComboBox(tab);
    cmbemergencychannel->setObjectName(QStringLiteral("cmbemergencychannel"));
    cmbemergencychannel->setAccessibleName(QStringLiteral("紧急广播节目源"));
    // Made in reading order, which is the order Tab goes through them.
    optemergencyfile = new QRadioButton(QStringLiteral("循环播放文件"), tab);
    optemergencyfile->setObjectName(QStringLiteral("optemergencyfile"));
    txtemergencyfile = new QLineEdit(tab);
    txtemergencyfile->setObjectName(QStringLiteral("txtemergencyfile"));
    txtemergencyfile->setAccessibleName(QStringLiteral("紧急广播文件"));
    cmdemergencyfile = new QPushButton(QStringLiteral("选择..."), tab);
    cmdemergencyfile->setObjectName(QStringLiteral("cmdemergencyfile"));
    optemergencylinein = new QRadioButton(QStringLiteral("线路输入"), tab);
    optemergencylinein->setObjectName(QStringLiteral("optemergencylinein"));
    auto *sources = new QButtonGroup(tab);
    sources->addButton(optemergencyfile);
    sources->addButton(optemergencylinein);
    auto *note = new QLabel(QStringLiteral("    紧急广播时全部终端切换到所选节目源的频率，"
                                           "全部功放和设备打开，定时节目暂停；"
                                           "选择“线路输入”时不播放文件，"
                                           "由声卡的线路输入送出声音。"),
                            tab);
    note->setObjectName(QStringLiteral("lblemergency"));
    note->setWordWrap(true);
    connect(cmdemergencyfile, &QPushButton::clicked, this, [this] {
        chooseFile(txtemergencyfile, QStringLiteral("选择紧急广播文件"), QString(),
                   QStringLiteral("声音文件|*.mp3;*.wav;*.wma;*.ogg;*.flac|所有文件|*.*"));
    });
    // The file counts only while it is what plays.
    const auto follow = [this] {
        const bool file = optemergencyfile->isChecked();
        txtemergencyfile->setEnabled(file);
        cmdemergencyfile->setEnabled(file);
    };
    connect(optemergencyfile, &QRadioButton::toggled, this, follow);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(txtemergencyfile, 1);
    fileRow->addWidget(cmdemergencyfile);
    auto *source = new QGroupBox(QStringLiteral("声音来源"), tab);
    auto *sourceLayout = new QVBoxLayout(source);
    sourceLayout->addWidget(optemergencyfile);
    sourceLayout->addLayout(fileRow);
    sourceLayout->addWidget(optemergencylinein);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    auto *channelLabel = new QLabel(QStringLiteral("紧急广播节目源"), tab);
    channelLabel->setBuddy(cmbemergencychannel);
    form->addRow(channelLabel, cmbemergencychannel);
    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(form);
    layout->addWidget(source);
    layout->addWidget(note);
    layout->addStretch();
    return tab;
}

void frmsetup::loadEmergency(const AppSettings &s)
{
    // Each channel with its frequency, as the operator knows them.
    cmbemergencychannel->clear();
    for (int c = 1; c <= 8; ++c) {
        const int tenths = s.SourceFrequency[std::size_t(c)];
        QString text = QStringLiteral("第 %1 套").arg(c);
        if (tenths > 0)
            text += QStringLiteral("（%1 MHz）").arg(tenths / 10.0, 0, 'f', 1);
        cmbemergencychannel->addItem(text, c);
    }
    cmbemergencychannel->setCurrentIndex(std::clamp(s.EmergencyChannel, 1, 8) - 1);
    txtemergencyfile->setText(s.EmergencyFile);
    optemergencylinein->setChecked(s.EmergencyLineIn);
    optemergencyfile->setChecked(!s.EmergencyLineIn);
    txtemergencyfile->setEnabled(!s.EmergencyLineIn);
    cmdemergencyfile->setEnabled(!s.EmergencyLineIn);
}

void frmsetup::collectEmergency(AppSettings &s) const
{
    s.EmergencyChannel = cmbemergencychannel->currentData().toInt();
    s.EmergencyFile = txtemergencyfile->text();
    s.EmergencyLineIn = optemergencylinein->isChecked();
}
