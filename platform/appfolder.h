#pragma once

#include <QString>

// The folder of the program: a portable installation keeps every data file
// beside the executable. Names are given the classic way, starting with a
// backslash ("\config.ini", "\table\week").
class AppFolder
{
public:
    explicit AppFolder(const QString &folder);

    // The folder without a trailing separator; the root folder is empty.
    QString path() const { return m_path; }
    // path() followed by name, backslashes turned into slashes.
    QString file(const QString &name) const;

private:
    QString m_path;
};

// The part of a path after its last "\" or "/"; the whole text when it has
// neither; empty when the path ends in a separator.
QString fileTitle(const QString &path);
