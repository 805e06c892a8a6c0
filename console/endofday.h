#pragma once

#include <QObject>
#include <QTimer>

class Clock;
class ConsoleState;
class LogWriter;
class Power;
class ProgrammeModel;
class Scheduler;
class TodaySchedule;
class ZoneLink;
struct AppSettings;

// The end of the day: once the last item is over and everything it switched
// on is off, switch all equipment off, tell the controller when to power the
// PC on tomorrow, count down and power the PC off. Only with AutoShutdown on.
class EndOfDay final : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        const Clock &clock;
        const AppSettings &settings;
        ConsoleState &state;
        ProgrammeModel &model;
        TodaySchedule &today;
        Scheduler &scheduler;
        ZoneLink &link;
        LogWriter &log;
        Power &power;
    };

    explicit EndOfDay(const Services &services, QObject *parent = nullptr);

    void start(); // timercomm runs from the start of the window
    // The program ends: the timers stop, and closes still on their way do not
    // start the countdown again.
    void stop();

    void timercomm_Timer();
    void Timershutdown_Timer();

    // "hh.mm.ss." five minutes before the first item, or "05.00.00." without one.
    static QString powerOnList(const QString &firstItemTime);

    QTimer timercomm;
    QTimer Timershutdown;
    qint16 ShutdownTicks = 0;

Q_SIGNALS:
    // The PC was asked to power off: the program ends now, whatever is open.
    void programEnds();

private:
    void closedEverything(bool allSent);
    void write(int code, const QString &list);

    Services m_s; // what it works with, as given
    bool m_stopped = false;
};
