#pragma once

#include <QByteArray>
#include <QString>

// Short media files made at test time: playback runs in real time, so each
// lasts about a second.
namespace TestMedia {
QByteArray wav(double seconds, double frequency = 440.0, int sampleRate = 22050);
// A WAV of a rising tone, sweptFrequency(t) Hz at t seconds, so that the
// pitch heard tells where in the file the player stands.
QByteArray sweptWav(int seconds, int sampleRate = 22050);
constexpr double sweptFrequency(double seconds)
{
    return 300.0 + 100.0 * seconds;
}
constexpr double sweptSeconds(double frequency)
{
    return (frequency - 300.0) / 100.0;
}
// A format-0 MIDI file of four quarter notes at 120 beats a minute.
QByteArray midi();
// Wraps an MPEG-1 program stream of 2324-byte packs as a RIFF/CDXA file of
// mode-2 form-2 sectors, the way VCD .dat files are stored.
QByteArray cdxa(const QByteArray &programStream);
// Runs Debian's ffmpeg with the given arguments; false when it is missing or fails.
bool ffmpeg(const QStringList &arguments, QString *error = nullptr);
// Whether a PulseAudio server answers (`pactl info`), as the one ./test starts.
bool soundServerRunning();
} // namespace TestMedia

// Skips the test without a sound server to play on, and fails it when
// ./test started one (which it always does where PulseAudio is installed).
#define QUELLON_NEED_SOUND_SERVER()                                                                \
    do {                                                                                           \
        if (!TestMedia::soundServerRunning()) {                                                    \
            if (qEnvironmentVariableIsSet("QUELLON_REQUIRE_SOUND"))                                \
                QFAIL("no sound server, although ./test started one");                             \
            QSKIP("no sound server: run through ./test");                                          \
        }                                                                                          \
    } while (false)
