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
// one, a line break would end the line, any other control character (U+0000
// to U+001F, U+007F) is refused by the reader (NUL) or ends the data there
// (0x1A, the DOS end-of-file mark) or is invisible on screen (a tab), a
// character without a GBK code would come back as "?". The rule holds for
// every file the console writes, so that what one window saves every reader
// takes back unchanged.
enum class TextFault { None, Comma, Quote, LineBreak, Control, NotGbk };

// How a file holds its text fields, which decides what they cannot hold.
enum class TextLayout {
    Unquoted, // a,b,c (the schedule files): no comma, double quote or control character
    Quoted, // "a","b" (node.txt, amp_name.dat, rem_list.txt): no double quote or control character
    Line, // the rest of a line (config.ini values, playlist paths): no control character
};

// The fault of a text in the given layout; when it has several, the first in
// the order of TextFault, so that each message names the same one.
TextFault textFault(QStringView text, TextLayout layout);

// The first control character other than a line break, as a message names it:
// "控制字符（0x1A）"; empty when the text holds none.
QString controlCharacterText(QStringView text);

// Names and descriptions are saved as they are shown: without the blanks and
// tabs around them, which the eye cannot see and some readers drop.
QString withoutEdgeBlanks(QStringView text);
// Whether a blank or tab stands at either end, where a reader of unquoted
// fields or of INI values would drop it.
bool hasEdgeBlanks(QStringView text);

// One record in the quoted layout of node.txt, amp_name.dat and rem_list.txt:
// "a","b","c" and CR LF, in GBK. Check the fields with quotedFieldProblem
// first: a field it refuses would not read back as written.
QByteArray quotedRecord(const QStringList &fields);

// Why a field cannot be written in the quoted layout (its TextFault); what
// names the field in the message. Empty when the field can be written.
QString quotedFieldProblem(const QString &what, const QString &field);
