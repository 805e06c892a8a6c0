// The zone link driven by a script of events on a fake port and a clock of
// its own: frames and queries queued from contexts that may die, bytes from
// the controller, steps of time, the port closed, reopened and lost, and
// completions that themselves close, reopen and queue. Every job must be
// told exactly once, never after its context died; what reaches the wire is
// whole frames, each alone in its write, in queue order; request-to-send is
// down when the link is idle.
#include "fuzzinput.h"
#include "fuzztargets.h"

#include "support/fakedialogs.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "support/virtuallinkclock.h"
#include "zonelink/zonelink.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace Fuzz {
namespace {

class Script
{
public:
    Script(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_pos >= m_size; }
    int next() { return m_pos < m_size ? m_data[m_pos++] : 0; }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct Job
{
    QByteArray frame;
    QPointer<QObject> owner; // null once the context is gone
    int calls = 0;
    bool afterDeath = false;
};

class Driver
{
public:
    explicit Driver(Script &script)
        : m_script(script)
    {
        m_clock.useBy(m_port);
        m_port.devices.insert(u"/dev/ttyS0"_s);
        m_link = std::make_unique<ZoneLink>(m_port, m_store, m_dialogs, m_clock);
        m_link->OpenZonePort(u"com1"_s);
        for (auto &c : m_contexts)
            c = std::make_unique<QObject>();
    }

    void run()
    {
        while (!m_script.atEnd())
            act(0);
        // The script is over: time runs until the link has nothing left.
        for (int i = 0; i < 100000 && m_clock.fire(); ++i) { }
        check(!m_clock.isPending(), "the link comes to rest");
        check(m_link->queuedFrames() == 0, "nothing is left queued at rest");
        for (const Job &job : m_jobs) {
            // A job whose context went is not told at all, or was told before.
            check(job.owner ? job.calls == 1 : job.calls <= 1, "every job is told exactly once");
            check(!job.afterDeath, "no job is told after its context died");
        }
        check(!m_port.rtsRaised(), "request-to-send is down at rest");
        checkWire();
        m_link.reset();
    }

private:
    void act(int depth)
    {
        const int op = m_script.next();
        switch (op % 10) {
        case 0:
        case 1:
        case 2:
            queue(op % 3, depth);
            return;
        case 3: {
            QByteArray chunk;
            for (int n = m_script.next() % 16; n > 0; --n)
                chunk += char(m_script.next());
            m_port.receive(chunk);
            return;
        }
        case 4:
        case 5:
            for (int n = 1 + m_script.next() % 8; n > 0 && m_clock.fire(); --n) { }
            return;
        case 6:
            if (depth < 2) {
                // The port is closed before any completion runs: a frame a
                // completion queues meets a closed port (or one the
                // completion opened again), never the closing one.
                const qsizetype before = m_port.events.size();
                m_link->closePort();
                for (qsizetype i = before; i < m_port.events.size(); ++i) {
                    const QString &what = m_port.events.at(i).what;
                    if (what == u"close")
                        break;
                    check(what != u"write", "closing the port writes nothing");
                }
            }
            return;
        case 7:
            if (depth < 2) {
                m_port.devices.insert(u"/dev/ttyS0"_s);
                m_link->OpenZonePort(u"com1"_s);
            }
            return;
        case 8:
            if (depth < 2 && m_port.isOpen())
                m_port.loseDevice();
            return;
        default:
            m_contexts[std::size_t(m_script.next()) % m_contexts.size()].reset();
            return;
        }
    }

    // kind 0: SendFrame, 1: WriteFrame, 2: QueryExchange.
    void queue(int kind, int depth)
    {
        const int id = int(m_jobs.size());
        const int context = m_script.next() % int(m_contexts.size());
        QObject *owner = m_contexts[std::size_t(context)].get();
        if (!owner)
            owner = (m_contexts[std::size_t(context)] = std::make_unique<QObject>()).get();
        // A frame of its own: EB 14, the job's number, a few list values, FE 01.
        QByteArray frame = QByteArrayLiteral("\xEB\x14");
        frame += char(kind + 1);
        frame += char(id & 0xFF);
        frame += char(id >> 8);
        const int values = m_script.next() % 6;
        frame += char(values);
        for (int v = 0; v < values; ++v)
            frame += char(v);
        frame += QByteArrayLiteral("\xFE\x01");
        m_jobs.push_back({frame, owner});
        // A completion may act on the link itself, as the console's do.
        const int nested = m_script.next() % 4 == 0 ? m_script.next() : -1;
        const auto then = [this, id, depth, nested] {
            noteCall(id);
            if (nested >= 0 && depth < 2)
                act(depth + 1);
        };
        switch (kind) {
        case 0:
            m_link->SendFrame(frame, owner, [then](bool) { then(); });
            return;
        case 1:
            m_link->WriteFrame(frame, owner, [then](bool) { then(); });
            return;
        default: {
            ZoneLink::Query query;
            query.replySize = 1 + m_script.next() % 12;
            query.deadlineMs = 1 + m_script.next() % 200;
            query.waitWholeDeadline = m_script.next() % 2 == 0;
            query.dropTerminalReady = m_script.next() % 2 == 0;
            if (m_script.next() % 2 == 0) {
                query.sendDelayMs = m_script.next() % 100;
                query.windowOpened = [this, id] { noteSide(id); };
                query.eachReply = [this, id](const QByteArray &) { noteSide(id); };
            }
            m_link->QueryExchange(frame, query, owner, [then](const QByteArray &) { then(); });
            return;
        }
        }
    }

    void noteCall(int id)
    {
        Job &job = m_jobs[std::size_t(id)];
        ++job.calls;
        if (!job.owner)
            job.afterDeath = true;
    }

    void noteSide(int id)
    {
        const Job &job = m_jobs[std::size_t(id)];
        check(job.calls == 0, "nothing of a job is heard after its completion");
        check(!job.owner.isNull(), "nothing of a job is heard after its context died");
    }

    // Each write is one whole frame of a job, and frames reach the wire in
    // the order they were queued.
    void checkWire()
    {
        int lastId = -1;
        for (const QByteArray &bytes : m_port.writes()) {
            check(bytes.size() >= 8 && bytes.startsWith(QByteArrayLiteral("\xEB\x14")),
                  "a write starts a frame");
            const int id = static_cast<unsigned char>(bytes.at(3))
                | (static_cast<unsigned char>(bytes.at(4)) << 8);
            check(id < int(m_jobs.size()) && m_jobs[std::size_t(id)].frame == bytes,
                  "a write is one whole frame");
            check(id > lastId, "frames leave in queue order, each once");
            lastId = id;
        }
    }

    Script &m_script;
    VirtualLinkClock m_clock;
    FakeSerialPort m_port;
    MemoryUserStore m_store;
    FakeDialogs m_dialogs;
    std::unique_ptr<ZoneLink> m_link;
    std::array<std::unique_ptr<QObject>, 4> m_contexts;
    std::vector<Job> m_jobs;
};

} // namespace

int zoneLink(const std::uint8_t *data, std::size_t size)
{
    needApplication();
    Script script(data, std::min<std::size_t>(size, 4096));
    Driver(script).run();
    return 0;
}

} // namespace Fuzz
