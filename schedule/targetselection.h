#pragma once

#include "directory/nodefile.h"

#include <QList>
#include <QString>

#include <array>

// What one schedule entry switches on, as the editor chooses it: the
// terminals (in the order the operator chose them), the amplifiers and the
// devices. The node directory (node.txt) is the list to choose terminals
// from; rows are indexes into it, in file order.
//
// Addresses are compared by their number, never by their text: node.txt
// keeps addresses as typed ("05"), while the zone field of an entry holds
// them written plainly ("5.").
class TargetSelection
{
public:
    static constexpr int kBoxCount = 8; // amplifiers and devices, numbered 1..8
    static constexpr int kGroupCount = 8;

    struct Target
    {
        QString name;
        int address = 0;

        friend bool operator==(const Target &, const Target &) = default;
    };

    // Reads node.txt. A missing or broken file leaves the complete records
    // read before the fault (none for a missing file); the returned text says
    // what went wrong and is empty when the whole file was read.
    QString loadNodes(const QString &nodeFilePath);
    void setNodes(QList<NodeRecord> nodes) { m_nodes = std::move(nodes); }
    const QList<NodeRecord> &nodes() const { return m_nodes; }

    // The first row whose address has this number, or -1.
    int rowOfAddress(int address) const;
    // The rows of group 1..8, in file order.
    QList<int> rowsOfGroup(int group) const;

    const QList<Target> &targets() const { return m_targets; }
    // ">>": the list becomes every node in file order, equal names included.
    void addAllNodes();
    // ">", double click and the group menu: the nodes of these rows, in row
    // order, except those whose name is already chosen.
    void addNodes(QList<int> rows);
    void removeAllTargets() { m_targets.clear(); }
    // "<": the targets at these positions of the list.
    void removeTargets(QList<int> positions);

    bool amp(int n) const { return m_amps.at(index(n)); }
    void setAmp(int n, bool on) { m_amps.at(index(n)) = on; }
    bool device(int n) const { return m_devices.at(index(n)); }
    void setDevice(int n, bool on) { m_devices.at(index(n)) = on; }

    // The entry's fields as DotLists: the terminals in list order, the
    // amplifiers and devices in ascending order.
    QString zoneField() const;
    QString ampField() const;
    QString deviceField() const;

    // Shows an entry's targets: the terminals of zone in its order (an
    // address missing from node.txt stays, named by its number), exactly the
    // amplifiers and devices listed. Returns what had to be ignored (a piece
    // that is no number, an amplifier or device outside 1..8); empty when
    // nothing was.
    QString loadTargets(const QString &zone, const QString &amp, const QString &device);

    // The captions of the amplifier and device boxes, "功放3(name)" and
    // "外设3(name)", from amp_name.dat. A file with further blocks of 24
    // fields appends their names in further brackets. Fields a missing or
    // short file lacks leave the plain captions ("功放3"); problem says why.
    struct BoxCaptions
    {
        std::array<QString, kBoxCount> amps;
        std::array<QString, kBoxCount> devices;
        QString problem; // empty when the file was read whole
    };
    static BoxCaptions readBoxCaptions(const QString &ampNamePath);

    // "分组3:" followed by the name of group 3.
    static QString groupCaption(int group, const QString &name);

    // The value of a text of decimal digits (leading zeros and surrounding
    // blanks allowed), or -1 when it is no such number or above 99999.
    static int numberValue(QStringView text);

private:
    static std::size_t index(int n) { return std::size_t(n - 1); }
    // The node's address when it is one (0..255); a placeholder has none.
    int addressOfRow(int row) const;
    bool isChosen(const QString &name) const;

    QList<NodeRecord> m_nodes;
    QList<Target> m_targets;
    std::array<bool, kBoxCount> m_amps {};
    std::array<bool, kBoxCount> m_devices {};
};
