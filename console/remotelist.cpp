#include "console/remotelist.h"

#include "console/appsettings.h"
#include "console/programmemodel.h"
#include "directory/remotelistfile.h"

#include <QDebug>

RemoteList::RemoteList(const AppFolder &folder, const AppSettings &settings,
                       const ProgrammeModel &today, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_today(today)
{
}

int RemoteList::count() const
{
    return m_settings.RemoteScope ? int(m_songs.size()) : m_today.count();
}

QString RemoteList::fileAtCursor() const
{
    if (m_cursor <= 0)
        return {};
    // The cursor may point past a list that was saved shorter since it was set.
    if (m_settings.RemoteScope)
        return m_cursor <= m_songs.size() ? m_songs.at(m_cursor - 1) : QString();
    return m_cursor <= m_today.count() ? m_today.entry(m_cursor - 1).filename : QString();
}

void RemoteList::read_remote_song()
{
    const RemoteListRead read = readRemoteListFile(m_folder.file(QStringLiteral("\\rem_list.txt")));
    // A missing list is an empty one; a broken one keeps what could be read.
    if (!read.ok && !read.missing)
        qWarning() << "rem_list.txt:" << read.error;
    if (read.paths == m_songs)
        return;
    m_songs = read.paths;
    Q_EMIT songsChanged(m_songs);
}

void RemoteList::ResetRemoteCursor()
{
    setCursor(count() > 0 ? 1 : 0);
}

void RemoteList::reload()
{
    read_remote_song();
    ResetRemoteCursor();
}

void RemoteList::next()
{
    if (m_cursor < count())
        setCursor(m_cursor + 1);
}

void RemoteList::previous()
{
    if (count() > 1 && m_cursor > 1)
        setCursor(m_cursor - 1);
}

void RemoteList::setCursor(int cursor)
{
    if (cursor == m_cursor)
        return;
    m_cursor = cursor;
    Q_EMIT cursorChanged(cursor);
}
