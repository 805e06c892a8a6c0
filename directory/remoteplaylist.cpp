#include "directory/remoteplaylist.h"

#include "directory/remotelistfile.h"
#include "platform/savedfiles.h"
#include "platform/textfile.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

QString RemotePlaylist::load(const QString &path)
{
    const RemoteListRead read = readRemoteListFile(path);
    m_entries += read.paths;
    m_modified = false;
    return read.ok ? QString() : read.error;
}

void RemotePlaylist::select(int row)
{
    m_selected = row >= 0 && row < count() ? row : -1;
}

void RemotePlaylist::add(const QString &path)
{
    m_entries.append(path);
    m_modified = true;
}

bool RemotePlaylist::removeSelected()
{
    if (m_selected < 0)
        return false;
    m_entries.removeAt(m_selected);
    // The entry that moved into the gap is selected, or the new last one
    // when the last was removed; an emptied list has nothing to select.
    if (m_selected >= count())
        m_selected = count() - 1;
    m_modified = true;
    return true;
}

bool RemotePlaylist::moveUp()
{
    return m_selected > 0 && move(m_selected - 1);
}

bool RemotePlaylist::moveDown()
{
    return m_selected >= 0 && m_selected < count() - 1 && move(m_selected + 1);
}

bool RemotePlaylist::move(int to)
{
    m_entries.move(m_selected, to);
    m_selected = to;
    m_modified = true;
    return true;
}

QString RemotePlaylist::addFolder() const
{
    return m_entries.isEmpty() ? QString() : QFileInfo(m_entries.constLast()).path();
}

int RemotePlaylist::unstorableRow() const
{
    for (int row = 0; row < count(); ++row) {
        if (textFault(m_entries.at(row), TextLayout::Quoted) != TextFault::None)
            return row;
    }
    return -1;
}

QString RemotePlaylist::save(const QString &path, SavedFiles &saved)
{
    // The file has no way to escape a double quote or a line break, it ends
    // at a 0x1A and cannot be read with a NUL, and GBK has no byte for some
    // characters: any of them would come back as another path, or lose the
    // entries after it, so the operator is told which entry to take out instead.
    const int bad = unstorableRow();
    if (bad >= 0) {
        const QString &p = m_entries.at(bad);
        const TextFault fault = textFault(p, TextLayout::Quoted);
        const QString why = fault == TextFault::Quote ? QStringLiteral("含有双引号（\"）")
            : fault == TextFault::Control             ? u"含有"_s + controlCharacterText(p)
                                          : QStringLiteral("含有无法保存的文字");
        return QStringLiteral("第%1项的路径%2，播放列表没有保存：\n%3\n请删除这一项后再保存。")
            .arg(bad + 1)
            .arg(why, p);
    }
    const QString error = writeRemoteListFile(path, m_entries);
    if (!error.isEmpty())
        return QStringLiteral("播放列表保存失败：%1").arg(error);
    m_modified = false;
    saved.announce(SavedFiles::Kind::RemoteList, path);
    return {};
}
