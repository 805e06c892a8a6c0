#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

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

// What keeps a text field from reading back as written: a comma would split
// it where fields are not quoted, a double quote would end or open a quoted
// one, a line break would end the line, a character without a GBK code would
// come back as "?".
enum class TextFault { None, Comma, Quote, LineBreak, NotGbk };

// How a file holds its text fields, which decides what they cannot hold.
enum class TextLayout {
    Unquoted, // a,b,c (the schedule files): no comma, double quote or line break
    Quoted, // "a","b" (node.txt, amp_name.dat, rem_list.txt): no double quote or line break
    IniLine, // name=value: no line break
};

// The fault of a text in the given layout; when it has several, the first in
// the order of TextFault, so that each message names the same one.
TextFault textFault(QStringView text, TextLayout layout);

// One record in the quoted layout of node.txt, amp_name.dat and rem_list.txt:
// "a","b","c" and CR LF, in GBK. Check the fields with quotedFieldProblem
// first: a field it refuses would not read back as written.
QByteArray quotedRecord(const QStringList &fields);

// Why a field cannot be written in the quoted layout (its TextFault); what
// names the field in the message. Empty when the field can be written.
QString quotedFieldProblem(const QString &what, const QString &field);
