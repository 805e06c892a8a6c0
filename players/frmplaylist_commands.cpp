// The commands of the playlist player: adding, inserting, removing and
// moving entries, playlist files, playing and the timed play pickers.

#include "players/frmplaylist.h"

#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "players/playlistbrowser.h"
#include "players/playlistfile.h"
#include "players/playlisttimedplay.h"
#include "players/playlisttotal.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QTimeEdit>
#include <QToolButton>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QString kListFilter = u"播放列表文件(*.txt)|*.txt"_s;

// A list file named without ".txt" gets it; a file to open that exists
// under the name as typed, and not with the extension, is taken as it is.
QString withListSuffix(const QString &path, bool mustExist)
{
    const QString txt = withDefaultSuffix(path, u"txt"_s);
    if (mustExist && txt != path && QFileInfo::exists(path) && !QFileInfo::exists(txt))
        return path;
    return txt;
}
} // namespace

void frmplaylist::addAndRecompute(const QStringList &paths)
{
    if (!paths.isEmpty()) {
        const QList<int> selected = selectedRows();
        const int current = lstplaylist->currentRow();
        m_list->append(paths);
        selectRows(selected, current);
        lstplaylist->scrollToBottom();
    }
    recomputeTotal();
}

void frmplaylist::cmdadd_Click()
{
    const QString path = m_s.dialogs.openFileName(
        u"选择文件"_s, QString(),
        u"MP3文件;CD.VCD文件;WAV文件;MIDI文件|*.mp3;*.wav;*.dat;*.cda;*.mid"_s, QString(), this);
    // A cancelled dialog adds nothing; the total is worked out all the same.
    addAndRecompute(path.isEmpty() ? QStringList() : QStringList {path});
}

void frmplaylist::cmdaddone_Click()
{
    addAndRecompute(selectedFiles());
}

void frmplaylist::cmdaddall_Click()
{
    QStringList paths;
    for (int row = 0; row < fileplaylist->count(); ++row)
        paths << playlistFilePath(m_folder, fileplaylist->item(row)->text());
    addAndRecompute(paths);
}

void frmplaylist::fileplaylist_DblClick(const QString &name)
{
    addAndRecompute({playlistFilePath(m_folder, name)});
}

void frmplaylist::cmdinsert_Click()
{
    const int row = lstplaylist->currentRow();
    if (row < 0 || row >= m_list->count()) {
        m_s.dialogs.message(u"没有选择插入位置或当前列表为空。"_s, u"请选择插入的位置或添加文件"_s,
                            MsgIcon::Information, MsgButtons::Ok, this);
        return;
    }
    const QStringList paths = selectedFiles();
    m_list->insertAt(row, paths);
    // The entry that was current stays current, after what went in before it.
    const int moved = row + int(paths.size());
    selectRows({moved}, moved);
    recomputeTotal();
}

void frmplaylist::cmdremove_Click()
{
    m_list->removeRows(selectedRows());
    recomputeTotal();
}

void frmplaylist::cmdremoveall_Click()
{
    m_list->clear();
    recomputeTotal();
}

void frmplaylist::cmdup_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const int to = m_list->moveUp(rows.constFirst());
    if (to >= 0)
        selectRows({to}, to);
}

void frmplaylist::cmddown_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const int to = m_list->moveDown(rows.constFirst());
    if (to >= 0)
        selectRows({to}, to);
}

void frmplaylist::cmdload_Click()
{
    const QString picked = withListSuffix(m_s.dialogs.openFileName(u"打开播放列表"_s,
                                                                   m_s.folder.file(u"\\playlist"_s),
                                                                   kListFilter, QString(), this),
                                          true);
    if (picked.isEmpty())
        return;
    const PlaylistRead read = readPlaylistFile(picked);
    if (!read.ok) {
        // The unreadable file does not become the list file, so a later Save
        // cannot write over it.
        m_s.dialogs.message(u"所选播放文件有误，请重新选择"_s, u"文件不对"_s, MsgIcon::Error,
                            MsgButtons::Ok, this);
        m_list->clear();
        return;
    }
    setListFile(picked);
    // Appended to what the list holds; the total is worked out at the next
    // change of the list.
    const QList<int> selected = selectedRows();
    const int current = lstplaylist->currentRow();
    m_list->append(read.paths);
    selectRows(selected, current);
}

void frmplaylist::cmdsave_Click()
{
    Dialogs &dialogs = m_s.dialogs;
    if (m_list->count() == 0) {
        dialogs.message(u"当前播放列表是空的，无须保存。"_s, u"保存列表"_s, MsgIcon::Information,
                        MsgButtons::Ok, this);
        return;
    }
    if (m_listFile.isEmpty()) {
        const QString folder = m_s.folder.file(u"\\playlist"_s);
        QDir().mkpath(folder); // where playlists are kept, made on first use
        const QString picked = withListSuffix(
            dialogs.saveFileName(u"播放列表另存为 "_s, folder, kListFilter, QString(), this),
            false);
        if (picked.isEmpty())
            return;
        setListFile(picked);
    }
    // A path the file cannot give back whole is refused before the file is
    // touched; the message names the entry and why (a control character
    // shows as a blank in the list).
    const QString error = writePlaylistFile(m_listFile, m_list->entries());
    if (!error.isEmpty())
        dialogs.message(u"播放列表保存失败：%1"_s.arg(error), u"保存列表"_s, MsgIcon::Error,
                        MsgButtons::Ok, this);
}

void frmplaylist::setListFile(const QString &path)
{
    m_listFile = path;
    // The caption's own first six characters, "--" and the file.
    setWindowTitle(windowTitle().left(6) + u"--"_s + QDir::toNativeSeparators(path));
}

void frmplaylist::cmdplay_Click()
{
    m_list->play();
}

void frmplaylist::lstplaylist_DblClick(int row)
{
    m_list->playFrom(row);
}

void frmplaylist::chkfromto_Click(bool on)
{
    DTPfrom->setEnabled(on);
    DTPto->setEnabled(on);
    chkshutdown->setEnabled(on);
    m_timed->setArmed(on);
}

void frmplaylist::DTPfrom_Change()
{
    const QTime to = PlaylistTimedPlay::toAfterFromChanged(DTPfrom->time(), DTPto->time());
    if (to != DTPto->time())
        DTPto->setTime(to); // DTPto_Change passes it on
    else
        m_timed->setTimes(DTPfrom->time(), DTPto->time());
}

void frmplaylist::DTPto_Change()
{
    const QTime to = PlaylistTimedPlay::toAfterToChanged(DTPfrom->time(), DTPto->time());
    if (to != DTPto->time())
        DTPto->setTime(to); // comes back here once more
    else
        m_timed->setTimes(DTPfrom->time(), DTPto->time());
}

void frmplaylist::recomputeTotal()
{
    // Shown first: the answer comes at once when every length is known.
    lbltimedisp->setText(u"计算中…"_s);
    m_total->recompute(m_list->entries());
}

void frmplaylist::showTotal()
{
    lbltimedisp->setText(totalTimeText(m_total->seconds()));
    markEntries();
}

QList<int> frmplaylist::selectedRows() const
{
    QList<int> rows;
    for (int row = 0; row < lstplaylist->count(); ++row) {
        if (lstplaylist->item(row)->isSelected())
            rows << row;
    }
    return rows;
}

void frmplaylist::showList()
{
    const int scrolled = lstplaylist->verticalScrollBar()->value();
    lstplaylist->clear();
    for (const QString &path : m_list->entries())
        new QListWidgetItem(path, lstplaylist);
    lstplaylist->setCurrentRow(-1);
    lstplaylist->verticalScrollBar()->setValue(scrolled);
    markEntries();
}

void frmplaylist::selectRows(const QList<int> &selected, int current)
{
    const bool hasCurrent = current >= 0 && current < lstplaylist->count();
    if (hasCurrent)
        lstplaylist->setCurrentRow(current, QItemSelectionModel::NoUpdate);
    for (int row : selected) {
        if (row >= 0 && row < lstplaylist->count())
            lstplaylist->item(row)->setSelected(true);
    }
    if (hasCurrent)
        lstplaylist->scrollToItem(lstplaylist->item(current));
}

void frmplaylist::markEntries()
{
    // Entries that could not be opened for the total carry a warning and the
    // reason; the entry playing is in bold.
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    // Unmarked entries get an empty icon of the same size, so all line up.
    QPixmap none(lstplaylist->iconSize());
    none.fill(Qt::transparent);
    const QIcon blank(none);
    const auto &unopenable = m_total->unopenable();
    const int playing = m_list->playingIndex();
    for (int row = 0; row < lstplaylist->count(); ++row) {
        QListWidgetItem *item = lstplaylist->item(row);
        const QString path = item->text();
        const auto failed = unopenable.constFind(path);
        if (failed != unopenable.cend()) {
            item->setIcon(warning);
            item->setToolTip(u"无法打开：%1\n%2"_s.arg(path, failed.value()));
        } else {
            item->setIcon(blank);
            item->setToolTip(path);
        }
        QFont font = lstplaylist->font();
        font.setBold(row == playing);
        item->setFont(font);
    }
}

void frmplaylist::showDisplay()
{
    const Playlist::Display &d = m_list->display();
    lblsong->setText(d.song);
    lblsonglength->setText(d.songLength);
    lblctime->setText(d.ctime);
    ProgressBarplay->setValue(d.progress);
}

void frmplaylist::showMode()
{
    const bool loaded = m_list->mode() != Playlist::Mode::Idle;
    for (QToolButton *b : {mmcplayPlay, mmcplayPause, mmcplayStop})
        b->setEnabled(loaded);
    markEntries();
}
