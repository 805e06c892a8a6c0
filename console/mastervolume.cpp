#include "console/mastervolume.h"

#include <algorithm>

MasterVolume::MasterVolume(Mixer &mixer, Dialogs &dialogs, QObject *parent)
    : QObject(parent)
    , m_volume(mixer, dialogs)
{
}

void MasterVolume::open()
{
    m_volume.meOpenMixer();
    if (m_volume.prMixerErr() != 0)
        return;
    // Half the master range, but never beyond what a schedule file can hold.
    m_minimum = int(std::clamp<long>(m_volume.prSpeakerMinVolume(), 0, kScheduleMaximum));
    m_maximum
        = int(std::clamp<long>(m_volume.prSpeakerMaxVolume() / 2, m_minimum, kScheduleMaximum));
    Q_EMIT rangeChanged(m_minimum, m_maximum);
    if (m_value < m_minimum || m_value > m_maximum)
        setValue(m_value);
}

void MasterVolume::setValue(int value)
{
    const int v = std::clamp(value, m_minimum, m_maximum);
    if (v == m_value)
        return;
    m_value = v;
    m_volume.setPrSpeakerVolume(long(v) * 2);
    Q_EMIT valueChanged(v);
}

int MasterVolume::upFrom(int value)
{
    return value >= kScheduleMaximum - 1000 ? kScheduleMaximum : value + 1000;
}

int MasterVolume::downFrom(int value)
{
    return value > 1000 ? value - 1000 : 0;
}

void MasterVolume::up()
{
    setValue(upFrom(m_value));
}

void MasterVolume::down()
{
    setValue(downFrom(m_value));
}
