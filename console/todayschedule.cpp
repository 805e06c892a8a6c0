#include "console/todayschedule.h"

#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/programmemodel.h"
#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "schedule/schedulefile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

TodaySchedule::TodaySchedule(const AppFolder &folder, const AppSettings &settings,
                             ConsoleState &state, ProgrammeModel &model, Dialogs &dialogs,
                             QObject *parent)
    : QObject(parent)
    , m_dateFolder(folder.file(QStringLiteral("\\table\\date")))
    , m_settings(settings)
    , m_state(state)
    , m_model(model)
    , m_dialogs(dialogs)
{
}

QString TodaySchedule::readErrorText()
{
    return QStringLiteral("读取文件失败，可能文件设置有误或文件格式不对");
}

void TodaySchedule::listDateFolder()
{
    m_dateFiles = QDir(m_dateFolder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
}

QString TodaySchedule::dateFileFor(const QDate &day) const
{
    const QString name = day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".txt");
    // The listing is matched exactly: "20261206.TXT" is not today's file.
    if (!m_dateFiles.contains(name, Qt::CaseSensitive))
        return {};
    return m_dateFolder + u'/' + name;
}

QString TodaySchedule::regularTimetable()
{
    return QStringLiteral("常规作息");
}

void TodaySchedule::setTimetable(const QString &name)
{
    if (name == m_timetable)
        return;
    m_timetable = name;
    Q_EMIT timetableChanged(name);
}

QString TodaySchedule::weekFileFor(const QDate &day)
{
    const SeasonTimetables::Choice choice = SeasonTimetables::weekFileFor(
        day, m_settings.Seasons, m_settings.WeekFilePath, [](const QString &path) {
            const QFileInfo info(path);
            return info.isFile() && info.isReadable();
        });
    if (!choice.problem.isEmpty()) {
        qWarning() << "seasonal timetable:" << choice.problem;
        m_dialogs.notify(choice.problem, QStringLiteral("请检查"), MsgIcon::Exclamation, nullptr);
    }
    if (!choice.rangeName.isEmpty())
        setTimetable(choice.rangeName);
    else
        setTimetable(m_settings.Seasons.isEmpty() ? QString() : regularTimetable());
    return choice.weekFile;
}

bool TodaySchedule::LoadTodaySchedule(const QDate &day)
{
    ScheduleFile::DayRead read;
    if (m_settings.WeekMode) {
        const QString weekFile = weekFileFor(day);
        if (weekFile.isEmpty())
            return true;
        read = ScheduleFile::readDayOfWeekFile(weekFile,
                                               Weekdays::nameForDayOfWeek(day.dayOfWeek()));
    } else {
        setTimetable({});
        // The operator's chosen date file serves every day; without one, the
        // file named after the day is looked up afresh at each load.
        QString path = m_settings.DateFilePath.trimmed();
        if (path.isEmpty())
            path = dateFileFor(day);
        if (path.isEmpty())
            return true;
        read = ScheduleFile::readDateFile(path);
    }
    if (!read.ok) {
        qWarning() << "today's schedule:" << read.error;
        m_model.clear();
        m_dialogs.notify(readErrorText(), QStringLiteral("请检查"), MsgIcon::Error, nullptr);
        return false;
    }
    m_model.appendEntries(read.entries);
    return true;
}

bool TodaySchedule::ReloadToday(const QDate &day)
{
    m_model.clear();
    const bool ok = LoadTodaySchedule(day);
    // The remote list is read afresh and its cursor reset with every reload.
    Q_EMIT listReloaded();
    startOver();
    m_state.setReloadSchedule(false);
    return ok;
}

QString TodaySchedule::nextItemText(int index) const
{
    const QString cr(u'\r');
    const QString indent = QStringLiteral("    ");
    if (index < 0 || index >= m_model.count())
        return cr + indent + QStringLiteral("所有内容已播放完毕！") + cr;
    const ScheduleEntry &e = m_model.entry(index);
    return cr + indent + QStringLiteral("播放时间：") + e.time + cr + indent
        + QStringLiteral("播放文件：") + m_model.cellText(index, ProgrammeModel::FileNameColumn)
        + QStringLiteral("  ") + cr + indent + QStringLiteral("播放分区：") + e.zone + cr;
}

void TodaySchedule::ShowNextItem()
{
    QString text = nextItemText(m_currentIndex);
    if (text == m_nextItem)
        return;
    m_nextItem = std::move(text);
    Q_EMIT nextItemChanged(m_nextItem);
}

void TodaySchedule::setCurrentIndex(int index)
{
    if (index == m_currentIndex)
        return;
    m_currentIndex = index;
    Q_EMIT currentIndexChanged(index);
}

void TodaySchedule::startOver()
{
    setCurrentIndex(0);
    ShowNextItem();
}

void TodaySchedule::rowStarted(int row)
{
    m_model.setState(row - 1, RowState::Done);
    setCurrentIndex(row);
    ShowNextItem();
}

void TodaySchedule::rowsPassedOver(int first, int last)
{
    if (first < 1 || last < first)
        return;
    m_model.markWaitingDone(first - 1, last - 1);
    setCurrentIndex(last);
    ShowNextItem();
}

QString TodaySchedule::FirstItemTime() const
{
    return m_model.count() > 0 ? m_model.entry(0).time : QString();
}

QString TodaySchedule::LastItemTime() const
{
    return m_model.count() > 0 ? m_model.entry(m_model.count() - 1).time : QString();
}

void TodaySchedule::cancelRow(int row)
{
    if (row < 0 || row >= m_model.count() || m_model.state(row) != RowState::Waiting)
        return;
    m_model.setState(row, RowState::Cancelled);
    Q_EMIT rowCancelled(row);
}

void TodaySchedule::restoreRow(int row)
{
    if (row < 0 || row >= m_model.count() || m_model.state(row) != RowState::Cancelled)
        return;
    m_model.setState(row, RowState::Waiting);
    Q_EMIT rowRestored(row);
}
