#pragma once

class Dialogs;
class Mixer;

// The master and microphone volume of the PC, as the console uses them.
// Setting a volume before the mixer opened, or after it failed to, does nothing.
class clsVolume
{
public:
    clsVolume(Mixer &mixer, Dialogs &dialogs);

    // Opens the mixer and takes the ranges; a failure is shown as the notice
    // "Could not open the mixer." under "Volume Control".
    void meOpenMixer();

    int prMixerErr() const { return m_error; }
    long prSpeakerMinVolume() const { return m_speakerMin; }
    long prSpeakerMaxVolume() const { return m_speakerMax; }
    long prSpeakerVolume() const { return m_speaker; }
    void setPrSpeakerVolume(long value);
    long prMicMinVolume() const { return m_micMin; }
    long prMicMaxVolume() const { return m_micMax; }
    long prMicVolume() const { return m_mic; }
    void setPrMicVolume(long value);

private:
    Mixer &m_mixer;
    Dialogs &m_dialogs;
    int m_error = -1; // not opened yet
    long m_speakerMin = 0;
    long m_speakerMax = 0;
    long m_speaker = 0;
    long m_micMin = 0;
    long m_micMax = 0;
    long m_mic = 0;
};
