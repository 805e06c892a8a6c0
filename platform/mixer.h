#pragma once

#include <optional>

// The master (speaker) and microphone volume of the PC.
class Mixer
{
public:
    struct Range
    {
        long minimum = 0;
        long maximum = 0;
    };

    virtual ~Mixer();

    // Opens the mixer; 0 on success, else a negative error code.
    virtual int open() = 0;
    virtual std::optional<Range> speakerRange() const = 0;
    virtual std::optional<Range> micRange() const = 0;
    virtual bool setSpeakerVolume(long value) = 0;
    virtual bool setMicVolume(long value) = 0;
};

struct _snd_mixer;
struct _snd_mixer_elem;

// The ALSA simple mixer of the "default" device: "Master" for the speakers,
// "Capture" (or a microphone control) for the microphone.
class AlsaMixer final : public Mixer
{
public:
    AlsaMixer() = default;
    ~AlsaMixer() override;
    AlsaMixer(const AlsaMixer &) = delete;
    AlsaMixer &operator=(const AlsaMixer &) = delete;

    int open() override;
    std::optional<Range> speakerRange() const override;
    std::optional<Range> micRange() const override;
    bool setSpeakerVolume(long value) override;
    bool setMicVolume(long value) override;

    // What the sound system holds now for the master volume (first channel).
    std::optional<long> readSpeakerVolume();

private:
    _snd_mixer *m_handle = nullptr;
    _snd_mixer_elem *m_speaker = nullptr;
    _snd_mixer_elem *m_mic = nullptr;
    bool m_micIsCapture = true;
};
