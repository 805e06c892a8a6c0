// The files of the schedule editor: the week file it opens and saves, and a
// day exported to or imported from a date file.

#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "schedule/schedulefile.h"
#include "schedule/weekeditor.h"
#include "schedule/weekprog.h"

#include <QDebug>
#include <QTabWidget>

#include <utility>

using namespace Qt::StringLiterals;

namespace {
const QString kListFilter = u"播放列表文件(*.txt)|*.txt"_s;
} // namespace

QString weekprog::weekFolder() const
{
    return m_s.folder.file(u"\\table\\week"_s);
}

QString weekprog::dateFolder() const
{
    return m_s.folder.file(u"\\table\\date"_s);
}

void weekprog::openWeek(const QString &path)
{
    // The file's entries replace the week shown: the operator was asked
    // about unsaved changes before.
    m_currentFile = path;
    const QString error = m_editor->loadWeek(path);
    m_editor->setModified(false);
    if (!error.isEmpty()) {
        qWarning() << "week file" << path << error;
        // Nothing of a file that failed is kept; the editor holds an
        // empty week without a name.
        m_currentFile.clear();
        showCaption();
        // A notice: the window takes its requests from the event queue, and
        // nothing here waits for an answer.
        m_s.dialogs.notify(ScheduleFile::editorReadErrorText(),
                           ScheduleFile::editorReadErrorTitle(), MsgIcon::Error, this);
        return;
    }
    showCaption();
}

void weekprog::startNewWeek()
{
    m_currentFile.clear();
    m_editor->clear();
    m_editor->setModified(false);
    showCaption();
}

weekprog::SaveOutcome weekprog::save()
{
    // Every entry is checked before anything is asked or written: a file the
    // console could not read is never written.
    if (const WeekEditor::Problem problem = m_editor->firstProblem()) {
        SSTabweek->setCurrentIndex(problem.day);
        selectRow(problem.row);
        m_s.dialogs.message(problem.text() + u"\n文件没有保存。"_s, EntryFields::problemTitle(),
                            MsgIcon::Exclamation, MsgButtons::Ok, this);
        return SaveOutcome::Refused;
    }
    // Conflicts do not keep the week from being written, but the operator
    // hears of them first; No goes back to the editor with nothing written.
    if (!conflictsAccepted())
        return SaveOutcome::Declined;
    const QString before = m_currentFile;
    if (m_currentFile.isEmpty()) {
        const QString path
            = m_s.dialogs.saveFileName(u"文件另存为"_s, weekFolder(), kListFilter, QString(), this);
        // Cancelling the name writes nothing, so nothing counts as saved:
        // the edits stay marked as changed and the console keeps its file.
        if (path.isEmpty())
            return SaveOutcome::Declined;
        m_currentFile = WeekEditor::withDefaultExtension(path);
    }
    // A week written is announced: the console reloads today's list at its
    // next tick.
    const QString error = m_editor->saveWeek(m_currentFile, m_s.saved);
    if (!error.isEmpty()) {
        m_s.dialogs.message(ScheduleFile::writeErrorText(m_currentFile, error),
                            ScheduleFile::writeErrorTitle(), MsgIcon::Error, MsgButtons::Ok, this);
        // A name that was never written to is not the week's file.
        m_currentFile = before;
        return SaveOutcome::Refused;
    }
    showCaption();
    m_editor->setModified(false);
    return SaveOutcome::Written;
}

bool weekprog::cmdsave_Click()
{
    return save() != SaveOutcome::Refused;
}

bool weekprog::cmdsaveas_Click()
{
    QString previousFile = std::exchange(m_currentFile, QString());
    const SaveOutcome outcome = save();
    if (outcome != SaveOutcome::Written)
        m_currentFile = std::move(previousFile);
    showCaption();
    return outcome != SaveOutcome::Refused;
}

void weekprog::cmdSaveAsDate_Click()
{
    const int day = currentDay();
    if (const WeekEditor::Problem problem = m_editor->firstProblem(day)) {
        selectRow(problem.row);
        m_s.dialogs.message(problem.text() + u"\n文件没有保存。"_s, EntryFields::problemTitle(),
                            MsgIcon::Exclamation, MsgButtons::Ok, this);
        return;
    }
    if (!conflictsAccepted(day))
        return;
    const QString title = u"保存日期文件"_s;
    QString path = m_s.dialogs.saveFileName(title, dateFolder(), kListFilter, QString(), this);
    if (path.isEmpty())
        return;
    path = WeekEditor::withDefaultExtension(path);
    const QString error = m_editor->saveDay(day, path, m_s.saved);
    if (!error.isEmpty()) {
        m_s.dialogs.message(ScheduleFile::writeErrorText(path, error),
                            ScheduleFile::writeErrorTitle(), MsgIcon::Error, MsgButtons::Ok, this);
        return;
    }
    m_s.dialogs.message(u"保存成功!"_s, title, MsgIcon::Information, MsgButtons::Ok, this);
}

void weekprog::cmdLoadDate_Click()
{
    const int day = currentDay();
    Dialogs &dialogs = m_s.dialogs;
    // The list is emptied at once: cancelling the file dialog afterwards
    // leaves it empty.
    if (dialogs.message(u"删除当前的记录吗?"_s, u"载入日期文件"_s, MsgIcon::Question,
                        MsgButtons::YesNo, this)
        == MsgAnswer::Yes)
        m_editor->removeAll(day);
    const QString path
        = dialogs.openFileName(u"加载日期文件"_s, dateFolder(), kListFilter, QString(), this);
    if (path.isEmpty())
        return;
    const QString error = m_editor->importDay(day, path);
    if (!error.isEmpty()) {
        qWarning() << "date file" << path << error;
        dialogs.message(ScheduleFile::editorReadErrorText(), ScheduleFile::editorReadErrorTitle(),
                        MsgIcon::Error, MsgButtons::Ok, this);
    }
}
