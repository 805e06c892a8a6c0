// The settings dialog's 紧急广播 tab: the channel with its frequency, the
// file and where the sound comes from, shown as stored and stored by Apply.

#include "console/emergencybroadcast.h"
#include "console/frmsetup.h"
#include "consolerig.h"
#include "support/consolewindows.h"
#include "support/gbkfiles.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmsetupEmergency : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void showsAndStores_data();
    void showsAndStores();
    void fileChosenByDialog();

private:
    frmsetup &open();
    template<class T> T *child(const QString &name)
    {
        T *w = m_dialog->findChild<T *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmsetup> m_dialog;
};

void tst_frmsetupEmergency::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_frmsetupEmergency::cleanup()
{
    m_dialog.reset();
    m_rig.reset();
}

frmsetup &tst_frmsetupEmergency::open()
{
    m_dialog = std::make_unique<frmsetup>(setupServices(m_rig->console()));
    m_dialog->show();
    return *m_dialog;
}

void tst_frmsetupEmergency::showsAndStores_data()
{
    QTest::addColumn<QString>("storedChannel"); // empty: none stored
    QTest::addColumn<QString>("storedLineIn");
    QTest::addColumn<int>("shownIndex");
    QTest::addColumn<bool>("shownLineIn");
    QTest::addColumn<int>("chooseIndex");
    QTest::addColumn<bool>("chooseLineIn");
    QTest::newRow("nothing stored: channel 1, the file")
        << QString() << QString() << 0 << false << 4 << true;
    QTest::newRow("channel 8, the line input") << u"8"_s << u"True"_s << 7 << true << 2 << false;
    QTest::newRow("channel 3, the file, kept") << u"3"_s << u"False"_s << 2 << false << 2 << false;
}

void tst_frmsetupEmergency::showsAndStores()
{
    QFETCH(QString, storedChannel);
    QFETCH(QString, storedLineIn);
    QFETCH(int, chooseIndex);
    QFETCH(bool, chooseLineIn);
    if (!storedChannel.isEmpty())
        m_rig->store.values.insert(u"operation/emergency_channel"_s, storedChannel);
    if (!storedLineIn.isEmpty())
        m_rig->store.values.insert(u"operation/emergency_line_in"_s, storedLineIn);
    m_rig->store.values.insert(u"operation/emergency_file"_s, u"/srv/警报.mp3"_s);
    m_rig->start();
    open();
    auto *tabs = child<QTabWidget>(u"SSTab1"_s);
    QCOMPARE(tabs->tabText(tabs->count() - 1), u"紧急广播"_s);
    auto *channel = child<QComboBox>(u"cmbemergencychannel"_s);
    QCOMPARE(channel->count(), 8);
    QTEST(channel->currentIndex(), "shownIndex");
    QTEST(child<QRadioButton>(u"optemergencylinein"_s)->isChecked(), "shownLineIn");
    QCOMPARE(child<QRadioButton>(u"optemergencyfile"_s)->isChecked(),
             !child<QRadioButton>(u"optemergencylinein"_s)->isChecked());
    QCOMPARE(child<QLineEdit>(u"txtemergencyfile"_s)->text(), u"/srv/警报.mp3"_s);
    // The file is chosen only while it is what plays.
    QCOMPARE(child<QLineEdit>(u"txtemergencyfile"_s)->isEnabled(),
             child<QRadioButton>(u"optemergencyfile"_s)->isChecked());

    channel->setCurrentIndex(chooseIndex);
    child<QRadioButton>(chooseLineIn ? u"optemergencylinein"_s : u"optemergencyfile"_s)
        ->setChecked(true);
    QCOMPARE(child<QPushButton>(u"cmdemergencyfile"_s)->isEnabled(), !chooseLineIn);
    child<QLineEdit>(u"txtemergencyfile"_s)->setText(u"/srv/疏散.wav"_s);
    child<QPushButton>(u"cmdapp"_s)->click();
    const AppSettings &s = m_rig->console().settings().values();
    QCOMPARE(s.EmergencyChannel, chooseIndex + 1);
    QCOMPARE(s.EmergencyLineIn, chooseLineIn);
    QCOMPARE(s.EmergencyFile, u"/srv/疏散.wav"_s);
    QCOMPARE(m_rig->store.values.value(u"operation/emergency_channel"_s),
             QString::number(chooseIndex + 1));
    QCOMPARE(m_rig->store.values.value(u"operation/emergency_file"_s), u"/srv/疏散.wav"_s);
}

void tst_frmsetupEmergency::fileChosenByDialog()
{
    m_rig->start();
    open();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(5);
    m_rig->dialogs.files.enqueue(u"/srv/alarm.mp3"_s);
    child<QPushButton>(u"cmdemergencyfile"_s)->click();
    QCOMPARE(child<QLineEdit>(u"txtemergencyfile"_s)->text(), u"/srv/alarm.mp3"_s);
    m_dialog->grab().save(QCoreApplication::applicationDirPath() + u"/frmsetup_emergency.png"_s);
}

QTEST_MAIN(tst_frmsetupEmergency)
#include "tst_frmsetup_emergency.moc"
