#include "players/frmrec.h"

#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/mixer.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTimer>

#include <iterator>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
const QString kWavFilter = u"wav格式文件(*.wav)|*.wav"_s;

QPushButton *transportButton(QWidget *parent, const QString &name, const QString &caption,
                             const QIcon &icon)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setIcon(icon);
    // Enter presses the focused button, as on every button of the window.
    b->setAutoDefault(true);
    return b;
}

// The style offers no record symbol: the usual red dot.
QIcon recordIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x80, 0x10, 0x10));
    painter.setBrush(QColor(0xd0, 0x20, 0x20));
    painter.drawEllipse(QRectF(5, 5, 22, 22));
    return QIcon(pixmap);
}
} // namespace

frmrec::frmrec(Dialogs &dialogs, const AppFolder &folder, Recorder &recorder, MediaPlayer &player,
               Mixer &mixer, QWidget *parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_folder(folder)
    , m_mixer(mixer)
    , m_session(recorder, player)
{
    setObjectName(u"frmrec"_s);
    setWindowTitle(u"录音机"_s);
    buildControls();
    buildMicVolume();
    connect(&m_session, &RecordingSession::changed, this, &frmrec::showSession);
    connect(&m_session, &RecordingSession::takeEnded, this, &frmrec::takeEnded);
    connect(&m_session, &RecordingSession::saveEnded, this, &frmrec::saveEnded);
    showSession();
}

frmrec::~frmrec() = default;

void frmrec::buildControls()
{
    lblposition = new QLabel(this);
    lblposition->setObjectName(u"lblposition"_s);
    lblposition->setAlignment(Qt::AlignCenter);
    lbltotaltime = new QLabel(this);
    lbltotaltime->setObjectName(u"lbltotaltime"_s);
    lbltotaltime->setAlignment(Qt::AlignCenter);
    Sliderrec = new QSlider(Qt::Horizontal, this);
    Sliderrec->setObjectName(u"Sliderrec"_s);
    Sliderrec->setAccessibleName(u"Sliderrec"_s);
    Sliderrec->setRange(0, 100);
    Sliderrec->setTickPosition(QSlider::TicksBelow);
    Sliderrec->setTickInterval(10);
    // It shows where the device is; the device cannot be moved from it.
    Sliderrec->setAttribute(Qt::WA_TransparentForMouseEvents);
    Sliderrec->setFocusPolicy(Qt::NoFocus);
    Sliderrec->setMinimumWidth(240);

    auto *mmcrec = new QWidget(this);
    mmcrec->setObjectName(u"mmcrec"_s);
    m_record = transportButton(mmcrec, u"mmcrec_record"_s, u"录音"_s, recordIcon());
    m_play = transportButton(mmcrec, u"mmcrec_play"_s, u"播放"_s,
                             style()->standardIcon(QStyle::SP_MediaPlay));
    m_pause = transportButton(mmcrec, u"mmcrec_pause"_s, u"暂停"_s,
                              style()->standardIcon(QStyle::SP_MediaPause));
    m_stop = transportButton(mmcrec, u"mmcrec_stop"_s, u"停止"_s,
                             style()->standardIcon(QStyle::SP_MediaStop));
    m_error = new QLabel(mmcrec);
    m_error->setObjectName(u"mmcrec_error"_s);
    m_error->setStyleSheet(u"color: #b00000;"_s);
    m_error->setWordWrap(true);
    // A take being added and a save show their progress here and can be stopped.
    prgcopy = new QProgressBar(mmcrec);
    prgcopy->setObjectName(u"prgcopy"_s);
    prgcopy->setAccessibleName(u"prgcopy"_s);
    prgcopy->setRange(0, 100);
    cmdstopcopy = new QPushButton(u"取消"_s, mmcrec);
    cmdstopcopy->setObjectName(u"cmdstopcopy"_s);
    cmdstopcopy->setAutoDefault(true);
    auto *transport = new QGridLayout(mmcrec);
    transport->setContentsMargins(0, 0, 0, 0);
    transport->addWidget(m_record, 0, 0);
    transport->addWidget(m_play, 0, 1);
    transport->addWidget(m_pause, 0, 2);
    transport->addWidget(m_stop, 0, 3);
    transport->setColumnStretch(4, 1);
    transport->addWidget(m_error, 1, 0, 1, 5);
    transport->addWidget(prgcopy, 2, 0, 1, 4);
    transport->addWidget(cmdstopcopy, 2, 4, Qt::AlignLeft);
    connect(cmdstopcopy, &QPushButton::clicked, &m_session, &RecordingSession::stopCopying);
    connect(m_record, &QPushButton::clicked, &m_session, &RecordingSession::record);
    connect(m_play, &QPushButton::clicked, &m_session, &RecordingSession::play);
    connect(m_pause, &QPushButton::clicked, &m_session, &RecordingSession::pause);
    connect(m_stop, &QPushButton::clicked, &m_session, &RecordingSession::stop);

    auto *micLabel = new QLabel(u"话筒音量"_s, this);
    Slidermic = new QSlider(Qt::Horizontal, this);
    Slidermic->setObjectName(u"Slidermic"_s);
    Slidermic->setAccessibleName(u"Slidermic"_s);
    micLabel->setBuddy(Slidermic);

    const struct
    {
        QPushButton *&button;
        const char16_t *name;
        const char16_t *caption;
    } buttons[] = {
        {cmdnew, u"cmdnew", u"新建"},   {cmdopen, u"cmdopen", u"打开"},
        {cmdsave, u"cmdsave", u"保存"}, {cmdsaveas, u"cmdsaveas", u"另存为"},
        {cmdexit, u"cmdexit", u"退出"},
    };
    auto *row = new QHBoxLayout;
    for (const auto &b : buttons) {
        b.button = new QPushButton(QString::fromUtf16(b.caption), this);
        b.button->setObjectName(QString::fromUtf16(b.name));
        // Enter presses the button that has the focus; there is no default
        // button, so Enter elsewhere starts nothing.
        b.button->setAutoDefault(true);
        if (b.button == cmdexit)
            row->addStretch(1);
        row->addWidget(b.button);
    }
    connect(cmdnew, &QPushButton::clicked, this, &frmrec::cmdnew_Click);
    connect(cmdopen, &QPushButton::clicked, this, &frmrec::cmdopen_Click);
    connect(cmdsave, &QPushButton::clicked, this, &frmrec::cmdsave_Click);
    connect(cmdsaveas, &QPushButton::clicked, this, &frmrec::cmdsave_Click);
    connect(cmdexit, &QPushButton::clicked, this, &QWidget::close);

    auto *grid = new QGridLayout(this);
    grid->addWidget(lblposition, 0, 0);
    grid->addWidget(Sliderrec, 0, 1, 1, 2);
    grid->addWidget(lbltotaltime, 0, 3);
    grid->addWidget(mmcrec, 1, 0, 1, 4);
    grid->addWidget(micLabel, 2, 0);
    grid->addWidget(Slidermic, 2, 1, 1, 3);
    // Height the window gains goes between the controls and the buttons.
    grid->setRowStretch(3, 1);
    grid->addLayout(row, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(12);

    QWidget *order[] = {m_record, m_play,  m_pause, m_stop,    cmdstopcopy, Slidermic,
                        cmdnew,   cmdopen, cmdsave, cmdsaveas, cmdexit};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    m_record->setFocus();
    setMinimumWidth(440);
    resize(520, sizeHint().height());
}

void frmrec::buildMicVolume()
{
    const std::optional<Mixer::Range> range = m_mixer.micRange();
    // Without a microphone control (or a mixer) there is nothing to set.
    Slidermic->setEnabled(range.has_value());
    if (!range)
        return;
    const QSignalBlocker blocker(Slidermic);
    Slidermic->setRange(int(range->minimum), int(range->maximum));
    const int span = int(range->maximum - range->minimum);
    Slidermic->setSingleStep(qMax(1, span / 100));
    Slidermic->setPageStep(qMax(1, span / 10));
    // The mixer cannot be asked for the present level; the slider starts at
    // the top, where sound servers put the input, and sets nothing until moved.
    Slidermic->setValue(int(range->maximum));
    connect(Slidermic, &QSlider::valueChanged, this,
            [this](int value) { m_mixer.setMicVolume(value); });
}

void frmrec::showSession()
{
    lblposition->setText(m_session.positionText());
    lbltotaltime->setText(m_session.lengthText());
    Sliderrec->setValue(m_session.slider());
    m_record->setEnabled(m_session.recordEnabled());
    m_play->setEnabled(m_session.playEnabled());
    m_pause->setEnabled(m_session.pauseEnabled());
    m_stop->setEnabled(m_session.stopEnabled());
    m_error->setText(m_session.error());
    m_error->setVisible(!m_session.error().isEmpty());
    const bool files = m_session.fileCommandsEnabled();
    for (QPushButton *b : {cmdnew, cmdopen, cmdsave, cmdsaveas})
        b->setEnabled(files);
    const bool copying = m_session.isCopying();
    prgcopy->setVisible(copying);
    cmdstopcopy->setVisible(copying);
    if (copying) {
        prgcopy->setFormat(m_session.isSaving() ? u"正在保存录音 %p%"_s : u"正在接上录音 %p%"_s);
        prgcopy->setValue(m_session.copyPercent());
    } else {
        // The next copy starts from an empty bar, not from where the last one ended.
        prgcopy->reset();
    }
}

frmrec::Choice frmrec::askBeforeDiscarding()
{
    if (!m_session.hasUnsavedSound())
        return {Choice::Discard, {}};
    switch (m_dialogs.message(u"录音尚未保存，保存吗？"_s, u"录音机"_s, MsgIcon::Question,
                              MsgButtons::YesNoCancel, this)) {
    case MsgAnswer::Yes:
        if (QString path = askSavePath(); !path.isEmpty())
            return {Choice::Save, path};
        return {Choice::Keep, {}};
    case MsgAnswer::No:
        return {Choice::Discard, {}};
    default:
        return {Choice::Keep, {}};
    }
}

QString frmrec::askSavePath()
{
    Dialogs &dialogs = m_dialogs;
    if (m_session.lengthMs() == 0) {
        dialogs.message(u"文件长度为零，无需保存！"_s, u"保存文件提示"_s, MsgIcon::Information,
                        MsgButtons::Ok, this);
        return {};
    }
    QString path = dialogs.saveFileName(u"保存录音文件"_s, m_folder.file(u"\\other"_s), kWavFilter,
                                        QString(), this);
    if (path.isEmpty())
        return {};
    if (const QString named = withDefaultSuffix(path, u"wav"_s); named != path) {
        // The default extension. The dialog asked about the name as typed,
        // so the name that is really written is asked about here.
        path = named;
        if (QFileInfo::exists(path)
            && dialogs.message(QFileInfo(path).fileName() + u" 已存在。\n要替换它吗？"_s,
                               u"保存录音文件"_s, MsgIcon::Exclamation, MsgButtons::YesNo, this)
                != MsgAnswer::Yes)
            return {};
    }
    return path;
}

void frmrec::cmdnew_Click()
{
    if (!m_session.fileCommandsEnabled())
        return;
    const Choice choice = askBeforeDiscarding();
    if (choice.kind == Choice::Discard) {
        m_session.newRecording();
    } else if (choice.kind == Choice::Save) {
        m_then = Then::NewRecording;
        m_session.save(choice.savePath);
    }
}

void frmrec::cmdopen_Click()
{
    if (!m_session.fileCommandsEnabled())
        return;
    const Choice choice = askBeforeDiscarding();
    if (choice.kind == Choice::Keep)
        return;
    // Both dialogs come now, while the operator is at it; the file opens
    // once the recording is saved.
    const QString path
        = m_dialogs.openFileName(u"打开WAV格式录音文件"_s, QString(), kWavFilter, QString(), this);
    if (choice.kind == Choice::Discard) {
        if (!path.isEmpty())
            m_session.open(path);
        return;
    }
    m_then = path.isEmpty() ? Then::Nothing : Then::Open;
    m_openPath = path;
    m_session.save(choice.savePath);
}

bool frmrec::cmdsave_Click()
{
    if (!m_session.fileCommandsEnabled())
        return false;
    const QString path = askSavePath();
    if (path.isEmpty())
        return false;
    m_then = Then::Nothing;
    return m_session.save(path);
}

void frmrec::takeEnded()
{
    // The close the operator asked for while recording goes on; what to do
    // with the recording was asked then.
    if (m_then != Then::Close)
        return;
    const QString path = std::exchange(m_saveWhenTakeEnds, QString());
    if (!path.isEmpty() && m_session.isUnsaved() && m_session.save(path))
        return; // closes once saved
    closeNow();
}

void frmrec::saveEnded(bool saved)
{
    const Then then = std::exchange(m_then, Then::Nothing);
    // A failed or stopped save keeps the window and the recording as they
    // are; the control shows the failure.
    if (!saved)
        return;
    switch (then) {
    case Then::Nothing:
        break;
    case Then::NewRecording:
        m_session.newRecording();
        break;
    case Then::Open:
        m_session.open(m_openPath);
        break;
    case Then::Close:
        closeNow();
        break;
    }
}

void frmrec::closeNow()
{
    m_closeAnyway = true;
    QTimer::singleShot(0, this, &QWidget::close);
}

void frmrec::closeEvent(QCloseEvent *event)
{
    // "退出", Escape and the close box all come here, and so does the close
    // the window makes itself once what the operator chose is done: that one
    // never asks, as no operator's command brought it.
    if (std::exchange(m_closeAnyway, false)) {
        if (m_session.isBusyRecording() || m_session.isCopying()) {
            event->ignore(); // something began meanwhile: the window stays
            return;
        }
        m_session.stop();
        event->accept();
        return;
    }
    event->ignore();
    if (m_session.isSaving()) {
        // The window goes once the recording is saved.
        m_then = Then::Close;
        return;
    }
    if (m_session.isBusyRecording()) {
        // The take is closed and added to the recording, and the window
        // then goes; whether the recording is to be saved is asked now.
        if (m_then == Then::Close)
            return; // asked already
        m_session.stop();
        const Choice choice = askBeforeDiscarding();
        if (choice.kind == Choice::Keep) {
            m_then = Then::Nothing;
            return;
        }
        m_then = Then::Close;
        m_saveWhenTakeEnds = choice.savePath;
        // The take may have ended while the question was on screen.
        if (!m_session.isBusyRecording())
            takeEnded();
        return;
    }
    const Choice choice = askBeforeDiscarding();
    if (choice.kind == Choice::Keep)
        return;
    if (choice.kind == Choice::Save) {
        m_then = Then::Close;
        m_session.save(choice.savePath);
        return;
    }
    m_session.stop();
    event->accept();
}

void frmrec::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
