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
// "a","b","c" and CR LF, in GBK. Check the fields with quotedFieldProblem
// first: a field it refuses would not read back as written.
QByteArray quotedRecord(const QStringList &fields);

// Why a field cannot be written in the quoted layout: a double quote would
// end it early, a line break would split the record, a character without a
// GBK code would come back as "?". what names the field in the message.
// Empty when the field can be written.
QString quotedFieldProblem(const QString &what, const QString &field);
