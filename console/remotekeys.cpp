#include "console/remotekeys.h"

#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/programmemodel.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRemote, "quellon.remote")

RemoteKeys::RemoteKeys(ConsoleState &state, const AppSettings &settings, const ProgrammeModel &today,
                       ZoneLink &link, ConsoleActions &actions)
    : m_state(state)
    , m_settings(settings)
    , m_today(today)
    , m_link(link)
    , m_actions(actions)
{
}

int RemoteKeys::listCount() const
{
    return m_settings.RemoteScope ? int(m_state.RemoteSongCount()) : m_today.count();
}

void RemoteKeys::sendAll(int zoneCode, int ampCode, int deviceCode, bool open)
{
    const QString zero = QStringLiteral("0");
    QString p1 = zero;
    QString p2 = zero;
    if (open) {
        const FrequencyParameters f = splitFrequency(m_settings.SourceFrequency[1]);
        m_state.FreqHigh = f.FreqHigh;
        m_state.FreqLow = f.FreqLow;
        p1 = f.FreqHigh;
        p2 = f.FreqLow;
    }
    const struct
    {
        int code;
        QString p1, p2, list;
    } frames[] = {
        {zoneCode, p1, p2, m_settings.AllNodeList},
        {ampCode, zero, zero, kAllEight},
        {deviceCode, zero, zero, kAllEight},
    };
    for (const auto &f : frames)
        m_link.sendCommand(f.code, f.p1, f.p2, f.list);
}

void RemoteKeys::handle(int code)
{
    switch (RemoteKey(code)) {
    case RemoteKey::KeyPlay: {
        const int cursor = m_state.RemoteCursor;
        if (cursor == 0)
            return;
        // The cursor may point past a list that was saved shorter since it was set.
        QString file;
        if (m_settings.RemoteScope) {
            if (cursor <= m_state.RemoteSongCount())
                file = m_state.RemoteSongs.at(cursor - 1);
        } else if (cursor <= m_today.count()) {
            file = m_today.entry(cursor - 1).filename;
        }
        if (!file.isEmpty() && QFileInfo(file).isFile())
            m_actions.playsong(file, QStringLiteral("0"));
        m_actions.enterRemoteManualMode();
        qCInfo(lcRemote) << "key 1: entry" << cursor << file << "- work status manual";
        return;
    }
    case RemoteKey::KeyAllOn:
        sendAll(CommandCode::ZoneOpen, CommandCode::AmpOpen, CommandCode::DeviceOpen, true);
        qCInfo(lcRemote) << "key 2: everything on";
        return;
    case RemoteKey::KeyStop:
        m_actions.stopForRemote();
        qCInfo(lcRemote) << "key 3: stopped - work status automatic";
        return;
    case RemoteKey::KeyAllOff:
        sendAll(CommandCode::ZoneClose, CommandCode::AmpClose, CommandCode::DeviceClose, false);
        qCInfo(lcRemote) << "key 4: everything off";
        return;
    case RemoteKey::KeyPrevious:
        if (listCount() > 1 && m_state.RemoteCursor > 1)
            --m_state.RemoteCursor;
        qCInfo(lcRemote) << "key 5: cursor" << m_state.RemoteCursor;
        return;
    case RemoteKey::KeyNext:
        if (m_state.RemoteCursor < listCount())
            ++m_state.RemoteCursor;
        qCInfo(lcRemote) << "key 7: cursor" << m_state.RemoteCursor;
        return;
    case RemoteKey::KeyVolumeUp: {
        const int v = m_actions.volumeSliderValue();
        m_actions.setVolumeSliderValue(v + 5000 < 32767 ? v + 5000 : 32767);
        qCInfo(lcRemote) << "key 6: volume" << m_actions.volumeSliderValue();
        return;
    }
    case RemoteKey::KeyVolumeDown: {
        const int v = m_actions.volumeSliderValue();
        m_actions.setVolumeSliderValue(v > 5000 ? v - 5000 : 0);
        qCInfo(lcRemote) << "key 8: volume" << m_actions.volumeSliderValue();
        return;
    }
    }
}
