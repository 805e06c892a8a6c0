#pragma once

#include "directory/nodefile.h"
#include "zonelink/zonelink.h"

#include <QList>
#include <QObject>
#include <QString>

// One terminal of the status report: what node.txt says of it and what its
// last valid reply said.
struct StatusRow
{
    int serial = 0; // 1, 2, … in node.txt order; stays with the terminal when sorted
    QString name;
    QString address;
    QString group;
    int addressValue = -1; // the address as a number 0..255; -1 when it is none
    bool on = false;
    QString frequency; // "103.5", "定压" or empty
    QString volume; // empty unless a reply of a tuned terminal gave one
};

// The terminal status check: asks the terminals one at a time through the
// zone link whether they are on, at which frequency and volume, and switches
// one off. Rows are kept in the order shown; sorting reorders them.
//
// Each query is one exchange on the link's queue, so nothing interleaves
// with the scheduler's frames: DTR up, StatusQuery written, the send delay,
// DTR down and the input discarded, the row marked off, then the reply window
// waited out in full, every chunk of 12 bytes or more tested.
class StatusPoll final : public QObject
{
    Q_OBJECT
public:
    enum Column {
        StateColumn,
        SerialColumn,
        NameColumn,
        FrequencyColumn,
        VolumeColumn,
        AddressColumn,
        GroupColumn,
        ColumnCount
    };
    // What became of a command.
    enum class Outcome { Started, NothingToDo, Busy, PortClosed };

    // A terminal of node.txt, as the directory reads it.
    using Node = NodeRecord;

    static constexpr int kSliderMax = 10;
    static constexpr int kInitialSendWait = 6;
    static constexpr int kInitialWait = 1;
    static constexpr int kReplySize = 12;

    explicit StatusPoll(ZoneLink &link, QObject *parent = nullptr);

    // Rows in file order, all off with no frequency and volume.
    void setNodes(const QList<Node> &nodes);
    int count() const { return int(m_rows.size()); }
    // The row at a position of the order shown (0-based).
    const StatusRow &row(int position) const { return m_rows.at(position); }
    int positionOf(int serial) const;
    static QString cellText(const StatusRow &row, int column);

    // The two sliders: send delay 50 + 5 × value ms, reply window
    // 200 + 100 × value ms. A change applies from the next terminal on.
    static int sendDelayMs(int sendWait) { return 50 + 5 * sendWait; }
    static int replyWindowMs(int wait) { return 200 + 100 * wait; }
    void setSendWait(int value) { m_sendWait = value; }
    void setWait(int value) { m_wait = value; }
    static ZoneLink::Query statusQuery(int sendWait, int wait);
    // The status query frame for the terminal at address.
    static QByteArray queryFrame(int address);

    // A reply chunk for the terminal at address: when bytes 2, 3 and 6 say it
    // is one, the row shows "开" with its frequency and volume ("定压" and no
    // volume for 8888) and true is returned; any other chunk changes nothing.
    static bool applyReply(StatusRow &row, int address, const QByteArray &chunk);
    static void markOff(StatusRow &row);

    // "选中刷新" and the menu's "刷新": one row (-1: none selected). A row
    // without an address 0..255 is not asked, nor switched off.
    Outcome refreshRow(int position);
    // "全部刷新": every row in the order shown now, the progress following.
    Outcome refreshAll();
    // Ends "全部刷新" once the terminal being asked has had its window.
    void stop();
    bool busy() const { return m_busy; }
    bool pollingAll() const { return m_busy && m_all; }
    bool stopping() const { return m_stopping; }
    // Position in "全部刷新" of the terminal asked last (1-based); it stays
    // when the poll ends.
    int progress() const { return m_progress; }

    // The menu's "关闭": ZoneClose with the row's address (with line
    // handling, through the link's command, which splits any list over as
    // many frames as it needs); the row is marked off once the frame is out.
    // A frame the link drops (the port lost meanwhile) or the port did not
    // take whole leaves the row and says closeLost.
    Outcome closeTerminal(int position);

    // Sorts by a column and switches the direction on every call, whichever
    // the column: the first sort is ascending. Numbers sort by value, texts by text.
    void sortBy(int column);
    Qt::SortOrder sortOrder() const
    {
        return m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
    }

Q_SIGNALS:
    void rowChanged(int position);
    void orderChanged();
    void progressChanged(int value);
    // A refresh started or ended; portLost when it ended because the port
    // closed under it.
    void busyChanged(bool busy, bool portLost);
    void stoppingChanged(bool stopping);
    // The row was marked off and its reply window opened.
    void replyWindowOpened(int position);
    // The ZoneClose of the row did not go out: the port closed before it
    // did, or did not take it whole.
    void closeLost(int position);

private:
    bool startQuery(int serial);
    void queryNext();
    void queryDone();
    void finish();
    void setBusy(bool busy, bool portLost = false);
    void changeRow(int serial, const std::function<bool(StatusRow &)> &change);

    ZoneLink &m_link;
    QList<StatusRow> m_rows; // in the order shown
    int m_sendWait = kInitialSendWait;
    int m_wait = kInitialWait;
    bool m_ascending = false; // flipped before each sort
    bool m_busy = false;
    bool m_all = false;
    bool m_stopping = false;
    QList<int> m_pollOrder; // serials, as shown when "全部刷新" began
    qsizetype m_pollNext = 0;
    int m_progress = 0;
};
