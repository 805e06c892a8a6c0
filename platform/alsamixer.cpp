#include "platform/mixer.h"

#include <alsa/asoundlib.h>

Mixer::~Mixer() = default;

namespace {
snd_mixer_elem_t *findElement(snd_mixer_t *handle, const char *name)
{
    snd_mixer_selem_id_t *id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, name);
    return snd_mixer_find_selem(handle, id);
}
} // namespace

AlsaMixer::~AlsaMixer()
{
    if (m_handle)
        snd_mixer_close(m_handle);
}

int AlsaMixer::open()
{
    if (m_handle) {
        snd_mixer_close(m_handle);
        m_handle = nullptr;
        m_speaker = m_mic = nullptr;
    }
    snd_mixer_t *handle = nullptr;
    int err = snd_mixer_open(&handle, 0);
    if (err < 0)
        return err;
    if ((err = snd_mixer_attach(handle, "default")) < 0
        || (err = snd_mixer_selem_register(handle, nullptr, nullptr)) < 0
        || (err = snd_mixer_load(handle)) < 0) {
        snd_mixer_close(handle);
        return err;
    }
    m_handle = handle;
    m_speaker = findElement(handle, "Master");
    if (m_speaker && !snd_mixer_selem_has_playback_volume(m_speaker))
        m_speaker = nullptr;
    // The microphone: the capture control, else a microphone playback control.
    for (const char *name : {"Capture", "Mic", "Mic Capture"}) {
        snd_mixer_elem_t *elem = findElement(handle, name);
        if (elem && snd_mixer_selem_has_capture_volume(elem)) {
            m_mic = elem;
            m_micIsCapture = true;
            break;
        }
        if (elem && snd_mixer_selem_has_playback_volume(elem)) {
            m_mic = elem;
            m_micIsCapture = false;
            break;
        }
    }
    return 0;
}

std::optional<Mixer::Range> AlsaMixer::speakerRange() const
{
    Range r;
    if (!m_speaker
        || snd_mixer_selem_get_playback_volume_range(m_speaker, &r.minimum, &r.maximum) < 0)
        return std::nullopt;
    return r;
}

std::optional<Mixer::Range> AlsaMixer::micRange() const
{
    Range r;
    if (!m_mic)
        return std::nullopt;
    const int err = m_micIsCapture
        ? snd_mixer_selem_get_capture_volume_range(m_mic, &r.minimum, &r.maximum)
        : snd_mixer_selem_get_playback_volume_range(m_mic, &r.minimum, &r.maximum);
    if (err < 0)
        return std::nullopt;
    return r;
}

bool AlsaMixer::setSpeakerVolume(long value)
{
    return m_speaker && snd_mixer_selem_set_playback_volume_all(m_speaker, value) >= 0;
}

bool AlsaMixer::setMicVolume(long value)
{
    if (!m_mic)
        return false;
    return (m_micIsCapture ? snd_mixer_selem_set_capture_volume_all(m_mic, value)
                           : snd_mixer_selem_set_playback_volume_all(m_mic, value))
        >= 0;
}

std::optional<long> AlsaMixer::readSpeakerVolume()
{
    if (!m_speaker)
        return std::nullopt;
    snd_mixer_handle_events(m_handle);
    long value = 0;
    if (snd_mixer_selem_get_playback_volume(m_speaker, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return std::nullopt;
    return value;
}
