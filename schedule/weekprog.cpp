#include "schedule/weekprog.h"

#include "console/consolesettings.h"
#include "console/consolestate.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"
#include "platform/timepicker.h"
#include "schedule/conflictwatch.h"
#include "schedule/daytablemodel.h"
#include "schedule/entrytargetspanel.h"
#include "schedule/tracklengths.h"
#include "schedule/weekeditor.h"
#include "schedule/weekprogmarks.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The question about unsaved changes, asked before the week is replaced.
const QString kUnsavedText = u"文件已修改，是否存盘？"_s;
const QString kUnsavedTitle = u"请确认是否存盘"_s;

template<class T> T *named(T *widget, const QString &name, bool accessible = false)
{
    widget->setObjectName(name);
    // Controls without a caption are found by accessibility tools by name.
    if (accessible)
        widget->setAccessibleName(name);
    return widget;
}

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = named(new QPushButton(caption, parent), name);
    // Enter presses the button that has the focus, as in a dialog; there is
    // no default button, so Enter in a field never adds or saves.
    b->setAutoDefault(true);
    return b;
}

QTimeEdit *timePicker(const QString &name, QWidget *parent)
{
    // One Tab stop, as every other field.
    return named(new TimePicker(QTime(0, 0), parent), name, true);
}

QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setObjectName(u"lbl_"_s + buddy->objectName());
    label->setBuddy(buddy);
    return label;
}

// Widths of the shown columns as shares of the list's width; the three
// target columns are hidden. The shares are scaled to fill the list exactly.
constexpr double kColumnShares[] = {1.0 / 10, 1.0 / 10, 1.0 / 5, 3.0 / 8, 1.0 / 8, 1.0 / 8};

// Keeps the columns of an entry list at their shares of its width.
class ColumnSharer final : public QObject
{
public:
    explicit ColumnSharer(QTreeView *view)
        : QObject(view)
        , m_view(view)
    {
        view->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            apply();
        return false;
    }

private:
    void apply()
    {
        double total = 0;
        for (double share : kColumnShares)
            total += share;
        const int width = m_view->viewport()->width();
        int used = 0;
        const int shown = int(std::size(kColumnShares));
        for (int c = 0; c < shown; ++c) {
            // The last column takes what rounding left over.
            const int w = c == shown - 1 ? width - used : int(width * kColumnShares[c] / total);
            m_view->header()->resizeSection(c, std::max(w, 20));
            used += w;
        }
    }

    QTreeView *m_view;
};

} // namespace

weekprog::weekprog(const Services &services, QWidget *parent)
    : QWidget(parent)
    , m_s(services)
    , m_editor(new WeekEditor(this))
    , m_conflicts(new ConflictWatch(*m_editor, this))
    , m_lengths(new TrackLengths(services.probe, this))
{
    setObjectName(u"weekprog"_s);
    buildControls();
    connectControls();
    // A fresh editor holds no file; what it opens is decided by the request
    // flags when it becomes active.
    showCaption();
    // Whole on a 1024×768 screen, with room left for the panel and the
    // window's frame.
    setMinimumSize(980, 660);
    resize(1000, 700);
}

weekprog::~weekprog()
{
    setWaiting(false);
}

void weekprog::buildControls()
{
    // The conflicts of the week, summed up over the lists; empty and hidden
    // while there is none.
    lblconflicts = named(new QLabel(this), u"lblconflicts"_s);
    lblconflicts->setStyleSheet(u"color: #b00000;"_s);
    lblconflicts->hide();
    SSTabweek = named(new QTabWidget(this), u"SSTabweek"_s, true);
    for (int d = 0; d < WeekEditor::DayCount; ++d) {
        auto *view = named(new QTreeView(SSTabweek), u"lvw_"_s + QString::number(d), true);
        // The rows as the day holds them, conflicts marked on their start time.
        m_marks[std::size_t(d)] = new ConflictMarks(*m_conflicts, d, m_editor->day(d), view);
        view->setModel(m_marks[std::size_t(d)]);
        view->setRootIsDecorated(false);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->header()->setSectionsClickable(true);
        view->header()->setStretchLastSection(false);
        view->header()->setSectionsMovable(false);
        for (int c = DayTableModel::ZoneColumn; c <= DayTableModel::DeviceColumn; ++c)
            view->setColumnHidden(c, true);
        new ColumnSharer(view);
        // A long path keeps its start and its file name in view.
        elideItems(view, Qt::ElideMiddle);
        lvw[std::size_t(d)] = view;
        SSTabweek->addTab(view, WeekEditor::dayCaption(d));
    }

    mnuitemedit = named(new QMenu(u"项目编辑"_s, this), u"mnuitemedit"_s);
    const auto item = [this](const QString &caption, const QString &name) {
        QAction *action = mnuitemedit->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    mnuprev = item(u"接前一曲"_s, u"mnuprev"_s);
    mnucon = item(u"连续编排"_s, u"mnucon"_s);
    mnuup = item(u"上    移"_s, u"mnuup"_s);
    mnudown = item(u"下    移"_s, u"mnudown"_s);
    mnudel = item(u"删    除"_s, u"mnudel"_s);
    mnudelall = item(u"全部删除"_s, u"mnudelall"_s);

    // Created in reading order, which the tab order follows: the fields, the
    // entry commands beside them, the targets, then the row at the bottom.
    QWidget *inputs = buildInputs();
    QWidget *entryCommands = buildEntryCommands();
    m_targets = new EntryTargetsPanel(m_s.folder, m_s.settings, this);
    QWidget *fileCommands = buildFileCommands();

    auto *lower = new QHBoxLayout;
    // The fields need little more than their least; the names of the
    // terminals, amplifiers and devices take what the window has to spare.
    lower->addWidget(inputs, 2);
    lower->addWidget(entryCommands);
    lower->addSpacing(6);
    lower->addWidget(m_targets, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblconflicts);
    layout->addWidget(SSTabweek, 1);
    layout->addLayout(lower);
    layout->addWidget(fileCommands);
}

QWidget *weekprog::buildInputs()
{
    auto *box = new QWidget(this);
    box->setObjectName(u"fraentry"_s);
    DTPicker = timePicker(u"DTPicker"_s, box);
    // A new entry starts at the current second unless the operator says otherwise.
    DTPicker->setTime(QTime::fromMSecsSinceStartOfDay(m_s.clock.now().time().msecsSinceStartOfDay()
                                                      / 1000 * 1000));
    cmbchannel = named(new QComboBox(box), u"cmbchannel"_s, true);
    cmbchannel->addItems({u"节目一"_s, u"节目二"_s, u"节目三"_s, u"节目四"_s, u"节目五"_s,
                          u"节目六"_s, u"节目七"_s, u"节目八"_s});
    cmbchannel->setCurrentIndex(-1);
    txtdetail = named(new QLineEdit(box), u"txtdetail"_s, true);
    txtfile = named(new QLineEdit(box), u"txtfile"_s, true);
    cmdchoice = button(u"单选"_s, u"cmdchoice"_s, box);
    cmd2time = button(u"两次"_s, u"cmd2time"_s, box);
    cmd3time = button(u"三次"_s, u"cmd3time"_s, box);
    cmdwhole = button(u"全曲"_s, u"cmdwhole"_s, box);
    cmdmulfile = button(u"选  择"_s, u"cmdmulfile"_s, box);
    cmdsequence = button(u"顺序播"_s, u"cmdsequence"_s, box);
    CmdRand = button(u"随机播"_s, u"CmdRand"_s, box);
    cmdhear = button(u"试  听"_s, u"cmdhear"_s, box);
    Slidervol = named(new QSlider(Qt::Horizontal, box), u"Slidervol"_s, true);
    MasterVolume &volume = m_s.volume;
    Slidervol->setRange(volume.minimum(), volume.maximum());
    Slidervol->setValue(volume.value());
    Slidervol->setSingleStep(1000);
    Slidervol->setPageStep(1000);
    dtpplen = timePicker(u"dtpplen"_s, box);

    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(buddyLabel(u"播放时间"_s, DTPicker), 0, 0);
    grid->addWidget(DTPicker, 0, 1);
    grid->addWidget(buddyLabel(u"播放节目"_s, cmbchannel), 0, 2);
    grid->addWidget(cmbchannel, 0, 3);
    grid->addWidget(buddyLabel(u"内容概述"_s, txtdetail), 1, 0);
    grid->addWidget(txtdetail, 1, 1, 1, 3);
    grid->addWidget(buddyLabel(u"播放文件"_s, txtfile), 2, 0);
    grid->addWidget(txtfile, 2, 1, 1, 3);
    // The file commands under the file: one file's length, then batches and
    // the audition.
    auto *fileButtons = new QGridLayout;
    QPushButton *const rows[2][4]
        = {{cmdchoice, cmd2time, cmd3time, cmdwhole}, {cmdmulfile, cmdsequence, CmdRand, cmdhear}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 4; ++c)
            fileButtons->addWidget(rows[r][c], r, c);
    }
    grid->addLayout(fileButtons, 3, 1, 1, 3);
    grid->addWidget(buddyLabel(u"音量大小"_s, Slidervol), 4, 0);
    grid->addWidget(Slidervol, 4, 1);
    grid->addWidget(buddyLabel(u"播放时长:"_s, dtpplen), 4, 2);
    grid->addWidget(dtpplen, 4, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    return box;
}

QWidget *weekprog::buildEntryCommands()
{
    auto *box = new QWidget(this);
    box->setObjectName(u"fraitem"_s);
    cmdadd = button(u"增 加"_s, u"cmdadd"_s, box);
    cmdmodify = button(u"修 改"_s, u"cmdmodify"_s, box);
    cmddel = button(u"删 除"_s, u"cmddel"_s, box);
    cmdup = button(u"上 移"_s, u"cmdup"_s, box);
    cmddown = button(u"下 移"_s, u"cmddown"_s, box);
    cmdprev = button(u"接前一曲"_s, u"cmdprev"_s, box);
    cmdprev->setEnabled(false); // until a row after the first is clicked
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QPushButton *b : {cmdadd, cmdmodify, cmddel, cmdup, cmddown, cmdprev})
        layout->addWidget(b);
    layout->addStretch();
    return box;
}

QWidget *weekprog::buildFileCommands()
{
    auto *box = new QWidget(this);
    box->setObjectName(u"frafile"_s);
    cmbday = named(new QComboBox(box), u"cmbday"_s, true);
    cmbday->addItems({u"一"_s, u"二"_s, u"三"_s, u"四"_s, u"五"_s, u"六"_s, u"日"_s});
    cmbday->setCurrentIndex(-1);
    cmbday->setMinimumContentsLength(3);
    cmbday->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmdcopy = button(u"复制"_s, u"cmdcopy"_s, box);
    cmdSaveAsDate = button(u"存日期"_s, u"cmdSaveAsDate"_s, box);
    cmdLoadDate = button(u"调日期"_s, u"cmdLoadDate"_s, box);
    cmdsave = button(u"保 存"_s, u"cmdsave"_s, box);
    cmdsaveas = button(u"另存为"_s, u"cmdsaveas"_s, box);
    cmdquit = button(u"退 出"_s, u"cmdquit"_s, box);

    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->addWidget(buddyLabel(u"从星期"_s, cmbday));
    layout->addWidget(cmbday);
    layout->addWidget(cmdcopy);
    layout->addSpacing(16);
    layout->addWidget(cmdSaveAsDate);
    layout->addWidget(cmdLoadDate);
    layout->addStretch();
    for (QPushButton *b : {cmdsave, cmdsaveas, cmdquit})
        layout->addWidget(b);
    return box;
}

void weekprog::connectControls()
{
    for (int d = 0; d < WeekEditor::DayCount; ++d) {
        QTreeView *view = list(d);
        // A row is loaded when the operator makes it current, by the mouse
        // (either button) or the keyboard; a click on the current row loads
        // it again, since the fields may have been changed since.
        connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex &current) {
                    if (!m_updating && current.isValid())
                        lvw_ItemClick(current.row());
                });
        connect(view, &QTreeView::clicked, this,
                [this](const QModelIndex &index) { lvw_ItemClick(index.row()); });
        connect(view->header(), &QHeaderView::sectionClicked, this, &weekprog::lvw_ColumnClick);
        connect(view, &QTreeView::doubleClicked, this,
                [this](const QModelIndex &index) { lvw_DblClick(index.row()); });
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint &at) {
            mnuitemedit->popup(view->viewport()->mapToGlobal(at));
        });
    }
    connect(SSTabweek, &QTabWidget::currentChanged, this, [this] { cmdprev->setEnabled(false); });

    connect(cmdadd, &QPushButton::clicked, this, &weekprog::cmdadd_Click);
    connect(cmdmodify, &QPushButton::clicked, this, &weekprog::cmdmodify_Click);
    connect(cmddel, &QPushButton::clicked, this, &weekprog::cmddel_Click);
    connect(cmdup, &QPushButton::clicked, this, &weekprog::cmdup_Click);
    connect(cmddown, &QPushButton::clicked, this, &weekprog::cmddown_Click);
    connect(cmdprev, &QPushButton::clicked, this, &weekprog::cmdprev_Click);
    connect(cmdcopy, &QPushButton::clicked, this, &weekprog::cmdcopy_Click);
    connect(cmdchoice, &QPushButton::clicked, this, &weekprog::cmdchoice_Click);
    connect(cmd2time, &QPushButton::clicked, this, &weekprog::cmd2time_Click);
    connect(cmd3time, &QPushButton::clicked, this, &weekprog::cmd3time_Click);
    connect(cmdwhole, &QPushButton::clicked, this, &weekprog::cmdwhole_Click);
    connect(cmdmulfile, &QPushButton::clicked, this, &weekprog::cmdmulfile_Click);
    connect(cmdsequence, &QPushButton::clicked, this, &weekprog::cmdsequence_Click);
    connect(CmdRand, &QPushButton::clicked, this, &weekprog::CmdRand_Click);
    connect(cmdhear, &QPushButton::clicked, this, &weekprog::cmdhear_Click);
    connect(cmdsave, &QPushButton::clicked, this, &weekprog::cmdsave_Click);
    connect(cmdsaveas, &QPushButton::clicked, this, &weekprog::cmdsaveas_Click);
    connect(cmdquit, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdSaveAsDate, &QPushButton::clicked, this, &weekprog::cmdSaveAsDate_Click);
    connect(cmdLoadDate, &QPushButton::clicked, this, &weekprog::cmdLoadDate_Click);
    connect(mnuprev, &QAction::triggered, this, &weekprog::mnuprev_Click);
    connect(mnucon, &QAction::triggered, this, &weekprog::mnucon_Click);
    connect(mnuup, &QAction::triggered, this, &weekprog::cmdup_Click);
    connect(mnudown, &QAction::triggered, this, &weekprog::cmddown_Click);
    connect(mnudel, &QAction::triggered, this, &weekprog::cmddel_Click);
    connect(mnudelall, &QAction::triggered, this, &weekprog::mnudelall_Click);

    connect(m_targets, &EntryTargetsPanel::peripheralOnlyRequested, this, [this] {
        txtdetail->setText(u"外设控制"_s);
        txtfile->setText(u"外设控制"_s);
    });

    // The slider is a view of the console's one volume, and moving it sets
    // that volume; a clicked row sets it only as rowSetsVolume() allows.
    MasterVolume &volume = m_s.volume;
    connect(Slidervol, &QSlider::valueChanged, &volume, &MasterVolume::setValue);
    connect(&volume, &MasterVolume::valueChanged, Slidervol, [this](int value) {
        const QSignalBlocker blocker(Slidervol);
        Slidervol->setValue(value);
    });
    connect(&volume, &MasterVolume::rangeChanged, Slidervol, [this, &volume](int low, int high) {
        const QSignalBlocker blocker(Slidervol);
        Slidervol->setRange(low, high);
        Slidervol->setValue(volume.value());
    });

    // Whoever takes the player from the audition ends it: the button is
    // ready to audition again. A stop or the file's end is no take-over.
    connect(&m_s.playback, &PlaybackEngine::holderChanged, this,
            [this](PlayerHolder now, PlayerHolder before) {
                if (m_auditioning && before == PlayerHolder::Audition
                    && now != PlayerHolder::Nobody)
                    showAuditionIdle();
            });

    connect(m_conflicts, &ConflictWatch::conflictsChanged, this, &weekprog::showConflicts);

    connect(m_lengths, &TrackLengths::lengthFound, this, &weekprog::lengthFound);
    connect(m_lengths, &TrackLengths::finished, this, &weekprog::lengthsFinished);
}

int weekprog::currentDay() const
{
    return SSTabweek->currentIndex();
}

int weekprog::selectedRow() const
{
    const QModelIndexList rows = list(currentDay())->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void weekprog::selectRow(int row)
{
    const QScopedValueRollback guard(m_updating, true);
    QTreeView *view = list(currentDay());
    if (row < 0) {
        view->selectionModel()->clear();
        return;
    }
    const QModelIndex index = view->model()->index(row, 0);
    view->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(index);
}

void weekprog::showCaption()
{
    const QString caption = u"编制自动播放列表"_s;
    setWindowTitle(m_currentFile.isEmpty() ? caption : caption + u"--"_s + m_currentFile);
}

void weekprog::lvw_ItemClick(int row)
{
    const DayTableModel *model = m_editor->day(currentDay());
    if (row < 0 || row >= model->count())
        return;
    cmdprev->setEnabled(row > 0);
    const ScheduleEntry &e = model->entry(row);
    const QString format = u"HH:mm:ss"_s;
    DTPicker->setTime(QTime::fromString(e.time, format));
    cmbchannel->setCurrentIndex(e.channel >= 1 && e.channel <= 8 ? e.channel - 1 : -1);
    txtdetail->setText(e.detail);
    txtfile->setText(e.filename);
    {
        const QSignalBlocker blocker(Slidervol);
        Slidervol->setValue(e.volume);
    }
    // Browsing the week must not turn a running broadcast down: the slider
    // shows the row's volume and the audition takes it when pressed.
    if (rowSetsVolume())
        m_s.volume.setValue(Slidervol->value());
    dtpplen->setTime(QTime::fromString(e.plen, format));
    m_targets->loadTargets(e.zone, e.amp, e.device);
}

bool weekprog::rowSetsVolume() const
{
    const PlaybackEngine &playback = m_s.playback;
    const PlayerHolder holder = playback.holder();
    return holder == PlayerHolder::Nobody || holder == PlayerHolder::Audition
        || !playback.isPlaying();
}

void weekprog::lvw_ColumnClick(int column)
{
    m_editor->sort(currentDay(), column);
}

bool weekprog::event(QEvent *event)
{
    // The main window opens the editor with show() and brings an open one
    // back with activateWindow(): either way the requests are looked at.
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)
        queueActivation();
    // Back from elsewhere, the operator may have copied or removed files.
    if (event->type() == QEvent::WindowActivate)
        m_conflicts->recheckFiles();
    return QWidget::event(event);
}

void weekprog::queueActivation()
{
    // After the event that showed or activated the window has been handled:
    // a request may open a dialog over it or close it.
    if (m_activationQueued)
        return;
    m_activationQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_activationQueued = false;
            activateRequests();
        },
        Qt::QueuedConnection);
}

void weekprog::activateRequests()
{
    // One request at a time: while its question or file dialog is open the
    // window is activated again (the dialog closing, the main window raising
    // it), and what was asked meanwhile is looked at once it is answered.
    if (m_activationAsking)
        return;
    ConsoleState &state = m_s.state;
    // Each request is cleared before anything is asked: a dialog that closes
    // activates the window again and must find nothing left to do.
    if (state.EditCurrentWeekFileRequest()) {
        state.setEditCurrentWeekFileRequest(false);
        releaseWeekThen([this] {
            openWeek(m_s.settings.values().WeekFilePath);
            SSTabweek->setCurrentIndex(m_s.clock.now().date().dayOfWeek() - 1);
        });
        return;
    }
    if (state.OpenWeekFileRequest()) {
        state.setOpenWeekFileRequest(false);
        state.setNewWeekFileRequest(false);
        // Neither the file dialog nor the question about unsaved changes
        // waits inside the activation: both answer later.
        m_activationAsking = true;
        m_s.dialogs.askOpenFileName(u"打开星期播放列表文件"_s, weekFolder(),
                                    u"播放列表文件(*.txt)|*.txt"_s, QString(), this,
                                    [this](const QString &path) {
                                        m_activationAsking = false;
                                        if (path.isEmpty()) {
                                            // Closing asks about unsaved changes itself; asked here
                                            // first, close() finds nothing left to ask, or the week
                                            // stays with the window.
                                            releaseWeekThen([this] { close(); });
                                        } else {
                                            releaseWeekThen([this, path] { openWeek(path); });
                                        }
                                        requestsAfterAnswer();
                                    });
        return;
    }
    if (state.NewWeekFileRequest()) {
        state.setOpenWeekFileRequest(false);
        state.setNewWeekFileRequest(false);
        releaseWeekThen([this] { startNewWeek(); });
    }
}

void weekprog::releaseWeekThen(std::function<void()> then)
{
    if (!m_editor->isModified()) {
        then();
        return;
    }
    m_activationAsking = true;
    m_s.dialogs.ask(kUnsavedText, kUnsavedTitle, MsgIcon::Question, MsgButtons::YesNo, this,
                    [this, then = std::move(then)](MsgAnswer answer) {
                        m_activationAsking = false;
                        if (weekReleased(answer))
                            then();
                        requestsAfterAnswer();
                    });
}

void weekprog::requestsAfterAnswer()
{
    // A request the main window raised while a dialog was open is looked at
    // now; a window that closed takes none.
    if (isVisible())
        queueActivation();
}

bool weekprog::weekReleased(MsgAnswer answer)
{
    // The week is replaced only once it is on disk.
    if (answer == MsgAnswer::Yes)
        return save() == SaveOutcome::Written;
    m_editor->setModified(false);
    return true;
}

bool weekprog::releaseWeek()
{
    if (!m_editor->isModified())
        return true;
    return weekReleased(m_s.dialogs.message(kUnsavedText, kUnsavedTitle, MsgIcon::Question,
                                            MsgButtons::YesNo, this));
}

void weekprog::closeEvent(QCloseEvent *event)
{
    // Whatever kept the week from being written (an entry, the disk, the
    // operator cancelling the file name) keeps the window open with the edits.
    if (!releaseWeek()) {
        event->ignore();
        return;
    }
    if (m_lengths->isRunning())
        m_lengths->cancel();
    event->accept();
}

void weekprog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
