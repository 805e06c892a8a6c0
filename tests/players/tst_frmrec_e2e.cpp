// The recorder window on the real recorder and player, on the private
// sound server's null source and sink: two takes become one recording that
// plays back for as long as was recorded, and is saved as a WAV file.

#include "audio/enginemediaplayer.h"
#include "audio/enginerecorder.h"
#include "console/consolerig.h"
#include "players/frmrec.h"
#include "players/recordingwave.h"
#include "support/testmedia.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using namespace Qt::StringLiterals;
using Mode = RecordingSession::Mode;

class tst_frmrec_e2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void recordPlayAndSave();

private:
    void click(QWidget *window, const QString &name)
    {
        auto *b = window->findChild<QPushButton *>(name);
        QVERIFY2(b && b->isEnabled(), qPrintable(name));
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

void tst_frmrec_e2e::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
}

void tst_frmrec_e2e::recordPlayAndSave()
{
    ConsoleRig rig;
    QDir().mkpath(rig.file(u"other"_s));
    Console &console = rig.start();
    EngineRecorder recorder;
    EngineMediaPlayer player;
    QPointer<frmrec> w
        = new frmrec(console.dialogs(), console.folder(), recorder, player, rig.mixer);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    RecordingSession &session = w->session();
    const QString scratch = session.scratchFolder();

    // Two takes: the second goes on where the first ended.
    click(w, u"mmcrec_record"_s);
    QTRY_VERIFY_WITH_TIMEOUT(session.positionMs() >= 1000 || !session.error().isEmpty(), 20000);
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    QVERIFY(w->findChild<QSlider *>(u"Sliderrec"_s)->value() >= 1); // a step a second
    click(w, u"mmcrec_stop"_s);
    QTRY_COMPARE_WITH_TIMEOUT(session.mode(), Mode::Stopped, 20000);
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    const qint64 first = session.lengthMs();
    QVERIFY(first >= 1000);
    QCOMPARE(w->findChild<QLabel *>(u"lbltotaltime"_s)->text(), u"长 度\n00:01"_s);

    click(w, u"mmcrec_record"_s);
    QTRY_VERIFY_WITH_TIMEOUT(session.positionMs() >= first + 500 || !session.error().isEmpty(),
                             20000);
    click(w, u"mmcrec_stop"_s);
    QTRY_COMPARE_WITH_TIMEOUT(session.mode(), Mode::Stopped, 20000);
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    const qint64 total = session.lengthMs();
    QVERIFY2(total >= first + 500 && total < first + 1500,
             qPrintable(u"first %1 ms, both %2 ms"_s.arg(first).arg(total)));

    // It plays back for as long as it was recorded, to the end of the slider.
    click(w, u"mmcrec_play"_s);
    QTRY_VERIFY_WITH_TIMEOUT(player.durationSeconds() > 0 || !session.error().isEmpty(), 15000);
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    QVERIFY2(qAbs(player.durationSeconds() * 1000 - double(total)) < 300,
             qPrintable(u"plays %1 s of %2 ms"_s.arg(player.durationSeconds()).arg(total)));
    QTRY_VERIFY_WITH_TIMEOUT(session.positionMs() > 300, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(session.mode(), Mode::Stopped, 20000);
    QCOMPARE(session.slider(), 100);

    // Saved under the operator's name: the same samples.
    rig.dialogs.shown.clear();
    rig.dialogs.files.enqueue(rig.file(u"other/录音"_s));
    click(w, u"cmdsave"_s);
    // The copy runs in the background.
    QTRY_VERIFY_WITH_TIMEOUT(!session.isSaving(), 10000);
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    const QString saved = rig.file(u"other/录音.wav"_s);
    QCOMPARE(RecordingWave::read(saved).durationMs(), total);
    QVERIFY(!session.isUnsaved());

    // Closing asks nothing now and takes the scratch folder away.
    click(w, u"cmdexit"_s);
    QTRY_VERIFY(w.isNull());
    QVERIFY(rig.dialogs.shown.isEmpty());
    QVERIFY(!QDir(scratch).exists());
    QVERIFY(QFile::exists(saved));
}

QTEST_MAIN(tst_frmrec_e2e)
#include "tst_frmrec_e2e.moc"
