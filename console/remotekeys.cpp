#include "console/remotekeys.h"

#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/remotelist.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRemote, "quellon.remote")

namespace {
const QString kUnsentStatus = QStringLiteral("外设状态：遥控命令未能发送到分区控制器");
const QString kLinkDownStatus
    = QStringLiteral("外设状态：与分区控制器的连接中断，遥控命令未能发送");
} // namespace

RemoteKeys::RemoteKeys(const Services &services, QObject *parent)
    : QObject(parent)
    , m_s(services)
{
}

void RemoteKeys::sendAll(int zoneCode, int ampCode, int deviceCode, bool open)
{
    const QString zero = QStringLiteral("0");
    QString p1 = zero;
    QString p2 = zero;
    if (open) {
        const FrequencyParameters f = splitFrequency(m_s.settings.SourceFrequency[1]);
        p1 = f.FreqHigh;
        p2 = f.FreqLow;
    }
    const struct
    {
        int code;
        QString p1, p2, list;
    } frames[] = {
        {zoneCode, p1, p2, m_s.settings.AllNodeList},
        {ampCode, zero, zero, kAllEight},
        {deviceCode, zero, zero, kAllEight},
    };
    for (const auto &f : frames) {
        // All terminals may be more than one frame carries: the link splits
        // the list and answers once, after the last frame. The key's holder
        // sees nothing of a failure; the console's status panel says it.
        m_s.link.sendCommand(f.code, f.p1, f.p2, f.list, this, [this, code = f.code](bool sent) {
            if (sent)
                return;
            qCWarning(lcRemote) << CommandCode::name(code) << "did not reach the zone controller";
            m_s.state.setEquipmentStatus(m_s.link.isOpen() ? kUnsentStatus : kLinkDownStatus);
        });
    }
}

void RemoteKeys::switchAllOn()
{
    sendAll(CommandCode::ZoneOpen, CommandCode::AmpOpen, CommandCode::DeviceOpen, true);
}

void RemoteKeys::switchAllOff()
{
    sendAll(CommandCode::ZoneClose, CommandCode::AmpClose, CommandCode::DeviceClose, false);
}

void RemoteKeys::handle(int code)
{
    switch (RemoteKey(code)) {
    case RemoteKey::KeyPlay: {
        const int cursor = m_s.list.cursor();
        if (cursor == 0)
            return;
        const QString file = m_s.list.fileAtCursor();
        // Manual whether or not the file is there to play.
        m_s.playback.playByHand(file, QStringLiteral("0"), PlayerHolder::Remote);
        m_s.state.setManualMode(true);
        qCInfo(lcRemote) << "key 1: entry" << cursor << file << "- work status manual";
        return;
    }
    case RemoteKey::KeyAllOn:
        switchAllOn();
        qCInfo(lcRemote) << "key 2: everything on";
        return;
    case RemoteKey::KeyStop:
        m_s.playback.stopByHand();
        m_s.state.setManualMode(false);
        qCInfo(lcRemote) << "key 3: stopped - work status automatic";
        return;
    case RemoteKey::KeyAllOff:
        switchAllOff();
        qCInfo(lcRemote) << "key 4: everything off";
        return;
    case RemoteKey::KeyPrevious:
        m_s.list.previous();
        qCInfo(lcRemote) << "key 5: cursor" << m_s.list.cursor();
        return;
    case RemoteKey::KeyNext:
        m_s.list.next();
        qCInfo(lcRemote) << "key 7: cursor" << m_s.list.cursor();
        return;
    case RemoteKey::KeyVolumeUp: {
        const int v = m_s.volume.value();
        m_s.volume.setValue(v + 5000 < 32767 ? v + 5000 : 32767);
        qCInfo(lcRemote) << "key 6: volume" << m_s.volume.value();
        return;
    }
    case RemoteKey::KeyVolumeDown: {
        const int v = m_s.volume.value();
        m_s.volume.setValue(v > 5000 ? v - 5000 : 0);
        qCInfo(lcRemote) << "key 8: volume" << m_s.volume.value();
        return;
    }
    }
}
