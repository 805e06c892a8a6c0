#pragma once

#include "console/console.h"
#include "platform/appfolder.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakelauncher.h"
#include "support/fakemediaplayer.h"
#include "support/fakemediaprobe.h"
#include "support/fakemixer.h"
#include "support/fakepower.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"

#include <QTemporaryDir>

#include <memory>

// A running console on fakes in a temporary application folder: a Monday
// morning, a week file with three items today, stored settings that point at
// it, a port that opens. Tests change the files or the store before start().
class ConsoleRig
{
public:
    ConsoleRig();
    ~ConsoleRig();

    // Builds the console (and runs its load sequence unless told not to).
    Console &start(bool runStartUp = true);
    Console &console() { return *m_console; }
    void destroyConsole() { m_console.reset(); }

    void setting(const QString &key, const QString &value);
    QString file(const QString &name) const { return dir.filePath(name); }
    // A week file line of today's table.
    static QString line(const QString &time, const QString &detail, const QString &file = QString(),
                        int volume = 16000);
    void writeWeek(const QString &mondayLines);

    QTemporaryDir dir;
    FakeClock clock {QDateTime(QDate(2026, 12, 7), QTime(6, 30, 0))}; // a Monday
    FakeDialogs dialogs;
    MemoryUserStore store;
    FakeMediaPlayer player;
    FakeMixer mixer;
    FakeSerialPort port;
    FakePower power;
    FakeLauncher launcher;
    FakeMediaProbe probe;
    QString weekFile;
    Dialogs *realDialogs = nullptr; // used instead of the fake when set
    Mixer *realMixer = nullptr; // likewise
    SerialPort *realPort = nullptr; // likewise

private:
    std::unique_ptr<Console> m_console;
};
