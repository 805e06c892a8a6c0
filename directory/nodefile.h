#pragma once

#include <QList>
#include <QString>

// One terminal of node.txt. All fields are kept as typed.
struct NodeRecord
{
    QString name;
    QString address; // 0..255 in decimal, empty in a placeholder
    QString group; // 1..8 in decimal, empty in a placeholder

    friend bool operator==(const NodeRecord &, const NodeRecord &) = default;
};

struct NodeFileRead
{
    bool ok = false; // the whole file was read
    bool missing = false;
    QList<NodeRecord> records; // complete records read, also after a failure
    QString error;
};

// node.txt: three quoted fields a line. A last record with fewer than three
// fields is not returned.
NodeFileRead readNodeFile(const QString &path);
QString writeNodeFile(const QString &path, const QList<NodeRecord> &records);

// The address as a number 0..255, or -1 when the field is not one.
int nodeAddressValue(const QString &address);
