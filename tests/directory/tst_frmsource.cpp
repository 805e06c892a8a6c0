// The sources window driven through its controls, on a running console.

#include "console/appsettings.h"
#include "console/consolerig.h"
#include "console/settingsloader.h"
#include "directory/ampnamefile.h"
#include "directory/frmsource.h"
#include "platform/secondticker.h"
#include "support/gbkfiles.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>

using namespace Qt::StringLiterals;

namespace {
QString ampFile()
{
    QString text;
    for (int n = 1; n <= 8; ++n)
        text += u"\"%1号功放,东楼\"\n"_s.arg(n);
    for (int n = 1; n <= 8; ++n)
        text += u"\"%1\"\n"_s.arg(80 + n * 2.5);
    for (int n = 1; n <= 8; ++n)
        text += u"\"外设%1, 录音机\"\n"_s.arg(n);
    return text;
}
const QString kIni = u"[外设提前]\n外设1=00:00:30\n外设2=00:00:00\n外设3=00:10:00\n外设4=00:00:00\n"
                     "外设5=00:00:00\n外设6=00:00:00\n外设7=00:00:00\n外设8=01:00:00\n"_s;
} // namespace

class tst_frmsource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controls();
    void savesByteForByteForTheConsolesReaders();
    void missingFileOpensEmpty();
    void brokenFileIsTold();
    void pastedTextIsHeldToAFrequency();
    void quoteIsRefused();
    void failedSaveKeepsTheFile();
    void frequencyKeys_data();
    void frequencyKeys();
    void frequencyRange_data();
    void frequencyRange();
    void exitAndClose_data();
    void exitAndClose();
    void enterSaves();
    void nextItemUsesTheNewFrequency();

private:
    frmsource &open();
    template<class T = QLineEdit> T *child(const QString &name)
    {
        T *c = m_window->findChild<T *>(name);
        if (!c)
            qFatal("no control %s", qPrintable(name));
        return c;
    }
    void retype(const QString &name, const QString &text)
    {
        QLineEdit *edit = child(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        // Key by key, as typed: keyClicks knows only Latin-1.
        for (QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(edit, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), {});
        }
    }
    QByteArray ampBytes() { return GbkFiles::readBytes(m_rig->file(u"amp_name.dat"_s)); }
    const AppSettings &memory() { return m_rig->console().settings().values(); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmsource> m_window;
};

void tst_frmsource::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    GbkFiles::writeText(m_rig->file(u"amp_name.dat"_s), ampFile());
    GbkFiles::writeText(m_rig->file(u"config.ini"_s), kIni);
}

void tst_frmsource::cleanup()
{
    m_window.reset();
    m_rig.reset();
}

frmsource &tst_frmsource::open()
{
    Console &c = m_rig->start();
    m_window = std::make_unique<frmsource>(c.dialogs(), c.folder(), c.savedFiles());
    m_rig->dialogs.shown.clear();
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    if (!QTest::qWaitForWindowActive(m_window.get()))
        qFatal("the window did not become active");
    return *m_window;
}

void tst_frmsource::controls()
{
    frmsource &w = open();
    QCOMPARE(w.windowTitle(), u"节目源及外设名称设置"_s);
    QCOMPARE(child<QGroupBox>(u"fraamp"_s)->title(), u"功放名称"_s);
    QCOMPARE(child<QGroupBox>(u"fradevice"_s)->title(), u"外设名称及提前打开时间"_s);
    QCOMPARE(child<QGroupBox>(u"frafreq"_s)->title(), u"节目源频率(MHz)"_s);
    QCOMPARE(child<QPushButton>(u"cmdsave"_s)->text(), u"保 存"_s);
    QCOMPARE(child<QPushButton>(u"cmdquit"_s)->text(), u"退 出"_s);
    QCOMPARE(child<QLabel>(u"lblamp_2"_s)->text(), u"功放2："_s);
    QCOMPARE(child<QLabel>(u"lbldevice_7"_s)->text(), u"外设7："_s);
    QCOMPARE(child<QLabel>(u"lblfreq_8"_s)->text(), u"节目源8"_s);
    QCOMPARE(child(u"txtamp_3"_s)->text(), u"3号功放,东楼"_s);
    QCOMPARE(child(u"txtdevice_8"_s)->text(), u"外设8, 录音机"_s);
    QCOMPARE(child(u"txtfreq_1"_s)->text(), u"82.5"_s);
    QCOMPARE(child<QTimeEdit>(u"DTP_ahead_3"_s)->time(), QTime(0, 10));
    QCOMPARE(child<QTimeEdit>(u"DTP_ahead_8"_s)->text(), u"01:00:00"_s);
    QVERIFY(w.minimumSizeHint().width() >= 500);
    for (int n = 1; n <= 8; ++n) {
        for (const QString &name : {u"txtamp_%1"_s, u"txtdevice_%1"_s, u"txtfreq_%1"_s})
            QVERIFY(!child(name.arg(n))->accessibleName().isEmpty());
        QCOMPARE(child<QTimeEdit>(u"DTP_ahead_%1"_s.arg(n))->displayFormat(), u"HH:mm:ss"_s);
    }

    // Tab goes down each frame, a device's time after its name.
    QStringList expected;
    for (int n = 2; n <= 8; ++n)
        expected << u"txtamp_%1"_s.arg(n);
    for (int n = 1; n <= 8; ++n)
        expected << u"txtdevice_%1"_s.arg(n) << u"DTP_ahead_%1"_s.arg(n);
    for (int n = 1; n <= 8; ++n)
        expected << u"txtfreq_%1"_s.arg(n);
    expected << u"cmdsave"_s << u"cmdquit"_s << u"txtamp_1"_s;
    QCOMPARE(QApplication::focusWidget()->objectName(), u"txtamp_1"_s);
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    w.grab().save(QCoreApplication::applicationDirPath() + u"/frmsource.png"_s);
}

void tst_frmsource::savesByteForByteForTheConsolesReaders()
{
    open();
    const QByteArray ampBefore = ampBytes();
    const QByteArray iniBefore = GbkFiles::readBytes(m_rig->file(u"config.ini"_s));
    QTest::mouseClick(child<QPushButton>(u"cmdsave"_s), Qt::LeftButton);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"保存成功"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"存盘提示"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Information);
    QCOMPARE(ampBytes(), ampBefore);
    QCOMPARE(GbkFiles::readBytes(m_rig->file(u"config.ini"_s)), iniBefore);

    retype(u"txtamp_3"_s, u"礼堂,二楼 A栋"_s);
    retype(u"txtdevice_8"_s, u"CD机, 1号"_s);
    retype(u"txtfreq_2"_s, u"87.5"_s);
    child<QTimeEdit>(u"DTP_ahead_2"_s)->setTime(QTime(1, 15, 30));
    QTest::mouseClick(child<QPushButton>(u"cmdsave"_s), Qt::LeftButton);
    QCOMPARE(m_rig->dialogs.shown.last().text, u"保存成功"_s);

    // The file keeps 87.5 as typed; the console takes 875, as its own
    // readers make of the files.
    QVERIFY(ampBytes().contains("\r\n\"87.5\"\r\n"));
    QCOMPARE(ampBytes().count("\r\n"), 24);
    const AmpNamesRead read = readAmpNameFile(m_rig->file(u"amp_name.dat"_s));
    QVERIFY(read.ok);
    QCOMPARE(read.names.amps.at(2), u"礼堂,二楼 A栋"_s);
    QCOMPARE(read.names.devices.at(7), u"CD机, 1号"_s);
    AppSettings fromFiles;
    const AppFolder folder(m_rig->dir.path());
    SettingsLoader::LoadSourceFrequencies(folder, fromFiles);
    SettingsLoader::LoadDeviceLeadTimes(ProfileIni(folder.file(u"\\config.ini"_s)), fromFiles);
    QCOMPARE(fromFiles.SourceFrequency[2], qint16(875));
    QCOMPARE(fromFiles.DeviceLeadTime[2], u"01:15:30"_s);
    QCOMPARE(fromFiles.DeviceLeadTime[3], u"00:10:00"_s);
    QCOMPARE(memory().SourceFrequency, fromFiles.SourceFrequency);
    QCOMPARE(memory().DeviceLeadTime, fromFiles.DeviceLeadTime);
}

void tst_frmsource::missingFileOpensEmpty()
{
    QFile::remove(m_rig->file(u"amp_name.dat"_s));
    QFile::remove(m_rig->file(u"config.ini"_s));
    open();
    QCOMPARE(child(u"txtamp_1"_s)->text(), QString());
    QCOMPARE(child(u"txtfreq_8"_s)->text(), QString());
    QCOMPARE(child<QTimeEdit>(u"DTP_ahead_1"_s)->time(), QTime(0, 0));
    QTest::mouseClick(child<QPushButton>(u"cmdsave"_s), Qt::LeftButton);
    QCOMPARE(ampBytes(), QByteArray("\"\"\r\n").repeated(24));
    QCOMPARE(memory().DeviceLeadTime[5], u"00:00:00"_s);
}

void tst_frmsource::brokenFileIsTold()
{
    // A quote left open halfway: the fields after it cannot be read.
    GbkFiles::writeBytes(m_rig->file(u"amp_name.dat"_s), QByteArray("\"a\"\r\n\"b\r\n\"c\"\r\n"));
    open();
    QTRY_COMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.at(0).text.startsWith(u"amp_name.dat 读取不完整"_s));
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"存盘提示"_s);
    QCOMPARE(child(u"txtamp_1"_s)->text(), u"a"_s);
    // Told once only, also when the window is shown again.
    m_window->hide();
    m_window->show();
    QTest::qWait(50);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
}

void tst_frmsource::pastedTextIsHeldToAFrequency()
{
    open();
    QLineEdit *field = child(u"txtfreq_2"_s);
    field->clear();
    // Text that does not come by the keys (Shift+Insert, a drop) goes
    // through the field's own check.
    field->insert(u"abc"_s);
    QCOMPARE(field->text(), QString());
    field->insert(u"87.5"_s);
    QCOMPARE(field->text(), u"87.5"_s);
    field->insert(u"x"_s);
    QCOMPARE(field->text(), u"87.5"_s);
}

void tst_frmsource::quoteIsRefused()
{
    open();
    const QByteArray before = ampBytes();
    retype(u"txtdevice_2"_s, u"甲\"乙"_s);
    QTest::mouseClick(child<QPushButton>(u"cmdsave"_s), Qt::LeftButton);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.at(0).text.startsWith(u"外设2的名称含有双引号"_s));
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Exclamation);
    QCOMPARE(QApplication::focusWidget(), child(u"txtdevice_2"_s));
    QCOMPARE(child(u"txtdevice_2"_s)->selectedText(), u"甲\"乙"_s);
    QCOMPARE(ampBytes(), before);
}

void tst_frmsource::failedSaveKeepsTheFile()
{
    frmsource &w = open();
    const QByteArray before = ampBytes();
    retype(u"txtamp_1"_s, u"新名称"_s);
    QFile::setPermissions(m_rig->file(u"amp_name.dat"_s), QFile::ReadOwner);
    QTest::mouseClick(child<QPushButton>(u"cmdsave"_s), Qt::LeftButton);
    QFile::setPermissions(m_rig->file(u"amp_name.dat"_s), QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.at(0).text.contains(u"文件只读"_s));
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Error);
    QCOMPARE(ampBytes(), before);
    // Still modified: leaving asks.
    m_rig->dialogs.answers.enqueue(MsgAnswer::Cancel);
    QTest::mouseClick(child<QPushButton>(u"cmdquit"_s), Qt::LeftButton);
    QCOMPARE(m_rig->dialogs.shown.last().text, u"内容已被修改，保存吗？"_s);
    QVERIFY(w.isVisible());
}

void tst_frmsource::frequencyKeys_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key"); // pressed after the text, 0 for none
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("then"); // typed after the key
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("beeps");
    const int paste = (Qt::CTRL | Qt::Key_V).toCombined();
    QTest::newRow("digits and point") << u"87.5"_s << 0 << u"99"_s << QString() << u"87.5"_s << 0;
    QTest::newRow("points are not counted")
        << u"1..2"_s << 0 << u"99"_s << QString() << u"1..2"_s << 0;
    QTest::newRow("letters, minus, blank")
        << u"9a-8 "_s << 0 << u"99"_s << QString() << u"98"_s << 3;
    QTest::newRow("full-width digit") << u"9１"_s << 0 << u"99"_s << QString() << u"9"_s << 1;
    QTest::newRow("backspace") << u"12"_s << int(Qt::Key_Backspace) << u"99"_s << QString()
                               << u"1"_s << 0;
    QTest::newRow("paste") << u"12"_s << paste << u"99"_s << QString() << u"1299"_s << 0;
    QTest::newRow("paste of 87.5a refused")
        << u"1"_s << paste << u"87.5a"_s << QString() << u"1"_s << 1;
    QTest::newRow("ctrl+a, then typing replaces")
        << u"12"_s << (Qt::CTRL | Qt::Key_A).toCombined() << u"99"_s << u"87.5"_s << u"87.5"_s << 0;
    QTest::newRow("delete") << u"12"_s << int(Qt::Key_Delete) << u"99"_s << QString() << u"12"_s
                            << 0;
    QTest::newRow("left, then a digit")
        << u"12"_s << int(Qt::Key_Left) << u"99"_s << u"3"_s << u"132"_s << 0;
}

void tst_frmsource::frequencyKeys()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, clipboard);
    QFETCH(QString, then);
    QFETCH(QString, text);
    QFETCH(int, beeps);
    open();
    QApplication::clipboard()->setText(clipboard);
    retype(u"txtfreq_1"_s, typed);
    if (key != 0) {
        const QKeyCombination combination = QKeyCombination::fromCombined(key);
        QTest::keyClick(child(u"txtfreq_1"_s), combination.key(), combination.keyboardModifiers());
    }
    QTest::keyClicks(child(u"txtfreq_1"_s), then);
    QCOMPARE(child(u"txtfreq_1"_s)->text(), text);
    QCOMPARE(m_rig->dialogs.beeps, beeps);
}

void tst_frmsource::frequencyRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("leaveBy");
    QTest::addColumn<bool>("refused");
    QTest::newRow("69.9") << u"69.9"_s << u"tab"_s << true;
    QTest::newRow("110.1") << u"110.1"_s << u"tab"_s << true;
    QTest::newRow("empty") << QString() << u"tab"_s << true;
    QTest::newRow("70") << u"70"_s << u"tab"_s << false;
    QTest::newRow("110") << u"110"_s << u"tab"_s << false;
    QTest::newRow("69.9, click on save") << u"69.9"_s << u"cmdsave"_s << true;
    // Another window taking the focus is not leaving the field.
    QTest::newRow("69.9, other window") << u"69.9"_s << u"window"_s << false;
}

void tst_frmsource::frequencyRange()
{
    QFETCH(QString, text);
    QFETCH(QString, leaveBy);
    QFETCH(bool, refused);
    open();
    // The next field is out of range too: taking the focus back from it
    // must not bring a second message.
    child(u"txtfreq_4"_s)->clear();
    const QByteArray before = ampBytes();
    retype(u"txtfreq_3"_s, text);
    QWidget other;
    if (leaveBy == u"cmdsave") {
        QTest::mouseClick(child<QPushButton>(leaveBy), Qt::LeftButton);
    } else if (leaveBy == u"window") {
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else {
        QTest::keyClick(child(u"txtfreq_3"_s), Qt::Key_Tab);
    }
    // The check runs once the focus has settled; a check it caused would
    // come in a later round.
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents(m_window.get(), QEvent::MetaCall);
    if (!refused) {
        QVERIFY(m_rig->dialogs.shown.isEmpty());
        QCOMPARE(m_window->focusWidget(),
                 child(leaveBy == u"tab" ? u"txtfreq_4"_s : u"txtfreq_3"_s));
        return;
    }
    QCOMPARE(m_rig->dialogs.shown.size(), 1); // no save behind the message
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"频率不对，请输入70MHz-110MHz之间的频率"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"系统提示"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Error);
    // Raised by a focus change: shown without waiting, with or without a
    // button behind it.
    QVERIFY(!m_rig->dialogs.shown.at(0).waited);
    QCOMPARE(QApplication::focusWidget(), child(u"txtfreq_3"_s));
    QCOMPARE(child(u"txtfreq_3"_s)->selectedText(), text);
    QCOMPARE(ampBytes(), before);
}

void tst_frmsource::exitAndClose_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question"); // empty: none asked
    QTest::addColumn<bool>("stays");
    QTest::addColumn<bool>("saved");
    const QString exitQ = u"内容已被修改，保存吗？"_s;
    const QString closeQ = u"播放内容已被修改，保存吗？"_s;
    QTest::newRow("exit unchanged")
        << u"cmdquit"_s << false << int(MsgAnswer::Yes) << QString() << false << false;
    QTest::newRow("exit yes") << u"cmdquit"_s << true << int(MsgAnswer::Yes) << exitQ << false
                              << true;
    QTest::newRow("exit no") << u"cmdquit"_s << true << int(MsgAnswer::No) << exitQ << false
                             << false;
    QTest::newRow("exit cancel") << u"cmdquit"_s << true << int(MsgAnswer::Cancel) << exitQ << true
                                 << false;
    QTest::newRow("escape no") << u"escape"_s << true << int(MsgAnswer::No) << exitQ << false
                               << false;
    QTest::newRow("close unchanged")
        << u"close"_s << false << int(MsgAnswer::Yes) << QString() << false << false;
    QTest::newRow("close yes") << u"close"_s << true << int(MsgAnswer::Yes) << closeQ << false
                               << true;
    QTest::newRow("close no") << u"close"_s << true << int(MsgAnswer::No) << closeQ << false
                              << false;
    QTest::newRow("close cancel") << u"close"_s << true << int(MsgAnswer::Cancel) << closeQ << true
                                  << false;
}

void tst_frmsource::exitAndClose()
{
    QFETCH(QString, how);
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(bool, stays);
    QFETCH(bool, saved);
    frmsource &w = open();
    const QByteArray before = ampBytes();
    if (edited)
        retype(u"txtfreq_1"_s, u"99"_s); // a frequency alone is a change
    m_rig->dialogs.answers.enqueue(MsgAnswer(answer));
    if (how == u"cmdquit")
        QTest::mouseClick(child<QPushButton>(how), Qt::LeftButton);
    else if (how == u"escape")
        QTest::keyClick(child<QTimeEdit>(u"DTP_ahead_1"_s), Qt::Key_Escape);
    else
        w.close();
    QStringList questions;
    for (const FakeDialogs::Shown &s : std::as_const(m_rig->dialogs.shown)) {
        if (s.buttons == MsgButtons::YesNoCancel) {
            QCOMPARE(s.title, u"存盘提示"_s);
            QCOMPARE(s.icon, MsgIcon::Question);
            questions << s.text;
        }
    }
    QCOMPARE(questions, question.isEmpty() ? QStringList() : QStringList {question});
    QCOMPARE(w.isVisible(), stays);
    QCOMPARE(ampBytes() != before, saved);
    QCOMPARE(memory().SourceFrequency[1], qint16(saved ? 990 : 825));
}

void tst_frmsource::enterSaves()
{
    open();
    retype(u"txtamp_5"_s, u"操场"_s);
    QTest::keyClick(child(u"txtamp_5"_s), Qt::Key_Return);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"保存成功"_s);
    QCOMPARE(readAmpNameFile(m_rig->file(u"amp_name.dat"_s)).names.amps.at(4), u"操场"_s);
}

void tst_frmsource::nextItemUsesTheNewFrequency()
{
    open();
    Console &console = m_rig->console();
    QVERIFY(m_rig->port.isOpen());
    QCOMPARE(memory().SourceFrequency[1], qint16(825)); // from the file at start-up
    retype(u"txtfreq_1"_s, u"98.6"_s);
    QTest::mouseClick(child<QPushButton>(u"cmdsave"_s), Qt::LeftButton);

    QSignalSpy queued(&console.link(), &ZoneLink::frameQueued);
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 0)));
    console.timerplayer_Timer();
    FrameDecoder decoder;
    QList<FrameDecoder::Frame> zoneOpens;
    for (const QList<QVariant> &signal : std::as_const(queued)) {
        for (const FrameDecoder::Piece &piece : decoder.feed(signal.at(0).toByteArray())) {
            if (piece.isFrame && piece.frame.code == CommandCode::ZoneOpen)
                zoneOpens << piece.frame;
        }
    }
    QVERIFY(!zoneOpens.isEmpty());
    QCOMPARE(zoneOpens.first().p1, 986 / 100);
    QCOMPARE(zoneOpens.first().p2, 986 % 100);
}

QTEST_MAIN(tst_frmsource)
#include "tst_frmsource.moc"
