#include "schedule/targetselection.h"

#include "directory/ampnamefile.h"
#include "platform/fieldreader.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kHighestAddress = 255;

// The pieces of a DotList. A reader ignores the empty piece after the last
// dot; a last piece without its dot (a hand-edited file) still counts.
QList<QStringView> dotPieces(const QString &list)
{
    QList<QStringView> pieces;
    for (QStringView piece : QStringView(list).split(u'.')) {
        if (!piece.trimmed().isEmpty())
            pieces.append(piece);
    }
    return pieces;
}

QString dotList(const QList<int> &numbers)
{
    QString text;
    for (int n : numbers)
        text += QString::number(n) + u'.';
    return text;
}

// Ticks exactly the boxes listed; returns the pieces that name no box.
QStringList loadBoxes(std::array<bool, TargetSelection::kBoxCount> &boxes, const QString &list)
{
    boxes.fill(false);
    QStringList ignored;
    for (QStringView piece : dotPieces(list)) {
        // By number, not by digit: "10." names no box rather than box 1.
        const int n = TargetSelection::numberValue(piece);
        if (n >= 1 && n <= TargetSelection::kBoxCount)
            boxes.at(std::size_t(n - 1)) = true;
        else
            ignored.append(piece.toString());
    }
    return ignored;
}

} // namespace

QString TargetSelection::loadNodes(const QString &nodeFilePath)
{
    const NodeFileRead read = readNodeFile(nodeFilePath);
    // What was read before a fault is what the directory window and the
    // console's start-up use too; the editor shows the same nodes.
    m_nodes = read.records;
    if (read.ok)
        return {};
    return read.missing ? u"the file does not exist"_s : read.error;
}

int TargetSelection::numberValue(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return -1;
    int value = 0;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 99999)
            return -1;
    }
    return value;
}

int TargetSelection::addressOfRow(int row) const
{
    const int address = numberValue(m_nodes.at(row).address);
    return address <= kHighestAddress ? address : -1;
}

int TargetSelection::rowOfAddress(int address) const
{
    if (address < 0)
        return -1;
    for (int row = 0; row < m_nodes.size(); ++row) {
        if (addressOfRow(row) == address)
            return row;
    }
    return -1;
}

QList<int> TargetSelection::rowsOfGroup(int group) const
{
    QList<int> rows;
    for (int row = 0; row < m_nodes.size(); ++row) {
        // A placeholder's empty group belongs to no group.
        if (numberValue(m_nodes.at(row).group) == group)
            rows.append(row);
    }
    return rows;
}

bool TargetSelection::isChosen(const QString &name) const
{
    return std::any_of(m_targets.cbegin(), m_targets.cend(),
                       [&name](const Target &t) { return t.name == name; });
}

void TargetSelection::addAllNodes()
{
    m_targets.clear();
    for (int row = 0; row < m_nodes.size(); ++row) {
        // A placeholder not yet given an address is no terminal; taking its
        // empty address as 0 would switch terminal 0 instead.
        const int address = addressOfRow(row);
        if (address >= 0)
            m_targets.append({m_nodes.at(row).name, address});
    }
}

void TargetSelection::addNodes(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        if (row < 0 || row >= m_nodes.size())
            continue;
        const int address = addressOfRow(row);
        // Chosen twice, a terminal would be switched twice by one command:
        // the name decides, as the operator sees the list.
        if (address >= 0 && !isChosen(m_nodes.at(row).name))
            m_targets.append({m_nodes.at(row).name, address});
    }
}

void TargetSelection::removeTargets(QList<int> positions)
{
    std::sort(positions.begin(), positions.end(), std::greater<>());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (int position : positions) {
        if (position >= 0 && position < m_targets.size())
            m_targets.removeAt(position);
    }
}

QString TargetSelection::zoneField() const
{
    QList<int> addresses;
    for (const Target &t : m_targets)
        addresses.append(t.address);
    return dotList(addresses);
}

QString TargetSelection::ampField() const
{
    QList<int> numbers;
    for (int n = 1; n <= kBoxCount; ++n) {
        if (amp(n))
            numbers.append(n);
    }
    return dotList(numbers);
}

QString TargetSelection::deviceField() const
{
    QList<int> numbers;
    for (int n = 1; n <= kBoxCount; ++n) {
        if (device(n))
            numbers.append(n);
    }
    return dotList(numbers);
}

QString TargetSelection::loadTargets(const QString &zone, const QString &amp, const QString &device)
{
    QStringList problems;
    m_targets.clear();
    for (QStringView piece : dotPieces(zone)) {
        const int address = numberValue(piece);
        if (address < 0) {
            problems.append(u"zone \"%1\" is no address"_s.arg(piece));
            continue;
        }
        // An address the directory no longer holds stays in the entry: the
        // operator sees it by its number and decides, and a Modify does not
        // drop it unnoticed.
        const int row = rowOfAddress(address);
        m_targets.append({row >= 0 ? m_nodes.at(row).name : QString::number(address), address});
    }
    for (const QString &piece : loadBoxes(m_amps, amp))
        problems.append(u"amplifier \"%1\" is not 1..8"_s.arg(piece));
    for (const QString &piece : loadBoxes(m_devices, device))
        problems.append(u"device \"%1\" is not 1..8"_s.arg(piece));
    return problems.join(u"; "_s);
}

TargetSelection::BoxCaptions TargetSelection::readBoxCaptions(const QString &ampNamePath)
{
    BoxCaptions captions;
    for (int n = 1; n <= kBoxCount; ++n) {
        captions.amps.at(index(n)) = u"功放"_s + QString::number(n);
        captions.devices.at(index(n)) = u"外设"_s + QString::number(n);
    }
    bool missing = false;
    auto opened = openFieldFile(ampNamePath, captions.problem, &missing);
    if (!opened) {
        if (missing)
            captions.problem = u"the file does not exist"_s;
        return captions;
    }
    FieldReader &reader = *opened;
    if (reader.atEnd()) {
        captions.problem = u"the file is empty"_s;
        return captions;
    }
    // Names are added as they are read, so a short block still names the
    // boxes it reached; every further block adds another bracket.
    const auto addName = [&captions](AmpNamePart part, int i, const QString &name) {
        auto &boxes = part == AmpNamePart::Amps ? captions.amps : captions.devices;
        boxes.at(std::size_t(i)) += u'(' + name + u')';
    };
    if (!readAmpNameBlocks(reader, false, addName))
        captions.problem = reader.errorText();
    return captions;
}

QString TargetSelection::groupCaption(int group, const QString &name)
{
    return u"分组"_s + QString::number(group) + u':' + name;
}
