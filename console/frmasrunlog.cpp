#include "console/frmasrunlog.h"

#include "console/asrunlogmodel.h"
#include "platform/asrunlog.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"
#include "platform/textfile.h"
#include "platform/timepicker.h"
#include "platform/windowteardown.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter presses the button that has the focus, as in a dialog.
    b->setAutoDefault(true);
    return b;
}

QLabel *label(const QString &text, const QString &name, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

frmasrunlog::frmasrunlog(AsRunLog &log, const Clock &clock, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , m_clock(clock)
    , m_dialogs(dialogs)
    , m_model(new AsRunLogModel(log, this))
{
    setObjectName(u"frmasrunlog"_s);
    setWindowTitle(u"运行日志"_s);
    buildControls();
    connect(m_model, &AsRunLogModel::kindsChanged, this, &frmasrunlog::fillKinds);
    connect(m_model, &QAbstractItemModel::modelReset, this, &frmasrunlog::showCount);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &frmasrunlog::showCount);
    // A new line comes on top. At the top the operator sees it; scrolled down
    // to read older lines, the lines in view stay where they are.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const bool scrolled = lvwlog->verticalScrollBar()->value() > 0;
        m_topRowBeforeInsert = scrolled ? lvwlog->indexAt(QPoint(1, 1)).row() : -1;
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                if (m_topRowBeforeInsert < 0)
                    return;
                lvwlog->scrollTo(m_model->index(m_topRowBeforeInsert + last - first + 1, 0),
                                 QAbstractItemView::PositionAtTop);
            });
    // Left open over midnight on today, the window goes on with the new day:
    // the first line of it is already in the new day's file.
    connect(&log, &AsRunLog::recorded, this, [this](const QDateTime &when) {
        if (m_followsToday && when.date() > m_model->day())
            dtpday->setDate(when.date());
    });
    showDay(m_clock.now().date());
    resize(900, 600);
}

frmasrunlog::~frmasrunlog()
{
    detachChildSignals(this);
}

void frmasrunlog::buildControls()
{
    // One stop in the Tab order: the arrow keys move between its parts.
    dtpday = new DateTimePicker(this);
    dtpday->setObjectName(u"dtpday"_s);
    dtpday->setAccessibleName(u"dtpday"_s);
    dtpday->setCalendarPopup(true);
    dtpday->setDisplayFormat(u"yyyy-MM-dd"_s);
    // The picker's own hint leaves too little room for the date in a
    // Chinese font: the digits, the field's margins and the arrow.
    dtpday->setMinimumWidth(dtpday->fontMetrics().horizontalAdvance(u"0000-00-00"_s)
                            + 2 * dtpday->style()->pixelMetric(QStyle::PM_DefaultFrameWidth)
                            + dtpday->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
    cmdprevday = button(u"前一天"_s, u"cmdprevday"_s, this);
    cmdnextday = button(u"后一天"_s, u"cmdnextday"_s, this);
    cbokind = new QComboBox(this);
    cbokind->setObjectName(u"cbokind"_s);
    cbokind->setAccessibleName(u"cbokind"_s);
    cbokind->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbokind->setMinimumContentsLength(6);
    txtfind = new QLineEdit(this);
    txtfind->setObjectName(u"txtfind"_s);
    txtfind->setAccessibleName(u"txtfind"_s);
    txtfind->setPlaceholderText(u"查找…"_s);
    txtfind->setMinimumWidth(160);
    QLabel *lblday = label(u"日期"_s, u"lblday"_s, this);
    lblday->setBuddy(dtpday);
    QLabel *lblkind = label(u"类别"_s, u"lblkind"_s, this);
    lblkind->setBuddy(cbokind);
    QLabel *lblfind = label(u"查找"_s, u"lblfind"_s, this);
    lblfind->setBuddy(txtfind);

    lvwlog = new QTreeView(this);
    lvwlog->setObjectName(u"lvwlog"_s);
    lvwlog->setAccessibleName(u"lvwlog"_s);
    lvwlog->setModel(m_model);
    lvwlog->setRootIsDecorated(false);
    lvwlog->setItemsExpandable(false);
    // Every row is one line of text: the view need not measure 100,000 rows.
    lvwlog->setUniformRowHeights(true);
    lvwlog->setAllColumnsShowFocus(true);
    lvwlog->setAlternatingRowColors(true);
    lvwlog->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwlog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwlog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwlog->setMinimumSize(480, 200);
    elideItems(lvwlog);
    QHeaderView *header = lvwlog->header();
    header->setSectionsMovable(false);
    header->setStretchLastSection(true);
    const QFontMetrics metrics = lvwlog->fontMetrics();
    // Room for the text and the item's margins either side.
    const int margins = 4 * (lvwlog->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    header->resizeSection(AsRunLogModel::TimeColumn,
                          metrics.horizontalAdvance(u"00:00:00"_s) + margins + 8);
    header->resizeSection(AsRunLogModel::KindColumn,
                          metrics.horizontalAdvance(u"声音引擎重启"_s) + margins);

    lblcount = label({}, u"lblcount"_s, this);
    cmdexport = button(u"导出…"_s, u"cmdexport"_s, this);
    cmdclose = button(u"关闭"_s, u"cmdclose"_s, this);

    auto *filters = new QHBoxLayout;
    filters->addWidget(lblday);
    filters->addWidget(dtpday);
    filters->addWidget(cmdprevday);
    filters->addWidget(cmdnextday);
    filters->addSpacing(24);
    filters->addWidget(lblkind);
    filters->addWidget(cbokind);
    filters->addSpacing(12);
    filters->addWidget(lblfind);
    filters->addWidget(txtfind, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lblcount, 1);
    buttons->addWidget(cmdexport);
    buttons->addSpacing(12);
    buttons->addWidget(cmdclose);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lvwlog, 1);
    layout->addLayout(buttons);
    setMinimumSize(640, 360);

    setTabOrder(dtpday, cmdprevday);
    setTabOrder(cmdprevday, cmdnextday);
    setTabOrder(cmdnextday, cbokind);
    setTabOrder(cbokind, txtfind);
    setTabOrder(txtfind, lvwlog);
    setTabOrder(lvwlog, cmdexport);
    setTabOrder(cmdexport, cmdclose);

    connect(dtpday, &QDateTimeEdit::dateChanged, this, &frmasrunlog::showDay);
    connect(cmdprevday, &QPushButton::clicked, this,
            [this] { dtpday->setDate(dtpday->date().addDays(-1)); });
    connect(cmdnextday, &QPushButton::clicked, this,
            [this] { dtpday->setDate(dtpday->date().addDays(1)); });
    connect(cbokind, &QComboBox::currentIndexChanged, this,
            [this] { m_model->setKindFilter(cbokind->currentData().toString()); });
    connect(txtfind, &QLineEdit::textChanged, m_model, &AsRunLogModel::setTextFilter);
    connect(cmdexport, &QPushButton::clicked, this, &frmasrunlog::cmdexport_Click);
    connect(cmdclose, &QPushButton::clicked, this, &QWidget::close);
    dtpday->setFocus();
}

void frmasrunlog::showDay(const QDate &day)
{
    if (dtpday->date() != day) {
        dtpday->setDate(day); // comes back here through the picker
        return;
    }
    m_followsToday = day == m_clock.now().date();
    if (m_model->day() != day)
        m_model->load(day);
}

void frmasrunlog::fillKinds()
{
    // The kind chosen stays chosen on a day that has none of it: the
    // operator looks for it day by day.
    const QString chosen = m_model->kindFilter();
    QStringList kinds = m_model->kinds();
    if (!chosen.isEmpty() && !kinds.contains(chosen))
        kinds.append(chosen);
    const QSignalBlocker quiet(cbokind);
    cbokind->clear();
    cbokind->addItem(u"全部类别"_s, QString());
    for (const QString &kind : std::as_const(kinds))
        cbokind->addItem(kind, kind);
    cbokind->setCurrentIndex(std::max(0, cbokind->findData(chosen)));
}

void frmasrunlog::showCount()
{
    QString text = u"共 %1 条"_s.arg(m_model->rowCount());
    if (!m_model->error().isEmpty())
        text = u"无法读取这一天的日志：%1"_s.arg(m_model->error());
    else if (m_model->missing())
        text += u"（这一天没有记录）"_s;
    else if (m_model->rowCount() != m_model->totalCount())
        text += u"（全天 %1 条）"_s.arg(m_model->totalCount());
    if (m_model->damaged() > 0)
        text += u"，%1 行已损坏，未显示"_s.arg(m_model->damaged());
    lblcount->setText(text);
}

void frmasrunlog::cmdexport_Click()
{
    const QString name = u"运行日志_%1.csv"_s.arg(m_model->day().toString(u"yyyyMMdd"_s));
    const QString path = withDefaultSuffix(
        m_dialogs.saveFileName(u"导出运行日志"_s, QDir::homePath(), u"CSV文件|*.csv"_s, name, this),
        u"csv"_s);
    if (path.isEmpty())
        return;
    const QString error = saveFileAtomically(path, m_model->shownCsv());
    if (!error.isEmpty())
        m_dialogs.message(u"无法导出运行日志到“%1”：%2"_s.arg(path, error), windowTitle(),
                          MsgIcon::Exclamation, MsgButtons::Ok, this);
}

void frmasrunlog::keyPressEvent(QKeyEvent *event)
{
    // Escape closes the window as "关闭" does, wherever the focus.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
