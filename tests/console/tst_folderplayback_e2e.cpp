// A "顺序播" entry over a folder of three short sounds, end to end: the
// console with the real player on the private sound server's null sink and a
// recording serial port, its clock kept in step with real time. The sounds
// play in name order within the play length, the player frame shows each
// one, and the equipment closes as it does for an entry with one file.

#include "audio/enginemediaplayer.h"
#include "console/folderplayback.h"
#include "console/playbackengine.h"
#include "console/playerframe.h"
#include "console/scheduler.h"
#include "consolerig.h"
#include "platform/secondticker.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7); // the rig's Monday
const QDateTime kStart(kDay, QTime(8, 0, 0));
const QDateTime kEnd = kStart.addSecs(30); // the rig's lines play 00:00:30
} // namespace

class tst_FolderPlaybackE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void entryPlaysOnTheSoundServer_data();
    void entryPlaysOnTheSoundServer();
};

void tst_FolderPlaybackE2e::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
}

void tst_FolderPlaybackE2e::entryPlaysOnTheSoundServer_data()
{
    QTest::addColumn<QString>("file"); // under the application folder
    QTest::addColumn<int>("sounds"); // how many play to their end
    QTest::addColumn<QStringList>("shown"); // lblsong, each time it changes
    QTest::newRow("顺序播 over a folder of three sounds")
        << u"sounds"_s << 3
        << QStringList {u"sounds"_s, u"1 低.wav"_s, u"2 中.wav"_s, u"3 高.wav"_s};
    QTest::newRow("the same entry over one sound")
        << u"sounds/2 中.wav"_s << 1 << QStringList {u"2 中.wav"_s};
}

void tst_FolderPlaybackE2e::entryPlaysOnTheSoundServer()
{
    QFETCH(QString, file);
    QFETCH(int, sounds);
    QFETCH(QStringList, shown);
    ConsoleRig rig;
    // Written last to first, so that the folder's own order is not the name order.
    GbkFiles::writeBytes(rig.file(u"sounds/3 高.wav"_s), TestMedia::wav(0.6, 660));
    GbkFiles::writeBytes(rig.file(u"sounds/2 中.wav"_s), TestMedia::wav(0.6, 550));
    GbkFiles::writeBytes(rig.file(u"sounds/1 低.wav"_s), TestMedia::wav(0.6, 440));
    GbkFiles::writeText(rig.file(u"sounds/说明.txt"_s), u"not a sound\n"_s);
    rig.writeWeek(ConsoleRig::line(u"08:00:00"_s, u"顺序播"_s, rig.file(file)));
    rig.clock.set(kStart.addSecs(-2));

    EngineMediaPlayer player;
    Console console(Console::Services {rig.clock, rig.dialogs, rig.store, player, rig.mixer,
                                       rig.port, rig.power, rig.launcher, rig.probe,
                                       AppFolder(rig.dir.path())});
    console.startUp();
    QVERIFY(console.link().isOpen());
    // The test moves the clock and ticks, in step with real time while the
    // sounds play.
    console.secondTicker().stop();
    const auto tickAt = [&](const QDateTime &moment) {
        rig.clock.set(moment);
        console.timerplayer_Timer();
    };

    PlayerFrame frame(console.playback());
    auto *lblsong = frame.findChild<QLabel *>(u"lblsong"_s);
    QVERIFY(lblsong);
    QStringList titles;
    connect(&console.playback(), &PlaybackEngine::changed, this, [&] {
        if (lblsong->text() != titles.value(titles.size() - 1, u"No music"_s))
            titles << lblsong->text();
    });
    QList<QDateTime> ends; // the console's clock when each sound ended
    connect(&player, &MediaPlayer::endOfStream, this, [&] { ends << rig.clock.now(); });
    QSignalSpy failed(&player, &MediaPlayer::failed);

    QTimer seconds;
    seconds.setInterval(1000);
    connect(&seconds, &QTimer::timeout, this, [&] { tickAt(rig.clock.now().addSecs(1)); });
    seconds.start();
    QVERIFY2(QTest::qWaitFor([&] { return ends.size() == sounds; }, 60000),
             qPrintable(titles.join(u" | ")));
    QVERIFY(
        QTest::qWaitFor([&] { return !console.scheduler().folderPlayback().isActive(); }, 10000));
    seconds.stop();
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    QCOMPARE(titles, shown);
    QVERIFY(!console.scheduler().folderPlayback().isActive());
    QVERIFY(!player.isPlaying());
    for (const QDateTime &end : ends)
        QVERIFY2(end <= kEnd, qPrintable(end.toString()));

    // The rest of the entry's life, up to the amplifiers' close a minute
    // after its end, at full speed.
    for (QDateTime t = rig.clock.now().addSecs(1); t <= kEnd.addSecs(61); t = t.addSecs(1))
        tickAt(t);
    QVERIFY(console.link().queuedFrames() > 0);
    QVERIFY(QTest::qWaitFor([&] { return console.link().queuedFrames() == 0; }, 60000));
    QVERIFY(!console.scheduler().outputsActive());

    FrameDecoder decoder;
    QList<FrameDecoder::Frame> frames;
    for (const QByteArray &bytes : rig.port.writes()) {
        for (const auto &piece : decoder.feed(bytes)) {
            if (piece.isFrame)
                frames << piece.frame;
        }
    }
    // The start's six frames are ZoneClose, ZoneOpen, … AmpOpen, the
    // ZoneOpen being the first of the day; what closes after them:
    const auto firstZoneOpen = std::find_if(frames.cbegin(), frames.cend(), [](const auto &f) {
        return f.code == CommandCode::ZoneOpen;
    });
    QVERIFY(frames.cend() - firstZoneOpen > 4);
    QStringList closes;
    for (auto f = firstZoneOpen + 5; f != frames.cend(); ++f) {
        if (f->code != CommandCode::ZoneClose && f->code != CommandCode::AmpClose
            && f->code != CommandCode::DeviceClose)
            continue;
        QString list;
        for (int v : f->values)
            list += QString::number(v) + u'.';
        closes << CommandCode::name(f->code) + u' ' + list;
    }
    // The devices 5 s after the end (none here), the zones after 10 s, the
    // amplifiers after the close delay of a minute.
    QCOMPARE(closes, (QStringList {u"DeviceClose "_s, u"ZoneClose 1.2."_s, u"AmpClose 1."_s}));
}

QTEST_MAIN(tst_FolderPlaybackE2e)
#include "tst_folderplayback_e2e.moc"
