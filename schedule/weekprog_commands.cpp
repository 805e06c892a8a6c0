// The entry commands of the schedule editor, the pop-up menu of its lists,
// the track lengths and the audition.

#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "platform/dialogs.h"
#include "schedule/daytablemodel.h"
#include "schedule/entrytargetspanel.h"
#include "schedule/tracklengths.h"
#include "schedule/weekeditor.h"
#include "schedule/weekprog.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSlider>
#include <QTimeEdit>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {
const QString kTimeFormat = u"HH:mm:ss"_s;
} // namespace

std::optional<ScheduleEntry> weekprog::enteredEntry()
{
    EntryFields::Input input;
    input.time = DTPicker->time().toString(kTimeFormat);
    input.channelIndex = cmbchannel->currentIndex();
    input.detail = txtdetail->text();
    input.file = txtfile->text();
    input.volume = Slidervol->value();
    input.length = dtpplen->time().toString(kTimeFormat);
    input.zone = m_targets->BuildZoneField();
    input.amp = m_targets->BuildAmpField();
    input.device = m_targets->BuildDeviceField();
    const ScheduleEntry entry = EntryFields::entry(input);
    if (const EntryFields::Problem problem = EntryFields::check(entry)) {
        tellProblem(problem);
        return std::nullopt;
    }
    return entry;
}

void weekprog::tellProblem(const EntryFields::Problem &problem)
{
    if (problem.field == EntryFields::Field::Channel) {
        m_s.dialogs.message(EntryFields::channelHintText(), EntryFields::channelHintTitle(),
                            MsgIcon::Information, MsgButtons::Ok, this);
        return;
    }
    m_s.dialogs.message(problem.text, EntryFields::problemTitle(), MsgIcon::Exclamation,
                        MsgButtons::Ok, this);
}

void weekprog::resetFileAndLength()
{
    txtfile->clear();
    dtpplen->setTime(QTime(0, 0));
}

void weekprog::cmdadd_Click()
{
    // Without a channel the hint is all: an entry on channel 0 would make the
    // console refuse the whole file.
    const std::optional<ScheduleEntry> entry = enteredEntry();
    if (!entry)
        return;
    m_editor->add(currentDay(), *entry);
    resetFileAndLength();
}

void weekprog::cmdmodify_Click()
{
    const int day = currentDay();
    const int row = selectedRow();
    // Rows but none selected: there is nothing to modify.
    if (!m_editor->day(day)->isEmpty() && row < 0)
        return;
    const std::optional<ScheduleEntry> entry = enteredEntry();
    if (!entry)
        return;
    m_editor->modify(day, row, *entry);
}

void weekprog::cmddel_Click()
{
    const QScopedValueRollback guard(m_updating, true);
    if (!m_editor->remove(currentDay(), selectedRow()))
        return;
    // No row takes the deleted one's place, so a second press does not
    // delete a neighbour the operator has not chosen.
    selectRow(-1);
}

void weekprog::cmdup_Click()
{
    const QScopedValueRollback guard(m_updating, true);
    const int row = m_editor->moveUp(currentDay(), selectedRow());
    if (row < 0)
        return;
    selectRow(row);
    list(currentDay())->setFocus();
}

void weekprog::cmddown_Click()
{
    const QScopedValueRollback guard(m_updating, true);
    const int row = m_editor->moveDown(currentDay(), selectedRow());
    if (row < 0)
        return;
    selectRow(row);
    list(currentDay())->setFocus();
}

void weekprog::cmdprev_Click()
{
    // Only the picker changes; the row itself changes with "修 改".
    const QString time = m_editor->startAfterPrevious(currentDay(), selectedRow());
    if (time.isEmpty())
        return;
    DTPicker->setTime(QTime::fromString(time, kTimeFormat));
    cmdprev->setEnabled(false);
}

void weekprog::mnuprev_Click()
{
    const QString time = m_editor->startAfterPrevious(currentDay(), selectedRow());
    if (time.isEmpty())
        return;
    DTPicker->setTime(QTime::fromString(time, kTimeFormat));
    cmdprev->setEnabled(false);
    cmdmodify_Click();
}

void weekprog::mnucon_Click()
{
    m_editor->arrangeFrom(currentDay(), selectedRow());
}

void weekprog::mnudelall_Click()
{
    const int day = currentDay();
    if (m_editor->day(day)->isEmpty())
        return;
    if (m_s.dialogs.message(u"真的要全部删除吗？"_s, u"请确认"_s, MsgIcon::Question,
                            MsgButtons::OkCancel, this)
        == MsgAnswer::Ok)
        m_editor->removeAll(day);
}

void weekprog::cmdcopy_Click()
{
    m_editor->copyDay(cmbday->currentIndex(), currentDay());
}

// Track lengths: the probe answers later, by signal, so the window never
// waits; the pointer says that something is being looked at.

void weekprog::setWaiting(bool on)
{
    if (m_waiting == on)
        return;
    m_waiting = on;
    if (on)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void weekprog::startLengths(LengthJob job, const QStringList &paths)
{
    // A run still under way is over first, so its end does not end this one.
    if (m_lengths->isRunning())
        m_lengths->cancel();
    m_lengthJob = job;
    setWaiting(true);
    m_lengths->start(paths);
}

void weekprog::findLength(const QString &path, int times)
{
    m_lengthTimes = times;
    startLengths(LengthJob::Picker, {path});
}

void weekprog::cmdchoice_Click()
{
    const QString path = m_s.dialogs.openFileName(
        u"请选择一个播放文件"_s, QString(),
        u"*.mp3;*.wma;*.wav;*.mid;*.dat|*.mp3;*.wma;*.wav;*.dat;*.mid"_s, QString(), this);
    if (path.isEmpty())
        return;
    txtfile->setText(path);
    findLength(path, 1);
}

void weekprog::cmd2time_Click()
{
    if (QFileInfo(txtfile->text()).isFile())
        findLength(txtfile->text(), 2);
}

void weekprog::cmd3time_Click()
{
    if (QFileInfo(txtfile->text()).isFile())
        findLength(txtfile->text(), 3);
}

void weekprog::cmdwhole_Click()
{
    // A folder or the marker "外设控制" has no length.
    if (QFileInfo(txtfile->text()).isFile())
        findLength(txtfile->text(), 1);
}

void weekprog::cmdmulfile_Click()
{
    // Every entry of the batch takes the fields as they are now; they are
    // checked once, before the operator chooses any file.
    const std::optional<ScheduleEntry> shared = enteredEntry();
    if (!shared)
        return;
    const QStringList paths = m_s.dialogs.openFileNames(
        u"请选择播放文件"_s, QString(),
        u"*.mp3;*.wav;*.mid;*.dat;*.wma;|*.mp3;*.wav;*.mid;*.dat;*.wma"_s, this);
    if (paths.isEmpty())
        return;
    for (const QString &path : paths) {
        ScheduleEntry entry = *shared;
        entry.filename = path;
        if (const EntryFields::Problem problem = EntryFields::check(entry)) {
            m_s.dialogs.message(path + u"\n"_s + problem.text, EntryFields::problemTitle(),
                                MsgIcon::Exclamation, MsgButtons::Ok, this);
            return;
        }
    }
    if (m_lengths->isRunning())
        m_lengths->cancel();
    m_batchEntry = *shared;
    m_batchDay = currentDay();
    resetFileAndLength();

    auto *progress
        = new QProgressDialog(u"正在读取播放时长……"_s, u"取消"_s, 0, int(paths.size()), this);
    progress->setObjectName(u"prglengths"_s);
    progress->setWindowTitle(u"选择播放文件"_s);
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    connect(progress, &QProgressDialog::canceled, m_lengths, &TrackLengths::cancel);
    connect(m_lengths, &TrackLengths::progress, progress, [progress](int done, int total) {
        progress->setMaximum(total);
        progress->setValue(done);
    });
    m_progress = progress;
    progress->open();
    startLengths(LengthJob::Batch, paths);
}

void weekprog::lengthFound(int, const QString &path, qint64 milliseconds)
{
    const QString text = milliseconds < 0
        ? u"00:00:00"_s
        : EntryFields::pickerLength(TrackLengths::lengthText(
            milliseconds, m_lengthJob == LengthJob::Picker ? m_lengthTimes : 1));
    switch (m_lengthJob) {
    case LengthJob::Picker:
        // A length that comes after the operator moved on to another file
        // belongs to nothing.
        if (path == txtfile->text())
            dtpplen->setTime(QTime::fromString(text, kTimeFormat));
        break;
    case LengthJob::Batch: {
        ScheduleEntry entry = m_batchEntry;
        entry.filename = path;
        entry.plen = text;
        m_editor->add(m_batchDay, entry);
        break;
    }
    case LengthJob::None:
        break;
    }
}

void weekprog::lengthsFinished()
{
    m_lengthJob = LengthJob::None;
    setWaiting(false);
    if (QProgressDialog *progress = m_progress) {
        m_progress = nullptr;
        // Closing the dialog would cancel a run that is already over.
        progress->disconnect(m_lengths);
        m_lengths->disconnect(progress);
        progress->hide();
        progress->deleteLater();
    }
}

void weekprog::cmdsequence_Click()
{
    const QString folder = m_s.dialogs.chooseFolder(u"请选择目录"_s, QString(), this);
    if (folder.isEmpty())
        return;
    txtfile->setText(folder);
    txtdetail->setText(u"顺序播"_s);
}

void weekprog::CmdRand_Click()
{
    const QString folder = m_s.dialogs.chooseFolder(u"请选择目录"_s, QString(), this);
    if (folder.isEmpty())
        return;
    txtfile->setText(folder);
    txtdetail->setText(u"随机播"_s);
}

void weekprog::cmdhear_Click()
{
    // The end of the file does not turn the button back; a press does, and
    // so does a broadcast or the operator taking the player over.
    PlaybackEngine &playback = m_s.playback;
    if (m_auditioning) {
        showAuditionIdle();
        // Whatever plays now may be a broadcast that took the player after
        // the audition's file ended: only the audition's own file stops.
        if (playback.holder() == PlayerHolder::Audition)
            playback.stopAction();
        return;
    }
    m_auditioning = true;
    cmdhear->setText(u"停止"_s);
    m_s.volume.setValue(Slidervol->value());
    playback.playsong(txtfile->text(), u"0"_s, PlayerHolder::Audition);
}

void weekprog::showAuditionIdle()
{
    m_auditioning = false;
    cmdhear->setText(u"试听"_s);
}
