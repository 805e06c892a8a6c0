#pragma once

#include "platform/appfolder.h"

#include <QObject>
#include <QStringList>

class ProgrammeModel;
struct AppSettings;

// What the remote keys step through and play: rem_list.txt (RemoteSongs)
// when rm_scope is on, today's list otherwise, and the 1-based position in
// it (RemoteCursor; 0 when that list is empty). Only this class changes the
// list and the cursor; each change is announced once.
class RemoteList final : public QObject
{
    Q_OBJECT
public:
    RemoteList(const AppFolder &folder, const AppSettings &settings, const ProgrammeModel &today,
               QObject *parent = nullptr);

    // rem_list.txt's paths in play order, as last read (RemoteSongs).
    const QStringList &songs() const { return m_songs; }
    qsizetype RemoteSongCount() const { return m_songs.size(); }
    // The entry key 1 plays (RemoteCursor), 1-based; 0 = none.
    int cursor() const { return m_cursor; }
    // The number of entries the keys step through: rem_list.txt's or today's.
    int count() const;
    // The file of the entry at the cursor: rem_list.txt's path, or the full
    // path of today's row. Empty when the cursor is 0 or points past a list
    // that was saved shorter since the cursor was set.
    QString fileAtCursor() const;

    // Reads rem_list.txt again; the cursor stays where it is (the remote play
    // list window's save).
    void read_remote_song();
    // Back to the first entry, or 0 when the list in use is empty.
    void ResetRemoteCursor();
    // Both, as at start-up and whenever today's list is reloaded.
    void reload();
    // Key 7: one entry on, up to the last.
    void next();
    // Key 5: one entry back, down to the first; a list of one entry does not move.
    void previous();

Q_SIGNALS:
    void songsChanged(const QStringList &songs);
    void cursorChanged(int cursor);

private:
    void setCursor(int cursor);

    AppFolder m_folder;
    const AppSettings &m_settings;
    const ProgrammeModel &m_today;
    QStringList m_songs;
    int m_cursor = 0;
};
