#pragma once

#include "zonelink/linkclock.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class Dialogs;
class SerialPort;
class UserStore;

// The serial link to the zone controller, shared by every window.
// Frames go out through one queue, one at a time and in order:
//  - SendFrame raises request-to-send, waits 100 ms, writes, waits until
//    the bytes are on the wire, waits 100 ms and drops request-to-send;
//  - WriteFrame writes at once, without line handling (the next frame still
//    waits until these bytes are out);
//  - QueryExchange writes a query and collects the reply; the terminal
//    status query first rests a send delay after its bytes are out and then
//    hands over every reply that comes within its window.
// Nothing waits by spinning: every pause is a timer. A caller that acts after
// its frames continues in the completion, so the order on the wire and on the
// PC is kept. When the device goes away, queued frames are dropped with a log
// line and the port is opened again as soon as the device is back.
//
// Every frame handed to the link is completed exactly once: its completion
// learns whether all its bytes were written (false when it was dropped, the
// port was closed or lost, or the port took fewer bytes than the frame), and
// a query's handler gets the reply (empty when none came, the query did not
// go out whole, or it was dropped). A completion given with a context runs only while that object
// lives; a null context counts as one already gone. The frame itself goes out
// or is dropped all the same.
//
// Completions run when the link is in a settled state, never halfway through
// a change: they may queue, query, close and reopen the port. The link calls
// nothing once it is destroyed; it must not be destroyed from a completion.
class ZoneLink final : public QObject
{
    Q_OBJECT
public:
    using Completion = std::function<void(bool sent)>;
    using ReplyHandler = std::function<void(const QByteArray &reply)>;

    struct Query
    {
        int replySize = 8; // the reply is complete at this many bytes
        int deadlineMs = 200; // after the write
        bool waitWholeDeadline = false; // keep the line until the deadline all the same
        bool dropTerminalReady = false; // DTR is down while the reply is awaited
        // From 0 on, the terminal status order: DTR is raised, the frame is
        // written and drained, the line rests this many milliseconds, and
        // only then does DTR drop (with dropTerminalReady), the input is
        // discarded and the deadline start. Negative: DTR drops and the input
        // is discarded before the write, and the deadline counts from it.
        int sendDelayMs = -1;
        // Called when the deadline starts counting, while the context lives.
        std::function<void()> windowOpened;
        // When set, the line is kept until the deadline whatever
        // waitWholeDeadline says, and every chunk of replySize bytes or more
        // read before it comes here as it is read,
        // while the context lives. The handler is then called at the deadline
        // with the bytes left over (fewer than replySize; empty when the
        // query did not go out whole or was dropped).
        ReplyHandler eachReply;
        // With the terminal status order, for a query nobody at the console
        // asked for: the remote keys pressed while it has the line are not
        // lost. What came before the window opened cannot be a reply (the
        // terminals answer only once DTR drops): the query's own echo left
        // out, it is read as a key chunk when the window opens. The caller
        // sorts the window's bytes and hands those that were no reply to
        // passOnKeys().
        bool keepKeys = false;
    };

    ZoneLink(SerialPort &port, UserStore &store, Dialogs &dialogs, QObject *parent = nullptr);
    // On a clock of the caller's (which must outlive the link).
    ZoneLink(SerialPort &port, UserStore &store, Dialogs &dialogs, LinkClock &clock,
             QObject *parent = nullptr);
    ~ZoneLink() override;

    // "com1".."com5" (exactly) → 1..5; any other text keeps current.
    static int portNumberOf(const QString &comPort, int current = 1);
    // The device of port n: group "ports", key "com<n>" of the per-user
    // store, by default /dev/ttyS<n-1>.
    QString devicePathFor(int portNumber) const;
    // Stores the device of port n for the next start; an empty path returns
    // the port to its default device.
    void setDevicePathFor(int portNumber, const QString &path);

    // Frames still queued for the port open so far are dropped; they are told
    // so once the new port is open (or known to be missing).
    void OpenZonePort(const QString &comPort);
    // Closes the port, then tells every frame still queued that it was not sent.
    void closePort();
    bool isOpen() const;
    QString devicePath() const { return m_devicePath; }

    // Builds the frames of a command (BuildFrames: a list longer than one
    // frame carries goes out as several, in list order) and sends them with
    // SendFrame (or WriteFrame). done is told once, after the last frame,
    // whether every frame went out. A command whose frames cannot be built
    // is logged and not sent; done is then told false at once. Returns
    // whether it was queued.
    bool sendCommand(int code, const QString &p1, const QString &p2, const QString &list);
    bool sendCommand(int code, const QString &p1, const QString &p2, const QString &list,
                     const QObject *context, Completion done);
    bool writeCommand(int code, const QString &p1, const QString &p2, const QString &list);
    bool writeCommand(int code, const QString &p1, const QString &p2, const QString &list,
                      const QObject *context, Completion done);

    void SendFrame(const QByteArray &frame);
    void SendFrame(const QByteArray &frame, const QObject *context, Completion done);
    void WriteFrame(const QByteArray &frame);
    void WriteFrame(const QByteArray &frame, const QObject *context, Completion done);
    // The frames one after another, as one command: done is told after the
    // last whether all of them went out (true at once for no frames).
    void SendFrames(const QList<QByteArray> &frames, const QObject *context, Completion done);
    void WriteFrames(const QList<QByteArray> &frames, const QObject *context, Completion done);
    void QueryExchange(const QByteArray &frame, const Query &query, const QObject *context,
                       ReplyHandler done);

    // Calls then after ms milliseconds, unless context is gone by then.
    static void WaitMs(int ms, QObject *context, std::function<void()> then);

    // Drops whatever the controller sent so far (not while a query has the line).
    void discardInput();
    // Bytes that came while a query had the line and were no part of its
    // reply: read as one chunk the controller sent on its own.
    void passOnKeys(const QByteArray &chunk);

    int queuedFrames() const { return int(m_jobs.size()) + (m_current ? 1 : 0); }

    // A window's command as the operator gave it ("矩阵", "输出 3 ← 输入 6"),
    // announced once beside the frames it queues, so that the log can say
    // who asked for them. Nothing goes on the wire.
    void announceCommand(const QString &kind, const QString &what);

    static constexpr int kGuardMs = 100;
    static constexpr int kReconnectMs = 1000;

Q_SIGNALS:
    // Every frame handed to the link, in queue order (for the log and tests).
    void frameQueued(const QByteArray &frame, bool lineHandling);
    // The port took every byte of a frame (a query's too), as it was written.
    void frameSent(const QByteArray &frame);
    // A frame that never went out whole: dropped from the queue (the port
    // closed or lost, another port opened, the link down when its turn came)
    // or not taken whole by the port; why says which, in the operator's words.
    void frameDropped(const QByteArray &frame, const QString &why);
    // See announceCommand.
    void commandAnnounced(const QString &kind, const QString &what);
    // The first byte of a chunk the controller sent on its own.
    void keyReceived(int code);
    void linkLost();
    void linkRestored();

private:
    enum class Kind { Send, Write, Query };
    enum class Phase { Idle, RtsLead, Draining, RtsTail, SendDelay, AwaitReply };
    // What to call when a job ends: done for frames, reply for queries.
    struct Callback
    {
        Completion done;
        ReplyHandler reply;
        QPointer<const QObject> context;
        bool owned = false; // runs only while context lives
    };
    struct Job
    {
        quint64 id = 0;
        Kind kind = Kind::Send;
        QByteArray frame;
        Query query;
        Callback callback;
        bool written = false; // the port took every byte of the frame
        bool delivered = false; // written and out on the wire: only the RTS tail is left
        bool tried = false; // handed to the port, and announced sent or dropped then
    };

    static Callback ownedBy(const QObject *context, Completion done);
    static Callback ownedBy(const QObject *context, ReplyHandler done);
    static void run(Callback callback, bool sent, const QByteArray &reply);

    bool command(Kind kind, int code, const QString &p1, const QString &p2, const QString &list,
                 Callback callback);
    void enqueue(Kind kind, const QByteArray &frame, const Query &query, Callback callback);
    void enqueueAll(Kind kind, const QList<QByteArray> &frames, Callback callback);
    void pump();
    void begin(Job job);
    void step();
    void writeCurrent();
    bool stillCurrent(quint64 id) const { return m_current && m_current->id == id; }
    // The job that has the line; there must be one.
    Job &current()
    {
        Q_ASSERT(m_current);
        return *m_current;
    }
    void finishCurrent();
    // The frame's bytes are about to be written: poll until they are out.
    void enterDraining();
    void openReplyWindow();
    void awaitEachReply();
    void finishQuery();
    // A query keeps the line from its write to its deadline: whatever comes
    // meanwhile is its reply or is discarded, never read as a key code here
    // (a query that keeps keys has them passed on by the end of it).
    bool queryHasLine() const { return m_current && m_current->kind == Kind::Query; }
    static bool ownerLives(const Callback &callback) { return !callback.owned || callback.context; }
    QList<Job> takeJobs();
    void dropJobs(QList<Job> jobs, const QString &why, const QString &operatorWhy);
    void onData();
    void onDeviceLost(const QString &reason);
    void tryReconnect();
    void prepareLines();
    ZoneLink(SerialPort &port, UserStore &store, Dialogs &dialogs,
             std::unique_ptr<LinkClock> ownClock, LinkClock *clock, QObject *parent);

    SerialPort &m_port;
    UserStore &m_store;
    Dialogs &m_dialogs;
    QString m_devicePath;
    QQueue<Job> m_jobs;
    std::optional<Job> m_current; // the job that has the line
    quint64 m_lastId = 0;
    Phase m_phase = Phase::Idle;
    std::unique_ptr<LinkClock> m_ownClock; // when the caller gave none
    LinkClock &m_clock; // paces the steps
    qint64 m_phaseStartMs = 0;
    qint64 m_drainLimitMs = 0;
    bool m_replyDelivered = false;
    QTimer m_reconnectTimer;
    bool m_lineWarningShown = false;
};
