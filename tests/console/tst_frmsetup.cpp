// The settings dialog on the running console: what it shows, what Apply
// stores and shows at once, what Cancel leaves alone, the controller's clock
// buttons on a recording port, and the port devices.

#include "console/frmback.h"
#include "console/frmsetup.h"
#include "console/programmemodel.h"
#include "consolerig.h"
#include "platform/asrunlog.h"
#include "platform/userstore.h"
#include "support/consolewindows.h"
#include "support/filewrites.h"
#include "support/gbkfiles.h"
#include "web/webpassword.h"
#include "zonelink/controllerclock.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/serialdevices.h"
#include "zonelink/zonelink.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTreeView>

#include <algorithm>

using namespace Qt::StringLiterals;

class tst_frmsetup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void opensWithTheValuesInMemory();
    void explanatoryLabels();
    void applyStoresTheFifteenKeys();
    void applyWritesTheStoreOnce_data();
    void applyWritesTheStoreOnce();
    void cancelLeavesEverything();
    void unknownPortIsKept_data();
    void unknownPortIsKept();
    void applyStoresTheChosenPort_data();
    void applyStoresTheChosenPort();
    void emptyUserName();
    void dateModeLoadsTodaysDateFile();
    void fileChoices_data();
    void fileChoices();
    void portDevices();
    void setTimeAsksTwice_data();
    void setTimeAsksTwice();
    void readings_data();
    void readings();
    void runningOptions_data();
    void runningOptions();
    void serialDevices();

    void webControlOption_data();
    void webControlOption();
    void seasonalTimetables_data();
    void seasonalTimetables();
    void webPassword_data();
    void webPassword();

private:
    frmsetup &open();
    template<class T> T *child(const QString &name) { return m_dialog->findChild<T *>(name); }
    QStringList queuedFrames() const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmsetup> m_dialog;
    QList<QByteArray> m_queued;
};

void tst_frmsetup::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_queued.clear();
}

void tst_frmsetup::cleanup()
{
    m_dialog.reset();
    m_rig.reset();
}

frmsetup &tst_frmsetup::open()
{
    Console &c = m_rig->console();
    connect(&c.link(), &ZoneLink::frameQueued, this,
            [this](const QByteArray &frame) { m_queued.append(frame); });
    m_dialog = std::make_unique<frmsetup>(setupServices(c));
    m_dialog->show();
    return *m_dialog;
}

QStringList tst_frmsetup::queuedFrames() const
{
    QStringList texts;
    FrameDecoder decoder;
    for (const QByteArray &bytes : m_queued) {
        for (const auto &piece : decoder.feed(bytes)) {
            if (!piece.isFrame)
                continue;
            QString list;
            for (int v : piece.frame.values)
                list += QString::number(v) + u'.';
            texts << CommandCode::name(piece.frame.code) + u' ' + list;
        }
    }
    return texts;
}

void tst_frmsetup::opensWithTheValuesInMemory()
{
    m_rig->setting(u"dislaylist"_s, u"False"_s);
    m_rig->setting(u"rm_scope"_s, u"True"_s);
    m_rig->setting(u"shutdown"_s, u"True"_s);
    m_rig->setting(u"auto_set_open_time"_s, u"False"_s);
    m_rig->setting(u"openamptime"_s, u"00:00:30"_s);
    m_rig->setting(u"closeamptime"_s, u"00:02:00"_s);
    m_rig->setting(u"ampopenchoice"_s, u"False"_s);
    m_rig->setting(u"ampopenall"_s, u"True"_s);
    m_rig->setting(u"com"_s, u"com3"_s);
    m_rig->setting(u"defaultdatefile"_s, u"/srv/date.txt"_s);
    GbkFiles::writeText(m_rig->file(u"config.ini"_s), u"[DisplayMode]\nVCD=1\n"_s);
    m_rig->start();
    frmsetup &d = open();
    auto *tabs = child<QTabWidget>(u"SSTab1"_s);
    QCOMPARE(tabs->count(), 6);
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    QCOMPARE(captions,
             (QStringList {u"界面设置"_s, u"作息类型"_s, u"自动开关机设置"_s, u"串行口选择"_s,
                           u"运行维护"_s, u"紧急广播"_s}));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(d.windowTitle(), u"系统设置"_s);
    QCOMPARE(child<QLineEdit>(u"txtuser"_s)->text(), u"第一中学"_s);
    QCOMPARE(child<QLineEdit>(u"txtpic"_s)->text(), m_rig->file(u"backimage/clouds.bmp"_s));
    QCOMPARE(child<QLineEdit>(u"txtweekfile"_s)->text(), m_rig->weekFile);
    QCOMPARE(child<QLineEdit>(u"txtdatefile"_s)->text(), u"/srv/date.txt"_s);
    QVERIFY(child<QCheckBox>(u"chkdisppic"_s)->isChecked());
    QVERIFY(child<QRadioButton>(u"optone"_s)->isChecked());
    QVERIFY(child<QRadioButton>(u"optplaylist"_s)->isChecked());
    QVERIFY(child<QRadioButton>(u"optweek"_s)->isChecked());
    QVERIFY(child<QCheckBox>(u"chkopen"_s)->isChecked());
    QVERIFY(!child<QCheckBox>(u"chk_auto_set_otime"_s)->isChecked());
    QCOMPARE(child<QTimeEdit>(u"dtpampopen"_s)->time(), QTime(0, 0, 30));
    QCOMPARE(child<QTimeEdit>(u"dtpampclose"_s)->time(), QTime(0, 2, 0));
    QVERIFY(child<QRadioButton>(u"optopenall"_s)->isChecked());
    QVERIFY(child<QRadioButton>(u"optcom3"_s)->isChecked());
    QCOMPARE(child<QComboBox>(u"cmbdevice_3"_s)->currentText(), u"/dev/ttyS2"_s);
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        d.grab().save(QCoreApplication::applicationDirPath() + u"/frmsetup_"_s
                      + QString::number(i + 1) + u".png"_s);
    }
}

void tst_frmsetup::explanatoryLabels()
{
    m_rig->start();
    open();
    auto *week = child<QLabel>(u"lblweek"_s);
    auto *date = child<QLabel>(u"lbldate"_s);
    auto *onoff = child<QLabel>(u"lblonoff"_s);
    QCOMPARE(week->text(),
             u"  选择了按星期工作后，计算机将根据星期一至星期天的安排表循环广播。\n\n"
             "   请注意设置好周一至周日的安排表!"_s);
    QCOMPARE(date->text(),
             u"  选择了按日期工作后，计算机将根据当前日期选择相应的播放列表文件进行广播。\n\n"
             "   请注意创建日期播放列表文件，否则可能不会广播!"_s);
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(1);
    QVERIFY(week->isVisible());
    QVERIFY(!date->isVisible());
    child<QRadioButton>(u"optdate"_s)->click();
    QVERIFY(!week->isVisible());
    QVERIFY(date->isVisible());
    child<QRadioButton>(u"optweek"_s)->click();
    QVERIFY(week->isVisible());
    // Shutdown off at opening: two blanks; ticked; cleared by the operator: four.
    QCOMPARE(onoff->text(), u"  计算机始终工作。"_s);
    auto *chkopen = child<QCheckBox>(u"chkopen"_s);
    chkopen->click();
    QCOMPARE(onoff->text(),
             u"    一天的项目开始播放时，计算机提前5分钟自动开机;当天所有项目\n"
             "播放完后，自动关机。自动开机功能要求分区控制器配合。"_s);
    chkopen->click();
    QCOMPARE(onoff->text(), u"    计算机始终工作。"_s);
}

void tst_frmsetup::applyStoresTheFifteenKeys()
{
    m_rig->start();
    open();
    child<QLineEdit>(u"txtuser"_s)->setText(u"实验中学"_s);
    child<QRadioButton>(u"optone"_s)->click();
    child<QRadioButton>(u"optplaylist"_s)->click();
    child<QRadioButton>(u"optdate"_s)->click();
    child<QCheckBox>(u"chkopen"_s)->click();
    child<QTimeEdit>(u"dtpampopen"_s)->setTime(QTime(0, 0, 45));
    child<QTimeEdit>(u"dtpampclose"_s)->setTime(QTime(0, 3, 0));
    child<QRadioButton>(u"optnoopen"_s)->click();
    child<QRadioButton>(u"optcom3"_s)->click();
    child<QCheckBox>(u"chkdisppic"_s)->click();
    m_rig->store.writes.clear();
    QSignalSpy applied(&m_rig->console().settings(), &ConsoleSettings::applied);
    child<QPushButton>(u"cmdapp"_s)->click();
    QCOMPARE(applied.size(), 1);
    QVERIFY(m_dialog->isVisible()); // Apply keeps the dialog open
    // The fifteen keys in their order, then the console's own running options.
    QCOMPARE(m_rig->store.writes.mid(15),
             (QStringList {u"asrun_keep_days"_s, u"supervise_terminals"_s, u"start_at_login"_s,
                           u"web_control"_s, u"web_port"_s, u"web_password"_s, u"web_network"_s,
                           u"seasons"_s, u"emergency_channel"_s, u"emergency_file"_s,
                           u"emergency_line_in"_s}));
    QCOMPARE(m_rig->store.writes.first(15),
             (QStringList {u"backimage"_s, u"userinfor"_s, u"dislaylist"_s, u"weekmode"_s,
                           u"defaultdatefile"_s, u"defaultweekfile"_s, u"shutdown"_s,
                           u"auto_set_open_time"_s, u"com"_s, u"openamptime"_s, u"closeamptime"_s,
                           u"ampnoopen"_s, u"ampopenall"_s, u"ampopenchoice"_s, u"rm_scope"_s}));
    const auto stored = [this](const char *key) {
        return m_rig->store.values.value(u"setting/"_s + QString::fromLatin1(key));
    };
    QCOMPARE(stored("userinfor"), u"实验中学"_s);
    QCOMPARE(stored("dislaylist"), u"False"_s);
    QCOMPARE(stored("weekmode"), u"False"_s);
    QCOMPARE(stored("shutdown"), u"True"_s);
    QCOMPARE(stored("com"), u"com3"_s);
    QCOMPARE(stored("openamptime"), u"00:00:45"_s);
    QCOMPARE(stored("closeamptime"), u"00:03:00"_s);
    QCOMPARE(stored("ampnoopen"), u"True"_s);
    QCOMPARE(stored("ampopenall"), u"False"_s);
    QCOMPARE(stored("ampopenchoice"), u"False"_s);
    QCOMPARE(stored("rm_scope"), u"True"_s);
    QVERIFY(GbkFiles::readText(m_rig->file(u"config.ini"_s)).contains(u"VCD=1\r\n"_s));
    QVERIFY(m_rig->console().state().ReloadSchedule());
    // OK applies the same way and closes.
    child<QLineEdit>(u"txtuser"_s)->setText(u"二中"_s);
    child<QPushButton>(u"cmdok"_s)->click();
    QCOMPARE(stored("userinfor"), u"二中"_s);
    QVERIFY(!m_dialog->isVisible());
}

void tst_frmsetup::applyWritesTheStoreOnce_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("videoChanged");
    QTest::newRow("应 用") << u"cmdapp"_s << false;
    QTest::newRow("应 用, video box changed") << u"cmdapp"_s << true;
    QTest::newRow("确 定") << u"cmdok"_s << false;
    QTest::newRow("确 定, video box changed") << u"cmdok"_s << true;
}

void tst_frmsetup::applyWritesTheStoreOnce()
{
    QFETCH(QString, button);
    QFETCH(bool, videoChanged);
    // The console on the real store, in this test's configuration folder.
    SettingsUserStore store;
    Console console(Console::Services {m_rig->clock, m_rig->dialogs, store, m_rig->player,
                                       m_rig->mixer, m_rig->port, m_rig->power, m_rig->launcher,
                                       m_rig->probe, AppFolder(m_rig->dir.path())});
    console.startUp();
    frmsetup dialog(setupServices(console));
    dialog.show();
    // An Apply before, so that config.ini holds the video box.
    dialog.findChild<QPushButton *>(u"cmdapp"_s)->click();
    const QString name = u"用户 "_s + QString::fromUtf8(QTest::currentDataTag());
    dialog.findChild<QLineEdit *>(u"txtuser"_s)->setText(name);
    dialog.findChild<QCheckBox *>(u"chkopen"_s)->setChecked(true);
    dialog.findChild<QRadioButton *>(u"optcom2"_s)->click();
    auto *video = dialog.findChild<QCheckBox *>(u"chkdisppic"_s);
    const bool showVideo = video->isChecked() != videoChanged;
    video->setChecked(showVideo);
    FileWrites writes(store.fileName());
    FileWrites configIni(m_rig->file(u"config.ini"_s));
    QSignalSpy applied(&console.settings(), &ConsoleSettings::applied);
    dialog.findChild<QPushButton *>(button)->click();
    QCOMPARE(applied.size(), 1);
    // Fifteen keys, one write of the file.
    QCOMPARE(writes.take(), 1);
    QVERIFY(store.writeError().isEmpty());
    const QString onDisk = QString::fromUtf8(GbkFiles::readBytes(store.fileName()));
    QVERIFY2(onDisk.contains(u"com=com2"_s), qPrintable(onDisk));
    QVERIFY2(onDisk.contains(u"shutdown=true"_s, Qt::CaseInsensitive), qPrintable(onDisk));
    QCOMPARE(SettingsUserStore().setting(u"userinfor"_s, QString()), name);
    // config.ini is written only for a changed video box, and holds it.
    QCOMPARE(configIni.take(), videoChanged ? 1 : 0);
    QVERIFY(GbkFiles::readText(m_rig->file(u"config.ini"_s))
                .contains(showVideo ? u"VCD=1\r\n"_s : u"VCD=0\r\n"_s));
}

void tst_frmsetup::cancelLeavesEverything()
{
    m_rig->start();
    const QByteArray ini = GbkFiles::readBytes(m_rig->file(u"config.ini"_s));
    const QHash<QString, QString> before = m_rig->store.values;
    m_rig->store.writes.clear();
    open();
    child<QLineEdit>(u"txtuser"_s)->setText(u"x"_s);
    child<QLineEdit>(u"txtpic"_s)->setText(u"y"_s);
    child<QCheckBox>(u"chkdisppic"_s)->click();
    child<QRadioButton>(u"optone"_s)->click();
    child<QRadioButton>(u"optplaylist"_s)->click();
    child<QRadioButton>(u"optdate"_s)->click();
    child<QLineEdit>(u"txtweekfile"_s)->setText(u"z"_s);
    child<QLineEdit>(u"txtdatefile"_s)->setText(u"w"_s);
    child<QCheckBox>(u"chkopen"_s)->click();
    child<QCheckBox>(u"chk_auto_set_otime"_s)->click();
    child<QTimeEdit>(u"dtpampopen"_s)->setTime(QTime(1, 0, 0));
    child<QTimeEdit>(u"dtpampclose"_s)->setTime(QTime(2, 0, 0));
    child<QRadioButton>(u"optopenall"_s)->click();
    child<QRadioButton>(u"optcom5"_s)->click();
    child<QComboBox>(u"cmbdevice_5"_s)->setCurrentText(u"/dev/ttyUSB7"_s);
    child<QPushButton>(u"cmdCancel"_s)->click();
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_rig->store.writes.isEmpty());
    QCOMPARE(m_rig->store.values, before);
    QCOMPARE(GbkFiles::readBytes(m_rig->file(u"config.ini"_s)), ini);
    QVERIFY(!m_rig->console().state().ReloadSchedule());
    // The next opening shows what is in memory again.
    open();
    QCOMPARE(child<QLineEdit>(u"txtuser"_s)->text(), u"第一中学"_s);
}

void tst_frmsetup::unknownPortIsKept_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("upper case") << "COM2";
    QTest::newRow("sixth port") << "com6";
    QTest::newRow("a device path") << "/dev/ttyUSB0";
}

void tst_frmsetup::unknownPortIsKept()
{
    QFETCH(QString, stored);
    m_rig->setting(u"com"_s, stored);
    m_rig->start();
    open();
    for (int n = 1; n <= 5; ++n)
        QVERIFY(!child<QRadioButton>(u"optcom"_s + QString::number(n))->isChecked());
    child<QPushButton>(u"cmdapp"_s)->click();
    QCOMPARE(m_rig->store.values.value(u"setting/com"_s), stored);
}

void tst_frmsetup::applyStoresTheChosenPort_data()
{
    // The first and the last port, each chosen over every other stored one.
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("chosen");
    for (int chosen : {1, 5}) {
        for (int stored = 1; stored <= 5; ++stored) {
            if (stored != chosen)
                QTest::addRow("COM%d over com%d", chosen, stored) << stored << chosen;
        }
    }
}

void tst_frmsetup::applyStoresTheChosenPort()
{
    QFETCH(int, stored);
    QFETCH(int, chosen);
    const auto com = [](int n) -> QString { return u"com"_s + QString::number(n); };
    const auto device = [](int n) -> QString { return u"/dev/ttyS"_s + QString::number(n - 1); };
    for (int n = 1; n <= 5; ++n)
        m_rig->port.devices.insert(device(n));
    m_rig->setting(u"com"_s, com(stored));
    m_rig->start();
    QCOMPARE(m_rig->console().link().devicePath(), device(stored));
    open();
    QVERIFY(child<QRadioButton>(u"optcom"_s + QString::number(stored))->isChecked());
    auto *option = child<QRadioButton>(u"optcom"_s + QString::number(chosen));
    QCOMPARE(option->text(), u"COM%1(串行口%1)"_s.arg(chosen));
    option->click();
    child<QPushButton>(u"cmdapp"_s)->click();
    QCOMPARE(m_rig->store.values.value(u"setting/com"_s), com(chosen));
    QCOMPARE(m_rig->console().settings().values().ComPort, com(chosen));
    // The port in use changes only at the next start, which opens the chosen one.
    QCOMPARE(m_rig->console().link().devicePath(), device(stored));
    m_dialog.reset();
    m_rig->destroyConsole();
    m_rig->start();
    QCOMPARE(m_rig->console().link().devicePath(), device(chosen));
    QCOMPARE(m_rig->port.openedPath, device(chosen));
    QVERIFY(m_rig->console().link().isOpen());
}

void tst_frmsetup::emptyUserName()
{
    Console &c = m_rig->start(false);
    frmback window(c);
    c.startUp();
    open();
    child<QLineEdit>(u"txtuser"_s)->clear();
    child<QPushButton>(u"cmdapp"_s)->click();
    QCOMPARE(window.findChild<QLabel *>(u"StatusBar1_user"_s)->text(), u"用户名称："_s);
    QCOMPARE(window.findChild<QLabel *>(u"lbluser"_s)->text(), u"Quellon"_s);
}

void tst_frmsetup::dateModeLoadsTodaysDateFile()
{
    GbkFiles::writeText(m_rig->file(u"table/date/20261207.txt"_s),
                        ConsoleRig::line(u"10:10:10"_s, u"校庆"_s));
    Console &c = m_rig->start();
    open();
    child<QRadioButton>(u"optdate"_s)->click();
    child<QPushButton>(u"cmdok"_s)->click();
    QCOMPARE(m_rig->store.values.value(u"setting/weekmode"_s), u"False"_s);
    QCOMPARE(c.programme().count(), 3); // until the next tick
    c.timerplayer_Timer();
    QCOMPARE(c.programme().count(), 1);
    QCOMPARE(c.programme().cellText(0, ProgrammeModel::TimeColumn), u"10:10:10"_s);
}

void tst_frmsetup::fileChoices_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("filter");
    QTest::newRow("week file") << "cmdweek"
                               << "txtweekfile"
                               << "选择星期播放文件"
                               << "table/week"
                               << "星期播放文件(*.txt)|*.txt";
    QTest::newRow("date file") << "cmddate"
                               << "txtdatefile"
                               << "选择日期播放文件"
                               << "table/date"
                               << "日期播放文件(*.txt)|*.txt";
    QTest::newRow("picture") << "cmdchoose"
                             << "txtpic"
                             << "选择背景图片"
                             << "backimage"
                             << "图片文件(*.bmp;*.jpg;*.png)|*.bmp;*.jpg;*.jpeg;*.png;*.gif";
}

void tst_frmsetup::fileChoices()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, title);
    QFETCH(QString, folder);
    QFETCH(QString, filter);
    m_rig->start();
    open();
    const QString before = child<QLineEdit>(field)->text();
    child<QPushButton>(button)->click(); // cancelled: nothing changes
    QCOMPARE(child<QLineEdit>(field)->text(), before);
    m_rig->dialogs.files.enqueue(u"/srv/chosen.txt"_s);
    child<QPushButton>(button)->click();
    QCOMPARE(child<QLineEdit>(field)->text(), u"/srv/chosen.txt"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, (QStringList {title, title}));
    QCOMPARE(m_rig->dialogs.fileDialogFolders.last(), m_rig->file(folder));
    QCOMPARE(m_rig->dialogs.fileDialogFilters.last(), filter);
}

void tst_frmsetup::portDevices()
{
    m_rig->start();
    open();
    child<QComboBox>(u"cmbdevice_2"_s)->setCurrentText(u"/dev/ttyUSB0"_s);
    child<QPushButton>(u"cmdapp"_s)->click();
    QCOMPARE(m_rig->store.values.value(u"ports/com2"_s), u"/dev/ttyUSB0"_s);
    // Unchanged devices are not written; the port in use stays until the next start.
    QVERIFY(!m_rig->store.values.contains(u"ports/com1"_s));
    QCOMPARE(m_rig->console().link().devicePath(), u"/dev/ttyS0"_s);
    QVERIFY(m_dialog->findChild<QLabel *>(u"lblportlater"_s)->text().contains(u"下次启动"_s));
    // An emptied box returns the port to its default device.
    child<QComboBox>(u"cmbdevice_2"_s)->setCurrentText(QString());
    child<QPushButton>(u"cmdapp"_s)->click();
    QCOMPARE(m_rig->console().link().devicePathFor(2), u"/dev/ttyS1"_s);
}

void tst_frmsetup::setTimeAsksTwice_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QStringList>("frames");
    QTest::newRow("No, Yes") << int(MsgAnswer::No) << int(MsgAnswer::Yes)
                             << QStringList {u"PowerOnTimeSet 6.45.0."_s};
    QTest::newRow("Yes, No") << int(MsgAnswer::Yes) << int(MsgAnswer::No)
                             << QStringList {u"ClockSet 9.8.7."_s};
    QTest::newRow("Yes, Yes") << int(MsgAnswer::Yes) << int(MsgAnswer::Yes)
                              << QStringList {u"ClockSet 9.8.7."_s, u"PowerOnTimeSet 6.45.0."_s};
}

void tst_frmsetup::setTimeAsksTwice()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(QStringList, frames);
    m_rig->start();
    open();
    child<QTimeEdit>(u"DTPRTC"_s)->setTime(QTime(9, 8, 7));
    child<QTimeEdit>(u"DTP_AUTO_OPEN"_s)->setTime(QTime(6, 45, 0));
    m_rig->dialogs.answers.enqueue(MsgAnswer(first));
    m_rig->dialogs.answers.enqueue(MsgAnswer(second));
    child<QPushButton>(u"cmd_set_time"_s)->click();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"确定要改变系统时钟为  09:08:07  吗?"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"请确认改变"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).buttons, MsgButtons::YesNo);
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Question);
    QVERIFY(m_rig->dialogs.shown.at(0).waited); // the operator's command
    // The second question comes after the pause, raised by its timer: it
    // does not wait, its answer comes later.
    QTRY_COMPARE(m_rig->dialogs.shown.size(), 2);
    QCOMPARE(m_rig->dialogs.shown.at(1).text, u"确定要改变自动开机时间为  06:45:00  吗?"_s);
    QVERIFY(!m_rig->dialogs.shown.at(1).waited);
    QTRY_COMPARE(m_rig->dialogs.answersUnderway(), 0);
    QCOMPARE(queuedFrames(), frames);
}

void tst_frmsetup::readings_data()
{
    using Kind = ControllerClock::Reading::Kind;
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QTime>("time");
    QTest::newRow("a time") << QByteArray("12:00:00") << int(Kind::Time) << QTime(12, 0);
    QTest::newRow("midnight") << QByteArray("00:00:00") << int(Kind::Time) << QTime(0, 0);
    QTest::newRow("not set") << QByteArray("??:??:??") << int(Kind::NotSet) << QTime();
    QTest::newRow("nothing") << QByteArray() << int(Kind::None) << QTime();
    QTest::newRow("short") << QByteArray("1:00:00") << int(Kind::None) << QTime();
    QTest::newRow("long") << QByteArray("12:00:001") << int(Kind::None) << QTime();
    QTest::newRow("no time") << QByteArray("25:61:00") << int(Kind::None) << QTime();
    QTest::newRow("a key code first") << QByteArray("\x01"
                                                    "2:00:00")
                                      << int(Kind::None) << QTime();
}

void tst_frmsetup::readings()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, kind);
    QFETCH(QTime, time);
    const ControllerClock::Reading r = ControllerClock::parseReading(reply);
    QCOMPARE(int(r.kind), kind);
    QCOMPARE(r.time, time);
    QCOMPARE(r.raw, reply);
}

void tst_frmsetup::serialDevices()
{
    QTemporaryDir dev;
    for (const char *name :
         {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "tty0", "null", "serial/by-id/usb-FTDI_1"}) {
        GbkFiles::writeBytes(dev.filePath(QString::fromLatin1(name)), QByteArray());
    }
    QCOMPARE(serialDevicePaths(dev.path()),
             (QStringList {dev.filePath(u"serial/by-id/usb-FTDI_1"_s), dev.filePath(u"ttyACM1"_s),
                           dev.filePath(u"ttyS2"_s), dev.filePath(u"ttyS10"_s),
                           dev.filePath(u"ttyUSB0"_s)}));
}

void tst_frmsetup::runningOptions_data()
{
    // As stored in the section "operation"; then what the operator sets.
    QTest::addColumn<QString>("storedDays");
    QTest::addColumn<QString>("storedSupervise");
    QTest::addColumn<QString>("storedAutostart");
    QTest::addColumn<int>("shownDays");
    QTest::addColumn<int>("newDays");
    QTest::addColumn<bool>("supervise");
    QTest::addColumn<bool>("autostart");
    QTest::newRow("nothing stored: 90 days, both off")
        << QString() << QString() << QString() << 90 << 30 << true << false;
    QTest::newRow("stored 7 days, both on")
        << u"7"_s << u"True"_s << u"True"_s << 7 << 365 << false << true;
    QTest::newRow("one day, the shortest")
        << u"1"_s << u"False"_s << u"True"_s << 1 << 1 << true << true;
    // The box goes no further than ten years.
    QTest::newRow("ten years, the longest")
        << u"3650"_s << u"True"_s << u"False"_s << 3650 << 99999 << false << false;
}

void tst_frmsetup::runningOptions()
{
    QFETCH(QString, storedDays);
    QFETCH(QString, storedSupervise);
    QFETCH(QString, storedAutostart);
    QFETCH(int, shownDays);
    QFETCH(int, newDays);
    QFETCH(bool, supervise);
    QFETCH(bool, autostart);
    if (!storedDays.isEmpty()) {
        m_rig->store.setValue(u"operation"_s, u"asrun_keep_days"_s, storedDays);
        m_rig->store.setValue(u"operation"_s, u"supervise_terminals"_s, storedSupervise);
        m_rig->store.setValue(u"operation"_s, u"start_at_login"_s, storedAutostart);
    }
    m_rig->start();
    open();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(4);
    auto *days = child<QSpinBox>(u"spnkeepdays"_s);
    auto *superviseBox = child<QCheckBox>(u"chksupervise"_s);
    auto *autostartBox = child<QCheckBox>(u"chkautostart"_s);
    QCOMPARE(days->value(), shownDays);
    QCOMPARE(superviseBox->isChecked(), storedSupervise == u"True");
    QCOMPARE(autostartBox->isChecked(), storedAutostart == u"True");
    QCOMPARE(m_rig->console().asRunLog().keepDays(), shownDays);
    QVERIFY(!child<QLabel>(u"lblsupervise"_s)->text().isEmpty());

    days->setValue(newDays);
    const int expectedDays = std::clamp(newDays, 1, 3650);
    QCOMPARE(days->value(), expectedDays);
    superviseBox->setChecked(supervise);
    autostartBox->setChecked(autostart);
    child<QPushButton>(u"cmdapp"_s)->click();
    const auto stored
        = [this](const QString &key) { return m_rig->store.values.value(u"operation/"_s + key); };
    QCOMPARE(stored(u"asrun_keep_days"_s), QString::number(expectedDays));
    QCOMPARE(stored(u"supervise_terminals"_s), supervise ? u"True"_s : u"False"_s);
    QCOMPARE(stored(u"start_at_login"_s), autostart ? u"True"_s : u"False"_s);
    // The running log keeps as many days from the Apply on.
    QCOMPARE(m_rig->console().asRunLog().keepDays(), expectedDays);
    // Cancel leaves what was applied.
    days->setValue(expectedDays == 5 ? 6 : 5);
    child<QPushButton>(u"cmdCancel"_s)->click();
    QCOMPARE(m_rig->console().settings().values().AsRunKeepDays, expectedDays);
}

void tst_frmsetup::webControlOption_data()
{
    QTest::addColumn<QString>("stored"); // empty: never written
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("chosen");
    QTest::newRow("off by default, switched on") << QString() << false << true;
    QTest::newRow("on, switched off") << u"True"_s << true << false;
    QTest::newRow("off, left off") << u"False"_s << false << false;
}

void tst_frmsetup::webControlOption()
{
    QFETCH(QString, stored);
    QFETCH(bool, shown);
    QFETCH(bool, chosen);
    if (!stored.isEmpty())
        m_rig->store.setValue(u"operation"_s, u"web_control"_s, stored);
    m_rig->start();
    open();
    auto *box = child<QCheckBox>(u"chkwebcontrol"_s);
    QCOMPARE(box->isChecked(), shown);
    box->setChecked(chosen);
    child<QPushButton>(u"cmdapp"_s)->click();
    QCOMPARE(m_rig->store.values.value(u"operation/web_control"_s),
             chosen ? u"True"_s : u"False"_s);
    QCOMPARE(m_rig->console().settings().values().WebControlEnabled, chosen);
}

void tst_frmsetup::seasonalTimetables_data()
{
    QTest::addColumn<QString>("from"); // the new row's first day, as typed
    QTest::addColumn<bool>("chooseFile");
    QTest::addColumn<bool>("moveUp"); // the new row moved above the stored one
    QTest::addColumn<QString>("message"); // empty when Apply goes through
    QTest::newRow("added below") << u"10-01"_s << true << false << QString();
    QTest::newRow("added and moved first") << u"10-01"_s << true << true << QString();
    QTest::newRow("day not in the year")
        << u"02-30"_s << true << false << u"季节作息第 2 行：日期应写成“月-日”，例如 05-01"_s;
    QTest::newRow("no week file") << u"10-01"_s << false << false
                                  << u"季节作息第 2 行：请选择周播放文件"_s;
}

void tst_frmsetup::seasonalTimetables()
{
    QFETCH(QString, from);
    QFETCH(bool, chooseFile);
    QFETCH(bool, moveUp);
    QFETCH(QString, message);
    const SeasonRange summer {u"夏季作息"_s, u"05-01"_s, u"09-30"_s, u"/srv/summer.txt"_s};
    m_rig->store.setValue(u"operation"_s, u"seasons"_s, SeasonTimetables::toStoreText({summer}));
    m_rig->start();
    open();
    auto *table = child<QTableWidget>(u"lstseasons"_s);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 3)->text(), u"summer.txt"_s);

    child<QPushButton>(u"cmdseasonadd"_s)->click();
    QCOMPARE(table->currentRow(), 1);
    table->item(1, 0)->setText(u"冬季作息"_s);
    table->item(1, 1)->setText(from);
    table->item(1, 2)->setText(u"04-30"_s);
    if (chooseFile) {
        m_rig->dialogs.files.enqueue(u"/srv/winter.txt"_s);
        child<QPushButton>(u"cmdseasonfile"_s)->click();
    }
    if (moveUp)
        child<QPushButton>(u"cmdseasonup"_s)->click();
    const SeasonRange winter {u"冬季作息"_s, from, u"04-30"_s, u"/srv/winter.txt"_s};
    const QString storedBefore = m_rig->store.values.value(u"operation/seasons"_s);
    QSignalSpy applied(&m_rig->console().settings(), &ConsoleSettings::applied);
    child<QPushButton>(u"cmdok"_s)->click();
    if (!message.isEmpty()) {
        // Nothing is applied or stored, and the dialog stays for the mending.
        QCOMPARE(m_rig->dialogs.shown.size(), 1);
        QCOMPARE(m_rig->dialogs.shown.constFirst().text, message);
        QCOMPARE(applied.size(), 0);
        QCOMPARE(m_rig->store.values.value(u"operation/seasons"_s), storedBefore);
        QVERIFY(m_dialog->isVisible());
        return;
    }
    const QList<SeasonRange> expected
        = moveUp ? QList<SeasonRange> {winter, summer} : QList<SeasonRange> {summer, winter};
    QCOMPARE(applied.size(), 1);
    QCOMPARE(m_rig->console().settings().values().Seasons, expected);
    QCOMPARE(SeasonTimetables::fromStoreText(m_rig->store.values.value(u"operation/seasons"_s)),
             expected);
    QVERIFY(!m_dialog->isVisible());
}

void tst_frmsetup::webPassword_data()
{
    QTest::addColumn<QString>("stored"); // the password stored before; empty: none
    QTest::addColumn<bool>("storedNetwork");
    QTest::addColumn<QString>("typed"); // set with 设置密码; empty: not pressed
    QTest::addColumn<bool>("clear"); // 清除密码 pressed first
    QTest::addColumn<bool>("tickNetwork"); // 允许局域网访问 ticked before Apply
    QTest::addColumn<bool>("networkOpen"); // the box could be ticked
    QTest::addColumn<QString>("password"); // the one stored after Apply; empty: none
    QTest::addColumn<bool>("network"); // as stored after Apply

    QTest::newRow("none set: the network stays closed")
        << QString() << false << QString() << false << true << false << QString() << false;
    QTest::newRow("a new password, the network allowed")
        << QString() << false << u"广播室 office"_s << false << true << true << u"广播室 office"_s
        << true;
    QTest::newRow("a new password only")
        << QString() << false << u"2026"_s << false << false << true << u"2026"_s << false;
    QTest::newRow("the stored one kept")
        << u"old"_s << true << QString() << false << true << true << u"old"_s << true;
    QTest::newRow("the stored one replaced")
        << u"old"_s << false << u"new"_s << false << true << true << u"new"_s << true;
    QTest::newRow("cleared: the network closes with it")
        << u"old"_s << true << QString() << true << true << false << QString() << false;
}

void tst_frmsetup::webPassword()
{
    QFETCH(QString, stored);
    QFETCH(bool, storedNetwork);
    QFETCH(QString, typed);
    QFETCH(bool, clear);
    QFETCH(bool, tickNetwork);
    QFETCH(bool, networkOpen);
    QFETCH(QString, password);
    QFETCH(bool, network);
    if (!stored.isEmpty())
        m_rig->store.setValue(u"operation"_s, u"web_password"_s,
                              WebPassword::hash(stored, WebPassword::MinIterations));
    m_rig->store.setValue(u"operation"_s, u"web_network"_s, storedNetwork ? u"True"_s : u"False"_s);
    m_rig->start();
    open();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(4);
    auto *box = child<QCheckBox>(u"chkwebnetwork"_s);
    QCOMPARE(box->isChecked(), storedNetwork && !stored.isEmpty());
    QCOMPARE(box->isEnabled(), !stored.isEmpty());
    if (clear)
        child<QPushButton>(u"cmdclearpassword"_s)->click();
    if (!typed.isEmpty()) {
        auto *field = child<QLineEdit>(u"txtwebpassword"_s);
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        field->setText(typed);
        child<QPushButton>(u"cmdsetpassword"_s)->click();
        // The typed text is gone at once; Apply waits for the hash.
        QCOMPARE(field->text(), QString());
        QVERIFY(!child<QPushButton>(u"cmdapp"_s)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(u"cmdapp"_s)->isEnabled(), 10000);
    }
    QCOMPARE(box->isEnabled(), networkOpen);
    if (tickNetwork && box->isEnabled())
        box->setChecked(true);
    m_dialog->grab().save(QCoreApplication::applicationDirPath() + u"/frmsetup_web.png"_s);
    child<QPushButton>(u"cmdapp"_s)->click();
    const QString hash = m_rig->store.values.value(u"operation/web_password"_s);
    if (password.isEmpty()) {
        QCOMPARE(hash, QString());
    } else {
        QVERIFY(WebPassword::verify(password, hash));
        QVERIFY(!WebPassword::verify(password + u"x"_s, hash));
    }
    QCOMPARE(m_rig->store.values.value(u"operation/web_network"_s),
             network ? u"True"_s : u"False"_s);
    QCOMPARE(m_rig->console().settings().values().WebPasswordHash, hash);
    QCOMPARE(m_rig->console().settings().values().WebNetworkAllowed, network);
    // The password itself is nowhere in the store.
    if (!typed.isEmpty()) {
        for (const QString &value : std::as_const(m_rig->store.values))
            QVERIFY(!value.contains(typed));
    }
}

int main(int argc, char *argv[])
{
    // The real store lives in a configuration folder of this test's own; its
    // place is fixed when it is first used.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_frmsetup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_frmsetup.moc"
