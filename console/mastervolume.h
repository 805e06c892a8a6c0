#pragma once

#include "console/clsvolume.h"

#include <QObject>

class Dialogs;
class Mixer;

// The one volume of the console's player, on the scale of the volume slider
// and of the schedule files (0..32767). The slider, the scheduler, the remote
// keys and the volume commands all change this value; the PC's master volume
// follows it at twice the value.
class MasterVolume final : public QObject
{
    Q_OBJECT
public:
    MasterVolume(Mixer &mixer, Dialogs &dialogs, QObject *parent = nullptr);

    // Opens the mixer and takes its range; a failure is shown as a notice and
    // leaves the designed range, with the master volume untouched.
    void open();
    clsVolume &mixer() { return m_volume; }

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    // Clamped to the range; the mixer is set only when the value changes.
    void setValue(int value);
    // "增大音量" and "减小音量".
    void up();
    void down();

    static int upFrom(int value);
    static int downFrom(int value);

    static constexpr int kScheduleMaximum = 32767; // a volume of a schedule file is 16-bit

Q_SIGNALS:
    void valueChanged(int value);
    void rangeChanged(int minimum, int maximum);

private:
    clsVolume m_volume;
    int m_value = 0;
    int m_minimum = 0;
    int m_maximum = kScheduleMaximum;
};
