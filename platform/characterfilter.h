#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

// Keeps a line edit to a few characters (the digits of an address, the
// digits and point of a frequency) without taking any editing key from it:
// only what is typed or pasted is checked. A typed character that is not
// allowed is refused; so is a paste that holds one, as a whole, since a
// number with its letters taken out is another number. Backspace, Delete,
// the cursor keys, selection, the clipboard and undo work as in any field.
class CharacterFilter final : public QObject
{
    Q_OBJECT
public:
    // refused runs for each refusal the operator made by a key (a beep).
    static CharacterFilter *install(QLineEdit *field, const QString &allowed,
                                    std::function<void()> refused);

    static QString digits() { return QStringLiteral("0123456789"); }

    bool accepts(const QString &text) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CharacterFilter(QLineEdit *field, const QString &allowed, std::function<void()> refused);

    QLineEdit *m_field;
    QString m_allowed;
    std::function<void()> m_refused;
};
