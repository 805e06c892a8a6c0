#pragma once

#include <QDateTime>
#include <QObject>
#include <QTime>

#include <functional>
#include <optional>

class SavedFiles;
class ZoneLink;

// The zone controller's clock and its automatic PC power-on time, set and
// read by hand, and the serial line test: all through the link's one queue,
// so they never interleave with the scheduler's frames.
class ControllerClock final : public QObject
{
    Q_OBJECT
public:
    // What a query brought back.
    struct Reading
    {
        enum class Kind {
            Time, // a valid "hh:mm:ss"
            NotSet, // "??:??:??": the controller has no power-on time
            None, // nothing, or nothing that is a time
        };
        Kind kind = Kind::None;
        QTime time;
        QByteArray raw; // the bytes as they came
    };
    using ReadDone = std::function<void(const Reading &reading)>;
    using TestDone = std::function<void(const QByteArray &echo)>;

    explicit ControllerClock(ZoneLink &link, QObject *parent = nullptr);

    // ClockSet and PowerOnTimeSet with the time as "hh.mm.ss.". Returns
    // whether the frame was queued.
    bool setClock(const QTime &time);
    bool setPowerOnTime(const QTime &time);
    // The system took moment as the PC's date and time: the controller's
    // clock follows (it keeps only the time of day), and the change is
    // announced to saved, so that the console reloads today's list, as the
    // date may have changed.
    void followSystemClock(const QDateTime &moment, SavedFiles &saved);

    // ClockQuery or PowerOnTimeQuery, awaited until eight bytes came or
    // 200 ms passed; done runs then, unless context is gone by then.
    void readClock(const QObject *context, ReadDone done);
    void readPowerOnTime(const QObject *context, ReadDone done);

    // Writes the text as typed (no frame around it) and hands back what the
    // controller echoes, until as many bytes came back or the wait is over.
    // The bytes never reach the remote keys, and the line is back to normal
    // afterwards.
    void testLine(const QByteArray &text, const QObject *context, TestDone done);

    static Reading parseReading(const QByteArray &reply);
    // How long the test waits for the echo of so many bytes: the way there
    // and back at 1200 baud, and 200 ms for the controller.
    static int testWaitMs(qsizetype bytes);

    static constexpr int kReplyBytes = 8;
    static constexpr int kReplyDeadlineMs = 200;

private:
    void read(int code, const QObject *context, ReadDone done);

    ZoneLink &m_link;
};
