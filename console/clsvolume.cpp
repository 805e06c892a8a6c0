#include "console/clsvolume.h"

#include "platform/dialogs.h"
#include "platform/mixer.h"

clsVolume::clsVolume(Mixer &mixer, Dialogs &dialogs)
    : m_mixer(mixer)
    , m_dialogs(dialogs)
{
}

void clsVolume::meOpenMixer()
{
    m_error = m_mixer.open();
    if (m_error != 0) {
        // Raised by the start-up: shown without holding up the timers.
        m_dialogs.notify(QStringLiteral("Could not open the mixer."),
                         QStringLiteral("Volume Control"), MsgIcon::Error, nullptr);
        return;
    }
    if (const auto r = m_mixer.speakerRange()) {
        m_speakerMin = r->minimum;
        m_speakerMax = r->maximum;
    }
    if (const auto r = m_mixer.micRange()) {
        m_micMin = r->minimum;
        m_micMax = r->maximum;
    }
}

void clsVolume::setPrSpeakerVolume(long value)
{
    m_speaker = value;
    if (m_error == 0)
        m_mixer.setSpeakerVolume(value);
}

void clsVolume::setPrMicVolume(long value)
{
    m_mic = value;
    if (m_error == 0)
        m_mixer.setMicVolume(value);
}
