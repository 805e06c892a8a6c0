#include "platform/widgetdialogs.h"

#include "platform/filedialoglook.h"
#include "platform/folderdialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

Q_LOGGING_CATEGORY(lcDialogs, "quellon.dialogs")

WidgetDialogs::WidgetDialogs(QWidget *parent)
    : m_parent(parent)
{
}

namespace {
QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// A window manager cuts a title that does not fit the frame ("Quello...
// -5300"); the box is made wide enough for its title, the frame's buttons
// and a margin. Title fonts are often bold and larger than the box's.
void fitTitle(QMessageBox *box, const QString &title)
{
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    if (!grid)
        return;
    QFont font = box->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    const int width = QFontMetrics(font).horizontalAdvance(title) + 140;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// Boxes that would open at one spot (two notices over one window, a
// question over a notice) step down and right, so none hides another.
void stepAwayFromOthers(QMessageBox *box)
{
    constexpr int kStep = 28;
    for (int tries = 0; tries < 20; ++tries) {
        bool covered = false;
        for (QWidget *other : QApplication::topLevelWidgets()) {
            if (other == box || !other->isVisible() || !qobject_cast<QMessageBox *>(other))
                continue;
            if ((other->pos() - box->pos()).manhattanLength() < kStep / 2)
                covered = true;
        }
        if (!covered)
            return;
        box->move(box->pos() + QPoint(kStep, kStep));
    }
}
} // namespace

int WidgetDialogs::standardButton(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::Ok:
        return QMessageBox::Ok;
    case MsgAnswer::Cancel:
        return QMessageBox::Cancel;
    case MsgAnswer::Yes:
        return QMessageBox::Yes;
    case MsgAnswer::No:
        return QMessageBox::No;
    case MsgAnswer::Retry:
        return QMessageBox::Retry;
    case MsgAnswer::Abort:
        return QMessageBox::Abort;
    case MsgAnswer::Ignore:
        return QMessageBox::Ignore;
    case MsgAnswer::Save:
        return QMessageBox::Save;
    case MsgAnswer::Discard:
        return QMessageBox::Discard;
    case MsgAnswer::Close:
        return QMessageBox::Close;
    }
    return QMessageBox::NoButton;
}

std::optional<MsgAnswer> WidgetDialogs::answerOf(int standardButton)
{
    for (MsgAnswer answer : {MsgAnswer::Ok, MsgAnswer::Cancel, MsgAnswer::Yes, MsgAnswer::No,
                             MsgAnswer::Retry, MsgAnswer::Abort, MsgAnswer::Ignore, MsgAnswer::Save,
                             MsgAnswer::Discard, MsgAnswer::Close}) {
        if (WidgetDialogs::standardButton(answer) == standardButton)
            return answer;
    }
    return std::nullopt;
}

QMessageBox *WidgetDialogs::makeBox(MsgIcon icon, const QString &title, const QString &text,
                                    MsgButtons buttons, QWidget *parent)
{
    auto *box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::NoButton, parent);
    for (MsgAnswer answer : offeredAnswers(buttons))
        box->addButton(QMessageBox::StandardButton(standardButton(answer)));
    box->setDefaultButton(QMessageBox::StandardButton(standardButton(defaultAnswer(buttons))));
    box->setEscapeButton(QMessageBox::StandardButton(standardButton(escapeAnswer(buttons))));
    fitTitle(box, title);
    return box;
}

MsgAnswer WidgetDialogs::answerOfBox(const QMessageBox *box, MsgButtons buttons)
{
    // The button the operator pressed, not the dialog's result code; a box
    // closed by its frame counts as its escape button.
    if (QAbstractButton *clicked = box->clickedButton()) {
        const std::optional<MsgAnswer> answer = answerOf(box->standardButton(clicked));
        if (answer && offeredAnswers(buttons).contains(*answer))
            return *answer;
    }
    return escapeAnswer(buttons);
}

QWidget *WidgetDialogs::windowOf(QObject *context) const
{
    // A box stands over the window it concerns; a caller without a window
    // is the console itself, whose window is the main window.
    if (auto *widget = qobject_cast<QWidget *>(context))
        return widget->window();
    return m_parent;
}

MsgAnswer WidgetDialogs::message(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons, QObject *context)
{
    qCInfo(lcDialogs) << "message:" << title << "-" << text;
    QPointer<QMessageBox> box = makeBox(icon, title, text, buttons, windowOf(context));
    box->exec();
    if (!box)
        return escapeAnswer(buttons);
    const MsgAnswer answer = answerOfBox(box, buttons);
    delete box.data();
    return answer;
}

void WidgetDialogs::ask(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                        QObject *context, std::function<void(MsgAnswer)> answered)
{
    qCInfo(lcDialogs) << "question:" << title << "-" << text;
    QMessageBox *box = makeBox(icon, title, text, buttons, windowOf(context));
    box->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    if (guarded)
        QObject::connect(context, &QObject::destroyed, box, &QObject::deleteLater);
    QObject::connect(box, &QDialog::finished, box,
                     [box, buttons, guard, guarded, answered = std::move(answered)] {
                         const MsgAnswer answer = answerOfBox(box, buttons);
                         if ((!guarded || guard) && answered)
                             answered(answer);
                     });
    // open(), not exec(): no nested event loop; modal to its window only.
    box->open();
    stepAwayFromOthers(box);
}

void WidgetDialogs::notify(const QString &text, const QString &title, MsgIcon icon,
                           QObject *context)
{
    qCInfo(lcDialogs) << "notice:" << title << "-" << text;
    m_notices.removeAll(nullptr);
    for (const QPointer<QMessageBox> &open : std::as_const(m_notices)) {
        // A box the operator closed lingers until deleted; it no longer counts.
        if (open->isVisible() && open->text() == text && open->windowTitle() == title)
            return;
    }
    for (const Notice &waiting : std::as_const(m_waiting)) {
        if (waiting.text == text && waiting.title == title)
            return;
    }
    m_waiting.append({text, title, icon, windowOf(context)});
    showWaitingNotices();
}

void WidgetDialogs::showWaitingNotices()
{
    m_notices.removeAll(nullptr);
    auto busy = [this](const QWidget *window) {
        for (const QPointer<QMessageBox> &open : std::as_const(m_notices)) {
            if (open->isVisible() && open->parentWidget() == window)
                return true;
        }
        return false;
    };
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        // A window closed meanwhile leaves its notice to the main window.
        QWidget *window = it->window ? it->window.data() : m_parent.data();
        if (busy(window)) {
            ++it;
            continue;
        }
        // open(), not exec(): no nested event loop, so timers and the link
        // go on and the end of the day can still end the program. The box
        // is modal to its window only, and returns at once.
        QMessageBox *box = makeBox(it->icon, it->title, it->text, MsgButtons::Ok, window);
        box->setObjectName(QStringLiteral("notice"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        // The next notice for this window comes up once this one is answered.
        QObject::connect(
            box, &QDialog::finished, &m_connections, [this] { showWaitingNotices(); },
            Qt::QueuedConnection);
        m_notices.append(box);
        it = m_waiting.erase(it);
        box->open();
        stepAwayFromOthers(box);
    }
}

namespace {
// A file dialog as the console shows them all, waited for: only from a
// command of the operator's.
QStringList runFileDialog(QWidget *parent, const QString &title, const QString &start,
                          const QString &filter, QFileDialog::AcceptMode mode,
                          QFileDialog::FileMode files)
{
    QFileDialog dialog(parent, title, start, qtFileFilter(filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(files);
    prepareFileDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
} // namespace

QString WidgetDialogs::openFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName,
                                    QObject *context)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    return runFileDialog(windowOf(context), title, start, filter, QFileDialog::AcceptOpen,
                         QFileDialog::ExistingFile)
        .value(0);
}

void WidgetDialogs::askOpenFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName,
                                    QObject *context, std::function<void(const QString &)> chosen)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    auto *dialog = new QFileDialog(windowOf(context), title, start, qtFileFilter(filter));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    prepareFileDialog(dialog);
    const QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    if (guarded)
        QObject::connect(context, &QObject::destroyed, dialog, &QObject::deleteLater);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, guard, guarded, chosen = std::move(chosen)](int result) {
                         const QString path = result == QDialog::Accepted
                             ? dialog->selectedFiles().value(0)
                             : QString();
                         if ((!guarded || guard) && chosen)
                             chosen(path);
                     });
    dialog->open();
}

QStringList WidgetDialogs::openFileNames(const QString &title, const QString &folder,
                                         const QString &filter, QObject *context)
{
    return runFileDialog(windowOf(context), title, folder, filter, QFileDialog::AcceptOpen,
                         QFileDialog::ExistingFiles);
}

QString WidgetDialogs::saveFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName,
                                    QObject *context)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    return runFileDialog(windowOf(context), title, start, filter, QFileDialog::AcceptSave,
                         QFileDialog::AnyFile)
        .value(0);
}

QString WidgetDialogs::chooseFolder(const QString &title, const QString &folder, QObject *context)
{
    // The title is the prompt: it stands above the tree of folders.
    return chooseFolderWithPrompt(windowOf(context), title, folder);
}

void WidgetDialogs::beep()
{
    QApplication::beep();
}
