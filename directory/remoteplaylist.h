#pragma once

#include <QString>
#include <QStringList>

class SavedFiles;

// The remote-control play list being edited: its entries in play order, the
// one selected entry (or none), and whether it differs from rem_list.txt.
class RemotePlaylist
{
public:
    // Appends the entries of rem_list.txt at path. Returns the empty text or
    // the failure's description; the entries read before a failure stay.
    // The list counts as unmodified afterwards.
    QString load(const QString &path);

    const QStringList &entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }

    // The selected row, or -1 when nothing is selected.
    int selected() const { return m_selected; }
    // Any row outside the list clears the selection.
    void select(int row);

    bool isModified() const { return m_modified; }
    void clearModified() { m_modified = false; }

    // Appends a path at the end; the selection stays where it was.
    void add(const QString &path);
    // Each returns whether the list changed; with nothing selected, or with
    // nowhere to move, nothing changes.
    bool removeSelected();
    bool moveUp();
    bool moveDown();

    // Where the file dialog of Add starts: the folder of the last entry, or
    // the empty text for an empty list.
    QString addFolder() const;

    // The first row whose path rem_list.txt cannot hold (a double quote, a
    // control character or a character outside GBK), or -1.
    int unstorableRow() const;
    // Writes the list to path. Returns the empty text, and clears the
    // modified flag, on success; otherwise the message for the operator, and
    // the file is as it was. A list with an unstorable path is refused
    // whole rather than saved altered. A list written is announced to saved.
    QString save(const QString &path, SavedFiles &saved);

private:
    bool move(int to);

    QStringList m_entries;
    int m_selected = -1;
    bool m_modified = false;
};
