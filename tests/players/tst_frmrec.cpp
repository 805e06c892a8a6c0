// The recorder window on a running console with a fake recorder, player and
// mixer, driven through its controls: the zero-length message, the file
// dialogs, the question before an unsaved recording goes (asked when the
// operator gives the command, never when the recorder reports), the slider
// shown, and saves and added takes that run in the background, show their
// progress and can be stopped.

#include "console/consolerig.h"
#include "players/frmrec.h"
#include "players/recordingwave.h"
#include "support/fakerecorder.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
const QString kWavFilter = u"wav格式文件(*.wav)|*.wav"_s;
const QString kQuestion = u"录音尚未保存，保存吗？"_s;
} // namespace

class tst_frmrec : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controlsAndKeyboard();
    void saveRightAfterOpeningSaysZeroLength_data();
    void saveRightAfterOpeningSaysZeroLength();
    void saveThroughTheDialog_data();
    void saveThroughTheDialog();
    void defaultExtensionAsksBeforeReplacing_data();
    void defaultExtensionAsksBeforeReplacing();
    void openThroughTheDialog();
    void unsavedRecordingIsAskedAbout_data();
    void unsavedRecordingIsAskedAbout();
    void closingWhileRecordingAsksAtOnceAndWaitsForTheTake_data();
    void closingWhileRecordingAsksAtOnceAndWaitsForTheTake();
    void stoppedSaveLeavesTheOldFile();
    void closingWhileSavingClosesOnceSaved();
    void stoppedAdditionDropsTheTake();
    void sliderAndLabelsShowTheRecording();
    void transportButtonsFollowTheMode();
    void micVolume();
    void noMicControl();
    void deviceErrorIsShownInTheControl();

private:
    frmrec &open();
    template<class T> T *child(const QString &name) { return m_window->findChild<T *>(name); }
    void click(const QString &button)
    {
        auto *b = m_window->findChild<QAbstractButton *>(button);
        QVERIFY2(b, qPrintable(button));
        QVERIFY2(b->isEnabled(), qPrintable(button));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // Records a take of ms milliseconds through the buttons.
    void recordTake(qint64 ms);
    // Until the save under way ended (or the window went).
    void waitForTheSave();
    QString text(const QString &label) { return child<QLabel>(label)->text(); }
    QStringList questions() const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<FakeRecorder> m_recorder;
    std::unique_ptr<FakeMediaPlayer> m_player;
    QPointer<frmrec> m_window;
};

void tst_frmrec::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_recorder = std::make_unique<FakeRecorder>();
    m_player = std::make_unique<FakeMediaPlayer>();
    QDir().mkpath(m_rig->file(u"other"_s));
}

void tst_frmrec::cleanup()
{
    delete m_window;
    m_player.reset();
    m_recorder.reset();
    m_rig.reset();
}

frmrec &tst_frmrec::open()
{
    Console &c = m_rig->start();
    m_rig->dialogs.shown.clear();
    m_window = new frmrec(c.dialogs(), c.folder(), *m_recorder, *m_player, m_rig->mixer);
    m_window->setAttribute(Qt::WA_DeleteOnClose); // as the main window opens it
    m_window->show();
    QApplication::setActiveWindow(m_window);
    if (!QTest::qWaitForWindowActive(m_window))
        qFatal("the window did not become active");
    return *m_window;
}

void tst_frmrec::recordTake(qint64 ms)
{
    click(u"mmcrec_record"_s);
    m_recorder->advance(ms);
    click(u"mmcrec_stop"_s);
    m_recorder->complete();
    // A take after the first is added in the background.
    QTRY_COMPARE(m_window->session().mode(), RecordingSession::Mode::Stopped);
}

void tst_frmrec::waitForTheSave()
{
    QTRY_VERIFY(m_window.isNull() || !m_window->session().isSaving());
}

QStringList tst_frmrec::questions() const
{
    QStringList texts;
    for (const FakeDialogs::Shown &s : m_rig->dialogs.shown)
        texts << s.text;
    return texts;
}

void tst_frmrec::controlsAndKeyboard()
{
    frmrec &w = open();
    QCOMPARE(w.windowTitle(), u"录音机"_s);
    QCOMPARE(w.objectName(), u"frmrec"_s);
    const QList<std::pair<QString, QString>> buttons {
        {u"cmdnew"_s, u"新建"_s},      {u"cmdopen"_s, u"打开"_s},
        {u"cmdsave"_s, u"保存"_s},     {u"cmdsaveas"_s, u"另存为"_s},
        {u"cmdexit"_s, u"退出"_s},     {u"mmcrec_record"_s, u"录音"_s},
        {u"mmcrec_play"_s, u"播放"_s}, {u"mmcrec_pause"_s, u"暂停"_s},
        {u"mmcrec_stop"_s, u"停止"_s},
    };
    for (const auto &[name, caption] : buttons)
        QCOMPARE(child<QAbstractButton>(name)->text(), caption);
    QVERIFY(child<QWidget>(u"mmcrec"_s)->isAncestorOf(child<QWidget>(u"mmcrec_play"_s)));
    QCOMPARE(text(u"lblposition"_s), u"位 置\n00:00"_s);
    QCOMPARE(text(u"lbltotaltime"_s), u"长 度\n00:00"_s);
    QVERIFY(child<QLabel>(u"lblposition"_s)->accessibleName().isEmpty());
    auto *slider = child<QSlider>(u"Sliderrec"_s);
    QCOMPARE(slider->accessibleName(), u"Sliderrec"_s);
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(child<QSlider>(u"Slidermic"_s)->accessibleName(), u"Slidermic"_s);
    QVERIFY(w.minimumSizeHint().width() >= 300);

    // Tab follows the layout; buttons that cannot act now are passed over.
    QCOMPARE(QApplication::focusWidget()->objectName(), u"mmcrec_record"_s);
    const QStringList order {u"Slidermic"_s, u"cmdnew"_s,  u"cmdopen"_s,      u"cmdsave"_s,
                             u"cmdsaveas"_s, u"cmdexit"_s, u"mmcrec_record"_s};
    for (const QString &name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
    // Enter presses the focused button.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_recorder->state(), Recorder::State::Recording);
    m_recorder->advance(1000);
    click(u"mmcrec_stop"_s);
    m_recorder->complete();

    // Escape closes through the same question as Exit; the window goes, and
    // its scratch folder with it.
    const QString scratch = w.session().scratchFolder();
    QVERIFY(QDir(scratch).exists());
    m_rig->dialogs.answers.enqueue(MsgAnswer::No);
    QTest::keyClick(&w, Qt::Key_Escape);
    QCOMPARE(questions(), QStringList {kQuestion});
    QTRY_VERIFY(m_window.isNull());
    QVERIFY(!QDir(scratch).exists());
}

void tst_frmrec::saveRightAfterOpeningSaysZeroLength_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("保存") << u"cmdsave"_s;
    QTest::newRow("另存为") << u"cmdsaveas"_s;
}

void tst_frmrec::saveRightAfterOpeningSaysZeroLength()
{
    QFETCH(QString, button);
    open();
    m_rig->dialogs.files.enqueue(m_rig->file(u"other/x.wav"_s)); // would be taken by a dialog
    click(button);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    const FakeDialogs::Shown &shown = m_rig->dialogs.shown.constFirst();
    QCOMPARE(shown.text, u"文件长度为零，无需保存！"_s);
    QCOMPARE(shown.title, u"保存文件提示"_s);
    QCOMPARE(shown.icon, MsgIcon::Information);
    QCOMPARE(shown.buttons, MsgButtons::Ok);
    QVERIFY(m_rig->dialogs.fileDialogTitles.isEmpty());
    QVERIFY(QDir(m_rig->file(u"other"_s)).isEmpty());
}

void tst_frmrec::saveThroughTheDialog_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("written");
    QTest::newRow("保存, name with its extension") << u"cmdsave"_s << u"a.wav"_s << u"a.wav"_s;
    QTest::newRow("另存为, the default extension") << u"cmdsaveas"_s << u"b"_s << u"b.wav"_s;
    QTest::newRow("another extension stays") << u"cmdsave"_s << u"c.snd"_s << u"c.snd"_s;
}

void tst_frmrec::saveThroughTheDialog()
{
    QFETCH(QString, button);
    QFETCH(QString, answer);
    QFETCH(QString, written);
    frmrec &w = open();
    recordTake(2000);
    m_rig->dialogs.files.enqueue(m_rig->file(u"other/"_s + answer));
    click(button);
    waitForTheSave();
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"保存录音文件"_s});
    QCOMPARE(m_rig->dialogs.fileDialogFolders, QStringList {m_rig->file(u"other"_s)});
    QCOMPARE(m_rig->dialogs.fileDialogFilters, QStringList {kWavFilter});
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    const QString path = m_rig->file(u"other/"_s + written);
    QCOMPARE(GbkFiles::readBytes(path), GbkFiles::readBytes(w.session().fileName()));
    QVERIFY(!w.session().isUnsaved());
    // Saved: closing asks nothing.
    w.close();
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    QTRY_VERIFY(m_window.isNull());
}

void tst_frmrec::defaultExtensionAsksBeforeReplacing_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("是") << MsgAnswer::Yes << true;
    QTest::newRow("否") << MsgAnswer::No << false;
}

void tst_frmrec::defaultExtensionAsksBeforeReplacing()
{
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, replaced);
    frmrec &w = open();
    recordTake(1000);
    const QString existing = m_rig->file(u"other/早操.wav"_s);
    GbkFiles::writeBytes(existing, "older recording");
    m_rig->dialogs.files.enqueue(m_rig->file(u"other/早操"_s));
    m_rig->dialogs.answers.enqueue(answer);
    click(u"cmdsave"_s);
    waitForTheSave();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.constFirst().text, u"早操.wav 已存在。\n要替换它吗？"_s);
    QCOMPARE(m_rig->dialogs.shown.constFirst().buttons, MsgButtons::YesNo);
    QCOMPARE(GbkFiles::readBytes(existing) != "older recording", replaced);
    QCOMPARE(w.session().isUnsaved(), !replaced);
    QVERIFY(!QFile::exists(m_rig->file(u"other/早操"_s)));
}

void tst_frmrec::openThroughTheDialog()
{
    frmrec &w = open();
    // Cancelled: nothing changes.
    click(u"cmdopen"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"打开WAV格式录音文件"_s});
    QCOMPARE(m_rig->dialogs.fileDialogFolders, QStringList {QString()});
    QCOMPARE(m_rig->dialogs.fileDialogFilters, QStringList {kWavFilter});
    QVERIFY(w.session().fileName().isEmpty());

    const QString wav = m_rig->file(u"other/广播操.wav"_s);
    GbkFiles::writeBytes(wav, TestMedia::wav(2.5, 440, 8000));
    m_rig->dialogs.files.enqueue(wav);
    click(u"cmdopen"_s);
    QCOMPARE(w.session().fileName(), wav);
    QCOMPARE(text(u"lbltotaltime"_s), u"长 度\n00:02"_s);
    QCOMPARE(text(u"lblposition"_s), u"位 置\n00:00"_s);
    QCOMPARE(child<QSlider>(u"Sliderrec"_s)->value(), 0);
    QVERIFY(child<QWidget>(u"mmcrec_play"_s)->isEnabled());
    QVERIFY(m_rig->dialogs.shown.isEmpty()); // nothing unsaved was there to ask about
    click(u"mmcrec_play"_s);
    QCOMPARE(m_player->calls.constLast(), u"load "_s + wav);
}

void tst_frmrec::unsavedRecordingIsAskedAbout_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("saveDialogAnswered");
    QTest::addColumn<bool>("goesOn"); // the command went ahead
    QTest::addColumn<bool>("saved");

    QTest::newRow("新建, 否: discarded") << u"cmdnew"_s << MsgAnswer::No << false << true << false;
    QTest::newRow("新建, 取消: kept")
        << u"cmdnew"_s << MsgAnswer::Cancel << false << false << false;
    QTest::newRow("新建, 是: saved first") << u"cmdnew"_s << MsgAnswer::Yes << true << true << true;
    QTest::newRow("新建, 是, save dialog cancelled: kept")
        << u"cmdnew"_s << MsgAnswer::Yes << false << false << false;
    QTest::newRow("打开, 否") << u"cmdopen"_s << MsgAnswer::No << false << true << false;
    QTest::newRow("打开, 取消") << u"cmdopen"_s << MsgAnswer::Cancel << false << false << false;
    QTest::newRow("打开, 是") << u"cmdopen"_s << MsgAnswer::Yes << true << true << true;
    QTest::newRow("退出, 否") << u"cmdexit"_s << MsgAnswer::No << false << true << false;
    QTest::newRow("退出, 取消") << u"cmdexit"_s << MsgAnswer::Cancel << false << false << false;
    QTest::newRow("退出, 是") << u"cmdexit"_s << MsgAnswer::Yes << true << true << true;
    QTest::newRow("退出, 是, save dialog cancelled")
        << u"cmdexit"_s << MsgAnswer::Yes << false << false << false;
}

void tst_frmrec::unsavedRecordingIsAskedAbout()
{
    QFETCH(QString, command);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, saveDialogAnswered);
    QFETCH(bool, goesOn);
    QFETCH(bool, saved);
    frmrec &w = open();
    recordTake(3000);
    const QString savedPath = m_rig->file(u"other/saved.wav"_s);
    const QString opened = m_rig->file(u"other/opened.wav"_s);
    GbkFiles::writeBytes(opened, TestMedia::wav(1.0, 440, 8000));
    m_rig->dialogs.answers.enqueue(answer);
    if (saveDialogAnswered)
        m_rig->dialogs.files.enqueue(savedPath);
    if (command == u"cmdopen"_s)
        m_rig->dialogs.files.enqueue(opened);
    click(command);

    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    const FakeDialogs::Shown &shown = m_rig->dialogs.shown.constFirst();
    QCOMPARE(shown.text, kQuestion);
    QCOMPARE(shown.title, u"录音机"_s);
    QCOMPARE(shown.icon, MsgIcon::Question);
    QCOMPARE(shown.buttons, MsgButtons::YesNoCancel);
    // A save goes on in the background; the command goes on once it is done.
    waitForTheSave();
    QCOMPARE(QFile::exists(savedPath), saved);

    if (command == u"cmdexit"_s) {
        if (goesOn)
            QTRY_VERIFY(m_window.isNull());
        else
            QVERIFY(w.isVisible());
        return;
    }
    if (!goesOn) {
        QCOMPARE(w.session().lengthMs(), 3000);
        QVERIFY(w.session().isUnsaved());
        return;
    }
    QVERIFY(!w.session().isUnsaved());
    if (command == u"cmdnew"_s) {
        QCOMPARE(text(u"lbltotaltime"_s), u"长 度\n00:00"_s);
        QCOMPARE(w.session().lengthMs(), 0);
    } else {
        QCOMPARE(w.session().fileName(), opened);
        QCOMPARE(text(u"lbltotaltime"_s), u"长 度\n00:01"_s);
    }
    // Nothing unsaved any more: the next New asks nothing.
    click(u"cmdnew"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
}

void tst_frmrec::closingWhileRecordingAsksAtOnceAndWaitsForTheTake_data()
{
    QTest::addColumn<qint64>("recorded");
    QTest::addColumn<MsgAnswer>("answer"); // Ok: no question
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("saved");
    QTest::newRow("取消: kept") << qint64(4000) << MsgAnswer::Cancel << false << false;
    QTest::newRow("否: goes") << qint64(4000) << MsgAnswer::No << true << false;
    QTest::newRow("是: saved, then goes") << qint64(4000) << MsgAnswer::Yes << true << true;
    QTest::newRow("nothing recorded: no question") << qint64(0) << MsgAnswer::Ok << true << false;
}

void tst_frmrec::closingWhileRecordingAsksAtOnceAndWaitsForTheTake()
{
    QFETCH(qint64, recorded);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, closes);
    QFETCH(bool, saved);
    frmrec &w = open();
    click(u"mmcrec_record"_s);
    m_recorder->advance(recorded);
    const QString savedPath = m_rig->file(u"other/closing.wav"_s);
    if (answer != MsgAnswer::Ok)
        m_rig->dialogs.answers.enqueue(answer);
    if (answer == MsgAnswer::Yes)
        m_rig->dialogs.files.enqueue(savedPath);
    click(u"cmdexit"_s);
    // The take is closed first; the question comes now, while the operator
    // is at the window, and the window waits for the take.
    QCOMPARE(m_recorder->calls.constLast(), u"stop"_s);
    QCOMPARE(questions(), answer == MsgAnswer::Ok ? QStringList() : QStringList {kQuestion});
    QVERIFY(w.isVisible());
    m_recorder->complete();
    // Nothing more is asked when the recorder reports.
    if (closes)
        QTRY_VERIFY(m_window.isNull());
    else
        QTRY_VERIFY(!w.session().isCopying());
    QCOMPARE(m_rig->dialogs.shown.size(), answer == MsgAnswer::Ok ? 0 : 1);
    QCOMPARE(QFile::exists(savedPath), saved);
    if (saved)
        QCOMPARE(RecordingWave::read(savedPath).durationMs(), recorded);
    if (closes)
        return;
    QCOMPARE(w.session().lengthMs(), recorded);
    QVERIFY(w.session().isUnsaved());
    // Closing again asks again and goes.
    m_rig->dialogs.answers.enqueue(MsgAnswer::No);
    w.close();
    QTRY_VERIFY(m_window.isNull());
    QCOMPARE(m_rig->dialogs.shown.size(), 2);
}

void tst_frmrec::stoppedSaveLeavesTheOldFile()
{
    frmrec &w = open();
    recordTake(2000);
    const QString existing = m_rig->file(u"other/早操.wav"_s);
    GbkFiles::writeBytes(existing, "older recording");
    m_rig->dialogs.files.enqueue(existing);
    auto *progress = child<QWidget>(u"prgcopy"_s);
    auto *stop = child<QPushButton>(u"cmdstopcopy"_s);
    QVERIFY(!progress->isVisible());
    QVERIFY(!stop->isVisible());
    click(u"cmdsave"_s);
    // Under way: shown, and nothing else that would touch the recording starts.
    QVERIFY(w.session().isSaving());
    QVERIFY(progress->isVisible());
    QCOMPARE(stop->text(), u"取消"_s);
    for (const char16_t *name : {u"mmcrec_record", u"cmdnew", u"cmdopen", u"cmdsave", u"cmdsaveas"})
        QVERIFY(!child<QWidget>(QString::fromUtf16(name))->isEnabled());
    click(u"cmdstopcopy"_s);
    waitForTheSave();
    QCOMPARE(GbkFiles::readBytes(existing), "older recording");
    QCOMPARE(QDir(m_rig->file(u"other"_s)).entryList(QDir::Files), QStringList {u"早操.wav"_s});
    QVERIFY(w.session().isUnsaved());
    QVERIFY(!progress->isVisible());
    QVERIFY(!child<QLabel>(u"mmcrec_error"_s)->isVisible()); // the operator's own choice
    QVERIFY(child<QWidget>(u"mmcrec_record"_s)->isEnabled());
    QVERIFY(m_rig->dialogs.shown.isEmpty());

    // Saved again, it is there whole, and the bar has shown it to the end.
    QList<int> shown;
    connect(child<QProgressBar>(u"prgcopy"_s), &QProgressBar::valueChanged, this,
            [&shown](int value) { shown.append(value); });
    m_rig->dialogs.files.enqueue(existing);
    click(u"cmdsave"_s);
    waitForTheSave();
    QCOMPARE(GbkFiles::readBytes(existing), GbkFiles::readBytes(w.session().fileName()));
    QVERIFY(!w.session().isUnsaved());
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.constLast(), 100);
}

void tst_frmrec::closingWhileSavingClosesOnceSaved()
{
    frmrec &w = open();
    recordTake(2000);
    const QString path = m_rig->file(u"other/a.wav"_s);
    m_rig->dialogs.files.enqueue(path);
    click(u"cmdsave"_s);
    QVERIFY(w.session().isSaving());
    w.close();
    QVERIFY(w.isVisible()); // waits for the save
    QTRY_VERIFY(m_window.isNull());
    QCOMPARE(RecordingWave::read(path).durationMs(), 2000);
    QVERIFY(m_rig->dialogs.shown.isEmpty()); // saved: nothing to ask
}

void tst_frmrec::stoppedAdditionDropsTheTake()
{
    frmrec &w = open();
    recordTake(2000);
    const QByteArray recording = GbkFiles::readBytes(w.session().fileName());
    click(u"mmcrec_record"_s);
    m_recorder->advance(3000);
    click(u"mmcrec_stop"_s);
    m_recorder->complete();
    // The take is being added after the recording.
    QVERIFY(w.session().isCopying());
    QVERIFY(child<QWidget>(u"prgcopy"_s)->isVisible());
    QCOMPARE(child<QProgressBar>(u"prgcopy"_s)->format(), u"正在接上录音 %p%"_s);
    click(u"cmdstopcopy"_s);
    QTRY_COMPARE(w.session().mode(), RecordingSession::Mode::Stopped);
    QCOMPARE(w.session().lengthMs(), 2000);
    QCOMPARE(GbkFiles::readBytes(w.session().fileName()), recording);
    QCOMPARE(text(u"mmcrec_error"_s), u"录音失败：已停止，这段录音没有接上"_s);
    QVERIFY(!child<QWidget>(u"prgcopy"_s)->isVisible());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmrec::sliderAndLabelsShowTheRecording()
{
    open();
    auto *slider = child<QSlider>(u"Sliderrec"_s);
    click(u"mmcrec_record"_s);
    m_recorder->advance(150000);
    QCOMPARE(slider->value(), 75);
    QCOMPARE(text(u"lblposition"_s), u"位 置\n02:30"_s);
    QCOMPARE(text(u"lbltotaltime"_s), u"长 度\n02:30"_s);
    m_recorder->advance(50000);
    QCOMPARE(slider->value(), 66); // 200 of 300
    QCOMPARE(text(u"lblposition"_s), u"位 置\n03:20"_s);
}

void tst_frmrec::transportButtonsFollowTheMode()
{
    open();
    const auto enabled = [this] {
        QString on;
        for (const char16_t *name :
             {u"mmcrec_record", u"mmcrec_play", u"mmcrec_pause", u"mmcrec_stop", u"cmdnew",
              u"cmdopen", u"cmdsave", u"cmdsaveas"})
            on += child<QWidget>(QString::fromUtf16(name))->isEnabled() ? u'1' : u'0';
        return on;
    };
    QCOMPARE(enabled(), u"10001111"_s);
    click(u"mmcrec_record"_s);
    QCOMPARE(enabled(), u"00110000"_s); // files wait for the end of the take
    m_recorder->advance(1000);
    click(u"mmcrec_pause"_s);
    QCOMPARE(m_recorder->calls.constLast(), u"stop"_s);
    QCOMPARE(enabled(), u"00000000"_s);
    m_recorder->complete();
    QCOMPARE(enabled(), u"11001111"_s);
    click(u"mmcrec_play"_s);
    QCOMPARE(enabled(), u"00111111"_s);
    click(u"mmcrec_pause"_s);
    QCOMPARE(m_player->calls.constLast(), u"pause"_s);
    QCOMPARE(enabled(), u"01011111"_s);
    click(u"mmcrec_stop"_s);
    QCOMPARE(enabled(), u"11001111"_s);
}

void tst_frmrec::micVolume()
{
    open();
    auto *mic = child<QSlider>(u"Slidermic"_s);
    QVERIFY(mic->isEnabled());
    QCOMPARE(mic->minimum(), 0);
    QCOMPARE(mic->maximum(), 65535);
    QCOMPARE(mic->value(), 65535);
    QVERIFY(m_rig->mixer.micSet.isEmpty()); // opening changes nothing
    const QList<long> speaker = m_rig->mixer.speakerSet;
    mic->setFocus();
    QTest::keyClick(mic, Qt::Key_PageDown);
    QCOMPARE(m_rig->mixer.micSet, QList<long> {65535 - 6553});
    QCOMPARE(m_rig->mixer.speakerSet, speaker); // the speakers are not the recorder's
}

void tst_frmrec::noMicControl()
{
    m_rig->mixer.mic.reset();
    open();
    QVERIFY(!child<QSlider>(u"Slidermic"_s)->isEnabled());
}

void tst_frmrec::deviceErrorIsShownInTheControl()
{
    open();
    auto *error = child<QLabel>(u"mmcrec_error"_s);
    QVERIFY(!error->isVisible());
    click(u"mmcrec_record"_s);
    m_recorder->fail(u"no sound input"_s);
    QVERIFY(error->isVisible());
    QCOMPARE(error->text(), u"录音失败：no sound input"_s);
    QVERIFY(m_rig->dialogs.shown.isEmpty()); // no message box of the window's own
    QVERIFY(child<QWidget>(u"mmcrec_record"_s)->isEnabled());
}

QTEST_MAIN(tst_frmrec)
#include "tst_frmrec.moc"
