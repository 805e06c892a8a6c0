// The sound engine, measured. Four parts, each one run; give their names to
// run some of them only (all by default):
//   latency  the real console and simulator: items 8 s apart; from the start
//            second to its first frame, and from the start's last frame to
//            the first sound on the sink's monitor
//   restart  an engine killed (SIGKILL) or stopped (SIGSTOP) while it plays:
//            from the blow, and from its replacement, to sound again
//   probe    a thousand files (WAV and MP3) measured one after another, as
//            the playlist's total does
//   idle     CPU of the console and its engines over a minute, nothing due

#include "../tests/e2e/e2einstall.h"
#include "audio/enginemediaplayer.h"
#include "audio/enginemediaprobe.h"
#include "players/playlistcd.h"
#include "players/playlisttotal.h"
#include "support/gbkfiles.h"
#include "support/soundmonitor.h"
#include "support/testmedia.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <functional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QTextStream out(stdout);

QString figures(QList<double> values, const QString &unit)
{
    if (values.isEmpty())
        return u"no figures"_s;
    std::sort(values.begin(), values.end());
    const auto at = [&values](int percent) {
        return values.at(std::min<qsizetype>(values.size() - 1, values.size() * percent / 100));
    };
    return u"median %1 %5, 95th percentile %2 %5 (min %3, max %4; %6 values)"_s.arg(at(50))
        .arg(at(95))
        .arg(values.first())
        .arg(values.last())
        .arg(unit)
        .arg(values.size());
}

double cpuSeconds(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line.
    return (f.value(11).toLongLong() + f.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Runs the event loop until done() holds or the time is up. Unlike
// QTest::qWaitFor, which sleeps 10 ms between its looks, nothing here waits
// longer than the events themselves: a reply is handled when it comes.
bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    look.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

QString weekWith(const QString &today, const QDate &day)
{
    static const char16_t *names[]
        = {u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六", u"星期日"};
    QString week;
    for (int d = 1; d <= 7; ++d) {
        week += u"00,00,00,"_s + QString::fromUtf16(names[d - 1]) + u",00,00,00,00,00\n"_s;
        if (d == day.dayOfWeek())
            week += today;
    }
    return week;
}

void writeSources(E2eInstall &install)
{
    QString amp;
    for (int i = 0; i < 24; ++i)
        amp += i == 8 ? u"\"76.5\"\n"_s : i == 9 ? u"\"87.5\"\n"_s : u"\"名称\"\n"_s;
    GbkFiles::writeText(install.path(u"amp_name.dat"_s), amp);
}

int latency(const PrivateSink &sink)
{
    constexpr int kItems = 15;
    constexpr int kSpacing = 8;
    SoundMonitor monitor(sink.monitor());
    if (!monitor.start())
        return 1;
    E2eInstall install;
    const QDateTime first
        = QDateTime::fromMSecsSinceEpoch((QDateTime::currentMSecsSinceEpoch() / 1000 + 12) * 1000);
    if (first.addSecs(kItems * kSpacing + 60).date() != first.date()) {
        out << "latency: too close to midnight; run again after it\n";
        return 1;
    }
    const QString song = install.path(u"song/测量.wav"_s);
    GbkFiles::writeBytes(song, TestMedia::wav(1.5, 440.0));
    writeSources(install);
    QString today;
    QList<QDateTime> starts;
    for (int i = 0; i < kItems; ++i) {
        const QDateTime start = first.addSecs(i * kSpacing);
        starts << start;
        today += start.toString(u"HH:mm:ss"_s)
            + (i % 2 ? u", 2 ,测量,"_s + song + u", 16000 ,00:00:02,4.5.6.,2.,2.\n"_s
                     : u", 1 ,测量,"_s + song + u", 16000 ,00:00:02,1.2.3.,1.,1.\n"_s);
    }
    GbkFiles::writeText(install.path(u"week.txt"_s), weekWith(today, first.date()));
    install.writeStore({{u"defaultweekfile"_s, install.path(u"week.txt"_s)},
                        {u"openamptime"_s, u"00:00:00"_s},
                        {u"closeamptime"_s, u"00:00:02"_s}});
    if (!install.startSimulator() || !install.startConsole({{u"PULSE_SINK"_s, sink.name()}})) {
        out << "latency: could not start the simulator or the console\n";
        return 1;
    }
    out << "latency: " << kItems << " items, one every " << kSpacing << " s ...\n";
    out.flush();
    QTest::qWait(int(QDateTime::currentDateTime().msecsTo(starts.last()) + 4000));
    install.readSimulator();
    const QList<E2eInstall::LoggedFrame> frames = install.loggedFrames(first.date());
    QList<double> toFrame;
    QList<double> toSound;
    for (const QDateTime &start : std::as_const(starts)) {
        QDateTime firstFrame;
        QDateTime lastFrame;
        int seen = 0;
        for (const E2eInstall::LoggedFrame &f : frames) {
            if (f.at < start || seen == 6)
                continue;
            if (seen == 0)
                firstFrame = f.at;
            lastFrame = f.at;
            ++seen;
        }
        if (seen < 6)
            continue;
        toFrame << double(start.msecsTo(firstFrame));
        const qint64 sound = monitor.firstSoundAfter(start.toMSecsSinceEpoch());
        if (sound > 0)
            toSound << double(sound - lastFrame.toMSecsSinceEpoch());
    }
    out << "  start second to the first frame at the simulator: " << figures(toFrame, u"ms"_s)
        << "\n  the start's last frame to the first sound on the monitor: "
        << figures(toSound, u"ms"_s) << "\n";
    return toSound.size() == kItems ? 0 : 1;
}

int restart(const PrivateSink &sink)
{
    QTemporaryDir dir;
    const QString tone = dir.filePath(u"tone.wav"_s);
    GbkFiles::writeBytes(tone, TestMedia::wav(120.0, 440.0, 8000));
    SoundMonitor monitor(sink.monitor());
    if (!monitor.start())
        return 1;
    EngineMediaPlayer player;
    qint64 replacedAt = 0;
    QObject::connect(&player.engine(), &EngineProcess::lost,
                     [&replacedAt] { replacedAt = QDateTime::currentMSecsSinceEpoch(); });
    if (!runUntil([&player] { return player.engine().isReady(); }, 20000)) {
        out << "restart: the engine did not start\n";
        return 1;
    }
    player.loadAndPlay(tone);
    out << "restart: 10 kills and 5 stops while a tone plays ...\n";
    out.flush();
    QList<double> killToSound;
    QList<double> stopToSound;
    QList<double> replaceToSound;
    for (int round = 0; round < 15; ++round) {
        const bool kill = round < 10;
        QTest::qWait(1500);
        const qint64 struck = QDateTime::currentMSecsSinceEpoch();
        replacedAt = 0;
        ::kill(pid_t(player.engine().processId()), kill ? SIGKILL : SIGSTOP);
        // Sound again: the first block of sound after the silence that the
        // blow brought.
        qint64 sound = -1;
        const bool heard = runUntil(
            [&] {
                const qint64 silence = monitor.firstSilenceAfter(struck);
                sound = silence < 0 ? -1 : monitor.firstSoundAfter(silence);
                return sound > 0;
            },
            10000);
        if (!heard)
            out << "  no sound again within 10 s of round " << round + 1 << "\n";
        if (sound < 0)
            continue;
        (kill ? killToSound : stopToSound) << double(sound - struck);
        if (replacedAt > 0)
            replaceToSound << double(sound - replacedAt);
    }
    player.stop();
    out << "  SIGKILL to sound again: " << figures(killToSound, u"ms"_s)
        << "\n  SIGSTOP to sound again (2 s without an answer, then the restart): "
        << figures(stopToSound, u"ms"_s)
        << "\n  the engine replaced (old one killed) to sound again: "
        << figures(replaceToSound, u"ms"_s) << "\n";
    return 0;
}

int probe()
{
    QTemporaryDir dir;
    QString error;
    const QString mp3 = dir.filePath(u"model.mp3"_s);
    if (!TestMedia::ffmpeg(
            {u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=duration=3"_s, u"-c:a"_s, u"libmp3lame"_s, mp3},
            &error)) {
        out << "probe: " << error << "\n";
        return 1;
    }
    const QByteArray wav = TestMedia::wav(3.0);
    QStringList files;
    for (int i = 0; i < 1000; ++i) {
        const QString path = dir.filePath(
            u"%1 曲目.%2"_s.arg(i, 4, 10, QChar(u'0')).arg(i % 2 ? u"mp3"_s : u"wav"_s));
        if (i % 2)
            QFile::copy(mp3, path);
        else
            GbkFiles::writeBytes(path, wav);
        files << path;
    }
    // The playlist's total asks for one length after another, as the
    // window does when a thousand files are added.
    EngineMediaProbe probe;
    SystemPlaylistCd cd;
    PlaylistTotal total(probe, cd);
    QList<double> each;
    QElapsedTimer one;
    const auto answered = [&] {
        each << double(one.nsecsElapsed()) / 1e6;
        one.start();
    };
    QObject::connect(&probe, &MediaProbe::durationFound, answered);
    QObject::connect(&probe, &MediaProbe::failed, answered);
    qint64 seconds = -1;
    QObject::connect(&total, &PlaylistTotal::finished, [&seconds](qint64 s) { seconds = s; });
    out << "probe: the playlist's total of 1000 files ...\n";
    out.flush();
    QElapsedTimer clock;
    clock.start();
    one.start();
    total.recompute(files); // the engine's own start counts
    if (!runUntil([&seconds] { return seconds >= 0; }, 120000))
        out << "  no total within two minutes\n";
    out << "  total " << seconds << " s (" << total.unopenable().size()
        << " files unopenable) after " << clock.elapsed()
        << " ms, the engine's start included\n  each: " << figures(each, u"ms"_s) << "\n";
    return seconds == 3000 && total.unopenable().isEmpty() ? 0 : 1;
}

int idle(const PrivateSink &sink)
{
    E2eInstall install;
    writeSources(install);
    GbkFiles::writeText(install.path(u"week.txt"_s), weekWith(QString(), QDate::currentDate()));
    install.writeStore({{u"defaultweekfile"_s, install.path(u"week.txt"_s)}});
    if (!install.startSimulator() || !install.startConsole({{u"PULSE_SINK"_s, sink.name()}})) {
        out << "idle: could not start the simulator or the console\n";
        return 1;
    }
    out << "idle: a minute with nothing due ...\n";
    out.flush();
    QTest::qWait(10000); // the start-up settles
    const QList<qint64> engines = install.consoleChildren();
    const qint64 console = install.consolePid();
    double before = cpuSeconds(console);
    for (const qint64 pid : engines)
        before += cpuSeconds(pid);
    QTest::qWait(60000);
    double consoleUsed = cpuSeconds(console);
    double used = consoleUsed;
    for (const qint64 pid : engines)
        used += cpuSeconds(pid);
    out << "  " << engines.size() << " engines; console and engines together over 60 s: "
        << QString::number(used - before, 'f', 2) << " s CPU ("
        << QString::number((used - before) / 60 * 100, 'f', 2) << " % of one core)\n";
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList parts = app.arguments().mid(1);
    if (parts.isEmpty())
        parts = {u"latency"_s, u"restart"_s, u"probe"_s, u"idle"_s};
    PrivateSink sink;
    if (!sink.isLoaded()) {
        out << "no sound server to measure on (start one, or run within ./test's)\n";
        return 1;
    }
    // Every engine started here plays on the bench's own sink.
    qputenv("PULSE_SINK", sink.name().toUtf8());
    int status = 0;
    for (const QString &part : std::as_const(parts)) {
        if (part == u"latency")
            status |= latency(sink);
        else if (part == u"restart")
            status |= restart(sink);
        else if (part == u"probe")
            status |= probe();
        else if (part == u"idle")
            status |= idle(sink);
        else
            out << "no part " << part << "\n";
        out.flush();
    }
    return status;
}
