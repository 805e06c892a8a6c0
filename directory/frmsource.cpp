#include "directory/frmsource.h"

#include "platform/appfolder.h"
#include "platform/characterfilter.h"
#include "platform/dialogs.h"
#include "platform/elidedtext.h"
#include "platform/timepicker.h"
#include "platform/windowteardown.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

// The widest a name field grows for a long name.
constexpr int kWidestName = 300;

const QString &saveTitle()
{
    static const QString title = QStringLiteral("存盘提示");
    return title;
}

QString indexed(const QString &name, int n)
{
    return name + u'_' + QString::number(n);
}

QGroupBox *frame(const QString &caption, const QString &name, QWidget *parent)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QLabel *fieldLabel(const QString &caption, const QString &name, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

// Accessibility tools find a field without a caption by its name. A name
// longer than its field shows its start with "…", and whole as a tooltip.
QLineEdit *lineField(const QString &name, int minimumWidth, QWidget *parent)
{
    auto *edit = new ElidedLineEdit(Qt::ElideRight, parent);
    edit->setObjectName(name);
    edit->setAccessibleName(name);
    edit->setMinimumWidth(minimumWidth);
    return edit;
}

} // namespace

frmsource::frmsource(Dialogs &dialogs, const AppFolder &folder, SavedFiles &saved, QWidget *parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_saved(saved)
    , m_names(folder.file(QStringLiteral("\\amp_name.dat")),
              folder.file(QStringLiteral("\\config.ini")))
{
    setObjectName(QStringLiteral("frmsource"));
    setWindowTitle(QStringLiteral("节目源及外设名称设置"));
    buildControls();
    orderTabs();
    m_names.load();
    showFields();
    fitNames();
    // Connected after the fields are filled, so that opening changes nothing.
    followFields();
    txtamp[0]->setFocus();
}

frmsource::~frmsource()
{
    detachChildSignals(this);
}

void frmsource::buildControls()
{
    const QFontMetrics metrics = fontMetrics();
    const int nameWidth = metrics.horizontalAdvance(QStringLiteral("功放名称功放名称"));
    const int frequencyWidth = metrics.horizontalAdvance(QStringLiteral("000.00")) + 16;

    fraamp = frame(QStringLiteral("功放名称"), QStringLiteral("fraamp"), this);
    fradevice = frame(QStringLiteral("外设名称及提前打开时间"), QStringLiteral("fradevice"), this);
    frafreq = frame(QStringLiteral("节目源频率(MHz)"), QStringLiteral("frafreq"), this);
    auto *ampGrid = new QGridLayout(fraamp);
    auto *deviceGrid = new QGridLayout(fradevice);
    auto *frequencyGrid = new QGridLayout(frafreq);

    for (int n = 1; n <= SourceNames::kCount; ++n) {
        const int row = n - 1;
        const QString number = QString::number(n);

        txtamp[row] = lineField(indexed(QStringLiteral("txtamp"), n), nameWidth, fraamp);
        ampGrid->addWidget(fieldLabel(QStringLiteral("功放") + number + u'：',
                                      indexed(QStringLiteral("lblamp"), n), txtamp[row], fraamp),
                           row, 0);
        ampGrid->addWidget(txtamp[row], row, 1);

        txtdevice[row] = lineField(indexed(QStringLiteral("txtdevice"), n), nameWidth, fradevice);
        DTP_ahead[row] = new TimePicker(fradevice);
        DTP_ahead[row]->setObjectName(indexed(QStringLiteral("DTP_ahead"), n));
        DTP_ahead[row]->setAccessibleName(DTP_ahead[row]->objectName());
        DTP_ahead[row]->setToolTip(QStringLiteral("提前打开时间（时:分:秒），00:00:00 为不提前"));
        deviceGrid->addWidget(fieldLabel(QStringLiteral("外设") + number + u'：',
                                         indexed(QStringLiteral("lbldevice"), n), txtdevice[row],
                                         fradevice),
                              row, 0);
        deviceGrid->addWidget(txtdevice[row], row, 1);
        deviceGrid->addWidget(DTP_ahead[row], row, 2);

        txtfreq[row] = lineField(indexed(QStringLiteral("txtfreq"), n), frequencyWidth, frafreq);
        // Digits and points only, typed or pasted; a refused key beeps.
        txtfreq[row]->setAttribute(Qt::WA_InputMethodEnabled, false);
        CharacterFilter::install(txtfreq[row], SourceNames::frequencyCharacters(),
                                 [this] { m_dialogs.beep(); });
        // Leaving the field checks its range.
        txtfreq[row]->installEventFilter(this);
        frequencyGrid->addWidget(fieldLabel(QStringLiteral("节目源") + number,
                                            indexed(QStringLiteral("lblfreq"), n), txtfreq[row],
                                            frafreq),
                                 row, 0);
        frequencyGrid->addWidget(txtfreq[row], row, 1);
    }
    ampGrid->setColumnStretch(1, 1);
    deviceGrid->setColumnStretch(1, 1);
    frequencyGrid->setColumnStretch(1, 1);

    cmdsave = new QPushButton(QStringLiteral("保 存"), this);
    cmdsave->setObjectName(QStringLiteral("cmdsave"));
    cmdquit = new QPushButton(QStringLiteral("退 出"), this);
    cmdquit->setObjectName(QStringLiteral("cmdquit"));
    // Enter in a field saves, as the default button of a dialog; Enter on a
    // button presses that button.
    cmdsave->setDefault(true);
    cmdsave->setAutoDefault(true);
    cmdquit->setAutoDefault(true);
    connect(cmdsave, &QPushButton::clicked, this, &frmsource::cmdsave_Click);
    connect(cmdquit, &QPushButton::clicked, this, &frmsource::cmdquit_Click);

    auto *frames = new QHBoxLayout;
    // A wider window gives the names the room; a frequency needs no more.
    frames->addWidget(fraamp, 2);
    frames->addWidget(fradevice, 3);
    frames->addWidget(frafreq, 0);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdsave);
    buttons->addWidget(cmdquit);
    auto *layout = new QVBoxLayout(this);
    // The rows keep their height; a taller window leaves room below them.
    layout->addLayout(frames);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(sizeHint().expandedTo(QSize(760, 0)));
}

void frmsource::orderTabs()
{
    // Down each frame in turn, a device's time right after its name.
    QList<QWidget *> order;
    for (QLineEdit *edit : txtamp)
        order << edit;
    for (int row = 0; row < SourceNames::kCount; ++row)
        order << txtdevice[row] << DTP_ahead[row];
    for (QLineEdit *edit : txtfreq)
        order << edit;
    order << cmdsave << cmdquit;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void frmsource::showFields()
{
    for (int n = 1; n <= SourceNames::kCount; ++n) {
        const std::size_t row = std::size_t(n - 1);
        txtamp[row]->setText(m_names.ampName(n));
        txtdevice[row]->setText(m_names.deviceName(n));
        DTP_ahead[row]->setTime(m_names.leadTime(n));
        txtfreq[row]->setText(m_names.frequency(n));
    }
}

void frmsource::fitNames()
{
    // The name fields as wide as the longest name, up to what the smallest
    // screen leaves them: two frames of names beside the times and the
    // frequencies.
    const auto fit = [](const std::array<QLineEdit *, SourceNames::kCount> &fields) {
        int widest = 0;
        for (const QLineEdit *field : fields)
            widest = std::max(widest, field->fontMetrics().horizontalAdvance(field->text()));
        // The field's frame and its margins either side of the text.
        widest = std::min(widest + 12, kWidestName);
        for (QLineEdit *field : fields)
            field->setMinimumWidth(std::max(field->minimumWidth(), widest));
    };
    fit(txtamp);
    fit(txtdevice);
    // The frames take the new widths at once, not when their layouts next run.
    for (QWidget *frame : {fraamp, fradevice})
        frame->updateGeometry();
    layout()->activate();
    resize(sizeHint().expandedTo(size()).boundedTo(kSmallestScreenRoom));
}

void frmsource::followFields()
{
    for (int n = 1; n <= SourceNames::kCount; ++n) {
        const std::size_t row = std::size_t(n - 1);
        connect(txtamp[row], &QLineEdit::textChanged, this,
                [this, n](const QString &text) { m_names.setAmpName(n, text); });
        connect(txtdevice[row], &QLineEdit::textChanged, this,
                [this, n](const QString &text) { m_names.setDeviceName(n, text); });
        // The names are kept without the blanks around them; once the
        // operator leaves a field it shows what will be saved.
        connect(txtamp[row], &QLineEdit::editingFinished, this, [this, n, row] {
            if (txtamp[row]->text() != m_names.ampName(n))
                txtamp[row]->setText(m_names.ampName(n));
        });
        connect(txtdevice[row], &QLineEdit::editingFinished, this, [this, n, row] {
            if (txtdevice[row]->text() != m_names.deviceName(n))
                txtdevice[row]->setText(m_names.deviceName(n));
        });
        connect(DTP_ahead[row], &QTimeEdit::timeChanged, this,
                [this, n](QTime time) { m_names.setLeadTime(n, time); });
        connect(txtfreq[row], &QLineEdit::textChanged, this,
                [this, n](const QString &text) { m_names.setFrequency(n, text); });
    }
}

QLineEdit *frmsource::lineEdit(SourceNames::Field field) const
{
    if (field.number < 1 || field.number > SourceNames::kCount)
        return nullptr;
    const std::size_t row = std::size_t(field.number - 1);
    switch (field.part) {
    case SourceNames::Part::Amp:
        return txtamp[row];
    case SourceNames::Part::Frequency:
        return txtfreq[row];
    case SourceNames::Part::Device:
        return txtdevice[row];
    }
    return nullptr;
}

bool frmsource::cmdsave_Click()
{
    if (m_rangeComplaint != 0)
        return false; // the range message comes first
    // What reaches the files is announced; the console reads the
    // frequencies and lead times from them again.
    const SourceNames::SaveResult result = m_names.save(m_saved);
    switch (result.outcome) {
    case SourceNames::SaveResult::Outcome::Saved:
        m_dialogs.message(QStringLiteral("保存成功"), saveTitle(), MsgIcon::Information,
                          MsgButtons::Ok, this);
        return true;
    case SourceNames::SaveResult::Outcome::Refused:
        // The message first: moving the focus out of a frequency field
        // before it would raise that field's own message on top of it.
        m_dialogs.message(result.message, saveTitle(), MsgIcon::Exclamation, MsgButtons::Ok, this);
        if (QLineEdit *field = lineEdit(result.field)) {
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
        }
        return false;
    case SourceNames::SaveResult::Outcome::Failed:
        m_dialogs.message(result.message, saveTitle(), MsgIcon::Error, MsgButtons::Ok, this);
        return false;
    }
    return false;
}

void frmsource::cmdquit_Click()
{
    if (m_rangeComplaint != 0)
        return;
    if (m_names.isModified()) {
        switch (m_dialogs.message(QStringLiteral("内容已被修改，保存吗？"), saveTitle(),
                                  MsgIcon::Question, MsgButtons::YesNoCancel, this)) {
        case MsgAnswer::Yes:
            if (!cmdsave_Click())
                return; // what could not be saved stays on screen
            break;
        case MsgAnswer::No:
            m_names.discardChanges();
            break;
        default:
            return;
        }
    }
    close();
}

void frmsource::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_loadToldOnce || m_names.loadProblem().isEmpty())
        return;
    m_loadToldOnce = true;
    // A file broken halfway opens with what could be read; the operator is
    // told before a save writes the rest away. A notice: it comes from the
    // event queue, not from a command.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_dialogs.notify(QStringLiteral("amp_name.dat 读取不完整：%1\n"
                                            "保存将按窗口中的内容重写该文件。")
                                 .arg(m_names.loadProblem()),
                             saveTitle(), MsgIcon::Exclamation, this);
        },
        Qt::QueuedConnection);
}

void frmsource::closeEvent(QCloseEvent *event)
{
    // After "退 出" the flag is clear, so this asks only when the window is
    // closed some other way.
    if (m_names.isModified()) {
        switch (m_dialogs.message(QStringLiteral("播放内容已被修改，保存吗？"), saveTitle(),
                                  MsgIcon::Question, MsgButtons::YesNoCancel, this)) {
        case MsgAnswer::Yes:
            if (!cmdsave_Click()) {
                event->ignore();
                return;
            }
            break;
        case MsgAnswer::No:
            break;
        default:
            event->ignore();
            return;
        }
    }
    QWidget::closeEvent(event);
}

void frmsource::keyPressEvent(QKeyEvent *event)
{
    // The fields leave Enter and Escape to the window, as in a dialog.
    switch (event->key()) {
    case Qt::Key_Escape:
        cmdquit_Click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        cmdsave->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool frmsource::eventFilter(QObject *watched, QEvent *event)
{
    const auto it = std::find(txtfreq.cbegin(), txtfreq.cend(), watched);
    if (it == txtfreq.cend())
        return QWidget::eventFilter(watched, event);
    const int n = int(it - txtfreq.cbegin()) + 1;
    if (event->type() == QEvent::FocusOut && m_rangeComplaint == 0) {
        // Only a move to another control of this window is leaving the
        // field; a message box or another window taking the focus is not.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason
            && reason != Qt::MenuBarFocusReason
            && !SourceNames::frequencyInRange(txtfreq[std::size_t(n - 1)]->text())) {
            // The complaint waits until the focus has settled elsewhere:
            // taking it back from inside its own change would fight it.
            m_rangeComplaint = n;
            QMetaObject::invokeMethod(
                this, [this, n] { checkFrequencyRange(n); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmsource::checkFrequencyRange(int n)
{
    QLineEdit *field = txtfreq[std::size_t(n - 1)];
    if (!isVisible() || SourceNames::frequencyInRange(field->text())) {
        m_rangeComplaint = 0;
        return;
    }
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    // Raised by a focus change, so shown without waiting; the complaint
    // holds the other fields and the buttons until the operator has read it.
    m_dialogs.ask(QStringLiteral("频率不对，请输入70MHz-110MHz之间的频率"),
                  QStringLiteral("系统提示"), MsgIcon::Error, MsgButtons::Ok, this,
                  [this](MsgAnswer) { m_rangeComplaint = 0; });
}
