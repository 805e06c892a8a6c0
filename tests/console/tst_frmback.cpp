#include "console/backgroundwidget.h"
#include "console/frmback.h"
#include "console/clsvolume.h"
#include "console/playbackengine.h"
#include "console/scheduler.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"
#include "console/programmemodel.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"
#include "support/fakepower.h"
#include "support/fakeserialport.h"
#include "support/fakemixer.h"
#include "support/gbkfiles.h"
#include "support/memoryuserstore.h"

#include <QAction>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace {
QString line(const QString &time, const QString &detail)
{
    return time + QStringLiteral(", 1 ,") + detail + QStringLiteral(",/srv/song/铃声.mp3, 80 ,00:00:30,1.2.,1.,\n");
}
} // namespace

class tst_frmback : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void startsWithTodaysList();
    void startsWithNextItemPanel();
    void firstRunKeepsDesignedLook();
    void badScheduleShowsMessageAndEmptyList();
    void unloadablePictureLeavesBackgroundEmpty();
    void viewToggles();
    void workStatus();
    void sliderDrivesTheMasterVolume();
    void sliderRangeFollowsTheMixer_data();
    void sliderRangeFollowsTheMixer();
    void mixerFailure();
    void volumeKeys_data();
    void volumeKeys();
    void playRowByHand_data();
    void playRowByHand();
    void playRowOnEmptyList();
    void openButtonPlaysTheChosenFile();
    void hideButton();
    void manualModeHoldsEverything();
    void exitAsks_data();
    void exitAsks();

private:
    std::unique_ptr<frmback> start();
    template<class T>
    T *child(frmback &w, const char *name)
    {
        return w.findChild<T *>(QString::fromLatin1(name));
    }
    QString panel(frmback &w, const char *key)
    {
        const QByteArray name = QByteArray("StatusBar1_") + key;
        auto *label = child<QLabel>(w, name.constData());
        return label ? label->text() : QStringLiteral("(no panel)");
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock {QDateTime(QDate(2026, 12, 7), QTime(6, 30, 0))}; // a Monday
    FakeDialogs m_dialogs;
    MemoryUserStore m_store;
    FakeMediaPlayer m_player;
    FakeMixer m_mixer;
    std::unique_ptr<FakeSerialPort> m_port;
    FakePower m_power;
};

void tst_frmback::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialogs = FakeDialogs();
    m_store = MemoryUserStore();
    m_player.calls.clear();
    m_player.source.clear();
    m_player.playing = false;
    m_mixer = FakeMixer();
    m_port = std::make_unique<FakeSerialPort>();
    m_port->devices.insert(QStringLiteral("/dev/ttyS0"));
    const QString week = m_dir->filePath(QStringLiteral("table/week/week.txt"));
    GbkFiles::writeText(week, QStringLiteral("00,00,00,星期一,00,00,00,00,00\n") + line("12:00:00", "午间")
                                  + line("07:30:00", "起床") + line("08:00:00", "上课")
                                  + QStringLiteral("00,00,00,星期二,00,00,00,00,00\n")
                                  + line("09:00:00", "周二"));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(80, 140, 220));
    QDir().mkpath(m_dir->filePath(QStringLiteral("backimage")));
    QVERIFY(picture.save(m_dir->filePath(QStringLiteral("backimage/clouds.bmp"))));
    const QHash<QString, QString> stored = {
        {"setted", "yes"},
        {"backimage", m_dir->filePath(QStringLiteral("backimage/clouds.bmp"))},
        {"userinfor", "第一中学"},
        {"dislaylist", "True"},
        {"weekmode", "True"},
        {"defaultweekfile", week},
    };
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        m_store.values.insert(QStringLiteral("setting/") + it.key(), it.value());
}

std::unique_ptr<frmback> tst_frmback::start()
{
    auto w = std::make_unique<frmback>(ConsoleServices {m_clock, m_dialogs, m_store, m_player, m_mixer, *m_port, m_power, AppFolder(m_dir->path())});
    w->startUp();
    w->resize(1024, 700);
    w->show();
    return w;
}

void tst_frmback::startsWithTodaysList()
{
    auto w = start();
    QCOMPARE(w->windowTitle(), QStringLiteral("QuellonQL-5300"));
    auto *list = child<QTreeView>(*w, "lvwprog");
    QVERIFY(list);
    QVERIFY(list->isVisible());
    QVERIFY(!child<QLabel>(*w, "lblnextprog")->isVisible());
    const ProgrammeModel &model = w->programme();
    QCOMPARE(model.count(), 3);
    QCOMPARE(model.cellText(0, ProgrammeModel::TimeColumn), QStringLiteral("07:30:00"));
    QCOMPARE(model.cellText(1, ProgrammeModel::TimeColumn), QStringLiteral("08:00:00"));
    QCOMPARE(model.cellText(2, ProgrammeModel::TimeColumn), QStringLiteral("12:00:00"));
    for (int r = 0; r < 3; ++r)
        QCOMPARE(model.cellText(r, ProgrammeModel::PlayedColumn), QStringLiteral("否"));
    QCOMPARE(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("    播放文件"));
    // Zone, amplifier, device and path columns are hidden; the others share the width.
    for (int c : {6, 7, 8, 10})
        QVERIFY(list->isColumnHidden(c));
    for (int c : {0, 1, 2, 3, 4, 5, 9})
        QVERIFY(!list->isColumnHidden(c));
    QCOMPARE(child<QLabel>(*w, "lbluser")->text(), QStringLiteral("第一中学Quellon"));
    QCOMPARE(panel(*w, "user"), QStringLiteral("用户名称：第一中学"));
    QCOMPARE(panel(*w, "status"), QStringLiteral("外设状态："));
    QCOMPARE(panel(*w, "workstatus"), QStringLiteral("工作状态：自动"));
    QVERIFY(!panel(*w, "producer").isEmpty());
    QCOMPARE(child<QLineEdit>(*w, "txttime")->text(), QStringLiteral(" 2026年12月07日 星期一  06:30:00"));
    QCOMPARE(int(w->state().RemoteCursor), 1);
    QVERIFY(m_dialogs.shown.isEmpty());
    QVERIFY(!m_store.writes.contains(QStringLiteral("setted")));
    w->grab().save(QStringLiteral("frmback_list.png"));
}

void tst_frmback::startsWithNextItemPanel()
{
    m_store.values.insert(QStringLiteral("setting/dislaylist"), QStringLiteral("False"));
    auto w = start();
    auto *next = child<QLabel>(*w, "lblnextprog");
    QVERIFY(next->isVisible());
    QVERIFY(!child<QTreeView>(*w, "lvwprog")->isVisible());
    QCOMPARE(next->property("panelText").toString(),
             QStringLiteral("\r    播放时间：07:30:00\r    播放文件：铃声.mp3  \r    播放分区：1.2.\r"));
    QVERIFY(child<QAction>(*w, "mnushownext")->isChecked());
    QVERIFY(!child<QAction>(*w, "mnushowlist")->isChecked());
    w->grab().save(QStringLiteral("frmback_next.png"));
    // Showing the list hides the panel and moves the tick.
    child<QAction>(*w, "mnushowlist")->trigger();
    QVERIFY(child<QTreeView>(*w, "lvwprog")->isVisible());
    QVERIFY(!next->isVisible());
    QVERIFY(child<QAction>(*w, "mnushowlist")->isChecked());
    QVERIFY(!child<QAction>(*w, "mnushownext")->isChecked());
}

void tst_frmback::firstRunKeepsDesignedLook()
{
    m_store = MemoryUserStore();
    auto w = start();
    QCOMPARE(m_store.values.value(QStringLiteral("setting/setted")), QStringLiteral("yes"));
    QCOMPARE(m_store.writes.size(), 16);
    // The week file is not chosen yet: an empty list, no message, the designed view.
    QCOMPARE(w->programme().count(), 0);
    QVERIFY(m_dialogs.shown.isEmpty());
    QVERIFY(child<QTreeView>(*w, "lvwprog")->isVisible());
    QVERIFY(child<QAction>(*w, "mnushowlist")->isChecked());
    QCOMPARE(child<QLabel>(*w, "lbluser")->text(), QStringLiteral("新用户Quellon"));
    QCOMPARE(GbkFiles::readBytes(m_dir->filePath(QStringLiteral("config.ini"))),
             QByteArray("[DisplayMode]\r\nSetVolTime=33:33:33\r\nTermVol=22\r\n"));
}

void tst_frmback::badScheduleShowsMessageAndEmptyList()
{
    const QString week = m_store.values.value(QStringLiteral("setting/defaultweekfile"));
    GbkFiles::writeText(week, QStringLiteral("00,00,00,星期一,00,00,00,00,00\n") + line("07:00:00", "a")
                                  + QStringLiteral("08:00:00, x ,b,c, 1 ,,,,\n"));
    const QByteArray before = GbkFiles::readBytes(week);
    auto w = start();
    QCOMPARE(w->programme().count(), 0);
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.at(0).text, QStringLiteral("读取文件失败，可能文件设置有误或文件格式不对"));
    QCOMPARE(GbkFiles::readBytes(week), before);
    QCOMPARE(int(w->state().RemoteCursor), 0);
}

void tst_frmback::unloadablePictureLeavesBackgroundEmpty()
{
    m_store.values.insert(QStringLiteral("setting/backimage"), m_dir->filePath(QStringLiteral("none.bmp")));
    m_store.values.insert(QStringLiteral("setting/dislaylist"), QStringLiteral("False"));
    auto w = start();
    QVERIFY(!child<BackgroundWidget>(*w, "imgback")->hasPicture());
    // The settings after the picture are still applied.
    QVERIFY(child<QLabel>(*w, "lblnextprog")->isVisible());
    QCOMPARE(child<QLabel>(*w, "lbluser")->text(), QStringLiteral("第一中学Quellon"));
    QVERIFY(m_dialogs.shown.isEmpty());
}

void tst_frmback::viewToggles()
{
    auto w = start();
    auto *user = child<QLabel>(*w, "lbluser");
    child<QAction>(*w, "mnushowuser")->trigger();
    QVERIFY(!user->isVisible());
    QVERIFY(!child<QAction>(*w, "mnushowuser")->isChecked());
    child<QAction>(*w, "mnushowuser")->trigger();
    QVERIFY(user->isVisible());
    child<QAction>(*w, "mnushowlist")->trigger();
    QVERIFY(!child<QTreeView>(*w, "lvwprog")->isVisible());
    QVERIFY(!child<QAction>(*w, "mnushowlist")->isChecked());
}

void tst_frmback::workStatus()
{
    auto w = start();
    child<QAction>(*w, "mnumanual")->trigger();
    QVERIFY(w->state().ManualMode);
    QCOMPARE(panel(*w, "workstatus"), QStringLiteral("工作状态：手动"));
    QVERIFY(child<QAction>(*w, "mnumanual")->isChecked());
    QVERIFY(!child<QAction>(*w, "mnuauto")->isChecked());
    child<QAction>(*w, "mnuauto")->trigger();
    QVERIFY(!w->state().ManualMode);
    QCOMPARE(panel(*w, "workstatus"), QStringLiteral("工作状态：自动"));
}

void tst_frmback::sliderDrivesTheMasterVolume()
{
    auto w = start();
    auto *slider = child<QSlider>(*w, "Slidervol");
    m_mixer.speakerSet.clear();
    for (int v : {5000, 0, 32767, 1}) {
        slider->setValue(v);
        QCOMPARE(m_mixer.speakerSet.last(), long(v) * 2);
        QCOMPARE(w->volume().prSpeakerVolume(), long(v) * 2);
    }
}

void tst_frmback::sliderRangeFollowsTheMixer_data()
{
    QTest::addColumn<long>("minimum");
    QTest::addColumn<long>("maximum");
    QTest::addColumn<int>("sliderMax");
    QTest::newRow("0..65535") << 0L << 65535L << 32767;
    QTest::newRow("0..65536 stays within a schedule volume") << 0L << 65536L << 32767;
    QTest::newRow("0..127") << 0L << 127L << 63;
}

void tst_frmback::sliderRangeFollowsTheMixer()
{
    QFETCH(long, minimum);
    QFETCH(long, maximum);
    QFETCH(int, sliderMax);
    m_mixer.speaker = Mixer::Range {minimum, maximum};
    auto w = start();
    auto *slider = child<QSlider>(*w, "Slidervol");
    QCOMPARE(slider->minimum(), int(minimum));
    QCOMPARE(slider->maximum(), sliderMax);
    QCOMPARE(slider->singleStep(), 1000);
    QCOMPARE(slider->pageStep(), 1000);
}

void tst_frmback::mixerFailure()
{
    m_mixer.openResult = -2;
    auto w = start();
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.at(0).text, QStringLiteral("Could not open the mixer."));
    QCOMPARE(m_dialogs.shown.at(0).title, QStringLiteral("Volume Control"));
    QCOMPARE(m_dialogs.shown.at(0).icon, MsgIcon::Error);
    QCOMPARE(w->volume().prMixerErr(), -2);
    auto *slider = child<QSlider>(*w, "Slidervol");
    QCOMPARE(slider->maximum(), 32767);
    slider->setValue(4000);
    QVERIFY(m_mixer.speakerSet.isEmpty()); // moving it has no effect on the output
}

void tst_frmback::volumeKeys_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("up") << 5000 << "mnuvolup" << 6000;
    QTest::newRow("up to the top") << 31800 << "mnuvolup" << 32767;
    QTest::newRow("down") << 5000 << "mnuvoldown" << 4000;
    QTest::newRow("down to zero") << 900 << "mnuvoldown" << 0;
}

void tst_frmback::volumeKeys()
{
    QFETCH(int, from);
    QFETCH(QString, action);
    QFETCH(int, result);
    auto w = start();
    auto *slider = child<QSlider>(*w, "Slidervol");
    slider->setValue(from);
    auto *command = w->findChild<QAction *>(action);
    QCOMPARE(command->shortcut(), QKeySequence(action == u"mnuvolup" ? Qt::Key_F12 : Qt::Key_F11));
    command->trigger();
    QCOMPARE(slider->value(), result);
    QCOMPARE(m_mixer.speakerSet.last(), long(result) * 2);
}

void tst_frmback::playRowByHand_data()
{
    QTest::addColumn<bool>("choice");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("status");
    QTest::newRow("open by choice") << true << true << "外设状态：";
    QTest::newRow("open all") << false << true << "外设状态：分区控制已打开";
    QTest::newRow("neither") << false << false << "外设状态：";
}

void tst_frmback::playRowByHand()
{
    QFETCH(bool, choice);
    QFETCH(bool, all);
    QFETCH(QString, status);
    m_store.values.insert(QStringLiteral("setting/ampopenchoice"), choice ? "True" : "False");
    m_store.values.insert(QStringLiteral("setting/ampopenall"), all ? "True" : "False");
    // The second row of the list plays a file that exists.
    const QString song = m_dir->filePath(QStringLiteral("song/上课.wav"));
    GbkFiles::writeBytes(song, QByteArray("RIFF"));
    const QString week = m_store.values.value(QStringLiteral("setting/defaultweekfile"));
    GbkFiles::writeText(week, QStringLiteral("00,00,00,星期一,00,00,00,00,00\n") + line("07:30:00", "起床")
                                  + QStringLiteral("08:00:00, 1 ,上课,") + song
                                  + QStringLiteral(", 12345 ,00:00:30,1.2.,1.,\n"));
    auto w = start();
    auto *list = child<QTreeView>(*w, "lvwprog");
    list->setCurrentIndex(w->programme().index(1, 0));
    child<QAction>(*w, "mnuplayrow")->trigger();
    QCOMPARE(panel(*w, "status"), status);
    QCOMPARE(child<QSlider>(*w, "Slidervol")->value(), 12345);
    QCOMPARE(m_player.source, song);
    QVERIFY(w->playback().ManualPlayback);
    QCOMPARE(child<QLabel>(*w, "lblsong")->text(), QStringLiteral("上课.wav"));
}

void tst_frmback::playRowOnEmptyList()
{
    m_store.values.insert(QStringLiteral("setting/defaultweekfile"), QString());
    auto w = start();
    child<QAction>(*w, "mnuplayrow")->trigger();
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.at(0).text, QStringLiteral("请设置播放文件"));
    QCOMPARE(m_dialogs.shown.at(0).title, QStringLiteral("没有播放文件"));
    QVERIFY(m_player.calls.isEmpty());
}

void tst_frmback::openButtonPlaysTheChosenFile()
{
    const QString song = m_dir->filePath(QStringLiteral("chosen.mp3"));
    GbkFiles::writeBytes(song, QByteArray("ID3"));
    auto w = start();
    auto *open = w->findChild<QPushButton *>(QStringLiteral("cmdopen"));
    QCOMPARE(open->text(), QStringLiteral("打开"));
    open->click(); // cancelled: nothing happens
    QVERIFY(m_player.calls.isEmpty());
    m_dialogs.files.enqueue(song);
    open->click();
    QCOMPARE(m_dialogs.fileDialogTitles, (QStringList {"选择文件", "选择文件"}));
    QCOMPARE(m_player.source, song);
    QVERIFY(w->playback().ManualPlayback);
    QVERIFY(!w->findChild<QWidget *>(QStringLiteral("mmcplay_play"))->isEnabled());
    QVERIFY(w->findChild<QWidget *>(QStringLiteral("mmcplay_stop"))->isEnabled());
    // The tick refreshes the progress while playing.
    m_player.position = 12;
    m_player.duration = 215;
    w->timerplayer_Timer();
    QCOMPARE(child<QLabel>(*w, "lblctime")->text(), QStringLiteral(" 12/215"));
    QCOMPARE(child<QLabel>(*w, "lblsonglength")->text(), QStringLiteral("03:35"));
    w->grab().save(QStringLiteral("frmback_playing.png"));
    // A manual playback that ends re-enables Play.
    m_player.finish();
    QVERIFY(w->findChild<QWidget *>(QStringLiteral("mmcplay_play"))->isEnabled());
    QVERIFY(!w->findChild<QWidget *>(QStringLiteral("mmcplay_stop"))->isEnabled());
}

void tst_frmback::hideButton()
{
    auto w = start();
    auto *frame = w->findChild<QWidget *>(QStringLiteral("fraplayer"));
    QVERIFY(frame->isVisible());
    QVERIFY(child<QAction>(*w, "mnushowplayer")->isChecked());
    w->findChild<QPushButton *>(QStringLiteral("cmdhide"))->click();
    QVERIFY(!frame->isVisible());
    QVERIFY(!child<QAction>(*w, "mnushowplayer")->isChecked());
    child<QAction>(*w, "mnushowplayer")->trigger();
    QVERIFY(frame->isVisible());
}

void tst_frmback::manualModeHoldsEverything()
{
    auto w = start();
    QSignalSpy queued(&w->link(), &ZoneLink::frameQueued);
    const auto codes = [&queued](qsizetype from) {
        QList<int> list;
        for (qsizetype i = from; i < queued.size(); ++i)
            list << int(static_cast<unsigned char>(queued.at(i).at(0).toByteArray().at(2)));
        return list;
    };
    m_clock.set(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 0)));
    w->timerplayer_Timer();
    // The amplifier lead's AmpOpen, then the six frames of the start.
    QCOMPARE(codes(0), (QList<int> {CommandCode::AmpOpen, CommandCode::ZoneClose, CommandCode::ZoneOpen,
                                    CommandCode::DeviceClose, CommandCode::DeviceOpen, CommandCode::AmpClose,
                                    CommandCode::AmpOpen}));
    child<QAction>(*w, "mnumanual")->trigger();
    // Far past the end of the 30-second item: nothing is switched off, nothing starts.
    for (const QTime &t : {QTime(7, 30, 2), QTime(7, 35, 0), QTime(8, 0, 10)}) {
        m_clock.set(QDateTime(QDate(2026, 12, 7), t));
        w->timerplayer_Timer();
    }
    QCOMPARE(queued.size(), 7);
    QCOMPARE(child<QLineEdit>(*w, "txttime")->text(), QStringLiteral(" 2026年12月07日 星期一  08:00:10"));
    QVERIFY(w->scheduler().OutputsActive);
    // Back to automatic: the first tick closes what the item opened.
    child<QAction>(*w, "mnuauto")->trigger();
    w->timerplayer_Timer();
    QCOMPARE(codes(7), (QList<int> {CommandCode::ZoneClose, CommandCode::DeviceClose, CommandCode::AmpClose}));
    QVERIFY(!w->scheduler().OutputsActive);
    // The 08:00 row's start was missed while manual: it is passed over, not played late.
    QCOMPARE(w->programme().state(1), RowState::Done);
}

void tst_frmback::exitAsks_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("stillOpen");
    QTest::newRow("No keeps running") << int(MsgAnswer::No) << true;
    QTest::newRow("Yes closes") << int(MsgAnswer::Yes) << false;
}

void tst_frmback::exitAsks()
{
    QFETCH(int, answer);
    QFETCH(bool, stillOpen);
    auto w = start();
    m_dialogs.answers.enqueue(MsgAnswer(answer));
    child<QAction>(*w, "mnuexit")->trigger();
    QCOMPARE(m_dialogs.beeps, 1);
    QCOMPARE(m_dialogs.shown.last().text, QStringLiteral("真的要关闭本程序"));
    QCOMPARE(m_dialogs.shown.last().title, QStringLiteral("程序提示"));
    QCOMPARE(m_dialogs.shown.last().buttons, MsgButtons::YesNo);
    QCOMPARE(w->isVisible(), stillOpen);
}

QTEST_MAIN(tst_frmback)
#include "tst_frmback.moc"
