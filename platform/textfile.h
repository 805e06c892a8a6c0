#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Whole-file reads and atomic writes of the operator's files.
struct FileRead
{
    bool ok = false;
    bool missing = false; // the file does not exist
    QByteArray data;
    QString error; // the system's description when !ok
};

FileRead readWholeFile(const QString &path);

// Writes data to a temporary file beside path and renames it over path only
// when every byte reached the disk. Returns the empty text on success or the
// system's description of the failure; the old file is then untouched.
QString saveFileAtomically(const QString &path, const QByteArray &data);

// One record in the quoted layout of node.txt, amp_name.dat and rem_list.txt:
// "a","b","c" and CR LF, in GBK.
QByteArray quotedRecord(const QStringList &fields);

// Fields of the quoted layout cannot hold a double quote; it is replaced by
// the nearest safe character so a save never breaks the file.
QString quotedFieldSafe(QString field);
