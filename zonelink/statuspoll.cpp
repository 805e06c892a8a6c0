#include "zonelink/statuspoll.h"

#include "zonelink/frames.h"

#include <QCollator>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// A cell as a number for sorting: digits with at most one decimal point
// ("103.5"); nothing for an empty cell, "定压" or a hand-typed address.
std::optional<double> numberOf(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || !t.front().isDigit() || t.count(u'.') > 1)
        return std::nullopt;
    for (QChar c : t) {
        if (!c.isDigit() && c != u'.')
            return std::nullopt;
    }
    return t.toDouble();
}

bool sortsAsNumber(int column)
{
    return column != StatusPoll::StateColumn && column != StatusPoll::NameColumn;
}

// Negative when a sorts before b in ascending order of the column.
int compareRows(const StatusRow &a, const StatusRow &b, int column, const QCollator &collator)
{
    const QString x = StatusPoll::cellText(a, column);
    const QString y = StatusPoll::cellText(b, column);
    if (sortsAsNumber(column)) {
        const std::optional<double> p = numberOf(x);
        const std::optional<double> q = numberOf(y);
        if (p && q)
            return *p < *q ? -1 : (*p > *q ? 1 : 0);
        // Cells that are no number (empty, "定压") come first, among
        // themselves by text.
        if (p.has_value() != q.has_value())
            return p ? 1 : -1;
    }
    return collator.compare(x, y);
}

// A terminal as the log names it: "教学楼一层（地址 12）".
QString terminalText(const StatusRow &row)
{
    return u"%1（地址 %2）"_s.arg(row.name, row.address);
}

} // namespace

StatusPoll::StatusPoll(ZoneLink &link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{
}

void StatusPoll::setNodes(const QList<Node> &nodes)
{
    m_rows.clear();
    int serial = 0;
    for (const Node &node : nodes) {
        // Addresses as the rest of the console takes them: a placeholder or a
        // mistyped one is neither asked nor switched off.
        m_rows.append(StatusRow {++serial,
                                 node.name,
                                 node.address,
                                 node.group,
                                 nodeAddressValue(node.address),
                                 false,
                                 {},
                                 {}});
    }
    Q_EMIT orderChanged();
}

int StatusPoll::positionOf(int serial) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_rows.at(i).serial == serial)
            return i;
    }
    return -1;
}

QString StatusPoll::cellText(const StatusRow &row, int column)
{
    switch (column) {
    case StateColumn:
        return row.on ? u"开"_s : u"关"_s;
    case SerialColumn:
        return QString::number(row.serial);
    case NameColumn:
        return row.name;
    case FrequencyColumn:
        return row.frequency;
    case VolumeColumn:
        return row.volume;
    case AddressColumn:
        return row.address;
    case GroupColumn:
        return row.group;
    default:
        return {};
    }
}

ZoneLink::Query StatusPoll::statusQuery(int sendWait, int wait)
{
    ZoneLink::Query query;
    query.replySize = kReplySize;
    query.deadlineMs = replyWindowMs(wait);
    query.sendDelayMs = sendDelayMs(sendWait);
    query.waitWholeDeadline = true;
    query.dropTerminalReady = true;
    return query;
}

bool StatusPoll::applyReply(StatusRow &row, int address, const QByteArray &chunk)
{
    const std::optional<StatusReply> reply = parseStatusReply(chunk, address);
    if (!reply)
        return false;
    row.on = true;
    if (reply->constantVoltage()) {
        // A wired terminal has no tuner and no volume of its own.
        row.frequency = u"定压"_s;
        row.volume.clear();
    } else {
        // Truncating, as the tuner counts: 1000 tenths are "100.0".
        row.frequency = QString::number(reply->frequency / 10) + u'.'
            + QString::number(reply->frequency % 10);
        row.volume = QString::number(reply->volume);
    }
    return true;
}

void StatusPoll::markOff(StatusRow &row)
{
    row.on = false;
    row.frequency.clear();
    row.volume.clear();
}

void StatusPoll::changeRow(int serial, const std::function<bool(StatusRow &)> &change)
{
    const int position = positionOf(serial);
    if (position >= 0 && change(m_rows[position]))
        Q_EMIT rowChanged(position);
}

StatusPoll::Outcome StatusPoll::refreshRow(int position)
{
    if (position < 0 || position >= count() || m_rows.at(position).addressValue < 0)
        return Outcome::NothingToDo;
    if (m_busy)
        return Outcome::Busy;
    if (!m_link.isOpen())
        return Outcome::PortClosed;
    m_all = false;
    m_stopping = false;
    m_link.announceCommand(u"状态查询"_s, u"刷新 "_s + terminalText(m_rows.at(position)));
    setBusy(true);
    startQuery(m_rows.at(position).serial);
    return Outcome::Started;
}

StatusPoll::Outcome StatusPoll::refreshAll()
{
    if (m_rows.isEmpty())
        return Outcome::NothingToDo;
    if (m_busy)
        return Outcome::Busy;
    if (!m_link.isOpen())
        return Outcome::PortClosed;
    // The order shown now; a sort during the poll does not make it ask a
    // terminal twice or skip one.
    m_pollOrder.clear();
    for (const StatusRow &row : std::as_const(m_rows))
        m_pollOrder.append(row.serial);
    m_pollNext = 0;
    m_all = true;
    m_stopping = false;
    m_link.announceCommand(u"状态查询"_s, u"全部刷新 %1 个终端"_s.arg(m_pollOrder.size()));
    setBusy(true);
    queryNext();
    return Outcome::Started;
}

void StatusPoll::stop()
{
    if (!pollingAll() || m_stopping)
        return;
    m_stopping = true;
    Q_EMIT stoppingChanged(true);
}

void StatusPoll::queryNext()
{
    while (m_pollNext < m_pollOrder.size() && !m_stopping && m_link.isOpen()) {
        const int serial = m_pollOrder.at(m_pollNext++);
        m_progress = int(m_pollNext);
        Q_EMIT progressChanged(m_progress);
        // A row whose address is no byte cannot be asked; the poll goes on.
        if (startQuery(serial))
            return;
    }
    finish();
}

QByteArray StatusPoll::queryFrame(int address)
{
    return *BuildFrame(CommandCode::StatusQuery, 0, 0, QString::number(address) + u'.');
}

bool StatusPoll::startQuery(int serial)
{
    const int address = m_rows.at(positionOf(serial)).addressValue;
    if (address < 0)
        return false;
    const QByteArray frame = queryFrame(address);
    ZoneLink::Query query = statusQuery(m_sendWait, m_wait);
    query.windowOpened = [this, serial] {
        changeRow(serial, [](StatusRow &r) {
            markOff(r);
            return true;
        });
        Q_EMIT replyWindowOpened(positionOf(serial));
    };
    query.eachReply = [this, serial, address](const QByteArray &chunk) {
        changeRow(serial, [&](StatusRow &r) { return applyReply(r, address, chunk); });
    };
    // The handler comes when the window is over (or the query was dropped);
    // only then is the line free for the next terminal.
    m_link.QueryExchange(frame, query, this, [this](const QByteArray &) { queryDone(); });
    return true;
}

void StatusPoll::queryDone()
{
    if (!m_busy)
        return;
    if (m_all)
        queryNext();
    else
        finish();
}

void StatusPoll::finish()
{
    const bool portLost = !m_link.isOpen();
    const bool wasStopping = m_stopping;
    m_all = false;
    m_stopping = false;
    setBusy(false, portLost);
    if (wasStopping)
        Q_EMIT stoppingChanged(false);
}

void StatusPoll::setBusy(bool busy, bool portLost)
{
    m_busy = busy;
    Q_EMIT busyChanged(busy, portLost);
}

StatusPoll::Outcome StatusPoll::closeTerminal(int position)
{
    if (position < 0 || position >= count())
        return Outcome::NothingToDo;
    const int address = m_rows.at(position).addressValue;
    if (address < 0)
        return Outcome::NothingToDo;
    if (!m_link.isOpen())
        return Outcome::PortClosed;
    const int serial = m_rows.at(position).serial;
    m_link.announceCommand(u"状态查询"_s, u"关闭 "_s + terminalText(m_rows.at(position)));
    // No reply confirms it: the row shows what was sent. A frame that did
    // not go out leaves the row as it was.
    const bool queued
        = m_link.sendCommand(CommandCode::ZoneClose, u"0"_s, u"0"_s,
                             QString::number(address) + u'.', this, [this, serial](bool sent) {
                                 if (!sent) {
                                     Q_EMIT closeLost(positionOf(serial));
                                     return;
                                 }
                                 changeRow(serial, [](StatusRow &r) {
                                     markOff(r);
                                     return true;
                                 });
                             });
    return queued ? Outcome::Started : Outcome::NothingToDo;
}

void StatusPoll::sortBy(int column)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_ascending = !m_ascending;
    const bool ascending = m_ascending;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Stable: rows that compare equal keep their order in either direction.
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const StatusRow &a, const StatusRow &b) {
        const int c = compareRows(a, b, column, collator);
        return ascending ? c < 0 : c > 0;
    });
    Q_EMIT orderChanged();
}
