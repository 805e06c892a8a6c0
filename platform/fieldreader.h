#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// Reads comma separated fields from GBK text by the classic BASIC "Input #"
// rules, which every data file of the console follows:
//  - blanks before a field are skipped, blank lines between fields too;
//  - a field that starts with a double quote runs to the next double quote,
//    and anything after it up to the separator is dropped;
//  - any other field runs to the next comma or line end and loses trailing blanks;
//  - a comma or a line end (CR LF, CR or LF) separates fields, so a record may
//    continue on the next line;
//  - reading past the end of the data is an error, and so is a text field
//    holding a NUL byte or bytes that are not GBK: such a file was not
//    written by the console and would only be misread.
// Errors are values: a failed read returns false and leaves errorText() set.
class FieldReader
{
public:
    explicit FieldReader(QByteArray data);

    // True when nothing but blanks and line ends is left.
    bool atEnd() const;

    bool readText(QString &field);
    // A 16-bit integer field; blanks around it are ignored, an empty field is 0.
    bool readInt16(qint16 &value);
    // Reads and drops one field.
    bool skip();

    QString errorText() const { return m_error; }
    // 1-based line on which the last field read starts, for messages.
    int line() const { return m_fieldLine; }

private:
    bool readRaw(QByteArray &raw, bool &quoted);
    void skipBlanks();
    bool atLineEnd() const;
    void consumeSeparator();
    bool fail(const QString &what);

    QByteArray m_data;
    qsizetype m_pos = 0;
    int m_line = 1; // of the read position
    int m_fieldLine = 1; // where the last field began
    bool m_afterComma = false;
    QString m_error;
    struct SharedText
    {
        QByteArray bytes;
        QString text;
    };
    std::vector<SharedText> m_shared = std::vector<SharedText>(1024); // short texts read lately
};

// Reads the whole file at path for a FieldReader. Nothing, with error set
// (and *missing told whether the file is absent), when it cannot be read.
std::optional<FieldReader> openFieldFile(const QString &path, QString &error,
                                         bool *missing = nullptr);
