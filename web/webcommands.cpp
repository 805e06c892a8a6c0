#include "web/webcommands.h"

#include "console/console.h"
#include "console/emergencybroadcast.h"
#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "console/remotekeys.h"
#include "console/todayschedule.h"
#include "platform/asrunlog.h"

using WebRequestLimits::Action;
using WebRequestLimits::Refusal;

namespace {

Refusal notPossible(const QString &message)
{
    return Refusal {409, QStringLiteral("not_possible"), message};
}

} // namespace

WebCommands::WebCommands(Console &console)
    : m_console(console)
{
}

void WebCommands::record(const QString &text)
{
    m_console.asRunLog().record(origin(), text);
}

QString WebCommands::rowText(int row) const
{
    const ProgrammeModel &model = m_console.programme();
    return QStringLiteral("第 %1 行 %2 %3")
        .arg(row + 1)
        .arg(model.entry(row).time, model.cellText(row, ProgrammeModel::FileNameColumn));
}

std::optional<Refusal> WebCommands::run(const WebRequestLimits::Command &command)
{
    // The program is ending: nothing may start or switch anything now.
    if (m_console.ending())
        return notPossible(QStringLiteral("控制台正在退出"));
    int row = -1;
    if (WebRequestLimits::needsRow(command.action)) {
        // Rows by number only, checked against the list as it is now.
        row = command.row - 1;
        if (row < 0 || row >= m_console.programme().count())
            return Refusal {404, QStringLiteral("unknown_row"), QStringLiteral("没有这一行")};
    }
    const ProgrammeModel &model = m_console.programme();
    // While an emergency runs, the page can only end it, as the remote can.
    EmergencyBroadcast &emergency = m_console.emergency();
    if (emergency.active() && command.action != Action::EmergencyEnd)
        return notPossible(QStringLiteral("紧急广播进行中，只能结束紧急广播"));
    switch (command.action) {
    case Action::Stop:
        record(QStringLiteral("停止播放，关闭播放中的设备"));
        m_console.stopItemsNow();
        return std::nullopt;
    case Action::Cancel:
        if (model.state(row) != RowState::Waiting)
            return notPossible(QStringLiteral("这一行不是待播状态，不能取消"));
        record(QStringLiteral("取消") + rowText(row));
        m_console.today().cancelRow(row);
        return std::nullopt;
    case Action::Restore:
        if (model.state(row) != RowState::Cancelled)
            return notPossible(QStringLiteral("这一行没有被取消，不能恢复"));
        record(QStringLiteral("恢复") + rowText(row));
        m_console.today().restoreRow(row);
        return std::nullopt;
    case Action::Play:
        record(QStringLiteral("播放") + rowText(row));
        m_console.playRowByHand(row);
        return std::nullopt;
    case Action::VolumeUp:
        record(QStringLiteral("增大音量"));
        m_console.volume().up();
        return std::nullopt;
    case Action::VolumeDown:
        record(QStringLiteral("减小音量"));
        m_console.volume().down();
        return std::nullopt;
    case Action::AllOn:
        record(QStringLiteral("全部打开"));
        m_console.remoteKeys().switchAllOn();
        return std::nullopt;
    case Action::AllOff:
        record(QStringLiteral("全部关闭"));
        m_console.remoteKeys().switchAllOff();
        return std::nullopt;
    case Action::EmergencyStart:
        record(QStringLiteral("开始紧急广播"));
        emergency.start();
        return std::nullopt;
    case Action::EmergencyEnd:
        if (!emergency.active())
            return notPossible(QStringLiteral("没有进行中的紧急广播"));
        record(QStringLiteral("结束紧急广播"));
        emergency.end();
        return std::nullopt;
    }
    return notPossible(QStringLiteral("现在不能执行这个命令"));
}
