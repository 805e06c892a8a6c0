#include "directory/nodedirectory.h"

#include "platform/gbk.h"
#include "platform/profileini.h"
#include "platform/savedfiles.h"
#include "platform/textfile.h"

#include <QCollator>

#include <algorithm>
#include <limits>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

const QString kGroupSection = u"分组名称"_s;

// A field of node.txt as a number for sorting; false when it is not one
// (a placeholder's empty field, or text typed into the file by hand).
bool fieldNumber(const QString &field, qulonglong &value)
{
    const QString t = field.trimmed();
    if (t.isEmpty())
        return false;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return false;
    }
    bool ok = false;
    value = t.toULongLong(&ok);
    if (!ok)
        value = std::numeric_limits<qulonglong>::max(); // too many digits: largest
    return true;
}

// The quoted layout has no escape for a double quote, a line break would
// split the record, another control character would end the file (0x1A) or
// make it unreadable (NUL), and a character outside GBK would come back as
// "?": any of them would change what the operator typed, so such a text is
// not saved at all, and the window says which text it is.
TextFault textProblem(const QString &text)
{
    return textFault(text, TextLayout::Quoted);
}

QString problemMessage(TextFault problem, const QString &where, const QString &text)
{
    if (problem == TextFault::Quote)
        return where + u"中含有双引号（\"），无法保存，请去掉双引号后再保存。"_s;
    if (problem == TextFault::Control)
        return where + u"中含有"_s + controlCharacterText(text) + u"，无法保存，请去掉后再保存。"_s;
    return where + u"中含有无法保存的字符，请修改后再保存。"_s;
}

} // namespace

NodeDirectory::NodeDirectory(QString nodeFile, const ProfileIni &configIni, QObject *parent)
    : QAbstractTableModel(parent)
    , m_nodeFile(std::move(nodeFile))
    , m_configIni(configIni)
{
    for (int n = 1; n <= GroupCount; ++n)
        m_groupNames[n] = m_storedGroupNames[n] = groupKey(n);
}

QString NodeDirectory::groupKey(int n)
{
    return u"分组"_s + QString::number(n);
}

QString NodeDirectory::load()
{
    const NodeFileRead read = readNodeFile(m_nodeFile);
    beginResetModel();
    m_nodes = read.records;
    endResetModel();
    readGroupNames();
    m_nodesModified = false;
    return read.ok ? QString() : read.error;
}

void NodeDirectory::readGroupNames()
{
    for (int n = 1; n <= GroupCount; ++n) {
        const QString key = groupKey(n);
        m_storedGroupNames[n] = m_configIni.getString(kGroupSection, key, key, GroupNameBytes + 1);
        m_groupNames[n] = m_storedGroupNames[n];
    }
}

void NodeDirectory::appendRecord(const NodeRecord &node)
{
    beginInsertRows({}, count(), count());
    m_nodes.append(node);
    endInsertRows();
    m_nodesModified = true;
}

bool NodeDirectory::addPlaceholder()
{
    // The controller addresses 256 terminals; a directory read from a file
    // edited by hand may already hold more than the window lets New make.
    if (count() >= MaxNodes)
        return false;
    appendRecord({u"新节点"_s, QString(), QString()});
    return true;
}

NodeDirectory::EditError NodeDirectory::addNode(const QString &name, const QString &address,
                                                int group)
{
    if (!validGroup(group))
        return EditError::NoGroup;
    appendRecord({withoutEdgeBlanks(name), address, QString::number(group)});
    return EditError::None;
}

NodeDirectory::EditError NodeDirectory::modifyNode(int row, const QString &name,
                                                   const QString &address, int group)
{
    if (row < 0 || row >= count())
        return EditError::NoCurrentNode;
    NodeRecord &node = m_nodes[row];
    node.name = withoutEdgeBlanks(name);
    node.address = address;
    m_nodesModified = true;
    EditError result = EditError::NoGroup;
    if (validGroup(group)) {
        node.group = QString::number(group);
        result = EditError::None;
    }
    Q_EMIT dataChanged(index(row, NameColumn), index(row, GroupColumn));
    return result;
}

NodeDirectory::EditError NodeDirectory::removeNode(int row)
{
    if (m_nodes.isEmpty())
        return EditError::None;
    if (row < 0 || row >= count())
        return EditError::NoCurrentNode;
    beginRemoveRows({}, row, row);
    m_nodes.removeAt(row);
    endRemoveRows();
    m_nodesModified = true;
    return EditError::None;
}

void NodeDirectory::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    const auto field = [column](const NodeRecord &node) -> const QString & {
        return column == NameColumn   ? node.name
            : column == AddressColumn ? node.address
                                      : node.group;
    };
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Negative when a sorts before b in ascending order.
    const auto compare = [&](const NodeRecord &a, const NodeRecord &b) {
        if (column != NameColumn) {
            qulonglong x = 0;
            qulonglong y = 0;
            const bool xNumber = fieldNumber(field(a), x);
            const bool yNumber = fieldNumber(field(b), y);
            if (xNumber && yNumber)
                return x < y ? -1 : (x > y ? 1 : 0);
            if (xNumber != yNumber)
                return xNumber ? 1 : -1;
        }
        return collator.compare(field(a), field(b));
    };

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> rows(count());
    std::iota(rows.begin(), rows.end(), 0);
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        const int c = compare(m_nodes.at(a), m_nodes.at(b));
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    QList<NodeRecord> sorted;
    QList<int> newRow(count());
    for (int i = 0; i < rows.size(); ++i) {
        sorted.append(m_nodes.at(rows.at(i)));
        newRow[rows.at(i)] = i;
    }
    m_nodes = sorted;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    for (const QModelIndex &i : from)
        to.append(index(newRow.at(i.row()), i.column()));
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString NodeDirectory::groupName(int n) const
{
    return validGroup(n) ? m_groupNames[n] : QString();
}

void NodeDirectory::setGroupName(int n, const QString &name)
{
    // config.ini drops the blanks around a value when it is read.
    if (validGroup(n))
        m_groupNames[n] = withoutEdgeBlanks(name);
}

QString NodeDirectory::groupEntry(int n) const
{
    return validGroup(n) ? QString::number(n) + u"--"_s + m_storedGroupNames[n] : QString();
}

bool NodeDirectory::isModified() const
{
    return m_nodesModified || m_groupNames != m_storedGroupNames;
}

void NodeDirectory::discardChanges()
{
    m_groupNames = m_storedGroupNames;
    m_nodesModified = false;
}

QString NodeDirectory::unsavableText() const
{
    for (const NodeRecord &node : m_nodes) {
        if (const TextFault p = textProblem(node.name); p != TextFault::None)
            return problemMessage(p, u"节点名称“"_s + node.name + u"”"_s, node.name);
        for (const QString &field : {node.address, node.group}) {
            if (const TextFault p = textProblem(field); p != TextFault::None)
                return problemMessage(p, u"节点“"_s + node.name + u"”的地址或分组"_s, field);
        }
    }
    for (int n = 1; n <= GroupCount; ++n) {
        if (const TextFault p = textProblem(m_groupNames[n]); p != TextFault::None)
            return problemMessage(p, groupKey(n) + u"名称“"_s + m_groupNames[n] + u"”"_s,
                                  m_groupNames[n]);
    }
    return {};
}

NodeDirectory::SaveOutcome NodeDirectory::save(SavedFiles &saved)
{
    if (QString refused = unsavableText(); !refused.isEmpty())
        return {SaveOutcome::Refused, refused};
    if (QString error = writeNodeFile(m_nodeFile, m_nodes); !error.isEmpty())
        return {SaveOutcome::NodeFileFailed, error};
    m_nodesModified = false;
    // All eight keys, so that config.ini names every group after a save.
    SaveOutcome outcome;
    for (int n = 1; n <= GroupCount; ++n) {
        if (QString error = m_configIni.writeString(kGroupSection, groupKey(n), m_groupNames[n]);
            !error.isEmpty()) {
            outcome = {SaveOutcome::GroupNamesFailed, error};
            break;
        }
        m_storedGroupNames[n] = m_groupNames[n];
    }
    // Announced once, after config.ini too: whoever reads the directory
    // again finds the group names that could be written.
    saved.announce(SavedFiles::Kind::NodeDirectory, m_nodeFile);
    return outcome;
}

bool NodeDirectory::addressInRange(const QString &text)
{
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == u' ')
        ++start;
    qsizetype end = start;
    while (end < text.size() && text.at(end) >= u'0' && text.at(end) <= u'9')
        ++end;
    // Leading zeros do not count: "0255" is 255.
    while (start < end - 1 && text.at(start) == u'0')
        ++start;
    if (end - start > 3)
        return false;
    return end == start || QStringView(text).sliced(start, end - start).toInt() <= 255;
}

bool NodeDirectory::groupNameFits(const QString &name)
{
    return toGbk(name).size() <= GroupNameBytes;
}

int NodeDirectory::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int NodeDirectory::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NodeDirectory::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count()
        || (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole))
        return {};
    const NodeRecord &node = m_nodes.at(index.row());
    switch (index.column()) {
    case NameColumn:
        return node.name;
    case AddressColumn:
        return node.address;
    case GroupColumn:
        return node.group;
    default:
        return {};
    }
}

QVariant NodeDirectory::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return u"节点名称"_s;
    case AddressColumn:
        return u"节点地址"_s;
    case GroupColumn:
        return u"节点分组"_s;
    default:
        return {};
    }
}
