#pragma once

#include "directory/nodefile.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <array>

class ProfileIni;
class SavedFiles;

// The node directory as the operator edits it: the terminals of node.txt in
// the list's order, and the names of the eight groups kept in config.ini.
// It is the model of the directory window's list, so a view shows exactly
// what Save writes.
class NodeDirectory final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int MaxNodes = 255;
    static constexpr int GroupCount = 8;
    // The profile call that reads a group name gets a 50-byte buffer.
    static constexpr int GroupNameBytes = 49;
    enum Column { NameColumn, AddressColumn, GroupColumn, ColumnCount };

    // Why an edit was refused. Modify may have written part of the node
    // before it finds that no group was chosen.
    enum class EditError { None, NoCurrentNode, NoGroup };

    struct SaveOutcome
    {
        enum Result {
            Saved,
            Refused, // a text the files cannot hold; nothing was written
            NodeFileFailed, // node.txt kept its old content; nothing was written
            GroupNamesFailed, // node.txt was written, config.ini was not (fully)
        };
        Result result = Saved;
        QString error; // for the operator: what is wrong, or the system's description
    };

    NodeDirectory(QString nodeFile, const ProfileIni &configIni, QObject *parent = nullptr);

    // Reads node.txt and the group names; afterwards nothing is modified.
    // Returns the empty text, or why node.txt could not be read in full (the
    // nodes read before the failure stay).
    QString load();

    int count() const { return int(m_nodes.size()); }
    const QList<NodeRecord> &nodes() const { return m_nodes; }
    NodeRecord node(int row) const { return m_nodes.value(row); }

    // New: appends the placeholder "新节点" with empty address and group.
    // Returns false, adding nothing, when the directory is full.
    bool addPlaceholder();
    // Add: appends a node; group is 1..8 (anything else means none was
    // chosen and nothing is added). Neither the count nor duplicates are
    // checked. The name loses the blanks and tabs around it, here and in Modify.
    EditError addNode(const QString &name, const QString &address, int group);
    // Modify: writes name, address and group, in that order, on the node of
    // row (-1 when there is no current node).
    EditError modifyNode(int row, const QString &name, const QString &address, int group);
    // Delete: an empty directory stays as it is, without complaint.
    EditError removeNode(int row);

    // Always from the node.txt text: names by text, addresses and groups by
    // number (a field that is not a number comes first). A stable sort, which
    // does not count as a modification although Save keeps the new order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Group names, n = 1..8, as the operator edits them, without the blanks
    // and tabs around them.
    QString groupName(int n) const;
    void setGroupName(int n, const QString &name);
    // The group choice entry of group n, "3--name", with the name stored by
    // the last load or save: the choice is rebuilt only then.
    QString groupEntry(int n) const;

    // Node edits since the last load or save, or a group name that differs
    // from the stored one.
    bool isModified() const;
    // The operator chose not to keep the edits: the nodes stay as shown, the
    // group names return to the stored ones and nothing counts as modified.
    void discardChanges();

    // Writes node.txt in the list's order, then the eight group names. Texts
    // the files cannot hold (a double quote, a control character, a character
    // outside GBK) are refused before anything is written. Once node.txt
    // was written it is announced to saved (with GroupNamesFailed too: the
    // terminals on disk are the new ones); a refused save or a node.txt that
    // kept its old content announces nothing.
    SaveOutcome save(SavedFiles &saved);
    // The first text that cannot be saved, as a message; empty when all can.
    QString unsavableText() const;

    // The address field: the empty text (read as 0) and values up to 255
    // pass. The value is read like the classic Val(): the leading digits.
    static bool addressInRange(const QString &text);
    // Whether a group name comes back whole from config.ini.
    static bool groupNameFits(const QString &name);

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void appendRecord(const NodeRecord &node);
    void readGroupNames();
    static QString groupKey(int n);
    static bool validGroup(int n) { return n >= 1 && n <= GroupCount; }

    QString m_nodeFile;
    const ProfileIni &m_configIni;
    QList<NodeRecord> m_nodes;
    bool m_nodesModified = false;
    std::array<QString, GroupCount + 1> m_groupNames; // [1..8] as edited
    std::array<QString, GroupCount + 1> m_storedGroupNames; // [1..8] as in config.ini
};
