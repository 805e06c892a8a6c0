#include "platform/characterfilter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace {
// Holds text that arrives any other way (the context menu, the middle
// button, a drop, an input method) to the same characters, silently.
class AllowedText final : public QValidator
{
public:
    AllowedText(const CharacterFilter *filter, QObject *parent)
        : QValidator(parent)
        , m_filter(filter)
    {
    }

    State validate(QString &input, int &) const override
    {
        return m_filter->accepts(input) ? Acceptable : Invalid;
    }

private:
    const CharacterFilter *m_filter;
};
} // namespace

CharacterFilter::CharacterFilter(QLineEdit *field, const QString &allowed,
                                 std::function<void()> refused)
    : QObject(field)
    , m_field(field)
    , m_allowed(allowed)
    , m_refused(std::move(refused))
{
}

CharacterFilter *CharacterFilter::install(QLineEdit *field, const QString &allowed,
                                          std::function<void()> refused)
{
    auto *filter = new CharacterFilter(field, allowed, std::move(refused));
    field->setValidator(new AllowedText(filter, filter));
    field->installEventFilter(filter);
    return filter;
}

bool CharacterFilter::accepts(const QString &text) const
{
    return std::all_of(text.cbegin(), text.cend(),
                       [this](QChar c) { return m_allowed.contains(c); });
}

bool CharacterFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_field || event->type() != QEvent::KeyPress || m_field->isReadOnly())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    QString inserted;
    if (key->matches(QKeySequence::Paste)) {
        inserted = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
    } else {
        // Keys with Ctrl, Alt or Meta are commands (select all, copy, undo),
        // and keys without a printable character edit or move: both are the
        // field's own.
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        inserted = key->text();
        if (inserted.isEmpty() || !std::all_of(inserted.cbegin(), inserted.cend(), [](QChar c) {
                return c.isPrint();
            }))
            return false;
    }
    if (accepts(inserted))
        return false;
    if (m_refused)
        m_refused();
    return true;
}
