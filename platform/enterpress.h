#pragma once

#include <QAbstractButton>
#include <QKeyEvent>

// Enter presses the button that has the focus in every window of the
// console; a push button does so once it is an auto-default button, a tool
// button (the players' transport) answers only Space unless given this.
inline void pressOnEnter(QAbstractButton *button)
{
    class EnterPresses final : public QObject
    {
    public:
        using QObject::QObject;

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() != QEvent::KeyPress)
                return false;
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
                return false;
            static_cast<QAbstractButton *>(watched)->click();
            return true;
        }
    };
    button->installEventFilter(new EnterPresses(button));
}
