// What in the week would clash on air: the marks on the lists, the line
// that sums them up, the jump from a mark to the other entry and the
// question before a week with conflicts is written.

#include "platform/dialogs.h"
#include "schedule/conflictwatch.h"
#include "schedule/daytablemodel.h"
#include "schedule/weekeditor.h"
#include "schedule/weekprog.h"
#include "schedule/weekprogmarks.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTabWidget>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {
// The longest list a question names; the rest is counted.
constexpr int kNamedConflicts = 12;
} // namespace

void weekprog::showConflicts()
{
    const QString summary = m_conflicts->summary();
    lblconflicts->setText(summary);
    lblconflicts->setVisible(!summary.isEmpty());
    QStringList perDay;
    const QIcon warning = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (int d = 0; d < WeekEditor::DayCount; ++d) {
        const qsizetype count = m_conflicts->conflicts(d).size();
        if (count > 0)
            perDay.append(u"%1 %2 处"_s.arg(WeekEditor::dayCaption(d)).arg(count));
        // A day with conflicts shows them on its tab too, so that none goes
        // unseen behind another day.
        SSTabweek->setTabIcon(d, count > 0 ? warning : QIcon());
    }
    lblconflicts->setToolTip(perDay.join(u'，'));
}

void weekprog::lvw_DblClick(int row)
{
    const int day = currentDay();
    const QList<int> partners = m_marks.at(std::size_t(day))->partners(row);
    if (partners.isEmpty())
        return;
    int other = partners.first();
    for (int p : partners) {
        if (p > row) {
            other = p;
            break;
        }
    }
    // The marks follow a change of the rows after its event: a row that is
    // gone is no place to jump to.
    if (other >= m_editor->day(day)->count())
        return;
    // Selected and loaded as by a click, so that "修 改" writes into the
    // entry shown in the fields.
    selectRow(other);
    lvw_ItemClick(other);
    list(day)->setFocus();
}

bool weekprog::conflictsAccepted(int day)
{
    // The rows just changed are counted too, not only those of the last
    // event; the files are as last looked at.
    m_conflicts->refresh();
    const QList<EntryConflict> conflicts
        = day < 0 ? m_conflicts->conflicts() : m_conflicts->conflicts(day);
    if (conflicts.isEmpty())
        return true;
    const QString scope
        = day < 0 ? u"本周的播放列表"_s : WeekEditor::dayCaption(day) + u"的播放列表"_s;
    const QString text = u"%1有 %2 处冲突：\n%3\n\n仍然保存吗？"_s.arg(scope)
                             .arg(conflicts.size())
                             .arg(ConflictFinder::listText(conflicts, kNamedConflicts));
    // The operator may mean it: Yes writes the week as it is.
    return m_s.dialogs.message(text, u"播放冲突"_s, MsgIcon::Question, MsgButtons::YesNo, this)
        == MsgAnswer::Yes;
}
