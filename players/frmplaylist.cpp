#include "players/frmplaylist.h"

#include "platform/appfolder.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"
#include "platform/enterpress.h"
#include "platform/timepicker.h"
#include "players/playlistbrowser.h"
#include "players/playlistcd.h"
#include "players/playlistfile.h"
#include "players/playlisttimedplay.h"
#include "players/playlisttotal.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTimeEdit>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <functional>

using namespace Qt::StringLiterals;

namespace {
// The drive list looks at the mounted file systems again each time it opens,
// so a stick plugged in while the window is open can be chosen.
class DriveComboBox final : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;
    void showPopup() override
    {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter presses the button that has the focus; there is no default
    // button, so Enter in a list never removes or saves anything.
    b->setAutoDefault(true);
    return b;
}

QLabel *label(const QString &text, const QString &name, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

template<class W> W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    widget->setAccessibleName(name);
    return widget;
}
} // namespace

frmplaylist::frmplaylist(const Services &services, MediaPlayer &player, MediaProbe &probe,
                         QWidget *parent)
    : QWidget(parent)
    , m_s(services)
    , m_cd(std::make_unique<SystemPlaylistCd>())
{
    setObjectName(u"frmplaylist"_s);
    setWindowTitle(u"曲目列表播放"_s);
    m_list = new Playlist(player, *m_cd, m_s.log, this);
    m_total = new PlaylistTotal(probe, *m_cd, this);
    m_timed = new PlaylistTimedPlay(*m_list, m_s.clock, m_s.power, m_s.log, this);
    buildControls();

    // The view follows the list whatever changed it; the commands then
    // select what they leave selected. An entry starts only while nothing
    // plays, so the change of mode that follows redraws the bold entry.
    connect(m_list, &Playlist::entriesChanged, this, &frmplaylist::showList);
    connect(m_list, &Playlist::displayChanged, this, &frmplaylist::showDisplay);
    connect(m_list, &Playlist::modeChanged, this, &frmplaylist::showMode);
    connect(m_total, &PlaylistTotal::finished, this, &frmplaylist::showTotal);

    // Opening: the drive of the application folder, and that folder.
    const QString appFolder = m_s.folder.path().isEmpty() ? u"/"_s : m_s.folder.path();
    m_drive = playlistDriveOf(appFolder);
    fillDrives();
    auto *driveList = static_cast<DriveComboBox *>(drvplaylist);
    driveList->beforePopup = [this] { fillDrives(); };
    connect(drvplaylist, &QComboBox::currentIndexChanged, this, &frmplaylist::drvplaylist_Change);
    m_folders->setRootPath(m_drive);
    showFolder(appFolder);
    showDisplay();
    showMode();
}

frmplaylist::~frmplaylist()
{
    // These refer to the CD helper, which goes before the children do.
    delete m_timed;
    delete m_total;
    delete m_list;
}

void frmplaylist::buildControls()
{
    lstplaylist = named(new QListWidget(this), u"lstplaylist"_s);
    lstplaylist->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstplaylist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstplaylist->setMinimumSize(300, 160);
    lstplaylist->setIconSize(QSize(16, 16));
    // A long path shows its start and its file name, and whole on hover.
    elideItems(lstplaylist, Qt::ElideMiddle);
    // Double-click and Enter both play from the entry.
    connect(lstplaylist, &QListWidget::activated, this,
            [this](const QModelIndex &index) { lstplaylist_DblClick(index.row()); });

    auto *left = new QVBoxLayout;
    left->addWidget(lstplaylist, 1);
    left->addWidget(buildPlayer());

    cmdaddall = button(u"<<<"_s, u"cmdaddall"_s, this);
    cmdaddall->setToolTip(u"添加所有文件"_s);
    cmdaddone = button(u"添加所选文件"_s, u"cmdaddone"_s, this);
    cmdinsert = button(u"插入文件"_s, u"cmdinsert"_s, this);
    cmdadd = button(u"增 加"_s, u"cmdadd"_s, this);
    cmdremove = button(u"删 除"_s, u"cmdremove"_s, this);
    cmdremoveall = button(u"全部删除"_s, u"cmdremoveall"_s, this);
    cmdup = button(u"文件上移"_s, u"cmdup"_s, this);
    cmddown = button(u"文件下移"_s, u"cmddown"_s, this);
    cmdload = button(u"载 入"_s, u"cmdload"_s, this);
    cmdsave = button(u"保 存"_s, u"cmdsave"_s, this);
    auto *middle = new QVBoxLayout;
    for (QPushButton *b : {cmdaddall, cmdaddone, cmdinsert}) {
        b->setMinimumWidth(100);
        middle->addWidget(b);
    }
    middle->addSpacing(12);
    for (QPushButton *b : {cmdadd, cmdremove, cmdremoveall, cmdup, cmddown}) {
        b->setMinimumWidth(100);
        middle->addWidget(b);
    }
    middle->addStretch(1);
    for (QPushButton *b : {cmdload, cmdsave}) {
        b->setMinimumWidth(100);
        middle->addWidget(b);
    }
    connect(cmdaddall, &QPushButton::clicked, this, &frmplaylist::cmdaddall_Click);
    connect(cmdaddone, &QPushButton::clicked, this, &frmplaylist::cmdaddone_Click);
    connect(cmdinsert, &QPushButton::clicked, this, &frmplaylist::cmdinsert_Click);
    connect(cmdadd, &QPushButton::clicked, this, &frmplaylist::cmdadd_Click);
    connect(cmdremove, &QPushButton::clicked, this, &frmplaylist::cmdremove_Click);
    connect(cmdremoveall, &QPushButton::clicked, this, &frmplaylist::cmdremoveall_Click);
    connect(cmdup, &QPushButton::clicked, this, &frmplaylist::cmdup_Click);
    connect(cmddown, &QPushButton::clicked, this, &frmplaylist::cmddown_Click);
    connect(cmdload, &QPushButton::clicked, this, &frmplaylist::cmdload_Click);
    connect(cmdsave, &QPushButton::clicked, this, &frmplaylist::cmdsave_Click);

    auto *top = new QHBoxLayout;
    top->addLayout(left, 3);
    top->addLayout(middle);
    top->addWidget(buildBrowser(), 2);

    auto *main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addWidget(buildOptions());

    setTabOrderAlongLayout();
    setMinimumSize(760, 460);
    resize(900, 560);
    lstplaylist->setFocus();
}

QWidget *frmplaylist::buildBrowser()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);

    auto *drives = new DriveComboBox(box);
    drvplaylist = named<QComboBox>(drives, u"drvplaylist"_s);
    drvplaylist->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    drvplaylist->setMinimumContentsLength(12);

    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setReadOnly(true);
    Dirplaylist = named(new QTreeView(box), u"Dirplaylist"_s);
    Dirplaylist->setModel(m_folders);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        Dirplaylist->hideColumn(column);
    Dirplaylist->header()->hide();
    Dirplaylist->setMinimumHeight(120);
    connect(Dirplaylist->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &frmplaylist::Dirplaylist_Change);
    // The tree shows the drive's root as its top entry and nothing beside it.
    connect(m_folders, &QFileSystemModel::rowsInserted, this,
            [this](const QModelIndex &parent, int first, int last) {
                if (parent != Dirplaylist->rootIndex())
                    return;
                for (int row = first; row <= last; ++row) {
                    const QString path = m_folders->filePath(m_folders->index(row, 0, parent));
                    Dirplaylist->setRowHidden(row, parent, path != m_drive);
                }
            });

    // The folders load in the background; while those on the way to the
    // current one come in, the current one is kept in sight.
    connect(m_folders, &QFileSystemModel::directoryLoaded, this, [this](const QString &path) {
        const QString current = m_folders->filePath(Dirplaylist->currentIndex());
        if (current == path || current.startsWith(path.endsWith(u'/') ? path : path + u'/'))
            Dirplaylist->scrollTo(Dirplaylist->currentIndex());
    });

    fileplaylist = named(new QListWidget(box), u"fileplaylist"_s);
    fileplaylist->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileplaylist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileplaylist->setMinimumHeight(120);
    elideItems(fileplaylist, Qt::ElideMiddle);
    connect(fileplaylist, &QListWidget::activated, this,
            [this](const QModelIndex &index) { fileplaylist_DblClick(index.data().toString()); });

    const struct
    {
        QString text;
        QString name;
        QWidget *buddy;
    } rows[] = {
        {u"驱动器："_s, u"lbldrive"_s, drvplaylist},
        {u"目  录："_s, u"lbldir"_s, Dirplaylist},
        {u"文  件："_s, u"lblfile"_s, fileplaylist},
    };
    int row = 0;
    for (const auto &r : rows) {
        QLabel *l = label(r.text, r.name, box);
        l->setBuddy(r.buddy);
        grid->addWidget(l, row++, 0);
        grid->addWidget(r.buddy, row++, 0);
    }
    grid->setRowStretch(3, 1);
    grid->setRowStretch(5, 1);
    return box;
}

QWidget *frmplaylist::buildPlayer()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);

    // A long file name keeps its start and its extension in view.
    lblsong = new ElidedLabel(Qt::ElideMiddle, box);
    lblsong->setObjectName(u"lblsong"_s);
    lblsong->setMinimumWidth(120);
    lblsonglength = label(QString(), u"lblsonglength"_s, box);
    lblctime = label(QString(), u"lblctime"_s, box);
    ProgressBarplay = named(new QProgressBar(box), u"ProgressBarplay"_s);
    ProgressBarplay->setRange(0, 100);
    ProgressBarplay->setTextVisible(false);
    auto *song = new QHBoxLayout;
    song->addWidget(lblsong, 1);
    song->addWidget(lblsonglength);
    song->addSpacing(16);
    song->addWidget(lblctime);
    grid->addLayout(song, 0, 0, 1, 4);
    grid->addWidget(ProgressBarplay, 1, 0, 1, 4);

    cmdplay = button(u"播放"_s, u"cmdplay"_s, box);
    connect(cmdplay, &QPushButton::clicked, this, &frmplaylist::cmdplay_Click);

    mmcplay = new QWidget(box);
    mmcplay->setObjectName(u"mmcplay"_s);
    auto *transport = new QHBoxLayout(mmcplay);
    transport->setContentsMargins(0, 0, 0, 0);
    transport->setSpacing(2);
    const struct
    {
        QToolButton *&button;
        QString name;
        QStyle::StandardPixmap icon;
        QString tip;
        void (Playlist::*act)();
    } buttons[] = {
        {mmcplayPlay, u"mmcplay_play"_s, QStyle::SP_MediaPlay, u"播放当前文件"_s,
         &Playlist::transportPlay},
        {mmcplayPause, u"mmcplay_pause"_s, QStyle::SP_MediaPause, u"暂停"_s,
         &Playlist::transportPause},
        {mmcplayStop, u"mmcplay_stop"_s, QStyle::SP_MediaStop, u"停止"_s, &Playlist::transportStop},
    };
    for (const auto &b : buttons) {
        b.button = named(new QToolButton(mmcplay), b.name);
        b.button->setIcon(style()->standardIcon(b.icon));
        b.button->setToolTip(b.tip);
        b.button->setAutoRaise(false);
        b.button->setFocusPolicy(Qt::StrongFocus);
        pressOnEnter(b.button);
        transport->addWidget(b.button);
        connect(b.button, &QToolButton::clicked, m_list, b.act);
    }

    Slidervol = named(new QSlider(Qt::Horizontal, box), u"Slidervol"_s);
    Slidervol->setToolTip(u"调节音量"_s);
    Slidervol->setRange(1, 10);
    Slidervol->setPageStep(1);
    Slidervol->setTickPosition(QSlider::TicksBelow);
    Slidervol->setTickInterval(1);
    Slidervol->setValue(m_list->volumeStep());
    Slidervol->setMinimumWidth(110);
    connect(Slidervol, &QSlider::valueChanged, m_list, &Playlist::setVolumeStep);
    auto *marks = new QHBoxLayout;
    marks->setContentsMargins(0, 0, 0, 0);
    // Under ticks 1, 5 and 10 of the ten.
    marks->addWidget(label(u"1"_s, u"lblvol1"_s, box));
    marks->addStretch(4);
    marks->addWidget(label(u"5"_s, u"lblvol5"_s, box));
    marks->addStretch(5);
    marks->addWidget(label(u"10"_s, u"lblvol10"_s, box));
    auto *volume = new QVBoxLayout;
    volume->setSpacing(0);
    volume->addWidget(Slidervol);
    volume->addLayout(marks);

    auto *total = new QHBoxLayout;
    total->addWidget(label(u"播放总时长："_s, u"lbltotal"_s, box));
    lbltimedisp = label(totalTimeText(0), u"lbltimedisp"_s, box);
    total->addWidget(lbltimedisp);

    grid->addWidget(cmdplay, 2, 0);
    grid->addWidget(mmcplay, 2, 1);
    grid->addLayout(volume, 2, 2);
    grid->addLayout(total, 2, 3, Qt::AlignRight);
    grid->setColumnStretch(2, 1);
    return box;
}

QWidget *frmplaylist::buildOptions()
{
    auto *box = new QWidget(this);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    chkrepeat = new QCheckBox(u"循环播放"_s, box);
    chkrepeat->setObjectName(u"chkrepeat"_s);
    connect(chkrepeat, &QCheckBox::toggled, m_list, &Playlist::setRepeat);
    chkfromto = new QCheckBox(u"限时播放"_s, box);
    chkfromto->setObjectName(u"chkfromto"_s);
    connect(chkfromto, &QCheckBox::toggled, this, &frmplaylist::chkfromto_Click);

    const QTime now = m_s.clock.now().time();
    const QTime second(now.hour(), now.minute(), now.second());
    for (QTimeEdit **picker : {&DTPfrom, &DTPto}) {
        *picker = new TimePicker(second, box);
        (*picker)->setEnabled(false);
        (*picker)->installEventFilter(this);
    }
    named(DTPfrom, u"DTPfrom"_s);
    named(DTPto, u"DTPto"_s);
    m_timed->setTimes(second, second);
    connect(DTPfrom, &QTimeEdit::timeChanged, this, &frmplaylist::DTPfrom_Change);
    connect(DTPto, &QTimeEdit::timeChanged, this, &frmplaylist::DTPto_Change);
    QLabel *from = label(u"从"_s, u"lblfrom"_s, box);
    from->setBuddy(DTPfrom);
    QLabel *to = label(u"到"_s, u"lblto"_s, box);
    to->setBuddy(DTPto);
    chkshutdown = new QCheckBox(u"播完后自动关机"_s, box);
    chkshutdown->setObjectName(u"chkshutdown"_s);
    chkshutdown->setEnabled(false);
    connect(chkshutdown, &QCheckBox::toggled, m_timed, &PlaylistTimedPlay::setShutdown);

    cmdquit = button(u"退出"_s, u"cmdquit"_s, box);
    cmdquit->setMinimumWidth(100);
    connect(cmdquit, &QPushButton::clicked, this, &QWidget::close);

    row->addWidget(chkrepeat);
    row->addSpacing(16);
    row->addWidget(chkfromto);
    row->addWidget(from);
    row->addWidget(DTPfrom);
    row->addWidget(to);
    row->addWidget(DTPto);
    row->addWidget(chkshutdown);
    row->addStretch(1);
    row->addWidget(cmdquit);
    return box;
}

void frmplaylist::setTabOrderAlongLayout()
{
    const QList<QWidget *> chain {lstplaylist, cmdplay,      mmcplayPlay, mmcplayPause, mmcplayStop,
                                  Slidervol,   cmdaddall,    cmdaddone,   cmdinsert,    cmdadd,
                                  cmdremove,   cmdremoveall, cmdup,       cmddown,      cmdload,
                                  cmdsave,     drvplaylist,  Dirplaylist, fileplaylist, chkrepeat,
                                  chkfromto,   DTPfrom,      DTPto,       chkshutdown,  cmdquit};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void frmplaylist::fillDrives()
{
    const QSignalBlocker blocker(drvplaylist);
    drvplaylist->clear();
    int current = -1;
    for (const PlaylistDrive &drive : playlistDrives()) {
        if (drive.root == m_drive)
            current = drvplaylist->count();
        drvplaylist->addItem(drive.text, drive.root);
    }
    // A drive that went away since it was chosen stays shown while the
    // folder list is still on it.
    if (current < 0) {
        current = drvplaylist->count();
        drvplaylist->addItem(m_drive, m_drive);
    }
    drvplaylist->setCurrentIndex(current);
}

void frmplaylist::drvplaylist_Change(int index)
{
    const QString root = drvplaylist->itemData(index).toString();
    if (root.isEmpty() || root == m_drive)
        return;
    const QString problem = playlistDriveProblem(root);
    if (!problem.isEmpty()) {
        // The folder list stays where it was, and so does the drive list.
        {
            const QSignalBlocker blocker(drvplaylist);
            drvplaylist->setCurrentIndex(drvplaylist->findData(m_drive));
        }
        m_s.dialogs.message(problem, u"请检查光盘或软盘"_s, MsgIcon::Error, MsgButtons::Ok, this);
        return;
    }
    m_drive = root;
    m_folders->setRootPath(root);
    showFolder(root);
}

void frmplaylist::showFolder(const QString &folder)
{
    // The tree's root is the drive's parent, so that the drive itself is
    // its top entry ("/" has the file system's invisible root above it).
    const QModelIndex drive = m_folders->index(m_drive);
    const QModelIndex top = drive.parent();
    const QModelIndex old = Dirplaylist->rootIndex();
    if (old != top) {
        // What was hidden beside the last drive shows again in its place.
        for (int row = 0; row < m_folders->rowCount(old); ++row)
            Dirplaylist->setRowHidden(row, old, false);
        Dirplaylist->setRootIndex(top);
    }
    for (int row = 0; row < m_folders->rowCount(top); ++row)
        Dirplaylist->setRowHidden(row, top, m_folders->index(row, 0, top) != drive);
    const QModelIndex index = m_folders->index(folder);
    // The way to the folder is open, and so is the folder with its subfolders.
    for (QModelIndex up = index; up.isValid(); up = up.parent())
        Dirplaylist->expand(up);
    if (Dirplaylist->currentIndex() != index)
        Dirplaylist->setCurrentIndex(index); // Dirplaylist_Change shows its files
    else
        Dirplaylist_Change();
    Dirplaylist->scrollTo(index);
}

void frmplaylist::Dirplaylist_Change()
{
    const QModelIndex index = Dirplaylist->currentIndex();
    if (!index.isValid())
        return;
    m_folder = m_folders->filePath(index);
    fileplaylist->clear();
    fileplaylist->addItems(playlistFilesIn(m_folder));
}

QStringList frmplaylist::selectedFiles() const
{
    QStringList paths;
    for (int row = 0; row < fileplaylist->count(); ++row) {
        if (fileplaylist->item(row)->isSelected())
            paths << playlistFilePath(m_folder, fileplaylist->item(row)->text());
    }
    return paths;
}

void frmplaylist::closeEvent(QCloseEvent *event)
{
    // "退出", Escape and the close box all come here. An unsaved list is
    // discarded without a question.
    m_timed->setArmed(false);
    m_total->cancel();
    m_list->stop();
    event->accept();
}

void frmplaylist::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmplaylist::eventFilter(QObject *watched, QEvent *event)
{
    // Every key typed in a picker applies the coupling, as a change does.
    if (event->type() == QEvent::KeyRelease) {
        if (watched == DTPfrom)
            DTPto->setTime(DTPfrom->time());
        else if (watched == DTPto)
            DTPto_Change();
    }
    return QWidget::eventFilter(watched, event);
}
