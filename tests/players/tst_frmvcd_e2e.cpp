// The VCD player window on the real player and the private sound server:
// a .dat file (plain MPEG-1 and RIFF/CDXA) opens through the dialog, waits
// at its first picture, and plays, pauses and stops with its picture inside
// the window.

#include "audio/enginemediaplayer.h"
#include "console/consolerig.h"
#include "players/frmvcd.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmvcd_e2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void controls();
    void openPlayPauseStop_data();
    void openPlayPauseStop();
    void cancelledDialogOpensNothing();
    void fileThatDoesNotPlayShowsTheError();

private:
    frmvcd &open();
    template<class T> T *child(const QString &name) { return m_window->findChild<T *>(name); }
    void click(const QString &name)
    {
        auto *b = child<QPushButton>(name);
        QVERIFY2(b && b->isEnabled(), qPrintable(name));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QString enabled();
    QString song(const QString &name) const { return m_rig->file(u"song/"_s + name); }

    QTemporaryDir m_media;
    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<EngineMediaPlayer> m_player;
    QPointer<frmvcd> m_window;
};

void tst_frmvcd_e2e::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
    QString error;
    QVERIFY2(TestMedia::ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=size=352x288:rate=25"_s,
                                u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine"_s, u"-t"_s, u"1"_s,
                                u"-target"_s, u"pal-vcd"_s, m_media.filePath(u"v.mpg"_s)},
                               &error),
             qPrintable(error));
}

void tst_frmvcd_e2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    const QByteArray stream = GbkFiles::readBytes(m_media.filePath(u"v.mpg"_s));
    GbkFiles::writeBytes(song(u"plain.dat"_s), stream);
    GbkFiles::writeBytes(song(u"avseq01.dat"_s), TestMedia::cdxa(stream));
}

void tst_frmvcd_e2e::cleanup()
{
    delete m_window;
    m_player.reset();
    m_rig.reset();
}

frmvcd &tst_frmvcd_e2e::open()
{
    Console &c = m_rig->start();
    m_rig->dialogs.shown.clear();
    m_player = std::make_unique<EngineMediaPlayer>();
    m_window = new frmvcd(c.dialogs(), c.folder(), *m_player);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->show();
    QApplication::setActiveWindow(m_window);
    if (!QTest::qWaitForWindowActive(m_window))
        qFatal("the window did not become active");
    return *m_window;
}

QString tst_frmvcd_e2e::enabled()
{
    QString on;
    for (const char16_t *name : {u"mmcvcd_play", u"mmcvcd_pause", u"mmcvcd_stop"})
        on += child<QWidget>(QString::fromUtf16(name))->isEnabled() ? u'1' : u'0';
    return on;
}

void tst_frmvcd_e2e::controls()
{
    frmvcd &w = open();
    QCOMPARE(w.windowTitle(), u"VCD播放器"_s);
    QCOMPARE(child<QPushButton>(u"cmdopen"_s)->text(), u"打开"_s);
    QCOMPARE(child<QPushButton>(u"mmcvcd_play"_s)->text(), u"播放"_s);
    QCOMPARE(child<QPushButton>(u"mmcvcd_pause"_s)->text(), u"暂停"_s);
    QCOMPARE(child<QPushButton>(u"mmcvcd_stop"_s)->text(), u"停止"_s);
    QCOMPARE(child<QWidget>(u"picvcd"_s)->accessibleName(), u"picvcd"_s);
    QVERIFY(child<QWidget>(u"picvcd"_s)->isAncestorOf(w.videoWidget()));
    QCOMPARE(enabled(), u"000"_s); // nothing opened
    QCOMPARE(QApplication::focusWidget()->objectName(), u"cmdopen"_s);
    // The picture takes what room the window gets.
    const QSize before = child<QWidget>(u"picvcd"_s)->size();
    w.resize(w.width() + 200, w.height() + 150);
    QTRY_VERIFY(child<QWidget>(u"picvcd"_s)->width() >= before.width() + 150);
    QTest::keyClick(&w, Qt::Key_Escape);
    QTRY_VERIFY(m_window.isNull());
}

void tst_frmvcd_e2e::openPlayPauseStop_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("RIFF/CDXA") << u"avseq01.dat"_s;
    QTest::newRow("plain MPEG-1") << u"plain.dat"_s;
}

void tst_frmvcd_e2e::openPlayPauseStop()
{
    QFETCH(QString, file);
    frmvcd &w = open();
    m_rig->dialogs.files.enqueue(song(file));
    click(u"cmdopen"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"请选择一个VCD文件"_s});
    QCOMPARE(m_rig->dialogs.fileDialogFolders, QStringList {m_rig->file(u"song"_s)});
    QCOMPARE(m_rig->dialogs.fileDialogFilters, QStringList {u"VCD格式文件(*.dat)|*.dat"_s});

    // Opened, it waits at its first picture for Play.
    QCOMPARE(enabled(), u"101"_s);
    QTRY_VERIFY_WITH_TIMEOUT(w.videoWidget()->isVisible(), 15000);
    QVERIFY(!w.player().isPlaying());
    // It stays there: no further on after as long as the whole file plays.
    QSignalSpy ended(&w.player(), &MediaPlayer::endOfStream);
    const double held = w.player().positionSeconds();
    QTest::qWait(1500);
    QCOMPARE(w.player().positionSeconds(), held);
    QVERIFY(ended.isEmpty());

    click(u"mmcvcd_play"_s);
    QCOMPARE(enabled(), u"011"_s);
    QTRY_VERIFY_WITH_TIMEOUT(w.player().positionSeconds() > held + 0.3, 15000);
    // Pictures come; offscreen they are decoded and dropped, on a desktop
    // the engine draws them into the window's video area.
    QTRY_VERIFY_WITH_TIMEOUT(m_player->videoFramesShown() >= 5, 15000);
    QVERIFY(w.videoWidget()->isVisible());
    QVERIFY(w.isAncestorOf(w.videoWidget()));

    click(u"mmcvcd_pause"_s);
    QCOMPARE(enabled(), u"101"_s);
    QVERIFY(!w.player().isPlaying());
    click(u"mmcvcd_play"_s);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000); // to its end
    QCOMPARE(enabled(), u"100"_s);

    // Again from the start, and stopped on the way.
    click(u"mmcvcd_play"_s);
    QTRY_VERIFY_WITH_TIMEOUT(w.player().isPlaying(), 15000);
    click(u"mmcvcd_stop"_s);
    QCOMPARE(enabled(), u"100"_s);
    QVERIFY(!w.player().isPlaying());
    QTRY_VERIFY(!w.videoWidget()->isVisible());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmvcd_e2e::cancelledDialogOpensNothing()
{
    open();
    click(u"cmdopen"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles.size(), 1);
    QCOMPARE(enabled(), u"000"_s);
}

void tst_frmvcd_e2e::fileThatDoesNotPlayShowsTheError()
{
    frmvcd &w = open();
    QByteArray junk;
    for (int i = 0; i < 60000; ++i)
        junk += char((i * 7919) % 251);
    GbkFiles::writeBytes(song(u"broken.dat"_s), junk);
    m_rig->dialogs.files.enqueue(song(u"broken.dat"_s));
    click(u"cmdopen"_s);
    auto *error = child<QLabel>(u"mmcvcd_error"_s);
    QTRY_VERIFY_WITH_TIMEOUT(error->isVisible(), 15000);
    QVERIFY(error->text().startsWith(u"无法播放："_s));
    QCOMPARE(enabled(), u"000"_s);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    // A good file afterwards plays.
    m_rig->dialogs.files.enqueue(song(u"avseq01.dat"_s));
    click(u"cmdopen"_s);
    QVERIFY(!error->isVisible());
    QSignalSpy ended(&w.player(), &MediaPlayer::endOfStream);
    click(u"mmcvcd_play"_s);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
}

QTEST_MAIN(tst_frmvcd_e2e)
#include "tst_frmvcd_e2e.moc"
