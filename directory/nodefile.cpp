#include "directory/nodefile.h"

#include "platform/fieldreader.h"
#include "platform/textfile.h"

#include <utility>

NodeFileRead readNodeFile(const QString &path)
{
    NodeFileRead result;
    auto opened = openFieldFile(path, result.error, &result.missing);
    if (!opened)
        return result;
    FieldReader &reader = *opened;
    while (!reader.atEnd()) {
        NodeRecord node;
        if (!reader.readText(node.name) || !reader.readText(node.address)
            || !reader.readText(node.group)) {
            result.error = reader.errorText();
            return result;
        }
        result.records.append(node);
    }
    result.ok = true;
    return result;
}

QString writeNodeFile(const QString &path, const QList<NodeRecord> &records)
{
    QByteArray data;
    for (const NodeRecord &node : records) {
        for (const auto &[what, field] : {std::pair {QStringLiteral("节点名称"), node.name},
                                          std::pair {QStringLiteral("节点地址"), node.address},
                                          std::pair {QStringLiteral("节点分组"), node.group}}) {
            if (QString problem = quotedFieldProblem(what, field); !problem.isEmpty())
                return problem;
        }
        data += quotedRecord({node.name, node.address, node.group});
    }
    return saveFileAtomically(path, data);
}

int nodeAddressValue(const QString &address)
{
    const QString t = address.trimmed();
    if (t.isEmpty() || t.size() > 3)
        return -1;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return -1;
    }
    const int value = t.toInt();
    return value <= 255 ? value : -1;
}
