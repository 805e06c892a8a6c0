// Fuzz targets for the cores behind the controller windows and the playlist:
// manual control's record against what reached the wire, the controller's
// clock replies against the pickers they fill, the status check's rows
// against the replies that came, and the playlist's playing
// entry against the list it stands in.

#include "fuzzinput.h"
#include "fuzztargets.h"

#include "platform/appfolder.h"
#include "platform/logwriter.h"
#include "players/playlist.h"
#include "players/playlistcd.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "support/virtuallinkclock.h"
#include "zonelink/controllerclock.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/manualcontrol.h"
#include "zonelink/statuspoll.h"
#include "zonelink/zonelink.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Fuzz {
namespace {

// What the frames that went out left switched on: for each kind of list
// (by its open code) the values on. A frame went out when the port drained
// it before it was closed or lost, which is also what the link reports to
// its sender; a write cut short, or one the device took with it, never
// reached the controller whole.
QMap<int, QSet<int>> switchedOn(const FakeSerialPort &port)
{
    QMap<int, QSet<int>> on;
    QByteArray draining; // the last frame written and not yet drained
    for (const FakeSerialPort::Event &e : port.events) {
        if (e.what == u"write") {
            draining = e.bytes;
            continue;
        }
        if (e.what == u"lost" || e.what == u"close") {
            draining.clear();
            continue;
        }
        if (e.what != u"drained" || draining.isEmpty())
            continue;
        const QByteArray bytes = std::exchange(draining, {});
        FrameDecoder decoder;
        const QList<FrameDecoder::Piece> pieces = decoder.feed(bytes);
        if (pieces.size() != 1 || !pieces.first().isFrame)
            continue;
        const QByteArray &raw = pieces.first().frame.raw;
        const int code = static_cast<unsigned char>(raw.at(2));
        const int n = static_cast<unsigned char>(raw.at(5));
        const bool open = code == CommandCode::ZoneOpen || code == CommandCode::AmpOpen
            || code == CommandCode::DeviceOpen;
        const bool close = code == CommandCode::ZoneClose || code == CommandCode::AmpClose
            || code == CommandCode::DeviceClose;
        if (!open && !close)
            continue;
        const int kind = open ? code : code - 1; // each close code follows its open code
        for (int i = 0; i < n; ++i) {
            const int value = static_cast<unsigned char>(raw.at(6 + i));
            if (open)
                on[kind].insert(value);
            else
                on[kind].remove(value);
        }
    }
    return on;
}

QSet<int> valuesOf(const QString &dotList)
{
    QSet<int> values;
    for (const QString &item : dotListItems(dotList))
        values.insert(item.toInt());
    return values;
}

// A zone link on a fake port at com1, opened, on a clock of its own.
struct OpenLink
{
    OpenLink()
    {
        clock.useBy(port);
        port.devices.insert(u"/dev/ttyS0"_s);
        link.OpenZonePort(u"com1"_s);
    }
    FakeSerialPort port;
    VirtualLinkClock clock;
    MemoryUserStore store;
    FakeDialogs dialogs;
    ZoneLink link {port, store, dialogs, clock};
};

} // namespace

int manualControl(const std::uint8_t *data, std::size_t size)
{
    needApplication();
    Input in(data, std::min<std::size_t>(size, 2048));
    OpenLink rig;
    FakeSerialPort &port = rig.port;
    VirtualLinkClock &clock = rig.clock;
    ZoneLink &link = rig.link;
    ManualControl control(link);

    // Up to 510 terminals: every address may come twice, and 256 do not fit
    // in one frame.
    QList<ManualControl::Node> nodes;
    const int count = int(in.byte()) + int(in.byte());
    for (int i = 0; i < count; ++i)
        nodes.append({u"终端%1"_s.arg(i), int(in.byte()), int(in.byte() % 10)});
    control.fill(QStringList(8, u"功放"_s), QStringList(8, u"外设"_s), nodes);
    // The terminals as (address, name), in an order that does not depend on
    // the lists they stand in.
    const auto sorted = [](QList<std::pair<int, QString>> all) {
        std::sort(all.begin(), all.end());
        return all;
    };
    QList<std::pair<int, QString>> before;
    for (const ManualItemList::Item &item : control.sourceList(ManualControl::NodeList)->items())
        before.append({item.number, item.text});

    const auto kindOf = [&in] { return ManualControl::ListKind(1 + in.byte() % 3); };
    const auto selectSome = [&in](QItemSelectionModel *selection, int rows) {
        selection->clearSelection();
        const unsigned mask = in.byte();
        for (int r = 0; r < rows; ++r) {
            if (mask & (1u << (r % 8)) && (in.byte() & 1))
                selection->select(selection->model()->index(r, 0), QItemSelectionModel::Select);
        }
    };
    for (int step = 0; step < 80 && !in.atEnd(); ++step) {
        const int tab = int(in.byte() % ManualControl::TabCount);
        switch (in.byte() % 10) {
        case 0: {
            const ManualControl::ListKind kind = kindOf();
            selectSome(control.sourceSelection(kind), control.sourceList(kind)->rowCount());
            control.setLastSourceList(kind);
            control.addSelected(tab);
            break;
        }
        case 1:
            control.setLastSourceList(kindOf());
            control.addAll(tab);
            break;
        case 2: {
            const ManualControl::ListKind kind = kindOf();
            selectSome(control.targetSelection(tab, kind),
                       control.targetList(tab, kind)->rowCount());
            control.setLastTargetList(kind);
            control.removeSelected(tab);
            break;
        }
        case 3:
            control.setLastTargetList(kindOf());
            control.removeAll(tab);
            break;
        case 4:
            control.groupClicked(int(in.byte() % 8), in.byte() % 2 ? Qt::Checked : Qt::Unchecked,
                                 tab);
            break;
        case 5:
            // Now and then a frequency no frame can carry.
            control.confirm(tab, in.byte() % 8 ? 700 + int(in.byte()) * 2 : 30000);
            break;
        case 6:
            control.switchOffAll();
            break;
        case 7:
            for (int n = 1 + in.byte() % 16; n > 0 && clock.fire(); --n) { }
            break;
        case 8:
            // The next write refused, or cut short.
            port.writeLimits.append(in.byte() % 2 ? -1 : qint64(in.byte() % 8));
            break;
        default:
            if (port.isOpen() && in.byte() % 2) {
                port.loseDevice();
            } else {
                port.devices.insert(u"/dev/ttyS0"_s);
                link.OpenZonePort(u"com1"_s);
            }
            break;
        }
    }
    // Time runs until the link has nothing left.
    clock.runUntil();
    check(control.framesUnderway() == 0, "no frame is left underway at rest");

    // Every terminal stands in exactly one list, none lost, none doubled.
    QList<std::pair<int, QString>> after;
    const auto collect = [&after](const ManualItemList *list) {
        for (const ManualItemList::Item &item : list->items())
            after.append({item.number, item.text});
    };
    collect(control.sourceList(ManualControl::NodeList));
    for (int tab = 0; tab < ManualControl::TabCount; ++tab)
        collect(control.targetList(tab, ManualControl::NodeList));
    check(sorted(after) == sorted(before), "every terminal is in exactly one list");

    // What the window recorded as on is what the frames on the wire left on.
    const QMap<int, QSet<int>> wire = switchedOn(port);
    const std::pair<int, QString ManualControl::ChannelRecord::*> kinds[] = {
        {CommandCode::ZoneOpen, &ManualControl::ChannelRecord::Zones},
        {CommandCode::AmpOpen, &ManualControl::ChannelRecord::Amps},
        {CommandCode::DeviceOpen, &ManualControl::ChannelRecord::Devices},
    };
    for (const auto &[code, field] : kinds) {
        QSet<int> recorded;
        int entries = 0;
        for (int channel = 1; channel <= 8; ++channel) {
            const QSet<int> values = valuesOf(control.ManualState(channel).*field);
            entries += int(values.size());
            recorded.unite(values);
        }
        check(entries == recorded.size(), "a value is recorded for one channel at most");
        check(recorded == wire.value(code), "the record is what the frames switched on");
    }
    return 0;
}

int clockReplies(const std::uint8_t *data, std::size_t size)
{
    // What comes back to a clock or power-on time query: a time reaches the
    // window's picker only as a whole "hh:mm:ss" that says the same time.
    static const QRegularExpression clockText(u"^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]$"_s);
    const QByteArray reply(reinterpret_cast<const char *>(data),
                           qsizetype(std::min<std::size_t>(size, 64)));
    const ControllerClock::Reading r = ControllerClock::parseReading(reply);
    check(r.raw == reply, "the reply is kept as it came");
    switch (r.kind) {
    case ControllerClock::Reading::Kind::Time:
        check(r.time.isValid(), "a time is a valid time");
        check(clockText.match(QString::fromLatin1(reply)).hasMatch(), "only hh:mm:ss is a time");
        check(r.time.toString(u"HH:mm:ss"_s).toLatin1() == reply, "the time is the one sent");
        break;
    case ControllerClock::Reading::Kind::NotSet:
        check(reply == "??:??:??", "only ??:??:?? says no time is set");
        break;
    case ControllerClock::Reading::Kind::None:
        check(!r.time.isValid(), "no time without a time");
        break;
    }
    return 0;
}

int statusReplies(const std::uint8_t *data, std::size_t size)
{
    // The status check over the link: "全部刷新" with replies, noise, sorts
    // and a stop in any order. Every terminal stays in exactly one row; a row
    // shows "开" only for a reply that named its address, with the frequency
    // the reply carried; a whole poll asks each terminal with an address once.
    needApplication();
    Input in(data, std::min<std::size_t>(size, 1024));
    OpenLink rig;
    FakeSerialPort &port = rig.port;
    VirtualLinkClock &clock = rig.clock;
    ZoneLink &link = rig.link;
    StatusPoll poll(link);

    QList<StatusPoll::Node> nodes;
    const int count = int(in.byte() % 12) + 1;
    int askable = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned kind = in.byte();
        const QString address = kind % 4 == 0
            ? in.text(4)
            : QString::number(kind % 4 == 1 ? in.byte() : in.byte() % 4);
        nodes.append({u"终端%1"_s.arg(i), address, QString::number(in.byte() % 8 + 1)});
    }
    poll.setNodes(nodes);
    for (int i = 0; i < poll.count(); ++i)
        askable += poll.row(i).addressValue >= 0 ? 1 : 0;

    bool stopped = false;
    check(poll.refreshAll() == StatusPoll::Outcome::Started, "a poll starts on an open port");
    for (int step = 0; step < 400 && poll.busy(); ++step) {
        switch (in.atEnd() ? 0u : in.byte() % 6) {
        case 0:
        case 1:
            clock.fire();
            break;
        case 2: {
            // Most replies name an address the list holds.
            const unsigned to = in.byte();
            const int address = to < 0xC0 ? int(to % 4) : int(in.byte());
            StatusReply reply {address, int(in.byte()) * 100 + int(in.byte() % 100),
                               int(in.byte())};
            if (in.byte() % 3 == 0)
                reply.frequency = 8888;
            port.receive(statusReplyBytes(reply));
            break;
        }
        case 3: {
            QByteArray noise;
            for (int n = int(in.byte() % 24); n > 0; --n)
                noise.append(char(in.byte()));
            port.receive(noise);
            break;
        }
        case 4:
            poll.sortBy(int(in.byte() % StatusPoll::ColumnCount));
            break;
        case 5:
            if (in.byte() % 4 == 0) {
                poll.stop();
                stopped = true;
            }
            break;
        }
    }
    clock.runUntil([&poll] { return !poll.busy(); });
    check(!poll.busy(), "the poll ends");

    // What the chunks the link read said, by address: the link reads what
    // has come by each look, so pieces that came apart are read together.
    QMap<int, QSet<QString>> said;
    for (const QByteArray &chunk : std::as_const(port.reads)) {
        for (int a = 0; a < 256; ++a) {
            StatusRow row;
            if (StatusPoll::applyReply(row, a, chunk)) {
                const StatusReply reply = *parseStatusReply(chunk, a);
                if (!reply.constantVoltage())
                    check(row.frequency.count(u'.') == 1
                              && qRound(row.frequency.toDouble() * 10) == reply.frequency,
                          "a tuned frequency shows in MHz as it came in tenths");
                said[a].insert(row.frequency);
            }
        }
    }

    QList<int> serials;
    for (int i = 0; i < poll.count(); ++i) {
        const StatusRow &row = poll.row(i);
        serials.append(row.serial);
        check(poll.positionOf(row.serial) == i, "a row is found where it stands");
        if (!row.on) {
            check(row.frequency.isEmpty() && row.volume.isEmpty(), "an off row shows nothing");
            continue;
        }
        check(row.addressValue >= 0, "only a terminal with an address is on");
        check(said.value(row.addressValue).contains(row.frequency),
              "an on row shows what a reply for its address said");
        check((row.frequency == u"定压") == row.volume.isEmpty(),
              "a volume shows exactly when the terminal is tuned");
    }
    std::sort(serials.begin(), serials.end());
    for (int i = 0; i < serials.size(); ++i)
        check(serials.at(i) == i + 1, "every terminal stays in exactly one row");

    int asked = 0;
    FrameDecoder decoder;
    for (const QByteArray &bytes : port.writes()) {
        for (const FrameDecoder::Piece &piece : decoder.feed(bytes)) {
            if (piece.isFrame
                && static_cast<unsigned char>(piece.frame.raw.at(2)) == CommandCode::StatusQuery)
                ++asked;
        }
    }
    check(asked <= askable, "no terminal is asked twice in one poll");
    if (!stopped)
        check(asked == askable, "a whole poll asks every terminal with an address");
    return 0;
}

namespace {
class NoCd final : public PlaylistCd
{
public:
    bool canPlayTracks() const override { return false; }
};
} // namespace

int playlist(const std::uint8_t *data, std::size_t size)
{
    needApplication();
    static QTemporaryDir dir;
    check(dir.isValid(), "scratch folder");
    // Files that exist, one that does not, and a CD track the PC cannot play.
    static const QStringList files = [] {
        QStringList paths;
        for (const QString &name : {u"a.mp3"_s, u"b.wav"_s, u"c.mid"_s, u"d.wma"_s}) {
            QFile f(dir.filePath(name));
            check(f.open(QIODevice::WriteOnly), "a scratch media file");
            paths << f.fileName();
        }
        return paths << dir.filePath(u"gone.mp3"_s) << u"/media/cdrom/Track01.cda"_s;
    }();
    Input in(data, std::min<std::size_t>(size, 2048));
    FakeMediaPlayer player;
    NoCd cd;
    FakeClock clock;
    FakeDialogs dialogs;
    LogWriter log(AppFolder(dir.path()), clock, dialogs);
    Playlist list(player, cd, log);
    const auto some = [&in] {
        QStringList paths;
        for (int n = 1 + int(in.byte() % 3); n > 0; --n)
            paths << files.at(int(in.byte() % files.size()));
        return paths;
    };
    for (int step = 0; step < 80 && !in.atEnd(); ++step) {
        const int row = int(in.byte() % 8) - 1;
        switch (in.byte() % 14) {
        case 0:
            list.append(some());
            break;
        case 1:
            list.insertAt(row, some());
            break;
        case 2:
            list.removeRows({row});
            break;
        case 3:
            list.moveUp(row);
            break;
        case 4:
            list.moveDown(row);
            break;
        case 5:
            list.play();
            break;
        case 6:
            list.playFrom(row);
            break;
        case 7:
            list.transportPlay();
            break;
        case 8:
            list.transportPause();
            break;
        case 9:
            list.transportStop();
            break;
        case 10:
            // The list timer runs only for a hand-over, from an entry's end.
            if (list.isHandingOver())
                list.tmrlistplay_Timer();
            break;
        case 11:
            if (player.playing)
                player.finish();
            break;
        case 12:
            if (player.playing) {
                player.setPlaying(false);
                Q_EMIT player.failed(u"broken"_s);
            }
            break;
        default:
            list.setRepeat(in.byte() % 2);
            if (in.byte() % 8 == 0)
                list.clear();
            break;
        }
        // The entry that plays is the item it started as, wherever the
        // edits moved it, or none once it was taken out.
        const int current = list.currentIndex();
        check(current >= -1 && current < list.count(), "the current entry is in the list");
        const int playing = list.playingIndex();
        check(playing == -1 || playing == current, "the playing entry is the current one");
        if (playing >= 0)
            check(list.entries().at(playing) == list.currentFile(),
                  "the playing entry follows its item");
        if (player.playing && list.mode() != Playlist::Mode::Idle
            && list.mode() != Playlist::Mode::Cd)
            check(player.source == list.currentFile(), "the player plays the current file");
    }
    return 0;
}

} // namespace Fuzz
