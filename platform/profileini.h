#pragma once

#include <QString>

// config.ini, read and written the way the classic profile-string calls did,
// because operators edit it by hand and older tools share it:
//  - section and key names match without regard to letter case;
//  - a missing file, section or key yields the default;
//  - a value is cut to bufferSize - 1 bytes of GBK (never inside a character);
//  - writing creates the file and the section when missing and keeps every
//    other line as it was. Saves are atomic.
class ProfileIni
{
public:
    explicit ProfileIni(QString path);

    QString path() const { return m_path; }

    QString getString(const QString &section, const QString &key, const QString &defaultValue,
                      int bufferSize) const;
    // Returns the empty text on success, else the reason: the system's
    // description, or what the file cannot hold (textProblem), in which case
    // nothing is written.
    QString writeString(const QString &section, const QString &key, const QString &value) const;
    // Why a section, key or value cannot be written as given (a line break or
    // another control character, a character without a GBK code, a section
    // name holding "]", a key holding "="); empty when it can. A value with
    // blanks at its ends, or between double quotes, is written quoted, so it
    // reads back whole.
    static QString textProblem(const QString &section, const QString &key, const QString &value);

private:
    QString m_path;
};
